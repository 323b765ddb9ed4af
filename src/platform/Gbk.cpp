#include "platform/Gbk.h"

#include <cerrno>
#include <iconv.h>
#include <memory>
#include <vector>

namespace {

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

bool Convert(const char* to, const char* from, std::string_view in, std::string& out, size_t* errorOffset) {
    iconv_t raw = iconv_open(to, from);
    if (raw == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    std::unique_ptr<void, IconvCloser> cd(raw);
    std::string result;
    result.reserve(in.size() * 2);
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    std::vector<char> chunk(4096);
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        size_t outLeft = chunk.size();
        const size_t rc = iconv(static_cast<iconv_t>(cd.get()), &inPtr, &inLeft, &outPtr, &outLeft);
        result.append(chunk.data(), chunk.size() - outLeft);
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ: an invalid sequence; EINVAL: a sequence cut short at the end.
            if (errorOffset) *errorOffset = static_cast<size_t>(inPtr - in.data());
            return false;
        }
    }
    out = std::move(result);
    return true;
}

}  // namespace

bool TryUtf8ToGbk(std::string_view utf8, std::string& out, size_t* errorOffset) {
    return Convert("GBK", "UTF-8", utf8, out, errorOffset);
}

bool TryGbkToUtf8(std::string_view gbk, std::string& out, size_t* errorOffset) {
    return Convert("UTF-8", "GBK", gbk, out, errorOffset);
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
