// The jdhost command line, run in-process: each subcommand's output and exit
// code on good and bad input.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestDialogs.h"
#include "host/MapFile.h"
#include "jdhost/Cli.h"
#include "jdhost/ModuleLoader.h"
#include "platform/Gbk.h"

namespace {

namespace fs = std::filesystem;

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

CliResult Cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    CliResult r;
    r.code = jdhost::RunCli(args, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What `info` says about the module beside the test program (the module's captions).
std::string ModuleSection() {
    return "module " + jdhost::DefaultModulePath() +
           "\n"
           "  group    供电设备选型(&S)\n"
           "  command  设置变压器(&T)\n"
           "  name     设置变压器/st\n"
           "  keyword  st\n"
           "  toolbar  (none)\n"
           "  type     4\n";
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("jdhost-cli-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        host::MapDocument map = testdlg::MakeTestMap();
        host::MapObject line;
        line.entityId = 4;
        line.handle = 104;
        line.entityType = host::EntityType::Line;
        line.kind = FromUtf8("电缆");
        line.isLine = true;
        line.fromEntity = 1;
        line.toEntity = 3;
        map.AddObject(line);
        map.project().highVoltage = 10000;
        map.project().lowVoltage = 1140;
        m_map = Write("map.json", host::SerializeMap(map));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path m_dir;
    std::string m_map;
};

}  // namespace

TEST(CliUsage, HelpAndBadUsage) {
    CliResult r = Cli({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "usage: jdhost")) << r.out;
    EXPECT_TRUE(Contains(r.out, "--catalogue PATH"));
    r = Cli({});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "no subcommand")) << r.err;
    r = Cli({"frob", "x"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "unknown subcommand frob")) << r.err;
    r = Cli({"--verbose", "info", "x"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "unknown option --verbose")) << r.err;
    r = Cli({"info", "a.json", "--catalogue"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "--catalogue")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Try 'jdhost info --help'")) << r.err;
    r = Cli({"--module", "", "info"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "needs a non-empty value")) << r.err;
    r = Cli({"info", "a.json", "b.json"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "unexpected argument \"b.json\"")) << r.err;
    EXPECT_EQ(Cli({"records", "a.json"}).code, 2);
    EXPECT_EQ(Cli({"run", "a.json"}).code, 2);
    EXPECT_EQ(Cli({"info", "a.json", "--save", "b.json"}).code, 2);
    r = Cli({"catalogue"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "jdhost catalogue: an action is needed")) << r.err;
    r = Cli({"catalogue", "remove", "hv", "1"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "unknown action remove")) << r.err;
    EXPECT_EQ(Cli({"catalogue", "list", "--replace"}).code, 2);  // --replace belongs to import
}

TEST(CliUsage, EverySubcommandHasItsOwnHelp) {
    const CliResult top = Cli({"-h"});
    EXPECT_EQ(top.code, 0);
    // The top-level help is a synopsis of every subcommand and says the limits.
    for (const char* synopsis : {"info [MAP]", "validate MAP...", "records MAP OBJECT [FIELD]",
                                 "run MAP SCRIPT [--save OUT]", "catalogue ACTION ...", "64 MiB"}) {
        EXPECT_TRUE(Contains(top.out, synopsis)) << synopsis << "\n" << top.out;
    }
    const CliResult catalogue = Cli({"catalogue", "--help"});
    EXPECT_EQ(catalogue.code, 0);
    EXPECT_TRUE(Contains(catalogue.out, "usage: jdhost catalogue")) << catalogue.out;
    EXPECT_TRUE(Contains(catalogue.out, "import KIND FILE [--replace]")) << catalogue.out;
    EXPECT_TRUE(Contains(catalogue.out, "init PATH")) << catalogue.out;
    EXPECT_FALSE(Contains(catalogue.out, "validate")) << catalogue.out;
    const CliResult import = Cli({"--catalogue", "x.db", "catalogue", "import", "--help"});
    EXPECT_EQ(import.code, 0);
    EXPECT_TRUE(Contains(import.out, "usage: jdhost catalogue import [OPTIONS] KIND FILE")) << import.out;
    EXPECT_TRUE(Contains(import.out, "--replace")) << import.out;
    const CliResult run = Cli({"run", "--help"});
    EXPECT_TRUE(Contains(run.out, "--save OUT")) << run.out;
}

TEST_F(CliTest, InfoCountsKindsLinesFieldsAndVoltages) {
    // The fixture: 1#变压器 (移动变电站), 2#变压器 (矿用变压器), M1 (电动机), one cable from #1 to #3;
    // field 151 on the two transformers only.
    const CliResult r = Cli({"--catalogue", "cat.db", "info", m_map});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "map " + m_map +
                         "\n"
                         "voltage levels: high 10000 V, low 1140 V\n"
                         "objects: 4\n"
                         "symbols and points by kind:\n"
                         "  电动机: 1\n"
                         "  矿用变压器: 1\n"
                         "  移动变电站: 1\n"
                         "lines: 1\n"
                         "  电缆: 1\n"
                         "attribute fields (objects carrying each):\n"
                         "  151: 2\n"
                         "layers: 1, symbol definitions: 0\n" +
                         ModuleSection());
}

TEST_F(CliTest, ValidateReportsEachFileAndEveryProblem) {
    const std::string broken = Write("broken.json", "{\n  \"objects\": [\n");
    CliResult r = Cli({"validate", m_map});
    EXPECT_EQ(r.code, 0) << r.err;
    // The fixture's two transformers carry field 151 only: the command would
    // keep none of its coefficients or its model on them. A warning, not an error.
    const std::string nothingStored = ": the set-transformer command stores nothing there\n";
    EXPECT_EQ(r.out, m_map + ": OK\n" + m_map + ": warning: #1 1#变压器 (移动变电站) has no field 158, 163" +
                         nothingStored + m_map + ": warning: #2 2#变压器 (矿用变压器) has no field 158, 163" +
                         nothingStored);
    r = Cli({"validate", m_map, broken, (m_dir / "missing.json").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.out, m_map + ": OK\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, broken + ": ")) << r.out;
    EXPECT_TRUE(Contains(r.out, (m_dir / "missing.json").string() + ": ")) << r.out;
}

TEST_F(CliTest, ValidateWarnsOnlyOfTransformersLackingAStoredField) {
    host::MapDocument map = testdlg::MakeTestMap();
    for (host::MapObject& object : map.objects()) {
        if (object.entityId == 1) {
            // Empty records are enough: the fields exist, so OK fills them.
            object.fields[158] = {};
            object.fields[163] = {};
        } else if (object.entityId == 2) {
            object.fields.erase(151);
        }
    }
    // A motor without any of the fields is no concern of the command.
    const std::string path = Write("partial.json", host::SerializeMap(map));
    const CliResult r = Cli({"validate", path});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, path + ": OK\n" + path +
                         ": warning: #2 2#变压器 (矿用变压器) has no field 151, 158, 163: the set-transformer command "
                         "stores nothing there\n");
}

TEST_F(CliTest, RecordsByNameAndByIdPrintEverySubIndex) {
    CliResult r = Cli({"records", m_map, "2#变压器"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "#2 2#变压器 (矿用变压器)\nfield 151\n  0: 2#变压器\n  1: 动力变压器\n  2: 1000\n  3: 1\n  4:\n");
    r = Cli({"records", m_map, "#1", "151"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "#1 1#变压器 (移动变电站)\nfield 151\n  0: 1#变压器\n")) << r.out;
    // An object without the field: the operation failed, not the input.
    r = Cli({"records", m_map, "#1", "163"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "#1 1#变压器 (移动变电站) has no field 163")) << r.err;
    r = Cli({"records", m_map, "nobody"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, m_map + ": no object is named \"nobody\"\n");
    r = Cli({"records", m_map, "#99"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, m_map + ": no object has the entity id #99\n");
    EXPECT_EQ(Cli({"records", m_map, "#1", "x"}).code, 2);
    EXPECT_EQ(Cli({"records", (m_dir / "missing.json").string(), "#1"}).code, 2);
}

TEST_F(CliTest, RunSavesOnlyOnSuccessAndNeverOverwritesTheInput) {
    const std::string original = Read(m_map);
    const std::string out = (m_dir / "out.json").string();
    const std::string good = Write("good.jds", "expect-record #1 151 0 1#变压器\nrecords #2 151\n");
    CliResult r = Cli({"run", m_map, good, "--save", out});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "#2 2#变压器 (矿用变压器)\nfield 151\n  0: 2#变压器\n  1: 动力变压器\n  2: 1000\n  3: 1\n  4:\nsaved " +
                         out + "\n");
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(Read(m_map), original);

    const std::string out2 = (m_dir / "out2.json").string();
    const std::string failing = Write("failing.jds", "# checks\nexpect-record #1 151 0 wrong\n");
    r = Cli({"run", m_map, failing, "--save", out2});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, failing + ": line 2: expect-record: expected \"wrong\"")) << r.err;
    EXPECT_FALSE(fs::exists(out2));

    const std::string bad = Write("bad.jds", "records #1\nfrobnicate\n");
    r = Cli({"run", m_map, bad});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, bad + ": line 2: unknown verb \"frobnicate\"\n");
    EXPECT_EQ(r.out, "");  // nothing ran

    r = Cli({"run", m_map, (m_dir / "none.jds").string()});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, (m_dir / "none.jds").string() + ": cannot be read: No such file or directory\n");

