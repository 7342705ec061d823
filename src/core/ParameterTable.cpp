#include "ParameterTable.h"

#include <cmath>

namespace vexal {

namespace {

const char* const kTransShapeTexts[] = {"hard", "med", "soft"};
const char* const kOffOn[] = {"off", "on"};
const char* const kDetectorOrderTexts[] = {"I", "II"};
const char* const kScaleTexts[] = {"K-12", "K-14", "K-20"};
const char* const kBitsTexts[] = {"8", "16", "24"};
const char* const kNoiseShapeTexts[] = {"off", "type A", "type B", "type C"};
const char* const kCalibrateTexts[] = {"off", "left", "l+r uncor", "right"};
const char* const kMeterTypeTexts[] = {"peak", "k-system"};
const char* const kAttZoomTexts[] = {"24dB", "12dB"};
const char* const kAttShowTexts[] = {"", "1", "2", "12", "L", "1L", "2L", "12L"};
const char* const kPostMeterTexts[] = {"pre", "post"};

using K = ValueTextKind;

// name, label, value text, steps, step texts, program 0
const ParameterInfo kParameters[kNumParams] = {
    {"Output", "dB", K::decibels, 0, nullptr, 1.0f},
    {"Drive", "dB", K::decibels, 0, nullptr, 0.5f},
    {"Transient", "ms", K::number, 0, nullptr, 0.2f},
    {"Release", "ms", K::number, 0, nullptr, 0.7237f},
    {"TransShape", "", K::steps, 3, kTransShapeTexts, 0.166667f},
    {"L/R Link", "", K::percent, 0, nullptr, 1.0f},
    {"Oversample", "", K::steps, 2, kOffOn, 0.0f},
    {"DetectorOrder", "", K::steps, 2, kDetectorOrderTexts, 0.0f},
    {"Power", "", K::steps, 2, kOffOn, 1.0f},
    {"Scale", "", K::steps, 3, kScaleTexts, 0.165f},
    {"Bits", "", K::steps, 3, kBitsTexts, 0.5f},
    {"NoiseShape", "", K::steps, 4, kNoiseShapeTexts, 0.125f},
    {"Calibrate", "", K::steps, 4, kCalibrateTexts, 0.0f},
    {"Leveller", "dB", K::hostDecibels, 0, nullptr, 1.0f},
    {"MeterOvs", "", K::steps, 2, kOffOn, 0.0f},
    {"AutoOut", "", K::steps, 2, kOffOn, 0.0f},
    {"Quantize", "", K::steps, 2, kOffOn, 0.25f},
    {"Autoblack", "", K::steps, 2, kOffOn, 0.0f},
    {"MeterType", "", K::steps, 2, kMeterTypeTexts, 0.25f},
    {"AttZoom", "", K::steps, 2, kAttZoomTexts, 0.0f},
    {"AttShow", "", K::steps, 8, kAttShowTexts, 0.9375f},
    {"PostMeter", "", K::steps, 2, kPostMeterTexts, 0.0f},
    {"dummy", "", K::none, 0, nullptr, 0.0f},
    {"dummy", "", K::none, 0, nullptr, 0.0f},
    {"dummy", "", K::none, 0, nullptr, 0.0f},
    {"resvd-vid", "", K::none, 0, nullptr, 0.015f},
};

}  // namespace

const ParameterInfo& parameterInfo(int32_t index) { return kParameters[index]; }

int32_t stepIndex(float v, int32_t n) {
    const float product = static_cast<float>(n) * v;
    if (!(product >= 0.0f)) return 0;  // negative or NaN never selects a step below 0
    if (product >= static_cast<float>(n)) return n - 1;
    const auto step = static_cast<int32_t>(product);
    return step < n ? step : n - 1;
}

float stepValue(int32_t i, int32_t n) {
    return (static_cast<float>(i) + 0.5f) / static_cast<float>(n);
}

const char* attShowText(int32_t mask) { return kAttShowTexts[mask & 7]; }

}  // namespace vexal
