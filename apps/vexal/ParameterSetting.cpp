#include "ParameterSetting.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "LowerCase.h"
#include "UsageError.h"
#include "core/ParameterTable.h"
#include "core/ValueText.h"

namespace vexal::cli {

namespace {

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

// Non-negative floats order as their bit patterns do.
uint32_t bitsOf(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
float floatOf(uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
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
    const double lowest = numberOfText(lowText);
    const double highest = numberOfText(highText);
    char asText[kMaxValueText] = "-oo";
    if (std::isfinite(x)) formatNumber(static_cast<float>(x), asText);
    if (!(x >= lowest && x <= highest) && asText != lowText && asText != highText)
        throw UsageError(name + " = " + text + " is out of range (" + lowText + " to " + highText +
                         (label.empty() ? "" : " " + label) + ")");

    // The text shown at an end stands for that end.
    const bool atHigh = x == highest || asText == highText;
    if (atHigh || x == lowest || asText == lowText) {
        host.setParameter(index, atHigh ? 1.0f : 0.0f);
        return;
    }

    // Every continuous value text rises with the host value, so a bisection
    // over the floats from 0 to 1 finds the first whose text reaches the
    // asked value; that float or the one below shows the nearest text (a
    // float step of the host value can move the text by more than its last
    // digit, and the text cuts digits rather than rounding).
    // A text of "-0.00000" stands just below zero, so that 0 finds the
    // float that shows "0.000000" (for Leveller, the top position: off).
    auto shownAt = [&](uint32_t bits) {
        const std::string shown = displayAt(host, index, floatOf(bits));
        const double number = numberOfText(shown);
        return number == 0.0 && shown[0] == '-' ? -1e-300 : number;
    };
    uint32_t low = 0;                     // bit pattern of 0.0f
    uint32_t high = bitsOf(1.0f);
    if (shownAt(low) >= x) {
        high = low;
    } else {
        while (high - low > 1) {  // shown(low) < x <= shown(high)
            const uint32_t middle = low + (high - low) / 2;
            (shownAt(middle) >= x ? high : low) = middle;
        }
    }
    const double aboveError = std::fabs(shownAt(high) - x);
    const double belowError = high == 0 ? aboveError : std::fabs(shownAt(high - 1) - x);
    const float best = floatOf(belowError < aboveError ? high - 1 : high);
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
