#include "EnvelopeFollowers.h"

#include "EngineSettings.h"
#include "Extremum.h"

// Element-wise loops, built for several instruction sets; the loader picks the
// widest the processor has. Same operations per lane, same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VEXAL_WIDE __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VEXAL_WIDE
#endif

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

VEXAL_WIDE void foldFollowers(const double* __restrict lastStage, int32_t rowStride,
                              double* __restrict f, int32_t lanes) {
    for (int32_t e = 0; e < lanes; ++e) f[e] = 1.0;
    for (int32_t k = 0; k < kFollowerCount; ++k) {
        const double* s2 = lastStage + k * rowStride;
        for (int32_t e = 0; e < lanes; ++e) f[e] = branchFreeMax(f[e], s2[e]);
    }
}

}  // namespace vexal
