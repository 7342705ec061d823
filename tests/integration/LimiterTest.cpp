// The limiter as a host sees it: latency, the ceiling, bypass, linking, the
// leveller, block splitting, both precisions, mono hosts and the real-time
// rules — all through the built plug-in's binary interface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/ParameterTable.h"
#include "host/AllocationGuard.h"
#include "host/TestHost.h"

using namespace testhost;

namespace {

using Signal = std::vector<double>;

// The host value of step i of n.
float stepValue(int i, int n) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(n); }

// The final clip as the kernel computes it.
double clip(double x) { return 0.5 * (std::fabs(x + 1.0) - std::fabs(x - 1.0)); }

Signal noise(size_t n, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    Signal s(n);
    for (double& x : s) x = u(rng);
    return s;
}

// Float-representable values, so both entries see the same input.
Signal toFloatValues(Signal s) {
    for (double& x : s) x = static_cast<float>(x);
    return s;
}

struct Stereo {
    Signal l, r;
};

class Limiter : public ::testing::Test {
protected:
    void SetUp() override {
        static char dir[] = "/tmp/vexal-limiter-XXXXXX";
        static const char* made = mkdtemp(dir);
        setenv("VEXAL_CONFIG_DIR", made ? made : "/tmp", 1);
    }

    Stereo run(Instance& fx, const Signal& l, const Signal& r, int32_t block = 512) {
        Stereo out;
        fx.process(l, r, out.l, out.r, block);
        return out;
    }

    Stereo runFloat(Instance& fx, const Signal& l, const Signal& r, int32_t block = 512) {
        std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end()), ol, orr;
        fx.process(fl, fr, ol, orr, block);
        return {Signal(ol.begin(), ol.end()), Signal(orr.begin(), orr.end())};
    }

    TestHost host;
};

TEST_F(Limiter, ImpulseComesOutAfterLatencyUnchanged) {
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f}) {
        for (bool useFloat : {false, true}) {
            Instance fx(host);
            fx.setSampleRate(rate);
            const int32_t latency = fx.effect()->initialDelay;
            EXPECT_EQ(latency, rate < 80000 ? 159 : (rate < 170000 ? 287 : 543));
            Signal l(3000, 0.0), r(3000, 0.0);
            l[100] = 0.5;
            r[333] = -0.5;
            const Stereo out = useFloat ? runFloat(fx, l, r) : run(fx, l, r);
            for (size_t i = 0; i < l.size(); ++i) {
                EXPECT_EQ(out.l[i], i == 100u + latency ? 0.5 : 0.0) << rate << " " << i;
                EXPECT_EQ(out.r[i], i == 333u + latency ? -0.5 : 0.0) << rate << " " << i;
            }
        }
    }
}

TEST_F(Limiter, PowerOffIsTheInputDelayed) {
    for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
        Instance fx(host);
        fx.setSampleRate(rate);
        fx.setParameter(vexal::kPower, stepValue(0, 2));
        fx.setParameter(vexal::kDrive, 0.9f);  // nothing of the drive reaches the bypass
        const int32_t latency = fx.effect()->initialDelay;
        const Signal l = toFloatValues(noise(5000, 3.0, 1)), r = toFloatValues(noise(5000, 0.9, 2));
        const Stereo d = run(fx, l, r);
        fx.suspend();
        const Stereo f = runFloat(fx, l, r);
        for (size_t i = 0; i < l.size(); ++i) {
            const double inL = i >= size_t(latency) ? l[i - latency] : 0.0;
            const double inR = i >= size_t(latency) ? r[i - latency] : 0.0;
            ASSERT_EQ(d.l[i], clip(inL)) << i;
            ASSERT_EQ(d.r[i], clip(inR)) << i;
            ASSERT_EQ(f.l[i], static_cast<float>(clip(inL))) << i;
            ASSERT_EQ(f.r[i], static_cast<float>(clip(inR))) << i;
        }
    }
}

// Detector values at or below 1.0 leave every gain at exactly 1.
TEST_F(Limiter, SignalBelowThresholdPassesWithUnityGain) {
    for (bool oversample : {false, true}) {
        Instance fx(host);
        fx.setParameter(vexal::kOversample, stepValue(oversample, 2));
        // With Oversample the estimates count too, times 1.001: a slow sine
        // whose estimates stay well below 1/1.001.
        Signal l(20000), r(20000);
        for (size_t i = 0; i < l.size(); ++i) {
            l[i] = oversample ? 0.99 * std::sin(0.01 * i) : (i % 2 ? 1.0 : -1.0);
            r[i] = oversample ? 0.9 * std::sin(0.013 * i) : 0.7 * std::sin(0.3 * i);
        }
        const Stereo out = run(fx, l, r);
        for (size_t i = 159; i < l.size(); ++i) {
            ASSERT_EQ(out.l[i], clip(l[i - 159])) << i;
            ASSERT_EQ(out.r[i], clip(r[i - 159])) << i;
        }
    }
}

