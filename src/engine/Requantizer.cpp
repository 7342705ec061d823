#include "Requantizer.h"

namespace vexal {

void Requantizer::reset() {
    for (auto& ring : errorRing)
        for (double& e : ring) e = 0.0;
    ringIndex = 0;
    // A silent start is black from the first sample (with Auto-black on).
    autoBlackGain = 1e-20;
}

void Requantizer::restartRingIndex() { ringIndex = 0; }

}  // namespace vexal
