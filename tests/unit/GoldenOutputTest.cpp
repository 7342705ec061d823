// Locks the engine's output bits: a matrix of settings over a fixed loud input,
// through both process entries of the effect (which runs the kernel variant
// chosen at load: ctest runs this program once per VEXAL_KERNEL value) and
// every kernel variant the processor supports driven directly, at two block
// sizes. Each case is reduced to a 64-bit FNV-1a hash of the output samples and
// the ten meter values, so a rewrite for speed must keep every one of them.
// (The input meter reads the smoothed drive at block start, so hashes differ
// by block size while a gain is still settling.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "../support/TempConfigDir.h"
#include "core/ParameterTable.h"
#include "core/EngineParameters.h"
#include "core/Plugin.h"
#include "engine/EngineFrontEnd.h"
#include "engine/KernelVariant.h"

using namespace vexal;

namespace {

constexpr size_t kFrames = 3001;

// Sines with peaks near 2.5, noise, a few spikes and two faulty samples.
void fillInput(std::vector<double>& l, std::vector<double>& r) {
    uint32_t seed = 12345;
    for (size_t i = 0; i < l.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (seed >> 8) * (1.0 / 16777216.0) - 0.5;
        const double t = static_cast<double>(i);
        l[i] = 1.4 * std::sin(0.05 * t) + 0.7 * std::sin(0.0071 * t) + 0.3 * noise;
        r[i] = 1.1 * std::sin(0.031 * t) + 0.8 * std::sin(0.0113 * t) - 0.2 * noise;
        if (i % 401 == 7) l[i] = 6.0;
        if (i % 577 == 11) r[i] = -4.5;
    }
    l[1500] = std::numeric_limits<double>::quiet_NaN();
    r[2100] = std::numeric_limits<double>::infinity();
}

struct Hash {
    uint64_t h = 14695981039346656037ull;
    void bytes(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i) {
            h ^= b[i];
            h *= 1099511628211ull;
        }
    }
};

using Params = std::vector<std::pair<int32_t, float>>;

struct Setting {
    const char* name;
    float rate;
    Params params;
    bool engineOnly = true;  // false: needs the effect (Calibrate)
};

float step(int32_t index, int32_t i) { return stepValue(i, parameterInfo(index).steps); }

std::vector<Setting> settings() {
    const Params heavy = {{kOversample, step(kOversample, 1)},
                          {kDetectorOrder, step(kDetectorOrder, 1)},
                          {kTransShape, step(kTransShape, 2)}};
    std::vector<Setting> s = {
        {"program 0", 44100.0f, {}},
        {"heavy", 192000.0f, heavy},
    };
    const char* shapeNames[3][3] = {{"hard 44.1", "hard 96", "hard 192"},
                                    {"med 44.1", "med 96", "med 192"},
                                    {"soft 44.1", "soft 96", "soft 192"}};
    const float rates[3] = {44100.0f, 96000.0f, 192000.0f};
    for (int32_t shape = 0; shape < 3; ++shape)
        for (int r = 0; r < 3; ++r)
            s.push_back({shapeNames[shape][r], rates[r], {{kTransShape, step(kTransShape, shape)}}});
    s.push_back({"oversample", 44100.0f, {{kOversample, step(kOversample, 1)}}});
    s.push_back({"order II", 44100.0f, {{kDetectorOrder, step(kDetectorOrder, 1)}}});
    s.push_back({"link 0.3", 44100.0f, {{kLink, 0.3f}}});
    // The leveller's level moves over 1000 ms: only driven hard (×16) does it
    // pass −6 dB within the input. The same drive alone shows that it acts.
    s.push_back({"drive max", 44100.0f, {{kDrive, 1.0f}}});
    s.push_back({"leveller -6 dB, drive max", 44100.0f, {{kLeveller, 0.5f}, {kDrive, 1.0f}}});
    s.push_back({"quantize 16 B autoblack",
                 44100.0f,
                 {{kQuantize, step(kQuantize, 1)},
                  {kBits, step(kBits, 1)},
                  {kNoiseShape, step(kNoiseShape, 2)},
                  {kAutoblack, step(kAutoblack, 1)}}});
    s.push_back({"meter ovs", 44100.0f, {{kMeterOvs, step(kMeterOvs, 1)}}});
    s.push_back({"calibrate l+r uncor", 44100.0f, {{kCalibrate, step(kCalibrate, 2)}}, false});
    return s;
}

