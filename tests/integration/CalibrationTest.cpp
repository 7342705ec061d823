// The calibration generator through the plug-in's process entries: seeded
// pink noise, the row schedule, levels by Scale, output routing, the meter
// feed and the limiter state it leaves alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "SignalTestSupport.h"
#include "host/AllocationGuard.h"

using namespace testhost;
using namespace signaltest;

namespace {

// An independent reading of the generator: the seeded shift-register draws,
// eight held rows refreshed by the trailing zeros of an 8-bit frame counter.
struct ReferenceCalibration {
    uint32_t s1 = 592, s2 = 153768, s3 = 1526;
    unsigned counter = 0;
    double rows[2][8] = {};
    double sums[2] = {};

    uint32_t nextWord() {
        s1 = (s1 << 13) ^ ((((s1 >> 9) ^ s1) >> 6) & 0x1FFFu);
        s2 = (s2 << 20) ^ ((((s2 >> 2) ^ s2) >> 7) & 0xFFFFFu);
        s3 = (s3 << 17) ^ ((((s3 >> 6) ^ s3) >> 8) & 0x1FFFFu);
        return s1 ^ s2 ^ s3;
    }
    double draw() { return 2.0 * static_cast<double>(nextWord()) * 2.3283064365e-10 - 1.0; }
    int row() const { return counter == 0 ? 7 : std::min(7, std::countr_zero(counter)); }
    void refresh(int noise, int r, double w) {
        const double old = rows[noise][r];
        rows[noise][r] = w;
        sums[noise] = sums[noise] + w - old;
    }
    static double value(double sum, double w, double level) {
        return (sum + w) * 0.1 / static_cast<double>(std::sqrt(2.0f)) / 1.7320508 * level;
    }
    // One frame: {left, right}.
    std::array<double, 2> frame(int mode, double level) {
        const int r = row();
        if (mode == 2) {
            const double w1 = draw(), w2 = draw();
            refresh(0, r, w1);
            refresh(1, r, w2);
            const double w3 = draw();
            counter = (counter + 1) & 255u;
            const double left = value(sums[0], w3, level);
            return {left, value(sums[1], draw(), level)};
        }
        refresh(0, r, draw());
        const double w2 = draw();
        counter = (counter + 1) & 255u;
        const double x = value(sums[0], w2, level);
        return mode == 1 ? std::array<double, 2>{x, 0.0} : std::array<double, 2>{0.0, x};
    }
};

constexpr double kLevels[3] = {2.5118864315, 2.0, 1.0};  // K-12, K-14, K-20

double rmsCoefAt(double fs) { return 1.0 - std::pow(0.01, 1000.0 / (600.0 * fs)); }

class Calibration : public ::testing::Test {
protected:
    void SetUp() override { testsupport::TempConfigDir::clear(); }

    // An instance right after an engine reset, generating `mode` at `scale`.
    void start(Instance& fx, int mode, int scale) {
        fx.setSampleRate(44100.0f);
        fx.setParameter(kScale, step(scale, 3));
        fx.setParameter(kCalibrate, step(mode, 4));
        fx.suspend();
    }

    // Generates `frames` frames in calls of `block` frames.
    template <class Sample>
    void generate(Instance& fx, size_t frames, std::vector<Sample>& l, std::vector<Sample>& r,
                  int32_t block = 300) {
        std::vector<Sample> in(frames, Sample(0.75));
        fx.process(in, in, l, r, block);
    }

