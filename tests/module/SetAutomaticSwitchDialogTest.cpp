// The Set Feeder Switch dialog and the feeder switch detail dialog, driven as
// a user drives them on a small drawing with a fresh seed catalogue per test.
//
// The drawing: mobile substation T1 feeds the starter S (cable 100 m, 50 mm²)
// with the jointly starting motors M1 (Ie 50 A, Iq 300 A; cable 30 m, 16 mm²)
// and M2 (40 A, 240 A; 20 m, 50 mm²), and the motor M3 (20 A, 120 A; 200 m,
// 16 mm²). Points: d1 of M1 (Ik 1500 A), d2 of M3 (Ik 900 A), d3 of nothing (Ik 0).
// Hence: group M1+M2 starts with 540 A; ΣIe = 110 A; rest 20 A; short-circuit
// setting 560 A; overload 110 A. Converted runs: M1 30 × 3.01 + 100 = 190.3 m,
// M3 200 × 3.01 = 602 m: the default point is d2.
// Catalogue rows from data/seed/Para_AutomaticSwitch.csv: at 660 V the relay
// models 1 KBZ-100 (MCurrent 1000) and 2 KBZ-160 (1600), the electronic models
// 3 … 6 KBZ-200/400/500/630 with MSMulti 10.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SmallDrawing.h"
#include "StepRunner.h"
#include "equipment/AutomaticSwitch.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "module/JDAutomaticSwitchParaDlg.h"
#include "module/ModuleResources.h"
#include "module/SetAutomaticSwitchDlg.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/Services.h"
#include "platform/UserActions.h"
#include "platform/WindowDrawing.h"

namespace {

using moduletest::SmallDrawing;
using moduletest::StepRunner;

CString G(const char* utf8) { return FromUtf8(utf8); }
std::string U(const CString& gbk) { return ToUtf8(gbk); }

const std::vector<std::string> kElectronic660 = {"KBZ-200/1140(660)", "KBZ-400/1140(660)", "KBZ-500/1140(660)",
                                                 "KBZ-630/1140(660)", "无适用设备"};

class FeederDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/jd-feeder-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        ASSERT_TRUE(jdlib::CreateCatalogueFile(m_dir + "/catalogue.db", std::string(JD_SOURCE_DIR) + "/data"));
        SetCataloguePath((m_dir + "/catalogue.db").c_str());

        t = d.Add("移动变电站", "T1");
        const LONG s = d.Add("启动器", "S");
        m1 = d.Motor("M1", 50, 300, true);
        m2 = d.Motor("M2", 40, 240, true);
        m3 = d.Motor("M3", 20, 120);
        d.Cable(t, s, 100, 50);
        d.Cable(s, m1, 30, 16);
        d.Cable(s, m2, 20, 50);
        d.Cable(t, m3, 200, 16);
        p1 = d.Point("d1", "M1", 1500, 10, 20);
        p2 = d.Point("d2", "M3", 900, 30, 20);
        p3 = d.Point("d3", "nobody", 0, 50, 20);
    }
    void TearDown() override {
        SetCataloguePath(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    using Step = std::function<void(DialogDriver&, CSetAutomaticSwitchDlg&)>;
    INT_PTR Open(Step step) {
        if (!m_opened) {
            d.Open();
            m_opened = true;
        }
        m_runner.Then([step = std::move(step)](CDialog& dialog) {
            DialogDriver driver(dialog);
            step(driver, static_cast<CSetAutomaticSwitchDlg&>(dialog));
        });
        CSetAutomaticSwitchDlg dialog;
        dialog.m_pMapControl = d.Map();
        dialog.m_hObject = d.Handle(t);
        dialog.m_nEntityId = t;
        dialog.m_objectList.Copy(d.objects());
        dialog.m_idList.Copy(d.ids());
        const INT_PTR result = dialog.DoModal();
        m_hadModel = dialog.m_bHadModel;
        return result;
    }
    void ThenDetails(std::function<void(DialogDriver&, CJDAutomaticSwitchParaDlg&)> step) {
        m_runner.Then([step = std::move(step)](CDialog& dialog) {
            DialogDriver driver(dialog);
            step(driver, static_cast<CJDAutomaticSwitchParaDlg&>(dialog));
        });
    }
    std::vector<std::string> Record(LONG field) {
        std::vector<std::string> texts;
        for (const CString& text : d.Object(t).fields[field]) texts.push_back(U(text));
        return texts;
    }
    std::vector<std::string> Items(DialogDriver& driver, int id) {
        std::vector<std::string> items;
        for (const CString& item : driver.Items(id).value_or(std::vector<CString>{})) items.push_back(U(item));
        return items;
    }
    std::string Text(DialogDriver& driver, int id) { return U(driver.Text(id).value_or("?")); }
    std::vector<std::string> BoxTexts() {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : m_boxes.Records()) texts.push_back(U(box.text));
        return texts;
    }
    void StoreRecords(const std::vector<const char*>& model, const std::vector<const char*>& check) {
        auto& f174 = d.Object(t).fields[174];
        f174.clear();
        for (const char* text : model) f174.push_back(G(text));
        auto& f178 = d.Object(t).fields[178];
        f178.clear();
        for (const char* text : check) f178.push_back(G(text));
    }
    DWORD AddElectronicModel(const char* name, double ratedA) {
        CAutomaticSwitch unit;
        unit.SetModel(name);
        unit.SetVoltage(660);
        unit.SetCurrent(ratedA);
        unit.SetIsElectricProtect(1);
        unit.SetShortMultiple("3,4,5,6,7,8,9,10");
        unit.SetMaxShortMultiple(10);
        EXPECT_TRUE(SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, 1, &unit, 0));
        return unit.GetModelId();
    }

    std::string m_dir;
    SmallDrawing d;
    bool m_opened = false;
    LONG t = 0, m1 = 0, m2 = 0, m3 = 0, p1 = 0, p2 = 0, p3 = 0;
    int m_hadModel = -1;
    StepRunner m_runner;
    ModalRunnerScope m_runnerScope{m_runner};
    HeadlessMessageService m_boxes;
    MessageServiceScope m_boxScope{m_boxes};
    HeadlessWindowDrawing m_drawing;
    WindowDrawingScope m_drawingScope{m_drawing};
};

