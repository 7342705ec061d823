// Branch-free maximum and minimum: the half-sum-plus-half-difference form the
// engine uses everywhere, so every stage rounds its extremes the same way.
//
// b + 0.5·((a − b) + |a − b|) is computed as b + max(a − b, 0): when a > b,
// (a − b) + |a − b| is exactly twice the rounded difference and halving it is
// exact; otherwise it is exactly 0. The two forms give the same bits for every
// input the engine can hold (finite, far from overflow, never NaN), and this
// one is three dependent operations instead of five: the tree walks and the
// running peaks are chains of them. Likewise for the minimum.
#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexal {

// d > 0 ? d : 0. On x86 always the maxsd instruction: compilers otherwise
// tend to branch on it, and on signal values that branch is unpredictable.
inline double positivePart(double d) {
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(d), _mm_setzero_pd()));
#else
    return d > 0.0 ? d : 0.0;
#endif
}

inline double branchFreeMax(double a, double b) { return b + positivePart(a - b); }

inline double branchFreeMin(double a, double b) { return a - positivePart(a - b); }

// The same maximum as written, for element-wise loops: there the compiler
// vectorizes it into five plain operations per lane, which measured cheaper
// than a vector compare-and-select; the instruction above would prevent the
// vectorizing altogether.
inline double branchFreeMaxLane(double a, double b) { return b + 0.5 * ((a - b) + std::fabs(a - b)); }

// The same lane by lane on a vector of doubles (GCC's vector extension), |x|
// as the sign bit cleared.
template <class Vec>
inline Vec branchFreeMaxLanes(Vec a, Vec b) {
    typedef int64_t Bits __attribute__((vector_size(sizeof(Vec))));
    const Vec d = a - b;
    return b + 0.5 * (d + Vec(Bits(d) & 0x7fffffffffffffff));
}

}  // namespace vexal
