// `jdhost catalogue` run in-process: listing, showing, exporting and
// importing catalogue models, with the exit codes of jdhost.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "equipment/CatalogueConnection.h"
#include "equipment/JDBase.h"
#include "jdhost/CatalogueCommand.h"
#include "jdhost/Cli.h"

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Each test works on per-user catalogues of its own, made from the seed on
// first use: $XDG_DATA_HOME points into the test's folder.
class CatalogueCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("jdhost-catalogue-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        if (const char* xdg = std::getenv("XDG_DATA_HOME")) m_savedXdg = xdg;
        if (const char* env = std::getenv("JDHOST_CATALOGUE")) m_savedCatalogue = env;
        unsetenv("JDHOST_CATALOGUE");
        UseUserData("first");
    }
    void TearDown() override {
        SetCataloguePath(nullptr);
        Restore("XDG_DATA_HOME", m_savedXdg);
        Restore("JDHOST_CATALOGUE", m_savedCatalogue);
        fs::remove_all(m_dir);
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    void UseUserData(const std::string& name) {
        SetCataloguePath(nullptr);
        setenv("XDG_DATA_HOME", (m_dir / name).c_str(), 1);
    }
    Result Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        Result r;
        r.code = jdhost::RunCatalogueCommand(args, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    fs::path m_dir;
    std::optional<std::string> m_savedXdg, m_savedCatalogue;
};

TEST_F(CatalogueCommandTest, ListShowsEveryKindWithItsCount) {
    const Result r = Run({"list"});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "transformer (Para_Transformer): 90 models\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "  1  KBSGZY-200/6  (200 kVA, 6000 V, 690 V)\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "feeder (Para_AutomaticSwitch): 14 models\n"));
    EXPECT_TRUE(Contains(r.out, "hv (Para_HighVoltageSwitch): 14 models\n"));
    const Result feeders = Run({"list", "feeder"});
    EXPECT_FALSE(Contains(feeders.out, "transformer"));
    EXPECT_TRUE(Contains(feeders.out, "  4  KBZ-400/1140(660)  (660 V, 400 A)\n")) << feeders.out;
}

TEST_F(CatalogueCommandTest, ShowPrintsEveryColumnOrSaysThereIsNoSuchModel) {
    const Result r = Run({"show", "transformer", "1"});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "ID: 1\nModel: KBSGZY-200/6\nType: 移动变电站\nCapacity: 200\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "LinkGroup: Y,y0\n"));
    const Result missing = Run({"show", "hv", "999"});
    EXPECT_EQ(missing.code, jdhost::kExitFailed);
    EXPECT_TRUE(Contains(missing.err, "no hv model has the ID 999")) << missing.err;
    EXPECT_EQ(Run({"show", "hv", "abc"}).code, jdhost::kExitBadInput);
}

TEST_F(CatalogueCommandTest, ExportThenImportIntoAFreshCatalogueGivesTheSameRows) {
    // Make the first catalogue differ from the seed, through the command itself.
    WriteText(m_dir / "extra.csv", "Model,Voltage,RCurrent,IsThemalProtect,ReleaseCurrent\n"
                                   "\"KBZ-630/1140(660), 特制\",1140,630,1,\"1000,2000\"\n");
    ASSERT_EQ(Run({"import", "feeder", (m_dir / "extra.csv").string()}).code, jdhost::kExitDone);
    const Result exported = Run({"export", "feeder", (m_dir / "feeder.csv").string()});
    ASSERT_EQ(exported.code, jdhost::kExitDone) << exported.err;
    EXPECT_TRUE(Contains(exported.out, "exported 15 feeder models"));
    const std::string first = ReadText(m_dir / "feeder.csv");
    EXPECT_TRUE(Contains(first, "\"KBZ-630/1140(660), 特制\",1140,630,1,\"1000,2000\""));

    UseUserData("second");
    const Result imported = Run({"import", "feeder", (m_dir / "feeder.csv").string(), "--replace"});
    ASSERT_EQ(imported.code, jdhost::kExitDone) << imported.err;
    EXPECT_TRUE(Contains(imported.out, "15 added, 0 replaced, 14 removed first")) << imported.out;
    ASSERT_EQ(Run({"export", "feeder", (m_dir / "again.csv").string()}).code, jdhost::kExitDone);
    EXPECT_EQ(ReadText(m_dir / "again.csv"), first);
    // Standard output works as a file too.
    EXPECT_EQ(Run({"export", "feeder", "-"}).out, first);
}