// ---- opening -------------------------------------------------------------------------------

TEST_F(FeederDialogTest, OpeningWithoutModelComputesTheSettingsAndListsElectronicModels) {
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        EXPECT_EQ(U(dd.Caption()), "设置自动馈电开关");
        EXPECT_EQ(Text(dd, IDC_SWITCH_NAME), "T1");
        EXPECT_EQ(Text(dd, IDC_SWITCH_SETTING_CALC), "560");
        EXPECT_EQ(Text(dd, IDC_SWITCH_OVERLOAD_CALC), "110");
        // Project low voltage 660 → row 3; protection row 1.
        EXPECT_EQ(U(*dd.SelectedText(IDC_SWITCH_VOLTAGE)), "660");
        EXPECT_EQ(U(*dd.SelectedText(IDC_SWITCH_PROTECTION)), "电子式保护");
        EXPECT_EQ(Items(dd, IDC_SWITCH_MODEL_LIST), kElectronic660);
        EXPECT_EQ(dlg.m_modelIds.items(), (std::vector<DWORD>{3, 4, 5, 6}));
        // Row 0 (KBZ-200, In 200 A): step 110 / 200 = 0.55.
        EXPECT_EQ(*dd.SelectedIndex(IDC_SWITCH_MODEL_LIST), 0);
        EXPECT_EQ(Text(dd, IDC_SWITCH_RATED_CURRENT), "200");
        EXPECT_EQ(Text(dd, IDC_SWITCH_SETTING_RANGE), "3,4,5,6,7,8,9,10");
        EXPECT_EQ(Text(dd, IDC_SWITCH_STEP_CALC), "0.55");
        EXPECT_EQ(Text(dd, IDC_SWITCH_RANGE_LABEL), "开关整定倍数:");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_VALUE_LABEL), "用户整定倍数:");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_CURRENT_LABEL), "用户整定电流:");
        EXPECT_TRUE(*dd.IsVisible(IDC_SWITCH_USER_CURRENT));
        EXPECT_TRUE(*dd.IsEnabled(IDC_SWITCH_DETAILS));
        EXPECT_TRUE(*dd.IsEnabled(IDC_SWITCH_CHECK_SENSITIVITY));
        // The default point: the longest converted run (d2, 602 m).
        EXPECT_EQ(Items(dd, IDC_SWITCH_SHORT_POINT), (std::vector<std::string>{" ", "d1", "d2", "d3"}));
        EXPECT_EQ(U(*dd.SelectedText(IDC_SWITCH_SHORT_POINT)), "d2");
        EXPECT_EQ(dlg.m_hShortPoint, d.Handle(p2));
        EXPECT_EQ(dlg.m_motors.items(), (std::vector<LONG>{d.Handle(m1), d.Handle(m2), d.Handle(m3)}));

        // The step choice: by step enables the chosen step and disables the user's overload value.
        ASSERT_TRUE(dd.SetCheck(IDC_SWITCH_BY_STEP, BST_CHECKED));
        EXPECT_TRUE(*dd.IsEnabled(IDC_SWITCH_CHOSEN_STEP));
        EXPECT_FALSE(*dd.IsEnabled(IDC_SWITCH_USER_OVERLOAD));
        ASSERT_TRUE(dd.SetCheck(IDC_SWITCH_BY_STEP, BST_UNCHECKED));
        EXPECT_FALSE(*dd.IsEnabled(IDC_SWITCH_CHOSEN_STEP));
        EXPECT_TRUE(*dd.IsEnabled(IDC_SWITCH_USER_OVERLOAD));
        // Another voltage: the electronic models of 1140 V, IDs 9 … 12.
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_VOLTAGE, "1140"));
        EXPECT_EQ(dlg.m_modelIds.items(), (std::vector<DWORD>{9, 10, 11, 12}));
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_VOLTAGE, "660"));

        // The relay protection: the two relay models, labels for a current, edit 12035 hidden.
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "4"));
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_CURRENT), "800") << "4 × 200 A";
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_PROTECTION, G("过流继电器")));
        EXPECT_EQ(Items(dd, IDC_SWITCH_MODEL_LIST),
                  (std::vector<std::string>{"KBZ-100/1140(660)", "KBZ-160/1140(660)", "无适用设备"}));
        EXPECT_EQ(Text(dd, IDC_SWITCH_RANGE_LABEL), "脱扣整定电流:");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_VALUE_LABEL), "用户整定电流:");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_CURRENT_LABEL), "");
        EXPECT_FALSE(*dd.IsVisible(IDC_SWITCH_USER_CURRENT));
        EXPECT_EQ(Text(dd, IDC_SWITCH_SETTING_RANGE), "300,400,500,600,700,800,1000");
        // Changing the protection type clears the user value and current.
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_VALUE), "0");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_CURRENT), "0");
        EXPECT_DOUBLE_EQ(dlg.m_dUserValue, 0.0);
        EXPECT_DOUBLE_EQ(dlg.m_dUserCurrent, 0.0);
        EXPECT_TRUE(dd.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(Record(174).empty()) << "Cancel writes nothing";
}

