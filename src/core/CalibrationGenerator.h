// Pink calibration noise at the reference level of the selected K-scale: the
// running sum of eight held random rows, row r refreshed every 2^(r+1) frames
// (rows 6 and 7 every 128), plus one fresh draw per sample.
//
// State legend (per frame):
//   counter        8-bit frame counter; its trailing zeros pick the row to refresh
//   rows1, sum1    the held draws of the first noise and their running sum
//   rows2, sum2    the same for the second noise ("l+r uncor" only)
#pragma once

#include <cstdint>

#include "engine/DitherRng.h"
#include "engine/EngineSettings.h"

namespace vexal {

class CalibrationGenerator {
public:
    // Rows, sums and counter to 0 (the generator's part of the engine reset).
    void reset();

    // Writes the outputs and feeds the meters; the limiter's state is not
    // touched. outR is null when the right output is not connected.
    template <class Sample>
    void generate(DitherRng& rng, const EngineSettings& settings, MeterValues& meters, Sample* outL,
                  Sample* outR, int32_t sampleFrames);

    // Reference level of a Scale step: K-12, K-14, K-20.
    static double levelForScale(int32_t meterScale);

private:
    static constexpr int kRows = 8;

    struct Noise {
        double rows[kRows];
        double sum;
        void refresh(int row, double w) {
            const double old = rows[row];
            rows[row] = w;
            sum = sum + w - old;
        }
    };

    int rowToRefresh() const;

    uint8_t counter = 0;
    Noise noise1{};
    Noise noise2{};
};

}  // namespace vexal
