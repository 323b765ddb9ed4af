#include "platform/Gbk.h"

#include <cerrno>
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

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

bool Convert(Converter& converter, std::string_view in, std::string& out, size_t* errorOffset) {
    // ASCII is the same bytes in both encodings.
    if (IsAscii(in)) {
        out.assign(in.data(), in.size());
        return true;
    }
    return converter.Run(in, out, errorOffset);
}

}  // namespace

bool TryUtf8ToGbk(std::string_view utf8, std::string& out, size_t* errorOffset) {
    thread_local Converter toGbk("GBK", "UTF-8");
    return Convert(toGbk, utf8, out, errorOffset);
}

bool TryGbkToUtf8(std::string_view gbk, std::string& out, size_t* errorOffset) {
    thread_local Converter toUtf8("UTF-8", "GBK");
    return Convert(toUtf8, gbk, out, errorOffset);
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

bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

std::string CutGbk(std::string_view gbk, size_t maxBytes) {
    size_t i = 0;
    while (i < gbk.size()) {
        const size_t width = IsGbkLeadByte(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size() ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return std::string(gbk.substr(0, i));
}
