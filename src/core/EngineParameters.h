// The parameters' host values (0 … 1) as the engine takes them: the gain,
// time and mix formulas and the steps. The effect applies every host change
// through here; engine tests and benchmarks drive an EngineFrontEnd with it.
#pragma once

#include <cstdint>

#include "engine/EngineFrontEnd.h"

namespace vexal {

// Continuous values outside 0 … 1 go through their formulas; false when the
// result is not finite (Release below 0, Drive of 1e30): such a value changes
// nothing.
bool isUsableValue(int32_t index, float value);

// One stored parameter's host value into the engine (TransShape under the
// caller's process lock). The old-layout switch and the dummies are the
// effect's.
void applyParameter(EngineFrontEnd& engine, int32_t index, float value);

// Every stored parameter at its program-0 value, in index order, as the
// effect starts.
void applyProgram0(EngineFrontEnd& engine);

}  // namespace vexal
