// The two number formats of the parameter value texts.
#pragma once

namespace vexal {

// Longest text either function writes, including the terminating zero.
constexpr int kMaxValueText = 24;

// The value in single precision as integer digits, a point and as many fraction
// digits as make 8 characters (a minus sign counts); fraction digits are cut,
// not rounded. Writes at most kMaxValueText bytes.
void formatNumber(float value, char* text);

// "-oo" for a value of 0 or below, otherwise the number text of 20·log10(value).
void formatDecibels(double value, char* text);

}  // namespace vexal
