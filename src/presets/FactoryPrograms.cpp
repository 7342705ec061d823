#include "FactoryPrograms.h"

namespace vexal {

namespace {

// The columns that differ between programs; every other parameter has the same
// value in all 24: Power 1, Calibrate 0, AutoOut 0, Autoblack 0, AttZoom 0,
// AttShow 0.9375, PostMeter 0, the three dummies 0 and resvd-vid 0.015.
constexpr FactoryProgram row(const char* name, float output, float drive, float transient,
                             float release, float transShape, float link, float oversample,
                             float detectorOrder, float scale, float bits, float noiseShape,
                             float leveller, float meterOvs, float quantize, float meterType) {
    return {name,
            {output, drive, transient, release, transShape, link, oversample, detectorOrder,
             1.0f /* Power */, scale, bits, noiseShape, 0.0f /* Calibrate */, leveller, meterOvs,
             0.0f /* AutoOut */, quantize, 0.0f /* Autoblack */, meterType, 0.0f /* AttZoom */,
             0.9375f /* AttShow */, 0.0f /* PostMeter */, 0.0f, 0.0f, 0.0f /* dummies */,
             0.015f /* resvd-vid */}};
}

// clang-format off
constexpr FactoryProgram kFactoryPrograms[kNumPrograms] = {
    //   name                   Output     Drive      Transient  Release    TransShape L/R Link Ovs DetOrd Scale   Bits    NoiseSh. Leveller  MeterOvs Quantize MeterType
    row("Default",              1.0f,      0.5f,      0.2f,      0.7237f,   0.166667f, 1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.25f),
    row("Limiter Smooth",       0.999167f, 0.5625f,   0.150375f, 0.723711f, 0.833333f, 1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.25f),
    row("Limiter Gentle",       0.999167f, 0.604167f, 0.353483f, 0.656363f, 0.5f,      1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.25f),
    row("Limiter Fast",         0.999167f, 0.625f,    0.45f,     0.5f,      0.5f,      1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.25f),
    row("Limiter Hard",         0.999167f, 0.625f,    0.5f,      0.656363f, 0.166667f, 0.5f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.25f),
    row("Loudness 1",           0.999167f, 0.604167f, 0.238667f, 0.656363f, 0.5f,      0.5f,    0,  0,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.25f),
    row("Loudness 2",           0.999167f, 0.625f,    0.404367f, 0.656363f, 0.833333f, 0.5f,    0,  1,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.25f),
    row("Loudness 3",           0.999167f, 0.6875f,   0.5f,      0.5f,      0.5f,      0.33f,   0,  0,     0.165f, 0.5f,   0.125f,  0.25f,    0,       0.25f,   0.25f),
    row("CD Master 1",          0.999167f, 0.583333f, 0.25f,     0.723711f, 0.833333f, 1.0f,    0,  0,     0.5f,   0.5f,   0.625f,  0.5f,     0,       0.75f,   0.75f),
    row("CD Master 2",          0.999167f, 0.625f,    0.4f,      0.610005f, 0.5f,      1.0f,    0,  0,     0.5f,   0.5f,   0.875f,  0.5f,     0,       0.75f,   0.75f),
    row("CD Master 3 [recon]",  0.999167f, 0.625f,    0.4f,      0.656363f, 0.5f,      1.0f,    1,  0,     0.5f,   0.5f,   0.875f,  0.333333f, 1,      0.75f,   0.75f),
    row("Game 1",               0.999167f, 0.625f,    0.3f,      0.610005f, 0.33f,     0.5f,    0,  0,     0.165f, 0.165f, 0.375f,  0.5f,     0,       0.75f,   0.25f),
    row("Game 2",               0.999167f, 0.625f,    0.5f,      0.5f,      0.5f,      0.5f,    0,  0,     0.165f, 0.165f, 0.625f,  0.5f,     0,       0.75f,   0.25f),
    row("TV Limiter",           0.166667f, 0.625f,    0.4f,      0.676097f, 0.5f,      1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  1.0f,     0,       0.25f,   0.75f),
    row("TV Loudness",          0.166667f, 0.625f,    0.4f,      0.610005f, 0.5f,      1.0f,    0,  0,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.75f),
    row("TV Hot",               0.166667f, 0.6875f,   0.5f,      0.465453f, 0.5f,      0.33f,   0,  0,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.75f),
    row("HiRes Limiter",        0.999167f, 0.583333f, 0.15f,     0.676097f, 0.833333f, 1.0f,    0,  0,     0.825f, 0.825f, 0.625f,  1.0f,     0,       0.75f,   0.75f),
    row("HiRes Loudness",       0.999167f, 0.625f,    0.3f,      0.563874f, 0.833333f, 0.5f,    0,  0,     0.825f, 0.825f, 0.875f,  0.5f,     0,       0.75f,   0.75f),
    row("Cine 1",               0.999167f, 0.583333f, 0.1f,      0.723711f, 0.833333f, 1.0f,    0,  0,     0.825f, 0.825f, 0.625f,  1.0f,     0,       0.75f,   0.75f),
    row("Cine 2 [recon]",       0.999167f, 0.625f,    0.3f,      0.676097f, 0.833333f, 1.0f,    1,  0,     0.825f, 0.825f, 0.875f,  0.5f,     1,       0.75f,   0.75f),
    row("Cine 3",               0.999167f, 0.645833f, 0.4f,      0.610005f, 0.5f,      1.0f,    0,  0,     0.825f, 0.825f, 0.875f,  0.25f,    0,       0.75f,   0.75f),
    row("Loud Love",            0.999167f, 0.6875f,   0.6f,      0.5f,      0.833333f, 0.66f,   0,  0,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.25f),
    row("Loud It Up",           0.999167f, 0.6875f,   0.5f,      0.5f,      0.166667f, 0.33f,   0,  0,     0.165f, 0.5f,   0.125f,  0.5f,     0,       0.25f,   0.25f),
    row("Total Disorder",       0.999167f, 0.75f,     0.8f,      0.436034f, 0.33f,     0.0f,    0,  0,     0.165f, 0.5f,   0.0f,    0.5f,     0,       0.25f,   0.25f),
};
// clang-format on

}  // namespace

const FactoryProgram& factoryProgram(int32_t index) { return kFactoryPrograms[index]; }

}  // namespace vexal
