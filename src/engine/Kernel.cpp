#include "Kernel.h"

namespace vexal {

// Until the limiter stages land: the dry path, delayed by the reported latency.
template <class Sample>
void processLimiter(EngineState& state, const EngineSettings& settings, MeterValues&,
                    const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                    int32_t sampleFrames) {
    const int32_t length = settings.lookAhead.load() + kAlignDelay;
    double* dryL = state.dryDelay;
    double* dryR = state.dryDelay + kMaxLookAhead + kAlignDelay + 1;
    int32_t index = state.dryIndex;
    for (int32_t i = 0; i < sampleFrames; ++i) {
        const double xL = static_cast<double>(inL[i]);
        const double xR = static_cast<double>(inR[i]);
        const double dL = dryL[index];
        const double dR = dryR[index];
        dryL[index] = xL;
        dryR[index] = xR;
        if (++index >= length) index = 0;
        outR[i] = static_cast<Sample>(dR);
        outL[i] = static_cast<Sample>(dL);
    }
    state.dryIndex = index;
}

template void processLimiter<float>(EngineState&, const EngineSettings&, MeterValues&,
                                    const float*, const float*, float*, float*, int32_t);
template void processLimiter<double>(EngineState&, const EngineSettings&, MeterValues&,
                                     const double*, const double*, double*, double*, int32_t);

}  // namespace vexal
