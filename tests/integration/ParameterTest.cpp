// The parameter table as a host sees it: names, labels, value texts, the step
// mapping and the answers to out-of-range requests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/TestHost.h"

using namespace testhost;

namespace {

// The host value that stands for step i of n.
float stepValue(int i, int n) { return (static_cast<float>(i) + 0.5f) / static_cast<float>(n); }

struct Expected {
    const char* name;
    const char* label;
    const char* display;
};

// Program 0 as the host sees it after construction.
const Expected kProgram0[26] = {
    {"Output", "dB", "0.000000"},     {"Drive", "dB", "0.000000"},
    {"Transient", "ms", "0.020000"},  {"Release", "ms", "199.9867"},
    {"TransShape", "", "hard"},       {"L/R Link", "", "100.0000"},
    {"Oversample", "", "off"},        {"DetectorOrder", "", "I"},
    {"Power", "", "on"},              {"Scale", "", "K-12"},
    {"Bits", "", "16"},               {"NoiseShape", "", "off"},
    {"Calibrate", "", "off"},         {"Leveller", "dB", "0.000000"},
    {"MeterOvs", "", "off"},          {"AutoOut", "", "off"},
    {"Quantize", "", "off"},          {"Autoblack", "", "off"},
    {"MeterType", "", "peak"},        {"AttZoom", "", "24dB"},
    {"AttShow", "", "12L"},           {"PostMeter", "", "pre"},
    {"dummy", "", ""},                {"dummy", "", ""},
    {"dummy", "", ""},                {"resvd-vid", "", ""},
};

class Parameters : public ::testing::Test {
protected:
    TestHost host;
    Instance fx{host};
};

TEST_F(Parameters, NamesLabelsAndTextsOfProgram0) {
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(fx.parameterName(i), kProgram0[i].name) << i;
        EXPECT_EQ(fx.parameterLabel(i), kProgram0[i].label) << i;
        EXPECT_EQ(fx.parameterDisplay(i), kProgram0[i].display) << i;
    }
    EXPECT_FLOAT_EQ(fx.getParameter(3), 0.7237f);
    EXPECT_FLOAT_EQ(fx.getParameter(20), 0.9375f);
}

TEST_F(Parameters, TextsAtTheEdges) {
    fx.setParameter(0, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(0), "-12.0411");
    fx.setParameter(1, 1.0f);
    EXPECT_EQ(fx.parameterDisplay(1), "24.08239");
    fx.setParameter(1, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(1), "-24.0823");
    fx.setParameter(2, 0.2f);
    EXPECT_EQ(fx.parameterDisplay(2), "0.020000");
    fx.setParameter(2, 1.0f);
    EXPECT_EQ(fx.parameterDisplay(2), "0.500000");
    fx.setParameter(3, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(3), "1.000000");
    fx.setParameter(3, 1.0f);
    EXPECT_EQ(fx.parameterDisplay(3), "1000.000");
    fx.setParameter(3, 0.61f);  // about 100 ms
    EXPECT_NEAR(std::stod(fx.parameterDisplay(3)), 100.0, 0.05);
    fx.setParameter(5, 1.0f);
    EXPECT_EQ(fx.parameterDisplay(5), "100.0000");
    fx.setParameter(5, 0.5f);
    EXPECT_EQ(fx.parameterDisplay(5), "50.00000");
    fx.setParameter(13, 0.5f);
    EXPECT_EQ(fx.parameterDisplay(13), "-6.02059");
    fx.setParameter(13, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(13), "-oo");
    fx.setParameter(20, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(20), "");
    fx.setParameter(20, 0.6f);
    EXPECT_EQ(fx.parameterDisplay(20), "L");
    const char* attShow[8] = {"", "1", "2", "12", "L", "1L", "2L", "12L"};
    for (int s = 0; s < 8; ++s) {
        fx.setParameter(20, stepValue(s, 8));
        EXPECT_EQ(fx.parameterDisplay(20), attShow[s]) << s;
    }
}

TEST_F(Parameters, StepTextsAndRoundTrips) {
    struct Stepped {
        int index;
        int steps;
        const char* texts[8];
    };
    const Stepped stepped[] = {
        {4, 3, {"hard", "med", "soft"}},
        {6, 2, {"off", "on"}},
        {7, 2, {"I", "II"}},
        {8, 2, {"off", "on"}},
        {9, 3, {"K-12", "K-14", "K-20"}},
        {10, 3, {"8", "16", "24"}},
        {11, 4, {"off", "type A", "type B", "type C"}},
        {12, 4, {"off", "left", "l+r uncor", "right"}},
        {14, 2, {"off", "on"}},
        {15, 2, {"off", "on"}},
        {16, 2, {"off", "on"}},
        {17, 2, {"off", "on"}},
        {18, 2, {"peak", "k-system"}},
        {19, 2, {"24dB", "12dB"}},
        {20, 8, {"", "1", "2", "12", "L", "1L", "2L", "12L"}},
        {21, 2, {"pre", "post"}},
    };
    for (const Stepped& p : stepped) {
        for (int s = 0; s < p.steps; ++s) {
            const float v = stepValue(s, p.steps);
            fx.setParameter(p.index, v);
            EXPECT_EQ(fx.getParameter(p.index), v);
            EXPECT_EQ(fx.parameterDisplay(p.index), p.texts[s]) << p.index << " step " << s;
        }
        // Exactly 1.0 (and beyond) selects the last step, a negative value the first.
        fx.setParameter(p.index, 1.0f);
        EXPECT_EQ(fx.parameterDisplay(p.index), p.texts[p.steps - 1]);
        fx.setParameter(p.index, 7.5f);
        EXPECT_EQ(fx.parameterDisplay(p.index), p.texts[p.steps - 1]);
        fx.setParameter(p.index, -0.5f);
        EXPECT_EQ(fx.parameterDisplay(p.index), p.texts[0]);
    }
    fx.setParameter(4, 0.999f);
    EXPECT_EQ(fx.parameterDisplay(4), "soft");
    fx.setParameter(4, 0.3333f);
    EXPECT_EQ(fx.parameterDisplay(4), "hard");
    fx.setParameter(4, 0.3334f);
    EXPECT_EQ(fx.parameterDisplay(4), "med");
}

