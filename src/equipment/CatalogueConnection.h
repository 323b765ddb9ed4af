#pragma once
// The catalogue connection below CADODatabase/CADORecordset: one set of
// classes (a connection, a statement, a write transaction that rolls back
// unless committed) over two engines. A file path opens an embedded SQLite
// file; a "postgresql://" or "postgres://" URI opens a PostgreSQL server
// through libpq. Everything above this header speaks only through it.
//
// The classes throw jdsql::Error; the public catalogue operations catch it
// and report, so no exception ever leaves the library.
//
// SQL handed to Statement is the common subset both engines take: parameters
// are written "?" or "?N" (numbered from 1), identifiers are unquoted
// (PostgreSQL folds them to lower case, SQLite ignores case), and new rows
// give their ID back with "RETURNING ID".
//
// Texts handed to and read from these classes are UTF-8, as stored in the
// catalogue; the conversion from and to the GBK texts held in memory happens
// in the callers (CatalogueText.h).
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jdsql {

enum class Engine { Sqlite, Postgres };

class Error : public std::runtime_error {
public:
    // `code` is an SQLite (extended) result code, or for a server's error its
    // SQLSTATE packed by PackSqlState; `description` says what failed, in UTF-8.
    Error(int code, const std::string& description) : std::runtime_error(description), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};
// The name the layer grew up with; both engines' failures are this class.
using SqliteError = Error;

// A server's five-character SQLSTATE as one code: six bits a character, with
// the top bit set so that it never equals an SQLite result code. Inline, so
// that the PostgreSQL engine's own library needs nothing of this one.
inline int PackSqlState(std::string_view sqlstate) {
    unsigned int code = 0x80000000u;
    for (size_t i = 0; i < 5; ++i) {
        const unsigned char c = i < sqlstate.size() ? static_cast<unsigned char>(sqlstate[i]) : '0';
        code |= (static_cast<unsigned int>(c - '0') & 0x3Fu) << (6 * i);
    }
    return static_cast<int>(code);
}
// The SQLSTATE of a packed code; empty when the code is an SQLite one.
std::string UnpackSqlState(int code);

// The storage classes a value is read as (SQLite's, which both engines map to).
enum class StorageClass { Integer = 1, Real = 2, Text = 3, Blob = 4, Null = 5 };

// A column of a table as the schema declares it. The type is given in
// SQLite's spelling on both engines (INTEGER, REAL, TEXT, BOOLEAN …), so that
// conversions by declared type work the same.
struct TableColumn {
    std::string name;
    std::string type;
    bool notNull = false;
};

// How a connection is opened.
enum class OpenMode {
    ReadWrite,  // an existing catalogue, for reading and writing
    ReadOnly,   // an existing catalogue, only read (a read-only folder, a shared copy)
    NewFile,    // SQLite only: an empty file that is about to get the schema
};

class StatementImpl;
class ConnectionImpl;

// True for a target naming a PostgreSQL server (a libpq connection URI).
bool IsServerTarget(std::string_view target);
// The target with any password in it replaced by "***", for messages.
std::string RedactTarget(std::string_view target);

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the catalogue named by `target`: a file path (SQLite) or a
    // PostgreSQL URI; closes a previous one first. Throws Error.
    void Open(const std::string& target, OpenMode mode = OpenMode::ReadWrite);
    void Close() noexcept;
    bool IsOpen() const;
    Engine engine() const;
    // What was opened, with a password blanked out.
    const std::string& target() const { return m_target; }

    // Runs one or more statements that return no rows we want.
    void Execute(std::string_view sql);
    // Runs one statement and returns the first column of its first row as
    // text (empty when there is no row).
    std::string QueryText(std::string_view sql);
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int Changes() const;

    // The schema version the catalogue says it has (-1 when it has none:
    // not a catalogue).
    long long SchemaVersion();
    bool HasTable(const std::string& table);
    // The table's columns in their order; empty when there is no such table.
    std::vector<TableColumn> TableColumns(const std::string& table);
    // After rows were inserted with IDs of their own: the next ID handed out
    // is above every ID the table holds, so that no ID is ever given twice.
    void AfterExplicitIds(const std::string& table);

    ConnectionImpl& impl() const;

private:
    std::unique_ptr<ConnectionImpl> m_impl;
    std::string m_target;
};

