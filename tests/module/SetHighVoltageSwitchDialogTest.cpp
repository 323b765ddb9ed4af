// The Set High-Voltage Switch dialog and its detail dialog driven as a user
// drives them, on the sample mine (examples/sample-mine.json) with a fresh
// catalogue built from the seed for every test. Catalogue rows are quoted
// from data/seed/Para_HighVoltageSwitch.csv.
//
// The device of most cases is 1#矿用变压器 (163: 6000 V / 690 V, Kb = 8.6957;
// 158: cosφ 0.700). Behind it: the winch starter with 调度绞车 (28.8 A, start
// 172.8 A) and the one-to-four switch with 1#水泵, 2#水泵 (34.5 A, 207 A),
// 回柱绞车 (21.3 A) and 喷浆机 (6.3 A). IQe = 207 A, ΣIe = 125.4 A, others =
// 125.4 − 34.5 = 90.9 A; Iz = (207 + 0.7 · 90.9) / 8.6957 = 31.12 A. Loads
// 25 + 30 + 30 + 18.5 + 5.5 = 109 kW: I = 109 / (√3 · 6 · 0.7) = 14.98 A.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "StepRunner.h"
#include "equipment/CatalogueFile.h"
#include "equipment/HighVoltageSwitch.h"
#include "equipment/JDBase.h"
#include "host/AttributeRecords.h"
#include "host/HostObjects.h"
#include "host/MapFile.h"
#include "host/MorvaObjects.h"
#include "module/JDHighVoltageSwitchParaDlg.h"
#include "module/ModuleResources.h"
#include "module/SetHighVoltageSwitchDlg.h"
#include "platform/Gbk.h"
#include "platform/Services.h"
#include "platform/UserActions.h"
#include "platform/WindowDrawing.h"

namespace {

CString G(const char* utf8) { return FromUtf8(utf8); }
std::string U(const CString& gbk) { return ToUtf8(gbk); }

using moduletest::StepRunner;

const std::vector<std::string> kModels6000 = {"PBG-50/6(10)",  "PBG-100/6(10)", "PBG-200/6(10)", "PBG-300/6(10)",
                                              "PBG-400/6(10)", "PBG-500/6(10)", "PBG-630/6(10)", "无适用设备"};

class SetHvSwitchTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/jd-sethv-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        const std::string catalogue = m_dir + "/catalogue.db";
        ASSERT_TRUE(jdlib::CreateCatalogueFile(catalogue, std::string(JD_SOURCE_DIR) + "/data"));
        SetCataloguePath(catalogue.c_str());
        const std::string map = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";
        const host::MapLoadResult loaded = host::LoadMapFile(map, m_doc);
        ASSERT_TRUE(loaded.ok) << loaded.Describe(map);
        // The records the dialog writes, on the device of most cases.
        Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchSettings] = {};
        Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchCheck] = {};
        m_session = std::make_unique<host::HostSession>(m_doc);
        CollectMapObjects(Map(), &m_objects, &m_ids);
        m_runnerScope = std::make_unique<ModalRunnerScope>(m_runner);
        m_messageScope = std::make_unique<MessageServiceScope>(m_boxes);
        m_drawingScope = std::make_unique<WindowDrawingScope>(m_drawing);
    }
    void TearDown() override {
        m_drawingScope.reset();
        m_messageScope.reset();
        m_runnerScope.reset();
        m_session.reset();
        SetCataloguePath(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    CMorvaObjects* Map() { return &m_session->mapControl(); }
    host::MapObject& Object(const char* name) {
        host::MapObject* object = m_doc.FindByName(G(name));
        if (!object) {
            ADD_FAILURE() << "no object " << name;
            static host::MapObject none;
            return none;
        }
        return *object;
    }
    std::vector<std::string> Record(const char* name, LONG field) {
        std::vector<std::string> texts;
        for (const CString& text : Object(name).fields.at(field)) texts.push_back(U(text));
        return texts;
    }

    using Step = std::function<void(DialogDriver&, CSetHighVoltageSwitchDlg&)>;
    INT_PTR Open(const char* name, Step step, int* set = nullptr) {
        m_runner.Then([step = std::move(step)](CDialog& dialog) {
            DialogDriver driver(dialog);
            step(driver, static_cast<CSetHighVoltageSwitchDlg&>(dialog));
        });
        const host::MapObject& object = Object(name);
        int dummy = 0;
        return LaunchSetHighVoltageSwitchDialog(Map(), &m_objects, &m_ids, object.entityId, object.handle,
                                                set ? set : &dummy);
    }
    void Then(StepRunner::Step step) { m_runner.Then(std::move(step)); }

    std::vector<std::string> Items(DialogDriver& d, int id) {
        std::vector<std::string> items;
        for (const CString& item : d.Items(id).value_or(std::vector<CString>{})) items.push_back(U(item));
        return items;
    }
    std::string Text(DialogDriver& d, int id) { return U(d.Text(id).value_or("?")); }
    std::vector<std::string> Boxes() {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : m_boxes.Records()) texts.push_back(U(box.text));
        return texts;
    }
    // A relay-protected model of the test's own: 6000 V, `ratedA`.
    DWORD AddRelayModel(const char* model, double ratedA) {
        CHighVoltageSwitch s;
        s.SetModel(G(model));
        s.SetVoltage(6000);
        s.SetCurrent(ratedA);
        s.SetIsThemalProtect(1);
        EXPECT_TRUE(SaveCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, 1, &s, 0));
        return s.GetModelId();
    }

    std::string m_dir;
    host::MapDocument m_doc;
    std::unique_ptr<host::HostSession> m_session;
    CKernelObjectArray m_objects;
    CEntityIdArray m_ids;
    StepRunner m_runner;
    HeadlessMessageService m_boxes;
    HeadlessWindowDrawing m_drawing;
    std::unique_ptr<ModalRunnerScope> m_runnerScope;
    std::unique_ptr<MessageServiceScope> m_messageScope;
    std::unique_ptr<WindowDrawingScope> m_drawingScope;
};

