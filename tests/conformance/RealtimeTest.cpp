// Checks 52, 53 and 56: the real-time guards themselves, the blocks right after
// resume and after a rate change, and page faults in the process call.
#include <sys/resource.h>

#include "Conformance.h"

using namespace conformance;

namespace {

class Realtime : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testhost::realtimeGuardActive())
            GTEST_SKIP() << "the counting guards are left out of sanitizer builds";
    }
    TestHost host;
};

// The guards see the plug-in's own calls: constructing an instance allocates,
// and a process call takes processLock exactly once with a timed acquire and
// releases it; a zero-frame call takes nothing.
TEST_F(Realtime, GuardsSeeThePlugin) {
    testhost::resetRealtimeCounts();
    {
        testhost::RealtimeScope scope;
        Instance fx(host);
    }
    EXPECT_GT(testhost::realtimeCounts().allocations, 0u);
    EXPECT_GT(testhost::realtimeCounts().frees, 0u);

    Instance fx(host);
    prepare(fx, 44100.0f, 256);
    Stereo<float> in(256, 0.25f), out(256);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    testhost::resetRealtimeCounts();
    {
        testhost::RealtimeScope scope;
        fx.effect()->processReplacing(fx.effect(), ins, outs, 256);
    }
    EXPECT_EQ(testhost::realtimeCounts().timedLocks, 1u);
    EXPECT_EQ(testhost::realtimeCounts().timedLocksTaken, 1u);
    EXPECT_EQ(testhost::realtimeCounts().unlocks, 1u);
    EXPECT_EQ(testhost::realtimeCounts().plainLocks, 0u);
    testhost::resetRealtimeCounts();
    {
        testhost::RealtimeScope scope;
        fx.effect()->processReplacing(fx.effect(), ins, outs, 0);
    }
    EXPECT_EQ(testhost::realtimeCounts().timedLocks, 0u);
    EXPECT_EQ(testhost::realtimeCounts().unlocks, 0u);
}

// A guard that counts nothing would pass every check: it must count a lock,
// a sleep and a write made inside the scope, and nothing outside.
TEST_F(Realtime, GuardsCountForbiddenCalls) {
    std::mutex m;
    testhost::resetRealtimeCounts();
    {
        testhost::RealtimeScope scope;
        m.lock();
        m.unlock();
        struct timespec t = {0, 1000};
        nanosleep(&t, nullptr);
        std::fflush(stderr);
    }
    m.lock();
    m.unlock();
    const auto c = testhost::realtimeCounts();
    EXPECT_EQ(c.plainLocks, 1u);
    EXPECT_EQ(c.unlocks, 1u);
    EXPECT_EQ(c.blockingCalls, 2u);
}

// Check 52: the first block after resume and after a rate change, in every
// mode, both precisions, allocates nothing and blocks on nothing.
TEST_F(Realtime, FirstBlocksAfterReconfiguration) {
    Instance fx(host);
    prepare(fx, 44100.0f, 512);
    const auto in = noiseStereo<float>(512, 0.9, 50);
    const auto inD = noiseStereo<double>(512, 0.9, 51);
    Stereo<float> out;
    Stereo<double> outD;
    for (float rate : {48000.0f, 96000.0f, 192000.0f, 44100.0f}) {
        for (float quantize : {0.25f, 0.75f}) {
            fx.setParameter(16, quantize);
            fx.setSampleRate(rate);
            ASSERT_TRUE(renderAudited(fx.effect(), in, out, 512)) << rate;
            fx.suspend();
            fx.resume();
            ASSERT_TRUE(renderAudited(fx.effect(), inD, outD, 512)) << rate;
            fx.setParameter(4, quantize < 0.5f ? 0.5f : 0.9f);
            ASSERT_TRUE(renderAudited(fx.effect(), in, out, 512)) << rate;
            fx.setParameter(12, 0.625f);  // calibration generator
            ASSERT_TRUE(renderAudited(fx.effect(), in, out, 512)) << rate;
            fx.setParameter(12, 0.0f);
        }
    }
}

// A host's audio thread has long been running when a rate changes: the stack
// pages below it were touched already. Touch them here too, so that the count
// judges the plug-in's own memory and code, not where this test's stack ended.
__attribute__((noinline)) void touchStack() {
    volatile char pages[256 * 1024];
    for (size_t i = 0; i < sizeof pages; i += 4096) pages[i] = 0;
}

long minorFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Check 56: no page fault in the first process call after resume or after a
// rate change: everything the audio thread touches was touched at construction.
TEST_F(Realtime, NoPageFaultsInProcess) {
    Instance fx(host);
    prepare(fx, 44100.0f, 512);
    const auto in = noiseStereo<float>(512, 0.9, 52);
    Stereo<float> out(512);
    float* ins[2] = {const_cast<float*>(in.l.data()), const_cast<float*>(in.r.data())};
    float* outs[2] = {out.l.data(), out.r.data()};
    for (int i = 0; i < 200; ++i) fx.effect()->processReplacing(fx.effect(), ins, outs, 512);
    host.clearCalls();  // the host's call log keeps its capacity: no new pages there
    touchStack();
    struct Step {
        const char* what;
        float rate;
    };
    for (Step step : {Step{"resume", 0.0f}, Step{"rate 192000", 192000.0f},
                      Step{"rate 96000", 96000.0f}, Step{"rate 48000", 48000.0f}}) {
        if (step.rate > 0.0f) {
            fx.setSampleRate(step.rate);
        } else {
            fx.suspend();
            fx.resume();
        }
        const long before = minorFaults();
        fx.effect()->processReplacing(fx.effect(), ins, outs, 512);
        EXPECT_EQ(minorFaults() - before, 0) << "first block after " << step.what;
    }
}

}  // namespace
