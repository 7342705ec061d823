// The 26 parameters as data: index, name, label, steps and program-0 value.
// Every part of the system (host binding, presets, editor) reads this table.
#pragma once

#include <cstdint>

namespace vexal {

enum ParamIndex : int32_t {
    kOutput = 0,
    kDrive,
    kTransient,
    kRelease,
    kTransShape,
    kLink,
    kOversample,
    kDetectorOrder,
    kPower,
    kScale,
    kBits,
    kNoiseShape,
    kCalibrate,
    kLeveller,
    kMeterOvs,
    kAutoOut,
    kQuantize,
    kAutoblack,
    kMeterType,
    kAttZoom,
    kAttShow,
    kPostMeter,
    kDummy1,
    kDummy2,
    kDummy3,
    kResvdVid,
    kNumParams
};

// Parameters 0..21 keep their host value in the effect; 22..25 do not.
constexpr int32_t kNumStoredParams = 22;

enum class ValueTextKind : uint8_t {
    decibels,        // decibels of the internal gain
    number,          // the internal value as a number
    percent,         // 100 times the host value
    hostDecibels,    // decibels of the host value itself (Leveller)
    steps,           // one text per step
    none,            // no value text
};

struct ParameterInfo {
    const char* name;
    const char* label;            // empty when the parameter has none
    ValueTextKind textKind;
    int32_t steps;                // 0 for continuous parameters
    const char* const* stepTexts; // steps entries, or null
    float program0;
};

const ParameterInfo& parameterInfo(int32_t index);
inline bool isParameterIndex(int32_t index) { return index >= 0 && index < kNumParams; }

// Host value to step: trunc(n·v) with the product in single precision, capped
// at n − 1. A negative or NaN product selects step 0.
int32_t stepIndex(float v, int32_t n);
// The host value that stands for step i of n: (i + 0.5)/n in single precision.
float stepValue(int32_t i, int32_t n);

// The AttShow texts by mask: bit 0 → "1", bit 1 → "2", bit 2 → "L".
const char* attShowText(int32_t mask);

}  // namespace vexal
