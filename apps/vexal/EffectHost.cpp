#include "EffectHost.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "core/Plugin.h"
#include "gui/DisplayText.h"
#include "plugin/EffectFactory.h"
#include "presets/PresetStore.h"
#include "presets/StateBlock.h"

namespace vexal::cli {

namespace {

// The host side of the callback. The effect's `user` field carries its host,
// so pin inquiries can be answered per instance.
intptr_t VEXAL_VSTCALL hostCallback(vst::AEffect* effect, int32_t opcode, int32_t index,
                                    intptr_t /*value*/, void* ptr, float /*opt*/) {
    switch (opcode) {
        case vst::audioMasterVersion: return 2400;
        case vst::audioMasterPinConnected: {
            // 0 means connected; a mono host has only pin 0 in each direction.
            const auto* host = effect ? static_cast<const EffectHost*>(effect->user) : nullptr;
            return (index == 1 && host && host->isMono()) ? 1 : 0;
        }
        case vst::audioMasterGetVendorString:
            if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", "Ortelwerk");
            return 1;
        case vst::audioMasterGetProductString:
            if (ptr) std::snprintf(static_cast<char*>(ptr), 64, "%s", "vexal");
            return 1;
        default: return 0;
    }
}

}  // namespace

EffectHost::EffectHost(bool mono) : mono(mono) {
    vst::AudioEffect* instance = vexal::createEffectInstance(&hostCallback);
    if (!instance) throw std::runtime_error("the plug-in made no instance");
    plugin = static_cast<vexal::Plugin*>(instance);
    effect = instance->getAeffect();
    effect->user = this;
    dispatch(vst::effOpen);
}

EffectHost::~EffectHost() {
    if (effect) {
        dispatch(vst::effMainsChanged, 0, 0);
        dispatch(vst::effClose);  // deletes the instance
    }
}

intptr_t EffectHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void EffectHost::setSampleRate(double rate) {
    dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
}

void EffectHost::setBlockSize(int32_t frames) { dispatch(vst::effSetBlockSize, 0, frames); }
void EffectHost::suspend() { dispatch(vst::effMainsChanged, 0, 0); }
void EffectHost::resume() { dispatch(vst::effMainsChanged, 0, 1); }
int32_t EffectHost::latency() const { return effect->initialDelay; }

void EffectHost::setParameter(int32_t index, float value) {
    effect->setParameter(effect, index, value);
}

float EffectHost::getParameter(int32_t index) { return effect->getParameter(effect, index); }
int32_t EffectHost::numParameters() const { return effect->numParams; }

static std::string textRequest(EffectHost& host, int32_t opcode, int32_t index) {
    char text[256] = {};
    host.dispatch(opcode, index, 0, text);
    text[sizeof text - 1] = 0;
    // Shown, listed and matched as the text it spells, also when stored in a
    // Windows code page.
    char shown[displayBytesFor(sizeof text)];
    displayText(text, shown, sizeof shown);
    return shown;
}

std::string EffectHost::parameterName(int32_t index) {
    return textRequest(*this, vst::effGetParamName, index);
}
std::string EffectHost::parameterDisplay(int32_t index) {
    return textRequest(*this, vst::effGetParamDisplay, index);
}
std::string EffectHost::parameterLabel(int32_t index) {
    return textRequest(*this, vst::effGetParamLabel, index);
}

std::string EffectHost::programName(int32_t index) {
    char text[256] = {};
    if (dispatch(vst::effGetProgramNameIndexed, index, 0, text) == 0) return {};
    text[sizeof text - 1] = 0;
    // Shown, listed and matched as the text it spells, also when stored in a
    // Windows code page.
    char shown[displayBytesFor(sizeof text)];
    displayText(text, shown, sizeof shown);
    return shown;
}

void EffectHost::selectProgram(int32_t index) { plugin->selectProgram(index); }
int32_t EffectHost::currentProgram() { return plugin->getCurrentProgram(); }

bool EffectHost::setChunk(std::vector<char>& data) {
    return dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(data.size()), data.data()) >= 0;
}

std::vector<char> EffectHost::getChunk() {
    void* data = nullptr;
    const intptr_t size = dispatch(vst::effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) return {};
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + size);
}

// Preset and bank files go through the preset system's block loaders and
// builders, not its dialog-side file operations: those remember the path,
// and the plug-in writes remembered paths to the per-user settings when it
// closes. vexal only reads those settings. The files are read in the byte
// order their owner identifier announces.
namespace {

bool readBlockFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& problem) {
    problem.clear();
    return platform::readRegularFile(path, kMaxStoredBlockBytes, bytes, problem) && bytes.size() > 4;
}

bool writeBlockFile(const std::string& path, uint8_t* block, int32_t size, const platform::ReplaceOptions& options,
                    std::string& problem) {
    const std::unique_ptr<uint8_t[]> owned(block);
    if (!block || size <= 0) {
        problem = "the plug-in gave no state";
        return false;
    }
    return platform::replaceFileContents(path, block, static_cast<size_t>(size), options, problem);
}

}  // namespace

bool EffectHost::loadPresetFile(const std::string& path, std::string& problem) {
    std::vector<uint8_t> bytes;
    return readBlockFile(path, bytes, problem) &&
           plugin->presetStore().loadStoredBlock(bytes.data(), bytes.size(), PresetStore::BlockFamily::program,
                                                 false, true);
}

bool EffectHost::loadBankFile(const std::string& path, std::string& problem) {
    std::vector<uint8_t> bytes;
    if (!readBlockFile(path, bytes, problem) ||
        !plugin->presetStore().loadStoredBlock(bytes.data(), bytes.size(), PresetStore::BlockFamily::bank,
                                               false, true))
        return false;
    // A bank load ends on program 0.
    plugin->selectProgram(0);
    return true;
}

bool EffectHost::savePresetFile(const std::string& path, const platform::ReplaceOptions& options,
                                std::string& problem) {
    uint8_t* block = nullptr;
    const int32_t size = plugin->presetStore().buildProgramBlock(&block);
    return writeBlockFile(path, block, size, options, problem);
}

bool EffectHost::saveBankFile(const std::string& path, const platform::ReplaceOptions& options,
                              std::string& problem) {
    uint8_t* block = nullptr;
    const int32_t size = plugin->presetStore().buildBankBlock(&block);
    return writeBlockFile(path, block, size, options, problem);
}

void EffectHost::process(double* inL, double* inR, double* outL, double* outR, int32_t frames) {
    double* inputs[2] = {inL, mono ? nullptr : inR};
    double* outputs[2] = {outL, mono ? nullptr : outR};
    effect->processDoubleReplacing(effect, inputs, outputs, frames);
}

MeterReadout EffectHost::readMeters() {
    float values[kNumMeterValues];
    plugin->readMeters(values);
    return decodeMeterValues(values);
}

}  // namespace vexal::cli
