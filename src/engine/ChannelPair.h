// A left/right pair of doubles, the unit of the engine's channel layout. Two
// implementations with identical lane arithmetic: SSE2 two-lane vectors on
// x86_64 (SsePair, the chunked kernel variants) and plain doubles everywhere
// (ScalarPair, the portable reference); both compute the same bits.
#pragma once

#include <cmath>
#include <cstdint>

#include "Extremum.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VEXAL_HAVE_SSE2 1
#else
#define VEXAL_HAVE_SSE2 0
#endif

namespace vexal {

struct ScalarPair {
    double l, r;

    static ScalarPair load(const double* p) { return {p[0], p[1]}; }
    static ScalarPair make(double left, double right) { return {left, right}; }
    static ScalarPair both(double x) { return {x, x}; }
    void store(double* p) const {
        p[0] = l;
        p[1] = r;
    }
    double left() const { return l; }
    double right() const { return r; }

    friend ScalarPair operator+(ScalarPair a, ScalarPair b) { return {a.l + b.l, a.r + b.r}; }
    friend ScalarPair operator-(ScalarPair a, ScalarPair b) { return {a.l - b.l, a.r - b.r}; }
    friend ScalarPair operator*(ScalarPair a, ScalarPair b) { return {a.l * b.l, a.r * b.r}; }
    friend ScalarPair operator/(ScalarPair a, ScalarPair b) { return {a.l / b.l, a.r / b.r}; }
    friend ScalarPair abs(ScalarPair a) { return {std::fabs(a.l), std::fabs(a.r)}; }
    // Per lane: d > 0 ? d : 0.
    friend ScalarPair positivePart(ScalarPair d) { return {vexal::positivePart(d.l), vexal::positivePart(d.r)}; }
    // Per lane: the larger value itself (a when a > b, else b).
    friend ScalarPair exactMax(ScalarPair a, ScalarPair b) {
        return {a.l > b.l ? a.l : b.l, a.r > b.r ? a.r : b.r};
    }
    // Per lane: a when a < b, else b.
    friend ScalarPair exactMin(ScalarPair a, ScalarPair b) {
        return {a.l < b.l ? a.l : b.l, a.r < b.r ? a.r : b.r};
    }
    // Per lane: a >= b ? x : y, and a > b ? x : y.
    static ScalarPair selectGe(ScalarPair a, ScalarPair b, ScalarPair x, ScalarPair y) {
        return {a.l >= b.l ? x.l : y.l, a.r >= b.r ? x.r : y.r};
    }
    static ScalarPair selectGt(ScalarPair a, ScalarPair b, ScalarPair x, ScalarPair y) {
        return {a.l > b.l ? x.l : y.l, a.r > b.r ? x.r : y.r};
    }
};

#if VEXAL_HAVE_SSE2
struct SsePair {
    __m128d v;

    static SsePair load(const double* p) { return {_mm_load_pd(p)}; }
    static SsePair make(double left, double right) { return {_mm_set_pd(right, left)}; }
    static SsePair both(double x) { return {_mm_set1_pd(x)}; }
    void store(double* p) const { _mm_store_pd(p, v); }
    double left() const { return _mm_cvtsd_f64(v); }
    double right() const { return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v)); }

    friend SsePair operator+(SsePair a, SsePair b) { return {_mm_add_pd(a.v, b.v)}; }
    friend SsePair operator-(SsePair a, SsePair b) { return {_mm_sub_pd(a.v, b.v)}; }
    friend SsePair operator*(SsePair a, SsePair b) { return {_mm_mul_pd(a.v, b.v)}; }
    friend SsePair operator/(SsePair a, SsePair b) { return {_mm_div_pd(a.v, b.v)}; }
    friend SsePair abs(SsePair a) { return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)}; }
    // maxpd returns its second operand unless the first is greater.
    friend SsePair positivePart(SsePair d) { return {_mm_max_pd(d.v, _mm_setzero_pd())}; }
    friend SsePair exactMax(SsePair a, SsePair b) { return {_mm_max_pd(a.v, b.v)}; }
    friend SsePair exactMin(SsePair a, SsePair b) { return {_mm_min_pd(a.v, b.v)}; }
    static SsePair blend(__m128d mask, SsePair x, SsePair y) {
        return {_mm_or_pd(_mm_and_pd(mask, x.v), _mm_andnot_pd(mask, y.v))};
    }
    static SsePair selectGe(SsePair a, SsePair b, SsePair x, SsePair y) {
        return blend(_mm_cmpge_pd(a.v, b.v), x, y);
    }
    static SsePair selectGt(SsePair a, SsePair b, SsePair x, SsePair y) {
        return blend(_mm_cmpgt_pd(a.v, b.v), x, y);
    }
};
#endif

// The branch-free extrema on pairs, lane by lane, as Extremum.h has them.
template <class V>
inline V branchFreeMax(V a, V b) {
    return b + positivePart(a - b);
}

template <class V>
inline V branchFreeMin(V a, V b) {
    return a - positivePart(a - b);
}

}  // namespace vexal
