// The record set over the catalogue connection: conversions of ReadField,
// the cursor and count, the options of OpenRecords and the error reports.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "CatalogueFixture.h"
#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"

using jdtest::G;

namespace {

// A database with one column of every declared type the conversion table
// names, filled by plain SQL so the values are exactly what the file holds.
class ReadFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir / "sample.db";
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(m_path.c_str(), &db), SQLITE_OK);
        const char* sql =
            "CREATE TABLE Sample (Row INTEGER, ID INTEGER, Name TEXT, Ratio REAL, Flag BOOLEAN, Made DATETIME,"
            " Price DECIMAL(12,2), Data BLOB, Loose);"
            "INSERT INTO Sample VALUES (1, NULL, '移动变电站', 0.1, 1, '2006-01-31 08:05:00', '-12.50', x'0102', 7);"
            "INSERT INTO Sample VALUES (2, 42, '', 0.30000000000000004, 0, '2006-01-31', -1234, NULL, 'text');"
            "INSERT INTO Sample VALUES (3, 5000000000, NULL, 1e-7, NULL, '2006-02-30 10:00:00', 0.000001, NULL, 2.5);"
            "INSERT INTO Sample VALUES (4, -7, 'abc', -2.5, 'T', NULL, 12345678901234, NULL, ' 17 ');";
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_close(db);
        m_scope = std::make_unique<MessageServiceScope>(m_messages);
        ClearPlatformDiagnostics();
        ASSERT_TRUE(m_database.Open(m_path.c_str()));
        m_records = std::make_unique<CADORecordset>(&m_database);
        ASSERT_TRUE(m_records->OpenRecords(m_database.GetConnection(), "select * from Sample order by Row", 1));
    }

    void TearDown() override { m_scope.reset(); }

    // Moves to the row with that number (rows are 1..4 in order).
    void GoToRow(int row) {
        m_records->FirstRecord();
        for (int i = 1; i < row; ++i) m_records->NextRecord();
    }
    CString Text(int row, const char* column, const CString& format = "") {
        GoToRow(row);
        CString value = "untouched";
        EXPECT_TRUE(m_records->ReadField(column, value, format)) << column << " row " << row;
        return value;
    }

    jdtest::TempDir m_dir;
    std::string m_path;
    HeadlessMessageService m_messages;
    std::unique_ptr<MessageServiceScope> m_scope;
    CADODatabase m_database;
    std::unique_ptr<CADORecordset> m_records;
};

TEST_F(ReadFieldTest, TextConversionsFollowTheDeclaredType) {
    // Integer: decimal digits; null: empty text.
    EXPECT_EQ(Text(2, "ID"), "42");
    EXPECT_EQ(Text(1, "ID"), "");
    // Text: UTF-8 in the file, GBK in memory.
    EXPECT_EQ(Text(1, "Name"), G("移动变电站"));
    EXPECT_EQ(Text(3, "Name"), "");
    // Real: "%.15g" when it reads back exactly ...
    EXPECT_EQ(Text(1, "Ratio"), "0.1");
    EXPECT_EQ(Text(3, "Ratio"), "1e-07");
    // ... and "%.17g" when it does not: 0.1 + 0.2 is 0.3000000000000000444 in binary.
    EXPECT_EQ(Text(2, "Ratio"), "0.30000000000000004");
    EXPECT_EQ(std::strtod(Text(2, "Ratio"), nullptr), 0.1 + 0.2);
    // Boolean: T and F.
    EXPECT_EQ(Text(1, "Flag"), "T");
    EXPECT_EQ(Text(2, "Flag"), "F");
    // Decimal: exact positional digits with the sign ('-12.50' is kept as the number -12.5).
    EXPECT_EQ(Text(1, "Price"), "-12.5");
    EXPECT_EQ(Text(2, "Price"), "-1234");
    EXPECT_EQ(Text(3, "Price"), "0.000001");
    EXPECT_EQ(Text(4, "Price"), "12345678901234");
    // No declared type: by the value's own kind.
    EXPECT_EQ(Text(1, "Loose"), "7");
    EXPECT_EQ(Text(2, "Loose"), "text");
    EXPECT_EQ(Text(3, "Loose"), "2.5");
    EXPECT_EQ(m_messages.Records().size(), 0u);
}

TEST_F(ReadFieldTest, DatesUseTheGivenFormatOrTheDefault) {
    EXPECT_EQ(Text(1, "Made"), "2006-01-31 08:05:00");
    EXPECT_EQ(Text(2, "Made"), "2006-01-31 00:00:00");
    EXPECT_EQ(Text(1, "Made", "%d/%m/%Y %H.%M"), "31/01/2006 08.05");
    // 1 January 2006 was a Sunday, so the 31st (30 days later) was a Tuesday.
    EXPECT_EQ(Text(1, "Made", "%A"), "Tuesday");
    EXPECT_EQ(Text(4, "Made"), "");
}

