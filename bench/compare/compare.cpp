// This plug-in against a peer limiter, both loaded through their binary
// interface by the test host, on programme material, in one run: every kernel
// variant the processor supports (each from its own copy of the library, loaded
// with VEXAL_KERNEL set), and LSP Limiter Stereo at its defaults when it is
// installed (Debian: apt-get install lsp-plugins-vst). Passes alternate between
// the contenders; per contender the median and the best of the rounds, in
// nanoseconds per stereo frame, each with its ratio to the peer (on a shared
// machine the best pass is the least disturbed one).
//
//   vexal_compare [--rounds N] [--variants sse2,avx2] [--baseline old/ZVKVexal.so]
//                 [--clock thread|wall] [--peer path/to/limiter-stereo.so]
//                 [--without-avx512]
//
// --variants limits the run to the named variants (all supported ones by
// default); --baseline adds another build of this plug-in in the same
// variants, so that a change is measured before and after in one run.
// Passes are timed by the thread's processor time (--clock wall: by the
// wall clock). --without-avx512 runs as far as software can like a processor
// that has no AVX-512: no AVX-512 variant, and the C library's copy and fill
// routines in their AVX2 forms (the program restarts itself with the
// tunable that tells the loader so). The peer has no AVX-512 code of its own.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "../ProgrammeSignal.h"
#include "host/TestHost.h"
#include "core/ParameterTable.h"
#include "engine/KernelVariant.h"

namespace {

constexpr int32_t kBlock = 512;
constexpr const char* kPeerPath = "/usr/lib/vst/lsp-plugins/limiter-stereo.so";

struct Contender {
    std::string name;
    std::unique_ptr<testhost::TestHost> host;
    bool ours = true;
};

struct Scene {
    const char* name;
    float rate;
    double seconds;
    std::vector<std::pair<int32_t, float>> ourParams;
};

struct Material {
    std::vector<float> l, r, outL, outR;
};

// Wall-clock time, or the calling thread's processor time: on a machine
// shared with other work the latter leaves out the time the thread waited
// for a core (what remains of the others' load is their use of the caches).
bool gWallClock = false;

double nowNs() {
    if (gWallClock)
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now().time_since_epoch()).count();
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1e9 * static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec);
}

// One pass over the whole material, block by block; returns ns per frame.
double timePass(testhost::Instance& fx, Material& m) {
    const size_t frames = m.l.size();
    const double start = nowNs();
    for (size_t pos = 0; pos + kBlock <= frames; pos += kBlock) {
        float* ins[2] = {&m.l[pos], &m.r[pos]};
        float* outs[2] = {&m.outL[pos], &m.outR[pos]};
        fx.effect()->processReplacing(fx.effect(), ins, outs, kBlock);
    }
    return (nowNs() - start) / static_cast<double>(frames / kBlock * kBlock);
}

double peakDb(const Material& m) {
    float p = 0.0f;
    for (size_t i = 0; i < m.outL.size(); ++i) p = std::max({p, std::fabs(m.outL[i]), std::fabs(m.outR[i])});
    return 20.0 * std::log10(std::max(p, 1e-30f));
}

void runScene(const Scene& scene, std::vector<Contender>& contenders, int rounds) {
    const benchsignal::Stereo s = benchsignal::programme(scene.rate, scene.seconds);
    Material m{{s.l.begin(), s.l.end()}, {s.r.begin(), s.r.end()}, {}, {}};
    m.outL.resize(m.l.size());
    m.outR.resize(m.r.size());

    std::vector<std::unique_ptr<testhost::Instance>> fx;
    for (Contender& c : contenders) {
        auto instance = std::make_unique<testhost::Instance>(*c.host);
        instance->setSampleRate(scene.rate);
        instance->setBlockSize(kBlock);
        if (c.ours)
            for (auto [index, value] : scene.ourParams) instance->setParameter(index, value);
        instance->resume();
        fx.push_back(std::move(instance));
    }
    std::vector<std::vector<double>> times(contenders.size());
    std::vector<double> peaks(contenders.size());
    for (int round = 0; round < rounds; ++round)
        for (size_t c = 0; c < contenders.size(); ++c) {
            times[c].push_back(timePass(*fx[c], m));
            peaks[c] = peakDb(m);
        }

    std::printf("\n%s at %.1f kHz, %.0f s of programme material, block %d, float entry, %d rounds\n",
                scene.name, scene.rate / 1000.0, scene.seconds, kBlock, rounds);
    std::vector<double> median(contenders.size()), best(contenders.size());
    for (size_t c = 0; c < contenders.size(); ++c) {
        std::sort(times[c].begin(), times[c].end());
        median[c] = times[c][times[c].size() / 2];
        best[c] = times[c].front();
    }
    const bool havePeer = !contenders.back().ours;
    std::printf("  %-28s %14s %14s   (ns of %s per stereo frame; best: the least disturbed pass)\n", "",
                "median", "best", gWallClock ? "wall-clock time" : "thread processor time");
    for (size_t c = 0; c < contenders.size(); ++c) {
        std::printf("  %-28s %8.1f", contenders[c].name.c_str(), median[c]);
        if (havePeer) std::printf(" %4.2fx", median[c] / median.back());
        std::printf(" %8.1f", best[c]);
        if (havePeer) std::printf(" %4.2fx", best[c] / best.back());
        std::printf("   output peak %+.2f dBFS\n", peaks[c]);
    }
}

