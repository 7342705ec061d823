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
// --plot: a render's figures over time (the input's alone when `analysis`).
void plotResult(const std::string& path, const RenderResult& result, Existing existing);
void plotAnalysis(const std::string& path, const std::string& input, const FileAnalysis& analysis,
                  Existing existing);

}  // namespace vexal::cli
