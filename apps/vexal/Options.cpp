#include "Options.h"

#include <cstdio>
#include <cstdlib>

#include "UsageError.h"

namespace vexal::cli {

int32_t parseBlockSize(const std::string& text) {
    char* end = nullptr;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || n < 1 || n > 65536)
        throw UsageError("--block: \"" + text + "\" is not a block size from 1 to 65536");
    return static_cast<int32_t>(n);
}

double parseDecibels(const std::string& option, const std::string& text, double lowest, double highest) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || !(v >= lowest && v <= highest)) {
        char range[64];
        std::snprintf(range, sizeof range, " is not a number from %g to %g", lowest, highest);
        throw UsageError(option + ": \"" + text + "\"" + range);
    }
    return v;
}

SampleFormat parseFormat(const std::string& text) {
    if (text == "pcm16") return SampleFormat::pcm16;
    if (text == "pcm24") return SampleFormat::pcm24;
    if (text == "float32") return SampleFormat::float32;
    throw UsageError("--format: \"" + text + "\" is not pcm16, pcm24 or float32");
}

double parseSnapshotSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || !(seconds > 0) || seconds > 3600)
        throw UsageError("--at: \"" + text + "\" is not a time in seconds from 0 to 3600");
    return seconds;
}

void setExisting(CommandLine& line, Existing existing) {
    if (line.render.existing != Existing::replace && line.render.existing != existing)
        throw UsageError("--no-clobber and --force contradict each other");
    line.render.existing = existing;
}

void setOutput(CommandLine& line, const std::string& path) {
    if (!line.output.empty()) throw UsageError("-o given twice");
    line.output = path;
}

}  // namespace vexal::cli