TEST_F(FeederDialogTest, NoMotorBelowTheObjectClosesTheDialogWithResultZero) {
    t = d.Add("移动变电站", "empty");
    const INT_PTR result = Open([&](DialogDriver&, CSetAutomaticSwitchDlg&) { ADD_FAILURE() << "never shown"; });
    EXPECT_EQ(result, 0);
    ASSERT_EQ(BoxTexts(), std::vector<std::string>{"移动变压器变向下联接的设备中没有电动机!"});
    EXPECT_EQ(m_boxes.Records()[0].type, MB_ICONINFORMATION);
    EXPECT_EQ(m_runner.Pending(), 1u) << "the dialog never ran";
}

TEST_F(FeederDialogTest, AnUnlistedLowVoltageLevelSelects1140) {
    d.document().project().lowVoltage = 500;
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        EXPECT_EQ(U(*dd.SelectedText(IDC_SWITCH_VOLTAGE)), "1140");
        EXPECT_TRUE(dd.PressCancel());
    });
}

TEST_F(FeederDialogTest, StoredElectronicSettingShowsMultipleAndCurrent) {
    // A 100 A electronic model stored with a setting of 300 A: multiple 300 / 100 = 3.
    const DWORD id = AddElectronicModel("KBZ-100E", 100);
    const std::string idText = std::to_string(id);
    StoreRecords({idText.c_str(), "KBZ-100E", "660", "100.00"},
                 {"电子式保护", "300.00", "gone", "", "1.80", "0.50", "", "", "90.00"});
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        EXPECT_EQ(dlg.m_bHadModel, 1);
        EXPECT_EQ(U(*dd.SelectedText(IDC_SWITCH_MODEL_LIST)), "KBZ-100E");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_VALUE), "3");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_CURRENT), "300");
        EXPECT_EQ(Text(dd, IDC_SWITCH_CHOSEN_STEP), "0.5");
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_OVERLOAD), "90");
        // A stored point that no longer exists: the space row, no point.
        EXPECT_EQ(*dd.SelectedIndex(IDC_SWITCH_SHORT_POINT), 0);
        EXPECT_EQ(dlg.m_hShortPoint, 0);
        EXPECT_TRUE(dd.PressCancel());
    });
}

