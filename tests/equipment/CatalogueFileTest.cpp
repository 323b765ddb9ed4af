// Where the catalogue is and how a new one is made from the shipped seed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "CatalogueFixture.h"
#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"

using jdtest::G;
using jdtest::ScopedEnv;
using jdtest::TempDir;

namespace {

std::vector<std::string> FilesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

DWORD CountTable(CADODatabase& database, const char* table) {
    CADORecordset records(&database);
    EXPECT_TRUE(records.OpenRecords(database.GetConnection(), table, 2)) << table;
    return records.CountRecords();
}

class CatalogueLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetCataloguePath(nullptr);
        ClearPlatformDiagnostics();
    }
    void TearDown() override { SetCataloguePath(nullptr); }

    TempDir m_home;
    HeadlessMessageService m_messages;
    MessageServiceScope m_scope{m_messages};
};

TEST_F(CatalogueLocationTest, ExplicitPathThenEnvironmentThenPerUserFile) {
    ScopedEnv data("XDG_DATA_HOME", m_home.path());
    ScopedEnv named("JDHOST_CATALOGUE", std::nullopt);
    EXPECT_EQ(ResolveCataloguePath(), m_home.path() + "/jdhost/catalogue.db");
    {
        ScopedEnv env("JDHOST_CATALOGUE", std::string("/srv/mine/catalogue.db"));
        EXPECT_EQ(ResolveCataloguePath(), "/srv/mine/catalogue.db");
        SetCataloguePath("/data/explicit.db");
        EXPECT_EQ(ResolveCataloguePath(), "/data/explicit.db");
        SetCataloguePath("");
        EXPECT_EQ(ResolveCataloguePath(), "/srv/mine/catalogue.db");
    }
    // A relative XDG_DATA_HOME is not to be used: ~/.local/share instead.
    ScopedEnv relative("XDG_DATA_HOME", std::string("relative/dir"));
    ScopedEnv home("HOME", m_home.path());
    EXPECT_EQ(ResolveCataloguePath(), m_home.path() + "/.local/share/jdhost/catalogue.db");
    ScopedEnv noHome("HOME", std::nullopt);
    EXPECT_EQ(ResolveCataloguePath(), "");
    CADODatabase database;
    EXPECT_FALSE(OpenJDDatabase(&database));
    ASSERT_EQ(m_messages.Records().size(), 1u);
    EXPECT_NE(m_messages.Records()[0].text.str().find("HOME"), std::string::npos);
}

TEST_F(CatalogueLocationTest, PerUserCatalogueIsCreatedFromTheSeedOnFirstUse) {
    ScopedEnv data("XDG_DATA_HOME", m_home.path());
    ScopedEnv named("JDHOST_CATALOGUE", std::nullopt);
    const std::string folder = m_home.path() + "/jdhost";
    const std::string path = folder + "/catalogue.db";
    ASSERT_FALSE(std::filesystem::exists(path));
    {
        CADODatabase database;
        ASSERT_TRUE(OpenJDDatabase(&database));
        EXPECT_EQ(database.GetConnectionString(), path.c_str());
        EXPECT_EQ(CountTable(database, "Para_Transformer"), jdtest::SeedRows("Para_Transformer.csv").size());
        EXPECT_EQ(CountTable(database, "Para_AutomaticSwitch"), jdtest::SeedRows("Para_AutomaticSwitch.csv").size());
        EXPECT_EQ(CountTable(database, "Para_HighVoltageSwitch"),
                  jdtest::SeedRows("Para_HighVoltageSwitch.csv").size());
        EXPECT_EQ(CountTable(database, "ValueList"), jdtest::SeedRows("ValueList.csv").size());
        CloseJDDatabase(&database);
    }
    // Only the catalogue is left: no half-made temporary file beside it.
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"catalogue.db"});
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Made once: a change survives the next open.
    ASSERT_TRUE(AddHighVoltage("35000"));
    CADODatabase again;
    ASSERT_TRUE(OpenJDDatabase(&again));
    EXPECT_EQ(CountTable(again, "ValueList"), jdtest::SeedRows("ValueList.csv").size() + 1);
    EXPECT_EQ(m_messages.Records().size(), 0u);
}

TEST_F(CatalogueLocationTest, NamedCatalogueIsNeverCreated) {
    const std::string missing = m_home.path() + "/typo.db";
    SetCataloguePath(missing.c_str());
    CADODatabase database;
    EXPECT_FALSE(OpenJDDatabase(&database));
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(database.GetLastError(), static_cast<DWORD>(SQLITE_CANTOPEN));
    ASSERT_EQ(m_messages.Records().size(), 1u);
    EXPECT_EQ(m_messages.Records()[0].type & MB_ICONMASK, MB_ICONSTOP);
    // The list routines then give an empty text, not a null pointer.
    char* list = GetHighVoltageList();
    ASSERT_NE(list, nullptr);
    EXPECT_STREQ(list, "");
    std::free(list);
}

