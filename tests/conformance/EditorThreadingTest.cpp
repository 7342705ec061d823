// The editor open on the user-interface thread while an audio thread
// processes and another thread sets every parameter at random: values from
// other threads only wait for the pump, no view is touched off the thread
// that idles the editor. The sanitizer lane runs this under ThreadSanitizer;
// it needs an X server, so ctest runs it through tests/gui/run-xvfb.sh.
#include <atomic>
#include <chrono>
#include <thread>

#include "Conformance.h"

// After the test host and gtest: Xlib's macros rename nothing of theirs.
#include <X11/Xlib.h>

using namespace conformance;

namespace {

using Clock = std::chrono::steady_clock;

TEST(Threading, EditorOpenWhileParametersChange) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server: run it through tests/gui/run-xvfb.sh";
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 500, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    {
        TestHost host;
        Instance fx(host);
        prepare(fx, 44100.0f, 64);
        const int32_t parameters = fx.effect()->numParams;

        // Audio runs from before the editor opens until after it has closed.
        std::atomic<bool> audioRunning{true};
        std::atomic<uint64_t> blocks{0};
        std::atomic<int> audioFailures{0};
        std::thread audio([&] {
            auto in = noiseStereo<float>(64, 0.9, 51);
            Stereo<float> out(64);
            while (audioRunning.load() || blocks.load() < 20) {
                float* ins[2] = {in.l.data(), in.r.data()};
                float* outs[2] = {out.l.data(), out.r.data()};
                if (!auditedProcess(fx.effect(), ins, outs, 64)) ++audioFailures;
                ++blocks;
            }
        });
        while (blocks.load() < 5) std::this_thread::yield();
        const intptr_t opened =
            fx.dispatch(vst::effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
        EXPECT_EQ(opened, 1);
        if (opened == 1) {
            std::atomic<bool> setterDone{false};
            std::thread setter([&] {
                std::mt19937 rng(52);
                std::uniform_real_distribution<float> value(0.0f, 1.0f);
                auto next = Clock::now();
                for (int round = 0; round < 1000; ++round) {
                    for (int32_t i = 0; i < parameters; ++i) fx.setParameter(i, value(rng));
                    next += std::chrono::milliseconds(2);
                    std::this_thread::sleep_until(next);
                }
                setterDone = true;
            });
            // The host's UI thread idles at about 60 Hz until the setter is done (at most 60 s).
            const auto end = Clock::now() + std::chrono::seconds(60);
            while (!setterDone.load() && Clock::now() < end) {
                fx.dispatch(vst::effEditIdle);
                std::this_thread::sleep_for(std::chrono::milliseconds(16));
            }
            EXPECT_TRUE(setterDone.load()) << "the setter did not finish within 60 s";
            setter.join();
            fx.dispatch(vst::effEditIdle);
            // The window sends back nothing it was only told.
            EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 0);
            fx.dispatch(vst::effEditClose);
        }
        const uint64_t atClose = blocks.load();
        while (blocks.load() < atClose + 5) std::this_thread::yield();
        audioRunning = false;
        audio.join();
        EXPECT_EQ(audioFailures.load(), 0);
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

}  // namespace