// ---- opening ----------------------------------------------------------------------------------

TEST_F(SetHvSwitchTest, OpeningWithoutModelListsEveryModelOfTheSecondVoltageAndSelectsRowOne) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        EXPECT_EQ(U(d.Caption()), "设置高压开关");
        EXPECT_EQ(Text(d, IDC_HVS_NAME), "1#矿用变压器");
        EXPECT_EQ(U(*d.SelectedText(IDC_HVS_VOLTAGE)), "6000");
        EXPECT_EQ(Items(d, IDC_HVS_MODEL_LIST), kModels6000);
        EXPECT_EQ(d.SelectedIndex(IDC_HVS_MODEL_LIST), 1);
        EXPECT_EQ(dlg.m_bHadModel, 0);
        EXPECT_TRUE(*d.IsEnabled(IDC_HVS_DETAILS));
        // PBG-100/6(10): 100 A, relay. Terminal 31.12 · 5 / 100 = 1.556 → 1.56;
        // multiple 0.3112 → 0.311; load on the 5 A side 14.98 / 20 = 0.749.
        EXPECT_EQ(Text(d, IDC_HVS_RATED_CURRENT), "100");
        EXPECT_EQ(Text(d, IDC_HVS_SETTING_CALC), "31.12");
        EXPECT_EQ(Text(d, IDC_HVS_OVERLOAD_CALC), "14.98");
        EXPECT_EQ(Text(d, IDC_HVS_TERMINAL_CALC), "1.56");
        EXPECT_EQ(Text(d, IDC_HVS_MULTIPLE_CALC), "0.311");
        EXPECT_EQ(Text(d, IDC_HVS_STEP_CALC), "0.749");
        EXPECT_EQ(U(dlg.m_strSettingFormula), "(207.0+0.70×90.9) / 8.70");
        EXPECT_EQ(U(dlg.m_strLoadFormula),
                  "将Pe = 109.0kW，额定电压Ue = 6kV, cosφ = 0.70带入公式得：\n    109.0 / (1.732×6×0.70)");
        EXPECT_EQ(U(dlg.m_strProtection), "过流继电器");
        EXPECT_TRUE(*d.IsEnabled(IDC_HVS_TERMINAL_SET));
        EXPECT_FALSE(*d.IsEnabled(IDC_HVS_USER_MULTIPLE));
        EXPECT_TRUE(*d.IsEnabled(IDC_HVS_CHECK_SENSITIVITY));
        // S 73.357 kVA at 6000 V: 73357 / (√3 · 6000) = 7.0588 A.
        EXPECT_NEAR(dlg.m_dApparentCurrent, 7.0588, 5e-4);
        // No point of its own: the space row, no point, Kb 1.
        EXPECT_EQ(U(*d.SelectedText(IDC_HVS_SHORT_POINT)), " ");
        EXPECT_EQ(Items(d, IDC_HVS_SHORT_POINT),
                  (std::vector<std::string>{" ", "d1", "d2", "d3", "d4", "d5", "d6"}));
        EXPECT_EQ(dlg.m_hShortPoint, 0);
        EXPECT_DOUBLE_EQ(dlg.m_dRatio, 1.0);
        // Later fills list only the models that carry the apparent power's current (all do).
        ASSERT_TRUE(d.SelectText(IDC_HVS_VOLTAGE, "10000"));
        EXPECT_EQ(Items(d, IDC_HVS_MODEL_LIST).size(), 8u);
        d.PressCancel();
    });
}

