#include "CalibrationGenerator.h"

#include <cmath>

#include "engine/Extremum.h"

namespace vexal {

namespace {

constexpr double kUnit = 2.3283064365e-10;
constexpr double kSqrt2Single = static_cast<double>(1.41421356f);
constexpr double kSqrt3 = 1.7320508;

// One uniform draw in −1 … +1.
double draw(DitherRng& rng) { return 2.0 * rng.next() * kUnit - 1.0; }

double noiseValue(double sum, double w, double level) {
    return (sum + w) * 0.1 / kSqrt2Single / kSqrt3 * level;
}

// The meter values of one channel while the generator runs; the input meter
// shows what the output meter shows.
struct ChannelMeter {
    double peak;
    double meanSquare;
    void feed(double y, double rmsCoef) {
        peak = branchFreeMax(peak, std::fabs(y));
        meanSquare = meanSquare + (y * y - meanSquare) * rmsCoef;
    }
};

}  // namespace

void CalibrationGenerator::reset() {
    counter = 0;
    noise1 = Noise{};
    noise2 = Noise{};
}

double CalibrationGenerator::levelForScale(int32_t meterScale) {
    switch (meterScale) {
        case 0: return 2.5118864315;
        case 1: return 2.0;
        default: return 1.0;
    }
}

// Trailing zero bits of the counter, at most 7 (a counter of 0 gives 7).
int CalibrationGenerator::rowToRefresh() const {
    int r = 0;
    while (r < kRows - 1 && ((counter >> r) & 1u) == 0) ++r;
    return r;
}

template <class Sample>
void CalibrationGenerator::generate(DitherRng& rng, const EngineSettings& settings,
                                    MeterValues& meters, Sample* outL, Sample* outR,
                                    int32_t sampleFrames) {
    const int32_t mode = settings.calibrateMode;
    const double level = levelForScale(settings.meterScale);
    const double rmsCoef = settings.rmsCoef;
    if (sampleFrames <= 0) return;

    ChannelMeter meter[2];
    for (int c = 0; c < 2; ++c) meter[c] = {meters.outputPeak[c], meters.outputMeanSquare[c]};
    bool gainsRestarted = false;

    for (int32_t i = 0; i < sampleFrames; ++i) {
        double y[2] = {0.0, 0.0};
        const int row = rowToRefresh();
        if (mode == 2) {
            const double w1 = draw(rng);
            const double w2 = draw(rng);
            noise1.refresh(row, w1);
            noise2.refresh(row, w2);
            const double w3 = draw(rng);
            ++counter;
            y[0] = noiseValue(noise1.sum, w3, level);
            const double w4 = draw(rng);
            y[1] = noiseValue(noise2.sum, w4, level);
        } else {
            noise1.refresh(row, draw(rng));
            const double w2 = draw(rng);
            ++counter;
            y[mode == 3 ? 1 : 0] = noiseValue(noise1.sum, w2, level);
        }
        if (outR) outR[i] = static_cast<Sample>(y[1]);
        outL[i] = static_cast<Sample>(y[0]);

        if (meters.metersRead) {
            meters.metersRead = false;
            meter[0].peak = meter[1].peak = 0.0;
            gainsRestarted = true;
        }
        for (int c = 0; c < 2; ++c) {
            const bool carriesNoise = mode == 2 || (mode == 3) == (c == 1);
            if (carriesNoise) {
                meter[c].feed(y[c], rmsCoef);
            } else {
                meter[c] = {0.0, 0.0};
            }
        }
    }

    for (int c = 0; c < 2; ++c) {
        meters.outputPeak[c] = meter[c].peak;
        meters.inputPeak[c] = meter[c].peak;
        meters.outputMeanSquare[c] = meter[c].meanSquare;
        meters.inputMeanSquare[c] = meter[c].meanSquare;
        if (gainsRestarted) meters.gainReduction[c] = 1.0;
    }
}

template void CalibrationGenerator::generate<float>(DitherRng&, const EngineSettings&,
                                                    MeterValues&, float*, float*, int32_t);
template void CalibrationGenerator::generate<double>(DitherRng&, const EngineSettings&,
                                                     MeterValues&, double*, double*, int32_t);

}  // namespace vexal