// The C library picks its string routines when the program is loaded, so
// hiding AVX-512 from it means starting again with the tunable set.
void restartWithoutAvx512(char** argv) {
    constexpr const char* kTunable = "GLIBC_TUNABLES";
    constexpr const char* kHidden = "glibc.cpu.hwcaps=-AVX512F,-AVX512VL,-AVX512BW,-AVX512DQ,-AVX512CD";
    const char* set = std::getenv(kTunable);
    if (set && std::strcmp(set, kHidden) == 0) return;
    setenv(kTunable, kHidden, 1);
    execv("/proc/self/exe", argv);
    std::perror("vexal_compare: restart without AVX-512");
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 7;
    std::string peer = kPeerPath;
    std::string variants, baseline;
    bool withoutAvx512 = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--without-avx512") == 0) withoutAvx512 = true;
    if (withoutAvx512) restartWithoutAvx512(argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--peer") == 0) peer = argv[i + 1];
        if (std::strcmp(argv[i], "--variants") == 0) variants = "," + std::string(argv[i + 1]) + ",";
        if (std::strcmp(argv[i], "--baseline") == 0) baseline = argv[i + 1];
        if (std::strcmp(argv[i], "--clock") == 0) gWallClock = std::strcmp(argv[i + 1], "wall") == 0;
    }
    // Settings must not come from the user's own folder.
    const std::filesystem::path temp =
        std::filesystem::temp_directory_path() / ("vexal-compare-" + std::to_string(::getpid()));
    std::filesystem::create_directories(temp / "config");
    if (!std::getenv("VEXAL_CONFIG_DIR")) setenv("VEXAL_CONFIG_DIR", (temp / "config").string().c_str(), 1);

    std::vector<Contender> contenders;
    struct Build {
        std::string label, path;
    };
    std::vector<Build> builds = {{"ZVK Vexal", testhost::TestHost::defaultPluginPath()}};
    if (!baseline.empty()) builds.push_back({"baseline", baseline});
    for (size_t k = 0; k < builds.size(); ++k)
        for (vexal::KernelVariant v : vexal::kAllKernelVariants) {
            if (!vexal::kernelVariantSupported(v)) continue;
            if (withoutAvx512 && v == vexal::KernelVariant::avx512) continue;
            // The variant is read when the library is loaded: a copy per variant.
            const std::string name = vexal::kernelVariantName(v);
            if (!variants.empty() && variants.find("," + name + ",") == std::string::npos) continue;
            const std::filesystem::path copy = temp / ("ZVKVexal-" + std::to_string(k) + "-" + name + ".so");
            std::filesystem::copy_file(builds[k].path, copy, std::filesystem::copy_options::overwrite_existing);
            setenv("VEXAL_KERNEL", name.c_str(), 1);
            contenders.push_back({builds[k].label + ", " + name, std::make_unique<testhost::TestHost>(copy.string())});
        }
    unsetenv("VEXAL_KERNEL");
    if (std::filesystem::exists(peer)) {
        contenders.push_back({"LSP Limiter Stereo, defaults", std::make_unique<testhost::TestHost>(peer), false});
        if (!contenders.back().host->loaded()) {
            std::printf("could not load %s\n", peer.c_str());
            contenders.pop_back();
        }
    } else {
        std::printf("LSP Limiter Stereo not found at %s (apt-get install lsp-plugins-vst): no ratio\n",
                    peer.c_str());
    }

    if (withoutAvx512) std::printf("As on a processor without AVX-512: %s\n", std::getenv("GLIBC_TUNABLES"));
    const Scene scenes[] = {
        {"Program 0", 44100.0f, 120.0, {}},
        {"Heavy (Oversample, DetectorOrder II, TransShape soft)", 192000.0f, 20.0,
         {{vexal::kOversample, 1.0f}, {vexal::kDetectorOrder, 1.0f}, {vexal::kTransShape, 1.0f}}},
    };
    for (const Scene& scene : scenes) runScene(scene, contenders, rounds);
    contenders.clear();
    std::filesystem::remove_all(temp);
    return 0;
}
