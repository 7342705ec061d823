// Everything the kernel carries from one block to the next. Allocated once, at
// construction, for the largest rate class and TransShape: one 64-byte-aligned
// block carved into the named buffers below; never reallocated.
//
// Layout: every per-channel quantity is a left/right pair of doubles (left at
// the even index), so one two-lane operation serves both channels.
#pragma once

#include <cstdint>

#include "BlockConvolver.h"
#include "DitherRng.h"
#include "EngineSettings.h"
#include "HalfSampleInterpolator.h"
#include "KernelVariant.h"
#include "MeterTaps.h"
#include "PairDelayLine.h"
#include "Requantizer.h"
#include "SlidingMaxTree.h"

namespace vexal {

constexpr int32_t kDryCapacity = kMaxLookAhead + kAlignDelay + 1;  // 544
constexpr int32_t kAlignCapacity = kAlignDelay + 1;                // 32
constexpr int32_t kEnvelopeCapacity = kMaxLookAhead;               // 512

class EngineState {
public:
    EngineState();
    ~EngineState();
    EngineState(const EngineState&) = delete;
    EngineState& operator=(const EngineState&) = delete;

    // Engine reset: smoothed gains to their targets, leveller and followers to
    // their start values, requantizer and meter taps reset, generator seeds
    // reloaded, every buffer cleared.
    void reset(const EngineSettings& settings);
    // Zero every delay line, ring and block buffer and their positions; trees
    // get their sentinel. Sizes: the capacity, so any rate class is covered.
    void clearBuffers();
    // Hand the smoothing kernel's taps to the envelope convolver (n = 8..256).
    void setSmoothKernel(const double* taps, int32_t n);

    // Bytes held on the heap by this state (the one allocation).
    static size_t heapBytes();

    // --- state (legend in Kernel.cpp) -------------------------------------
    double driveGainSmoothed = 1.0;
    double outputGainSmoothed = 1.0;
    double levellerLevel = kLevellerStart;

    PairDelayLine dryDelay;           // kDryCapacity pairs
    PairDelayLine alignDelay;         // kAlignCapacity pairs (31 used)
    PairDelayLine interpRing;         // kInterpRingSize pairs
    PairDelayLine lookAheadDelay;     // kMaxLookAhead pairs
    PairDelayLine envelopeDelayLine;  // kEnvelopeCapacity pairs
    double* followerStage1 = nullptr;   // kFollowerCount pairs
    double* followerStage2 = nullptr;   // kFollowerCount pairs
    double* blockScratch = nullptr;  // chunk buffers of the fast path (KernelBlocked.h)

    SlidingMaxTree peakTree;   // both channels, width lookAhead
    SlidingMaxTree shapeTree;  // both channels, width smoothLen
    int32_t peakPosition = 0;
    int32_t shapePosition = 0;

    BlockConvolver convolver;
    Requantizer requantizer;
    MeterTaps meterTaps;
    DitherRng ditherRng;  // shared by the requantizer and the calibration generator
    HalfSampleCoefficients interpCoef;
    FftTwiddles twiddles;

    // The kernel build that runs this state (KernelVariant.h); all give the
    // same bits. Changed only before a reset: the window maxima of the
    // portable path keep less state than those of the chunked ones.
    KernelVariant kernelVariant = selectedKernelVariant();
    // Test seam: when set, receives per sample the pair leaving the gain stage
    // (limiter gain × delayed audio, before the output gain).
    double* gainStageProbe = nullptr;

    static constexpr double kLevellerStart = 1e-5;

private:
    double* memory = nullptr;
};

}  // namespace vexal
