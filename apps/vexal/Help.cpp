#include "Help.h"

#include <initializer_list>
#include <string_view>

#include "Options.h"

#ifndef VEXAL_VERSION
#define VEXAL_VERSION "unknown"
#endif

namespace vexal::cli {

namespace {

// One option's line of a command's help: the option as the table names it,
// then what it does there (further lines of the text are indented to it).
struct HelpLine {
    const Option& option;
    std::string_view text;
};

consteval HelpLine row(std::string_view option, std::string_view text) { return {cli::option(option), text}; }

constexpr size_t kTextColumn = 23;

std::string rows(std::initializer_list<HelpLine> lines) {
    std::string out;
    for (const HelpLine& line : lines) {
        std::string left = "  " + std::string(line.option.name);
        if (line.option.takesValue()) left += " " + std::string(line.option.value);
        out += left + std::string(left.size() < kTextColumn ? kTextColumn - left.size() : 1, ' ');
        for (const char c : line.text) {
            out += c;
            if (c == '\n') out += std::string(kTextColumn, ' ');
        }
        out += '\n';
    }
    return out;
}

std::string settingsHelp() {
    return "settings, applied in this order:\n" +
           rows({
               row("--chunk", "a bank chunk as a host saves it"),
               row("--bank", "a bank file (ends on program 0)"),
               row("--program", "a program by number or name; case is ignored and an unambiguous\n"
                                "start is enough (\"cd master 3\")"),
               row("--preset", "a preset file, loaded into the current program"),
               row("--set", "a parameter in the units of its value text (Drive=6, Release=120,\n"
                            "NoiseShape=\"type B\", Leveller=off); after the program, in order"),
               row("--raw", "a parameter's host value, 0 to 1"),
               row("--no-user-state", "ignore the plug-in's per-user settings (stored default bank and program)"),
           });
}

std::string processHelp() {
    return "usage: vexal process IN... (-o OUT | --out-dir DIR) [settings] [options]\n"
           "Renders each input through the plug-in and writes it with a report.\n" +
           settingsHelp() + "options:\n" +
           rows({
               row("--block", "frames per process call (default 512)"),
               row("--keep-latency", "write the raw output, delayed by the latency"),
               row("--format", "pcm16, pcm24 or float32 (default: as the input)"),
               row("--ceiling-dbtp", "the written file's true peak at most X dBTP (e.g. -1), reached with\n"
                                     "Output and Oversample by measuring and rendering again (at most 6 passes)"),
               row("--target-lufs", "integrated loudness L LUFS (+-0.2 LU), reached with Drive, under the\n"
                                    "ceiling (-1 dBTP unless --ceiling-dbtp)"),
               row("--album", "one Drive and Output for all inputs: the album's loudness (all\n"
                              "inputs as one programme) meets the target, every track the ceiling"),
               row("--strict", "a truncated input, or a target or ceiling not reached, is an error\n"
                               "and nothing is written"),
               row("--no-clobber", "never replace an existing output file"),
               row("--force", "replace a write-protected output file too"),
               row("--plot", "peaks, true peaks, short-term loudness and gain reduction over time"),
               row("--json", "the report as JSON"),
               row("--quiet", "no progress bar"),
           });
}

std::string analyzeHelp() {
    return "usage: vexal analyze FILE... [--through [settings]] [--plot OUT.png [--force]] [--json] [--quiet]\n"
           "The report's figures without rendering: sample peak, true peak, loudness, loudness range.\n" +
           rows({row("--through", "also the same figures of the plug-in's output at the settings\n"
                                  "(nothing is written)")}) +
           settingsHelp() +
           rows({
               row("--block", "frames per process call with --through (default 512)"),
               row("--plot", "peaks, true peaks and short-term loudness over time (one input)"),
               row("--force", "replace a write-protected OUT.png"),
               row("--json", "the figures as JSON"),
               row("--quiet", "no progress bar"),
           });
}

std::string paramsHelp() {
    return "usage: vexal params [settings] [--explain] [--save-preset FILE.zvk] [--save-bank FILE.zvb]\n"
           "                    [--save-chunk FILE] [--force]\n"
           "All 26 parameters after the settings: index, name, value text, label, host value.\n" +
           rows({
               row("--explain", "what each parameter does, with its range and units"),
               row("--save-preset", "write the current program as a preset file"),
               row("--save-bank", "write the bank as a bank file"),
               row("--save-chunk", "write the bank chunk a host would save"),
               row("--force", "replace write-protected files with --save-*"),
           }) +
           settingsHelp();
}

std::string snapshotHelp() {
    return "usage: vexal snapshot OUT.png [settings] [--signal demo|FILE] [--at SECONDS] [--force]\n"
           "Draws the plug-in's editor window into a PNG after running a signal through the plug-in,\n"
           "its meters fed as a host's idle calls would feed them.\n" +
           rows({
               row("--signal", "demo (the built-in test programme, default) or an audio file"),
               row("--at", "how much of the signal runs before the picture (default: all)"),
               row("--force", "replace a write-protected OUT.png"),
           }) +
           settingsHelp();
}

const char* const kProgramsHelp =
    "usage: vexal programs [--no-user-state]\n"
    "The 24 programs with their main settings.\n";

const char* const kDemoHelp =
    "usage: vexal demo [DIR] [--json] [--quiet] [--no-user-state] [--force]\n"
    "Writes a 15-second test programme to DIR (default out/demo), renders it with \"CD Master 2\"\n"
    "and prints the report. --force replaces write-protected files there.\n";

const char* const kHelpHelp =
    "usage: vexal help [COMMAND]\n"
    "The usage of vexal, or of one command (as COMMAND --help).\n";

}  // namespace

const char* const kUsage =
    "usage: vexal COMMAND [arguments] [options]\n"
    "commands:\n"
    "  process IN... (-o OUT | --out-dir DIR) [settings] [options]\n"
    "                       render files through the plug-in, with a true-peak ceiling and a\n"
    "                       loudness target if asked\n"
    "  analyze FILE... [--through [settings]]\n"
    "                       the report's figures without rendering\n"
    "  programs             the 24 programs\n"
    "  params [settings] [--explain]\n"
    "                       the parameters after the settings, and what each does\n"
    "  demo [DIR]           render the built-in test programme\n"
    "  snapshot OUT.png [settings] [--signal demo|FILE]\n"
    "                       the editor window as a picture, after a signal has run\n"
    "  help [COMMAND]       this text, or a command's (also COMMAND --help)\n"
    "  --version            the version\n";

const char* commandHelp(const std::string& command) {
    static const std::string process = processHelp(), analyze = analyzeHelp(), params = paramsHelp(),
                             snapshot = snapshotHelp();
    if (command == "process") return process.c_str();
    if (command == "analyze") return analyze.c_str();
    if (command == "programs") return kProgramsHelp;
    if (command == "params") return params.c_str();
    if (command == "demo") return kDemoHelp;
    if (command == "snapshot") return snapshot.c_str();
    if (command == "help") return kHelpHelp;
    return nullptr;
}

std::string versionText() { return std::string("vexal ") + VEXAL_VERSION + " (ZVK Vexal by Ortelwerk)"; }

}  // namespace vexal::cli
