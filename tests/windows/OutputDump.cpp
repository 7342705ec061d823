// The plug-in's output on one platform, for comparison with another: loads
// the built plug-in through its binary interface, runs a matrix of settings
// (the golden outputs' matrix) over a fixed loud input made with integer
// arithmetic only, at two block sizes through both process entries, and
// writes every output sample and meter read-out as doubles.
//   OutputDump write PLUGIN FILE     run and write
//   OutputDump compare A B LIMIT     largest difference of two files; fails
//                                    above LIMIT or when the shapes differ
// The Wine lane writes one file with the Linux plug-in and one with each DLL.
#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "vst/aeffect.h"

namespace {

constexpr int32_t kFrames = 3001;

struct Setting {
    const char* name;
    float rate;
    std::vector<std::pair<int32_t, float>> params;
};

float step(int32_t i, int32_t n) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(n); }

// Parameter indexes: 1 Drive, 4 TransShape, 5 Link, 6 Oversample,
// 7 DetectorOrder, 10 Bits, 11 NoiseShape, 12 Calibrate, 13 Leveller,
// 14 MeterOvs, 16 Quantize, 17 Autoblack.
std::vector<Setting> settings() {
    std::vector<Setting> s = {
        {"defaults", 44100.0f, {}},
        {"heavy 48", 48000.0f, {{6, step(1, 2)}, {7, step(1, 2)}, {4, step(2, 3)}}},
    };
    const float rates[3] = {44100.0f, 96000.0f, 192000.0f};
    for (int32_t shape = 0; shape < 3; ++shape)
        for (float rate : rates) s.push_back({"shape", rate, {{4, step(shape, 3)}}});
    s.push_back({"oversample", 44100.0f, {{6, step(1, 2)}}});
    s.push_back({"order II", 44100.0f, {{7, step(1, 2)}}});
    s.push_back({"link 0.3", 44100.0f, {{5, 0.3f}}});
    s.push_back({"drive max", 44100.0f, {{1, 1.0f}}});
    s.push_back({"leveller, drive max", 44100.0f, {{13, 0.5f}, {1, 1.0f}}});
    s.push_back({"quantize 16", 44100.0f, {{16, step(1, 2)}, {10, step(1, 3)}, {11, step(2, 4)}, {17, step(1, 2)}}});
    s.push_back({"meter ovs", 44100.0f, {{14, step(1, 2)}}});
    s.push_back({"calibrate", 44100.0f, {{12, step(2, 4)}}});
    return s;
}

// Triangle waves, noise and spikes, two faulty samples: no math library.
void fillInput(std::vector<double>& l, std::vector<double>& r) {
    uint32_t seed = 12345;
    auto triangle = [](int32_t i, int32_t period) {
        const int32_t p = i % period;
        const double x = 4.0 * p / period;
        return x < 1.0 ? x : (x < 3.0 ? 2.0 - x : x - 4.0);
    };
    for (int32_t i = 0; i < kFrames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (seed >> 8) * (1.0 / 16777216.0) - 0.5;
        l[i] = 1.4 * triangle(i, 126) + 0.7 * triangle(i, 885) + 0.3 * noise;
        r[i] = 1.1 * triangle(i, 203) + 0.8 * triangle(i, 556) - 0.2 * noise;
        if (i % 401 == 7) l[i] = 6.0;
        if (i % 577 == 11) r[i] = -4.5;
    }
    l[1500] = std::nan("");
    r[2100] = INFINITY;
}

intptr_t VEXAL_VSTCALL hostCallback(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == vst::audioMasterVersion ? 2400 : 0;
}

using Entry = vst::AEffect*(VEXAL_VSTCALL*)(vst::HostCallback);

template <class Sample>
void run(Entry entry, const Setting& s, int32_t block, std::vector<double>& out) {
    vst::AEffect* fx = entry(&hostCallback);
    if (!fx) return;
    fx->dispatcher(fx, vst::effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, vst::effSetSampleRate, 0, 0, nullptr, s.rate);
    fx->dispatcher(fx, vst::effSetBlockSize, 0, block, nullptr, 0.0f);
    for (auto [index, value] : s.params) fx->setParameter(fx, index, value);
    fx->dispatcher(fx, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<double> l(kFrames), r(kFrames);
    fillInput(l, r);
    std::vector<Sample> inL(l.begin(), l.end()), inR(r.begin(), r.end()), outL(kFrames), outR(kFrames);
    for (int32_t done = 0; done < kFrames; done += block) {
        const int32_t n = std::min(block, kFrames - done);
        Sample* ins[2] = {&inL[done], &inR[done]};
        Sample* outs[2] = {&outL[done], &outR[done]};
        if constexpr (sizeof(Sample) == 4)
            fx->processReplacing(fx, ins, outs, n);
        else
            fx->processDoubleReplacing(fx, ins, outs, n);
    }
    out.insert(out.end(), outL.begin(), outL.end());
    out.insert(out.end(), outR.begin(), outR.end());
    // The parameters' texts carry the meters' and settings' state as the host sees it.
    for (int32_t index = 0; index < 26; ++index) out.push_back(fx->getParameter(fx, index));
    fx->dispatcher(fx, vst::effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, vst::effClose, 0, 0, nullptr, 0.0f);
}

int write(const char* plugin, const char* file) {
    void* library = dlopen(plugin, RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain")) : nullptr;
    if (!entry) {
        std::fprintf(stderr, "cannot load %s\n", plugin);
        return 2;
    }
    std::vector<double> all;
    for (const Setting& s : settings())
        for (int32_t block : {512, 333}) {
            run<float>(entry, s, block, all);
            run<double>(entry, s, block, all);
        }
    std::FILE* f = std::fopen(file, "wb");
    const bool ok = f && std::fwrite(all.data(), sizeof(double), all.size(), f) == all.size();
    if (f) std::fclose(f);
    std::printf("%zu values written to %s\n", all.size(), file);
    return ok ? 0 : 2;
}

std::vector<double> readAll(const char* file) {
    std::vector<double> v;
    std::FILE* f = std::fopen(file, "rb");
    if (!f) return v;
    double x;
    while (std::fread(&x, sizeof x, 1, f) == 1) v.push_back(x);
    std::fclose(f);
    return v;
}

int compare(const char* a, const char* b, double limit) {
    const std::vector<double> x = readAll(a), y = readAll(b);
    if (x.empty() || x.size() != y.size()) {
        std::printf("FAIL: %zu and %zu values\n", x.size(), y.size());
        return 1;
    }
    size_t differing = 0, at = 0;
    double largest = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        if (std::memcmp(&x[i], &y[i], sizeof(double)) == 0) continue;
        ++differing;
        const double d = std::isnan(x[i]) || std::isnan(y[i]) ? INFINITY : std::fabs(x[i] - y[i]);
        if (d > largest || differing == 1) {
            largest = d;
            at = i;
        }
    }
    std::printf("%zu values, %zu not bit-identical, largest difference %.3g (value %zu)\n", x.size(),
                differing, largest, at);
    return largest <= limit ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) return write(argv[2], argv[3]);
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0) return compare(argv[2], argv[3], std::atof(argv[4]));
    std::fprintf(stderr, "usage: OutputDump write PLUGIN FILE | compare A B LIMIT\n");
    return 2;
}
