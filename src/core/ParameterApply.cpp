// setParameter: the single door through which every parameter change reaches
// the engine settings, and the texts the host shows for each parameter.
#include <chrono>
#include <cmath>
#include <cstring>

#include "EngineParameters.h"
#include "Plugin.h"
#include "ValueText.h"

namespace vexal {

void Plugin::setParameter(int32_t index, float value) {
    // A host value that is not a number (or infinite) would poison every
    // setting derived from it: it is ignored, as an unknown index is.
    if (!isParameterIndex(index) || !std::isfinite(value)) return;
    if (index < kNumStoredParams) {
        if (!isUsableValue(index, value)) return;
        if (index != kTransShape) hostValues[index] = value;
    }

    if (index == kTransShape)
        applyTransShape(value);
    else if (index == kResvdVid)
        convertOldLayout(value);
    else
        applyParameter(engine, index, value);  // the three dummies act on nothing

    if (!applyingProgram) CPresetSystemEffect::setParameter(index, value);
    if (editor) editor->setParameter(index, value);
}

// A new smoothing length rebuilds the kernel and resets the engine, so it
// happens under processLock.
void Plugin::applyTransShape(float value) {
    std::unique_lock<std::recursive_timed_mutex> hold(processLock, std::defer_lock);
    if (!hold.try_lock_for(std::chrono::milliseconds(1000))) return;
    hostValues[kTransShape] = value;
    if (engine.setTransShape(stepIndex(value, 3))) calibration.reset();
}

// Values stored in the older layout carry less than 0.01 in parameter 25; their
// Bits and Scale had four steps and Quantize/MeterType did not exist.
void Plugin::convertOldLayout(float value) {
    if (stepIndex(value, 100) != 0) return;
    setParameter(kAutoblack, stepValue(0, 2));
    const int32_t bits = stepIndex(hostValues[kBits], 4);
    if (bits != 0) {
        setParameter(kQuantize, stepValue(1, 2));
        setParameter(kBits, stepValue(bits - 1, 3));
    } else {
        setParameter(kQuantize, stepValue(0, 2));
        setParameter(kBits, stepValue(1, 3));
    }
    setParameter(kAttShow, stepValue(7, 8));
    setParameter(kAttZoom, stepValue(0, 2));
    setParameter(kPostMeter, stepValue(1, 2));
    const int32_t scale = stepIndex(hostValues[kScale], 4);
    if (scale == 0) {
        setParameter(kMeterType, stepValue(0, 2));
        setParameter(kScale, stepValue(1, 3));
    } else {
        setParameter(kMeterType, stepValue(1, 2));
        setParameter(kScale, stepValue(scale - 1, 3));
    }
}

float Plugin::getParameter(int32_t index) {
    if (index >= 0 && index < kNumStoredParams) return hostValues[index];
    if (index == kResvdVid) return 0.015f;
    if (index >= kDummy1 && index <= kDummy3) return CPresetSystemEffect::getParameter(index);
    return -1.0f;
}

void Plugin::getParameterName(int32_t index, char* text) {
    if (isParameterIndex(index)) std::strcpy(text, parameterInfo(index).name);
}

void Plugin::getParameterLabel(int32_t index, char* label) {
    if (isParameterIndex(index) && parameterInfo(index).label[0])
        std::strcpy(label, parameterInfo(index).label);
}

void Plugin::getParameterDisplay(int32_t index, char* text) {
    if (!isParameterIndex(index) || index >= kNumStoredParams) return;
    const ParameterInfo& info = parameterInfo(index);
    const float v = hostValues[index];
    switch (index) {
        case kOutput: formatDecibels(engine.settings().outputGain, text); return;
        case kDrive: formatDecibels(engine.settings().driveGain, text); return;
        case kTransient: formatNumber(static_cast<float>(engine.settings().transientMix.load()), text); return;
        case kRelease: formatNumber(static_cast<float>(engine.settings().releaseMs.load()), text); return;
        case kLink: formatNumber(100.0f * v, text); return;
        case kLeveller: formatDecibels(v, text); return;
        default: std::strcpy(text, info.stepTexts[stepIndex(v, info.steps)]); return;
    }
}

bool Plugin::getParameterProperties(int32_t, vst::VstParameterProperties* p) {
    std::memset(p, 0, sizeof(*p));
    p->stepFloat = 0.0001f;
    p->smallStepFloat = 0.0001f;
    p->largeStepFloat = 0.0001f;
    p->flags = vst::kVstParameterUsesFloatStep;
    return true;
}

}  // namespace vexal
