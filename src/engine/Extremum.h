// Branch-free maximum and minimum: the half-sum-plus-half-difference form the
// engine uses everywhere, so every stage rounds its extremes the same way.
#pragma once

#include <cmath>

namespace vexal {

inline double branchFreeMax(double a, double b) { return b + 0.5 * ((a - b) + std::fabs(a - b)); }

inline double branchFreeMin(double a, double b) { return a - 0.5 * ((a - b) + std::fabs(a - b)); }

}  // namespace vexal
