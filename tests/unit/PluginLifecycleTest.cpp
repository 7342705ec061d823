// The effect as it starts: program 0 in its host values and settings, and the
// latency.
#include <gtest/gtest.h>

#include "core/Plugin.h"

namespace vexal {
namespace {

TEST(PluginLifecycle, ConstructionHoldsProgram0) {
    Plugin plugin(nullptr);
    for (int i = 0; i < kNumStoredParams; ++i)
        EXPECT_EQ(plugin.getParameter(i), parameterInfo(i).program0) << i;
    const EngineSettings& s = plugin.engineSettings();
    EXPECT_EQ(s.transShape.load(), 0);
    EXPECT_EQ(s.smoothLen.load(), 8);
    EXPECT_EQ(s.driveGain.load(), 1.0);
    EXPECT_EQ(s.outputGain.load(), 1.0);
    EXPECT_EQ(s.grShowMask.load(), 7);
    EXPECT_EQ(s.levellerRaw.load(), 1.0f);
    EXPECT_EQ(plugin.getAeffect()->initialDelay, 159);
}

}  // namespace
}  // namespace vexal
