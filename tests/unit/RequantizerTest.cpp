// The requantizer in isolation: generator sequence, step grid, dither
// statistics, auto-black and the error feedback against a plain reading of
// the algorithm.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/NoiseShapeSets.h"
#include "engine/Requantizer.h"

namespace vexal {
namespace {

constexpr double kZeroSet[12] = {};

double autoBlackCoefAt(double fs) { return 1.0 - std::exp(-1000.0 / (10.0 * fs)); }

// A deterministic test signal independent of the plug-in's generator.
struct TestSignal {
    uint64_t state = 0x9E3779B97F4A7C15ull;
    double next(double amplitude) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return amplitude * (static_cast<double>(state >> 11) / 9007199254740992.0 * 2.0 - 1.0);
    }
};

TEST(DitherRng, FirstResultsFromTheSeeds) {
    DitherRng rng;
    rng.s1 = rng.s2 = rng.s3 = 7;
    rng.seed();
    EXPECT_EQ(rng.next(), 2166752657u);
    EXPECT_EQ(rng.next(), 433761069u);
    EXPECT_EQ(rng.next(), 2733492204u);
    EXPECT_EQ(rng.next(), 3444313225u);
}

TEST(Requantizer, ResetValues) {
    Requantizer q;
    q.errorRing[1][5] = 3.0;
    q.ringIndex = 7;
    q.autoBlackGain = 0.5;
    q.reset();
    for (auto& ring : q.errorRing)
        for (double e : ring) EXPECT_EQ(e, 0.0);
    EXPECT_EQ(q.ringIndex, 0);
    EXPECT_EQ(q.autoBlackGain, 1e-20);
    q.ringIndex = 9;
    q.errorRing[0][0] = 1.0;
    q.restartRingIndex();
    EXPECT_EQ(q.ringIndex, 0);
    EXPECT_EQ(q.errorRing[0][0], 1.0);  // only the index restarts
}

TEST(Requantizer, OutputsLieOnTheStepGrid) {
    for (double scale : {128.0, 32768.0, 8388608.0}) {
        Requantizer q;
        q.reset();
        DitherRng rng;
        TestSignal signal;
        for (int i = 0; i < 20000; ++i) {
            double l = signal.next(0.999), r = signal.next(0.5);
            q.process(l, r, rng, kZeroSet, scale, false, 0.0);
            EXPECT_EQ(l * scale, std::trunc(l * scale)) << scale << " at " << i;
            EXPECT_EQ(r * scale, std::trunc(r * scale)) << scale << " at " << i;
            ASSERT_LE(std::fabs(l), 1.0);
        }
    }
}

TEST(Requantizer, SilenceGivesZeroOrMinusOneStepAboutHalfEach) {
    Requantizer q;
    q.reset();
    DitherRng rng;
    int zeros = 0, minusOnes = 0;
    const int n = 100000;
    for (int i = 0; i < n; ++i) {
        double l = 0.0, r = 0.0;
        q.process(l, r, rng, kZeroSet, 32768.0, false, 0.0);
        for (double x : {l, r}) {
            if (x == 0.0) ++zeros;
            else if (x == -1.0 / 32768.0) ++minusOnes;
        }
    }
    EXPECT_EQ(zeros + minusOnes, 2 * n);
    // Triangular dither of ±1 step: P(0) = P(−1) = 1/2; 2n draws put the
    // count within 1 % of n by a wide margin (σ ≈ 0.16 %).
    EXPECT_NEAR(zeros, n, n / 100);
}

TEST(Requantizer, TruncationAfterAddingTheScale) {
    // v·S + S + d is truncated toward zero: the step at or below v + d/S.
    Requantizer q;
    q.reset();
    DitherRng rng, mirror;
    double l = 0.25 + 0.3 / 128.0, r = -0.25 - 0.3 / 128.0;
    q.process(l, r, rng, kZeroSet, 128.0, false, 0.0);
    const double d1 = mirror.next() * kDitherUnit + mirror.next() * kDitherUnit - 1.0;
    const double d2 = mirror.next() * kDitherUnit + mirror.next() * kDitherUnit - 1.0;
    EXPECT_EQ(l, std::floor(32.3 + d1) / 128.0);
    EXPECT_EQ(r, std::floor(-32.3 + d2) / 128.0);
    // Below −1 the truncation rounds toward zero instead.
    l = -1.5;
    r = 0.0;
    q.process(l, r, rng, kZeroSet, 128.0, false, 0.0);
    EXPECT_GE(l, -1.5);
}

TEST(Requantizer, AutoBlackFadesToExactZeroAndRestores) {
    const double fs = 44100.0;
    const double coef = autoBlackCoefAt(fs);
    Requantizer q;
    q.reset();
    DitherRng rng;
    double l = 0.5, r = 0.0;
    q.process(l, r, rng, kZeroSet, 32768.0, true, coef);
    EXPECT_EQ(q.autoBlackGain, 1.0);

    // 10 ms of silence: the gain has fallen by e (to within the per-sample
    // discretisation of the one-pole, exp(−1) exactly for this coefficient).
    for (int i = 0; i < 441; ++i) {
        l = r = 0.0;
        q.process(l, r, rng, kZeroSet, 32768.0, true, coef);
    }
    EXPECT_NEAR(q.autoBlackGain, std::exp(-1.0), 1e-12);

    // The fade follows the guarded one-pole exactly; it settles a few hundred
    // guard quanta (1.75e-46 each) above zero, where the kernel's final clip
    // 0.5·(|x + 1| − |x − 1|) turns every output into exact zero.
    double expected = q.autoBlackGain;
    int lastAudible = -1;
    for (int i = 441; i < 60000; ++i) {
        l = r = 0.0;
        q.process(l, r, rng, kZeroSet, 32768.0, true, coef);
        expected = (expected - coef * expected + 1e-30) - 1e-30;
        ASSERT_EQ(q.autoBlackGain, expected) << i;
        ASSERT_TRUE(l == 0.0 || l == -expected / 32768.0);
        const double clipped = 0.5 * (std::fabs(l + 1.0) - std::fabs(l - 1.0));
        if (clipped != 0.0) lastAudible = i;
    }
    EXPECT_GT(q.autoBlackGain, 0.0);
    EXPECT_LT(q.autoBlackGain, 1e-42);
    // Below about 2^-54 a value leaves the clip as 0: gain·step < 2^-54 after
    // ln(2^39) ≈ 27 time constants.
    EXPECT_GT(lastAudible / fs, 0.2);
    EXPECT_LT(lastAudible / fs, 0.3);

    // A sample just above 1e-8 restores the gain on that very sample.
    l = 2e-8;
    r = 0.0;
    q.process(l, r, rng, kZeroSet, 32768.0, true, coef);
    EXPECT_EQ(q.autoBlackGain, 1.0);
    // 1e-8 itself does not.
    Requantizer p;
    p.reset();
    l = 1e-8;
    r = -1e-8;
    p.process(l, r, rng, kZeroSet, 32768.0, true, coef);
    EXPECT_LT(p.autoBlackGain, 1e-20);
}

TEST(Requantizer, SilentStartIsBlackFromTheFirstSample) {
    // After a reset the gain starts at 1e-20: every output is at most 1e-20 of
    // a step, and the clipped output is exact zero at once.
    Requantizer q;
    q.reset();
    DitherRng rng;
    double gain = 1e-20;
    for (int i = 0; i < 44100; ++i) {
        double l = 0.0, r = 0.0;
        q.process(l, r, rng, kZeroSet, 32768.0, true, autoBlackCoefAt(44100.0));
        gain = (gain - autoBlackCoefAt(44100.0) * gain + 1e-30) - 1e-30;
        ASSERT_EQ(q.autoBlackGain, gain);
        ASSERT_LE(std::fabs(l), 1e-20 / 32768.0);
        ASSERT_EQ(0.5 * (std::fabs(l + 1.0) - std::fabs(l - 1.0)), 0.0);
    }
}

TEST(Requantizer, AutoBlackOffKeepsFullGain) {
    Requantizer q;
    q.reset();
    DitherRng rng;
    double l = 0.0, r = 0.0;
    q.process(l, r, rng, kZeroSet, 32768.0, false, 0.5);
    EXPECT_EQ(q.autoBlackGain, 1.0);
}

// A direct reading of the algorithm: the error history as a shift register,
// newest first, and the feedback summed from k = 1 to 12.
struct ReferenceRequantizer {
    double history[2][12] = {};
    double gain = 1e-20;
    DitherRng rng;

