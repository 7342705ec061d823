// Preset and bank files, the stored default bank and program, the A/B
// memories and the remembered paths.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "CPresetSystemEffect.h"
#include "PresetStore.h"
#include "platform/FileReplacement.h"
#include "platform/PathNames.h"

namespace vexal {

namespace {

using platform::SettingsKey;

constexpr size_t kMaxPathChars = PresetStore::kPathBytes - 1;

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

PresetStore::PresetStore(CPresetSystemEffect& owner, std::unique_ptr<platform::SettingsStore> store)
    : owner(owner), settings(std::move(store)) {
    if (!settings) settings = platform::makeSettingsStore();
}

PresetStore::~PresetStore() { writePathState(); }

// --- files -------------------------------------------------------------------------

void PresetStore::rememberPath(const char* path, char* fileName) {
    const std::string text(path);
    const size_t slash = platform::lastPathSeparator(text);
    const size_t split = slash == std::string::npos ? 0 : slash + 1;
    copyPath(directory, text.substr(0, split));
    copyPath(fileName, text.substr(split));
    pathsChanged = true;
}

bool PresetStore::writeFile(const char* path, bool bank) {
    uint8_t* raw = nullptr;
    const int32_t size = bank ? buildBankBlock(&raw) : buildProgramBlock(&raw);
    const Block block(raw);
    problem.clear();
    if (!block || size <= 0) {
        problem = "cannot be written: the programs could not be collected";
        return false;
    }
    // The dialog asked before replacing; a file nobody may write stays as it is.
    return platform::replaceFileContents(path, block.get(), static_cast<size_t>(size), {}, problem);
}

bool PresetStore::readFile(const char* path, std::vector<uint8_t>& bytes) {
    problem.clear();
    if (!platform::readRegularFile(path, kMaxStoredBlockBytes, bytes, problem)) return false;
    return bytes.size() > 4;
}

bool PresetStore::savePresetFileTo(const char* path) {
    problem.clear();
    if (!path || !path[0]) return false;
    rememberPath(path, presetFile);
    return writeFile(path, false);
}

bool PresetStore::saveBankFileTo(const char* path) {
    problem.clear();
    if (!path || !path[0]) return false;
    rememberPath(path, bankFile);
    return writeFile(path, true);
}

bool PresetStore::loadPresetFileFrom(const char* path, bool reversed) {
    problem.clear();
    if (!path || !path[0]) return false;
    rememberPath(path, presetFile);
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes)) return false;
    return loadStoredBlock(bytes.data(), bytes.size(), BlockFamily::program, reversed, true);
}

bool PresetStore::loadBankFileFrom(const char* path, bool reversed) {
    problem.clear();
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
    owner.selectProgram(0);
    return loaded;
}

// --- stored defaults and memories ------------------------------------------------------

bool PresetStore::storeBlock(const char* valueName, bool bank) {
    uint8_t* raw = nullptr;
    const int32_t size = bank ? buildBankBlock(&raw) : buildProgramBlock(&raw);
    const Block block(raw);
    if (!block || size <= 0 || !settings) return false;
    return settings->writeBinary(SettingsKey::main, valueName, block.get(), static_cast<size_t>(size));
}

bool PresetStore::loadStoredValue(const char* valueName, BlockFamily family) {
    std::vector<uint8_t> bytes;
    if (!settings || !settings->readBinary(SettingsKey::main, valueName, bytes, kMaxStoredBlockBytes))
        return false;
    if (bytes.size() < static_cast<size_t>(kLegacyBlockHeadBytes)) return false;
    return loadStoredBlock(bytes.data(), bytes.size(), family, false, false);
}

bool PresetStore::clearValue(const char* valueName) {
    return !settings || settings->deleteValue(SettingsKey::main, valueName);
}

bool PresetStore::storeDefaultBank() { return storeBlock("DefaultBank", true); }
bool PresetStore::clearDefaultBank() { return clearValue("DefaultBank"); }
void PresetStore::loadDefaultBank() { loadStoredValue("DefaultBank", BlockFamily::bank); }

bool PresetStore::storeDefaultProgram() { return storeBlock("DefaultPreset", false); }
bool PresetStore::clearDefaultProgram() { return clearValue("DefaultPreset"); }
void PresetStore::loadDefaultProgram() { loadStoredValue("DefaultPreset", BlockFamily::program); }

bool PresetStore::storeMemoA() { return storeBlock("MemoA", false); }
bool PresetStore::storeMemoB() { return storeBlock("MemoB", false); }
void PresetStore::recallMemoA() { loadStoredValue("MemoA", BlockFamily::program); }
void PresetStore::recallMemoB() { loadStoredValue("MemoB", BlockFamily::program); }

// --- start-up and remembered paths ----------------------------------------------------

void PresetStore::loadStartupState() {
    loadDefaultBank();
    owner.selectProgram(0);
    loadDefaultProgram();
    readPathState();
}

void PresetStore::readPathState() {
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
void PresetStore::writePathState() {
    if (!pathsChanged || !settings) return;
    settings->writeString(SettingsKey::main, "CurrDir", directory);
    settings->writeString(SettingsKey::main, "CurrBank", bankFile);
    settings->writeString(SettingsKey::main, "CurrPreset", presetFile);
    pathsChanged = false;
}

}  // namespace vexal
