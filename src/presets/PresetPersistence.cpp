// Preset and bank files, the stored default bank and program, the A/B
// memories and the remembered paths.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "../gui/CFrame.h"
#include "../platform/FileReplacement.h"
#include "../platform/PathNames.h"
#include "CPresetSystemEditor.h"
#include "CPresetSystemEffect.h"

namespace vexal {

namespace {

using platform::SettingsKey;

constexpr size_t kMaxPathChars = CPresetSystemEditor::kPathBytes - 1;

void copyPath(char* member, const std::string& text) {
    // A part too long for its buffer is forgotten rather than cut into another path.
    const std::string& kept = text.size() <= kMaxPathChars ? text : std::string();
    std::memcpy(member, kept.c_str(), kept.size() + 1);
}

struct BlockDeleter {
    void operator()(uint8_t* p) const { delete[] p; }
};
using Block = std::unique_ptr<uint8_t, BlockDeleter>;

}  // namespace

// --- files -------------------------------------------------------------------------

void CPresetSystemEditor::rememberPath(const char* path, char* fileName) {
    const std::string text(path);
    const size_t slash = platform::lastPathSeparator(text);
    const size_t split = slash == std::string::npos ? 0 : slash + 1;
    copyPath(directory, text.substr(0, split));
    copyPath(fileName, text.substr(split));
    pathsChanged = true;
}

bool CPresetSystemEditor::writeFile(const char* path, bool bank) {
    uint8_t* raw = nullptr;
    const int32_t size = bank ? buildBankBlock(&raw) : buildProgramBlock(&raw);
    const Block block(raw);
    fileProblem.clear();
    if (!block || size <= 0) {
        fileProblem = "cannot be written: the programs could not be collected";
        return false;
    }
    // The dialog asked before replacing; a file nobody may write stays as it is.
    return platform::replaceFileContents(path, block.get(), static_cast<size_t>(size), {}, fileProblem);
}

bool CPresetSystemEditor::readFile(const char* path, std::vector<uint8_t>& bytes) {
    fileProblem.clear();
    if (!platform::readRegularFile(path, kMaxStoredBlockBytes, bytes, fileProblem)) return false;
    return bytes.size() > 4;
}

bool CPresetSystemEditor::savePresetFileTo(const char* path) {
    if (!path || !path[0]) return false;
    rememberPath(path, presetFile);
    return writeFile(path, false);
}

bool CPresetSystemEditor::saveBankFileTo(const char* path) {
    if (!path || !path[0]) return false;
    rememberPath(path, bankFile);
    return writeFile(path, true);
}

bool CPresetSystemEditor::loadPresetFileFrom(const char* path, bool reversed) {
    if (!path || !path[0]) return false;
    rememberPath(path, presetFile);
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes)) return false;
    return loadStoredBlock(bytes.data(), bytes.size(), BlockFamily::program, reversed, true);
}

bool CPresetSystemEditor::loadBankFileFrom(const char* path, bool reversed) {
    if (!path || !path[0]) return false;
    rememberPath(path, bankFile);
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes)) return false;
    bool order = false;
    if (!isOwnBlock(bytes.data(), bytes.size(), order)) return false;
    const bool loaded = loadStoredBlock(bytes.data(), bytes.size(), BlockFamily::bank, reversed, true);
    // Whatever the file held, a bank load ends on program 0.
    bool none[kNumPrograms] = {};
    showBankInMenu(none, 0);
    owner->selectProgram(0);
    return loaded;
}

// --- stored defaults and memories ------------------------------------------------------

bool CPresetSystemEditor::storeBlock(const char* valueName, bool bank) {
    uint8_t* raw = nullptr;
    const int32_t size = bank ? buildBankBlock(&raw) : buildProgramBlock(&raw);
    const Block block(raw);
    if (!block || size <= 0 || !settings) return false;
    return settings->writeBinary(SettingsKey::main, valueName, block.get(), static_cast<size_t>(size));
}

bool CPresetSystemEditor::loadStoredValue(const char* valueName, BlockFamily family) {
    std::vector<uint8_t> bytes;
    if (!settings || !settings->readBinary(SettingsKey::main, valueName, bytes, kMaxStoredBlockBytes))
        return false;
    if (bytes.size() < static_cast<size_t>(kLegacyBlockHeadBytes)) return false;
    return loadStoredBlock(bytes.data(), bytes.size(), family, false, false);
}

// A store the user asked for says so in the window when it fails; with the
// window closed (a host calling us without it) there is nobody to tell.
void CPresetSystemEditor::reportStoreFailure(const char* what, const char* action) {
    if (!frame) return;
    std::string text = std::string(what) + " could not be " + action;
    const std::string why = settings ? settings->lastProblem() : std::string();
    text += why.empty() ? std::string(".") : ": " + why + ".";
    frame->showMessage(text.c_str(), "Not saved");
}

void CPresetSystemEditor::storeOrReport(const char* valueName, bool bank, const char* what) {
    if (!storeBlock(valueName, bank)) reportStoreFailure(what, "stored");
}

void CPresetSystemEditor::clearOrReport(const char* valueName, const char* what) {
    if (settings && !settings->deleteValue(SettingsKey::main, valueName)) reportStoreFailure(what, "cleared");
}

void CPresetSystemEditor::storeDefaultBank() { storeOrReport("DefaultBank", true, "The default bank"); }
void CPresetSystemEditor::clearDefaultBank() { clearOrReport("DefaultBank", "The default bank"); }
void CPresetSystemEditor::loadDefaultBank() { loadStoredValue("DefaultBank", BlockFamily::bank); }

void CPresetSystemEditor::storeDefaultProgram() {
    storeOrReport("DefaultPreset", false, "The default program");
}
void CPresetSystemEditor::clearDefaultProgram() { clearOrReport("DefaultPreset", "The default program"); }
void CPresetSystemEditor::loadDefaultProgram() {
    loadStoredValue("DefaultPreset", BlockFamily::program);
}

void CPresetSystemEditor::storeMemoA() { storeOrReport("MemoA", false, "Memory A"); }
void CPresetSystemEditor::storeMemoB() { storeOrReport("MemoB", false, "Memory B"); }
void CPresetSystemEditor::recallMemoA() { loadStoredValue("MemoA", BlockFamily::program); }
void CPresetSystemEditor::recallMemoB() { loadStoredValue("MemoB", BlockFamily::program); }

// --- start-up and remembered paths ----------------------------------------------------

void CPresetSystemEditor::loadStartupState() {
    loadDefaultBank();
    if (owner) owner->selectProgram(0);
    loadDefaultProgram();
    reservedStartup();
    readPathState();
}

void CPresetSystemEditor::readPathState() {
    std::string text[3];
    if (settings) {
        settings->readString(SettingsKey::main, "CurrDir", text[0], kMaxPathChars);
        settings->readString(SettingsKey::main, "CurrBank", text[1], kMaxPathChars);
        settings->readString(SettingsKey::main, "CurrPreset", text[2], kMaxPathChars);
    }
    copyPath(directory, text[0]);
    copyPath(bankFile, text[1]);
    copyPath(presetFile, text[2]);
    pathsChanged = false;
}

// Only an instance whose file operations changed the paths writes them: a
// host scanning the plug-in (create, destroy) writes nothing.
void CPresetSystemEditor::writePathState() {
    if (!pathsChanged || !settings) return;
    settings->writeString(SettingsKey::main, "CurrDir", directory);
    settings->writeString(SettingsKey::main, "CurrBank", bankFile);
    settings->writeString(SettingsKey::main, "CurrPreset", presetFile);
    pathsChanged = false;
}

}  // namespace vexal
