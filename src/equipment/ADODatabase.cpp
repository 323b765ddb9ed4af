#include "equipment/ADODatabase.h"

#include <sqlite3.h>

#include <exception>
#include <string>

#include "equipment/CatalogueText.h"
#include "equipment/LibraryMessages.h"
#include "equipment/CatalogueConnection.h"
#include "platform/Automation.h"

CString FormatCatalogueErrorReport(const char* header, DWORD code, const CString& description) {
    const std::string sqlstate = jdsql::UnpackSqlState(static_cast<int>(code));
    if (!sqlstate.empty()) {
        CString report;
        report.Format("%s Error\n\tCode = %s\n\tCode meaning = SQLSTATE %s\n\tSource = %s\n\tDescription = %s\n", header,
                      sqlstate.c_str(), sqlstate.c_str(), "PostgreSQL", description.GetString());
        return report;
    }
    const char* meaning = sqlite3_errstr(static_cast<int>(code));
    CString report;
    report.Format("%s Error\n\tCode = %08lx\n\tCode meaning = %s\n\tSource = %s\n\tDescription = %s\n", header,
                  static_cast<unsigned long>(code), meaning ? meaning : "", "SQLite", description.GetString());
    return report;
}

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
            throw jdsql::SqliteError(SQLITE_CANTOPEN, "no catalogue was named (the connection string is empty)");
        }
        // A file path opens the SQLite file (it must exist: a mistyped path
        // must not leave an empty catalogue behind); a postgresql:// URI the
        // server's catalogue.
        m_pConnection->Open(m_strConnection.str(),
                            m_bReadOnly ? jdsql::OpenMode::ReadOnly : jdsql::OpenMode::ReadWrite);
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
        // A password in a server URI is never shown.
        m_strLastError = "Connection String = " + jdlib::ForDisplay(jdsql::RedactTarget(m_strConnection.view())) +
                         "\n" + report;
        jdlib::ShowMessage(report, MB_ICONSTOP);
    } catch (...) {
        // Reporting must never be the thing that throws.
    }
}
