#include "EngineParameters.h"

#include <cmath>

#include "ParameterTable.h"

namespace vexal {

namespace {

double gainOfTwoOctaves(float v) { return std::pow(2.0, (static_cast<double>(v) - 1.0) * 2.0); }
double driveGainOf(float v) { return std::pow(2.0, (static_cast<double>(v) - 0.5) * 8.0); }
double transientMixOf(float v) {
    const double scaled = 1.4142136 * static_cast<double>(v);
    return scaled * scaled * 0.25;
}
double releaseMsOf(float v) { return std::pow(10.0, 3.0 * std::pow(static_cast<double>(v), 0.82030212)); }

}  // namespace

bool isUsableValue(int32_t index, float value) {
    double derived = 0.0;
    switch (index) {
        case kOutput: derived = gainOfTwoOctaves(value); break;
        case kDrive: derived = driveGainOf(value); break;
        case kTransient: derived = transientMixOf(value); break;
        case kRelease: derived = releaseMsOf(value); break;
        case kLeveller: derived = gainOfTwoOctaves(value); break;
        default: break;
    }
    return std::isfinite(derived);
}

void applyParameter(EngineFrontEnd& engine, int32_t index, float value) {
    EngineSettings& s = engine.settings();
    switch (index) {
        case kOutput: s.outputGain = gainOfTwoOctaves(value); break;
        case kDrive: s.driveGain = driveGainOf(value); break;
        case kTransient: s.transientMix = transientMixOf(value); break;
        case kRelease: engine.setReleaseMs(releaseMsOf(value)); break;
        case kTransShape: engine.setTransShape(stepIndex(value, 3)); break;
        case kLink: s.linkAmount = value; break;
        case kOversample: s.oversampleOn = stepIndex(value, 2); break;
        case kDetectorOrder: s.detectorOrder = stepIndex(value, 2); break;
        case kPower: {
            const int32_t on = stepIndex(value, 2);
            s.powerOn = on;
            s.powerGain = on ? 1.0 : 0.0;
            break;
        }
        case kScale: s.meterScale = stepIndex(value, 3); break;
        case kBits: s.bitsIndex = stepIndex(value, 3); break;
        case kNoiseShape: engine.setNoiseShape(stepIndex(value, 4)); break;
        case kCalibrate: s.calibrateMode = stepIndex(value, 4); break;
        case kLeveller:
            s.levellerThreshold = gainOfTwoOctaves(value);
            s.levellerRaw = value;
            break;
        case kMeterOvs: s.meterOversample = stepIndex(value, 2); break;
        case kAutoOut: s.autoOutput = stepIndex(value, 2); break;
        case kQuantize: s.quantizeOn = stepIndex(value, 2); break;
        case kAutoblack: s.autoBlackOn = stepIndex(value, 2); break;
        case kMeterType: s.meterType = stepIndex(value, 2); break;
        case kAttZoom: s.attZoom = stepIndex(value, 2); break;
        case kAttShow: engine.setGainShowMask(stepIndex(value, 8)); break;
        case kPostMeter: s.inputMeterPre = stepIndex(value, 2); break;
        default: break;
    }
}

void applyProgram0(EngineFrontEnd& engine) {
    for (int32_t i = 0; i < kNumStoredParams; ++i) applyParameter(engine, i, parameterInfo(i).program0);
}

}  // namespace vexal
