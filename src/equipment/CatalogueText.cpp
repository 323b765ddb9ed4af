#include "equipment/CatalogueText.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>

#include "platform/Gbk.h"

namespace jdlib {

std::string ToCatalogueText(const CString& gbk, std::string_view what) {
    const std::string problem = CatalogueTextProblemGbk(gbk.view());
    if (!problem.empty()) throw jdsql::SqliteError(SQLITE_MISMATCH, std::string(what) + ": " + problem);
    std::string utf8;
    size_t offset = 0;
    if (!TryGbkToUtf8(gbk.view(), utf8, &offset)) {
        throw jdsql::SqliteError(SQLITE_MISMATCH, std::string(what) + ": the text is not valid GBK (byte " +
                                                      std::to_string(offset) + ")");
    }
    return utf8;
}

CString FromCatalogueText(std::string_view utf8, std::string_view what) {
    std::string gbk;
    size_t offset = 0;
    if (!TryUtf8ToGbk(utf8, gbk, &offset)) {
        throw jdsql::SqliteError(SQLITE_MISMATCH, std::string(what) +
                                                      ": the stored text has a character GBK cannot hold (byte " +
                                                      std::to_string(offset) + ")");
    }
    return CString(std::move(gbk));
}

CString ForDisplay(std::string_view utf8) {
    std::string gbk;
    if (TryUtf8ToGbk(utf8, gbk)) return CString(std::move(gbk));
    return CString(std::string(utf8));
}

std::string CatalogueTextProblemUtf8(std::string_view utf8) {
    // ASCII without NUL is GBK as it is; only other texts need the conversion tried.
    bool plain = true;
    for (const char c : utf8) plain &= c != '\0' && static_cast<unsigned char>(c) < 0x80;
    if (plain) return std::string();
    const size_t nul = utf8.find('\0');
    if (nul != std::string_view::npos) {
        return "the text holds a NUL character (byte " + std::to_string(nul) + "), which map texts cannot hold";
    }
    std::string gbk;
    size_t offset = 0;
    if (!TryUtf8ToGbk(utf8, gbk, &offset)) {
        return "the text has a character the catalogue cannot hold in GBK (byte " + std::to_string(offset) + ")";
    }
    return std::string();
}

std::string CatalogueTextProblemGbk(std::string_view gbk) {
    const size_t nul = gbk.find('\0');
    if (nul != std::string_view::npos) {
        return "the text holds a NUL character (byte " + std::to_string(nul) + "), which map texts cannot hold";
    }
    std::string utf8;
    size_t offset = 0;
    if (!TryGbkToUtf8(gbk, utf8, &offset)) {
        return "the text is not valid GBK (byte " + std::to_string(offset) + ")";
    }
    return std::string();
}

size_t FirstNonUtf8Byte(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        // Catalogue files are mostly ASCII: eight bytes at a time while no top bit is set.
        while (i + 8 <= text.size()) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (word & 0x8080808080808080ull) break;
            i += 8;
        }
        if (i >= text.size()) break;
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned int code = 0;
        unsigned int minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1Fu;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0Fu;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07u;
            minimum = 0x10000;
        } else {
            return i;
        }
        if (i + length > text.size()) return i;
        for (size_t k = 1; k < length; ++k) {
            const unsigned char trail = static_cast<unsigned char>(text[i + k]);
            if ((trail & 0xC0u) != 0x80u) return i;
            code = (code << 6) | (trail & 0x3Fu);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return i;
        i += length;
    }
    return std::string_view::npos;
}

}  // namespace jdlib