    TestHost host;
};

TEST_F(Calibration, FramesAfterAResetAreDeterminedByTheSeeds) {
    for (int mode = 1; mode <= 3; ++mode) {
        for (int scale = 0; scale < 3; ++scale) {
            Instance fx(host);
            start(fx, mode, scale);
            std::vector<double> l, r;
            generate(fx, 3000, l, r);
            start(fx, mode, scale);
            std::vector<float> lf, rf;
            generate(fx, 3000, lf, rf, 64);

            ReferenceCalibration ref;
            for (size_t i = 0; i < l.size(); ++i) {
                const auto y = ref.frame(mode, kLevels[scale]);
                ASSERT_EQ(l[i], y[0]) << "mode " << mode << " frame " << i;
                ASSERT_EQ(r[i], y[1]) << "mode " << mode << " frame " << i;
                ASSERT_EQ(lf[i], static_cast<float>(y[0])) << "mode " << mode << " frame " << i;
                ASSERT_EQ(rf[i], static_cast<float>(y[1])) << "mode " << mode << " frame " << i;
            }
        }
    }
    // The very first frame of "left" at K-20, written out.
    Instance fx(host);
    start(fx, 1, 2);
    std::vector<double> l, r;
    generate(fx, 1, l, r);
    const double w1 = 2.0 * 2166752657.0 * 2.3283064365e-10 - 1.0;
    const double w2 = 2.0 * 433761069.0 * 2.3283064365e-10 - 1.0;
    EXPECT_EQ(l[0], (w1 + w2) * 0.1 / static_cast<double>(1.41421356f) / 1.7320508);
}

TEST_F(Calibration, TwoInstancesResetAlikeGiveIdenticalNoise) {
    Instance a(host), b(host);
    start(a, 2, 0);
    std::vector<double> skip, skipR;
    generate(a, 777, skip, skipR);  // a runs ahead, then both reset
    start(a, 2, 0);
    start(b, 2, 0);
    std::vector<double> al, ar, bl, br;
    generate(a, 20000, al, ar, 512);
    generate(b, 20000, bl, br, 17);
    EXPECT_EQ(al, bl);
    EXPECT_EQ(ar, br);
    EXPECT_NE(al, ar);
}

TEST_F(Calibration, RowsFillAndRefreshOnTheirSchedule) {
    // From the output and the known draws, recover which held value each frame
    // replaced: sum_n = x_n / scale − w2_n, and old_n = w1_n − (sum_n − sum_{n−1}).
    Instance fx(host);
    start(fx, 1, 2);
    const size_t frames = 1024;
    std::vector<double> l, r;
    generate(fx, frames, l, r);

    ReferenceCalibration draws;
    std::vector<double> w1(frames);
    std::vector<double> sum(frames);
    const double scale = 0.1 / static_cast<double>(1.41421356f) / 1.7320508;
    for (size_t n = 0; n < frames; ++n) {
        w1[n] = draws.draw();
        const double w2 = draws.draw();
        sum[n] = l[n] / scale - w2;
    }
    std::vector<size_t> freshFrames;
    for (size_t n = 0; n < frames; ++n) {
        const double old = w1[n] - (sum[n] - (n ? sum[n - 1] : 0.0));
        // Recovered values carry rounding of a few 1e-16 per step; draws are far apart.
        if (std::fabs(old) < 1e-9) {
            freshFrames.push_back(n);
            continue;
        }
        const unsigned counter = n & 255u;
        const int row = counter == 0 ? 7 : std::min(7, std::countr_zero(counter));
        const size_t period = row >= 6 ? 128 : (size_t{2} << row);
        ASSERT_GE(n, period) << n;
        EXPECT_NEAR(old, w1[n - period], 1e-9) << "frame " << n << " row " << row;
    }
    // Row 7 at frame 0, row k < 7 first at frame 2^k: all rows hold values after 65 frames.
    EXPECT_EQ(freshFrames, (std::vector<size_t>{0, 1, 2, 4, 8, 16, 32, 64}));
}

TEST_F(Calibration, LongTermRmsSettlesAtTheReferenceLevel) {
    const double fs = 44100.0;
    for (int scale = 0; scale < 3; ++scale) {
        for (int mode : {1, 2}) {
            Instance fx(host);
            start(fx, mode, scale);
            std::vector<float> buf(4410), other(4410);
            double sumSquares[2] = {0, 0};
            int reads = 0;
            for (int i = 0; i < 320; ++i) {  // 32 s; the first 2 s settle the meter
                processOnce(fx, buf.data(), buf.data(), buf.data(), other.data(), 4410);
                const Meters m = readMeters(fx);
                EXPECT_EQ(m.inputRms[0], m.outputRms[0]);
                EXPECT_EQ(m.inputPeak[0], m.outputPeak[0]);
                if (i < 20) continue;
                ++reads;
                for (int c = 0; c < 2; ++c) sumSquares[c] += double(m.outputRms[c]) * m.outputRms[c];
            }
            const double target = 0.1 * kLevels[scale];
            const double dbLeft = 10.0 * std::log10(sumSquares[0] / reads / (target * target));
            EXPECT_LT(std::fabs(dbLeft), 0.2) << "scale " << scale << " mode " << mode;
            if (mode == 2) {
                const double dbRight = 10.0 * std::log10(sumSquares[1] / reads / (target * target));
                EXPECT_LT(std::fabs(dbRight), 0.2) << "scale " << scale;
            } else {
                EXPECT_EQ(sumSquares[1], 0.0);
            }
            (void)fs;
        }
    }
}

TEST_F(Calibration, RightOutputOnlyWhenConnected) {
    const int32_t n = 500;
    for (bool connected : {true, false}) {
        host.output1Connected = connected;
        for (int mode = 1; mode <= 3; ++mode) {
            Instance fx(host);
            start(fx, mode, 1);
            std::vector<float> in(n, 0.5f), l(n, 7.0f), r(n, 7.0f);
            processOnce(fx, in.data(), in.data(), l.data(), r.data(), n);
            const bool leftNoise = mode != 3;
            const bool rightNoise = mode != 1;
            for (int32_t i = 0; i < n; ++i) {
                if (leftNoise) {
                    ASSERT_NE(l[i], 0.0f);
                    ASSERT_LT(std::fabs(l[i]), 1.0f);
                } else {
                    ASSERT_EQ(l[i], 0.0f);
                }
                if (!connected) {
                    ASSERT_EQ(r[i], 7.0f) << "mode " << mode;  // not written at all
                } else if (rightNoise) {
                    ASSERT_NE(r[i], 0.0f);
                } else {
                    ASSERT_EQ(r[i], 0.0f);
                }
            }
            // A connected but null right pointer is not written either.
            std::vector<double> ld(n, 7.0);
            std::vector<double> ind(n, 0.5);
            processOnce<double>(fx, ind.data(), ind.data(), ld.data(), nullptr, n);
            EXPECT_EQ(ld[0] == 0.0, mode == 3);
        }
    }
}

TEST_F(Calibration, UncorrelatedChannels) {
    Instance fx(host);
    start(fx, 2, 2);
    std::vector<double> l, r;
    generate(fx, 441000, l, r, 512);
    double sl = 0, sr = 0, sll = 0, srr = 0, slr = 0;
    for (size_t i = 0; i < l.size(); ++i) {
        sl += l[i];
        sr += r[i];
        sll += l[i] * l[i];
        srr += r[i] * r[i];
        slr += l[i] * r[i];
    }
    const double n = static_cast<double>(l.size());
    const double cov = slr / n - sl / n * sr / n;
    const double corr = cov / std::sqrt((sll / n - sl / n * sl / n) * (srr / n - sr / n * sr / n));
    EXPECT_LT(std::fabs(corr), 0.02);
}

TEST_F(Calibration, ScaleChangeActsFromTheNextCall) {
    Instance fx(host);
    start(fx, 1, 2);
    std::vector<double> first, second, r;
    generate(fx, 1000, first, r, 1000);
    fx.setParameter(kScale, step(0, 3));
    generate(fx, 1000, second, r, 1000);
    ReferenceCalibration ref;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(first[i], ref.frame(1, 1.0)[0]);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(second[i], ref.frame(1, 2.5118864315)[0]);
}

TEST_F(Calibration, FeedsTheMetersAndRestartsThemOnARead) {
    Instance fx(host);
    start(fx, 2, 1);
    std::vector<double> l, r;
    generate(fx, 5000, l, r);
    readMeters(fx);  // raises the read flag

    // One frame: the peaks restart from that frame alone, gains read 1.0.
    ReferenceCalibration ref;
    for (int i = 0; i < 5000; ++i) ref.frame(2, 2.0);
    const auto y = ref.frame(2, 2.0);
    generate(fx, 1, l, r);
    ASSERT_EQ(l[0], y[0]);
    Meters m = readMeters(fx);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(m.outputPeak[c], static_cast<float>(std::fabs(y[c])));
        EXPECT_EQ(m.inputPeak[c], m.outputPeak[c]);
        EXPECT_EQ(m.inputRms[c], m.outputRms[c]);
        EXPECT_EQ(m.gain[c], 1.0f);
    }

