#include "fieldbus/register_values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// A decimal number as its significant digits and the power of ten of the last one.
struct Decimal {
    bool negative = false;
    int64_t digits = 0;
    int exponent = 0;
};

// The shortest decimal that reads back as v (at most 9 significant digits for a float).
Decimal shortestDecimal(float v) {
    char text[32];
    std::to_chars_result result = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific);
    *result.ptr = '\0';
    Decimal decimal;
    const char* p = text;
    if (*p == '-') {
        decimal.negative = true;
        ++p;
    }
    int fractionDigits = 0;
    bool fraction = false;
    for (; *p && *p != 'e'; ++p) {
        if (*p == '.') {
            fraction = true;
            continue;
        }
        decimal.digits = decimal.digits * 10 + (*p - '0');
        if (fraction)
            ++fractionDigits;
    }
    int exponent = *p == 'e' ? static_cast<int>(std::strtol(p + 1, nullptr, 10)) : 0;
    decimal.exponent = exponent - fractionDigits;
    return decimal;
}

int32_t saturated(bool negative) {
    return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
}

} // namespace

int32_t truncatedToInt(float v) {
    if (std::isnan(v))
        return 0;
    // 2^31 is exactly representable; everything at or beyond it saturates.
    if (v >= 2147483648.0f)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0f)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t hundredths(float v) {
    if (!std::isfinite(v) || std::fabs(v) >= 21474836.48f)
        return truncatedToInt(v * 100.0f);
    Decimal decimal = shortestDecimal(v);
    int shift = decimal.exponent + 2; // ×100
    int64_t magnitude = decimal.digits;
    for (; shift > 0; --shift) {
        magnitude *= 10;
        if (magnitude > std::numeric_limits<int32_t>::max())
            return saturated(decimal.negative);
    }
    for (; shift < 0 && magnitude != 0; ++shift)
        magnitude /= 10; // truncated toward zero
    return static_cast<int32_t>(decimal.negative ? -magnitude : magnitude);
}
