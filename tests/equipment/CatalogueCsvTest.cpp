// The catalogue tables as CSV: export and import round trips, upserts by ID,
// and bad files refused whole with the row, line and column named.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "CatalogueFixture.h"
#include "equipment/CatalogueCsv.h"
#include "equipment/JDBase.h"
#include "equipment/Transformer.h"

namespace jdtest {
namespace {

using jdcat::Kind;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class CatalogueCsvTest : public CatalogueEngineTest {
protected:
    std::string Export(Kind kind) { return jdcat::FormatCsv(jdcat::ReadTable(kind)); }
    // The message of the CsvInputError the import throws ("" when it succeeds).
    std::string ImportError(Kind kind, const std::string& csv) {
        try {
            jdcat::ImportCsv(kind, csv, "bad.csv", false);
        } catch (const jdcat::CsvInputError& error) {
            return error.what();
        }
        return "";
    }
    // Switches the library to another catalogue fresh from the seed.
    void UseFreshCatalogue() {
        if (OnServer()) {
            m_secondUri = FreshServerCatalogue();
            SetCataloguePath(m_secondUri.c_str());
            return;
        }
        m_second = std::make_unique<TempDir>();
        const std::string path = *m_second / "fresh.db";
        ASSERT_TRUE(jdlib::CreateCatalogueFile(path, SeedDirectory()));
        SetCataloguePath(path.c_str());
    }
    void TearDown() override {
        CatalogueEngineTest::TearDown();
        if (!m_secondUri.empty()) DropServerCatalogue(m_secondUri);
    }
    std::unique_ptr<TempDir> m_second;
    std::string m_secondUri;
};

TEST_P(CatalogueCsvTest, ExportThenReplacingImportIntoAFreshCatalogueGivesTheSameRows) {
    // Change the first catalogue so that it differs from the seed: a new row
    // with texts that need quoting, an edited row and a deleted one.
    const std::string added =
        "Model,Type,Capacity,HVoltage,LVoltage,LinkGroup\n"
        "\"KBSGZY-630/6 \"\"特\"\"\",移动变电站,630,6000,1200,\"Y,d11\"\n"
        "1600-试验,,1600.125,10000,3450,\"\"\n";
    ASSERT_NO_THROW(jdcat::ImportCsv(Kind::Transformer, added, "added.csv", false));
    ASSERT_TRUE(DeleteCatalogueModel(JD_KIND_TRANSFORMER, 2));
    const std::string transformers = Export(Kind::Transformer);
    const std::string feeders = Export(Kind::Feeder);
    const std::string highVoltage = Export(Kind::HighVoltage);
    ASSERT_TRUE(Contains(transformers, "\"KBSGZY-630/6 \"\"特\"\"\""));
    ASSERT_FALSE(Contains(transformers, "\n2,KBSGZY-315/6,"));

    UseFreshCatalogue();
    ASSERT_NE(Export(Kind::Transformer), transformers);
    for (const auto& [kind, text] :
         {std::pair{Kind::Transformer, transformers}, {Kind::Feeder, feeders}, {Kind::HighVoltage, highVoltage}}) {
        jdcat::ImportCsv(kind, text, "export.csv", true);
        EXPECT_EQ(Export(kind), text) << jdcat::KindName(kind);
    }
}

TEST_P(CatalogueCsvTest, NullAndEmptyTextStayApart) {
    jdcat::ImportCsv(Kind::Transformer, "Model,Type,LinkGroup\nA-1,,\"\"\n", "f.csv", false);
    const jdcat::Table table = jdcat::ReadTable(Kind::Transformer);
    const auto& row = table.rows.back();
    EXPECT_EQ(row[1], std::optional<std::string>("A-1"));
    EXPECT_EQ(row[2], std::nullopt);                     // Type: empty field, NULL
    EXPECT_EQ(row.back(), std::optional<std::string>(""));  // LinkGroup: quoted empty text
    // Model, eleven NULL columns, then the empty LinkGroup.
    EXPECT_TRUE(Contains(Export(Kind::Transformer), ",A-1,,,,,,,,,,,,\"\"\n"));
}

TEST_P(CatalogueCsvTest, RowsWithAnIdReplaceThatModelAndRowsWithoutOneAreAdded) {
    const std::string csv =
        "ID,Model,Capacity,HVoltage,LVoltage,ShortcutLose,RXPercent\n"
        "1,KBSGZY-200/6,200,6000,690,3300,4.5\n"
        ",KBSGZY-999/6,999,6000,690,9000,5\n";
    const jdcat::ImportResult result = jdcat::ImportCsv(Kind::Transformer, csv, "f.csv", false);
    EXPECT_EQ(result.replaced, 1);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.removed, 0);
    CTransformer replaced;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &replaced, 1));
    EXPECT_EQ(replaced.GetShortcutLose(), 3300.0);
    EXPECT_EQ(replaced.GetRXPercent(), 4.5);
    const jdcat::Table table = jdcat::ReadTable(Kind::Transformer);
    EXPECT_EQ(table.rows.size(), 91u);  // 90 seed rows and the new one
    EXPECT_EQ(table.rows.back()[1], std::optional<std::string>("KBSGZY-999/6"));
    // The new row took the next id; a row under a chosen id keeps it.
    jdcat::ImportCsv(Kind::Transformer, "ID,Model\n500,X-500\n", "f.csv", false);
    EXPECT_EQ(jdcat::ReadTable(Kind::Transformer, 500).rows.size(), 1u);
}