TEST_F(FeederDialogTest, ModelWithRatedCurrentZeroShowsZeroNotInfinity) {
    // Fault mended: the multiple from a stored current and the overload step divide by In.
    CAutomaticSwitch relay;
    relay.SetModel("KBZ-0");
    relay.SetVoltage(660);
    relay.SetCurrent(0);
    relay.SetIsThemalProtect(1);
    relay.SetReleaseCurrent("600,800");
    relay.SetMaxReleaseCurrent(1000);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, 1, &relay, 0));
    // Stored: electronic 300 A on a model of 0 A, at a voltage no row has (so no
    // model row replaces the stored rated current on opening).
    const std::string idText = std::to_string(relay.GetModelId());
    StoreRecords({idText.c_str(), "KBZ-0", "9999", "0"}, {"电子式保护", "300.00", "", "", "0", "0"});
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        EXPECT_DOUBLE_EQ(dlg.m_dUserCurrent, 300.0);
        EXPECT_EQ(Text(dd, IDC_SWITCH_USER_VALUE), "0") << "300 / 0 shows 0";
        // The relay model of 0 A (MCurrent 1000 > 560): its step 110 / 0 shows 0.
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_VOLTAGE, "660"));
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_PROTECTION, G("过流继电器")));
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_MODEL_LIST, "KBZ-0"));
        EXPECT_EQ(Text(dd, IDC_SWITCH_RATED_CURRENT), "0");
        EXPECT_EQ(Text(dd, IDC_SWITCH_STEP_CALC), "0");
        EXPECT_TRUE(dd.PressCancel());
    });
}

// ---- sensitivity ---------------------------------------------------------------------------------

TEST_F(FeederDialogTest, SensitivityCheckMessagesAndTheMultipleRange) {
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        // No point.
        ASSERT_TRUE(dd.SelectIndex(IDC_SWITCH_SHORT_POINT, 0));
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts().back(), "请选择校验短路点！");
        EXPECT_EQ(m_boxes.Records().back().type, MB_ICONSTOP);
        // A point whose current is not computed.
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_SHORT_POINT, "d3"));
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts().back(), "请先计算短路点短路电流！");

        // d1: Ik 1500 A. Multiple 5 on In 200 A: Iset 1000 A, sensitivity 1.5 passes.
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_SHORT_POINT, "d1"));
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "5"));
        m_boxes.ClearRecords();
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        ASSERT_EQ(BoxTexts(), std::vector<std::string>{"该开关的灵敏度为 1.50"});
        EXPECT_EQ(m_boxes.Records()[0].type, MB_ICONINFORMATION);

        // Ik 1490 A: 1.49 fails with the measures message.
        d.Object(p1).fields[161][1] = "1490.00";
        m_boxes.ClearRecords();
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"该开关的灵敏度为 1.49！",
                                                        "应采取措施：1、加大电缆截面面积；2、加大变压器容量。"}));
        EXPECT_EQ(m_boxes.Records()[0].type, MB_OK);

        // Multiple 10 is accepted (Iset 2000 A: 1490 / 2000 = 0.745, held just below, "0.74"), 10.01 refused.
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "10"));
        m_boxes.ClearRecords();
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts().front(), "该开关的灵敏度为 0.74！");
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "10.01"));
        m_boxes.ClearRecords();
        m_drawing.Clear();
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"用户整定倍数应选择1~10之间的数!"});
        EXPECT_TRUE(m_drawing.Pauses().empty()) << "refused before the point is flashed";

        // Relay: the user current itself. 1000 A against 1490 A: 1.49.
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_PROTECTION, G("过流继电器")));
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "1000"));
        m_boxes.ClearRecords();
        ASSERT_TRUE(dd.Click(IDC_SWITCH_CHECK_SENSITIVITY));
        EXPECT_EQ(BoxTexts().front(), "该开关的灵敏度为 1.49！");
        EXPECT_EQ(m_drawing.Pauses().size(), 6u) << "the point is flashed before the verdict";
        EXPECT_TRUE(dd.PressCancel());
    });
}

TEST_F(FeederDialogTest, ChoosingAPointFlashesItOnTheMap) {
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        m_drawing.Clear();
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_SHORT_POINT, "d1"));
        EXPECT_EQ(dlg.m_hShortPoint, d.Handle(p1));
        const std::vector<std::string> lines = m_drawing.Lines(d.Map()->GetSafeHwnd());
        ASSERT_EQ(lines.size(), 42u);
        // d1's corners (8, 19) … at client (2x, (100 − y) × 2).
        EXPECT_EQ(lines[1], "moveto 16 162");
        ASSERT_TRUE(dd.SelectIndex(IDC_SWITCH_SHORT_POINT, 0));
        EXPECT_EQ(dlg.m_hShortPoint, 0);
        EXPECT_EQ(m_drawing.Lines(d.Map()->GetSafeHwnd()).size(), 42u) << "the space row flashes nothing";
        EXPECT_TRUE(dd.PressCancel());
    });
}

// ---- OK ---------------------------------------------------------------------------------------------

