// The pieces the switch dialogs share, each on a small drawing of its own:
// flashing an outline, the short-circuit point look-ups and combo, the
// sensitivity figure and its messages, the name check and the catalogue model
// list with its delete command.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "SmallDrawing.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "module/MyListBox.h"
#include "module/SwitchDialogSupport.h"
#include "platform/CComboBox.h"
#include "platform/Gbk.h"
#include "platform/Services.h"
#include "platform/WindowDrawing.h"

namespace {

using moduletest::SmallDrawing;

CString G(const char* utf8) { return FromUtf8(utf8); }
std::string U(const CString& gbk) { return ToUtf8(gbk); }

std::vector<std::string> Items(const CComboBox& combo) {
    std::vector<std::string> items;
    for (int i = 0; i < combo.GetCount(); ++i) {
        CString text;
        combo.GetLBText(i, text);
        items.push_back(U(text));
    }
    return items;
}

class SwitchSupportTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_transformer = m_drawing.Add("移动变电站", "T1");
        m_motor = m_drawing.Motor("M1", 50, 300);
        m_drawing.Cable(m_transformer, m_motor, 100, 50);
        m_first = m_drawing.Point("d1", "M1", 1200, 10, 20);
        m_second = m_drawing.Point("d2", "综保1", 0, 30, 40);
        m_drawing.Point("d1", "M9", 5, 50, 50);   // a second point of the same name comes later
        m_drawing.Open();
    }

    SmallDrawing m_drawing;
    LONG m_transformer = 0, m_motor = 0, m_first = 0, m_second = 0;
    HeadlessMessageService m_boxes;
    MessageServiceScope m_boxScope{m_boxes};
};

// ---- flashing ---------------------------------------------------------------------------

TEST_F(SwitchSupportTest, FlashDrawsTheOutlineSixTimesWithAlternatingPensAndRedrawsOnce) {
    HeadlessWindowDrawing drawing;
    WindowDrawingScope scope(drawing);
    int flag = 0;   // the feeder dialog's flag starts at 0: the first drawing is red
    ASSERT_EQ(FlashObject(m_drawing.Map(), m_drawing.Handle(m_first), flag), 4);

    // d1's corners (8, 19), (12, 19), (12, 21), (8, 21) at client ((x − 0) × 2, (100 − y) × 2).
    const std::vector<std::string> outline = {"moveto 16 162", "lineto 24 162", "lineto 24 158", "lineto 16 158",
                                              "lineto 16 162"};
    const std::vector<std::string> lines = drawing.Lines(m_drawing.Map()->GetSafeHwnd());
    ASSERT_EQ(lines.size(), 6u * 7u);
    for (int round = 0; round < 6; ++round) {
        const auto at = lines.begin() + round * 7;
        // RGB(255, 0, 0) is 0x0000FF as COLORREF; green 0x00FF00.
        EXPECT_EQ(at[0], round % 2 == 0 ? "pen solid 3 0x0000FF" : "pen solid 3 0x00FF00") << round;
        EXPECT_EQ(std::vector<std::string>(at + 1, at + 6), outline) << round;
        EXPECT_EQ(at[6].rfind("pen solid 1 0x000000", 0), 0u) << "the previous pen is restored: " << at[6];
    }
    EXPECT_EQ(flag, 0) << "six inversions bring it back";
    EXPECT_EQ(drawing.Pauses(), std::vector<unsigned>(6, 100u));
    EXPECT_EQ(drawing.OutstandingContexts(), 0);
    EXPECT_EQ(m_drawing.session().state().redrawMapCount, 1);

    drawing.Clear();
    int hvFlag = 1;   // a flag starting at 1 draws green first
    FlashObject(m_drawing.Map(), m_drawing.Handle(m_first), hvFlag);
    EXPECT_EQ(drawing.Lines(m_drawing.Map()->GetSafeHwnd()).front(), "pen solid 3 0x00FF00");
}

