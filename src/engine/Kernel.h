// The limiter kernel: one host block through every stage of the signal path.
#pragma once

#include <cstdint>

#include "EngineSettings.h"
#include "EngineState.h"

namespace vexal {

// The channel buffers as the process entry selected them: inR may equal inL
// (mono host) and outR may equal outL (single output; right is stored first,
// so the left result remains). Runs the state's kernelVariant. Called with
// processLock held.
template <class Sample>
void processLimiter(EngineState& state, const EngineSettings& settings, MeterValues& meters,
                    const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                    int32_t sampleFrames);

}  // namespace vexal
