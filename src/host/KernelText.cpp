// The base library's text helpers: field lists of supply-path strings and
// number texts for setting notes.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace {

// Splits at the separator, matching it only where a GBK character starts so
// that a multi-byte separator never matches across two characters. A separator
// at the very end closes the last field without opening an empty one.
std::vector<std::string_view> SplitFields(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> fields;
    if (text.empty()) return fields;
    if (separator.empty()) {
        fields.push_back(text);
        return fields;
    }
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, separator.size(), separator) == 0) {
            fields.push_back(text.substr(start, i - start));
            i += separator.size();
            start = i;
            continue;
        }
        const bool lead = IsGbkLeadByte(static_cast<unsigned char>(text[i]));
        i += lead && i + 1 < text.size() ? 2 : 1;
    }
    if (start < text.size()) fields.push_back(text.substr(start));
    return fields;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void ExtractFields(const CString* text, const char* separator, LONG first, LONG end, CString* out) {
    if (!out) return;
    const std::string_view sep = separator ? std::string_view(separator) : std::string_view();
    const std::vector<std::string_view> fields = text ? SplitFields(text->view(), sep) : std::vector<std::string_view>();
    const size_t from = first < 0 ? 0 : static_cast<size_t>(first);
    const size_t to = end < 0 ? 0 : std::min(static_cast<size_t>(end), fields.size());
    std::string joined;
    for (size_t i = from; i < to; ++i) {
        if (i > from) joined += sep;
        joined += fields[i];
    }
    *out = CString(std::move(joined));
}

void NormalizeNumberText(CString text, CString* out) {
    if (!out) return;
    const std::string& s = text.str();
    size_t i = 0;
    std::string sign;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++];
    const size_t intStart = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    std::string integer = s.substr(intStart, i - intStart);
    std::string fraction;
    if (i < s.size() && s[i] == '.') {
        const size_t fracStart = ++i;
        while (i < s.size() && IsDigit(s[i])) ++i;
        fraction = s.substr(fracStart, i - fracStart);
    }
    if (i != s.size() || integer.size() + fraction.size() == 0) {
        *out = text;
        return;
    }
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (integer.empty() && fraction.empty()) integer.push_back('0');
    const bool zero = integer.find_first_not_of('0') == std::string::npos && fraction.empty();
    if (zero && sign == "-") sign.clear();
    std::string result = sign;
    result += integer;
    if (!fraction.empty()) {
        result += '.';
        result += fraction;
    }
    *out = CString(std::move(result));
}