TEST_P(CatalogueCsvTest, ABadValueNamesRowLineAndColumnAndChangesNothing) {
    const std::string before = Export(Kind::Transformer);
    const std::string notANumber =
        "ID,Model,Capacity\n"
        "1,KBSGZY-200/6,250\n"
        "\"2\",\"KBSGZY-315/6\",abc\n";
    const std::string message = ImportError(Kind::Transformer, notANumber);
    EXPECT_TRUE(Contains(message, "bad.csv:3: row 2, column Capacity")) << message;
    EXPECT_TRUE(Contains(message, "\"abc\" is not a number")) << message;
    EXPECT_EQ(Export(Kind::Transformer), before) << "the good first row must not have been written";
}

TEST_P(CatalogueCsvTest, BadFilesAreRefusedWithWhatIsWrong) {
    const std::string before = Export(Kind::Feeder);
    struct Case {
        std::string csv;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"ID,Model,Colour\n1,X,red\n", "bad.csv:1: column 3: unknown column \"Colour\""},
        {"ID,Model,Model\n", "column \"Model\" is named twice"},
        {"ID,RCurrent\n1,100\n", "the column Model is required"},
        {"ID,Model,RCurrent\n1,X\n", "bad.csv:2: row 1: 2 fields, the header has 3"},
        {"Model,IsThemalProtect\nX,yes\n", "row 1, column IsThemalProtect: \"yes\" is not 0 or 1"},
        {"ID,Model\n-3,X\n", "row 1, column ID: an ID must be a whole number from 1 to 2147483647, not -3"},
        {"ID,Model\n1.5,X\n", "row 1, column ID: \"1.5\" is not a whole number"},
        {"ID,Model\n7,X\n7,Y\n", "row 2, column ID: the ID 7 occurs twice"},
        {"Model,RCurrent\n,100\n", "row 1, column Model: a value is required"},
        {"Model,RCurrent\nX, 100\n", "\" 100\" is not a number"},
        {"Model\n\"unterminated\n", "bad.csv"},
        {"", "the file is empty"},
    };
    for (const Case& c : cases) {
        const std::string message = ImportError(Kind::Feeder, c.csv);
        EXPECT_TRUE(Contains(message, c.expected)) << "csv:\n" << c.csv << "message: " << message;
    }
    EXPECT_EQ(Export(Kind::Feeder), before);
}

