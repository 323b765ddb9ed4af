#include "equipment/CatalogueCsv.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

}  // namespace

std::string_view FormatReal(double value, RealBuffer& buffer) {
    // The shortest digits that read back as the value. When there are 15 or
    // fewer, "%.15g" gives the same digits: they lie within half a unit of the
    // double's last place of the value, closer than any other 15-digit
    // decimal can (those are at least 1e-15 of the value apart), so rounding
    // the value to 15 digits lands on them. Then only %g's layout is left.
    // Subnormal numbers hold fewer digits than that and take the plain way.
    char shortest[40];
    const auto [end, error] =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    if (error == std::errc() && std::isfinite(value) && (value == 0.0 || std::fabs(value) >= DBL_MIN)) {
        const char* p = shortest;
        const bool negative = *p == '-';
        if (negative) ++p;
        char digits[20];
        int count = 0;
        for (; p < end && *p != 'e'; ++p) {
            if (*p != '.' && count < 20) digits[count++] = *p;
        }
        int exponent = 0;  // after 'e': a sign, then at least two digits (the text has no terminating NUL)
        if (p + 1 < end) std::from_chars(p + 1 + (p[1] == '+'), end, exponent);
        if (count <= 15) {
            if (exponent < -4 || exponent >= 15) {
                const size_t length = static_cast<size_t>(end - shortest);
                std::memcpy(buffer.text, shortest, length);
                return std::string_view(buffer.text, length);
            }
            char* out = buffer.text;
            if (negative) *out++ = '-';
            if (exponent < 0) {
                *out++ = '0';
                *out++ = '.';
                for (int z = -1; z > exponent; --z) *out++ = '0';
                for (int d = 0; d < count; ++d) *out++ = digits[d];
            } else {
                for (int d = 0; d <= exponent; ++d) *out++ = d < count ? digits[d] : '0';
                if (count > exponent + 1) {
                    *out++ = '.';
                    for (int d = exponent + 1; d < count; ++d) *out++ = digits[d];
                }
            }
            return std::string_view(buffer.text, static_cast<size_t>(out - buffer.text));
        }
    }
    int length = std::snprintf(buffer.text, sizeof buffer.text, "%.15g", value);
    if (std::strtod(buffer.text, nullptr) != value)
        length = std::snprintf(buffer.text, sizeof buffer.text, "%.17g", value);
    return std::string_view(buffer.text, static_cast<size_t>(length));
}

namespace {

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

// A column of the file, with what its values must be.
struct ImportColumn {
    ColumnInfo info;
    ValueKind kind = ValueKind::Text;
    bool isId = false;
};

// A checked value of one field, ready to bind (a text is bound from the file's own field).
struct Bound {
    // PlainReal: a Real whose field is a plain decimal (QuickDecimal's form),
    // which every correctly rounding reader, the server's too, reads as `real`.
    enum How : unsigned char { Null, Int, Real, PlainReal, Text } how = Null;
    union {
        long long integer;
        double real;
    };
    Bound() : integer(0) {}
};

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

constexpr long long kMaxModelId = 2147483647;

// Where a field stands, put into words only when it is refused.
struct Place {
    const std::string& fileName;
    int line;
    size_t row;
    const std::string& column;
    std::string text() const {
        return fileName + ":" + std::to_string(line) + ": row " + std::to_string(row) + ", column " + column;
    }
};

// A whole number as strtoll reads one, for the plain forms ([+-]digits, at
// most 18 digits, which cannot overflow); false leaves the text to strtoll.
bool QuickInteger(std::string_view text, long long& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    if (i == text.size() || text.size() - i > 18) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned>(text[i]) - '0';
        if (digit > 9) return false;
        v = v * 10 + digit;
    }
    value = negative ? -v : v;
    return true;
}

