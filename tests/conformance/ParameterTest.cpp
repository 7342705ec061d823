// Checks 25-32: parameter texts and string bounds, the value domain, step
// round trips, automation fuzz, the host program interface, callback
// discipline and the defaults of a fresh instance.
#include <thread>

#include "Conformance.h"

using namespace conformance;

namespace {

constexpr int kParams = 26;
constexpr size_t kStringCap = 24;  // bytes, terminating zero included

struct Stepped {
    int32_t index;
    std::vector<const char*> texts;
};
const std::vector<Stepped>& steppedParameters() {
    static const std::vector<Stepped> table = {
        {4, {"hard", "med", "soft"}},
        {6, {"off", "on"}},
        {7, {"I", "II"}},
        {8, {"off", "on"}},
        {9, {"K-12", "K-14", "K-20"}},
        {10, {"8", "16", "24"}},
        {11, {"off", "type A", "type B", "type C"}},
        {12, {"off", "left", "l+r uncor", "right"}},
        {14, {"off", "on"}},
        {15, {"off", "on"}},
        {16, {"off", "on"}},
        {17, {"off", "on"}},
        {18, {"peak", "k-system"}},
        {19, {"24dB", "12dB"}},
        {20, {"", "1", "2", "12", "L", "1L", "2L", "12L"}},
        {21, {"pre", "post"}},
    };
    return table;
}

const char* const kNames[kParams] = {
    "Output", "Drive", "Transient", "Release", "TransShape", "L/R Link", "Oversample",
    "DetectorOrder", "Power", "Scale", "Bits", "NoiseShape", "Calibrate", "Leveller",
    "MeterOvs", "AutoOut", "Quantize", "Autoblack", "MeterType", "AttZoom", "AttShow",
    "PostMeter", "dummy", "dummy", "dummy", "resvd-vid"};

float stepValue(int32_t i, int32_t n) {
    return (static_cast<float>(i) + 0.5f) / static_cast<float>(n);
}

// Bytes a string request wrote into a 256-byte buffer: the highest position
// that differs from either of two canary fills, plus one.
size_t bytesWritten(Instance& fx, int32_t opcode, int32_t index, intptr_t value = 0) {
    size_t written = 0;
    for (unsigned char canary : {0xA5, 0x5A}) {
        unsigned char buffer[256];
        std::memset(buffer, canary, sizeof buffer);
        fx.dispatch(opcode, index, value, buffer);
        for (size_t i = sizeof buffer; i > 0; --i)
            if (buffer[i - 1] != canary) {
                written = std::max(written, i);
                break;
            }
    }
    return written;
}

// Check 25: names, labels and texts: present, terminated, stable.
TEST(Parameters, TextsArePresentTerminatedAndStable) {
    TestHost host;
    Instance fx(host);
    EXPECT_EQ(fx.effect()->numParams, kParams);
    for (int32_t i = 0; i < kParams; ++i) {
        EXPECT_EQ(fx.parameterName(i), kNames[i]) << i;
        for (float v : {0.0f, 0.3f, 0.61f, 1.0f}) {
            fx.setParameter(i, v);
            const std::string display = fx.parameterDisplay(i);
            EXPECT_EQ(fx.parameterDisplay(i), display) << i;
            EXPECT_EQ(fx.parameterLabel(i), fx.parameterLabel(i)) << i;
            if (i <= 21 && i != 20) {
                EXPECT_FALSE(display.empty()) << i << " at " << v;
            }
        }
    }
    EXPECT_EQ(fx.parameterLabel(0), "dB");
    EXPECT_EQ(fx.parameterLabel(3), "ms");
    EXPECT_EQ(fx.parameterLabel(4), "");
}

// Check 26: no string request writes more than 24 bytes, whatever the value.
// The product string is the exception the identity texts force: "Full band
// precision limiter" is 27 characters, 28 bytes, within its 64-byte buffer.
TEST(Parameters, StringRequestsStayWithinTheirCap) {
    TestHost host;
    Instance fx(host);
    const float values[] = {0.0f, 1.0f, 0.5f, 1e30f, -1e30f, std::nanf(""), -1.0f, 2.0f,
                            1e-45f, -0.0f, 0.9999999f, 1.0000001f, INFINITY, -INFINITY,
                            3.4e38f, -3.4e38f, 1e-10f};
    for (int32_t i = -1; i <= kParams; ++i) {
        for (float v : values) {
            if (i >= 0 && i < kParams) fx.setParameter(i, v);
            for (int32_t op : {vst::effGetParamName, vst::effGetParamLabel, vst::effGetParamDisplay})
                EXPECT_LE(bytesWritten(fx, op, i), kStringCap) << "opcode " << op << " index " << i << " value " << v;
        }
    }
    // Every parameter at every extreme at once, then every display again.
    for (float v : values) {
        for (int32_t i = 0; i < kParams; ++i) fx.setParameter(i, v);
        for (int32_t i = 0; i < kParams; ++i)
            EXPECT_LE(bytesWritten(fx, vst::effGetParamDisplay, i), kStringCap) << i << " at " << v;
    }
    EXPECT_LE(bytesWritten(fx, vst::effGetProgramName, 0), kStringCap);
    for (int32_t index : {-1, 0, 1, 23, 24, 1000})
        EXPECT_LE(bytesWritten(fx, vst::effGetProgramNameIndexed, index), kStringCap) << index;
    EXPECT_LE(bytesWritten(fx, vst::effGetEffectName, 0), kStringCap);
    EXPECT_LE(bytesWritten(fx, vst::effGetVendorString, 0), kStringCap);
    EXPECT_EQ(bytesWritten(fx, vst::effGetProductString, 0), 28u);
}

// Check 27: values at and beyond the edges of 0..1 and non-numbers. What is
// read back is always a number: in-range values exactly, NaN and infinities
// ignored, finite out-of-range values go through their formulas as they are;
// the engine output stays finite.
TEST(Parameters, DomainEdges) {
    TestHost host;
    const float values[] = {0.0f, 1.0f, -0.0f, 1e-45f, 0.9999999f, 1.0000001f, -1.0f, 2.0f,
                            std::nanf(""), INFINITY, -INFINITY};
    for (int32_t i = 0; i < kParams; ++i) {
        Instance fx(host);
        prepare(fx, 44100.0f, 256);
        for (float v : values) {
            const float before = fx.getParameter(i);
            fx.setParameter(i, v);
            const float after = fx.getParameter(i);
            ASSERT_TRUE(std::isfinite(after)) << i << " after " << v;
            if (!std::isfinite(v)) {
                EXPECT_EQ(after, before) << i << " took " << v;
            }
            if (i == 25) {
                EXPECT_EQ(after, 0.015f);
            } else if (v >= 0.0f && v <= 1.0f) {
                EXPECT_EQ(after, v) << i;
            }
            const auto in = noiseStereo<float>(1024, 0.9, 31);
            Stereo<float> out;
            ASSERT_TRUE(renderAudited(fx.effect(), in, out, 256)) << "parameter " << i << " = " << v;
        }
    }
    Instance fx(host);
    EXPECT_EQ(fx.getParameter(26), -1.0f);
    EXPECT_EQ(fx.getParameter(-1), -1.0f);
    EXPECT_EQ(fx.getParameter(1000), -1.0f);
}

// Check 28: every step of every stepped parameter round-trips through its host
// value, and its text is the table's; a read-back value set again is stable.
TEST(Parameters, StepRoundTrips) {
    TestHost host;
    Instance fx(host);
    for (const Stepped& p : steppedParameters()) {
        const auto n = static_cast<int32_t>(p.texts.size());
        for (int32_t step = 0; step < n; ++step) {
            const float v = stepValue(step, n);
            fx.setParameter(p.index, v);
            EXPECT_EQ(fx.getParameter(p.index), v) << p.index;
            EXPECT_EQ(fx.parameterDisplay(p.index), p.texts[step]) << p.index << " step " << step;
        }
        fx.setParameter(p.index, 1.0f);
        EXPECT_EQ(fx.parameterDisplay(p.index), p.texts.back()) << p.index << " at 1.0";
        fx.setParameter(p.index, -0.5f);
        EXPECT_EQ(fx.parameterDisplay(p.index), p.texts.front()) << p.index << " below 0";
    }
    for (int32_t i = 0; i < 22; ++i) {
        for (float v : {0.0f, 0.123456f, 0.61f, 0.999f}) {
            fx.setParameter(i, v);
            const float read = fx.getParameter(i);
            const std::string text = fx.parameterDisplay(i);
            fx.setParameter(i, read);
            EXPECT_EQ(fx.getParameter(i), read) << i;
            EXPECT_EQ(fx.parameterDisplay(i), text) << i;
        }
    }
}

// Check 29: parameter changes between small sub-blocks over part of the grid,
// random permutations of every parameter, changes at several rates.
TEST(Parameters, AutomationFuzz) {
    TestHost host;
    std::mt19937 rng(32);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    std::uniform_int_distribution<int32_t> index(0, kParams - 1), count(1, 10);
    for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
        for (int32_t block : {64, 512}) {
            Instance fx(host);
            prepare(fx, rate, block);
            const auto in = noiseStereo<float>(static_cast<size_t>(block) * 40, 1.2, 33);
            Stereo<float> out(in.frames());
            for (size_t pos = 0; pos < in.frames(); pos += 32) {
                for (int k = count(rng); k > 0; --k) fx.setParameter(index(rng), value(rng));
                float* ins[2] = {const_cast<float*>(in.l.data() + pos), const_cast<float*>(in.r.data() + pos)};
                float* outs[2] = {out.l.data() + pos, out.r.data() + pos};
                ASSERT_TRUE(auditedProcess(fx.effect(), ins, outs, 32)) << rate << " Hz, block " << block;
            }
        }
    }
    {
        Instance fx(host);
        prepare(fx, 48000.0f, 512);
        const auto in = noiseStereo<double>(512, 1.2, 34);
        Stereo<double> out;
        for (int permutation = 0; permutation < 50; ++permutation) {
            for (int32_t i = 0; i < kParams; ++i) fx.setParameter(i, value(rng));
            for (int b = 0; b < 5; ++b) ASSERT_TRUE(renderAudited(fx.effect(), in, out, 512)) << permutation;
        }
    }
    for (int32_t every : {10, 100, 1000}) {
        Instance fx(host);
        prepare(fx, 44100.0f, 1000);
        const auto in = noiseStereo<float>(20000, 1.2, 35);
        Stereo<float> out(in.frames());
        for (size_t pos = 0; pos < in.frames(); pos += static_cast<size_t>(every)) {
            fx.setParameter(index(rng), value(rng));
            float* ins[2] = {const_cast<float*>(in.l.data() + pos), const_cast<float*>(in.r.data() + pos)};
            float* outs[2] = {out.l.data() + pos, out.r.data() + pos};
            ASSERT_TRUE(auditedProcess(fx.effect(), ins, outs, every)) << "every " << every;
        }
    }
}

