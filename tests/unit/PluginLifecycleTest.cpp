// Rate classes, coefficients and the reconfiguration rules, through test seams
// of the effect class.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Plugin.h"

namespace vexal {
namespace {

double stageTime(double coef, double fs) { return -1000.0 / (std::log(1.0 - coef) * fs); }

TEST(PluginLifecycle, EveryRateCoefficientIsReadyAt44100) {
    Plugin plugin(nullptr);
    const EngineSettings& s = plugin.engineSettings();
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

TEST(PluginLifecycle, SameIntegerRateRecomputesNothing) {
    Plugin plugin(nullptr);
    plugin.setSampleRate(48000.0f);
    const uint32_t rates = plugin.rateRecomputations();
    const uint32_t kernels = plugin.smoothKernelRebuilds();
    plugin.setSampleRate(48000.0f);
    plugin.setSampleRate(48000.4f);  // the same integer rate
    EXPECT_EQ(plugin.rateRecomputations(), rates);
    EXPECT_EQ(plugin.smoothKernelRebuilds(), kernels);
    plugin.setSampleRate(44100.0f);
    EXPECT_EQ(plugin.rateRecomputations(), rates + 1);
    EXPECT_EQ(plugin.smoothKernelRebuilds(), kernels + 1);
    // Out-of-range rates count as 44.1 kHz, so nothing changes either.
    plugin.setSampleRate(4999.0f);
    plugin.setSampleRate(200001.0f);
    EXPECT_EQ(plugin.rateRecomputations(), rates + 1);
    EXPECT_EQ(plugin.sampleRateInHz(), 44100);
}

TEST(PluginLifecycle, RateClassBoundaries) {
    Plugin plugin(nullptr);
    struct Case {
        float rate;
        int rateClass;
    };
    for (Case c : {Case{79999, 0}, Case{80000, 1}, Case{169999, 1}, Case{170000, 2},
                   Case{200000, 2}, Case{5000, 0}}) {
        plugin.setSampleRate(c.rate);
        EXPECT_EQ(plugin.getRateClass(), c.rateClass) << c.rate;
        EXPECT_EQ(plugin.engineSettings().lookAhead.load(), 128 << c.rateClass);
    }
}

TEST(PluginLifecycle, TransShapeRebuildsOnlyOnANewStep) {
    Plugin plugin(nullptr);
    const uint32_t kernels = plugin.smoothKernelRebuilds();
    plugin.setParameter(kTransShape, 0.1f);  // still "hard"
    EXPECT_EQ(plugin.smoothKernelRebuilds(), kernels);
    EXPECT_EQ(plugin.engineSettings().smoothLen.load(), 8);
    EXPECT_EQ(plugin.engineSettings().envelopeDelay.load(), 128 - 16 + 2);

    plugin.setSampleRate(192000.0f);
    EXPECT_EQ(plugin.engineSettings().smoothLen.load(), 32);
    plugin.setParameter(kTransShape, stepValue(2, 3));
    EXPECT_EQ(plugin.engineSettings().smoothLen.load(), 256);
    EXPECT_EQ(plugin.engineSettings().envelopeDelay.load(), 2);
    plugin.setParameter(kTransShape, stepValue(1, 3));
    EXPECT_EQ(plugin.engineSettings().smoothLen.load(), 64);
    EXPECT_EQ(plugin.engineSettings().envelopeDelay.load(), 512 - 128 + 2);
}

TEST(PluginLifecycle, SmoothKernelIsASymmetricWindowSummingToOne) {
    Plugin plugin(nullptr);
    for (int step = 0; step < 3; ++step) {
        plugin.setParameter(kTransShape, stepValue(step, 3));
        const int n = plugin.engineSettings().smoothLen.load();
        const double* taps = plugin.smoothKernelTaps();
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

TEST(PluginLifecycle, ReleaseAtZeroRisesFromOneToTwoMilliseconds) {
    Plugin plugin(nullptr);
    plugin.setParameter(kRelease, 0.0f);
    const EngineSettings& s = plugin.engineSettings();
    EXPECT_EQ(s.releaseMs.load(), 1.0);
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(stageTime(s.releaseCoef[k], 44100.0), 1.0 + k / 7.0, 1e-9) << k;
}

TEST(PluginLifecycle, NoiseShapeSetSelection) {
    Plugin plugin(nullptr);
    const NoiseShapeSets& sets = plugin.noiseShapeSetTable();
    const EngineSettings& s = plugin.engineSettings();
    EXPECT_EQ(s.noiseShapeSet.load(), sets.zeroSet());
    plugin.setParameter(kNoiseShape, stepValue(3, 4));
    const double* c44 = sets.set(2 * 6 + 0);
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    EXPECT_EQ(c44[0], -2.373123);
    plugin.setSampleRate(32000.0f);
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    plugin.setParameter(kNoiseShape, stepValue(2, 4));  // type B at 32 kHz keeps C/44.1
    EXPECT_EQ(s.noiseShapeSet.load(), c44);
    plugin.setParameter(kNoiseShape, stepValue(0, 4));
    EXPECT_EQ(s.noiseShapeSet.load(), sets.zeroSet());
    plugin.setSampleRate(176400.0f);
    for (int type = 1; type <= 3; ++type) {
        plugin.setParameter(kNoiseShape, stepValue(type, 4));
        EXPECT_EQ(s.noiseShapeSet.load(), sets.set((type - 1) * 6 + 4)) << type;
    }
    EXPECT_EQ(sets.set(4)[0], -1.974841);
    EXPECT_EQ(sets.set(6 + 4)[11], -0.145297);
}

TEST(PluginLifecycle, ConstructionHoldsProgram0) {
    Plugin plugin(nullptr);
    for (int i = 0; i < kNumStoredParams; ++i)
        EXPECT_EQ(plugin.getParameter(i), parameterInfo(i).program0) << i;
    const EngineSettings& s = plugin.engineSettings();
    EXPECT_EQ(s.transShape.load(), 0);
    EXPECT_EQ(s.smoothLen.load(), 8);
    EXPECT_EQ(s.driveGain.load(), 1.0);
    EXPECT_EQ(s.outputGain.load(), 1.0);
    EXPECT_EQ(s.grShowMask.load(), 7);
    EXPECT_EQ(s.levellerRaw.load(), 1.0f);
    EXPECT_EQ(plugin.getAeffect()->initialDelay, 159);
}

}  // namespace
}  // namespace vexal
