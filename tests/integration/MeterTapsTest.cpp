// The engine's meter taps as the editor reads them through the meter read-out:
// RMS against peak, the gain-reduction components, the oversampled output
// meter and the read-out handshake.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "SignalTestSupport.h"

using namespace testhost;
using namespace signaltest;

namespace {

constexpr double kFs = 44100.0;
constexpr int kLatency = 159;

double rmsCoefAt(double fs) { return 1.0 - std::pow(0.01, 1000.0 / (600.0 * fs)); }

std::vector<double> sine(size_t n, double amplitude, double cyclesPerSample) {
    std::vector<double> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = amplitude * std::sin(2.0 * M_PI * cyclesPerSample * static_cast<double>(i));
    return x;
}

class EngineMeters : public ::testing::Test {
protected:
    void SetUp() override { testsupport::TempConfigDir::clear(); }

    // Processes `in` on both channels (right inverted) and returns the left output.
    std::vector<double> play(Instance& fx, const std::vector<double>& in) {
        std::vector<double> inR(in.size()), l, r;
        for (size_t i = 0; i < in.size(); ++i) inR[i] = -in[i];
        fx.process(in, inR, l, r);
        return l;
    }

    TestHost host;
};

TEST_F(EngineMeters, FullScaleSineReadsRmsEqualToPeakOnceSettled) {
    for (bool oversampled : {false, true}) {
        Instance fx(host);
        neutralSettings(fx);
        fx.setParameter(kMeterOvs, step(oversampled ? 1 : 0, 2));
        fx.suspend();
        // 400 ms after the sine reaches the taps the RMS reading is still 2.4 %
        // short (mean square 4.6 %); at 600 ms it is within 1 % (0.5 %).
        const double f = 997.0 / kFs;
        const std::vector<double> tone = sine(static_cast<size_t>(3 * kFs), 1.0, f);
        auto slice = [&](size_t from, size_t to) {
            return std::vector<double>(tone.begin() + from, tone.begin() + to);
        };
        const size_t t400 = kLatency + 31 + static_cast<size_t>(0.4 * kFs);
        const size_t t600 = kLatency + 31 + static_cast<size_t>(0.6 * kFs);
        play(fx, slice(0, t400));
        Meters m = readMeters(fx);
        EXPECT_LT(m.inputRms[0], 0.99 * m.inputPeak[0]);
        EXPECT_LT(m.outputRms[0], 0.99 * m.outputPeak[0]);
        play(fx, slice(t400, t600));
        m = readMeters(fx);
        for (int c = 0; c < 2; ++c) {
            EXPECT_NEAR(m.inputRms[c], m.inputPeak[c], 0.01) << c;
            EXPECT_NEAR(m.outputRms[c], m.outputPeak[c], 0.01) << c;
            EXPECT_NEAR(m.inputPeak[c], 1.0, 1e-3);
        }
        // Settled (2 s): RMS equals peak to the sampling of the sine's crest.
        play(fx, slice(t600, tone.size()));
        m = readMeters(fx);
        for (int c = 0; c < 2; ++c) {
            EXPECT_NEAR(m.inputRms[c], m.inputPeak[c], 2e-3);
            EXPECT_NEAR(m.outputRms[c], m.outputPeak[c], 2e-3);
        }
    }
}

TEST_F(EngineMeters, AttShowSelectsTheGainComponents) {
    // Leveller just below its top (threshold 2^-0.02) on a 3.0 sine: the
    // leveller brings it to about 1.55, the limiter the rest of the way.
    Instance fx(host);
    neutralSettings(fx);
    fx.setParameter(kLeveller, 0.99f);
    fx.setParameter(kTransient, 0.0f);
    fx.suspend();
    const double f = 441.0 / kFs;  // 100 samples per period
    std::vector<double> loud = sine(static_cast<size_t>(10 * kFs), 3.0, f);
    play(fx, loud);

    float shown[8];
    double smallestProduct = 2.0;
    for (int mask : {0, 1, 2, 3, 4, 7}) {
        fx.setParameter(kAttShow, step(mask, 8));
        // A whole number of periods, so every mask sees the same samples.
        const std::vector<double> in = sine(static_cast<size_t>(0.2 * kFs), 3.0, f);
        const std::vector<double> out = play(fx, in);
        const Meters m = readMeters(fx);
        shown[mask] = m.gain[0];
        EXPECT_EQ(m.gain[0], m.gain[1]) << mask;  // linked leveller, symmetric input
        if (mask == 7) {
            // out = limiter gain × leveller gain × the input of 159 samples ago.
            for (size_t i = kLatency; i < in.size(); ++i) {
                const double dry = in[i - kLatency];
                if (std::fabs(dry) > 2.5) smallestProduct = std::min(smallestProduct, out[i] / dry);
            }
        }
    }
    EXPECT_EQ(shown[0], 1.0f);  // nothing selected: no reduction shown while limiting
    EXPECT_LT(shown[3], 0.75f);
    EXPECT_LT(shown[4], 0.6f);
    EXPECT_NEAR(shown[1] * shown[2], shown[3], 1e-3);
    EXPECT_NEAR(shown[3] * shown[4], shown[7], 1e-3);
    // The steady leveller changes by less than 1e-4 over a period.
    EXPECT_NEAR(shown[7], smallestProduct, 2e-3);
}

TEST_F(EngineMeters, PowerOffShowsNoReduction) {
    Instance fx(host);
    neutralSettings(fx);
    fx.setParameter(kPower, step(0, 2));
    const std::vector<double> in = sine(20000, 2.0, 0.01);
    const std::vector<double> out = play(fx, in);
    const Meters m = readMeters(fx);
    EXPECT_EQ(m.gain[0], 1.0f);
    EXPECT_EQ(m.gain[1], 1.0f);
    EXPECT_EQ(out[5000], std::clamp(in[5000 - kLatency], -1.0, 1.0));
}

TEST_F(EngineMeters, AdjacentPairReadsTheInterSamplePeakWithMeterOvs) {
    const double w0 = 0.3178658799033 * 2.0;
    std::vector<double> in(2000, 0.0);
    in[1000] = in[1001] = 0.9;
    for (bool oversampled : {false, true}) {
        Instance fx(host);
        neutralSettings(fx);
        fx.setParameter(kTransient, 0.0f);
        fx.setParameter(kMeterOvs, step(oversampled ? 1 : 0, 2));
        fx.suspend();
        if (!oversampled) {
            const std::vector<double> out = play(fx, in);
            // Below the threshold the gain is 1 to rounding (the branch-free maximum).
            EXPECT_NEAR(out[1000 + kLatency], 0.9, 1e-15);
            EXPECT_EQ(readMeters(fx).outputPeak[0], 0.9f);
            continue;
        }
        // The pair leaves the plug-in at 1159 and 1160; the meter reads the
        // sample of age 31 and the estimate half a sample before it.
        const std::vector<double> head(in.begin(), in.begin() + 1190);
        play(fx, head);
        const Meters before = readMeters(fx);
        EXPECT_LT(before.outputPeak[0], 0.3f);  // only the far taps have seen the pair
        play(fx, {0.0});  // frame 1190: 1159 has age 31
        EXPECT_EQ(readMeters(fx).outputPeak[0], 0.9f);
        play(fx, {0.0});  // frame 1191: the midpoint of the pair
        const Meters m = readMeters(fx);
        // Single-precision peaks of w0·(x + x) with x = 0.9 to the last bit.
        EXPECT_FLOAT_EQ(m.outputPeak[0], static_cast<float>(w0 * 1.8));
        EXPECT_FLOAT_EQ(m.outputPeak[1], static_cast<float>(w0 * 1.8));
        EXPECT_NEAR(m.outputPeak[0], 1.144, 1e-3);
    }
}

TEST_F(EngineMeters, AfterAReadSilenceReadsZeroPeaksAndUnityGainsWhileRmsDecays) {
    Instance fx(host);
    neutralSettings(fx);
    fx.setParameter(kRelease, 0.0f);
    fx.suspend();
    play(fx, sine(static_cast<size_t>(kFs), 2.0, 0.01));
    Meters m = readMeters(fx);
    EXPECT_LT(m.gain[0], 0.6f);
    EXPECT_GT(m.outputRms[0], 0.9f);
    const size_t n = static_cast<size_t>(0.5 * kFs);
    play(fx, std::vector<double>(n, 0.0));
    const Meters first = readMeters(fx);
    play(fx, std::vector<double>(n, 0.0));
    const Meters second = readMeters(fx);
    const double decay = std::pow(1.0 - rmsCoefAt(kFs), static_cast<double>(n) / 2.0);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(second.inputPeak[c], 0.0f);
        EXPECT_EQ(second.outputPeak[c], 0.0f);
        EXPECT_EQ(second.gain[c], 1.0f);
        // RMS = √(2·mean square): falls by (1 − rmsCoef)^(n/2) over n silent samples.
        EXPECT_NEAR(second.inputRms[c] / first.inputRms[c], decay, 1e-5);
        EXPECT_NEAR(second.outputRms[c] / first.outputRms[c], decay, 1e-5);
        EXPECT_GT(second.outputRms[c], 0.0f);
    }
}

