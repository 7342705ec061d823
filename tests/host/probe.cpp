// Loads the plug-in the way a host does and prints what a host sees.
#include <cstdio>

#include "TestHost.h"

int main(int argc, char** argv) {
    testhost::TestHost host(argc > 1 ? argv[1] : testhost::TestHost::defaultPluginPath());
    if (!host.loaded()) {
        std::fprintf(stderr, "probe: cannot load the plug-in\n");
        return 1;
    }
    testhost::Instance fx(host);
    if (!fx) {
        std::fprintf(stderr, "probe: the plug-in made no instance\n");
        return 1;
    }
    fx.setSampleRate(44100.0f);
    fx.setBlockSize(512);
    vst::AEffect* e = fx.effect();
    const auto id = static_cast<uint32_t>(e->uniqueID);
    std::printf("%s - %s (%s), id %c%c%c%c, version %d\n",
                fx.stringRequest(vst::effGetEffectName).c_str(),
                fx.stringRequest(vst::effGetProductString).c_str(),
                fx.stringRequest(vst::effGetVendorString).c_str(), char(id >> 24), char(id >> 16),
                char(id >> 8), char(id), e->version);
    std::printf("%d in, %d out, %d parameters, flags 0x%x, latency %d samples at 44.1 kHz\n",
                e->numInputs, e->numOutputs, e->numParams, e->flags, e->initialDelay);
    for (int i = 0; i < e->numParams; ++i)
        std::printf("  %2d  %-14s %-10s %s\n", i, fx.parameterName(i).c_str(),
                    fx.parameterDisplay(i).c_str(), fx.parameterLabel(i).c_str());
    for (float rate : {96000.0f, 192000.0f}) {
        fx.setSampleRate(rate);
        std::printf("latency at %.0f Hz: %d samples\n", rate, e->initialDelay);
    }
    return 0;
}
