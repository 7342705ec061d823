// The Linux settings store: one file per value, raw bytes, UTF-8 strings and
// four little-endian bytes per number; atomic replacement; bounded reads.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "../support/TempConfigDir.h"
#include "core/Plugin.h"
#include "editor/Editor.h"
#include "platform/linux/FolderSettingsStore.h"

using testsupport::TempConfigDir;
using vexal::platform::FolderSettingsStore;
using vexal::platform::SettingsKey;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

Bytes fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Restores the variables a test changes.
class SavedEnvironment {
public:
    SavedEnvironment() {
        for (const char* name : kNames) {
            const char* v = std::getenv(name);
            saved.push_back(v ? std::optional<std::string>(v) : std::nullopt);
        }
    }
    ~SavedEnvironment() {
        for (size_t i = 0; i < saved.size(); ++i) {
            if (saved[i])
                ::setenv(kNames[i], saved[i]->c_str(), 1);
            else
                ::unsetenv(kNames[i]);
        }
    }

private:
    static constexpr const char* kNames[3] = {"VEXAL_CONFIG_DIR", "XDG_CONFIG_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
};

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { TempConfigDir::clear(); }
    fs::path root() const { return TempConfigDir::path(); }
};

TEST_F(SettingsStore, ValueFormats) {
    FolderSettingsStore store;
    EXPECT_EQ(store.folder(), root().string());
    ASSERT_TRUE(store.writeNumber(SettingsKey::prefs, "Metering_Scale", 0x01020304));
    EXPECT_EQ(fileBytes(root() / "PREFS" / "Metering_Scale"), (Bytes{4, 3, 2, 1}));
    ASSERT_TRUE(store.writeString(SettingsKey::main, "CurrDir", "/home/ü/"));
    EXPECT_EQ(fileBytes(root() / "CurrDir"), (Bytes{'/', 'h', 'o', 'm', 'e', '/', 0xC3, 0xBC, '/'}));
    ASSERT_TRUE(store.writeBinary(SettingsKey::main, "MemoA", "\0\1\2", 3));
    EXPECT_EQ(fileBytes(root() / "MemoA"), (Bytes{0, 1, 2}));

    int32_t number = 0;
    EXPECT_TRUE(store.readNumber(SettingsKey::prefs, "Metering_Scale", number));
    EXPECT_EQ(number, 0x01020304);
    EXPECT_FALSE(store.readNumber(SettingsKey::main, "Metering_Scale", number));  // other key
    std::string text;
    EXPECT_TRUE(store.readString(SettingsKey::main, "CurrDir", text, 256));
    EXPECT_EQ(text, "/home/ü/");
    EXPECT_FALSE(store.readString(SettingsKey::main, "CurrDir", text, 8));  // larger than the bound
    Bytes bytes;
    EXPECT_TRUE(store.readBinary(SettingsKey::main, "MemoA", bytes, 3));
    EXPECT_EQ(bytes, (Bytes{0, 1, 2}));
    EXPECT_FALSE(store.readBinary(SettingsKey::main, "MemoA", bytes, 2));
    // A number of any other size counts as missing.
    ASSERT_TRUE(store.writeBinary(SettingsKey::prefs, "Metering_Type", "\1\0\0", 3));
    EXPECT_FALSE(store.readNumber(SettingsKey::prefs, "Metering_Type", number));

    EXPECT_TRUE(store.deleteValue(SettingsKey::main, "MemoA"));
    EXPECT_TRUE(store.deleteValue(SettingsKey::main, "MemoA"));  // missing is no error
    EXPECT_FALSE(store.readBinary(SettingsKey::main, "MemoA", bytes, 100));
    // Names never leave the folder.
    EXPECT_FALSE(store.writeBinary(SettingsKey::main, "../escape", "x", 1));
    EXPECT_FALSE(store.writeBinary(SettingsKey::main, "..", "x", 1));
    EXPECT_FALSE(store.writeBinary(SettingsKey::main, "", "x", 1));
    EXPECT_FALSE(fs::exists(root().parent_path() / "escape"));
    // No temporary file is left behind.
    EXPECT_EQ(entries(root()), (std::vector<std::string>{"CurrDir", "PREFS"}));
}

TEST_F(SettingsStore, FailingWriteKeepsOldValue) {
    FolderSettingsStore store;
    ASSERT_TRUE(store.writeBinary(SettingsKey::main, "DefaultBank", "old", 3));
    // Files may grow to 8 bytes only: the new value cannot be written in full.
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    auto* previous = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = before;
    small.rlim_cur = 8;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string large(4096, 'n');
    const bool written = store.writeBinary(SettingsKey::main, "DefaultBank", large.data(), large.size());
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    Bytes bytes;
    ASSERT_TRUE(store.readBinary(SettingsKey::main, "DefaultBank", bytes, 100));
    EXPECT_EQ(bytes, (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(entries(root()), (std::vector<std::string>{"DefaultBank"}));
}

TEST_F(SettingsStore, FolderFromEnvironment) {
    SavedEnvironment restore;
    ::unsetenv("VEXAL_CONFIG_DIR");
    ::setenv("XDG_CONFIG_HOME", "/xdg/config", 1);
    EXPECT_EQ(FolderSettingsStore::defaultFolder(), "/xdg/config/Ortelwerk/ZVKvexal");
    ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(FolderSettingsStore::defaultFolder(), "/home/someone/.config/Ortelwerk/ZVKvexal");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(FolderSettingsStore::defaultFolder(), "/home/someone/.config/Ortelwerk/ZVKvexal");
    ::unsetenv("HOME");
    EXPECT_EQ(FolderSettingsStore::defaultFolder(), "");

    // Without any folder nothing is read or written, and an instance still starts.
    FolderSettingsStore none;
    EXPECT_FALSE(none.writeNumber(SettingsKey::prefs, "Metering_Scale", 1));
    int32_t number = 0;
    EXPECT_FALSE(none.readNumber(SettingsKey::prefs, "Metering_Scale", number));
    vexal::Plugin plugin(nullptr, vexal::makeEditor);
    EXPECT_STREQ(plugin.program(0).name, "Default");
    dynamic_cast<vexal::CPresetSystemEditor*>(plugin.presetEditor())->storeMemoA();  // silently nothing
}

}  // namespace
