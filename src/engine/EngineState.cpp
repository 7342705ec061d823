#include "EngineState.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace vexal {

namespace {
constexpr int32_t kDryCapacity = kMaxLookAhead + kAlignDelay + 1;
}

EngineState::EngineState() {
    dryDelay = static_cast<double*>(std::aligned_alloc(16, sizeof(double) * 2 * kDryCapacity));
    if (!dryDelay) throw std::bad_alloc();
    clearBuffers();
}

EngineState::~EngineState() { std::free(dryDelay); }

void EngineState::reset(const EngineSettings& settings) {
    driveGainSmoothed = settings.driveGain;
    outputGainSmoothed = settings.outputGain;
    dryIndex = 0;
    ditherRng.seed();
    clearBuffers();
}

void EngineState::clearBuffers() {
    std::memset(dryDelay, 0, sizeof(double) * 2 * kDryCapacity);
}

void EngineState::setSmoothKernel(const double*, int32_t) {}

}  // namespace vexal
