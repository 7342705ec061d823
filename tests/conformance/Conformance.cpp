#include "Conformance.h"

#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/RegistryValues.h"
#ifdef _WIN32
#include <tlhelp32.h>
#endif

namespace conformance {

// --- floating-point control state ------------------------------------------------

FpControl readFpControl() {
    FpControl c;
    __asm__ volatile("stmxcsr %0" : "=m"(c.mxcsr));
    __asm__ volatile("fnstcw %0" : "=m"(c.x87));
    return c;
}

void writeMxcsr(uint32_t value) { __asm__ volatile("ldmxcsr %0" : : "m"(value)); }

bool sameControl(const FpControl& a, const FpControl& b) {
    return (a.mxcsr & kMxcsrControlMask) == (b.mxcsr & kMxcsrControlMask) && a.x87 == b.x87;
}

// --- audits -------------------------------------------------------------------------

AuditTotals& auditTotals() {
    static AuditTotals totals;
    return totals;
}

template <class Sample>
std::string auditSamples(const Sample* data, size_t n, const char* channel) {
    size_t nans = 0, infinities = 0, subnormals = 0, first = n;
    for (size_t i = 0; i < n; ++i) {
        const int kind = std::fpclassify(data[i]);
        if (kind == FP_NAN) ++nans;
        else if (kind == FP_INFINITE) ++infinities;
        else if (kind == FP_SUBNORMAL) ++subnormals;
        else continue;
        if (first == n) first = i;
    }
    if (nans + infinities + subnormals == 0) return {};
    std::ostringstream s;
    s << channel << ": " << nans << " NaN, " << infinities << " infinite, " << subnormals
      << " subnormal (first at frame " << first << ") ";
    return s.str();
}

template std::string auditSamples<float>(const float*, size_t, const char*);
template std::string auditSamples<double>(const double*, size_t, const char*);

namespace {

template <class Sample>
void callProcess(vst::AEffect* fx, Sample** in, Sample** out, int32_t n);
template <>
void callProcess<float>(vst::AEffect* fx, float** in, float** out, int32_t n) {
    fx->processReplacing(fx, in, out, n);
}
template <>
void callProcess<double>(vst::AEffect* fx, double** in, double** out, int32_t n) {
    fx->processDoubleReplacing(fx, in, out, n);
}

// processLock is the only lock the audio thread may take: one timed acquire and,
// when it got the lock, its release per call, nothing else. (An acquire that
// timed out gives a silent block; the threading checks meet that case.)
std::string auditRealtime(const testhost::RealtimeCounts& c) {
    std::ostringstream s;
    if (c.allocations) s << c.allocations << " allocation(s); ";
    if (c.frees) s << c.frees << " free(s); ";
    if (c.blockingCalls)
        s << c.blockingCalls << " blocking call(s), last " << c.lastBlockingCall << "; ";
    if (c.plainLocks) s << c.plainLocks << " lock(s) other than processLock; ";
    if (c.timedLocks > 1) s << c.timedLocks << " timed lock acquisitions (1 allowed); ";
    if (c.unlocks != c.timedLocksTaken)
        s << c.unlocks << " unlock(s) for " << c.timedLocksTaken << " timed acquisition(s); ";
    return s.str();
}

}  // namespace

template <class Sample>
::testing::AssertionResult auditedProcess(vst::AEffect* fx, Sample** inputs, Sample** outputs,
                                          int32_t frames, bool checkOutput) {
    testhost::resetRealtimeCounts();
    const FpControl before = readFpControl();
    {
        testhost::RealtimeScope audioThread;
        callProcess(fx, inputs, outputs, frames);
    }
    const FpControl after = readFpControl();
    const testhost::RealtimeCounts counts = testhost::realtimeCounts();

    std::string findings = auditRealtime(counts);
    if (!sameControl(before, after)) {
        std::ostringstream s;
        s << std::hex << "floating-point control changed: MXCSR 0x" << before.mxcsr << " -> 0x"
          << after.mxcsr << ", x87 0x" << before.x87 << " -> 0x" << after.x87 << "; ";
        findings += s.str();
    }
    if (checkOutput && frames > 0 && outputs) {
        if (outputs[0]) findings += auditSamples(outputs[0], static_cast<size_t>(frames), "left");
        if (outputs[1]) findings += auditSamples(outputs[1], static_cast<size_t>(frames), "right");
    }
    AuditTotals& totals = auditTotals();
    ++totals.calls;
    if (findings.empty()) return ::testing::AssertionSuccess();
    ++totals.violations;
    return ::testing::AssertionFailure() << "process(" << frames << " frames, "
                                         << (sizeof(Sample) == 4 ? "32" : "64")
                                         << "-bit): " << findings;
}

template ::testing::AssertionResult auditedProcess<float>(vst::AEffect*, float**, float**,
                                                          int32_t, bool);
template ::testing::AssertionResult auditedProcess<double>(vst::AEffect*, double**, double**,
                                                           int32_t, bool);

template <class Sample>
::testing::AssertionResult renderAudited(vst::AEffect* fx, const Stereo<Sample>& in,
                                         Stereo<Sample>& out, const std::vector<int32_t>& sizes) {
    const size_t frames = in.frames();
    out = Stereo<Sample>(frames);
    size_t k = 0;
    for (size_t pos = 0; pos < frames; ++k) {
        const size_t want = static_cast<size_t>(std::max<int32_t>(1, sizes[k % sizes.size()]));
        const auto n = static_cast<int32_t>(std::min(want, frames - pos));
        Sample* ins[2] = {const_cast<Sample*>(in.l.data() + pos), const_cast<Sample*>(in.r.data() + pos)};
        Sample* outs[2] = {out.l.data() + pos, out.r.data() + pos};
        auto result = auditedProcess(fx, ins, outs, n);
        if (!result) return result << " at frame " << pos;
        pos += static_cast<size_t>(n);
    }
    return ::testing::AssertionSuccess();
}

template ::testing::AssertionResult renderAudited<float>(vst::AEffect*, const Stereo<float>&,
                                                         Stereo<float>&, const std::vector<int32_t>&);
template ::testing::AssertionResult renderAudited<double>(vst::AEffect*, const Stereo<double>&,
                                                          Stereo<double>&,
                                                          const std::vector<int32_t>&);

template <class Sample>
::testing::AssertionResult bitIdentical(const std::vector<Sample>& a, const std::vector<Sample>& b) {
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "sizes differ: " << a.size() << " vs " << b.size();
    for (size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(Sample)) != 0)
            return ::testing::AssertionFailure()
                   << "first difference at frame " << i << ": " << a[i] << " vs " << b[i];
    return ::testing::AssertionSuccess();
}