// Values that a lax reader would take but that no catalogue may hold: IDs a
// drawing's 32-bit field cannot keep, numbers strtod reads but nobody writes,
// and texts a map field cannot hold. Each names its row and column.
TEST_P(CatalogueCsvTest, OutOfRangeIdsOddNumbersAndUnstorableTextsAreRefused) {
    const std::string before = Export(Kind::Transformer);
    struct Case {
        std::string csv;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"ID,Model\n3000000000,X\n", "bad.csv:2: row 1, column ID: an ID must be a whole number from 1 to 2147483647"},
        {"ID,Model\n2147483648,X\n", "row 1, column ID: an ID must be a whole number from 1 to 2147483647"},
        {"ID,Model\n9223372036854775807,X\n", "row 1, column ID: an ID must be a whole number"},
        {"Model,Capacity\nX,0x10\n", "bad.csv:2: row 1, column Capacity: \"0x10\" is not a number"},
        {"Model,Capacity\nX,630\nY,nan\n", "bad.csv:3: row 2, column Capacity: \"nan\" is not a number"},
        {"Model,HVoltage\nX,inf\n", "row 1, column HVoltage: \"inf\" is not a number"},
        {"Model,HVoltage\nX,-Infinity\n", "row 1, column HVoltage: \"-Infinity\" is not a number"},
        {"Model,HVoltage\nX,1e999\n", "row 1, column HVoltage: \"1e999\" is not a number"},
        {std::string("Model,Type\nX,A") + '\0' + "B\n", "row 1, column Type: the text holds a NUL character (byte 1)"},
        // A NUL must not cut a number short into one that reads.
        {std::string("Model,Capacity\nX,12") + '\0' + "\n", "row 1, column Capacity: \"12"},
        {std::string("ID,Model\n12") + '\0' + "3,X\n", "row 1, column ID: \"12"},
        {std::string("Model\n\"K") + '\0' + "\"\n", "row 1, column Model: the text holds a NUL character"},
        // U+1F600 is UTF-8 but has no GBK form.
        {"Model,LinkGroup\nX,caf\xF0\x9F\x98\x80\n", "row 1, column LinkGroup: the text has a character the catalogue "
                                             "cannot hold in GBK (byte 3)"},
    };
    for (const Case& c : cases) {
        const std::string message = ImportError(Kind::Transformer, c.csv);
        EXPECT_TRUE(Contains(message, c.expected)) << "csv:\n" << c.csv << "message: " << message;
    }
    EXPECT_EQ(Export(Kind::Transformer), before);
    // The largest ID a drawing can keep is still taken.
    EXPECT_EQ(ImportError(Kind::Transformer, "ID,Model,Capacity\n2147483647,X,1.5e3\n"), "");
    EXPECT_EQ(jdcat::ReadTable(Kind::Transformer, 2147483647).rows.size(), 1u);
}

TEST_P(CatalogueCsvTest, AFileInAnotherEncodingIsNamedWithLineAndByte) {
    // "型号" in GBK is D0 CD BA C5; the first bad byte is the lead D0 at the
    // start of line 2 (byte 1), after the UTF-8 header line.
    const std::string gbk = "Model,Type\nKBSG,\xD0\xCD\xBA\xC5\n";
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, gbk), "bad.csv: not UTF-8 (line 2, byte 6)"))
        << ImportError(Kind::Transformer, gbk);
    // UTF-16 little-endian with its byte order mark FF FE: byte 1 of line 1.
    const std::string utf16("\xFF\xFEM\0o\0d\0e\0l\0\n\0", 14);
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, utf16), "bad.csv: not UTF-8 (line 1, byte 1)"))
        << ImportError(Kind::Transformer, utf16);
    // An overlong form of "/" (C0 AF) is malformed UTF-8 too.
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "Model\nA\xC0\xAF\n"), "not UTF-8 (line 2, byte 2)"));
}

// Drops to an unprivileged user when run as root (as CI does), since root
// writes into read-only folders anyway.
void BecomeUnprivileged() {
    if (geteuid() == 0 && setgid(65534) == 0 && setuid(65534) != 0) std::_Exit(3);
}

