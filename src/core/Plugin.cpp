#include "Plugin.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "MeteringPrefs.h"
#include "engine/FloatingPointScope.h"

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

Plugin::Plugin(vst::HostCallback hostCallback, EditorFactory makeEditor)
    : CPresetSystemEffect(hostCallback, kNumParams) {
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);
    canDoubleReplacing(true);

    // Provisional values for 44.1 kHz (the engine's start); program 0 replaces them below.
    for (int32_t i = 0; i < kNumStoredParams; ++i) hostValues[i] = parameterInfo(i).program0;
    hostValues[kTransShape] = stepValue(2, 3);
    setInitialDelay(engine.latency());

    loadFactoryPrograms();
    // The stored metering preferences go into the current program like any change.
    if (auto store = platform::makeSettingsStore()) applyStoredMeteringPrefs(*this, *store);
    if (makeEditor) {
        attachPresetEditor(makeEditor(*this));
        if (presetEditor()) presetEditor()->setLatency(engine.latency());
    }
    finishPresetSetup();
    selectProgram(0);
}

Plugin::~Plugin() {
    // A host may delete us with the window still open: the window (and the
    // thread that keeps it alive without host idle calls) goes first, while
    // everything it reads still exists.
    if (presetEditor()) presetEditor()->hostEditor()->close();
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);
}

// --- lifecycle ----------------------------------------------------------------

void Plugin::resetEngine() {
    engine.reset();
    calibration.reset();
}

void Plugin::suspend() {
    std::lock_guard<std::recursive_timed_mutex> hold(processLock);
    resetEngine();
}

void Plugin::setSampleRate(float rate) {
    std::unique_lock<std::recursive_timed_mutex> hold(processLock, std::defer_lock);
    if (!hold.try_lock_for(kLockTimeout)) return;
    AudioEffect::setSampleRate(rate);
    calibration.reset();
    if (engine.setSampleRate(getSampleRate())) {
        setInitialDelay(engine.latency());
        if (presetEditor()) presetEditor()->setLatency(engine.latency());
    }
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
    if (engine.settings().calibrateMode != 0) {
        const FloatingPointScope ownState(FloatingPointScope::keepSubnormals);
        calibration.generate(engine.engineState().ditherRng, engine.settings(), engine.meters(), outL,
                             rightOut ? outputs[1] : nullptr, sampleFrames);
        return;
    }
    const Sample* inL = inputs[0];
    const Sample* inR = inputs[1] && isInputConnected(1) ? inputs[1] : inL;
    // The kernel sets its own floating-point state (after the last host
    // callback of the block).
    engine.process(inL, inR, outL, rightOut ? outputs[1] : outL, sampleFrames);
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
    MeterValues& meters = engine.meters();
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