class Statement {
public:
    // Prepares exactly one statement; text after it (other than blanks and a
    // final ';') is refused, so a query text can never carry a second one.
    // A `readOnly` statement runs where it cannot write (a record set's query).
    Statement(Connection& connection, std::string_view sql, bool readOnly = false);
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

    // True when running the statement cannot change the catalogue.
    bool IsReadOnly() const;
    int ColumnCount() const;
    std::string ColumnName(int column) const;
    // The column's declared type ("" for an expression on SQLite), in SQLite's spelling.
    std::string ColumnDeclaredType(int column) const;
    StorageClass ColumnStorage(int column) const;
    std::int64_t ColumnInt64(int column) const;
    double ColumnDouble(int column) const;
    std::string ColumnText(int column) const;
    // The same text without a copy where the engine allows: valid until the
    // next Step or Reset, or the next read of the same column.
    std::string_view ColumnTextView(int column) const;
    bool ColumnIsNull(int column) const { return ColumnStorage(column) == StorageClass::Null; }

    const std::string& sql() const { return m_sql; }

private:
    std::unique_ptr<StatementImpl> m_impl;
    std::string m_sql;
};

// A write transaction that cannot interleave with another host's: on SQLite
// BEGIN IMMEDIATE (the write lock is taken at the start, others wait through
// the busy timeout); on PostgreSQL a transaction that first takes the
// catalogue's write lock (an advisory lock held to its end), so read-modify-
// write steps run one after another there too. Rolled back unless committed;
// a connection lost before the commit leaves nothing written.
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

// Rows streamed into one table of a server in a single COPY … FROM STDIN
// (text format): one exchange for the lot where an INSERT a row costs a round
// trip a row. Fields are given in the order of `columns`, each row closed by
// EndRow; Finish sends what is left and returns the rows the server took.
// A stream dropped unfinished is abandoned, and the server then refuses the
// rest of the transaction it ran in (which must roll back). SQLite has no
// such stream (its INSERTs cost no round trip): opening one there throws Error.
class CopyStream {
public:
    CopyStream(Connection& connection, const std::string& table, const std::vector<std::string>& columns);
    ~CopyStream();
    CopyStream(const CopyStream&) = delete;
    CopyStream& operator=(const CopyStream&) = delete;

    void Null();
    void Integer(std::int64_t value);
    // Written with the fewest digits that read back as the same double.
    void Real(double value);
    // A number already written out ([+-]digits[.digits]: nothing to escape).
    void Number(std::string_view text);
    void Text(std::string_view utf8);
    void EndRow();
    // Throws Error when the server refuses any row (none of them is kept then).
    std::int64_t Finish();

private:
    // Room for `size` more bytes (and a separator before them) at m_buffer[m_used].
    char* Room(size_t size);
    void Append(std::string_view text);

    ConnectionImpl& m_impl;
    std::string m_buffer;  // m_used bytes of it are the rows not sent yet
    size_t m_used = 0;
    size_t m_field = 0;  // fields of the current row so far
    bool m_open = false;
};

// ---- the engines' side ---------------------------------------------------------------------