TEST_P(CatalogueCsvTest, ACatalogueInAReadOnlyFolderCanStillBeListedShownAndExported) {
    if (OnServer()) GTEST_SKIP() << "a question of files";
    const std::string folder = *m_dir / "shared";
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/catalogue.db";
    ASSERT_TRUE(jdlib::CreateCatalogueFile(path, SeedDirectory()));
    const std::string expected = Export(Kind::Transformer);  // from the writable per-test catalogue: same seed
    ASSERT_EQ(chmod(m_dir->path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    SetCataloguePath(path.c_str());
    EXPECT_EXIT(
        {
            BecomeUnprivileged();
            const bool listed = jdcat::ReadTable(Kind::Transformer).rows.size() == 90;
            const bool shown = jdcat::ReadTable(Kind::HighVoltage, 3).rows.size() == 1;
            const bool exported = Export(Kind::Transformer) == expected;
            bool importRefused = false;
            try {
                jdcat::ImportCsv(Kind::Transformer, "Model\nX\n", "f.csv", false);
            } catch (const jdcat::CatalogueError&) {
                importRefused = true;
            }
            std::_Exit(listed && shown && exported && importRefused ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    chmod(folder.c_str(), 0755);
}

TEST_P(CatalogueCsvTest, ReadingOneRowAndAnUnopenableCatalogue) {
    const jdcat::Table one = jdcat::ReadTable(Kind::HighVoltage, 3);
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.columns[1], "Model");
    EXPECT_EQ(one.rows[0][1], std::optional<std::string>("PBG-200/6(10)"));
    EXPECT_TRUE(jdcat::ReadTable(Kind::HighVoltage, 999).rows.empty());

    SetCataloguePath((*m_dir / "missing.db").c_str());
    try {
        jdcat::ReadTable(Kind::Transformer);
        FAIL() << "a missing named catalogue must not be created";
    } catch (const jdcat::CatalogueError& error) {
        EXPECT_TRUE(Contains(error.what(), "missing.db")) << error.what();
    }
}

// A row with an ID is added or replaces that row whole in one statement;
// the counts still tell the two apart, and the catalogue never hands out an
// ID again that a row once had, whether it came from the file or not.
TEST_P(CatalogueCsvTest, ReplacedRowsLoseWhatTheFileLeavesOutAndIdsAreNeverReused) {
    const std::string csv = "ID,Model,Capacity\n1,R-1,250\n700,N-700,700\n";
    jdcat::ImportResult result = jdcat::ImportCsv(Kind::Transformer, csv, "f.csv", false);
    EXPECT_EQ(result.added, 1);
    EXPECT_EQ(result.replaced, 1);
    // Row 1 had every column from the seed; the file names three of them.
    const std::string exported = Export(Kind::Transformer);
    EXPECT_TRUE(Contains(exported, "\n1,R-1,,250,,,,,,,,,,\n")) << exported.substr(0, 300);
    EXPECT_TRUE(Contains(exported, "\n700,N-700,,700,,,,,,,,,,\n"));
    // The same file again only replaces.
    result = jdcat::ImportCsv(Kind::Transformer, csv, "f.csv", false);
    EXPECT_EQ(result.added, 0);
    EXPECT_EQ(result.replaced, 2);

    // 700 was the largest ID ever given; after deleting it, a new row takes 701.
    ASSERT_TRUE(DeleteCatalogueModel(JD_KIND_TRANSFORMER, 700));
    result = jdcat::ImportCsv(Kind::Transformer, "Model\nNEXT\n", "f.csv", false);
    EXPECT_EQ(result.added, 1);
    const jdcat::Table table = jdcat::ReadTable(Kind::Transformer);
    EXPECT_EQ(table.rows.back()[0], std::optional<std::string>("701"));
    EXPECT_EQ(table.rows.back()[1], std::optional<std::string>("NEXT"));

    // A row without an ID after one that took the next free ID itself gets
    // the one after (a server's sequence had not moved past it yet).
    result = jdcat::ImportCsv(Kind::Transformer, "ID,Model\n702,OWN\n,AFTER\n", "f.csv", false);
    EXPECT_EQ(result.added, 2);
    const jdcat::Table after = jdcat::ReadTable(Kind::Transformer);
    EXPECT_EQ(after.rows.back()[0], std::optional<std::string>("703"));
    EXPECT_EQ(after.rows.back()[1], std::optional<std::string>("AFTER"));

    // Emptying the table first: every row of the file is added, the old ones counted as removed.
    result = jdcat::ImportCsv(Kind::Transformer, csv, "f.csv", true);
    EXPECT_EQ(result.removed, 93);  // the 90 seed rows (row 1 replaced), 701, 702 and 703
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.replaced, 0);
}

// The first bad row of the file is the one named, whether its fault is a
// value or an ID an earlier row has; nothing is written either way.
TEST_P(CatalogueCsvTest, TheFirstBadRowIsNamedWhateverItsFault) {
    const std::string before = Export(Kind::Transformer);
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "ID,Model,Capacity\n5,A,1\n5,B,2\n6,C,x\n"),
                         "bad.csv:3: row 2, column ID: the ID 5 occurs twice"));
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "ID,Model,Capacity\n5,A,1\n6,B,x\n5,C,2\n"),
                         "bad.csv:3: row 2, column Capacity: \"x\" is not a number"));
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "ID,Model,Capacity\n5,A,1\n5,B,x\n"),
                         "bad.csv:3: row 2, column Capacity: \"x\" is not a number"));
    // An ID three times is named where it comes the second time.
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "ID,Model\n9,A\n8,B\n9,C\n8,D\n9,E\n"),
                         "bad.csv:4: row 3, column ID: the ID 9 occurs twice"));
    // A text column's repeated value is checked again where it stops being the same.
    EXPECT_TRUE(Contains(ImportError(Kind::Transformer, "Model,Type\nA,t\nB,t\nC,\xF0\x9F\x98\x80\n"),
                         "bad.csv:4: row 3, column Type: the text has a character"));
    EXPECT_EQ(Export(Kind::Transformer), before);
}

