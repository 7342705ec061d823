// Checks 4-6: the entry point and the effect record, the order in which a
// scanning host probes the plug-in, and what a scan costs.
#include <chrono>

#include "Conformance.h"

using namespace conformance;

namespace {

constexpr int32_t kZVvx = 0x5A567678;

// Check 4: the record before and after effOpen.
TEST(Discovery, EffectRecordFields) {
    TestHost host;
    vst::AEffect* e = host.createEffect();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, 0x56737450);  // "VstP"
    EXPECT_EQ(e->uniqueID, kZVvx);
    EXPECT_EQ(e->dispatcher(e, vst::effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(e->uniqueID, kZVvx);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->numParams, 26);
    EXPECT_EQ(e->numPrograms, 1);
    // 0x1031: has editor, replacing, chunks, double replacing; never a synth.
    EXPECT_EQ(e->flags, 0x1031);
    EXPECT_EQ(e->flags & vst::effFlagsIsSynth, 0);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 159);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
    EXPECT_EQ(e->dispatcher(e, vst::effGetPlugCategory, 0, 0, nullptr, 0.0f), 4);
    EXPECT_EQ(e->dispatcher(e, vst::effGetVstVersion, 0, 0, nullptr, 0.0f), 2400);
    e->dispatcher(e, vst::effClose, 0, 0, nullptr, 0.0f);
}

TEST(Discovery, HostVersionZeroGetsNull) {
    TestHost host;
    host.versionAnswer = 0;
    EXPECT_EQ(host.createEffect(), nullptr);
    EXPECT_GE(host.countCalls(vst::audioMasterVersion), 1);
}

// Check 5: the discovery order of a well-known scanner, one zero block included.
TEST(Discovery, ScannerOrderReplay) {
    TestHost host;
    vst::AEffect* e = host.createEffect();
    ASSERT_NE(e, nullptr);
    auto d = [e](int32_t op, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                 float opt = 0.0f) { return e->dispatcher(e, op, index, value, ptr, opt); };
    d(vst::effIdentify);
    d(vst::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    d(vst::effSetBlockSize, 0, 512);
    d(vst::effSetProcessPrecision, 0, 0);
    d(vst::effOpen);
    d(vst::effSetProgram, 0, 0);
    char text[256] = {};
    d(vst::effGetEffectName, 0, 0, text);
    EXPECT_STREQ(text, "ZVK Vexal");
    d(vst::effGetVendorString, 0, 0, text);
    EXPECT_STREQ(text, "Ortelwerk");
    d(vst::effGetProductString, 0, 0, text);
    EXPECT_STREQ(text, "Full band precision limiter");
    EXPECT_EQ(d(vst::effGetVendorVersion), 0);
    EXPECT_EQ(d(vst::effGetPlugCategory), 4);
    for (const char* canDo : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                              "sendVstMidiEvent", "receiveVstTimeInfo", "offline", "bypass"}) {
        char copy[64];
        std::strcpy(copy, canDo);
        EXPECT_EQ(d(vst::effCanDo, 0, 0, copy), 0) << canDo;
    }
    d(vst::effMainsChanged, 0, 1);
    d(vst::effStartProcess);
    Stereo<float> in(512), out(512, 1.0f);
    float* ins[2] = {in.l.data(), in.r.data()};
    float* outs[2] = {out.l.data(), out.r.data()};
    EXPECT_TRUE(auditedProcess(e, ins, outs, 512));
    Stereo<double> inD(512), outD(512, 1.0);
    double* insD[2] = {inD.l.data(), inD.r.data()};
    double* outsD[2] = {outD.l.data(), outD.r.data()};
    EXPECT_TRUE(auditedProcess(e, insD, outsD, 512));
    d(vst::effStopProcess);
    d(vst::effMainsChanged, 0, 0);
    d(vst::effClose);

    // No time-info request at all outside processing, no I/O-changed notice,
    // the version asked at most twice per instance.
    EXPECT_EQ(host.countCalls(vst::audioMasterGetTime), 0);
    EXPECT_EQ(host.countCalls(vst::audioMasterIOChanged), 0);
    EXPECT_LE(host.countCalls(vst::audioMasterVersion), 2);
}

// Check 6: a scan-style instantiate, query, close takes well under 100 ms and
// writes nothing: no file opened for writing, no socket (no X connection), the
// settings folder stays empty.
TEST(Discovery, ScanIsQuickAndWritesNothing) {
    ASSERT_FALSE(configDir().empty());
    ASSERT_TRUE(settingsStoreIsEmpty());
    TestHost host;
    ASSERT_TRUE(host.loaded());
    const uint64_t writesBefore = testhost::fileWriteOpens();
    const uint64_t connectsBefore = testhost::socketConnects();
    double worstMs = 0.0;
    for (int round = 0; round < 5; ++round) {
        const auto start = std::chrono::steady_clock::now();
        {
            Instance fx(host);
            ASSERT_TRUE(fx);
            fx.setSampleRate(44100.0f);
            fx.setBlockSize(512);
            for (int i = 0; i < 26; ++i) {
                fx.parameterName(i);
                fx.parameterDisplay(i);
                fx.parameterLabel(i);
            }
            fx.stringRequest(vst::effGetEffectName);
            fx.stringRequest(vst::effGetProductString);
            fx.stringRequest(vst::effGetVendorString);
            fx.stringRequest(vst::effGetProgramName);
        }
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        worstMs = std::max(worstMs, took.count());
    }
#ifdef TESTHOST_SANITIZED
    const double limitMs = 1000.0;  // the hard limit: sanitizers slow everything down
#else
    const double limitMs = 100.0;
#endif
    EXPECT_LT(worstMs, limitMs);
    RecordProperty("worst_scan_ms", std::to_string(worstMs));
    if (testhost::realtimeGuardActive()) {
        EXPECT_EQ(testhost::fileWriteOpens(), writesBefore);
        EXPECT_EQ(testhost::socketConnects(), connectsBefore);
    }
    EXPECT_TRUE(settingsStoreIsEmpty());
}

}  // namespace
