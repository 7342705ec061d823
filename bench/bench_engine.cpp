// Cost of the limiter engine per stereo frame: the whole plug-in at program 0
// and at a heavy setting, and the stages one by one.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/ParameterTable.h"
#include "core/Plugin.h"
#include "engine/BlockConvolver.h"
#include "engine/ChannelPair.h"
#include "engine/EnvelopeFollowers.h"
#include "engine/EngineState.h"
#include "engine/Kernel.h"
#include "engine/SlidingMaxTree.h"

namespace {

constexpr int kBlock = 512;

void reportPerFrame(benchmark::State& state, double framesPerIteration) {
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesPerIteration,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A loud programme-like signal: sines and a little noise, peaks near 2.
void fillLoud(std::vector<double>& l, std::vector<double>& r) {
    uint32_t seed = 1;
    for (size_t i = 0; i < l.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (seed >> 8) * (1.0 / 16777216.0) - 0.5;
        l[i] = 1.2 * std::sin(0.05 * i) + 0.5 * std::sin(0.0071 * i) + 0.05 * noise;
        r[i] = 1.0 * std::sin(0.031 * i) + 0.6 * std::sin(0.0113 * i) - 0.05 * noise;
    }
}

void runPlugin(benchmark::State& state, vexal::Plugin& plugin) {
    std::vector<double> inL(kBlock * 16), inR(kBlock * 16), outL(kBlock), outR(kBlock);
    fillLoud(inL, inR);
    int offset = 0;
    for (auto _ : state) {
        double* ins[2] = {inL.data() + offset, inR.data() + offset};
        double* outs[2] = {outL.data(), outR.data()};
        plugin.processDoubleReplacing(ins, outs, kBlock);
        benchmark::DoNotOptimize(outL.data());
        offset = (offset + kBlock) % (kBlock * 16);
    }
    reportPerFrame(state, kBlock);
}

void BM_Program0At44k(benchmark::State& state) {
    vexal::Plugin plugin(nullptr);
    plugin.setSampleRate(44100.0f);
    runPlugin(state, plugin);
}
BENCHMARK(BM_Program0At44k);

void BM_HeavyAt192k(benchmark::State& state) {
    vexal::Plugin plugin(nullptr);
    plugin.setSampleRate(192000.0f);
    plugin.setParameter(vexal::kOversample, 1.0f);
    plugin.setParameter(vexal::kDetectorOrder, 1.0f);
    plugin.setParameter(vexal::kTransShape, 1.0f);
    runPlugin(state, plugin);
}
BENCHMARK(BM_HeavyAt192k);

// The portable per-sample path (the reference for the paired one) at program 0.
void BM_Program0PortablePath(benchmark::State& state) {
    vexal::Plugin plugin(nullptr);
    plugin.setSampleRate(44100.0f);
    vexal::EngineState engine;
    vexal::MeterValues meters;
    engine.useVectorKernels = false;
    engine.setSmoothKernel(plugin.smoothKernelTaps(), plugin.engineSettings().smoothLen);
    engine.reset(plugin.engineSettings());
    std::vector<double> inL(kBlock * 16), inR(kBlock * 16), outL(kBlock), outR(kBlock);
    fillLoud(inL, inR);
    int offset = 0;
    for (auto _ : state) {
        vexal::processLimiter<double>(engine, plugin.engineSettings(), meters, inL.data() + offset,
                                      inR.data() + offset, outL.data(), outR.data(), kBlock);
        benchmark::DoNotOptimize(outL.data());
        offset = (offset + kBlock) % (kBlock * 16);
    }
    reportPerFrame(state, kBlock);
}
BENCHMARK(BM_Program0PortablePath);

// Two trees (both channels) of width W, loud random leaves.
void BM_SlidingMaxTree(benchmark::State& state) {
    const int32_t width = static_cast<int32_t>(state.range(0));
    std::vector<double> nodes(4 * width);
    vexal::SlidingMaxTree tree[2];
    tree[0].attach(nodes.data(), width);
    tree[1].attach(nodes.data() + 2 * width, width);
    tree[0].clear();
    tree[1].clear();
    std::vector<double> l(4096), r(4096);
    fillLoud(l, r);
    int32_t position = 0;
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tree[0].push(std::fabs(l[i]), position));
        benchmark::DoNotOptimize(tree[1].push(std::fabs(r[i]), position));
        if (++position == width) position = 0;
        i = (i + 1) & 4095;
    }
    reportPerFrame(state, 1);
}
BENCHMARK(BM_SlidingMaxTree)->Arg(128)->Arg(512);

// The 16 followers over a chunk of 64 frames (arg: DetectorOrder, 0 = I,
// 1 = II) and the maximum over their last stages, as the kernel runs them.
void BM_Followers(benchmark::State& state) {
    const bool secondOrder = state.range(0) != 0;
    alignas(64) double s1[16] = {}, s2[16] = {}, attack[16], release[16];
    for (int j = 0; j < 16; ++j) {
        attack[j] = 1.0 - std::exp(-1000.0 / ((32.0 - (j / 2) * 31.0 / 7.0) * 44100.0));
        release[j] = 1.0 - std::exp(-1000.0 / ((200.0 - (j / 2) * 198.0 / 7.0) * 44100.0));
    }
    std::vector<double> l(4096), r(4096), v(128), lastStage(8 * 128), f(128);
    fillLoud(l, r);
    size_t i = 0;
    for (auto _ : state) {
        for (int frame = 0; frame < 64; ++frame) {
            v[2 * frame] = std::fabs(l[i]);
            v[2 * frame + 1] = std::fabs(r[i]);
            i = (i + 1) & 4095;
        }
        vexal::followEnvelopesOver(s1, s2, v.data(), 64, attack, release, secondOrder,
                                   lastStage.data(), 128);
        vexal::foldFollowers(lastStage.data(), 128, f.data(), 128);
        benchmark::DoNotOptimize(f.data());
    }
    reportPerFrame(state, 64);
}
BENCHMARK(BM_Followers)->Arg(0)->Arg(1);

// One block of the convolver for both channels, direct and by transform.
template <class V>
void convolverBench(benchmark::State& state, bool fft) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    vexal::FftTwiddles twiddles;
    std::vector<double> storage(vexal::BlockConvolver::kDoublesNeeded + 8);
    vexal::BlockConvolver conv;
    conv.attach(reinterpret_cast<double*>((reinterpret_cast<uintptr_t>(storage.data()) + 15) & ~uintptr_t(15)),
                &twiddles);
    std::vector<double> taps(n, 1.0 / n);
    conv.setKernel(taps.data(), n);
    conv.forceMethod(fft);
    std::vector<double> l(4096), r(4096);
    fillLoud(l, r);
    size_t i = 0;
    for (auto _ : state) {
        for (int32_t k = 0; k < n; ++k) {
            benchmark::DoNotOptimize(conv.push(V::make(l[i], r[i])));
            i = (i + 1) & 4095;
        }
    }
    reportPerFrame(state, n);
}

#if VEXAL_HAVE_SSE2
using Pair = vexal::SsePair;
#else
using Pair = vexal::ScalarPair;
#endif

void BM_ConvolverDirect(benchmark::State& state) { convolverBench<Pair>(state, false); }
void BM_ConvolverFft(benchmark::State& state) { convolverBench<Pair>(state, true); }
BENCHMARK(BM_ConvolverDirect)->RangeMultiplier(2)->Range(8, 256);
BENCHMARK(BM_ConvolverFft)->RangeMultiplier(2)->Range(8, 256);

}  // namespace
