// One stored program: a 24-byte name and the 26 normalised parameter values.
#pragma once

#include <cstdint>

namespace vexal {

constexpr int32_t kNumPrograms = 24;
constexpr int32_t kProgramNameBytes = 24;
constexpr int32_t kProgramValues = 26;

struct ProgramRecord {
    char name[kProgramNameBytes];
    float values[kProgramValues];
};
static_assert(sizeof(ProgramRecord) == 128);

}  // namespace vexal
