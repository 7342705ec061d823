// The plug-in's engine over programme material for a profiler (perf record,
// valgrind --tool=callgrind): a fixed amount of work through the engine front
// end in single precision, block 512, no timing of its own, so that two builds or two variants
// can be compared by their instruction counts. The kernel variant is chosen
// at load, as in the plug-in: set VEXAL_KERNEL.
//
//   vexal_profile_engine program0|heavy [seconds of material] [passes over it]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../ProgrammeSignal.h"
#include "core/ParameterTable.h"
#include "core/EngineParameters.h"
#include "engine/EngineFrontEnd.h"
#include "engine/KernelVariant.h"

int main(int argc, char** argv) {
    const bool heavy = argc > 1 && std::strcmp(argv[1], "heavy") == 0;
    if (argc < 2 || (!heavy && std::strcmp(argv[1], "program0") != 0)) {
        std::fprintf(stderr, "usage: vexal_profile_engine program0|heavy [seconds] [passes]\n");
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
    const int passes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    const float rate = heavy ? 192000.0f : 44100.0f;
    const benchsignal::Stereo s = benchsignal::programme(rate, seconds);
    std::vector<float> l(s.l.begin(), s.l.end()), r(s.r.begin(), s.r.end());
    std::vector<float> outL(l.size()), outR(r.size());

    vexal::EngineFrontEnd engine;
    vexal::applyProgram0(engine);
    engine.setSampleRate(rate);
    if (heavy) {
        vexal::applyParameter(engine, vexal::kOversample, 1.0f);
        vexal::applyParameter(engine, vexal::kDetectorOrder, 1.0f);
        vexal::applyParameter(engine, vexal::kTransShape, 1.0f);
    }
    constexpr size_t kBlock = 512;
    for (int pass = 0; pass < passes; ++pass)
        for (size_t pos = 0; pos + kBlock <= l.size(); pos += kBlock) {
            engine.process<float>(&l[pos], &r[pos], &outL[pos], &outR[pos], kBlock);
        }
    // A checksum of the output, so that runs can be told apart at a glance.
    double sum = 0.0;
    for (size_t i = 0; i < outL.size(); ++i) sum += outL[i] - 0.5 * outR[i];
    std::printf("%s, %s, %zu frames, %d passes, checksum %.17g\n", heavy ? "heavy 192 kHz" : "program 0 44.1 kHz",
                vexal::kernelVariantName(vexal::selectedKernelVariant()), l.size() / kBlock * kBlock, passes, sum);
    return 0;
}