TEST_F(FeederDialogTest, OkAsksThreeQuestionsAndNoKeepsTheDialogOpen) {
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        ASSERT_TRUE(dd.SelectIndex(IDC_SWITCH_SHORT_POINT, 0));
        m_boxes.QueueAnswer(IDNO);
        ASSERT_TRUE(dd.PressOk());
        EXPECT_TRUE(dd.IsOpen());
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{"提示：没有选择短路点, 是否继续？"});

        m_boxes.ClearRecords();
        m_boxes.QueueAnswer(IDYES);
        m_boxes.QueueAnswer(IDNO);
        ASSERT_TRUE(dd.PressOk());
        EXPECT_TRUE(dd.IsOpen());
        EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"提示：没有选择短路点, 是否继续？",
                                                        "提示：没有计算短路点短路电流, 是否继续？"}));

        // The user multiple 0: Iset 0 A is below the computed 560 A.
        m_boxes.ClearRecords();
        m_boxes.QueueAnswer(IDYES);
        m_boxes.QueueAnswer(IDYES);
        m_boxes.QueueAnswer(IDNO);
        ASSERT_TRUE(dd.PressOk());
        EXPECT_TRUE(dd.IsOpen());
        ASSERT_EQ(BoxTexts().size(), 3u);
        EXPECT_EQ(BoxTexts()[2], "提示：开关整定值选择应小于实际计算的整定值, 这是不合理的，是否继续？");
        EXPECT_TRUE(Record(174).empty()) << "nothing written while the dialog stays open";

        // Multiple 3: 600 A is not below 560 A; no point: asked twice, then written.
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "3"));
        m_boxes.ClearRecords();
        m_boxes.QueueAnswer(IDYES);
        m_boxes.QueueAnswer(IDYES);
        ASSERT_TRUE(dd.PressOk());
        EXPECT_EQ(BoxTexts().size(), 2u);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(m_hadModel, 1);
    EXPECT_EQ(Record(174).at(0), "3");
    EXPECT_EQ(Record(178).at(2), " ") << "the space row's text is the point name stored";
}

TEST_F(FeederDialogTest, OkWithAModelWritesTheThreeRecordsAndTheNote) {
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_MODEL_LIST, "KBZ-400/1140(660)"));
        EXPECT_EQ(Text(dd, IDC_SWITCH_STEP_CALC), "0.28");   // 110 / 400 = 0.275 → "%.2f"
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_SHORT_POINT, "d1"));
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "2.5"));   // 2.5 × 400 = 1000 A
        ASSERT_TRUE(dd.SetCheck(IDC_SWITCH_BY_STEP, BST_CHECKED));
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_CHOSEN_STEP, "0.3"));
        ASSERT_TRUE(dd.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_TRUE(m_boxes.Records().empty()) << "a point with its current and a setting above 560 A: no question";
    EXPECT_EQ(Record(174), (std::vector<std::string>{"4", "KBZ-400/1140(660)", "660", "400.00", "否", "", "0.00",
                                                     "是", "0.4,0.5,0.6,0.7,0.8,0.9,1.0", "3,4,5,6,7,8,9,10",
                                                     "10.00"}));
    // maxStart 540, ΣIe 110, rest 20, setting 560, step 0.28, chosen 0.3, overload 110, by step 1.
    EXPECT_EQ(Record(175), (std::vector<std::string>{"否", "是", "540.00", "110.00", "20.00", "560.00", "0.28",
                                                     "0.30", "110.00", "1"}));
    // Ik 1500 A / 1000 A = 1.5.
    const std::vector<std::string> check = Record(178);
    ASSERT_GE(check.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(check.begin(), check.begin() + 6),
              (std::vector<std::string>{"电子式保护", "1000.00", "d1", "1500.00", "1.50", "0.30"}));
    EXPECT_EQ(check[8], "0.00");
    EXPECT_EQ(U(d.Object(t).notes.at("lowVoltageHead")),
              "移变T1 低压侧: 过载整定计算值：110.00A，用户整定电流：1000A，保护方式：电子式保护；"
              "校验短路点两相短路电流：1500A，灵敏度：1.5，满足要求。");
    EXPECT_TRUE(d.session().state().modified);
    EXPECT_EQ(d.session().state().refreshCount, 1);
    ASSERT_FALSE(d.session().state().entityRedraws.empty());
    EXPECT_EQ(d.session().state().entityRedraws.back().entityIds, std::vector<LONG>{t});
    EXPECT_EQ(GetStepChoiceFlag(), 1) << "the step choice is remembered";
}

