// The engine's stages in isolation: interpolator, sliding maximum, followers,
// block convolver, and the kernel's invariants that a host cannot observe (the
// level leaving the gain stage, every kernel variant against the reference).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <type_traits>
#include <vector>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "core/ParameterTable.h"
#include "core/EngineParameters.h"
#include "engine/BlockConvolver.h"
#include "engine/ChannelPair.h"
#include "engine/EngineFrontEnd.h"
#include "engine/EngineState.h"
#include "engine/EnvelopeFollowers.h"
#include "engine/HalfSampleInterpolator.h"
#include "engine/Kernel.h"
#include "engine/KernelVariant.h"
#include "engine/SlidingMaxTree.h"

using namespace vexal;

namespace {


std::vector<double> noise(size_t n, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-amplitude, amplitude);
    std::vector<double> s(n);
    for (double& x : s) x = u(rng);
    return s;
}

// --- half-sample interpolator ------------------------------------------------

TEST(HalfSampleInterpolator, ConstantAndTwoAdjacentOnes) {
    const HalfSampleCoefficients c;
    double ring[kInterpRingSize];
    for (double& x : ring) x = 1.0;
    // The 64 taps sum to 0.99999973 (to the rounding of the tabled values).
    EXPECT_NEAR(interpolateHalfSample(ring, 17, c), 0.99999973, 5e-9);

    for (double& x : ring) x = 0.0;
    const int32_t newest = 40;
    ring[(newest - 31) & 63] = 1.0;
    ring[(newest - 32) & 63] = 1.0;
    EXPECT_DOUBLE_EQ(interpolateHalfSample(ring, newest, c), 1.2714635196132);
    EXPECT_EQ(interpolateHalfSample(ring, newest, c), 2.0 * c.w[0]);
}

TEST(HalfSampleInterpolator, PairedRingMatchesTheReference) {
    const HalfSampleCoefficients c;
    const std::vector<double> l = noise(64, 2.0, 1), r = noise(64, 2.0, 2);
    alignas(16) double pairs[2 * kInterpRingSize];
    for (int i = 0; i < 64; ++i) {
        pairs[2 * i] = l[i];
        pairs[2 * i + 1] = r[i];
    }
    for (int32_t newest = 0; newest < 64; ++newest) {
        const ScalarPair s = interpolateHalfSample<ScalarPair>(pairs, newest, c);
        EXPECT_EQ(s.left(), interpolateHalfSample(l.data(), newest, c));
        EXPECT_EQ(s.right(), interpolateHalfSample(r.data(), newest, c));
#if VEXAL_HAVE_SSE2
        const SsePair v = interpolateHalfSample<SsePair>(pairs, newest, c);
        EXPECT_EQ(v.left(), s.left());
        EXPECT_EQ(v.right(), s.right());
#endif
    }
}

// --- sliding maximum -----------------------------------------------------------

// The extrema are computed in a shorter form than they are written; both must
// give the same bits, also where the difference rounds (values far apart,
// neighbours, equal values, zeros, a large value), scalar and paired,
// with and without flush-to-zero.
TEST(Extremum, ShortFormEqualsTheWrittenFormToTheBit) {
    auto writtenMax = [](double a, double b) { return b + 0.5 * ((a - b) + std::fabs(a - b)); };
    auto writtenMin = [](double a, double b) { return a - 0.5 * ((a - b) + std::fabs(a - b)); };
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> exponent(-330.0, 300.0), unit(-1.0, 1.0);
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 1e-5, 1e10, 1.0 + 0x1p-52, 1.0 - 0x1p-53,
                                  0x1p-1022, 4.9e-324, 1e100, -1e100};
    for (int i = 0; i < 4000; ++i) values.push_back(unit(rng) * std::pow(10.0, exponent(rng) / 10.0));
    for (int i = 0; i < 2000; ++i) values.push_back(std::nextafter(values[i], 2.0));
    for (bool flush : {false, true}) {
#if defined(__SSE2__)
        const unsigned saved = _mm_getcsr();
        if (flush) _mm_setcsr(saved | 0x8040u);
#endif
        for (size_t i = 0; i < values.size(); ++i)
            for (size_t j : {i, (i * 7919 + 1) % values.size(), (i + 1) % values.size()}) {
                const double a = values[i], b = values[j];
                ASSERT_EQ(std::bit_cast<uint64_t>(branchFreeMax(a, b)), std::bit_cast<uint64_t>(writtenMax(a, b)))
                    << a << " " << b;
                ASSERT_EQ(std::bit_cast<uint64_t>(branchFreeMaxLane(a, b)),
                          std::bit_cast<uint64_t>(writtenMax(a, b)));
                ASSERT_EQ(std::bit_cast<uint64_t>(branchFreeMin(a, b)), std::bit_cast<uint64_t>(writtenMin(a, b)))
                    << a << " " << b;
                using V = ScalarPair;
                const V pairMax = branchFreeMax(V::make(a, b), V::make(b, a));
                const V pairMin = branchFreeMin(V::make(a, b), V::make(b, a));
                ASSERT_EQ(std::bit_cast<uint64_t>(pairMax.right()), std::bit_cast<uint64_t>(writtenMax(b, a)));
                ASSERT_EQ(std::bit_cast<uint64_t>(pairMin.left()), std::bit_cast<uint64_t>(writtenMin(a, b)));
#if VEXAL_HAVE_SSE2
                const SsePair sseMax = branchFreeMax(SsePair::make(a, b), SsePair::make(b, a));
                ASSERT_EQ(std::bit_cast<uint64_t>(sseMax.left()), std::bit_cast<uint64_t>(writtenMax(a, b)));
                ASSERT_EQ(std::bit_cast<uint64_t>(sseMax.right()), std::bit_cast<uint64_t>(writtenMax(b, a)));
#endif
            }
#if defined(__SSE2__)
        _mm_setcsr(saved);
#endif
    }
}

