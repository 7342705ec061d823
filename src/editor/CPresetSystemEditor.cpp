// The preset system's operations as the editor offers them: each hands the
// work to the effect's preset store; a store or clear the user asked for says
// in the window when it failed.
#include "CPresetSystemEditor.h"

#include <string>

#include "gui/CFrame.h"
#include "presets/CPresetSystemEffect.h"

namespace vexal {

CPresetSystemEditor::CPresetSystemEditor(CPresetSystemEffect* owner) : AEffGUIEditor(owner), owner(owner) {}

CPresetSystemEditor::~CPresetSystemEditor() = default;

PresetStore& CPresetSystemEditor::store() const { return owner->presetStore(); }

// --- state blocks ----------------------------------------------------------------------

bool CPresetSystemEditor::loadLegacyBank(const uint8_t* images, size_t size, bool reversed,
                                         int32_t programCount, int32_t valuesPerImage) {
    return store().loadLegacyBank(images, size, reversed, programCount, valuesPerImage);
}

bool CPresetSystemEditor::loadBankRecords(const uint8_t* records, size_t size,
                                          const StateBlockHeader& header, bool reversed) {
    return store().loadBankRecords(records, size, header, reversed);
}

int32_t CPresetSystemEditor::buildBankBlock(uint8_t** block) { return store().buildBankBlock(block); }

bool CPresetSystemEditor::loadLegacyProgram(const uint8_t* body, size_t size, bool reversed,
                                            int32_t valueCount) {
    return store().loadLegacyProgram(body, size, reversed, valueCount);
}

bool CPresetSystemEditor::loadProgramRecords(const uint8_t* records, size_t size,
                                             const StateBlockHeader& header, bool reversed) {
    return store().loadProgramRecords(records, size, header, reversed);
}

int32_t CPresetSystemEditor::buildProgramBlock(uint8_t** block) { return store().buildProgramBlock(block); }

bool CPresetSystemEditor::loadStoredBlock(const uint8_t* data, size_t size, BlockFamily family, bool invert,
                                          bool recordsAsAnnounced) {
    return store().loadStoredBlock(data, size, family, invert, recordsAsAnnounced);
}

// --- files given a path ------------------------------------------------------------------

bool CPresetSystemEditor::savePresetFileTo(const char* path) { return store().savePresetFileTo(path); }
bool CPresetSystemEditor::saveBankFileTo(const char* path) { return store().saveBankFileTo(path); }
bool CPresetSystemEditor::loadPresetFileFrom(const char* path, bool reversed) {
    return store().loadPresetFileFrom(path, reversed);
}
bool CPresetSystemEditor::loadBankFileFrom(const char* path, bool reversed) {
    return store().loadBankFileFrom(path, reversed);
}

// --- stored defaults, memories and paths ----------------------------------------------------

// With the window closed (a host calling us without it) there is nobody to tell.
void CPresetSystemEditor::reportStoreFailure(const char* what, const char* action) {
    if (!frame) return;
    std::string text = std::string(what) + " could not be " + action;
    const std::string why = settingsStore().lastProblem();
    text += why.empty() ? std::string(".") : ": " + why + ".";
    frame->showMessage(text.c_str(), "Not saved");
}

void CPresetSystemEditor::reportUnless(bool done, const char* what, const char* action) {
    if (!done) reportStoreFailure(what, action);
}

void CPresetSystemEditor::storeDefaultBank() {
    reportUnless(store().storeDefaultBank(), "The default bank", "stored");
}
void CPresetSystemEditor::clearDefaultBank() {
    reportUnless(store().clearDefaultBank(), "The default bank", "cleared");
}
void CPresetSystemEditor::loadDefaultBank() { store().loadDefaultBank(); }

void CPresetSystemEditor::storeDefaultProgram() {
    reportUnless(store().storeDefaultProgram(), "The default program", "stored");
}
void CPresetSystemEditor::clearDefaultProgram() {
    reportUnless(store().clearDefaultProgram(), "The default program", "cleared");
}
void CPresetSystemEditor::loadDefaultProgram() { store().loadDefaultProgram(); }

void CPresetSystemEditor::storeMemoA() { reportUnless(store().storeMemoA(), "Memory A", "stored"); }
void CPresetSystemEditor::storeMemoB() { reportUnless(store().storeMemoB(), "Memory B", "stored"); }
void CPresetSystemEditor::recallMemoA() { store().recallMemoA(); }
void CPresetSystemEditor::recallMemoB() { store().recallMemoB(); }

void CPresetSystemEditor::loadStartupState() {
    store().loadStartupState();
    reservedStartup();
}
void CPresetSystemEditor::writePathState() { store().writePathState(); }
void CPresetSystemEditor::readPathState() { store().readPathState(); }

}  // namespace vexal