TEST_F(SetHvSwitchTest, AStoredPointThatIsGoneLeavesNoPointAndRatioZero) {
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchCheck] = {G("电子式"), "10.00", "gone", "0", "2.00"};
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        EXPECT_EQ(dlg.m_hShortPoint, 0);
        EXPECT_DOUBLE_EQ(dlg.m_dRatio, 0.0);
        EXPECT_EQ(d.SelectedIndex(IDC_HVS_SHORT_POINT), 0);
        EXPECT_EQ(Text(d, IDC_HVS_USER_CURRENT), "10");
        d.PressCancel();
    });
}

// ---- user entries ---------------------------------------------------------------------------

TEST_F(SetHvSwitchTest, ATerminalValueSetsTheUserCurrentAndAReopenedDialogRecomputesIt) {
    AddRelayModel("PBG-400R", 400.0);   // ID 15, row 7
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_HVS_MODEL_LIST, G("PBG-400R")));
        ASSERT_TRUE(d.SetText(IDC_HVS_TERMINAL_SET, "2"));
        EXPECT_EQ(Text(d, IDC_HVS_USER_CURRENT), "160.0000");   // 2 · 400 / 5
        m_boxes.QueueAnswer(IDYES);   // no point chosen: continue
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(Record("1#矿用变压器", 177)[4], "2.00");
    EXPECT_EQ(Record("1#矿用变压器", 179)[1], "160.00");

    // A stored user current that disagrees is replaced by T · Ie / 5 on opening.
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchCheck][1] = "999.00";
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        EXPECT_EQ(dlg.m_bHadModel, 1);
        EXPECT_EQ(U(*d.SelectedText(IDC_HVS_MODEL_LIST)), "PBG-400R");
        EXPECT_EQ(Text(d, IDC_HVS_TERMINAL_SET), "2");
        EXPECT_DOUBLE_EQ(dlg.m_dUserCurrent, 160.0);
        EXPECT_EQ(Text(d, IDC_HVS_USER_CURRENT), "160");
        d.PressCancel();
    });
}