// Detector leaves as the kernel makes them: uniform noise, or programme-like
// material (a pink-ish bed with hits well over full scale), runs of one value
// and slow ramps, all at or above the 1e-5 floor.
std::vector<double> leafStream(size_t n, uint32_t seed, bool programme) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    std::vector<double> s(n);
    double bed[3] = {};
    for (size_t i = 0; i < n; ++i) {
        double x;
        if (programme) {
            const double w = u(rng) - 0.5;  // three one-poles summed: a rough pink
            bed[0] = 0.997 * bed[0] + 0.03 * w;
            bed[1] = 0.96 * bed[1] + 0.1 * w;
            bed[2] = 0.6 * bed[2] + 0.3 * w;
            x = bed[0] + bed[1] + bed[2];
            if (i % 997 < 40) x += 2.0 * std::exp(-double(i % 997) / 8.0) * (u(rng) - 0.5);
        } else {
            x = i % 300 < 150 ? 3.0 * u(rng) : (i % 300 < 220 ? 0.5 : (i % 7) * 0.1);
        }
        s[i] = std::max(std::fabs(x), 1e-5);
    }
    return s;
}

// Every width the windows may take, driven by the reference scan and by the
// chunked runs (pairs in two-lane and scalar form, runs of uneven length),
// through a clear: each window maximum is the largest of the last W leaves
// since the clear, to the bit.
TEST(SlidingMaxTree, EveryWidthGivesTheExactWindowMaximum) {
    constexpr int32_t kCapacity = 512;
    std::vector<double> storageA(SlidingMaxTree::doublesFor(kCapacity) + 2);
    std::vector<double> storageB(storageA.size()), storageC(storageA.size());
    auto aligned = [](std::vector<double>& v) {
        return reinterpret_cast<double*>((reinterpret_cast<uintptr_t>(v.data()) + 15) & ~uintptr_t(15));
    };
    SlidingMaxTree reference, paired, scalar;
    reference.attach(aligned(storageA), kCapacity);
    paired.attach(aligned(storageB), kCapacity);
    scalar.attach(aligned(storageC), kCapacity);
    for (int32_t width = 8; width <= kCapacity; ++width) {
        const size_t n = 2 * width + 700;
        const std::vector<double> l = leafStream(n, width, width % 2 == 0);
        const std::vector<double> r = leafStream(n, width + 1000, width % 2 == 1);
        std::vector<double> leaves(2 * n), roots(2 * n), scalarRoots(2 * n);
        for (size_t i = 0; i < n; ++i) {
            leaves[2 * i] = l[i];
            leaves[2 * i + 1] = r[i];
        }
        int32_t posA = 0, posB = 0, posC = 0;
        size_t since = 0;  // first frame after the last clear
        size_t i = 0;
        for (int32_t run : {1, 7, 64, 3, 61, 200, 5, 64, 1000}) {
            if (run == 200 || i == 0) {  // start, and a clear part-way through
                for (SlidingMaxTree* t : {&reference, &paired, &scalar}) {
                    t->setWidth(width);
                    t->clear();
                }
                posA = posB = posC = 0;
                since = i;
            }
            const int32_t k = static_cast<int32_t>(std::min<size_t>(run, n - i));
#if VEXAL_HAVE_SSE2
            paired.pushRun<SsePair>(&leaves[2 * i], &roots[2 * i], k, posB);
#else
            paired.pushRun<ScalarPair>(&leaves[2 * i], &roots[2 * i], k, posB);
#endif
            scalar.pushRun<ScalarPair>(&leaves[2 * i], &scalarRoots[2 * i], k, posC);
            for (int32_t j = 0; j < k; ++j, ++i) {
                const ScalarPair plain = reference.push(ScalarPair::load(&leaves[2 * i]), posA);
                if (++posA == width) posA = 0;
                double wantL = 0.0, wantR = 0.0;
                for (size_t m = i + 1 - std::min<size_t>(width, i + 1 - since); m <= i; ++m) {
                    wantL = std::max(wantL, l[m]);
                    wantR = std::max(wantR, r[m]);
                }
                ASSERT_EQ(plain.l, wantL) << width << " " << i;
                ASSERT_EQ(plain.r, wantR) << width << " " << i;
                ASSERT_EQ(roots[2 * i], wantL) << width << " " << i;
                ASSERT_EQ(roots[2 * i + 1], wantR) << width << " " << i;
                ASSERT_EQ(scalarRoots[2 * i], wantL) << width << " " << i;
                ASSERT_EQ(scalarRoots[2 * i + 1], wantR) << width << " " << i;
            }
            ASSERT_EQ(posB, posA);
            ASSERT_EQ(posC, posA);
            if (i == n) break;
        }
    }
}

