// Small helpers of the engine's scalar arithmetic.
#pragma once

#include "Extremum.h"

namespace vexal {

// Recursive states that decay toward zero are kept out of denormal range.
inline double denormalGuard(double x) {
    x += 1e-30;
    return x - 1e-30;
}

// Smallest detector leaf and leveller input: silence reads as −100 dB.
constexpr double kDetectorFloor = 1e-5;

}  // namespace vexal
