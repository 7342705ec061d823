// Shared tools of the conformance suite: an audited process call (real-time
// discipline, floating-point control state, output audit), deterministic test
// signals, stereo buffers with guard regions, and probes for pieces that land
// later (the limiter engine, the preset system).
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/AllocationGuard.h"
#include "host/TestHost.h"

namespace conformance {

using testhost::Instance;
using testhost::TestHost;

// --- floating-point control state ------------------------------------------------

struct FpControl {
    uint32_t mxcsr = 0;
    uint16_t x87 = 0;
};
FpControl readFpControl();
void writeMxcsr(uint32_t value);
// The control bits only: the six sticky exception flags record what arithmetic
// happened to raise and are not state a callee can be asked to restore.
constexpr uint32_t kMxcsrControlMask = ~0x3Fu;
bool sameControl(const FpControl& a, const FpControl& b);

// --- signals ------------------------------------------------------------------------

// White noise in [-amplitude, amplitude], reproducible from the seed.
template <class Sample>
std::vector<Sample> noise(size_t frames, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-amplitude, amplitude);
    std::vector<Sample> v(frames);
    for (auto& x : v) x = static_cast<Sample>(dist(rng));
    return v;
}

template <class Sample>
struct Stereo {
    std::vector<Sample> l, r;
    Stereo() = default;
    Stereo(size_t frames, Sample value = 0) : l(frames, value), r(frames, value) {}
    size_t frames() const { return l.size(); }
};

template <class Sample>
Stereo<Sample> noiseStereo(size_t frames, double amplitude, uint32_t seed) {
    Stereo<Sample> s;
    s.l = noise<Sample>(frames, amplitude, seed);
    s.r = noise<Sample>(frames, amplitude, seed * 7919u + 1u);
    return s;
}

// --- the audited process call ----------------------------------------------------------

// What the real-time audit found over a series of calls.
struct AuditTotals {
    uint64_t calls = 0;
    uint64_t violations = 0;
};
AuditTotals& auditTotals();

// One process call as an audio thread makes it: inside a RealtimeScope (no
// allocation, no free, no blocking call, only processLock taken and released,
// at most once), with the floating-point control state compared before and
// after, and the n output frames of both channels checked for NaN, infinity
// and subnormals. Returns failure with every finding spelled out.
template <class Sample>
::testing::AssertionResult auditedProcess(vst::AEffect* fx, Sample** inputs, Sample** outputs,
                                          int32_t frames, bool checkOutput = true);

// Renders a whole signal in blocks of blockSize (or of the sizes in `sizes`,
// cycled), every call audited; stops at the first failing call.
template <class Sample>
::testing::AssertionResult renderAudited(vst::AEffect* fx, const Stereo<Sample>& in,
                                         Stereo<Sample>& out, const std::vector<int32_t>& sizes);
template <class Sample>
::testing::AssertionResult renderAudited(vst::AEffect* fx, const Stereo<Sample>& in,
                                         Stereo<Sample>& out, int32_t blockSize) {
    return renderAudited(fx, in, out, std::vector<int32_t>{blockSize});
}

// Finds NaN, infinity or subnormal values in [0, n); empty when clean.
template <class Sample>
std::string auditSamples(const Sample* data, size_t n, const char* channel);

// --- instances -----------------------------------------------------------------------------

// Open, rate, block size, resume: what a host does before its first block.
void prepare(Instance& fx, float rate, int32_t blockSize);

// Bit-for-bit equality of two sample vectors; the message names the first difference.
template <class Sample>
::testing::AssertionResult bitIdentical(const std::vector<Sample>& a, const std::vector<Sample>& b);

// Number of threads of this process (from /proc/self/task).
int threadCount();
// Number of open file descriptors of this process.
int openFdCount();

// A temporary VEXAL_CONFIG_DIR for the whole test program, empty at start.
const std::string& configDir();
bool directoryIsEmpty(const std::string& path);
// The per-user settings store (that folder; on Windows the registry key):
// nothing stored, a value stored as a user would find it, a value removed.
bool settingsStoreIsEmpty();
void storeSettingsValue(const std::string& name, const std::vector<uint8_t>& bytes);
void removeSettingsValue(const std::string& name);

}  // namespace conformance
