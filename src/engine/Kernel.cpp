// The limiter kernel: one host block through every stage of the signal path.
//
// State legend (EngineState; pairs are left/right, updated once per sample):
//   driveGainSmoothed, outputGainSmoothed   30 Hz one-pole copies of the gains
//   dryDelay[lookAhead + 31]     raw input: the bypass signal and the input meter
//   levellerLevel                shared one-pole (1000 ms) of the driven peak, ≥ 1e-5
//   alignDelay[31], interpRing[64]   levelled audio; a31 leaves the former, the
//                                    latter feeds the half-sample estimate
//   lookAheadDelay[lookAhead]    a31 delayed once more: the audio that gets the gain
//   peakTree, shapeTree          per-channel window maxima of the detector leaves
//                                (widths lookAhead and smoothLen)
//   followerStage1/2[8]          envelope followers (attack 32 … 1 ms)
//   convolver, envelopeDelayLine shaped brickwall envelope b
//   requantizer, meterTaps       the requantizer and meter holds
#include "Kernel.h"

#include "ChannelPair.h"
#include "DspMath.h"
#include "KernelBlocked.h"
#include "KernelCommon.h"

namespace vexal {

namespace {

using namespace kernel;

// The eight followers of both channels; returns f = max(1, s2[0], …, s2[7]).
template <class V>
inline V runFollowers(double* stage1, double* stage2, V x, const BlockSettings& b) {
    V f = V::both(1.0);
    for (int k = 0; k < kFollowerCount; ++k) {
        const V attack = V::both(b.attackCoef[k]);
        const V release = V::both(b.releaseCoef[k]);
        V s1 = V::load(stage1 + 2 * k);
        s1 = s1 + V::selectGe(x, s1, attack, release) * (x - s1);
        s1.store(stage1 + 2 * k);
        V s2 = s1;
        if (b.secondOrder) {
            s2 = V::load(stage2 + 2 * k);
            s2 = s2 + V::selectGt(s1, s2, attack, release) * (s1 - s2);
        }
        s2.store(stage2 + 2 * k);
        f = branchFreeMax(f, s2);
    }
    return f;
}

template <class V, class Sample>
void runKernel(EngineState& st, const BlockSettings& b, const Sample* inL, const Sample* inR,
               Sample* outL, Sample* outR, int32_t frames) {
    const int32_t dryLength = b.lookAhead + kAlignDelay;
    double driveSmoothed = st.driveGainSmoothed;
    double outputSmoothed = st.outputGainSmoothed;
    double level = st.levellerLevel;
    const V floor = V::both(kDetectorFloor);

    for (int32_t i = 0; i < frames; ++i) {
        // 1. Gain smoothing.
        driveSmoothed = denormalGuard(driveSmoothed + (b.driveGain - driveSmoothed) * b.smoothCoef);
        outputSmoothed =
            denormalGuard(outputSmoothed + (b.outputTarget - outputSmoothed) * b.smoothCoef);

        // 2. Dry path.
        const V input = V::make(acceptInput(static_cast<double>(inL[i])),
                                acceptInput(static_cast<double>(inR[i])));
        const V dry = exchange(st.dryDelay, st.dryIndex, dryLength, input);

        // 3. Drive.
        const V x = input * V::both(driveSmoothed);

        // 4. Leveller: one gain from the larger channel magnitude.
        const V ax = abs(x);
        const double peak = branchFreeMax(ax.left(), ax.right());
        const double p = kDetectorFloor + branchFreeMax(peak - kDetectorFloor, 0.0);
        level = level + (p - level) * b.levellerCoef;
        double levellerGain = 1.0;
        if (!(level <= b.levellerThreshold || b.levellerOff)) levellerGain = b.levellerThreshold / level;
        const V y = x * V::both(levellerGain);

        // 5. Alignment and the interpolator's ring.
        const V a31 = exchange(st.alignDelay, st.alignIndex, kAlignDelay, y);
        const int32_t newest = st.interpIndex;
        y.store(st.interpRing + 2 * newest);
        st.interpIndex = (newest + 1) & (kInterpRingSize - 1);

        // 6. Detector value (its magnitude) and the leaf value h.
        V magnitude = abs(a31);
        if (b.oversample) {
            const V m = interpolateHalfSample<V>(st.interpRing, newest, st.interpCoef);
            magnitude = V::both(1.001) * branchFreeMax(abs(m), abs(a31));
        }
        const V h = branchFreeMax(magnitude, floor);

        // 7. Look-ahead delay.
        const V aD = exchange(st.lookAheadDelay, st.lookAheadIndex, b.lookAhead, a31);

        // 8. Peak window and link.
        const double peakL = st.peakTree[0].push(h.left(), st.peakPosition);
        const double peakR = st.peakTree[1].push(h.right(), st.peakPosition);
        if (++st.peakPosition >= b.lookAhead) st.peakPosition = 0;
        const double linked = branchFreeMax(peakL, peakR);
        const V v = V::make(b.link * linked + b.oneMinusLink * peakL,
                            b.link * linked + b.oneMinusLink * peakR);

        // 9. Envelope followers.
        const V f = runFollowers(st.followerStage1, st.followerStage2, v, b);

        // 10. Shaped envelope.
        const double shapeL = st.shapeTree[0].push(h.left(), st.shapePosition);
        const double shapeR = st.shapeTree[1].push(h.right(), st.shapePosition);
        if (++st.shapePosition >= b.smoothLen) st.shapePosition = 0;
        const V smoothed = st.convolver.push(V::make(shapeL, shapeR));
        const V envelope =
            exchange(st.envelopeDelayLine, st.envelopeIndex, b.envelopeDelay, smoothed);

        // 11. Gain computer.
        const V one = V::both(1.0);
        const V gFull = one / branchFreeMax(f, envelope);
        const V gBrick = one / branchFreeMax(one, envelope);
        const V g = V::both(b.oneMinusTransient) * gFull + V::both(b.transientMix) * gBrick;

        // 12. Gain application, or the bypass.
        double oL, oR, shownL = 1.0, shownR = 1.0;
        if (b.powerOn) {
            const V limited = g * aD;
            if (st.gainStageProbe) limited.store(st.gainStageProbe + 2 * i);
            const V out = limited * V::both(outputSmoothed);
            oL = out.left();
            oR = out.right();
            const V release = V::both(b.transientMix) + V::both(b.oneMinusTransient) / f;
            const V peakPart = g / release;
            shownL = displayedGain(b.grShowMask, release.left(), peakPart.left(), levellerGain);
            shownR = displayedGain(b.grShowMask, release.right(), peakPart.right(), levellerGain);
        } else {
            oL = dry.left();
            oR = dry.right();
        }

        // 13. Meter taps.
        const V metered = dry * V::both(b.inputMeterGain);
        st.meterTaps.tap(metered.left(), metered.right(), shownL, shownR, oL, oR,
                         b.meterOversample, b.rmsCoef, st.interpCoef);

        // 14. Requantizer.
        if (b.quantizeOn)
            st.requantizer.process(oL, oR, st.ditherRng, b.noiseShapeSet, b.quantScale,
                                   b.autoBlackOn, b.autoBlackCoef);

        // 15. Final clip, right stored first.
        const V out = V::make(oL, oR);
        const V clipped = boundToUnit(V::both(0.5) * (abs(out + one) - abs(out - one)));
        outR[i] = static_cast<Sample>(clipped.right());
        outL[i] = static_cast<Sample>(clipped.left());
    }

    st.driveGainSmoothed = driveSmoothed;
    st.outputGainSmoothed = outputSmoothed;
    st.levellerLevel = level;
}

}  // namespace

bool vectorKernelsAvailable() { return VEXAL_HAVE_SSE2 != 0; }

template <class Sample>
void processLimiter(EngineState& state, const EngineSettings& settings, MeterValues& meters,
                    const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                    int32_t sampleFrames) {
    if (sampleFrames <= 0) return;
    ScopedFlushDenormals flush;
    const BlockSettings block = readSettings(settings, state);

    MeterTaps& taps = state.meterTaps;
    taps.loadFrom(meters);
    if (meters.metersRead.value.exchange(false, std::memory_order_relaxed)) taps.restartHolds();
    if (meters.gainHoldReset.value.exchange(false, std::memory_order_relaxed))
        taps.restartGainHolds();
    if (settings.noiseShapeRingReset.value.exchange(false, std::memory_order_relaxed))
        state.requantizer.restartRingIndex();

    prepareBlock(state, block);
#if VEXAL_HAVE_SSE2
    if (state.useVectorKernels)
        runBlocked(state, block, inL, inR, outL, outR, sampleFrames);
    else
#endif
        runKernel<ScalarPair>(state, block, inL, inR, outL, outR, sampleFrames);

    taps.publishTo(meters);
}

template void processLimiter<float>(EngineState&, const EngineSettings&, MeterValues&,
                                    const float*, const float*, float*, float*, int32_t);
template void processLimiter<double>(EngineState&, const EngineSettings&, MeterValues&,
                                     const double*, const double*, double*, double*, int32_t);

}  // namespace vexal
