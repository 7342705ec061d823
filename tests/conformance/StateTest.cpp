// Checks 33-39 and 41-43: the host chunk round trip, uninitialised bytes,
// aliasing of the plug-in's own buffer, foreign, reversed, truncated, edge-size
// and random chunks, and the stored forms outside the chunk.
#include <fstream>

#include "Conformance.h"

using namespace conformance;

namespace {

using Bytes = std::vector<unsigned char>;
constexpr size_t kChunkSize = 24049;
constexpr size_t kHead = 8, kBlockHeader = 41;

Bytes getChunk(Instance& fx) {
    void* data = nullptr;
    const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) return {};
    const auto* p = static_cast<const unsigned char*>(data);
    return Bytes(p, p + size);
}

// The chunk is handed over in a heap block of exactly its size, so that a read
// past its end is an error the address sanitizer reports.
intptr_t setChunk(Instance& fx, const Bytes& chunk) {
    auto* exact = static_cast<unsigned char*>(std::malloc(std::max<size_t>(chunk.size(), 1)));
    if (!chunk.empty()) std::memcpy(exact, chunk.data(), chunk.size());
    const intptr_t result =
        fx.dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(chunk.size()), exact);
    std::free(exact);
    return result;
}

uint32_t read32(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
void write32(Bytes& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
void swap32At(Bytes& b, size_t at) { std::reverse(b.begin() + at, b.begin() + at + 4); }

// Every 32-bit field of a native chunk byte-reversed; names and the kind byte stay.
Bytes reversedChunk(const Bytes& native) {
    Bytes b = native;
    swap32At(b, 0);
    swap32At(b, 4);
    swap32At(b, kHead);  // block ownerId
    for (size_t f = 0; f < 9; ++f) swap32At(b, kHead + 5 + 4 * f);
    for (size_t at = kHead + kBlockHeader; at + 12 <= native.size();) {
        const uint32_t type = read32(native, at), payload = read32(native, at + 4);
        for (size_t f = 0; f < 3; ++f) swap32At(b, at + 4 * f);
        if (type == 1)
            for (size_t f = 0; f < 5; ++f) swap32At(b, at + 12 + 4 * f);
        at += 12 + payload;
    }
    return b;
}

// An instance whose state differs from the factory state in every program.
void scramble(Instance& fx, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (int32_t i = 0; i < 26; ++i)
        if (i != 4 && i != 25) fx.setParameter(i, value(rng));
}

class State : public ::testing::Test {
protected:
    TestHost host;
};

// Check 33: the chunk survives a fresh instance byte for byte.
TEST_F(State, ChunkRoundTripIsByteIdentical) {
    Instance a(host), b(host);
    scramble(a, 1);
    const Bytes chunk = getChunk(a);
    ASSERT_EQ(chunk.size(), kChunkSize);
    EXPECT_EQ(read32(chunk, 0), 0x02000000u);
    EXPECT_EQ(read32(chunk, 4), 0x5A567678u);
    EXPECT_EQ(setChunk(b, chunk), 0);
    EXPECT_EQ(getChunk(b), chunk);
    for (int32_t i = 0; i < 26; ++i) EXPECT_EQ(b.getParameter(i), a.getParameter(i)) << i;
    // isPreset changes nothing: always the whole bank.
    void* data = nullptr;
    EXPECT_EQ(a.dispatch(vst::effGetChunk, 1, 0, &data), static_cast<intptr_t>(kChunkSize));
}

// Check 34: equal state gives equal bytes, whatever the heap held before.
TEST_F(State, NoUninitialisedBytes) {
    if (!testhost::realtimeGuardActive()) GTEST_SKIP() << "heap poisoning needs the plain build";
    Bytes chunks[2];
    const int poisons[2] = {0xCD, 0x3C};
    for (int k = 0; k < 2; ++k) {
        testhost::setAllocationPoison(poisons[k]);
        Instance fx(host);
        scramble(fx, 2);
        chunks[k] = getChunk(fx);
        EXPECT_EQ(getChunk(fx), chunks[k]);
        testhost::setAllocationPoison(-1);
    }
    EXPECT_EQ(chunks[0], chunks[1]);
}

// Check 36: the plug-in's own buffer passed back; the first pointer stays valid
// until the next getChunk.
TEST_F(State, OwnBufferAliasing) {
    Instance fx(host);
    scramble(fx, 3);
    const Bytes expected = getChunk(fx);
    void* own = nullptr;
    const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &own);
    ASSERT_EQ(size, static_cast<intptr_t>(kChunkSize));
    EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, size, own), 0);
    EXPECT_EQ(getChunk(fx), expected);
    void* first = nullptr;
    fx.dispatch(vst::effGetChunk, 0, 0, &first);
    fx.setParameter(0, 0.5f);
    EXPECT_EQ(std::memcmp(first, expected.data(), kChunkSize), 0);
}

