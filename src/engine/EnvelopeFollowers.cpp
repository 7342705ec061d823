#include "EnvelopeFollowers.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VEXAL_HAVE_AVX512_PATH 1
#else
#define VEXAL_HAVE_AVX512_PATH 0
#endif

#include "EngineSettings.h"
#include "Extremum.h"

#include "WideLoops.h"

namespace vexal {

VEXAL_WIDE void followEnvelopes(double* __restrict s1, double* __restrict s2, double vL,
                                double vR, const double* __restrict attack,
                                const double* __restrict release, bool secondOrder) {
    for (int32_t j = 0; j < 2 * kFollowerCount; ++j) {
        const double x = (j & 1) ? vR : vL;
        const double coef = x >= s1[j] ? attack[j] : release[j];
        s1[j] = s1[j] + coef * (x - s1[j]);
    }
    if (secondOrder) {
        for (int32_t j = 0; j < 2 * kFollowerCount; ++j) {
            const double coef = s1[j] > s2[j] ? attack[j] : release[j];
            s2[j] = s2[j] + coef * (s1[j] - s2[j]);
        }
    } else {
        for (int32_t j = 0; j < 2 * kFollowerCount; ++j) s2[j] = s1[j];
    }
}

namespace {

#if VEXAL_HAVE_AVX512_PATH
// Eight pairs in two 8-lane registers (k 0..3, k 4..7); the same lane
// operations as followEnvelopes, so the same bits.
__attribute__((target("avx512f"))) void followOverAvx512(
    double* s1, double* s2, const double* v, int32_t frames, const double* attack,
    const double* release, bool secondOrder, double* lastStage, int32_t rowStride) {
    const __m512d attackLo = _mm512_loadu_pd(attack), attackHi = _mm512_loadu_pd(attack + 8);
    const __m512d releaseLo = _mm512_loadu_pd(release), releaseHi = _mm512_loadu_pd(release + 8);
    __m512d firstLo = _mm512_loadu_pd(s1), firstHi = _mm512_loadu_pd(s1 + 8);
    __m512d secondLo = _mm512_loadu_pd(s2), secondHi = _mm512_loadu_pd(s2 + 8);
    for (int32_t i = 0; i < frames; ++i) {
        // (vL, vR) in every pair of lanes.
        const __m512d x =
            _mm512_mask_broadcastsd_pd(_mm512_set1_pd(v[2 * i]), 0xAA, _mm_set_sd(v[2 * i + 1]));
        const __m512d coefLo =
            _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, firstLo, _CMP_GE_OQ), releaseLo, attackLo);
        const __m512d coefHi =
            _mm512_mask_blend_pd(_mm512_cmp_pd_mask(x, firstHi, _CMP_GE_OQ), releaseHi, attackHi);
        firstLo = _mm512_add_pd(firstLo, _mm512_mul_pd(coefLo, _mm512_sub_pd(x, firstLo)));
        firstHi = _mm512_add_pd(firstHi, _mm512_mul_pd(coefHi, _mm512_sub_pd(x, firstHi)));
        if (secondOrder) {
            const __m512d c2Lo = _mm512_mask_blend_pd(
                _mm512_cmp_pd_mask(firstLo, secondLo, _CMP_GT_OQ), releaseLo, attackLo);
            const __m512d c2Hi = _mm512_mask_blend_pd(
                _mm512_cmp_pd_mask(firstHi, secondHi, _CMP_GT_OQ), releaseHi, attackHi);
            secondLo = _mm512_add_pd(secondLo, _mm512_mul_pd(c2Lo, _mm512_sub_pd(firstLo, secondLo)));
            secondHi = _mm512_add_pd(secondHi, _mm512_mul_pd(c2Hi, _mm512_sub_pd(firstHi, secondHi)));
        } else {
            secondLo = firstLo;
            secondHi = firstHi;
        }
        alignas(64) double lanes[16];
        _mm512_store_pd(lanes, secondLo);
        _mm512_store_pd(lanes + 8, secondHi);
        for (int32_t k = 0; k < kFollowerCount; ++k)
            _mm_storeu_pd(lastStage + k * rowStride + 2 * i, _mm_load_pd(lanes + 2 * k));
    }
    _mm512_storeu_pd(s1, firstLo);
    _mm512_storeu_pd(s1 + 8, firstHi);
    _mm512_storeu_pd(s2, secondLo);
    _mm512_storeu_pd(s2 + 8, secondHi);
}

const bool kAvx512 = __builtin_cpu_supports("avx512f");
#endif

}  // namespace

void followEnvelopesOver(double* s1, double* s2, const double* v, int32_t frames,
                         const double* attack, const double* release, bool secondOrder,
                         double* lastStage, int32_t rowStride) {
#if VEXAL_HAVE_AVX512_PATH
    if (kAvx512)
        return followOverAvx512(s1, s2, v, frames, attack, release, secondOrder, lastStage,
                                rowStride);
#endif
    for (int32_t i = 0; i < frames; ++i) {
        followEnvelopes(s1, s2, v[2 * i], v[2 * i + 1], attack, release, secondOrder);
        for (int32_t j = 0; j < 2 * kFollowerCount; ++j)
            lastStage[(j >> 1) * rowStride + 2 * i + (j & 1)] = s2[j];
    }
}

VEXAL_WIDE void foldFollowers(const double* __restrict lastStage, int32_t rowStride,
                              double* __restrict f, int32_t lanes) {
    for (int32_t e = 0; e < lanes; ++e) f[e] = 1.0;
    for (int32_t k = 0; k < kFollowerCount; ++k) {
        const double* s2 = lastStage + k * rowStride;
        for (int32_t e = 0; e < lanes; ++e) f[e] = branchFreeMax(f[e], s2[e]);
    }
}

}  // namespace vexal