// Check 30: the host sees one program; its name is the selected internal
// program's; renaming is kept and bounded; out-of-range requests change nothing.
TEST(Parameters, HostProgramInterface) {
    TestHost host;
    Instance fx(host);
    EXPECT_EQ(fx.effect()->numPrograms, 1);
    EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0);
    for (intptr_t p : {intptr_t{24}, intptr_t{-1}, intptr_t{1}, intptr_t{0}}) {
        fx.dispatch(vst::effSetProgram, 0, p);
        EXPECT_EQ(fx.dispatch(vst::effGetProgram), 0) << p;
    }
    const std::string name = fx.stringRequest(vst::effGetProgramName);
    char indexed[256] = {};
    const intptr_t answered = fx.dispatch(vst::effGetProgramNameIndexed, 0, 0, indexed);
    ASSERT_FALSE(name.empty());
    ASSERT_NE(answered, 0);
    EXPECT_EQ(name, indexed);
    EXPECT_EQ(name, "Default");
    // The internal programs answer by index; nothing beyond them.
    EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, 23, 0, indexed), 1);
    EXPECT_STREQ(indexed, "Total Disorder");
    EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, 24, 0, indexed), 0);
    EXPECT_EQ(fx.dispatch(vst::effGetProgramNameIndexed, -1, 0, indexed), 0);

    char rename[32] = "Loud master";
    fx.dispatch(vst::effSetProgramName, 0, 0, rename);
    EXPECT_EQ(fx.stringRequest(vst::effGetProgramName), "Loud master");
    EXPECT_GE(host.countCalls(vst::audioMasterUpdateDisplay), 1);
}