TEST_F(SetHvSwitchTest, AReopenedElectronicSwitchShowsIeTimesTheStoredMultiple) {
    // Stored: seed row 3 (PBG-200/6(10), 200 A, electronic), multiple 0.5, and a user current that disagrees.
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchModel] = {"3", "PBG-200/6(10)", "6000", "7200",
                                                                          "200.00"};
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchSettings] = {G("否"), G("是"), "31.12", "0", "0",
                                                                             "", "", "", "0.00", "0.50"};
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchCheck] = {G("电子式"), "999.00"};
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        EXPECT_EQ(U(*d.SelectedText(IDC_HVS_MODEL_LIST)), "PBG-200/6(10)");
        EXPECT_EQ(Text(d, IDC_HVS_USER_MULTIPLE), "0.5");
        EXPECT_DOUBLE_EQ(dlg.m_dUserCurrent, 100.0);   // 200 · 0.5
        EXPECT_DOUBLE_EQ(ParseDouble(*d.Text(IDC_HVS_USER_CURRENT)), 100.0);
        d.PressCancel();
    });
}

TEST_F(SetHvSwitchTest, AUserMultipleOfAnElectronicSwitchSetsTheUserCurrent) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        ASSERT_TRUE(d.SelectText(IDC_HVS_MODEL_LIST, "PBG-200/6(10)"));
        EXPECT_EQ(U(dlg.m_strProtection), "电子式");
        EXPECT_FALSE(*d.IsEnabled(IDC_HVS_TERMINAL_SET));
        EXPECT_EQ(Text(d, IDC_HVS_TERMINAL_CALC), "0");
        EXPECT_EQ(Text(d, IDC_HVS_MULTIPLE_CALC), "0.156");   // 31.12 / 200 = 0.1556
        ASSERT_TRUE(d.SetText(IDC_HVS_USER_MULTIPLE, "0.25"));
        EXPECT_EQ(Text(d, IDC_HVS_USER_CURRENT), "50.0000");   // 200 · 0.25
        d.PressCancel();
    });
}

TEST_F(SetHvSwitchTest, TheDemandCoefficientIsRedOutsideItsRangeAndRecomputesIz) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        const std::vector<std::pair<const char*, COLORREF>> cases = {
            {"0.45", RGB(255, 0, 0)}, {"0.5", RGB(0, 0, 0)}, {"0.7", RGB(0, 0, 0)},
            {"1.0", RGB(0, 0, 0)},    {"1.05", RGB(255, 0, 0)}};
        for (const auto& [kx, colour] : cases) {
            ASSERT_TRUE(d.SetText(IDC_HVS_DEMAND_COEF, kx));
            const auto info = d.QueryControlColor(IDC_HVS_DEMAND_COEF);
            ASSERT_TRUE(info && info->textColorSet) << kx;
            EXPECT_EQ(info->textColor, colour) << kx;
            EXPECT_EQ(info->bkMode, TRANSPARENT) << kx;
        }
        // Kx 1.05: (207 + 1.05 · 90.9) / 8.6957 = 34.781 A, shown as it is (not rounded).
        EXPECT_EQ(U(dlg.m_strSettingFormula), "(207.0+1.05×90.9) / 8.70");
        EXPECT_NEAR(dlg.m_dSettingCalc, 34.781, 5e-4);
        EXPECT_NEAR(ParseDouble(*d.Text(IDC_HVS_SETTING_CALC)), 34.781, 5e-4);
        d.PressCancel();
    });
}

// ---- sensitivity --------------------------------------------------------------------------------

