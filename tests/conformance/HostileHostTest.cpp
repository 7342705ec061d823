// Checks 64-66: malformed requests, hostile process calls and a misbehaving
// host callback.
#include <dlfcn.h>

#include <climits>

#include "Conformance.h"

using namespace conformance;

namespace {

std::vector<float> allParameters(Instance& fx) {
    std::vector<float> v;
    for (int32_t i = 0; i < 26; ++i) v.push_back(fx.getParameter(i));
    return v;
}

std::vector<unsigned char> chunkOf(Instance& fx) {
    void* data = nullptr;
    const intptr_t size = fx.dispatch(vst::effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) return {};
    return {static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size};
}

// Check 64.
TEST(HostileHost, MalformedRequests) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 512);
    const auto parameters = allParameters(fx);
    const auto chunk = chunkOf(fx);
    char text[256];

    for (int32_t op : {-1, 999, INT_MAX, INT_MIN, 80, 100}) EXPECT_EQ(fx.dispatch(op, 0, 0, text), 0) << op;
    for (int32_t index : {-1, 26, 1000, INT_MAX, INT_MIN}) {
        for (int32_t op : {vst::effGetParamName, vst::effGetParamLabel, vst::effGetParamDisplay}) {
            std::memset(text, 0x5A, sizeof text);
            fx.dispatch(op, index, 0, text);
            EXPECT_EQ(static_cast<unsigned char>(text[0]), 0x5A) << "index " << index << " got text";
        }
        EXPECT_EQ(fx.getParameter(index), -1.0f) << index;
        fx.setParameter(index, 0.5f);
        EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, index, 0, text), 0) << index;
        vst::VstParameterProperties props;
        fx.dispatch(vst::effGetParameterProperties, index, 0, &props);
        fx.dispatch(vst::effCanBeAutomated, index);
        EXPECT_EQ(fx.dispatch(vst::effString2Parameter, index, 0, text), 0);
    }
    // Null where a string or structure is expected.
    for (int32_t op : {vst::effGetParamName, vst::effGetParamLabel, vst::effGetParamDisplay,
                       vst::effGetProgramName, vst::effSetProgramName, vst::effGetEffectName,
                       vst::effGetVendorString, vst::effGetProductString, vst::effCanDo,
                       vst::effGetProgramNameIndexed, vst::effString2Parameter,
                       vst::effGetParameterProperties, vst::effGetInputProperties,
                       vst::effGetOutputProperties, vst::effGetChunk, vst::effSetChunk,
                       vst::effEditGetRect, vst::effGetSpeakerArrangement,
                       vst::effSetSpeakerArrangement, vst::effProcessEvents,
                       vst::effGetMidiProgramName, vst::effGetMidiKeyName,
                       vst::effBeginLoadBank, vst::effBeginLoadProgram})
        fx.dispatch(op, 0, 0, nullptr);
    EXPECT_EQ(fx.dispatch(vst::effSetChunk, 0, 100, nullptr), chunk.empty() ? 0 : -1);
    EXPECT_EQ(fx.dispatch(vst::effCanDo, 0, 0, nullptr), 0);
    for (intptr_t size : {intptr_t{0}, intptr_t{-1}, intptr_t{-512}, intptr_t{INT_MAX}, intptr_t{INT_MIN}})
        fx.dispatch(vst::effSetBlockSize, 0, size);
    for (intptr_t program : {intptr_t{24}, intptr_t{-1}, intptr_t{INT_MAX}, intptr_t{1}})
        fx.dispatch(vst::effSetProgram, 0, program);
    EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0);

    EXPECT_EQ(allParameters(fx), parameters);
    EXPECT_EQ(chunkOf(fx), chunk);
    EXPECT_EQ(fx.effect()->initialDelay, 159);

    // A 200-byte name without a terminating zero, in a heap block of exactly
    // that size: read no further, keep at most 23 characters and the zero.
    auto* longName = static_cast<char*>(std::malloc(200));
    std::memset(longName, 'N', 200);
    fx.dispatch(vst::effSetProgramName, 0, 0, longName);
    std::free(longName);
    const std::string name = fx.stringRequest(vst::effGetProgramName);
    EXPECT_LE(name.size(), 23u);

    const auto in = noiseStereo<float>(4096, 0.9, 60);
    Stereo<float> out;
    EXPECT_TRUE(renderAudited(fx.effect(), in, out, 512));
}