class StatementImpl {
public:
    virtual ~StatementImpl() = default;
    virtual void BindInt64(int index, std::int64_t value) = 0;
    virtual void BindDouble(int index, double value) = 0;
    virtual void BindText(int index, std::string_view utf8) = 0;
    virtual void BindNull(int index) = 0;
    virtual bool Step() = 0;
    virtual void Reset() = 0;
    virtual bool IsReadOnly() const = 0;
    virtual int ColumnCount() const = 0;
    virtual std::string ColumnName(int column) const = 0;
    virtual std::string ColumnDeclaredType(int column) const = 0;
    virtual StorageClass ColumnStorage(int column) const = 0;
    virtual std::int64_t ColumnInt64(int column) const = 0;
    virtual double ColumnDouble(int column) const = 0;
    virtual std::string ColumnText(int column) const = 0;
    // An engine that holds the row's texts gives a view of them; by default
    // a copy is kept, one for each column, so that views of several columns
    // of a row hold together.
    virtual std::string_view ColumnTextView(int column) const {
        if (column < 0) return std::string_view();
        if (static_cast<size_t>(column) >= m_texts.size()) m_texts.resize(static_cast<size_t>(column) + 1);
        m_texts[static_cast<size_t>(column)] = ColumnText(column);
        return m_texts[static_cast<size_t>(column)];
    }

private:
    mutable std::vector<std::string> m_texts;
};

class ConnectionImpl {
public:
    virtual ~ConnectionImpl() = default;
    virtual Engine engine() const = 0;
    virtual void Execute(std::string_view sql) = 0;
    virtual std::unique_ptr<StatementImpl> Prepare(std::string_view sql, bool readOnly) = 0;
    virtual void BeginWrite() = 0;
    virtual void Commit() = 0;
    virtual void Rollback() noexcept = 0;
    virtual int Changes() const = 0;
    virtual long long SchemaVersion() = 0;
    virtual bool HasTable(const std::string& table) = 0;
    virtual std::vector<TableColumn> TableColumns(const std::string& table) = 0;
    virtual void AfterExplicitIds(const std::string& table) = 0;
    // COPY … FROM STDIN: `sql` starts it, CopyData sends a piece of its text,
    // CopyEnd finishes it and returns the rows taken, CopyAbort abandons it.
    // Inline, so that the PostgreSQL engine's library needs nothing of this one.
    virtual void CopyBegin(std::string_view /*sql*/) {
        throw Error(21 /* SQLITE_MISUSE */, "this catalogue engine cannot stream rows (COPY)");
    }
    virtual void CopyData(std::string_view /*data*/) {}
    virtual std::int64_t CopyEnd() { return 0; }
    virtual void CopyAbort() noexcept {}
};

std::unique_ptr<ConnectionImpl> OpenSqlite(const std::string& path, OpenMode mode);

// The PostgreSQL engine is a library of its own, kPostgresBackendFile, the
// only part linked to libpq. It sits beside this library and is opened the
// first time a server catalogue is asked for, so that a process that only
// uses catalogue files never maps libpq and the TLS, Kerberos and LDAP
// libraries it pulls in. It is never closed: libpq and the TLS library keep
// process-wide state.
inline constexpr char kPostgresBackendFile[] = "libjdcatalogue-pg.so";
// The engine's one entry point, looked up by this name. It opens `uri`
// (shown in messages as `shownUri`, its password blanked) in OpenMode `mode`
// and throws Error on failure. The name carries the version of the classes
// above that the two libraries share: change it whenever ConnectionImpl,
// StatementImpl or Error change shape, so that an engine left over from
// another build is refused rather than called.
inline constexpr char kPostgresBackendEntry[] = "JdOpenPostgresCatalogue2";
using OpenPostgresBackendFn = ConnectionImpl* (*)(const char* uri, const char* shownUri, int mode);

// Opens `uri` through the engine beside this library; throws Error, with what
// is missing, when the engine or libpq cannot be loaded.
std::unique_ptr<ConnectionImpl> OpenPostgres(const std::string& uri, OpenMode mode);
// The same through the engine in `folder` (tests name a folder of their own).
std::unique_ptr<ConnectionImpl> OpenPostgresFrom(const std::string& folder, const std::string& uri, OpenMode mode);
// The folder this library was loaded from.
std::string EquipmentLibraryFolder();

}  // namespace jdsql