    const std::string brokenMap = Write("broken.json", "not json");
    r = Cli({"run", brokenMap, good});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, brokenMap + ": ")) << r.err;
    EXPECT_EQ(Read(m_map), original);
}

// The benchmark reads this line to time the command without the load and the
// save; a failed run must not report times as if it had done the work.
TEST_F(CliTest, CpuTimesAreReportedOnlyWhenAskedAndOnlyForASuccessfulRun) {
    const std::string good = Write("times.jds", "records #2 151\n");
    const std::string out = (m_dir / "timed.json").string();
    CliResult r = Cli({"run", m_map, good, "--save", out, "--cpu-times"});
    ASSERT_EQ(r.code, 0) << r.err;
    double load = -1, session = -1, save = -1;
    ASSERT_EQ(std::sscanf(r.err.c_str(), "jdhost: cpu seconds: load %lf session %lf save %lf\n", &load, &session,
                          &save),
              3)
        << r.err;
    EXPECT_GE(load, 0.0);
    EXPECT_GE(session, 0.0);
    EXPECT_GE(save, 0.0);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Contains(r.out, "saved " + out)) << r.out;

    r = Cli({"run", m_map, good});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");

    const std::string failing = Write("times-failing.jds", "expect-record #1 151 0 wrong\n");
    r = Cli({"run", m_map, failing, "--cpu-times"});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(Contains(r.err, "cpu seconds")) << r.err;
}