// --- envelope followers ----------------------------------------------------------

// The register banks of every width (kept across a run of frames) match
// frame-by-frame steps bit for bit, in both detector orders, with the bank's
// rows of whole vectors. Each pass starts with inputs of 0 while the stages
// are still 0: x = s1 and s1 = s2 exactly, where the coefficient chosen by a
// sign differs from the comparison's.
template <int Width>
void runFollowerBank(FollowerBank<Width>& bank, const std::vector<double>& x, bool second, double* rows) {
    for (int i = 0; i < 61; ++i) bank.step(&x[2 * i], second, rows + Width * i, Width * 64);
}

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
// The coefficients chosen by sign, as the AVX2 kernel does.
__attribute__((target("avx2"))) void runFollowerBankAvx2(FollowerBank<4>& bank, const std::vector<double>& x,
                                                        bool second, double* rows) {
    for (int i = 0; i < 61; ++i) bank.step<true>(&x[2 * i], second, rows + 4 * i, 4 * 64);
}
#endif

template <int Width, bool SignSelect = false>
void checkFollowerBank() {
    alignas(64) double attack[16], release[16];
    for (int j = 0; j < 16; ++j) {
        attack[j] = 1.0 - std::exp(-1000.0 / ((32.0 - (j / 2) * 31.0 / 7.0) * 96000.0));
        release[j] = 1.0 - std::exp(-1000.0 / ((1.0 + (j / 2) * 1.0 / 7.0) * 96000.0));
    }
    const std::vector<double> v = noise(2 * 61, 3.0, 4);
    for (bool second : {false, true}) {
        alignas(64) double a1[16] = {}, a2[16] = {}, b1[16] = {}, b2[16] = {};
        std::vector<double> rowsA(16 * 64, -1.0), rowsB(16 * 64, -1.0);
        for (int pass = 0; pass < 3; ++pass) {
            std::vector<double> x(v);
            for (double& e : x) e = std::fabs(e) * (pass + 1);
            if (pass == 0) std::fill(x.begin(), x.begin() + 6, 0.0);
            FollowerBank<Width> bank;
            bank.load(attack, release, a1, a2);
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
            if constexpr (SignSelect) runFollowerBankAvx2(bank, x, second, rowsA.data());
            else
#endif
                runFollowerBank<Width>(bank, x, second, rowsA.data());
            bank.store(a1, a2);
            for (int i = 0; i < 61; ++i) {
                followEnvelopes(b1, b2, x[2 * i], x[2 * i + 1], attack, release, second);
                for (int j = 0; j < 16; ++j) rowsB[(j / Width) * Width * 64 + Width * i + j % Width] = b2[j];
            }
            ASSERT_EQ(rowsA, rowsB) << Width << " " << second << " " << pass;
            for (int j = 0; j < 16; ++j) {
                ASSERT_EQ(a1[j], b1[j]);
                ASSERT_EQ(a2[j], b2[j]);
            }
        }
    }
}