// Check 31: the plug-in never calls automate, edit or display requests from the
// audio thread; begin and end edit stay balanced.
TEST(Parameters, CallbackDiscipline) {
    TestHost host;
    Instance fx(host);
    prepare(fx, 44100.0f, 256);
    host.clearCalls();
    std::thread audio([&] {
        const auto in = noiseStereo<float>(256 * 200, 0.9, 36);
        Stereo<float> out;
        EXPECT_TRUE(renderAudited(fx.effect(), in, out, 256));
    });
    const std::thread::id audioId = audio.get_id();
    std::mt19937 rng(37);
    std::uniform_real_distribution<float> value(0.0f, 1.0f);
    for (int round = 0; round < 200; ++round)
        for (int32_t i = 0; i < kParams; ++i) fx.setParameter(i, value(rng));
    audio.join();
    int begins = 0, ends = 0;
    for (const auto& call : host.calls()) {
        if (call.opcode == vst::audioMasterBeginEdit) ++begins;
        if (call.opcode == vst::audioMasterEndEdit) ++ends;
        if (call.thread != audioId) continue;
        for (int32_t forbidden : {vst::audioMasterAutomate, vst::audioMasterBeginEdit,
                                  vst::audioMasterEndEdit, vst::audioMasterUpdateDisplay,
                                  vst::audioMasterSizeWindow, vst::audioMasterIOChanged,
                                  vst::audioMasterGetTime})
            EXPECT_NE(call.opcode, forbidden) << "callback from the audio thread";
    }
    EXPECT_EQ(begins, ends);
}

// Check 32: a fresh instance with no stored defaults holds program 0's values.
TEST(Parameters, DefaultsOfAFreshInstance) {
    ASSERT_TRUE(settingsStoreIsEmpty());
    TestHost host;
    Instance fx(host);
    // TransShape holds the float nearest 0.166667 as the factory table stores it, not one sixth.
    const float program0[kParams] = {1.0f,   0.5f,   0.2f,    0.7237f, 0.166667f,       1.0f,
                                     0.0f,   0.0f,   1.0f,    0.165f,  0.5f,            0.125f,
                                     0.0f,   1.0f,   0.0f,    0.0f,    0.25f,           0.0f,
                                     0.25f,  0.0f,   0.9375f, 0.0f,    0.0f,            0.0f,
                                     0.0f,   0.015f};
    for (int32_t i = 0; i < kParams; ++i) EXPECT_EQ(fx.getParameter(i), program0[i]) << i;
    EXPECT_EQ(fx.parameterDisplay(4), "hard");
    EXPECT_EQ(fx.parameterDisplay(20), "12L");
    EXPECT_TRUE(settingsStoreIsEmpty());
}

}  // namespace
