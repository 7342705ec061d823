// The meter read-out Plugin::readMeters hands out: ten linear values, each
// pair left then right. Written and read only through the slots below.
#pragma once

#include <cstdint>

namespace vexal {

constexpr int32_t kNumMeterValues = 10;

// Where each pair starts among the ten values.
enum MeterSlot : int32_t {
    kInputPeakSlot = 0,
    kOutputPeakSlot = 2,
    kInputRmsSlot = 4,
    kOutputRmsSlot = 6,
    kGainSlot = 8,
};

struct MeterReadout {
    float inputPeak[2];
    float outputPeak[2];
    float inputRms[2];
    float outputRms[2];
    float gain[2];
};

inline MeterReadout decodeMeterValues(const float (&values)[kNumMeterValues]) {
    MeterReadout m{};
    for (int c = 0; c < 2; ++c) {
        m.inputPeak[c] = values[kInputPeakSlot + c];
        m.outputPeak[c] = values[kOutputPeakSlot + c];
        m.inputRms[c] = values[kInputRmsSlot + c];
        m.outputRms[c] = values[kOutputRmsSlot + c];
        m.gain[c] = values[kGainSlot + c];
    }
    return m;
}

}  // namespace vexal
