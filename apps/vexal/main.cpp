// vexal: renders audio files through the ZVK Vexal plug-in.
#include <cstdio>
#include <exception>

#include "CommandLine.h"
#include "Commands.h"
#include "Help.h"
#include "TemporaryFiles.h"
#include "UsageError.h"
#include "UserState.h"

using namespace vexal::cli;

int main(int argc, char** argv) {
    installInterruptCleanup();
    try {
        const CommandLine line = parseCommandLine(argc, argv);
        if (line.noUserState) ignoreUserState();
        switch (line.command) {
            case Command::process: return runProcess(line);
            case Command::analyze: return runAnalyze(line);
            case Command::programs: return runPrograms();
            case Command::params: return runParams(line);
            case Command::demo: return runDemo(line);
            case Command::snapshot: return runSnapshot(line);
            case Command::help:
                std::fputs(line.helpTopic.empty() ? kUsage : commandHelp(line.helpTopic), stdout);
                return 0;
            case Command::version: std::printf("%s\n", versionText().c_str()); return 0;
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "vexal: %s (vexal --help shows the usage)\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexal: %s\n", e.what());
        return kExitProcessing;
    }
    return 0;
}
