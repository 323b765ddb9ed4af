#include "equipment/CatalogueCsv.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

#include "equipment/ADODatabase.h"
#include "equipment/CatalogueFile.h"
#include "equipment/CatalogueText.h"
#include "equipment/JDBase.h"
#include "equipment/CatalogueConnection.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace jdcat {

namespace {

// Collects the boxes the catalogue layer shows while it opens, so that a
// command-line caller gets their text as an error instead of a dialog.
class CollectingMessages : public IMessageService {
public:
    int Show(const CString& text, const CString& /*caption*/, UINT type) override {
        std::string utf8;
        if (!TryGbkToUtf8(text.view(), utf8)) utf8 = text.str();
        if (!m_text.empty()) m_text += "\n";
        m_text += utf8;
        return MessageBoxDefaultAnswer(type);
    }
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

// An open catalogue connection for one operation.
class OpenCatalogue {
public:
    explicit OpenCatalogue(bool readOnly = false) {
        CollectingMessages messages;
        MessageServiceScope scope(messages);
        m_database.SetReadOnly(readOnly);
        if (!OpenJDDatabase(&m_database)) {
            CloseJDDatabase(&m_database);
            const std::string path = jdsql::RedactTarget(ResolveCataloguePath());
            throw CatalogueError("cannot open the catalogue " + (path.empty() ? std::string("(no path)") : path) +
                                 (messages.text().empty() ? std::string() : ": " + messages.text()));
        }
    }
    ~OpenCatalogue() { CloseJDDatabase(&m_database); }
    OpenCatalogue(const OpenCatalogue&) = delete;
    OpenCatalogue& operator=(const OpenCatalogue&) = delete;
    jdsql::Connection& connection() { return *m_database.GetConnection(); }

private:
    CADODatabase m_database;
};

struct ColumnInfo {
    std::string name;
    std::string type;
    bool notNull = false;
};

std::vector<ColumnInfo> Columns(jdsql::Connection& connection, Kind kind) {
    std::vector<ColumnInfo> columns;
    for (const jdsql::TableColumn& column : connection.TableColumns(TableName(kind)))
        columns.push_back(ColumnInfo{column.name, column.type, column.notNull});
    return columns;
}

std::string JoinNames(const std::vector<std::string>& names, const char* each = "") {
    std::string joined;
    for (const std::string& name : names) {
        if (!joined.empty()) joined += ", ";
        joined += name + each;
    }
    return joined;
}

std::string RealText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strtod(text, nullptr) != value) std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

bool NeedsQuotes(const std::string& text) {
    if (text.empty()) return true;  // an empty text, as opposed to NULL
    if (text.front() == ' ' || text.back() == ' ' || text.front() == '\t' || text.back() == '\t') return true;
    return text.find_first_of(",\"\r\n") != std::string::npos;
}

std::string CsvField(const Value& value) {
    if (!value) return std::string();
    if (!NeedsQuotes(*value)) return *value;
    std::string quoted = "\"";
    for (char c : *value) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

enum class ValueKind { Integer, Real, Boolean, Text };

ValueKind KindOfType(std::string type) {
    for (char& c : type) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (type.find("INT") != std::string::npos) return ValueKind::Integer;
    if (type.find("BOOL") != std::string::npos) return ValueKind::Boolean;
    if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
        type.find("DOUB") != std::string::npos)
        return ValueKind::Real;
    return ValueKind::Text;
}

// A checked value of one field, ready to bind.
struct Bound {
    enum { Null, Int, Real, Text } how = Null;
    long long integer = 0;
    double real = 0.0;
    std::string text;
};

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

constexpr long long kMaxModelId = 2147483647;

Bound Check(const Value& field, const ColumnInfo& column, const std::string& where) {
    Bound bound;
    if (!field) {
        if (column.notNull) throw CsvInputError(where + ": a value is required");
        return bound;
    }
    const std::string& text = *field;
    switch (KindOfType(column.type)) {
    case ValueKind::Integer: {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (text.empty() || *end != '\0' || errno == ERANGE || std::isspace(static_cast<unsigned char>(text[0])))
            throw CsvInputError(where + ": " + Quote(text) + " is not a whole number");
        // Drawings keep model IDs in 32-bit fields: a larger one could never be read back.
        if (column.name == "ID" && (value <= 0 || value > kMaxModelId))
            throw CsvInputError(where + ": an ID must be a whole number from 1 to " + std::to_string(kMaxModelId) +
                                ", not " + text);
        bound.how = Bound::Int;
        bound.integer = value;
        return bound;
    }
    case ValueKind::Boolean:
        if (text != "0" && text != "1") throw CsvInputError(where + ": " + Quote(text) + " is not 0 or 1");
        bound.how = Bound::Int;
        bound.integer = text == "1" ? 1 : 0;
        return bound;
    case ValueKind::Real: {
        // Plain decimal notation only: "0x10", "nan" and "inf" would pass strtod.
        double value = 0.0;
        if (text.empty() || std::isspace(static_cast<unsigned char>(text.front())) ||
            std::isspace(static_cast<unsigned char>(text.back())) || !ParseExchangeDouble(text.c_str(), value))
            throw CsvInputError(where + ": " + Quote(text) + " is not a number");
        bound.how = Bound::Real;
        bound.real = value;
        return bound;
    }
    case ValueKind::Text: {
        const std::string problem = jdlib::CatalogueTextProblemUtf8(text);
        if (!problem.empty()) throw CsvInputError(where + ": " + problem);
        if (column.notNull && text.empty()) throw CsvInputError(where + ": a value is required");
        bound.how = Bound::Text;
        bound.text = text;
        return bound;
    }
    }
    return bound;
}

void Bind(jdsql::Statement& statement, int index, const Bound& value) {
    switch (value.how) {
    case Bound::Null: statement.BindNull(index); break;
    case Bound::Int: statement.Bind(index, static_cast<std::int64_t>(value.integer)); break;
    case Bound::Real: statement.Bind(index, value.real); break;
    case Bound::Text: statement.BindText(index, value.text); break;
    }
}

}  // namespace

