// The kernel's fast path: the same per-sample arithmetic, reorganised over
// chunks of up to kChunk frames. Stages with feedback (gain smoothing,
// leveller, trees, followers, meters, requantizer) run frame by frame; the
// stages without it (interpolator, follower maximum, gain computer, clip) run
// over the whole chunk, element by element, so the compiler can use the widest
// vectors the processor has. Every output bit equals the per-sample path's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KernelCommon.h"

namespace vexal {
namespace kernel {

constexpr int32_t kChunk = 64;

// Doubles of chunk scratch that EngineState reserves for this path.
constexpr size_t kBlockedScratchDoubles = 2 * kChunk * 24 + 2 * (kInterpRingSize + kChunk);

template <class Sample>
void runBlocked(EngineState& st, const BlockSettings& b, const Sample* inL, const Sample* inR,
                Sample* outL, Sample* outR, int32_t frames);

}  // namespace kernel
}  // namespace vexal
