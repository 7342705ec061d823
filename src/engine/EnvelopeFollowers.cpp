#include "EnvelopeFollowers.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VEXAL_HAVE_AVX512_PATH 1
#else
#define VEXAL_HAVE_AVX512_PATH 0
#endif

#include "EngineSettings.h"
#include "Extremum.h"
#include "FollowerBankAvx512.h"

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
    FollowerBankAvx512 bank;
    bank.load(attack, release, s1, s2);
    for (int32_t i = 0; i < frames; ++i)
        bank.step(v[2 * i], v[2 * i + 1], secondOrder, lastStage + 2 * i, rowStride);
    bank.store(s1, s2);
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
        for (int32_t e = 0; e < lanes; ++e) f[e] = branchFreeMaxLane(f[e], s2[e]);
    }
}

}  // namespace vexal
