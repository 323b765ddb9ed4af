#include "equipment/SqliteHandles.h"

#include <sqlite3.h>

namespace jdsql {

namespace {

std::string Describe(sqlite3* db, int resultCode, std::string_view context) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode);
    if (!context.empty()) {
        text += " (";
        text += context;
        text += ")";
    }
    return text;
}

bool OnlyBlanksOrSemicolons(const char* text, const char* end) {
    for (const char* p = text; p < end; ++p) {
        const char c = *p;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != ';') return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- Connection

Connection::~Connection() { Close(); }

void Connection::Open(const std::string& path, int flags) {
    Close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        const std::string text = Describe(db, rc, path);
        sqlite3_close_v2(db);
        throw SqliteError(code, text);
    }
    sqlite3_extended_result_codes(db, 1);
    m_db = db;
    m_path = path;
}

void Connection::Close() noexcept {
    if (m_db) {
        // Every statement is owned by a Statement that finalises it, so the
        // plain close succeeds; close_v2 keeps us safe if one were left over.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_path.clear();
}

void Connection::ThrowLastError(int resultCode, std::string_view context) const {
    const int code = m_db ? sqlite3_extended_errcode(m_db) : resultCode;
    throw SqliteError(code ? code : resultCode, Describe(m_db, resultCode, context));
}

void Connection::Execute(std::string_view sql) {
    if (!m_db) throw SqliteError(SQLITE_MISUSE, "the catalogue connection is not open");
    const std::string text(sql);
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        std::string description = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw SqliteError(sqlite3_extended_errcode(m_db), description);
    }
}

std::string Connection::QueryText(std::string_view sql) {
    Statement statement(*this, sql);
    if (!statement.Step()) return std::string();
    return statement.ColumnText(0);
}

void Connection::SetBusyTimeout(int milliseconds) {
    if (!m_db) throw SqliteError(SQLITE_MISUSE, "the catalogue connection is not open");
    const int rc = sqlite3_busy_timeout(m_db, milliseconds);
    if (rc != SQLITE_OK) ThrowLastError(rc);
}

std::int64_t Connection::LastInsertRowId() const { return m_db ? sqlite3_last_insert_rowid(m_db) : 0; }

int Connection::Changes() const { return m_db ? sqlite3_changes(m_db) : 0; }

// ---------------------------------------------------------------- Statement

Statement::Statement(Connection& connection, std::string_view sql) : m_connection(connection), m_sql(sql) {
    if (!connection.IsOpen()) throw SqliteError(SQLITE_MISUSE, "the catalogue connection is not open");
    if (m_sql.find('\0') != std::string::npos) {
        throw SqliteError(SQLITE_MISUSE, "the statement text contains a zero byte");
    }
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(connection.handle(), m_sql.c_str(), static_cast<int>(m_sql.size()) + 1,
                                      &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        connection.ThrowLastError(rc);
    }
    if (!m_stmt) throw SqliteError(SQLITE_MISUSE, "the statement text holds no statement");
    if (tail && !OnlyBlanksOrSemicolons(tail, m_sql.c_str() + m_sql.size())) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        throw SqliteError(SQLITE_MISUSE, "the statement text holds more than one statement");
    }
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

void Statement::Throw(int resultCode) const { m_connection.ThrowLastError(resultCode); }

Statement& Statement::Bind(int index, std::int64_t value) {
    const int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK) Throw(rc);
    return *this;
}

Statement& Statement::Bind(int index, double value) {
    const int rc = sqlite3_bind_double(m_stmt, index, value);
    if (rc != SQLITE_OK) Throw(rc);
    return *this;
}

Statement& Statement::BindText(int index, std::string_view utf8) {
    const int rc = sqlite3_bind_text64(m_stmt, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    if (rc != SQLITE_OK) Throw(rc);
    return *this;
}

Statement& Statement::BindNull(int index) {
    const int rc = sqlite3_bind_null(m_stmt, index);
    if (rc != SQLITE_OK) Throw(rc);
    return *this;
}

bool Statement::Step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    sqlite3_reset(m_stmt);
    Throw(rc);
}

void Statement::Reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Statement::Run() {
    while (Step()) {
    }
}

bool Statement::IsReadOnly() const { return sqlite3_stmt_readonly(m_stmt) != 0; }

int Statement::ColumnCount() const { return sqlite3_column_count(m_stmt); }

std::string Statement::ColumnName(int column) const {
    const char* name = sqlite3_column_name(m_stmt, column);
    return name ? name : "";
}

std::string Statement::ColumnDeclaredType(int column) const {
    const char* type = sqlite3_column_decltype(m_stmt, column);
    return type ? type : "";
}

StorageClass Statement::ColumnStorage(int column) const {
    return static_cast<StorageClass>(sqlite3_column_type(m_stmt, column));
}

std::int64_t Statement::ColumnInt64(int column) const { return sqlite3_column_int64(m_stmt, column); }

double Statement::ColumnDouble(int column) const { return sqlite3_column_double(m_stmt, column); }

std::string Statement::ColumnText(int column) const {
    const unsigned char* text = sqlite3_column_text(m_stmt, column);
    const int length = sqlite3_column_bytes(m_stmt, column);
    if (!text) return std::string();
    return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Connection& connection) : m_connection(connection) {
    m_connection.Execute("BEGIN IMMEDIATE");
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open && m_connection.IsOpen()) {
        sqlite3_exec(m_connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::Commit() {
    m_connection.Execute("COMMIT");
    m_open = false;
}

}  // namespace jdsql
