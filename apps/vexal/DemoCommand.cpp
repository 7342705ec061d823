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

constexpr const char* kDemoProgram = "CD Master 1";

void writeDemoInput(const std::string& path) {
    const std::vector<double> frames = synthesizeDemo();
    OutputFile file(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kDemoSampleRate, 2);
    file.write(frames.data(), static_cast<int64_t>(frames.size() / 2), nullptr);
    file.commit();
}

// The demo's program; a build that offers program 0 only shows the limiter
// with program 0 and 6 dB more Drive.
Settings demoSettings() {
    EffectHost host;
    Settings settings;
    for (const ProgramName& p : availablePrograms(host))
        if (p.name == kDemoProgram) settings.program = kDemoProgram;
    if (settings.program.empty()) {
        settings.program = std::to_string(0);  // (a literal here trips a false -Wrestrict in GCC 12)
        settings.adjustments.push_back({Adjustment::Kind::set, "Drive=6"});
    }
    return settings;
}

}  // namespace

int runDemo(const CommandLine& line) {
    installInterruptCleanup();
    const std::string folder = line.outDir.empty() ? "out/demo" : line.outDir;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ProcessingError(folder + ": cannot create the folder: " + error.message());
    const std::string input = (std::filesystem::path(folder) / "demo-in.wav").string();
    const std::string output = (std::filesystem::path(folder) / "demo-out.wav").string();

    writeDemoInput(input);
    RenderOptions options;
    options.settings = demoSettings();
    Progress progress(!line.quiet);
    const RenderResult result = renderFile(input, output, options, progress);
    std::vector<std::string> json;
    reportResult(result, line.json, json);
    if (line.json) printJsonArray(stdout, json);
    return 0;
}

}  // namespace vexal::cli