    void process(double& xL, double& xR, const double* a, double s, bool autoBlack, double coef) {
        const double bigger = std::fabs(xR) + 0.5 * ((std::fabs(xL) - std::fabs(xR)) +
                                                     std::fabs(std::fabs(xL) - std::fabs(xR)));
        gain = (bigger > 1e-8 || !autoBlack) ? 1.0 : gain - coef * gain;
        gain = gain + 1e-30 - 1e-30;
        double v[2];
        double* x[2] = {&xL, &xR};
        for (int c = 0; c < 2; ++c) {
            double acc = 0.0;
            for (int k = 1; k <= 12; ++k) acc = acc + (-a[k - 1]) * history[c][k - 1];
            v[c] = *x[c] - acc;
        }
        for (int c = 0; c < 2; ++c) {
            const double u1 = static_cast<double>(rng.next()) * 2.3283064365e-10;
            const double u2 = static_cast<double>(rng.next()) * 2.3283064365e-10;
            const double d = u1 + u2 - 1.0;
            const double q = std::trunc(v[c] * s + s + d);
            const double e = (q - s) / s - v[c];
            for (int k = 11; k > 0; --k) history[c][k] = history[c][k - 1];
            history[c][0] = e;
            *x[c] = (q - s) / s * gain;
        }
    }
};

TEST(Requantizer, ErrorFeedbackMatchesADirectComputation) {
    NoiseShapeSets sets;
    sets.build();
    const double coef = autoBlackCoefAt(48000.0);
    for (int s = 0; s <= NoiseShapeSets::kZeroSet; ++s) {
        const double* a = sets.set(s);
        Requantizer q;
        q.reset();
        DitherRng rng;
        ReferenceRequantizer ref;
        TestSignal signal;
        for (int i = 0; i < 5000; ++i) {
            // Stretches of silence exercise the auto-black path as well.
            const double amplitude = (i / 500) % 3 == 2 ? 0.0 : 0.3;
            double l = signal.next(amplitude), r = signal.next(amplitude);
            double rl = l, rr = r;
            q.process(l, r, rng, a, 32768.0, true, coef);
            ref.process(rl, rr, a, 32768.0, true, coef);
            ASSERT_EQ(l, rl) << "set " << s << " sample " << i;
            ASSERT_EQ(r, rr) << "set " << s << " sample " << i;
        }
    }
}

TEST(Requantizer, RestartingTheRingIndexKeepsTheErrors) {
    // After a set is selected the next error goes to index 1, the newest error
    // is read at index 0, whatever the ring held.
    Requantizer q;
    q.reset();
    q.ringIndex = 5;
    q.errorRing[0][0] = 0.25 / 128.0;
    q.errorRing[0][5] = 100.0;
    q.restartRingIndex();
    double a[12] = {1.0};
    DitherRng rng, mirror;
    double l = 0.0, r = 0.0;
    q.process(l, r, rng, a, 128.0, false, 0.0);
    const double d = mirror.next() * kDitherUnit + mirror.next() * kDitherUnit - 1.0;
    EXPECT_EQ(l, std::floor(0.25 + d) / 128.0);
    EXPECT_EQ(q.ringIndex, 1);
}

}  // namespace
}  // namespace vexal
