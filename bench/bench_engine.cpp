// Cost of the limiter engine per stereo frame: the whole kernel at program 0
// and at a heavy setting on programme material, per kernel variant, and the
// stages one by one. bench/compare measures the plug-in through its binary
// interface against a peer.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/ParameterTable.h"
#include "core/EngineParameters.h"
#include "engine/BlockConvolver.h"
#include "engine/ChannelPair.h"
#include "engine/EngineFrontEnd.h"
#include "engine/EnvelopeFollowers.h"
#include "engine/EngineState.h"
#include "engine/Kernel.h"
#include "engine/KernelVariant.h"
#include "ProgrammeSignal.h"
#include "engine/SlidingMaxTree.h"

namespace {

constexpr int kBlock = 512;

void reportPerFrame(benchmark::State& state, double framesPerIteration) {
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * framesPerIteration,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// A short loud signal for the stage benchmarks: sines and a little noise.
void fillLoud(std::vector<double>& l, std::vector<double>& r) {
    uint32_t seed = 1;
    for (size_t i = 0; i < l.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (seed >> 8) * (1.0 / 16777216.0) - 0.5;
        l[i] = 1.2 * std::sin(0.05 * i) + 0.5 * std::sin(0.0071 * i) + 0.05 * noise;
        r[i] = 1.0 * std::sin(0.031 * i) + 0.6 * std::sin(0.0113 * i) - 0.05 * noise;
    }
}

// The programme material per rate, made once (30 s at 44.1 kHz, 20 s above).
const benchsignal::Stereo& programmeAt(float rate) {
    static const benchsignal::Stereo at44 = benchsignal::programme(44100.0, 30.0);
    static const benchsignal::Stereo at192 = benchsignal::programme(192000.0, 20.0);
    return rate < 100000.0f ? at44 : at192;
}

// The engine in one kernel variant at program 0 and the given changes,
// run block by block through the whole programme and around again.
void runVariant(benchmark::State& state, vexal::KernelVariant variant, float rate,
                const std::vector<std::pair<int32_t, float>>& params) {
    vexal::EngineFrontEnd engine;
    engine.engineState().kernelVariant = variant;
    vexal::applyProgram0(engine);
    engine.setSampleRate(rate);
    for (auto [index, value] : params) vexal::applyParameter(engine, index, value);
    engine.reset();
    const benchsignal::Stereo& in = programmeAt(rate);
    const size_t blocks = in.l.size() / kBlock;
    std::vector<double> outL(in.l.size()), outR(in.r.size());
    size_t block = 0;
    for (auto _ : state) {
        const size_t at = block * kBlock;
        engine.process<double>(&in.l[at], &in.r[at], &outL[at], &outR[at], kBlock);
        benchmark::DoNotOptimize(outL.data());
        if (++block == blocks) block = 0;
    }
    reportPerFrame(state, kBlock);
}

const std::vector<std::pair<int32_t, float>> kHeavy = {
    {vexal::kOversample, 1.0f}, {vexal::kDetectorOrder, 1.0f}, {vexal::kTransShape, 1.0f}};

// Tiny and decaying input must cost no more than normal input (no denormal
// slow-down anywhere in the path): one second of each at program 0, noise at
// 0.5, noise at 1e-38 (single-precision values near the subnormal range) and a
// decay from 0.5 by 0.999 per frame. Compare the three figures of a variant.
void runInputLevel(benchmark::State& state, vexal::KernelVariant variant, int kind) {
    vexal::EngineFrontEnd engine;
    engine.engineState().kernelVariant = variant;
    vexal::applyProgram0(engine);
    engine.reset();
    std::vector<double> l(44032), r(44032), outL(44032), outR(44032);
    uint32_t seed = 26;
    for (size_t i = 0; i < l.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (seed >> 8) * (2.0 / 16777216.0) - 1.0;
        const double x = kind == 0 ? 0.5 * noise : (kind == 1 ? 1e-38 * noise : 0.5 * std::pow(0.999, double(i)));
        l[i] = static_cast<float>(x);
        r[i] = static_cast<float>(kind == 2 ? x : -x);
    }
    size_t at = 0;
    for (auto _ : state) {
        engine.process<double>(&l[at], &r[at], &outL[at], &outR[at], kBlock);
        benchmark::DoNotOptimize(outL.data());
        at = (at + kBlock) % l.size();
    }
    reportPerFrame(state, kBlock);
}

// Program 0 at 44.1 kHz and the heavy setting at 192 kHz, per variant the
// processor supports, and the input-level check.
const bool kRegistered = [] {
    for (vexal::KernelVariant v : vexal::kAllKernelVariants) {
        if (!vexal::kernelVariantSupported(v)) continue;
        const std::string name = vexal::kernelVariantName(v);
        benchmark::RegisterBenchmark(("BM_Program0At44k/" + name).c_str(),
                                     [v](benchmark::State& s) { runVariant(s, v, 44100.0f, {}); });
        benchmark::RegisterBenchmark(("BM_HeavyAt192k/" + name).c_str(),
                                     [v](benchmark::State& s) { runVariant(s, v, 192000.0f, kHeavy); });
        const char* kinds[3] = {"normal", "tiny", "decaying"};
        for (int kind = 0; kind < 3; ++kind)
            benchmark::RegisterBenchmark(("BM_InputLevel/" + name + "/" + kinds[kind]).c_str(),
                                         [v, kind](benchmark::State& s) { runInputLevel(s, v, kind); });
    }
    return true;
}();

// Window maxima of both channels over programme leaves, chunk by chunk as the
// kernel runs them (width W), and by the reference's plain scan.
template <class V>
void windowMaxima(benchmark::State& state, bool plain) {
    const int32_t width = static_cast<int32_t>(state.range(0));
    std::vector<double> storage(vexal::SlidingMaxTree::doublesFor(width) + 2);
    vexal::SlidingMaxTree tree;
    tree.attach(reinterpret_cast<double*>((reinterpret_cast<uintptr_t>(storage.data()) + 15) & ~uintptr_t(15)),
                width);
    tree.clear();
    const benchsignal::Stereo& in = programmeAt(44100.0f);
    std::vector<double> leaves(2 * 65536), roots(2 * 64);
    for (size_t i = 0; i < 65536; ++i) {
        leaves[2 * i] = std::max(std::fabs(in.l[i]), 1e-5);
        leaves[2 * i + 1] = std::max(std::fabs(in.r[i]), 1e-5);
    }
    int32_t position = 0;
    size_t at = 0;
    for (auto _ : state) {
        if (plain) {
            for (int32_t i = 0; i < 64; ++i) {
                tree.push(vexal::ScalarPair::load(&leaves[2 * (at + i)]), position).store(&roots[2 * i]);
                if (++position == width) position = 0;
            }
        } else {
            tree.pushRun<V>(&leaves[2 * at], roots.data(), 64, position);
        }
        benchmark::DoNotOptimize(roots.data());
        at = (at + 64) & 65535;
    }
    reportPerFrame(state, 64);
}

#if VEXAL_HAVE_SSE2
using Pair = vexal::SsePair;
#else
using Pair = vexal::ScalarPair;
#endif

void BM_WindowMaxima(benchmark::State& state) { windowMaxima<Pair>(state, false); }
void BM_WindowMaximaPlainScan(benchmark::State& state) { windowMaxima<Pair>(state, true); }
BENCHMARK(BM_WindowMaxima)->Arg(8)->Arg(128)->Arg(512);
BENCHMARK(BM_WindowMaximaPlainScan)->Arg(8)->Arg(128);

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

void BM_ConvolverDirect(benchmark::State& state) { convolverBench<Pair>(state, false); }
void BM_ConvolverFft(benchmark::State& state) { convolverBench<Pair>(state, true); }
BENCHMARK(BM_ConvolverDirect)->RangeMultiplier(2)->Range(8, 256);
BENCHMARK(BM_ConvolverFft)->RangeMultiplier(2)->Range(8, 256);

}  // namespace
