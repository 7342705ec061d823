#include "EffectFactory.h"

#include "core/Plugin.h"
#include "editor/Editor.h"

namespace vexal {

vst::AudioEffect* createEffectInstance(vst::HostCallback hostCallback) {
    if (hostCallback && hostCallback(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        return new Plugin(hostCallback, makeEditor);
    } catch (...) {
        return nullptr;  // no exception may cross into the host
    }
}

}  // namespace vexal
