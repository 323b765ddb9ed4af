// The Set Transformer dialog driven as a user drives it, on the sample mine
// (examples/sample-mine.json) in a host session, with a fresh catalogue built
// from the shipped seed for every test. What the user sees is read from the
// controls and message boxes; what lands on the map is read from the
// document. Catalogue rows are quoted from data/seed/Para_Transformer.csv,
// map values from docs/map-format.md; the arithmetic is in the comments.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "equipment/ADODatabase.h"
#include "equipment/CatalogueFile.h"
#include "equipment/CatalogueConnection.h"
#include "equipment/JDBase.h"
#include "equipment/Transformer.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/MapFile.h"
#include "module/JDSetTransformerDlg.h"
#include "module/ModuleResources.h"
#include "module/Stock.h"
#include "module/TransformerImpedance.h"
#include "module/TransformerRecords.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/Services.h"
#include "platform/UserActions.h"

namespace {

CString G(const char* utf8) { return FromUtf8(utf8); }
std::string U(const CString& gbk) { return ToUtf8(gbk); }

// Runs each dialog that opens with the next step; a dialog opening with none
// left is cancelled.
class StepRunner : public IModalRunner {
public:
    using Step = std::function<void(CDialog&)>;
    void Then(Step step) { m_steps.push_back(std::move(step)); }
    void Run(CDialog& dialog) override {
        if (m_steps.empty()) return;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(dialog);
    }

private:
    std::deque<Step> m_steps;
};

class SetTransformerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/jd-settransformer-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        const std::string catalogue = m_dir + "/catalogue.db";
        ASSERT_TRUE(jdlib::CreateCatalogueFile(catalogue, std::string(JD_SOURCE_DIR) + "/data"));
        SetCataloguePath(catalogue.c_str());

        const std::string map = std::string(JD_SOURCE_DIR) + "/examples/sample-mine.json";
        const host::MapLoadResult loaded = host::LoadMapFile(map, m_doc);
        ASSERT_TRUE(loaded.ok) << loaded.Describe(map);
        m_session = std::make_unique<host::HostSession>(m_doc);
        CollectMapObjects(Map(), &m_objects, &m_ids);

        m_runnerScope = std::make_unique<ModalRunnerScope>(m_runner);
        m_messageScope = std::make_unique<MessageServiceScope>(m_boxes);
    }
    void TearDown() override {
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
    std::string Field(const char* name, LONG field, LONG sub) {
        const host::MapObject& object = Object(name);
        const auto it = object.fields.find(field);
        if (it == object.fields.end() || sub >= static_cast<LONG>(it->second.size())) return "";
        return U(it->second[static_cast<size_t>(sub)]);
    }
    std::vector<std::string> Record(const char* name, LONG field) {
        std::vector<std::string> texts;
        for (const CString& text : Object(name).fields.at(field)) texts.push_back(U(text));
        return texts;
    }

    using Step = std::function<void(DialogDriver&, CJDSetTransformerDlg&)>;
    // Opens the dialog for a transformer as the library's set-transformer routine does.
    INT_PTR Launch(const char* name, Step step) {
        Queue(std::move(step));
        const host::MapObject& object = Object(name);
        return LaunchSetTransformerDialog(Map(), &m_objects, &m_ids, object.entityId, object.handle);
    }
    // Opens it with motor powers of the test's own.
    INT_PTR OpenWithPowers(const char* name, double maxKW, double totalKW, Step step) {
        Queue(std::move(step));
        const host::MapObject& object = Object(name);
        CJDSetTransformerDlg dialog;
        dialog.m_pMapControl = Map();
        dialog.m_hObject = object.handle;
        dialog.m_nEntityId = object.entityId;
        dialog.m_objectList.Copy(m_objects);
        dialog.m_idList.Copy(m_ids);
        dialog.m_dMaxMotorPower = maxKW;
        dialog.m_dTotalMotorPower = totalKW;
        return dialog.DoModal();
    }
    void Queue(Step step) {
        m_runner.Then([step = std::move(step)](CDialog& dialog) {
            DialogDriver driver(dialog);
            step(driver, static_cast<CJDSetTransformerDlg&>(dialog));
        });
    }
    void Then(StepRunner::Step step) { m_runner.Then(std::move(step)); }

    std::vector<std::string> Items(DialogDriver& d, int id) {
        std::vector<std::string> items;
        for (const CString& item : d.Items(id).value_or(std::vector<CString>{})) items.push_back(U(item));
        return items;
    }
    std::string Text(DialogDriver& d, int id) { return U(d.Text(id).value_or("?")); }
    const MessageBoxRecord* LastBox() const { return m_boxes.Records().empty() ? nullptr : &m_boxes.Records().back(); }

    std::string m_dir;
    host::MapDocument m_doc;
    std::unique_ptr<host::HostSession> m_session;
    CKernelObjectArray m_objects;
    CEntityIdArray m_ids;
    StepRunner m_runner;
    HeadlessMessageService m_boxes;
    std::unique_ptr<ModalRunnerScope> m_runnerScope;
    std::unique_ptr<MessageServiceScope> m_messageScope;
};

// The mobile substations of 6000 V / 690 V in the seed, in ID order (IDs 1 … 8).
const std::vector<std::string> kMobile690 = {"KBSGZY-200/6", "KBSGZY-315/6", "KBSGZY-400/6", "KBSGZY-500/6",
                                             "KBSGZY-630/6", "KBSGZY-800/6", "KBSGZY-1000/6", "KBSGZY-1250/6",
                                             "无适用设备"};

// ---- records ------------------------------------------------------------------------------

