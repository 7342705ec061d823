// Checks 11-13, 15, 17, 18 and 21: the rate x block grid, odd rates, odd and
// variable block sizes, twice the announced block, the buffer contract, and
// the floating-point control state around every entry point.
#include <cmath>

#include "Conformance.h"

using namespace conformance;

namespace {

template <class Sample>
::testing::AssertionResult noiseBlocks(Instance& fx, int32_t blockSize, int blocks, uint32_t seed,
                                       double amplitude = 0.9) {
    const auto in = noiseStereo<Sample>(static_cast<size_t>(blockSize) * blocks, amplitude, seed);
    Stereo<Sample> out;
    return renderAudited(fx.effect(), in, out, blockSize);
}

// Check 11: common rates and our class edges x blocks 64..1024, both precisions.
TEST(Processing, RateBlockGrid) {
    TestHost host;
    for (float rate : {44100.0f, 48000.0f, 96000.0f, 79999.0f, 80000.0f, 169999.0f, 170000.0f,
                       192000.0f}) {
        for (int32_t block : {64, 128, 256, 512, 1024}) {
            Instance fx(host);
            prepare(fx, rate, block);
            ASSERT_TRUE(noiseBlocks<float>(fx, block, 10, 11)) << rate << " Hz, " << block;
            ASSERT_TRUE(noiseBlocks<double>(fx, block, 10, 12)) << rate << " Hz, " << block;
        }
    }
}

// Check 12: odd rates; outside 5000..200000 Hz everything runs as at 44.1 kHz.
TEST(Processing, OddRates) {
    TestHost host;
    struct Case {
        float rate;
        int32_t latency;
    };
    for (Case c : {Case{1234.5678f, 159}, Case{8000.0f, 159}, Case{12345.678f, 159},
                   Case{22050.0f, 159}, Case{45678.901f, 159}, Case{123456.78f, 287},
                   Case{384000.0f, 159}, Case{768000.0f, 159}, Case{1234567.8f, 159},
                   Case{0.0f, 159}, Case{-44100.0f, 159}, Case{std::nanf(""), 159},
                   Case{INFINITY, 159}, Case{4999.0f, 159}, Case{200001.0f, 159}}) {
        Instance fx(host);
        fx.setSampleRate(192000.0f);
        prepare(fx, c.rate, 512);
        EXPECT_EQ(fx.effect()->initialDelay, c.latency) << c.rate;
        ASSERT_TRUE(noiseBlocks<float>(fx, 512, 4, 13)) << c.rate;
        ASSERT_TRUE(noiseBlocks<double>(fx, 512, 4, 14)) << c.rate;
    }
}

// Check 13: odd sizes, a zero-frame call that writes nothing, random sizes.
TEST(Processing, OddAndVariableBlockSizes) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 48000.0f, 16384);
    for (int32_t block : {1, 10, 17, 1536, 2027, 16384})
        ASSERT_TRUE(noiseBlocks<float>(fx, block, 2, 15)) << block;

    Stereo<float> in(64, 0.5f), out(64, 123.0f);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    ASSERT_TRUE(auditedProcess(fx.effect(), ins, outs, 0));
    for (size_t i = 0; i < 64; ++i) ASSERT_EQ(out.l[i], 123.0f) << "zero-frame call wrote frame " << i;

    std::mt19937 rng(16);
    std::uniform_int_distribution<int32_t> size(1, 16384);
    std::vector<int32_t> sizes(40);
    for (auto& s : sizes) s = size(rng);
    const auto inRandom = noiseStereo<double>(200000, 0.9, 17);
    Stereo<double> outRandom;
    ASSERT_TRUE(renderAudited(fx.effect(), inRandom, outRandom, sizes));
}

// Check 15: twice the announced block size is processed in full.
TEST(Processing, TwiceTheAnnouncedBlock) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 512);
    const auto in = noiseStereo<float>(1024 * 4, 0.5, 18);
    Stereo<float> big, small;
    ASSERT_TRUE(renderAudited(fx.effect(), in, big, 1024));
    Instance reference(host);
    prepare(reference, 44100.0f, 512);
    ASSERT_TRUE(renderAudited(reference.effect(), in, small, 512));
    EXPECT_TRUE(bitIdentical(big.l, small.l));
    EXPECT_TRUE(bitIdentical(big.r, small.r));
}

