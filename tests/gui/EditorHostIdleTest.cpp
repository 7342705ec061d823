// Who drives the open editor: the host's idle calls at the rates hosts use,
// the fallback thread when they stop, and the host's UI thread again when
// they return; other threads processing audio and setting parameters while
// the editor is open; and what our code allocates while it draws and idles.
#include "EditorHostFixture.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <cstring>
#include <random>

namespace edhost {
namespace {

struct RateCase {
    int hz;  // the host's idle rate; 0: the host has stopped calling idle
};

const RateCase kRates[] = {{15}, {0}, {25}, {0}, {60}, {30}};

TEST_F(EditorHostTest, HostIdleAtAnyRateDrivesTheEditorAndTheFallbackOnlyWhenItStops) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    const size_t threads = threadCount();
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    EXPECT_EQ(threadCount(), threads + 1);  // the fallback, waiting
    const auto ui = std::this_thread::get_id();
    for (const RateCase& c : kRates) {
        SCOPED_TRACE(testing::Message() << c.hz << " Hz");
        // Longer than the 250 ms after which the fallback takes over from a silent host.
        idleFor(fx, c.hz, 400);
        host.clearCalls();
        click(editor, kPowerSwitch.centreX(), kPowerSwitch.centreY());
        ASSERT_TRUE(idleUntil(fx, [&] { return !automationOf(kPowerParameter).empty(); }, c.hz))
            << "the click was not answered";
        const auto automation = automationOf(kPowerParameter);
        ASSERT_EQ(automation.size(), 1u);
        if (c.hz > 0)
            EXPECT_EQ(automation[0].thread, ui) << "the fallback pumped while the host's idle calls ran";
        else
            EXPECT_NE(automation[0].thread, ui) << "nothing but the fallback can have pumped";
    }
    fx.dispatch(vst::effEditClose);
    EXPECT_EQ(threadCount(), threads);
}

TEST_F(EditorHostTest, OpeningAndClosingWhileAnotherThreadProcessesAudio) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    AudioThread audio(fx.effect());
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        ASSERT_EQ(open(fx, parent), 1);
        settle(fx, parent);
        ASSERT_TRUE(audio.advances(20)) << "processing stalled with the editor open";
        fx.dispatch(vst::effEditClose);
        ASSERT_TRUE(audio.advances(20)) << "processing stalled after close";
    }
}

TEST_F(EditorHostTest, ParametersSetFromAnotherThreadReachTheWindowThroughThePump) {
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    const int32_t parameters = fx.effect()->numParams;
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    const Window editor = childrenOf(parent).at(0);
    // Calibration off at the end: its switch blinks on a clock of its own.
    const auto finalValue = [](int32_t i) { return i == 12 ? 0.0f : float((i * 37) % 100) / 100.0f; };
    std::atomic<bool> done{false};
    std::thread setter([&] {
        std::mt19937 rng(99);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        auto next = Clock::now();
        for (int round = 0; round < 1000; ++round) {
            for (int32_t i = 0; i < parameters; ++i) fx.setParameter(i, value(rng));
            next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
        }
        for (int32_t i = 0; i < parameters; ++i) fx.setParameter(i, finalValue(i));
        done = true;
    });
    EXPECT_TRUE(idleUntil(fx, [&] { return done.load(); }, 60, 20000));
    setter.join();
    for (int32_t i = 0; i < parameters; ++i) fx.setParameter(i, finalValue(i));
    idleFor(fx, 60, 150);
    const auto shown = pixelsOf(editor);
    EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 0) << "the window sent values it was given back";
    // A window opened afresh on the same values looks the same.
    fx.dispatch(vst::effEditClose);
    ASSERT_EQ(open(fx, parent), 1);
    settle(fx, parent);
    idleFor(fx, 60, 150);
    const auto fresh = pixelsOf(childrenOf(parent).at(0));
    size_t differing = 0;
    for (size_t i = 0; i < shown.size(); ++i) differing += shown[i] != fresh[i];
    EXPECT_EQ(differing, 0u);
    fx.dispatch(vst::effEditClose);
}

// --- allocations of ours while the editor draws and idles -----------------------------------

// An allocation is ours when the first frame outside the C and C++ runtimes
// (above the counting wrapper in this program) lies in the plug-in; one whose
// first such frame lies in cairo, pixman, Xlib, fontconfig and the like is
// theirs, and allowed.
struct Attribution {
    uintptr_t pluginBase = 0;
    uintptr_t programBase = 0;
    uint64_t ours = 0;
    uint64_t theirs = 0;
    uint64_t unknown = 0;
    char firstOurs[512] = {};
    char libraries[512] = {};
};
Attribution attribution;