TEST(EnvelopeFollowers, RegisterBanksMatchSingleFrames) {
    checkFollowerBank<2>();
    checkFollowerBank<4>();
    checkFollowerBank<8>();
    if (kernelVariantSupported(KernelVariant::avx2)) checkFollowerBank<4, true>();
}

// --- block convolver -----------------------------------------------------------

struct ConvolverRig {
    FftTwiddles twiddles;
    std::unique_ptr<double[]> storage{new double[BlockConvolver::kDoublesNeeded + 2]};
    BlockConvolver conv;
    explicit ConvolverRig(const std::vector<double>& taps) {
        double* aligned = reinterpret_cast<double*>(
            (reinterpret_cast<uintptr_t>(storage.get()) + 15) & ~uintptr_t(15));
        conv.attach(aligned, &twiddles);
        conv.setKernel(taps.data(), static_cast<int32_t>(taps.size()));
        conv.clear();
    }
};

std::vector<double> smoothKernelOf(int32_t transShape, float rate) {
    EngineFrontEnd engine;
    engine.setSampleRate(rate);
    engine.setTransShape(transShape);
    const int32_t n = engine.settings().smoothLen;
    return std::vector<double>(engine.smoothKernelTaps(), engine.smoothKernelTaps() + n);
}

TEST(BlockConvolver, KernelOfEightIsSymmetricAndSumsToOne) {
    const std::vector<double> taps = smoothKernelOf(0, 44100.0f);
    ASSERT_EQ(taps.size(), 8u);
    double sum = 0.0;
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(taps[i], taps[7 - i], 1e-16);
        EXPECT_GE(taps[i], -1e-17);
        sum += taps[i];
    }
    EXPECT_NEAR(taps[0], 0.0, 1e-16);
    EXPECT_NEAR(sum, 1.0, 1e-15);
}

TEST(BlockConvolver, ImpulseGivesTheTapsAfterNMinusOne) {
    const std::vector<double> taps = smoothKernelOf(0, 44100.0f);
    for (bool fft : {false, true}) {
        ConvolverRig rig(taps);
        rig.conv.forceMethod(fft);
        std::vector<double> outL, outR;
        for (int t = 0; t < 40; ++t) {
            const ScalarPair y = rig.conv.push(ScalarPair::make(t == 5 ? 1.0 : 0.0, t == 6 ? 1.0 : 0.0));
            outL.push_back(y.left());
            outR.push_back(y.right());
        }
        for (int t = 0; t < 40; ++t) {
            const int iL = t - 5 - 7, iR = t - 6 - 7;
            const double expectL = iL >= 0 && iL < 8 ? taps[iL] : 0.0;
            const double expectR = iR >= 0 && iR < 8 ? taps[iR] : 0.0;
            if (fft) {
                EXPECT_NEAR(outL[t], expectL, 1e-16) << t;
                EXPECT_NEAR(outR[t], expectR, 1e-16) << t;
            } else {
                EXPECT_EQ(outL[t], expectL) << t;
                EXPECT_EQ(outR[t], expectR) << t;
            }
        }
    }
}

// The transform and the direct sum give the same linear convolution, on
// streams whose lengths are not multiples of the block.
TEST(BlockConvolver, TransformMatchesDirectConvolution) {
    for (int32_t n = 8; n <= 256; n *= 2) {
        std::vector<double> taps = noise(n, 1.0, n);
        for (double& t : taps) t = std::fabs(t) / n;
        ConvolverRig direct(taps), fft(taps);
        direct.conv.forceMethod(false);
        fft.conv.forceMethod(true);
        const size_t length = 7 * n + 3;
        const std::vector<double> l = noise(length, 5.0, 3 * n), r = noise(length, 0.01, 5 * n);
        std::vector<double> ref(length);
        for (size_t t = 0; t < length; ++t) {
            const ScalarPair a = direct.conv.push(ScalarPair::make(l[t], r[t]));
            const ScalarPair b = fft.conv.push(ScalarPair::make(l[t], r[t]));
            // Against the causal convolution delayed by N − 1.
            double z = 0.0;
            for (int32_t i = 0; i < n; ++i)
                if (t >= size_t(n - 1 + i)) z += taps[i] * l[t - (n - 1) - i];
            ASSERT_NEAR(a.left(), z, 1e-13) << n << " " << t;
            ASSERT_NEAR(b.left(), a.left(), 1e-13) << n << " " << t;
            ASSERT_NEAR(b.right(), a.right(), 1e-15) << n << " " << t;
        }
    }
}