TEST_F(SwitchSupportTest, FlashFloorsNegativeCoordinatesAndSkipsObjectsWithoutOutline) {
    HeadlessWindowDrawing drawing;
    WindowDrawingScope scope(drawing);
    m_drawing.document().view() = host::MapView{0.25, 100.0, 1.0};
    int flag = 0;
    FlashObject(m_drawing.Map(), m_drawing.Handle(m_first), flag);
    // x = 8 − 0.25 = 7.75 → 7; 12 − 0.25 = 11.75 → 11; y = 100 − 19 = 81.
    EXPECT_EQ(drawing.Lines(m_drawing.Map()->GetSafeHwnd())[1], "moveto 7 81");

    drawing.Clear();
    m_drawing.Object(m_first).insertion = {-0.5, 120, 0};
    m_drawing.Object(m_first).outline = {{-0.5, 120.5, 0}, {1, 120.5, 0}};
    FlashObject(m_drawing.Map(), m_drawing.Handle(m_first), flag);
    // −0.5 − 0.25 = −0.75 → −1 (floored, not truncated); 100 − 120.5 = −20.5 → −21.
    EXPECT_EQ(drawing.Lines(m_drawing.Map()->GetSafeHwnd())[1], "moveto -1 -21");

    drawing.Clear();
    const int redraws = m_drawing.session().state().redrawMapCount;
    EXPECT_EQ(FlashObject(m_drawing.Map(), m_drawing.Handle(m_motor), flag), 0) << "a motor without outline";
    EXPECT_EQ(FlashObject(m_drawing.Map(), 0, flag), 0);
    EXPECT_TRUE(drawing.Lines(m_drawing.Map()->GetSafeHwnd()).empty());
    EXPECT_TRUE(drawing.Pauses().empty());
    EXPECT_EQ(m_drawing.session().state().redrawMapCount, redraws);
}

// ---- short-circuit points --------------------------------------------------------------------

TEST_F(SwitchSupportTest, PointLookupsTakeTheFirstMatchInListOrder) {
    const CKernelObjectArray& objects = m_drawing.objects();
    EXPECT_EQ(FindShortPointByName(objects, "d1"), m_drawing.Handle(m_first));
    EXPECT_EQ(FindShortPointByName(objects, "d2"), m_drawing.Handle(m_second));
    EXPECT_EQ(FindShortPointByName(objects, "T1"), 0) << "a transformer is no point";
    EXPECT_EQ(FindShortPointByName(objects, "d3"), 0);

    EXPECT_EQ(FindShortPointOfOwner(m_drawing.Map(), objects, m_drawing.ids(), "M1"), m_drawing.Handle(m_first));
    EXPECT_EQ(FindShortPointOfOwner(m_drawing.Map(), objects, m_drawing.ids(), G("综保1")),
              m_drawing.Handle(m_second));
    EXPECT_EQ(FindShortPointOfOwner(m_drawing.Map(), objects, m_drawing.ids(), "M"), 0) << "byte for byte, no prefix";
    EXPECT_EQ(FindShortPointOfOwner(m_drawing.Map(), objects, m_drawing.ids(), ""), 0);

    EXPECT_DOUBLE_EQ(ReadShortPointCurrent(m_drawing.Map(), m_drawing.Handle(m_first), objects, m_drawing.ids()),
                     1200.0);
    EXPECT_DOUBLE_EQ(ReadShortPointCurrent(m_drawing.Map(), 0, objects, m_drawing.ids()), 0.0);
    m_drawing.Object(m_second).fields.erase(161);
    EXPECT_DOUBLE_EQ(ReadShortPointCurrent(m_drawing.Map(), m_drawing.Handle(m_second), objects, m_drawing.ids()),
                     0.0)
        << "a point without its record";
}

TEST_F(SwitchSupportTest, ShortPointComboListsTheSpaceRowThenEveryPointAndSelectsByName) {
    CComboBox combo;
    ASSERT_TRUE(combo.Create(WindowKind::DropList, "", 0, CRect(0, 0, 100, 100), nullptr, 12060));
    combo.AddString("stale");
    FillShortPointCombo(combo, m_drawing.objects(), "d2");
    EXPECT_EQ(Items(combo), (std::vector<std::string>{" ", "d1", "d2", "d1"}));
    EXPECT_EQ(combo.GetCurSel(), 2);
    FillShortPointCombo(combo, m_drawing.objects(), "d1");
    EXPECT_EQ(combo.GetCurSel(), 1) << "the first equal row";
    FillShortPointCombo(combo, m_drawing.objects(), "gone");
    EXPECT_EQ(combo.GetCurSel(), 0) << "a name that no longer exists selects the space row";
}

// ---- sensitivity -----------------------------------------------------------------------------

