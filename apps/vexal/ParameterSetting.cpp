#include "ParameterSetting.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "UsageError.h"
#include "core/ParameterTable.h"
#include "core/ValueText.h"

namespace vexal::cli {

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool isMinusInfinity(const std::string& text) {
    const std::string t = lowerCase(text);
    return t == "-oo" || t == "-inf" || t == "-infinity";
}

// A whole number text, optionally followed by the parameter's label.
bool parseNumber(const std::string& text, const std::string& label, double& number) {
    if (isMinusInfinity(text)) {
        number = -std::numeric_limits<double>::infinity();
        return true;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    number = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(number)) return false;
    const std::string rest = lowerCase(trimmed(end));
    return rest.empty() || (!label.empty() && rest == lowerCase(label));
}

// The number a value text stands for ("-oo" is minus infinity).
double numberOfText(const std::string& text) {
    double number = 0.0;
    return parseNumber(text, "", number) ? number : std::numeric_limits<double>::quiet_NaN();
}

// The host value whose value text is `x`, before rounding to a float: the
// inverse of each parameter's formula.
double analyticHostValue(int32_t index, double x) {
    const double log2Of10 = std::log2(10.0);
    switch (index) {
        case kOutput: return 1.0 + (x / 20.0) * log2Of10 / 2.0;  // 2^(2(v−1)) in dB
        case kDrive: return 0.5 + (x / 20.0) * log2Of10 / 8.0;   // 2^(8(v−0.5)) in dB
        case kTransient: return std::sqrt(std::max(0.0, 4.0 * x)) / 1.4142136;
        case kRelease:
            return std::pow(std::max(0.0, std::log10(std::max(x, 1e-300)) / 3.0), 1.0 / 0.82030212);
        case kLink: return x / 100.0;
        case kLeveller: return std::isinf(x) ? 0.0 : std::pow(10.0, x / 20.0);  // dB of v itself
        default: return 0.0;
    }
}

std::string displayAt(EffectHost& host, int32_t index, float v) {
    host.setParameter(index, v);
    return host.parameterDisplay(index);
}

void setContinuous(EffectHost& host, int32_t index, const std::string& value) {
    const std::string name = parameterInfo(index).name;
    const std::string label = parameterInfo(index).label;
    const std::string text = trimmed(value);
    if (index == kLeveller && lowerCase(text) == "off") {
        host.setParameter(index, 1.0f);  // the top position switches the leveller off
        return;
    }
    double x = 0.0;
    if (!parseNumber(text, label, x))
        throw UsageError(name + ": \"" + value + "\" is not a number" +
                         (label.empty() ? "" : " (" + label + ")"));

    // The range is what the parameter shows at its two ends; a value that
    // shows the same text as an end counts as that end.
    const std::string lowText = displayAt(host, index, 0.0f);
    const std::string highText = displayAt(host, index, 1.0f);
    const double low = numberOfText(lowText);
    const double high = numberOfText(highText);
    char asText[kMaxValueText] = "-oo";
    if (std::isfinite(x)) formatNumber(static_cast<float>(x), asText);
    if (!(x >= low && x <= high) && asText != lowText && asText != highText)
        throw UsageError(name + " = " + text + " is out of range (" + lowText + " to " + highText +
                         (label.empty() ? "" : " " + label) + ")");

    // Of the floats around the analytic value, the one whose text comes
    // closest to what was asked (a float step of the host value can move the
    // text by more than its last digit).
    const double v0 = std::clamp(analyticHostValue(index, x), 0.0, 1.0);
    float best = static_cast<float>(v0);
    double bestError = std::numeric_limits<double>::infinity();
    auto consider = [&](float v) {
        const double shown = numberOfText(displayAt(host, index, v));
        const double error = shown == x ? 0.0 : std::fabs(shown - x);
        if (error < bestError ||
            (error == bestError && std::fabs(v - v0) < std::fabs(static_cast<double>(best) - v0))) {
            bestError = error;
            best = v;
        }
    };
    constexpr int kUlpsEachSide = 48;
    float up = static_cast<float>(v0);
    float down = up;
    consider(up);
    for (int i = 0; i < kUlpsEachSide; ++i) {
        up = std::nextafter(up, 2.0f);
        down = std::nextafter(down, -1.0f);
        if (up <= 1.0f) consider(up);
        if (down >= 0.0f) consider(down);
    }
    host.setParameter(index, best);
}

void setStepped(EffectHost& host, int32_t index, const std::string& value) {
    const ParameterInfo& info = parameterInfo(index);
    const std::string wanted = lowerCase(trimmed(value));
    std::string choices;
    for (int32_t step = 0; step < info.steps; ++step) {
        if (lowerCase(info.stepTexts[step]) == wanted) {
            host.setParameter(index, stepValue(step, info.steps));
            return;
        }
        choices += (step ? ", \"" : "\"") + std::string(info.stepTexts[step]) + "\"";
    }
    throw UsageError(std::string(info.name) + ": \"" + value + "\" is not one of " + choices);
}

std::pair<std::string, std::string> splitAssignment(const std::string& assignment,
                                                    const char* option) {
    const auto equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError(std::string(option) + " expects NAME=VALUE, not \"" + assignment + "\"");
    return {assignment.substr(0, equals), assignment.substr(equals + 1)};
}

}  // namespace

int32_t findParameter(EffectHost& host, const std::string& name) {
    const std::string wanted = lowerCase(trimmed(name));
    for (int32_t i = 0; i < host.numParameters(); ++i)
        if (lowerCase(host.parameterName(i)) == wanted) return i;
    throw UsageError("unknown parameter \"" + name + "\" (see vexal params)");
}

void setParameterByText(EffectHost& host, int32_t index, const std::string& value) {
    const ParameterInfo& info = parameterInfo(index);
    switch (info.textKind) {
        case ValueTextKind::steps: setStepped(host, index, value); return;
        case ValueTextKind::none:
            throw UsageError(std::string(info.name) + " has no value text; use --raw " +
                             std::to_string(index) + "=V");
        default: setContinuous(host, index, value); return;
    }
}

void applySet(EffectHost& host, const std::string& assignment) {
    const auto [name, value] = splitAssignment(assignment, "--set");
    setParameterByText(host, findParameter(host, name), value);
}

void applyRaw(EffectHost& host, const std::string& assignment) {
    const auto [indexText, valueText] = splitAssignment(assignment, "--raw");
    char* end = nullptr;
    const long index = std::strtol(indexText.c_str(), &end, 10);
    if (*end != 0 || index < 0 || index >= host.numParameters())
        throw UsageError("--raw: no parameter index \"" + indexText + "\" (0 to " +
                         std::to_string(host.numParameters() - 1) + ")");
    const char* begin = valueText.c_str();
    const float v = std::strtof(begin, &end);
    if (end == begin || *end != 0 || !(v >= 0.0f && v <= 1.0f))
        throw UsageError("--raw " + indexText + ": host value \"" + valueText +
                         "\" is not a number from 0 to 1");
    host.setParameter(static_cast<int32_t>(index), v);
}

}  // namespace vexal::cli
