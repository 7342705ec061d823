// Cost per stereo frame of the whole plug-in, through its process entry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/Plugin.h"

namespace {

constexpr int kBlock = 512;

void BM_PluginDefaultProgram(benchmark::State& state) {
    vexal::Plugin plugin(nullptr);
    plugin.setSampleRate(44100.0f);
    std::vector<double> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    for (int i = 0; i < kBlock; ++i) {
        inL[i] = 1.5 * std::sin(0.05 * i);
        inR[i] = 1.2 * std::sin(0.031 * i);
    }
    double* ins[2] = {inL.data(), inR.data()};
    double* outs[2] = {outL.data(), outR.data()};
    for (auto _ : state) {
        plugin.processDoubleReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(outL.data());
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kBlock,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PluginDefaultProgram);

}  // namespace
