#include "TestHost.h"

#include "AllocationGuard.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "core/Plugin.h"

namespace testhost {

namespace {
// The callback has no context argument before the effect exists, so the host
// that is creating an effect is remembered here.
std::atomic<TestHost*> activeHost{nullptr};
}  // namespace

std::string TestHost::defaultPluginPath() {
    if (const char* path = std::getenv("VEXAL_PLUGIN")) return path;
    return VEXAL_PLUGIN_PATH;
}

TestHost::TestHost(const std::string& libraryPath) {
    int flags = RTLD_NOW | RTLD_LOCAL;
#ifdef TESTHOST_SANITIZED
    // Under the sanitizers the plug-in stays mapped after dlclose: LeakSanitizer
    // then still sees what the libraries it brings (cairo, X11) keep for the
    // process's life, and its reports can name the plug-in's functions.
    flags |= RTLD_NODELETE;
#endif
    handle = dlopen(libraryPath.c_str(), flags);
    if (!handle) return;
    entry = reinterpret_cast<vst::AEffect* (*)(vst::HostCallback)>(dlsym(handle, "VSTPluginMain"));
    activeHost = this;
}

TestHost::~TestHost() {
    if (activeHost == this) activeHost = nullptr;
    if (handle) dlclose(handle);
}

vst::AEffect* TestHost::createEffect() {
    activeHost = this;
    return entry ? entry(&TestHost::callback) : nullptr;
}

intptr_t TestHost::callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                            void* ptr, float opt) {
    TestHost* host = activeHost.load();
    return host ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
}

intptr_t TestHost::answer(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                          float opt) {
    // The host's bookkeeping is not the plug-in's: no real-time counting here.
    RealtimePause hostCode;
    {
        std::lock_guard<std::mutex> lock(callMutex);
        callLog.push_back({opcode, index, value, opt, std::this_thread::get_id()});
    }
    if (hook) {
        intptr_t result = 0;
        if (hook(effect, opcode, index, value, ptr, opt, result)) return result;
    }
    switch (opcode) {
        case vst::audioMasterVersion: return versionAnswer;
        case vst::audioMasterPinConnected:
            // 0 means connected.
            if (index == 1) return (value == 0 ? input1Connected : output1Connected) ? 0 : 1;
            return 0;
        case vst::audioMasterAutomate: return 0;
        case vst::audioMasterBeginEdit:
        case vst::audioMasterEndEdit:
        case vst::audioMasterUpdateDisplay:
        case vst::audioMasterIOChanged: return 1;
        case vst::audioMasterGetSampleRate: return 44100;
        case vst::audioMasterGetBlockSize: return 512;
        case vst::audioMasterGetVendorString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "Ortelwerk Test");
            return 1;
        case vst::audioMasterGetProductString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "TestHost");
            return 1;
        default: return 0;
    }
}

std::vector<HostCall> TestHost::calls() const {
    std::lock_guard<std::mutex> lock(callMutex);
    return callLog;
}

void TestHost::clearCalls() {
    std::lock_guard<std::mutex> lock(callMutex);
    callLog.clear();
}

int TestHost::countCalls(int32_t opcode) const {
    std::lock_guard<std::mutex> lock(callMutex);
    return static_cast<int>(std::count_if(callLog.begin(), callLog.end(),
                                          [&](const HostCall& c) { return c.opcode == opcode; }));
}

Instance::Instance(TestHost& host) {
    fx = host.createEffect();
    if (fx) dispatch(vst::effOpen);
}

Instance::~Instance() { close(); }

void Instance::close() {
    if (fx) fx->dispatcher(fx, vst::effClose, 0, 0, nullptr, 0.0f);
    fx = nullptr;
}

intptr_t Instance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return fx->dispatcher(fx, opcode, index, value, ptr, opt);
}

std::string Instance::stringRequest(int32_t opcode, int32_t index, intptr_t value) {
    char buffer[256] = {};
    dispatch(opcode, index, value, buffer);
    return buffer;
}

std::string Instance::parameterName(int32_t index) { return stringRequest(vst::effGetParamName, index); }
std::string Instance::parameterLabel(int32_t index) {
    return stringRequest(vst::effGetParamLabel, index);
}
std::string Instance::parameterDisplay(int32_t index) {
    return stringRequest(vst::effGetParamDisplay, index);
}

namespace {
template <class Sample, class Proc>
void processBlocks(vst::AEffect* fx, Proc proc, const std::vector<Sample>& inL,
                   const std::vector<Sample>& inR, std::vector<Sample>& outL,
                   std::vector<Sample>& outR, int32_t blockSize) {
    const size_t frames = std::min(inL.size(), inR.size());
    outL.assign(frames, Sample(0));
    outR.assign(frames, Sample(0));
    for (size_t pos = 0; pos < frames; pos += static_cast<size_t>(blockSize)) {
        const auto n = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(blockSize), frames - pos));
        Sample* ins[2] = {const_cast<Sample*>(inL.data() + pos), const_cast<Sample*>(inR.data() + pos)};
        Sample* outs[2] = {outL.data() + pos, outR.data() + pos};
        proc(fx, ins, outs, n);
    }
}
}  // namespace

void Instance::process(const std::vector<float>& inL, const std::vector<float>& inR,
                       std::vector<float>& outL, std::vector<float>& outR, int32_t blockSize) {
    processBlocks(fx, fx->processReplacing, inL, inR, outL, outR, blockSize);
}

void Instance::process(const std::vector<double>& inL, const std::vector<double>& inR,
                       std::vector<double>& outL, std::vector<double>& outR, int32_t blockSize) {
    processBlocks(fx, fx->processDoubleReplacing, inL, inR, outL, outR, blockSize);
}

// A virtual call through the plug-in's own table: nothing of vexal_core is linked
// here, so the sanitizer's check of the downcast, which needs Plugin's type
// information, is left out of this one function.
__attribute__((no_sanitize("vptr"))) void Instance::readMeters(float* values) {
    auto* plugin = static_cast<vexal::Plugin*>(static_cast<vst::AudioEffect*>(fx->object));
    plugin->readMeters(values);
}

}  // namespace testhost
