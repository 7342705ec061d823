// Cost per stereo frame of the requantizer, the meter taps and the calibration
// generator: through the process entry beside the default program, and the
// stages alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <utility>
#include <vector>

#include "core/ParameterTable.h"
#include "core/Plugin.h"
#include "engine/MeterTaps.h"
#include "engine/NoiseShapeSets.h"
#include "engine/Requantizer.h"

namespace {

constexpr int kBlock = 512;

void setFramesCounter(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBlock,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The default program with some parameters changed (index, host value).
void runPlugin(benchmark::State& state, std::vector<std::pair<int, float>> changes) {
    vexal::Plugin plugin(nullptr);
    plugin.setSampleRate(44100.0f);
    for (auto [index, value] : changes) plugin.setParameter(index, value);
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
    setFramesCounter(state);
}

void BM_PluginReference(benchmark::State& state) { runPlugin(state, {}); }
BENCHMARK(BM_PluginReference);

// The default program (16 bits, NoiseShape off) with Quantize on.
void BM_PluginQuantize(benchmark::State& state) {
    runPlugin(state, {{16, vexal::stepValue(1, 2)}});
}
BENCHMARK(BM_PluginQuantize);

void BM_PluginQuantizeShapeB(benchmark::State& state) {
    runPlugin(state, {{16, vexal::stepValue(1, 2)},    // Quantize on
                      {10, vexal::stepValue(1, 3)},    // 16 bits
                      {11, vexal::stepValue(2, 4)}});  // NoiseShape B
}
BENCHMARK(BM_PluginQuantizeShapeB);

void BM_PluginMeterOversample(benchmark::State& state) {
    runPlugin(state, {{14, vexal::stepValue(1, 2)}});
}
BENCHMARK(BM_PluginMeterOversample);

void BM_PluginCalibrateUncorrelated(benchmark::State& state) {
    runPlugin(state, {{12, vexal::stepValue(2, 4)}});
}
BENCHMARK(BM_PluginCalibrateUncorrelated);

// --- the stages alone -----------------------------------------------------------

void runRequantizer(benchmark::State& state, int32_t noiseShape) {
    vexal::NoiseShapeSets sets;
    sets.build();
    const double* setB = sets.select(noiseShape, 44100, sets.zeroSet());
    vexal::Requantizer q;
    q.reset();
    vexal::DitherRng rng;
    std::vector<double> l(kBlock), r(kBlock);
    for (int i = 0; i < kBlock; ++i) {
        l[i] = 0.9 * std::sin(0.05 * i);
        r[i] = 0.8 * std::sin(0.031 * i);
    }
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) {
            double xl = l[i], xr = r[i];
            q.process(xl, xr, rng, setB, 32768.0, true, 0.00226);
            benchmark::DoNotOptimize(xl);
            benchmark::DoNotOptimize(xr);
        }
    }
    setFramesCounter(state);
}

void BM_RequantizerFlat(benchmark::State& state) { runRequantizer(state, 0); }
BENCHMARK(BM_RequantizerFlat);

void BM_RequantizerShapeB(benchmark::State& state) { runRequantizer(state, 2); }
BENCHMARK(BM_RequantizerShapeB);

void runMeterTaps(benchmark::State& state, bool oversample) {
    vexal::MeterTaps taps;
    taps.reset();
    vexal::HalfSampleCoefficients coef;
    std::vector<double> l(kBlock), r(kBlock);
    for (int i = 0; i < kBlock; ++i) {
        l[i] = 0.9 * std::sin(0.05 * i);
        r[i] = 0.8 * std::sin(0.031 * i);
    }
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i)
            taps.tap(l[i], r[i], 0.9, 0.8, l[i], r[i], oversample, 1.7e-4, coef);
        benchmark::DoNotOptimize(taps.outputPeak);
    }
    setFramesCounter(state);
}

void BM_MeterTaps(benchmark::State& state) { runMeterTaps(state, false); }
BENCHMARK(BM_MeterTaps);

void BM_MeterTapsOversample(benchmark::State& state) { runMeterTaps(state, true); }
BENCHMARK(BM_MeterTapsOversample);

}  // namespace
