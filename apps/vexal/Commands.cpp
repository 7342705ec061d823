#include "Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "Delivery.h"
#include "ParameterHelp.h"
#include "ParameterSetting.h"
#include "Plot.h"
#include "Report.h"
#include "UsageError.h"
#include "core/ParameterTable.h"

namespace vexal::cli {

namespace {

std::string outputPathFor(const CommandLine& line, const std::string& input) {
    if (!line.output.empty()) return line.output;
    return (std::filesystem::path(line.outDir) / std::filesystem::path(input).filename()).string();
}

// A render never writes over one of its inputs, nor over an output it wrote
// earlier in the same run; both are recognised by device and inode.
void checkTarget(const std::string& target, const std::vector<std::string>& inputs,
                 const std::vector<std::string>& written) {
    for (const std::string& input : inputs)
        if (input == target || isSameFile(input, target))
            throw ProcessingError(target + ": is an input file; vexal never writes over its input");
    for (const std::string& earlier : written)
        if (isSameFile(earlier, target))
            throw ProcessingError(target + ": already written by this run (two inputs of the same name)");
}

void makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw ProcessingError(folder + ": cannot create the folder: " + error.message());
}

// params --save-preset/--save-bank/--save-chunk: the state the settings made.
// Each replaces its file whole or leaves it as it was.
void saveState(EffectHost& host, const CommandLine& line) {
    const platform::ReplaceOptions options = replaceOptionsFor(line.render.existing);
    std::string problem;
    if (!line.savePreset.empty() && !host.savePresetFile(line.savePreset, options, problem))
        throw ProcessingError(line.savePreset + ": preset not saved: " + refusalText(problem));
    if (!line.saveBank.empty() && !host.saveBankFile(line.saveBank, options, problem))
        throw ProcessingError(line.saveBank + ": bank not saved: " + refusalText(problem));
    if (!line.saveChunk.empty()) {
        const std::vector<char> chunk = host.getChunk();
        if (chunk.empty()) throw ProcessingError(line.saveChunk + ": chunk not saved: the plug-in gave none");
        if (!platform::replaceFileContents(line.saveChunk, chunk.data(), chunk.size(), options, problem))
            throw ProcessingError(line.saveChunk + ": chunk not saved: " + refusalText(problem));
    }
}

// --album: the tracks are delivered together; one that cannot be read
// stops the album, since its loudness is part of the album's.
int runAlbum(const CommandLine& line, Progress& progress) {
    std::vector<Track> tracks;
    std::vector<std::string> jsonEntries;
    try {
        std::vector<std::string> written;
        for (const std::string& input : line.inputs) {
            const std::string target = outputPathFor(line, input);
            checkTarget(target, line.inputs, written);
            written.push_back(target);
            tracks.push_back({input, target});
        }
        const std::vector<RenderResult> results = deliver(tracks, line.render, progress);
        for (size_t i = 0; i < results.size(); ++i) {
            if (!line.json && i > 0) std::printf("\n");
            reportResult(results[i], line.json, jsonEntries);
        }
    } catch (const std::exception& e) {
        progress.end();
        std::fprintf(stderr, "vexal: album not written: %s\n", e.what());
        if (line.json) {
            for (const std::string& input : line.inputs) jsonEntries.push_back(jsonFailure(input, e.what()));
            printJsonArray(stdout, jsonEntries);
        }
        return kExitProcessing;
    }
    return finishReports(line.json, jsonEntries, false);
}

}  // namespace

void reportResult(const RenderResult& result, bool json, std::vector<std::string>& jsonEntries) {
    for (const std::string& warning : result.warnings)
        std::fprintf(stderr, "vexal: warning: %s\n", warning.c_str());
    if (json)
        jsonEntries.push_back(jsonReport(result));
    else
        printReport(stdout, result);
    std::fflush(stdout);
}

void reportFailure(const std::string& input, const std::exception& error, bool json, Progress& progress,
                   std::vector<std::string>& jsonEntries) {
    progress.end();
    std::fprintf(stderr, "vexal: %s\n", error.what());
    if (json) jsonEntries.push_back(jsonFailure(input, error.what()));
}

int finishReports(bool json, const std::vector<std::string>& jsonEntries, bool failed) {
    if (json) printJsonArray(stdout, jsonEntries);
    return failed ? kExitProcessing : 0;
}

