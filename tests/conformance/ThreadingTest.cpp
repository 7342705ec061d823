// Checks 46-49 and 54: a user-interface thread and an audio thread at once.
// The sanitizer lane runs these under ThreadSanitizer, with no suppressions.
#include <atomic>
#include <chrono>
#include <thread>

#include "Conformance.h"

using namespace conformance;

namespace {

using Clock = std::chrono::steady_clock;

// Processes 32-frame blocks on its own thread until stopped; every call audited.
class AudioThread {
public:
    explicit AudioThread(vst::AEffect* fx, int32_t block = 32, bool setParameters = false)
        : worker([=, this] { run(fx, block, setParameters); }) {}
    ~AudioThread() { stop(); }
    void stop() {
        running = false;
        if (worker.joinable()) worker.join();
    }
    uint64_t blocks() const { return processed.load(); }
    // Blocks output as silence because processLock was not had within 1000 ms
    // (counted where the guards run: plain builds).
    uint64_t silentBlocks() const { return timeouts.load(); }
    double longestMs() const { return longest.load(); }
    bool clean() const { return failures.load() == 0; }
    std::string firstFailure;

private:
    void run(vst::AEffect* fx, int32_t block, bool setParameters) {
        const auto in = noiseStereo<float>(static_cast<size_t>(block), 0.9, 40);
        Stereo<float> out(static_cast<size_t>(block));
        std::mt19937 rng(41);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        while (running.load() || processed.load() < 10) {
            if (setParameters)
                for (int32_t i = 0; i < 26; ++i) fx->setParameter(fx, i, value(rng));
            float* ins[2] = {const_cast<float*>(in.l.data()), const_cast<float*>(in.r.data())};
            float* outs[2] = {out.l.data(), out.r.data()};
            const auto start = Clock::now();
            auto result = auditedProcess(fx, ins, outs, block);
            const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (ms > longest.load()) longest = ms;
            if (!result && failures++ == 0) firstFailure = result.message();
            const auto counts = testhost::realtimeCounts();
            if (counts.timedLocks > counts.timedLocksTaken) ++timeouts;  // a silent block
            ++processed;
        }
    }
    std::atomic<bool> running{true};
    std::atomic<uint64_t> processed{0};
    std::atomic<uint64_t> failures{0};
    std::atomic<uint64_t> timeouts{0};
    std::atomic<double> longest{0.0};
    std::thread worker;
};

// Check 46: both threads set every parameter; the audio thread processes too.
TEST(Threading, ParametersFromBothThreads) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 32);
    AudioThread audio(fx.effect(), 32, true);
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (int round = 0; round < 500; ++round)
        for (int32_t i = 0; i < 26; ++i) fx.setParameter(i, value(rng));
    while (audio.blocks() < 500) std::this_thread::yield();
    audio.stop();
    EXPECT_TRUE(audio.clean()) << audio.firstFailure;
}

// Check 47: state requests on the user-interface thread while audio runs.
TEST(Threading, StateRequestsWhileProcessing) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 48000.0f, 32);
    AudioThread audio(fx.effect());
    char name[64];
    for (int round = 0; round < 200; ++round) {
        fx.dispatch(vst::effSetProgram, 0, 0);
        fx.dispatch(vst::effGetProgramName, 0, 0, name);
        std::strcpy(name, round % 2 ? "Round odd" : "Round even");
        fx.dispatch(vst::effSetProgramName, 0, 0, name);
        void* chunk = nullptr;
        const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &chunk);
        if (size > 0) {
            std::vector<unsigned char> copy(static_cast<const unsigned char*>(chunk),
                                            static_cast<const unsigned char*>(chunk) + size);
            fx.dispatch(vst::effSetChunk, 0, size, copy.data());
        }
        for (int32_t i = 0; i < 26; ++i) fx.parameterDisplay(i);
    }
    audio.stop();
    EXPECT_TRUE(audio.clean()) << audio.firstFailure;
}

