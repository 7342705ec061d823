// Arithmetic shared by the meter views: decibels in single precision, pixel
// counts from levels, and tick differences.
#pragma once

#include <cmath>
#include <cstdint>

namespace vexal::meter {

inline float decibels(float x) { return 20.0f * log10f(x); }

// trunc(v) limited to 0 … limit; NaN counts as 0. Limited before the
// conversion, so no level however wild reaches the integer conversion out
// of range.
inline int32_t pixels(float v, int32_t limit) {
    if (!(v > 0.0f)) return 0;
    if (v >= static_cast<float>(limit)) return limit;
    return static_cast<int32_t>(v);
}

// Milliseconds from one poll to the next in 32-bit tick arithmetic. A
// difference that comes out negative (the first poll after some 25 days of
// uptime, a tick source that went back) counts as no time at all: the hold
// counters then stay within their 50 ms and never overflow.
inline int32_t elapsed(uint32_t tick, uint32_t lastTick) {
    const auto delta = static_cast<int32_t>(tick - lastTick);
    return delta > 0 ? delta : 0;
}

}  // namespace vexal::meter
