#include "ValueFields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexal {

namespace {

bool skipSpaces(const char*& p) {
    while (*p == ' ' || *p == '\t') ++p;
    return true;
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return *a == 0 && *b == 0;
}

bool isWord(const char* text, const char* word) {
    const char* p = text;
    skipSpaces(p);
    char trimmed[32];
    size_t n = 0;
    while (*p && *p != ' ' && *p != '\t' && n + 1 < sizeof trimmed) trimmed[n++] = *p++;
    trimmed[n] = 0;
    skipSpaces(p);
    return *p == 0 && equalsIgnoringCase(trimmed, word);
}

bool gainText(float v, double scale, double offset, char* text) {
    std::snprintf(text, CParamDisplay::kTextBytes, "%+.2fdB", (static_cast<double>(v) - offset) * scale);
    return true;
}

bool driveText(float v, char* text, void*) { return gainText(v, 48.0, 0.5, text); }
bool outputText(float v, char* text, void*) { return gainText(v, 12.0, 1.0, text); }

bool percentText(float v, char* text, void*) {
    std::snprintf(text, CParamDisplay::kTextBytes, "%.1f%%", static_cast<double>(v) * 100.0);
    return true;
}

bool releaseText(float v, char* text, void*) {
    const double ms = std::pow(10.0, 3.0 * std::pow(static_cast<double>(v), 0.82030212));
    std::snprintf(text, CParamDisplay::kTextBytes, "%.1fms", ms);
    return true;
}

bool levellerText(float v, char* text, void*) {
    if (v == 1.0f) {
        std::snprintf(text, CParamDisplay::kTextBytes, "off");
        return true;
    }
    return gainText(v, 12.0, 1.0, text);
}

bool driveValue(const char* text, float& v, void*) {
    double x;
    if (!parseTypedNumber(text, x)) return false;
    v = static_cast<float>((std::clamp(x, -24.0, 24.0) + 24.0) / 48.0);
    return true;
}

bool outputValue(const char* text, float& v, void*) {
    double x;
    if (!parseTypedNumber(text, x)) return false;
    v = static_cast<float>((std::clamp(x, -12.0, 0.0) + 12.0) / 12.0);
    return true;
}

bool percentValue(const char* text, float& v, void*) {
    double x;
    if (!parseTypedNumber(text, x)) return false;
    v = x < 0 ? 0.0f : x > 100 ? 1.0f : static_cast<float>(x / 100.0);
    return true;
}

bool releaseValue(const char* text, float& v, void*) {
    double x;
    if (!parseTypedNumber(text, x)) return false;
    v = static_cast<float>(std::pow(std::log10(std::clamp(x, 1.0, 1000.0)) / 3.0, 1.2190630447230832));
    return true;
}

bool levellerValue(const char* text, float& v, void* user) {
    if (isWord(text, "off")) {
        v = 1.0f;
        return true;
    }
    return outputValue(text, v, user);
}

constexpr CColor kLightInk{213, 236, 246, 255};
constexpr CColor kDarkBack{37, 36, 35, 255};
constexpr CColor kDarkInk{39, 39, 39, 255};
constexpr CColor kLightBack{200, 200, 200, 255};

}  // namespace

const ValueField kValueFields[kNumValueFields] = {
    {1, CRect(43, 409, 117, 427), kLightInk, kDarkBack, driveText, driveValue},
    {0, CRect(410, 409, 484, 427), kLightInk, kDarkBack, outputText, outputValue},
    {2, CRect(45, 221, 119, 239), kDarkInk, kLightBack, percentText, percentValue},
    {3, CRect(45, 319, 119, 337), kDarkInk, kLightBack, releaseText, releaseValue},
    {13, CRect(411, 221, 485, 239), kDarkInk, kLightBack, levellerText, levellerValue},
    {5, CRect(411, 319, 485, 337), kDarkInk, kLightBack, percentText, percentValue},
};

bool parseTypedNumber(const char* text, double& number) {
    if (!text) return false;
    const char* p = text;
    skipSpaces(p);
    if (*p == '+' && *++p == '-') return false;  // from_chars takes only a minus
    const char* end = p + std::strlen(p);
    double x = 0;
    const auto result = std::from_chars(p, end, x, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(x)) return false;
    p = result.ptr;
    skipSpaces(p);
    if (*p != 0 && !isWord(p, "db") && !isWord(p, "%") && !isWord(p, "ms")) return false;
    number = x;
    return true;
}

}  // namespace vexal
