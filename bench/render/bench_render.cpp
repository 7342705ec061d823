// `vexal process` over a 10-minute stereo 44.1 kHz 16-bit file with program 0:
// reading, the plug-in, writing and both loudness analyses, as the command
// runs them. The counter x_real_time is audio seconds per second of wall
// time. The parts run alone over one minute of the same audio give the
// cost of each, as x_real_time as well (the true-peak meter also alone).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "AudioFile.h"
#include "Demo.h"
#include "EffectHost.h"
#include "Loudness.h"
#include "Render.h"
#include "TruePeak.h"

using namespace vexal::cli;

namespace {

constexpr int kRate = 44100;
constexpr int kLongSeconds = 600;
constexpr int kShortSeconds = 60;

struct Fixture {
    std::string folder;
    std::string input;
    std::vector<double> minute;  // interleaved stereo

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vexal-bench-XXXXXX").string();
        folder = mkdtemp(pattern.data());
        setenv("VEXAL_CONFIG_DIR", (folder + "/config").c_str(), 1);
        input = folder + "/long.wav";
        // The demo programme, repeated: 40 × 15 s.
        const std::vector<double> demo = synthesizeDemo();
        OutputFile file(input, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kRate, 2);
        for (int i = 0; i < kLongSeconds / 15; ++i)
            file.write(demo.data(), static_cast<int64_t>(demo.size() / 2), nullptr);
        file.commit();
        for (int i = 0; i < kShortSeconds / 15; ++i) minute.insert(minute.end(), demo.begin(), demo.end());
    }
    ~Fixture() { std::filesystem::remove_all(folder); }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void setRealTime(benchmark::State& state, double audioSeconds) {
    state.counters["x_real_time"] = benchmark::Counter(
        audioSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ProcessTenMinutes(benchmark::State& state) {
    Fixture& f = fixture();
    RenderOptions options;
    options.settings.program = "0";
    Progress quiet(false);
    for (auto _ : state) {
        const RenderResult r = renderFile(f.input, f.folder + "/out.wav", options, quiet);
        benchmark::DoNotOptimize(r.out.integrated);
    }
    setRealTime(state, kLongSeconds);
}

void BM_PluginOnlyOneMinute(benchmark::State& state) {
    Fixture& f = fixture();
    const size_t frames = f.minute.size() / 2;
    std::vector<double> in[2], out[2];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(frames);
        out[c].resize(frames);
        for (size_t i = 0; i < frames; ++i) in[c][i] = f.minute[2 * i + c];
    }
    EffectHost host;
    host.setSampleRate(kRate);
    host.setBlockSize(512);
    host.resume();
    for (auto _ : state) {
        for (size_t pos = 0; pos < frames; pos += 512) {
            const auto n = static_cast<int32_t>(std::min<size_t>(512, frames - pos));
            host.process(in[0].data() + pos, in[1].data() + pos, out[0].data() + pos,
                         out[1].data() + pos, n);
            benchmark::DoNotOptimize(host.readMeters());
        }
    }
    setRealTime(state, kShortSeconds);
}

void BM_LoudnessAnalysisOneMinute(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state) {
        LoudnessAnalyser analyser(2, kRate);
        for (size_t pos = 0; pos < f.minute.size(); pos += 65536)
            analyser.add(std::vector<double>(f.minute.begin() + pos,
                                             f.minute.begin() + std::min(f.minute.size(), pos + 65536)));
        benchmark::DoNotOptimize(analyser.finish().truePeak);
    }
    setRealTime(state, kShortSeconds);
}

// The true-peak meter alone, one minute of stereo, with each variant of
// its coarse interpolator.
void BM_TruePeakOneMinute(benchmark::State& state) {
    Fixture& f = fixture();
    const auto variant = static_cast<vexal::KernelVariant>(state.range(0));
    if (!vexal::kernelVariantSupported(variant)) {
        state.SkipWithError("the processor lacks this instruction set");
        return;
    }
    TruePeakMeter::useVariant(variant);
    state.SetLabel(vexal::kernelVariantName(variant));
    for (auto _ : state) {
        TruePeakMeter meter(2);
        for (size_t pos = 0; pos < f.minute.size(); pos += 65536)
            meter.add(f.minute.data() + pos, std::min<size_t>(65536, f.minute.size() - pos) / 2);
        meter.finish();
        benchmark::DoNotOptimize(meter.peak(0));
    }
    TruePeakMeter::useVariant(vexal::selectedKernelVariant());
    setRealTime(state, kShortSeconds);
}

}  // namespace

BENCHMARK(BM_ProcessTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PluginOnlyOneMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoudnessAnalysisOneMinute)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_TruePeakOneMinute)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Arg(static_cast<int>(vexal::KernelVariant::avx512))
    ->Arg(static_cast<int>(vexal::KernelVariant::avx2))
    ->Arg(static_cast<int>(vexal::KernelVariant::sse2))
    ->Arg(static_cast<int>(vexal::KernelVariant::portable));
