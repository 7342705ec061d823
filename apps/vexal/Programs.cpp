#include "Programs.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "LowerCase.h"
#include "ParameterSetting.h"
#include "UsageError.h"
#include "presets/ProgramRecord.h"

namespace vexal::cli {

namespace {

std::vector<char> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError(path + ": cannot open: " + std::strerror(errno));
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw UsageError(path + ": cannot read the chunk file");
    return data;
}

void checkReadable(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError(path + ": cannot open: " + std::strerror(errno));
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
        std::vector<char> chunk = readWholeFile(settings.chunkFile);
        if (chunk.empty() || !host.setChunk(chunk))
            throw UsageError(settings.chunkFile + ": the plug-in refused the chunk");
    }
    if (!settings.bankFile.empty()) {
        checkReadable(settings.bankFile);
        if (!host.loadBankFile(settings.bankFile))
            throw UsageError(settings.bankFile + ": not a ZVK Vexal bank file");
    }
    if (!settings.program.empty()) host.selectProgram(resolveProgram(host, settings.program));
    if (!settings.presetFile.empty()) {
        checkReadable(settings.presetFile);
        if (!host.loadPresetFile(settings.presetFile))
            throw UsageError(settings.presetFile + ": not a ZVK Vexal preset file");
    }
    for (const Adjustment& a : settings.adjustments) {
        if (a.kind == Adjustment::Kind::set)
            applySet(host, a.assignment);
        else
            applyRaw(host, a.assignment);
    }
}

}  // namespace vexal::cli
