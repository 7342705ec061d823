// vexal snapshot OUT.png: the plug-in's editor window drawn offscreen, as a
// host would show it after the signal has run through the plug-in. Time is
// the signal's: the editor's clock follows the samples processed, so the
// meters' ballistics are those of a real-time run.
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "AudioFile.h"
#include "Commands.h"
#include "Demo.h"
#include "EffectHost.h"
#include "PngFile.h"
#include "Programs.h"
#include "UsageError.h"
#include "core/Plugin.h"
#include "editor/Editor.h"
#include "gui/CFrame.h"
#include "gui/GuiClock.h"

namespace vexal::cli {

namespace {

uint32_t signalClock = 0;
uint32_t signalTicks() { return signalClock; }

struct Signal {
    std::vector<double> left, right;
    int32_t rate = kDemoSampleRate;
    std::string name;
};

Signal loadSignal(const std::string& source) {
    Signal s;
    std::vector<double> interleaved;
    int channels = 2;
    if (source.empty() || source == "demo") {
        interleaved = synthesizeDemo();
        s.name = "demo";
    } else {
        InputFile file(source);
        channels = file.info().channels;
        s.rate = file.info().sampleRate;
        std::vector<double> block(static_cast<size_t>(4096 * channels));
        while (const int64_t n = file.read(block.data(), 4096))
            interleaved.insert(interleaved.end(), block.begin(), block.begin() + n * channels);
        s.name = source;
    }
    const size_t frames = interleaved.size() / static_cast<size_t>(channels);
    s.left.resize(frames);
    s.right.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        s.left[i] = interleaved[i * static_cast<size_t>(channels)];
        s.right[i] = interleaved[i * static_cast<size_t>(channels) + (channels > 1 ? 1 : 0)];
    }
    return s;
}

}  // namespace

int runSnapshot(const CommandLine& line) {
    const Signal signal = loadSignal(line.signal);
    EffectHost host;
    applySettings(host, line.render.settings);
    host.setSampleRate(signal.rate);
    host.setBlockSize(512);
    host.resume();
    auto* editor = dynamic_cast<Editor*>(host.pluginObject()->presetEditor());
    if (!editor) throw ProcessingError("the plug-in has no editor");

    signalClock = 1;
    setGuiTickSource(signalTicks);
    editor->openOffscreen();
    size_t frames = signal.left.size();
    if (line.snapshotSeconds > 0)
        frames = std::min(frames, static_cast<size_t>(line.snapshotSeconds * signal.rate));
    // Blocks of 10 ms; the editor is pumped as a host's idle would, every 20 ms.
    const size_t block = static_cast<size_t>(signal.rate / 100);
    std::vector<double> inL(block), inR(block), outL(block), outR(block);
    for (size_t done = 0, n = 0; done < frames; done += n) {
        n = std::min(block, frames - done);
        std::copy_n(signal.left.begin() + static_cast<ptrdiff_t>(done), n, inL.begin());
        std::copy_n(signal.right.begin() + static_cast<ptrdiff_t>(done), n, inR.begin());
        host.process(inL.data(), inR.data(), outL.data(), outR.data(), static_cast<int32_t>(n));
        signalClock = 1 + static_cast<uint32_t>((done + n) * 1000 / static_cast<size_t>(signal.rate));
        if ((signalClock / 10) % 2 == 0) editor->pump();
    }
    editor->pump();
    CFrame* frame = editor->getFrame();
    frame->redrawAll();
    frame->drawDirty();
    writePng(frame->getBackBuffer(), line.output, line.render.existing);
    editor->close();
    setGuiTickSource(nullptr);

    const int32_t program = host.currentProgram();
    std::printf("%s: the editor, %d x %d, program %d \"%s\", after %.1f s of %s\n", line.output.c_str(),
                static_cast<int>(frame ? 524 : 0), 462, program, host.programName(program).c_str(),
                static_cast<double>(frames) / signal.rate, signal.name.c_str());
    return 0;
}

}  // namespace vexal::cli
