// The shared engine: the catalogue on a PostgreSQL server, through libpq.
// Every libpq call sits here. This file is a library of its own, opened by
// the equipment library only when a server catalogue is asked for
// (CatalogueConnection.h); it uses nothing of the equipment library but the
// header's inline parts, so that it loads into any process that has it.
//
// Statements are sent with the extended protocol (PQexecParams), which takes
// exactly one statement, with every parameter as text and its type left for
// the server to infer from where it stands, as SQLite's column affinity does.
// Results are read whole, as the record sets want them. Many rows go in
// through COPY (CopyStream), in one exchange.
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "equipment/CatalogueConnection.h"

namespace jdsql {

namespace {

// The type OIDs of the server's built-in types we convert by (pg_type.h).
constexpr Oid kBoolOid = 16, kByteaOid = 17, kInt8Oid = 20, kInt2Oid = 21, kInt4Oid = 23, kTextOid = 25,
              kOidOid = 26, kFloat4Oid = 700, kFloat8Oid = 701, kBpcharOid = 1042, kVarcharOid = 1043,
              kDateOid = 1082, kTimeOid = 1083, kTimestampOid = 1114, kTimestamptzOid = 1184, kNumericOid = 1700;

// The key of the catalogue's write lock (an advisory lock, held to the end of
// the writing transaction): every host's writes to one database queue on it.
constexpr long long kWriteLockKey = 7419250611LL;

// PostgreSQL folds unquoted names to lower case; the catalogue's columns are
// named in CamelCase, which exports and messages keep on both engines.
const char* const kCanonicalNames[] = {
    "ID", "Model", "Type", "Capacity", "HVoltage", "LVoltage", "HCurrent", "LCurrent", "EmptyLose",
    "ShortcutLose", "RXPercent", "TransR", "TransX", "LinkGroup", "Voltage", "RCurrent", "IsThemalProtect",
    "ReleaseCurrent", "MCurrent", "IsElectricProtect", "LongMultiple", "ShortMultiple", "MSMulti", "CutCurrent",
    "MaxCurrent", "MaxVoltage", "SCurrent", "ValidCurrent", "Reserved1", "DeviceNumber", "DeviceName",
    "Manufacturer", "FactoryNumber", "FactoryDate", "FirstUseDate", "Department", "Place", "Features",
    "Certificate", "Reserved13", "ListName", "Position", "Item", "Name", "Value", "Version"};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Canonical(const std::string& name) {
    for (const char* known : kCanonicalNames) {
        if (Lower(known) == name) return known;
    }
    return name;
}

// The declared type in SQLite's spelling, so that ReadField converts alike.
std::string TypeName(Oid type) {
    switch (type) {
    case kInt2Oid:
    case kInt4Oid:
    case kInt8Oid:
    case kOidOid: return "INTEGER";
    case kBoolOid: return "BOOLEAN";
    case kFloat4Oid:
    case kFloat8Oid: return "REAL";
    case kNumericOid: return "NUMERIC";
    case kTextOid:
    case kVarcharOid:
    case kBpcharOid: return "TEXT";
    case kDateOid: return "DATE";
    case kTimeOid: return "TIME";
    case kTimestampOid:
    case kTimestamptzOid: return "DATETIME";
    case kByteaOid: return "BLOB";
    default: return "";
    }
}

std::string SchemaTypeName(const std::string& dataType) {
    if (dataType == "bigint" || dataType == "integer" || dataType == "smallint") return "INTEGER";
    if (dataType == "double precision" || dataType == "real") return "REAL";
    if (dataType == "boolean") return "BOOLEAN";
    if (dataType == "numeric") return "NUMERIC";
    if (dataType == "bytea") return "BLOB";
    if (dataType.rfind("timestamp", 0) == 0) return "DATETIME";
    if (dataType == "date") return "DATE";
    return "TEXT";
}

// "?" and "?N" to "$N", outside quoted texts, quoted names and comments.
std::string TranslatePlaceholders(std::string_view sql) {
    std::string out;
    out.reserve(sql.size() + 8);
    int next = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"') {
            const size_t end = sql.find(c, i + 1);
            const size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
            out.append(sql.substr(i, stop - i));
            i = stop - 1;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            const size_t stop = end == std::string_view::npos ? sql.size() : end;
            out.append(sql.substr(i, stop - i));
            i = stop - 1;
        } else if (c == '?') {
            size_t j = i + 1;
            while (j < sql.size() && std::isdigit(static_cast<unsigned char>(sql[j]))) ++j;
            if (j > i + 1) {
                out += '$';
                out.append(sql.substr(i + 1, j - i - 1));
                next = std::max(next, std::atoi(std::string(sql.substr(i + 1, j - i - 1)).c_str()));
                i = j - 1;
            } else {
                out += '$' + std::to_string(++next);
            }
        } else {
            out += c;
        }
    }
    return out;
}

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