TEST_F(ReadFieldTest, UnconvertibleValuesLeaveTheTextAndSayWhy) {
    CString value = "keep";
    GoToRow(1);
    EXPECT_FALSE(m_records->ReadField("Data", value));
    EXPECT_EQ(value, "keep");
    EXPECT_NE(m_records->GetLastErrorString().str().find("binary"), std::string::npos);
    GoToRow(3);
    EXPECT_FALSE(m_records->ReadField("Made", value));  // 30 February
    EXPECT_EQ(value, "keep");
    EXPECT_NE(m_records->GetLastErrorString().str().find("2006-02-30"), std::string::npos);
    EXPECT_EQ(m_records->GetLastError(), static_cast<DWORD>(SQLITE_MISMATCH));
    EXPECT_EQ(m_messages.Records().size(), 0u);  // data, not an engine failure: no box
}

TEST_F(ReadFieldTest, LongConversions) {
    LONG value = 99;
    GoToRow(1);
    EXPECT_TRUE(m_records->ReadField("ID", value));  // null ID
    EXPECT_EQ(value, 0);
    GoToRow(2);
    EXPECT_TRUE(m_records->ReadField("ID", value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(m_records->ReadField("Name", value));  // empty text
    EXPECT_EQ(value, 0);
    GoToRow(4);
    EXPECT_TRUE(m_records->ReadField("ID", value));
    EXPECT_EQ(value, -7);
    EXPECT_TRUE(m_records->ReadField("Loose", value));  // " 17 "
    EXPECT_EQ(value, 17);
    EXPECT_TRUE(m_records->ReadField("Ratio", value));  // -2.5 rounds half to even
    EXPECT_EQ(value, -2);
    GoToRow(3);
    EXPECT_TRUE(m_records->ReadField("Loose", value));  // 2.5 rounds half to even
    EXPECT_EQ(value, 2);
    EXPECT_EQ(m_messages.Records().size(), 0u);
}

TEST_F(ReadFieldTest, LongRefusalsAreReported) {
    LONG value = 99;
    GoToRow(3);
    EXPECT_FALSE(m_records->ReadField("ID", value));  // 5000000000 does not fit 32 bits
    GoToRow(4);
    EXPECT_FALSE(m_records->ReadField("Name", value));  // "abc"
    GoToRow(1);
    EXPECT_FALSE(m_records->ReadField("Data", value));
    EXPECT_FALSE(m_records->ReadField("NoSuchColumn", value));
    EXPECT_EQ(value, 99);
    ASSERT_EQ(m_messages.Records().size(), 4u);
    for (const MessageBoxRecord& box : m_messages.Records()) {
        EXPECT_EQ(box.type & MB_ICONMASK, MB_ICONSTOP);
        EXPECT_EQ(box.text.str().rfind("CADORecordset Error\n\tCode = ", 0), 0u) << box.text.str();
    }
    EXPECT_NE(m_messages.Records()[3].text.str().find("NoSuchColumn"), std::string::npos);
}

TEST_F(ReadFieldTest, CountRecordsKeepsTheCursor) {
    EXPECT_EQ(m_records->CountRecords(), 4u);
    m_records->FirstRecord();
    m_records->NextRecord();
    EXPECT_EQ(m_records->CountRecords(), 4u);
    LONG row = 0;
    EXPECT_TRUE(m_records->ReadField("Row", row));
    EXPECT_EQ(row, 2);
    for (int i = 0; i < 3; ++i) m_records->NextRecord();
    EXPECT_TRUE(m_records->IsEOF());
    // Reading past the end is a reported failure, not a crash.
    EXPECT_FALSE(m_records->ReadField("Row", row));
    EXPECT_EQ(m_messages.Records().size(), 1u);
}

TEST_F(ReadFieldTest, CloseRecordsEndsTheResult) {
    EXPECT_TRUE(m_records->IsActive());
    m_records->CloseRecords();
    EXPECT_FALSE(m_records->IsActive());
    EXPECT_TRUE(m_records->IsEOF());
    // Reopening on the kept query text (an empty text keeps the previous one).
    EXPECT_TRUE(m_records->OpenRecords(nullptr, "", 1));
    EXPECT_EQ(m_records->CountRecords(), 4u);
    m_database.Close();
    EXPECT_FALSE(m_records->IsActive());
}

// ---------------------------------------------------------------- options and reports

class OpenRecordsTest : public jdtest::CatalogueEngineTest {
protected:
    void SetUp() override {
        CatalogueEngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(m_database.Open(m_catalogue.c_str()));
        m_records = std::make_unique<CADORecordset>(&m_database);
    }
    BOOL Open(const CString& query, int option) {
        return m_records->OpenRecords(m_database.GetConnection(), query, option);
    }
    DWORD StockRows() {
        CADORecordset count(&m_database);
        EXPECT_TRUE(count.OpenRecords(m_database.GetConnection(), "select * from Stock", 1));
        return count.CountRecords();
    }

    CADODatabase m_database;
    std::unique_ptr<CADORecordset> m_records;
};

TEST_P(OpenRecordsTest, BadQueryReportText) {
    EXPECT_FALSE(Open("select * from NoSuchTable", 1));
    // The engine's own message; a server's SQLSTATE (42P01: undefined table) is the code.
    const std::string report =
        OnServer() ? "CADORecordset Error\n\tCode = 42P01\n\tCode meaning = SQLSTATE 42P01\n\tSource = PostgreSQL\n"
                     "\tDescription = relation \"nosuchtable\" does not exist\n"
                   : "CADORecordset Error\n\tCode = 00000001\n\tCode meaning = SQL logic error\n\tSource = SQLite\n"
                     "\tDescription = no such table: NoSuchTable\n";
    EXPECT_EQ(m_records->GetLastErrorString().str(), "Query = select * from NoSuchTable\n" + report);
    EXPECT_EQ(m_records->GetLastError(), OnServer() ? static_cast<DWORD>(jdsql::PackSqlState("42P01")) : 1u);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text.str(), report);
    EXPECT_EQ(Boxes()[0].type & MB_ICONMASK, MB_ICONSTOP);
    EXPECT_FALSE(m_records->IsActive());
}

TEST_P(OpenRecordsTest, ConnectionReportText) {
    CADODatabase database;
    const std::string missing = m_dir->path() + "/missing.db";
    EXPECT_FALSE(database.Open(missing.c_str()));
    const std::string text = database.GetLastErrorString().str();
    const std::string head = "Connection String = " + missing +
                             "\nCADODataBase Error\n\tCode = 0000000e\n\tCode meaning = unable to open database file\n"
                             "\tSource = SQLite\n\tDescription = ";
    EXPECT_EQ(text.rfind(head, 0), 0u) << text;
    EXPECT_EQ(text.substr(head.size()), database.GetErrorDescription().str() + "\n");
    EXPECT_EQ(database.GetLastError(), static_cast<DWORD>(SQLITE_CANTOPEN));
    EXPECT_EQ(StopBoxes(), 1);
    // A mistyped path must not leave an empty catalogue behind.
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_P(OpenRecordsTest, TableByName) {
    EXPECT_TRUE(Open("Para_HighVoltageSwitch", 2));
    EXPECT_EQ(m_records->CountRecords(), jdtest::SeedRows("Para_HighVoltageSwitch.csv").size());
    EXPECT_EQ(m_records->GetFieldCount(), 14);  // ID and the 13 columns of the schema
    // Only a plain identifier names a table.
    EXPECT_FALSE(Open("Stock; delete from Stock", 2));
    EXPECT_EQ(m_records->GetLastError(), static_cast<DWORD>(SQLITE_MISUSE));
    EXPECT_EQ(StockRows(), 2u);
    EXPECT_FALSE(Open("NoSuchTable", 2));
    EXPECT_EQ(StopBoxes(), 2);
}

TEST_P(OpenRecordsTest, StoredProcedureIsRefused) {
    EXPECT_FALSE(Open("sp_models", 3));
    EXPECT_EQ(m_records->GetLastError(), static_cast<DWORD>(SQLITE_MISUSE));
    EXPECT_NE(m_records->GetLastErrorString().str().find("stored procedures"), std::string::npos);
    EXPECT_EQ(StopBoxes(), 1);
}

TEST_P(OpenRecordsTest, UnknownOptionIsTracedOnly) {
    EXPECT_FALSE(Open("select * from Stock", 7));
    EXPECT_TRUE(TraceContains("Unknown parameter. 7"));
    EXPECT_EQ(Boxes().size(), 0u);
    EXPECT_FALSE(m_records->IsActive());
    // Option 0 runs the text as a query, like 1.
    EXPECT_TRUE(Open("select * from Stock", 0));
    EXPECT_EQ(m_records->CountRecords(), 2u);
}

TEST_P(OpenRecordsTest, RecordSetsOnlyRead) {
    EXPECT_FALSE(Open("delete from Stock", 1));
    EXPECT_FALSE(Open("select 1; delete from Stock", 1));
    EXPECT_EQ(StopBoxes(), 2);
    EXPECT_EQ(StockRows(), 2u);
}

TEST_P(OpenRecordsTest, ClosedConnectionIsReported) {
    m_database.Close();
    EXPECT_FALSE(Open("select * from Stock", 1));
    EXPECT_NE(m_records->GetLastErrorString().str().find("not open"), std::string::npos);
    EXPECT_EQ(StopBoxes(), 1);
}

TEST(QuoteSqlTextTest, DoublesEverySingleQuote) {
    EXPECT_EQ(QuoteSqlText("a'b''c"), "a''b''''c");
    EXPECT_EQ(QuoteSqlText(""), "");
    EXPECT_EQ(QuoteSqlText(G("移动变电站")), G("移动变电站"));
}

INSTANTIATE_TEST_SUITE_P(Engines, OpenRecordsTest, jdtest::BothEngines(), jdtest::EngineName);

}  // namespace