std::optional<Kind> ParseKind(std::string_view name) {
    if (name == "transformer") return Kind::Transformer;
    if (name == "feeder") return Kind::Feeder;
    if (name == "hv") return Kind::HighVoltage;
    return std::nullopt;
}

const char* KindName(Kind kind) {
    switch (kind) {
    case Kind::Transformer: return "transformer";
    case Kind::Feeder: return "feeder";
    case Kind::HighVoltage: return "hv";
    }
    return "";
}

const char* TableName(Kind kind) {
    switch (kind) {
    case Kind::Transformer: return "Para_Transformer";
    case Kind::Feeder: return "Para_AutomaticSwitch";
    case Kind::HighVoltage: return "Para_HighVoltageSwitch";
    }
    return "";
}

std::vector<Kind> AllKinds() { return {Kind::Transformer, Kind::Feeder, Kind::HighVoltage}; }

Table ReadTable(Kind kind, std::optional<long long> id) {
    // Listing, showing and exporting only read: a catalogue in a folder the
    // user may not write (a shared, read-only copy) must still be readable.
    OpenCatalogue catalogue(true);
    try {
        Table table;
        for (const ColumnInfo& column : Columns(catalogue.connection(), kind)) {
            table.columns.push_back(column.name);
            table.types.push_back(column.type);
        }
        std::string sql = "SELECT " + JoinNames(table.columns) + " FROM " + TableName(kind);
        if (id) sql += " WHERE ID = ?";
        sql += " ORDER BY ID";
        jdsql::Statement query(catalogue.connection(), sql);
        if (id) query.Bind(1, static_cast<std::int64_t>(*id));
        while (query.Step()) {
            std::vector<Value> row;
            for (int c = 0; c < query.ColumnCount(); ++c) {
                switch (query.ColumnStorage(c)) {
                case jdsql::StorageClass::Null: row.emplace_back(std::nullopt); break;
                case jdsql::StorageClass::Integer: row.emplace_back(std::to_string(query.ColumnInt64(c))); break;
                case jdsql::StorageClass::Real: row.emplace_back(RealText(query.ColumnDouble(c))); break;
                default: row.emplace_back(query.ColumnText(c)); break;
                }
            }
            table.rows.push_back(std::move(row));
        }
        return table;
    } catch (const jdsql::SqliteError& failure) {
        throw CatalogueError(std::string("cannot read ") + TableName(kind) + ": " + failure.what());
    }
}

std::string FormatCsv(const Table& table) {
    std::string text;
    for (size_t c = 0; c < table.columns.size(); ++c) text += (c ? "," : "") + CsvField(table.columns[c]);
    text += "\n";
    for (const std::vector<Value>& row : table.rows) {
        for (size_t c = 0; c < row.size(); ++c) text += (c ? "," : "") + CsvField(row[c]);
        text += "\n";
    }
    return text;
}

