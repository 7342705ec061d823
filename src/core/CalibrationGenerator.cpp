#include "CalibrationGenerator.h"

namespace vexal {

void CalibrationGenerator::reset() {}

// Placeholder until the generator lands: silence.
template <class Sample>
void CalibrationGenerator::generate(DitherRng&, const EngineSettings&, MeterValues&, Sample* outL,
                                    Sample* outR, int32_t sampleFrames) {
    for (int32_t i = 0; i < sampleFrames; ++i) {
        if (outR) outR[i] = 0;
        outL[i] = 0;
    }
}

template void CalibrationGenerator::generate<float>(DitherRng&, const EngineSettings&,
                                                    MeterValues&, float*, float*, int32_t);
template void CalibrationGenerator::generate<double>(DitherRng&, const EngineSettings&,
                                                     MeterValues&, double*, double*, int32_t);

}  // namespace vexal
