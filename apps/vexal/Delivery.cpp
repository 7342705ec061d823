#include "Delivery.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "UsageError.h"
#include "core/ParameterTable.h"

namespace vexal::cli {

namespace {

// Output and Drive in decibels against their host values (the parameter
// model: Output 2^(2(v − 1)), Drive 2^(8(v − 0.5))).
const double kOutputDbPerUnit = 40.0 * std::log10(2.0);
const double kDriveDbPerUnit = 160.0 * std::log10(2.0);
const double kOutputLowestDb = -kOutputDbPerUnit;
const double kDriveRangeDb = 0.5 * kDriveDbPerUnit;
// Below the ceiling by this much when Output is set from a measurement: the
// true-peak meter's tolerance against the ideal reconstruction; dither and
// rounding move the peak by far less.
constexpr double kCeilingMargin = 0.05;

struct Starting {
    double outputDb, driveDb;
    bool oversample, autoOut;
};

Starting startingPoint(const Settings& settings) {
    EffectHost probe;
    applySettings(probe, settings);
    return {kOutputDbPerUnit * (probe.getParameter(kOutput) - 1.0),
            kDriveDbPerUnit * (probe.getParameter(kDrive) - 0.5),
            stepIndex(probe.getParameter(kOversample), 2) == 1, stepIndex(probe.getParameter(kAutoOut), 2) == 1};
}

RenderOptions withPass(const RenderOptions& options, const DeliveryPass& pass) {
    RenderOptions o = options;
    char text[64];
    std::snprintf(text, sizeof text, "%d=%.9g", kOutput, 1.0 + pass.outputDb / kOutputDbPerUnit);
    o.settings.adjustments.push_back({Adjustment::Kind::raw, text});
    std::snprintf(text, sizeof text, "%d=%.9g", kDrive, 0.5 + pass.driveDb / kDriveDbPerUnit);
    o.settings.adjustments.push_back({Adjustment::Kind::raw, text});
    o.settings.adjustments.push_back({Adjustment::Kind::set, pass.oversample ? "Oversample=on" : "Oversample=off"});
    // AutoOut would put the inverse of Drive in Output's place.
    o.settings.adjustments.push_back({Adjustment::Kind::set, "AutoOut=off"});
    return o;
}

bool meetsCeiling(const RenderOptions& o, const DeliveryPass& p) { return p.truePeakDbtp <= o.ceilingDbtp; }
bool meetsTarget(const RenderOptions& o, const DeliveryPass& p) {
    return !o.hasTarget || std::fabs(p.integratedLufs - o.targetLufs) <= kLoudnessTolerance;
}

// Figures of a pass before Output: Output scales the limited signal, so the
// true peak and the loudness move with it decibel for decibel; only Drive
// changes how they stand to each other.
double peakBeforeOutput(const DeliveryPass& p) { return p.truePeakDbtp - p.outputDb; }
double loudnessBeforeOutput(const DeliveryPass& p) { return p.integratedLufs - p.outputDb; }

// The Output that puts a peak (before Output) at the ceiling, within its range.
double outputForCeiling(const RenderOptions& o, double peakBefore) {
    return std::clamp(o.ceilingDbtp - kCeilingMargin - peakBefore, kOutputLowestDb, 0.0);
}
// The loudest a pass's Drive allows under the ceiling: the search's
// function of Drive, which rises with it.
double loudestUnderCeiling(const RenderOptions& o, const DeliveryPass& p) {
    return loudnessBeforeOutput(p) + outputForCeiling(o, peakBeforeOutput(p));
}

// A ceiling alone: Output lowered by what the peak is over (never raised).
DeliveryPass nextForCeiling(const RenderOptions& o, const Starting& start, const DeliveryPass& last) {
    DeliveryPass next = last;
    const double output = last.outputDb + (o.ceilingDbtp - kCeilingMargin - last.truePeakDbtp);
    next.outputDb = std::clamp(std::min(output, start.outputDb), kOutputLowestDb, 0.0);
    return next;
}

// Landing on the target from a pass whose Drive leaves room for it: the
// same Drive, Output set for the target, which keeps the peak under the
// ceiling. Below Output's range, Drive comes down for the rest, by the
// loudness the passes show per dB of Drive (little where the limiter works
// hard).
DeliveryPass exactByOutput(const RenderOptions& o, const DeliveryPass& base, const std::vector<DeliveryPass>& passes) {
    DeliveryPass next = base;
    next.outputDb = o.targetLufs - loudnessBeforeOutput(base);
    if (next.outputDb < kOutputLowestDb) {
        double slope = 0.5;
        const DeliveryPass* other = nullptr;
        for (const DeliveryPass& p : passes)
            if (std::fabs(p.driveDb - base.driveDb) > 1e-3 &&
                (!other || std::fabs(p.driveDb - base.driveDb) < std::fabs(other->driveDb - base.driveDb)))
                other = &p;
        if (other)
            slope = std::clamp((loudnessBeforeOutput(base) - loudnessBeforeOutput(*other)) /
                                   (base.driveDb - other->driveDb),
                               0.05, 1.0);
        next.driveDb += (next.outputDb - kOutputLowestDb) / slope;
        next.outputDb = kOutputLowestDb;
    }
    next.driveDb = std::clamp(next.driveDb, -kDriveRangeDb, kDriveRangeDb);
    return next;
}

// A render at Drive `drive` with Output where the ceiling needs it: the peak
// before Output estimated from the pass nearest in Drive, rising at most
// decibel for decibel with Drive (so that the pass stays under the ceiling).
DeliveryPass probeAt(const RenderOptions& o, const std::vector<DeliveryPass>& passes, double drive) {
    const DeliveryPass* nearest = &passes.front();
    for (const DeliveryPass& p : passes)
        if (std::fabs(p.driveDb - drive) < std::fabs(nearest->driveDb - drive)) nearest = &p;
    DeliveryPass next = *nearest;
    next.driveDb = drive;
    next.outputDb = outputForCeiling(o, peakBeforeOutput(*nearest) + std::max(0.0, drive - nearest->driveDb));
    return next;
}

// The target search. The loudest a Drive allows under the ceiling rises with
// Drive; the least Drive that reaches the target is bracketed (raised from
// the programme's own Drive, by the secant of the passes so far) and, while
// the bracket is wide, narrowed; then a pass at the bracket's upper end with
// Output set for the target lands on it. A Drive that already leaves room
// is kept: no more limiting than the programme's own. Empty when no pass is
// left to try: Drive at the top of its range still falls short.
std::optional<DeliveryPass> nextForTarget(const RenderOptions& o, const std::vector<DeliveryPass>& passes) {
    const double aim = o.targetLufs + 0.3;  // a little inside, so that the bracket closes
    const DeliveryPass* reaching = nullptr;  // the least Drive that has room
    const DeliveryPass* short_ = nullptr;    // the most Drive that has not
    for (const DeliveryPass& p : passes) {
        if (loudestUnderCeiling(o, p) >= o.targetLufs) {
            if (!reaching || p.driveDb < reaching->driveDb) reaching = &p;
        } else if (!short_ || p.driveDb > short_->driveDb) {
            short_ = &p;
        }
    }
    const int passesLeft = kMaxDeliveryPasses - static_cast<int>(passes.size());
    if (reaching) {
        const bool narrow = short_ && short_->driveDb < reaching->driveDb && passesLeft >= 2 &&
                            reaching->driveDb - short_->driveDb > 1.0;
        if (!narrow) return exactByOutput(o, *reaching, passes);
        const double below = loudestUnderCeiling(o, *short_), above = loudestUnderCeiling(o, *reaching);
        const double t = std::clamp((aim - below) / std::max(above - below, 1e-6), 0.25, 0.75);
        return probeAt(o, passes, short_->driveDb + t * (reaching->driveDb - short_->driveDb));
    }
    if (short_->driveDb >= kDriveRangeDb - 1e-6) return std::nullopt;
    // Raise Drive: by the secant of the two highest passes, else about
    // 0.6 dB of loudness per dB of Drive where the limiter works.
    double slope = 0.6;
    const DeliveryPass* second = nullptr;
    for (const DeliveryPass& p : passes)
        if (&p != short_ && p.driveDb < short_->driveDb - 1e-3 && (!second || p.driveDb > second->driveDb)) second = &p;
    if (second)
        slope = std::clamp((loudestUnderCeiling(o, *short_) - loudestUnderCeiling(o, *second)) /
                               (short_->driveDb - second->driveDb),
                           0.05, 1.5);
    const double drive = short_->driveDb + (aim - loudestUnderCeiling(o, *short_)) / slope;
    return probeAt(o, passes, std::clamp(drive, short_->driveDb + 0.5, kDriveRangeDb));
}

std::string describeChanges(const Starting& start, const DeliveryPass& p) {
    char text[200];
    std::string s;
    if (std::fabs(p.outputDb - start.outputDb) > 0.005) {
        std::snprintf(text, sizeof text, "Output %+.2f -> %+.2f dB", start.outputDb, p.outputDb);
        s += text;
    }
    if (std::fabs(p.driveDb - start.driveDb) > 0.005) {
        std::snprintf(text, sizeof text, "%sDrive %+.2f -> %+.2f dB", s.empty() ? "" : ", ", start.driveDb, p.driveDb);
        s += text;
    }
    if (p.oversample != start.oversample) s += std::string(s.empty() ? "" : ", ") + "Oversample off -> on";
    if (start.autoOut) s += std::string(s.empty() ? "" : ", ") + "AutoOut on -> off";
    return s.empty() ? "nothing" : s;
}

double decibelsOf(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

// Of the passes so far, the one to write: under the ceiling first, then
// nearest the target.
size_t closest(const RenderOptions& o, const std::vector<DeliveryPass>& passes) {
    size_t best = 0;
    auto score = [&](const DeliveryPass& p) {
        const double over = std::max(0.0, p.truePeakDbtp - o.ceilingDbtp);
        const double miss = o.hasTarget && std::isfinite(p.integratedLufs) ? std::fabs(p.integratedLufs - o.targetLufs) : 0.0;
        return over * 1000.0 + miss;
    };
    for (size_t i = 1; i < passes.size(); ++i)
        if (score(passes[i]) < score(passes[best])) best = i;
    return best;
}

// Passes expected after the one under way, for the progress bar: a ceiling
// takes one more at most; a target one to land once a Drive with room is
// known, two before.
int estimatedPassesLeft(const RenderOptions& o, const std::vector<DeliveryPass>& passes) {
    if (passes.empty()) return o.hasTarget ? 2 : 1;
    if (!o.hasTarget) return 0;
    for (const DeliveryPass& p : passes)
        if (loudestUnderCeiling(o, p) >= o.targetLufs) return 0;
    return 1;
}

// Why the target is out of reach, from the pass with the most Drive.
std::string limitOf(const RenderOptions& o, const std::vector<DeliveryPass>& passes, bool silent) {
    if (silent) return "silent: no loudness target can be reached";
    const DeliveryPass* top = &passes.front();
    for (const DeliveryPass& p : passes)
        if (p.driveDb > top->driveDb) top = &p;
    char text[200];
    if (outputForCeiling(o, peakBeforeOutput(*top)) >= 0.0)
        std::snprintf(text, sizeof text, "Drive's range stops it: at Drive %+.2f dB and Output 0 dB the loudness is %.2f LUFS",
                      top->driveDb, loudnessBeforeOutput(*top));
    else
        std::snprintf(text, sizeof text, "the ceiling stops it: at Drive %+.2f dB the loudest under %+.2f dBTP is %.2f LUFS",
                      top->driveDb, o.ceilingDbtp, loudestUnderCeiling(o, *top));
    return text;
}

}  // namespace

std::vector<RenderResult> deliver(const std::vector<Track>& tracks, const RenderOptions& options,
                                  Progress& progress) {
    const Starting start = startingPoint(options.settings);
    // The first pass: Oversample on, the plug-in's own inter-sample
    // safeguard; the programme's Output and Drive, so that material already
    // under the ceiling keeps its level.
    DeliveryPass pass{std::clamp(start.outputDb, kOutputLowestDb, 0.0), start.driveDb, true, 0.0, 0.0};

    std::vector<DeliveryPass> passes;
    // Per pass, per track; only the best pass so far keeps its files.
    std::vector<std::vector<RenderResult>> results;
    std::vector<std::vector<std::unique_ptr<OutputFile>>> files;
    bool silent = false, shownOutOfReach = false;
    for (int n = 0; n < kMaxDeliveryPasses; ++n) {
        results.emplace_back();
        files.emplace_back();
        std::vector<const LoudnessFigures*> outputs;
        double peak = 0.0;
        for (const Track& t : tracks) {
            std::unique_ptr<OutputFile> file;
            progress.pass(n + 1, static_cast<int>(passes.size()) + 1 + estimatedPassesLeft(options, passes));
            results.back().push_back(renderFile(t.input, t.output, withPass(options, pass), progress, &file));
            files.back().push_back(std::move(file));
            peak = std::max(peak, results.back().back().out.truePeak);
        }
        for (const RenderResult& r : results.back()) outputs.push_back(&r.out);
        // Every track under the ceiling; the loudness of all as one programme.
        pass.truePeakDbtp = decibelsOf(peak);
        pass.integratedLufs = loudnessTogether(outputs);
        passes.push_back(pass);
        const size_t best = closest(options, passes);
        for (size_t i = 0; i < files.size(); ++i)
            if (i != best) files[i].clear();
        // Silence has no loudness to move: the ceiling alone applies.
        silent = silent || !std::isfinite(pass.integratedLufs);
        const bool target = options.hasTarget && !silent;
        if (meetsCeiling(options, pass) && (!target || meetsTarget(options, pass))) break;
        std::optional<DeliveryPass> next;
        if (target) {
            next = nextForTarget(options, passes);
            shownOutOfReach = !next;
        } else {
            next = nextForCeiling(options, start, pass);
        }
        // Nothing left to move: another pass would give the same figures.
        if (!next || (std::fabs(next->outputDb - pass.outputDb) < 1e-4 && std::fabs(next->driveDb - pass.driveDb) < 1e-4))
            break;
        pass = *next;
    }
    progress.pass(0, 0);

    const DeliveryPass& last = passes.back();
    const bool reached = !silent && meetsCeiling(options, last) && meetsTarget(options, last);
    const size_t chosen = reached ? passes.size() - 1 : closest(options, passes);
    std::string missed;
    if (!reached) {
        char goal[64] = "the ceiling", text[400];
        if (options.hasTarget) std::snprintf(goal, sizeof goal, "%.1f LUFS", options.targetLufs);
        const bool ceilingMet = meetsCeiling(options, passes[chosen]);
        std::string why;
        if (silent)
            why = limitOf(options, passes, true);
        else if (shownOutOfReach)
            why = limitOf(options, passes, false);
        else
            why = "not found in " + std::to_string(passes.size()) + " passes";
        if (silent && ceilingMet)
            std::snprintf(text, sizeof text, "%s; %s", why.c_str(),
                          options.strict ? "the ceiling alone was met" : "written with the ceiling alone");
        else
            std::snprintf(text, sizeof text, "cannot reach %s under %+.2f dBTP: %s; %s: %+.2f dBTP, %.2f LUFS",
                          goal, options.ceilingDbtp, why.c_str(),
                          options.strict ? "the closest was" : "wrote the closest",
                          std::max(passes[chosen].truePeakDbtp, -999.99), std::max(passes[chosen].integratedLufs, -999.99));
        missed = text;
        const std::string what = tracks.size() == 1 ? tracks[0].input : "album";
        if (options.strict) throw ProcessingError(what + ": " + missed + " (--strict: nothing written)");
    }

    std::vector<RenderResult> delivered;
    for (size_t t = 0; t < tracks.size(); ++t) {
        double seconds = 0.0;
        for (const auto& p : results) seconds += p[t].seconds;
        RenderResult result = std::move(results[chosen][t]);
        result.seconds = seconds;  // every pass
        result.passes = passes;
        result.album = tracks.size() > 1;
        result.ceilingDbtp = options.ceilingDbtp;
        result.hasTarget = options.hasTarget;
        result.targetLufs = options.targetLufs;
        result.passWritten = static_cast<int32_t>(chosen);
        result.reached = reached;
        result.changed = describeChanges(start, passes[chosen]);
        if (!reached) result.warnings.push_back((result.album ? "album" : tracks[t].input) + ": " + missed);
        files[chosen][t]->commit();
        delivered.push_back(std::move(result));
    }
    return delivered;
}

RenderResult deliverFile(const std::string& input, const std::string& output, const RenderOptions& options,
                         Progress& progress) {
    return std::move(deliver({{input, output}}, options, progress).front());
}

}  // namespace vexal::cli
