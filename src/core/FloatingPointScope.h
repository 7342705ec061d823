// The floating-point control state the engine computes under, whatever the
// host's audio thread was left with (a host, or a callback it runs, may set
// another rounding mode or flush-to-zero): round to nearest, every exception
// masked, subnormals kept. The caller's state comes back at the end of scope.
#pragma once

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace vexal {

class FloatingPointScope {
public:
#if defined(__SSE2__)
    FloatingPointScope() : saved(_mm_getcsr()) { _mm_setcsr(kEngineControl | (saved & kStatusFlags)); }
    ~FloatingPointScope() { _mm_setcsr(saved); }
#endif
    FloatingPointScope(const FloatingPointScope&) = delete;
    FloatingPointScope& operator=(const FloatingPointScope&) = delete;

private:
#if defined(__SSE2__)
    static constexpr unsigned kEngineControl = 0x1F80u;  // the power-on default
    static constexpr unsigned kStatusFlags = 0x3Fu;
    unsigned saved;
#endif
};

}  // namespace vexal