TEST_F(SetTransformerTest, ModelRecordIsWrittenFromTheCatalogueRow) {
    // Seed row 4: KBSGZY-500/6, 500 kVA, 6000/690 V, 48.11/418.37 A, 1152 W, 6120 W, 4.0 %, 0.011655, 0.036261.
    const WrittenModelValues written = WriteModelRecord(Map(), Object("2#移动变电站").entityId, 4);
    EXPECT_EQ(Record("2#移动变电站", 163),
              (std::vector<std::string>{"4", "KBSGZY-500/6", "移动变电站", "500.00", "6000", "690", "48.11", "418.37",
                                        "1152.00", "6120.00", "4.00", "0.0117", "0.0363", "Y,y0"}));
    EXPECT_DOUBLE_EQ(written.shortCircuitLossW, 6120.0);
    EXPECT_DOUBLE_EQ(written.secondaryVoltageV, 690.0);
    EXPECT_DOUBLE_EQ(written.capacityKVA, 500.0);
    EXPECT_DOUBLE_EQ(written.impedancePercent, 4.0);
}

// ---- opening and the model list -----------------------------------------------------------

TEST_F(SetTransformerTest, OpeningWithoutModelSelectsTheDefaultsAndListsModelsInIdOrder) {
    const INT_PTR result = Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        EXPECT_EQ(U(d.Caption()), "设置变压器");
        EXPECT_EQ(Text(d, IDC_NAME), "2#移动变电站");
        // Project low voltage 660 → "690"; primary "6000"; kind 移动变电站 → that type.
        EXPECT_EQ(U(*d.SelectedText(IDC_LOW_VOLTAGE)), "690");
        EXPECT_EQ(U(*d.SelectedText(IDC_HIGH_VOLTAGE)), "6000");
        EXPECT_EQ(U(*d.SelectedText(IDC_TRANSFORMER_TYPE)), "移动变电站");
        // S = 0: every mobile substation of 6000/690 V, then the no-model row; row 0 shown.
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), kMobile690);
        EXPECT_EQ(d.SelectedIndex(IDC_MODEL_LIST), 0);
        EXPECT_EQ(Text(d, IDC_CAPACITY), "200");
        EXPECT_EQ(dlg.m_modelIds.items(), (std::vector<DWORD>{1, 2, 3, 4, 5, 6, 7, 8}));
        EXPECT_TRUE(*d.IsEnabled(IDC_DETAILS));
        // No model: no voltage loss, no head buttons.
        EXPECT_FALSE(*d.IsEnabled(IDC_VOLTAGE_LOSS));
        EXPECT_FALSE(*d.IsEnabled(IDC_HV_HEAD));
        EXPECT_FALSE(*d.IsEnabled(IDC_LV_HEAD));
        EXPECT_TRUE(*d.IsEnabled(IDC_HV_HEAD_SET));
        // The fully mechanised face with self-advancing supports (sub 4 is not "是"):
        // Pmax 300 kW (采煤机), ΣPe 300 + 125 = 425 kW: 0.4 + 0.6 × 300/425 = 0.8235.
        EXPECT_EQ(U(*d.SelectedText(IDC_LOAD_TYPE)), "综采工作面");
        EXPECT_EQ(U(*d.SelectedText(IDC_FACES)), "一个工作面");
        EXPECT_EQ(Text(d, IDC_KR), "0.8235");
        EXPECT_EQ(Text(d, IDC_COS_PHI), "0.7");
        EXPECT_EQ(Text(d, IDC_KS), "1");
        EXPECT_EQ(*d.CheckState(IDC_SUPPORT_SELF_ADVANCING), BST_CHECKED);

        // Another secondary voltage: the 1200 V mobile substations, IDs 9 … 19.
        ASSERT_TRUE(d.SelectText(IDC_LOW_VOLTAGE, "1200"));
        const std::vector<std::string> mobile1200 = {
            "KBSGZY-315/6",  "KBSGZY-400/6",  "KBSGZY-500/6",  "KBSGZY-630/6",  "KBSGZY-800/6", "KBSGZY-1000/6",
            "KBSGZY-1250/6", "KBSGZY-1600/6", "KBSGZY-2000/6", "KBSGZY-2500/6", "KBSGZY-3150/6", "无适用设备"};
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), mobile1200);
        EXPECT_EQ(Text(d, IDC_CAPACITY), "315");
        // The no-model row leaves the capacity shown.
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, G("无适用设备")));
        EXPECT_EQ(Text(d, IDC_CAPACITY), "315");

        // A power transformer has no heads: check boxes and buttons are disabled at once;
        // the list turns to the 6000/1200 V power transformers, IDs 64 … 70.
        ASSERT_TRUE(d.SelectText(IDC_TRANSFORMER_TYPE, G("动力变压器")));
        for (int id : {IDC_HV_HEAD_SET, IDC_LV_HEAD_SET, IDC_HV_HEAD, IDC_LV_HEAD}) EXPECT_FALSE(*d.IsEnabled(id)) << id;
        EXPECT_EQ(Items(d, IDC_MODEL_LIST),
                  (std::vector<std::string>{"KBSG-200/6", "KBSG-315/6", "KBSG-400/6", "KBSG-500/6", "KBSG-630/6",
                                            "KBSG-800/6", "KBSG-1000/6", "无适用设备"}));
        ASSERT_TRUE(d.SelectText(IDC_TRANSFORMER_TYPE, G("移动变电站")));
        EXPECT_TRUE(*d.IsEnabled(IDC_HV_HEAD_SET));
        EXPECT_FALSE(*d.IsEnabled(IDC_HV_HEAD)) << "the buttons keep their state";
        EXPECT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Field("2#移动变电站", 163, 0), "0") << "Cancel writes nothing";
}

