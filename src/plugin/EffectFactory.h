// The composition root: the effect with the editor it shows itself in.
#pragma once

#include "vst/AudioEffect.h"

namespace vexal {

// Asks the host's version (0 means too old: no instance) and builds a Plugin
// with its editor.
vst::AudioEffect* createEffectInstance(vst::HostCallback hostCallback);

}  // namespace vexal
