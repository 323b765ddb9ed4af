#pragma once
// The catalogue connection. On the platform it stands in for this was an
// automation connection object; here it owns a connection to the catalogue:
// an SQLite file when the connection string is a path (spelled as the file
// system spells it, its bytes passed on unchanged), a PostgreSQL server when
// it is a libpq URI "postgresql://…" (CatalogueConnection.h).
//
// Every failure is caught inside, reported in a stop-icon message box in the
// fixed report format below, kept as the last error, and answered with FALSE:
// no exception leaves an operation.
#include <memory>

#include "equipment/Export.h"
#include "platform/CString.h"
#include "platform/Types.h"

namespace jdsql {
class Connection;
}

// A shared reference to the open connection, as record sets take it.
using CADOConnectionPtr = std::shared_ptr<jdsql::Connection>;

class JDBASE_API CADODatabase {
public:
    // Initialises the component library for this thread and creates the
    // (closed) connection object.
    CADODatabase();
    // Closes the connection when open and releases the component library.
    virtual ~CADODatabase();
    CADODatabase(const CADODatabase&) = delete;
    CADODatabase& operator=(const CADODatabase&) = delete;

    // Opens the catalogue named by the connection string (the one kept from
    // before when `connectionString` is empty). A file must exist: a missing
    // catalogue is an error, not a new empty one. A file is put in WAL journal
    // mode with a busy timeout, so several hosts can share it: readers never
    // block, writers wait for each other; a server does the same by itself.
    BOOL Open(const char* connectionString = "");
    // Read-only connections (set before Open) only read: they open a
    // catalogue in a folder the user may not write, where the journal mode
    // cannot be set, and every write on them fails.
    void SetReadOnly(bool readOnly) { m_bReadOnly = readOnly; }
    bool IsReadOnly() const { return m_bReadOnly; }
    void Close();
    BOOL IsOpen() const;

    CADOConnectionPtr GetConnection() const { return m_pConnection; }
    CString GetConnectionString() const { return m_strConnection; }
    void SetConnectionString(const char* connectionString) { m_strConnection = connectionString; }

    // "Connection String = <path>\n" followed by the report text.
    CString GetLastErrorString() const { return m_strLastError; }
    // The description part of the last error.
    CString GetErrorDescription() const { return m_strErrorDescription; }
    // The SQLite extended result code of the last error, or a server's
    // SQLSTATE packed by jdsql::PackSqlState; 0 until one occurs.
    DWORD GetLastError() const { return m_dwLastError; }

    // Reports a failure of work done on this connection (by the library's own
    // catalogue statements, too): fills the last error, shows the report.
    // `description` is GBK.
    void ReportError(DWORD code, const CString& description);

private:
    CADOConnectionPtr m_pConnection;
    CString m_strConnection;
    CString m_strLastError;
    CString m_strErrorDescription;
    DWORD m_dwLastError = 0;
    // Kept for the layout of the original class; nothing uses them.
    LONG m_nRecordsAffected = 0;
    LONG m_nConnectionTimeout = 0;
    bool m_bComInitialised = false;
    bool m_bReadOnly = false;
};

// The text of a query literal: every single quote doubled. The caller puts
// the surrounding quotes, as the dialogs build their queries:
//   "... where Type = '" + QuoteSqlText(type) + "' and ..."
// This is the one place where text enters SQL as a literal; everything else
// the library runs binds its values as parameters.
JDBASE_API CString QuoteSqlText(const CString& text);

// The report both classes show ("CADORecordset" or "CADODataBase" as the
// header): "<header> Error\n\tCode = %08lx\n\tCode
// meaning = %s\n\tSource = %s\n\tDescription = %s\n". Meaning is the SQLite
// text for the code; source is "SQLite". A server's error shows its SQLSTATE
// as the code ("Code = 23505", "Code meaning = SQLSTATE 23505", "Source = PostgreSQL").
JDBASE_API CString FormatCatalogueErrorReport(const char* header, DWORD code, const CString& description);
