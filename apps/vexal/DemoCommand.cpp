// vexal demo [DIR]: writes the test programme, renders it with a factory
// program that makes the limiter work, and prints the report.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "Demo.h"
#include "Report.h"
#include "UsageError.h"

namespace vexal::cli {

namespace {

constexpr const char* kDemoProgram = "CD Master 2";

void writeDemoInput(const std::string& path, Existing existing) {
    const std::vector<double> frames = synthesizeDemo();
    OutputFile file(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kDemoSampleRate, 2, existing);
    file.write(frames.data(), static_cast<int64_t>(frames.size() / 2), nullptr);
    file.commit();
}

}  // namespace

int runDemo(const CommandLine& line) {
    const std::string folder = line.outDir.empty() ? "out/demo" : line.outDir;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ProcessingError(folder + ": cannot create the folder: " + error.message());
    const std::string input = (std::filesystem::path(folder) / "demo-in.wav").string();
    const std::string output = (std::filesystem::path(folder) / "demo-out.wav").string();

    writeDemoInput(input, line.render.existing);
    RenderOptions options;
    options.settings.program = kDemoProgram;
    options.existing = line.render.existing;
    Progress progress(!line.quiet);
    const RenderResult result = renderFile(input, output, options, progress);
    std::vector<std::string> json;
    reportResult(result, line.json, json);
    if (line.json) printJsonArray(stdout, json);
    return 0;
}

}  // namespace vexal::cli
