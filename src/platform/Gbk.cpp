#include "platform/Gbk.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace {

// One descriptor per direction and thread, opened on first use and closed when
// the thread ends: opening one costs far more than converting a name, and the
// walks convert kind names by the million. iconv descriptors carry shift
// state, so they are never shared between threads.
class Converter {
public:
    Converter(const char* to, const char* from) : m_to(to), m_from(from) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Run(std::string_view in, std::string& out, size_t* errorOffset) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            m_cd = iconv_open(m_to, m_from);
            if (m_cd == reinterpret_cast<iconv_t>(-1)) {
                throw std::runtime_error(std::string("iconv cannot convert from ") + m_from + " to " + m_to);
            }
        }
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);  // a failed conversion may have left a shift state
        // Straight into the result: a GBK character takes at most 3 bytes in
        // UTF-8 and a UTF-8 character at most 2 in GBK, so one pass rarely grows it.
        std::string result(in.size() * 3 / 2 + 8, '\0');
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        size_t used = 0;
        while (inLeft > 0) {
            char* outPtr = result.data() + used;
            size_t outLeft = result.size() - used;
            const size_t rc = iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft);
            used = result.size() - outLeft;
            if (rc == static_cast<size_t>(-1)) {
                if (errno == E2BIG) {
                    result.resize(result.size() * 2);
                    continue;
                }
                // EILSEQ: an invalid sequence; EINVAL: a sequence cut short at the end.
                if (errorOffset) *errorOffset = static_cast<size_t>(inPtr - in.data());
                return false;
            }
        }
        result.resize(used);
        out = std::move(result);
        return true;
    }

private:
    const char* m_to;
    const char* m_from;
    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
};


Converter& ToGbk() {
    thread_local Converter converter("GBK", "UTF-8");
    return converter;
}
Converter& ToUtf8() {
    thread_local Converter converter("UTF-8", "GBK");
    return converter;
}

// Maps hold hundreds of thousands of short texts in a few thousand distinct
// characters, and an iconv call per text costs more than reading the text.
// So each character is converted by iconv once, the first time it is met,
// and remembered; a text whose characters are all known is converted by
// table. GBK has no shift state, so a text converts as its characters do.
// Anything the tables do not cover (a byte that starts no pair, a character
// iconv refuses, four-byte UTF-8) goes to iconv whole, which also finds the
// offset of the failure. Entries are written once with the value every
// thread would compute, so relaxed atomics suffice.
constexpr std::uint32_t kUnknown = 0;
constexpr std::uint32_t kNoForm = 0xFFFFFFFFu;

// Code point (below U+10000) -> (GBK length << 16) | GBK bytes.
std::atomic<std::uint32_t> g_gbkOfCodePoint[0x10000];
// GBK pair (lead 0x81..0xFE, trail 0x40..0xFE) -> code point.
constexpr unsigned kTrails = 0xFE - 0x40 + 1;
std::atomic<std::uint32_t> g_codePointOfPair[(0xFE - 0x81 + 1) * kTrails];

void AppendUtf8(std::uint32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::uint32_t GbkOfCodePoint(std::uint32_t codePoint) {
    std::atomic<std::uint32_t>& slot = g_gbkOfCodePoint[codePoint];
    std::uint32_t entry = slot.load(std::memory_order_relaxed);
    if (entry != kUnknown) return entry;
    std::string utf8;
    AppendUtf8(codePoint, utf8);
    std::string gbk;
    entry = kNoForm;
    if (ToGbk().Run(utf8, gbk, nullptr) && (gbk.size() == 1 || gbk.size() == 2)) {
        entry = static_cast<std::uint32_t>(gbk.size()) << 16;
        for (const char byte : gbk) entry = (entry & 0xFFFF0000u) | ((entry & 0xFFu) << 8) | static_cast<unsigned char>(byte);
    }
    slot.store(entry, std::memory_order_relaxed);
    return entry;
}

std::uint32_t CodePointOfPair(unsigned char lead, unsigned char trail) {
    std::atomic<std::uint32_t>& slot = g_codePointOfPair[(lead - 0x81u) * kTrails + (trail - 0x40u)];
    std::uint32_t entry = slot.load(std::memory_order_relaxed);
    if (entry != kUnknown) return entry;
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    std::string utf8;
    entry = kNoForm;
    if (ToUtf8().Run(std::string_view(pair, 2), utf8, nullptr)) {
        // One character of two or three UTF-8 bytes, decoded back to its code point.
        const auto byte = [&](size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k])); };
        if (utf8.size() == 2 && (byte(0) & 0xE0) == 0xC0) entry = (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        if (utf8.size() == 3 && (byte(0) & 0xF0) == 0xE0) entry = (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        if (entry == kUnknown) entry = kNoForm;
    }
    slot.store(entry, std::memory_order_relaxed);
    return entry;
}

