// The 19 noise-shaping coefficient sets a1..a12: types A, B and C for six
// sample rates, and the all-zero set for NoiseShape off. The quantization error
// reaches the output through NTF(z) = 1 + a1·z^-1 + ... + a12·z^-12.
#pragma once

#include <cstdint>

#include "EngineSettings.h"

namespace vexal {

class NoiseShapeSets {
public:
    static constexpr int kShapedSets = 18;
    static constexpr int kZeroSet = 18;

    // Fills the 18 shaped sets from the table and zeroes the last.
    void build();
    const double* zeroSet() const { return sets[kZeroSet]; }
    const double* set(int index) const { return sets[index]; }

    // The set for a NoiseShape step (0 off, 1..3 types A..C) at a rate, or
    // `current` when the rate has no sets of its own.
    const double* select(int32_t noiseShape, int32_t sampleRateHz, const double* current) const;

    // Index 0..5 of a rate that has its own sets, else -1.
    static int rateSlot(int32_t sampleRateHz);

private:
    alignas(16) double sets[kShapedSets + 1][kNoiseShapeTaps]{};
};

}  // namespace vexal
