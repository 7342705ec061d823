// The kernel's meter taps: input level, gain reduction and output level per
// sample, held between two read-outs of the editor.
//
// State legend (per channel c = 0 left, 1 right; updated every sample):
//   inputPeak[c], outputPeak[c]   highest magnitude since the last read-out,
//                                 rounded to single precision
//   inputMeanSquare[c], outputMeanSquare[c]
//                                 one-pole mean squares at rmsCoef; never restarted
//   gainReduction[c]              smallest displayed gain since the last read-out
//   outputTapRing[c][64]          output samples for the half-sample estimate
//                                 (MeterOvs); tapIndex is the next write position
#pragma once

#include <cmath>
#include <cstdint>

#include "EngineSettings.h"
#include "Extremum.h"
#include "HalfSampleInterpolator.h"

namespace vexal {

// One step of a one-pole mean square toward x² (T: a double or lanes of them).
template <class T>
inline T meanSquareStep(T meanSquare, T x, T coef) {
    return meanSquare + (x * x - meanSquare) * coef;
}

class MeterTaps {
public:
    void reset();          // peaks and mean squares 0, gain holds 1.0, tap rings 0
    void restartHolds();   // peaks 0, gain holds 1.0 (read-out handshake)
    void restartGainHolds();  // gain holds 1.0 (AttShow changed)
    void loadFrom(const MeterValues& m);   // at block start
    void publishTo(MeterValues& m) const;  // at block end

    // levelL/R = dry sample × input-meter gain; gainL/R = displayed gain;
    // outL/R = output after gain and output gain, before requantization and clip.
    void tap(double levelL, double levelR, double gainL, double gainR, double outL, double outR,
             bool meterOversample, double rmsCoef, const HalfSampleCoefficients& coef) {
        tapInput(0, levelL, rmsCoef);
        tapInput(1, levelR, rmsCoef);
        gainReduction[0] = branchFreeMin(gainReduction[0], gainL);
        gainReduction[1] = branchFreeMin(gainReduction[1], gainR);
        if (meterOversample) {
            const int32_t newest = tapIndex;
            outputTapRing[0][newest] = outL;
            outputTapRing[1][newest] = outR;
            tapIndex = (newest + 1) & (kInterpRingSize - 1);
            tapOutputOversampled(0, newest, rmsCoef, coef);
            tapOutputOversampled(1, newest, rmsCoef, coef);
        } else {
            tapOutput(0, outL, rmsCoef);
            tapOutput(1, outR, rmsCoef);
        }
    }

    double inputPeak[2]{};
    double outputPeak[2]{};
    double inputMeanSquare[2]{};
    double outputMeanSquare[2]{};
    double gainReduction[2]{1.0, 1.0};
    alignas(16) double outputTapRing[2][kInterpRingSize]{};
    int32_t tapIndex = 0;

private:
    static double singleMagnitude(double x) {
        return static_cast<double>(static_cast<float>(std::fabs(x)));
    }

    void tapInput(int c, double level, double rmsCoef) {
        inputPeak[c] = branchFreeMax(inputPeak[c], singleMagnitude(level));
        inputMeanSquare[c] = meanSquareStep(inputMeanSquare[c], level, rmsCoef);
    }

    void tapOutput(int c, double x, double rmsCoef) {
        const double m = singleMagnitude(x);
        outputPeak[c] = branchFreeMax(outputPeak[c], m);
        outputMeanSquare[c] = meanSquareStep(outputMeanSquare[c], m, rmsCoef);
    }

    // Reads 31 samples late: the estimate half a sample before the sample of
    // age 31, then that sample itself.
    void tapOutputOversampled(int c, int32_t newest, double rmsCoef,
                              const HalfSampleCoefficients& coef) {
        const double* ring = outputTapRing[c];
        const double estimate = interpolateHalfSample(ring, newest, coef);
        const double late = ring[(newest - 31) & (kInterpRingSize - 1)];
        outputPeak[c] = branchFreeMax(outputPeak[c], singleMagnitude(estimate));
        outputPeak[c] = branchFreeMax(outputPeak[c], singleMagnitude(late));
        outputMeanSquare[c] = meanSquareStep(outputMeanSquare[c], late, rmsCoef);
    }
};

}  // namespace vexal
