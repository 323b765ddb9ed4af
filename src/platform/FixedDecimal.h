#pragma once
// printf's "%.Nf" of one number without printf: the records and supply paths
// store every current, impedance and sum in that form, and a large mine
// formats several such numbers for each of tens of thousands of points.
//
// std::to_chars with a precision prints the exact binary value rounded to N
// decimals with ties to even, which is what glibc's printf prints in the
// default rounding mode; what to_chars does not print the same way (NaN and
// the infinities) and texts that do not fit are left to snprintf, so the
// bytes are always printf's.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string_view>

namespace jdfixed {

// A printf format that is one fixed conversion with literal text after it:
// "%.4f", "%0.2f" (a 0 flag without a width pads nothing), "%.0fA".
struct FixedFormat {
    int precision = -1;       // -1: not such a format
    std::string_view suffix;  // literal text after the conversion (no '%')
    bool valid() const { return precision >= 0; }
};

constexpr FixedFormat ParseFixedFormat(std::string_view format) {
    FixedFormat parsed;
    size_t i = 0;
    if (i >= format.size() || format[i] != '%') return parsed;
    ++i;
    if (i < format.size() && format[i] == '0') ++i;
    if (i >= format.size() || format[i] != '.') return parsed;
    ++i;
    int precision = 0;
    size_t digits = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 2) {
        precision = precision * 10 + (format[i] - '0');
        ++i;
        ++digits;
    }
    if (digits == 0 || i >= format.size() || format[i] != 'f') return parsed;
    ++i;
    const std::string_view suffix = format.substr(i);
    if (suffix.find('%') != std::string_view::npos) return parsed;
    parsed.precision = precision;
    parsed.suffix = suffix;
    return parsed;
}

// Writes the text of `format` applied to `value` into `out` (no terminator
// counted, one written when there is room); the length, or -1 when it does not
// fit (the caller then takes the general path). `format` must be the text the
// FixedFormat was parsed from.
inline int FormatFixed(char* out, size_t size, const FixedFormat& fixed, const char* format, double value) {
    if (!fixed.valid() || !std::isfinite(value)) {
        const int length = std::snprintf(out, size, format, value);
        return length < 0 || static_cast<size_t>(length) >= size ? -1 : length;
    }
    const auto [end, error] = std::to_chars(out, out + size, value, std::chars_format::fixed, fixed.precision);
    if (error != std::errc()) return -1;
    const size_t length = static_cast<size_t>(end - out);
    if (length + fixed.suffix.size() >= size) return -1;
    for (size_t i = 0; i < fixed.suffix.size(); ++i) out[length + i] = fixed.suffix[i];
    out[length + fixed.suffix.size()] = '\0';
    return static_cast<int>(length + fixed.suffix.size());
}

inline int FormatFixed(char* out, size_t size, const char* format, double value) {
    return FormatFixed(out, size, ParseFixedFormat(format), format, value);
}

}  // namespace jdfixed
