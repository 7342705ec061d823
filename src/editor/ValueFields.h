// The six value fields under the knobs: how each shows its host value as
// text, and reads a typed number back (independently of the host's locale:
// "-3.5" is −3.5 in a German-locale host too). A text that names no finite
// number leaves the value as it was.
#pragma once

#include <cstdint>

#include "gui/CTextEdit.h"

namespace vexal {

struct ValueField {
    int32_t parameter;
    CRect rect;
    CColor fontColor;
    CColor backColor;
    CParamDisplay::ValueToString toText;
    CTextEdit::StringToValue toValue;
};

constexpr int32_t kNumValueFields = 6;
// In the order the editor creates them: Drive, Output, Transient, Release,
// Leveller, L/R Link.
extern const ValueField kValueFields[kNumValueFields];

// The number in a typed text: optional spaces, an optional sign, a decimal
// number, and optionally the unit the field shows ("dB", "%", "ms", any
// letter case). False for anything else, and for NaN, infinities and
// numbers out of range.
bool parseTypedNumber(const char* text, double& number);

}  // namespace vexal
