#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "core/ValueText.h"

namespace vexal {
namespace {

std::string number(float v) {
    char text[64];
    std::memset(text, 0x55, sizeof text);
    formatNumber(v, text);
    return text;
}

std::string decibels(double v) {
    char text[64];
    formatDecibels(v, text);
    return text;
}

TEST(ValueText, NumbersAreEightCharactersWithFractionCut) {
    EXPECT_EQ(number(100.0f), "100.0000");
    EXPECT_EQ(number(0.0200000014f), "0.020000");  // Transient of program 0
    EXPECT_EQ(number(0.02f), "0.019999");        // the float below 0.02 is cut
    EXPECT_EQ(number(-12.0412f), "-12.0411");
    EXPECT_EQ(number(1.0f), "1.000000");
    EXPECT_EQ(number(1000.0f), "1000.000");
    EXPECT_EQ(number(0.0f), "0.000000");
    EXPECT_EQ(number(0.99999f), "0.999989");  // cut, not rounded
    EXPECT_EQ(number(1234567.0f), "1234567.");
    EXPECT_EQ(number(-0.5f), "-0.50000");
}

TEST(ValueText, DecibelTexts) {
    EXPECT_EQ(decibels(0.25), "-12.0411");
    EXPECT_EQ(decibels(16.0), "24.08239");
    EXPECT_EQ(decibels(1.0), "0.000000");
    EXPECT_EQ(decibels(0.5), "-6.02059");
    EXPECT_EQ(decibels(0.0), "-oo");
    EXPECT_EQ(decibels(-1.0), "-oo");
}

TEST(ValueText, HostileValuesStayShort) {
    for (float v : {1e30f, -1e30f, std::numeric_limits<float>::infinity(),
                    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
                    1e-45f, -1e-45f, 99999999.0f, 3.4e38f}) {
        char text[64];
        std::memset(text, 0x55, sizeof text);
        formatNumber(v, text);
        EXPECT_LT(std::strlen(text), 24u) << v;
        for (size_t i = std::strlen(text) + 1; i < sizeof text; ++i) ASSERT_EQ(text[i], 0x55);
    }
}

}  // namespace
}  // namespace vexal
