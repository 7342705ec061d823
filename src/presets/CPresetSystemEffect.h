// The program store behind the host's single program: 24 programs, the
// selected one mirroring the live parameters.
#pragma once

#include <cstdint>

#include "../vst/AudioEffectX.h"
#include "ProgramRecord.h"

namespace vexal {

class CPresetSystemEffect : public vst::AudioEffectX {
public:
    CPresetSystemEffect(vst::HostCallback hostCallback, int32_t numParams);
    ~CPresetSystemEffect() override;

    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    int32_t getProgram() override { return 0; }
    void setProgram(int32_t) override {}

    virtual int32_t getCurrentProgram() { return currentProgram; }
    virtual void selectProgram(int32_t index);
    virtual void resetProgramToTemplate(int32_t index);
    virtual bool isParameterSkippedOnSave(int32_t index) = 0;
    virtual bool isParameterSkippedOnLoad(int32_t index) = 0;
    virtual void finishPresetSetup();
    virtual void loadFactoryPrograms();

    const ProgramRecord& program(int32_t index) const { return programs[index]; }
    bool isApplyingProgram() const { return applyingProgram; }

protected:
    ProgramRecord* programs = nullptr;
    ProgramRecord programTemplate{};
    int32_t currentProgram = 0;
    bool applyingProgram = false;
};

}  // namespace vexal