TEST_F(EngineMeters, AttShowChangeRestartsTheGainHolds) {
    Instance fx(host);
    neutralSettings(fx);
    fx.setParameter(kRelease, 0.0f);
    fx.suspend();
    play(fx, sine(20000, 2.0, 0.01));
    fx.setParameter(kAttShow, step(3, 8));
    EXPECT_EQ(readMeters(fx).gain[0], 1.0f);  // no block in between
    play(fx, sine(2000, 2.0, 0.01));
    EXPECT_LT(readMeters(fx).gain[0], 0.6f);  // limiting in between
}

TEST_F(EngineMeters, PostMeterChoosesTheInputBeforeOrAfterDrive) {
    for (int post : {0, 1}) {
        Instance fx(host);
        neutralSettings(fx);
        fx.setParameter(kDrive, 0.625f);  // 2^1: +6 dB
        fx.setParameter(kPostMeter, step(post, 2));
        fx.suspend();
        play(fx, std::vector<double>(1000, 0.25));
        const Meters m = readMeters(fx);
        // "pre" shows the driven input, "post" the input as it came.
        EXPECT_EQ(m.inputPeak[0], post ? 0.25f : 0.5f);
        EXPECT_EQ(m.outputPeak[0], 0.5f);
    }
}

}  // namespace
