// Checks 14, 16, 19, 22, 23 and 63: determinism (partitions, precisions,
// reset against fresh), silence, hot input, and non-finite input with
// recovery. (Check 20, the cost of tiny values, is a benchmark: bench/.)
#include <algorithm>
#include <cmath>

#include "Conformance.h"

using namespace conformance;

namespace {

constexpr size_t kFrames = 48000;
// Frames of clean input after which bad input must be forgotten at 44.1 kHz:
// the longest release (1 s), the latency and half a second of margin.
constexpr size_t kQuickRecovery = 44100 + 159 + 44100 / 2;

std::vector<int32_t> randomPartition(uint32_t seed, int32_t maxBlock) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int32_t> size(1, maxBlock);
    std::vector<int32_t> sizes(257);
    for (auto& s : sizes) s = size(rng);
    return sizes;
}

// Check 14: one long block and random partitions give the same bits, with the
// quantizer off and on.
TEST(Determinism, PartitionInvariance) {
    TestHost host;
    const auto in = noiseStereo<float>(kFrames, 1.5, 21);
    for (float quantize : {0.25f, 0.75f}) {
        Instance whole(host);
        prepare(whole, 44100.0f, static_cast<int32_t>(kFrames));
        whole.setParameter(1, 0.8f);  // Drive into the limiter
        whole.setParameter(16, quantize);
        Stereo<float> reference;
        ASSERT_TRUE(renderAudited(whole.effect(), in, reference, static_cast<int32_t>(kFrames)));
        for (uint32_t seed : {1u, 2u, 3u}) {
            Instance parts(host);
            prepare(parts, 44100.0f, static_cast<int32_t>(kFrames));
            parts.setParameter(1, 0.8f);
            parts.setParameter(16, quantize);
            Stereo<float> out;
            ASSERT_TRUE(renderAudited(parts.effect(), in, out, randomPartition(seed, 4096)));
            EXPECT_TRUE(bitIdentical(out.l, reference.l)) << "quantize " << quantize << " seed " << seed;
            EXPECT_TRUE(bitIdentical(out.r, reference.r)) << "quantize " << quantize << " seed " << seed;
        }
    }
}

// The double path rounded to float equals the float path: the engine works in
// double either way, so only the final conversion may differ, by at most half
// a float ulp of the double result (that is the tolerance).
::testing::AssertionResult withinFloatResolution(const std::vector<float>& f,
                                                 const std::vector<double>& d) {
    for (size_t i = 0; i < f.size(); ++i) {
        const double tolerance = std::max(std::fabs(d[i]) * 0x1p-24, 0x1p-149);
        if (std::fabs(static_cast<double>(f[i]) - d[i]) > tolerance)
            return ::testing::AssertionFailure() << "frame " << i << ": " << f[i] << " vs " << d[i];
    }
    return ::testing::AssertionSuccess();
}

// Check 16: both precisions agree; alternating them block by block agrees too.
TEST(Determinism, SingleAndDoublePrecisionAgree) {
    TestHost host;
    const auto inF = noiseStereo<float>(kFrames, 1.5, 22);
    Stereo<double> inD;
    inD.l.assign(inF.l.begin(), inF.l.end());
    inD.r.assign(inF.r.begin(), inF.r.end());
    Instance f(host), d(host), mixed(host);
    for (Instance* fx : {&f, &d, &mixed}) {
        prepare(*fx, 48000.0f, 512);
        fx->setParameter(1, 0.8f);
    }
    Stereo<float> outF;
    Stereo<double> outD;
    ASSERT_TRUE(renderAudited(f.effect(), inF, outF, 512));
    ASSERT_TRUE(renderAudited(d.effect(), inD, outD, 512));
    EXPECT_TRUE(withinFloatResolution(outF.l, outD.l));
    EXPECT_TRUE(withinFloatResolution(outF.r, outD.r));

    Stereo<float> outMixed(kFrames);
    Stereo<double> scratchIn(512), scratchOut(512);
    for (size_t pos = 0, k = 0; pos < kFrames; pos += 512, ++k) {
        const auto n = static_cast<int32_t>(std::min<size_t>(512, kFrames - pos));
        if (k % 2 == 0) {
            float* ins[2] = {const_cast<float*>(inF.l.data() + pos), const_cast<float*>(inF.r.data() + pos)};
            float* outs[2] = {outMixed.l.data() + pos, outMixed.r.data() + pos};
            ASSERT_TRUE(auditedProcess(mixed.effect(), ins, outs, n));
        } else {
            std::copy_n(inD.l.begin() + pos, n, scratchIn.l.begin());
            std::copy_n(inD.r.begin() + pos, n, scratchIn.r.begin());
            double* ins[2] = {scratchIn.l.data(), scratchIn.r.data()};
            double* outs[2] = {scratchOut.l.data(), scratchOut.r.data()};
            ASSERT_TRUE(auditedProcess(mixed.effect(), ins, outs, n));
            for (int32_t i = 0; i < n; ++i) {
                outMixed.l[pos + i] = static_cast<float>(scratchOut.l[i]);
                outMixed.r[pos + i] = static_cast<float>(scratchOut.r[i]);
            }
        }
    }
    EXPECT_TRUE(withinFloatResolution(outMixed.l, outD.l));
    EXPECT_TRUE(withinFloatResolution(outMixed.r, outD.r));
}

