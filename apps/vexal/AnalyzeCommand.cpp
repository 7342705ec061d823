// vexal analyze FILE...: the report's figures without rendering, or with
// --through the same for the plug-in's output at the given settings, still
// without writing anything.
#include <cstdio>

#include "Commands.h"
#include "Report.h"
#include "UsageError.h"

namespace vexal::cli {

namespace {

std::vector<std::string> warningsOf(const std::string& path, const FileAnalysis& a) {
    std::vector<std::string> warnings;
    if (a.missingFrames > 0) {
        char text[160];
        std::snprintf(text, sizeof text, ": truncated: the data ends %.3f s (%lld frames) before its header says",
                      static_cast<double>(a.missingFrames) / a.info.sampleRate,
                      static_cast<long long>(a.missingFrames));
        warnings.push_back(path + text);
    }
    if (a.unstatedFrames > 0)
        warnings.push_back(path + ": the header states less data than the file holds; " +
                           std::to_string(a.unstatedFrames) + " frames more were analysed");
    if (a.nonFiniteSamples > 0)
        warnings.push_back(path + ": " + std::to_string(a.nonFiniteSamples) +
                           " samples are NaN or infinite; the figures count them as 0");
    return warnings;
}

}  // namespace

int runAnalyze(const CommandLine& line) {
    if (line.through) {
        // Settings errors are usage errors, found before any file.
        EffectHost probe;
        applySettings(probe, line.render.settings);
    }
    Progress progress(!line.quiet && line.through);
    std::vector<std::string> jsonEntries;
    bool failed = false;
    for (size_t i = 0; i < line.inputs.size(); ++i) {
        const std::string& input = line.inputs[i];
        try {
            if (!line.json && i > 0) std::printf("\n");
            if (line.through) {
                const RenderResult r = renderFile(input, "", line.render, progress);
                if (!line.render.plotPath.empty()) plotResult(line.render.plotPath, r, line.render.existing);
                reportResult(r, line.json, jsonEntries);
                continue;
            }
            const FileAnalysis a = analyseInput(input);
            if (!line.render.plotPath.empty()) plotAnalysis(line.render.plotPath, input, a, line.render.existing);
            const std::vector<std::string> warnings = warningsOf(input, a);
            for (const std::string& w : warnings) std::fprintf(stderr, "vexal: warning: %s\n", w.c_str());
            if (line.json)
                jsonEntries.push_back(jsonAnalysis(input, a, warnings));
            else
                printAnalysis(stdout, input, a);
            std::fflush(stdout);
        } catch (const std::exception& e) {
            reportFailure(input, e, line.json, progress, jsonEntries);
            failed = true;
        }
    }
    return finishReports(line.json, jsonEntries, failed);
}

}  // namespace vexal::cli
