// The meter taps in isolation: holds, mean squares, the oversampled output
// tap and the read-out handshake.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/MeterTaps.h"

namespace vexal {
namespace {

double rmsCoefAt(double fs) { return 1.0 - std::pow(0.01, 1000.0 / (600.0 * fs)); }

class MeterTapsTest : public ::testing::Test {
protected:
    void SetUp() override { taps.reset(); }
    void out(double l, double r, bool oversample) {
        taps.tap(0.0, 0.0, 1.0, 1.0, l, r, oversample, rmsCoefAt(44100.0), coef);
    }
    MeterTaps taps;
    HalfSampleCoefficients coef;
};

TEST_F(MeterTapsTest, FullScaleSineReadsRmsEqualToPeak) {
    const double fs = 44100.0;
    for (bool oversample : {false, true}) {
        taps.reset();
        for (int i = 0; i < static_cast<int>(fs); ++i) {
            const double x = std::sin(2.0 * M_PI * 997.0 * i / fs);
            taps.tap(x, -x, 1.0, 1.0, x, x, oversample, rmsCoefAt(fs), coef);
        }
        for (int c = 0; c < 2; ++c) {
            // After 1 s the mean square is settled to far better than 1 %; the
            // remaining ripple at twice the sine frequency is below 0.1 %.
            EXPECT_NEAR(std::sqrt(2.0 * taps.inputMeanSquare[c]), taps.inputPeak[c], 0.01);
            EXPECT_NEAR(std::sqrt(2.0 * taps.outputMeanSquare[c]), taps.outputPeak[c], 0.01);
            EXPECT_NEAR(taps.inputPeak[c], 1.0, 1e-4);
        }
    }
}

TEST_F(MeterTapsTest, MeanSquareReachesNinetyNinePercentIn600ms) {
    const double fs = 48000.0;
    const int n600 = static_cast<int>(0.6 * fs);
    for (int i = 0; i < n600; ++i)
        taps.tap(1.0, 0.5, 1.0, 1.0, 1.0, 0.5, false, rmsCoefAt(fs), coef);
    EXPECT_NEAR(taps.inputMeanSquare[0], 0.99, 1e-9);
    EXPECT_NEAR(taps.outputMeanSquare[1], 0.99 * 0.25, 1e-9);
}

TEST_F(MeterTapsTest, PeaksAreMagnitudesRoundedToSinglePrecision) {
    taps.tap(-0.1, 0.3, 1.0, 1.0, -0.7, 0.2, false, 0.5, coef);
    EXPECT_EQ(taps.inputPeak[0], static_cast<double>(0.1f));
    EXPECT_EQ(taps.inputPeak[1], static_cast<double>(0.3f));
    EXPECT_EQ(taps.outputPeak[0], static_cast<double>(0.7f));
    EXPECT_EQ(taps.outputPeak[1], static_cast<double>(0.2f));
    // The input mean square uses the level itself, the output one the rounded magnitude.
    EXPECT_EQ(taps.inputMeanSquare[0], (-0.1 * -0.1 - 0.0) * 0.5);
    const double m = static_cast<double>(0.7f);
    EXPECT_EQ(taps.outputMeanSquare[0], (m * m - 0.0) * 0.5);
    // Holds keep the largest value.
    taps.tap(0.05, 0.0, 1.0, 1.0, 0.0, 0.0, false, 0.5, coef);
    EXPECT_EQ(taps.inputPeak[0], static_cast<double>(0.1f));
}

TEST_F(MeterTapsTest, GainHoldKeepsTheSmallestGain) {
    taps.tap(0, 0, 0.5, 0.9, 0, 0, false, 0.1, coef);
    taps.tap(0, 0, 0.7, 0.25, 0, 0, false, 0.1, coef);
    EXPECT_EQ(taps.gainReduction[0], 0.5);
    EXPECT_EQ(taps.gainReduction[1], 0.25);
}

TEST_F(MeterTapsTest, AdjacentPairReadsTheInterSamplePeakThirtyOneSamplesLate) {
    const double w0 = coef.w[0];
    // MeterOvs off: the pair reads its sample value.
    out(0, 0, false);
    out(0.9, 0.9, false);
    out(0.9, 0.9, false);
    out(0, 0, false);
    EXPECT_EQ(taps.outputPeak[0], static_cast<double>(0.9f));

    // MeterOvs on: pair at positions 100 and 101.
    taps.reset();
    for (int i = 0; i < 200; ++i) {
        const double x = (i == 100 || i == 101) ? 0.9 : 0.0;
        out(x, -x, true);
        if (i == 130) {
            EXPECT_LT(taps.outputPeak[0], 0.3);  // only far taps so far
        }
        if (i == 131) {
            EXPECT_EQ(taps.outputPeak[0], static_cast<double>(0.9f));
        }
        if (i == 132) {
            EXPECT_EQ(taps.outputPeak[0], static_cast<double>(static_cast<float>(w0 * 1.8)));
            EXPECT_NEAR(taps.outputPeak[1], 1.1443, 1e-4);
        }
    }
    EXPECT_EQ(taps.outputPeak[0], static_cast<double>(static_cast<float>(w0 * 1.8)));
    // The mean square follows the sample of age 31 itself.
    double ms = 0.0;
    const double c = rmsCoefAt(44100.0);
    for (int i = 0; i < 200 - 31; ++i) {
        const double x = (i == 100 || i == 101) ? 0.9 : 0.0;
        ms = ms + (x * x - ms) * c;
    }
    EXPECT_EQ(taps.outputMeanSquare[0], ms);
}

TEST_F(MeterTapsTest, RestartHoldsAndPublishing) {
    taps.tap(0.5, 0.25, 0.5, 0.75, 0.5, 0.125, false, 0.5, coef);
    const double inMs = taps.inputMeanSquare[0], outMs = taps.outputMeanSquare[1];
    taps.restartHolds();
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(taps.inputPeak[c], 0.0);
        EXPECT_EQ(taps.outputPeak[c], 0.0);
        EXPECT_EQ(taps.gainReduction[c], 1.0);
    }
    EXPECT_EQ(taps.inputMeanSquare[0], inMs);
    EXPECT_EQ(taps.outputMeanSquare[1], outMs);

    taps.tap(0.5, 0.25, 0.5, 0.75, 0.5, 0.125, false, 0.5, coef);
    MeterValues published;
    taps.publishTo(published);
    MeterTaps other;
    other.reset();
    other.loadFrom(published);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(other.inputPeak[c], taps.inputPeak[c]);
        EXPECT_EQ(other.outputPeak[c], taps.outputPeak[c]);
        EXPECT_EQ(other.inputMeanSquare[c], taps.inputMeanSquare[c]);
        EXPECT_EQ(other.outputMeanSquare[c], taps.outputMeanSquare[c]);
        EXPECT_EQ(other.gainReduction[c], taps.gainReduction[c]);
    }
    other.restartGainHolds();
    EXPECT_EQ(other.gainReduction[0], 1.0);
    EXPECT_EQ(other.inputPeak[0], taps.inputPeak[0]);
}

}  // namespace
}  // namespace vexal
