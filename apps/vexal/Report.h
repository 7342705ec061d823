// The report of a rendered file: a block of text per file, or JSON.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Render.h"

namespace vexal::cli {

// One line per figure; readable in a terminal.
void printReport(std::FILE* out, const RenderResult& result);

// A file's entry as a JSON object: the figures of a render, or its error.
std::string jsonReport(const RenderResult& result);
std::string jsonFailure(const std::string& input, const std::string& error);
// The entries as one JSON array.
void printJsonArray(std::FILE* out, const std::vector<std::string>& entries);

// vexal analyze without --through: a file's figures alone.
void printAnalysis(std::FILE* out, const std::string& input, const FileAnalysis& a);
std::string jsonAnalysis(const std::string& input, const FileAnalysis& a, const std::vector<std::string>& warnings);

// Linear to decibels; −inf for 0.
double decibels(double linear);

}  // namespace vexal::cli
