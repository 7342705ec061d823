// The limiter kernel: one host block through every stage of the signal path.
//
// State legend (EngineState; pairs are left/right, updated once per sample):
//   driveGainSmoothed, outputGainSmoothed   30 Hz one-pole copies of the gains
//   dryDelay[lookAhead + 31]     raw input: the bypass signal and the input meter
//   levellerLevel                shared one-pole (1000 ms) of the driven peak, ≥ 1e-5
//   alignDelay[31], interpRing[64]   levelled audio; a31 leaves the former, the
//                                    latter feeds the half-sample estimate
//   lookAheadDelay[lookAhead]    a31 delayed once more: the audio that gets the gain
//   peakTree, shapeTree          window maxima of the detector leaves, both
//                                channels (widths lookAhead and smoothLen)
//   followerStage1/2[8]          envelope followers (attack 32 … 1 ms)
//   convolver, envelopeDelayLine shaped brickwall envelope b
//   requantizer, meterTaps       the requantizer and meter holds
#include "Kernel.h"

#include "ChannelPair.h"
#include "DspMath.h"
#include "EnvelopeFollowers.h"
#include "FloatingPointScope.h"
#include "HalfSampleInterpolator.h"
#include "KernelBlocked.h"
#include "KernelCommon.h"

namespace vexal {

namespace {

using namespace kernel;

// The per-sample reference: every stage in the order above, each channel on
// its own, the window maxima by a plain scan. The chunked variants must give
// the same bits.
template <class Sample>
void runReference(EngineState& st, const BlockSettings& b, const Sample* inL, const Sample* inR,
                  Sample* outL, Sample* outR, int32_t frames) {
    using V = ScalarPair;
    const int32_t dryLength = b.lookAhead + kAlignDelay;
    double driveSmoothed = st.driveGainSmoothed;
    double outputSmoothed = st.outputGainSmoothed;
    double level = st.levellerLevel;

    for (int32_t i = 0; i < frames; ++i) {
        // 1. Gain smoothing.
        driveSmoothed = smoothGainStep(driveSmoothed, b.driveGain, b.smoothCoef);
        outputSmoothed = smoothGainStep(outputSmoothed, b.outputTarget, b.smoothCoef);

        // 2. Dry path.
        const V input = V::make(acceptInput(static_cast<double>(inL[i])),
                                acceptInput(static_cast<double>(inR[i])));
        const V dry = st.dryDelay.exchange(dryLength, input);

        // 3. Drive.
        const V x = input * V::both(driveSmoothed);

        // 4. Leveller: one gain from the larger channel magnitude.
        const double levellerGain = levellerStep(level, levellerInput(x.l, x.r), b);
        const V y = x * V::both(levellerGain);

        // 5. Alignment and the interpolator's ring.
        const V a31 = st.alignDelay.exchange(kAlignDelay, y);
        const int32_t newest = st.interpRing.index;
        y.store(st.interpRing.pairs + 2 * newest);
        st.interpRing.index = (newest + 1) & (kInterpRingSize - 1);

        // 6. Detector value and the leaf value h.
        V estimate = V::both(0.0);
        if (b.oversample) estimate = interpolateHalfSample<V>(st.interpRing.pairs, newest, st.interpCoef);
        const V h = V::make(leafValue(detectorMagnitude(a31.l, estimate.l, b.oversample)),
                            leafValue(detectorMagnitude(a31.r, estimate.r, b.oversample)));

        // 7. Look-ahead delay.
        const V aD = st.lookAheadDelay.exchange(b.lookAhead, a31);

        // 8. Peak window and link.
        const V peak = st.peakTree.push(h, st.peakPosition);
        if (++st.peakPosition >= b.lookAhead) st.peakPosition = 0;
        double vL, vR;
        linkPeaks(peak.l, peak.r, b, vL, vR);

        // 9. Envelope followers and their maximum f.
        followEnvelopes(st.followerStage1, st.followerStage2, vL, vR, b.attackPairs,
                        b.releasePairs, b.secondOrder);
        double f[2];
        foldFollowers(st.followerStage2, 2, f, 2);

        // 10. Shaped envelope.
        const V shape = st.shapeTree.push(h, st.shapePosition);
        if (++st.shapePosition >= b.smoothLen) st.shapePosition = 0;
        const V envelope = shapedEnvelope(st, b, shape);

        // 11. Gain computer.
        const double tau = b.transientMix, rest = b.oneMinusTransient;
        const V g = V::make(limiterGain(f[0], envelope.l, tau, rest),
                            limiterGain(f[1], envelope.r, tau, rest));

        // 12. Gain application, or the bypass.
        V out = dry, shown = V::both(1.0);
        if (b.powerOn) {
            const V limited = g * aD;
            if (st.gainStageProbe) limited.store(st.gainStageProbe + 2 * i);
            out = limited * V::both(outputSmoothed);
            const V release = V::make(releaseComponent(f[0], tau, rest), releaseComponent(f[1], tau, rest));
            const V peakPart = g / release;
            shown = V::make(displayedGain(b.grShowMask, release.l, peakPart.l, levellerGain),
                            displayedGain(b.grShowMask, release.r, peakPart.r, levellerGain));
        }

        // 13. Meter taps.
        const V metered = dry * V::both(b.inputMeterGain);
        st.meterTaps.tap(metered.l, metered.r, shown.l, shown.r, out.l, out.r, b.meterOversample,
                         b.rmsCoef, st.interpCoef);

        // 14. Requantizer.
        if (b.quantizeOn)
            st.requantizer.process(out.l, out.r, st.ditherRng, b.noiseShapeSet, b.quantScale,
                                   b.autoBlackOn, b.autoBlackCoef);

        // 15. Final clip, right stored first.
        const V clipped = clipToUnit(out);
        outR[i] = static_cast<Sample>(clipped.right());
        outL[i] = static_cast<Sample>(clipped.left());
    }

    st.driveGainSmoothed = driveSmoothed;
    st.outputGainSmoothed = outputSmoothed;
    st.levellerLevel = level;
}

}  // namespace

template <class Sample>
void processLimiter(EngineState& state, const EngineSettings& settings, MeterValues& meters,
                    const Sample* inL, const Sample* inR, Sample* outL, Sample* outR,
                    int32_t sampleFrames) {
    if (sampleFrames <= 0) return;
    const FloatingPointScope flushing(FloatingPointScope::flushSubnormals);
    const BlockSettings block = readSettings(settings, state);

    MeterTaps& taps = state.meterTaps;
    taps.loadFrom(meters);
    if (meters.metersRead.value.exchange(false, std::memory_order_relaxed)) taps.restartHolds();
    if (meters.gainHoldReset.value.exchange(false, std::memory_order_relaxed))
        taps.restartGainHolds();
    if (settings.noiseShapeRingReset.value.exchange(false, std::memory_order_relaxed))
        state.requantizer.restartRingIndex();

    prepareBlock(state, block);
    if (state.kernelVariant == KernelVariant::portable)
        runReference(state, block, inL, inR, outL, outR, sampleFrames);
    else
        runBlocked(state, block, inL, inR, outL, outR, sampleFrames);

    taps.publishTo(meters);
}

template void processLimiter<float>(EngineState&, const EngineSettings&, MeterValues&,
                                    const float*, const float*, float*, float*, int32_t);
template void processLimiter<double>(EngineState&, const EngineSettings&, MeterValues&,
                                     const double*, const double*, double*, double*, int32_t);

}  // namespace vexal