// A decimal without exponent whose digits, read as a whole number, fit in
// 53 bits and with at most 22 after the point: the number is that whole
// number divided by an exactly held power of ten, and one IEEE division
// rounds correctly, as strtod does. False leaves the text to the full parse.
bool QuickDecimal(std::string_view text, double& value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 53;
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
    std::uint64_t mantissa = 0;
    int fraction = 0;
    bool point = false, digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        const unsigned digit = static_cast<unsigned>(c) - '0';
        if (digit > 9 || mantissa > (kLimit - digit) / 10) return false;
        mantissa = mantissa * 10 + digit;
        digits = true;
        if (point) ++fraction;
    }
    if (!digits || fraction > 22) return false;
    const double magnitude = static_cast<double>(mantissa) / kPowers[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Checks one field of the file against its column. A text needs no copy:
// it is bound from the file's field.
Bound Check(std::string_view field, const ImportColumn& column, const Place& place) {
    Bound bound;
    if (jdlib::CsvTable::IsNull(field)) {
        if (column.info.notNull) throw CsvInputError(place.text() + ": a value is required");
        return bound;
    }
    switch (column.kind) {
    case ValueKind::Integer: {
        long long value = 0;
        if (!QuickInteger(field, value)) {
            const std::string text(field);
            char* end = nullptr;
            errno = 0;
            value = std::strtoll(text.c_str(), &end, 10);
            // end == the text's end: a NUL inside must not cut the number short.
            if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE ||
                std::isspace(static_cast<unsigned char>(text[0])))
                throw CsvInputError(place.text() + ": " + Quote(text) + " is not a whole number");
        }
        // Drawings keep model IDs in 32-bit fields: a larger one could never be read back.
        if (column.isId && (value <= 0 || value > kMaxModelId))
            throw CsvInputError(place.text() + ": an ID must be a whole number from 1 to " +
                                std::to_string(kMaxModelId) + ", not " + std::string(field));
        bound.how = Bound::Int;
        bound.integer = value;
        return bound;
    }
    case ValueKind::Boolean:
        if (field != "0" && field != "1") throw CsvInputError(place.text() + ": " + Quote(field) + " is not 0 or 1");
        bound.how = Bound::Int;
        bound.integer = field == "1" ? 1 : 0;
        return bound;
    case ValueKind::Real: {
        // Plain decimal notation only: "0x10", "nan" and "inf" would pass strtod.
        double value = 0.0;
        bound.how = Bound::PlainReal;
        if (!QuickDecimal(field, value)) {
            const std::string text(field);
            if (text.empty() || text.find('\0') != std::string::npos ||
                std::isspace(static_cast<unsigned char>(text.front())) ||
                std::isspace(static_cast<unsigned char>(text.back())) || !ParseExchangeDouble(text.c_str(), value))
                throw CsvInputError(place.text() + ": " + Quote(text) + " is not a number");
            bound.how = Bound::Real;
        }
        bound.real = value;
        return bound;
    }
    case ValueKind::Text: {
        const std::string problem = jdlib::CatalogueTextProblemUtf8(field);
        if (!problem.empty()) throw CsvInputError(place.text() + ": " + problem);
        if (column.info.notNull && field.empty()) throw CsvInputError(place.text() + ": a value is required");
        bound.how = Bound::Text;
        return bound;
    }
    }
    return bound;
}

void Bind(jdsql::Statement& statement, int index, const Bound& value, std::string_view field) {
    switch (value.how) {
    case Bound::Null: statement.BindNull(index); break;
    case Bound::Int: statement.Bind(index, static_cast<std::int64_t>(value.integer)); break;
    case Bound::Real:
    case Bound::PlainReal: statement.Bind(index, value.real); break;
    case Bound::Text: statement.BindText(index, field); break;
    }
}

// The text of column `c` of the current row as ReadTable gives it: a view
// with no data for NULL. Valid until the next row or the next call with the same buffer.
std::string_view ValueText(const jdsql::Statement& query, int c, RealBuffer& buffer) {
    switch (query.ColumnStorage(c)) {
    case jdsql::StorageClass::Null: return std::string_view();
    case jdsql::StorageClass::Integer: {
        const auto [end, error] = std::to_chars(buffer.text, buffer.text + sizeof buffer.text, query.ColumnInt64(c));
        return std::string_view(buffer.text, static_cast<size_t>(end - buffer.text));
    }
    case jdsql::StorageClass::Real: return FormatReal(query.ColumnDouble(c), buffer);
    default: {
        const std::string_view text = query.ColumnTextView(c);
        // An empty text is still a text, not NULL.
        return text.data() ? text : std::string_view("", 0);
    }
    }
}

// The checked rows of a file and where they go.
struct CheckedRows {
    jdsql::Connection& connection;
    const std::string& table;
    const std::vector<ColumnInfo>& tableColumns;
    const std::vector<ColumnInfo>& columns;  // the file's, in its order
    size_t idIndex;                           // columns.size() when the file has no ID column
    const jdlib::CsvTable& records;           // record 0 is the header
    const std::vector<Bound>& values;         // records.size() - 1 rows of columns.size()