TEST_F(CatalogueCommandTest, ABadRowIsNamedAndNothingIsImported) {
    const std::string before = Run({"export", "transformer", "-"}).out;
    WriteText(m_dir / "bad.csv", "ID,Model,Capacity\n1,KBSGZY-200/6,250\n2,KBSGZY-315/6,three hundred\n");
    const Result r = Run({"import", "transformer", (m_dir / "bad.csv").string()});
    EXPECT_EQ(r.code, jdhost::kExitBadInput);
    EXPECT_TRUE(Contains(r.err, "bad.csv:3: row 2, column Capacity: \"three hundred\" is not a number")) << r.err;
    EXPECT_TRUE(Contains(r.err, "nothing was imported"));
    EXPECT_EQ(Run({"export", "transformer", "-"}).out, before);
}

TEST_F(CatalogueCommandTest, BadUsageAndMissingFiles) {
    EXPECT_EQ(Run({}).code, jdhost::kExitBadInput);
    EXPECT_EQ(Run({"list", "switch"}).code, jdhost::kExitBadInput);
    EXPECT_EQ(Run({"remove", "hv", "1"}).code, jdhost::kExitBadInput);
    EXPECT_EQ(Run({"export", "hv"}).code, jdhost::kExitBadInput);
    EXPECT_EQ(Run({"list", "--replace"}).code, jdhost::kExitBadInput);
    EXPECT_EQ(Run({"list", "--frobnicate"}).code, jdhost::kExitBadInput);
    const Result noFile = Run({"import", "hv", (m_dir / "none.csv").string()});
    EXPECT_EQ(noFile.code, jdhost::kExitBadInput);
    EXPECT_TRUE(Contains(noFile.err, "none.csv: cannot be read")) << noFile.err;
    const Result help = Run({"--help"});
    EXPECT_EQ(help.code, jdhost::kExitDone);
    EXPECT_TRUE(Contains(help.out, "import KIND FILE [--replace]")) << help.out;
}

TEST_F(CatalogueCommandTest, ANamedCatalogueMustExistAndInitMakesOne) {
    const std::string named = (m_dir / "nowhere.db").string();
    Result r = Run({"--catalogue", named, "list"});
    EXPECT_EQ(r.code, jdhost::kExitBadInput);
    EXPECT_TRUE(Contains(r.err, "the catalogue " + named + " (named by --catalogue) does not exist")) << r.err;
    EXPECT_TRUE(Contains(r.err, "jdhost catalogue init " + named)) << r.err;
    EXPECT_FALSE(fs::exists(named));
    // The environment names a catalogue as explicitly as the option does.
    setenv("JDHOST_CATALOGUE", named.c_str(), 1);
    r = Run({"show", "hv", "1"});
    EXPECT_EQ(r.code, jdhost::kExitBadInput);
    EXPECT_TRUE(Contains(r.err, "(named by JDHOST_CATALOGUE)")) << r.err;
    unsetenv("JDHOST_CATALOGUE");

    r = Run({"init", named});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "created the catalogue " + named)) << r.out;
    // The new catalogue holds the seed: as many models as the per-user one made on first use.
    r = Run({"list", "--catalogue", named});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_EQ(r.out, Run({"list"}).out);
    EXPECT_TRUE(Contains(r.out, "transformer (Para_Transformer): 90 models\n")) << r.out;

    // init never replaces anything.
    const std::string before = ReadText(named);
    r = Run({"init", named});
    EXPECT_EQ(r.code, jdhost::kExitBadInput);
    EXPECT_TRUE(Contains(r.err, "exists already")) << r.err;
    EXPECT_EQ(ReadText(named), before);
    // A folder that cannot be made (its parent is a file): the operation failed, and says where.
    WriteText(m_dir / "plain", "x");
    r = Run({"init", (m_dir / "plain" / "x.db").string()});
    EXPECT_EQ(r.code, jdhost::kExitFailed);
    EXPECT_TRUE(Contains(r.err, "cannot create " + (m_dir / "plain" / "x.db").string())) << r.err;
}

