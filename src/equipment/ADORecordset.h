#pragma once
// A record set on the catalogue connection: runs one query and lets the
// caller walk its rows and read their columns as 32-bit integers or as text.
//
// The rows are read in full when the record set is opened (a static cursor
// on the client side), so a record set holds no lock on the catalogue while
// the caller walks it, and its record count is known at once.
//
// Failures are caught, kept as the last error ("Query = <query>\n" followed by
// the report), shown in a stop-icon message box, and answered with FALSE.
#include <memory>

#include "equipment/ADODatabase.h"
#include "equipment/Export.h"
#include "platform/CString.h"
#include "platform/Types.h"

class JDBASE_API CADORecordset {
public:
    // The values of OpenRecords' option.
    enum cadoOpenEnum { openUnknown = 0, openQuery = 1, openTable = 2, openStoredProc = 3 };

    // Takes the database's connection (which may still be closed).
    explicit CADORecordset(CADODatabase* pAdoDatabase);
    ~CADORecordset();
    CADORecordset(const CADORecordset&) = delete;
    CADORecordset& operator=(const CADORecordset&) = delete;

    // Closes a previous result, keeps `query` when it is not empty, and opens:
    //   0, 1  the text as a query (one statement that only reads);
    //   2     the table of that name (a plain identifier), all its columns;
    //   3     refused: the catalogue has no stored procedures (reported);
    //   other traced "Unknown parameter. %d" and FALSE.
    // `connection` may be null: the database's connection is used then.
    // TRUE when the record set is open afterwards; the cursor is on the first row.
    BOOL OpenRecords(const CADOConnectionPtr& connection, const CString& query, int option);

    // The number of rows. The cursor does not move.
    DWORD CountRecords();
    void FirstRecord();
    void NextRecord();
    // TRUE past the last row, on an empty result, or when not open.
    BOOL IsEOF() const;

    // The column as a 32-bit integer: 0 for null or empty text; reals are
    // rounded to the nearest integer (ties to even); numeric text is parsed.
    // A value that does not fit, text that is no number, a binary value or an
    // unknown column is reported and gives FALSE with `value` unchanged.
    BOOL ReadField(const char* column, LONG& value);
    // The column as text, converted by the column's declared type:
    //   INTEGER-like              decimal digits
    //   REAL, FLOAT, DOUBLE       "%.15g", or "%.17g" when that does not read back as the same number
    //   TEXT, CHAR, CLOB          the text (GBK)
    //   BOOLEAN                   "T" or "F"
    //   DATETIME, DATE, TIME      formatted with `dateFormat` (strftime), "%Y-%m-%d %H:%M:%S" when empty;
    //                             stored as ISO text "2006-01-31 08:05:00" (or "2006-01-31")
    //   DECIMAL, NUMERIC          the exact decimal digits, "-" in front when negative
    //   NULL value                empty text
    // A column without a declared type converts by the value's own kind. A
    // value that cannot be converted (binary data, a date text that is no
    // date, a text with no GBK form) gives FALSE, `value` unchanged and the
    // reason in the last error, without a message box. An unknown column or
    // no current row is reported.
    BOOL ReadField(const char* column, CString& value, const CString& dateFormat = "");

    // The record set is open and its connection too.
    BOOL IsActive() const;
    void CloseRecords();

    CString GetQuery() const { return m_strQuery; }
    CString GetLastErrorString() const { return m_strLastError; }
    DWORD GetLastError() const { return m_dwLastError; }
    // Number of columns of the open result (0 when closed).
    int GetFieldCount() const;

private:
    struct Result;

    void ReportError(DWORD code, const CString& description, bool show = true);
    // Index of the column, or -1 after reporting it unknown / no current row.
    int FindReadableColumn(const char* column);

    CADOConnectionPtr m_pConnection;
    CString m_strQuery;
    CString m_strLastError;
    DWORD m_dwLastError = 0;
    int m_nEditStatus = 0;  // no pending edit: this record set only reads
    std::unique_ptr<Result> m_pResult;
};