// Check 37: foreign owner and unknown format word are refused and change
// nothing; a byte-reversed chunk loads like its native twin.
TEST_F(State, ForeignAndReversedChunks) {
    Instance source(host), fx(host);
    scramble(source, 4);
    const Bytes native = getChunk(source);
    scramble(fx, 5);
    const Bytes before = getChunk(fx);

    Bytes foreign = native;
    write32(foreign, 4, 0x41424344u);
    EXPECT_EQ(setChunk(fx, foreign), -1);
    EXPECT_EQ(getChunk(fx), before);
    Bytes wrongFormat = native;
    write32(wrongFormat, 0, 0x03000000u);
    EXPECT_EQ(setChunk(fx, wrongFormat), -1);
    EXPECT_EQ(getChunk(fx), before);

    EXPECT_EQ(setChunk(fx, reversedChunk(native)), 0);
    EXPECT_EQ(getChunk(fx), native);
}

// Check 38: sizes 0..49, truncation at every record boundary and inside records,
// absurd counts and sizes: no crash, no sanitizer report; a refusal changes nothing.
TEST_F(State, EdgeSizeChunks) {
    Instance source(host), fx(host);
    scramble(source, 6);
    const Bytes native = getChunk(source);
    auto survives = [&](const Bytes& chunk, const std::string& what) {
        const Bytes before = getChunk(fx);
        const intptr_t result = setChunk(fx, chunk);
        EXPECT_TRUE(result == 0 || result == -1) << what;
        if (result == -1) {
            EXPECT_EQ(getChunk(fx), before) << what;
        }
        const auto in = noiseStereo<float>(1024, 0.5, 7);
        Stereo<float> out;
        EXPECT_TRUE(renderAudited(fx.effect(), in, out, 512)) << what;
        EXPECT_EQ(getChunk(fx).size(), kChunkSize) << what;
    };
    for (size_t size = 0; size < 50; ++size)
        survives(Bytes(native.begin(), native.begin() + std::min(size, native.size())), "size " + std::to_string(size));
    for (size_t at = kHead + kBlockHeader; at < native.size(); at += 168 + 26 * 32) {
        survives(Bytes(native.begin(), native.begin() + at), "cut at " + std::to_string(at));
        survives(Bytes(native.begin(), native.begin() + at + 100), "cut inside at " + std::to_string(at + 100));
    }
    Bytes b = native;
    write32(b, kHead + 13, 0x7FFFFFFFu);  // recordCount
    survives(b, "recordCount 2^31-1");
    b = native;
    write32(b, kHead + kBlockHeader + 4, 0xFFFFFFFFu);  // first payloadSize
    survives(b, "payloadSize 0xFFFFFFFF");
    for (uint32_t count : {0u, 0xFFFFFFFFu, 1u, 24u, 25u}) {
        for (size_t size : {size_t{8}, size_t{31}, size_t{32}, size_t{33}, size_t{3104}}) {
            Bytes legacy(size, 0);
            write32(legacy, 0, 0x01000000u);
            write32(legacy, 4, 0x5A567678u);
            if (size >= 12) write32(legacy, 8, count);
            survives(legacy, "legacy count " + std::to_string(count) + " size " + std::to_string(size));
        }
    }
}

