// The factory programs as the plug-in names them, and the settings a render
// starts from: a bank chunk, a program, then --set and --raw in their order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EffectHost.h"

namespace vexal::cli {

struct ProgramName {
    int32_t index;
    std::string name;
};

// The programs the plug-in offers by name (effGetProgramNameIndexed).
std::vector<ProgramName> availablePrograms(EffectHost& host);

// A program by number or by name: case is ignored, and the start of one
// name only is enough. Throws UsageError (unknown or ambiguous).
int32_t resolveProgram(EffectHost& host, const std::string& choice);

struct Adjustment {
    enum class Kind { set, raw } kind;
    std::string assignment;  // NAME=VALUE or INDEX=V
};

// Applied in this order: chunk, bank file, program, preset file, then the
// adjustments in the order given.
struct Settings {
    std::string chunkFile;   // a bank chunk as the host saves it
    std::string bankFile;    // .zvb
    std::string program;     // number or name; empty for the start-up program
    std::string presetFile;  // .zvk, loaded into the current program
    std::vector<Adjustment> adjustments;
};

// Applies the settings; throws UsageError naming what failed.
void applySettings(EffectHost& host, const Settings& settings);

}  // namespace vexal::cli
