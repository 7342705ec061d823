#include "Programs.h"

#include <cstdlib>
#include <cstring>

#include "LowerCase.h"
#include "ParameterSetting.h"
#include "UsageError.h"
#include "platform/FileReplacement.h"
#include "presets/ProgramRecord.h"
#include "presets/StateBlock.h"

namespace vexal::cli {

namespace {

// A chunk is the 8-byte head and at most the largest stored block.
constexpr size_t kMaxChunkFileBytes = kMaxStoredBlockBytes + 8;

std::vector<char> readChunkFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!platform::readRegularFile(path, kMaxChunkFileBytes, bytes, problem))
        throw UsageError(path + ": " + problem);
    return std::vector<char>(bytes.begin(), bytes.end());
}

void loadFailed(const std::string& path, const std::string& problem, const char* kind) {
    if (!problem.empty()) throw UsageError(path + ": " + problem);
    throw UsageError(path + ": not a ZVK Vexal " + kind + " file");
}

}  // namespace

std::vector<ProgramName> availablePrograms(EffectHost& host) {
    std::vector<ProgramName> programs;
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        std::string name = host.programName(k);
        if (!name.empty()) programs.push_back({k, std::move(name)});
    }
    return programs;
}

int32_t resolveProgram(EffectHost& host, const std::string& choice) {
    const std::vector<ProgramName> programs = availablePrograms(host);
    char* end = nullptr;
    const long number = std::strtol(choice.c_str(), &end, 10);
    const bool isNumber = !choice.empty() && *end == 0;
    const std::string wanted = lowerCase(choice);
    std::vector<const ProgramName*> starting;
    for (const ProgramName& p : programs) {
        if ((isNumber && p.index == number) || (!isNumber && lowerCase(p.name) == wanted)) return p.index;
        if (!isNumber && !wanted.empty() && lowerCase(p.name).rfind(wanted, 0) == 0) starting.push_back(&p);
    }
    // A start of one name only ("cd master 3" for "CD Master 3 [recon]").
    if (starting.size() == 1) return starting[0]->index;
    if (starting.size() > 1) {
        std::string names;
        for (const ProgramName* p : starting) names += (names.empty() ? "\"" : ", \"") + p->name + "\"";
        throw UsageError("program \"" + choice + "\" is ambiguous: " + names);
    }
    throw UsageError("unknown program \"" + choice + "\" (see vexal programs)");
}

void applySettings(EffectHost& host, const Settings& settings) {
    if (!settings.chunkFile.empty()) {
        std::vector<char> chunk = readChunkFile(settings.chunkFile);
        if (chunk.empty() || !host.setChunk(chunk))
            throw UsageError(settings.chunkFile + ": the plug-in refused the chunk");
    }
    if (!settings.bankFile.empty()) {
        std::string problem;
        if (!host.loadBankFile(settings.bankFile, problem)) loadFailed(settings.bankFile, problem, "bank");
    }
    if (!settings.program.empty()) host.selectProgram(resolveProgram(host, settings.program));
    if (!settings.presetFile.empty()) {
        std::string problem;
        if (!host.loadPresetFile(settings.presetFile, problem)) loadFailed(settings.presetFile, problem, "preset");
    }
    for (const Adjustment& a : settings.adjustments) {
        if (a.kind == Adjustment::Kind::set)
            applySet(host, a.assignment);
        else
            applyRaw(host, a.assignment);
    }
}

}  // namespace vexal::cli