// Check 65: process calls a host should not make.
TEST(HostileHost, HostileProcessCalls) {
    TestHost host;
    Instance fx(host);
    vst::AEffect* e = fx.effect();
    Stereo<float> in(1024, 0.5f), out(1024, 9.0f);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    EXPECT_TRUE(auditedProcess(e, ins, outs, 256));  // before any resume
    prepare(fx, 44100.0f, 512);
    fx.suspend();
    EXPECT_TRUE(auditedProcess(e, ins, outs, 256));  // after suspend
    fx.resume();

    // Zero and negative frame counts write nothing.
    std::fill(out.l.begin(), out.l.end(), 9.0f);
    std::fill(out.r.begin(), out.r.end(), 9.0f);
    for (int32_t frames : {0, -1, -512, INT_MIN}) {
        EXPECT_TRUE(auditedProcess(e, ins, outs, frames));
        double* insD[2] = {nullptr, nullptr};
        e->processDoubleReplacing(e, insD, insD, frames);
    }
    for (size_t i = 0; i < out.frames(); ++i) ASSERT_EQ(out.l[i], 9.0f) << i;

    // Null arrays and null channels.
    EXPECT_TRUE(auditedProcess<float>(e, nullptr, nullptr, 256));
    EXPECT_TRUE(auditedProcess<float>(e, nullptr, outs, 256));
    EXPECT_TRUE(auditedProcess<float>(e, ins, nullptr, 256));
    float* nullIns[2] = {nullptr, nullptr};
    float* nullOuts[2] = {nullptr, nullptr};
    float* halfIns[2] = {in.l.data(), nullptr};
    float* halfOuts[2] = {out.l.data(), nullptr};
    EXPECT_TRUE(auditedProcess(e, nullIns, outs, 256));
    EXPECT_TRUE(auditedProcess(e, ins, nullOuts, 256));
    EXPECT_TRUE(auditedProcess(e, halfIns, outs, 256));
    EXPECT_TRUE(auditedProcess(e, ins, halfOuts, 256));
    double* nullInsD[2] = {nullptr, nullptr};
    Stereo<double> outD(256);
    double* outsD[2] = {outD.l.data(), outD.r.data()};
    EXPECT_TRUE(auditedProcess(e, nullInsD, outsD, 256));
    EXPECT_TRUE(auditedProcess<double>(e, nullptr, nullptr, 256));
}

// Check 65, alignment: buffers off the 16-byte grid give the aligned result.
template <class Sample>
void checkUnaligned(TestHost& host) {
    const auto in = noiseStereo<Sample>(4096, 0.9, 61);
    Instance aligned(host), shifted(host);
    prepare(aligned, 44100.0f, 512);
    prepare(shifted, 44100.0f, 512);
    Stereo<Sample> reference;
    ASSERT_TRUE(renderAudited(aligned.effect(), in, reference, 512));
    // One sample in: 4 or 8 bytes past a 16-byte boundary.
    std::vector<Sample> inL(in.frames() + 1), inR(in.frames() + 3), outL(in.frames() + 1),
        outR(in.frames() + 3);
    std::copy(in.l.begin(), in.l.end(), inL.begin() + 1);
    std::copy(in.r.begin(), in.r.end(), inR.begin() + 3);
    for (size_t pos = 0; pos < in.frames(); pos += 512) {
        Sample* ins[2] = {inL.data() + 1 + pos, inR.data() + 3 + pos};
        Sample* outs[2] = {outL.data() + 1 + pos, outR.data() + 3 + pos};
        ASSERT_TRUE(auditedProcess(shifted.effect(), ins, outs, 512));
    }
    EXPECT_TRUE(bitIdentical(std::vector<Sample>(outL.begin() + 1, outL.end()), reference.l));
    EXPECT_TRUE(bitIdentical(std::vector<Sample>(outR.begin() + 3, outR.end()), reference.r));
}

