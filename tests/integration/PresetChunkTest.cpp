// The host chunk through the binary interface: the bytes a fresh instance
// saves, what every kind of chunk restores, and what a malformed chunk must
// leave untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../support/StateBytes.h"
#include "../support/TempConfigDir.h"
#include "host/TestHost.h"

using namespace testhost;
using namespace testsupport;
using Bytes = std::vector<uint8_t>;

namespace {

class PresetChunk : public ::testing::Test {
protected:
    void SetUp() override { TempConfigDir::clear(); }

    static Bytes getChunk(Instance& fx, bool isPreset = false) {
        void* data = nullptr;
        const intptr_t size = fx.dispatch(vst::effGetChunk, isPreset ? 1 : 0, 0, &data);
        if (size <= 0 || !data) return {};
        const auto* p = static_cast<const uint8_t*>(data);
        return Bytes(p, p + size);
    }
    static intptr_t setChunk(Instance& fx, Bytes bytes) {
        return fx.dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(bytes.size()), bytes.data());
    }
    static std::string programName(Instance& fx) { return fx.stringRequest(vst::effGetProgramName); }
    static std::string nameAt(Instance& fx, int index) {
        return fx.stringRequest(vst::effGetProgramNameIndexed, index);
    }
    static ParsedBank bankOf(Instance& fx) {
        const Bytes chunk = getChunk(fx);
        return parseBankChunk(chunk.data(), chunk.size());
    }

    // A bank unlike the factory one: distinct names, every value a different
    // fraction, parameter 25 kept in the current layout.
    static std::vector<Program> distinctBank() {
        std::vector<Program> bank(24);
        for (int k = 0; k < 24; ++k) {
            bank[k].name = "Prog " + std::to_string(k) + " of test";
            for (int i = 0; i < 26; ++i) bank[k].values[i] = static_cast<float>((k * 26 + i) % 97) / 96.0f;
            bank[k].values[25] = 0.015f;
        }
        return bank;
    }

    TestHost host;
};

TEST_F(PresetChunk, FreshInstanceSavesFactoryBank) {
    Instance fx(host);
    const Bytes chunk = getChunk(fx, false);
    ASSERT_EQ(chunk.size(), 24049u);
    EXPECT_EQ(le32(chunk.data()), 0x02000000u);
    EXPECT_EQ(le32(chunk.data() + 4), kOwnerId);
    EXPECT_EQ(chunk, chunkOf(bankBlock(factoryBank(), 0)));
    EXPECT_EQ(getChunk(fx, true), chunk);
    // The header as laid out: kind, version, parameters, records, current, bytes.
    EXPECT_EQ(chunk[12], 0x38);
    EXPECT_EQ(le32(&chunk[13]), 1u);
    EXPECT_EQ(le32(&chunk[17]), 26u);
    EXPECT_EQ(le32(&chunk[21]), 648u);
    EXPECT_EQ(le32(&chunk[25]), 0u);
    EXPECT_EQ(le32(&chunk[29]), 24000u);
}

TEST_F(PresetChunk, FactoryProgramsAndNames) {
    Instance fx(host);
    EXPECT_EQ(programName(fx), "Default");
    EXPECT_EQ(nameAt(fx, 0), "Default");
    EXPECT_EQ(nameAt(fx, 10), "CD Master 3 [recon]");
    EXPECT_EQ(nameAt(fx, 23), "Total Disorder");
    char text[64] = "unchanged";
    EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, 24, 0, text), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, -1, 0, text), 0);
    EXPECT_STREQ(text, "unchanged");
    EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0);
    // Program 0 is live: the host values are the factory values.
    const Program p0 = factoryBank()[0];
    for (int i = 0; i < 22; ++i) EXPECT_EQ(fx.getParameter(i), p0.values[i]) << i;
}

