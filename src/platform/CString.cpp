#include "platform/CString.h"
#include "platform/FixedDecimal.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

void CString::FormatV(const char* format, va_list args) {
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed < 0) {
        m_text.clear();
        return;
    }
    std::vector<char> buffer(static_cast<size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(needed));
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...) {
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_text += tail.m_text;
}

CString CString::Formatted(const char* format, ...) {
    CString result;
    va_list args;
    va_start(args, format);
    result.FormatV(format, args);
    va_end(args);
    return result;
}

namespace {
// Width of the character starting at byte i: 2 for a GBK lead byte followed by
// a trail byte, else 1.
size_t CharWidth(std::string_view text, size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    return (byte >= 0x81 && byte <= 0xFE && i + 1 < text.size()) ? 2 : 1;
}

// First character boundary at or after `start`.
size_t BoundaryAtOrAfter(std::string_view text, size_t start) {
    size_t i = 0;
    while (i < start && i < text.size()) i += CharWidth(text, i);
    return i;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares character by character; only single-byte ASCII letters fold.
int CompareFolded(std::string_view a, std::string_view b, bool prefixOnly) {
    size_t i = 0;
    while (i < a.size() && i < b.size()) {
        const size_t w = CharWidth(a, i);
        for (size_t k = 0; k < w && i + k < b.size(); ++k) {
            char ca = a[i + k], cb = b[i + k];
            if (w == 1) {
                ca = FoldAscii(ca);
                cb = FoldAscii(cb);
            }
            if (ca != cb) return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb) ? -1 : 1;
        }
        i += w;
    }
    if (prefixOnly) return i >= b.size() ? 0 : -1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
}  // namespace

bool HasPrefixNoCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) return false;
    return CompareFolded(text, prefix, true) == 0;
}

int CString::Find(const char* sub, int start) const {
    if (!sub || start < 0 || start > GetLength()) return -1;
    const std::string_view text(m_text), needle(sub);
    for (size_t i = BoundaryAtOrAfter(text, static_cast<size_t>(start)); i + needle.size() <= text.size();
         i += CharWidth(text, i)) {
        if (text.compare(i, needle.size(), needle) == 0) return static_cast<int>(i);
        if (i >= text.size()) break;
    }
    return -1;
}

int CString::Find(char ch, int start) const {
    const char needle[2] = {ch, '\0'};
    return ch == '\0' ? -1 : Find(needle, start);
}

int CString::ReverseFind(char ch) const {
    const std::string_view text(m_text);
    int found = -1;
    for (size_t i = 0; i < text.size(); i += CharWidth(text, i)) {
        if (CharWidth(text, i) == 1 && text[i] == ch) found = static_cast<int>(i);
    }
    return found;
}

CString CString::Left(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    first = std::clamp(first, 0, GetLength());
    count = std::clamp(count, 0, GetLength() - first);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
    count = std::clamp(count, 0, GetLength());
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

namespace {
// Only ASCII blanks: a GBK trail byte may never be mistaken for one, since trail bytes are >= 0x40.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
}  // namespace

CString& CString::TrimLeft() {
    size_t i = 0;
    while (i < m_text.size() && IsBlank(m_text[i])) ++i;
    m_text.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    size_t n = m_text.size();
    while (n > 0 && IsBlank(m_text[n - 1])) --n;
    m_text.resize(n);
    return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

int CString::Replace(const char* from, const char* to) {
    if (!from || !*from) return 0;
    const std::string_view f(from);
    const std::string t(to ? to : "");
    const std::string_view text(m_text);
    std::string result;
    int count = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, f.size(), f) == 0) {
            result += t;
            i += f.size();
            ++count;
        } else {
            const size_t w = CharWidth(text, i);
            result.append(text.substr(i, w));
            i += w;
        }
    }
    if (count) m_text = std::move(result);
    return count;
}

int CString::Compare(const char* other) const { return std::strcmp(m_text.c_str(), other ? other : ""); }

int CString::CompareNoCase(const char* other) const {
    return CompareFolded(m_text, other ? std::string_view(other) : std::string_view(), false);
}

size_t DecimalPrefixLength(std::string_view text) {
    size_t i = 0;
    const auto digitsFrom = [&](size_t at) {
        size_t end = at;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        return end;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const size_t integerEnd = digitsFrom(i);
    if (integerEnd == i) return 0;  // "", "-", ".5", "nan", "inf", "x1A"
    i = integerEnd;
    if (i < text.size() && text[i] == '.') {
        const size_t fractionEnd = digitsFrom(i + 1);
        if (fractionEnd > i + 1) i = fractionEnd;  // "5." reads as "5"
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t exponent = i + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        const size_t exponentEnd = digitsFrom(exponent);
        if (exponentEnd > exponent) i = exponentEnd;  // "2e" and "2e+" read as "2"
    }
    return i;
}

bool ParseDecimalText(std::string_view text, double& value) {
    // A record's number is the whole text and short: read by digits at once.
    if (jdfixed::ParseShortDecimal(text, value)) return true;
    const size_t length = DecimalPrefixLength(text);
    if (length == 0) return false;
    if (jdfixed::ParseShortDecimal(text.substr(0, length), value)) return true;
    const char* first = text.data();
    const char* last = first + length;
    // from_chars takes no leading '+' and, unlike strtod, no locale: a host
    // that sets a locale with a decimal comma must not change what a record says.
    if (*first == '+') ++first;
    double parsed = 0.0;
    const auto result = std::from_chars(first, last, parsed, std::chars_format::general);
    if (result.ec != std::errc() || result.ptr != last || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

double ParseDouble(const char* text) {
    if (!text) return 0.0;
    while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text))) ++text;
    double value = 0.0;
    return ParseDecimalText(text, value) ? value : 0.0;
}

LONG ParseLong(const char* text) {
    if (!text) return 0;
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text) return 0;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(value);
}

double RoundByFormat(double value, const char* format) {
    CString text;
    text.Format(format, value);
    return ParseDouble(text);
}
