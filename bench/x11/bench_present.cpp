// Presenting the editor's full 524 x 462 image, with and without MIT-SHM,
// and an idle pump with nothing to do. Needs an X server:
//   tests/gui/run-xvfb.sh build/bench/vexal_present_bench
#include <benchmark/benchmark.h>

#include "platform/NativeWindow.h"
#include "platform/linux/X11Window.h"

#include <cstdlib>
#include <vector>

namespace {

using namespace vexal::platform;

constexpr int kWidth = 524;
constexpr int kHeight = 462;

class Ignore : public WindowEvents {
public:
    void mouseDown(int32_t, int32_t, uint32_t) override {}
    void mouseUp(int32_t, int32_t, uint32_t) override {}
    void mouseMoved(int32_t, int32_t, uint32_t) override {}
    void mouseLeft() override {}
    void wheel(int32_t, int32_t, float, uint32_t) override {}
    bool keyDown(const KeyInput&) override { return false; }
    void exposed(const PixelRect&) override {}
};

struct Host {
    Display* display = XOpenDisplay(nullptr);
    Window parent = 0;
    Host() {
        if (!display) return;
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, kWidth, kHeight, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    ~Host() {
        if (display) XCloseDisplay(display);
    }
};

void present(benchmark::State& state) {
    Host host;
    if (!host.display) {
        state.SkipWithError("no X server");
        return;
    }
    X11Options options;
    options.sharedMemory = state.range(0) != 0;
    auto window = X11Window::open(options, host.parent, kWidth, kHeight);
    if (!window || window->usesSharedMemory() != options.sharedMemory) {
        state.SkipWithError(options.sharedMemory ? "no MIT-SHM" : "no window");
        return;
    }
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    uint32_t shade = 0;
    for (auto _ : state) {
        pixels[shade % pixels.size()] = shade;
        ++shade;
        window->present(reinterpret_cast<const uint8_t*>(pixels.data()), kWidth * 4, {0, 0, kWidth, kHeight});
    }
    state.SetLabel(options.sharedMemory ? "MIT-SHM" : "XPutImage");
}
BENCHMARK(present)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

void idlePump(benchmark::State& state) {
    Host host;
    if (!host.display) {
        state.SkipWithError("no X server");
        return;
    }
    auto window = X11Window::open({}, host.parent, kWidth, kHeight);
    Ignore events;
    window->pumpEvents(events);
    for (auto _ : state) benchmark::DoNotOptimize(window->pumpEvents(events));
}
BENCHMARK(idlePump)->Unit(benchmark::kMicrosecond);

}  // namespace
