#include "equipment/ADORecordset.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <limits>
#include <string>
#include <vector>

#include "equipment/CatalogueText.h"
#include "equipment/LibraryMessages.h"
#include "equipment/CatalogueConnection.h"
#include "platform/DataExchange.h"

namespace {

// How a column's declared type asks for its values to be shown. SQLite keeps
// the declared type as written in the schema; its own affinity rules would
// fold BOOLEAN, DATETIME and DECIMAL into NUMERIC, so we look for these first.
enum class DeclaredKind { None, Integer, Real, Text, Boolean, DateTime, Decimal, Blob };

DeclaredKind ClassifyDeclaredType(std::string declared) {
    for (char& c : declared) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&](const char* part) { return declared.find(part) != std::string::npos; };
    if (declared.empty()) return DeclaredKind::None;
    if (has("BOOL")) return DeclaredKind::Boolean;
    if (has("DATE") || has("TIME")) return DeclaredKind::DateTime;
    if (has("DEC") || has("NUMERIC")) return DeclaredKind::Decimal;
    if (has("INT")) return DeclaredKind::Integer;
    if (has("CHAR") || has("CLOB") || has("TEXT")) return DeclaredKind::Text;
    if (has("REAL") || has("FLOA") || has("DOUB")) return DeclaredKind::Real;
    if (has("BLOB")) return DeclaredKind::Blob;
    return DeclaredKind::None;
}

struct FieldValue {
    jdsql::StorageClass storage = jdsql::StorageClass::Null;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string bytes;  // UTF-8 text, or the binary value
};

bool IsIdentifier(std::string_view name) {
    if (name.empty() || name.size() > 128) return false;
    auto isStart = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!isStart(name.front())) return false;
    for (char c : name) {
        if (!isStart(c) && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// "%.15g" is what people expect to read; "%.17g" always reads back exactly.
CString RealText(double value) {
    CString text;
    text.Format("%.15g", value);
    if (std::strtod(text.GetString(), nullptr) != value) text.Format("%.17g", value);
    return text;
}

// The shortest positional decimal that reads back as the same double.
CString DecimalText(double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc()) return RealText(value);
    return CString(buffer, static_cast<int>(result.ptr - buffer));
}

// Reads exactly `count` digits.
bool ReadDigits(std::string_view text, size_t& pos, size_t count, int& out) {
    if (pos + count > text.size()) return false;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    pos += count;
    out = value;
    return true;
}

// "YYYY-MM-DD", optionally followed by " HH:MM", ":SS" and a fraction that is
// ignored; "T" may stand for the blank.
bool ParseIsoDateTime(std::string_view text, std::tm& out) {
    size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!ReadDigits(text, pos, 4, year) || pos >= text.size() || text[pos++] != '-') return false;
    if (!ReadDigits(text, pos, 2, month) || pos >= text.size() || text[pos++] != '-') return false;
    if (!ReadDigits(text, pos, 2, day)) return false;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T') return false;
        ++pos;
        if (!ReadDigits(text, pos, 2, hour) || pos >= text.size() || text[pos++] != ':') return false;
        if (!ReadDigits(text, pos, 2, minute)) return false;
        if (pos < text.size()) {
            if (text[pos++] != ':' || !ReadDigits(text, pos, 2, second)) return false;
            if (pos < text.size()) {
                if (text[pos++] != '.') return false;
                if (pos >= text.size()) return false;
                for (; pos < text.size(); ++pos) {
                    if (text[pos] < '0' || text[pos] > '9') return false;
                }
            }
        }
    }
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    std::tm normalised = tm;
    timegm(&normalised);
    // timegm folds 31 April into 1 May: a date that moved was no date.
    if (normalised.tm_year != tm.tm_year || normalised.tm_mon != tm.tm_mon || normalised.tm_mday != tm.tm_mday ||
        normalised.tm_hour != tm.tm_hour || normalised.tm_min != tm.tm_min || normalised.tm_sec != tm.tm_sec) {
        return false;
    }
    out = normalised;  // with the weekday and day of the year filled in
    return true;
}