bool Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// False when the text needs iconv.
// Writes the GBK form of in to out, which has room for in.size() bytes (no
// character is longer in GBK than in UTF-8), and returns its length; false
// when the text needs iconv. Bytes go through a pointer: a text of a map is a
// few bytes long and appending them one by one to a string cost more than
// finding them in the table.
bool Utf8ToGbkByTable(std::string_view in, char* out, size_t& written) {
    char* const begin = out;
    const auto* bytes = reinterpret_cast<const unsigned char*>(in.data());
    const size_t size = in.size();
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            *out++ = static_cast<char>(lead);
            ++i;
            continue;
        }
        std::uint32_t codePoint = 0;
        if (lead >= 0xC2 && lead <= 0xDF && i + 1 < size && Continuation(bytes[i + 1])) {
            codePoint = (lead & 0x1Fu) << 6 | (bytes[i + 1] & 0x3Fu);
            i += 2;
        } else if (lead >= 0xE0 && lead <= 0xEF && i + 2 < size && Continuation(bytes[i + 1]) && Continuation(bytes[i + 2])) {
            codePoint = (lead & 0x0Fu) << 12 | (bytes[i + 1] & 0x3Fu) << 6 | (bytes[i + 2] & 0x3Fu);
            // Overlong forms and surrogates are not UTF-8: iconv reports them.
            if (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return false;
            i += 3;
        } else {
            return false;
        }
        const std::uint32_t entry = GbkOfCodePoint(codePoint);
        if (entry == kNoForm) return false;
        if ((entry >> 16) == 2) *out++ = static_cast<char>((entry >> 8) & 0xFF);
        *out++ = static_cast<char>(entry & 0xFF);
    }
    written = static_cast<size_t>(out - begin);
    return true;
}

// The code point of the two-byte character at `i` (a byte of 0x80 or more)
// by the table; kNoForm for what the table cannot convert: a byte outside the
// lead range, a lead byte at the end, a trail out of range or a pair it lacks.
std::uint32_t TableCodePointAt(std::string_view in, size_t i) {
    const unsigned char lead = static_cast<unsigned char>(in[i]);
    if (lead < 0x81 || lead > 0xFE || i + 1 >= in.size()) return kNoForm;
    const unsigned char trail = static_cast<unsigned char>(in[i + 1]);
    if (trail < 0x40 || trail > 0xFE) return kNoForm;
    return CodePointOfPair(lead, trail);
}

bool GbkToUtf8ByTable(std::string_view in, std::string& out) {
    out.clear();
    out.reserve(in.size() + in.size() / 2);
    for (size_t i = 0; i < in.size();) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::uint32_t codePoint = TableCodePointAt(in, i);
        if (codePoint == kNoForm) return false;
        AppendUtf8(codePoint, out);
        i += 2;
    }
    return true;
}

}  // namespace

namespace {

// GBK pair -> (UTF-8 length << 24) | UTF-8 bytes, for pairs that convert and
// convert back to themselves; kNoForm for the others.
std::atomic<std::uint32_t> g_exactUtf8OfPair[(0xFE - 0x81 + 1) * kTrails];

std::uint32_t ExactUtf8OfPair(unsigned char lead, unsigned char trail) {
    std::atomic<std::uint32_t>& slot = g_exactUtf8OfPair[(lead - 0x81u) * kTrails + (trail - 0x40u)];
    std::uint32_t entry = slot.load(std::memory_order_relaxed);
    if (entry != kUnknown) return entry;
    entry = kNoForm;
    const std::uint32_t codePoint = CodePointOfPair(lead, trail);
    if (codePoint != kNoForm && GbkOfCodePoint(codePoint) == (2u << 16 | static_cast<std::uint32_t>(lead) << 8 | trail)) {
        std::string utf8;
        AppendUtf8(codePoint, utf8);
        entry = static_cast<std::uint32_t>(utf8.size()) << 24;
        for (size_t k = 0; k < utf8.size(); ++k) entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[k])) << (8 * (2 - k));
    }
    slot.store(entry, std::memory_order_relaxed);
    return entry;
}

}  // namespace

