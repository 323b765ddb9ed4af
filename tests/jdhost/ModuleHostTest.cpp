// jdhost driving the command module it loads: the command verbs of a script
// reach the module's events, the prompts and the highlight land in the
// transcript, and a host event the module cannot take fails the run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jdhost/Cli.h"
#include "jdhost/ModuleLoader.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

class ModuleHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("jdhost-module-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Script(const std::string& text) {
        const fs::path path = m_dir / "s.jds";
        std::ofstream(path) << text;
        return path.string();
    }
    CliResult Run(std::vector<std::string> args) {
        std::ostringstream out, err;
        CliResult r;
        r.code = jdhost::RunCli(args, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }

    fs::path m_dir;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(ModuleHostTest, CommandVerbsDriveThePickAndTheHighlightLandsInTheTranscript) {
    const std::string script = Script(
        "launch\n"
        "expect-prompt 请选择变压器或[ESC取消命令]:\n"
        "ctrl down\n"
        "pick 1#移动变电站 2#移动变电站\n"   // two: the pick starts again, both kept while Ctrl is down
        "ctrl up\n"
        "pick 1#照明综保\n"                   // filtered out; still two: again, emptied this time
        "expect-prompt 请选择变压器或[ESC取消命令]:\n"
        "pick 1#移动变电站\n"
        "expect-prompt 单击图例弹出对话框,设置变压器参数:\n"
        "repaint\n"
        "key esc\n"
        "expect-prompt 退出设置变压器命令\n");
    const CliResult r = Run({"run", kSample, script});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "prompt \"<设置变压器/settransformer/st>\"\n"
                                "prompt \"请选择变压器或[ESC取消命令]:\"\n"
                                "launch -> 1\n"))
        << r.out;
    // 1#移动变电站: insertion (300, 300), definition 28 x 16 placed 28 x 16, no
    // rotation; the sample's view maps (x, y) to (1.5·x, 1.5·(500 − y)):
    // c0 (286, 308) -> (429, 288), c1 (314, 308) -> (471, 288),
    // c2 (314, 292) -> (471, 312), c3 (286, 292) -> (429, 312).
    EXPECT_TRUE(Contains(r.out, "repaint:\n"
                                "  rop 4 -> 13\n"
                                "  pen dot 1 0x0000FF\n"
                                "  moveto 429 288\n"
                                "  lineto 471 288\n"))
        << r.out;
    // The grip at the middle of c1c2, (314, 300) -> (471, 300), three pixels each way.
    EXPECT_TRUE(Contains(r.out, "  rect 468 297 474 303\n")) << r.out;
    EXPECT_TRUE(Contains(r.out, "prompt \"退出设置变压器命令\"\n")) << r.out;
}

TEST_F(ModuleHostTest, EventsTheCommandCannotTakeFailTheRunAtTheirLine) {
    CliResult r = Run({"run", kSample, Script("click\n")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "line 1: click: no click for the command: it is not running")) << r.err;

    r = Run({"run", kSample, Script("launch\npick 1#移动变电站\npick 2#移动变电站\n")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "line 3: pick: no pick in progress")) << r.err;

    r = Run({"run", kSample, Script("launch\nlaunch\n")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.out, "launch -> 0\n")) << r.out;
    EXPECT_TRUE(Contains(r.err, "line 2: launch: the module did not start its command")) << r.err;
}

TEST_F(ModuleHostTest, AModuleThatCannotBeLoadedIsBadInput) {
    const std::string missing = (m_dir / "none.so").string();
    CliResult r = Run({"--module", missing, "run", kSample, Script("launch\n")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "jdhost: " + missing + ": no command module there (build it, or name it with --module PATH)\n");
    EXPECT_EQ(r.out, "");

    // A library without the command interface names every missing export.
    const std::string other = (fs::path(jdhost::DefaultModulePath()).parent_path() / "libjdplatform.so").string();
    r = Run({"--module=" + other, "info"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, other + ": not a command module: it does not export GetCommandName, ")) << r.err;
    EXPECT_TRUE(Contains(r.err, ", LaunchCommand, MouseStatus\n")) << r.err;

    // A script without command verbs does not need the module.
    r = Run({"run", kSample, Script("records 1#移动变电站 163\n")});
    EXPECT_EQ(r.code, 0) << r.err;
}

TEST_F(ModuleHostTest, TheSetTransformerExampleSetsTheSampleSubstationAndLeavesTheSampleAlone) {
    // The default catalogue is the per-user one: give the run a user of its own.
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
    const std::string before = Read(kSample);
    const std::string out = (m_dir / "set.json").string();
    const CliResult r =
        Run({"run", kSample, std::string(JD_SOURCE_DIR) + "/examples/set-transformer.jds", "--save", out});
    if (previous) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(fs::exists(m_dir / "data" / "jdhost" / "catalogue.db"));
    EXPECT_TRUE(Contains(r.out, "dialog 5000 \"设置变压器\" closed: OK\n")) << r.out;
    // The load statistics list the motors counted as module output; "platform:"
    // lines are for problems the framework survived, and there are none.
    EXPECT_TRUE(Contains(r.out, "\n  module: 受控电动机 3 台：")) << r.out;
    EXPECT_FALSE(Contains(r.out, "platform:")) << r.out;
    // The model record names the chosen catalogue model (its id is the seed's).
    EXPECT_TRUE(Contains(r.out, "field 163\n  0: ")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\n  1: KBSGZY-315/6\n  2: 移动变电站\n  3: 315.00\n")) << r.out;
    // The points it feeds carry the new impedance: 315 kVA, 690 V, 4380 W, 4 % gives
    // R_T = 4380 x (690 / 315000)^2 = 0.021016 and X_T = 0.056687 (hand calculation);
    // d4's sums move from 0.1659 / 0.0808 by (R_T - 0.0117) and (X_T - 0.0363).
    EXPECT_TRUE(Contains(r.out, "  11: 1;690;2-1电缆/2-2电缆;1#移动变电站,0.0210,0.0567;0.1752;0.1012;\n")) << r.out;
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(Read(kSample), before);
}

TEST_F(ModuleHostTest, TheStockExampleKeepsTheEditedCellsInTheCatalogue) {
    // The grid verbs reach the stock view's cells; what OK stored must come
    // back when the view is opened again in the same run.
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
    const CliResult r = Run({"run", kSample, std::string(JD_SOURCE_DIR) + "/examples/stock.jds"});
    // A cell that holds something else fails the run and names the cell.
    const CliResult wrong = Run({"run", kSample, Script("launch\npick 1#移动变电站\nclick\n"
                                                        "select 5005 KBSGZY-500/6\npress 5043\n"
                                                        "expect-cell 3028 1 0 KBSGZY-630/6\n")});
    if (previous) ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else ::unsetenv("XDG_DATA_HOME");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "row 1: KBSGZY-500/6 | YB-2026-017 |  | 华北防爆电气 二厂 |")) << r.out;
    EXPECT_EQ(wrong.code, 1);
    EXPECT_TRUE(Contains(wrong.err, "line 6: expect-cell")) << wrong.err;
}

}  // namespace