ImportResult ImportCsv(Kind kind, const std::string& csvText, const std::string& fileName, bool replaceAll) {
    std::vector<jdlib::CsvRecord> records;
    try {
        records = jdlib::ParseCsv(csvText, fileName);
    } catch (const std::runtime_error& failure) {
        throw CsvInputError(failure.what());
    }
    if (records.empty()) throw CsvInputError(fileName + ": the file is empty; the first line must name the columns");

    OpenCatalogue catalogue;
    jdsql::Connection& connection = catalogue.connection();
    std::vector<ColumnInfo> tableColumns;
    try {
        tableColumns = Columns(connection, kind);
    } catch (const jdsql::SqliteError& failure) {
        throw CatalogueError(std::string("cannot read ") + TableName(kind) + ": " + failure.what());
    }

    // The header: known columns, each once.
    const jdlib::CsvRecord& header = records.front();
    std::vector<ColumnInfo> columns;
    std::set<std::string> seen;
    for (size_t c = 0; c < header.fields.size(); ++c) {
        const std::string name = header.fields[c].value_or("");
        const std::string where = fileName + ":" + std::to_string(header.line) + ": column " + std::to_string(c + 1);
        auto found = std::find_if(tableColumns.begin(), tableColumns.end(),
                                  [&](const ColumnInfo& column) { return column.name == name; });
        if (found == tableColumns.end()) {
            std::vector<std::string> known;
            for (const ColumnInfo& column : tableColumns) known.push_back(column.name);
            throw CsvInputError(where + ": unknown column " + Quote(name) + " (" + TableName(kind) + " has " +
                                JoinNames(known) + ")");
        }
        if (!seen.insert(name).second) throw CsvInputError(where + ": column " + Quote(name) + " is named twice");
        columns.push_back(*found);
    }
    for (const ColumnInfo& column : tableColumns) {
        if (column.notNull && !seen.count(column.name))
            throw CsvInputError(fileName + ":" + std::to_string(header.line) + ": the column " + column.name +
                                " is required");
    }
    const auto idColumn = std::find_if(columns.begin(), columns.end(), [](const ColumnInfo& c) { return c.name == "ID"; });
    const size_t idIndex = static_cast<size_t>(idColumn - columns.begin());

    // Every row checked before anything is written.
    std::vector<std::vector<Bound>> rows;
    std::set<long long> ids;
    for (size_t r = 1; r < records.size(); ++r) {
        const jdlib::CsvRecord& record = records[r];
        const std::string rowWhere = fileName + ":" + std::to_string(record.line) + ": row " + std::to_string(r);
        if (record.fields.size() != columns.size())
            throw CsvInputError(rowWhere + ": " + std::to_string(record.fields.size()) + " fields, the header has " +
                                std::to_string(columns.size()));
        std::vector<Bound> row;
        for (size_t c = 0; c < columns.size(); ++c)
            row.push_back(Check(record.fields[c], columns[c], rowWhere + ", column " + columns[c].name));
        if (idIndex < columns.size() && row[idIndex].how == Bound::Int && !ids.insert(row[idIndex].integer).second)
            throw CsvInputError(rowWhere + ", column ID: the ID " + std::to_string(row[idIndex].integer) +
                                " occurs twice in the file");
        rows.push_back(std::move(row));
    }

    ImportResult result;
    try {
        jdsql::Transaction transaction(connection);
        const std::string table = TableName(kind);
        if (replaceAll) {
            jdsql::Statement remove(connection, "DELETE FROM " + table);
            remove.Run();
            result.removed = connection.Changes();
        }
        std::vector<std::string> names;
        std::string placeholders;
        for (const ColumnInfo& column : columns) {
            names.push_back(column.name);
            placeholders += placeholders.empty() ? "?" : ", ?";
        }
        jdsql::Statement exists(connection, "SELECT 1 FROM " + table + " WHERE ID = ?");
        // A row with an ID replaces that row whole: what the file leaves out is NULL afterwards.
        jdsql::Statement removeOne(connection, "DELETE FROM " + table + " WHERE ID = ?");
        jdsql::Statement insert(connection, "INSERT INTO " + table + " (" + JoinNames(names) + ") VALUES (" +
                                                placeholders + ")");
        std::unique_ptr<jdsql::Statement> insertNew;
        if (idIndex < columns.size()) {
            std::vector<std::string> others;
            for (const ColumnInfo& column : columns) {
                if (column.name != "ID") others.push_back(column.name);
            }
            std::string marks;
            for (size_t i = 0; i < others.size(); ++i) marks += i ? ", ?" : "?";
            insertNew = std::make_unique<jdsql::Statement>(
                connection, "INSERT INTO " + table + " (" + JoinNames(others) + ") VALUES (" + marks + ")");
        }
        bool explicitIds = false;
        for (const std::vector<Bound>& row : rows) {
            bool had = false;
            if (idIndex < columns.size() && row[idIndex].how == Bound::Int) {
                explicitIds = true;
                exists.Reset();
                exists.Bind(1, static_cast<std::int64_t>(row[idIndex].integer));
                had = exists.Step();
                if (had) {
                    removeOne.Reset();
                    removeOne.Bind(1, static_cast<std::int64_t>(row[idIndex].integer));
                    removeOne.Run();
                }
            }
            // A row without an ID leaves the column out: the catalogue gives
            // the next one (a NULL would be refused by a server).
            const bool newId = idIndex < columns.size() && row[idIndex].how == Bound::Null;
            jdsql::Statement& target = newId ? *insertNew : insert;
            target.Reset();
            int parameter = 1;
            for (size_t c = 0; c < row.size(); ++c) {
                if (newId && c == idIndex) continue;
                Bind(target, parameter++, row[c]);
            }
            target.Run();
            ++(had ? result.replaced : result.added);
        }
        if (explicitIds) connection.AfterExplicitIds(table);
        transaction.Commit();
    } catch (const jdsql::SqliteError& failure) {
        throw CatalogueError(std::string("the import into ") + TableName(kind) + " failed, nothing was changed: " +
                             failure.what());
    }
    return result;
}

}  // namespace jdcat
