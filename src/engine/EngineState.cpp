#include "EngineState.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "AlignedMemory.h"
#include "KernelBlocked.h"

namespace vexal {

namespace {

// Doubles of each carved buffer, every one a multiple of 8 (64 bytes).
constexpr size_t kDryDoubles = PairDelayLine::doublesFor(kDryCapacity);
constexpr size_t kAlignDoubles = PairDelayLine::doublesFor(kAlignCapacity);
constexpr size_t kInterpDoubles = PairDelayLine::doublesFor(kInterpRingSize);
constexpr size_t kLookAheadDoubles = PairDelayLine::doublesFor(kMaxLookAhead);
constexpr size_t kEnvelopeDoubles = PairDelayLine::doublesFor(kEnvelopeCapacity);
constexpr size_t kFollowerDoubles = 2 * kFollowerCount;
constexpr size_t kPeakTreeDoubles = SlidingMaxTree::doublesFor(kMaxLookAhead);
constexpr size_t kShapeTreeDoubles = SlidingMaxTree::doublesFor(kMaxSmoothLen);
constexpr size_t kConvolverDoubles = (BlockConvolver::kDoublesNeeded + 7) / 8 * 8;
constexpr size_t kScratchDoubles = (kernel::kBlockedScratchDoubles + 7) / 8 * 8;

constexpr size_t kTotalDoubles = kDryDoubles + kAlignDoubles + kInterpDoubles +
                                 kLookAheadDoubles + kEnvelopeDoubles + 2 * kFollowerDoubles +
                                 kPeakTreeDoubles + kShapeTreeDoubles + kConvolverDoubles +
                                 kScratchDoubles;

}  // namespace

size_t EngineState::heapBytes() { return sizeof(double) * kTotalDoubles; }

EngineState::EngineState() {
    memory = static_cast<double*>(alignedAllocate(64, heapBytes()));
    if (!memory) throw std::bad_alloc();
    double* p = memory;
    auto carve = [&p](size_t doubles) {
        double* start = p;
        p += doubles;
        return start;
    };
    dryDelay.attach(carve(kDryDoubles), kDryCapacity);
    alignDelay.attach(carve(kAlignDoubles), kAlignCapacity);
    interpRing.attach(carve(kInterpDoubles), kInterpRingSize);
    lookAheadDelay.attach(carve(kLookAheadDoubles), kMaxLookAhead);
    envelopeDelayLine.attach(carve(kEnvelopeDoubles), kEnvelopeCapacity);
    followerStage1 = carve(kFollowerDoubles);
    followerStage2 = carve(kFollowerDoubles);
    peakTree.attach(carve(kPeakTreeDoubles), kMaxLookAhead);
    shapeTree.attach(carve(kShapeTreeDoubles), kMaxSmoothLen);
    convolver.attach(carve(kConvolverDoubles), &twiddles);
    blockScratch = carve(kScratchDoubles);
    std::memset(memory, 0, heapBytes());
    clearBuffers();
}

EngineState::~EngineState() { alignedRelease(memory); }

void EngineState::reset(const EngineSettings& settings) {
    driveGainSmoothed = settings.driveGain;
    outputGainSmoothed = settings.outputGain;
    levellerLevel = kLevellerStart;
    for (int32_t i = 0; i < 2 * kFollowerCount; ++i) followerStage1[i] = followerStage2[i] = 0.0;
    requantizer.reset();
    meterTaps.reset();
    ditherRng.seed();
    clearBuffers();
}

void EngineState::clearBuffers() {
    dryDelay.clear();
    alignDelay.clear();
    interpRing.clear();
    lookAheadDelay.clear();
    envelopeDelayLine.clear();
    peakTree.clear();
    shapeTree.clear();
    peakPosition = shapePosition = 0;
    convolver.setVariant(kernelVariant);
    convolver.clear();
}

void EngineState::setSmoothKernel(const double* taps, int32_t n) { convolver.setKernel(taps, n); }

}  // namespace vexal
