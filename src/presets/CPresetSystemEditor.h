// The preset system's editor object: builds and loads state blocks (for the
// host chunk, files and stored values), reads and writes preset and bank
// files, keeps the default bank and program, the A/B memories and the
// remembered paths in the per-user settings store. It exists for the whole
// life of the effect; the preset-bar controls exist only while the window is
// open, and every control update is skipped while it is not.
//
// Threads: the constructing thread and the host's user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "../gui/AEffGUIEditor.h"
#include "../platform/SettingsStore.h"
#include "StateBlock.h"

namespace vexal {

class CPresetSystemEffect;

class CPresetSystemEditor : public AEffGUIEditor {
public:
    static constexpr size_t kPathBytes = 257;

    explicit CPresetSystemEditor(CPresetSystemEffect* owner,
                                 std::unique_ptr<platform::SettingsStore> store = nullptr);
    // Writes the remembered paths back when a file operation changed them.
    ~CPresetSystemEditor() override;

    // --- own operations, in slot order -------------------------------------
    virtual void reservedA() {}
    virtual void reservedB() {}
    virtual void showProgramName(const char* name);
    virtual void loadStartupState();
    // The loaders answer true when they changed the store. Each is bounded by
    // the size it is given and changes nothing when the data runs short or a
    // value is outside 0..1 (or not a number).
    virtual bool loadLegacyBank(const uint8_t* images, size_t size, bool reversed,
                                int32_t programCount, int32_t valuesPerImage);
    virtual bool loadBankRecords(const uint8_t* records, size_t size, const StateBlockHeader& header,
                                 bool reversed);
    // A new block (release with delete[]) and its size; 0 and none without a store.
    virtual int32_t buildBankBlock(uint8_t** block);
    virtual bool loadLegacyProgram(const uint8_t* body, size_t size, bool reversed,
                                   int32_t valueCount);
    virtual bool loadProgramRecords(const uint8_t* records, size_t size,
                                    const StateBlockHeader& header, bool reversed);
    virtual int32_t buildProgramBlock(uint8_t** block);
    // The dialog versions; without a window they do nothing.
    virtual void loadBankFile(bool reversed);
    virtual void saveBankFile();
    virtual void storeDefaultBank();
    virtual void clearDefaultBank();
    virtual void loadDefaultBank();
    virtual void loadPresetFile(bool reversed);
    virtual void savePresetFile();
    virtual void storeDefaultProgram();
    virtual void clearDefaultProgram();
    virtual void loadDefaultProgram();
    virtual void storeMemoA();
    virtual void storeMemoB();
    virtual void recallMemoA();
    virtual void recallMemoB();
    virtual void reservedStartup() {}
    virtual void writePathState();
    virtual void readPathState();

    // Opens the window on the host's parent window; false when it cannot be shown.
    bool open(void* parentWindow) override;

    // The latency the effect reports, shown by the editor window.
    virtual void setLatency(int32_t samples) { latencySamples = samples; }

    // --- the file side, given a path -----------------------------------------
    // Each remembers the directory and file name (split at the last '/') and
    // answers false when the file could not be read or written, or was refused.
    bool savePresetFileTo(const char* path);
    bool loadPresetFileFrom(const char* path, bool reversed);
    bool saveBankFileTo(const char* path);
    // Ends with program 0 selected once the file was read, whatever it held.
    bool loadBankFileFrom(const char* path, bool reversed);

    // Stored-block dispatch: the owner id decides the byte order (inverted when
    // invert is set), the kind byte the loader; kinds of the other family are
    // refused. Files take their records as the header's recordBytes announce,
    // stored values everything behind the header.
    enum class BlockFamily { program, bank };
    bool loadStoredBlock(const uint8_t* data, size_t size, BlockFamily family, bool invert,
                         bool recordsAsAnnounced);

    const char* currentDirectory() const { return directory; }
    const char* currentBankFile() const { return bankFile; }
    const char* currentPresetFile() const { return presetFile; }
    int32_t latency() const { return latencySamples; }
    // The user manual's location, written by the installation; empty when none.
    std::string manualPath();

protected:
    platform::SettingsStore& settingsStore() { return *settings; }

private:
    // Decides the byte order from the owner id; false when it matches neither.
    bool isOwnBlock(const uint8_t* data, size_t size, bool& reversed);
    bool storeBlock(const char* valueName, bool bank);
    bool loadStoredValue(const char* valueName, BlockFamily family);
    bool writeFile(const char* path, bool bank);
    void rememberPath(const char* path, char* fileName);
    // Applies the program block records to program c; false on a fault.
    bool applyProgramRecords(const uint8_t* records, size_t size, int32_t count, bool reversed,
                             int32_t c);
    void finishProgramLoad(int32_t c);
    // Program c from a legacy image (name, then `values` floats); false at the
    // first value outside 0..1, with program c then partly written.
    bool readLegacyImage(const uint8_t* image, int32_t values, bool reversed, int32_t c);

    // Preset-bar updates; the controls exist only while the window is open.
    void showBankInMenu(const bool* named, int32_t selected);

    CPresetSystemEffect* owner;
    std::unique_ptr<platform::SettingsStore> settings;
    char directory[kPathBytes] = {};
    char bankFile[kPathBytes] = {};
    char presetFile[kPathBytes] = {};
    bool pathsChanged = false;
    int32_t latencySamples = 0;
};

}  // namespace vexal
