// What a host sees of the plug-in: the effect record, identity, answers to
// every request, strings and rate classes — all through the binary interface.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/TestHost.h"

using namespace testhost;

namespace {

class HostInterface : public ::testing::Test {
protected:
    TestHost host;
};

TEST_F(HostInterface, EffectRecordAtConstruction) {
    Instance fx(host);
    ASSERT_TRUE(fx);
    vst::AEffect* e = fx.effect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 1);
    EXPECT_EQ(e->numParams, 26);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, 0x5A567678);  // "ZVvx"
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->flags, 0x1031);
    EXPECT_EQ(e->initialDelay, 159);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
}

TEST_F(HostInterface, HostVersionZeroGetsNoInstance) {
    host.versionAnswer = 0;
    EXPECT_EQ(host.createEffect(), nullptr);
}

TEST_F(HostInterface, LatencyFollowsRateClass) {
    Instance fx(host);
    struct Case {
        float rate;
        int latency;
    };
    for (Case c : {Case{96000, 287}, Case{192000, 543}, Case{44100, 159}, Case{79999, 159},
                   Case{80000, 287}, Case{169999, 287}, Case{170000, 543}, Case{4999, 159},
                   Case{200001, 159}, Case{48000, 159}, Case{88200, 287}, Case{176400, 543}}) {
        fx.setSampleRate(c.rate);
        EXPECT_EQ(fx.effect()->initialDelay, c.latency) << c.rate;
    }
    // NaN, zero, negative and infinite rates behave like 44.1 kHz.
    for (float rate : {std::nanf(""), 0.0f, -48000.0f, INFINITY}) {
        fx.setSampleRate(192000.0f);
        fx.setSampleRate(rate);
        EXPECT_EQ(fx.effect()->initialDelay, 159) << rate;
    }
    EXPECT_EQ(host.countCalls(vst::audioMasterIOChanged), 0);
}

TEST_F(HostInterface, IdentityStrings) {
    Instance fx(host);
    EXPECT_EQ(fx.stringRequest(vst::effGetEffectName), "ZVK Vexal");
    EXPECT_EQ(fx.stringRequest(vst::effGetProductString), "Full band precision limiter");
    EXPECT_EQ(fx.stringRequest(vst::effGetVendorString), "Ortelwerk");
    EXPECT_EQ(fx.dispatch(vst::effGetVendorVersion), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetVstVersion), 2400);
    EXPECT_EQ(fx.dispatch(vst::effGetPlugCategory), 4);
}

TEST_F(HostInterface, AnswersTable) {
    Instance fx(host);
    for (const char* cap : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                            "receiveVstMidiEvent", "receiveVstTimeInfo", "offline",
                            "midiProgramNames", "bypass", "plugAsChannelInsert", "2in2out", ""}) {
        char text[64];
        std::strcpy(text, cap);
        EXPECT_EQ(fx.dispatch(vst::effCanDo, 0, 0, text), 0) << cap;
    }
    EXPECT_EQ(fx.dispatch(vst::effCanDo, 0, 0, nullptr), 0);
    for (int i : {-1, 0, 13, 25, 26, 1000}) {
        EXPECT_EQ(fx.dispatch(vst::effCanBeAutomated, i), 1) << i;
        char text[64] = "0.5";
        EXPECT_EQ(fx.dispatch(vst::effString2Parameter, i, 0, text), 0) << i;
    }
    vst::VstPinProperties pin{};
    EXPECT_EQ(fx.dispatch(vst::effGetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetOutputProperties, 1, 0, &pin), 0);
    vst::VstSpeakerArrangement in{}, out{};
    in.numChannels = out.numChannels = 2;
    in.type = out.type = 1;
    EXPECT_EQ(fx.dispatch(vst::effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 0);
    vst::VstSpeakerArrangement* pin1 = &in;
    vst::VstSpeakerArrangement* pout1 = &out;
    EXPECT_EQ(fx.dispatch(vst::effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&pin1), &pout1), 0);
    EXPECT_EQ(pin1, nullptr);
    EXPECT_EQ(pout1, nullptr);
    EXPECT_EQ(fx.dispatch(vst::effSetBypass, 0, 1), 0);
    EXPECT_EQ(fx.dispatch(vst::effSetProcessPrecision, 0, 1), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetNumMidiInputChannels), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetNumMidiOutputChannels), 0);
    EXPECT_EQ(fx.dispatch(vst::effProcessEvents), 0);
    char midi[256] = {};
    EXPECT_EQ(fx.dispatch(vst::effGetMidiProgramName, 0, 0, midi), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetCurrentMidiProgram, 0, 0, midi), -1);
    EXPECT_EQ(fx.dispatch(vst::effGetMidiProgramCategory, 0, 0, midi), 0);
    EXPECT_EQ(fx.dispatch(vst::effHasMidiProgramsChanged), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetMidiKeyName, 0, 0, midi), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetTailSize), 0);
    EXPECT_EQ(fx.dispatch(vst::effBeginSetProgram), 0);
    EXPECT_EQ(fx.dispatch(vst::effEndSetProgram), 0);
    EXPECT_EQ(fx.dispatch(vst::effBeginLoadBank, 0, 0, midi), 0);
    EXPECT_EQ(fx.dispatch(vst::effBeginLoadProgram, 0, 0, midi), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0);
    EXPECT_EQ(fx.dispatch(999), 0);
    EXPECT_EQ(fx.dispatch(-1), 0);
}

TEST_F(HostInterface, ParameterPropertiesAreTheSameForEveryIndex) {
    Instance fx(host);
    vst::VstParameterProperties first{};
    ASSERT_EQ(fx.dispatch(vst::effGetParameterProperties, 0, 0, &first), 1);
    EXPECT_FLOAT_EQ(first.stepFloat, 0.0001f);
    EXPECT_EQ(first.flags, vst::kVstParameterUsesFloatStep);
    for (int i : {1, 12, 25, 26, -1}) {
        vst::VstParameterProperties p;
        std::memset(&p, 0x77, sizeof p);
        ASSERT_EQ(fx.dispatch(vst::effGetParameterProperties, i, 0, &p), 1);
        EXPECT_EQ(std::memcmp(&p, &first, sizeof p), 0) << i;
    }
}

TEST_F(HostInterface, MainsOffResetsMainsOnDoesNothing) {
    Instance fx(host);
    fx.resume();
    fx.suspend();
    fx.resume();
    EXPECT_EQ(fx.effect()->initialDelay, 159);
}

}  // namespace
