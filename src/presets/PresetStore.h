// The preset store of the effect: builds and loads state blocks (for the host
// chunk, files and stored values), reads and writes preset and bank files,
// keeps the default bank and program, the A/B memories and the remembered
// paths in the per-user settings store. It lives as long as the effect and
// needs no window: a load tells the editor (when there is one) what to show.
//
// Threads: the constructing thread and the host's user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/SettingsStore.h"
#include "presets/StateBlock.h"

namespace vexal {

class CPresetSystemEffect;

class PresetStore {
public:
    static constexpr size_t kPathBytes = 257;

    // Without a settings store the platform's own is used.
    explicit PresetStore(CPresetSystemEffect& owner,
                         std::unique_ptr<platform::SettingsStore> store = nullptr);
    // Writes the remembered paths back when a file operation changed them.
    ~PresetStore();
    PresetStore(const PresetStore&) = delete;
    PresetStore& operator=(const PresetStore&) = delete;

    // --- state blocks --------------------------------------------------------
    // The loaders answer true when they changed the store. Each is bounded by
    // the size it is given and changes nothing when the data runs short or a
    // value is outside 0..1 (or not a number).
    bool loadLegacyBank(const uint8_t* images, size_t size, bool reversed, int32_t programCount,
                        int32_t valuesPerImage);
    bool loadBankRecords(const uint8_t* records, size_t size, const StateBlockHeader& header,
                         bool reversed);
    // A new block (release with delete[]) and its size; 0 and none without programs.
    int32_t buildBankBlock(uint8_t** block);
    bool loadLegacyProgram(const uint8_t* body, size_t size, bool reversed, int32_t valueCount);
    bool loadProgramRecords(const uint8_t* records, size_t size, const StateBlockHeader& header,
                            bool reversed);
    int32_t buildProgramBlock(uint8_t** block);

    // Stored-block dispatch: the owner id decides the byte order (inverted when
    // invert is set), the kind byte the loader; kinds of the other family are
    // refused. Files take their records as the header's recordBytes announce,
    // stored values everything behind the header.
    enum class BlockFamily { program, bank };
    bool loadStoredBlock(const uint8_t* data, size_t size, BlockFamily family, bool invert,
                         bool recordsAsAnnounced);

    // --- files, given a path ----------------------------------------------------
    // Each remembers the directory and file name (split at the last '/') and
    // answers false when the file could not be read or written, or was refused.
    bool savePresetFileTo(const char* path);
    bool loadPresetFileFrom(const char* path, bool reversed);
    bool saveBankFileTo(const char* path);
    // Ends with program 0 selected once the file was read, whatever it held.
    bool loadBankFileFrom(const char* path, bool reversed);
    // Why the last file read or write failed; empty when it did not say.
    const std::string& fileProblem() const { return problem; }

    // --- stored defaults and memories ---------------------------------------------
    // Stores and clears answer false when the settings store failed (its
    // lastProblem says why); loads and recalls do nothing without a value.
    bool storeDefaultBank();
    bool clearDefaultBank();
    void loadDefaultBank();
    bool storeDefaultProgram();
    bool clearDefaultProgram();
    void loadDefaultProgram();
    bool storeMemoA();
    bool storeMemoB();
    void recallMemoA();
    void recallMemoB();

    // The default bank, program 0, the default program and the remembered paths.
    void loadStartupState();
    void writePathState();
    void readPathState();

    const char* currentDirectory() const { return directory; }
    const char* currentBankFile() const { return bankFile; }
    const char* currentPresetFile() const { return presetFile; }
    platform::SettingsStore& settingsStore() { return *settings; }

private:
    // Decides the byte order from the owner id; false when it matches neither.
    bool isOwnBlock(const uint8_t* data, size_t size, bool& reversed);
    bool storeBlock(const char* valueName, bool bank);
    bool clearValue(const char* valueName);
    bool loadStoredValue(const char* valueName, BlockFamily family);
    bool writeFile(const char* path, bool bank);
    // A regular file of more than 4 bytes, read whole; else problem says why.
    bool readFile(const char* path, std::vector<uint8_t>& bytes);
    void rememberPath(const char* path, char* fileName);
    // Applies the program block records to program c; false on a fault.
    bool applyProgramRecords(const uint8_t* records, size_t size, int32_t count, bool reversed,
                             int32_t c);
    void finishProgramLoad(int32_t c);
    // Program c from a legacy image (name, then `values` floats); false at the
    // first value outside 0..1, with program c then partly written.
    bool readLegacyImage(const uint8_t* image, int32_t values, bool reversed, int32_t c);
    // What the editor shows, when the effect has one.
    void showProgramName(const char* name);
    void showBankInMenu(const bool* named, int32_t selected);

    CPresetSystemEffect& owner;
    std::unique_ptr<platform::SettingsStore> settings;
    char directory[kPathBytes] = {};
    char bankFile[kPathBytes] = {};
    char presetFile[kPathBytes] = {};
    bool pathsChanged = false;
    std::string problem;
};

}  // namespace vexal
