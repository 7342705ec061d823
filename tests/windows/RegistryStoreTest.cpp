// Windows: the settings store on the registry. Its stored forms (key paths,
// value types, UTF-16 strings with their terminator, 4-byte numbers), and the
// round trips of the default program and bank, the compare memories and the
// remembered paths: stored by one instance's preset system, found by a new
// instance loaded through the DLL's binary interface.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../support/RegistryValues.h"
#include "core/Plugin.h"
#include "host/TestHost.h"
#include "platform/windows/RegistrySettingsStore.h"
#include "presets/PresetStore.h"

namespace registry = testsupport::registry;
using vexal::platform::SettingsKey;
using Bytes = std::vector<uint8_t>;

namespace {

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override { registry::clear(); }
    void TearDown() override { registry::clear(); }

    static Bytes stored(const std::string& relative, DWORD expectedType) {
        DWORD type = 0;
        Bytes bytes;
        EXPECT_TRUE(registry::read(relative, type, bytes)) << relative;
        EXPECT_EQ(type, expectedType) << relative;
        return bytes;
    }
};

TEST_F(RegistryStore, StoredForms) {
    EXPECT_STREQ(vexal::platform::RegistrySettingsStore::defaultKeyPath(), L"SOFTWARE\\Ortelwerk\\ZVKvexal");
    vexal::platform::RegistrySettingsStore store;
    const Bytes block{0x5A, 0x56, 0x76, 0x78, 0x22, 0, 0xFF};
    ASSERT_TRUE(store.writeBinary(SettingsKey::main, "MemoA", block.data(), block.size()));
    EXPECT_EQ(stored("MemoA", REG_BINARY), block);

    // Strings: the members' 8-bit text (here the code page's "é", 0xE9 in
    // Windows-1252) as UTF-16 with the terminating null.
    const std::string folder = "C:\\Presets\\Caf\xE9\\";
    ASSERT_TRUE(store.writeString(SettingsKey::main, "CurrDir", folder));
    const Bytes text = stored("CurrDir", REG_SZ);
    ASSERT_EQ(text.size(), (folder.size() + 1) * 2);
    EXPECT_EQ(text[28], 0xE9);
    EXPECT_EQ(text[29], 0x00);
    EXPECT_EQ(text[text.size() - 2] | text.back(), 0);
    std::string back;
    ASSERT_TRUE(store.readString(SettingsKey::main, "CurrDir", back, 256));
    EXPECT_EQ(back, folder);
    EXPECT_FALSE(store.readString(SettingsKey::main, "CurrDir", back, folder.size() - 1));  // over the limit
    EXPECT_FALSE(store.readString(SettingsKey::main, "MemoA", back, 256));                 // not a string

    // Numbers are REG_DWORD in PREFS; a value of another size is missing.
    ASSERT_TRUE(store.writeNumber(SettingsKey::prefs, "Metering_AttShow", 5));
    EXPECT_EQ(stored("PREFS/Metering_AttShow", REG_DWORD), (Bytes{5, 0, 0, 0}));
    int32_t number = 0;
    EXPECT_TRUE(store.readNumber(SettingsKey::prefs, "Metering_AttShow", number));
    EXPECT_EQ(number, 5);
    ASSERT_TRUE(registry::write("PREFS/Metering_Type", REG_SZ, L"peak!", sizeof(L"peak!")));
    EXPECT_FALSE(store.readNumber(SettingsKey::prefs, "Metering_Type", number));

    // Bounded reads, and deletes that find nothing are no error.
    Bytes bytes;
    EXPECT_FALSE(store.readBinary(SettingsKey::main, "MemoA", bytes, block.size() - 1));
    EXPECT_TRUE(store.readBinary(SettingsKey::main, "MemoA", bytes, block.size()));
    EXPECT_TRUE(store.deleteValue(SettingsKey::main, "MemoA"));
    EXPECT_FALSE(store.readBinary(SettingsKey::main, "MemoA", bytes, 100000));
    EXPECT_TRUE(store.deleteValue(SettingsKey::main, "MemoA"));
    registry::clear();
    EXPECT_TRUE(store.deleteValue(SettingsKey::main, "DefaultBank"));
}

TEST_F(RegistryStore, RoundTripsThroughNewInstances) {
    {
        vexal::Plugin saver(nullptr);
        vexal::PresetStore* presets = &saver.presetStore();
        saver.selectProgram(5);
        saver.setParameter(1, 0.8125f);
        char name[] = "Kept in HKCU";
        saver.setProgramName(name);
        presets->storeDefaultProgram();
        presets->storeMemoA();
        saver.setParameter(1, 0.25f);
        presets->storeMemoB();
        presets->storeDefaultBank();
        // The remembered paths are written when the editor object goes.
        const std::string file = std::string(std::getenv("TEMP") ? std::getenv("TEMP") : "C:\\") + "\\kept.zvk";
        ASSERT_TRUE(presets->savePresetFileTo(file.c_str()));
    }
    EXPECT_EQ(stored("DefaultPreset", REG_BINARY).size(), stored("MemoA", REG_BINARY).size());
    EXPECT_EQ(stored("DefaultBank", REG_BINARY).size(), 24041u);
    EXPECT_EQ(stored("CurrPreset", REG_SZ).size(), (std::strlen("kept.zvk") + 1) * 2);

    // A new instance through the binary interface starts on the stored
    // default program; the stored bank's program 5 holds the later value.
    testhost::TestHost host;
    {
        testhost::Instance fx(host);
        ASSERT_TRUE(fx);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Kept in HKCU");
        EXPECT_EQ(fx.getParameter(1), 0.8125f);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramNameIndexed, 5), "Kept in HKCU");
    }

    // Recalling the memories in another instance brings the snapshots back.
    vexal::Plugin other(nullptr);
    EXPECT_EQ(std::string(other.presetStore().currentPresetFile()), "kept.zvk");
    EXPECT_FALSE(std::string(other.presetStore().currentDirectory()).empty());
    other.setParameter(1, 0.5f);
    other.presetStore().recallMemoB();
    EXPECT_EQ(other.getParameter(1), 0.25f);
    other.presetStore().recallMemoA();
    EXPECT_EQ(other.getParameter(1), 0.8125f);

    // Clearing the default program and bank: the next instance starts on "Default".
    other.presetStore().clearDefaultProgram();
    other.presetStore().clearDefaultBank();
    testhost::Instance fresh(host);
    EXPECT_EQ(fresh.stringRequest(vst::effGetProgramName), "Default");
}

}  // namespace
