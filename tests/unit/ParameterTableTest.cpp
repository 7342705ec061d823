#include <gtest/gtest.h>

#include <cmath>

#include "core/ParameterTable.h"

namespace vexal {
namespace {

TEST(StepMapping, IndexAndValueRoundTripForEveryStepCount) {
    for (int n : {2, 3, 4, 8, 100}) {
        for (int i = 0; i < n; ++i) EXPECT_EQ(stepIndex(stepValue(i, n), n), i) << n << " " << i;
        EXPECT_EQ(stepIndex(1.0f, n), n - 1);
        EXPECT_EQ(stepIndex(0.0f, n), 0);
        EXPECT_EQ(stepIndex(-0.3f, n), 0);
        EXPECT_EQ(stepIndex(std::nanf(""), n), 0);
        EXPECT_EQ(stepIndex(INFINITY, n), n - 1);
    }
    EXPECT_FLOAT_EQ(stepValue(0, 2), 0.25f);
    EXPECT_FLOAT_EQ(stepValue(1, 2), 0.75f);
    EXPECT_FLOAT_EQ(stepValue(1, 3), 0.5f);
    EXPECT_EQ(stepIndex(0.999f, 3), 2);
    EXPECT_EQ(stepIndex(0.3333f, 3), 0);
    EXPECT_EQ(stepIndex(0.3334f, 3), 1);
    // The product is rounded to single precision before truncation: the float
    // nearest 0.01 lies below it, yet 100 times it rounds up to 1.
    EXPECT_LT(static_cast<double>(0.01f) * 100.0, 1.0);
    EXPECT_EQ(stepIndex(0.01f, 100), 1);
    EXPECT_EQ(stepIndex(0.0099999f, 100), 0);
}

}  // namespace
}  // namespace vexal
