// Signals that never reach the threshold come out exactly the reported latency
// later, in both precisions and at every rate class.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "host/TestHost.h"

using namespace testhost;

namespace {

// The final clip 0.5·(|x + 1| − |x − 1|) bounds every output; in double
// precision its sums round below the ulp of 1, so the expected dry sample is
// the clipped one.
template <class Sample>
Sample clipped(Sample x) {
    const double v = static_cast<double>(x);
    return static_cast<Sample>(0.5 * (std::fabs(v + 1.0) - std::fabs(v - 1.0)));
}

template <class Sample>
void expectDelayedCopy(Instance& fx, int latency, int blockSize) {
    const size_t frames = 4000;
    std::vector<Sample> inL(frames), inR(frames), outL, outR;
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> noise(-0.25, 0.25);
    for (size_t i = 0; i < frames; ++i) {
        inL[i] = static_cast<Sample>(noise(rng));
        inR[i] = static_cast<Sample>(noise(rng));
    }
    inL[100] = Sample(0.5);
    inR[101] = Sample(-0.5);
    fx.process(inL, inR, outL, outR, blockSize);
    for (size_t i = 0; i < frames; ++i) {
        const Sample wantL = i >= size_t(latency) ? clipped(inL[i - latency]) : Sample(0);
        const Sample wantR = i >= size_t(latency) ? clipped(inR[i - latency]) : Sample(0);
        ASSERT_EQ(outL[i], wantL) << "frame " << i;
        ASSERT_EQ(outR[i], wantR) << "frame " << i;
    }
}

TEST(DryPath, DelayedByTheLatencyInBothPrecisions) {
    TestHost host;
    struct Case {
        float rate;
        int latency;
    };
    for (Case c : {Case{44100, 159}, Case{96000, 287}, Case{192000, 543}}) {
        for (int block : {1, 64, 512, 1031}) {
            Instance fx(host);
            fx.setSampleRate(c.rate);
            fx.setBlockSize(block);
            fx.resume();
            ASSERT_EQ(fx.effect()->initialDelay, c.latency);
            expectDelayedCopy<float>(fx, c.latency, block);
            fx.suspend();
            expectDelayedCopy<double>(fx, c.latency, block);
        }
    }
}

TEST(DryPath, ZeroFramesChangeNothing) {
    TestHost host;
    Instance a(host), b(host);
    std::vector<double> inL(300, 0.25), inR(300, -0.25), outA, outB, scratch;
    a.process(inL, inR, outA, scratch, 300);
    double* ins[2] = {inL.data(), inR.data()};
    double canary[2] = {12345.0, 12345.0};
    double* outs[2] = {&canary[0], &canary[1]};
    std::vector<double> headL(inL.begin(), inL.begin() + 150), headR(inR.begin(), inR.begin() + 150);
    b.process(headL, headR, outB, scratch, 150);
    b.effect()->processDoubleReplacing(b.effect(), ins, outs, 0);
    float* fins[2] = {nullptr, nullptr};
    float fcanary[2] = {3.0f, 3.0f};
    float* fouts[2] = {&fcanary[0], &fcanary[1]};
    b.effect()->processReplacing(b.effect(), fins, fouts, 0);
    EXPECT_EQ(canary[0], 12345.0);
    EXPECT_EQ(fcanary[1], 3.0f);
    std::vector<double> restL(inL.begin() + 150, inL.end()), restR(inR.begin() + 150, inR.end()), outRest;
    b.process(restL, restR, outRest, scratch, 150);
    for (size_t i = 0; i < 150; ++i) ASSERT_EQ(outRest[i], outA[150 + i]) << i;
    EXPECT_EQ(outA[159], clipped(0.25));
}

}  // namespace
