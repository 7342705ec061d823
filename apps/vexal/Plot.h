// --plot OUT.png: a render's figures over time on one axis, 1600 × 900. The
// upper panel holds the input's and the output's sample-peak and true-peak
// envelopes (dBFS/dBTP), the output's short-term loudness (LUFS) with its
// integrated value and the target, and the ceiling, on one decibel scale;
// the lower panel the plug-in's gain reduction.
#pragma once

#include <string>
#include <vector>

#include "AudioFile.h"
#include "Loudness.h"

namespace vexal::cli {

struct PlotData {
    std::string title;
    double seconds = 0.0;
    const LoudnessFigures* input = nullptr;
    const LoudnessFigures* output = nullptr;  // none for a plain analysis
    std::vector<float> gain;                  // per 100 ms, linear; may be empty
    double ceilingDbtp = 0.0, targetLufs = 0.0;
    bool hasCeiling = false, hasTarget = false;
};

// Where things are, for the drawing and its test.
namespace plot {
constexpr int kWidth = 1600, kHeight = 900;
constexpr double kLeft = 90, kRight = 1570;           // the time axis
constexpr double kLevelTop = 70, kLevelBottom = 640;  // +6 … −54 dB
constexpr double kTopDb = 6, kBottomDb = -54;
constexpr double kGainTop = 690, kGainBottom = 850;  // 0 … −24 dB
constexpr double kGainBottomDb = -24;
double x(double seconds, double duration);
double levelY(double dB);
double gainY(double dB);
// The palette: RGB of each curve.
struct Colour {
    double r, g, b;
};
constexpr Colour kInputPeak{0.70, 0.70, 0.70}, kInputTruePeak{0.45, 0.45, 0.45}, kOutputPeak{0.55, 0.75, 0.95},
    kOutputTruePeak{0.10, 0.35, 0.80}, kShortTerm{0.95, 0.55, 0.10}, kTarget{0.15, 0.60, 0.20},
    kCeiling{0.85, 0.10, 0.10}, kGain{0.55, 0.20, 0.65};
}  // namespace plot

// Replaces `path` whole, by the rules of `existing`; throws ProcessingError
// when the file cannot be written.
void drawPlot(const std::string& path, const PlotData& data, Existing existing);

}  // namespace vexal::cli