    // Switching to "left": the right channel's meters read 0 at once.
    fx.setParameter(kCalibrate, step(1, 4));
    generate(fx, 1, l, r);
    m = readMeters(fx);
    EXPECT_GT(m.outputPeak[0], 0.0f);
    EXPECT_GT(m.outputRms[0], 0.0f);
    EXPECT_EQ(m.outputPeak[1], 0.0f);
    EXPECT_EQ(m.inputPeak[1], 0.0f);
    EXPECT_EQ(m.outputRms[1], 0.0f);
    EXPECT_EQ(m.inputRms[1], 0.0f);
}

TEST_F(Calibration, FirstMeanSquareStepUsesRmsCoef) {
    Instance fx(host);
    start(fx, 3, 2);
    std::vector<double> l, r;
    generate(fx, 1, l, r);
    const Meters m = readMeters(fx);
    const double ms = (r[0] * r[0] - 0.0) * rmsCoefAt(44100.0);
    // rmsCoef is computed by the plug-in; the read-out is a float.
    EXPECT_FLOAT_EQ(m.outputRms[1], static_cast<float>(std::sqrt(2.0 * ms)));
    EXPECT_EQ(m.outputRms[0], 0.0f);
}

// The limiter path with Calibrate on and off in between must continue exactly
// as if the calibration had never run (Quantize off: the shared generator's
// draws do not reach the limiter).
TEST_F(Calibration, LimiterStateSurvivesCalibration) {
    const int32_t block = 441;
    auto signal = [](int64_t i) { return 2.0 * std::sin(0.031 * static_cast<double>(i)); };
    auto setup = [&](Instance& fx) {
        fx.setSampleRate(44100.0f);
        fx.setParameter(kDrive, 0.5f);
        fx.setParameter(kOutput, 1.0f);
        fx.setParameter(kLeveller, 1.0f);
        fx.setParameter(kPower, step(1, 2));
        fx.setParameter(kQuantize, step(0, 2));
        fx.setParameter(kCalibrate, step(0, 4));
        fx.suspend();
    };
    Instance a(host), b(host);
    setup(a);
    setup(b);
    std::vector<double> inL(block), inR(block), outA(block), outAR(block), outB(block),
        outBR(block);
    int64_t t = 0;
    auto fill = [&] {
        for (int32_t i = 0; i < block; ++i) {
            inL[i] = signal(t + i);
            inR[i] = -0.5 * signal(t + i);
        }
        t += block;
    };
    for (int k = 0; k < 40; ++k) {
        fill();
        processOnce(a, inL.data(), inR.data(), outA.data(), outAR.data(), block);
        processOnce(b, inL.data(), inR.data(), outB.data(), outBR.data(), block);
    }
    a.setParameter(kCalibrate, step(2, 4));
    std::vector<double> loud(block, 0.9);
    for (int k = 0; k < 20; ++k)
        processOnce(a, loud.data(), loud.data(), outA.data(), outAR.data(), block);
    a.setParameter(kCalibrate, step(0, 4));
    for (int k = 0; k < 40; ++k) {
        fill();
        processOnce(a, inL.data(), inR.data(), outA.data(), outAR.data(), block);
        processOnce(b, inL.data(), inR.data(), outB.data(), outBR.data(), block);
        ASSERT_EQ(outA, outB) << "block " << k;
        ASSERT_EQ(outAR, outBR) << "block " << k;
    }
}

TEST_F(Calibration, GeneratesWithoutAllocating) {
    Instance fx(host);
    std::vector<float> fl(4096), fr(4096);
    std::vector<double> dl(4096), dr(4096);
    for (int round = 0; round < 2; ++round) {  // round 0 lets the host's call log grow
        host.clearCalls();
        resetRealtimeCounts();
        for (int mode = 1; mode <= 3; ++mode) {
            fx.setParameter(kCalibrate, step(mode, 4));
            RealtimeScope scope;
            processOnce(fx, fl.data(), fr.data(), fl.data(), fr.data(), 4096);
            processOnce(fx, dl.data(), dr.data(), dl.data(), dr.data(), 1 + mode * 1000);
        }
    }
    EXPECT_EQ(realtimeCounts().allocations, 0u);
    EXPECT_EQ(realtimeCounts().frees, 0u);
}

}  // namespace
