// The floating-point control state the engine computes under, whatever the
// host's audio thread was left with (a host, or a callback it runs, may set
// another rounding mode, unmask traps or flush): round to nearest, every
// exception masked, and subnormals either kept (the calibration generator) or
// flushed to zero and read as zero (the limiter kernel, so that its recursive
// filters never run in subnormal arithmetic). The caller's state comes back at
// the end of the scope. The one guard of the audio path.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace vexal {

class FloatingPointScope {
public:
    enum Subnormals { keepSubnormals, flushSubnormals };

#if defined(__SSE2__)
    explicit FloatingPointScope(Subnormals mode) : saved(_mm_getcsr()) {
        _mm_setcsr((mode == flushSubnormals ? kFlushing : kKeeping) | (saved & kStatusFlags));
    }
    ~FloatingPointScope() { _mm_setcsr(saved); }
#else
    explicit FloatingPointScope(Subnormals) {}
#endif
    FloatingPointScope(const FloatingPointScope&) = delete;
    FloatingPointScope& operator=(const FloatingPointScope&) = delete;
    static void* operator new(std::size_t) = delete;

private:
#if defined(__SSE2__)
    static constexpr unsigned kKeeping = 0x1F80u;   // the power-on default
    static constexpr unsigned kFlushing = 0x9FC0u;  // the same with FTZ and DAZ
    static constexpr unsigned kStatusFlags = 0x3Fu;
    unsigned saved;
#endif
};

}  // namespace vexal
