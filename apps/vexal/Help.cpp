#include "Help.h"

#ifndef VEXAL_VERSION
#define VEXAL_VERSION "unknown"
#endif

namespace vexal::cli {

namespace {

#define VEXAL_SETTINGS_HELP                                                                          \
    "settings, applied in this order:\n"                                                             \
    "  --chunk FILE         a bank chunk as a host saves it\n"                                       \
    "  --bank FILE.zvb      a bank file (ends on program 0)\n"                                       \
    "  --program P          a program by number or name; case is ignored and an unambiguous\n"      \
    "                       start is enough (\"cd master 3\")\n"                                     \
    "  --preset FILE.zvk    a preset file, loaded into the current program\n"                        \
    "  --set NAME=VALUE     a parameter in the units of its value text (Drive=6, Release=120,\n"     \
    "                       NoiseShape=\"type B\", Leveller=off); after the program, in order\n"     \
    "  --raw INDEX=V        a parameter's host value, 0 to 1\n"                                      \
    "  --no-user-state      ignore the plug-in's per-user settings (stored default bank and program)\n"

const char* const kProcessHelp =
    "usage: vexal process IN... (-o OUT | --out-dir DIR) [settings] [options]\n"
    "Renders each input through the plug-in and writes it with a report.\n" VEXAL_SETTINGS_HELP
    "options:\n"
    "  --block N            frames per process call (default 512)\n"
    "  --keep-latency       write the raw output, delayed by the latency\n"
    "  --format F           pcm16, pcm24 or float32 (default: as the input)\n"
    "  --ceiling-dbtp X     the written file's true peak at most X dBTP (e.g. -1), reached with\n"
    "                       Output and Oversample by measuring and rendering again (at most 6 passes)\n"
    "  --target-lufs L      integrated loudness L LUFS (+-0.2 LU), reached with Drive, under the\n"
    "                       ceiling (-1 dBTP unless --ceiling-dbtp)\n"
    "  --album              one Drive and Output for all inputs: the album's loudness (all\n"
    "                       inputs as one programme) meets the target, every track the ceiling\n"
    "  --strict             a truncated input, or a target or ceiling not reached, is an error\n"
    "                       and nothing is written\n"
    "  --no-clobber         never replace an existing output file\n"
    "  --force              replace a write-protected output file too\n"
    "  --plot OUT.png       peaks, true peaks, short-term loudness and gain reduction over time\n"
    "  --json               the report as JSON\n"
    "  --quiet              no progress bar\n";

const char* const kAnalyzeHelp =
    "usage: vexal analyze FILE... [--through [settings]] [--plot OUT.png [--force]] [--json] [--quiet]\n"
    "The report's figures without rendering: sample peak, true peak, loudness, loudness range.\n"
    "  --through            also the same figures of the plug-in's output at the settings\n"
    "                       (nothing is written)\n" VEXAL_SETTINGS_HELP
    "  --block N            frames per process call with --through (default 512)\n"
    "  --plot OUT.png       peaks, true peaks and short-term loudness over time (one input)\n"
    "  --force              replace a write-protected OUT.png\n"
    "  --json               the figures as JSON\n"
    "  --quiet              no progress bar\n";

const char* const kProgramsHelp =
    "usage: vexal programs [--no-user-state]\n"
    "The 24 programs with their main settings.\n";

const char* const kParamsHelp =
    "usage: vexal params [settings] [--explain] [--save-preset FILE.zvk] [--save-bank FILE.zvb]\n"
    "                    [--save-chunk FILE] [--force]\n"
    "All 26 parameters after the settings: index, name, value text, label, host value.\n"
    "  --explain            what each parameter does, with its range and units\n"
    "  --save-preset FILE   write the current program as a preset file\n"
    "  --save-bank FILE     write the bank as a bank file\n"
    "  --save-chunk FILE    write the bank chunk a host would save\n"
    "  --force              replace write-protected files with --save-*\n" VEXAL_SETTINGS_HELP;

const char* const kDemoHelp =
    "usage: vexal demo [DIR] [--json] [--quiet] [--no-user-state] [--force]\n"
    "Writes a 15-second test programme to DIR (default out/demo), renders it with \"CD Master 2\"\n"
    "and prints the report. --force replaces write-protected files there.\n";

const char* const kSnapshotHelp =
    "usage: vexal snapshot OUT.png [settings] [--signal demo|FILE] [--at SECONDS] [--force]\n"
    "Draws the plug-in's editor window into a PNG after running a signal through the plug-in,\n"
    "its meters fed as a host's idle calls would feed them.\n"
    "  --signal S           demo (the built-in test programme, default) or an audio file\n"
    "  --at SECONDS         how much of the signal runs before the picture (default: all)\n"
    "  --force              replace a write-protected OUT.png\n"
    VEXAL_SETTINGS_HELP;

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
    if (command == "process") return kProcessHelp;
    if (command == "analyze") return kAnalyzeHelp;
    if (command == "programs") return kProgramsHelp;
    if (command == "params") return kParamsHelp;
    if (command == "demo") return kDemoHelp;
    if (command == "snapshot") return kSnapshotHelp;
    if (command == "help") return kHelpHelp;
    return nullptr;
}

std::string versionText() { return std::string("vexal ") + VEXAL_VERSION + " (ZVK Vexal by Ortelwerk)"; }

}  // namespace vexal::cli