// Through the effect's process entry (the kernel path it picks).
template <class Sample>
uint64_t runEffect(const Setting& s, int32_t block) {
    std::vector<double> l(kFrames), r(kFrames);
    fillInput(l, r);
    std::vector<Sample> inL(l.begin(), l.end()), inR(r.begin(), r.end());
    std::vector<Sample> outL(kFrames), outR(kFrames);
    Plugin plugin(nullptr);
    plugin.setSampleRate(s.rate);
    for (auto [index, value] : s.params) plugin.setParameter(index, value);
    for (size_t done = 0; done < kFrames; done += block) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(block, kFrames - done));
        Sample* ins[2] = {&inL[done], &inR[done]};
        Sample* outs[2] = {&outL[done], &outR[done]};
        if constexpr (sizeof(Sample) == 4)
            plugin.processReplacing(ins, outs, n);
        else
            plugin.processDoubleReplacing(ins, outs, n);
    }
    float meters[kNumMeterValues];
    plugin.readMeters(meters);
    Hash h;
    h.bytes(outL.data(), kFrames * sizeof(Sample));
    h.bytes(outR.data(), kFrames * sizeof(Sample));
    h.bytes(meters, sizeof meters);
    return h.h;
}

// The kernel driven directly, in the given variant.
template <class Sample>
uint64_t runKernelPath(const Setting& s, int32_t block, KernelVariant variant) {
    std::vector<double> l(kFrames), r(kFrames);
    fillInput(l, r);
    std::vector<Sample> inL(l.begin(), l.end()), inR(r.begin(), r.end());
    std::vector<Sample> outL(kFrames), outR(kFrames);
    EngineFrontEnd engine;
    engine.engineState().kernelVariant = variant;
    applyProgram0(engine);
    engine.setSampleRate(s.rate);
    for (auto [index, value] : s.params) applyParameter(engine, index, value);
    engine.reset();
    for (size_t done = 0; done < kFrames; done += block) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(block, kFrames - done));
        engine.process<Sample>(&inL[done], &inR[done], &outL[done], &outR[done], n);
    }
    const MeterValues& meters = engine.meters();
    double m[kNumMeterValues];
    for (int c = 0; c < 2; ++c) {
        m[0 + c] = meters.inputPeak[c].load();
        m[2 + c] = meters.outputPeak[c].load();
        m[4 + c] = meters.inputMeanSquare[c].load();
        m[6 + c] = meters.outputMeanSquare[c].load();
        m[8 + c] = meters.gainReduction[c].load();
    }
    Hash h;
    h.bytes(outL.data(), kFrames * sizeof(Sample));
    h.bytes(outR.data(), kFrames * sizeof(Sample));
    h.bytes(m, sizeof m);
    return h.h;
}

// Per setting and block size (512, 333): effect float entry, effect double entry, kernel float, kernel double.
struct Expected {
    uint64_t effectFloat, effectDouble, kernelFloat, kernelDouble;
};