TEST_F(SetTransformerTest, ClosingReleasesTheKernelBlocksOfTheHighVoltageData) {
    const size_t before = LiveKernelBlockCount();
    Launch("1#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        // One block per running motor of 1#移动变电站: the two belt motors and the heading machine.
        EXPECT_EQ(dlg.m_statBlocks.GetSize(), 3);
        EXPECT_EQ(LiveKernelBlockCount(), before + 3);
        EXPECT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(LiveKernelBlockCount(), before);
}

TEST_F(SetTransformerTest, NothingPickedOrLockedEndsTheDialogAtOnce) {
    CJDSetTransformerDlg nothing;
    nothing.m_pMapControl = Map();
    EXPECT_EQ(nothing.DoModal(), 0);
    ASSERT_EQ(m_boxes.Records().size(), 1u);
    EXPECT_EQ(U(LastBox()->text), "没有选中变压器,请重新选择！");
    EXPECT_EQ(LastBox()->type, MB_OK);

    const host::MapObject& box = Object("采区高压配电箱");   // "locked" in the map
    CJDSetTransformerDlg locked;
    locked.m_pMapControl = Map();
    locked.m_hObject = box.handle;
    locked.m_nEntityId = box.entityId;
    EXPECT_EQ(locked.DoModal(), 0);
    EXPECT_EQ(m_boxes.Records().size(), 1u) << "silently";
}

// ---- load statistics -------------------------------------------------------------------------

TEST_F(SetTransformerTest, FullyMechanisedFaceComputesApparentPowerAndNarrowsTheList) {
    const INT_PTR result = OpenWithPowers("2#移动变电站", 30.0, 300.0, [&](DialogDriver& d, CJDSetTransformerDlg&) {
        EXPECT_EQ(Text(d, IDC_KR), "0.46");            // self-advancing: 0.4 + 0.6 × 0.1
        ASSERT_TRUE(d.Click(IDC_SUPPORT_SINGLE));
        EXPECT_EQ(Text(d, IDC_KR), "0.3574");          // single props: 0.286 + 0.714 × 0.1
        ASSERT_TRUE(d.Click(IDC_LOAD_STATISTICS));
        // S = 300 × 0.3574 × 1.0 / 0.7 = 153.17 kVA.
        ASSERT_NE(LastBox(), nullptr);
        EXPECT_EQ(U(LastBox()->text), "该变压器的视在功率为 153.17kVA！");
        EXPECT_EQ(LastBox()->type, MB_ICONINFORMATION);
        EXPECT_EQ(Text(d, IDC_APPARENT_POWER), "153.17");
        // Both motors of 2#移动变电站 run, so both are shown.
        EXPECT_EQ(m_session->state().selection,
                  (std::vector<LONG>{Object("采煤机").entityId, Object("1#乳化液泵").entityId}));
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), kMobile690) << "every model is above 153.17 kVA";
        // Two faces: Ks 0.95, Kr unchanged.
        ASSERT_TRUE(d.SelectIndex(IDC_FACES, 1));
        EXPECT_EQ(Text(d, IDC_KS), "0.95");
        EXPECT_EQ(Text(d, IDC_KR), "0.3574");
        EXPECT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
}

TEST_F(SetTransformerTest, LoadTypesSetCoefficientsEditStatesAndSupportRadios) {
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("有主排水设备")));
        EXPECT_EQ(Text(d, IDC_KR), "1");
        EXPECT_EQ(Text(d, IDC_COS_PHI), "1");
        EXPECT_FALSE(*d.IsEnabled(IDC_KR));
        EXPECT_FALSE(*d.IsEnabled(IDC_COS_PHI));
        EXPECT_FALSE(*d.IsVisible(IDC_SUPPORT_SINGLE));
        EXPECT_FALSE(*d.IsVisible(IDC_SUPPORT_SELF_ADVANCING));

        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("自定义类型")));
        EXPECT_TRUE(*d.IsEnabled(IDC_KR));
        EXPECT_TRUE(*d.IsEnabled(IDC_COS_PHI));
        EXPECT_TRUE(*d.IsEnabled(IDC_KS));

        // From the heading back to the face: the support type was none while
        // the table ran, so Kr stays at the heading's 0.35.
        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("掘进工作面")));
        EXPECT_EQ(Text(d, IDC_KR), "0.35");
        EXPECT_FALSE(*d.IsEnabled(IDC_KS));
        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("综采工作面")));
        EXPECT_EQ(Text(d, IDC_KR), "0.35");
        EXPECT_TRUE(*d.IsVisible(IDC_SUPPORT_SINGLE));
        // The next faces change takes the single props: 0.286 + 0.714 × 300/425 = 0.79.
        ASSERT_TRUE(d.SelectIndex(IDC_FACES, 2));
        EXPECT_EQ(Text(d, IDC_KR), "0.79");
        EXPECT_EQ(Text(d, IDC_KS), "0.9");
        EXPECT_TRUE(d.PressCancel());
    });
}

