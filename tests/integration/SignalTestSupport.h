// Shared helpers of the signal-path tests: parameter steps, raw process calls
// with caller-owned buffers, the meter read-out and a private config folder.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "../support/TempConfigDir.h"
#include "core/MeterReadout.h"
#include "host/TestHost.h"

namespace signaltest {

// Parameter indices.
enum Param {
    kOutput = 0, kDrive = 1, kTransient = 2, kRelease = 3, kTransShape = 4, kLink = 5,
    kOversample = 6, kDetectorOrder = 7, kPower = 8, kScale = 9, kBits = 10, kNoiseShape = 11,
    kCalibrate = 12, kLeveller = 13, kMeterOvs = 14, kAutoOut = 15, kQuantize = 16,
    kAutoblack = 17, kMeterType = 18, kAttZoom = 19, kAttShow = 20, kPostMeter = 21,
};

inline float step(int i, int n) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(n); }


using Meters = vexal::MeterReadout;

inline Meters readMeters(testhost::Instance& fx) {
    float v[vexal::kNumMeterValues];
    fx.readMeters(v);
    return vexal::decodeMeterValues(v);
}

// One process call on caller-owned buffers (so that tests can see what a
// call leaves unwritten).
template <class Sample>
void processOnce(testhost::Instance& fx, Sample* inL, Sample* inR, Sample* outL, Sample* outR,
                 int32_t frames) {
    Sample* ins[2] = {inL, inR};
    Sample* outs[2] = {outL, outR};
    if constexpr (sizeof(Sample) == sizeof(float)) {
        fx.effect()->processReplacing(fx.effect(), ins, outs, frames);
    } else {
        fx.effect()->processDoubleReplacing(fx.effect(), ins, outs, frames);
    }
}

// Unity drive and output, leveller and Oversample off, Power on, nothing
// requantized, all meter components shown; then an engine reset.
inline void neutralSettings(testhost::Instance& fx, float rate = 44100.0f) {
    fx.setSampleRate(rate);
    fx.setParameter(kDrive, 0.5f);
    fx.setParameter(kOutput, 1.0f);
    fx.setParameter(kLeveller, 1.0f);
    fx.setParameter(kPower, step(1, 2));
    fx.setParameter(kAutoOut, step(0, 2));
    fx.setParameter(kOversample, step(0, 2));
    fx.setParameter(kCalibrate, step(0, 4));
    fx.setParameter(kQuantize, step(0, 2));
    fx.setParameter(kAutoblack, step(0, 2));
    fx.setParameter(kNoiseShape, step(0, 4));
    fx.setParameter(kMeterOvs, step(0, 2));
    fx.setParameter(kAttShow, step(7, 8));
    fx.setParameter(kPostMeter, step(0, 2));
    fx.suspend();
}

}  // namespace signaltest
