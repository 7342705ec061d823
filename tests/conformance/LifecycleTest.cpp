// Checks 8-10: lifecycle sequences, instance churn, and the measured delay
// against the reported latency at every rate class.
#include <memory>

#include "Conformance.h"

using namespace conformance;

namespace {

int32_t expectedLatency(float rate) {
    const bool valid = rate >= 5000.0f && rate <= 200000.0f;
    const double r = valid ? static_cast<double>(static_cast<int32_t>(rate)) : 44100.0;
    return r < 80000.0 ? 159 : (r < 170000.0 ? 287 : 543);
}

::testing::AssertionResult processSome(Instance& fx, int32_t blockSize, uint32_t seed) {
    const auto in = noiseStereo<float>(static_cast<size_t>(blockSize) * 3, 0.7, seed);
    Stereo<float> out;
    return renderAudited(fx.effect(), in, out, blockSize);
}

// Check 8.
TEST(Lifecycle, Sequences) {
    TestHost host;
    {
        Instance fx(host);  // process with no prior rate or resume at all
        EXPECT_TRUE(processSome(fx, 512, 1));
        EXPECT_EQ(fx.effect()->initialDelay, 159);
    }
    {
        Instance fx(host);  // open, prepare, process, suspend: four times
        for (int round = 0; round < 4; ++round) {
            prepare(fx, 48000.0f, 256);
            EXPECT_TRUE(processSome(fx, 256, 2 + round));
            fx.dispatch(vst::effStopProcess);
            fx.suspend();
        }
        for (int round = 0; round < 3; ++round) {  // suspend/resume only
            fx.suspend();
            fx.resume();
            EXPECT_TRUE(processSome(fx, 256, 10 + round));
        }
        for (float rate : {96000.0f, 192000.0f, 44100.0f, 88200.0f}) {  // rate while resumed
            fx.setSampleRate(rate);
            EXPECT_EQ(fx.effect()->initialDelay, expectedLatency(rate)) << rate;
            EXPECT_TRUE(processSome(fx, 256, 20));
        }
        for (float rate : {176400.0f, 48000.0f}) {  // re-prepare without suspend
            prepare(fx, rate, 1024);
            EXPECT_EQ(fx.effect()->initialDelay, expectedLatency(rate)) << rate;
            EXPECT_TRUE(processSome(fx, 1024, 30));
        }
    }
    {
        Instance fx(host);  // close without ever resuming
        fx.setSampleRate(96000.0f);
        fx.setBlockSize(64);
        EXPECT_EQ(fx.effect()->initialDelay, 287);
    }
    EXPECT_EQ(host.countCalls(vst::audioMasterIOChanged), 0);
}

// Check 9: 100 in sequence, 16 alive at once; descriptors and threads back to
// their baseline. (Leaks show in the sanitizer lane's LeakSanitizer report.)
TEST(Lifecycle, InstanceChurn) {
    TestHost host;
    const int fds = openFdCount();
    const int threads = threadCount();
    for (int i = 0; i < 100; ++i) {
        Instance fx(host);
        ASSERT_TRUE(fx);
        if (i % 10 == 0) prepare(fx, 44100.0f, 128);
        if (i % 20 == 0) {
            EXPECT_TRUE(processSome(fx, 128, static_cast<uint32_t>(i)));
        }
    }
    {
        std::vector<std::unique_ptr<Instance>> live;
        for (int i = 0; i < 16; ++i) {
            live.push_back(std::make_unique<Instance>(host));
            ASSERT_TRUE(*live.back());
            prepare(*live.back(), i % 2 ? 48000.0f : 96000.0f, 64);
        }
        for (auto& fx : live) EXPECT_TRUE(processSome(*fx, 64, 5));
    }
    // Destroyed right after construction, before effOpen.
    for (int i = 0; i < 10; ++i) {
        vst::AEffect* e = host.createEffect();
        ASSERT_NE(e, nullptr);
        e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(openFdCount(), fds);
    EXPECT_EQ(threadCount(), threads);
}

// Check 10: an impulse comes out exactly initialDelay samples later at each rate
// class; the field is right before resume.
TEST(Lifecycle, MeasuredDelayEqualsLatency) {
    TestHost host;
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f}) {
        Instance fx(host);
        fx.setSampleRate(rate);
        fx.setBlockSize(256);
        const int32_t latency = fx.effect()->initialDelay;
        EXPECT_EQ(latency, expectedLatency(rate)) << rate;
        fx.resume();
        Stereo<float> in(4096);
        in.l[100] = 0.5f;  // well below the ceiling: no gain change
        in.r[100] = 0.5f;
        Stereo<float> out;
        ASSERT_TRUE(renderAudited(fx.effect(), in, out, 256));
        size_t peak = 0;
        for (size_t i = 1; i < out.frames(); ++i)
            if (std::fabs(out.l[i]) > std::fabs(out.l[peak])) peak = i;
        EXPECT_EQ(static_cast<int32_t>(peak) - 100, latency) << rate;
        EXPECT_GT(std::fabs(out.l[peak]), 0.25f) << rate;
    }
}

}  // namespace
