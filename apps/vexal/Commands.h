// The commands. Each returns the exit status; usage errors are thrown.
#pragma once

#include "CommandLine.h"

namespace vexal::cli {

int runProcess(const CommandLine& line);
int runPrograms();
int runParams(const CommandLine& line);
int runDemo(const CommandLine& line);
int runSnapshot(const CommandLine& line);
int runAnalyze(const CommandLine& line);

// Prints a render's warnings on stderr and its report on stdout (or keeps
// its JSON entry).
void reportResult(const RenderResult& result, bool json, std::vector<std::string>& jsonEntries);

}  // namespace vexal::cli
