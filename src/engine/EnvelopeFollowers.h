// The eight envelope followers per channel (attack 32 … 1 ms, release from the
// Release time down to 2 ms) and the maximum over their last stages.
//
// Lanes: the 16 followers of both channels as (L, R) pairs in k order; the
// coefficients are laid out the same way (BlockSettings::attackPairs).
#pragma once

#include <cstdint>
#include <cstring>

#include "EngineSettings.h"
#include "Extremum.h"

#if defined(__SSE2__) && defined(__GNUC__)
#include <immintrin.h>
#endif

// The sign-selected follower step uses GCC's AVX builtins, inlined into the
// AVX2 kernel only. clang judges builtins by the header's own target, not the
// kernel's, and knows some of them by no name: its builds (fuzzing) take the
// comparison, with the same bits.
#if defined(__SSE2__) && defined(__GNUC__) && !defined(__clang__)
#define VEXAL_FOLLOWER_SIGN_SELECT 1
#else
#define VEXAL_FOLLOWER_SIGN_SELECT 0
#endif

namespace vexal {

// A stage moved by `coefficient` of its distance d to what it follows. T is
// a double or a vector of doubles (lane by lane).
template <class T>
inline T stageMoved(const T& s, const T& d, const T& coefficient) {
    return s + coefficient * d;
}

// Stage 1 moves toward x with the attack coefficient when x ≥ s1, else with
// the release one.
template <class T>
inline void firstStageStep(T& s1, const T& x, const T& attack, const T& release) {
    s1 = stageMoved(s1, x - s1, x >= s1 ? attack : release);
}

// Stage 2 (DetectorOrder II) follows stage 1 the same way, attacking only
// while stage 1 is strictly above it.
template <class T>
inline void secondStageStep(T& s2, const T& s1, const T& attack, const T& release) {
    s2 = stageMoved(s2, s1 - s2, s1 > s2 ? attack : release);
}

// One frame for both channels toward (vL, vR); with DetectorOrder I the last
// stage copies the first.
inline void followEnvelopes(double* s1, double* s2, double vL, double vR, const double* attack,
                            const double* release, bool secondOrder) {
    for (int32_t j = 0; j < 2 * kFollowerCount; ++j) {
        firstStageStep(s1[j], (j & 1) ? vR : vL, attack[j], release[j]);
        if (secondOrder)
            secondStageStep(s2[j], s1[j], attack[j], release[j]);
        else
            s2[j] = s1[j];
    }
}

// The 16 lanes held in registers across a run of frames, Width doubles per
// vector (2 for SSE2, 4 for AVX2, 8 for AVX-512; the compiler picks the
// instructions of the function it is inlined into). Each lane does what
// followEnvelopes does, so every width gives the same bits.
// Vectors of Width doubles, and the same type for loads and stores at any
// 8-byte alignment.
template <int Width>
struct DoubleVector {
    typedef double type __attribute__((vector_size(8 * Width)));
    typedef double unaligned __attribute__((vector_size(8 * Width), aligned(8)));
};
template <>
struct DoubleVector<2> {
    typedef double type __attribute__((vector_size(16)));
    typedef double unaligned __attribute__((vector_size(16), aligned(8)));
};
template <>
struct DoubleVector<4> {
    typedef double type __attribute__((vector_size(32)));
    typedef double unaligned __attribute__((vector_size(32), aligned(8)));
};
template <>
struct DoubleVector<8> {
    typedef double type __attribute__((vector_size(64)));
    typedef double unaligned __attribute__((vector_size(64), aligned(8)));
};

template <int Width>
struct FollowerBank {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    using Pair = typename DoubleVector<2>::type;
    using PairMemory = typename DoubleVector<2>::unaligned;
    static constexpr int kVectors = 2 * kFollowerCount / Width;
    // Plain values only (no address taken), so that they stay in registers.
    Vec attack[kVectors], release[kVectors], first[kVectors], second[kVectors];
    // The coefficients where they stand, for the sign-selected step: read as
    // the blend's operands, they leave the registers to the stages (16 of
    // them with DetectorOrder II, all AVX2 has).
    const double* attackAt = nullptr;
    const double* releaseAt = nullptr;

    void load(const double* a, const double* r, const double* s1, const double* s2) {
        attackAt = a;
        releaseAt = r;
        for (int k = 0; k < kVectors; ++k) {
            attack[k] = *reinterpret_cast<const Memory*>(a + Width * k);
            release[k] = *reinterpret_cast<const Memory*>(r + Width * k);
            first[k] = *reinterpret_cast<const Memory*>(s1 + Width * k);
            second[k] = *reinterpret_cast<const Memory*>(s2 + Width * k);
        }
    }

    void store(double* s1, double* s2) const {
        for (int k = 0; k < kVectors; ++k) {
            *reinterpret_cast<Memory*>(s1 + Width * k) = first[k];
            *reinterpret_cast<Memory*>(s2 + Width * k) = second[k];
        }
    }