template ::testing::AssertionResult bitIdentical<float>(const std::vector<float>&,
                                                        const std::vector<float>&);
template ::testing::AssertionResult bitIdentical<double>(const std::vector<double>&,
                                                         const std::vector<double>&);

// --- instances -----------------------------------------------------------------------------

void prepare(Instance& fx, float rate, int32_t blockSize) {
    fx.setSampleRate(rate);
    fx.setBlockSize(blockSize);
    fx.resume();
    fx.dispatch(vst::effStartProcess);
}

// --- process facts ---------------------------------------------------------------------------

namespace {
int countEntries(const char* path) {
    DIR* dir = opendir(path);
    if (!dir) return -1;
    int n = 0;
    while (dirent* e = readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) ++n;
    closedir(dir);
    return n;
}
}  // namespace

#ifdef _WIN32
// Windows: the process's threads (a system snapshot) and its open handles.
int threadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}
int openFdCount() {
    DWORD handles = 0;
    return GetProcessHandleCount(GetCurrentProcess(), &handles) ? static_cast<int>(handles) : -1;
}
#else
int threadCount() { return countEntries("/proc/self/task"); }
int openFdCount() { return countEntries("/proc/self/fd") - 1; }  // minus the one reading it
#endif

const std::string& configDir() {
    static const std::string dir = [] {
        const char* set = std::getenv("VEXAL_CONFIG_DIR");
        return std::string(set ? set : "");
    }();
    return dir;
}

bool directoryIsEmpty(const std::string& path) { return countEntries(path.c_str()) == 0; }

#ifdef _WIN32
bool settingsStoreIsEmpty() { return testsupport::registry::entries().empty(); }

void storeSettingsValue(const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::registry::write(name, REG_BINARY, bytes.data(), bytes.size());
}

void removeSettingsValue(const std::string& name) { testsupport::registry::remove(name); }
#else
bool settingsStoreIsEmpty() { return !configDir().empty() && directoryIsEmpty(configDir()); }

void storeSettingsValue(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(configDir() + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void removeSettingsValue(const std::string& name) { std::remove((configDir() + "/" + name).c_str()); }
#endif

}  // namespace conformance
