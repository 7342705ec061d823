// The editor's cost as a host sees it, through the built plug-in: a full
// window redraw and present (the first idle after effEditOpen draws every
// view), an idle with nothing dirty, the CPU share of the open editor with
// nothing changing and with meters moving, and what a closed editor leaves
// running; effEditOpen's own time (the first in the process and reopenings),
// and the CPU share while the host hides the window. Needs an X server:
//   tests/gui/run-xvfb.sh build/bench/vexal_editor_bench [--seconds N] [--plugin FILE]
//   tests/gui/run-xvfb.sh --no-shm build/bench/vexal_editor_bench
#include <X11/Xlib.h>
#include <dlfcn.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

#include "vst/aeffect.h"

namespace {

using Clock = std::chrono::steady_clock;

intptr_t hostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
        case vst::audioMasterVersion: return 2400;
        case vst::audioMasterGetSampleRate: return 44100;
        case vst::audioMasterGetBlockSize: return 512;
        default: return 0;
    }
}

size_t threadCount() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

struct Stats {
    double median, p90, mean, max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double sum = 0;
    for (double x : v) sum += x;
    return {v[v.size() / 2], v[v.size() * 9 / 10], sum / double(v.size()), v.back()};
}

class Plugin {
public:
    explicit Plugin(const char* path) {
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        auto entry = reinterpret_cast<vst::AEffect* (*)(vst::HostCallback)>(dlsym(handle, "VSTPluginMain"));
        fx = entry ? entry(&hostCallback) : nullptr;
        if (!fx) return;
        dispatch(vst::effOpen);
        dispatch(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(vst::effSetBlockSize, 0, 512);
        dispatch(vst::effMainsChanged, 0, 1);
    }
    ~Plugin() {
        if (fx) dispatch(vst::effClose);
        if (handle) dlclose(handle);
    }
    intptr_t dispatch(int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0) {
        return fx->dispatcher(fx, op, index, value, ptr, opt);
    }
    void idle() { dispatch(vst::effEditIdle); }

    void* handle = nullptr;
    vst::AEffect* fx = nullptr;
};

// Programme-like noise at real-time pace, louder and quieter every second.
class Audio {
public:
    explicit Audio(vst::AEffect* fx)
        : worker([this, fx] {
              constexpr int32_t kBlock = 512;
              std::vector<float> l(kBlock), r(kBlock), ol(kBlock), orr(kBlock);
              std::mt19937 rng(3);
              auto next = Clock::now();
              for (uint64_t block = 0; running.load(); ++block) {
                  const float level = (block / 86) % 2 ? 0.8f : 0.1f;
                  std::uniform_real_distribution<float> noise(-level, level);
                  for (int32_t i = 0; i < kBlock; ++i) {
                      l[size_t(i)] = noise(rng);
                      r[size_t(i)] = noise(rng);
                  }
                  float* ins[2] = {l.data(), r.data()};
                  float* outs[2] = {ol.data(), orr.data()};
                  fx->processReplacing(fx, ins, outs, kBlock);
                  next += std::chrono::microseconds(kBlock * 1000000 / 44100);
                  std::this_thread::sleep_until(next);
              }
              cpu = cpuSeconds(RUSAGE_THREAD);
          }) {}
    double stop() {
        running = false;
        worker.join();
        return cpu;
    }

private:
    std::atomic<bool> running{true};
    double cpu = 0;
    std::thread worker;
};

// Idles at 30 Hz for `seconds`; answers the CPU share of one core of the
// process and of this (the UI) thread, in percent.
struct Share {
    double process, ui;
};

Share idleAt30Hz(Plugin& p, double seconds) {
    const double process0 = cpuSeconds(RUSAGE_SELF), ui0 = cpuSeconds(RUSAGE_THREAD);
    const auto start = Clock::now();
    auto next = start;
    const auto end = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        p.idle();
        next += std::chrono::microseconds(33333);
        std::this_thread::sleep_until(next);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return {100.0 * (cpuSeconds(RUSAGE_SELF) - process0) / wall, 100.0 * (cpuSeconds(RUSAGE_THREAD) - ui0) / wall};
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 5.0;
    const char* pluginPath = VEXAL_PLUGIN_PATH;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
        if (std::strcmp(argv[i], "--plugin") == 0) pluginPath = argv[i + 1];
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X server: run through tests/gui/run-xvfb.sh\n");
        return 1;
    }
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 600, 500, 0, 0, 0);
    XMapWindow(display, parent);
    XSync(display, False);
    void* parentId = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));

    const size_t threadsBefore = threadCount();
    Plugin p(pluginPath);
    if (!p.fx) {
        std::fprintf(stderr, "the plug-in did not load\n");
        return 1;
    }
    int opcode = 0, event = 0, error = 0;
    const bool shm = XQueryExtension(display, "MIT-SHM", &opcode, &event, &error);
    std::printf("editor bench (%s)\n", shm ? "server has MIT-SHM" : "no MIT-SHM");

    // 0. effEditOpen itself, on the host's UI thread: the first of the process
    // (nothing decoded yet), then reopenings of the same and of a second instance.
    {
        const auto t0 = Clock::now();
        p.dispatch(vst::effEditOpen, 0, 0, parentId);
        const double first = micros(Clock::now() - t0) / 1000.0;
        p.dispatch(vst::effEditClose);
        std::vector<double> again;
        Plugin second(pluginPath);
        for (int i = 0; i < 20; ++i) {
            Plugin& which = i % 2 ? second : p;
            const auto t1 = Clock::now();
            which.dispatch(vst::effEditOpen, 0, 0, parentId);
            again.push_back(micros(Clock::now() - t1) / 1000.0);
            which.idle();
            which.dispatch(vst::effEditClose);
        }
        const Stats o = stats(again);
        std::printf("effEditOpen: first in the process %.2f ms; reopening (two instances) median %.2f ms, "
                    "mean %.2f ms, max %.2f ms (%zu runs)\n",
                    first, o.median, o.mean, o.max, again.size());
    }

    // 1. The first idle after open draws and presents the whole window.
    std::vector<double> full;
    for (int i = 0; i < 41; ++i) {
        if (p.dispatch(vst::effEditOpen, 0, 0, parentId) != 1) {
            std::fprintf(stderr, "effEditOpen answered 0\n");
            return 1;
        }
        const auto t0 = Clock::now();
        p.idle();
        if (i > 0) full.push_back(micros(Clock::now() - t0) / 1000.0);
        p.dispatch(vst::effEditClose);
    }
    const Stats f = stats(full);
    std::printf("full-window redraw and present (first idle after open): median %.3f ms, mean %.3f ms, max %.3f ms (%zu runs)\n",
                f.median, f.mean, f.max, full.size());

    // 2. Idle with nothing dirty: the window has settled, no audio, nothing changes.
    p.dispatch(vst::effEditOpen, 0, 0, parentId);
    idleAt30Hz(p, 1.5);

    // 2a. The server lost the whole window (an Expose for all of it): presented
    // again from the back buffer, nothing drawn.
    {
        Window root = 0, up = 0, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, parent, &root, &up, &children, &count);
        const Window editor = count == 1 ? children[0] : 0;
        if (children) XFree(children);
        std::vector<double> exposed;
        for (int i = 0; editor && i < 100; ++i) {
            XClearArea(display, editor, 0, 0, 0, 0, True);
            XSync(display, False);
            const auto t0 = Clock::now();
            p.idle();
            exposed.push_back(micros(Clock::now() - t0) / 1000.0);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!exposed.empty()) {
            const Stats e = stats(exposed);
            std::printf("whole window exposed, presented again: median %.3f ms, mean %.3f ms, max %.3f ms (%zu runs)\n",
                        e.median, e.mean, e.max, exposed.size());
        }
    }
    std::vector<double> quiet;
    auto next = Clock::now();
    for (int i = 0; i < 300; ++i) {
        const auto t0 = Clock::now();
        p.idle();
        quiet.push_back(micros(Clock::now() - t0));
        next += std::chrono::microseconds(10000);
        std::this_thread::sleep_until(next);
    }
    const Stats q = stats(quiet);
    std::printf("idle, nothing dirty: median %.2f us, 90th percentile %.2f us, mean %.2f us, max %.2f us "
                "(%zu calls, 10 ms apart: every fourth reads the meters)\n",
                q.median, q.p90, q.mean, q.max, quiet.size());

    // 3. Open, nothing changing, idle at 30 Hz.
    const Share still = idleAt30Hz(p, seconds);
    std::printf("open, nothing changing, idle at 30 Hz for %.0f s: %.3f %% of one core (UI thread %.3f %%)\n",
                seconds, still.process, still.ui);

    // 4. Open, meters moving: audio processed at real-time pace on another thread.
    {
        const double process0 = cpuSeconds(RUSAGE_SELF);
        const auto start = Clock::now();
        Audio audio(p.fx);
        const Share moving = idleAt30Hz(p, seconds);
        const double audioCpu = audio.stop();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double total = 100.0 * (cpuSeconds(RUSAGE_SELF) - process0) / wall;
        std::printf("open, meters moving, idle at 30 Hz for %.0f s: UI thread %.3f %% of one core; "
                    "process %.3f %% of which audio processing %.3f %%: editor %.3f %%\n",
                    seconds, moving.ui, total, 100.0 * audioCpu / wall, total - 100.0 * audioCpu / wall);
    }

    // 4a. Hidden by the host (its window unmapped), meters moving.
    {
        XUnmapWindow(display, parent);
        XSync(display, False);
        const double process0 = cpuSeconds(RUSAGE_SELF);
        const auto start = Clock::now();
        Audio audio(p.fx);
        const Share hidden = idleAt30Hz(p, seconds);
        const double audioCpu = audio.stop();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double total = 100.0 * (cpuSeconds(RUSAGE_SELF) - process0) / wall;
        std::printf("hidden (host's window unmapped), meters moving, idle at 30 Hz for %.0f s: UI thread %.3f %%; "
                    "editor %.3f %% of one core\n",
                    seconds, hidden.ui, total - 100.0 * audioCpu / wall);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    p.dispatch(vst::effEditClose);

    // 5. Closed: no thread of ours remains, and nothing runs while the host is silent.
    const double closed0 = cpuSeconds(RUSAGE_SELF);
    const auto closedStart = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double closedShare =
        100.0 * (cpuSeconds(RUSAGE_SELF) - closed0) / std::chrono::duration<double>(Clock::now() - closedStart).count();
    std::printf("closed: threads %zu (before loading %zu), %.4f %% of one core over 1 s without host calls\n",
                threadCount(), threadsBefore, closedShare);
    XCloseDisplay(display);
    return 0;
}
