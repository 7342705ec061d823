#include "Delivery.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
// true peak and the loudness move with it decibel for decibel, and their
// difference (the peak-to-loudness ratio) depends on Drive alone.
double peakBeforeOutput(const DeliveryPass& p) { return p.truePeakDbtp - p.outputDb; }
double loudnessBeforeOutput(const DeliveryPass& p) { return p.integratedLufs - p.outputDb; }
double peakToLoudness(const DeliveryPass& p) { return p.truePeakDbtp - p.integratedLufs; }

// A ceiling alone: Output lowered by what the peak is over (never raised).
DeliveryPass nextForCeiling(const RenderOptions& o, const Starting& start, const DeliveryPass& last) {
    DeliveryPass next = last;
    const double output = last.outputDb + (o.ceilingDbtp - kCeilingMargin - last.truePeakDbtp);
    next.outputDb = std::clamp(std::min(output, start.outputDb), kOutputLowestDb, 0.0);
    return next;
}

// A target under a ceiling. A pass whose peak-to-loudness ratio leaves room
// (target plus ratio at most the ceiling) can be rendered again with Output
// alone setting the loudness, which is exact; of those, the one with the
// least Drive (the least limiting) is used. Before that, Drive moves once
// toward a ratio half a dB inside the room: up when the signal is too
// dynamic for the target under the ceiling, down when it is much denser than
// it needs to be (the ratio falls about 0.6 dB per dB of Drive where the
// limiter works; with two passes, by their secant), with Output putting the
// peak at the ceiling.
DeliveryPass exactByOutput(const RenderOptions& o, const DeliveryPass& base) {
    DeliveryPass next = base;
    next.outputDb = o.targetLufs - loudnessBeforeOutput(base);
    // Beyond Output's range, Drive takes the rest.
    if (next.outputDb < kOutputLowestDb) {
        next.driveDb += next.outputDb - kOutputLowestDb;
        next.outputDb = kOutputLowestDb;
    } else if (next.outputDb > 0.0) {
        next.driveDb += next.outputDb;
        next.outputDb = 0.0;
    }
    next.driveDb = std::clamp(next.driveDb, -kDriveRangeDb, kDriveRangeDb);
    return next;
}

DeliveryPass nextForTarget(const RenderOptions& o, const std::vector<DeliveryPass>& passes) {
    const double ceiling = o.ceilingDbtp - kCeilingMargin;
    const double room = ceiling - o.targetLufs;
    const double aim = room - 0.5;
    const DeliveryPass* fitting = nullptr;
    for (const DeliveryPass& p : passes)
        if (peakToLoudness(p) <= room && (!fitting || p.driveDb < fitting->driveDb)) fitting = &p;
    const DeliveryPass& last = passes.back();
    if (fitting && (passes.size() >= 2 || peakToLoudness(last) >= aim - 1.0)) return exactByOutput(o, *fitting);

    double slope = -0.6;
    if (passes.size() >= 2) {
        const DeliveryPass& prior = passes[passes.size() - 2];
        const double dDrive = last.driveDb - prior.driveDb;
        if (std::fabs(dDrive) > 1e-3)
            slope = std::clamp((peakToLoudness(last) - peakToLoudness(prior)) / dDrive, -1.5, -0.05);
    }
    DeliveryPass next = last;
    next.driveDb = std::clamp(last.driveDb + (aim - peakToLoudness(last)) / slope, -kDriveRangeDb, kDriveRangeDb);
    next.outputDb = std::clamp(ceiling - peakBeforeOutput(last), kOutputLowestDb, 0.0);
    return next;
}

DeliveryPass nextPass(const RenderOptions& o, const Starting& start, const std::vector<DeliveryPass>& passes) {
    return o.hasTarget ? nextForTarget(o, passes) : nextForCeiling(o, start, passes.back());
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

double decibelsOf(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -1000.0; }

// Of passes that miss, the one to write: under the ceiling first, then
// nearest the target.
size_t closest(const RenderOptions& o, const std::vector<DeliveryPass>& passes) {
    size_t best = 0;
    auto score = [&](const DeliveryPass& p) {
        const double over = std::max(0.0, p.truePeakDbtp - o.ceilingDbtp);
        const double miss = o.hasTarget ? std::fabs(p.integratedLufs - o.targetLufs) : 0.0;
        return over * 1000.0 + miss;
    };
    for (size_t i = 1; i < passes.size(); ++i)
        if (score(passes[i]) < score(passes[best])) best = i;
    return best;
}

}  // namespace

std::vector<RenderResult> deliver(const std::vector<Track>& tracks, const RenderOptions& options,
                                  Progress& progress) {
    const Starting start = startingPoint(options.settings);
    // The first pass: Oversample on, the plug-in's own inter-sample
    // safeguard; Output at the ceiling when above it; the settings' Drive.
    DeliveryPass pass{std::min(start.outputDb, options.ceilingDbtp), start.driveDb, true, 0.0, 0.0};
    pass.outputDb = std::clamp(pass.outputDb, kOutputLowestDb, 0.0);

    std::vector<DeliveryPass> passes;
    // Per pass, per track.
    std::vector<std::vector<RenderResult>> results;
    std::vector<std::vector<std::unique_ptr<OutputFile>>> files;
    for (int n = 0; n < kMaxDeliveryPasses; ++n) {
        results.emplace_back();
        files.emplace_back();
        std::vector<const LoudnessFigures*> outputs;
        double peak = 0.0;
        for (const Track& t : tracks) {
            std::unique_ptr<OutputFile> file;
            results.back().push_back(renderFile(t.input, t.output, withPass(options, pass), progress, &file));
            files.back().push_back(std::move(file));
            peak = std::max(peak, results.back().back().out.truePeak);
        }
        for (const RenderResult& r : results.back()) outputs.push_back(&r.out);
        // Every track under the ceiling; the loudness of all as one programme.
        pass.truePeakDbtp = decibelsOf(peak);
        pass.integratedLufs = loudnessTogether(outputs);
        passes.push_back(pass);
        if (meetsCeiling(options, pass) && meetsTarget(options, pass)) break;
        const DeliveryPass next = nextPass(options, start, passes);
        // Nothing left to move: another pass would give the same figures.
        if (std::fabs(next.outputDb - pass.outputDb) < 1e-4 && std::fabs(next.driveDb - pass.driveDb) < 1e-4) break;
        pass = next;
    }

    const DeliveryPass& last = passes.back();
    const bool reached = meetsCeiling(options, last) && meetsTarget(options, last);
    const size_t chosen = reached ? passes.size() - 1 : closest(options, passes);
    std::string missed;
    if (!reached) {
        char goal[64] = "the ceiling", text[300];
        if (options.hasTarget) std::snprintf(goal, sizeof goal, "%.1f LUFS", options.targetLufs);
        std::snprintf(text, sizeof text,
                      "cannot reach %s under %+.2f dBTP with these settings in %zu passes; %s: %+.2f dBTP, %.2f LUFS",
                      goal, options.ceilingDbtp, passes.size(), options.strict ? "the closest was" : "wrote the closest",
                      passes[chosen].truePeakDbtp, passes[chosen].integratedLufs);
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
