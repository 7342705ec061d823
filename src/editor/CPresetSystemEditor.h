// The preset system's editor object: the preset bar along the bottom of the
// window and the file dialogs, reports and manual it starts. Its state-block,
// file and stored-value operations hand the work to the effect's preset store
// (PresetStore), which needs no window; a failure the user asked about is
// said in the window. It exists for the whole life of the effect; the
// preset-bar controls exist only while the window is open, and every control
// update is skipped while it is not.
//
// Threads: the constructing thread and the host's user-interface thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "binding/AEffGUIEditor.h"
#include "gui/CTimer.h"
#include "platform/ChildProcess.h"
#include "platform/SettingsStore.h"
#include "presets/EditorLink.h"
#include "presets/PresetStore.h"
#include "presets/StateBlock.h"

namespace vexal {

class COptionMenu;
class CPresetSystemEffect;
class CPSKickButton;
class CPSRockerSwitch;
class CSaveLoadButton;
class CTextEdit;

class CPresetSystemEditor : public AEffGUIEditor, public EditorLink {
public:
    static constexpr size_t kPathBytes = PresetStore::kPathBytes;

    explicit CPresetSystemEditor(CPresetSystemEffect* owner);
    ~CPresetSystemEditor() override;

    // --- own operations, in slot order -------------------------------------
    virtual void reservedA() {}
    virtual void reservedB() {}
    void showProgramName(const char* name) override;
    virtual void loadStartupState();
    // The state-block, stored-value and path operations are the preset
    // store's (PresetStore); the editor adds what the window shows.
    virtual bool loadLegacyBank(const uint8_t* images, size_t size, bool reversed,
                                int32_t programCount, int32_t valuesPerImage);
    virtual bool loadBankRecords(const uint8_t* records, size_t size, const StateBlockHeader& header,
                                 bool reversed);
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
    void setLatency(int32_t samples) override { latencySamples = samples; }
    vst::AEffEditor* hostEditor() override { return this; }
    // Every program's title in the menu, program selected (window open only).
    void showBankInMenu(const bool* named, int32_t selected) override;

    // --- the file side, given a path -----------------------------------------
    // Each remembers the directory and file name (split at the last '/') and
    // answers false when the file could not be read or written, or was refused.
    bool savePresetFileTo(const char* path);
    bool loadPresetFileFrom(const char* path, bool reversed);
    bool saveBankFileTo(const char* path);
    // Ends with program 0 selected once the file was read, whatever it held.
    bool loadBankFileFrom(const char* path, bool reversed);

    // Stored-block dispatch (PresetStore::loadStoredBlock).
    using BlockFamily = PresetStore::BlockFamily;
    bool loadStoredBlock(const uint8_t* data, size_t size, BlockFamily family, bool invert,
                         bool recordsAsAnnounced);

    const char* currentDirectory() const { return store().currentDirectory(); }
    const char* currentBankFile() const { return store().currentBankFile(); }
    const char* currentPresetFile() const { return store().currentPresetFile(); }
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
    PresetStore& store() const;
    platform::SettingsStore& settingsStore() { return store().settingsStore(); }
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

    // A store or clear the user asked for: says so in the window when it failed.
    void reportUnless(bool done, const char* what, const char* action);

    CPresetSystemEffect* owner;
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
