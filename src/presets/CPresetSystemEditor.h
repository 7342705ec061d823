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
#include <vector>

#include "../gui/AEffGUIEditor.h"
#include "../gui/CTimer.h"
#include "../platform/ChildProcess.h"
#include "../platform/SettingsStore.h"
#include "StateBlock.h"

namespace vexal {

class COptionMenu;
class CPresetSystemEffect;
class CPSKickButton;
class CPSRockerSwitch;
class CSaveLoadButton;
class CTextEdit;

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

    // --- the preset bar ---------------------------------------------------------
    // Builds the bar's controls onto the frame the editor has made (after the
    // editor's own controls) and starts the 30 ms idle timer; false, and
    // nothing done, without a frame.
    bool open(void* parentWindow) override;
    // Stops the timer and forgets the controls (the frame owns them and goes
    // with it: the editor closes the frame after this).
    void close() override;
    // The toolkit's idle, and the answer of a manual being opened.
    void idle() override;
    // The bar's controls, tags 1000 to 1019; other tags are left alone.
    void valueChanged(CControl* control) override;

    static constexpr uint32_t kIdleIntervalMs = 30;
    CTextEdit* getNameField() const { return nameField; }
    COptionMenu* getProgramMenu() const { return programMenu; }
    // The request of the last file dialog started (what the user was asked).
    const platform::FileDialogRequest& lastFileDialog() const { return lastDialog; }
    // A file dialog's answer, run at idle: the load or save through the path
    // functions below; a failure says why in the window and changes nothing.
    void fileDialogAnswered(bool bank, bool save, bool reversed, const char* path);

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
    // Opens the user manual (the bar's manual button).
    void openUserManual();

protected:
    // The bar's controls never stand for a parameter: no automation gestures.
    int32_t parameterOfControl(CControl* control) override;
    void frameClosing() override;
    // The manual installed beside the plug-in's file; empty when there is none.
    virtual std::string installedManualPath();

protected:
    platform::SettingsStore& settingsStore() { return *settings; }
    // "<what> could not be <action>: <why>." in the window (a store the user asked for).
    void reportStoreFailure(const char* what, const char* action);

private:
    class IdleTimer : public CTimer {
    public:
        explicit IdleTimer(CPresetSystemEditor& e) : CTimer(kIdleIntervalMs), editor(e) {}
        void fire() override { editor.idle(); }

    private:
        CPresetSystemEditor& editor;
    };

    void buildBar();
    void forgetBar();
    void nameTyped();
    void stepProgram(float direction);
    void programChosen();
    // Shows program p in the bar, selects it and re-applies its name.
    void switchToProgram(int32_t p, const char* name);
    // Starts a file dialog; the file operation runs when it answers.
    void runFileDialog(bool bank, bool save, bool reversed);
    void pollManualOpener();

    // Decides the byte order from the owner id; false when it matches neither.
    bool isOwnBlock(const uint8_t* data, size_t size, bool& reversed);
    bool storeBlock(const char* valueName, bool bank);
    void storeOrReport(const char* valueName, bool bank, const char* what);
    void clearOrReport(const char* valueName, const char* what);
    bool loadStoredValue(const char* valueName, BlockFamily family);
    bool writeFile(const char* path, bool bank);
    // A regular file of more than 4 bytes, read whole; else fileProblem says why.
    bool readFile(const char* path, std::vector<uint8_t>& bytes);
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
    std::string fileProblem;  // why the last file read or write failed; empty: it did not
    int32_t latencySamples = 0;

    // The bar's controls while the window is open, none otherwise.
    CTextEdit* nameField = nullptr;
    COptionMenu* programMenu = nullptr;
    CPSRockerSwitch* rocker = nullptr;
    CSaveLoadButton* loadBankButton = nullptr;
    CSaveLoadButton* saveBankButton = nullptr;
    CSaveLoadButton* loadPresetButton = nullptr;
    CSaveLoadButton* savePresetButton = nullptr;
    CPSKickButton* defaultBankButton = nullptr;
    CPSKickButton* defaultProgramButton = nullptr;
    CPSKickButton* storeAButton = nullptr;
    CPSKickButton* storeBButton = nullptr;
    CPSKickButton* recallAButton = nullptr;
    CPSKickButton* recallBButton = nullptr;
    CPSKickButton* manualButton = nullptr;
    IdleTimer idleTimer{*this};
    platform::FileDialogRequest lastDialog;
    std::unique_ptr<platform::DocumentOpener> manualOpener;
};

}  // namespace vexal
