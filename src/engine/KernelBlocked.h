// The kernel's chunked variants (SSE2, AVX2, AVX-512): the reference's
// arithmetic, reorganised over chunks of up to kChunk frames. Stages with
// feedback (gain smoothing, leveller, window maxima, followers, meters,
// requantizer) run frame by frame; the stages without it (interpolator,
// leaves, follower maximum, gain computer, clip) run over the whole chunk,
// element by element, vectorized for the variant's instruction set. Every
// output bit equals the reference's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "KernelCommon.h"

namespace vexal {
namespace kernel {

constexpr int32_t kChunk = 64;

// Doubles of chunk scratch that EngineState reserves for this path: 18
// buffers of a pair per frame, two of one per frame (the drive and the
// leveller's input) and the levelled audio with its history.
constexpr size_t kBlockedScratchDoubles = 2 * kChunk * 19 + 2 * (kInterpRingSize + kChunk);

// Runs st.kernelVariant (any but portable).
template <class Sample>
void runBlocked(EngineState& st, const BlockSettings& b, const Sample* inL, const Sample* inR,
                Sample* outL, Sample* outR, int32_t frames);

}  // namespace kernel
}  // namespace vexal