bool isRuntime(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    for (const char* runtime : {"libc.so", "libstdc++", "libgcc_s", "libm.so", "ld-linux", "libpthread"})
        if (std::strncmp(name, runtime, std::strlen(runtime)) == 0) return true;
    return false;
}

void noteLibrary(const char* path) {
    const char* name = std::strrchr(path, '/');
    name = name ? name + 1 : path;
    if (std::strstr(attribution.libraries, name)) return;
    const size_t used = std::strlen(attribution.libraries);
    std::snprintf(attribution.libraries + used, sizeof attribution.libraries - used, "%s%s", used ? " " : "", name);
}

void attributeAllocation() {
    void* frames[64];
    const int n = backtrace(frames, 64);
    int i = 0;
    Dl_info info{};
    // This function, the counting wrapper: frames of the test program.
    while (i < n && dladdr(frames[i], &info) && uintptr_t(info.dli_fbase) == attribution.programBase) ++i;
    while (i < n && dladdr(frames[i], &info) && info.dli_fname && isRuntime(info.dli_fname)) ++i;
    if (i >= n || !dladdr(frames[i], &info) || !info.dli_fname) {
        ++attribution.unknown;
        return;
    }
    if (uintptr_t(info.dli_fbase) != attribution.pluginBase) {
        ++attribution.theirs;
        noteLibrary(info.dli_fname);
        return;
    }
    if (attribution.ours++ == 0) {
        size_t used = 0;
        for (int k = i; k < n && k < i + 8 && used < sizeof attribution.firstOurs; ++k) {
            Dl_info f{};
            dladdr(frames[k], &f);
            used += size_t(std::snprintf(attribution.firstOurs + used, sizeof attribution.firstOurs - used,
                                         "%s+0x%lx ", f.dli_sname ? f.dli_sname : "?",
                                         (unsigned long)(uintptr_t(frames[k]) - uintptr_t(f.dli_fbase))));
        }
    }
}

TEST_F(EditorHostTest, OurCodeAllocatesNothingWhileTheEditorDrawsAndIdles) {
    if (!testhost::realtimeGuardActive()) GTEST_SKIP() << "sanitizer builds count no allocations";
    const Window parent = makeParent();
    Instance fx(host);
    prepare(fx);
    Dl_info info{};
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(fx.effect()->dispatcher), &info));
    attribution = {};
    attribution.pluginBase = uintptr_t(info.dli_fbase);
    ASSERT_TRUE(dladdr(reinterpret_cast<void*>(&attributeAllocation), &info));
    attribution.programBase = uintptr_t(info.dli_fbase);
    void* warm[4];
    backtrace(warm, 4);  // loads the unwinder now, not inside a counted allocation

    ASSERT_EQ(open(fx, parent), 1);
    const Window editor = childrenOf(parent).at(0);
    const Area meters{147, 38, 380, 430};
    testhost::setAllocationObserver(&attributeAllocation);
    testhost::resetRealtimeCounts();
    std::vector<float> inL(1764), inR(1764), outL, outR;
    std::mt19937 rng(5);
    std::vector<uint32_t> first;
    size_t meterChanges = 0;
    for (int round = 0; round < 30; ++round) {
        // Louder and quieter passages, so the meters rise and fall.
        const float level = round % 10 < 5 ? 0.9f : 0.05f;
        std::uniform_real_distribution<float> noise(-level, level);
        for (size_t i = 0; i < inL.size(); ++i) {
            inL[i] = noise(rng);
            inR[i] = noise(rng);
        }
        fx.process(inL, inR, outL, outR, 441);
        {
            testhost::RealtimeScope counted;
            idle(fx);
        }
        if (round % 5 == 4) {
            XSync(display, False);
            const auto now = pixelsOf(editor, meters);
            if (!first.empty() && now != first) ++meterChanges;
            first = now;
        }
        // Past the editor's 40 ms throttle each time, however late this round ran.
        std::this_thread::sleep_for(std::chrono::milliseconds(41));
    }
    testhost::setAllocationObserver(nullptr);
    const auto counts = testhost::realtimeCounts();
    fx.dispatch(vst::effEditClose);
    EXPECT_GE(meterChanges, 3u) << "the meters did not move: nothing was drawn";
    EXPECT_EQ(attribution.ours, 0u) << "first of ours: " << attribution.firstOurs;
    EXPECT_EQ(attribution.unknown, 0u);
    EXPECT_EQ(counts.allocations, attribution.ours + attribution.theirs + attribution.unknown);
    RecordProperty("allocations_of_libraries", int(attribution.theirs));
    std::printf("idle and draw: %llu allocations in %s, %llu of ours\n", (unsigned long long)attribution.theirs,
                attribution.libraries[0] ? attribution.libraries : "no library",
                (unsigned long long)attribution.ours);
}

}  // namespace
}  // namespace edhost
