#include "Plugin.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numbers>

#include "../engine/AlignedMemory.h"
#include "../engine/Kernel.h"
#include "../engine/FloatingPointScope.h"
#include "../editor/Editor.h"
#include "MeteringPrefs.h"

namespace vexal {

namespace {

constexpr auto kLockTimeout = std::chrono::milliseconds(1000);

// Writes the text and its terminating zero, nothing more: strncpy would pad
// the host's buffer with zeros up to its full nominal size.
void copyText(char* destination, const char* source, size_t capacity) {
    const size_t length = std::min(std::strlen(source), capacity - 1);
    std::memcpy(destination, source, length);
    destination[length] = 0;
}

}  // namespace

vst::AudioEffect* createEffectInstance(vst::HostCallback hostCallback) {
    if (hostCallback && hostCallback(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        return new Plugin(hostCallback);
    } catch (...) {
        return nullptr;  // no exception may cross into the host
    }
}

Plugin::Plugin(vst::HostCallback hostCallback) : CPresetSystemEffect(hostCallback, kNumParams) {
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);
    canDoubleReplacing(true);

    // Provisional values for 44.1 kHz; program 0 replaces them below.
    sampleRateHz = 44100;
    sampleRate = 44100.0;
    rateClass = 0;
    for (int32_t i = 0; i < kNumStoredParams; ++i) hostValues[i] = parameterInfo(i).program0;
    hostValues[kTransShape] = stepValue(2, 3);
    settings.transShape = 2;  // soft
    settings.driveGain = 1.0;
    settings.outputGain = 1.0;
    settings.powerGain = 1.0;
    settings.powerOn = 1;
    settings.releaseMs = 200.0;
    settings.transientMix = 0.0;
    updateRateClass();

    engine = new EngineState();
    noiseShapeSets = new NoiseShapeSets();
    smoothKernel = static_cast<double*>(alignedAllocate(16, sizeof(double) * kMaxSmoothLen));
    if (!smoothKernel) throw std::bad_alloc();
    std::memset(smoothKernel, 0, sizeof(double) * kMaxSmoothLen);
    noiseShapeSets->build();
    settings.noiseShapeSet = noiseShapeSets->zeroSet();

    rebuildSmoothKernel();
    // Every rate-dependent coefficient, not only the mean-square one: a host
    // that stays at 44.1 kHz never calls for a recomputation.
    computeRateCoefficients();
    resetEngine();

    loadFactoryPrograms();
    // The stored metering preferences go into the current program like any change.
    if (auto store = platform::makeSettingsStore()) applyStoredMeteringPrefs(*this, *store);
    attachPresetEditor(new Editor(this));
    presetEditor()->setLatency(settings.lookAhead + kAlignDelay);
    finishPresetSetup();
    selectProgram(0);
}

Plugin::~Plugin() {
    // A host may delete us with the window still open: the window (and the
    // thread that keeps it alive without host idle calls) goes first, while
    // everything it reads still exists.
    if (presetEditor()) presetEditor()->close();
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);
    delete engine;
    delete noiseShapeSets;
    alignedRelease(smoothKernel);
    engine = nullptr;
}

// --- rate class, latency and coefficients -----------------------------------

void Plugin::updateRateClass() {
    rateClass = sampleRate < 80000.0 ? 0 : (sampleRate < 170000.0 ? 1 : 2);
    const int32_t lookAhead = 128 << rateClass;
    settings.lookAhead = lookAhead;
    static constexpr int32_t kSmoothBase[3] = {8, 16, 64};
    const int32_t smoothLen = kSmoothBase[settings.transShape.load()] << rateClass;
    settings.smoothLen = smoothLen;
    settings.envelopeDelay = lookAhead - 2 * smoothLen + 2;
    setInitialDelay(lookAhead + kAlignDelay);
    if (presetEditor()) presetEditor()->setLatency(lookAhead + kAlignDelay);
}

static double onePole(double milliseconds, double fs) {
    return 1.0 - std::exp(-1000.0 / (milliseconds * fs));
}

void Plugin::computeAttackCoef() {
    for (int k = 0; k < kFollowerCount; ++k)
        settings.attackCoef[k] = onePole(32.0 - k * (31.0 / 7.0), sampleRate);
}

void Plugin::computeReleaseCoef() {
    const double r = settings.releaseMs;
    for (int k = 0; k < kFollowerCount; ++k)
        settings.releaseCoef[k] = onePole(r - k * (r - 2.0) / 7.0, sampleRate);
}

void Plugin::computeRateCoefficients() {
    ++rateRecomputeCount;
    computeAttackCoef();
    computeReleaseCoef();
    settings.rmsCoef = 1.0 - std::pow(0.01, 1000.0 / (600.0 * sampleRate));
    settings.smoothCoef = 1.0 - std::exp(-2.0 * std::numbers::pi * 30.0 / sampleRate);
    settings.autoBlackCoef = onePole(10.0, sampleRate);
    settings.levellerCoef = onePole(1000.0, sampleRate);
}