TEST_F(PresetChunk, ChunkRestoresAllProgramsNativeAndReversed) {
    const std::vector<Program> bank = distinctBank();
    const Bytes native = chunkOf(bankBlock(bank, 5));
    const Bytes reversed = chunkOf(bankBlock(bank, 5, true), true);
    for (const Bytes& chunk : {native, reversed}) {
        Instance fx(host);
        ASSERT_EQ(setChunk(fx, chunk), 0);
        EXPECT_EQ(programName(fx), "Prog 5 of test");
        for (int k = 0; k < 24; ++k) EXPECT_EQ(nameAt(fx, k), bank[k].name);
        for (int i = 0; i < 22; ++i) EXPECT_EQ(fx.getParameter(i), bank[5].values[i]) << i;
        for (int i = 22; i < 25; ++i) EXPECT_EQ(fx.getParameter(i), bank[5].values[i]) << i;
        // What was loaded is saved again byte for byte, in native order.
        EXPECT_EQ(getChunk(fx), native);
    }
}

TEST_F(PresetChunk, RoundTripThroughFreshInstanceIsByteIdentical) {
    Bytes first;
    std::vector<float> values(26);
    std::vector<std::string> texts(26);
    {
        Instance a(host);
        const float settings[][2] = {{0, 0.3f},  {1, 0.71f}, {2, 0.42f}, {3, 0.2f},  {4, 0.9f},
                                     {5, 0.12f}, {6, 0.8f},  {9, 0.6f},  {10, 0.1f}, {11, 0.7f},
                                     {13, 0.45f}, {16, 0.9f}, {18, 0.9f}, {20, 0.3f}, {22, 0.77f}};
        for (const auto& s : settings) a.setParameter(static_cast<int>(s[0]), s[1]);
        first = getChunk(a);
        for (int i = 0; i < 26; ++i) {
            values[i] = a.getParameter(i);
            texts[i] = a.parameterDisplay(i);
        }
    }
    Instance b(host);
    ASSERT_EQ(setChunk(b, first), 0);
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(b.getParameter(i), values[i]) << i;
        EXPECT_EQ(b.parameterDisplay(i), texts[i]) << i;
    }
    EXPECT_EQ(getChunk(b), first);
}

TEST_F(PresetChunk, OwnChunkPointerCanBePassedBack) {
    Instance fx(host);
    setChunk(fx, chunkOf(bankBlock(distinctBank(), 3)));
    void* data = nullptr;
    const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 24049);
    const Bytes copy(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
    EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, size, data), 0);
    EXPECT_EQ(getChunk(fx), copy);
    EXPECT_EQ(programName(fx), "Prog 3 of test");
}

TEST_F(PresetChunk, RefusedChunksChangeNothing) {
    Instance fx(host);
    setChunk(fx, chunkOf(bankBlock(distinctBank(), 4)));
    const Bytes before = getChunk(fx);
    const Bytes good = chunkOf(bankBlock(factoryBank(), 2));

    Bytes foreign = good;
    foreign[4] ^= 0x01;  // an owner id matching neither order
    Bytes format = good;
    format[3] = 0x03;  // format word 0x03000000
    Bytes truncated(good.begin(), good.begin() + 24000);
    Bytes huge = good;
    ByteWriter count;
    count.i32(0x7FFFFFFF);
    std::memcpy(&huge[8 + 13], count.bytes.data(), 4);  // recordCount 2^31 − 1
    Bytes payload = good;
    std::memset(&payload[49 + 4], 0xFF, 4);  // payloadSize 0xFFFFFFFF

    for (const Bytes& bad : {foreign, format, truncated, huge, payload}) {
        host.clearCalls();
        EXPECT_EQ(setChunk(fx, bad), -1);
        EXPECT_EQ(host.countCalls(vst::audioMasterUpdateDisplay), 0);
        EXPECT_EQ(getChunk(fx), before);
    }
    // Every size from nothing to one byte short of the first record, and a negative one.
    for (size_t n = 0; n < 61; ++n) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(n), cut.data()), -1) << n;
    }
    EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, -5, const_cast<uint8_t*>(good.data())), -1);
    EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, 24049, nullptr), -1);
    // Cut at every record boundary and in the middle of records.
    for (size_t n = 49; n < good.size(); n += 84) {
        Bytes cut(good.begin(), good.begin() + n);
        EXPECT_EQ(setChunk(fx, cut), -1) << n;
    }
    EXPECT_EQ(getChunk(fx), before);
}

