// Imports into a server catalogue go in runs of rows, each run in one COPY:
// they must leave exactly the rows, counts and next IDs that one statement a
// row leaves (kept here in its plain form) and that a catalogue file gets,
// and a row the server refuses half-way must still leave nothing changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <set>

#include "CatalogueFixture.h"
#include "equipment/CatalogueAdmin.h"
#include "equipment/CatalogueConnection.h"
#include "equipment/CatalogueCsv.h"
#include "equipment/JDBase.h"

namespace jdtest {
namespace {

using jdcat::Kind;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A file's rows as the test made them: nullopt is NULL (an empty unquoted
// field), every text is quoted.
struct ImportFile {
    std::vector<std::string> columns;
    std::vector<std::vector<std::optional<std::string>>> rows;

    std::string Csv() const {
        std::string text;
        for (size_t c = 0; c < columns.size(); ++c) text += (c ? "," : "") + columns[c];
        text += "\n";
        for (const auto& row : rows) {
            for (size_t c = 0; c < row.size(); ++c) {
                if (c) text += ",";
                if (!row[c]) continue;
                text += '"';
                for (const char ch : *row[c]) text += ch == '"' ? std::string("\"\"") : std::string(1, ch);
                text += '"';
            }
            text += "\n";
        }
        return text;
    }
};

// The plain form: one INSERT … ON CONFLICT a row through a statement, every
// value bound as the file's text (the server reads it by the column's type),
// the sequence moved past the file's own IDs before a row without one.
jdcat::ImportResult ImportRowByRow(const std::string& target, Kind kind, const ImportFile& file, bool replaceAll) {
    jdsql::Connection connection;
    connection.Open(target);
    const std::string table = jdcat::TableName(kind);
    jdcat::ImportResult result;
    jdsql::Transaction transaction(connection);
    if (replaceAll) {
        jdsql::Statement remove(connection, "DELETE FROM " + table);
        remove.Run();
        result.removed = connection.Changes();
    }
    const auto count = [&] {
        jdsql::Statement rows(connection, "SELECT COUNT(*) FROM " + table);
        return rows.Step() ? rows.ColumnInt64(0) : 0;
    };
    const std::int64_t before = count();
    const auto id = std::find(file.columns.begin(), file.columns.end(), "ID");
    const size_t idIndex = static_cast<size_t>(id - file.columns.begin());
    std::string assignments;
    for (const jdsql::TableColumn& column : connection.TableColumns(table)) {
        if (column.name == "ID") continue;
        const bool inFile = std::count(file.columns.begin(), file.columns.end(), column.name) != 0;
        assignments += (assignments.empty() ? "" : ", ") + column.name + " = " +
                       (inFile ? "excluded." + column.name : std::string("NULL"));
    }
    bool explicitIds = false;
    for (const auto& row : file.rows) {
        const bool newId = idIndex < row.size() && !row[idIndex];
        if (newId && explicitIds) {
            connection.AfterExplicitIds(table);
            explicitIds = false;
        }
        explicitIds |= idIndex < row.size() && !newId;
        std::string names, marks;
        for (size_t c = 0; c < file.columns.size(); ++c) {
            if (newId && c == idIndex) continue;
            names += (names.empty() ? "" : ", ") + file.columns[c];
            marks += marks.empty() ? "?" : ", ?";
        }
        std::string sql = "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
        if (idIndex < row.size() && !newId) sql += " ON CONFLICT (ID) DO UPDATE SET " + assignments;
        jdsql::Statement insert(connection, sql);
        int parameter = 1;
        for (size_t c = 0; c < row.size(); ++c) {
            if (newId && c == idIndex) continue;
            if (row[c])
                insert.BindText(parameter++, *row[c]);
            else
                insert.BindNull(parameter++);
        }
        insert.Run();
    }
    result.added = static_cast<int>(count() - before);
    result.replaced = static_cast<int>(file.rows.size()) - result.added;
    if (explicitIds) connection.AfterExplicitIds(table);
    transaction.Commit();
    return result;
}

// Random files of one kind: a random choice of columns in a random order,
// IDs from a range that covers the seed's rows, the rows the file adds
// itself and fresh ones, in runs of rows with and without IDs.
class FileMaker {
public:
    explicit FileMaker(unsigned seed) : m_random(seed) {}

