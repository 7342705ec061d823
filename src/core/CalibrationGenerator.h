// Pink calibration noise at the reference level of the selected K-scale.
#pragma once

#include <cstdint>

#include "../engine/DitherRng.h"
#include "../engine/EngineSettings.h"

namespace vexal {

class CalibrationGenerator {
public:
    // Rows, sums, counter and temporaries to 0 (the generator's part of the engine reset).
    void reset();

    // Writes the outputs only; outR is null when the right output is not connected.
    template <class Sample>
    void generate(DitherRng& rng, const EngineSettings& settings, MeterValues& meters, Sample* outL,
                  Sample* outR, int32_t sampleFrames);
};

}  // namespace vexal
