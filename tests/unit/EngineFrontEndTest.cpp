// What the engine derives from the rate and the parameter values: rate
// classes, coefficients, lengths, the smoothing kernel, the noise-shaping set,
// and the rules for recomputing them. Each case starts at program 0.
#include <gtest/gtest.h>

#include <cmath>

#include "core/EngineParameters.h"
#include "core/ParameterTable.h"
#include "engine/EngineFrontEnd.h"

namespace vexal {
namespace {

double stageTime(double coef, double fs) { return -1000.0 / (std::log(1.0 - coef) * fs); }

TEST(EngineFrontEnd, EveryRateCoefficientIsReadyAt44100) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    const EngineSettings& s = engine.settings();
    const double fs = 44100.0;
    EXPECT_EQ(s.smoothCoef.load(), 1.0 - std::exp(-2.0 * M_PI * 30.0 / fs));
    EXPECT_EQ(s.levellerCoef.load(), 1.0 - std::exp(-1000.0 / (1000.0 * fs)));
    EXPECT_EQ(s.autoBlackCoef.load(), 1.0 - std::exp(-1000.0 / (10.0 * fs)));
    EXPECT_EQ(s.rmsCoef.load(), 1.0 - std::pow(0.01, 1000.0 / (600.0 * fs)));
    EXPECT_GT(s.smoothCoef.load(), 0.0);
    EXPECT_GT(s.levellerCoef.load(), 0.0);
    EXPECT_NEAR(stageTime(s.attackCoef[0], fs), 32.0, 1e-9);
    EXPECT_NEAR(stageTime(s.attackCoef[7], fs), 1.0, 1e-9);
    EXPECT_NEAR(stageTime(s.releaseCoef[0], fs), s.releaseMs.load(), 1e-6);
    EXPECT_NEAR(stageTime(s.releaseCoef[7], fs), 2.0, 1e-9);
}

TEST(EngineFrontEnd, SameIntegerRateRecomputesNothing) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    engine.setSampleRate(48000.0f);
    const uint32_t rates = engine.rateRecomputations();
    const uint32_t kernels = engine.smoothKernelRebuilds();
    engine.setSampleRate(48000.0f);
    engine.setSampleRate(48000.4f);  // the same integer rate
    EXPECT_EQ(engine.rateRecomputations(), rates);
    EXPECT_EQ(engine.smoothKernelRebuilds(), kernels);
    engine.setSampleRate(44100.0f);
    EXPECT_EQ(engine.rateRecomputations(), rates + 1);
    EXPECT_EQ(engine.smoothKernelRebuilds(), kernels + 1);
    // Out-of-range rates count as 44.1 kHz, so nothing changes either.
    engine.setSampleRate(4999.0f);
    engine.setSampleRate(200001.0f);
    EXPECT_EQ(engine.rateRecomputations(), rates + 1);
    EXPECT_EQ(engine.sampleRateHz(), 44100);
}

TEST(EngineFrontEnd, RateClassBoundaries) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    struct Case {
        float rate;
        int rateClass;
    };
    for (Case c : {Case{79999, 0}, Case{80000, 1}, Case{169999, 1}, Case{170000, 2},
                   Case{200000, 2}, Case{5000, 0}}) {
        engine.setSampleRate(c.rate);
        EXPECT_EQ(engine.rateClass(), c.rateClass) << c.rate;
        EXPECT_EQ(engine.settings().lookAhead.load(), 128 << c.rateClass);
    }
}

TEST(EngineFrontEnd, TransShapeRebuildsOnlyOnANewStep) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    const uint32_t kernels = engine.smoothKernelRebuilds();
    applyParameter(engine, kTransShape, 0.1f);  // still "hard"
    EXPECT_EQ(engine.smoothKernelRebuilds(), kernels);
    EXPECT_EQ(engine.settings().smoothLen.load(), 8);
    EXPECT_EQ(engine.settings().envelopeDelay.load(), 128 - 16 + 2);

    engine.setSampleRate(192000.0f);
    EXPECT_EQ(engine.settings().smoothLen.load(), 32);
    applyParameter(engine, kTransShape, stepValue(2, 3));
    EXPECT_EQ(engine.settings().smoothLen.load(), 256);
    EXPECT_EQ(engine.settings().envelopeDelay.load(), 2);
    applyParameter(engine, kTransShape, stepValue(1, 3));
    EXPECT_EQ(engine.settings().smoothLen.load(), 64);
    EXPECT_EQ(engine.settings().envelopeDelay.load(), 512 - 128 + 2);
}

TEST(EngineFrontEnd, SmoothKernelIsASymmetricWindowSummingToOne) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    for (int step = 0; step < 3; ++step) {
        applyParameter(engine, kTransShape, stepValue(step, 3));
        const int n = engine.settings().smoothLen.load();
        const double* taps = engine.smoothKernelTaps();
        double sum = 0.0;
        for (int i = 0; i < n; ++i) {
            EXPECT_GE(taps[i], -1e-15);
            EXPECT_NEAR(taps[i], taps[n - 1 - i], 1e-12);
            sum += taps[i];
        }
        EXPECT_NEAR(sum, 1.0, 1e-12);
        EXPECT_NEAR(taps[0], 0.0, 1e-15);
    }
}

TEST(EngineFrontEnd, ReleaseAtZeroRisesFromOneToTwoMilliseconds) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    applyParameter(engine, kRelease, 0.0f);
    const EngineSettings& s = engine.settings();
    EXPECT_EQ(s.releaseMs.load(), 1.0);
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(stageTime(s.releaseCoef[k], 44100.0), 1.0 + k / 7.0, 1e-9) << k;
}

TEST(EngineFrontEnd, NoiseShapeSetSelection) {
    EngineFrontEnd engine;
    applyProgram0(engine);
    const NoiseShapeSets& sets = engine.noiseShapeSets();
    const EngineSettings& s = engine.settings();
    EXPECT_EQ(s.noiseShapeSet.load(), sets.zeroSet());
    applyParameter(engine, kNoiseShape, stepValue(3, 4));
    const double* c44 = sets.set(2 * 6 + 0);
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    EXPECT_EQ(c44[0], -2.373123);
    engine.setSampleRate(32000.0f);
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    applyParameter(engine, kNoiseShape, stepValue(2, 4));  // type B at 32 kHz keeps C/44.1
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    applyParameter(engine, kNoiseShape, stepValue(0, 4));
    EXPECT_EQ(s.noiseShapeSet.load(), sets.zeroSet());
    engine.setSampleRate(176400.0f);
    for (int type = 1; type <= 3; ++type) {
        applyParameter(engine, kNoiseShape, stepValue(type, 4));
        EXPECT_EQ(s.noiseShapeSet.load(), sets.set((type - 1) * 6 + 4)) << type;
    }
    EXPECT_EQ(sets.set(4)[0], -1.974841);
    EXPECT_EQ(sets.set(6 + 4)[11], -0.145297);
}

}  // namespace
}  // namespace vexal