TEST_F(PresetChunk, OutOfRangeValueCancelsWholeBank) {
    Instance fx(host);
    const Bytes before = getChunk(fx);
    for (float bad : {1.5f, -0.25f, std::nanf("")}) {
        std::vector<Program> bank = distinctBank();
        bank[7].values[3] = bad;
        host.clearCalls();
        // Programs 0 to 6 were parsed before program 7's value is met.
        setChunk(fx, chunkOf(bankBlock(bank, 1)));
        EXPECT_EQ(host.countCalls(vst::audioMasterUpdateDisplay), 0) << bad;
        EXPECT_EQ(getChunk(fx), before) << bad;
        EXPECT_EQ(programName(fx), "Default");
    }
}

TEST_F(PresetChunk, CurrentProgramOutsideBankSelectsProgramZero) {
    for (int32_t current : {30, -1, 24}) {
        Instance fx(host);
        ASSERT_EQ(setChunk(fx, chunkOf(bankBlock(distinctBank(), current))), 0);
        EXPECT_EQ(programName(fx), "Prog 0 of test") << current;
        EXPECT_EQ(bankOf(fx).currentProgram, 0);
    }
}

TEST_F(PresetChunk, RecordsOutsideTheStoreAreSkipped) {
    Instance fx(host);
    const ParsedBank before = bankOf(fx);
    BlockBuilder b(0x38);
    b.currentProgram = 2;
    b.name(24, "Nowhere").parameter(24, 1, 0.9f);  // programIndex 24: skipped
    b.parameter(2, 26, 0.9f);                      // index 26: ignored
    b.raw(7, 4, 2, {1, 2, 3, 4});                  // unknown type: ignored
    b.parameter(2, 1, 0.3f);
    ASSERT_EQ(setChunk(fx, chunkOf(b.build())), 0);
    ParsedBank after = bankOf(fx);
    EXPECT_EQ(after.programs[2].values[1], 0.3f);
    after.programs[2].values[1] = before.programs[2].values[1];
    for (int k = 0; k < 24; ++k) {
        EXPECT_EQ(after.programs[k].name, before.programs[k].name);
        EXPECT_EQ(after.programs[k].values, before.programs[k].values) << k;
    }
    EXPECT_EQ(after.currentProgram, 2);
    EXPECT_EQ(fx.getParameter(1), 0.3f);
}

TEST_F(PresetChunk, NameRecordAloneResetsProgramToTemplate) {
    Instance fx(host);
    setChunk(fx, chunkOf(bankBlock(distinctBank(), 0)));
    BlockBuilder b(0x38);
    b.name(3, "Only a name");
    ASSERT_EQ(setChunk(fx, chunkOf(b.build())), 0);
    const ParsedBank bank = bankOf(fx);
    const std::vector<Program> others = distinctBank();
    EXPECT_EQ(bank.programs[3].name, "Only a name");
    EXPECT_EQ(bank.programs[3].values, factoryBank()[0].values);  // the template: program 0 at start
    for (int k = 0; k < 24; ++k)
        if (k != 3) {
            EXPECT_EQ(bank.programs[k].values, others[k].values) << k;
        }
}

TEST_F(PresetChunk, LegacyChunkReplacesItsPrograms) {
    std::vector<Program> images(3);
    for (int k = 0; k < 3; ++k) {
        images[k].name = "Old " + std::to_string(k);
        for (int j = 0; j < 26; ++j) images[k].values[j] = 0.01f * (k + 1) + 0.02f * j;
    }
    const Program templ = factoryBank()[0];
    for (bool big : {false, true}) {
        Instance fx(host);
        ASSERT_EQ(setChunk(fx, legacyChunk(images, 20, 1, big)), 0);
        const ParsedBank bank = bankOf(fx);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(bank.programs[k].name, images[k].name);
            for (int j = 0; j < 20; ++j) EXPECT_EQ(bank.programs[k].values[j], images[k].values[j]);
            for (int j = 20; j < 26; ++j) EXPECT_EQ(bank.programs[k].values[j], templ.values[j]);
        }
        for (int k = 3; k < 24; ++k) EXPECT_EQ(bank.programs[k].values, factoryBank()[k].values);
        EXPECT_EQ(bank.currentProgram, 1);
        EXPECT_EQ(programName(fx), "Old 1");
    }
}