// Numbers are stored exactly as strtod reads their text, in every plain
// form a file may hold them: short decimals, signs, a bare point at either
// end, more digits than a double holds, exponents.
TEST_P(CatalogueCsvTest, NumbersAreStoredAsTheirTextReadsExactly) {
    std::mt19937_64 random(13);
    std::vector<std::string> texts = {"0",    "-0",   "+7",   ".5",   "5.",   "-.25", "007.100",
                                      "9007199254740993", "9007199254740992.5", "0.1000000000000000055511151231257827",
                                      "1e3",  "2.5E-3", "-1.7976931348623157e308", "4.9e-324", "123456789012345678901234"};
    for (int i = 0; i < 300; ++i) {
        // A whole part and a fraction of random lengths, so that both the
        // short forms and those with too many digits for one division come up.
        std::string text = (random() % 4 == 0) ? "-" : "";
        const int whole = static_cast<int>(random() % 12), fraction = static_cast<int>(random() % 26);
        for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
        if (whole == 0) text += '0';
        if (fraction) text += '.';
        for (int d = 0; d < fraction; ++d) text += static_cast<char>('0' + random() % 10);
        texts.push_back(text);
    }
    std::string csv = "Model,Capacity\n";
    for (size_t i = 0; i < texts.size(); ++i) csv += "N-" + std::to_string(i) + "," + texts[i] + "\n";
    ASSERT_NO_THROW(jdcat::ImportCsv(Kind::Transformer, csv, "numbers.csv", true));
    const jdcat::Table table = jdcat::ReadTable(Kind::Transformer);
    ASSERT_EQ(table.rows.size(), texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_TRUE(table.rows[i][3].has_value());
        EXPECT_EQ(std::strtod(table.rows[i][3]->c_str(), nullptr), std::strtod(texts[i].c_str(), nullptr))
            << texts[i] << " was read back as " << *table.rows[i][3];
    }
}