TEST_F(SetTransformerTest, HandTypedCoefficientsOutsideTheirRangeAreRefused) {
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("炮采工作面（缓倾斜煤层）")));
        ASSERT_TRUE(d.SetText(IDC_KR, "0.5"));
        ASSERT_TRUE(d.Blur(IDC_KR));
        EXPECT_TRUE(m_boxes.Records().empty()) << "0.5 is the range's upper end";

        ASSERT_TRUE(d.SetText(IDC_KR, "0.51"));
        ASSERT_TRUE(d.Blur(IDC_KR));
        ASSERT_EQ(m_boxes.Records().size(), 1u);
        EXPECT_EQ(U(LastBox()->text), "请输入一个0.4~0.5的数字");
        EXPECT_EQ(LastBox()->type, MB_OK);
        EXPECT_TRUE(LastBox()->caption.IsEmpty());
        EXPECT_EQ(d.FocusedId(), IDC_KR) << "the focus returns to the edit";
        EXPECT_EQ(Text(d, IDC_KR), "0.51") << "the typed value stays";
        // Leaving the edit again is refused until the value is corrected.
        EXPECT_FALSE(d.SelectText(IDC_LOAD_TYPE, G("一般机械化工作面")));
        EXPECT_EQ(m_boxes.Records().size(), 2u);
        ASSERT_TRUE(d.SetText(IDC_KR, "0.45"));

        ASSERT_TRUE(d.SelectText(IDC_LOAD_TYPE, G("一般机械化工作面")));
        ASSERT_TRUE(d.SetText(IDC_COS_PHI, "0.71"));
        ASSERT_TRUE(d.Blur(IDC_COS_PHI));
        EXPECT_EQ(U(LastBox()->text), "请输入一个0.6~0.7的数字");
        ASSERT_TRUE(d.SetText(IDC_COS_PHI, "0.65"));
        EXPECT_TRUE(d.PressCancel());
    });
}

TEST_F(SetTransformerTest, NoRunningMotorGivesItsMessageAndStillFillsTheList) {
    for (const char* motor : {"采煤机", "1#乳化液泵"}) Object(motor).motor->running = false;
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        EXPECT_DOUBLE_EQ(dlg.m_dTotalMotorPower, 0.0) << "spare motors do not count for this transformer";
        ASSERT_TRUE(d.Click(IDC_LOAD_STATISTICS));
        ASSERT_NE(LastBox(), nullptr);
        EXPECT_EQ(U(LastBox()->text), "图中没有运行的电动机，请设置电动机的启动状态或插入电动机！");
        EXPECT_EQ(LastBox()->type, MB_ICONINFORMATION);
        EXPECT_EQ(Text(d, IDC_APPARENT_POWER), "0");
        EXPECT_TRUE(m_session->state().selection.empty()) << "nothing is shown on the map";
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), kMobile690);
        EXPECT_TRUE(d.PressCancel());
    });
}

TEST_F(SetTransformerTest, LauncherCountsSpareMotorsWhenTheLoadRecordSaysSo) {
    // 1#矿用变压器: running 25 + 30 + 18.5 + 5.5 = 79 kW, spare 2#水泵 30 kW.
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        EXPECT_DOUBLE_EQ(dlg.m_dMaxMotorPower, 30.0);
        EXPECT_DOUBLE_EQ(dlg.m_dTotalMotorPower, 79.0);
        EXPECT_TRUE(d.PressCancel());
    });
    Object("1#矿用变压器").fields[151][9] = "1";
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        EXPECT_DOUBLE_EQ(dlg.m_dTotalMotorPower, 109.0);
        EXPECT_EQ(*d.CheckState(IDC_SPARE_MOTORS), BST_CHECKED);
        EXPECT_TRUE(d.PressCancel());
    });
}

TEST_F(SetTransformerTest, HighVoltageDataFallBackToTheStoredValues) {
    // With every motor a spare there is nothing to compute from: the load
    // record's sub-indices 7, 8 and 10 are shown: the sample's primary-side
    // 23.80, 6.49 and 10.45 A (docs/map-format.md).
    for (const char* motor : {"调度绞车", "1#水泵", "回柱绞车", "喷浆机"}) Object(motor).motor->running = false;
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        EXPECT_EQ(Text(d, IDC_MAX_START_CURRENT), "23.8");
        EXPECT_EQ(Text(d, IDC_OTHER_RATED_CURRENT), "6.49");
        EXPECT_EQ(Text(d, IDC_TOTAL_RATED_CURRENT), "10.45");
        EXPECT_TRUE(d.PressCancel());
    });
}

// ---- OK ----------------------------------------------------------------------------------------

TEST_F(SetTransformerTest, OkWithoutModelClearsRecordsColoursAndEmptiesLabels) {
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, G("无适用设备")));
        ASSERT_TRUE(d.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(Record("1#矿用变压器", 163),
              (std::vector<std::string>{"0", "", "", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""}));
    // Subs 7, 8 and 10 are not part of the cleared form: the sample's values stay.
    EXPECT_EQ(Record("1#矿用变压器", 151),
              (std::vector<std::string>{"", "0", "0", "", "是", "0", "0", "23.80", "6.49", "0", "10.45", "0"}));
    EXPECT_EQ(Record("1#矿用变压器", 158), (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));
    const host::MapObject& t = Object("1#矿用变压器");
    EXPECT_EQ(t.colour, 0x96F0);
    EXPECT_EQ(t.flags, 0u) << "drawing by layer inverted the flag bit once";
    ASSERT_EQ(t.labels.size(), 2u);
    for (const host::Label& label : t.labels) {
        EXPECT_TRUE(label.text.IsEmpty());
        EXPECT_EQ(label.style, GetLabelStyle());
    }
    EXPECT_EQ(t.labels[0].placement, 0);
    EXPECT_EQ(t.labels[1].placement, 8) << "placements stay";
    ASSERT_EQ(m_session->state().entityRedraws.size(), 1u);
    EXPECT_EQ(m_session->state().entityRedraws[0].entityIds, std::vector<LONG>{t.entityId});
    EXPECT_TRUE(m_session->state().modified);
}