TEST_F(SetHvSwitchTest, SensitivityCheckPassesAtOneAndAHalfAndFailsBelow) {
    // Kb 10 for round numbers: 163 sub 5 = 600. Iz = (207 + 63.63) / 10 = 27.06 A.
    Object("1#矿用变压器").fields[AttributeField::TransformerModel][5] = "600";
    Object("d2").fields[AttributeField::ShortCircuitPoint][1] = "600.00";
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        // No point yet.
        ASSERT_TRUE(d.Click(IDC_HVS_CHECK_SENSITIVITY));
        EXPECT_EQ(Boxes().back(), "请选择校验短路点！");
        EXPECT_EQ(m_boxes.Records().back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONSTOP));

        // d2 belongs to 调度绞车, fed by this transformer: Kb 10. It flashes.
        ASSERT_TRUE(d.SelectText(IDC_HVS_SHORT_POINT, "d2"));
        EXPECT_DOUBLE_EQ(dlg.m_dRatio, 10.0);
        EXPECT_FALSE(m_drawing.Lines(Map()->GetSafeHwnd()).empty());

        // User current 0 is below Iz.
        ASSERT_TRUE(d.Click(IDC_HVS_CHECK_SENSITIVITY));
        EXPECT_EQ(Boxes().back(), "开关整定值选择应大于实际计算的整定值，请重新选择！");

        // T 2 on PBG-100: 40 A. Km = 600 / (10 · 40) = 1.5: passes.
        ASSERT_TRUE(d.SetText(IDC_HVS_TERMINAL_SET, "2"));
        m_boxes.ClearRecords();
        ASSERT_TRUE(d.Click(IDC_HVS_CHECK_SENSITIVITY));
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"该开关的灵敏度为 1.50"}));
        EXPECT_EQ(m_boxes.Records().back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONINFORMATION));

        // Ik 596: 1.49 fails with two plain messages.
        Object("d2").fields[AttributeField::ShortCircuitPoint][1] = "596.00";
        m_boxes.ClearRecords();
        ASSERT_TRUE(d.Click(IDC_HVS_CHECK_SENSITIVITY));
        EXPECT_EQ(Boxes(), (std::vector<std::string>{"该开关的灵敏度为 1.49！", "开关选择不合格！"}));
        EXPECT_DOUBLE_EQ(dlg.m_dSensitivity, 1.49);
        d.PressCancel();
    });
}

// ---- OK ---------------------------------------------------------------------------------------

TEST_F(SetHvSwitchTest, OkWritesTheModelTheSettingsAndTheCheck) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_HVS_SHORT_POINT, "d2"));
        ASSERT_TRUE(d.SetText(IDC_HVS_TERMINAL_SET, "2"));   // 40 A on PBG-100
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(Record("1#矿用变压器", 176),
              (std::vector<std::string>{"2", "PBG-100/6(10)", "6000", "7200", "100.00", "129.90", "12500.00",
                                        "31500.00", "12500.00", "12500.00", "是", "否"}));
    const std::vector<std::string> settings = Record("1#矿用变压器", 177);
    ASSERT_EQ(settings.size(), 16u);
    EXPECT_EQ(settings[0], "是");
    EXPECT_EQ(settings[1], "否");
    EXPECT_EQ(settings[2], "31.12");
    EXPECT_EQ(settings[3], "1.56");
    EXPECT_EQ(settings[4], "2.00");
    EXPECT_EQ(settings[6], "(207.0+0.70×90.9) / 8.70");
    EXPECT_EQ(settings[7], "14.98");
    EXPECT_EQ(settings[10], "40.00");
    EXPECT_EQ(settings[11], "0.75");   // 0.749
    EXPECT_EQ(settings[12], "0.31");
    EXPECT_EQ(settings[13], "73.36");
    EXPECT_EQ(settings[14], "7.06");
    // d2: Ik 1190.62 A; Km = 1190.62 / (8.6957 · 40) = 3.42.
    EXPECT_EQ(Record("1#矿用变压器", 179),
              (std::vector<std::string>{"过流继电器", "40.00", "d2", "1190.62", "3.42", "8.696", "1.00", "否", "0"}));
    EXPECT_TRUE(m_doc.modified());
}

