#pragma once
// The fields of a supply path's text ("0;f1;name,prefix,capacity;f3;"), split
// once and read by number, as the kernel's ExtractFields reads them one call
// at a time (each call splits the whole text again). Header only: the command
// module reads paths as well.
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CString.h"
#include "platform/FixedDecimal.h"

namespace jdpath {

// Splits at a one-byte separator, matched only where a GBK character starts
// (a lead byte takes the next byte with it); a separator at the very end
// closes the last field without opening an empty one; an empty text has no
// fields. The views point into `text`.
inline void Split(std::string_view text, char separator, std::vector<std::string_view>& fields) {
    fields.clear();
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == separator) {
            fields.push_back(text.substr(start, i - start));
            start = ++i;
            continue;
        }
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        i += byte >= 0x81 && byte <= 0xFE && i + 1 < text.size() ? 2 : 1;
    }
    if (start < text.size()) fields.push_back(text.substr(start));
}

// Field `index` of Split(text, separator), found without splitting the rest:
// empty when there are fewer fields.
inline std::string_view NthField(std::string_view text, char separator, size_t index) {
    size_t start = 0;
    size_t i = 0;
    size_t field = 0;
    while (i < text.size()) {
        if (text[i] == separator) {
            if (field == index) return text.substr(start, i - start);
            ++field;
            start = ++i;
            continue;
        }
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        i += byte >= 0x81 && byte <= 0xFE && i + 1 < text.size() ? 2 : 1;
    }
    return field == index && start < text.size() ? text.substr(start) : std::string_view();
}

// Field `index`, empty when there are fewer fields.
inline std::string_view Field(const std::vector<std::string_view>& fields, size_t index) {
    return index < fields.size() ? fields[index] : std::string_view();
}

// Fields [first, end) joined by the separator (ExtractFields' result).
inline std::string Join(const std::vector<std::string_view>& fields, size_t first, size_t end, char separator) {
    std::string joined;
    const size_t to = end < fields.size() ? end : fields.size();
    for (size_t i = first; i < to; ++i) {
        if (i > first) joined += separator;
        joined += fields[i];
    }
    return joined;
}

// Join, appended to `out`.
inline void AppendJoined(std::string& out, const std::vector<std::string_view>& fields, size_t first, size_t end,
                         char separator) {
    const size_t to = end < fields.size() ? end : fields.size();
    for (size_t i = first; i < to; ++i) {
        if (i > first) out += separator;
        out += fields[i];
    }
}

// The first ","-separated part of a field.
inline std::string_view FirstPart(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && field[i] != ',') {
        const unsigned char byte = static_cast<unsigned char>(field[i]);
        i += byte >= 0x81 && byte <= 0xFE && i + 1 < field.size() ? 2 : 1;
    }
    return field.substr(0, i);
}

// CString::Formatted for one number, the same text formatted once into a
// stack buffer (fixed formats without printf); a text that does not fit is
// left to the general form.
inline CString FormatNumber(const char* format, double value) {
    char buffer[64];
    const int length = jdfixed::FormatFixed(buffer, sizeof buffer, format, value);
    if (length < 0) return CString::Formatted(format, value);
    return CString(buffer, length);
}

// RoundByFormat without its text's allocation: the number read back from its formatted text.
inline double RoundNumber(double value, const char* format) {
    char buffer[64];
    const int length = jdfixed::FormatFixed(buffer, sizeof buffer, format, value);
    if (length < 0) return RoundByFormat(value, format);
    return ParseDouble(buffer);
}

// RoundNumber(value, "%.4f") without a text: the exact product value·10⁴ is
// p + e (p the rounded product, e its error, exact by fma), rounded to an
// integer N half to even as printf rounds the exact value; N / 10⁴ is then the
// double nearest that decimal, as reading the text back gives it. A value
// that rounds to zero keeps its sign ("-0.0000" reads back as -0). What this
// cannot do exactly (products beyond 2⁵¹) and what has no digits (NaN, the
// infinities) go the text's way.
inline double RoundTo4Decimals(double value) {
    constexpr double kScale = 10000.0;
    if (!(std::fabs(value) < 2.0e11)) return RoundNumber(value, "%.4f");
    const double p = value * kScale;
    const double e = std::fma(value, kScale, -p);
    const double r = std::nearbyint(p);
    const double below = p - r;  // exact: |p| < 2^51, so r and p share p's quantum
    double n = r;
    const double up = below - 0.5;    // exact; X - r - 0.5 = up + e
    const double down = below + 0.5;  // exact; X - r + 0.5 = down + e
    if (up > -e || (up == -e && std::fmod(r, 2.0) != 0.0)) {
        n = r + 1.0;
    } else if (down < -e || (down == -e && std::fmod(r, 2.0) != 0.0)) {
        n = r - 1.0;
    }
    if (n == 0.0) return std::copysign(0.0, value);
    return n / kScale;
}

}  // namespace jdpath
