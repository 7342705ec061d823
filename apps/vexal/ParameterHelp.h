// What each of the 26 parameters does, in a sentence, with its range and
// units: `vexal params --explain` and docs/vexal.md show the same texts.
#pragma once

#include <cstdint>

namespace vexal::cli {

struct ParameterExplanation {
    const char* range;
    const char* text;
};

// For indexes 0 … 25.
const ParameterExplanation& explanationOf(int32_t index);

}  // namespace vexal::cli
