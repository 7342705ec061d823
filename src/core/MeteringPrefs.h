// The metering preferences kept in the settings store (key PREFS): the step
// numbers of six metering parameters, written by the editor on request and
// read back by every new instance during its construction.
#pragma once

#include <cstdint>

#include "platform/SettingsStore.h"

namespace vst {
class AudioEffect;
}

namespace vexal {

struct MeteringPref {
    const char* valueName;
    int32_t parameter;
    int32_t steps;
};

constexpr int32_t kNumMeteringPrefs = 6;
// In the order of writing and of reading.
extern const MeteringPref kMeteringPrefs[kNumMeteringPrefs];

// Sets each stored preference through the effect's setParameter in table
// order; a missing value or one of the wrong size is skipped, a step number
// outside the parameter's steps is limited to them.
void applyStoredMeteringPrefs(vst::AudioEffect& effect, platform::SettingsStore& store);

}  // namespace vexal