// Check 17: inputs untouched out of place; in place, crossed outputs and one
// shared input pointer give the out-of-place result.
TEST(Processing, BufferAliasing) {
    TestHost host;
    constexpr size_t kFrames = 8192;
    constexpr int32_t kBlock = 256;
    const auto in = noiseStereo<float>(kFrames, 0.8, 19);

    auto fresh = [&](Instance& fx) { prepare(fx, 44100.0f, kBlock); };
    Instance a(host);
    fresh(a);
    Stereo<float> reference;
    const Stereo<float> inCopy = in;
    ASSERT_TRUE(renderAudited(a.effect(), in, reference, kBlock));
    EXPECT_TRUE(bitIdentical(in.l, inCopy.l)) << "left input overwritten";
    EXPECT_TRUE(bitIdentical(in.r, inCopy.r)) << "right input overwritten";

    // In place: the outputs are the inputs.
    Instance b(host);
    fresh(b);
    Stereo<float> buffer = in;
    for (size_t pos = 0; pos < kFrames; pos += kBlock) {
        float* io[2] = {buffer.l.data() + pos, buffer.r.data() + pos};
        ASSERT_TRUE(auditedProcess(b.effect(), io, io, kBlock));
    }
    EXPECT_TRUE(bitIdentical(buffer.l, reference.l));
    EXPECT_TRUE(bitIdentical(buffer.r, reference.r));

    // Crossed: left output written over the right input and the reverse.
    Instance c(host);
    fresh(c);
    Stereo<float> crossed = in;
    for (size_t pos = 0; pos < kFrames; pos += kBlock) {
        float* ins[2] = {crossed.l.data() + pos, crossed.r.data() + pos};
        float* outs[2] = {crossed.r.data() + pos, crossed.l.data() + pos};
        ASSERT_TRUE(auditedProcess(c.effect(), ins, outs, kBlock));
    }
    EXPECT_TRUE(bitIdentical(crossed.r, reference.l));
    EXPECT_TRUE(bitIdentical(crossed.l, reference.r));

    // One pointer for both inputs equals two identical inputs.
    Stereo<float> twin;
    twin.l = in.l;
    twin.r = in.l;
    Instance d(host), e(host);
    fresh(d);
    fresh(e);
    Stereo<float> twinOut, sharedOut(kFrames);
    ASSERT_TRUE(renderAudited(d.effect(), twin, twinOut, kBlock));
    for (size_t pos = 0; pos < kFrames; pos += kBlock) {
        float* ins[2] = {twin.l.data() + pos, twin.l.data() + pos};
        float* outs[2] = {sharedOut.l.data() + pos, sharedOut.r.data() + pos};
        ASSERT_TRUE(auditedProcess(e.effect(), ins, outs, kBlock));
    }
    EXPECT_TRUE(bitIdentical(sharedOut.l, twinOut.l));
    EXPECT_TRUE(bitIdentical(sharedOut.r, twinOut.r));
}

// Check 18: every frame of [0, n) is written, the 64 frames behind stay as they were.
template <class Sample>
void checkWrittenExactly(Instance& fx, int32_t frames) {
    constexpr size_t kGuard = 64;
    using Bits = std::conditional_t<sizeof(Sample) == 4, uint32_t, uint64_t>;
    // A quiet NaN with a private payload, and a guard pattern.
    const Bits nanBits = sizeof(Sample) == 4 ? Bits(0x7FC0BEEFu) : Bits(0x7FF8DEADBEEF1234ull);
    Sample marker, guard;
    std::memcpy(&marker, &nanBits, sizeof marker);
    guard = static_cast<Sample>(-7.25);
    const auto in = noiseStereo<Sample>(static_cast<size_t>(frames), 0.5, 20);
    Stereo<Sample> out(static_cast<size_t>(frames) + kGuard, marker);
    for (size_t i = static_cast<size_t>(frames); i < out.frames(); ++i) out.l[i] = out.r[i] = guard;
    Sample* ins[2] = {const_cast<Sample*>(in.l.data()), const_cast<Sample*>(in.r.data())};
    Sample* outs[2] = {out.l.data(), out.r.data()};
    ASSERT_TRUE(auditedProcess(fx.effect(), ins, outs, frames)) << frames;
    for (size_t i = static_cast<size_t>(frames); i < out.frames(); ++i) {
        ASSERT_EQ(out.l[i], guard) << "left guard frame " << i << " of a " << frames << "-frame call";
        ASSERT_EQ(out.r[i], guard) << "right guard frame " << i << " of a " << frames << "-frame call";
    }
}

TEST(Processing, WritesEveryFrameAndNothingBeyond) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 4096);
    for (int32_t frames : {1, 7, 64, 333, 4096}) {
        checkWrittenExactly<float>(fx, frames);
        checkWrittenExactly<double>(fx, frames);
    }
    // Calibrate routes the block to the generator: same contract.
    for (float mode : {0.375f, 0.625f, 0.875f}) {
        fx.setParameter(12, mode);
        checkWrittenExactly<float>(fx, 333);
        checkWrittenExactly<double>(fx, 333);
    }
}

// Check 21: the floating-point control state is the same after every
// dispatcher request and parameter entry (the process entries are checked
// on every audited call).
TEST(Processing, FloatingPointStateUnchangedByEveryEntry) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 512);
    vst::AEffect* e = fx.effect();
    char text[512];
    auto same = [&](const char* what, int32_t op) {
        const FpControl before = readFpControl();
        return [=](const FpControl& after) {
            EXPECT_TRUE(sameControl(before, after)) << what << " " << op;
        };
    };
    for (int32_t op = 0; op <= 78; ++op) {
        if (op == vst::effClose || op == vst::effGetChunk || op == vst::effSetChunk) continue;
        if (op == vst::effSetSpeakerArrangement || op == vst::effGetSpeakerArrangement) continue;
        if (op == vst::effProcessEvents || op == vst::effEditOpen) continue;
        std::memset(text, 0, sizeof text);
        std::strcpy(text, "ZVK");
        const float opt = op == vst::effSetSampleRate ? 48000.0f : 0.0f;
        const intptr_t value = op == vst::effSetBlockSize ? 512 : 0;
        auto check = same("dispatcher", op);
        e->dispatcher(e, op, 0, value, text, opt);
        check(readFpControl());
    }
    for (int32_t i = 0; i < 26; ++i) {
        auto check = same("setParameter", i);
        e->setParameter(e, i, 0.37f);
        e->getParameter(e, i);
        check(readFpControl());
    }
    void* chunk = nullptr;
    auto check = same("chunk", vst::effGetChunk);
    const intptr_t size = e->dispatcher(e, vst::effGetChunk, 0, 0, &chunk, 0.0f);
    if (size > 0) e->dispatcher(e, vst::effSetChunk, 0, size, chunk, 0.0f);
    check(readFpControl());
}

}  // namespace