TEST_F(CliTest, FoldersPipesDevicesAndOversizedFilesAreRefusedAsInput) {
    const std::string out = (m_dir / "out.json").string();
    const std::string folder = (m_dir / "scripts").string();
    fs::create_directory(folder);
    const std::string fifo = (m_dir / "pipe.jds").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A sparse file one byte over the script limit: refused by its size, unread.
    const std::string huge = (m_dir / "huge.jds").string();
    std::ofstream(huge).put('\n');
    fs::resize_file(huge, (64u << 20) + 1);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {folder, "is a folder, not a file"},
        {fifo, "is a pipe (FIFO), not a file"},
        {"/dev/zero", "is a device, not a file"},
        {huge, "is 64.0 MiB, over the 64.0 MiB limit"},
    };
    for (const auto& [script, what] : cases) {
        // Before, a folder ran as an empty script and the map was saved.
        const CliResult r = Cli({"run", m_map, script, "--save", out});
        EXPECT_EQ(r.code, 2) << script;
        EXPECT_TRUE(Contains(r.err, script + ": " + what)) << r.err;
        EXPECT_EQ(r.out, "") << script;
        EXPECT_FALSE(fs::exists(out)) << script;
    }
    for (const std::string& csv : {folder, fifo, std::string("/dev/zero")}) {
        const CliResult r = Cli({"catalogue", "import", "hv", csv});
        EXPECT_EQ(r.code, 2) << csv;
        EXPECT_TRUE(Contains(r.err, csv + ": is a")) << r.err;
        EXPECT_TRUE(Contains(r.err, "nothing was imported")) << r.err;
    }
    const std::string nul = Write("nul.jds", std::string("records #1\nexpect-record #1 151 0 1#") + '\0' + "x\n");
    const CliResult r = Cli({"run", m_map, nul});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, nul + ": line 2: a NUL byte at column 26 (a script is text; NUL cannot be written)\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, RunRefusesANamedCatalogueThatDoesNotExistBeforeRunning) {
    const std::string script = Write("s.jds", "records #1 151\n");
    const std::string missing = (m_dir / "typo.db").string();
    // --catalogue after the subcommand's operands, as the help allows.
    CliResult r = Cli({"run", m_map, script, "--catalogue", missing});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "jdhost: the catalogue " + missing +
                         " (named by --catalogue) does not exist.\n"
                         "Make one from the shipped models with: jdhost catalogue init " +
                         missing + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(missing));
    // info reads no catalogue, so it does not care.
    r = Cli({"info", "--catalogue", missing});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST(CliExamples, TheSampleMapsValidateAndTheExampleScriptPasses) {
    const std::string dir = std::string(JD_SOURCE_DIR) + "/examples/";
    CliResult r = Cli({"validate", dir + "sample-mine.json", dir + "small.json"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    r = Cli({"run", dir + "sample-mine.json", dir + "sample-records.jds"});
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    // The model record the example prints, as the sample map stores it: seed
    // row 4 of data/seed/Para_Transformer.csv, its model text without the "/0.69".
    EXPECT_TRUE(Contains(r.out, "#3 1#移动变电站 (移动变电站)\nfield 163\n  0: 4\n  1: KBSGZY-500/6\n")) << r.out;
}