TEST_F(FeederDialogTest, OkOnTheNoModelRowWritesTheClearingValues) {
    StoreRecords({"4", "KBZ-400/1140(660)", "660", "400.00", "否", "", "0.00", "是", "x", "y", "10.00"},
                 {"电子式保护", "1000.00", "d1", "1500.00", "1.50", "0.30", "", "", "77.00"});
    d.Object(t).fields[175] = {"否", "是", "1", "2", "3", "4", "5", "6", "7", "1"};
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_MODEL_LIST, G("无适用设备")));
        ASSERT_TRUE(dd.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(m_hadModel, 0);
    EXPECT_EQ(Record(174), (std::vector<std::string>{"0", "", "0", "0", "否", "", "0", "否", "", "", "0"}));
    EXPECT_EQ(Record(175), (std::vector<std::string>{"否", "否", "0", "0", "0", "0", "0", "0", "0", "1"}))
        << "sub-index 9 untouched";
    EXPECT_EQ(Record(178), (std::vector<std::string>{"", "0", "", "0", "0", "0", "", "", "77.00"}))
        << "sub-index 8 untouched";
}

TEST_F(FeederDialogTest, OkWithoutASelectedRowStoresNoModel) {
    // Fault mended: a right click below the rows clears the selection; OK then
    // takes no catalogue ID of no row but clears the records.
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        ASSERT_TRUE(dd.SelectText(IDC_SWITCH_SHORT_POINT, "d1"));
        ASSERT_TRUE(dd.SetText(IDC_SWITCH_USER_VALUE, "3"));
        ASSERT_TRUE(dd.RightClickBelowRows(IDC_SWITCH_MODEL_LIST));
        EXPECT_EQ(*dd.SelectedIndex(IDC_SWITCH_MODEL_LIST), -1);
        m_runner.Then([](CDialog&) { ADD_FAILURE() << "details opened without a row"; });
        ASSERT_TRUE(dd.Click(IDC_SWITCH_DETAILS));
        EXPECT_EQ(m_runner.Pending(), 1u) << "the details button does nothing without a row";
        ASSERT_TRUE(dd.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(m_hadModel, 0);
    EXPECT_EQ(Record(174).at(0), "0");
}

TEST_F(FeederDialogTest, OkRefusesAModelRowWhoseCatalogueIdCouldNotBeRead) {
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        dlg.m_modelIds[0] = 0;   // as the list keeps a row whose ID did not read as a positive number
        ASSERT_TRUE(dd.PressOk());
        EXPECT_TRUE(dd.IsOpen());
        ASSERT_EQ(m_boxes.Records().size(), 1u) << "refused before any question";
        EXPECT_EQ(m_boxes.Records()[0].type, MB_ICONSTOP);
        EXPECT_TRUE(dd.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(Record(174).empty());
}

TEST_F(FeederDialogTest, NoSuitableModelLeavesOnlyTheNoModelRow) {
    // Group 30000 + 240 = 30240 A, setting 30260 A: above every 660 V model (at most 630 A × 10).
    d.Object(m1).motor->startCurrentA = 30000;
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        EXPECT_EQ(Items(dd, IDC_SWITCH_MODEL_LIST), std::vector<std::string>{"无适用设备"});
        EXPECT_EQ(*dd.SelectedIndex(IDC_SWITCH_MODEL_LIST), 0);
        EXPECT_EQ(Text(dd, IDC_SWITCH_RANGE_LABEL), "开关整定倍数:") << "the labels keep their texts";
        EXPECT_TRUE(*dd.IsEnabled(IDC_SWITCH_DETAILS));
        m_runner.Then([](CDialog&) { ADD_FAILURE() << "details opened for the no-model row"; });
        ASSERT_TRUE(dd.Click(IDC_SWITCH_DETAILS));
        EXPECT_EQ(m_runner.Pending(), 1u);
        EXPECT_TRUE(dd.PressCancel());
    });
}