#if VEXAL_HAVE_SSE2
// The direct sums of every variant (two-lane, four-lane and eight-lane forms)
// give the bits of the portable pair-wise loop, and so do the transforms.
TEST(BlockConvolver, EveryVariantGivesThePortableBits) {
    // Negative: negative taps and a run of zero values longer than two
    // blocks, so that sums of −0 products meet the +0 start and the masked
    // lanes (bits compared).
    auto bits = [](double x) { return std::bit_cast<uint64_t>(x); };
    for (bool negative : {false, true})
    for (int32_t n = 8; n <= 256; n *= 2) {
        std::vector<double> taps = noise(n, 1.0, n + 1);
        for (double& t : taps) t = (negative ? -std::fabs(t) : std::fabs(t)) / n;
        const size_t length = 5 * n + 3;
        std::vector<double> l = noise(length, 5.0, 7 * n), r = noise(length, 0.01, 9 * n);
        if (negative)
            for (size_t t = n; t <= 3 * size_t(n); ++t) l[t] = r[t] = 0.0;
        for (bool fft : {false, true}) {
            ConvolverRig portable(taps);
            portable.conv.forceMethod(fft);
            std::vector<double> want(2 * length);
            for (size_t t = 0; t < length; ++t)
                portable.conv.push(ScalarPair::make(std::fabs(l[t]), std::fabs(r[t]))).store(&want[2 * t]);
            for (KernelVariant v : kAllKernelVariants) {
                if (v == KernelVariant::portable || !kernelVariantSupported(v)) continue;
                ConvolverRig rig(taps);
                rig.conv.setVariant(v);
                rig.conv.forceMethod(fft);
                for (size_t t = 0; t < length; ++t) {
                    const SsePair y = rig.conv.push(SsePair::make(std::fabs(l[t]), std::fabs(r[t])));
                    ASSERT_EQ(bits(y.left()), bits(want[2 * t])) << kernelVariantName(v) << " " << n << " " << fft << " " << t;
                    ASSERT_EQ(bits(y.right()), bits(want[2 * t + 1]))
                        << kernelVariantName(v) << " " << n << " " << fft << " " << t;
                }
                // Runs: whole blocks (summed where they stand), blocks split
                // across runs, runs longer than a block, single values.
                ConvolverRig runs(taps);
                runs.conv.setVariant(v);
                runs.conv.forceMethod(fft);
                std::vector<double> in(2 * length), got(2 * length);
                for (size_t t = 0; t < length; ++t) in[2 * t] = std::fabs(l[t]), in[2 * t + 1] = std::fabs(r[t]);
                const size_t lengths[] = {size_t(n), 1, size_t(n) - 1, size_t(n), 3 * size_t(n) + 2, 2, size_t(n)};
                for (size_t at = 0, k = 0; at < length; ++k) {
                    const size_t count = std::min(lengths[k % 7], length - at);
                    runs.conv.pushRun<SsePair>(&in[2 * at], &got[2 * at], static_cast<int32_t>(count));
                    at += count;
                }
                for (size_t e = 0; e < 2 * length; ++e)
                    ASSERT_EQ(bits(got[e]), bits(want[e])) << kernelVariantName(v) << " run " << n << " " << fft << " " << e;
            }
        }
    }
}
#endif

// --- the kernel ------------------------------------------------------------------

// An engine driven directly: program 0, then the rate and the changes.
struct EngineRig {
    EngineFrontEnd engine;
    EngineState& state = engine.engineState();
    MeterValues& meters = engine.meters();

    explicit EngineRig(KernelVariant variant) {
        state.kernelVariant = variant;
        applyProgram0(engine);
    }
    void prepare(float rate, const std::vector<std::pair<int32_t, float>>& params) {
        engine.setSampleRate(rate);
        for (auto [index, value] : params) applyParameter(engine, index, value);
        engine.reset();
    }
    template <class Sample>
    void process(const Sample* l, const Sample* r, Sample* ol, Sample* orr, int32_t n) {
        engine.process<Sample>(l, r, ol, orr, n);
    }
};

