// Fuzzes everything that reads stored programs: the host chunk (current and
// legacy formats, either byte order) and the stored-block dispatch used by
// files and stored values (program and bank kinds, legacy kinds, reversed
// loads, records bounded by the header or by the data).
//
// Input: one selector byte, then the data.
//   bits 0-1: 0 or 3 setChunk, 1 program-kind block, 2 bank-kind block
//   bit 4: byte-reversed load; bit 5: records as the header announces (files)
//
// After every input each stored value must be a number in 0..1; after a load
// the bank is saved again and a block of audio runs through the new settings.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Plugin.h"
#include "presets/PresetStore.h"

namespace {

class FuzzedPlugin : public vexal::Plugin {
public:
    FuzzedPlugin() : Plugin(nullptr) {
        std::memcpy(initial, programs, sizeof initial);
    }
    // Back to the state after construction without applying anything.
    void restoreStore() {
        std::memcpy(programs, initial, sizeof initial);
        currentProgram = 0;
    }
    void checkStore() const {
        for (int k = 0; k < vexal::kNumPrograms; ++k)
            for (float v : programs[k].values)
                if (!(v >= 0.0f && v <= 1.0f)) std::abort();
        if (currentProgram < 0 || currentProgram >= vexal::kNumPrograms) std::abort();
    }

private:
    vexal::ProgramRecord initial[vexal::kNumPrograms];
};

FuzzedPlugin* plugin = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never the user's settings: an empty folder of our own.
    static std::string folder = "/tmp/vexal-fuzz-XXXXXX";
    if (!::mkdtemp(folder.data())) folder = "/nonexistent/vexal-fuzz";
    ::setenv("VEXAL_CONFIG_DIR", folder.c_str(), 1);
    plugin = new FuzzedPlugin();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 20)) return 0;
    plugin->restoreStore();
    const uint8_t selector = data[0];
    // A copy of exactly the data, so that any read past it is caught.
    std::vector<uint8_t> body(data + 1, data + size);
    uint8_t empty = 0;
    uint8_t* bytes = body.empty() ? &empty : body.data();

    bool loaded = false;
    using Family = vexal::PresetStore::BlockFamily;
    switch (selector & 3) {
        case 0:
        case 3:
            loaded = plugin->setChunk(bytes, static_cast<int32_t>(body.size()), false) == 0;
            break;
        default:
            loaded = plugin->presetStore().loadStoredBlock(
                bytes, body.size(), (selector & 3) == 1 ? Family::program : Family::bank,
                (selector & 0x10) != 0, (selector & 0x20) != 0);
            break;
    }
    plugin->checkStore();
    if (loaded) {
        void* chunk = nullptr;
        if (plugin->getChunk(&chunk, false) != 24049) std::abort();
        float inL[64], inR[64], outL[64], outR[64];
        for (int i = 0; i < 64; ++i) inL[i] = inR[i] = std::sin(0.1f * i);
        float* in[2] = {inL, inR};
        float* out[2] = {outL, outR};
        plugin->processReplacing(in, out, 64);
        for (int i = 0; i < 64; ++i)
            if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) std::abort();
    }
    return 0;
}