std::string TrimEnd(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

class PostgresConnection;

class PostgresStatement final : public StatementImpl {
public:
    PostgresStatement(PostgresConnection& connection, std::string_view sql, bool readOnly)
        : m_connection(connection), m_sql(TranslatePlaceholders(sql)), m_readOnly(readOnly) {}

    void BindInt64(int index, std::int64_t value) override { Set(index, std::to_string(value)); }
    void BindDouble(int index, double value) override {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", value);
        Set(index, text);
    }
    void BindText(int index, std::string_view utf8) override { Set(index, std::string(utf8)); }
    void BindNull(int index) override { Set(index, std::nullopt); }

    bool Step() override {
        Run();
        ++m_row;
        return m_row < PQntuples(m_result.get());
    }
    void Reset() override {
        m_result.reset();
        m_row = -1;
        m_params.clear();
    }
    bool IsReadOnly() const override { return m_readOnly; }
    int ColumnCount() const override {
        Run();
        return PQnfields(m_result.get());
    }
    std::string ColumnName(int column) const override {
        Run();
        const char* name = PQfname(m_result.get(), column);
        return name ? Canonical(name) : "";
    }
    std::string ColumnDeclaredType(int column) const override {
        Run();
        return TypeName(PQftype(m_result.get(), column));
    }
    StorageClass ColumnStorage(int column) const override {
        if (!HasRow() || PQgetisnull(m_result.get(), m_row, column)) return StorageClass::Null;
        switch (PQftype(m_result.get(), column)) {
        case kInt2Oid:
        case kInt4Oid:
        case kInt8Oid:
        case kOidOid:
        case kBoolOid: return StorageClass::Integer;
        case kFloat4Oid:
        case kFloat8Oid: return StorageClass::Real;
        case kNumericOid: {
            // As SQLite's NUMERIC affinity: whole numbers are integers.
            const std::string text = Raw(column);
            return text.find_first_of(".eEN") == std::string::npos && text.size() < 19 ? StorageClass::Integer
                                                                                         : StorageClass::Real;
        }
        case kByteaOid: return StorageClass::Blob;
        default: return StorageClass::Text;
        }
    }
    std::int64_t ColumnInt64(int column) const override {
        if (ColumnStorage(column) == StorageClass::Null) return 0;
        const std::string text = Raw(column);
        if (PQftype(m_result.get(), column) == kBoolOid) return text == "t" ? 1 : 0;
        if (ColumnStorage(column) == StorageClass::Real) return static_cast<std::int64_t>(std::strtod(text.c_str(), nullptr));
        return std::strtoll(text.c_str(), nullptr, 10);
    }
    double ColumnDouble(int column) const override {
        if (ColumnStorage(column) == StorageClass::Null) return 0.0;
        if (PQftype(m_result.get(), column) == kBoolOid) return Raw(column) == "t" ? 1.0 : 0.0;
        return std::strtod(Raw(column).c_str(), nullptr);
    }
    std::string ColumnText(int column) const override {
        switch (ColumnStorage(column)) {
        case StorageClass::Null: return std::string();
        case StorageClass::Blob: {
            size_t length = 0;
            unsigned char* bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char*>(PQgetvalue(m_result.get(), m_row, column)), &length);
            if (!bytes) return std::string();
            std::string value(reinterpret_cast<const char*>(bytes), length);
            PQfreemem(bytes);
            return value;
        }
        default:
            if (PQftype(m_result.get(), column) == kBoolOid) return Raw(column) == "t" ? "1" : "0";
            return Raw(column);
        }
    }

    std::string_view ColumnTextView(int column) const override {
        // Plain texts are read where the result holds them; bytes and flags need converting.
        const StorageClass storage = ColumnStorage(column);
        if (storage == StorageClass::Null || storage == StorageClass::Blob ||
            PQftype(m_result.get(), column) == kBoolOid)
            return StatementImpl::ColumnTextView(column);
        return std::string_view(PQgetvalue(m_result.get(), m_row, column),
                                static_cast<size_t>(PQgetlength(m_result.get(), m_row, column)));
    }

private:
    void Set(int index, std::optional<std::string> value) {
        if (index < 1 || index > 32766) throw Error(SQLITE_RANGE, "parameter " + std::to_string(index) + " is out of range");
        if (m_result) {
            m_result.reset();
            m_row = -1;
        }
        if (static_cast<size_t>(index) > m_params.size()) m_params.resize(static_cast<size_t>(index));
        m_params[static_cast<size_t>(index) - 1] = std::move(value);
    }
    bool HasRow() const { return m_result && m_row >= 0 && m_row < PQntuples(m_result.get()); }
    std::string Raw(int column) const {
        return std::string(PQgetvalue(m_result.get(), m_row, column),
                           static_cast<size_t>(PQgetlength(m_result.get(), m_row, column)));
    }
    void Run() const;

    PostgresConnection& m_connection;
    std::string m_sql;
    bool m_readOnly;
    std::vector<std::optional<std::string>> m_params;
    mutable Result m_result;
    mutable int m_row = -1;
};

