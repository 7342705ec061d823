// The engine as its users drive it: the sample rate and the parameter values
// go in; what the kernel needs is derived here (the rate class and the
// lengths it sets, the follower and smoothing coefficients, the smoothing
// kernel, the noise-shaping set), and blocks run through the kernel.
// Everything is allocated at construction.
//
// Threads: setSampleRate, setTransShape, reset and process run under the
// caller's process lock; the other setters store relaxed settings and may
// run beside process.
#pragma once

#include <cstdint>
#include <memory>

#include "EngineSettings.h"
#include "EngineState.h"
#include "NoiseShapeSets.h"

namespace vexal {

class EngineFrontEnd {
public:
    // At 44.1 kHz with the settings' start values, reset.
    EngineFrontEnd();
    ~EngineFrontEnd();
    EngineFrontEnd(const EngineFrontEnd&) = delete;
    EngineFrontEnd& operator=(const EngineFrontEnd&) = delete;

    // The host's rate; outside 5000 … 200000 Hz (NaN and infinities
    // included) everything runs as at 44.1 kHz. A new whole rate recomputes
    // everything that depends on it (returns whether it was new). Resets the
    // engine either way.
    bool setSampleRate(double hostRate);
    // 0 hard, 1 medium, 2 soft: the smoothing length. A new step rebuilds
    // the smoothing kernel and resets the engine; returns whether it did.
    bool setTransShape(int32_t step);
    void setReleaseMs(double milliseconds);
    // 0 off, 1 … 3 types A … C: the set for the current rate.
    void setNoiseShape(int32_t step);
    // AttShow's mask of gain components; the gain meter restarts at 1.
    void setGainShowMask(int32_t mask);

    // Smoothed gains to their targets, every stage, buffer and meter to its start.
    void reset();
    // Every delay line, ring and block buffer to zero.
    void clearBuffers() { state->clearBuffers(); }

    // The channel buffers as Kernel.h describes them.
    template <class Sample>
    void process(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int32_t frames);

    EngineSettings& settings() { return engineSettings; }
    const EngineSettings& settings() const { return engineSettings; }
    MeterValues& meters() { return meterValues; }
    EngineState& engineState() { return *state; }

    int32_t sampleRateHz() const { return rateHz; }
    int32_t rateClass() const { return rateClassIndex; }
    // Look-ahead plus the alignment delay, in samples.
    int32_t latency() const { return engineSettings.lookAhead + kAlignDelay; }
    const double* smoothKernelTaps() const { return smoothKernel; }
    const NoiseShapeSets& noiseShapeSets() const { return *shapeSets; }
    uint32_t rateRecomputations() const { return rateRecomputeCount; }
    uint32_t smoothKernelRebuilds() const { return smoothKernelRebuildCount; }

private:
    void updateLengths();
    void computeRateCoefficients();
    void computeReleaseCoef();
    void rebuildSmoothKernel();
    void selectNoiseShapeSet();

    EngineSettings engineSettings;
    MeterValues meterValues;
    std::unique_ptr<EngineState> state;
    std::unique_ptr<NoiseShapeSets> shapeSets;
    double* smoothKernel = nullptr;  // kMaxSmoothLen taps, 16-byte aligned
    int32_t rateHz = 44100;
    int32_t rateClassIndex = 0;
    uint32_t rateRecomputeCount = 0;
    uint32_t smoothKernelRebuildCount = 0;
};

}  // namespace vexal
