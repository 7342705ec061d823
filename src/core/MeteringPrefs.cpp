#include "MeteringPrefs.h"

#include <algorithm>

#include "ParameterTable.h"
#include "vst/AudioEffect.h"

namespace vexal {

const MeteringPref kMeteringPrefs[kNumMeteringPrefs] = {
    {"Metering_Scale", kScale, 3},     {"Metering_Type", kMeterType, 2},
    {"Metering_Zoom", kAttZoom, 2},    {"Metering_AttShow", kAttShow, 8},
    {"Metering_Recon", kMeterOvs, 2},  {"Metering_Post", kPostMeter, 2},
};

void applyStoredMeteringPrefs(vst::AudioEffect& effect, platform::SettingsStore& store) {
    for (const MeteringPref& pref : kMeteringPrefs) {
        int32_t step = 0;
        if (!store.readNumber(platform::SettingsKey::prefs, pref.valueName, step)) continue;
        step = std::clamp(step, 0, pref.steps - 1);
        effect.setParameter(pref.parameter, stepValue(step, pref.steps));
    }
}

}  // namespace vexal