TEST_F(FeederDialogTest, AnEmptyModelListAlsoWritesTheClearingValues) {
    // A stored voltage no row has: no voltage selected, no query, an empty list.
    StoreRecords({"4", "KBZ-400/1140(660)", "9999", "400.00"}, {"电子式保护", "300.00", "", "", "0", "0"});
    const INT_PTR result = Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg&) {
        EXPECT_TRUE(Items(dd, IDC_SWITCH_MODEL_LIST).empty());
        m_boxes.QueueAnswer(IDYES);   // 300 A is below the computed 560 A
        ASSERT_TRUE(dd.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(m_hadModel, 0);
    EXPECT_EQ(Record(174), (std::vector<std::string>{"0", "", "0", "0", "否", "", "0", "否", "", "", "0"}));
}

// ---- catalogue through the list ------------------------------------------------------------------------

TEST_F(FeederDialogTest, MenuDeletesAndAddsModelsAndDetailsShowTheRow) {
    DWORD added = 0;
    Open([&](DialogDriver& dd, CSetAutomaticSwitchDlg& dlg) {
        // Delete KBZ-500 (ID 5) through the list's menu.
        ASSERT_TRUE(dd.RightClickRow(IDC_SWITCH_MODEL_LIST, 2));
        m_boxes.QueueAnswer(IDYES);
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DELETE));
        EXPECT_EQ(BoxTexts().back(), "是否删除 KBZ-500/1140(660) 这个型号？");
        EXPECT_EQ(dlg.m_modelIds.items(), (std::vector<DWORD>{3, 4, 6}));

        // Add: a double click on the last row opens an empty detail dialog preset to electronic.
        ThenDetails([&](DialogDriver& pd, CJDAutomaticSwitchParaDlg& para) {
            EXPECT_EQ(U(pd.Caption()), "馈电开关详细参数");
            EXPECT_EQ(para.m_bNewModel, 1);
            EXPECT_EQ(*pd.CheckState(IDC_SWITCH_PARA_ELECTRONIC), BST_CHECKED);
            EXPECT_EQ(*pd.CheckState(IDC_SWITCH_PARA_RELAY), BST_UNCHECKED);
            EXPECT_TRUE(*pd.IsEnabled(IDC_SWITCH_PARA_SHORT_MULTIPLE));
            EXPECT_FALSE(*pd.IsEnabled(IDC_SWITCH_PARA_RELEASE_CURRENT));
            EXPECT_EQ(U(*pd.SelectedText(IDC_SWITCH_PARA_VOLTAGE)), "660");
            ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_MODEL, "KBZ-800/1140(660)"));
            ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_RATED_CURRENT, "800"));
            ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_SHORT_MULTIPLE, "3,4,5,6,8,10"));
            ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE, "10"));
            ASSERT_TRUE(pd.PressOk());
        });
        ASSERT_TRUE(dd.DoubleClickRow(IDC_SWITCH_MODEL_LIST, 3));
        EXPECT_EQ(Items(dd, IDC_SWITCH_MODEL_LIST),
                  (std::vector<std::string>{"KBZ-200/1140(660)", "KBZ-400/1140(660)", "KBZ-630/1140(660)",
                                            "KBZ-800/1140(660)", "无适用设备"}));
        added = dlg.m_modelIds[3];
        EXPECT_EQ(added, 15u) << "the seed's 14 rows, then the new one";

        // Details of the new row through the menu: its data, OK changes the rated current.
        ThenDetails([&](DialogDriver& pd, CJDAutomaticSwitchParaDlg& para) {
            EXPECT_EQ(para.m_bNewModel, 0);
            EXPECT_EQ(Text(pd, IDC_SWITCH_PARA_MODEL), "KBZ-800/1140(660)");
            EXPECT_EQ(Text(pd, IDC_SWITCH_PARA_RATED_CURRENT), "800");
            ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_RATED_CURRENT, "750"));
            ASSERT_TRUE(pd.PressOk());
        });
        ASSERT_TRUE(dd.RightClickRow(IDC_SWITCH_MODEL_LIST, 3));
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DETAILS));
        EXPECT_EQ(Text(dd, IDC_SWITCH_RATED_CURRENT), "750");
        EXPECT_EQ(Text(dd, IDC_SWITCH_SETTING_RANGE), "3,4,5,6,8,10");
        EXPECT_TRUE(dd.PressCancel());
    });
    CAutomaticSwitch saved;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &saved, added));
    EXPECT_EQ(U(saved.GetModel()), "KBZ-800/1140(660)");
    EXPECT_DOUBLE_EQ(saved.GetCurrent(), 750.0) << "an unchanged form updates the same row";
}

// ---- detail dialog on its own ------------------------------------------------------------------------------

class FeederDetailTest : public FeederDialogTest {
protected:
    INT_PTR Details(LONG modelId, int newModel, std::function<void(DialogDriver&, CJDAutomaticSwitchParaDlg&)> step,
                    CJDAutomaticSwitchParaDlg* out = nullptr) {
        ThenDetails(std::move(step));
        CJDAutomaticSwitchParaDlg dialog;
        dialog.m_nModelId = modelId;
        dialog.m_bNewModel = newModel;
        dialog.m_nVoltageIndex = 3;
        const INT_PTR result = dialog.DoModal();
        if (out) out->m_strVoltage = dialog.m_strVoltage;
        return result;
    }
};

