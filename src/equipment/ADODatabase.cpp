#include "equipment/ADODatabase.h"

#include <sqlite3.h>

#include <exception>
#include <string>

#include "equipment/CatalogueText.h"
#include "equipment/LibraryMessages.h"
#include "equipment/SqliteHandles.h"
#include "platform/Automation.h"

CString FormatCatalogueErrorReport(const char* header, DWORD code, const CString& description) {
    const char* meaning = sqlite3_errstr(static_cast<int>(code));
    CString report;
    report.Format("%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n", header,
                  static_cast<unsigned long>(code), meaning ? meaning : "", "SQLite", description.GetString());
    return report;
}

namespace {

// "file:" URI of a path, with SQLite's immutable flag: '%', '?' and '#' are escaped.
std::string ImmutableUri(const std::string& path) {
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            uri += CString::Formatted("%%%02X", static_cast<unsigned char>(c)).str();
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

}  // namespace

CString QuoteSqlText(const CString& text) {
    CString quoted(text);
    quoted.Replace("'", "''");
    return quoted;
}

CADODatabase::CADODatabase() : m_pConnection(std::make_shared<jdsql::Connection>()) {
    m_bComInitialised = SUCCEEDED(CoInitialize(nullptr));
}

CADODatabase::~CADODatabase() {
    Close();
    m_pConnection.reset();
    m_strConnection.Empty();
    m_strLastError.Empty();
    m_strErrorDescription.Empty();
    if (m_bComInitialised) CoUninitialize();
}

BOOL CADODatabase::Open(const char* connectionString) {
    try {
        if (connectionString && *connectionString) m_strConnection = connectionString;
        if (IsOpen()) Close();
        if (m_strConnection.IsEmpty()) {
            throw jdsql::SqliteError(SQLITE_CANTOPEN, "no catalogue file was named (the connection string is empty)");
        }
        jdsql::Connection& connection = *m_pConnection;
        // No SQLITE_OPEN_CREATE: a mistyped path must not leave an empty catalogue behind.
        if (m_bReadOnly) {
            connection.Open(m_strConnection.str(), SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX);
            try {
                connection.SetBusyTimeout(kBusyTimeoutMs);
                // A WAL catalogue needs its shared-memory file; in a folder we may
                // not write, SQLite cannot make one. Nobody can be writing there
                // through this folder, so the file is read as unchanging.
                try {
                    connection.QueryText("SELECT COUNT(*) FROM sqlite_schema");
                } catch (const jdsql::SqliteError& error) {
                    if ((error.code() & 0xFF) != SQLITE_READONLY) throw;
                    connection.Open(ImmutableUri(m_strConnection.str()),
                                    SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX);
                }
            } catch (...) {
                connection.Close();
                throw;
            }
            return TRUE;
        }
        connection.Open(m_strConnection.str(), SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
        try {
            connection.SetBusyTimeout(kBusyTimeoutMs);
            // WAL: readers and one writer at a time, no torn file if a host dies
            // mid-write. The mode is stored in the file; asking again is free.
            connection.QueryText("PRAGMA journal_mode=WAL");
            // FULL: a committed catalogue change survives a power cut too.
            connection.Execute("PRAGMA synchronous=FULL");
            connection.Execute("PRAGMA foreign_keys=ON");
        } catch (...) {
            connection.Close();
            throw;
        }
        return TRUE;
    } catch (const jdsql::SqliteError& error) {
        ReportError(static_cast<DWORD>(error.code()), jdlib::ForDisplay(error.what()));
    } catch (const std::exception& error) {
        ReportError(SQLITE_ERROR, jdlib::ForDisplay(error.what()));
    } catch (...) {
        ReportError(SQLITE_ERROR, "unknown failure while opening the catalogue");
    }
    return FALSE;
}

void CADODatabase::Close() {
    if (m_pConnection) m_pConnection->Close();
}

BOOL CADODatabase::IsOpen() const { return m_pConnection && m_pConnection->IsOpen() ? TRUE : FALSE; }

void CADODatabase::ReportError(DWORD code, const CString& description) {
    try {
        m_dwLastError = code;
        m_strErrorDescription = description;
        const CString report = FormatCatalogueErrorReport("CADODataBase", code, description);
        m_strLastError = "Connection String = " + jdlib::ForDisplay(m_strConnection.view()) + "\n" + report;
        jdlib::ShowMessage(report, MB_ICONSTOP);
    } catch (...) {
        // Reporting must never be the thing that throws.
    }
}
