// The editor's own drawing cost, offscreen (no X server): a whole-window
// redraw into the back buffer, and an idle with nothing to draw. Presenting
// the image on a server is vexal_present_bench's; the two add up to a
// full redraw on screen.
#include <benchmark/benchmark.h>

#include "core/Plugin.h"
#include "editor/Editor.h"
#include "gui/CFrame.h"
#include "gui/GuiClock.h"

namespace {

uint32_t benchClock = 1;
uint32_t benchTicks() { return benchClock; }

struct OpenEditor {
    vexal::Plugin plugin{nullptr, vexal::makeEditor};
    vexal::Editor* editor;
    OpenEditor() {
        vexal::setGuiTickSource(benchTicks);
        editor = dynamic_cast<vexal::Editor*>(plugin.presetEditor());
        editor->openOffscreen();
        editor->pump();  // the first draw loads the fonts
    }
    ~OpenEditor() {
        editor->close();
        vexal::setGuiTickSource(nullptr);
    }
};

void BM_EditorFullRedraw(benchmark::State& state) {
    OpenEditor open;
    vexal::CFrame* frame = open.editor->getFrame();
    for (auto _ : state) {
        frame->redrawAll();
        benchmark::DoNotOptimize(frame->drawDirty());
    }
}
BENCHMARK(BM_EditorFullRedraw)->Unit(benchmark::kMillisecond);

void BM_EditorIdleNothingDirty(benchmark::State& state) {
    OpenEditor open;
    for (auto _ : state) {
        benchClock += 10;  // host idle at 100 Hz: every fourth call polls the meters
        open.editor->hostIdle();
    }
}
BENCHMARK(BM_EditorIdleNothingDirty)->Unit(benchmark::kMicrosecond);

}  // namespace