TEST(HostileHost, UnalignedBuffers) {
    TestHost host;
    checkUnaligned<float>(host);
    checkUnaligned<double>(host);
}

// Check 66: no callback at all, a too-old host, re-entrant calls from inside
// callbacks, and a callback that changes the floating-point control state.
TEST(HostileHost, MisbehavingCallbacks) {
    TestHost host;
    ASSERT_TRUE(host.loaded());
    auto* entry = reinterpret_cast<vst::AEffect* (*)(vst::HostCallback)>(
        dlsym(host.libraryHandle(), "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    vst::AEffect* bare = entry(nullptr);
    ASSERT_NE(bare, nullptr);
    bare->dispatcher(bare, vst::effOpen, 0, 0, nullptr, 0.0f);
    bare->dispatcher(bare, vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    bare->dispatcher(bare, vst::effMainsChanged, 0, 1, nullptr, 0.0f);
    {
        const auto in = noiseStereo<float>(2048, 0.9, 62);
        Stereo<float> out;
        EXPECT_TRUE(renderAudited(bare, in, out, 512));
        bare->setParameter(bare, 4, 0.9f);
        EXPECT_TRUE(renderAudited(bare, in, out, 512));
    }
    bare->dispatcher(bare, vst::effClose, 0, 0, nullptr, 0.0f);

    host.versionAnswer = 0;
    EXPECT_EQ(host.createEffect(), nullptr);
    host.versionAnswer = 2400;

    // Re-entrant: every callback reads parameters, texts and the chunk.
    int reentered = 0;
    host.hook = [&](vst::AEffect* e, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t&) {
        if (!e || !e->object || opcode == vst::audioMasterVersion) return false;
        ++reentered;
        char text[64];
        e->getParameter(e, 0);
        e->dispatcher(e, vst::effGetParamDisplay, 3, 0, text, 0.0f);
        void* chunk = nullptr;
        e->dispatcher(e, vst::effGetChunk, 0, 0, &chunk, 0.0f);
        return false;
    };
    {
        Instance fx(host);
        prepare(fx, 44100.0f, 256);
        fx.setParameter(4, 0.9f);
        const auto in = noiseStereo<float>(2048, 0.9, 63);
        Stereo<float> out;
        EXPECT_TRUE(renderAudited(fx.effect(), in, out, 256));
    }
    EXPECT_GT(reentered, 0);

    // A callback during processing that turns on flush-to-zero, denormals-are-
    // zero and rounding toward +infinity: the output is that of a polite host.
    host.hook = nullptr;
    const auto in = noiseStereo<float>(8192, 1.5, 64);
    Stereo<float> polite, rude;
    {
        Instance fx(host);
        prepare(fx, 44100.0f, 256);
        fx.setParameter(1, 0.8f);
        ASSERT_TRUE(renderAudited(fx.effect(), in, polite, 256));
    }
    const FpControl original = readFpControl();
    host.hook = [&](vst::AEffect*, int32_t opcode, int32_t, intptr_t, void*, float, intptr_t&) {
        if (opcode == vst::audioMasterPinConnected) writeMxcsr(original.mxcsr | 0x8040u | 0x4000u);
        return false;
    };
    {
        Instance fx(host);
        prepare(fx, 44100.0f, 256);
        fx.setParameter(1, 0.8f);
        rude = Stereo<float>(in.frames());
        for (size_t pos = 0; pos < in.frames(); pos += 256) {
            float* ins[2] = {const_cast<float*>(in.l.data() + pos), const_cast<float*>(in.r.data() + pos)};
            float* outs[2] = {rude.l.data() + pos, rude.r.data() + pos};
            fx.effect()->processReplacing(fx.effect(), ins, outs, 256);
            writeMxcsr(original.mxcsr);
        }
    }
    host.hook = nullptr;
    writeMxcsr(original.mxcsr);
    EXPECT_TRUE(bitIdentical(rude.l, polite.l));
    EXPECT_TRUE(bitIdentical(rude.r, polite.r));
}

}  // namespace
