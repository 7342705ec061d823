// Pieces shared by every kernel variant: the per-block settings, input
// acceptance, delay-line steps and one definition of each signal step.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "ChannelPair.h"
#include "DspMath.h"
#include "EngineSettings.h"
#include "EngineState.h"

namespace vexal {
namespace kernel {

// Beyond this magnitude a sample is a fault, not a signal (2000 dB above full
// scale): it is clamped so that no square, sum or transform can overflow.
constexpr double kInputLimit = 1e100;

// NaN and infinities are taken as 0; finite faults beyond ±1e100 are clamped.
// Every finite single-precision sample lies within the limit, so for those
// the first test only has to tell finite from not.
template <class Sample>
inline double acceptInput(Sample sample) {
    const double x = static_cast<double>(sample);
    const double a = std::fabs(x);
    if (a <= (sizeof(Sample) < sizeof(double) ? DBL_MAX : kInputLimit)) return x;
    return a <= DBL_MAX ? std::copysign(kInputLimit, x) : 0.0;
}

// The settings as they stand at the start of the block.
struct BlockSettings {
    double driveGain, outputTarget, smoothCoef;
    double levellerThreshold, levellerCoef;
    bool levellerOff;
    bool oversample, secondOrder;
    double link, oneMinusLink;
    double transientMix, oneMinusTransient;
    double attackCoef[kFollowerCount], releaseCoef[kFollowerCount];
    // The same coefficients for the followers as left/right pairs, k-major.
    alignas(64) double attackPairs[2 * kFollowerCount];
    alignas(64) double releasePairs[2 * kFollowerCount];
    bool powerOn;
    int32_t grShowMask;
    double inputMeterGain;
    bool meterOversample;
    double rmsCoef;
    bool quantizeOn, autoBlackOn;
    double quantScale, autoBlackCoef;
    const double* noiseShapeSet;
    int32_t lookAhead, smoothLen, envelopeDelay;
};

inline BlockSettings readSettings(const EngineSettings& s, const EngineState& state) {
    BlockSettings b;
    b.driveGain = s.driveGain;
    b.outputTarget = s.autoOutput ? 1.0 / b.driveGain : s.outputGain.load();
    b.smoothCoef = s.smoothCoef;
    b.levellerThreshold = s.levellerThreshold;
    b.levellerCoef = s.levellerCoef;
    b.levellerOff = s.levellerRaw.load() == 1.0f;
    b.oversample = s.oversampleOn != 0;
    b.secondOrder = s.detectorOrder != 0;
    b.link = s.linkAmount;
    b.oneMinusLink = 1.0 - b.link;
    b.transientMix = s.transientMix;
    b.oneMinusTransient = 1.0 - b.transientMix;
    for (int k = 0; k < kFollowerCount; ++k) {
        b.attackCoef[k] = s.attackCoef[k];
        b.releaseCoef[k] = s.releaseCoef[k];
        b.attackPairs[2 * k] = b.attackPairs[2 * k + 1] = b.attackCoef[k];
        b.releasePairs[2 * k] = b.releasePairs[2 * k + 1] = b.releaseCoef[k];
    }
    b.powerOn = s.powerGain.load() != 0.0;
    b.grShowMask = s.grShowMask;
    b.inputMeterGain = s.inputMeterPre ? 1.0 : state.driveGainSmoothed;
    b.meterOversample = s.meterOversample != 0;
    b.rmsCoef = s.rmsCoef;
    b.quantizeOn = s.quantizeOn != 0;
    b.autoBlackOn = s.autoBlackOn != 0;
    const int32_t bits = s.bitsIndex;
    b.quantScale = bits == 0 ? 128.0 : (bits == 1 ? 32768.0 : 8388608.0);
    b.autoBlackCoef = s.autoBlackCoef;
    b.noiseShapeSet = s.noiseShapeSet;
    b.lookAhead = s.lookAhead;
    b.smoothLen = s.smoothLen;
    b.envelopeDelay = s.envelopeDelay;
    return b;
}

// Window widths for this block. Lengths change only under the process lock
// together with a clear; a position beyond a length could only come from a
// caller's mistake and restarts at 0.
inline void prepareBlock(EngineState& st, const BlockSettings& b) {
    st.peakTree.setWidth(b.lookAhead);
    st.shapeTree.setWidth(b.smoothLen);
    st.dryDelay.keepWithin(b.lookAhead + kAlignDelay);
    st.lookAheadDelay.keepWithin(b.lookAhead);
    st.envelopeDelayLine.keepWithin(b.envelopeDelay);
    if (st.peakPosition >= b.lookAhead) st.peakPosition = 0;
    if (st.shapePosition >= b.smoothLen) st.shapePosition = 0;
}

// Each signal step below is written once: the per-sample reference and the
// chunked variants call the same function per lane, so they round alike.

// One step of a smoothed gain toward its target, kept out of denormal range.
inline double smoothGainStep(double smoothed, double target, double coef) {
    return denormalGuard(smoothed + (target - smoothed) * coef);
}

// The leveller's input p: the larger channel magnitude of the driven pair,
// floored at 1e-5.
inline double levellerInput(double xL, double xR) {
    const double larger = branchFreeMaxLane(std::fabs(xL), std::fabs(xR));
    return kDetectorFloor + branchFreeMaxLane(larger - kDetectorFloor, 0.0);
}

// One leveller step: the shared level follows p (1000 ms); the gain pulls it
// back to the threshold, or is 1 when under it or switched off.
inline double levellerStep(double& level, double p, const BlockSettings& b) {
    level = level + (p - level) * b.levellerCoef;
    double gain = 1.0;
    if (!(level <= b.levellerThreshold || b.levellerOff)) gain = b.levellerThreshold / level;
    return gain;
}

// The detector's magnitude: |a31|, or with Oversample 1.001 times the larger
// of it and the half-sample estimate's magnitude.
inline double detectorMagnitude(double a31, double estimate, bool oversample) {
    if (!oversample) return std::fabs(a31);
    return 1.001 * branchFreeMaxLane(std::fabs(estimate), std::fabs(a31));
}

// The leaf value h pushed into both windows: the magnitude floored at 1e-5.
inline double leafValue(double magnitude) { return branchFreeMaxLane(magnitude, kDetectorFloor); }

// The followers' inputs (vL, vR) from the two window peaks and L/R Link; T
// is a double or a vector of them (lane by lane).
template <class T>
inline void linkPeaks(T peakL, T peakR, const BlockSettings& b, T& vL, T& vR) {
    T linked;
    if constexpr (std::is_same_v<T, double>)
        linked = branchFreeMaxLane(peakL, peakR);
    else
        linked = branchFreeMaxLanes(peakL, peakR);
    vL = b.link * linked + b.oneMinusLink * peakL;
    vR = b.link * linked + b.oneMinusLink * peakR;
}

// The gains 1 / max(f, envelope) and 1 / max(1, envelope) blended by
// Transient (tau; rest = 1 − tau).
inline double blendGains(double gFull, double gBrick, double tau, double rest) {
    return rest * gFull + tau * gBrick;
}

// The limiter gain g from the follower envelope f and the shaped envelope.
inline double limiterGain(double f, double envelope, double tau, double rest) {
    const double gFull = 1.0 / branchFreeMaxLane(f, envelope);
    const double gBrick = 1.0 / branchFreeMaxLane(1.0, envelope);
    return blendGains(gFull, gBrick, tau, rest);
}

// The meter's release component of the gain.
inline double releaseComponent(double f, double tau, double rest) { return tau + rest / f; }

// The gain-reduction meter's reading: the product of the components that
// AttShow selects (an unselected one counts as 1).
inline double displayedGain(int32_t mask, double release, double peak, double leveller) {
    double g = 1.0;
    if (mask & 1) g = g * release;
    if (mask & 2) g = g * peak;
    if (mask & 4) g = g * leveller;
    return g;
}

// The final clip to [−1, 1], both channels. Its rounding can leave 1 + 2^-52
// for values just above 1: such a result (and only such) is set to ±1, so no
// sample above magnitude 1 leaves. The bounds are chosen as clipped > 1 ? 1 :
// (−1 > clipped ? −1 : clipped).
template <class V>
inline V clipToUnit(V x) {
    const V one = V::both(1.0);
    const V clipped = V::both(0.5) * (abs(x + one) - abs(x - one));
    return exactMax(V::both(-1.0), exactMin(one, clipped));
}

// The shaped envelope b: the short window's maxima through the convolver and
// the envelope delay.
template <class V>
inline V shapedEnvelope(EngineState& st, const BlockSettings& b, V shapeRoot) {
    const V smoothed = st.convolver.push(shapeRoot);
    return st.envelopeDelayLine.exchange(b.envelopeDelay, smoothed);
}

}  // namespace kernel
}  // namespace vexal