void plotResult(const std::string& path, const RenderResult& r, Existing existing) {
    PlotData d;
    d.title = r.input + (r.output.empty() ? " through" : " -> " + r.output) + ", program " +
              std::to_string(r.program) + " \"" + r.programName + "\"";
    d.seconds = static_cast<double>(r.frames) / std::max(1, r.sampleRate);
    d.input = &r.in;
    d.output = &r.out;
    d.gain = r.gainTrace;
    d.hasCeiling = !r.passes.empty();
    d.ceilingDbtp = r.ceilingDbtp;
    d.hasTarget = r.hasTarget;
    d.targetLufs = r.targetLufs;
    drawPlot(path, d, existing);
}

void plotAnalysis(const std::string& path, const std::string& input, const FileAnalysis& a, Existing existing) {
    PlotData d;
    d.title = input;
    d.seconds = static_cast<double>(a.frames) / std::max(1, a.info.sampleRate);
    d.input = &a.figures;
    drawPlot(path, d, existing);
}

int runProcess(const CommandLine& line) {
    // Settings and the output's format are checked once, before any file:
    // their errors are usage errors.
    {
        EffectHost probe;
        applySettings(probe, line.render.settings);
    }
    if (!line.output.empty()) outputFormatFor(line.output, SF_FORMAT_WAV | SF_FORMAT_PCM_16, line.render.format);
    if (!line.outDir.empty()) makeFolder(line.outDir);

    Progress progress(!line.quiet);
    if (line.album) return runAlbum(line, progress);
    std::vector<std::string> jsonEntries;
    std::vector<std::string> written;
    bool failed = false;
    for (size_t i = 0; i < line.inputs.size(); ++i) {
        const std::string& input = line.inputs[i];
        try {
            const std::string target = outputPathFor(line, input);
            checkTarget(target, line.inputs, written);
            const RenderResult result = line.render.hasCeiling ? deliverFile(input, target, line.render, progress)
                                                               : renderFile(input, target, line.render, progress);
            written.push_back(target);
            if (!line.render.plotPath.empty()) plotResult(line.render.plotPath, result, line.render.existing);
            if (!line.json && i > 0) std::printf("\n");
            reportResult(result, line.json, jsonEntries);
        } catch (const std::exception& e) {
            // One bad file does not stop the others.
            reportFailure(input, e, line.json, progress, jsonEntries);
            failed = true;
        }
    }
    return finishReports(line.json, jsonEntries, failed);
}

int runPrograms() {
    EffectHost host;
    const int32_t columns[] = {kOutput, kDrive, kTransient, kRelease, kTransShape, kLink,
                               kOversample, kLeveller, kQuantize, kBits, kNoiseShape};
    std::printf("  #  %-20s", "name");
    for (int32_t index : columns) std::printf(" %-11s", host.parameterName(index).c_str());
    std::printf("\n");
    for (const ProgramName& p : availablePrograms(host)) {
        host.selectProgram(p.index);
        std::printf(" %2d  %-20s", p.index, p.name.c_str());
        for (int32_t index : columns) {
            std::string text = host.parameterDisplay(index);
            const std::string label = host.parameterLabel(index);
            if (index == kLeveller && host.getParameter(index) == 1.0f) text = "off";
            else if (!label.empty()) text += " " + label;
            std::printf(" %-11s", text.c_str());
        }
        std::printf("\n");
    }
    return 0;
}

int runParams(const CommandLine& line) {
    EffectHost host;
    applySettings(host, line.render.settings);
    const int32_t program = host.currentProgram();
    std::string name;
    for (const ProgramName& p : availablePrograms(host))
        if (p.index == program) name = p.name;
    saveState(host, line);
    std::printf("program %d \"%s\"\n", program, name.c_str());
    std::printf("  #  %-14s %-10s %-5s %s\n", "name", "value", "label", "host value");
    for (int32_t i = 0; i < host.numParameters(); ++i) {
        std::printf(" %2d  %-14s %-10s %-5s %.9g\n", i, host.parameterName(i).c_str(),
                    host.parameterDisplay(i).c_str(), host.parameterLabel(i).c_str(),
                    static_cast<double>(host.getParameter(i)));
        if (line.explain && i < 26)
            std::printf("     %s: %s\n", explanationOf(i).range, explanationOf(i).text);
    }
    return 0;
}

}  // namespace vexal::cli