// The list reads rows one at a time and only some columns: each value must
// be what the whole table gives, texts of several columns of a row at once
// included, and a column the table lacks NULL.
TEST_P(CatalogueCsvTest, RowsReadOneAtATimeGiveWhatTheWholeTableGives) {
    ASSERT_NO_THROW(jdcat::ImportCsv(Kind::Feeder, "Model,ReleaseCurrent,LongMultiple,MCurrent\n\"Q,1\",\"\",,0.125\n",
                                     "f.csv", false));
    const jdcat::Table table = jdcat::ReadTable(Kind::Feeder);
    const std::vector<std::string> wanted = {"LongMultiple", "Model", "NoSuchColumn", "IsThemalProtect",
                                             "ReleaseCurrent", "MCurrent", "ID"};
    std::vector<std::vector<std::optional<std::string>>> rows;
    const size_t count = jdcat::ForEachRow(Kind::Feeder, wanted, [&](const std::vector<std::string_view>& row) {
        std::vector<std::optional<std::string>> values;
        for (const std::string_view value : row)
            values.push_back(value.data() ? std::optional<std::string>(value) : std::nullopt);
        rows.push_back(values);
    });
    ASSERT_EQ(count, table.rows.size());
    ASSERT_EQ(rows.size(), table.rows.size());
    for (size_t c = 0; c < wanted.size(); ++c) {
        const auto column = std::find(table.columns.begin(), table.columns.end(), wanted[c]);
        for (size_t r = 0; r < rows.size(); ++r) {
            const std::optional<std::string> expected =
                column == table.columns.end() ? std::nullopt : table.rows[r][static_cast<size_t>(column - table.columns.begin())];
            EXPECT_EQ(rows[r][c], expected) << "row " << r << ", column " << wanted[c];
        }
    }
    // The new row: two texts side by side, an empty text, a NULL and a real.
    EXPECT_EQ(rows.back()[1], std::optional<std::string>("Q,1"));
    EXPECT_EQ(rows.back()[4], std::optional<std::string>(""));
    EXPECT_EQ(rows.back()[0], std::nullopt);
    EXPECT_EQ(rows.back()[5], std::optional<std::string>("0.125"));
}

INSTANTIATE_TEST_SUITE_P(Engines, CatalogueCsvTest, BothEngines(), EngineName);

// The plain form of the text a real is written as: "%.15g" when it reads
// back exactly, else "%.17g".
std::string PlainRealText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.15g", value);
    if (std::strtod(text, nullptr) != value) std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

TEST(FormatRealTest, GivesTheTextOfThePlainFormForEveryKindOfValue) {
    std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 1e-4, 1e-5, 0.00012345, 1e14, 1e15, 1e16,
                                  123456789012345.0, 1234567890123456.0, 999999999999999.0, 0.1 + 0.2,
                                  1.0 / 3.0, 5e-324, 2.2250738585072014e-308, 1.7976931348623157e308,
                                  6000.0, 0.0117, 1.25e4, std::nextafter(1.0, 2.0), 4.35, 9.5e-5};
    std::mt19937_64 random(7);
    for (int i = 0; i < 20000; ++i) {
        // Any bit pattern of a finite double,
        std::uint64_t bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any)) values.push_back(any);
        // and catalogue-like values: few digits, scaled by a power of ten.
        const double scaled = static_cast<double>(random() % 100000) * std::pow(10.0, static_cast<int>(random() % 30) - 15);
        values.push_back(i % 2 ? scaled : -scaled);
    }
    for (const double value : values) {
        jdcat::RealBuffer buffer;
        ASSERT_EQ(std::string(jdcat::FormatReal(value, buffer)), PlainRealText(value)) << std::hexfloat << value;
    }
}


}  // namespace
}  // namespace jdtest
