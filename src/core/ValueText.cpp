#include "ValueText.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace vexal {

namespace {

constexpr int kTextWidth = 8;

// floor(m·2^e·10^k) for a float's integer mantissa m (2^23 ≤ m < 2^24, or 0)
// and exponent e, exact in 64 bits: with e ≥ 0 the integer part has at least
// seven digits, so no fraction digits are asked for (k = 0) and m·2^e < 1e15;
// with e < 0, m·10^k < 2^24·10^7 < 2^48 before the shift.
uint64_t scaledFloor(uint32_t mantissa, int exponent, int k) {
    uint64_t value = mantissa;
    for (int i = 0; i < k; ++i) value *= 10u;
    if (exponent >= 0) return value << exponent;
    return -exponent >= 64 ? 0 : value >> -exponent;
}

int writeDigits(uint64_t value, int minDigits, char* out) {
    char buffer[48];
    int n = 0;
    do {
        buffer[n++] = static_cast<char>('0' + static_cast<int>(value % 10u));
        value /= 10u;
    } while (value != 0);
    while (n < minDigits) buffer[n++] = '0';
    for (int i = 0; i < n; ++i) out[i] = buffer[n - 1 - i];
    return n;
}

}  // namespace

void formatNumber(float value, char* text) {
    if (std::isnan(value)) {
        std::strcpy(text, "NaN");
        return;
    }
    const bool negative = value < 0.0f;
    const float magnitude = std::fabs(value);
    // Beyond 1e15 the text would no longer say anything useful in a host field.
    if (std::isinf(magnitude) || magnitude >= 1e15f) {
        std::strcpy(text, negative ? "-Huge!" : "Huge!");
        return;
    }
    int exponent = 0;
    const float fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction·2^exponent
    const auto mantissa = static_cast<uint32_t>(std::ldexp(fraction, 24));
    exponent -= 24;

    const uint64_t integerPart = scaledFloor(mantissa, exponent, 0);
    char integerDigits[48];
    const int integerCount = writeDigits(integerPart, 1, integerDigits);
    const int sign = negative ? 1 : 0;
    const int fractionCount = kTextWidth - sign - integerCount - 1;

    char* p = text;
    if (negative) *p++ = '-';
    std::memcpy(p, integerDigits, static_cast<size_t>(integerCount));
    p += integerCount;
    *p++ = '.';
    if (fractionCount > 0) {
        uint64_t scale = 1;
        for (int i = 0; i < fractionCount; ++i) scale *= 10u;
        const uint64_t fractionDigits =
            scaledFloor(mantissa, exponent, fractionCount) - integerPart * scale;
        p += writeDigits(fractionDigits, fractionCount, p);
    }
    *p = 0;
}

void formatDecibels(double value, char* text) {
    if (!(value > 0.0)) {
        if (std::isnan(value)) {
            std::strcpy(text, "NaN");
            return;
        }
        std::strcpy(text, "-oo");
        return;
    }
    formatNumber(static_cast<float>(20.0 * std::log10(value)), text);
}

}  // namespace vexal
