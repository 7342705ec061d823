// What the plug-in asks of its host, and when.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "host/TestHost.h"

using namespace testhost;

namespace {

// What the final clip makes of a sample below full scale.
double clipped(double x) { return 0.5 * (std::fabs(x + 1.0) - std::fabs(x - 1.0)); }

TEST(HostCallback, LoadingAsksTheVersionAndSelectsProgram0) {
    TestHost host;
    host.clearCalls();
    Instance fx(host);
    ASSERT_TRUE(fx);
    const std::vector<HostCall> calls = host.calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].opcode, vst::audioMasterVersion);
    EXPECT_EQ(host.countCalls(vst::audioMasterVersion), 2);
    // Program 0 is selected twice (once by the start-up load of the stored
    // defaults, once at the end of construction); each selection refreshes the
    // host's display and brackets parameter 0.
    EXPECT_EQ(host.countCalls(vst::audioMasterUpdateDisplay), 2);
    EXPECT_EQ(host.countCalls(vst::audioMasterBeginEdit), 2);
    EXPECT_EQ(host.countCalls(vst::audioMasterEndEdit), 2);
    EXPECT_EQ(host.countCalls(vst::audioMasterAutomate), 0);
    EXPECT_EQ(host.countCalls(vst::audioMasterIOChanged), 0);
}

TEST(HostCallback, EveryBlockAsksForTheSecondPins) {
    TestHost host;
    Instance fx(host);
    host.clearCalls();
    std::vector<float> in(64, 0.1f), outL, outR;
    fx.process(in, in, outL, outR, 32);
    int inputQueries = 0, outputQueries = 0;
    for (const HostCall& c : host.calls()) {
        ASSERT_EQ(c.opcode, vst::audioMasterPinConnected);
        EXPECT_EQ(c.index, 1);
        (c.value == 0 ? inputQueries : outputQueries)++;
    }
    EXPECT_EQ(inputQueries, 2);
    EXPECT_EQ(outputQueries, 2);
}

TEST(HostCallback, UnconnectedRightPinsFallBackToTheLeftBuffers) {
    TestHost host;
    host.input1Connected = false;
    Instance fx(host);
    std::vector<double> left(400), right(400, 0.3), outL, outR;
    for (size_t i = 0; i < left.size(); ++i) left[i] = 0.001 * static_cast<double>(i % 50);
    fx.process(left, right, outL, outR, 400);
    for (size_t i = 159; i < 400; ++i) {
        ASSERT_EQ(outL[i], clipped(left[i - 159]));
        ASSERT_EQ(outR[i], clipped(left[i - 159])) << "the right input is not connected";
    }

    host.input1Connected = true;
    host.output1Connected = false;
    double* ins[2] = {left.data(), right.data()};
    std::vector<double> single(400, 9.0), untouched(400, 9.0);
    double* outs[2] = {single.data(), untouched.data()};
    fx.suspend();
    fx.effect()->processDoubleReplacing(fx.effect(), ins, outs, 400);
    for (size_t i = 159; i < 400; ++i) ASSERT_EQ(single[i], clipped(left[i - 159])) << "left stays";
    for (double v : untouched) ASSERT_EQ(v, 9.0);
}

TEST(HostCallback, NullRightBuffersActLikeAMonoHost) {
    TestHost host;
    Instance fx(host);
    std::vector<float> left(300, 0.125f), out(300, 5.0f);
    float* ins[2] = {left.data(), nullptr};
    float* outs[2] = {out.data(), nullptr};
    fx.effect()->processReplacing(fx.effect(), ins, outs, 300);
    for (size_t i = 159; i < 300; ++i) ASSERT_EQ(out[i], 0.125f);
}

}  // namespace