    size_t width() const { return columns.size(); }
    size_t rows() const { return records.size() - 1; }
    const Bound* row(size_t r) const { return &values[(r - 1) * width()]; }
    // A row without an ID leaves the column out: the catalogue gives the next one.
    bool NewId(size_t r) const { return idIndex < width() && row(r)[idIndex].how == Bound::Null; }
};

// One statement a row: an engine whose statements cost no round trip.
void WriteRowByRow(const CheckedRows& in) {
    jdsql::Connection& connection = in.connection;
    const size_t width = in.width();
    std::vector<std::string> names;
    std::string placeholders;
    for (const ColumnInfo& column : in.columns) {
        names.push_back(column.name);
        placeholders += placeholders.empty() ? "?" : ", ?";
    }
    std::string sql = "INSERT INTO " + in.table + " (" + JoinNames(names) + ") VALUES (" + placeholders + ")";
    std::unique_ptr<jdsql::Statement> insertNew;
    if (in.idIndex < width) {
        // A row with an ID replaces that row whole: what the file leaves
        // out is NULL afterwards. One statement adds or replaces it.
        std::string assignments;
        for (const ColumnInfo& column : in.tableColumns) {
            if (column.name == "ID") continue;
            const bool inFile = std::any_of(in.columns.begin(), in.columns.end(),
                                            [&](const ColumnInfo& c) { return c.name == column.name; });
            assignments += (assignments.empty() ? "" : ", ") + column.name + " = " +
                           (inFile ? "excluded." + column.name : std::string("NULL"));
        }
        sql += " ON CONFLICT (ID) DO UPDATE SET " + assignments;
        std::vector<std::string> others;
        for (const ColumnInfo& column : in.columns) {
            if (column.name != "ID") others.push_back(column.name);
        }
        std::string marks;
        for (size_t i = 0; i < others.size(); ++i) marks += i ? ", ?" : "?";
        insertNew = std::make_unique<jdsql::Statement>(
            connection, "INSERT INTO " + in.table + " (" + JoinNames(others) + ") VALUES (" + marks + ")");
    }
    jdsql::Statement upsert(connection, sql);
    bool explicitIds = false;  // rows with IDs of their own written since the catalogue last heard of them
    for (size_t r = 1; r <= in.rows(); ++r) {
        const Bound* row = in.row(r);
        // A server's sequence must first move past the IDs the rows before
        // it brought, or it could hand out one of them again.
        const bool newId = in.NewId(r);
        if (newId && explicitIds) {
            connection.AfterExplicitIds(in.table);
            explicitIds = false;
        }
        explicitIds |= in.idIndex < width && !newId;
        jdsql::Statement& target = newId ? *insertNew : upsert;
        target.Reset();
        int parameter = 1;
        for (size_t c = 0; c < width; ++c) {
            if (newId && c == in.idIndex) continue;
            Bind(target, parameter++, row[c], in.records.field(r, c));
        }
        target.Run();
    }
    if (explicitIds) connection.AfterExplicitIds(in.table);
}

void Put(jdsql::CopyStream& copy, const Bound& value, std::string_view field) {
    switch (value.how) {
    case Bound::Null: copy.Null(); break;
    case Bound::Int: copy.Integer(value.integer); break;
    case Bound::Real: copy.Real(value.real); break;
    // Its own digits: no need to find the shortest ones again.
    case Bound::PlainReal: copy.Number(field); break;
    case Bound::Text: copy.Text(field); break;
    }
}

// Deletes the rows of the IDs of rows first…last (which all have one) that
// the table holds; returns how many. The table's IDs in the run's range are
// read first: rows new to the table, the usual import, cost no delete.
int RemoveHeldIds(const CheckedRows& in, size_t first, size_t last) {
    std::vector<long long> ids;
    ids.reserve(last - first + 1);
    for (size_t r = first; r <= last; ++r) ids.push_back(in.row(r)[in.idIndex].integer);
    // Files are mostly in ID order (exports are): nothing to sort then.
    if (!std::is_sorted(ids.begin(), ids.end())) std::sort(ids.begin(), ids.end());
    std::string held;
    bool wholeRange = true;  // every row of the range is one the run replaces
    {
        jdsql::Statement range(in.connection, "SELECT ID FROM " + in.table + " WHERE ID BETWEEN ? AND ? ORDER BY ID");
        range.Bind(1, static_cast<std::int64_t>(ids.front())).Bind(2, static_cast<std::int64_t>(ids.back()));
        auto next = ids.begin();
        char text[24];
        while (range.Step()) {
            const long long id = range.ColumnInt64(0);
            next = std::lower_bound(next, ids.end(), id);
            if (next == ids.end() || *next != id) {
                wholeRange = false;
                continue;
            }
            const auto [end, error] = std::to_chars(text, text + sizeof text, id);
            held += held.empty() ? '{' : ',';
            held.append(text, static_cast<size_t>(end - text));
        }
    }
    if (held.empty()) return 0;
    held += '}';
    // A re-import replaces whole ranges: no list of IDs for the server to read then.
    jdsql::Statement remove(in.connection, "DELETE FROM " + in.table +
                                               (wholeRange ? " WHERE ID BETWEEN ? AND ?" : " WHERE ID = ANY(CAST(? AS BIGINT[]))"));
    if (wholeRange)
        remove.Bind(1, static_cast<std::int64_t>(ids.front())).Bind(2, static_cast<std::int64_t>(ids.back()));
    else
        remove.BindText(1, held);
    remove.Run();
    return in.connection.Changes();
}