TEST_F(CatalogueLocationTest, FileOfAnotherSchemaVersionIsRefused) {
    const std::string path = m_home.path() + "/other.db";
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE T (A); PRAGMA user_version = 7;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    SetCataloguePath(path.c_str());
    CADODatabase database;
    EXPECT_FALSE(OpenJDDatabase(&database));
    EXPECT_FALSE(database.IsOpen());
    EXPECT_NE(database.GetErrorDescription().str().find("schema version 1 (its version is 7)"), std::string::npos);
    // Not a database at all.
    std::ofstream(m_home.path() + "/text.db") << "just some text, long enough to be no database header at all";
    SetCataloguePath((m_home.path() + "/text.db").c_str());
    CADODatabase text;
    EXPECT_FALSE(OpenJDDatabase(&text));
    EXPECT_EQ(text.GetLastError() & 0xFF, static_cast<DWORD>(SQLITE_NOTADB));
    EXPECT_EQ(m_messages.Records().size(), 2u);
}

TEST_F(CatalogueLocationTest, BrokenSeedLeavesNoFileAndNamesTheLine) {
    TempDir seed;
    std::filesystem::copy_file(jdtest::SeedDirectory() + "/catalogue.sql", seed / "catalogue.sql");
    std::filesystem::create_directory(seed / "seed");
    std::ofstream(seed / "seed/Para_Transformer.csv") << "ID,Model,Capacity\n1,A,100\n2,B\n";
    const std::string path = m_home / "catalogue.db";
    try {
        jdlib::CreateCatalogueFile(path, seed.path());
        ADD_FAILURE() << "a seed row with a missing field was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("Para_Transformer.csv:3: 2 fields, the header has 3"),
                  std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(FilesIn(m_home.path()).empty());

    std::ofstream(seed / "seed/Para_Transformer.csv", std::ios::trunc) << "ID,Model\n1,\n";
    EXPECT_THROW(jdlib::CreateCatalogueFile(path, seed.path()), std::runtime_error);  // Model is NOT NULL
    std::filesystem::remove(seed / "seed/Para_Transformer.csv");
    std::ofstream(seed / "seed/NoSuchTable.csv") << "A\n1\n";
    EXPECT_THROW(jdlib::CreateCatalogueFile(path, seed.path()), std::runtime_error);
    EXPECT_TRUE(FilesIn(m_home.path()).empty());
}

TEST_F(CatalogueLocationTest, TwoHostsCreatingAtOnceShareOneCatalogue) {
    const std::string path = m_home / "shared.db";
    int created[2] = {0, 0};
    auto make = [&](int i) {
        try {
            created[i] = jdlib::CreateCatalogueFile(path, jdtest::SeedDirectory()) ? 1 : 0;
        } catch (...) {
            created[i] = -1;
        }
    };
    std::thread a(make, 0), b(make, 1);
    a.join();
    b.join();
    EXPECT_EQ(created[0] + created[1], 1);  // one made it, the other found it made
    EXPECT_EQ(FilesIn(m_home.path()), std::vector<std::string>{"shared.db"});
    // Creating again over an existing catalogue keeps the existing one.
    EXPECT_FALSE(jdlib::CreateCatalogueFile(path, jdtest::SeedDirectory()));
    SetCataloguePath(path.c_str());
    CADODatabase database;
    ASSERT_TRUE(OpenJDDatabase(&database));
    EXPECT_EQ(CountTable(database, "Stock"), 2u);
}

TEST(CsvTest, QuotedFieldsAndNulls) {
    const auto records = jdlib::ParseCsv("\xEF\xBB\xBF" "A,B,C\r\n1,\"Y,y0\",\n\n\"say \"\"hi\"\"\",\"\",\"two\nlines\"\n",
                                         "t.csv");
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fields[0], "A");
    EXPECT_EQ(records[1].fields[1], "Y,y0");
    EXPECT_FALSE(records[1].fields[2].has_value());  // empty unquoted: NULL
    EXPECT_EQ(records[2].line, 4);
    EXPECT_EQ(records[2].fields[0], "say \"hi\"");
    EXPECT_EQ(records[2].fields[1], "");  // empty quoted: empty text
    EXPECT_EQ(records[2].fields[2], "two\nlines");
}

TEST(CsvTest, MalformedTextNamesTheLine) {
    auto message = [](const std::string& text) {
        try {
            jdlib::ParseCsv(text, "bad.csv");
        } catch (const std::runtime_error& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message("A\n\"open"), "bad.csv:2: a quoted field is not closed");
    EXPECT_EQ(message("A\n\"x\"y\n"), "bad.csv:2: text after the closing quote of a field");
    EXPECT_EQ(message("A\nx\"y\n"), "bad.csv:2: a quote inside an unquoted field");
}

}  // namespace