// The URI of a new, empty database on the test run's PostgreSQL server
// (scripts/test-postgres); "" when none runs.
std::string NewServerDatabase(const std::string& name) {
    std::ifstream state(std::string(JD_BINARY_DIR) + "/postgres-test-server.txt");
    std::string line, uri;
    while (std::getline(state, line)) {
        if (line.rfind("uri=", 0) == 0) uri = line.substr(4);
    }
    if (uri.empty()) return uri;
    jdsql::Connection server;
    server.Open(uri);
    server.Execute("DROP DATABASE IF EXISTS " + name);
    server.Execute("CREATE DATABASE " + name);
    return "postgresql:///" + name + uri.substr(uri.find('?'));
}

TEST_F(CatalogueCommandTest, CopyMovesACatalogueAndAServerCatalogueIsMadeAndUsedByItsUri) {
    const std::string first = (m_dir / "first.db").string();
    ASSERT_EQ(Run({"init", first}).code, jdhost::kExitDone);
    WriteText(m_dir / "one.csv", "Model,Voltage,RCurrent\nKBZ-COPY,1140,100\n");
    ASSERT_EQ(Run({"--catalogue", first, "import", "feeder", (m_dir / "one.csv").string()}).code, jdhost::kExitDone);
    const std::string listed = Run({"--catalogue", first, "list"}).out;
    ASSERT_TRUE(Contains(listed, "KBZ-COPY")) << listed;

    // Into a file that does not exist yet: made, then filled.
    const std::string second = (m_dir / "second.db").string();
    Result r = Run({"copy", first, second});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    // 90 + 14 + 14 seed models and the added one; 2 stock rows, 26 list items, 1 setting.
    EXPECT_EQ(r.out, "copied " + first + " to " + second + ": 119 models, 2 stock records, 26 list items, 1 settings\n");
    EXPECT_EQ(Run({"--catalogue", second, "list"}).out, listed);
    EXPECT_EQ(Run({"copy", (m_dir / "none.db").string(), second}).code, jdhost::kExitFailed);
    EXPECT_EQ(Run({"--catalogue", second, "list"}).out, listed) << "a failed copy changes nothing";

    const std::string server = NewServerDatabase("jdcli_" + std::to_string(::getpid()));
    if (server.empty()) GTEST_SKIP() << "no PostgreSQL test server runs (scripts/test-postgres)";
    r = Run({"init", server});
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "created the catalogue in " + server)) << r.out;
    EXPECT_EQ(Run({"--catalogue", server, "list"}).out, Run({"list"}).out) << "the seed, as in a per-user file";
    EXPECT_EQ(Run({"init", server}).code, jdhost::kExitFailed) << "init never replaces a catalogue";
    ASSERT_EQ(Run({"copy", first, server}).code, jdhost::kExitDone);
    setenv("JDHOST_CATALOGUE", server.c_str(), 1);
    EXPECT_EQ(Run({"list"}).out, listed);
    unsetenv("JDHOST_CATALOGUE");
}