CString FormatDate(const std::tm& tm, const CString& format) {
    const char* pattern = format.IsEmpty() ? "%Y-%m-%d %H:%M:%S" : format.GetString();
    std::vector<char> buffer(128);
    for (int attempt = 0; attempt < 6; ++attempt) {
        const size_t length = std::strftime(buffer.data(), buffer.size(), pattern, &tm);
        if (length > 0) return CString(buffer.data(), static_cast<int>(length));
        buffer.resize(buffer.size() * 4);
    }
    return CString();  // the format produces nothing (for example "%p" in some locales)
}

bool ParseWholeLong(std::string_view text, long long& out) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto result = std::from_chars(first, last, out);
    return result.ec == std::errc() && result.ptr == last;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

struct CADORecordset::Result {
    std::vector<std::string> names;
    std::vector<DeclaredKind> kinds;
    std::vector<std::vector<FieldValue>> rows;
    size_t cursor = 0;
};

CADORecordset::CADORecordset(CADODatabase* pAdoDatabase) {
    if (pAdoDatabase) m_pConnection = pAdoDatabase->GetConnection();
}

CADORecordset::~CADORecordset() { CloseRecords(); }

void CADORecordset::ReportError(DWORD code, const CString& description, bool show) {
    try {
        m_dwLastError = code;
        const CString report = FormatCatalogueErrorReport("CADORecordset", code, description);
        m_strLastError = "Query = " + m_strQuery + "\n" + report;
        if (show) jdlib::ShowMessage(report, MB_ICONSTOP);
    } catch (...) {
        // Reporting must never be the thing that throws.
    }
}

BOOL CADORecordset::OpenRecords(const CADOConnectionPtr& connection, const CString& query, int option) {
    try {
        CloseRecords();
        if (!query.IsEmpty()) m_strQuery = query;
        if (connection) m_pConnection = connection;

        std::string sql;
        switch (option) {
        case openUnknown:
        case openQuery:
            sql = jdlib::ToCatalogueText(m_strQuery, "query text");
            break;
        case openTable:
            if (!IsIdentifier(m_strQuery.view())) {
                throw jdsql::SqliteError(SQLITE_MISUSE,
                                         "a table name is letters, digits and '_', not starting with a digit");
            }
            sql = "SELECT * FROM " + m_strQuery.str();
            break;
        case openStoredProc:
            throw jdsql::SqliteError(SQLITE_MISUSE, "the catalogue has no stored procedures");
        default:
            jdlib::Trace("Unknown parameter. %d", option);
            return FALSE;
        }
        if (m_strQuery.IsEmpty()) throw jdsql::SqliteError(SQLITE_MISUSE, "the query text is empty");
        if (!m_pConnection || !m_pConnection->IsOpen()) {
            throw jdsql::SqliteError(SQLITE_MISUSE, "the catalogue connection is not open");
        }

        jdsql::Statement statement(*m_pConnection, sql, true);
        if (!statement.IsReadOnly() || statement.ColumnCount() == 0) {
            throw jdsql::SqliteError(SQLITE_MISUSE,
                                     "a record set only reads: the query must be one statement that returns rows");
        }
        auto result = std::make_unique<Result>();
        const int columns = statement.ColumnCount();
        for (int c = 0; c < columns; ++c) {
            result->names.push_back(statement.ColumnName(c));
            result->kinds.push_back(ClassifyDeclaredType(statement.ColumnDeclaredType(c)));
        }
        while (statement.Step()) {
            std::vector<FieldValue> row(static_cast<size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                FieldValue& field = row[static_cast<size_t>(c)];
                field.storage = statement.ColumnStorage(c);
                switch (field.storage) {
                case jdsql::StorageClass::Integer: field.integer = statement.ColumnInt64(c); break;
                case jdsql::StorageClass::Real: field.real = statement.ColumnDouble(c); break;
                case jdsql::StorageClass::Text:
                case jdsql::StorageClass::Blob: field.bytes = statement.ColumnText(c); break;
                case jdsql::StorageClass::Null: break;
                }
            }
            result->rows.push_back(std::move(row));
        }
        m_pResult = std::move(result);
        return TRUE;
    } catch (const jdsql::SqliteError& error) {
        ReportError(static_cast<DWORD>(error.code()), jdlib::ForDisplay(error.what()));
    } catch (const std::exception& error) {
        ReportError(SQLITE_ERROR, jdlib::ForDisplay(error.what()));
    } catch (...) {
        ReportError(SQLITE_ERROR, "unknown failure while opening the record set");
    }
    m_pResult.reset();
    return FALSE;
}

