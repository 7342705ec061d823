// Setting parameters by name, in the units and texts of their value texts:
// the inverse of what the host (and `vexal params`) shows.
#pragma once

#include <cstdint>
#include <string>

#include "EffectHost.h"

namespace vexal::cli {

// The index of the parameter with this name (case is ignored); throws UsageError.
int32_t findParameter(EffectHost& host, const std::string& name);

// Sets the parameter so that its value text shows `value`: a number in the
// parameter's unit (an optional label such as "dB" or "ms" may follow) for
// continuous parameters, one of the step texts for stepped ones; "off" for
// Leveller is its top position. A value outside the parameter's range, or a
// text that is none of its steps, throws UsageError.
void setParameterByText(EffectHost& host, int32_t index, const std::string& value);

// --set NAME=VALUE and --raw INDEX=V (V a host value 0..1).
void applySet(EffectHost& host, const std::string& assignment);
void applyRaw(EffectHost& host, const std::string& assignment);

}  // namespace vexal::cli
