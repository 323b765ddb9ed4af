#pragma once
// Small owners of the SQLite handles the catalogue layer works with: a
// connection, a prepared statement, and a write transaction that rolls back
// unless committed. They throw SqliteError; the public catalogue operations
// catch it and report, so no exception ever leaves the library.
//
// Texts handed to and read from these classes are UTF-8, as stored in the
// file; the conversion from and to the GBK texts held in memory happens in
// the callers (CatalogueText.h).
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace jdsql {

class SqliteError : public std::runtime_error {
public:
    // `code` is an SQLite (extended) result code; `description` says what failed, in UTF-8.
    SqliteError(int code, const std::string& description) : std::runtime_error(description), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

// The SQLite storage classes, as sqlite3_column_type reports them.
enum class StorageClass { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file with the given sqlite3_open_v2 flags; closes a previous
    // file first. Throws SqliteError (the handle is released again on failure).
    void Open(const std::string& path, int flags);
    void Close() noexcept;
    bool IsOpen() const { return m_db != nullptr; }
    sqlite3* handle() const { return m_db; }
    const std::string& path() const { return m_path; }

    // Runs one or more statements that return no rows we want.
    void Execute(std::string_view sql);
    // Runs one statement and returns the first column of its first row as text
    // (empty when there is no row): for pragmas that answer.
    std::string QueryText(std::string_view sql);
    void SetBusyTimeout(int milliseconds);
    std::int64_t LastInsertRowId() const;
    int Changes() const;

    // The error SQLite holds for this connection after a failed call.
    [[noreturn]] void ThrowLastError(int resultCode, std::string_view context = {}) const;

private:
    sqlite3* m_db = nullptr;
    std::string m_path;
};

class Statement {
public:
    // Prepares exactly one statement; text after it (other than blanks and a
    // final ';') is refused, so a query text can never carry a second statement.
    Statement(Connection& connection, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1, as in SQL.
    Statement& Bind(int index, std::int64_t value);
    Statement& Bind(int index, double value);
    Statement& BindText(int index, std::string_view utf8);
    Statement& BindNull(int index);

    // True when a row is ready; false when the statement has finished.
    bool Step();
    void Reset();
    // Steps to the end, for statements that return no rows.
    void Run();

    bool IsReadOnly() const;
    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // The column's declared type in the schema ("" for an expression).
    std::string ColumnDeclaredType(int column) const;
    StorageClass ColumnStorage(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    std::string ColumnText(int column) const;
    bool ColumnIsNull(int column) const { return ColumnStorage(column) == StorageClass::Null; }

    const std::string& sql() const { return m_sql; }

private:
    [[noreturn]] void Throw(int resultCode) const;

    Connection& m_connection;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_sql;
};

// BEGIN IMMEDIATE: the write lock is taken at the start, so two hosts that
// read-modify-write the catalogue wait for each other (busy timeout) instead
// of one of them failing half-way with a stale snapshot.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void Commit();

private:
    Connection& m_connection;
    bool m_open = false;
};

}  // namespace jdsql
