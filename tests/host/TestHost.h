// A small VST 2.4 host for tests: loads the built plug-in with dlopen, answers
// its callback like a real host and records every call the plug-in makes.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vst/aeffect.h"

namespace testhost {

struct HostCall {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
    std::thread::id thread;
};

class TestHost {
public:
    explicit TestHost(const std::string& libraryPath = defaultPluginPath());
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    static std::string defaultPluginPath();

    bool loaded() const { return entry != nullptr; }
    // Calls VSTPluginMain with this host's callback; null when the plug-in refuses.
    vst::AEffect* createEffect();

    // What the callback answers.
    intptr_t versionAnswer = 2400;
    bool input1Connected = true;
    bool output1Connected = true;
    // Runs on every callback after it is logged; answering true makes `result`
    // the callback's answer (misbehaving hosts, re-entrant calls).
    std::function<bool(vst::AEffect*, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                       float opt, intptr_t& result)>
        hook;

    std::vector<HostCall> calls() const;
    void clearCalls();
    int countCalls(int32_t opcode) const;

    void* libraryHandle() const { return handle; }

private:
    static intptr_t callback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
    intptr_t answer(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                    float opt);

    void* handle = nullptr;
    vst::AEffect* (*entry)(vst::HostCallback) = nullptr;
    mutable std::mutex callMutex;
    std::vector<HostCall> callLog;
};

// One plug-in instance driven through its effect record.
class Instance {
public:
    explicit Instance(TestHost& host);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    vst::AEffect* effect() const { return fx; }
    explicit operator bool() const { return fx != nullptr; }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void close();
    // The host deleted the effect itself (effClose from inside a callback).
    void forgetEffect() { fx = nullptr; }

    void setSampleRate(float rate) { dispatch(vst::effSetSampleRate, 0, 0, nullptr, rate); }
    void setBlockSize(int32_t frames) { dispatch(vst::effSetBlockSize, 0, frames); }
    void resume() { dispatch(vst::effMainsChanged, 0, 1); }
    void suspend() { dispatch(vst::effMainsChanged, 0, 0); }
    void setParameter(int32_t index, float value) { fx->setParameter(fx, index, value); }
    float getParameter(int32_t index) { return fx->getParameter(fx, index); }
    std::string parameterName(int32_t index);
    std::string parameterLabel(int32_t index);
    std::string parameterDisplay(int32_t index);
    std::string stringRequest(int32_t opcode, int32_t index = 0, intptr_t value = 0);

    // Processes interleaved-free stereo blocks; out gets as many frames as in.
    void process(const std::vector<float>& inL, const std::vector<float>& inR,
                 std::vector<float>& outL, std::vector<float>& outR, int32_t blockSize = 512);
    void process(const std::vector<double>& inL, const std::vector<double>& inR,
                 std::vector<double>& outL, std::vector<double>& outR, int32_t blockSize = 512);

    // The editor's meter read-out (ten linear values), reached as the editor
    // reaches it: through the effect object behind the record's object pointer.
    void readMeters(float* values);

private:
    vst::AEffect* fx = nullptr;
};

}  // namespace testhost