TEST_F(SetTransformerTest, OkWithModelRunningWritesRecordsLabelsAndLayerColour) {
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        // S 73.357 from the record: the power transformers of 6000/690 V above it, IDs 56 … 63.
        EXPECT_EQ(Items(d, IDC_MODEL_LIST),
                  (std::vector<std::string>{"KBSG-100/6", "KBSG-200/6", "KBSG-315/6", "KBSG-400/6", "KBSG-500/6",
                                            "KBSG-630/6", "KBSG-800/6", "KBSG-1000/6", "无适用设备"}));
        EXPECT_TRUE(*d.IsEnabled(IDC_VOLTAGE_LOSS)) << "a model and a feeder sum of 900 m";
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSG-200/6"));
        EXPECT_EQ(Text(d, IDC_CAPACITY), "200");
        ASSERT_TRUE(d.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    // Seed row 57: KBSG-200/6, 200 kVA, 6000/690 V, ΔPk 3120 W, uk 4 %:
    // R_T = 3120 × (690/200000)² = 0.0371358 Ω; Z_T = 0.4761 × 40 / 200 = 0.09522 Ω;
    // X_T = √(0.09522² − 0.0371358²) = 0.0876800 Ω.
    EXPECT_EQ(Field("1#矿用变压器", 163, 0), "57");
    EXPECT_EQ(Field("1#矿用变压器", 163, 1), "KBSG-200/6");
    EXPECT_EQ(Field("1#矿用变压器", 151, 0), "无主排水设备");
    EXPECT_EQ(Field("1#矿用变压器", 151, 2), "900.00");   // 200 + 400 + 300 m of outgoing cables
    EXPECT_EQ(Field("1#矿用变压器", 151, 4), "否");
    EXPECT_EQ(Field("1#矿用变压器", 151, 5), "0.0371");
    EXPECT_EQ(Field("1#矿用变压器", 151, 6), "0.0877");
    EXPECT_EQ(Field("1#矿用变压器", 151, 11), "0");
    // Kr and cosφ of "无主排水设备", one face; Pmax 30, ΣPe 79; S as stored.
    EXPECT_EQ(Record("1#矿用变压器", 158), (std::vector<std::string>{"0.650", "1.000", "0.700", "30", "79", "73.357"}));
    // Same prefix and capacity as the points carry: d1 … d3 are left alone
    // (d1 as docs/map-format.md computes it for this row).
    EXPECT_EQ(Field("d1", 161, 11), "0;690;1#矿用变压器,KBSG,200;602;");
    EXPECT_EQ(Field("d1", 161, 1), "1039.66");
    const host::MapObject& t = Object("1#矿用变压器");
    EXPECT_EQ(t.colour, 32768) << "the colour of layer 3";
    EXPECT_EQ(t.flags, 0x1000u) << "set, not inverted";
    ASSERT_EQ(t.labels.size(), 2u);
    EXPECT_EQ(U(t.labels[0].text), "KBSG-200/6/0.69");
    EXPECT_EQ(U(t.labels[1].text), "1#矿用变压器");
    EXPECT_EQ(t.labels[1].style, GetLabelStyle());
}

TEST_F(SetTransformerTest, OkReportsARecordTheHostRefusedToWrite) {
    // The host refuses the load record 151: the other records are still
    // written, and OK says which write was refused instead of passing in silence.
    m_session->state().refusedWriteFields.insert(151);
    const std::string loadBefore = Field("1#矿用变压器", 151, 0);
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSG-200/6"));
        ASSERT_TRUE(d.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    ASSERT_NE(LastBox(), nullptr);
    EXPECT_EQ(LastBox()->type, MB_ICONSTOP);
    EXPECT_EQ(U(LastBox()->text),
              "图中的记录没有全部写入：writing of field 151 of entity " +
                  std::to_string(Object("1#矿用变压器").entityId) + ": the host refused sub-index 0, 1, 2, 4, 5, "
                  "6, 7, 8, 9, 10, 11");  // every sub-index the load record writes (no sub 3)
    EXPECT_EQ(Field("1#矿用变压器", 151, 0), loadBefore);
    EXPECT_EQ(Field("1#矿用变压器", 163, 1), "KBSG-200/6") << "the model record was written";
}

TEST_F(SetTransformerTest, VoltageLossButtonReportsARefusedWriteInsteadOfOldValues) {
    m_session->state().refusedWriteFields.insert(160);
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.Click(IDC_VOLTAGE_LOSS));
        d.PressCancel();
    });
    ASSERT_NE(LastBox(), nullptr);
    EXPECT_EQ(LastBox()->type, MB_ICONSTOP);
    EXPECT_NE(U(LastBox()->text).find("field 160"), std::string::npos) << U(LastBox()->text);
}

TEST_F(SetTransformerTest, OkWithAnotherModelRewritesKindZeroPoints) {
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSG-315/6"));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(Field("d1", 161, 11), "0;690;1#矿用变压器,KBSG,315;602;");
    EXPECT_EQ(Field("d2", 161, 11), "0;690;1#矿用变压器,KBSG,315;490;");
    EXPECT_EQ(Field("d3", 161, 11), "0;690;1#矿用变压器,KBSG,315;504;");
    EXPECT_EQ(Field("d4", 161, 11), "1;690;2-1电缆/2-2电缆;1#移动变电站,0.0117,0.0363;0.1659;0.0808;")
        << "points of the other transformers are not touched (the sample's path)";
}