// Rerecord (only after a deliberate change of results) with VEXAL_GOLDEN_RECORD=1.
const Expected kExpected[] = {
    {0x837823ab4ebea828ull, 0x3b26a6402b8bd266ull, 0x899743c977ea59a5ull, 0x1f5bed857dc9e720ull},  // program 0, 512
    {0x837823ab4ebea828ull, 0x3b26a6402b8bd266ull, 0x899743c977ea59a5ull, 0x1f5bed857dc9e720ull},  // program 0, 333
    {0xb7665bf029b04ebdull, 0x6f8d0218a7237c5bull, 0x8805c8a0f2746f68ull, 0x4e1b97627c974eaaull},  // heavy, 512
    {0xb7665bf029b04ebdull, 0x6f8d0218a7237c5bull, 0x8805c8a0f2746f68ull, 0x4e1b97627c974eaaull},  // heavy, 333
    {0x837823ab4ebea828ull, 0x3b26a6402b8bd266ull, 0x899743c977ea59a5ull, 0x1f5bed857dc9e720ull},  // hard 44.1, 512
    {0x837823ab4ebea828ull, 0x3b26a6402b8bd266ull, 0x899743c977ea59a5ull, 0x1f5bed857dc9e720ull},  // hard 44.1, 333
    {0xe1487bd022f3b047ull, 0xcec4ff1cb5f9cd72ull, 0x1ac24f969145d654ull, 0xeabbab7323d513d8ull},  // hard 96, 512
    {0xe1487bd022f3b047ull, 0xcec4ff1cb5f9cd72ull, 0x1ac24f969145d654ull, 0xeabbab7323d513d8ull},  // hard 96, 333
    {0x705996c7b992b215ull, 0x737b52438f5ba97aull, 0x2baa0fc25d21982aull, 0xd4bdfd6c46a891f3ull},  // hard 192, 512
    {0x705996c7b992b215ull, 0x737b52438f5ba97aull, 0x2baa0fc25d21982aull, 0xd4bdfd6c46a891f3ull},  // hard 192, 333
    {0x7f82f66c6a75e5aeull, 0xfe0c38e03240c01full, 0xd2fc1b3a0028080dull, 0x8ae8f545c511853cull},  // med 44.1, 512
    {0x7f82f66c6a75e5aeull, 0xfe0c38e03240c01full, 0xd2fc1b3a0028080dull, 0x8ae8f545c511853cull},  // med 44.1, 333
    {0xf7e831e1124f228cull, 0x10f950553f55adb5ull, 0xc3055e446ddf6980ull, 0xe61eb03229aa8b76ull},  // med 96, 512
    {0xf7e831e1124f228cull, 0x10f950553f55adb5ull, 0xc3055e446ddf6980ull, 0xe61eb03229aa8b76ull},  // med 96, 333
    {0x1863774864544e70ull, 0x70ff4a2cdd518b34ull, 0x21ac82ec5eb9f285ull, 0xe7a917cc90f93c86ull},  // med 192, 512
    {0x1863774864544e70ull, 0x70ff4a2cdd518b34ull, 0x21ac82ec5eb9f285ull, 0xe7a917cc90f93c86ull},  // med 192, 333
    {0xf2f74bb504db5a53ull, 0x2943c028ba26f946ull, 0x87040134b937581aull, 0x845115d53f6c32b1ull},  // soft 44.1, 512
    {0xf2f74bb504db5a53ull, 0x2943c028ba26f946ull, 0x87040134b937581aull, 0x845115d53f6c32b1ull},  // soft 44.1, 333
    {0x11411b127c8cb6f8ull, 0x7ac9729f7a3ff8f3ull, 0xeb8dae094bc1fc49ull, 0x5f6bd8c894c64b8full},  // soft 96, 512
    {0x11411b127c8cb6f8ull, 0x7ac9729f7a3ff8f3ull, 0xeb8dae094bc1fc49ull, 0x5f6bd8c894c64b8full},  // soft 96, 333
    {0xde6134940a42a915ull, 0xf2599de6a926225cull, 0x0d1710305f903d03ull, 0xb3681b1c0c318fb7ull},  // soft 192, 512
    {0xde6134940a42a915ull, 0xf2599de6a926225cull, 0x0d1710305f903d03ull, 0xb3681b1c0c318fb7ull},  // soft 192, 333
    {0x7daa1e7feaf64e51ull, 0x06761c51a8e3927dull, 0x2d913d2b2b6ede21ull, 0x4aeed7d1354eb58full},  // oversample, 512
    {0x7daa1e7feaf64e51ull, 0x06761c51a8e3927dull, 0x2d913d2b2b6ede21ull, 0x4aeed7d1354eb58full},  // oversample, 333
    {0xffed8a758f247a5dull, 0x42dc900da5dfefe9ull, 0xf040c1fdb652157eull, 0x9b9e71e50fdcada1ull},  // order II, 512
    {0xffed8a758f247a5dull, 0x42dc900da5dfefe9ull, 0xf040c1fdb652157eull, 0x9b9e71e50fdcada1ull},  // order II, 333
    {0x3721e6ad99408826ull, 0x7a01e4a3b04d02e4ull, 0x02f707f55c78ef3dull, 0x8304a51453bb41c4ull},  // link 0.3, 512
    {0x3721e6ad99408826ull, 0x7a01e4a3b04d02e4ull, 0x02f707f55c78ef3dull, 0x8304a51453bb41c4ull},  // link 0.3, 333
    {0x3c27e5b42d4d3f2full, 0xde1de160d00d8529ull, 0x1d038b15372d0d4cull, 0xfbd66a9b76a459cfull},  // drive max, 512
    {0x647be98cb7a32340ull, 0x86d0048f49d770feull, 0x1d038b15372d0d4cull, 0xfbd66a9b76a459cfull},  // drive max, 333
    {0x851cb3d1aa0c5a1full, 0xc3e6282afd79473bull, 0x9c82418cbe497bafull, 0xc6e5353a50b2a4f7ull},  // leveller -6 dB, drive max, 512
    {0x039a71a7e4872cfcull, 0x9b932de2b6b06a80ull, 0x9c82418cbe497bafull, 0xc6e5353a50b2a4f7ull},  // leveller -6 dB, drive max, 333
    {0x87981afb8a8fdc22ull, 0x5978c3b472fbf630ull, 0xf1c80eeb95e8a89bull, 0x26333017044aa46aull},  // quantize 16 B autoblack, 512
    {0x87981afb8a8fdc22ull, 0x5978c3b472fbf630ull, 0xf1c80eeb95e8a89bull, 0x26333017044aa46aull},  // quantize 16 B autoblack, 333
    {0xde6a77e519f2c62eull, 0xde233486341cb06bull, 0xf67d5f44c48b14e4ull, 0xbd92d5e3b04f351eull},  // meter ovs, 512
    {0xde6a77e519f2c62eull, 0xde233486341cb06bull, 0xf67d5f44c48b14e4ull, 0xbd92d5e3b04f351eull},  // meter ovs, 333
    {0x89cbb7658582e4a5ull, 0xc12f55abb36914d7ull, 0x0000000000000000ull, 0x0000000000000000ull},  // calibrate l+r uncor, 512
    {0x89cbb7658582e4a5ull, 0xc12f55abb36914d7ull, 0x0000000000000000ull, 0x0000000000000000ull},  // calibrate l+r uncor, 333
};

}  // namespace