DWORD CADORecordset::CountRecords() {
    if (!m_pResult) {
        ReportError(SQLITE_MISUSE, "the record set is not open");
        return 0;
    }
    return static_cast<DWORD>(m_pResult->rows.size());
}

void CADORecordset::FirstRecord() {
    if (!m_pResult) {
        ReportError(SQLITE_MISUSE, "the record set is not open");
        return;
    }
    m_pResult->cursor = 0;
}

void CADORecordset::NextRecord() {
    if (!m_pResult) {
        ReportError(SQLITE_MISUSE, "the record set is not open");
        return;
    }
    if (m_pResult->cursor >= m_pResult->rows.size()) {
        ReportError(SQLITE_MISUSE, "there is no current record: the cursor is past the last row");
        return;
    }
    ++m_pResult->cursor;
}

BOOL CADORecordset::IsEOF() const { return !m_pResult || m_pResult->cursor >= m_pResult->rows.size(); }

BOOL CADORecordset::IsActive() const {
    return m_pResult && m_pConnection && m_pConnection->IsOpen() ? TRUE : FALSE;
}

void CADORecordset::CloseRecords() {
    m_pResult.reset();
    m_nEditStatus = 0;
}

int CADORecordset::GetFieldCount() const { return m_pResult ? static_cast<int>(m_pResult->names.size()) : 0; }

int CADORecordset::FindReadableColumn(const char* column) {
    const std::string_view name = column ? column : "";
    if (!m_pResult) {
        ReportError(SQLITE_MISUSE, "the record set is not open");
        return -1;
    }
    int index = -1;
    for (size_t c = 0; c < m_pResult->names.size(); ++c) {
        if (EqualsNoCase(m_pResult->names[c], name)) {
            index = static_cast<int>(c);
            break;
        }
    }
    if (index < 0) {
        ReportError(SQLITE_MISUSE, "the result has no column \"" + CString(std::string(name)) + "\"");
        return -1;
    }
    if (m_pResult->cursor >= m_pResult->rows.size()) {
        ReportError(SQLITE_MISUSE, "there is no current record (the cursor is past the last row)");
        return -1;
    }
    return index;
}

