// The plug-in's only exported symbols: VSTPluginMain and its legacy alias main.
#include "../core/Plugin.h"
#include "../platform/linux/X11WindowSystem.h"

#define VEXAL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

vst::AEffect* entry(vst::HostCallback hostCallback) {
    // A host that answers 0 to the version inquiry is too old for us.
    if (hostCallback && hostCallback(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    // Editors open their windows through the X11 window system; without it
    // every effEditOpen would answer 0.
    vexal::platform::setWindowSystem(&vexal::platform::linuxWindowSystem());
    vst::AudioEffect* effect = vexal::createEffectInstance(hostCallback);
    return effect ? effect->getAeffect() : nullptr;
}

}  // namespace

VEXAL_EXPORT vst::AEffect* VSTPluginMain(vst::HostCallback hostCallback) { return entry(hostCallback); }

// Older hosts look for "main"; the symbol is renamed so that it is not C's main.
VEXAL_EXPORT vst::AEffect* mainEntry(vst::HostCallback hostCallback) __asm__("main");
vst::AEffect* mainEntry(vst::HostCallback hostCallback) { return entry(hostCallback); }