TEST_F(SetHvSwitchTest, ASingleMatchingModelSelectsTheNoModelRowAndOkClearsTheRecords) {
    ASSERT_TRUE(AddHighVoltage("3300"));
    CHighVoltageSwitch only;
    only.SetModel("PBG-100/3");
    only.SetVoltage(3300);
    only.SetCurrent(100);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, 1, &only, 0));
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchSettings] = {G("是"), G("否"), "31.12"};
    Object("1#矿用变压器").fields[AttributeField::HighVoltageSwitchCheck] = {G("过流继电器"), "40.00", "d2"};
    int set = -1;
    const INT_PTR result = Open(
        "1#矿用变压器",
        [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
            ASSERT_TRUE(d.SelectText(IDC_HVS_VOLTAGE, "3300"));
            EXPECT_EQ(Items(d, IDC_HVS_MODEL_LIST), (std::vector<std::string>{"PBG-100/3", "无适用设备"}));
            EXPECT_EQ(U(*d.SelectedText(IDC_HVS_MODEL_LIST)), "无适用设备");
            // The stored point d2 and the stored 40 A above Iz: OK asks nothing.
            ASSERT_TRUE(d.PressOk());
        },
        &set);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(set, 0);
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Record("1#矿用变压器", 176),
              (std::vector<std::string>{"0", "", "0", "0", "0", "0", "0", "0", "0", "0", "否", "否"}));
    EXPECT_EQ(Record("1#矿用变压器", 177),
              (std::vector<std::string>{"否", "否", "0", "0", "0", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(Record("1#矿用变压器", 179), (std::vector<std::string>{"", "0", "", "0", "0", "0", "0"}));
}

TEST_F(SetHvSwitchTest, AnsweringNoKeepsTheDialogOpenAndTheDrawingUnchanged) {
    const std::vector<std::string> before = Record("1#矿用变压器", 176);
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
        m_boxes.QueueAnswer(IDYES);   // no point: continue
        m_boxes.QueueAnswer(IDNO);    // user current below Iz: stop
        ASSERT_TRUE(d.PressOk());
        EXPECT_EQ(Boxes(), (std::vector<std::string>{
                               "提示：没有选择短路点, 是否继续？",
                               "提示：开关整定值选择应小于实际计算的整定值, 这是不合理的，是否继续？"}));
        EXPECT_TRUE(d.IsOpen());
        d.PressCancel();
    });
    EXPECT_EQ(Record("1#矿用变压器", 176), before);
    EXPECT_FALSE(m_doc.modified());
}

// ---- catalogue through the detail dialog ---------------------------------------------------------

TEST_F(SetHvSwitchTest, DetailsShowTheModelAndAddingOneWithoutProtectionSavesItElectronic) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
        // Row 1, PBG-100/6(10): relay protection, the multiples disabled.
        Then([&](CDialog& detail) {
            DialogDriver p(detail);
            EXPECT_EQ(U(p.Caption()), "高压开关详细参数");
            EXPECT_EQ(Text(p, IDC_HVS_PARA_MODEL), "PBG-100/6(10)");
            EXPECT_EQ(Text(p, IDC_HVS_PARA_CURRENT), "100");
            EXPECT_EQ(*p.CheckState(IDC_HVS_PARA_ELECTROMAGNETIC), 1);
            EXPECT_FALSE(*p.IsEnabled(IDC_HVS_PARA_LONG_MULTIPLE));
            ASSERT_TRUE(p.Click(IDC_HVS_PARA_ELECTRONIC));
            EXPECT_TRUE(*p.IsEnabled(IDC_HVS_PARA_SHORT_MULTIPLE));
            p.PressCancel();
        });
        ASSERT_TRUE(d.Click(IDC_HVS_DETAILS));

        // The no-model row's double click adds a model; a typed 3300 V joins the lists.
        Then([&](CDialog& detail) {
            DialogDriver p(detail);
            EXPECT_EQ(Text(p, IDC_HVS_PARA_MODEL), "");
            EXPECT_EQ(*p.CheckState(IDC_HVS_PARA_ELECTROMAGNETIC), 0);
            EXPECT_EQ(*p.CheckState(IDC_HVS_PARA_ELECTRONIC), 0);
            EXPECT_TRUE(*p.IsEnabled(IDC_HVS_PARA_LONG_MULTIPLE));
            ASSERT_TRUE(p.PressOk());   // no model name
            EXPECT_EQ(Boxes().back(), "请正确填写型号!");
            ASSERT_TRUE(p.SetText(IDC_HVS_PARA_MODEL, "NEW-1"));
            ASSERT_TRUE(p.TypeComboText(IDC_HVS_PARA_VOLTAGE, "3300"));
            ASSERT_TRUE(p.SetText(IDC_HVS_PARA_CURRENT, "120"));
            ASSERT_TRUE(p.PressOk());
        });
        ASSERT_TRUE(d.DoubleClickRow(IDC_HVS_MODEL_LIST, 7));
        const std::vector<std::string> voltages = Items(d, IDC_HVS_VOLTAGE);
        EXPECT_EQ(voltages.back(), "3300");
        d.PressCancel();
    });
    CHighVoltageSwitch saved;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_HIGH_VOLTAGE_SWITCH, &saved, 15));
    EXPECT_EQ(U(saved.GetModel()), "NEW-1");
    EXPECT_DOUBLE_EQ(saved.GetVoltage(), 3300.0);
    EXPECT_DOUBLE_EQ(saved.GetCurrent(), 120.0);
    EXPECT_EQ(saved.GetIsThemalProtect(), 0);
    EXPECT_EQ(saved.GetIsElectricProtect(), 1);
    CStringArray list;
    char* text = GetHighVoltageList();
    SplitVoltageList(text, &list);
    std::free(text);
    EXPECT_EQ(U(list[list.GetSize() - 1]), "3300");
}

