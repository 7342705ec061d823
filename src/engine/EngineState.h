// Everything the kernel carries from one block to the next. Allocated once, at
// construction, for the largest rate class; never reallocated.
#pragma once

#include <cstdint>

#include "DitherRng.h"
#include "EngineSettings.h"

namespace vexal {

class EngineState {
public:
    EngineState();
    ~EngineState();
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // Engine reset: smoothed gains to their targets, every ring, tree, follower
    // and filter history cleared, generator seeds reloaded.
    void reset(const EngineSettings& settings);
    // Zero every delay line, ring and block buffer; trees get their sentinel.
    void clearBuffers();
    // Hand the smoothing kernel's taps to the envelope convolver (n = 8..256).
    void setSmoothKernel(const double* taps, int32_t n);

    // State read by the kernel (see Kernel.cpp for the legend).
    double driveGainSmoothed = 1.0;
    double outputGainSmoothed = 1.0;
    double* dryDelay = nullptr;  // 2 × (kMaxLookAhead + kAlignDelay + 1)
    int32_t dryIndex = 0;
    DitherRng ditherRng;
};

}  // namespace vexal