std::vector<std::pair<int32_t, float>> randomParameters(std::mt19937& rng) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<std::pair<int32_t, float>> p;
    for (int32_t i = 0; i <= kPostMeter; ++i)
        if (i != kCalibrate) p.emplace_back(i, unit(rng));
    return p;
}

std::vector<KernelVariant> supportedVariants() {
    std::vector<KernelVariant> v;
    for (KernelVariant k : kAllKernelVariants)
        if (kernelVariantSupported(k)) v.push_back(k);
    return v;
}

// Every variant this processor runs against the portable reference, bit for
// bit: outputs of odd block lengths (guard values around each block must stay
// untouched), every meter value, both sample types, random settings at every
// rate class, the leveller switched off and on between blocks.
template <class Sample>
void checkVariantAgainstReference(KernelVariant variant) {
    constexpr Sample kGuard = Sample(-7.25);
    constexpr size_t kPad = 3;
    std::mt19937 rng(77);
    const float rates[] = {44100.0f, 96000.0f, 192000.0f};
    for (int trial = 0; trial < 9; ++trial) {
        EngineRig fast(variant), reference(KernelVariant::portable);
        auto params = randomParameters(rng);
        params.emplace_back(kTransShape, stepValue(trial % 3, 3));
        fast.prepare(rates[trial % 3], params);
        reference.prepare(rates[trial % 3], params);
        const size_t n = 6007;
        const std::vector<double> l = noise(n, 6.0, trial), r = noise(n, 0.5 + trial, trial + 50);
        const std::vector<Sample> inL(l.begin(), l.end()), inR(r.begin(), r.end());
        size_t done = 0;
        int block = 0;
        for (int32_t len : {1, 3, 17, 63, 65, 255, 257, 1001, 4095}) {
            // The leveller switched off for a while (its level still moves) and on again.
            if (block == 3 || block == 6)
                for (EngineRig* rig : {&fast, &reference})
                    applyParameter(rig->engine, kLeveller, block == 3 ? 1.0f : 0.3f);
            ++block;
            const int32_t k = static_cast<int32_t>(std::min<size_t>(len, n - done));
            std::vector<Sample> a(2 * (k + 2 * kPad), kGuard), b(a);
            Sample* aL = &a[kPad];
            Sample* aR = &a[k + 3 * kPad];
            Sample* bL = &b[kPad];
            Sample* bR = &b[k + 3 * kPad];
            fast.process<Sample>(&inL[done], &inR[done], aL, aR, k);
            reference.process<Sample>(&inL[done], &inR[done], bL, bR, k);
            ASSERT_EQ(a, b) << kernelVariantName(variant) << " trial " << trial << " at " << done;
            for (size_t g = 0; g < kPad; ++g) {
                ASSERT_EQ(a[g], kGuard);
                ASSERT_EQ(a[k + kPad + g], kGuard);
                ASSERT_EQ(a[k + 2 * kPad + g], kGuard);
                ASSERT_EQ(a[2 * k + 3 * kPad + g], kGuard);
            }
            done += k;
            // The meters after every block, with the holds restarted after every
            // other one as the editor's read-out does (a fast path may skip work
            // only while a hold cannot move).
            for (int c = 0; c < 2; ++c) {
                ASSERT_EQ(fast.meters.inputPeak[c].load(), reference.meters.inputPeak[c].load()) << block;
                ASSERT_EQ(fast.meters.outputPeak[c].load(), reference.meters.outputPeak[c].load()) << block;
                ASSERT_EQ(fast.meters.inputMeanSquare[c].load(), reference.meters.inputMeanSquare[c].load()) << block;
                ASSERT_EQ(fast.meters.outputMeanSquare[c].load(), reference.meters.outputMeanSquare[c].load()) << block;
                ASSERT_EQ(fast.meters.gainReduction[c].load(), reference.meters.gainReduction[c].load()) << block;
            }
            if (block % 2 == 0)
                for (EngineRig* rig : {&fast, &reference}) rig->meters.metersRead = true;
        }
    }
}

TEST(Kernel, EveryVariantMatchesTheReference) {
    for (KernelVariant variant : supportedVariants()) {
        if (variant == KernelVariant::portable) continue;
        SCOPED_TRACE(kernelVariantName(variant));
        checkVariantAgainstReference<float>(variant);
        checkVariantAgainstReference<double>(variant);
    }
}

