// jdhost opening the module's Set High-Voltage Switch dialog: through the
// Set Transformer dialog's "整定高压头" (the library's SetHighVoltageHead,
// which the module serves once loaded) and through the `set-hv-switch` verb.
// The sample mine and a catalogue of the test's own, built from the seed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "host/HostObjects.h"
#include "host/MapFile.h"
#include "jdhost/Cli.h"
#include "jdhost/ModuleLoader.h"
#include "platform/CDialog.h"
#include "platform/Gbk.h"
#include "platform/Services.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";

struct CliResult {
    int code = -1;
    std::string out;
    std::string err;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class HighVoltageSwitchHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("jdhost-hv-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        ASSERT_TRUE(jdlib::CreateCatalogueFile((m_dir / "catalogue.db").string(), std::string(JD_SOURCE_DIR) + "/data"));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    CliResult Run(const std::string& scriptPath) {
        std::ostringstream out, err;
        CliResult r;
        const std::string catalogue = (m_dir / "catalogue.db").string();
        r.code = jdhost::RunCli({"--catalogue", catalogue, "run", kSample, scriptPath}, out, err);
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    CliResult RunText(const std::string& text) {
        const fs::path path = m_dir / "s.jds";
        std::ofstream(path) << text;
        return Run(path.string());
    }

    fs::path m_dir;
};

TEST_F(HighVoltageSwitchHostTest, TheSetTransformerDialogsHighVoltageHeadOpensTheDialogAndLearnsTheResult) {
    // 1#移动变电站 carries model 7 in field 176: the head is set and its button enabled.
    const CliResult r = RunText(
        "launch\npick 1#移动变电站\nclick\nexpect-dialog 设置变压器\n"
        "expect-enabled 5046 1\n"
        "press 5046\n"
        "expect-dialog 设置高压开关\n"
        "select 5005 无适用设备\n"
        "answer yes\n"   // no short-circuit point chosen: continue
        "answer yes\n"   // user current 0 below Iz: continue
        "ok\n"
        "expect-dialog 设置变压器\n"
        "expect-enabled 5046 0\n"   // no model stored any more
        "cancel\n"
        "expect-record 1#移动变电站 176 0 0\n"
        "expect-record 1#移动变电站 177 0 否\n");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "dialog 12012 \"设置高压开关\" closed: OK\n")) << r.out;
}

TEST_F(HighVoltageSwitchHostTest, TheExampleStoresTheSettingAndPrintsTheRecords) {
    const CliResult r = Run(std::string(JD_SOURCE_DIR) + "/examples/set-hv-switch.jds");
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, "high-voltage switch of ")) << r.out;
    EXPECT_TRUE(Contains(r.out, ": a model is stored\n")) << r.out;
    // 179: protection, user current 150 A, point d5, its Ik, Km 1.69, Kb 6000/690.
    EXPECT_TRUE(Contains(r.out, "field 179\n  0: 电子式\n  1: 150.00\n  2: d5\n  3: 2207.93\n  4: 1.69\n  5: 8.696\n"))
        << r.out;
}

TEST_F(HighVoltageSwitchHostTest, TheVerbRefusesWhatIsNotFedAtHighVoltage) {
    CliResult r = RunText("set-hv-switch 调度绞车\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "line 1: set-hv-switch: expected a device fed at high voltage, found")) << r.err;
    r = RunText("set-hv-switch 绞车启动器\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "fed at low voltage by")) << r.err;
    EXPECT_TRUE(Contains(r.err, "1#矿用变压器")) << r.err;
    r = RunText("set-hv-switch 1-1电缆\n");
    EXPECT_EQ(r.code, 1);
    r = RunText("set-hv-switch 采区高压配电箱\nexpect-dialog 设置高压开关\ncancel\n");
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(Contains(r.out, ": cancelled\n")) << r.out;
}

// The library's SetHighVoltageHead reaches the dialog only while the module is loaded.
TEST(HighVoltageHeadRegistration, TheModuleRegistersTheDialogWhenLoadedAndWithdrawsItWhenUnloaded) {
    struct Runner : IModalRunner {
        std::vector<UINT> opened;
        void Run(CDialog& dialog) override {
            opened.push_back(dialog.GetTemplateId());
            dialog.EndDialog(IDCANCEL);
        }
    } runner;
    ModalRunnerScope scope(runner);
    host::MapDocument map;
    ASSERT_TRUE(host::LoadMapFile(kSample, map).ok);
    host::HostSession session(map);
    CKernelObjectArray objects;
    CEntityIdArray ids;
    CollectMapObjects(&session.mapControl(), &objects, &ids);
    const host::MapObject* device = map.FindByName(FromUtf8("1#移动变电站"));
    ASSERT_NE(device, nullptr);
    auto open = [&] {
        int set = -1;
        return SetHighVoltageHead(1, &session.mapControl(), &objects, &ids, 0, device->entityId, device->handle, &set);
    };

    std::string error;
    auto module = jdhost::CommandModule::Load(jdhost::DefaultModulePath(), error);
    ASSERT_TRUE(module) << error;
    EXPECT_EQ(open(), IDCANCEL);
    EXPECT_EQ(runner.opened, std::vector<UINT>{12012});
    module.reset();
    EXPECT_EQ(open(), 0) << "no dialog once the module is gone";
    EXPECT_EQ(runner.opened.size(), 1u);
}

}  // namespace
