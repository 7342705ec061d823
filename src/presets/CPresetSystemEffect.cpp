#include "CPresetSystemEffect.h"

#include <cstring>

#include "../core/ParameterTable.h"

namespace vexal {

CPresetSystemEffect::CPresetSystemEffect(vst::HostCallback hostCallback, int32_t numParams)
    : AudioEffectX(hostCallback, 1, numParams) {
    programsAreChunks(true);
    programs = new ProgramRecord[kNumPrograms]();
    loadFactoryPrograms();
    currentProgram = 0;
}

CPresetSystemEffect::~CPresetSystemEffect() { delete[] programs; }

void CPresetSystemEffect::setParameter(int32_t index, float value) {
    if (static_cast<uint32_t>(index) <= 25u) programs[currentProgram].values[index] = value;
}

float CPresetSystemEffect::getParameter(int32_t index) {
    if (static_cast<uint32_t>(index) > 25u) return -1.0f;
    return programs[currentProgram].values[index];
}

void CPresetSystemEffect::selectProgram(int32_t index) {
    applyingProgram = true;
    curProgram = 0;
    currentProgram = index;
    for (int32_t i = 0; i < kNumParams; ++i) setParameter(i, programs[index].values[i]);
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    applyingProgram = false;
}

void CPresetSystemEffect::resetProgramToTemplate(int32_t index) { programs[index] = programTemplate; }

void CPresetSystemEffect::finishPresetSetup() { programTemplate = programs[0]; }

// Stand-in until the factory table lands: every program holds program 0's values.
void CPresetSystemEffect::loadFactoryPrograms() {
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        std::memset(programs[k].name, 0, kProgramNameBytes);
        std::strcpy(programs[k].name, "Default");
        for (int32_t i = 0; i < kNumParams; ++i) programs[k].values[i] = parameterInfo(i).program0;
    }
}

}  // namespace vexal
