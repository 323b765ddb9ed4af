// The embedded engine: the catalogue as one SQLite file. Every SQLite call
// of the library sits here.
#include <sqlite3.h>

#include "equipment/CatalogueConnection.h"

namespace jdsql {

namespace {

// How long a statement waits for another host's write to finish.
constexpr int kBusyTimeoutMs = 30000;
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

[[noreturn]] void ThrowLast(sqlite3* db, int resultCode, std::string_view context = {}) {
    const int code = db ? sqlite3_extended_errcode(db) : resultCode;
    throw Error(code ? code : resultCode, Describe(db, resultCode, context));
}

class SqliteStatement final : public StatementImpl {
public:
    SqliteStatement(sqlite3* db, std::string_view sqlView) : m_db(db) {
        const std::string sql(sqlView);
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()) + 1, &m_stmt, &tail);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            ThrowLast(db, rc);
        }
        if (!m_stmt) throw Error(SQLITE_MISUSE, "the statement text holds no statement");
        if (tail && !OnlyBlanksOrSemicolons(tail, sql.c_str() + sql.size())) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            throw Error(SQLITE_MISUSE, "the statement text holds more than one statement");
        }
    }
    ~SqliteStatement() override { sqlite3_finalize(m_stmt); }

    void BindInt64(int index, std::int64_t value) override { Check(sqlite3_bind_int64(m_stmt, index, value)); }
    void BindDouble(int index, double value) override { Check(sqlite3_bind_double(m_stmt, index, value)); }
    void BindText(int index, std::string_view utf8) override {
        Check(sqlite3_bind_text64(m_stmt, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    void BindNull(int index) override { Check(sqlite3_bind_null(m_stmt, index)); }
    bool Step() override {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        sqlite3_reset(m_stmt);
        ThrowLast(m_db, rc);
    }
    void Reset() override {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    bool IsReadOnly() const override { return sqlite3_stmt_readonly(m_stmt) != 0; }
    int ColumnCount() const override { return sqlite3_column_count(m_stmt); }
    std::string ColumnName(int column) const override {
        const char* name = sqlite3_column_name(m_stmt, column);
        return name ? name : "";
    }
    std::string ColumnDeclaredType(int column) const override {
        const char* type = sqlite3_column_decltype(m_stmt, column);
        return type ? type : "";
    }
    StorageClass ColumnStorage(int column) const override {
        return static_cast<StorageClass>(sqlite3_column_type(m_stmt, column));
    }
    std::int64_t ColumnInt64(int column) const override { return sqlite3_column_int64(m_stmt, column); }
    double ColumnDouble(int column) const override { return sqlite3_column_double(m_stmt, column); }
    std::string ColumnText(int column) const override {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        const int length = sqlite3_column_bytes(m_stmt, column);
        if (!text) return std::string();
        return std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }
    std::string_view ColumnTextView(int column) const override {
        const unsigned char* text = sqlite3_column_text(m_stmt, column);
        const int length = sqlite3_column_bytes(m_stmt, column);
        if (!text) return std::string_view();
        return std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(length));
    }

private:
    void Check(int rc) const {
        if (rc != SQLITE_OK) ThrowLast(m_db, rc);
    }

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// "file:" URI of a path with SQLite's immutable flag; '%', '?' and '#' are escaped.
std::string ImmutableUri(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        if (c == '%' || c == '?' || c == '#') {
            uri += '%';
            uri += kHex[static_cast<unsigned char>(c) >> 4];
            uri += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

class SqliteConnection final : public ConnectionImpl {
public:
    SqliteConnection(const std::string& path, OpenMode mode) {
        // No SQLITE_OPEN_CREATE: a mistyped path must not leave an empty catalogue behind.
        const bool readOnly = mode == OpenMode::ReadOnly;
        OpenFile(path, (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_FULLMUTEX);
        if (readOnly) {
            // A WAL catalogue needs its shared-memory file; in a folder we may
            // not write, SQLite cannot make one. Nobody can be writing there
            // through this folder, so the file is read as unchanging.
            try {
                SqliteStatement(m_db, "SELECT COUNT(*) FROM sqlite_schema").Step();
            } catch (const Error& error) {
                if ((error.code() & 0xFF) != SQLITE_READONLY) {
                    Close();
                    throw;
                }
                Close();
                OpenFile(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_FULLMUTEX);
            }
        }
        try {
            if (!readOnly) {
                // WAL: readers and one writer at a time, no torn file if a host
                // dies mid-write. The mode is stored in the file; asking again is free.
                SqliteStatement(m_db, "PRAGMA journal_mode=WAL").Step();
                // FULL: a committed catalogue change survives a power cut too.
                Execute("PRAGMA synchronous=FULL");
                Execute("PRAGMA foreign_keys=ON");
            }
        } catch (...) {
            Close();
            throw;
        }
    }
    ~SqliteConnection() override { Close(); }

    Engine engine() const override { return Engine::Sqlite; }

    void Execute(std::string_view sql) override {
        const std::string text(sql);
        char* message = nullptr;
        const int rc = sqlite3_exec(m_db, text.c_str(), nullptr, nullptr, &message);
        if (rc != SQLITE_OK) {
            std::string description = message ? message : sqlite3_errstr(rc);
            sqlite3_free(message);
            throw Error(sqlite3_extended_errcode(m_db), description);
        }
    }
    std::unique_ptr<StatementImpl> Prepare(std::string_view sql, bool /*readOnly*/) override {
        return std::make_unique<SqliteStatement>(m_db, sql);
    }
    void BeginWrite() override { Execute("BEGIN IMMEDIATE"); }
    void Commit() override { Execute("COMMIT"); }
    void Rollback() noexcept override { sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr); }
    int Changes() const override { return sqlite3_changes(m_db); }

    long long SchemaVersion() override {
        SqliteStatement version(m_db, "PRAGMA user_version");
        return version.Step() ? version.ColumnInt64(0) : -1;
    }
    bool HasTable(const std::string& table) override {
        SqliteStatement probe(m_db, "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ? COLLATE NOCASE");
        probe.BindText(1, table);
        return probe.Step();
    }
    std::vector<TableColumn> TableColumns(const std::string& table) override {
        std::vector<TableColumn> columns;
        SqliteStatement info(m_db, "SELECT name, type, \"notnull\" FROM pragma_table_info(?)");
        info.BindText(1, table);
        while (info.Step()) columns.push_back(TableColumn{info.ColumnText(0), info.ColumnText(1), info.ColumnInt64(2) != 0});
        return columns;
    }
    // AUTOINCREMENT keeps the largest ID ever used in sqlite_sequence, explicit ones included.
    void AfterExplicitIds(const std::string& /*table*/) override {}

private:
    void OpenFile(const std::string& name, int flags) {
        const int rc = sqlite3_open_v2(name.c_str(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK) {
            const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
            const std::string text = Describe(m_db, rc, name);
            Close();
            throw Error(code, text);
        }
        sqlite3_extended_result_codes(m_db, 1);
        const int busy = sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        if (busy != SQLITE_OK) {
            const std::string text = Describe(m_db, busy, name);
            Close();
            throw Error(busy, text);
        }
    }
    void Close() noexcept {
        // Every statement is owned by a Statement that finalises it, so the
        // plain close succeeds; close_v2 keeps us safe if one were left over.
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }

    sqlite3* m_db = nullptr;
};

}  // namespace

std::unique_ptr<ConnectionImpl> OpenSqlite(const std::string& path, OpenMode mode) {
    return std::make_unique<SqliteConnection>(path, mode);
}

}  // namespace jdsql
