#include "Report.h"

#include <cmath>
#include <limits>

namespace vexal::cli {

namespace {

std::string fixed(double value, int decimals, bool sign = false) {
    // Silence: minus infinity, as level meters write it.
    if (std::isinf(value)) return value < 0 ? "-oo" : "+oo";
    if (std::isnan(value)) return "n/a";
    char text[64];
    // Adding 0.0 turns a rounded −0 into 0.
    std::snprintf(text, sizeof text, sign ? "%+.*f" : "%.*f", decimals, value + 0.0);
    if (sign && std::string(text).find_first_not_of("+-0.") == std::string::npos) return text + 1;
    return text;
}

std::string pair(const float values[2], int channels, int decimals) {
    std::string text = fixed(decibels(values[0]), decimals);
    if (channels > 1) {
        text += "/";
        text += fixed(decibels(values[1]), decimals);
    }
    return text;
}

double realTimeFactor(const RenderResult& r) {
    const double audioSeconds = static_cast<double>(r.frames) / r.sampleRate;
    return r.seconds > 0.0 ? audioSeconds / r.seconds : 0.0;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Built by appending: GCC 12 warns falsely (-Wrestrict) on "literal" + string.
std::string jsonPair(const float values[2]) {
    std::string s = "[";
    s += jsonNumber(decibels(values[0]));
    s += ", ";
    s += jsonNumber(decibels(values[1]));
    return s + "]";
}

std::string jsonFigures(const LoudnessFigures& f) {
    std::string s = "{\"samplePeakDbfs\": ";
    s += jsonNumber(decibels(f.samplePeak));
    s += ", \"truePeakDbtp\": " + jsonNumber(decibels(f.truePeak));
    s += ", \"integratedLufs\": " + jsonNumber(f.integrated);
    s += ", \"loudnessRangeLu\": " + jsonNumber(f.range);
    return s + "}";
}

void printDelivery(std::FILE* out, const RenderResult& r) {
    if (r.passes.empty()) return;
    std::fprintf(out, "  delivery        %sceiling %+.2f dBTP", r.album ? "album, " : "", r.ceilingDbtp);
    if (r.hasTarget) std::fprintf(out, ", target %.1f LUFS", r.targetLufs);
    std::fprintf(out, ": %s in %zu pass%s; changed %s\n", r.reached ? "reached" : "NOT reached", r.passes.size(),
                 r.passes.size() == 1 ? "" : "es", r.changed.c_str());
    for (size_t i = 0; i < r.passes.size(); ++i) {
        const DeliveryPass& p = r.passes[i];
        std::fprintf(out, "    pass %zu%s  Output %+.2f dB, Drive %+.2f dB, Oversample %s: %s dBTP, %s LUFS\n", i + 1,
                     static_cast<int32_t>(i) == r.passWritten ? " (written)" : "          ", p.outputDb, p.driveDb,
                     p.oversample ? "on" : "off", fixed(p.truePeakDbtp, 2, true).c_str(),
                     fixed(p.integratedLufs, 2).c_str());
    }
}

std::string jsonDelivery(const RenderResult& r) {
    std::string s = "{\"album\": ";
    s += r.album ? "true" : "false";
    s += ", \"ceilingDbtp\": " + jsonNumber(r.ceilingDbtp);
    s += ", \"targetLufs\": " + (r.hasTarget ? jsonNumber(r.targetLufs) : std::string("null"));
    s += std::string(", \"reached\": ") + (r.reached ? "true" : "false");
    s += ", \"passWritten\": " + std::to_string(r.passWritten + 1);
    s += ", \"changed\": " + jsonString(r.changed);
    s += ", \"passes\": [";
    for (size_t i = 0; i < r.passes.size(); ++i) {
        const DeliveryPass& p = r.passes[i];
        s += i ? ", " : "";
        s += "{\"outputDb\": " + jsonNumber(p.outputDb);
        s += ", \"driveDb\": " + jsonNumber(p.driveDb);
        s += std::string(", \"oversample\": ") + (p.oversample ? "true" : "false");
        s += ", \"truePeakDbtp\": " + jsonNumber(p.truePeakDbtp);
        s += ", \"integratedLufs\": " + jsonNumber(p.integratedLufs) + "}";
    }
    return s + "]}";
}

}  // namespace

double decibels(double linear) {
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

void printReport(std::FILE* out, const RenderResult& r) {
    const double duration = static_cast<double>(r.frames) / r.sampleRate;
    if (r.output.empty())
        std::fprintf(out, "%s (through the settings; nothing written)\n", r.input.c_str());
    else
        std::fprintf(out, "%s -> %s\n", r.input.c_str(), r.output.c_str());
    std::fprintf(out, "  %d Hz, %s, %.3f s, %s -> %s; program %d \"%s\"; latency %d samples%s\n",
                 r.sampleRate, r.channels == 1 ? "mono" : "stereo", duration, r.inputFormat.c_str(),
                 r.outputFormat.c_str(), r.program, r.programName.c_str(), r.latency,
                 r.aligned ? " (aligned)" : " (kept)");
    std::fprintf(out, "                      input        output\n");
    std::fprintf(out, "  sample peak     %8s dBFS  %8s dBFS\n",
                 fixed(decibels(r.in.samplePeak), 2, true).c_str(),
                 fixed(decibels(r.out.samplePeak), 2, true).c_str());
    std::fprintf(out, "  true peak       %8s dBTP  %8s dBTP\n",
                 fixed(decibels(r.in.truePeak), 2, true).c_str(),
                 fixed(decibels(r.out.truePeak), 2, true).c_str());
    std::fprintf(out, "  loudness        %8s LUFS  %8s LUFS\n", fixed(r.in.integrated, 1).c_str(),
                 fixed(r.out.integrated, 1).c_str());
    std::fprintf(out, "  loudness range  %8s LU    %8s LU\n", fixed(r.in.range, 1).c_str(),
                 fixed(r.out.range, 1).c_str());
    const float deepest = std::min(r.deepestGain[0], r.deepestGain[1]);
    std::fprintf(out, "  deepest gain reduction  %s dB", fixed(decibels(deepest), 2).c_str());
    if (r.channels > 1)
        std::fprintf(out, " (L %s, R %s)", fixed(decibels(r.deepestGain[0]), 2).c_str(),
                     fixed(decibels(r.deepestGain[1]), 2).c_str());
    const MeterReadout& m = r.finalMeters;
    std::fprintf(out, "\n  final meters    peak in %s, out %s dBFS; rms in %s, out %s dB; gain %s dB\n",
                 pair(m.inputPeak, r.channels, 1).c_str(), pair(m.outputPeak, r.channels, 1).c_str(),
                 pair(m.inputRms, r.channels, 1).c_str(), pair(m.outputRms, r.channels, 1).c_str(),
                 pair(m.gain, r.channels, 2).c_str());
    printDelivery(out, r);
    std::fprintf(out, "  time            %.3f s, %.1fx real time\n", r.seconds, realTimeFactor(r));
}

std::string jsonReport(const RenderResult& r) {
    const MeterReadout& m = r.finalMeters;
    const float deepest = std::min(r.deepestGain[0], r.deepestGain[1]);
    std::string s = "{\"input\": ";
    s += jsonString(r.input);
    s += ", \"output\": " + (r.output.empty() ? std::string("null") : jsonString(r.output));
    s += ", \"sampleRate\": " + std::to_string(r.sampleRate);
    s += ", \"channels\": " + std::to_string(r.channels);
    s += ", \"frames\": " + std::to_string(r.frames);
    s += ", \"latency\": " + std::to_string(r.latency);
    s += std::string(", \"aligned\": ") + (r.aligned ? "true" : "false");
    s += ", \"program\": " + std::to_string(r.program);
    s += ", \"programName\": " + jsonString(r.programName);
    s += ", \"inputFormat\": " + jsonString(r.inputFormat);
    s += ", \"outputFormat\": " + jsonString(r.outputFormat);
    s += ", \"in\": " + jsonFigures(r.in);
    s += ", \"out\": " + jsonFigures(r.out);
    s += ", \"truePeakMethod\": " + jsonString(TruePeakMeter::kMethod);
    s += ", \"kernel\": " + jsonString(kernelVariantName(TruePeakMeter::variant()));
    s += ", \"deepestGainReductionDb\": " + jsonNumber(decibels(deepest));
    s += ", \"deepestGainReductionDbLR\": " + jsonPair(r.deepestGain);
    s += ", \"finalMeters\": {\"inputPeakDbfs\": " + jsonPair(m.inputPeak);
    s += ", \"outputPeakDbfs\": " + jsonPair(m.outputPeak);
    s += ", \"inputRmsDb\": " + jsonPair(m.inputRms);
    s += ", \"outputRmsDb\": " + jsonPair(m.outputRms);
    s += ", \"gainDb\": " + jsonPair(m.gain) + "}";
    if (!r.passes.empty()) s += ", \"delivery\": " + jsonDelivery(r);
    s += ", \"seconds\": " + jsonNumber(r.seconds);
    s += ", \"realTimeFactor\": " + jsonNumber(realTimeFactor(r));
    s += ", \"warnings\": [";
    for (size_t i = 0; i < r.warnings.size(); ++i) s += (i ? ", " : "") + jsonString(r.warnings[i]);
    return s + "]}";
}

void printAnalysis(std::FILE* out, const std::string& input, const FileAnalysis& a) {
    const LoudnessFigures& f = a.figures;
    std::fprintf(out, "%s\n", input.c_str());
    std::fprintf(out, "  %d Hz, %s, %.3f s, %s\n", a.info.sampleRate, a.info.channels == 1 ? "mono" : "stereo",
                 static_cast<double>(a.frames) / a.info.sampleRate, describeFormat(a.info.format).c_str());
    std::fprintf(out, "  sample peak     %8s dBFS\n", fixed(decibels(f.samplePeak), 2, true).c_str());
    std::fprintf(out, "  true peak       %8s dBTP\n", fixed(decibels(f.truePeak), 2, true).c_str());
    std::fprintf(out, "  loudness        %8s LUFS\n", fixed(f.integrated, 1).c_str());
    std::fprintf(out, "  loudness range  %8s LU\n", fixed(f.range, 1).c_str());
}

std::string jsonAnalysis(const std::string& input, const FileAnalysis& a, const std::vector<std::string>& warnings) {
    std::string s = "{\"input\": ";
    s += jsonString(input);
    s += ", \"sampleRate\": " + std::to_string(a.info.sampleRate);
    s += ", \"channels\": " + std::to_string(a.info.channels);
    s += ", \"frames\": " + std::to_string(a.frames);
    s += ", \"inputFormat\": " + jsonString(describeFormat(a.info.format));
    s += ", \"in\": " + jsonFigures(a.figures);
    s += ", \"truePeakMethod\": " + jsonString(TruePeakMeter::kMethod);
    s += ", \"kernel\": " + jsonString(kernelVariantName(TruePeakMeter::variant()));
    s += ", \"warnings\": [";
    for (size_t i = 0; i < warnings.size(); ++i) s += (i ? ", " : "") + jsonString(warnings[i]);
    return s + "]}";
}

std::string jsonFailure(const std::string& input, const std::string& error) {
    std::string s = "{\"input\": ";
    s += jsonString(input);
    s += ", \"error\": " + jsonString(error);
    return s + "}";
}

void printJsonArray(std::FILE* out, const std::vector<std::string>& entries) {
    std::fprintf(out, "[");
    for (size_t i = 0; i < entries.size(); ++i)
        std::fprintf(out, "%s\n  %s", i ? "," : "", entries[i].c_str());
    std::fprintf(out, "\n]\n");
}

}  // namespace vexal::cli
