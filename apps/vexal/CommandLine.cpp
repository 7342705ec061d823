#include "CommandLine.h"

#include <cstdio>
#include <cstdlib>

#include "Help.h"
#include "UsageError.h"

namespace vexal::cli {

namespace {

class Arguments {
public:
    Arguments(int argc, char** argv) : argv(argv), count(argc) {}
    bool more() const { return next < count; }
    std::string take() { return argv[next++]; }
    // The value of an option given as "--name VALUE" or "--name=VALUE".
    std::string valueOf(const std::string& option, const std::string& attached, bool hasAttached) {
        if (hasAttached) return attached;
        if (!more()) throw UsageError(option + " needs a value");
        return take();
    }

private:
    char** argv;
    int count;
    int next = 1;
};

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

Command parseCommand(const std::string& word) {
    if (word == "process") return Command::process;
    if (word == "analyze") return Command::analyze;
    if (word == "programs") return Command::programs;
    if (word == "params") return Command::params;
    if (word == "demo") return Command::demo;
    if (word == "snapshot") return Command::snapshot;
    if (word == "help" || word == "--help" || word == "-h") return Command::help;
    if (word == "--version") return Command::version;
    throw UsageError("unknown command \"" + word + "\"");
}

}  // namespace

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine line;
    Arguments args(argc, argv);
    if (!args.more()) throw UsageError("no command given");
    const std::string commandWord = args.take();
    line.command = parseCommand(commandWord);
    const bool process = line.command == Command::process;
    const bool analyze = line.command == Command::analyze;
    const bool snapshot = line.command == Command::snapshot;
    const bool settings = process || analyze || snapshot || line.command == Command::params;
    const bool reports = process || analyze || line.command == Command::demo;
    bool optionsEnded = false;

    while (args.more()) {
        const std::string arg = args.take();
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (process || analyze)
                line.inputs.push_back(arg);
            else if (line.command == Command::demo && line.outDir.empty())
                line.outDir = arg;
            else if (snapshot && line.output.empty())
                line.output = arg;
            else if (line.command == Command::help && line.helpTopic.empty())
                line.helpTopic = arg;
            else
                throw UsageError("unexpected argument \"" + arg + "\"");
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const auto equals = arg.find('=');
        const bool attached = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        const std::string option = attached ? arg.substr(0, equals) : arg;
        const std::string value = attached ? arg.substr(equals + 1) : std::string();
        auto need = [&]() { return args.valueOf(option, value, attached); };

        if (option == "--help" || option == "-h") {
            if (line.command != Command::help) line.helpTopic = commandWord;
            line.command = Command::help;
            return line;
        } else if (analyze && option == "--through") {
            line.through = true;
        } else if (line.command == Command::params && option == "--explain") {
            line.explain = true;
        } else if (settings && option == "--program") {
            line.render.settings.program = need();
        } else if (settings && option == "--set") {
            line.render.settings.adjustments.push_back({Adjustment::Kind::set, need()});
        } else if (settings && option == "--raw") {
            line.render.settings.adjustments.push_back({Adjustment::Kind::raw, need()});
        } else if (settings && option == "--chunk") {
            line.render.settings.chunkFile = need();
        } else if (settings && option == "--preset") {
            line.render.settings.presetFile = need();
        } else if (settings && option == "--bank") {
            line.render.settings.bankFile = need();
        } else if (line.command == Command::params && option == "--save-preset") {
            line.savePreset = need();
        } else if (line.command == Command::params && option == "--save-bank") {
            line.saveBank = need();
        } else if (line.command == Command::params && option == "--save-chunk") {
            line.saveChunk = need();
        } else if (process && option == "-o") {
            if (!line.output.empty()) throw UsageError("-o given twice");
            line.output = need();
        } else if (process && option == "--out-dir") {
            line.outDir = need();
        } else if ((process || analyze) && option == "--plot") {
            line.render.plotPath = need();
        } else if ((process || analyze) && option == "--block") {
            line.render.blockSize = parseBlockSize(need());
        } else if (snapshot && option == "--signal") {
            line.signal = need();
        } else if (snapshot && option == "--at") {
            const std::string text = need();
            char* end = nullptr;
            line.snapshotSeconds = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != 0 || !(line.snapshotSeconds > 0) || line.snapshotSeconds > 3600)
                throw UsageError("--at: \"" + text + "\" is not a time in seconds from 0 to 3600");
        } else if (process && option == "--keep-latency") {
            line.render.keepLatency = true;
        } else if (process && option == "--format") {
            line.render.format = parseFormat(need());
        } else if (option == "--no-user-state") {
            line.noUserState = true;
        } else if (process && option == "--ceiling-dbtp") {
            line.render.ceilingDbtp = parseDecibels(option, need(), -20.0, 0.0);
            line.render.hasCeiling = true;
        } else if (process && option == "--target-lufs") {
            line.render.targetLufs = parseDecibels(option, need(), -60.0, 0.0);
            line.render.hasTarget = true;
        } else if (process && option == "--album") {
            line.album = true;
        } else if (process && option == "--strict") {
            line.render.strict = true;
        } else if (process && option == "--no-clobber") {
            if (line.render.existing == Existing::force) throw UsageError("--no-clobber and --force contradict each other");
            line.render.existing = Existing::keep;
        } else if (option == "--force" && (process || analyze || snapshot || line.command == Command::params ||
                                           line.command == Command::demo)) {
            if (line.render.existing == Existing::keep) throw UsageError("--no-clobber and --force contradict each other");
            line.render.existing = Existing::force;
        } else if (reports && option == "--json") {
            line.json = true;
        } else if (reports && option == "--quiet") {
            line.quiet = true;
        } else {
            throw UsageError("unknown option \"" + option + "\"");
        }
        if (attached && (option == "--keep-latency" || option == "--json" || option == "--quiet" ||
                         option == "--no-user-state" || option == "--strict" || option == "--no-clobber" || option == "--force" ||
                         option == "--album" || option == "--through" || option == "--explain"))
            throw UsageError(option + " takes no value");
    }

    if (snapshot && line.output.empty()) throw UsageError("snapshot: no output file (OUT.png)");
    if (line.command == Command::help && !line.helpTopic.empty() && !commandHelp(line.helpTopic))
        throw UsageError("help: no command \"" + line.helpTopic + "\" (process, analyze, programs, params, demo)");
    if (!line.render.plotPath.empty() && line.inputs.size() > 1)
        throw UsageError("--plot takes one input");
    if (analyze) {
        if (line.inputs.empty()) throw UsageError("analyze: no input file");
        const Settings& s = line.render.settings;
        if (!line.through && (!s.chunkFile.empty() || !s.bankFile.empty() || !s.program.empty() ||
                              !s.presetFile.empty() || !s.adjustments.empty()))
            throw UsageError("analyze: settings apply only with --through");
    }
    if (process) {
        if (line.inputs.empty()) throw UsageError("process: no input file");
        if (line.output.empty() == line.outDir.empty())
            throw UsageError("process: give either -o OUT or --out-dir DIR");
        if (!line.output.empty() && line.inputs.size() > 1)
            throw UsageError("process: -o takes one input; use --out-dir for several");
        if (line.album && !line.render.hasTarget && !line.render.hasCeiling)
            throw UsageError("process: --album needs --target-lufs or --ceiling-dbtp");
        // A loudness target is delivered under a ceiling: −1 dBTP unless given.
        if (line.render.hasTarget && !line.render.hasCeiling) {
            line.render.ceilingDbtp = -1.0;
            line.render.hasCeiling = true;
        }
    }
    return line;
}

}  // namespace vexal::cli
