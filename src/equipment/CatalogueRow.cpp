#include "equipment/CatalogueRow.h"

#include <sqlite3.h>

#include <cstdarg>
#include <cstdlib>
#include <exception>

#include "equipment/LibraryMessages.h"
#include "platform/DataExchange.h"

namespace jdlib {

BOOL RunOnCatalogue(CADODatabase* pDatabase, const char* operation,
                    const std::function<BOOL(jdsql::Connection&)>& work) {
    if (!pDatabase) {
        Trace("catalogue work on %s without a database object", operation);
        return FALSE;
    }
    try {
        const CADOConnectionPtr connection = pDatabase->GetConnection();
        if (!connection || !connection->IsOpen()) {
            throw jdsql::SqliteError(SQLITE_MISUSE, "the catalogue is not open");
        }
        return work(*connection);
    } catch (const jdsql::SqliteError& error) {
        pDatabase->ReportError(static_cast<DWORD>(error.code()),
                               ForDisplay(std::string(error.what()) + " [" + operation + "]"));
    } catch (const std::exception& error) {
        pDatabase->ReportError(SQLITE_ERROR, ForDisplay(std::string(error.what()) + " [" + operation + "]"));
    } catch (...) {
        pDatabase->ReportError(SQLITE_ERROR, CString("unknown failure [") + operation + "]");
    }
    return FALSE;
}

void ShowRefusal(const char* utf8Format, ...) {
    va_list args;
    va_start(args, utf8Format);
    CString utf8;
    utf8.FormatV(utf8Format, args);
    va_end(args);
    ShowErrorUtf8(utf8.GetString());
}

std::string ColumnNameList::Join(const char* each) const {
    std::string text;
    for (const std::string& name : names) {
        if (!text.empty()) text += ", ";
        text += name;
        text += each;
    }
    return text;
}

std::string ColumnNameList::Placeholders() const {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) text += i == 0 ? "?" : ", ?";
    return text;
}

void ColumnReader::operator()(const char* name, CString& value) {
    const int column = m_index++;
    if (m_statement.ColumnIsNull(column)) {
        value.Empty();
        return;
    }
    value = FromCatalogueText(m_statement.ColumnText(column), m_rowName + ", column " + name);
}

double ColumnReader::Number(const char* name) {
    const int column = m_index++;
    switch (m_statement.ColumnStorage(column)) {
    case jdsql::StorageClass::Null:
        return 0.0;
    case jdsql::StorageClass::Integer:
    case jdsql::StorageClass::Real:
        return m_statement.ColumnDouble(column);
    case jdsql::StorageClass::Text: {
        // A hand-edited catalogue may hold text here; a number text is fine,
        // anything else must not quietly become 0.
        // Plain decimal notation only: "0x1A", "nan" and "inf" are no catalogue values.
        const std::string text = m_statement.ColumnText(column);
        double number = 0.0;
        if (ParseExchangeDouble(text.c_str(), number)) return number;
        throw jdsql::SqliteError(SQLITE_MISMATCH, m_rowName + ", column " + name + ": \"" + text +
                                                      "\" is not a number");
    }
    case jdsql::StorageClass::Blob:
        break;
    }
    throw jdsql::SqliteError(SQLITE_MISMATCH, m_rowName + ", column " + name + ": a binary value is not a number");
}

void ColumnReader::operator()(const char* name, double& value) { value = Number(name); }

void ColumnReader::operator()(const char* name, int& value) {
    const double number = Number(name);
    if (!(number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())) {
        throw jdsql::SqliteError(SQLITE_RANGE, m_rowName + ", column " + name + ": the value does not fit a flag");
    }
    value = static_cast<int>(number);
}

void ColumnBinder::operator()(const char* name, const CString& value) {
    m_statement.BindText(m_index++, ToCatalogueText(value, std::string("column ") + name));
}

void ColumnBinder::operator()(const char* name, const double& value) {
    if (!std::isfinite(value)) {
        throw jdsql::SqliteError(SQLITE_MISMATCH, std::string("column ") + name + ": the value is not a finite number");
    }
    m_statement.Bind(m_index++, value);
}

void ColumnBinder::operator()(const char* name, const int& value) {
    m_statement.Bind(m_index++, static_cast<std::int64_t>(value));
}

}  // namespace jdlib