TEST_F(SetTransformerTest, KindOnePointsFollowTheImpedanceOnlyWhenItChanged) {
    const std::string before = Field("d4", 161, 11);
    Launch("1#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSGZY-500/6"));   // the seed's row 4, ΔPk 6120 W
        ASSERT_TRUE(d.PressOk());
    });
    // R_T = 6120 × (690/500000)² = 0.0116549 Ω, X_T = √(0.038088² − 0.0116549²) = 0.0362610 Ω:
    // 0.0117 and 0.0363, as the sample's points carry them: left alone.
    EXPECT_EQ(Field("1#移动变电站", 151, 5), "0.0117");
    EXPECT_EQ(Field("1#移动变电站", 151, 6), "0.0363");
    EXPECT_EQ(Field("d4", 161, 11), before);

    // A catalogue row with another loss: 500 kVA, 690 V, ΔPk 3100 W, uk 4 %.
    CTransformer unit;
    unit.SetModel("KBSGZY-500/6");
    unit.SetType(G("移动变电站"));
    unit.SetCapacity(500);
    unit.SetHVoltage(6000);
    unit.SetLVoltage(690);
    unit.SetShortcutLose(3100);
    unit.SetRXPercent(4);
    ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, &unit, 0));

    Launch("1#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        const int row = dlg.m_modelIds.GetSize() - 1;   // the new row comes last in ID order
        ASSERT_GE(row, 0);
        EXPECT_EQ(dlg.m_modelIds[row], unit.GetModelId());
        ASSERT_TRUE(d.SelectIndex(IDC_MODEL_LIST, row));
        ASSERT_TRUE(d.PressOk());
    });
    // R_T = 3100 × (690/500000)² = 0.00590364 Ω; X_T = √(0.038088² − 0.00590364²) = 0.0376277 Ω.
    EXPECT_EQ(Field("1#移动变电站", 151, 5), "0.0059");
    EXPECT_EQ(Field("1#移动变电站", 151, 6), "0.0376");
    // d4: ΣR' = 0.1659 − 0.0117 + 0.00590364 = 0.16010364; ΣX' = 0.0808 − 0.0363 + 0.0376277 = 0.0821277.
    EXPECT_EQ(Field("d4", 161, 11), "1;690;2-1电缆/2-2电缆;1#移动变电站,0.0059,0.0376;0.1601;0.0821;");
    // d5: 0.1335 − 0.0117 + 0.00590364 = 0.12770364; 0.0812 − 0.0363 + 0.0376277 = 0.0825277.
    EXPECT_EQ(Field("d5", 161, 11), "1;690;2-4电缆/2-5电缆;1#移动变电站,0.0059,0.0376;0.1277;0.0825;");
    // d6: 0.3637 − 0.0117 + 0.00590364 = 0.35790364; 0.0696 − 0.0363 + 0.0376277 = 0.0709277.
    EXPECT_EQ(Field("d6", 161, 11), "1;690;2-6电缆;1#移动变电站,0.0059,0.0376;0.3579;0.0709;");
}

// The sample stores what this dialog writes (seed rows 57 and 4, the library's
// primary-side currents, the points' paths and currents of docs/map-format.md):
// reopening a transformer selects its stored row, and OK rewrites every record
// and point with the same texts.
TEST_F(SetTransformerTest, ReopeningTheSampleSelectsItsStoredModelAndOkChangesNoRecord) {
    const std::pair<const char*, const char*> transformers[] = {{"1#矿用变压器", "KBSG-200/6"},
                                                                {"1#移动变电站", "KBSGZY-500/6"}};
    for (const auto& [name, model] : transformers) {
        std::vector<std::vector<std::string>> before;
        for (LONG field : {151, 158, 160, 163}) before.push_back(Record(name, field));
        std::vector<std::vector<std::string>> points;
        for (const char* point : {"d1", "d2", "d3", "d4", "d5", "d6"}) points.push_back(Record(point, 161));

        const INT_PTR result = Launch(name, [&, model = model](DialogDriver& d, CJDSetTransformerDlg&) {
            const std::optional<int> row = d.SelectedIndex(IDC_MODEL_LIST);
            ASSERT_TRUE(row.has_value());
            const std::vector<std::string> items = Items(d, IDC_MODEL_LIST);
            ASSERT_LT(static_cast<size_t>(*row), items.size());
            EXPECT_EQ(items[static_cast<size_t>(*row)], model);
            ASSERT_TRUE(d.PressOk());
        });
        ASSERT_EQ(result, IDOK) << name;
        std::vector<std::vector<std::string>> after;
        for (LONG field : {151, 158, 160, 163}) after.push_back(Record(name, field));
        EXPECT_EQ(after, before) << name;
        std::vector<std::vector<std::string>> pointsAfter;
        for (const char* point : {"d1", "d2", "d3", "d4", "d5", "d6"}) pointsAfter.push_back(Record(point, 161));
        EXPECT_EQ(pointsAfter, points) << name;
    }
}

TEST_F(SetTransformerTest, StoppedTransformerGetsSpareLabelAndRedAfterItsRecords) {
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.Click(IDC_STATE_STOPPED));
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSG-200/6"));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(Field("1#矿用变压器", 163, 0), "57") << "the records are written as for a running one";
    EXPECT_EQ(Field("1#矿用变压器", 151, 11), "1");
    const host::MapObject& t = Object("1#矿用变压器");
    EXPECT_EQ(t.colour, 0xFF);
    EXPECT_EQ(t.flags, 0u) << "set by the model's colour, then inverted by the stop colour";
    ASSERT_EQ(t.labels.size(), 2u);
    EXPECT_EQ(U(t.labels[0].text), "备用");
    EXPECT_EQ(t.labels[0].placement, 3) << "the state changed, so placements are rewritten";
    EXPECT_EQ(U(t.labels[1].text), "1#矿用变压器");
    EXPECT_EQ(t.labels[1].placement, 8);
    EXPECT_EQ(t.labels[1].style, GetLabelStyle());
}