// jdhost as a program of its own (a child process), with what the dynamic
// loader says about every library it maps (LD_DEBUG=files) in `err`.
struct ChildResult {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ChildResult RunProgram(const fs::path& program, const std::vector<std::string>& args, const fs::path& scratch) {
    std::string command = "LD_DEBUG=files " + Quoted(program.string());
    for (const std::string& arg : args) command += " " + Quoted(arg);
    command += " >" + Quoted((scratch / "child.out").string()) + " 2>" + Quoted((scratch / "child.err").string());
    const int status = std::system(command.c_str());
    ChildResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadText(scratch / "child.out");
    r.err = ReadText(scratch / "child.err");
    return r;
}

bool MapsServerClientLibraries(const std::string& loaderLog) {
    for (const char* library : {"libpq.so", "libssl.so", "libgssapi_krb5.so", "libldap", "libjdcatalogue-pg.so"}) {
        if (Contains(loaderLog, library)) return true;
    }
    return false;
}

TEST_F(CatalogueCommandTest, LibpqIsLoadedOnlyWhenAServerCatalogueIsOpened) {
    const fs::path jdhost = fs::path(JD_BINARY_DIR) / "bin" / "jdhost";
    ChildResult r = RunProgram(jdhost, {"--help"}, m_dir);
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.err, "libpnJDBase.so")) << "the loader's log is read";
    EXPECT_FALSE(MapsServerClientLibraries(r.err)) << r.err;

    r = RunProgram(jdhost, {"catalogue", "list", "feeder"}, m_dir);
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "feeder (Para_AutomaticSwitch): 14 models\n")) << r.out;
    EXPECT_FALSE(MapsServerClientLibraries(r.err)) << "a catalogue file needs no server client";

    const std::string server = NewServerDatabase("jdcli_engine_" + std::to_string(::getpid()));
    if (server.empty()) GTEST_SKIP() << "no PostgreSQL test server runs (scripts/test-postgres)";
    ASSERT_EQ(Run({"init", server}).code, jdhost::kExitDone);
    r = RunProgram(jdhost, {"catalogue", "--catalogue", server, "list", "feeder"}, m_dir);
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_EQ(r.out, Run({"list", "feeder"}).out) << "the seed, as in the per-user file";
    EXPECT_TRUE(Contains(r.err, "libjdcatalogue-pg.so")) << r.err;
    EXPECT_TRUE(Contains(r.err, "libpq.so")) << r.err;
}

TEST_F(CatalogueCommandTest, WithoutThePostgresEngineOnlyServerCataloguesAreRefused) {
    // jdhost and its libraries copied without the engine: an installation
    // that left it out, or a copy made by hand.
    const fs::path bare = m_dir / "bare";
    fs::create_directories(bare);
    for (const char* file : {"jdhost", "libpnJDBase.so", "libjdhostmap.so", "libjdplatform.so"}) {
        fs::copy_file(fs::path(JD_BINARY_DIR) / "bin" / file, bare / file);
    }
    ChildResult r = RunProgram(bare / "jdhost", {"catalogue", "list", "feeder"}, m_dir);
    ASSERT_EQ(r.code, jdhost::kExitDone) << r.err;
    EXPECT_TRUE(Contains(r.out, "feeder (Para_AutomaticSwitch): 14 models\n")) << r.out;

    r = RunProgram(bare / "jdhost", {"catalogue", "--catalogue", "postgresql://planner:s3cret@/mine", "list"}, m_dir);
    EXPECT_EQ(r.code, jdhost::kExitFailed) << r.err;
    EXPECT_TRUE(Contains(r.err, "cannot open the catalogue postgresql://planner:***@/mine")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Description = the PostgreSQL engine libjdcatalogue-pg.so is not installed in " +
                                    bare.string() + "; catalogue files (SQLite) work without it"))
        << r.err;
    EXPECT_FALSE(Contains(r.err, "s3cret"));
    EXPECT_FALSE(MapsServerClientLibraries(r.err.substr(0, r.err.find("cannot open")))) << r.err;
}

TEST_F(CatalogueCommandTest, OptionsAreAcceptedWhereTheHelpShowsThem) {
    // --replace after the file, --catalogue after the action: both as documented.
    const std::string named = (m_dir / "named.db").string();
    ASSERT_EQ(Run({"init", named}).code, jdhost::kExitDone);
    WriteText(m_dir / "one.csv", "Model,Voltage,RCurrent\nKBZ-1,1140,100\n");
    std::ostringstream out, err;
    const int code = jdhost::RunCli({"catalogue", "import", "feeder", (m_dir / "one.csv").string(), "--replace",
                                     "--catalogue", named},
                                    out, err);
    ASSERT_EQ(code, jdhost::kExitDone) << err.str();
    EXPECT_EQ(out.str(), "imported feeder models from " + (m_dir / "one.csv").string() +
                             ": 1 added, 0 replaced, 14 removed first\n");
    const Result listed = Run({"list", "feeder", "--catalogue=" + named});
    EXPECT_TRUE(Contains(listed.out, "feeder (Para_AutomaticSwitch): 1 model\n")) << listed.out;
    // The per-user catalogue was not touched.
    EXPECT_TRUE(Contains(Run({"list", "feeder"}).out, "14 models"));
}

}  // namespace