TEST(SensitivityTest, QuotientWithTheLeastAcceptableValueItselfPassing) {
    // 1500 A at the point over a 1000 A setting: 1.5 exactly.
    EXPECT_DOUBLE_EQ(ComputeSensitivity(1000, 1500), 1.5);
    EXPECT_TRUE(SensitivityPasses(ComputeSensitivity(1000, 1500)));
    EXPECT_FALSE(SensitivityPasses(ComputeSensitivity(1000, 1490)));   // 1.49
    EXPECT_DOUBLE_EQ(ComputeSensitivity(0, 1500), 0.0) << "no division by a zero setting";
    EXPECT_DOUBLE_EQ(ComputeSensitivity(1e-10, 1500), 0.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_DOUBLE_EQ(ComputeSensitivity(nan, 1500), 0.0);
    EXPECT_DOUBLE_EQ(ComputeSensitivity(1000, inf), 0.0);
    EXPECT_DOUBLE_EQ(ComputeSensitivity(1e-300, 1e300), 0.0) << "an overflowing quotient is no figure";
    EXPECT_DOUBLE_EQ(SafeRatio(300, 100), 3.0);
    EXPECT_DOUBLE_EQ(SafeRatio(300, 0), 0.0);
    EXPECT_DOUBLE_EQ(FiniteOrZero(-inf), 0.0);
}

TEST_F(SwitchSupportTest, VerdictMessagesAndQuestions) {
    CWnd owner;
    ShowSensitivityVerdict(owner, 1.5, G("措施"));
    ASSERT_EQ(m_boxes.Records().size(), 1u);
    EXPECT_EQ(U(m_boxes.Records()[0].text), "该开关的灵敏度为 1.50");
    EXPECT_EQ(m_boxes.Records()[0].type, MB_ICONINFORMATION);

    m_boxes.ClearRecords();
    ShowSensitivityVerdict(owner, 1.49, G("开关选择不合格！"));
    ASSERT_EQ(m_boxes.Records().size(), 2u);
    EXPECT_EQ(U(m_boxes.Records()[0].text), "该开关的灵敏度为 1.49！");
    EXPECT_EQ(m_boxes.Records()[0].type, MB_OK);
    EXPECT_EQ(U(m_boxes.Records()[1].text), "开关选择不合格！");
    EXPECT_EQ(m_boxes.Records()[1].type, MB_OK);

    m_boxes.ClearRecords();
    ShowNoShortPointMessage(owner);
    EXPECT_EQ(U(m_boxes.Records().back().text), "请选择校验短路点！");
    EXPECT_EQ(m_boxes.Records().back().type, MB_ICONSTOP);

    m_boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(AskContinueWithoutShortPoint(owner));
    EXPECT_EQ(U(m_boxes.Records().back().text), "提示：没有选择短路点, 是否继续？");
    EXPECT_EQ(m_boxes.Records().back().type, MB_YESNO);
    m_boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(AskContinueWithSettingBelowCalc(owner));
    EXPECT_EQ(U(m_boxes.Records().back().text),
              "提示：开关整定值选择应小于实际计算的整定值, 这是不合理的，是否继续？");
}

// ---- name check ---------------------------------------------------------------------------------

TEST_F(SwitchSupportTest, NameCheckRenamesFreeNamesAndRefusesTakenOrLongOnes) {
    CWnd owner;
    LONG transformer = m_drawing.Handle(m_transformer);
    EXPECT_TRUE(ApplyObjectName(owner, m_drawing.Map(), &transformer, &m_drawing.objects(), "T2", 5000));
    EXPECT_EQ(U(m_drawing.Object(m_transformer).name), "T2");
    EXPECT_TRUE(m_boxes.Records().empty());

    EXPECT_FALSE(ApplyObjectName(owner, m_drawing.Map(), &transformer, &m_drawing.objects(), "M1", 5000));
    EXPECT_EQ(U(m_boxes.Records().back().text), "输入的名称在图中已经存在，请更换名称输入!");
    EXPECT_EQ(U(m_drawing.Object(m_transformer).name), "T2");

    const CString longName = G("一二三四五六七八九十一二三四五六");   // 16 characters, 32 bytes
    EXPECT_FALSE(ApplyObjectName(owner, m_drawing.Map(), &transformer, &m_drawing.objects(), longName, 5000));
    EXPECT_EQ(U(m_boxes.Records().back().text).find("输入的名称太长"), 0u);
    EXPECT_EQ(U(m_drawing.Object(m_transformer).name), "T2");

    EXPECT_TRUE(ApplyObjectName(owner, m_drawing.Map(), &transformer, &m_drawing.objects(), "", 5000));
    EXPECT_TRUE(m_drawing.Object(m_transformer).name.IsEmpty()) << "an empty name is accepted";
}

// ---- model list -----------------------------------------------------------------------------------

class ModelListTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/jd-switch-support-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        ASSERT_TRUE(jdlib::CreateCatalogueFile(m_dir + "/catalogue.db", std::string(JD_SOURCE_DIR) + "/data"));
        SetCataloguePath((m_dir + "/catalogue.db").c_str());
        ASSERT_TRUE(m_list.Create(WindowKind::ListBox, "", 0, CRect(0, 0, 100, 200), nullptr, 5005));
    }
    void TearDown() override {
        SetCataloguePath(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 0; i < m_list.GetCount(); ++i) {
            CString text;
            m_list.GetText(i, text);
            rows.push_back(U(text));
        }
        return rows;
    }

    std::string m_dir;
    CMyListBox m_list;
    CDWordArray m_ids;
    HeadlessMessageService m_boxes;
    MessageServiceScope m_boxScope{m_boxes};
};

