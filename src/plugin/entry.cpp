// The plug-in's only exported symbols: VSTPluginMain and its legacy alias main.
#include "plugin/EffectFactory.h"
#ifdef _WIN32
// exports.def names the exports; main there is an alias of VSTPluginMain.
#include "platform/windows/Win32WindowSystem.h"
#define VEXAL_EXPORT extern "C"
#else
#include "platform/linux/X11WindowSystem.h"
#define VEXAL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

vst::AEffect* entry(vst::HostCallback hostCallback) {
    // A host that answers 0 to the version inquiry is too old for us.
    if (hostCallback && hostCallback(nullptr, vst::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    // Editors open their windows through the native window system; without
    // it every effEditOpen answers 0.
#ifdef _WIN32
    vexal::platform::setWindowSystem(vexal::platform::win32WindowSystem());
#else
    vexal::platform::setWindowSystem(&vexal::platform::linuxWindowSystem());
#endif
    vst::AudioEffect* effect = vexal::createEffectInstance(hostCallback);
    return effect ? effect->getAeffect() : nullptr;
}

}  // namespace

VEXAL_EXPORT vst::AEffect* VEXAL_VSTCALL VSTPluginMain(vst::HostCallback hostCallback) {
    return entry(hostCallback);
}

#ifndef _WIN32
// Older hosts look for "main"; the symbol is renamed so that it is not C's main.
VEXAL_EXPORT vst::AEffect* mainEntry(vst::HostCallback hostCallback) __asm__("main");
vst::AEffect* mainEntry(vst::HostCallback hostCallback) { return entry(hostCallback); }
#endif
