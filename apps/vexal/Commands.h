// The commands. Each returns the exit status; usage errors are thrown.
#pragma once

#include <exception>

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
// One of several inputs failed: said on stderr and, with --json, kept as its
// entry; the other inputs still run.
void reportFailure(const std::string& input, const std::exception& error, bool json, Progress& progress,
                   std::vector<std::string>& jsonEntries);
// The end of a run over the inputs: the JSON array (with --json) and the
// exit status.
int finishReports(bool json, const std::vector<std::string>& jsonEntries, bool failed);
// --plot: a render's figures over time (the input's alone when `analysis`).
void plotResult(const std::string& path, const RenderResult& result, Existing existing);
void plotAnalysis(const std::string& path, const std::string& input, const FileAnalysis& analysis,
                  Existing existing);

}  // namespace vexal::cli
