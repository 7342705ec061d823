// Word-length reduction of the limited output: triangular dither, 12-tap error
// feedback through the selected noise-shaping set, truncation after adding the
// scale, and the auto-black fade to exact zero on silence.
//
// State legend (updated once per stereo sample while Quantize is on):
//   errorRing[c][k]  quantization errors of channel c, in full-scale units; the
//                    newest sits at ringIndex, older ones at lower indices (mod 12)
//   ringIndex        0..11, shared by both channels
//   autoBlackGain    0..1, shared; fades at autoBlackCoef while both channels are
//                    at or below 1e-8
#pragma once

#include <cmath>
#include <cstdint>

#include "DitherRng.h"
#include "EngineSettings.h"
#include "Extremum.h"

namespace vexal {

// Converts a generator result to a uniform number in [0, 1).
constexpr double kDitherUnit = 2.3283064365e-10;

class Requantizer {
public:
    void reset();             // error rings 0, ring index 0, autoBlackGain 1e-20
    void restartRingIndex();  // a noise-shaping set was selected

    // One stereo sample after output gain and meter taps; replaces xL, xR by the
    // requantized values (before the final clip). noiseShapeSet holds a1..a12,
    // quantScale is S, a power of two (the step is 1/S).
    void process(double& xL, double& xR, DitherRng& rng, const double* noiseShapeSet,
                 double quantScale, bool autoBlackOn, double autoBlackCoef) {
        double gain = autoBlackGain;
        const double level = branchFreeMax(std::fabs(xL), std::fabs(xR));
        if (level > 1e-8 || !autoBlackOn) {
            gain = 1.0;
        } else {
            gain = gain - autoBlackCoef * gain;
        }
        // The guard keeps the gain on multiples of about 1.75e-46, so the fade
        // settles a few hundred of those above zero; outputs that small leave the
        // kernel's final clip as exact zero.
        gain = (gain + 1e-30) - 1e-30;
        autoBlackGain = gain;

        const int32_t newest = ringIndex;
        double vL = xL, vR = xR;
        // With the all-zero set the feedback sum is ±0 and v = x in effect; skipping
        // it keeps the twelve-add chain off the path from one sample to the next.
        if (noiseShapeSet != checkedSet) {
            checkedSet = noiseShapeSet;
            checkedSetIsShaped = isShaped(noiseShapeSet);
        }
        if (checkedSetIsShaped) {
            double accL, accR;
            feedback(newest, noiseShapeSet, accL, accR);
            vL = xL - accL;
            vR = xR - accR;
        }
        const int32_t next = newest + 1 == kNoiseShapeTaps ? 0 : newest + 1;
        ringIndex = next;

        // S is a power of two, so multiplying by its reciprocal divides exactly,
        // and keeps a division off the sample-to-sample feedback path.
        const double step = 1.0 / quantScale;
        xL = quantize(vL, errorRing[0][next], rng, quantScale, step) * gain;
        xR = quantize(vR, errorRing[1][next], rng, quantScale, step) * gain;
    }

    double errorRing[2][kNoiseShapeTaps]{};
    int32_t ringIndex = 0;
    double autoBlackGain = 1e-20;

private:
    // The sets never change after they are built; whether the one in use has
    // any coefficient is looked at once per selection.
    const double* checkedSet = nullptr;
    bool checkedSetIsShaped = true;

    static bool isShaped(const double* a) {
        bool shaped = false;
        for (int32_t k = 0; k < kNoiseShapeTaps; ++k) shaped |= a[k] != 0.0;
        return shaped;
    }

    // Σ c_k·e[n−k] with c_k = −a_k, k = 1..12, for both channels; e[n−1]
    // sits at `newest`.
    void feedback(int32_t newest, const double* a, double& accL, double& accR) const {
        double sumL = 0.0, sumR = 0.0;
        int32_t index = newest;
        for (int32_t k = 0; k < kNoiseShapeTaps; ++k) {
            const double c = -a[k];
            sumL += c * errorRing[0][index];
            sumR += c * errorRing[1][index];
            index = index == 0 ? kNoiseShapeTaps - 1 : index - 1;
        }
        accL = sumL;
        accR = sumR;
    }

    // Dither, truncate toward zero after adding S, store the error; returns the
    // quantized value (q − S)/S.
    static double quantize(double v, double& errorSlot, DitherRng& rng, double s, double step) {
        const double u1 = rng.next() * kDitherUnit;
        const double u2 = rng.next() * kDitherUnit;
        const double d = u1 + u2 - 1.0;
        const double q = truncateTowardZero(v * s + s + d);
        const double quantized = (q - s) * step;
        errorSlot = quantized - v;
        return quantized;
    }

    static double truncateTowardZero(double t) {
        // Below 2^52 every double converts exactly through int64; beyond that
        // (or for NaN and infinities) the value is already whole or hopeless.
        return std::fabs(t) < 4503599627370496.0 ? static_cast<double>(static_cast<int64_t>(t)) : t;
    }
};

}  // namespace vexal