char* WriteGbkAsUtf8IfExact(std::string_view gbk, char* out, const bool (&stop)[128]) {
    char* at = out;
    const char* in = gbk.data();
    const char* const last = in + gbk.size();
    while (in < last) {
        const unsigned char lead = static_cast<unsigned char>(*in);
        if (lead < 0x80) {
            if (stop[lead]) return nullptr;
            *at++ = static_cast<char>(lead);
            ++in;
            continue;
        }
        const unsigned char trail = in + 1 < last ? static_cast<unsigned char>(in[1]) : 0;
        if (lead < 0x81 || lead > 0xFE || trail < 0x40 || trail > 0xFE) return nullptr;
        const std::uint32_t entry = ExactUtf8OfPair(lead, trail);
        if (entry == kNoForm) return nullptr;
        const unsigned length = entry >> 24;
        at[0] = static_cast<char>((entry >> 16) & 0xFF);
        at[1] = static_cast<char>((entry >> 8) & 0xFF);
        if (length == 3) at[2] = static_cast<char>(entry & 0xFF);
        at += length;
        in += 2;
    }
    return at;
}

bool AppendGbkAsUtf8IfExact(std::string_view gbk, std::string& out) {
    // Written in place: a GBK text takes at most half as many bytes again in UTF-8.
    static constexpr bool kNoStop[128] = {};
    const size_t base = out.size();
    out.resize(base + gbk.size() + gbk.size() / 2);
    char* const end = WriteGbkAsUtf8IfExact(gbk, out.data() + base, kNoStop);
    if (!end) return false;
    out.resize(static_cast<size_t>(end - out.data()));
    return true;
}

bool TryUtf8ToGbk(std::string_view utf8, std::string& out, size_t* errorOffset) {
    // ASCII is the same bytes in both encodings.
    if (IsAscii(utf8)) {
        out.assign(utf8.data(), utf8.size());
        return true;
    }
    // Converted aside, so that a text the table cannot take leaves out as it was.
    thread_local std::string converted;
    if (converted.size() < utf8.size()) converted.resize(std::max(utf8.size(), converted.size() * 2));
    size_t written = 0;
    if (Utf8ToGbkByTable(utf8, converted.data(), written)) {
        out.assign(converted.data(), written);
        return true;
    }
    return ToGbk().Run(utf8, out, errorOffset);
}

bool TryGbkToUtf8(std::string_view gbk, std::string& out, size_t* errorOffset) {
    if (IsAscii(gbk)) {
        out.assign(gbk.data(), gbk.size());
        return true;
    }
    thread_local std::string converted;
    if (GbkToUtf8ByTable(gbk, converted)) {
        out.assign(converted);
        return true;
    }
    return ToUtf8().Run(gbk, out, errorOffset);
}

std::string Utf8ToGbk(std::string_view utf8) {
    std::string out;
    size_t offset = 0;
    if (!TryUtf8ToGbk(utf8, out, &offset)) {
        throw EncodingError("text is not valid UTF-8 or has a character that GBK cannot hold (byte " +
                                std::to_string(offset) + ")",
                            offset);
    }
    return out;
}

std::string GbkToUtf8(std::string_view gbk) {
    std::string out;
    size_t offset = 0;
    if (!TryGbkToUtf8(gbk, out, &offset)) {
        throw EncodingError("text is not valid GBK (byte " + std::to_string(offset) + ")", offset);
    }
    return out;
}

CString FromUtf8(std::string_view utf8) { return CString(Utf8ToGbk(utf8)); }

std::string ToUtf8(const CString& gbk) { return GbkToUtf8(gbk.view()); }

size_t GbkByteLength(std::string_view utf8) { return Utf8ToGbk(utf8).size(); }

bool IsAscii(std::string_view text) {
    // Eight bytes at a time: most texts of a map are ASCII (numbers, ids).
    const char* p = text.data();
    size_t left = text.size();
    for (; left >= 8; p += 8, left -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull) return false;
    }
    for (; left > 0; ++p, --left) {
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    }
    return true;
}

bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

size_t CutGbkLength(std::string_view gbk, size_t maxBytes) {
    if (gbk.size() <= maxBytes) return gbk.size();  // every character ends within the text
    size_t i = 0;
    while (i < gbk.size()) {
        const size_t width = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return i;
}

std::string CutGbk(std::string_view gbk, size_t maxBytes) { return std::string(gbk.substr(0, CutGbkLength(gbk, maxBytes))); }

bool IsValidGbkText(std::string_view gbk) {
    if (IsAscii(gbk)) return true;
    // The table's test of GbkToUtf8ByTable, without its output: a text it
    // passes converts by table; one it fails goes to iconv as TryGbkToUtf8's does.
    bool byTable = true;
    for (size_t i = 0; i < gbk.size();) {
        if (static_cast<unsigned char>(gbk[i]) < 0x80) {
            ++i;
            continue;
        }
        if (TableCodePointAt(gbk, i) == kNoForm) {
            byTable = false;
            break;
        }
        i += 2;
    }
    if (byTable) return true;
    std::string ignored;
    return ToUtf8().Run(gbk, ignored, nullptr);
}
