#include "equipment/CatalogueText.h"

#include <sqlite3.h>

#include "platform/Gbk.h"

namespace jdlib {

std::string ToCatalogueText(const CString& gbk, std::string_view what) {
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

}  // namespace jdlib
