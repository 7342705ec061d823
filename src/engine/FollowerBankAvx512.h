// The 16 follower lanes, eight (L, R) pairs in k order, held in two 8-lane
// AVX-512 registers (k 0..3 and k 4..7) across a run of frames. Each lane does
// what followEnvelopes does, in the same order, so the bits are the same.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

#include <cstdint>

#include "EngineSettings.h"

#define VEXAL_AVX512_INLINE __attribute__((target("avx512f"), always_inline)) inline

namespace vexal {

struct FollowerBankAvx512 {
    __m512d attackLo, attackHi, releaseLo, releaseHi;
    __m512d firstLo, firstHi, secondLo, secondHi;

    VEXAL_AVX512_INLINE void load(const double* attack, const double* release, const double* s1,
                                  const double* s2) {
        attackLo = _mm512_loadu_pd(attack);
        attackHi = _mm512_loadu_pd(attack + 8);
        releaseLo = _mm512_loadu_pd(release);
        releaseHi = _mm512_loadu_pd(release + 8);
        firstLo = _mm512_loadu_pd(s1);
        firstHi = _mm512_loadu_pd(s1 + 8);
        secondLo = _mm512_loadu_pd(s2);
        secondHi = _mm512_loadu_pd(s2 + 8);
    }

    VEXAL_AVX512_INLINE void store(double* s1, double* s2) const {
        _mm512_storeu_pd(s1, firstLo);
        _mm512_storeu_pd(s1 + 8, firstHi);
        _mm512_storeu_pd(s2, secondLo);
        _mm512_storeu_pd(s2 + 8, secondHi);
    }

    // One frame toward (vL, vR); the last stage of pair k goes to
    // lastStage + k·rowStride.
    VEXAL_AVX512_INLINE void step(double vL, double vR, bool secondOrder, double* lastStage,
                                  int32_t rowStride) {
        const __m512d x = _mm512_mask_broadcastsd_pd(_mm512_set1_pd(vL), 0xAA, _mm_set_sd(vR));
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
            _mm_storeu_pd(lastStage + k * rowStride, _mm_load_pd(lanes + 2 * k));
    }
};

}  // namespace vexal
#endif