void Plugin::rebuildSmoothKernel() {
    ++smoothKernelRebuildCount;
    const int32_t n = settings.smoothLen;
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
    engine->setSmoothKernel(smoothKernel, n);
}

void Plugin::selectNoiseShapeSet() {
    settings.noiseShapeSet =
        noiseShapeSets->select(settings.noiseShape, sampleRateHz, settings.noiseShapeSet);
    settings.noiseShapeRingReset = true;
}

// --- lifecycle ----------------------------------------------------------------

void Plugin::resetEngine() {
    for (int c = 0; c < 2; ++c) {
        meters.inputPeak[c] = 0.0;
        meters.outputPeak[c] = 0.0;
        meters.inputMeanSquare[c] = 0.0;
        meters.outputMeanSquare[c] = 0.0;
        meters.gainReduction[c] = 1.0;
    }
    meters.metersRead = false;
    meters.gainHoldReset = false;
    engine->reset(settings);
    calibration.reset();
}

void Plugin::clearEngineBuffers() { engine->clearBuffers(); }

void Plugin::suspend() {
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);
    resetEngine();
}

void Plugin::setSampleRate(float rate) {
    std::unique_lock<std::recursive_timed_mutex> hold(processLock, std::defer_lock);
    if (!hold.try_lock_for(kLockTimeout)) return;
    AudioEffect::setSampleRate(rate);
    resetEngine();

    // Outside 5000..200000 Hz (NaN and infinities included) everything runs as at 44.1 kHz.
    const double hostRate = getSampleRate();
    const int32_t hz =
        (hostRate >= 5000.0 && hostRate < 200001.0) ? static_cast<int32_t>(hostRate) : 44100;
    if (hz != sampleRateHz) {
        sampleRateHz = hz;
        sampleRate = hz;
        updateRateClass();
        selectNoiseShapeSet();
        computeRateCoefficients();
        rebuildSmoothKernel();
        noiseShapeSets->build();
    }
    clearEngineBuffers();
}

// --- processing ---------------------------------------------------------------

template <class Sample>
void Plugin::process(Sample** inputs, Sample** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !outputs || !outputs[0]) return;
    std::unique_lock<std::recursive_timed_mutex> hold(processLock, std::defer_lock);
    const bool rightOut = outputs[1] && isOutputConnected(1);
    Sample* outL = outputs[0];
    if (!hold.try_lock_for(kLockTimeout) || !inputs || !inputs[0]) {
        // Reconfiguration still running (or no input at all): a silent block.
        std::memset(outL, 0, sizeof(Sample) * static_cast<size_t>(sampleFrames));
        if (rightOut) std::memset(outputs[1], 0, sizeof(Sample) * static_cast<size_t>(sampleFrames));
        return;
    }
    if (settings.calibrateMode != 0) {
        const FloatingPointScope ownState(FloatingPointScope::keepSubnormals);
        calibration.generate(engine->ditherRng, settings, meters, outL,
                             rightOut ? outputs[1] : nullptr, sampleFrames);
        return;
    }
    const Sample* inL = inputs[0];
    const Sample* inR = inputs[1] && isInputConnected(1) ? inputs[1] : inL;
    // The kernel sets its own floating-point state (after the last host
    // callback of the block).
    processLimiter(*engine, settings, meters, inL, inR, outL, rightOut ? outputs[1] : outL,
                   sampleFrames);
}

void Plugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    process(inputs, outputs, sampleFrames);
}

void Plugin::processDoubleReplacing(double** inputs, double** outputs, int32_t sampleFrames) {
    process(inputs, outputs, sampleFrames);
}

// --- meter read-out -------------------------------------------------------------

void Plugin::readMeters(float* values) {
    if (!values) return;
    for (int c = 0; c < 2; ++c) {
        values[kInputPeakSlot + c] = static_cast<float>(meters.inputPeak[c].load());
        values[kOutputPeakSlot + c] = static_cast<float>(meters.outputPeak[c].load());
        values[kInputRmsSlot + c] = static_cast<float>(std::sqrt(2.0 * meters.inputMeanSquare[c].load()));
        values[kOutputRmsSlot + c] = static_cast<float>(std::sqrt(2.0 * meters.outputMeanSquare[c].load()));
        values[kGainSlot + c] = static_cast<float>(meters.gainReduction[c].load());
    }
    meters.metersRead = true;
}

// --- identity -------------------------------------------------------------------

bool Plugin::getEffectName(char* name) {
    copyText(name, kEffectName, vst::kMaxEffectNameLen);
    return true;
}

bool Plugin::getVendorString(char* text) {
    copyText(text, kVendorName, vst::kMaxVendorStrLen);
    return true;
}

bool Plugin::getProductString(char* text) {
    copyText(text, kProductName, vst::kMaxProductStrLen);
    return true;
}

}  // namespace vexal
