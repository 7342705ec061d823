// The factory programs as the product description lists them, kept apart from
// the plug-in's own table so that a test compares two independent copies.
// Columns: indices 0-7, 9, 10, 11, 13, 14, 16, 18; the rest are the same in all.
#pragma once

namespace testsupport {

struct ExpectedFactoryProgram {
    const char* name;
    float varying[15];
};

constexpr int kVaryingIndex[15] = {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 13, 14, 16, 18};
// Index and value of the parameters that are the same in every program.
constexpr struct { int index; float value; } kCommonValues[11] = {
    {8, 1.0f}, {12, 0.0f}, {15, 0.0f}, {17, 0.0f}, {19, 0.0f}, {20, 0.9375f},
    {21, 0.0f}, {22, 0.0f}, {23, 0.0f}, {24, 0.0f}, {25, 0.015f}};

constexpr ExpectedFactoryProgram kExpectedFactory[24] = {
    {"Default", {1.0f, 0.5f, 0.2f, 0.7237f, 0.166667f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.25f}},
    {"Limiter Smooth", {0.999167f, 0.5625f, 0.150375f, 0.723711f, 0.833333f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.25f}},
    {"Limiter Gentle", {0.999167f, 0.604167f, 0.353483f, 0.656363f, 0.5f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.25f}},
    {"Limiter Fast", {0.999167f, 0.625f, 0.45f, 0.5f, 0.5f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.25f}},
    {"Limiter Hard", {0.999167f, 0.625f, 0.5f, 0.656363f, 0.166667f, 0.5f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.25f}},
    {"Loudness 1", {0.999167f, 0.604167f, 0.238667f, 0.656363f, 0.5f, 0.5f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.25f}},
    {"Loudness 2", {0.999167f, 0.625f, 0.404367f, 0.656363f, 0.833333f, 0.5f, 0.0f, 1.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.25f}},
    {"Loudness 3", {0.999167f, 0.6875f, 0.5f, 0.5f, 0.5f, 0.33f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.25f, 0.0f, 0.25f, 0.25f}},
    {"CD Master 1", {0.999167f, 0.583333f, 0.25f, 0.723711f, 0.833333f, 1.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.625f, 0.5f, 0.0f, 0.75f, 0.75f}},
    {"CD Master 2", {0.999167f, 0.625f, 0.4f, 0.610005f, 0.5f, 1.0f, 0.0f, 0.0f, 0.5f, 0.5f, 0.875f, 0.5f, 0.0f, 0.75f, 0.75f}},
    {"CD Master 3 [recon]", {0.999167f, 0.625f, 0.4f, 0.656363f, 0.5f, 1.0f, 1.0f, 0.0f, 0.5f, 0.5f, 0.875f, 0.333333f, 1.0f, 0.75f, 0.75f}},
    {"Game 1", {0.999167f, 0.625f, 0.3f, 0.610005f, 0.33f, 0.5f, 0.0f, 0.0f, 0.165f, 0.165f, 0.375f, 0.5f, 0.0f, 0.75f, 0.25f}},
    {"Game 2", {0.999167f, 0.625f, 0.5f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.165f, 0.165f, 0.625f, 0.5f, 0.0f, 0.75f, 0.25f}},
    {"TV Limiter", {0.166667f, 0.625f, 0.4f, 0.676097f, 0.5f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 1.0f, 0.0f, 0.25f, 0.75f}},
    {"TV Loudness", {0.166667f, 0.625f, 0.4f, 0.610005f, 0.5f, 1.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.75f}},
    {"TV Hot", {0.166667f, 0.6875f, 0.5f, 0.465453f, 0.5f, 0.33f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.75f}},
    {"HiRes Limiter", {0.999167f, 0.583333f, 0.15f, 0.676097f, 0.833333f, 1.0f, 0.0f, 0.0f, 0.825f, 0.825f, 0.625f, 1.0f, 0.0f, 0.75f, 0.75f}},
    {"HiRes Loudness", {0.999167f, 0.625f, 0.3f, 0.563874f, 0.833333f, 0.5f, 0.0f, 0.0f, 0.825f, 0.825f, 0.875f, 0.5f, 0.0f, 0.75f, 0.75f}},
    {"Cine 1", {0.999167f, 0.583333f, 0.1f, 0.723711f, 0.833333f, 1.0f, 0.0f, 0.0f, 0.825f, 0.825f, 0.625f, 1.0f, 0.0f, 0.75f, 0.75f}},
    {"Cine 2 [recon]", {0.999167f, 0.625f, 0.3f, 0.676097f, 0.833333f, 1.0f, 1.0f, 0.0f, 0.825f, 0.825f, 0.875f, 0.5f, 1.0f, 0.75f, 0.75f}},
    {"Cine 3", {0.999167f, 0.645833f, 0.4f, 0.610005f, 0.5f, 1.0f, 0.0f, 0.0f, 0.825f, 0.825f, 0.875f, 0.25f, 0.0f, 0.75f, 0.75f}},
    {"Loud Love", {0.999167f, 0.6875f, 0.6f, 0.5f, 0.833333f, 0.66f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.25f}},
    {"Loud It Up", {0.999167f, 0.6875f, 0.5f, 0.5f, 0.166667f, 0.33f, 0.0f, 0.0f, 0.165f, 0.5f, 0.125f, 0.5f, 0.0f, 0.25f, 0.25f}},
    {"Total Disorder", {0.999167f, 0.75f, 0.8f, 0.436034f, 0.33f, 0.0f, 0.0f, 0.0f, 0.165f, 0.5f, 0.0f, 0.5f, 0.0f, 0.25f, 0.25f}},
};

}  // namespace testsupport