TEST_F(Limiter, SpikeOfTwoIsHalvedOnItsOwnSample) {
    for (bool useFloat : {false, true}) {
        Instance fx(host);
        Signal l(4000, 0.1), r(4000, 0.1);
        l[2000] = 2.0;
        const Stereo out = useFloat ? runFloat(fx, l, r) : run(fx, l, r);
        // Gain 0.5 to the rounding of the convolver and the float output.
        EXPECT_NEAR(out.l[2159], 1.0, useFloat ? 1e-7 : 1e-12);
        EXPECT_LE(std::fabs(out.l[2159]), 1.0);
        // The brickwall envelope rises over the smoothLen samples before it.
        EXPECT_LT(out.l[2158], 0.1);
        EXPECT_LT(out.l[2158], out.l[2150]);
        EXPECT_LT(out.l[2159 - 20], 0.1);  // the followers already act
    }
}

TEST_F(Limiter, LinkSpreadsTheFollowersButNotTheBrickwall) {
    Signal l(6000, 0.0), r(6000, 0.0);
    for (size_t i = 0; i < l.size(); ++i) {
        l[i] = (i >= 3000 && i < 3200) ? 3.0 * std::sin(0.2 * i) : 0.2 * std::sin(0.05 * i);
        r[i] = 0.5 * std::sin(0.07 * i);
    }
    Instance linked(host), apart(host);
    linked.setParameter(vexal::kLink, 1.0f);
    apart.setParameter(vexal::kLink, 0.0f);
    const Stereo a = run(linked, l, r), b = run(apart, l, r);
    double minRatioLinked = 1.0;
    for (size_t i = 159; i < l.size(); ++i) {
        ASSERT_EQ(b.r[i], clip(r[i - 159])) << i;  // unlinked: right untouched
        if (std::fabs(r[i - 159]) > 0.1) {
            const double ratio = a.r[i] / r[i - 159];
            ASSERT_LE(ratio, 1.0 + 1e-15);
            minRatioLinked = std::min(minRatioLinked, ratio);
        }
    }
    EXPECT_LT(minRatioLinked, 0.5);
    for (size_t i = 3159 + 10; i < 3159 + 200; ++i) {
        if (std::fabs(l[i - 159]) > 0.5 && std::fabs(r[i - 159]) > 0.1) {
            EXPECT_LE(std::fabs(a.l[i] / l[i - 159]), std::fabs(a.r[i] / r[i - 159]) + 1e-12) << i;
        }
    }
}

TEST_F(Limiter, LevellerSettlesAtThresholdOverLevel) {
    Instance fx(host);
    fx.setParameter(vexal::kLeveller, 0.999f);
    fx.setParameter(vexal::kDrive, 0.625f);  // driveGain exactly 2
    const size_t n = 44100 * 12;
    const Signal l(n, 1.0), r(n, -1.0);
    const Stereo out = run(fx, l, r, 4096);
    // Settled level 2.0 (to e^-12): gain = threshold / 2 ≈ 0.4993, so the driven
    // 2.0 leaves at the threshold 2^(2·(0.999 − 1)) and the limiter is idle.
    const double threshold = std::pow(2.0, (static_cast<double>(0.999f) - 1.0) * 2.0);
    EXPECT_NEAR(out.l[n - 1] / 2.0, 0.4993, 1e-4);
    EXPECT_NEAR(out.l[n - 1], threshold, 1e-5);
    EXPECT_NEAR(out.r[n - 1], -threshold, 1e-5);

    // Raw value 1.0: leveller gain 1 at any level, so the limiter alone
    // brings the driven 2.0 down to the ceiling.
    Instance off(host);
    off.setParameter(vexal::kLeveller, 1.0f);
    off.setParameter(vexal::kDrive, 0.625f);
    off.suspend();
    const Stereo unlevelled = run(off, Signal(20000, 1.0), Signal(20000, 1.0));
    EXPECT_NEAR(unlevelled.l[19999], 1.0, 1e-12);
}

