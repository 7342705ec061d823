// What a new instance finds in the per-user settings folder: metering
// preferences and the stored default bank and program, written here as files
// the way the settings store keeps them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/StateBytes.h"
#include "../support/TempConfigDir.h"
#include "host/TestHost.h"

using namespace testhost;
using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

class PersistedState : public ::testing::Test {
protected:
    void SetUp() override { TempConfigDir::clear(); }

    static void writeValue(const std::string& relative, const Bytes& bytes) {
#ifdef _WIN32
        ASSERT_TRUE(registry::write(relative, REG_BINARY, bytes.data(), bytes.size()));
        return;
#endif
        const std::filesystem::path file = std::filesystem::path(TempConfigDir::path()) / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static void writeNumber(const std::string& name, int32_t value) {
#ifdef _WIN32
        ASSERT_TRUE(registry::write("PREFS/" + name, REG_DWORD, &value, 4));
        return;
#endif
        ByteWriter w;
        w.i32(value);
        writeValue("PREFS/" + name, w.bytes);
    }
    static void removeStored(const std::string& relative) {
#ifdef _WIN32
        registry::remove(relative);
#else
        std::filesystem::remove_all(std::filesystem::path(TempConfigDir::path()) / relative);
#endif
    }
    static std::vector<std::string> meteringTexts(Instance& fx) {
        std::vector<std::string> texts;
        for (int index : {9, 18, 19, 20, 14, 21}) texts.push_back(fx.parameterDisplay(index));
        return texts;
    }
    static std::vector<std::string> folderEntries() {
#ifdef _WIN32
        return registry::entries();
#endif
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(TempConfigDir::path()))
            names.push_back(e.path().filename().string());
        return names;
    }

    TestHost host;
};

using Texts = std::vector<std::string>;

TEST_F(PersistedState, MeteringPreferencesAtConstruction) {
    {
        Instance fx(host);
        EXPECT_EQ(meteringTexts(fx), (Texts{"K-12", "peak", "24dB", "12L", "off", "pre"}));
    }
    const char* names[] = {"Metering_Scale",   "Metering_Type",  "Metering_Zoom",
                           "Metering_AttShow", "Metering_Recon", "Metering_Post"};
    const int32_t stored[] = {2, 1, 1, 4, 1, 1};
    for (int i = 0; i < 6; ++i) writeNumber(names[i], stored[i]);
    {
        Instance fx(host);
        EXPECT_EQ(meteringTexts(fx), (Texts{"K-20", "k-system", "12dB", "L", "on", "post"}));
        EXPECT_EQ(fx.getParameter(20), 0.5625f);  // stepValue(4, 8)
        // The preferences went into program 0 (and so into the template).
        void* data = nullptr;
        const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &data);
        const ParsedBank bank = parseBankChunk(static_cast<uint8_t*>(data), static_cast<size_t>(size));
        EXPECT_EQ(bank.programs[0].values[9], 2.5f / 3.0f);
        EXPECT_EQ(bank.programs[1].values[9], 0.165f);
    }
    // A value of the wrong size is skipped and the next one still read.
    writeValue("PREFS/Metering_Type", {1, 0, 0, 0, 0});
    writeValue("PREFS/Metering_Scale", {1, 0});
    writeNumber("Metering_Zoom", 0);
    {
        Instance fx(host);
        EXPECT_EQ(meteringTexts(fx), (Texts{"K-12", "peak", "24dB", "L", "on", "post"}));
    }
    // Numbers outside the steps are limited to them.
    writeNumber("Metering_Scale", 7);
    writeNumber("Metering_AttShow", -3);
    writeNumber("Metering_Post", 0x7FFFFFFF);
    {
        Instance fx(host);
        EXPECT_EQ(meteringTexts(fx), (Texts{"K-20", "peak", "24dB", "", "on", "post"}));
    }
    // Deleting the folder restores the factory metering.
    removeStored("PREFS");
    {
        Instance fx(host);
        EXPECT_EQ(meteringTexts(fx), (Texts{"K-12", "peak", "24dB", "12L", "off", "pre"}));
    }
}

TEST_F(PersistedState, StoredDefaultProgramAndBank) {
    Program mine = factoryBank()[9];
    mine.name = "Stored default";
    mine.values[1] = 0.8125f;
    {
        writeValue("DefaultPreset", programBlock(mine));
        Instance fx(host);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Stored default");
        EXPECT_EQ(fx.getParameter(1), 0.8125f);
    }
    {
        // A big-endian default program and a legacy one load the same way.
        writeValue("DefaultPreset", programBlock(mine, true));
        Instance fx(host);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Stored default");
        writeValue("DefaultPreset", legacyProgramBlock(mine, 26));
        Instance legacy(host);
        EXPECT_EQ(legacy.stringRequest(vst::effGetProgramName), "Stored default");
        EXPECT_EQ(legacy.getParameter(1), 0.8125f);
    }
    {
        // A 4-byte value, a bank stored as the default program and a truncated block are ignored.
        Bytes truncated = programBlock(mine);
        truncated.resize(500);
        for (const Bytes& bad : {Bytes{0x78, 0x76, 0x56, 0x5A}, bankBlock(factoryBank(), 0), truncated}) {
            writeValue("DefaultPreset", bad);
            Instance fx(host);
            EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Default");
            EXPECT_EQ(fx.getParameter(1), 0.5f);
        }
    }
    removeStored("DefaultPreset");
    {
        // The default bank replaces the programs; program 0 of it is where an instance starts.
        std::vector<Program> bank = factoryBank();
        bank[0] = mine;
        bank[0].name = "Bank zero";
        bank[12].name = "Bank twelve";
        writeValue("DefaultBank", bankBlock(bank, 12));
        Instance fx(host);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Bank zero");
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramNameIndexed, 12), "Bank twelve");
        EXPECT_EQ(fx.getParameter(1), 0.8125f);
    }
}

TEST_F(PersistedState, ScanWritesNothing) {
    for (int i = 0; i < 3; ++i) {
        Instance fx(host);
        fx.setParameter(9, 0.9f);
        char name[] = "renamed";
        fx.dispatch(vst::effSetProgramName, 0, 0, name);
    }
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(PersistedState, UnusableFolderStillLoads) {
    const std::string saved = TempConfigDir::path();
    // A folder that is a file, and one that does not exist.
    writeValue("plainfile", {1, 2, 3});
    for (const std::string& dir : {saved + "/plainfile", saved + "/missing/deeper"}) {
        ::setenv("VEXAL_CONFIG_DIR", dir.c_str(), 1);
        Instance fx(host);
        ASSERT_TRUE(fx);
        EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Default");
    }
    ::setenv("VEXAL_CONFIG_DIR", saved.c_str(), 1);
}

}  // namespace
