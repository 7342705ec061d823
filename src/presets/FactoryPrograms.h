// The 24 factory programs as data: names and the 26 float32 values of each.
#pragma once

#include <cstdint>

#include "ProgramRecord.h"

namespace vexal {

struct FactoryProgram {
    const char* name;
    float values[kProgramValues];
};

const FactoryProgram& factoryProgram(int32_t index);  // 0..23

}  // namespace vexal