TEST_F(Limiter, MonoHostAndSingleOutput) {
    const Signal l = noise(3000, 2.0, 7), r = noise(3000, 2.0, 8);
    Instance monoRef(host), stereoRef(host);
    const Stereo mono = run(monoRef, l, l);  // both inputs carry the left signal
    const Stereo stereo = run(stereoRef, l, r);

    for (int variant = 0; variant < 3; ++variant) {
        TestHost h;
        h.input1Connected = variant != 1;
        h.output1Connected = variant != 2;
        Instance fx(h);
        std::vector<double> ol(l.size(), 9.0), orr(l.size(), 9.0);
        const double* ins[2] = {l.data(), variant == 0 ? nullptr : r.data()};
        double* outs[2] = {ol.data(), orr.data()};
        fx.effect()->processDoubleReplacing(fx.effect(), const_cast<double**>(ins), outs,
                                            static_cast<int32_t>(l.size()));
        for (size_t i = 0; i < l.size(); ++i) {
            if (variant == 2) {
                ASSERT_EQ(ol[i], stereo.l[i]) << i;
                ASSERT_EQ(orr[i], 9.0);  // unconnected output untouched
            } else {
                ASSERT_EQ(ol[i], mono.l[i]) << variant << " " << i;
                ASSERT_EQ(orr[i], mono.r[i]) << variant << " " << i;
            }
        }
    }
    // One buffer for both outputs: the left result remains.
    TestHost h;
    Instance fx(h);
    std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end()), shared(l.size());
    float* ins[2] = {fl.data(), fr.data()};
    float* outs[2] = {shared.data(), shared.data()};
    fx.effect()->processReplacing(fx.effect(), ins, outs, static_cast<int32_t>(l.size()));
    Instance ref(h);
    const Stereo full = runFloat(ref, Signal(fl.begin(), fl.end()), Signal(fr.begin(), fr.end()));
    for (size_t i = 0; i < l.size(); ++i) ASSERT_EQ(shared[i], static_cast<float>(full.l[i]));
}

TEST_F(Limiter, NonFiniteInputIsTakenAsZero) {
    Signal l = noise(4000, 1.5, 3), r = noise(4000, 1.5, 4);
    Signal cleanL = l, cleanR = r;
    for (size_t i : {10u, 500u, 501u, 2222u}) {
        l[i] = std::nan("");
        r[i] = i % 2 ? INFINITY : -INFINITY;
        cleanL[i] = cleanR[i] = 0.0;
    }
    for (bool useFloat : {false, true}) {
        Instance a(host), b(host);
        for (Instance* fx : {&a, &b}) fx->setParameter(vexal::kOversample, 1.0f);
        const Stereo dirty = useFloat ? runFloat(a, l, r) : run(a, l, r);
        const Stereo clean = useFloat ? runFloat(b, cleanL, cleanR) : run(b, cleanL, cleanR);
        for (size_t i = 0; i < l.size(); ++i) {
            ASSERT_EQ(dirty.l[i], clean.l[i]) << i;
            ASSERT_EQ(dirty.r[i], clean.r[i]) << i;
        }
    }
    // Absurd finite magnitudes are clamped, not propagated as overflow: the
    // engine limits them and stays finite.
    Instance fx(host);
    Signal huge(2000, 0.25);
    huge[5] = 1e300;
    huge[6] = -1.7e308;
    const Stereo out = run(fx, huge, huge);
    const Stereo after = run(fx, Signal(2000, 0.25), Signal(2000, 0.25));
    for (const Signal* s : {&out.l, &out.r, &after.l, &after.r})
        for (double x : *s) ASSERT_TRUE(std::isfinite(x) && std::fabs(x) <= 1.0);
    EXPECT_GT(after.l[1999], 0.0);
}

// Random parameters, rates, shapes and loud input: nothing ever leaves above 1.0.
TEST_F(Limiter, CeilingHoldsForAnySettings) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    const float rates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 32000.0f};
    for (int trial = 0; trial < 24; ++trial) {
        Instance fx(host);
        fx.setSampleRate(rates[trial % 7]);
        for (int p = 0; p <= vexal::kPostMeter; ++p)
            if (p != vexal::kCalibrate) fx.setParameter(p, unit(rng));
        fx.setParameter(vexal::kTransShape, stepValue(trial % 3, 3));
        fx.setParameter(vexal::kAutoOut, stepValue(trial % 2, 2));
        Signal l = noise(12000, 8.0, trial), r = noise(12000, 1.0 + trial, trial + 100);
        for (size_t i = 0; i < l.size(); i += 997) l[i] = (i % 2 ? 40.0 : -40.0);
        const bool useFloat = trial % 2;
        const Stereo out = useFloat ? runFloat(fx, l, r, 333) : run(fx, l, r, 333);
        for (size_t i = 0; i < l.size(); ++i) {
            ASSERT_LE(std::fabs(out.l[i]), 1.0) << trial << " " << i;
            ASSERT_LE(std::fabs(out.r[i]), 1.0) << trial << " " << i;
        }
    }
}