TEST_F(SetTransformerTest, StoppedWithoutModelByLayerInvertsTheFlagBitTwice) {
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.Click(IDC_STATE_STOPPED));
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, G("无适用设备")));
        ASSERT_TRUE(d.PressOk());
    });
    const host::MapObject& t = Object("1#矿用变压器");
    EXPECT_EQ(t.flags, 0x1000u) << "inverted for the no-model colour and again for the stop colour";
    EXPECT_EQ(t.colour, 0xFF);
    EXPECT_EQ(Field("1#矿用变压器", 163, 0), "0");
}

TEST_F(SetTransformerTest, DuplicateNameIsRefusedAndAnEmptyOneAccepted) {
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SetText(IDC_NAME, G("1#移动变电站")));
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, G("无适用设备")));
        ASSERT_TRUE(d.PressOk());
        ASSERT_TRUE(d.IsOpen());
        ASSERT_NE(LastBox(), nullptr);
        EXPECT_EQ(U(LastBox()->text), "输入的名称在图中已经存在，请更换名称输入!");
        EXPECT_EQ(LastBox()->type, MB_ICONINFORMATION);
        EXPECT_EQ(Field("1#矿用变压器", 163, 0), "57") << "nothing written: the sample's seed row 57";

        ASSERT_TRUE(d.SetText(IDC_NAME, ""));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(m_doc.FindByEntity(2)->name.IsEmpty());
}

TEST_F(SetTransformerTest, NameLongerThanTheRecordFieldIsRefused) {
    // 16 Chinese characters are 32 GBK bytes; the name field holds 31 and the terminator.
    const CString longName = G("一二三四五六七八九十一二三四五六");
    ASSERT_EQ(longName.GetLength(), 32);
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.SetText(IDC_NAME, longName));
        ASSERT_TRUE(d.PressOk());
        ASSERT_TRUE(d.IsOpen());
        ASSERT_NE(LastBox(), nullptr);
        EXPECT_NE(U(LastBox()->text).find("31"), std::string::npos) << U(LastBox()->text);
        EXPECT_EQ(d.FocusedId(), IDC_NAME);
        EXPECT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(U(Object("1#矿用变压器").name), "1#矿用变压器");
}

// ---- buttons and the model list's commands ---------------------------------------------------

TEST_F(SetTransformerTest, VoltageLossButtonReportsWhatTheLibraryStored) {
    Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.Click(IDC_VOLTAGE_LOSS));
        d.PressCancel();
    });
    ASSERT_NE(LastBox(), nullptr);
    const CString expected =
        FormatVoltageLossReport(G(Field("1#矿用变压器", 160, 0).c_str()), G(Field("1#矿用变压器", 160, 1).c_str()),
                                G(Field("1#矿用变压器", 160, 7).c_str()), G(Field("1#矿用变压器", 160, 8).c_str()),
                                G(Field("1#矿用变压器", 160, 9).c_str()));
    EXPECT_EQ(LastBox()->text, expected);
    EXPECT_EQ(LastBox()->type, MB_OK);
    EXPECT_FALSE(Field("1#矿用变压器", 160, 0).empty());
}

TEST_F(SetTransformerTest, StockButtonOpensTheStockViewOfTheSelectedModel) {
    CString shownModel;
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        Then([&](CDialog& stock) {
            EXPECT_EQ(stock.GetTemplateId(), IDD_STOCK);
            shownModel = static_cast<CStock&>(stock).m_strModel;
            DialogDriver(stock).PressCancel();
        });
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSGZY-400/6"));
        ASSERT_TRUE(d.Click(IDC_STOCK));
        EXPECT_EQ(shownModel, "KBSGZY-400/6");
        // On the no-model row the button does nothing.
        shownModel.Empty();
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, G("无适用设备")));
        ASSERT_TRUE(d.Click(IDC_STOCK));
        EXPECT_TRUE(shownModel.IsEmpty());
        d.PressCancel();
    });
}

TEST_F(SetTransformerTest, DeleteFromTheContextMenuAsksFirst) {
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        ASSERT_TRUE(d.RightClickRow(IDC_MODEL_LIST, 1));
        m_boxes.QueueAnswer(IDNO);
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DELETE));
        EXPECT_EQ(U(LastBox()->text), "是否删除 KBSGZY-315/6 这个型号？");
        EXPECT_EQ(U(LastBox()->caption), "请确认");
        EXPECT_EQ(LastBox()->type & MB_TYPEMASK, MB_YESNO);
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), kMobile690) << "No keeps the model";

        ASSERT_TRUE(d.RightClickRow(IDC_MODEL_LIST, 1));
        m_boxes.QueueAnswer(IDYES);
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DELETE));
        std::vector<std::string> remaining = kMobile690;
        remaining.erase(remaining.begin() + 1);
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), remaining);
        d.PressCancel();
    });
}

TEST_F(SetTransformerTest, EditingAModelToANewVoltageAppendsItAndRefillsTheList) {
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        Then([&](CDialog& details) {
            DialogDriver p(details);
            EXPECT_EQ(U(*p.Text(IDC_PARA_MODEL)), "KBSGZY-315/6");
            ASSERT_TRUE(p.TypeComboText(IDC_PARA_LOW_VOLTAGE, "660"));
            ASSERT_TRUE(p.PressOk());
        });
        ASSERT_TRUE(d.SelectIndex(IDC_MODEL_LIST, 1));
        ASSERT_TRUE(d.Click(IDC_DETAILS));
        // 660 is new to combo 5004; the model left the 690 V list, which was refilled.
        EXPECT_EQ(Items(d, IDC_LOW_VOLTAGE).back(), "660");
        EXPECT_EQ(U(*d.SelectedText(IDC_LOW_VOLTAGE)), "690");
        std::vector<std::string> remaining = kMobile690;
        remaining.erase(remaining.begin() + 1);
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), remaining);
        d.PressCancel();
    });
}