TEST_F(PresetChunk, LegacyChunkBadInput) {
    Instance fx(host);
    const Bytes before = getChunk(fx);
    std::vector<Program> images(3, factoryBank()[4]);
    // Program count 0 and −1, images shorter than a name, a head alone, a value that is not a number.
    Bytes zero = legacyChunk(images, 20, 0);
    std::memset(&zero[8], 0, 4);
    Bytes negative = legacyChunk(images, 20, 0);
    std::memset(&negative[8], 0xFF, 4);
    Bytes shortImages = legacyChunk({}, 0, 0);
    ByteWriter w;
    w.i32(3);
    std::memcpy(&shortImages[8], w.bytes.data(), 4);
    shortImages.resize(32 + 3 * 20);
    Bytes headOnly = legacyChunk(images, 20, 0);
    headOnly.resize(20);
    images[2].values[5] = std::nanf("");
    const Bytes nan = legacyChunk(images, 20, 0);
    for (const Bytes& bad : {zero, negative, shortImages, headOnly, nan}) {
        EXPECT_EQ(setChunk(fx, bad), -1);
        EXPECT_EQ(getChunk(fx), before);
    }
    // Values outside 0..1 are limited to the range before they reach the engine.
    images[2].values[5] = 1.5f;
    images[1].values[0] = -2.0f;
    ASSERT_EQ(setChunk(fx, legacyChunk(images, 26, 1)), 0);
    const ParsedBank bank = bankOf(fx);
    EXPECT_EQ(bank.programs[2].values[5], 1.0f);
    EXPECT_EQ(bank.programs[1].values[0], 0.0f);
    EXPECT_EQ(fx.getParameter(0), 0.0f);
}

TEST_F(PresetChunk, ProgramNamesFromTheHost) {
    Instance fx(host);
    char longName[64] = "abcdefghijklmnopqrstuvwxyz0123";  // 30 characters
    fx.dispatch(vst::effSetProgramName, 0, 0, longName);
    EXPECT_EQ(programName(fx), "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(nameAt(fx, 0), "abcdefghijklmnopqrstuvw");
    // An unterminated name of 200 bytes is read no further than 24.
    std::vector<char> unterminated(200, 'x');
    fx.dispatch(vst::effSetProgramName, 0, 0, unterminated.data());
    EXPECT_EQ(programName(fx), std::string(23, 'x'));
    // The host's program number stays 0.
    fx.dispatch(vst::effSetProgram, 0, 0);
    EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0);
}

TEST_F(PresetChunk, WriteBackFollowsLiveParameters) {
    Instance fx(host);
    fx.setParameter(2, 0.65f);
    fx.setParameter(23, 0.4f);
    const ParsedBank bank = bankOf(fx);
    EXPECT_EQ(bank.programs[0].values[2], 0.65f);
    EXPECT_EQ(bank.programs[0].values[23], 0.4f);
    EXPECT_EQ(fx.getParameter(23), 0.4f);
    EXPECT_EQ(bank.programs[1].values[2], factoryBank()[1].values[2]);
}

}  // namespace

namespace {

TEST(PresetEditorObject, ExistsWithoutWindow) {
    TestHost host;
    Instance fx(host);
    EXPECT_EQ(fx.effect()->flags & vst::effFlagsHasEditor, vst::effFlagsHasEditor);
    vst::ERect* rect = nullptr;
    EXPECT_EQ(fx.dispatch(vst::effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->right, 524);
    EXPECT_EQ(rect->bottom, 462);
    EXPECT_EQ(fx.dispatch(vst::effEditOpen, 0, 0, nullptr), 0);  // no parent window to open in
    fx.dispatch(vst::effEditIdle);
    fx.dispatch(vst::effEditClose);
    // Chunks work while no window exists.
    void* data = nullptr;
    EXPECT_EQ(fx.dispatch(vst::effGetChunk, 0, 0, &data), 24049);
}

}  // namespace