class PostgresConnection final : public ConnectionImpl {
public:
    PostgresConnection(const char* uri, const char* shownUri, OpenMode mode) {
        if (mode == OpenMode::NewFile) throw Error(SQLITE_MISUSE, "a PostgreSQL catalogue is not a file");
        m_conn = PQconnectdb(uri);
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            const std::string message = m_conn ? TrimEnd(PQerrorMessage(m_conn)) : "out of memory";
            PQfinish(m_conn);
            m_conn = nullptr;
            throw Error(PackSqlState("08001"), "cannot connect to the catalogue server " + std::string(shownUri) + ": " + message);
        }
        try {
            if (PQsetClientEncoding(m_conn, "UTF8") != 0) Fail(nullptr, "setting the text encoding to UTF-8");
            Execute("SET datestyle = ISO; SET extra_float_digits = 1");
            if (mode == OpenMode::ReadOnly) Execute("SET default_transaction_read_only = on");
        } catch (...) {
            PQfinish(m_conn);
            m_conn = nullptr;
            throw;
        }
    }
    ~PostgresConnection() override { PQfinish(m_conn); }

    Engine engine() const override { return Engine::Postgres; }

    // Runs `sql` with the extended protocol; throws on failure.
    Result Exec(const std::string& sql, const std::vector<std::optional<std::string>>& params) {
        std::vector<const char*> values;
        for (const auto& value : params) values.push_back(value ? value->c_str() : nullptr);
        Result result(PQexecParams(m_conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                   nullptr, nullptr, 0));
        Check(result.get(), sql);
        const char* changed = PQcmdTuples(result.get());
        if (changed && *changed) m_changes = std::atoi(changed);
        return result;
    }

    void Execute(std::string_view sql) override {
        // The simple protocol: a schema script of many statements runs in one call.
        Result result(PQexec(m_conn, std::string(sql).c_str()));
        Check(result.get(), sql);
    }
    std::unique_ptr<StatementImpl> Prepare(std::string_view sql, bool readOnly) override {
        if (!m_conn) throw Error(SQLITE_MISUSE, "the catalogue connection is not open");
        return std::make_unique<PostgresStatement>(*this, sql, readOnly);
    }
    void BeginWrite() override {
        Execute("BEGIN");
        try {
            Exec("SELECT pg_advisory_xact_lock(" + std::to_string(kWriteLockKey) + ")", {});
        } catch (...) {
            Rollback();
            throw;
        }
    }
    void Commit() override { Execute("COMMIT"); }
    void Rollback() noexcept override {
        if (m_conn && PQstatus(m_conn) == CONNECTION_OK && PQtransactionStatus(m_conn) != PQTRANS_IDLE) {
            PQclear(PQexec(m_conn, "ROLLBACK"));
        }
    }
    int Changes() const override { return m_changes; }
    bool InTransaction() const { return PQtransactionStatus(m_conn) != PQTRANS_IDLE; }

    long long SchemaVersion() override {
        if (!HasTable("SchemaVersion")) return -1;
        Result version = Exec("SELECT MAX(Version) FROM SchemaVersion", {});
        if (PQntuples(version.get()) == 0 || PQgetisnull(version.get(), 0, 0)) return -1;
        return std::strtoll(PQgetvalue(version.get(), 0, 0), nullptr, 10);
    }
    bool HasTable(const std::string& table) override {
        Result found = Exec("SELECT 1 FROM information_schema.tables WHERE table_schema = current_schema() "
                            "AND table_name = lower($1)",
                            {table});
        return PQntuples(found.get()) > 0;
    }
    std::vector<TableColumn> TableColumns(const std::string& table) override {
        // An identity column is filled when left out: no value is required there, as on SQLite.
        Result info = Exec("SELECT column_name, data_type, CASE WHEN is_identity = 'YES' THEN 'YES' ELSE is_nullable END "
                           "FROM information_schema.columns "
                           "WHERE table_schema = current_schema() AND table_name = lower($1) ORDER BY ordinal_position",
                           {table});
        std::vector<TableColumn> columns;
        for (int r = 0; r < PQntuples(info.get()); ++r) {
            columns.push_back(TableColumn{Canonical(PQgetvalue(info.get(), r, 0)),
                                          SchemaTypeName(PQgetvalue(info.get(), r, 1)),
                                          std::strcmp(PQgetvalue(info.get(), r, 2), "NO") == 0});
        }
        return columns;
    }
    void AfterExplicitIds(const std::string& table) override {
        Result sequence = Exec("SELECT pg_get_serial_sequence($1, 'id') FROM information_schema.columns "
                               "WHERE table_schema = current_schema() AND table_name = $1 AND column_name = 'id'",
                               {Lower(table)});
        if (PQntuples(sequence.get()) == 0 || PQgetisnull(sequence.get(), 0, 0)) return;
        const std::string name = PQgetvalue(sequence.get(), 0, 0);
        // The sequence's name comes from the server and the table's from our own constants.
        Result state = Exec("SELECT (SELECT COALESCE(MAX(ID), 0) FROM " + table + "), last_value, is_called FROM " + name, {});
        const long long largest = std::strtoll(PQgetvalue(state.get(), 0, 0), nullptr, 10);
        const long long last = std::strtoll(PQgetvalue(state.get(), 0, 1), nullptr, 10);
        const bool called = std::strcmp(PQgetvalue(state.get(), 0, 2), "t") == 0;
        if (largest > (called ? last : 0)) Exec("SELECT setval($1, $2, true)", {name, std::to_string(largest)});
    }

    void CopyBegin(std::string_view sql) override {
        Result result(PQexec(m_conn, std::string(sql).c_str()));
        if (!result || PQresultStatus(result.get()) != PGRES_COPY_IN) {
            Check(result.get(), sql);
            throw Error(SQLITE_MISUSE, "the server did not start taking rows for " + std::string(sql));
        }
        m_copying = true;
    }
    void CopyData(std::string_view data) override {
        if (PQputCopyData(m_conn, data.data(), static_cast<int>(data.size())) != 1) Fail(nullptr, "COPY");
    }
    std::int64_t CopyEnd() override {
        m_copying = false;
        if (PQputCopyEnd(m_conn, nullptr) != 1) {
            Drain();
            Fail(nullptr, "COPY");
        }
        Result result(PQgetResult(m_conn));
        Drain();
        Check(result.get(), "COPY");
        const char* taken = PQcmdTuples(result.get());
        m_changes = taken && *taken ? std::atoi(taken) : 0;
        return std::strtoll(taken ? taken : "0", nullptr, 10);
    }
    void CopyAbort() noexcept override {
        if (!m_copying) return;
        m_copying = false;
        // The server answers an abandoned COPY with an error, which leaves the
        // transaction refusing everything until it is rolled back.
        if (m_conn && PQputCopyEnd(m_conn, "the rows were abandoned") == 1) Drain();
    }

