// Preset and bank files, the stored defaults, the A/B memories and the
// remembered paths: the editor object's operations, driven directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../support/StateBytes.h"
#include "../support/TempConfigDir.h"
#include "core/Plugin.h"
#include "presets/PresetStore.h"

using namespace testsupport;
using vexal::Plugin;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

Program programOf(const Plugin& p, int index) {
    const vexal::ProgramRecord& r = p.program(index);
    Program out;
    out.name.assign(r.name, strnlen(r.name, 24));
    std::copy(std::begin(r.values), std::end(r.values), out.values.begin());
    return out;
}

std::vector<Program> storeOf(const Plugin& p) {
    std::vector<Program> bank;
    for (int k = 0; k < 24; ++k) bank.push_back(programOf(p, k));
    return bank;
}

class PresetFiles : public ::testing::Test {
protected:
    void SetUp() override {
        TempConfigDir::clear();
        folder = fs::path(TempConfigDir::path()) / "files dir ü";
        fs::create_directories(folder);
    }
    static std::unique_ptr<Plugin> make() { return std::make_unique<Plugin>(nullptr); }
    static vexal::PresetStore& editorOf(Plugin& p) { return p.presetStore(); }
    std::string path(const std::string& name) const { return (folder / name).string(); }
    void writeFile(const std::string& name, const Bytes& bytes) const {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    Bytes readFile(const std::string& name) const {
        std::ifstream in(folder / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    fs::path folder;
};

TEST_F(PresetFiles, PresetSavedAndLoadedIntoAnotherProgram) {
    auto p = make();
    p->selectProgram(4);
    p->setParameter(2, 0.33f);
    ASSERT_TRUE(editorOf(*p).savePresetFileTo(path("my preset.zvk").c_str()));
    const Bytes file = readFile("my preset.zvk");
    EXPECT_EQ(file.size(), 1041u);
    EXPECT_EQ(file, programBlock(programOf(*p, 4)));
    EXPECT_STREQ(editorOf(*p).currentDirectory(), (folder.string() + "/").c_str());
    EXPECT_STREQ(editorOf(*p).currentPresetFile(), "my preset.zvk");

    std::vector<Program> before = storeOf(*p);
    p->selectProgram(11);
    ASSERT_TRUE(editorOf(*p).loadPresetFileFrom(path("my preset.zvk").c_str(), false));
    EXPECT_EQ(p->getCurrentProgram(), 11);
    before[11] = before[4];
    EXPECT_EQ(storeOf(*p), before);
    EXPECT_EQ(p->getParameter(2), 0.33f);
}

TEST_F(PresetFiles, PresetHeaderCurrentProgramIsNotConsulted) {
    auto p = make();
    Program mine = factoryBank()[20];
    mine.name = "Into current";
    BlockBuilder b(0x22);
    b.currentProgram = 5;
    b.program(9, mine);  // programIndex is not consulted either
    writeFile("five.zvk", b.build());
    p->selectProgram(2);
    ASSERT_TRUE(editorOf(*p).loadPresetFileFrom(path("five.zvk").c_str(), false));
    EXPECT_EQ(p->getCurrentProgram(), 2);
    EXPECT_TRUE(programOf(*p, 2) == mine);
    EXPECT_EQ(programOf(*p, 5).name, "Loudness 1");
}

TEST_F(PresetFiles, BankByteOrders) {
    std::vector<Program> bank = factoryBank();
    bank[6].name = "Big endian six";
    bank[6].values[0] = 0.125f;
    writeFile("big.zvb", bankBlock(bank, 3, true));
    {
        // Written on a big-endian machine: the normal command reads it.
        auto p = make();
        ASSERT_TRUE(editorOf(*p).loadBankFileFrom(path("big.zvb").c_str(), false));
        EXPECT_EQ(storeOf(*p), bank);
        EXPECT_EQ(p->getCurrentProgram(), 0);  // a bank load always ends on program 0
        // The reversed command reads its fields unreversed: nothing loads.
        auto q = make();
        const auto before = storeOf(*q);
        EXPECT_FALSE(editorOf(*q).loadBankFileFrom(path("big.zvb").c_str(), true));
        EXPECT_EQ(storeOf(*q), before);
    }
    {
        // Native owner id, every other field reversed: only the reversed command reads it.
        Bytes mixed = bankBlock(bank, 3, true);
        ByteWriter owner;
        owner.u32(kOwnerId);
        std::memcpy(mixed.data(), owner.bytes.data(), 4);
        writeFile("mixed.zvb", mixed);
        auto p = make();
        const auto before = storeOf(*p);
        EXPECT_FALSE(editorOf(*p).loadBankFileFrom(path("mixed.zvb").c_str(), false));
        EXPECT_EQ(storeOf(*p), before);
        EXPECT_TRUE(editorOf(*p).loadBankFileFrom(path("mixed.zvb").c_str(), true));
        EXPECT_EQ(storeOf(*p), bank);
    }
}

TEST_F(PresetFiles, BankSaveAndLoadEndOnProgramZero) {
    auto p = make();
    p->selectProgram(9);
    p->setParameter(1, 0.9f);
    ASSERT_TRUE(editorOf(*p).saveBankFileTo(path("all.zvb").c_str()));
    const Bytes file = readFile("all.zvb");
    EXPECT_EQ(file.size(), 24041u);
    EXPECT_EQ(file, bankBlock(storeOf(*p), 9));
    EXPECT_STREQ(editorOf(*p).currentBankFile(), "all.zvb");

    auto q = make();
    q->selectProgram(7);
    ASSERT_TRUE(editorOf(*q).loadBankFileFrom(path("all.zvb").c_str(), false));
    EXPECT_EQ(storeOf(*q), storeOf(*p));
    EXPECT_EQ(q->getCurrentProgram(), 0);  // not 9, as the file names
}

TEST_F(PresetFiles, PresetOpenedAsBankLoadsNothingButSelectsProgramZero) {
    auto p = make();
    writeFile("preset.zvk", programBlock(factoryBank()[3]));
    p->selectProgram(6);
    const auto before = storeOf(*p);
    EXPECT_FALSE(editorOf(*p).loadBankFileFrom(path("preset.zvk").c_str(), false));
    EXPECT_EQ(storeOf(*p), before);
    EXPECT_EQ(p->getCurrentProgram(), 0);
    // And a bank opened as a preset loads nothing and selects nothing.
    writeFile("bank.zvb", bankBlock(factoryBank(), 0));
    p->selectProgram(6);
    EXPECT_FALSE(editorOf(*p).loadPresetFileFrom(path("bank.zvb").c_str(), false));
    EXPECT_EQ(p->getCurrentProgram(), 6);
}

TEST_F(PresetFiles, LegacyFiles) {
    auto p = make();
    Program old = factoryBank()[15];
    old.name = "Legacy preset";
    for (int j = 0; j < 26; ++j) old.values[j] = 0.03f * j;
    const Bytes legacy = legacyProgramBlock(old, 20);
    ASSERT_EQ(legacy.size(), 29u + 4u * 20u);
    writeFile("old.zvk", legacy);
    p->selectProgram(8);
    ASSERT_TRUE(editorOf(*p).loadPresetFileFrom(path("old.zvk").c_str(), false));
    const Program loaded = programOf(*p, 8);
    EXPECT_EQ(loaded.name, "Legacy preset");
    for (int j = 0; j < 20; ++j) EXPECT_EQ(loaded.values[j], old.values[j]) << j;
    for (int j = 20; j < 26; ++j) EXPECT_EQ(loaded.values[j], p->templateProgram().values[j]) << j;
    old.values[19] = -0.5f;  // the last value read is out of range: the program stays as it was
    writeFile("bad.zvk", legacyProgramBlock(old, 20));
    EXPECT_FALSE(editorOf(*p).loadPresetFileFrom(path("bad.zvk").c_str(), false));
    EXPECT_EQ(programOf(*p, 8), loaded);

    // A legacy bank of 24 images, byte-reversed; then one with a value out of range.
    std::vector<Program> bank = factoryBank();
    bank[23].name = "Legacy bank end";
    writeFile("old.zvb", legacyBankBlock(bank, 26, true));
    ASSERT_TRUE(editorOf(*p).loadBankFileFrom(path("old.zvb").c_str(), false));
    EXPECT_EQ(storeOf(*p), bank);
    bank[12].values[4] = 1.01f;
    writeFile("bad.zvb", legacyBankBlock(bank, 26));
    const auto before = storeOf(*p);
    EXPECT_FALSE(editorOf(*p).loadBankFileFrom(path("bad.zvb").c_str(), false));
    EXPECT_EQ(storeOf(*p), before);
}

TEST_F(PresetFiles, UnreadableFilesChangeNothing) {
    auto p = make();
    p->selectProgram(5);
    const auto before = storeOf(*p);
    Bytes announcesMore = programBlock(factoryBank()[1]);
    announcesMore.resize(900);  // the header still announces 1000 bytes of records
    writeFile("short.zvk", announcesMore);
    writeFile("empty.zvk", {});
    writeFile("four.zvk", {0x78, 0x76, 0x56, 0x5A});
    writeFile("foreign.zvk", Bytes(1041, 0x41));
    Bytes oddRecord = programBlock(factoryBank()[1]);
    ByteWriter size;
    size.u32(8);  // a name record too short for its name
    std::memcpy(&oddRecord[41 + 4], size.bytes.data(), 4);
    writeFile("oddrecord.zvk", oddRecord);
    fs::create_directories(folder / "adir.zvk");
    {
        // Larger than any state block: refused without being read.
        std::ofstream big(folder / "huge.zvk", std::ios::binary);
        big.seekp((2 << 20) - 1);
        big.put(0);
    }
    for (const char* name : {"missing.zvk", "short.zvk", "empty.zvk", "four.zvk", "foreign.zvk",
                             "oddrecord.zvk", "adir.zvk", "huge.zvk"}) {
        EXPECT_FALSE(editorOf(*p).loadPresetFileFrom(path(name).c_str(), false)) << name;
        EXPECT_EQ(p->getCurrentProgram(), 5) << name;  // a refused preset selects nothing
        EXPECT_FALSE(editorOf(*p).loadBankFileFrom(path(name).c_str(), false)) << name;
        EXPECT_EQ(storeOf(*p), before) << name;
        p->selectProgram(5);
    }
    // A bank file that could not be read, or is not ours, selects nothing either.
    p->selectProgram(7);
    for (const char* name : {"missing.zvk", "empty.zvk", "four.zvk", "foreign.zvk", "huge.zvk"}) {
        editorOf(*p).loadBankFileFrom(path(name).c_str(), false);
        EXPECT_EQ(p->getCurrentProgram(), 7) << name;
    }
    EXPECT_FALSE(editorOf(*p).savePresetFileTo(path("no such dir/x.zvk").c_str()));
    EXPECT_FALSE(editorOf(*p).saveBankFileTo(path("no such dir/x.zvb").c_str()));
    EXPECT_FALSE(editorOf(*p).savePresetFileTo(""));
    EXPECT_FALSE(editorOf(*p).loadPresetFileFrom(nullptr, false));
}

TEST_F(PresetFiles, RememberedPathsPersistOnlyWhenUsed) {
    {
        auto p = make();
        EXPECT_STREQ(editorOf(*p).currentDirectory(), "");
        EXPECT_STREQ(editorOf(*p).currentBankFile(), "");
    }
    EXPECT_FALSE(fs::exists(fs::path(TempConfigDir::path()) / "CurrDir"));
    {
        auto p = make();
        editorOf(*p).saveBankFileTo(path("b.zvb").c_str());
        editorOf(*p).savePresetFileTo(path("p.zvk").c_str());
        editorOf(*p).loadPresetFileFrom("relative-name.zvk", false);  // no directory part
    }
    auto q = make();
    EXPECT_STREQ(q->presetStore().currentDirectory(), "");
    EXPECT_STREQ(q->presetStore().currentBankFile(), "b.zvb");
    EXPECT_STREQ(q->presetStore().currentPresetFile(), "relative-name.zvk");
    editorOf(*q).loadBankFileFrom(path("b.zvb").c_str(), false);
    EXPECT_STREQ(q->presetStore().currentDirectory(), (folder.string() + "/").c_str());
}

TEST_F(PresetFiles, MemoriesAndDefaultProgram) {
    auto p = make();
    p->selectProgram(3);
    p->setParameter(5, 0.2f);
    const Program stored = programOf(*p, 3);
    p->presetStore().storeMemoA();
    p->setParameter(5, 0.9f);
    p->renameCurrentProgram("changed");
    p->presetStore().recallMemoA();
    EXPECT_TRUE(programOf(*p, 3) == stored);
    EXPECT_EQ(p->getParameter(5), 0.2f);

    // Another instance recalls the same memory into its current program.
    auto q = make();
    q->selectProgram(10);
    q->presetStore().recallMemoA();
    EXPECT_TRUE(programOf(*q, 10) == stored);

    // A memory never stored changes nothing.
    const auto before = storeOf(*q);
    q->setParameter(1, 0.7f);
    const auto afterSet = storeOf(*q);
    q->presetStore().recallMemoB();
    EXPECT_EQ(storeOf(*q), afterSet);
    EXPECT_EQ(q->getParameter(1), 0.7f);

    // The default program stored from program 5 is where a new instance starts.
    p->selectProgram(5);
    p->presetStore().storeDefaultProgram();
    auto r = make();
    EXPECT_EQ(r->getCurrentProgram(), 0);
    EXPECT_TRUE(programOf(*r, 0) == programOf(*p, 5));
    EXPECT_EQ(r->getParameter(4), programOf(*p, 5).values[4]);
    p->presetStore().clearDefaultProgram();
    auto s = make();
    EXPECT_EQ(programOf(*s, 0).name, "Default");
}

TEST_F(PresetFiles, DefaultBankThenDefaultProgram) {
    auto p = make();
    p->presetStore().clearDefaultBank();  // none stored: nothing happens
    p->selectProgram(17);
    p->renameCurrentProgram("Bank seventeen");
    p->presetStore().storeDefaultBank();
    p->selectProgram(2);
    p->presetStore().storeDefaultProgram();
    auto q = make();
    EXPECT_EQ(programOf(*q, 17).name, "Bank seventeen");
    EXPECT_TRUE(programOf(*q, 0) == programOf(*p, 2));
    p->presetStore().clearDefaultBank();
    p->presetStore().clearDefaultProgram();
    auto r = make();
    EXPECT_EQ(programOf(*r, 17).name, "HiRes Loudness");
}

}  // namespace