// Check 23: two fresh instances agree; so does one after suspend/resume.
TEST(Determinism, ResetEqualsFresh) {
    TestHost host;
    const auto in = noiseStereo<float>(kFrames, 1.5, 23);
    Instance a(host), b(host);
    prepare(a, 96000.0f, 256);
    prepare(b, 96000.0f, 256);
    Stereo<float> outA, outB;
    ASSERT_TRUE(renderAudited(a.effect(), in, outA, 256));
    ASSERT_TRUE(renderAudited(b.effect(), in, outB, 256));
    EXPECT_TRUE(bitIdentical(outA.l, outB.l));
    EXPECT_TRUE(bitIdentical(outA.r, outB.r));

    const auto other = noiseStereo<float>(kFrames / 2, 1.9, 24);  // leave state behind
    Stereo<float> scratch;
    ASSERT_TRUE(renderAudited(a.effect(), other, scratch, 256));
    a.suspend();
    a.resume();
    Stereo<float> again;
    ASSERT_TRUE(renderAudited(a.effect(), in, again, 256));
    EXPECT_TRUE(bitIdentical(again.l, outA.l)) << "suspend/resume differs from a fresh instance";
    EXPECT_TRUE(bitIdentical(again.r, outA.r));
    // The same rate set again resets too.
    ASSERT_TRUE(renderAudited(a.effect(), other, scratch, 256));
    a.setSampleRate(96000.0f);
    ASSERT_TRUE(renderAudited(a.effect(), in, again, 256));
    EXPECT_TRUE(bitIdentical(again.l, outA.l)) << "setSampleRate did not reset";
}

// Check 19: after a loud burst, silence comes out as exact zeros once latency
// and release have passed; never a subnormal (the audit checks every block).
TEST(Signal, SilenceAfterBurst) {
    TestHost host;
    for (float quantize : {0.25f, 0.75f}) {
        Instance fx(host);
        prepare(fx, 44100.0f, 512);
        fx.setParameter(1, 1.0f);  // +24 dB into the limiter
        fx.setParameter(16, quantize);
        Stereo<float> in = noiseStereo<float>(44100, 1.0, 25);
        in.l.resize(44100 * 21, 0.0f);
        in.r.resize(44100 * 21, 0.0f);
        Stereo<float> out;
        ASSERT_TRUE(renderAudited(fx.effect(), in, out, 512));
        // Latency plus the longest release (1000 ms) plus a second of margin.
        const size_t settled = 44100 + 159 + 2 * 44100;
        float largest = 0.0f;
        for (size_t i = settled; i < out.frames(); ++i)
            largest = std::max({largest, std::fabs(out.l[i]), std::fabs(out.r[i])});
        if (quantize < 0.5f) {
            EXPECT_EQ(largest, 0.0f) << "quantizer off: silence must be exact";
        } else {
            // Triangular dither spans +-1 LSB at 16 bits; with noise shaping off,
            // four LSB bound it with room for the rounding step.
            EXPECT_LE(largest, 4.0f / 32768.0f) << "quantizer on: only dither may remain";
        }
    }
}