TEST_F(Limiter, BlockSplitsGiveIdenticalOutput) {
    const Signal l = noise(9000, 4.0, 11), r = noise(9000, 2.0, 12);
    for (bool useFloat : {false, true}) {
        Stereo reference;
        for (int32_t block : {4096, 1, 7, 64, 512}) {
            Instance fx(host);
            fx.setParameter(vexal::kOversample, 1.0f);
            fx.setParameter(vexal::kDetectorOrder, 1.0f);
            fx.setParameter(vexal::kQuantize, 1.0f);
            fx.setParameter(vexal::kLeveller, 0.5f);
            const Stereo out = useFloat ? runFloat(fx, l, r, block) : run(fx, l, r, block);
            if (block == 4096) {
                reference = out;
                continue;
            }
            for (size_t i = 0; i < l.size(); ++i) {
                ASSERT_EQ(out.l[i], reference.l[i]) << block << " " << i;
                ASSERT_EQ(out.r[i], reference.r[i]) << block << " " << i;
            }
        }
    }
}

// The float entry widens its input and narrows its output; in between it is
// the double engine, so with float-valued input the results agree exactly
// after narrowing.
TEST_F(Limiter, FloatAndDoubleEntriesAgree) {
    const Signal l = toFloatValues(noise(8000, 3.0, 21)), r = toFloatValues(noise(8000, 3.0, 22));
    for (float shape : {0.0f, 0.5f, 1.0f}) {
        Instance a(host), b(host);
        for (Instance* fx : {&a, &b}) {
            fx->setSampleRate(96000.0f);
            fx->setParameter(vexal::kTransShape, shape);
            fx->setParameter(vexal::kOversample, 1.0f);
        }
        const Stereo d = run(a, l, r), f = runFloat(b, l, r);
        for (size_t i = 0; i < l.size(); ++i) {
            ASSERT_EQ(f.l[i], static_cast<float>(d.l[i])) << i;
            ASSERT_EQ(f.r[i], static_cast<float>(d.r[i])) << i;
        }
    }
}

TEST_F(Limiter, TransShapeAndRateChangesResetTheEngine) {
    const Signal l = noise(6000, 3.0, 31), r = noise(6000, 3.0, 32);
    const Signal l2 = noise(3000, 2.0, 33), r2 = noise(3000, 2.0, 34);

    Instance fresh(host);
    fresh.setParameter(vexal::kTransShape, 1.0f);
    const Stereo expected = run(fresh, l2, r2);

    Instance changed(host);
    run(changed, l, r);
    changed.setParameter(vexal::kTransShape, 1.0f);
    const Stereo got = run(changed, l2, r2);
    EXPECT_EQ(got.l, expected.l);
    EXPECT_EQ(got.r, expected.r);

    Instance rateFresh(host);
    rateFresh.setSampleRate(96000.0f);
    const Stereo rateExpected = run(rateFresh, l2, r2);
    Instance rateChanged(host);
    run(rateChanged, l, r);
    rateChanged.setSampleRate(96000.0f);
    const Stereo rateGot = run(rateChanged, l2, r2);
    EXPECT_EQ(rateGot.l, rateExpected.l);
    EXPECT_EQ(rateGot.r, rateExpected.r);

    // The same step again changes nothing: no reset.
    Instance same(host), reference(host);
    run(same, l, r);
    run(reference, l, r);
    same.setParameter(vexal::kTransShape, stepValue(0, 3));
    EXPECT_EQ(run(same, l2, r2).l, run(reference, l2, r2).l);
}

TEST_F(Limiter, NoAllocationInsideProcessCalls) {
    Instance fx(host);
    fx.setParameter(vexal::kOversample, 1.0f);
    fx.setParameter(vexal::kQuantize, 1.0f);
    fx.setParameter(vexal::kMeterOvs, 1.0f);
    const Signal l = noise(4096, 3.0, 41), r = noise(4096, 3.0, 42);
    std::vector<double> ol(4096), orr(4096);
    std::vector<float> fl(l.begin(), l.end()), fr(r.begin(), r.end()), fol(4096), forr(4096);
    // The first round outside any scope lets the test host's own call log grow.
    for (int round = 0; round < 2; ++round) {
    if (round == 1) {
        host.clearCalls();
        resetRealtimeCounts();
    }
    for (int pass = 0; pass < 8; ++pass) {
        double* ins[2] = {const_cast<double*>(l.data()), const_cast<double*>(r.data())};
        double* outs[2] = {ol.data(), orr.data()};
        float* fins[2] = {fl.data(), fr.data()};
        float* fouts[2] = {fol.data(), forr.data()};
        if (round == 0) {
            fx.effect()->processDoubleReplacing(fx.effect(), ins, outs, 4096 - pass * 500);
            fx.effect()->processReplacing(fx.effect(), fins, fouts, 1 + pass * 300);
            continue;
        }
        RealtimeScope scope;
        fx.effect()->processDoubleReplacing(fx.effect(), ins, outs, 4096 - pass * 500);
        fx.effect()->processReplacing(fx.effect(), fins, fouts, 1 + pass * 300);
    }
    }
    EXPECT_EQ(realtimeCounts().allocations, 0u);
    EXPECT_EQ(realtimeCounts().frees, 0u);
}

}  // namespace
