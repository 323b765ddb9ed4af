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

// value·10^precision rounded to an integer as printf rounds it — the exact
// binary value, ties to even — for precisions up to 9 (10^precision is then
// exact) and products below 2^51 in magnitude; false for anything else (NaN,
// the infinities, larger numbers), which the caller takes the general way.
// The exact product is p + e (p the rounded product, e its error, exact by
// fma); r = p rounded to an integer; p − r is exact (|p| < 2^51 shares its
// quantum with r), and so is p − r ∓ 0.5 where it decides anything, so
// comparing it with −e tells on which side of r ± 0.5 the exact product lies.
inline bool RoundScaled(double value, int precision, double& n) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    if (precision < 0 || precision > 9) return false;
    const double scale = kPow10[precision];
    const double p = value * scale;
    if (!(std::fabs(p) < 0x1p51)) return false;
    const double e = std::fma(value, scale, -p);
    const double r = std::nearbyint(p);
    const double below = p - r;
    n = r;
    const double up = below - 0.5;    // X − r − 0.5 = up + e
    const double down = below + 0.5;  // X − r + 0.5 = down + e
    if (up > -e || (up == -e && std::fmod(r, 2.0) != 0.0)) {
        n = r + 1.0;
    } else if (down < -e || (down == -e && std::fmod(r, 2.0) != 0.0)) {
        n = r - 1.0;
    }
    return true;
}

// "%.Nf" of `value` from its rounded integer n = RoundScaled(value, N): the
// digits of |n| with the point N places from the right, '-' for a negative
// value (printf keeps the sign of a value that rounds to zero, "-0.00").
// The length, or -1 when it does not fit `size` with its terminator.
inline int WriteScaled(char* out, size_t size, int precision, bool negative, double n) {
    unsigned long long magnitude = static_cast<unsigned long long>(std::fabs(n));
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count < precision + 1) digits[count++] = '0';
    const size_t length = static_cast<size_t>(negative) + static_cast<size_t>(count) + (precision > 0 ? 1 : 0);
    if (length >= size) return -1;
    char* at = out;
    if (negative) *at++ = '-';
    for (int i = count - 1; i >= 0; --i) {
        *at++ = digits[i];
        if (i == precision && precision > 0) *at++ = '.';
    }
    *at = '\0';
    return static_cast<int>(length);
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
    size_t length = 0;
    if (double n = 0.0; RoundScaled(value, fixed.precision, n)) {
        // The numbers a record holds: digits of an integer, no general conversion.
        const int written = WriteScaled(out, size, fixed.precision, std::signbit(value), n);
        if (written < 0) return -1;
        length = static_cast<size_t>(written);
    } else {
        const auto [end, error] = std::to_chars(out, out + size, value, std::chars_format::fixed, fixed.precision);
        if (error != std::errc()) return -1;
        length = static_cast<size_t>(end - out);
    }
    if (length + fixed.suffix.size() >= size) return -1;
    for (size_t i = 0; i < fixed.suffix.size(); ++i) out[length + i] = fixed.suffix[i];
    out[length + fixed.suffix.size()] = '\0';
    return static_cast<int>(length + fixed.suffix.size());
}

inline int FormatFixed(char* out, size_t size, const char* format, double value) {
    return FormatFixed(out, size, ParseFixedFormat(format), format, value);
}

// The value of a decimal "[+-]digits[.[digits]]" of at most 15 digits in all,
// as a correctly rounded reading (from_chars, strtod) gives it: the digits
// form an integer m < 2^53 and 10^f (f fraction digits) is exact, so the one
// rounding of m / 10^f is that reading's. False, with value untouched, for
// anything else (an exponent, more digits, any other character), which the
// caller reads the general way. Records and paths hold numbers of this form.
inline bool ParseShortDecimal(std::string_view text, double& value) {
    static constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    unsigned long long m = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            m = m * 10 + static_cast<unsigned>(c - '0');
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point && digits > 0) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    const double magnitude = static_cast<double>(m) / kPow10[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace jdfixed
