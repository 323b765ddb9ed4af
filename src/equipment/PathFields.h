#pragma once
// The fields of a supply path's text ("0;f1;name,prefix,capacity;f3;"), split
// once and read by number, as the kernel's ExtractFields reads them one call
// at a time (each call splits the whole text again). Header only: the command
// module reads paths as well.
#include <cmath>
#include <cstdio>
#include <cstring>
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

// The position of the first separator at or after `i` (which starts a
// character), by Split's rule; text.size() when there is none. The byte is
// found by memchr and is a separator unless a lead byte right before it takes
// it: the bytes of the lead range (0x81-0xFE) that stand right before it pair
// up from where their run starts (at `i` or after a byte outside the range,
// both starts of a character), so an odd run ends in a lead byte.
inline size_t NextSeparator(std::string_view text, size_t i, char separator) {
    const char* const base = text.data();
    const size_t size = text.size();
    while (i < size) {
        const void* found = std::memchr(base + i, separator, size - i);
        if (!found) return size;
        const size_t at = static_cast<size_t>(static_cast<const char*>(found) - base);
        size_t run = 0;
        while (at - run > i) {
            const unsigned char byte = static_cast<unsigned char>(base[at - run - 1]);
            if (byte < 0x81 || byte > 0xFE) break;
            ++run;
        }
        if (run % 2 == 0) return at;
        i = at + 1;
    }
    return size;
}

// Field `index` of Split(text, separator), found without splitting the rest:
// empty when there are fewer fields.
inline std::string_view NthField(std::string_view text, char separator, size_t index) {
    size_t start = 0;
    for (size_t field = 0; start < text.size(); ++field) {
        const size_t end = NextSeparator(text, start, separator);
        if (field == index) return text.substr(start, end - start);
        if (end == text.size()) break;
        start = end + 1;
    }
    return {};
}

// The first N fields of Split(text, separator), found by one scan that stops
// after them; a field past `count` is empty, as Field gives it.
template <size_t N>
struct LeadingFields {
    std::string_view field[N];
    size_t count = 0;

    std::string_view operator[](size_t index) const { return index < count ? field[index] : std::string_view(); }
    // Join(fields, 0, end, separator) of the whole split, for end <= N: the
    // fields and the separators between them are the text itself, so the
    // join is the text up to the end of the last field joined.
    std::string_view JoinedFromStart(std::string_view text, size_t end) const {
        const size_t last = end < count ? end : count;
        if (last == 0) return {};
        const std::string_view& f = field[last - 1];
        return text.substr(0, static_cast<size_t>(f.data() - text.data()) + f.size());
    }
};

template <size_t N>
inline LeadingFields<N> SplitLeading(std::string_view text, char separator) {
    LeadingFields<N> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = NextSeparator(text, start, separator);
        out.field[out.count++] = text.substr(start, end - start);
        if (out.count == N || end == text.size()) break;
        start = end + 1;
    }
    return out;
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

// FormatNumber's text appended to `out`, with no CString between; `fixed` is
// ParseFixedFormat(format), parsed once by the caller.
inline void AppendNumber(std::string& out, const jdfixed::FixedFormat& fixed, const char* format, double value) {
    char buffer[64];
    const int length = jdfixed::FormatFixed(buffer, sizeof buffer, fixed, format, value);
    if (length < 0) {
        out += CString::Formatted(format, value).str();
        return;
    }
    out.append(buffer, static_cast<size_t>(length));
}

inline void AppendNumber(std::string& out, const char* format, double value) {
    AppendNumber(out, jdfixed::ParseFixedFormat(format), format, value);
}

// "%.4f", the form of the impedances and sums a path holds.
inline constexpr const char* kFourDecimals = "%.4f";
inline constexpr jdfixed::FixedFormat kFourDecimalsFormat = jdfixed::ParseFixedFormat("%.4f");

inline void AppendFourDecimals(std::string& out, double value) {
    AppendNumber(out, kFourDecimalsFormat, kFourDecimals, value);
}

// RoundByFormat without its text's allocation: the number read back from its formatted text.
inline double RoundNumber(double value, const char* format) {
    char buffer[64];
    const int length = jdfixed::FormatFixed(buffer, sizeof buffer, format, value);
    if (length < 0) return RoundByFormat(value, format);
    return ParseDouble(buffer);
}

// RoundNumber(value, "%.4f") without a text: the integer N printf rounds
// value·10⁴ to (jdfixed::RoundScaled), and N / 10⁴ the double nearest that
// decimal, as reading the text back gives it. A value that rounds to zero
// keeps its sign ("-0.0000" reads back as -0). What RoundScaled cannot do
// exactly (products beyond 2⁵¹) and what has no digits (NaN, the
// infinities) go the text's way.
inline double RoundTo4Decimals(double value) {
    double n = 0.0;
    if (!jdfixed::RoundScaled(value, 4, n)) return RoundNumber(value, "%.4f");
    if (n == 0.0) return std::copysign(0.0, value);
    return n / 10000.0;
}

}  // namespace jdpath
