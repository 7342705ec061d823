// The program store behind the host's single program: 24 programs, the
// selected one mirroring the live parameters, saved and restored by the host
// as one chunk. The state blocks, files and stored values are the preset
// store's (PresetStore), which lives as long as the effect; the editor
// object, when the effect's owner attaches one, only shows them.
//
// Threads: everything here runs on the host's user-interface thread, except
// the write-back from setParameter, which runs on whatever thread the host
// sets parameters from. Nothing is locked; the host does not overlap chunk
// calls, program loads and editor actions.
#pragma once

#include <cstdint>
#include <memory>

#include "EditorLink.h"
#include "PresetStore.h"
#include "ProgramRecord.h"
#include "vst/AudioEffectX.h"

namespace vexal {

class CPresetSystemEffect : public vst::AudioEffectX {
public:
    CPresetSystemEffect(vst::HostCallback hostCallback, int32_t numParams);
    ~CPresetSystemEffect() override;

    // --- AudioEffect / AudioEffectX ------------------------------------------
    // Writes the value into the current program (indexes above 25 ignored).
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override;
    int32_t getProgram() override { return 0; }
    void setProgram(int32_t) override {}
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    // Both always carry the whole bank; isPreset is ignored.
    int32_t getChunk(void** data, bool isPreset) override;
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;

    // --- own operations, in slot order -------------------------------------
    virtual int32_t getCurrentProgram() { return currentProgram; }
    // Applies program index (0..23, not checked) through setParameter.
    virtual void selectProgram(int32_t index);
    virtual void renameCurrentProgram(const char* name);
    virtual void reserved1() {}
    virtual void reserved2() {}
    virtual void reserved3() {}
    virtual void reserved4() {}
    virtual void reserved5() {}
    virtual void reserved6() {}
    virtual void reserved7() {}
    virtual void reserved8() {}
    virtual void reserved9() {}
    virtual void reserved10() {}
    virtual void reserved11() {}
    virtual int32_t getPresetOwnerId();
    virtual void resetProgramToTemplate(int32_t index);
    virtual bool isParameterSkippedOnSave(int32_t index) = 0;
    virtual bool isParameterSkippedOnLoad(int32_t index) = 0;
    // Takes the template from program 0, then the preset store's start-up load.
    virtual void finishPresetSetup();
    virtual void loadFactoryPrograms();
    virtual void reserved12() {}

    // --- for the preset store, the editor and tests ---------------------------
    ProgramRecord* programStore() { return programs; }
    const ProgramRecord& program(int32_t index) const { return programs[index]; }
    const ProgramRecord& templateProgram() const { return programTemplate; }
    bool isApplyingProgram() const { return applyingProgram; }
    PresetStore& presetStore() { return *store; }
    EditorLink* presetEditor() const { return editorObject; }

protected:
    // Attaches the editor object (none: null); the effect owns it from then on.
    void attachPresetEditor(EditorLink* newEditor);

    ProgramRecord* programs = nullptr;  // kNumPrograms records, one allocation
    int32_t currentProgram = 0;
    ProgramRecord programTemplate{};
    uint8_t* chunkBuffer = nullptr;  // handed out by getChunk, valid until the next call
    int32_t chunkBufferSize = 0;
    uint8_t* chunkScratch = nullptr;
    bool applyingProgram = false;

private:
    int32_t setLegacyChunk(const uint8_t* data, int32_t byteSize, bool reversed);

    EditorLink* editorObject = nullptr;
    std::unique_ptr<PresetStore> store;
};

// Stores name (at most 24 bytes are looked at) into record by the naming rule:
// a name of 23 characters or more keeps its first 23.
void storeProgramName(ProgramRecord& record, const char* name);
// Copies the 24 name bytes of record and a NUL into text (25 bytes).
void copyProgramName(const ProgramRecord& record, char* text);

}  // namespace vexal