// Check 39: random bytes, and random bodies behind a valid head.
TEST_F(State, RandomChunks) {
    Instance fx(host);
    std::mt19937 rng(8);
    for (int round = 0; round < 3; ++round) {
        Bytes junk(1 << 20);
        for (auto& x : junk) x = static_cast<unsigned char>(rng());
        const intptr_t result = setChunk(fx, junk);
        EXPECT_TRUE(result == 0 || result == -1);
    }
    for (uint32_t format : {0x01000000u, 0x02000000u}) {
        for (int round = 0; round < 50; ++round) {
            Bytes junk(kChunkSize);
            for (auto& x : junk) x = static_cast<unsigned char>(rng());
            write32(junk, 0, format);
            write32(junk, 4, 0x5A567678u);
            const intptr_t result = setChunk(fx, junk);
            EXPECT_TRUE(result == 0 || result == -1);
            EXPECT_EQ(getChunk(fx).size(), kChunkSize);
            for (int32_t i = 0; i < 26; ++i) EXPECT_TRUE(std::isfinite(fx.getParameter(i)));
        }
    }
    const auto in = noiseStereo<float>(4096, 0.5, 9);
    Stereo<float> out;
    EXPECT_TRUE(renderAudited(fx.effect(), in, out, 512));
}

// Check 35: randomise everything, then restore the saved chunk exactly.
TEST_F(State, RestoreAfterRandomising) {
    Instance fx(host);
    const Bytes saved = getChunk(fx);
    for (uint32_t seed = 10; seed < 20; ++seed) scramble(fx, seed);
    EXPECT_EQ(setChunk(fx, saved), 0);
    EXPECT_EQ(getChunk(fx), saved);
}

// Checks 41-43 concern preset and bank files and the per-user settings store.
// The host interface has no request for either: files are loaded and saved from
// the editor's preset bar, the stored defaults at construction. What a host can
// see is checked here: a corrupt or truncated stored default does not stop an
// instance from starting on its factory state.
TEST_F(State, CorruptStoredDefaultsStillStart) {
    Instance reference(host);
    const Bytes factory = getChunk(reference);
    for (const char* name : {"DefaultBank", "DefaultPreset"}) {
        for (size_t size : {size_t{0}, size_t{4}, size_t{5}, size_t{41}, size_t{1000}}) {
            Bytes junk(size, 0xEE);
            if (size >= 4) std::memcpy(junk.data(), "ZVvx", 4);
            storeSettingsValue(name, junk);
            Instance fx(host);
            ASSERT_TRUE(fx) << name << " " << size;
            EXPECT_EQ(getChunk(fx), factory) << name << " of " << size << " bytes";
            removeSettingsValue(name);
        }
    }
}

// Check 42, stored forms: the default bank written natively and byte-reversed
// (as a big-endian machine would store it) gives a new instance the same state.
TEST_F(State, StoredDefaultBankInBothByteOrders) {
    Instance source(host);
    scramble(source, 21);
    source.dispatch(vst::effSetProgram, 0, 0);
    const Bytes chunk = getChunk(source);
    ASSERT_EQ(chunk.size(), kChunkSize);
    const Bytes reversed = reversedChunk(chunk);
    for (const Bytes* form : {&chunk, &reversed}) {
        storeSettingsValue("DefaultBank", Bytes(form->begin() + kHead, form->end()));
        Instance fx(host);
        EXPECT_EQ(getChunk(fx), chunk) << (form == &chunk ? "native" : "byte-reversed");
        removeSettingsValue("DefaultBank");
    }
}

// Check 41 (preset and bank files: missing, a directory, empty, a 2 MB sparse
// file, non-ASCII and space paths, foreign content) lives with the preset
// system's own tests, PresetFiles.UnreadableFilesChangeNothing in
// tests/unit/PresetFilesTest.cpp: files are reached only through the editor.
// Check 43 is tests/conformance/core/SettingsStoreAtomicityTest.cpp.

}  // namespace