// A server: the rows go in runs of rows alike, each in one COPY, instead of
// a round trip a row. A run of rows with IDs of their own first removes the
// rows of those IDs that the table has; adding them anew is replacing them
// whole, as the catalogue's tables have no defaults but the ID, no
// references and no triggers. A run of rows without one leaves the ID out
// and gets the sequence's next IDs in the file's order, after the sequence
// was moved past the IDs the rows before it brought. Returns the number of
// rows replaced.
int WriteInRuns(const CheckedRows& in) {
    jdsql::Connection& connection = in.connection;
    const size_t width = in.width();
    std::vector<std::string> all, withoutId;
    for (size_t c = 0; c < width; ++c) {
        all.push_back(in.columns[c].name);
        if (c != in.idIndex) withoutId.push_back(in.columns[c].name);
    }
    int replaced = 0;
    bool explicitIds = false;
    for (size_t first = 1; first <= in.rows();) {
        const bool newId = in.NewId(first);
        size_t last = first;
        while (last < in.rows() && in.NewId(last + 1) == newId) ++last;
        if (newId && explicitIds) {
            connection.AfterExplicitIds(in.table);
            explicitIds = false;
        }
        if (in.idIndex < width && !newId) {
            explicitIds = true;
            replaced += RemoveHeldIds(in, first, last);
        }
        jdsql::CopyStream copy(connection, in.table, newId ? withoutId : all);
        for (size_t r = first; r <= last; ++r) {
            const Bound* row = in.row(r);
            for (size_t c = 0; c < width; ++c) {
                if (newId && c == in.idIndex) continue;
                Put(copy, row[c], in.records.field(r, c));
            }
            copy.EndRow();
        }
        copy.Finish();
        first = last + 1;
    }
    if (explicitIds) connection.AfterExplicitIds(in.table);
    return replaced;
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
        RealBuffer buffer;
        while (query.Step()) {
            std::vector<Value> row;
            row.reserve(table.columns.size());
            for (int c = 0; c < query.ColumnCount(); ++c) {
                const std::string_view text = ValueText(query, c, buffer);
                if (text.data())
                    row.emplace_back(std::in_place, text);
                else
                    row.emplace_back(std::nullopt);
            }
            table.rows.push_back(std::move(row));
        }
        return table;
    } catch (const jdsql::SqliteError& failure) {
        throw CatalogueError(std::string("cannot read ") + TableName(kind) + ": " + failure.what());
    }
}