BOOL CADORecordset::ReadField(const char* column, LONG& value) {
    try {
        const int index = FindReadableColumn(column);
        if (index < 0) return FALSE;
        const FieldValue& field = m_pResult->rows[m_pResult->cursor][static_cast<size_t>(index)];
        const CString where = CString("column \"") + column + "\": ";
        constexpr long long kMin = std::numeric_limits<LONG>::min();
        constexpr long long kMax = std::numeric_limits<LONG>::max();
        long long number = 0;
        switch (field.storage) {
        case jdsql::StorageClass::Null:
            value = 0;
            return TRUE;
        case jdsql::StorageClass::Integer:
            number = field.integer;
            break;
        case jdsql::StorageClass::Real: {
            const double rounded = std::nearbyint(field.real);
            if (!(rounded >= static_cast<double>(kMin) && rounded <= static_cast<double>(kMax))) {
                ReportError(SQLITE_RANGE, where + RealText(field.real) + " does not fit a 32-bit integer");
                return FALSE;
            }
            number = static_cast<long long>(rounded);
            break;
        }
        case jdsql::StorageClass::Text: {
            const std::string_view text = TrimBlanks(field.bytes);
            if (text.empty()) {
                value = 0;
                return TRUE;
            }
            if (!ParseWholeLong(text, number)) {
                // Plain decimal notation only: strtod would read "0x1A" as 26.
                const std::string copy(text);
                double real = 0.0;
                if (!ParseExchangeDouble(copy.c_str(), real)) {
                    ReportError(SQLITE_MISMATCH,
                                where + "the text \"" + jdlib::ForDisplay(text) + "\" is not a number");
                    return FALSE;
                }
                const double rounded = std::nearbyint(real);
                if (!(rounded >= static_cast<double>(kMin) && rounded <= static_cast<double>(kMax))) {
                    ReportError(SQLITE_RANGE, where + jdlib::ForDisplay(text) + " does not fit a 32-bit integer");
                    return FALSE;
                }
                number = static_cast<long long>(rounded);
            }
            break;
        }
        case jdsql::StorageClass::Blob:
            ReportError(SQLITE_MISMATCH, where + "a binary value has no integer form");
            return FALSE;
        }
        if (number < kMin || number > kMax) {
            ReportError(SQLITE_RANGE, where + CString::Formatted("%lld", number) + " does not fit a 32-bit integer");
            return FALSE;
        }
        value = static_cast<LONG>(number);
        return TRUE;
    } catch (const std::exception& error) {
        ReportError(SQLITE_ERROR, jdlib::ForDisplay(error.what()));
    } catch (...) {
        ReportError(SQLITE_ERROR, "unknown failure while reading a field");
    }
    return FALSE;
}

BOOL CADORecordset::ReadField(const char* column, CString& value, const CString& dateFormat) {
    try {
        const int index = FindReadableColumn(column);
        if (index < 0) return FALSE;
        const FieldValue& field = m_pResult->rows[m_pResult->cursor][static_cast<size_t>(index)];
        const DeclaredKind kind = m_pResult->kinds[static_cast<size_t>(index)];
        const CString where = CString("column \"") + column + "\": ";
        switch (field.storage) {
        case jdsql::StorageClass::Null:
            value.Empty();
            return TRUE;
        case jdsql::StorageClass::Integer:
            if (kind == DeclaredKind::Boolean) {
                value = field.integer != 0 ? "T" : "F";
            } else {
                value.Format("%lld", static_cast<long long>(field.integer));
            }
            return TRUE;
        case jdsql::StorageClass::Real:
            if (kind == DeclaredKind::Boolean) {
                value = field.real != 0.0 ? "T" : "F";
            } else if (kind == DeclaredKind::Decimal) {
                value = DecimalText(field.real);
            } else {
                value = RealText(field.real);
            }
            return TRUE;
        case jdsql::StorageClass::Text:
            if (kind == DeclaredKind::DateTime) {
                std::tm tm{};
                if (!ParseIsoDateTime(field.bytes, tm)) {
                    ReportError(SQLITE_MISMATCH,
                                where + "\"" + jdlib::ForDisplay(field.bytes) + "\" is not a date (YYYY-MM-DD HH:MM:SS)",
                                false);
                    return FALSE;
                }
                value = FormatDate(tm, dateFormat);
                return TRUE;
            }
            value = jdlib::FromCatalogueText(field.bytes, where.str());
            return TRUE;
        case jdsql::StorageClass::Blob:
            ReportError(SQLITE_MISMATCH, where + "a binary value has no text form", false);
            return FALSE;
        }
    } catch (const jdsql::SqliteError& error) {
        ReportError(static_cast<DWORD>(error.code()), jdlib::ForDisplay(error.what()), false);
    } catch (const std::exception& error) {
        ReportError(SQLITE_ERROR, jdlib::ForDisplay(error.what()));
    } catch (...) {
        ReportError(SQLITE_ERROR, "unknown failure while reading a field");
    }
    return FALSE;
}
