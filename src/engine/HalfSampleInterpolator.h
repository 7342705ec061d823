// The 64-tap half-sample interpolator: estimates the signal half-way between
// the samples of age 31 and 32 of a 64-entry ring. The detector uses it on the
// levelled signal (Oversample), the output meter on the output (MeterOvs).
#pragma once

#include <cstdint>

#include "ChannelPair.h"

namespace vexal {

constexpr int32_t kInterpRingSize = 64;
constexpr int32_t kInterpHalfTaps = 32;

// w_j weighs the pair of samples at distance j on each side of the midpoint.
// Built once per instance from the stored halves; taps sum to 0.99999973.
struct HalfSampleCoefficients {
    alignas(16) double w[kInterpHalfTaps];
    HalfSampleCoefficients();
};

// ring: 64 samples; newest: index of the sample just written (age 0).
// Returns Σ_j w_j · (x[age 31 − j] + x[age 32 + j]), accumulated in j order.
inline double interpolateHalfSample(const double* ring, int32_t newest,
                                    const HalfSampleCoefficients& c) {
    double sum = 0.0;
    for (int32_t j = 0; j < kInterpHalfTaps; ++j) {
        const double later = ring[(newest - (31 - j)) & (kInterpRingSize - 1)];
        const double earlier = ring[(newest - (32 + j)) & (kInterpRingSize - 1)];
        sum += c.w[j] * (later + earlier);
    }
    return sum;
}

// The same estimate on a ring of left/right pairs, both channels at once.
template <class V>
inline V interpolateHalfSample(const double* pairRing, int32_t newest,
                               const HalfSampleCoefficients& c) {
    V sum = V::both(0.0);
    for (int32_t j = 0; j < kInterpHalfTaps; ++j) {
        const V later = V::load(pairRing + 2 * ((newest - (31 - j)) & (kInterpRingSize - 1)));
        const V earlier = V::load(pairRing + 2 * ((newest - (32 + j)) & (kInterpRingSize - 1)));
        sum = sum + V::both(c.w[j]) * (later + earlier);
    }
    return sum;
}

}  // namespace vexal
