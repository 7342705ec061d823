// Preset and bank files, the stored default bank and program, the A/B
// memories and the remembered paths.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "CPresetSystemEditor.h"
#include "CPresetSystemEffect.h"

namespace vexal {

namespace {

using platform::SettingsKey;

constexpr size_t kMaxPathChars = CPresetSystemEditor::kPathBytes - 1;

// Reads a whole regular file of at most maxBytes; false for anything else,
// also when the file changes size while it is read.
bool readWholeFile(const char* path, std::vector<uint8_t>& bytes, size_t maxBytes) {
    std::error_code error;
    const std::filesystem::path file(path);
    if (!std::filesystem::is_regular_file(file, error)) return false;
    const auto size = std::filesystem::file_size(file, error);
    if (error || size > maxBytes) return false;
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    bytes.resize(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<size_t>(in.gcount()) != bytes.size()) return false;
    return in.peek() == std::ifstream::traits_type::eof();
}

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
    const size_t slash = text.rfind('/');
    const size_t split = slash == std::string::npos ? 0 : slash + 1;
    copyPath(directory, text.substr(0, split));
    copyPath(fileName, text.substr(split));
    pathsChanged = true;
}

bool CPresetSystemEditor::writeFile(const char* path, bool bank) {
    uint8_t* raw = nullptr;
    const int32_t size = bank ? buildBankBlock(&raw) : buildProgramBlock(&raw);
    const Block block(raw);
    if (!block || size <= 0) return false;
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(block.get(), 1, static_cast<size_t>(size), file) ==
              static_cast<size_t>(size);
    ok = (std::fclose(file) == 0) && ok;
    return ok;
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
    if (!readWholeFile(path, bytes, kMaxStoredBlockBytes) || bytes.size() <= 4) return false;
    return loadStoredBlock(bytes.data(), bytes.size(), BlockFamily::program, reversed, true);
}

bool CPresetSystemEditor::loadBankFileFrom(const char* path, bool reversed) {
    if (!path || !path[0]) return false;
    rememberPath(path, bankFile);
    std::vector<uint8_t> bytes;
    if (!readWholeFile(path, bytes, kMaxStoredBlockBytes) || bytes.size() <= 4) return false;
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

void CPresetSystemEditor::storeDefaultBank() { storeBlock("DefaultBank", true); }
void CPresetSystemEditor::clearDefaultBank() {
    if (settings) settings->deleteValue(SettingsKey::main, "DefaultBank");
}
void CPresetSystemEditor::loadDefaultBank() { loadStoredValue("DefaultBank", BlockFamily::bank); }

void CPresetSystemEditor::storeDefaultProgram() { storeBlock("DefaultPreset", false); }
void CPresetSystemEditor::clearDefaultProgram() {
    if (settings) settings->deleteValue(SettingsKey::main, "DefaultPreset");
}
void CPresetSystemEditor::loadDefaultProgram() {
    loadStoredValue("DefaultPreset", BlockFamily::program);
}

void CPresetSystemEditor::storeMemoA() { storeBlock("MemoA", false); }
void CPresetSystemEditor::storeMemoB() { storeBlock("MemoB", false); }
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
