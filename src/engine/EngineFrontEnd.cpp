#include "EngineFrontEnd.h"

#include <cmath>
#include <cstring>
#include <new>
#include <numbers>

#include "AlignedMemory.h"
#include "Kernel.h"

namespace vexal {

namespace {

constexpr int32_t kSmoothBase[3] = {8, 16, 64};  // per TransShape step, at rate class 0

double onePole(double milliseconds, double fs) { return 1.0 - std::exp(-1000.0 / (milliseconds * fs)); }

}  // namespace

EngineFrontEnd::EngineFrontEnd() {
    updateLengths();
    state = std::make_unique<EngineState>();
    shapeSets = std::make_unique<NoiseShapeSets>();
    smoothKernel = static_cast<double*>(alignedAllocate(16, sizeof(double) * kMaxSmoothLen));
    if (!smoothKernel) throw std::bad_alloc();
    std::memset(smoothKernel, 0, sizeof(double) * kMaxSmoothLen);
    shapeSets->build();
    engineSettings.noiseShapeSet = shapeSets->zeroSet();

    rebuildSmoothKernel();
    // Every rate-dependent coefficient, not only the mean-square one: a host
    // that stays at 44.1 kHz never calls for a recomputation.
    computeRateCoefficients();
    reset();
}

EngineFrontEnd::~EngineFrontEnd() { alignedRelease(smoothKernel); }

// --- rate class, lengths and coefficients --------------------------------------

bool EngineFrontEnd::setSampleRate(double hostRate) {
    reset();
    const int32_t hz = (hostRate >= 5000.0 && hostRate < 200001.0) ? static_cast<int32_t>(hostRate) : 44100;
    const bool changed = hz != rateHz;
    if (changed) {
        rateHz = hz;
        updateLengths();
        selectNoiseShapeSet();
        computeRateCoefficients();
        rebuildSmoothKernel();
        shapeSets->build();
    }
    clearBuffers();
    return changed;
}

void EngineFrontEnd::updateLengths() {
    const double fs = rateHz;
    rateClassIndex = fs < 80000.0 ? 0 : (fs < 170000.0 ? 1 : 2);
    const int32_t lookAhead = 128 << rateClassIndex;
    engineSettings.lookAhead = lookAhead;
    const int32_t smoothLen = kSmoothBase[engineSettings.transShape.load()] << rateClassIndex;
    engineSettings.smoothLen = smoothLen;
    engineSettings.envelopeDelay = lookAhead - 2 * smoothLen + 2;
}

bool EngineFrontEnd::setTransShape(int32_t step) {
    if (step == engineSettings.transShape) return false;
    engineSettings.transShape = step;
    updateLengths();
    rebuildSmoothKernel();
    reset();
    return true;
}

void EngineFrontEnd::setReleaseMs(double milliseconds) {
    engineSettings.releaseMs = milliseconds;
    computeReleaseCoef();
}

void EngineFrontEnd::computeReleaseCoef() {
    const double r = engineSettings.releaseMs;
    for (int k = 0; k < kFollowerCount; ++k)
        engineSettings.releaseCoef[k] = onePole(r - k * (r - 2.0) / 7.0, rateHz);
}

void EngineFrontEnd::computeRateCoefficients() {
    ++rateRecomputeCount;
    const double fs = rateHz;
    for (int k = 0; k < kFollowerCount; ++k) engineSettings.attackCoef[k] = onePole(32.0 - k * (31.0 / 7.0), fs);
    computeReleaseCoef();
    engineSettings.rmsCoef = 1.0 - std::pow(0.01, 1000.0 / (600.0 * fs));
    engineSettings.smoothCoef = 1.0 - std::exp(-2.0 * std::numbers::pi * 30.0 / fs);
    engineSettings.autoBlackCoef = onePole(10.0, fs);
    engineSettings.levellerCoef = onePole(1000.0, fs);
}

// A sinc over one period each side, normalised to sum to 1.
void EngineFrontEnd::rebuildSmoothKernel() {
    ++smoothKernelRebuildCount;
    const int32_t n = engineSettings.smoothLen;
    const double step = 2.0 * std::numbers::pi / (n - 1);
    double x = -std::numbers::pi;
    double sum = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        smoothKernel[i] = x == 0.0 ? 1.0 : std::sin(x) / x;
        sum += smoothKernel[i];
        x += step;
    }
    for (int32_t i = 0; i < n; ++i) smoothKernel[i] /= sum;
    for (int32_t i = n; i < kMaxSmoothLen; ++i) smoothKernel[i] = 0.0;
    state->setSmoothKernel(smoothKernel, n);
}

void EngineFrontEnd::setNoiseShape(int32_t step) {
    engineSettings.noiseShape = step;
    selectNoiseShapeSet();
}

void EngineFrontEnd::selectNoiseShapeSet() {
    engineSettings.noiseShapeSet =
        shapeSets->select(engineSettings.noiseShape, rateHz, engineSettings.noiseShapeSet);
    engineSettings.noiseShapeRingReset = true;
}

void EngineFrontEnd::setGainShowMask(int32_t mask) {
    engineSettings.grShowMask = mask;
    meterValues.gainReduction[0] = 1.0;
    meterValues.gainReduction[1] = 1.0;
    meterValues.gainHoldReset = true;
}

// --- reset and processing ---------------------------------------------------------

void EngineFrontEnd::reset() {
    for (int c = 0; c < 2; ++c) {
        meterValues.inputPeak[c] = 0.0;
        meterValues.outputPeak[c] = 0.0;
        meterValues.inputMeanSquare[c] = 0.0;
        meterValues.outputMeanSquare[c] = 0.0;
        meterValues.gainReduction[c] = 1.0;
    }
    meterValues.metersRead = false;
    meterValues.gainHoldReset = false;
    state->reset(engineSettings);
}

template <class Sample>
void EngineFrontEnd::process(const Sample* inL, const Sample* inR, Sample* outL, Sample* outR, int32_t frames) {
    processLimiter(*state, engineSettings, meterValues, inL, inR, outL, outR, frames);
}

template void EngineFrontEnd::process<float>(const float*, const float*, float*, float*, int32_t);
template void EngineFrontEnd::process<double>(const double*, const double*, double*, double*, int32_t);

}  // namespace vexal