private:
    friend class PostgresStatement;

    // Reads the results still due, so that the connection takes the next statement.
    void Drain() noexcept {
        while (PGresult* rest = PQgetResult(m_conn)) PQclear(rest);
    }

    void Check(PGresult* result, std::string_view sql) {
        const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY) return;
        Fail(result, sql);
    }

    [[noreturn]] void Fail(PGresult* result, std::string_view context) {
        if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
            // The server went away: it rolls back whatever was not committed.
            throw Error(PackSqlState("08006"), "the connection to the catalogue server was lost: " +
                                                   TrimEnd(m_conn ? PQerrorMessage(m_conn) : "") +
                                                   "; nothing of the unfinished change was written");
        }
        const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
        const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        const char* detail = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr;
        std::string message = primary ? primary : TrimEnd(PQerrorMessage(m_conn));
        if (detail) message += std::string(" (") + detail + ")";
        (void)context;
        throw Error(PackSqlState(state ? state : "XX000"), message);
    }

    PGconn* m_conn = nullptr;
    int m_changes = 0;
    bool m_copying = false;
};

void PostgresStatement::Run() const {
    if (m_result) return;
    // A record set's query runs where it cannot write: the server refuses a
    // statement that would change the catalogue.
    const bool wrap = m_readOnly && !m_connection.InTransaction();
    if (wrap) m_connection.Execute("BEGIN READ ONLY");
    try {
        m_result = m_connection.Exec(m_sql, m_params);
        if (wrap) m_connection.Execute("COMMIT");
    } catch (...) {
        if (wrap) m_connection.Rollback();
        throw;
    }
    m_row = -1;
}

}  // namespace

}  // namespace jdsql

// The engine's entry point (kPostgresBackendEntry); the caller owns the connection.
extern "C" __attribute__((visibility("default"))) jdsql::ConnectionImpl* JdOpenPostgresCatalogue2(const char* uri,
                                                                                               const char* shownUri,
                                                                                               int mode) {
    return new jdsql::PostgresConnection(uri, shownUri, static_cast<jdsql::OpenMode>(mode));
}
