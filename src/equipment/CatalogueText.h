#pragma once
// The catalogue file holds UTF-8; the library's objects hold GBK. Every text
// crosses here, and a text that cannot cross is an error that names the
// column or statement it belongs to rather than a silently altered value.
#include <string>
#include <string_view>

#include "equipment/Export.h"
#include "equipment/CatalogueConnection.h"
#include "platform/CString.h"

namespace jdlib {

// GBK -> UTF-8 for binding or for statement text; throws jdsql::SqliteError
// (SQLITE_MISMATCH) naming `what` when the text is not valid GBK.
std::string ToCatalogueText(const CString& gbk, std::string_view what);
// UTF-8 from the file -> GBK; throws jdsql::SqliteError (SQLITE_MISMATCH)
// naming `what` when a character has no GBK form.
CString FromCatalogueText(std::string_view utf8, std::string_view what);
// Best effort for messages: the GBK form when there is one, else the bytes as they are.
CString ForDisplay(std::string_view utf8);

// Every catalogue text can end up in a map field, which holds GBK without a
// NUL (the kernel's texts are zero-terminated). These say why a text cannot
// be stored (UTF-8 sentence), or give an empty text when it can.
JDBASE_API std::string CatalogueTextProblemUtf8(std::string_view utf8);
JDBASE_API std::string CatalogueTextProblemGbk(std::string_view gbk);

// The offset of the first byte that is not part of well-formed UTF-8
// (overlong forms and surrogates count as malformed); npos when it all is.
size_t FirstNonUtf8Byte(std::string_view text);

}  // namespace jdlib
