// The eight envelope followers per channel (attack 32 … 1 ms, release from the
// Release time down to 2 ms) and the maximum over their last stages.
#pragma once

#include <cstdint>

namespace vexal {

// One frame for both channels. s1, s2: the two stages as 16 lanes, pairs
// (L, R) in k order; attack, release: the coefficients laid out the same way.
// Stage 1 moves toward x (vL or vR) with the attack coefficient when x ≥ s1,
// else with the release one; stage 2 follows stage 1 the same way with
// DetectorOrder II, or copies it with I.
void followEnvelopes(double* s1, double* s2, double vL, double vR, const double* attack,
                     const double* release, bool secondOrder);

// A run of frames: v holds the linked peaks (vL, vR) per frame; after each
// frame, s2[k] of channel c goes to lastStage[k·rowStride + 2·frame + c].
// The stages stay in registers across the run where the processor allows.
void followEnvelopesOver(double* s1, double* s2, const double* v, int32_t frames,
                         const double* attack, const double* release, bool secondOrder,
                         double* lastStage, int32_t rowStride);

// f = max(1, s2[0], …, s2[7]) folded in k order, for `lanes` lanes at once:
// row k of lastStage (stride `rowStride`) holds s2[k] of every lane.
void foldFollowers(const double* lastStage, int32_t rowStride, double* f, int32_t lanes);

}  // namespace vexal
