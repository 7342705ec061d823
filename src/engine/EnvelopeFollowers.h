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

namespace vexal {

// Stage 1 moves toward x with the attack coefficient when x ≥ s1, else with
// the release one. T is a double or a vector of doubles (lane by lane).
template <class T>
inline void firstStageStep(T& s1, const T& x, const T& attack, const T& release) {
    s1 = s1 + (x >= s1 ? attack : release) * (x - s1);
}

// Stage 2 (DetectorOrder II) follows stage 1 the same way, attacking only
// while stage 1 is strictly above it.
template <class T>
inline void secondStageStep(T& s2, const T& s1, const T& attack, const T& release) {
    s2 = s2 + (s1 > s2 ? attack : release) * (s1 - s2);
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
template <int Width>
struct DoubleVector;
template <>
struct DoubleVector<2> {
    typedef double type __attribute__((vector_size(16)));
};
template <>
struct DoubleVector<4> {
    typedef double type __attribute__((vector_size(32)));
};
template <>
struct DoubleVector<8> {
    typedef double type __attribute__((vector_size(64)));
};

template <int Width>
struct FollowerBank {
    using Vec = typename DoubleVector<Width>::type;
    static constexpr int kVectors = 2 * kFollowerCount / Width;
    Vec attack[kVectors], release[kVectors], first[kVectors], second[kVectors];

    void load(const double* a, const double* r, const double* s1, const double* s2) {
        std::memcpy(attack, a, sizeof attack);
        std::memcpy(release, r, sizeof release);
        std::memcpy(first, s1, sizeof first);
        std::memcpy(second, s2, sizeof second);
    }

    void store(double* s1, double* s2) const {
        std::memcpy(s1, first, sizeof first);
        std::memcpy(s2, second, sizeof second);
    }

    // One frame toward (vL, vR); the last stage of pair k goes to
    // lastStage + k·rowStride.
    void step(double vL, double vR, bool secondOrder, double* lastStage, int32_t rowStride) {
        double lanes[Width];
        for (int i = 0; i < Width; ++i) lanes[i] = (i & 1) ? vR : vL;
        Vec x;
        std::memcpy(&x, lanes, sizeof x);
        for (int k = 0; k < kVectors; ++k) firstStageStep(first[k], x, attack[k], release[k]);
        if (secondOrder) {
            for (int k = 0; k < kVectors; ++k) secondStageStep(second[k], first[k], attack[k], release[k]);
        } else {
            for (int k = 0; k < kVectors; ++k) second[k] = first[k];
        }
        for (int k = 0; k < kFollowerCount; ++k)
            std::memcpy(lastStage + k * rowStride, reinterpret_cast<const double*>(second) + 2 * k,
                        2 * sizeof(double));
    }
};

// A run of frames: v holds the linked peaks (vL, vR) per frame; after each
// frame, s2[k] of channel c goes to lastStage[k·rowStride + 2·frame + c].
inline void followEnvelopesOver(double* s1, double* s2, const double* v, int32_t frames,
                                const double* attack, const double* release, bool secondOrder,
                                double* lastStage, int32_t rowStride) {
    FollowerBank<2> bank;
    bank.load(attack, release, s1, s2);
    for (int32_t i = 0; i < frames; ++i)
        bank.step(v[2 * i], v[2 * i + 1], secondOrder, lastStage + 2 * i, rowStride);
    bank.store(s1, s2);
}

// f = max(1, s2[0], …, s2[7]) folded in k order, for `lanes` lanes at once:
// row k of lastStage (stride `rowStride`) holds s2[k] of every lane.
inline void foldFollowers(const double* __restrict lastStage, int32_t rowStride,
                          double* __restrict f, int32_t lanes) {
    for (int32_t e = 0; e < lanes; ++e) f[e] = 1.0;
    for (int32_t k = 0; k < kFollowerCount; ++k) {
        const double* s2 = lastStage + k * rowStride;
        for (int32_t e = 0; e < lanes; ++e) f[e] = branchFreeMaxLane(f[e], s2[e]);
    }
}

}  // namespace vexal
