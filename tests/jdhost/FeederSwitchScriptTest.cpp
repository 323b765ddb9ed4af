// The feeder switch setting through jdhost and the module it loads: the
// example script (the Set Transformer dialog's "整定低压头" button and the
// set-feeder-switch verb), the head button storing no model, and the
// library's head routine once the module is gone. Values from the sample mine
// (docs/map-format.md) and the seed catalogue; the arithmetic is beside them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "host/MapDocument.h"
#include "host/MapFile.h"
#include "jdhost/Cli.h"
#include "platform/Gbk.h"
#include "platform/PlatformError.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";
const std::string kExample = std::string(JD_SOURCE_DIR) + "/examples/set-feeder-switch.jds";

class FeederSwitchScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("jdhost-feeder-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_catalogue = (m_dir / "catalogue.db").string();
        ASSERT_TRUE(jdlib::CreateCatalogueFile(m_catalogue, std::string(JD_SOURCE_DIR) + "/data"));
    }
    void TearDown() override {
        SetCataloguePath(nullptr);
        fs::remove_all(m_dir);
    }
    int Run(const std::string& script, const std::string& saved, std::string& out) {
        std::ostringstream o, e;
        const int code = jdhost::RunCli({"run", kSample, script, "--catalogue", m_catalogue, "--save", saved}, o, e);
        out = o.str() + e.str();
        return code;
    }
    std::vector<std::string> Record(const host::MapDocument& map, const char* name, LONG field) {
        std::vector<std::string> texts;
        const host::MapObject* object = map.FindByName(FromUtf8(name));
        if (!object || !object->fields.count(field)) return texts;
        for (const CString& text : object->fields.at(field)) texts.push_back(ToUtf8(text));
        return texts;
    }

    fs::path m_dir;
    std::string m_catalogue;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(FeederSwitchScriptTest, ExampleSetsTheFeederSwitchOfTheMobileSubstation) {
    const std::string saved = (m_dir / "out.json").string();
    std::string out;
    ASSERT_EQ(Run(kExample, saved, out), 0) << out;
    EXPECT_TRUE(Contains(out, "set-feeder-switch -> 1, set 1")) << out;
    host::MapDocument map;
    ASSERT_TRUE(host::LoadMapFile(saved, map).ok);
    // Seed row 4: KBZ-400/1140(660), 660 V, 400 A, electronic.
    EXPECT_EQ(Record(map, "1#移动变电站", 174),
              (std::vector<std::string>{"4", "KBZ-400/1140(660)", "660", "400.00", "否", "", "0.00", "是",
                                        "0.4,0.5,0.6,0.7,0.8,0.9,1.0", "3,4,5,6,7,8,9,10", "10.00"}));
    // Groups: belt motors 517.8 + 517.8 = 1035.6 A (Ie 172.6 A), heading machine 1104 A (Ie 184 A):
    // maxStart 1104, ΣIe 356.6, rest 172.6, setting 1276.6, step 356.6 / 400 = 0.89, chosen 0.9.
    const std::vector<std::string> settings = Record(map, "1#移动变电站", 175);
    ASSERT_EQ(settings.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(settings.begin(), settings.begin() + 9),
              (std::vector<std::string>{"否", "是", "1104.00", "356.60", "172.60", "1276.60", "0.89", "0.90",
                                        "356.60"}));
    // d5: Ik 2207.93 A over 3.5 × 400 = 1400 A: 1.577 → 1.58.
    const std::vector<std::string> check = Record(map, "1#移动变电站", 178);
    ASSERT_GE(check.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(check.begin(), check.begin() + 6),
              (std::vector<std::string>{"电子式保护", "1400.00", "d5", "2207.93", "1.58", "0.90"}));
}

TEST_F(FeederSwitchScriptTest, HeadButtonStoringNoModelClearsTheHeadFlag) {
    const fs::path script = m_dir / "head.jds";
    std::ofstream(script) << "launch\n"
                             "pick 1#移动变电站\n"
                             "click\n"
                             "expect-dialog 设置变压器\n"
                             "expect-selected 5045 1\n"
                             "press 5047\n"
                             "expect-dialog 设置自动馈电开关\n"
                             "select 12062 电子式保护\n"
                             "select 5005 无适用设备\n"
                             "answer yes\n"   // a setting of 0 A is below the computed 1276.6 A
                             "ok\n"
                             "expect-dialog 设置变压器\n"
                             "expect-selected 5045 0\n"
                             "expect-enabled 5047 0\n"
                             "cancel\n";
    const std::string saved = (m_dir / "out.json").string();
    std::string out;
    ASSERT_EQ(Run(script.string(), saved, out), 0) << out;
    host::MapDocument map;
    ASSERT_TRUE(host::LoadMapFile(saved, map).ok);
    EXPECT_EQ(Record(map, "1#移动变电站", 174),
              (std::vector<std::string>{"0", "", "0", "0", "否", "", "0", "否", "", "", "0"}))
        << "the feeder dialog's OK wrote at once; the Set Transformer dialog's Cancel does not undo it";
}

TEST_F(FeederSwitchScriptTest, WithTheModuleUnloadedTheHeadRoutineHasNoDialog) {
    std::string out;
    ASSERT_EQ(Run(kExample, (m_dir / "out.json").string(), out), 0) << out;
    // The run loaded the module and unloaded it again: its launcher went with it.
    int set = -1;
    EXPECT_EQ(SetLowVoltageHead(1, nullptr, nullptr, nullptr, 0, 3, 1031, &set), 0);
    EXPECT_EQ(set, -1) << "nothing changed";
}

}  // namespace
