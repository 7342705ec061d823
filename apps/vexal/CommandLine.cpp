#include "CommandLine.h"

#include "Help.h"
#include "Options.h"
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
        if (option == "--help" || option == "-h") {
            if (line.command != Command::help) line.helpTopic = commandWord;
            line.command = Command::help;
            return line;
        }
        const Option* known = findOption(line.command, option);
        if (!known) throw UsageError("unknown option \"" + option + "\"");
        known->apply(line, known->takesValue() ? args.valueOf(option, value, attached) : std::string());
        if (attached && !known->takesValue()) throw UsageError(option + " takes no value");
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