// A multiple the catalogue cannot store is named in a box; the dialog stays
// open and neither the model nor the typed voltage is saved.
TEST_F(SetHvSwitchTest, DetailsRefuseATextAMapCannotHoldAndSaveNothing) {
    std::vector<std::string> before;
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg&) {
        before = Items(d, IDC_HVS_VOLTAGE);
        Then([&](CDialog& detail) {
            DialogDriver p(detail);
            ASSERT_TRUE(p.Click(IDC_HVS_PARA_ELECTRONIC));
            ASSERT_TRUE(p.TypeComboText(IDC_HVS_PARA_VOLTAGE, "3300"));
            ASSERT_TRUE(p.SetText(IDC_HVS_PARA_LONG_MULTIPLE, CString("1.2\x81")));
            ASSERT_TRUE(p.PressOk());
            EXPECT_TRUE(p.IsOpen());
            EXPECT_EQ(Boxes().back(), "“长时整定电流倍数”中含有设备目录不能保存的字符（空字符或GBK以外的字符），请修改!");
            p.PressCancel();
        });
        ASSERT_TRUE(d.Click(IDC_HVS_DETAILS));
        EXPECT_EQ(Items(d, IDC_HVS_VOLTAGE), before) << "no voltage joined the list";
        d.PressCancel();
    });
    char* text = GetHighVoltageList();
    EXPECT_EQ(std::string(text).find("3300"), std::string::npos) << text;
    std::free(text);
}

TEST_F(SetHvSwitchTest, TheListMenuDeletesAModelAfterAsking) {
    Open("1#矿用变压器", [&](DialogDriver& d, CSetHighVoltageSwitchDlg& dlg) {
        ASSERT_TRUE(d.RightClickRow(IDC_HVS_MODEL_LIST, 0));
        EXPECT_EQ(U(DescribeShownMenu()).find("32774 删除") != std::string::npos, true) << U(DescribeShownMenu());
        m_boxes.QueueAnswer(IDYES);
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DELETE));
        EXPECT_EQ(Boxes().back(), "是否删除 PBG-50/6(10) 这个型号？");
        EXPECT_EQ(Items(d, IDC_HVS_MODEL_LIST).size(), 7u);
        EXPECT_EQ(dlg.m_modelIds[0], 2u);
        d.PressCancel();
    });
}

}  // namespace
