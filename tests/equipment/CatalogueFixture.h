#pragma once
// Test support for the equipment library: temporary folders, environment
// variables set for one test, a fresh catalogue built from the shipped seed,
// and the message boxes and traces the library produced.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "equipment/CatalogueConnection.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "platform/CString.h"
#include "platform/Gbk.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"

namespace jdtest {

// A folder under /tmp removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Sets (or with nullopt unsets) an environment variable until destroyed.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

std::string SeedDirectory();                 // the source tree's data/
std::string ReadFile(const std::string& path);
// Rows of a seed CSV (header dropped), fields as text ("" for empty).
std::vector<std::vector<std::string>> SeedRows(const std::string& fileName);

// The throwaway PostgreSQL server the test run started (scripts/test-postgres,
// a CTest fixture): the URI of its maintenance database, "" when none runs.
std::string TestServerUri();
// The URI of database `name` on that server.
std::string TestServerDatabaseUri(const std::string& name);
// A new database on that server holding a fresh catalogue from the seed
// (copied from a template made once per process); "" when no server runs.
std::string FreshServerCatalogue();
// Drops a database FreshServerCatalogue made.
void DropServerCatalogue(const std::string& uri);

// Each test gets a new catalogue built from the seed, named as the
// process-wide catalogue path: a file in a folder of its own, or (on the
// PostgreSQL engine) a database of its own on the test server; and a message
// service that records every box. Traces are cleared before the test.
class CatalogueTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    virtual jdsql::Engine Engine() const { return jdsql::Engine::Sqlite; }
    bool OnServer() const { return Engine() == jdsql::Engine::Postgres; }

    const std::vector<MessageBoxRecord>& Boxes() const { return m_messages.Records(); }
    // Number of boxes with the stop icon.
    int StopBoxes() const;
    bool TraceContains(const std::string& text) const;

    std::unique_ptr<TempDir> m_dir;
    std::string m_catalogue;
    HeadlessMessageService m_messages;
    std::unique_ptr<MessageServiceScope> m_messageScope;
};

// The same tests on both engines: TEST_P with
//   INSTANTIATE_TEST_SUITE_P(Engines, Suite, jdtest::BothEngines(), jdtest::EngineName);
// a PostgreSQL case skips itself when no test server runs.
class CatalogueEngineTest : public CatalogueTest, public ::testing::WithParamInterface<jdsql::Engine> {
protected:
    jdsql::Engine Engine() const override { return GetParam(); }
};
inline auto BothEngines() { return ::testing::Values(jdsql::Engine::Sqlite, jdsql::Engine::Postgres); }
inline std::string EngineName(const ::testing::TestParamInfo<jdsql::Engine>& info) {
    return info.param == jdsql::Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

// UTF-8 literal to GBK.
inline CString G(const char* utf8) { return FromUtf8(utf8); }

}  // namespace jdtest