    ImportFile Make(const std::vector<jdsql::TableColumn>& table, long long largestId, size_t rows) {
        ImportFile file;
        std::vector<const jdsql::TableColumn*> chosen;
        for (const jdsql::TableColumn& column : table) {
            if (column.name == "Model" || (column.name == "ID" ? Chance(0.8) : Chance(0.6))) chosen.push_back(&column);
        }
        std::shuffle(chosen.begin(), chosen.end(), m_random);
        for (const jdsql::TableColumn* column : chosen) file.columns.push_back(column->name);

        // Runs of rows alike, short ones often, so that both kinds of run
        // follow each other many times.
        const double newShare = Chance(0.3) ? 0.0 : Chance(0.5) ? 0.5 : 0.15;
        std::set<long long> used;
        bool newRun = false;
        size_t runLeft = 0;
        for (size_t r = 0; r < rows; ++r) {
            if (runLeft == 0) {
                newRun = Chance(newShare);
                runLeft = 1 + Below(Chance(0.5) ? 3 : 40);
            }
            --runLeft;
            std::vector<std::optional<std::string>> row;
            for (const jdsql::TableColumn* column : chosen) {
                if (column->name == "ID") {
                    long long id = 0;
                    // Some IDs far above all others move the sequence a long way.
                    do {
                        id = Chance(0.01) ? largestId + 1000 + static_cast<long long>(Below(100000))
                                          : 1 + static_cast<long long>(Below(static_cast<size_t>(largestId) + 40));
                    } while (!newRun && used.count(id));
                    if (newRun) {
                        row.emplace_back(std::nullopt);
                    } else {
                        used.insert(id);
                        row.emplace_back(std::to_string(id));
                    }
                } else {
                    row.push_back(Value(*column));
                }
            }
            file.rows.push_back(std::move(row));
        }
        return file;
    }

private:
    bool Chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < p; }
    size_t Below(size_t n) { return n == 0 ? 0 : static_cast<size_t>(m_random() % n); }

    std::optional<std::string> Value(const jdsql::TableColumn& column) {
        if (!column.notNull && Chance(0.15)) return std::nullopt;
        if (column.type == "BOOLEAN") return Chance(0.5) ? "1" : "0";
        if (column.type == "REAL") {
            // No negative zero: a catalogue file keeps a real that is a whole
            // number as an integer, which has no sign of zero (a stream's -0
            // is checked below).
            static const char* const kForms[] = {"0", "+7", ".5", "5.", "6000", "0.0117", "1.5e3", "2.5E-3",
                                                 "9007199254740993", "0.1000000000000000055511151231257827",
                                                 "-1.7976931348623157e308", "4.9e-324"};
            if (Chance(0.3)) return kForms[Below(std::size(kForms))];
            const size_t whole = Below(100000);
            std::string text = whole != 0 && Chance(0.2) ? "-" : "";
            text += std::to_string(whole);
            if (Chance(0.7)) text += "." + std::to_string(Below(1000000));
            return text;
        }
        // Texts with everything a stream must spell out: field and line
        // separators, the escape character, quotes, blanks at the ends,
        // Chinese, an empty text (not NULL) where the column allows one.
        static const char* const kPieces[] = {"KBSG", "-", "630", "/6", ",", "\"", "\t", "\n", "\r\n", "\\", "\\.",
                                              "\\N", " ", "移动变电站", "Y,y0", "'", "$1", "?"};
        if (!column.notNull && Chance(0.1)) return std::string();
        std::string text;
        const size_t pieces = 1 + Below(5);
        for (size_t p = 0; p < pieces; ++p) text += kPieces[Below(std::size(kPieces))];
        if (column.name == "Model") text += "-" + std::to_string(m_serial++);
        return text;
    }

