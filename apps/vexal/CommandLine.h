// The command line: vexal COMMAND [arguments] [options].
#pragma once

#include <string>
#include <vector>

#include "Render.h"

namespace vexal::cli {

enum class Command { help, version, process, analyze, programs, params, demo, snapshot };

struct CommandLine {
    Command command = Command::help;
    std::vector<std::string> inputs;  // process
    std::string output;               // process -o
    std::string outDir;               // process --out-dir, demo [DIR]
    RenderOptions render;
    std::string savePreset, saveBank, saveChunk;  // params
    std::string signal;                           // snapshot --signal
    double snapshotSeconds = 0;                   // snapshot --at (0: the whole signal)
    bool quiet = false;
    bool json = false;
    bool noUserState = false;
    bool album = false;    // process --album
    bool through = false;  // analyze --through
    bool explain = false;  // params --explain
    std::string helpTopic; // help COMMAND, COMMAND --help
};

// Throws UsageError with the line to print.
CommandLine parseCommandLine(int argc, char** argv);

}  // namespace vexal::cli