TEST_F(Parameters, OutOfRangeIndexesAreIgnored) {
    EXPECT_FLOAT_EQ(fx.getParameter(25), 0.015f);
    fx.setParameter(25, 0.7f);
    EXPECT_FLOAT_EQ(fx.getParameter(25), 0.015f);
    EXPECT_FLOAT_EQ(fx.getParameter(30), -1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(26), -1.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(-1), -1.0f);
    for (int i : {-1, 26, 1000}) {
        fx.setParameter(i, 0.3f);
        char buffer[64];
        for (int op : {vst::effGetParamName, vst::effGetParamLabel, vst::effGetParamDisplay}) {
            std::memset(buffer, 0x5A, sizeof buffer);
            fx.dispatch(op, i, 0, buffer);
            for (char c : buffer) ASSERT_EQ(c, 0x5A) << "op " << op << " index " << i;
        }
    }
    // A null text pointer is never written.
    for (int op : {vst::effGetParamName, vst::effGetParamLabel, vst::effGetParamDisplay,
                   vst::effGetEffectName, vst::effGetVendorString, vst::effGetProductString,
                   vst::effGetProgramName, vst::effGetProgramNameIndexed})
        fx.dispatch(op, 0, 0, nullptr);
    for (int i = 0; i < 26; ++i) EXPECT_EQ(fx.parameterName(i), kProgram0[i].name);
}

TEST_F(Parameters, DummiesKeepTheirValueInTheProgram) {
    fx.setParameter(22, 0.25f);
    fx.setParameter(24, 0.75f);
    EXPECT_FLOAT_EQ(fx.getParameter(22), 0.25f);
    EXPECT_FLOAT_EQ(fx.getParameter(23), 0.0f);
    EXPECT_FLOAT_EQ(fx.getParameter(24), 0.75f);
}

TEST_F(Parameters, ContinuousValuesOutsideTheRangePassThroughTheirFormulas) {
    fx.setParameter(0, 1.5f);  // output gain 2^1 = +6.02 dB
    EXPECT_EQ(fx.parameterDisplay(0), "6.020599");
    EXPECT_FLOAT_EQ(fx.getParameter(0), 1.5f);
    // Not a number and infinities change nothing.
    for (float bad : {std::nanf(""), INFINITY, -INFINITY}) {
        for (int i = 0; i < 26; ++i) {
            const float before = fx.getParameter(i);
            const std::string text = fx.parameterDisplay(i);
            fx.setParameter(i, bad);
            EXPECT_EQ(fx.getParameter(i), before) << i;
            EXPECT_EQ(fx.parameterDisplay(i), text) << i;
        }
    }
    // A Release below 0 would be the power of a negative number: ignored.
    fx.setParameter(3, -0.5f);
    EXPECT_EQ(fx.parameterDisplay(3), "199.9867");
}

TEST_F(Parameters, OldLayoutConversion) {
    // 0.015 is what the current layout stores: nothing happens.
    fx.setParameter(25, 0.015f);
    EXPECT_EQ(fx.parameterDisplay(16), "off");
    EXPECT_EQ(fx.parameterDisplay(21), "pre");
    // Old layout: Bits had four steps (off, 8, 16, 24), Scale four (peak, K-12, K-14, K-20).
    fx.setParameter(10, 0.1f);
    fx.setParameter(9, 0.9f);
    fx.setParameter(17, 0.75f);
    fx.setParameter(20, 0.0f);
    fx.setParameter(25, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(16), "off");
    EXPECT_EQ(fx.parameterDisplay(10), "16");
    EXPECT_EQ(fx.parameterDisplay(18), "k-system");
    EXPECT_EQ(fx.parameterDisplay(9), "K-20");
    EXPECT_EQ(fx.parameterDisplay(17), "off");
    EXPECT_EQ(fx.parameterDisplay(20), "12L");
    EXPECT_EQ(fx.parameterDisplay(19), "24dB");
    EXPECT_EQ(fx.parameterDisplay(21), "post");

    fx.setParameter(10, 0.6f);  // old step 2: 16 bits, quantized
    fx.setParameter(9, 0.3f);   // old step 1: K-12
    fx.setParameter(25, 0.005f);
    EXPECT_EQ(fx.parameterDisplay(16), "on");
    EXPECT_EQ(fx.parameterDisplay(10), "16");
    EXPECT_EQ(fx.parameterDisplay(18), "k-system");
    EXPECT_EQ(fx.parameterDisplay(9), "K-12");

    fx.setParameter(9, 0.1f);  // old step 0: peak metering on K-14
    fx.setParameter(25, 0.0f);
    EXPECT_EQ(fx.parameterDisplay(18), "peak");
    EXPECT_EQ(fx.parameterDisplay(9), "K-14");
}

}  // namespace