    // One frame toward the linked peaks at v (vL, vR); vector k of the last
    // stage (pairs Width/2·k …) goes to lastStage + k·rowStride, whole.
    // SignSelect: the coefficients are chosen by the sign of x − s1 (and
    // s1 − s2) in one blend instruction, where the compare would take a second
    // one (AVX2; for GCC, inlined into that variant only). Where the sign and
    // the comparison differ the difference is ±0, which either coefficient
    // turns into a step of ±0: the stage keeps its bits either way.
    template <bool SignSelect = false>
    __attribute__((always_inline)) void step(const double* v, bool secondOrder, double* lastStage,
                                             int32_t rowStride) {
        const Pair both = *reinterpret_cast<const PairMemory*>(v);
        Vec x;
        if constexpr (Width == 2)
            x = both;
#if VEXAL_FOLLOWER_SIGN_SELECT
        else if constexpr (SignSelect && Width == 4)
            x = __builtin_ia32_vbroadcastf128_pd256(reinterpret_cast<const Pair*>(v));  // a load, no shuffle
#endif
        else if constexpr (Width == 4)
            x = __builtin_shufflevector(both, both, 0, 1, 0, 1);
        else
            x = __builtin_shufflevector(both, both, 0, 1, 0, 1, 0, 1, 0, 1);
        for (int k = 0; k < kVectors; ++k) {
            if constexpr (SignSelect && Width == 4 && kSignSelectBuilt) {
                const Vec d = x - first[k];
                first[k] = stageMoved(first[k], d, __builtin_ia32_blendvpd256(attackOf(k), releaseOf(k), d));
            } else {
                firstStageStep(first[k], x, attack[k], release[k]);
            }
        }
        if (secondOrder) {
            for (int k = 0; k < kVectors; ++k) {
                if constexpr (SignSelect && Width == 4 && kSignSelectBuilt) {
                    // s1 > s2 is strict: at d = +0 the sign picks the attack, the
                    // comparison the release, and both steps are +0.
                    const Vec d = first[k] - second[k];
                    second[k] = stageMoved(second[k], d, __builtin_ia32_blendvpd256(attackOf(k), releaseOf(k), d));
                } else {
                    secondStageStep(second[k], first[k], attack[k], release[k]);
                }
            }
        } else {
            for (int k = 0; k < kVectors; ++k) second[k] = first[k];
        }
        for (int k = 0; k < kVectors; ++k) *reinterpret_cast<Memory*>(lastStage + k * rowStride) = second[k];
    }

    Vec attackOf(int k) const { return *reinterpret_cast<const Memory*>(attackAt + Width * k); }
    Vec releaseOf(int k) const { return *reinterpret_cast<const Memory*>(releaseAt + Width * k); }

