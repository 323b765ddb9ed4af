#pragma once
// An 8-bit string in the style of the platform's class library. The bytes are
// GBK (code page 936) everywhere inside the module, the host map and the
// equipment library; conversion to and from UTF-8 happens only at the edges
// (files, scripts, terminal) through Gbk.h.
#include <compare>
#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/Types.h"

class CString {
public:
    CString() = default;
    CString(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit like the original
    CString(const char* text, int length) : m_text(text ? std::string(text, static_cast<size_t>(length)) : std::string()) {}
    CString(std::string text) : m_text(std::move(text)) {}   // NOLINT
    CString(std::string_view text) : m_text(text) {}          // NOLINT
    CString(char ch, int repeat = 1) : m_text(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}

    // Byte length, as the platform counts it (not characters).
    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    char GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }
    void SetAt(int index, char ch) { m_text.at(static_cast<size_t>(index)) = ch; }
    char operator[](int index) const { return GetAt(index); }

    const char* GetString() const { return m_text.c_str(); }
    operator const char*() const { return m_text.c_str(); }  // NOLINT: the class library converts implicitly
    const std::string& str() const { return m_text; }
    std::string_view view() const { return m_text; }

    // printf semantics, so "%0.2f" rounds and "%0.0f" of 399.6 gives "400".
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const char* format, va_list args);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    static CString Formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // Byte positions; -1 when absent. Matches start on character boundaries
    // only, so a GBK trail byte (0x40..0xFE) is never taken for an ASCII letter.
    int Find(const char* sub, int start = 0) const;
    int Find(char ch, int start = 0) const;
    int ReverseFind(char ch) const;
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    int Replace(const char* from, const char* to);
    int Compare(const char* other) const;
    // ASCII letters compare without case; bytes of two-byte GBK characters exactly.
    int CompareNoCase(const char* other) const;

    CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
    CString& operator+=(const char* other) { m_text += (other ? other : ""); return *this; }
    CString& operator+=(char ch) { m_text += ch; return *this; }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const char* b) { return CString(a.m_text + (b ? b : "")); }
    friend CString operator+(const char* a, const CString& b) { return CString((a ? std::string(a) : std::string()) + b.m_text); }
    friend CString operator+(const CString& a, char b) { return CString(a.m_text + b); }

    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const char* b) { return a.m_text == (b ? b : ""); }
    friend std::strong_ordering operator<=>(const CString& a, const CString& b) { return a.m_text <=> b.m_text; }

private:
    std::string m_text;
};

// True when `text` begins with `prefix`, ASCII letters without case, GBK
// characters exactly (the prefix search of combo and list boxes).
bool HasPrefixNoCase(std::string_view text, std::string_view prefix);

// Decimal and integer conversions as the attribute records read them:
// leading blanks are skipped and a text that does not begin with a number gives 0.
// A decimal is the longest prefix of the form [sign]digits[.digits][exponent]:
// hexadecimal, "nan", "inf" and results beyond the range of a double read as 0,
// so that no such value reaches a calculation, a record or a shown text.
double ParseDouble(const char* text);
// Length of the longest [sign]digits[.digits][(e|E)[sign]digits] prefix of the
// text (no blanks skipped); 0 when it does not begin with one.
size_t DecimalPrefixLength(std::string_view text);
// The value of the text's decimal prefix; false (value untouched) when there
// is none or it is not finite.
bool ParseDecimalText(std::string_view text, double& value);
LONG ParseLong(const char* text);

// Rounds a value the way the system stores it: format, then parse the text back.
double RoundByFormat(double value, const char* format);
