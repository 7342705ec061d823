// A minimal VST 2.4 host around one Plugin instance: every call goes through
// the effect record (dispatcher, parameter entries, double-precision process),
// as a host's would. Mono runs as a mono host does: input 1 and output 1 are
// reported as not connected and passed as null.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/MeterReadout.h"
#include "platform/FileReplacement.h"
#include "vst/aeffect.h"

namespace vexal {
class Plugin;
}

namespace vexal::cli {

class EffectHost {
public:
    // Throws std::runtime_error when the plug-in makes no instance.
    explicit EffectHost(bool mono = false);
    ~EffectHost();
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    bool isMono() const { return mono; }
    void setSampleRate(double rate);
    void setBlockSize(int32_t frames);
    void suspend();
    void resume();
    int32_t latency() const;

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);
    int32_t numParameters() const;
    std::string parameterName(int32_t index);
    std::string parameterDisplay(int32_t index);
    std::string parameterLabel(int32_t index);

    // Factory program names through effGetProgramNameIndexed; empty when the
    // plug-in does not answer for that index.
    std::string programName(int32_t index);
    // Selects one of the preset system's internal programs.
    void selectProgram(int32_t index);
    int32_t currentProgram();
    // effSetChunk with a bank chunk; false when the plug-in refuses it.
    bool setChunk(std::vector<char>& data);
    // effGetChunk: the bank chunk a host would save.
    std::vector<char> getChunk();
    // Preset (.zvk) and bank (.zvb) files through the preset system's editor
    // object; false when the file cannot be read or written, or is refused.
    // `problem` says why a file could not be read or written (empty when
    // the plug-in refused what it read). Reads take regular files only and
    // never block; writes replace the file whole or not at all.
    bool loadPresetFile(const std::string& path, std::string& problem);
    bool loadBankFile(const std::string& path, std::string& problem);
    bool savePresetFile(const std::string& path, const platform::ReplaceOptions& options, std::string& problem);
    bool saveBankFile(const std::string& path, const platform::ReplaceOptions& options, std::string& problem);

    // One block; right channel pointers are ignored in mono.
    void process(double* inL, double* inR, double* outL, double* outR, int32_t frames);
    MeterReadout readMeters();
    // The effect object behind the record, for what no host request reaches
    // (the editor's offscreen window).
    vexal::Plugin* pluginObject() const { return plugin; }

private:
    vexal::Plugin* plugin = nullptr;
    vst::AEffect* effect = nullptr;
    bool mono;
};

}  // namespace vexal::cli