    std::mt19937 m_random;
    int m_serial = 0;
};

class CatalogueBatchImportTest : public CatalogueTest {
protected:
    jdsql::Engine Engine() const override { return jdsql::Engine::Postgres; }
    void TearDown() override {
        CatalogueTest::TearDown();
        if (!m_reference.empty()) DropServerCatalogue(m_reference);
        if (!m_copy.empty()) DropServerCatalogue(m_copy);
    }
    std::string Export(Kind kind, const std::string& target) {
        SetCataloguePath(target.c_str());
        return jdcat::FormatCsv(jdcat::ReadTable(kind));
    }
    std::string m_reference;
    std::string m_copy;
};

// "" when the two exports are the same, else the first line where they part.
std::string FirstDifference(const std::string& got, const std::string& expected) {
    if (got == expected) return std::string();
    size_t line = 1, start = 0;
    for (size_t i = 0; i < std::min(got.size(), expected.size()) && got[i] == expected[i]; ++i) {
        if (got[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    const auto lineOf = [&](const std::string& text) { return text.substr(start, text.find('\n', start) - start); };
    return "line " + std::to_string(line) + ": got [" + lineOf(got) + "], expected [" + lineOf(expected) + "]";
}

std::string Counts(const jdcat::ImportResult& result) {
    return std::to_string(result.added) + " added, " + std::to_string(result.replaced) + " replaced, " +
           std::to_string(result.removed) + " removed";
}

// Series of random imports into three catalogues from the same seed: the
// server through the library (runs), the server through one statement a row,
// and a catalogue file. After every import the three hold the same rows and
// gave the same counts; a last row without ID shows the next ID is the same.
TEST_F(CatalogueBatchImportTest, RunsLeaveWhatOneStatementARowAndACatalogueFileLeave) {
    m_reference = FreshServerCatalogue();
    const std::string file = *m_dir / "file.db";
    ASSERT_TRUE(jdlib::CreateCatalogueFile(file, SeedDirectory()));

    FileMaker maker(20261209);
    int imports = 0;
    for (Kind kind : jdcat::AllKinds()) {
        jdsql::Connection schema;
        schema.Open(m_reference);
        const std::vector<jdsql::TableColumn> columns = schema.TableColumns(jdcat::TableName(kind));
        schema.Close();
        for (int step = 0; step < 10; ++step) {
            long long largest = 0;
            {
                jdsql::Connection connection;
                connection.Open(m_reference);
                largest = std::stoll("0" + connection.QueryText(std::string("SELECT MAX(ID) FROM ") + jdcat::TableName(kind)));
            }
            // Mostly small files, one of some hundred rows.
            const size_t rows = step == 5 && kind == Kind::Transformer ? 600
                                : step % 4 == 0                         ? 1 + step
                                                                        : static_cast<size_t>(step * 7);
            const ImportFile made = maker.Make(columns, largest, rows);
            const bool replaceAll = step == 7;
            const std::string csv = made.Csv();
            const std::string where = std::string(jdcat::KindName(kind)) + " import " + std::to_string(step) + ":\n" +
                                      csv.substr(0, 600);

            SetCataloguePath(m_catalogue.c_str());
            const jdcat::ImportResult runs = jdcat::ImportCsv(kind, csv, "random.csv", replaceAll);
            const jdcat::ImportResult plain = ImportRowByRow(m_reference, kind, made, replaceAll);
            SetCataloguePath(file.c_str());
            const jdcat::ImportResult local = jdcat::ImportCsv(kind, csv, "random.csv", replaceAll);
            ASSERT_EQ(Counts(runs), Counts(plain)) << where;
            ASSERT_EQ(Counts(runs), Counts(local)) << where;
            EXPECT_EQ(runs.added + runs.replaced, static_cast<int>(rows)) << where;

            const std::string expected = Export(kind, m_reference);
            ASSERT_EQ(FirstDifference(Export(kind, m_catalogue), expected), "") << where;
            ASSERT_EQ(FirstDifference(Export(kind, file), expected), "") << "catalogue file, " << where;
            ++imports;
        }
        for (const std::string& target : {m_catalogue, file}) {
            SetCataloguePath(target.c_str());
            jdcat::ImportCsv(kind, "Model\nLAST\n", "last.csv", false);
        }
        ImportFile last;
        last.columns = {"Model"};
        last.rows = {{std::string("LAST")}};
        ImportRowByRow(m_reference, kind, last, false);
        const std::string expected = Export(kind, m_reference);
        EXPECT_TRUE(Contains(expected, ",LAST,")) << expected.substr(expected.size() - 200);
        EXPECT_EQ(FirstDifference(Export(kind, m_catalogue), expected), "");
        EXPECT_EQ(FirstDifference(Export(kind, file), expected), "") << "catalogue file";
    }
    EXPECT_EQ(imports, 30);

    // The file, now full of awkward texts and numbers, copied whole onto a
    // server catalogue (each table in one stream there) reads back the same,
    // and the server then hands out the same next IDs.
    m_copy = FreshServerCatalogue();
    const jdcat::CopyResult copied = jdcat::CopyCatalogue(file, m_copy);
    int models = 0;
    for (Kind kind : jdcat::AllKinds()) {
        const std::string expected = Export(kind, file);
        models += static_cast<int>(jdcat::ReadTable(kind).rows.size());  // of the file, which Export chose
        EXPECT_EQ(FirstDifference(Export(kind, m_copy), expected), "") << jdcat::KindName(kind);
        for (const std::string& target : {m_copy, file}) {
            SetCataloguePath(target.c_str());
            jdcat::ImportCsv(kind, "Model\nAFTER COPY\n", "after.csv", false);
        }
        EXPECT_EQ(FirstDifference(Export(kind, m_copy), Export(kind, file)), "") << jdcat::KindName(kind);
    }
    EXPECT_EQ(copied.models, models);
}

// A row the server refuses while a run streams in (here a trigger refuses
// one model) fails the import whole: the rows it replaced, the runs before
// it and the sequence's new IDs are all gone, the message says nothing
// changed, and the next import works.
TEST_F(CatalogueBatchImportTest, ARowTheServerRefusesHalfWayLeavesNothingChanged) {
    {
        jdsql::Connection connection;
        connection.Open(m_catalogue);
        connection.Execute(
            "CREATE FUNCTION refuse_model() RETURNS trigger AS $$ BEGIN "
            "IF NEW.Model = 'REFUSED' THEN RAISE EXCEPTION 'model % is not allowed here', NEW.Model; END IF; "
            "RETURN NEW; END $$ LANGUAGE plpgsql; "
            "CREATE TRIGGER refuse_model BEFORE INSERT ON Para_Transformer FOR EACH ROW EXECUTE FUNCTION refuse_model()");
    }
    const std::string before = Export(Kind::Transformer, m_catalogue);
    // The refused row in a run of rows with IDs (one replacing seed row 1),
    // and in a run without IDs after such a run; far enough in for earlier
    // pieces of the stream to have reached the server.
    for (const bool inNewRun : {false, true}) {
        std::string csv = "ID,Model,Capacity\n1,REPLACES-1,630\n";
        // About 100 bytes a row: the stream reaches the server in pieces of
        // 256 KiB, several of them before the refused row.
        const std::string padding(90, 'p');
        for (int i = 0; i < 4000; ++i)
            csv += std::to_string(1000 + i) + ",M-" + std::to_string(i) + padding + ",100.5\n";
        for (int i = 0; i < 4000; ++i) {
            const std::string model = inNewRun && i == 3000 ? "REFUSED" : "N-" + std::to_string(i) + padding;
            csv += "," + model + ",200\n";
        }
        if (!inNewRun) csv += "7000,REFUSED,1\n";
        SetCataloguePath(m_catalogue.c_str());
        try {
            jdcat::ImportCsv(Kind::Transformer, csv, "refused.csv", false);
            ADD_FAILURE() << "the refused row must fail the import";
        } catch (const jdcat::CatalogueError& error) {
            EXPECT_TRUE(Contains(error.what(), "the import into Para_Transformer failed, nothing was changed"))
                << error.what();
            EXPECT_TRUE(Contains(error.what(), "model REFUSED is not allowed here")) << error.what();
        }
        EXPECT_EQ(Export(Kind::Transformer, m_catalogue), before) << (inNewRun ? "new run" : "ID run");
    }
    SetCataloguePath(m_catalogue.c_str());
    const jdcat::ImportResult result =
        jdcat::ImportCsv(Kind::Transformer, "ID,Model\n1,AFTER-1\n,AFTER-NEW\n", "good.csv", false);
    EXPECT_EQ(Counts(result), "1 added, 1 replaced, 0 removed");
    const std::string after = Export(Kind::Transformer, m_catalogue);
    EXPECT_TRUE(Contains(after, "\n1,AFTER-1,")) << after.substr(0, 200);
    EXPECT_TRUE(Contains(after, ",AFTER-NEW,"));
}

// What a stream sends is read back the same: texts with every character
// COPY's text format spells out, NULL apart from an empty text, integers
// and reals at their limits. A stream dropped half-way leaves the
// connection usable once its transaction is rolled back; a catalogue file
// has no stream.
TEST_F(CatalogueBatchImportTest, AStreamSendsEveryValueAsItIsAndCanBeAbandoned) {
    jdsql::Connection connection;
    connection.Open(m_catalogue);
    connection.Execute("CREATE TABLE streamed (n BIGINT, r DOUBLE PRECISION, t TEXT)");
    const std::vector<std::string> texts = {"", "plain", "tab\there", "line\nbreak", "cr\rcr", "back\\slash",
                                            "\\.", "\\N", "\\\\N", "移动变电站\t\\", "end\\"};
    const std::vector<double> reals = {0.0, -0.0, 0.1, 1.0 / 3.0, 5e-324, 2.2250738585072014e-308,
                                       1.7976931348623157e308, -6000.0, 0.0117, 123456789012345678.0};
    const std::vector<std::int64_t> integers = {0, -1, std::numeric_limits<std::int64_t>::min(),
                                                std::numeric_limits<std::int64_t>::max(), 2147483647};
    const size_t rows = std::max({texts.size(), reals.size(), integers.size()}) + 1;
    {
        jdsql::Transaction transaction(connection);
        jdsql::CopyStream copy(connection, "streamed", {"n", "r", "t"});
        for (size_t i = 0; i < rows; ++i) {
            // The last row is all NULL; the others cycle through the values.
            if (i + 1 == rows) {
                copy.Null();
                copy.Null();
                copy.Null();
            } else {
                copy.Integer(integers[i % integers.size()]);
                copy.Real(reals[i % reals.size()]);
                copy.Text(texts[i % texts.size()]);
            }
            copy.EndRow();
        }
        EXPECT_EQ(copy.Finish(), static_cast<std::int64_t>(rows));
        transaction.Commit();
    }
    jdsql::Statement read(connection, "SELECT n, r, t FROM streamed");
    size_t i = 0;
    for (; read.Step(); ++i) {
        if (i + 1 == rows) {
            EXPECT_TRUE(read.ColumnIsNull(0) && read.ColumnIsNull(1) && read.ColumnIsNull(2));
            continue;
        }
        EXPECT_EQ(read.ColumnInt64(0), integers[i % integers.size()]) << i;
        const double real = read.ColumnDouble(1);
        EXPECT_EQ(real, reals[i % reals.size()]) << i;
        EXPECT_EQ(std::signbit(real), std::signbit(reals[i % reals.size()])) << i;
        EXPECT_FALSE(read.ColumnIsNull(2)) << i;
        EXPECT_EQ(read.ColumnText(2), texts[i % texts.size()]) << i;
    }
    EXPECT_EQ(i, rows);

    // Many rows go to the server in several pieces; every row arrives once,
    // whole. (20,000 rows of about 40 bytes: three pieces and a rest.)
    {
        jdsql::Transaction transaction(connection);
        connection.Execute("TRUNCATE streamed");
        jdsql::CopyStream copy(connection, "streamed", {"n", "r", "t"});
        for (int n = 1; n <= 20000; ++n) {
            copy.Integer(n);
            copy.Real(n / 8.0);
            copy.Text("row " + std::to_string(n) + "\tof many\\rows\n");
            copy.EndRow();
        }
        EXPECT_EQ(copy.Finish(), 20000);
        transaction.Commit();
    }
    // Sums by hand: 1 + … + 20000 = 200,010,000, and an eighth of it for r.
    EXPECT_EQ(connection.QueryText("SELECT COUNT(*) || ' ' || SUM(n) || ' ' || SUM(r) FROM streamed"),
              "20000 200010000 25001250");
    EXPECT_EQ(connection.QueryText("SELECT COUNT(*) FROM streamed WHERE t = 'row ' || n || E'\\tof many\\\\rows\\n'"),
              "20000");

    // Numbers sent as their own text are read as strtod reads them.
    const std::vector<std::string> numbers = {"+.5", "-0", "5.", "007.100", "9007199254740993",
                                              "0.1000000000000000055511151231257827"};
    {
        jdsql::Transaction transaction(connection);
        jdsql::CopyStream copy(connection, "streamed", {"n", "r", "t"});
        for (size_t k = 0; k < numbers.size(); ++k) {
            copy.Integer(-static_cast<std::int64_t>(k) - 1);
            copy.Number(numbers[k]);
            copy.Text(numbers[k]);
            copy.EndRow();
        }
        copy.Finish();
        transaction.Commit();
    }
    jdsql::Statement numbered(connection, "SELECT r, t FROM streamed WHERE n < 0 ORDER BY n DESC");
    size_t k = 0;
    for (; numbered.Step(); ++k) {
        ASSERT_LT(k, numbers.size());
        const double expected = std::strtod(numbers[k].c_str(), nullptr);
        EXPECT_EQ(numbered.ColumnDouble(0), expected) << numbers[k];
        EXPECT_EQ(std::signbit(numbered.ColumnDouble(0)), std::signbit(expected)) << numbers[k];
        EXPECT_EQ(numbered.ColumnText(1), numbers[k]);
    }
    EXPECT_EQ(k, numbers.size());
    const std::string kept = connection.QueryText("SELECT COUNT(*) FROM streamed");

    // Dropped unfinished: the transaction rolls back, the connection goes on.
    {
        jdsql::Transaction transaction(connection);
        jdsql::CopyStream copy(connection, "streamed", {"t"});
        copy.Text("never kept");
        copy.EndRow();
    }
    EXPECT_EQ(connection.QueryText("SELECT COUNT(*) FROM streamed"), kept);

    const std::string file = *m_dir / "local.db";
    ASSERT_TRUE(jdlib::CreateCatalogueFile(file, SeedDirectory()));
    jdsql::Connection local;
    local.Open(file);
    EXPECT_THROW(jdsql::CopyStream(local, "Para_Transformer", {"Model"}), jdsql::Error);
}

}  // namespace
}  // namespace jdtest