// Check 48: rate changes and TransShape flips (kernel rebuild and reset) while
// audio runs: the audio thread never sees half-rebuilt state.
TEST(Threading, ReconfigurationWhileProcessing) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 32);
    AudioThread audio(fx.effect());
    const float rates[] = {44100.0f, 96000.0f, 192000.0f, 48000.0f, 176400.0f, 88200.0f};
    // At least 300 rounds, and for as long as the audio thread needs for 500 blocks.
    for (int round = 0; round < 300 || audio.blocks() < 500; ++round) {
        fx.setSampleRate(rates[round % 6]);
        fx.setParameter(4, (round % 3 + 0.5f) / 3.0f);
        fx.setParameter(11, (round % 4 + 0.5f) / 4.0f);
    }
    audio.stop();
    EXPECT_TRUE(audio.clean()) << audio.firstFailure;
    RecordProperty("silent_blocks", static_cast<int>(audio.silentBlocks()));
    std::printf("%llu blocks, %llu of them silent (lock not had within 1000 ms)\n",
                static_cast<unsigned long long>(audio.blocks()),
                static_cast<unsigned long long>(audio.silentBlocks()));
}

// Check 49: a worker-pool host calls process from a different thread each time.
TEST(Threading, ProcessFromChangingThreads) {
    TestHost host;
    const auto in = noiseStereo<float>(512 * 64, 1.2, 43);
    Instance single(host), pooled(host);
    prepare(single, 44100.0f, 512);
    prepare(pooled, 44100.0f, 512);
    Stereo<float> reference, out(in.frames());
    ASSERT_TRUE(renderAudited(single.effect(), in, reference, 512));
    for (size_t pos = 0; pos < in.frames(); pos += 512) {
        std::thread worker([&] {
            float* ins[2] = {const_cast<float*>(in.l.data() + pos), const_cast<float*>(in.r.data() + pos)};
            float* outs[2] = {out.l.data() + pos, out.r.data() + pos};
            EXPECT_TRUE(auditedProcess(pooled.effect(), ins, outs, 512));
        });
        worker.join();
    }
    EXPECT_TRUE(bitIdentical(out.l, reference.l));
    EXPECT_TRUE(bitIdentical(out.r, reference.r));
}

// Check 54: the longest process call while the user-interface thread flips
// TransShape (rebuild and reset under processLock) and changes the rate in a
// loop. The process entry waits at most 1000 ms for the lock; 250 ms of margin
// covers scheduling on a loaded machine.
TEST(Threading, LongestLockWait) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 192000.0f, 32);
    AudioThread audio(fx.effect());
    const auto until = Clock::now() + std::chrono::milliseconds(1500);
    int flips = 0;
    while (Clock::now() < until) {
        fx.setParameter(4, flips % 2 ? 5.0f / 6 : 1.0f / 6);
        if (flips % 16 == 0) fx.setSampleRate(flips % 32 ? 96000.0f : 192000.0f);
        ++flips;
    }
    audio.stop();
    EXPECT_TRUE(audio.clean()) << audio.firstFailure;
    EXPECT_LT(audio.longestMs(), 1250.0);
    RecordProperty("longest_process_ms", std::to_string(audio.longestMs()));
    RecordProperty("transshape_flips", flips);
    RecordProperty("silent_blocks", static_cast<int>(audio.silentBlocks()));
    std::printf("longest process call %.3f ms over %llu blocks (%llu silent), %d TransShape flips\n",
                audio.longestMs(), static_cast<unsigned long long>(audio.blocks()),
                static_cast<unsigned long long>(audio.silentBlocks()), flips);
}

// The silence decision: a process call that cannot take processLock within
// 1000 ms outputs a silent block. The lock is held by construction while it
// selects program 0, which tells the host through the callback; a host thread
// that processes from inside that callback meets the held lock.
TEST(Threading, BlockWithoutTheLockIsSilent) {
    TestHost host;
    bool tried = false;
    double waitedMs = 0.0;
    Stereo<float> in(64, 0.5f), out(64, 0.75f);
    host.hook = [&](vst::AEffect* e, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t&) {
        if (tried || !e || opcode != vst::audioMasterUpdateDisplay) return false;
        tried = true;
        std::thread audio([&] {
            float* ins[2] = {in.l.data(), in.r.data()};
            float* outs[2] = {out.l.data(), out.r.data()};
            const auto start = Clock::now();
            e->processReplacing(e, ins, outs, 64);
            waitedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        });
        audio.join();
        return false;
    };
    Instance fx(host);
    host.hook = nullptr;
    if (!tried) GTEST_SKIP() << "construction made no callback while holding processLock";
    // The 1000 ms time-out, plus scheduling on a loaded two-core machine.
    EXPECT_GE(waitedMs, 999.0);
    EXPECT_LT(waitedMs, 1250.0);
    for (size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(out.l[i], 0.0f) << i;
        ASSERT_EQ(out.r[i], 0.0f) << i;
    }
}

}  // namespace
