// vexal's options, one row each: the commands that take it, what the help
// calls its value (none: a switch, which takes no value) and what it does to
// the command line, checking the value on the way. The parser and the help
// read only this table; a help line for an option that is not in it does not
// compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

#include "CommandLine.h"

namespace vexal::cli {

constexpr unsigned commandBit(Command c) { return 1u << static_cast<unsigned>(c); }

struct Option {
    std::string_view name;
    std::string_view value;  // the help's name for the value; empty: a switch
    unsigned commands;       // commandBit of each command that takes it
    void (*apply)(CommandLine& line, const std::string& value);

    constexpr bool takesValue() const { return !value.empty(); }
    constexpr bool takenBy(Command c) const { return (commands & commandBit(c)) != 0; }
};

// The values that are checked; each throws UsageError with the line to print.
int32_t parseBlockSize(const std::string& text);
double parseDecibels(const std::string& option, const std::string& text, double lowest, double highest);
SampleFormat parseFormat(const std::string& text);
double parseSnapshotSeconds(const std::string& text);
void setExisting(CommandLine& line, Existing existing);
void setOutput(CommandLine& line, const std::string& path);

namespace commands {
constexpr unsigned process = commandBit(Command::process);
constexpr unsigned analyze = commandBit(Command::analyze);
constexpr unsigned params = commandBit(Command::params);
constexpr unsigned demo = commandBit(Command::demo);
constexpr unsigned snapshot = commandBit(Command::snapshot);
constexpr unsigned settings = process | analyze | snapshot | params;  // those that take the settings
constexpr unsigned reports = process | analyze | demo;
constexpr unsigned all = ~0u;
}  // namespace commands

using Adjust = Adjustment::Kind;

inline constexpr Option kOptions[] = {
    // Settings, in the order they are applied.
    {"--chunk", "FILE", commands::settings, [](CommandLine& l, const std::string& v) { l.render.settings.chunkFile = v; }},
    {"--bank", "FILE.zvb", commands::settings, [](CommandLine& l, const std::string& v) { l.render.settings.bankFile = v; }},
    {"--program", "P", commands::settings, [](CommandLine& l, const std::string& v) { l.render.settings.program = v; }},
    {"--preset", "FILE.zvk", commands::settings,
     [](CommandLine& l, const std::string& v) { l.render.settings.presetFile = v; }},
    {"--set", "NAME=VALUE", commands::settings,
     [](CommandLine& l, const std::string& v) { l.render.settings.adjustments.push_back({Adjust::set, v}); }},
    {"--raw", "INDEX=V", commands::settings,
     [](CommandLine& l, const std::string& v) { l.render.settings.adjustments.push_back({Adjust::raw, v}); }},
    {"--no-user-state", "", commands::all, [](CommandLine& l, const std::string&) { l.noUserState = true; }},
    // Where the output goes.
    {"-o", "OUT", commands::process, setOutput},
    {"--out-dir", "DIR", commands::process, [](CommandLine& l, const std::string& v) { l.outDir = v; }},
    {"--save-preset", "FILE", commands::params, [](CommandLine& l, const std::string& v) { l.savePreset = v; }},
    {"--save-bank", "FILE", commands::params, [](CommandLine& l, const std::string& v) { l.saveBank = v; }},
    {"--save-chunk", "FILE", commands::params, [](CommandLine& l, const std::string& v) { l.saveChunk = v; }},
    // How it is made.
    {"--through", "", commands::analyze, [](CommandLine& l, const std::string&) { l.through = true; }},
    {"--explain", "", commands::params, [](CommandLine& l, const std::string&) { l.explain = true; }},
    {"--block", "N", commands::process | commands::analyze,
     [](CommandLine& l, const std::string& v) { l.render.blockSize = parseBlockSize(v); }},
    {"--keep-latency", "", commands::process, [](CommandLine& l, const std::string&) { l.render.keepLatency = true; }},
    {"--format", "F", commands::process,
     [](CommandLine& l, const std::string& v) { l.render.format = parseFormat(v); }},
    {"--ceiling-dbtp", "X", commands::process,
     [](CommandLine& l, const std::string& v) {
         l.render.ceilingDbtp = parseDecibels("--ceiling-dbtp", v, -20.0, 0.0);
         l.render.hasCeiling = true;
     }},
    {"--target-lufs", "L", commands::process,
     [](CommandLine& l, const std::string& v) {
         l.render.targetLufs = parseDecibels("--target-lufs", v, -60.0, 0.0);
         l.render.hasTarget = true;
     }},
    {"--album", "", commands::process, [](CommandLine& l, const std::string&) { l.album = true; }},
    {"--strict", "", commands::process, [](CommandLine& l, const std::string&) { l.render.strict = true; }},
    {"--no-clobber", "", commands::process, [](CommandLine& l, const std::string&) { setExisting(l, Existing::keep); }},
    {"--force", "", commands::settings | commands::demo,
     [](CommandLine& l, const std::string&) { setExisting(l, Existing::force); }},
    {"--plot", "OUT.png", commands::process | commands::analyze,
     [](CommandLine& l, const std::string& v) { l.render.plotPath = v; }},
    {"--signal", "S", commands::snapshot, [](CommandLine& l, const std::string& v) { l.signal = v; }},
    {"--at", "SECONDS", commands::snapshot,
     [](CommandLine& l, const std::string& v) { l.snapshotSeconds = parseSnapshotSeconds(v); }},
    // What is shown.
    {"--json", "", commands::reports, [](CommandLine& l, const std::string&) { l.json = true; }},
    {"--quiet", "", commands::reports, [](CommandLine& l, const std::string&) { l.quiet = true; }},
};

// The row of that name, whatever command takes it; stops the compiler on a
// name that is not in the table.
consteval const Option& option(std::string_view name) {
    for (const Option& o : kOptions)
        if (o.name == name) return o;
    throw "no such option in the table";
}

// The row of that name the command takes, or null.
constexpr const Option* findOption(Command command, std::string_view name) {
    for (const Option& o : kOptions)
        if (o.name == name && o.takenBy(command)) return &o;
    return nullptr;
}

}  // namespace vexal::cli