size_t ForEachRow(Kind kind, const std::vector<std::string>& columns,
                  const std::function<void(const std::vector<std::string_view>& row)>& each) {
    OpenCatalogue catalogue(true);
    try {
        // Only the columns asked for that the table has; the others stay NULL.
        std::vector<int> position(columns.size(), -1);
        std::vector<std::string> selected;
        const std::vector<ColumnInfo> known = Columns(catalogue.connection(), kind);
        for (size_t c = 0; c < columns.size(); ++c) {
            const bool has = std::any_of(known.begin(), known.end(),
                                         [&](const ColumnInfo& column) { return column.name == columns[c]; });
            if (!has) continue;
            position[c] = static_cast<int>(selected.size());
            selected.push_back(columns[c]);
        }
        jdsql::Statement query(catalogue.connection(), "SELECT " + (selected.empty() ? std::string("NULL") :
                                                                    JoinNames(selected)) +
                                                           " FROM " + TableName(kind) + " ORDER BY ID");
        std::vector<RealBuffer> buffers(columns.size());
        std::vector<std::string_view> row(columns.size());
        size_t rows = 0;
        while (query.Step()) {
            for (size_t c = 0; c < columns.size(); ++c)
                row[c] = position[c] < 0 ? std::string_view() : ValueText(query, position[c], buffers[c]);
            each(row);
            ++rows;
        }
        return rows;
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
    jdlib::CsvTable records;
    try {
        records = jdlib::ParseCsvTable(csvText, fileName);
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
    const jdlib::CsvTable::Record& header = records.record(0);
    std::vector<ColumnInfo> columns;
    std::set<std::string> seen;
    for (size_t c = 0; c < header.count; ++c) {
        const std::string name(records.field(0, c));
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

    std::vector<ImportColumn> checks;
    for (const ColumnInfo& column : columns) checks.push_back(ImportColumn{column, KindOfType(column.type), column.name == "ID"});
    const size_t width = columns.size();
    const size_t rows = records.size() - 1;

    // Every row checked before anything is written. A refusal names the
    // first bad row of the file, whether its fault is a field or an ID that
    // an earlier row has already.
    std::vector<Bound> values(rows * width);
    std::vector<std::pair<long long, size_t>> ids;  // (ID, row)
    std::optional<CsvInputError> fieldError;
    try {
        // The texts each column had in the row before: a column of a few
        // repeated texts (types, groups) is checked once per change.
        std::vector<std::string_view> lastText(width);
        for (size_t r = 1; r <= rows; ++r) {
            const jdlib::CsvTable::Record& record = records.record(r);
            if (record.count != width)
                throw CsvInputError(fileName + ":" + std::to_string(record.line) + ": row " + std::to_string(r) + ": " +
                                    std::to_string(record.count) + " fields, the header has " + std::to_string(width));
            Bound* row = &values[(r - 1) * width];
            for (size_t c = 0; c < width; ++c) {
                const std::string_view field = records.field(r, c);
                if (checks[c].kind == ValueKind::Text && !jdlib::CsvTable::IsNull(field) && !field.empty() &&
                    field == lastText[c]) {
                    row[c].how = Bound::Text;
                    continue;
                }
                row[c] = Check(field, checks[c], Place{fileName, record.line, r, columns[c].name});
                if (row[c].how == Bound::Text) lastText[c] = field;
            }
            if (idIndex < width && row[idIndex].how == Bound::Int) ids.emplace_back(row[idIndex].integer, r);
        }
    } catch (const CsvInputError& error) {
        fieldError = error;  // the rows before it are checked; an ID twice among them comes first
    }
    // Files are mostly in ID order (exports are): nothing to sort then.
    if (!std::is_sorted(ids.begin(), ids.end())) std::sort(ids.begin(), ids.end());
    size_t twice = 0;  // the first row whose ID an earlier row has; 0 for none
    for (size_t i = 1; i < ids.size(); ++i) {
        if (ids[i].first == ids[i - 1].first && (twice == 0 || ids[i].second < twice)) twice = ids[i].second;
    }
    if (twice != 0) {
        const long long id = values[(twice - 1) * width + idIndex].integer;
        throw CsvInputError(fileName + ":" + std::to_string(records.record(twice).line) + ": row " +
                            std::to_string(twice) + ", column ID: the ID " + std::to_string(id) +
                            " occurs twice in the file");
    }
    if (fieldError) throw *fieldError;

    ImportResult result;
    try {
        jdsql::Transaction transaction(connection);
        const std::string table = TableName(kind);
        if (replaceAll) {
            jdsql::Statement remove(connection, "DELETE FROM " + table);
            remove.Run();
            result.removed = connection.Changes();
        }
        const CheckedRows checked{connection, table, tableColumns, columns, idIndex, records, values};
        if (connection.engine() == jdsql::Engine::Postgres) {
            // Every row added one or replaced one (the file's IDs are distinct).
            result.replaced = WriteInRuns(checked);
            result.added = static_cast<int>(rows) - result.replaced;
        } else {
            const auto countRows = [&] {
                jdsql::Statement count(connection, "SELECT COUNT(*) FROM " + table);
                return count.Step() ? count.ColumnInt64(0) : 0;
            };
            const std::int64_t before = countRows();
            WriteRowByRow(checked);
            result.added = static_cast<int>(countRows() - before);
            result.replaced = static_cast<int>(rows) - result.added;
        }
        transaction.Commit();
    } catch (const jdsql::SqliteError& failure) {
        throw CatalogueError(std::string("the import into ") + TableName(kind) + " failed, nothing was changed: " +
                             failure.what());
    }
    return result;
}

}  // namespace jdcat
