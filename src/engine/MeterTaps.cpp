#include "MeterTaps.h"

namespace vexal {

void MeterTaps::reset() {
    for (int c = 0; c < 2; ++c) {
        inputPeak[c] = 0.0;
        outputPeak[c] = 0.0;
        inputMeanSquare[c] = 0.0;
        outputMeanSquare[c] = 0.0;
        gainReduction[c] = 1.0;
        for (double& x : outputTapRing[c]) x = 0.0;
    }
    tapIndex = 0;
}

void MeterTaps::restartHolds() {
    for (int c = 0; c < 2; ++c) {
        inputPeak[c] = 0.0;
        outputPeak[c] = 0.0;
        gainReduction[c] = 1.0;
    }
}

void MeterTaps::restartGainHolds() {
    gainReduction[0] = 1.0;
    gainReduction[1] = 1.0;
}

void MeterTaps::loadFrom(const MeterValues& m) {
    for (int c = 0; c < 2; ++c) {
        inputPeak[c] = m.inputPeak[c];
        outputPeak[c] = m.outputPeak[c];
        inputMeanSquare[c] = m.inputMeanSquare[c];
        outputMeanSquare[c] = m.outputMeanSquare[c];
        gainReduction[c] = m.gainReduction[c];
    }
}

void MeterTaps::publishTo(MeterValues& m) const {
    for (int c = 0; c < 2; ++c) {
        m.inputPeak[c] = inputPeak[c];
        m.outputPeak[c] = outputPeak[c];
        m.inputMeanSquare[c] = inputMeanSquare[c];
        m.outputMeanSquare[c] = outputMeanSquare[c];
        m.gainReduction[c] = gainReduction[c];
    }
}

}  // namespace vexal