TEST_F(FeederDetailTest, RelayModelEnablesItsEditsAndClearingAProtectionEmptiesIt) {
    CJDAutomaticSwitchParaDlg out;
    const INT_PTR result = Details(1, 0, [&](DialogDriver& pd, CJDAutomaticSwitchParaDlg&) {
        EXPECT_TRUE(*pd.IsEnabled(IDC_SWITCH_PARA_RELEASE_CURRENT));
        EXPECT_TRUE(*pd.IsEnabled(IDC_SWITCH_PARA_MAX_RELEASE));
        for (int id : {IDC_SWITCH_PARA_LONG_MULTIPLE, IDC_SWITCH_PARA_SHORT_MULTIPLE, IDC_SWITCH_PARA_MAX_SHORT_MULTIPLE}) {
            EXPECT_FALSE(*pd.IsEnabled(id)) << id;
        }
        EXPECT_EQ(Text(pd, IDC_SWITCH_PARA_RELEASE_CURRENT), "300,400,500,600,700,800,1000");
        // Both protections on, then the relay off: its texts go, the electronic ones stay.
        ASSERT_TRUE(pd.Click(IDC_SWITCH_PARA_ELECTRONIC));
        EXPECT_TRUE(*pd.IsEnabled(IDC_SWITCH_PARA_SHORT_MULTIPLE));
        ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_SHORT_MULTIPLE, "3,5,8"));
        ASSERT_TRUE(pd.Click(IDC_SWITCH_PARA_RELAY));
        EXPECT_FALSE(*pd.IsEnabled(IDC_SWITCH_PARA_RELEASE_CURRENT));
        ASSERT_TRUE(pd.TypeComboText(IDC_SWITCH_PARA_VOLTAGE, "10000"));
        ASSERT_TRUE(pd.PressOk());
    }, &out);
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(U(out.m_strVoltage), "10000");
    CAutomaticSwitch saved;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &saved, 1));
    EXPECT_EQ(saved.GetIsThemalProtect(), 0);
    EXPECT_EQ(U(saved.GetReleaseCurrent()), "");
    EXPECT_DOUBLE_EQ(saved.GetMaxReleaseCurrent(), 0.0);
    EXPECT_EQ(saved.GetIsElectricProtect(), 1);
    EXPECT_EQ(U(saved.GetShortMultiple()), "3,5,8");
    EXPECT_DOUBLE_EQ(saved.GetVoltage(), 10000.0);
    // The typed voltage is in the library's list afterwards.
    char* list = GetFeederVoltageList();
    EXPECT_NE(std::string(list).find("10000"), std::string::npos) << list;
    std::free(list);
}

// A NUL in the model name, then a lone GBK lead byte in the release
// currents: each is named in a box, the dialog stays open, nothing is saved
// and the typed voltage does not join the library's list.
TEST_F(FeederDetailTest, TextsAMapCannotHoldAreNamedAndNothingIsWritten) {
    const INT_PTR result = Details(1, 0, [&](DialogDriver& pd, CJDAutomaticSwitchParaDlg&) {
        ASSERT_TRUE(pd.TypeComboText(IDC_SWITCH_PARA_VOLTAGE, "10000"));
        ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_MODEL, CString(std::string("KBZ\0-400", 8))));
        ASSERT_TRUE(pd.PressOk());
        EXPECT_TRUE(pd.IsOpen());
        EXPECT_EQ(BoxTexts().back(), "“型号”中含有设备目录不能保存的字符（空字符或GBK以外的字符），请修改!");
        ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_MODEL, "KBZ-400"));
        ASSERT_TRUE(pd.SetText(IDC_SWITCH_PARA_RELEASE_CURRENT, CString("300,\x81")));
        ASSERT_TRUE(pd.PressOk());
        EXPECT_TRUE(pd.IsOpen());
        EXPECT_NE(BoxTexts().back().find("“脱扣电流”"), std::string::npos) << BoxTexts().back();
        EXPECT_TRUE(pd.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    CAutomaticSwitch kept;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &kept, 1));
    EXPECT_EQ(U(kept.GetReleaseCurrent()), "300,400,500,600,700,800,1000");
    char* list = GetFeederVoltageList();
    EXPECT_EQ(std::string(list).find("10000"), std::string::npos) << list;
    std::free(list);
}

TEST_F(FeederDetailTest, EmptyModelNameIsRefusedAndNothingIsWritten) {
    const INT_PTR result = Details(0, 1, [&](DialogDriver& pd, CJDAutomaticSwitchParaDlg&) {
        ASSERT_TRUE(pd.PressOk());
        EXPECT_TRUE(pd.IsOpen());
        EXPECT_EQ(BoxTexts().back(), "请正确填写参数!");
        EXPECT_EQ(m_boxes.Records().back().type, MB_OK);
        EXPECT_TRUE(pd.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    CAutomaticSwitch none;
    EXPECT_FALSE(LoadCatalogueModel(JD_KIND_AUTOMATIC_SWITCH, &none, 15)) << "no row was added";
}

}  // namespace