// A request names its variant; one the processor lacks falls back to the best
// below it, an unknown or missing one to the best of all.
TEST(Kernel, VariantRequestsAndFallback) {
    const std::vector<KernelVariant> supported = supportedVariants();
    const KernelVariant best = supported.back();
    EXPECT_EQ(chooseKernelVariant(nullptr), best);
    EXPECT_EQ(chooseKernelVariant("fastest"), best);
    EXPECT_EQ(chooseKernelVariant("AVX2"), best);  // names are lower case
    EXPECT_EQ(chooseKernelVariant("portable"), KernelVariant::portable);
    for (KernelVariant v : kAllKernelVariants) {
        KernelVariant expected = v;
        while (!kernelVariantSupported(expected)) expected = static_cast<KernelVariant>(int32_t(expected) - 1);
        EXPECT_EQ(chooseKernelVariant(kernelVariantName(v)), expected) << kernelVariantName(v);
    }
    EXPECT_EQ(EngineState().kernelVariant, selectedKernelVariant());
    const char* request = std::getenv("VEXAL_KERNEL");
    EXPECT_EQ(selectedKernelVariant(), chooseKernelVariant(request));
}

// Every sample leaves the gain stage at magnitude 1 or less (1/1.001 with
// Oversample), before the output gain: b is at least the detector value of the
// sample being output. 1e-12 covers the rounding of the convolver's sums.
TEST(Kernel, GainStageNeverExceedsTheThreshold) {
    std::mt19937 rng(99);
    const float rates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f};
    for (int trial = 0; trial < 18; ++trial) {
        for (bool oversample : {false, true}) {
            EngineRig rig(trial % 2 == 0 ? KernelVariant::portable : selectedKernelVariant());
            auto params = randomParameters(rng);
            params.emplace_back(kOversample, oversample ? 1.0f : 0.0f);
            params.emplace_back(kPower, 1.0f);
            params.emplace_back(kTransShape, stepValue(trial % 3, 3));
            rig.prepare(rates[trial % 6], params);
            const size_t n = 8192;
            std::vector<double> l = noise(n, 2.0 + trial, trial), r = noise(n, 4.0, 3 * trial);
            for (size_t i = 0; i < n; i += 611) l[i] *= 10.0;
            std::vector<double> probe(2 * n), ol(n), orr(n);
            rig.state.gainStageProbe = probe.data();
            rig.process(l.data(), r.data(), ol.data(), orr.data(), static_cast<int32_t>(n));
            const double bound = (oversample ? 1.0 / 1.001 : 1.0) + 1e-12;
            for (size_t i = 0; i < 2 * n; ++i) ASSERT_LE(std::fabs(probe[i]), bound) << trial << " " << i;
        }
    }
}

#if VEXAL_HAVE_SSE2
// Flush-to-zero and denormals-are-zero hold only while the kernel runs.
TEST(Kernel, RestoresTheCallersFloatingPointControl) {
    const std::vector<double> l = noise(700, 3.0, 9);
    for (KernelVariant variant : supportedVariants()) {
        EngineRig usual(variant), odd(variant);
        usual.prepare(44100.0f, {});
        odd.prepare(44100.0f, {});
        std::vector<double> expected(700), out(700);
        usual.process(l.data(), l.data(), expected.data(), expected.data(), 700);
        const unsigned saved = _mm_getcsr();
        _mm_setcsr((saved & ~0x8040u) | 0x6000u);  // round toward zero, no flushing
        const unsigned before = _mm_getcsr();
        odd.process(l.data(), l.data(), out.data(), out.data(), 700);
        const unsigned after = _mm_getcsr();
        _mm_setcsr(saved);
        EXPECT_EQ(after & ~0x3Fu, before & ~0x3Fu);  // exception flags may be raised
        EXPECT_EQ(out, expected);  // the caller's rounding mode does not reach the engine
    }
}
#endif

TEST(Kernel, ZeroFramesChangeNothing) {
    EngineRig rig(selectedKernelVariant());
    rig.prepare(44100.0f, {});
    const std::vector<double> l = noise(300, 3.0, 5);
    std::vector<double> out(300), again(300);
    rig.process(l.data(), l.data(), out.data(), out.data(), 0);
    EXPECT_EQ(rig.state.dryDelay.index, 0);
    EXPECT_EQ(rig.state.levellerLevel, EngineState::kLevellerStart);
}

}  // namespace