TEST_F(SetTransformerTest, DoubleClickOnTheNoModelRowAddsAModel) {
    Launch("2#移动变电站", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        Then([&](CDialog& details) {
            DialogDriver p(details);
            EXPECT_EQ(details.GetTemplateId(), IDD_TRANSFORMER_PARA);
            // The Set dialog's type and voltages are preselected.
            EXPECT_EQ(U(*p.SelectedText(IDC_PARA_TYPE)), "移动变电站");
            EXPECT_EQ(U(*p.SelectedText(IDC_PARA_HIGH_VOLTAGE)), "6000");
            EXPECT_EQ(U(*p.SelectedText(IDC_PARA_LOW_VOLTAGE)), "690");
            ASSERT_TRUE(p.SetText(IDC_PARA_MODEL, "KBSGZY-160/6"));
            ASSERT_TRUE(p.TypeComboText(IDC_PARA_CAPACITY, "160"));
            ASSERT_TRUE(p.PressOk());
        });
        ASSERT_TRUE(d.DoubleClickRow(IDC_MODEL_LIST, 8));
        // 160 kVA comes last: the list is in ID order, not by capacity.
        std::vector<std::string> expected = kMobile690;
        expected.insert(expected.end() - 1, "KBSGZY-160/6");
        EXPECT_EQ(Items(d, IDC_MODEL_LIST), expected);
        d.PressCancel();
    });
}

// ---- catalogue rows that changed under the dialog ---------------------------------------------

// Runs SQL on the test's catalogue, as another program editing it would.
void ExecuteOnCatalogue(const std::string& sql) {
    CADODatabase database;
    ASSERT_TRUE(OpenJDDatabase(&database));
    database.GetConnection()->Execute(sql);
    CloseJDDatabase(&database);
}

TEST_F(SetTransformerTest, AModelRenamedInItsDetailsLabelsTheTransformerWithTheNewName) {
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg&) {
        Then([&](CDialog& details) {
            DialogDriver p(details);
            EXPECT_EQ(U(*p.Text(IDC_PARA_MODEL)), "KBSG-200/6");
            ASSERT_TRUE(p.SetText(IDC_PARA_MODEL, G("KBSG-200/6改")));
            ASSERT_TRUE(p.PressOk());
        });
        ASSERT_TRUE(d.SelectText(IDC_MODEL_LIST, "KBSG-200/6"));
        ASSERT_TRUE(d.Click(IDC_DETAILS));
        // Row 1 (ID 57) shows the new name and stays selected.
        EXPECT_EQ(Items(d, IDC_MODEL_LIST)[1], "KBSG-200/6改");
        EXPECT_EQ(d.SelectedIndex(IDC_MODEL_LIST), 1);
        ASSERT_TRUE(d.PressOk());
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(Field("1#矿用变压器", 163, 0), "57");
    EXPECT_EQ(Field("1#矿用变压器", 163, 1), "KBSG-200/6改");
    const host::MapObject& t = Object("1#矿用变压器");
    ASSERT_EQ(t.labels.size(), 2u);
    EXPECT_EQ(U(t.labels[0].text), "KBSG-200/6改/0.69") << "the label and record 163 name the same model";
}

TEST_F(SetTransformerTest, AModelWhoseIdCannotBeReadStopsOkBeforeAnythingIsWritten) {
    // Put there by hand, past the 32-bit range a drawing's model ID has: a
    // power transformer of 6000/690 V that 1#矿用变压器's list shows last.
    ExecuteOnCatalogue(
        "INSERT INTO Para_Transformer (ID, Model, Type, Capacity, HVoltage, LVoltage, ShortcutLose, RXPercent) "
        "VALUES (3000000000, 'KBSG-BIG/6', '动力变压器', 1250, 6000, 690, 9000, 4.5)");
    const std::vector<std::string> before163 = Record("1#矿用变压器", 163);
    const INT_PTR result = Launch("1#矿用变压器", [&](DialogDriver& d, CJDSetTransformerDlg& dlg) {
        const std::vector<std::string> items = Items(d, IDC_MODEL_LIST);
        ASSERT_EQ(items.size(), 10u);
        EXPECT_EQ(items[8], "KBSG-BIG/6");
        EXPECT_EQ(dlg.m_modelIds[8], 0u) << "an ID that could not be read is kept as 0";
        ASSERT_TRUE(d.SetText(IDC_NAME, G("改名")));
        ASSERT_TRUE(d.SelectIndex(IDC_MODEL_LIST, 8));
        const size_t boxes = m_boxes.Records().size();
        ASSERT_TRUE(d.PressOk());
        ASSERT_TRUE(d.IsOpen()) << "OK must stop";
        ASSERT_EQ(m_boxes.Records().size(), boxes + 1);
        EXPECT_EQ(LastBox()->type, MB_ICONSTOP);
        EXPECT_NE(U(LastBox()->text).find("编号无法从设备目录中读出"), std::string::npos) << U(LastBox()->text);
        EXPECT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(Record("1#矿用变压器", 163), before163) << "no zeroed record 163";
    EXPECT_NE(m_doc.FindByName(G("1#矿用变压器")), nullptr) << "the name was not written either";
    EXPECT_FALSE(m_session->state().modified);
}

}  // namespace