    static constexpr bool kSignSelectBuilt = VEXAL_FOLLOWER_SIGN_SELECT;
};

// A run of frames: v holds the linked peaks (vL, vR) per frame; after each
// frame, s2[k] of channel c goes to lastStage[k·rowStride + 2·frame + c].
inline void followEnvelopesOver(double* s1, double* s2, const double* v, int32_t frames,
                                const double* attack, const double* release, bool secondOrder,
                                double* lastStage, int32_t rowStride) {
    FollowerBank<2> bank;
    bank.load(attack, release, s1, s2);
    for (int32_t i = 0; i < frames; ++i)
        bank.step(v + 2 * i, secondOrder, lastStage + 2 * i, rowStride);
    bank.store(s1, s2);
}

// a > b ? a : b on Width lanes at once: one max instruction on x86 (it returns
// its second operand unless the first is greater). Width 4 is built only
// inside the AVX2 and AVX-512 kernels.
template <int Width>
__attribute__((always_inline)) inline typename DoubleVector<Width>::type largerLanes(
    typename DoubleVector<Width>::type a, typename DoubleVector<Width>::type b) {
#if defined(__SSE2__) && defined(__GNUC__)
    if constexpr (Width == 2) return __builtin_ia32_maxpd(a, b);
#if !defined(__clang__)
    // clang judges the builtin by this helper's own target, not the kernel's
    // it is inlined into; its builds (fuzzing) take the loop, with the same bits.
    if constexpr (Width == 4) return __builtin_ia32_maxpd256(a, b);
#endif
#endif
    for (int l = 0; l < Width; ++l) a[l] = a[l] > b[l] ? a[l] : b[l];
    return a;
}

// d > 0 ? d : 0 on Width lanes at once, as positivePart does for one double.
template <int Width>
__attribute__((always_inline)) inline typename DoubleVector<Width>::type positiveLanes(
    typename DoubleVector<Width>::type d) {
    return largerLanes<Width>(d, typename DoubleVector<Width>::type{});
}

// One step of the followers' fold, branchFreeMax(m, s2) on Width lanes.
template <int Width>
__attribute__((always_inline)) inline typename DoubleVector<Width>::type foldStep(
    typename DoubleVector<Width>::type m, typename DoubleVector<Width>::type s2) {
    return s2 + positiveLanes<Width>(m - s2);
}

// f = max(1, s2[0], …, s2[7]) folded in k order, for `lanes` lanes at once
// (rounded up to whole groups of Group vectors of Width: the rows and f must
// have room): row k of lastStage (stride `rowStride`) holds s2[k] of every
// lane. Each step is branchFreeMax, s2 + positivePart(f − s2). A lane's eight
// steps form one chain of dependent operations; Group chains side by side
// keep the arithmetic units busy while each waits for its last result.
template <int Width = 2, int Group = 1>
inline void foldFollowers(const double* __restrict lastStage, int32_t rowStride,
                          double* __restrict f, int32_t lanes) {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    for (int32_t e = 0; e < lanes; e += Group * Width) {
        Vec m[Group];
        for (int g = 0; g < Group; ++g)
            for (int l = 0; l < Width; ++l) m[g][l] = 1.0;
        for (int32_t k = 0; k < kFollowerCount; ++k) {
            for (int g = 0; g < Group; ++g) {
                const Vec s2 = *reinterpret_cast<const Memory*>(lastStage + k * rowStride + e + g * Width);
                m[g] = foldStep<Width>(m[g], s2);
            }
        }
        for (int g = 0; g < Group; ++g) *reinterpret_cast<Memory*>(f + e + g * Width) = m[g];
    }
}

// The same fold over the rows FollowerBank<4> stores: row k/2 holds, frame
// by frame, the four lanes (s2[k], s2[k + 1]) × (L, R) of the even k. Two
// frames' pairs of one k make a vector; `frames` is rounded up to whole
// groups of 2·Group.
template <int Group = 4>
inline void foldFollowerRows(const double* __restrict lastStage, int32_t rowStride, double* __restrict f,
                             int32_t frames) {
    using Vec = typename DoubleVector<4>::type;
    using Memory = typename DoubleVector<4>::unaligned;
    using Pair = typename DoubleVector<2>::type;
    using PairMemory = typename DoubleVector<2>::unaligned;
    for (int32_t i = 0; i < frames; i += 2 * Group) {
        Vec m[Group];
        for (int g = 0; g < Group; ++g) m[g] = Vec{1.0, 1.0, 1.0, 1.0};
        for (int32_t k = 0; k < kFollowerCount; ++k) {
            const double* row = lastStage + (k / 2) * rowStride + 2 * (k & 1);
            for (int g = 0; g < Group; ++g) {
                const double* at = row + 4 * (i + 2 * g);
                const Pair first = *reinterpret_cast<const PairMemory*>(at);
                const Pair next = *reinterpret_cast<const PairMemory*>(at + 4);
                const Vec s2 = __builtin_shufflevector(first, next, 0, 1, 2, 3);
                m[g] = foldStep<4>(m[g], s2);
            }
        }
        for (int g = 0; g < Group; ++g) *reinterpret_cast<Memory*>(f + 2 * (i + 2 * g)) = m[g];
    }
}

// Whether no last stage lies above 1, read from the rows FollowerBank<Width>
// stores (one per vector of the bank, `lanes` values each, rounded up to
// whole vectors), in any order. The stages never fall below 0 (each step
// moves toward an input of at least 0 by a fraction of at most 1 of the
// distance), and from f = 1 a fold step with 0 ≤ s2 ≤ 1 gives s2 + (1 − s2),
// which rounds to 1: then f is exactly 1 in every lane without the fold.
template <int Width>
inline bool lastStagesAtMostOne(const double* __restrict lastStage, int32_t rowStride, int32_t lanes) {
    using Vec = typename DoubleVector<Width>::type;
    using Memory = typename DoubleVector<Width>::unaligned;
    constexpr int kRows = 2 * kFollowerCount / Width;
    // Eight maxima side by side, each a chain of one step per row and frame
    // at most: with fewer than eight rows, each row's vectors alternate
    // between chains.
    constexpr int kPerRow = kRows >= 8 ? 1 : 8 / kRows;
    Vec top[8] = {};
    auto take = [&](int chain, int32_t at) {
        top[chain & 7] = largerLanes<Width>(top[chain & 7], *reinterpret_cast<const Memory*>(lastStage + at));
    };
    int32_t e = 0;
    for (; e + kPerRow * Width <= lanes; e += kPerRow * Width)
        for (int k = 0; k < kRows; ++k)
            for (int j = 0; j < kPerRow; ++j) take(k * kPerRow + j, k * rowStride + e + j * Width);
    for (; e < lanes; e += Width)
        for (int k = 0; k < kRows; ++k) take(k, k * rowStride + e);
    for (int k = 0; k < 4; ++k) top[k] = largerLanes<Width>(top[k], top[k + 4]);
    const Vec all = largerLanes<Width>(largerLanes<Width>(top[0], top[1]), largerLanes<Width>(top[2], top[3]));
    bool atMostOne = true;
    for (int l = 0; l < Width; ++l) atMostOne &= all[l] <= 1.0;
    return atMostOne;
}

}  // namespace vexal