TEST(GoldenOutput, EveryCaseKeepsItsBits) {
    testsupport::TempConfigDir::clear();
    RecordProperty("effect_kernel", kernelVariantName(selectedKernelVariant()));
    const std::vector<Setting> all = settings();
    const int32_t blocks[2] = {512, 333};
    const bool record = std::getenv("VEXAL_GOLDEN_RECORD") != nullptr;
    if (!record) {
        ASSERT_EQ(std::size(kExpected), 2 * all.size());
    }
    for (size_t k = 0; k < all.size(); ++k) {
        for (int b = 0; b < 2; ++b) {
            const Setting& s = all[k];
            const int32_t block = blocks[b];
            SCOPED_TRACE(std::string(s.name) + ", block " + std::to_string(block));
            Expected got{runEffect<float>(s, block), runEffect<double>(s, block), 0, 0};
            if (s.engineOnly) {
                got.kernelFloat = runKernelPath<float>(s, block, KernelVariant::portable);
                got.kernelDouble = runKernelPath<double>(s, block, KernelVariant::portable);
                for (KernelVariant v : kAllKernelVariants) {
                    if (v == KernelVariant::portable || !kernelVariantSupported(v)) continue;
                    EXPECT_EQ(runKernelPath<float>(s, block, v), got.kernelFloat) << kernelVariantName(v);
                    EXPECT_EQ(runKernelPath<double>(s, block, v), got.kernelDouble) << kernelVariantName(v);
                }
            }
            if (record) {
                std::printf("    {0x%016llxull, 0x%016llxull, 0x%016llxull, 0x%016llxull},  // %s, %d\n",
                            static_cast<unsigned long long>(got.effectFloat),
                            static_cast<unsigned long long>(got.effectDouble),
                            static_cast<unsigned long long>(got.kernelFloat),
                            static_cast<unsigned long long>(got.kernelDouble), s.name, block);
                continue;
            }
            const Expected& want = kExpected[2 * k + b];
            EXPECT_EQ(got.effectFloat, want.effectFloat);
            EXPECT_EQ(got.effectDouble, want.effectDouble);
            EXPECT_EQ(got.kernelFloat, want.kernelFloat);
            EXPECT_EQ(got.kernelDouble, want.kernelDouble);
        }
    }
}