// Check 22: hot but legal input, every mode: finite and never beyond full scale.
TEST(Signal, HotInputStaysWithinFullScale) {
    TestHost host;
    const size_t n = 44100;
    std::vector<Stereo<float>> signals;
    Stereo<float> square(n), dc(n, 1.0f), nyquist(n), isp(n);
    for (size_t i = 0; i < n; ++i) {
        square.l[i] = square.r[i] = (i / 50) % 2 ? 1.0f : -1.0f;
        nyquist.l[i] = nyquist.r[i] = i % 2 ? 1.0f : -1.0f;
        // fs/4 at 45 degrees: samples at +-0.707, true peak at 1.0 (scaled to +-1.0 samples)
        isp.l[i] = isp.r[i] = static_cast<float>(std::sin(M_PI / 2 * double(i) + M_PI / 4) * 1.41421356);
    }
    for (size_t i = 0; i < n; ++i) dc.r[i] = -1.0f;
    signals = {square, dc, nyquist, isp, noiseStereo<float>(n, 15.85, 28)};  // +24 dBFS noise
    struct Mode {
        int32_t index;
        float value;
    };
    const std::vector<std::vector<Mode>> modes = {
        {},
        {{8, 0.25f}},                      // Power off
        {{12, 0.375f}}, {{12, 0.625f}}, {{12, 0.875f}},  // Calibrate
        {{16, 0.75f}, {10, 1.0f / 6}}, {{16, 0.75f}, {10, 0.5f}}, {{16, 0.75f}, {10, 5.0f / 6}},
        {{1, 1.0f}, {6, 0.75f}, {0, 1.0f}},
    };
    for (size_t m = 0; m < modes.size(); ++m) {
        for (size_t s = 0; s < signals.size(); ++s) {
            Instance fx(host);
            prepare(fx, 44100.0f, 512);
            for (const Mode& mode : modes[m]) fx.setParameter(mode.index, mode.value);
            Stereo<float> out;
            ASSERT_TRUE(renderAudited(fx.effect(), signals[s], out, 512)) << "mode " << m << " signal " << s;
            for (size_t i = 0; i < out.frames(); ++i) {
                ASSERT_LE(std::fabs(out.l[i]), 1.0f) << "mode " << m << " signal " << s << " frame " << i;
                ASSERT_LE(std::fabs(out.r[i]), 1.0f) << "mode " << m << " signal " << s << " frame " << i;
            }
        }
    }
}

// Check 63: NaN, infinities, 1e30 and subnormals in the input; the output stays
// finite and within full scale, and once clean input has run for latency plus
// release the output is the same as that of an instance that never saw the bad
// input. 1e30 is finite: the engine takes it as signal (it clamps only beyond
// 1e100), so the limiter releases from 600 dB above its ceiling, about
// ln(1e30) = 69 time constants of program 0's 200 ms release, near 14 s; that
// case is given 20 s.
TEST(Signal, NonFiniteInputRecovers) {
    TestHost host;
    const float nan = std::nanf("");
    const size_t n = 8192;
    struct Case {
        const char* name;
        Stereo<float> input;
        size_t settled;
    };
    std::vector<Case> bad;
    auto make = [&](const char* name, auto fill, size_t settled = kQuickRecovery) {
        Stereo<float> s = noiseStereo<float>(n, 0.5, 29);
        fill(s);
        bad.push_back({name, s, settled});
    };
    make("one NaN", [&](Stereo<float>& s) { s.l[1000] = nan; });
    make("one +inf", [&](Stereo<float>& s) { s.r[2000] = INFINITY; });
    make("one -inf", [&](Stereo<float>& s) { s.l[3000] = -INFINITY; });
    make("all NaN", [&](Stereo<float>& s) { std::fill(s.l.begin(), s.l.end(), nan); std::fill(s.r.begin(), s.r.end(), nan); });
    make("1e30", [&](Stereo<float>& s) { std::fill(s.l.begin(), s.l.end(), 1e30f); }, 44100 * 20);
    make("subnormals", [&](Stereo<float>& s) { std::fill(s.r.begin(), s.r.end(), 1e-40f); });
    const auto clean = noiseStereo<float>(44100 * 21, 0.5, 30);

    Instance reference(host);
    prepare(reference, 44100.0f, 512);
    Stereo<float> refOut;
    ASSERT_TRUE(renderAudited(reference.effect(), clean, refOut, 512));

    for (const auto& [name, input, settled] : bad) {
        Instance fx(host);
        prepare(fx, 44100.0f, 512);
        Stereo<float> out;
        ASSERT_TRUE(renderAudited(fx.effect(), input, out, 512)) << name;
        Stereo<double> inD, outD;  // the 64-bit path too
        inD.l.assign(input.l.begin(), input.l.end());
        inD.r.assign(input.r.begin(), input.r.end());
        ASSERT_TRUE(renderAudited(fx.effect(), inD, outD, 512)) << name;
        Stereo<float> after;
        ASSERT_TRUE(renderAudited(fx.effect(), clean, after, 512)) << name;
        for (size_t i = 0; i < out.frames(); ++i) {
            ASSERT_LE(std::fabs(out.l[i]), 1.0f) << name << " frame " << i;
            ASSERT_LE(std::fabs(out.r[i]), 1.0f) << name << " frame " << i;
        }
        for (size_t i = settled; i < clean.frames(); ++i) {
            ASSERT_EQ(after.l[i], refOut.l[i]) << name << ": no recovery at frame " << i;
            ASSERT_EQ(after.r[i], refOut.r[i]) << name << ": no recovery at frame " << i;
        }
    }
}

}  // namespace
