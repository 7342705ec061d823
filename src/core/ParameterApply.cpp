// setParameter: the single door through which every parameter change reaches
// the engine settings, and the texts the host shows for each parameter.
#include <chrono>
#include <cmath>
#include <cstring>

#include "Plugin.h"
#include "ValueText.h"

namespace vexal {

namespace {

double gainOfTwoOctaves(float v) { return std::pow(2.0, (static_cast<double>(v) - 1.0) * 2.0); }
double driveGainOf(float v) { return std::pow(2.0, (static_cast<double>(v) - 0.5) * 8.0); }
double transientMixOf(float v) {
    const double scaled = 1.4142136 * static_cast<double>(v);
    return scaled * scaled * 0.25;
}
double releaseMsOf(float v) {
    return std::pow(10.0, 3.0 * std::pow(static_cast<double>(v), 0.82030212));
}

}  // namespace

void Plugin::setParameter(int32_t index, float value) {
    // A host value that is not a number (or infinite) would poison every
    // setting derived from it: it is ignored, as an unknown index is.
    if (!isParameterIndex(index) || !std::isfinite(value)) return;
    if (index < kNumStoredParams) {
        // Continuous values outside 0..1 go through their formulas; a result
        // that is not finite (Release below 0, Drive of 1e30) changes nothing.
        double derived = 0.0;
        switch (index) {
            case kOutput: derived = gainOfTwoOctaves(value); break;
            case kDrive: derived = driveGainOf(value); break;
            case kTransient: derived = transientMixOf(value); break;
            case kRelease: derived = releaseMsOf(value); break;
            case kLeveller: derived = gainOfTwoOctaves(value); break;
            default: break;
        }
        if (!std::isfinite(derived)) return;
        if (index != kTransShape) hostValues[index] = value;
    }

    switch (index) {
        case kOutput: settings.outputGain = gainOfTwoOctaves(value); break;
        case kDrive: settings.driveGain = driveGainOf(value); break;
        case kTransient:
            settings.transientMix = transientMixOf(value);
            computeAttackCoef();
            break;
        case kRelease:
            settings.releaseMs = releaseMsOf(value);
            computeReleaseCoef();
            break;
        case kTransShape: applyTransShape(value); break;
        case kLink: settings.linkAmount = value; break;
        case kOversample: settings.oversampleOn = stepIndex(value, 2); break;
        case kDetectorOrder: settings.detectorOrder = stepIndex(value, 2); break;
        case kPower: {
            const int32_t on = stepIndex(value, 2);
            settings.powerOn = on;
            settings.powerGain = on ? 1.0 : 0.0;
            break;
        }
        case kScale: settings.meterScale = stepIndex(value, 3); break;
        case kBits: settings.bitsIndex = stepIndex(value, 3); break;
        case kNoiseShape:
            settings.noiseShape = stepIndex(value, 4);
            selectNoiseShapeSet();
            break;
        case kCalibrate: settings.calibrateMode = stepIndex(value, 4); break;
        case kLeveller:
            settings.levellerThreshold = gainOfTwoOctaves(value);
            settings.levellerRaw = value;
            break;
        case kMeterOvs: settings.meterOversample = stepIndex(value, 2); break;
        case kAutoOut: settings.autoOutput = stepIndex(value, 2); break;
        case kQuantize: settings.quantizeOn = stepIndex(value, 2); break;
        case kAutoblack: settings.autoBlackOn = stepIndex(value, 2); break;
        case kMeterType: settings.meterType = stepIndex(value, 2); break;
        case kAttZoom: settings.attZoom = stepIndex(value, 2); break;
        case kAttShow:
            settings.grShowMask = stepIndex(value, 8);
            meters.gainReduction[0] = 1.0;
            meters.gainReduction[1] = 1.0;
            meters.gainHoldReset = true;
            break;
        case kPostMeter: settings.inputMeterPre = stepIndex(value, 2); break;
        case kResvdVid: convertOldLayout(value); break;
        default: break;  // the three dummies act on nothing
    }

    if (!applyingProgram) CPresetSystemEffect::setParameter(index, value);
    if (editor) editor->setParameter(index, value);
}

// A new smoothing length rebuilds the kernel and resets the engine, so it
// happens under processLock.
void Plugin::applyTransShape(float value) {
    std::unique_lock<std::recursive_timed_mutex> hold(processLock, std::defer_lock);
    if (!hold.try_lock_for(std::chrono::milliseconds(1000))) return;
    hostValues[kTransShape] = value;
    const int32_t step = stepIndex(value, 3);
    if (step == settings.transShape) return;
    settings.transShape = step;
    static constexpr int32_t kSmoothBase[3] = {8, 16, 64};
    const int32_t smoothLen = kSmoothBase[step] << rateClass;
    settings.smoothLen = smoothLen;
    settings.envelopeDelay = settings.lookAhead - 2 * smoothLen + 2;
    rebuildSmoothKernel();
    resetEngine();
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
        case kOutput: formatDecibels(settings.outputGain, text); return;
        case kDrive: formatDecibels(settings.driveGain, text); return;
        case kTransient: formatNumber(static_cast<float>(settings.transientMix.load()), text); return;
        case kRelease: formatNumber(static_cast<float>(settings.releaseMs.load()), text); return;
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