TEST_F(ModelListTest, RowsInIdOrderEndWithTheNoModelRowAndDeleteAsksFirst) {
    // Seed Para_AutomaticSwitch: the relay models of 660 V with MCurrent > 1000 … none; > 500: IDs 1 and 2.
    const CString query = "select * from Para_AutomaticSwitch where Voltage = 660 and MCurrent > 500.00 order by ID";
    ASSERT_TRUE(FillCatalogueModelList(m_list, m_ids, query));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"KBZ-100/1140(660)", "KBZ-160/1140(660)", "无适用设备"}));
    EXPECT_EQ(m_ids.items(), (std::vector<DWORD>{1, 2}));
    EXPECT_EQ(m_list.GetCurSel(), -1) << "the owner selects";
    EXPECT_EQ(SelectedModelRow(m_list, m_ids), -1);
    m_list.SetCurSel(2);
    EXPECT_EQ(SelectedModelRow(m_list, m_ids), -1) << "the no-model row stands for no model";
    m_list.SetCurSel(1);
    EXPECT_EQ(SelectedModelRow(m_list, m_ids), 1);

    CWnd owner;
    m_boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(DeleteSelectedCatalogueModel(owner, m_list, m_ids, JD_KIND_AUTOMATIC_SWITCH));
    ASSERT_EQ(m_boxes.Records().size(), 1u);
    EXPECT_EQ(U(m_boxes.Records()[0].text), "是否删除 KBZ-160/1140(660) 这个型号？");
    EXPECT_EQ(U(m_boxes.Records()[0].caption), "请确认");
    m_boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(DeleteSelectedCatalogueModel(owner, m_list, m_ids, JD_KIND_AUTOMATIC_SWITCH));
    ASSERT_TRUE(FillCatalogueModelList(m_list, m_ids, query));
    EXPECT_EQ(Rows(), (std::vector<std::string>{"KBZ-100/1140(660)", "无适用设备"}));

    m_list.SetCurSel(-1);
    EXPECT_FALSE(DeleteSelectedCatalogueModel(owner, m_list, m_ids, JD_KIND_AUTOMATIC_SWITCH));
    EXPECT_EQ(m_boxes.Records().size(), 2u) << "no row: no question";

    EXPECT_FALSE(FillCatalogueModelList(m_list, m_ids, "select * from NoSuchTable"));
    EXPECT_TRUE(Rows().empty()) << "a refused query leaves the list empty, without the no-model row";
    EXPECT_EQ(m_ids.GetSize(), 0);
}

TEST_F(ModelListTest, DetailVoltageIsAppendedWhenAbsentAndTellsWhetherTheListMustFollow) {
    CComboBox voltages;
    ASSERT_TRUE(voltages.Create(WindowKind::DropList, "", 0, CRect(0, 0, 100, 100), nullptr, 12001));
    voltages.AddString("1140");
    voltages.AddString("660");
    voltages.SetCurSel(1);
    EXPECT_FALSE(AdoptDetailVoltage(voltages, "660"));
    EXPECT_TRUE(AdoptDetailVoltage(voltages, "10000"));
    EXPECT_EQ(Items(voltages), (std::vector<std::string>{"1140", "660", "10000"}));
    EXPECT_EQ(U(SelectedComboText(voltages)), "660");
    voltages.SetCurSel(-1);
    EXPECT_EQ(SelectedComboText(voltages), "");
}

}  // namespace
