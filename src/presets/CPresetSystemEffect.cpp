#include "CPresetSystemEffect.h"

#include <atomic>
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

// The write-back runs on whatever thread the host sets parameters from, often
// two at once: each value is a relaxed atomic store into the plain record.
void CPresetSystemEffect::setParameter(int32_t index, float value) {
    if (static_cast<uint32_t>(index) > 25u) return;
    const int32_t program = std::atomic_ref<int32_t>(currentProgram).load(std::memory_order_relaxed);
    std::atomic_ref<float>(programs[program].values[index]).store(value, std::memory_order_relaxed);
}

float CPresetSystemEffect::getParameter(int32_t index) {
    if (static_cast<uint32_t>(index) > 25u) return -1.0f;
    const int32_t program = std::atomic_ref<int32_t>(currentProgram).load(std::memory_order_relaxed);
    return std::atomic_ref<float>(programs[program].values[index]).load(std::memory_order_relaxed);
}

void CPresetSystemEffect::selectProgram(int32_t index) {
    applyingProgram = true;
    curProgram = 0;
    std::atomic_ref<int32_t>(currentProgram).store(index, std::memory_order_relaxed);
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
