// The model list box with its context menu, the transformer detail dialog and
// the stock view, driven as a user drives them, against a fresh catalogue
// built from the shipped seed for every test. Expected values are read off
// the seed files (data/seed/*.csv) by hand and are quoted beside each check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>

#include "equipment/ADODatabase.h"
#include "equipment/ADORecordset.h"
#include "equipment/CatalogueFile.h"
#include "equipment/JDBase.h"
#include "equipment/OtherDevices.h"
#include "equipment/Transformer.h"
#include "module/JDTransformerParaDlg.h"
#include "module/ModuleResources.h"
#include "module/MyListBox.h"
#include "module/Stock.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/Resources.h"
#include "platform/Services.h"
#include "platform/UserActions.h"

namespace {

CString G(const char* utf8) { return FromUtf8(utf8); }

// Runs each dialog that opens with the next step in the queue; a dialog
// opening with none left is cancelled by DoModal.
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
    size_t Remaining() const { return m_steps.size(); }

private:
    std::deque<Step> m_steps;
};

// A fresh catalogue from the seed in a folder of the test's own, a runner and
// a message service that records every box.
class CatalogueDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = "/tmp/jd-module-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        const std::string path = m_dir + "/catalogue.db";
        ASSERT_TRUE(jdlib::CreateCatalogueFile(path, std::string(JD_SOURCE_DIR) + "/data"));
        SetCataloguePath(path.c_str());
        m_runnerScope = std::make_unique<ModalRunnerScope>(m_runner);
        m_messageScope = std::make_unique<MessageServiceScope>(m_messages);
    }
    void TearDown() override {
        m_messageScope.reset();
        m_runnerScope.reset();
        SetCataloguePath(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    // Rows of Para_Transformer whose model is `model` (GBK), and the id of the last one.
    LONG CountModels(const CString& model, LONG* lastId = nullptr) {
        CADODatabase database;
        EXPECT_TRUE(OpenJDDatabase(&database));
        CADORecordset records(&database);
        LONG count = 0;
        if (records.OpenRecords(database.GetConnection(),
                                "SELECT ID FROM Para_Transformer WHERE Model = '" + model + "' ORDER BY ID", 1)) {
            for (; !records.IsEOF(); records.NextRecord()) {
                ++count;
                if (lastId) records.ReadField("ID", *lastId);
            }
            records.CloseRecords();
        }
        CloseJDDatabase(&database);
        return count;
    }

    static CString ListText(char* heapText) {
        CString text(heapText ? heapText : "");
        std::free(heapText);
        return text;
    }

    std::string m_dir;
    StepRunner m_runner;
    HeadlessMessageService m_messages;
    std::unique_ptr<ModalRunnerScope> m_runnerScope;
    std::unique_ptr<MessageServiceScope> m_messageScope;
};

// ------------------------------------------------------------------ the model list box

constexpr UINT IDD_LIST_OWNER = 9500;

// An owner as the setting dialogs are: it loads menu 5008 when its window is
// created, hands the pop-up and itself to the list, and logs what reaches it.
class CListOwnerDlg : public CDialog {
public:
    CListOwnerDlg() : CDialog(IDD_LIST_OWNER) {
        static const ResourceRegistration resources(
            {{.id = IDD_LIST_OWNER,
              .caption = "owner",
              .width = 200,
              .height = 120,
              .controls = {{.id = IDC_MODEL_LIST, .kind = ControlKind::ListBox, .caption = "型号列表：",
                            .items = {"KBSG-100/6", "KBSG-200/6", "无适用设备"}, .x = 10, .y = 10, .w = 100,
                            .h = 80},
                           {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定"}}}});
        EXPECT_TRUE(resources.ok());
    }
    CMyListBox m_modelList;
    std::vector<std::string> m_log;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_MODEL_LIST, m_modelList); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_modelList.m_hOwner = m_hWnd;
        return TRUE;
    }
    int OnCreate(LPCREATESTRUCT cs) {
        if (CDialog::OnCreate(cs) == -1) return -1;
        m_modelList.m_hMenu = ::GetSubMenu(::LoadMenu(IDR_MODEL_LIST_MENU), 0);
        return 0;
    }
    void OnDestroy() { ::DestroyMenu(m_modelList.m_hMenu); }
    void OnSelChange() { m_log.push_back("selchange " + std::to_string(m_modelList.GetCurSel())); }
    void OnModelCommand(UINT id) {
        m_log.push_back("command " + std::to_string(id) + " row " + std::to_string(m_modelList.GetCurSel()));
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CListOwnerDlg, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_LBN_SELCHANGE(IDC_MODEL_LIST, &CListOwnerDlg::OnSelChange)
    ON_COMMAND_RANGE(ID_MODEL_DETAILS, ID_MODEL_ADD, &CListOwnerDlg::OnModelCommand)
END_MESSAGE_MAP()

class ModelListBoxTest : public ::testing::Test {
protected:
    // Runs the owner with `step` as the user's actions, then presses OK.
    void RunOwner(const std::function<void(DialogDriver&)>& step) {
        StepRunner runner;
        ModalRunnerScope scope(runner);
        runner.Then([&](CDialog& dialog) {
            DialogDriver d(dialog);
            step(d);
            EXPECT_TRUE(d.PressOk().ok());
        });
        EXPECT_EQ(m_owner.DoModal(), IDOK);
    }
    CListOwnerDlg m_owner;
};

TEST_F(ModelListBoxTest, RightClickBelowTheRowsClearsTheSelectionWithoutMenu) {
    RunOwner([&](DialogDriver& d) {
        ASSERT_TRUE(d.SelectIndex(IDC_MODEL_LIST, 1).ok());
        ASSERT_TRUE(d.RightClickBelowRows(IDC_MODEL_LIST).ok());
        EXPECT_EQ(d.SelectedIndex(IDC_MODEL_LIST), -1);
        EXPECT_EQ(GetShownPopupMenu(), nullptr);
    });
    // Only the user's left-click selection reached the owner.
    EXPECT_EQ(m_owner.m_log, (std::vector<std::string>{"selchange 1"}));
}

TEST_F(ModelListBoxTest, RightClickOnTheNoModelRowSelectsItButShowsNoMenu) {
    RunOwner([&](DialogDriver& d) {
        ASSERT_TRUE(d.RightClickRow(IDC_MODEL_LIST, 2).ok());
        EXPECT_EQ(d.SelectedIndex(IDC_MODEL_LIST), 2);
        EXPECT_EQ(GetShownPopupMenu(), nullptr);
    });
    EXPECT_TRUE(m_owner.m_log.empty()) << "a right click must not notify the owner";
}

TEST_F(ModelListBoxTest, CommandChosenOnAModelRowReachesTheOwner) {
    RunOwner([&](DialogDriver& d) {
        ASSERT_TRUE(d.RightClickRow(IDC_MODEL_LIST, 0).ok());
        EXPECT_EQ(d.SelectedIndex(IDC_MODEL_LIST), 0);
        const PopupMenuRecord* shown = GetShownPopupMenu();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->owner, ::GetDlgItem(d.GetHwnd(), IDC_MODEL_LIST)) << "the list box owns the menu";
        EXPECT_EQ(DescribeShownMenu(),
                  G("menu 5008 owner 5005: 32772 查看详细参数 | 32773 查看库存 | 32774 删除 | 32775 添加型号"));
        ASSERT_TRUE(ChooseMenuCommand(ID_MODEL_DELETE).ok());
        // The second model row, another command.
        ASSERT_TRUE(d.RightClickRow(IDC_MODEL_LIST, 1).ok());
        ASSERT_TRUE(ChooseMenuItem(G("查看详细参数")).ok());
    });
    EXPECT_EQ(m_owner.m_log, (std::vector<std::string>{"command 32774 row 0", "command 32772 row 1"}));
}

// ------------------------------------------------------------------ the detail dialog

using TransformerParaDlgTest = CatalogueDialogTest;

TEST_F(TransformerParaDlgTest, NewModelStartsEmptyWith2000AndTheCallersSelectionsAndIsAdded) {
    const CString model = G("KBSG-2000/6测试");
    ASSERT_EQ(CountModels(model), 0);
    CJDTransformerParaDlg dlg;
    dlg.m_bNewModel = 1;
    dlg.m_nHvIndex = 1;    // "6000"
    dlg.m_nLvIndex = 2;    // "690"
    dlg.m_nTypeIndex = 1;  // "动力变压器"
    m_runner.Then([&](CDialog& dialog) {
        DialogDriver d(dialog);
        EXPECT_EQ(d.Text(IDC_PARA_MODEL), CString(""));
        EXPECT_EQ(d.Text(IDC_PARA_CAPACITY), CString("2000"));
        EXPECT_EQ(d.SelectedIndex(IDC_PARA_CAPACITY), 2);
        EXPECT_EQ(d.Text(IDC_PARA_HIGH_VOLTAGE), CString("6000"));
        EXPECT_EQ(d.Text(IDC_PARA_LOW_VOLTAGE), CString("690"));
        EXPECT_EQ(d.Text(IDC_PARA_TYPE), G("动力变压器"));
        EXPECT_EQ(d.Text(IDC_PARA_HV_CURRENT), CString("0"));
        EXPECT_EQ(d.Text(IDC_PARA_LINK_GROUP), CString(""));
        // The template's 13 capacities, then the one of the library's list
        // (ValueList.csv) the template lacks: 1250.
        const auto capacities = d.Items(IDC_PARA_CAPACITY);
        ASSERT_TRUE(capacities);
        ASSERT_EQ(capacities->size(), 14u);
        EXPECT_EQ(capacities->front(), CString("3150"));
        EXPECT_EQ(capacities->back(), CString("1250"));
        EXPECT_EQ(d.Items(IDC_PARA_HIGH_VOLTAGE)->size(), 2u);
        EXPECT_EQ(d.Items(IDC_PARA_LOW_VOLTAGE)->size(), 5u);

        ASSERT_TRUE(d.SetText(IDC_PARA_MODEL, model).ok());
        ASSERT_TRUE(d.SetText(IDC_PARA_HV_CURRENT, "192.45").ok());
        ASSERT_TRUE(d.SetText(IDC_PARA_LINK_GROUP, "Y,d11").ok());
        ASSERT_TRUE(d.PressOk().ok());
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_DOUBLE_EQ(dlg.m_dCapacity, 2000.0);
    EXPECT_EQ(dlg.m_strHvText, CString("6000"));
    EXPECT_EQ(dlg.m_strLvText, CString("690"));
    EXPECT_EQ(dlg.m_nHvIndex, 1);
    EXPECT_EQ(dlg.m_nLvIndex, 2);
    EXPECT_EQ(dlg.m_nTypeIndex, 1);
    EXPECT_TRUE(m_messages.Records().empty());

    LONG id = 0;
    ASSERT_EQ(CountModels(model, &id), 1);
    CTransformer saved;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &saved, static_cast<DWORD>(id)));
    EXPECT_EQ(saved.GetType(), G("动力变压器"));
    EXPECT_DOUBLE_EQ(saved.GetCapacity(), 2000.0);
    EXPECT_DOUBLE_EQ(saved.GetHVoltage(), 6000.0);
    EXPECT_DOUBLE_EQ(saved.GetLVoltage(), 690.0);
    EXPECT_DOUBLE_EQ(saved.GetHCurrent(), 192.45);
    EXPECT_DOUBLE_EQ(saved.GetLCurrent(), 0.0);
    EXPECT_EQ(saved.GetLinkGroup(), CString("Y,d11"));
}

TEST_F(TransformerParaDlgTest, EditingAModelWithANewSecondaryVoltageAddsItAndUpdatesTheRow) {
    // Para_Transformer.csv row 4: KBSGZY-500/6, 移动变电站, 500 kVA, 6000/690 V,
    // 48.11/418.37 A, 1152 W, 6120 W, 4.0 %, 0.011655, 0.036261 ohm, "Y,y0".
    CJDTransformerParaDlg dlg;
    dlg.m_nModelId = 4;
    dlg.m_bNewModel = 0;
    dlg.m_nHvIndex = 1;    // "6000"
    dlg.m_nLvIndex = 2;    // "690"
    dlg.m_nTypeIndex = 0;  // "移动变电站"
    m_runner.Then([&](CDialog& dialog) {
        DialogDriver d(dialog);
        EXPECT_EQ(d.Text(IDC_PARA_MODEL), CString("KBSGZY-500/6"));
        EXPECT_EQ(d.Text(IDC_PARA_CAPACITY), CString("500"));
        EXPECT_EQ(d.SelectedIndex(IDC_PARA_CAPACITY), 7);
        EXPECT_EQ(d.Text(IDC_PARA_HV_CURRENT), CString("48.11"));
        EXPECT_EQ(d.Text(IDC_PARA_LV_CURRENT), CString("418.37"));
        EXPECT_EQ(d.Text(IDC_PARA_NO_LOAD_LOSS), CString("1152"));
        EXPECT_EQ(d.Text(IDC_PARA_SHORT_CIRCUIT_LOSS), CString("6120"));
        EXPECT_EQ(d.Text(IDC_PARA_IMPEDANCE_PERCENT), CString("4"));
        EXPECT_EQ(d.Text(IDC_PARA_RESISTANCE), CString("0.011655"));
        EXPECT_EQ(d.Text(IDC_PARA_REACTANCE), CString("0.036261"));
        EXPECT_EQ(d.Text(IDC_PARA_LINK_GROUP), CString("Y,y0"));
        ASSERT_TRUE(d.TypeComboText(IDC_PARA_LOW_VOLTAGE, "660").ok());
        ASSERT_TRUE(d.PressOk().ok());
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_strLvText, CString("660"));
    EXPECT_EQ(dlg.m_nLvIndex, -1) << "a typed text that is no item";
    EXPECT_EQ(dlg.m_strHvText, CString("6000"));
    EXPECT_DOUBLE_EQ(dlg.m_dCapacity, 500.0);
    // ValueList.csv's secondary voltages, then the new one.
    EXPECT_EQ(ListText(GetLowVoltageList()), CString("3450;1200;690;400;133;660"));
    EXPECT_EQ(ListText(GetHighVoltageList()), CString("10000;6000"));

    CTransformer saved;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &saved, 4));
    EXPECT_EQ(saved.GetModel(), CString("KBSGZY-500/6"));
    EXPECT_DOUBLE_EQ(saved.GetLVoltage(), 660.0);
    EXPECT_DOUBLE_EQ(saved.GetHVoltage(), 6000.0);
    EXPECT_DOUBLE_EQ(saved.GetCapacity(), 500.0);
    EXPECT_DOUBLE_EQ(saved.GetLCurrent(), 418.37);
    EXPECT_DOUBLE_EQ(saved.GetTransX(), 0.036261);
    EXPECT_EQ(saved.GetLinkGroup(), CString("Y,y0"));
}

TEST_F(TransformerParaDlgTest, EmptyNameIsRefusedAndNothingIsWritten) {
    CJDTransformerParaDlg dlg;
    dlg.m_bNewModel = 1;
    dlg.m_nHvIndex = 1;
    dlg.m_nLvIndex = 2;
    m_runner.Then([&](CDialog& dialog) {
        DialogDriver d(dialog);
        ASSERT_TRUE(d.TypeComboText(IDC_PARA_LOW_VOLTAGE, "660").ok());
        ASSERT_TRUE(d.PressOk().ok());
        EXPECT_TRUE(d.IsOpen()) << "the dialog stays open";
        ASSERT_EQ(m_messages.Records().size(), 1u);
        EXPECT_EQ(m_messages.Records()[0].text, G("请正确填写变压器参数!"));
        EXPECT_EQ(m_messages.Records()[0].type & MB_ICONMASK, MB_ICONINFORMATION);
        ASSERT_TRUE(d.PressCancel().ok());
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(ListText(GetLowVoltageList()), CString("3450;1200;690;400;133")) << "no voltage added";
    EXPECT_EQ(CountModels(""), 0);
}

TEST_F(TransformerParaDlgTest, ACapacityTheListLacksIsShownAndStoredUnchanged) {
    // 640 kVA and 1600.5 kVA are items of neither the template (3150 … 50)
    // nor the library's list (1250): they are shown as the combo's text.
    for (const double capacity : {640.0, 1600.5}) {
        CTransformer model;
        model.SetModel("KBSG-X/6");
        model.SetType(G("动力变压器"));
        model.SetCapacity(capacity);
        ASSERT_TRUE(SaveCatalogueModel(JD_KIND_TRANSFORMER, 1, &model, 0));
        const DWORD id = model.GetModelId();
        CJDTransformerParaDlg dlg;
        dlg.m_nModelId = static_cast<LONG>(id);
        dlg.m_nHvIndex = 1;
        dlg.m_nLvIndex = 2;
        const std::string shown = capacity == 640.0 ? "640" : "1600.5";
        m_runner.Then([&](CDialog& dialog) {
            DialogDriver d(dialog);
            EXPECT_EQ(d.Text(IDC_PARA_CAPACITY), CString(shown));
            ASSERT_TRUE(d.PressOk().ok());
        });
        ASSERT_EQ(dlg.DoModal(), IDOK);
        EXPECT_DOUBLE_EQ(dlg.m_dCapacity, capacity);
        CTransformer saved;
        ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &saved, id));
        EXPECT_DOUBLE_EQ(saved.GetCapacity(), capacity) << "not item 2 (2000)";
    }
}

TEST_F(TransformerParaDlgTest, TextsAMapCannotHoldAreRefusedWithTheDialogKeptOpen) {
    // A NUL in the model name, a lone GBK lead byte in the connection group.
    const CString withNul(std::string("KBSG\0-1", 7));
    const CString badGbk("Y,y0\x81");
    for (const auto& [control, text, label] :
         {std::tuple{IDC_PARA_MODEL, withNul, "型号"}, std::tuple{IDC_PARA_LINK_GROUP, badGbk, "联结组别"}}) {
        CJDTransformerParaDlg dlg;
        dlg.m_nModelId = 4;
        dlg.m_nHvIndex = 1;
        dlg.m_nLvIndex = 2;
        m_messages.ClearRecords();
        m_runner.Then([&](CDialog& dialog) {
            DialogDriver d(dialog);
            ASSERT_TRUE(d.SetText(control, text).ok());
            ASSERT_TRUE(d.TypeComboText(IDC_PARA_LOW_VOLTAGE, "660").ok());
            ASSERT_TRUE(d.PressOk().ok());
            EXPECT_TRUE(d.IsOpen());
            ASSERT_EQ(m_messages.Records().size(), 1u);
            EXPECT_NE(ToUtf8(m_messages.Records()[0].text).find(label), std::string::npos);
            EXPECT_NE(ToUtf8(m_messages.Records()[0].text).find("不能保存"), std::string::npos);
            ASSERT_TRUE(d.PressCancel().ok());
        });
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    }
    CTransformer kept;
    ASSERT_TRUE(LoadCatalogueModel(JD_KIND_TRANSFORMER, &kept, 4));
    EXPECT_EQ(kept.GetModel(), CString("KBSGZY-500/6"));
    EXPECT_EQ(kept.GetLinkGroup(), CString("Y,y0"));
    EXPECT_EQ(ListText(GetLowVoltageList()), CString("3450;1200;690;400;133")) << "no voltage added either";
}

TEST(LeadingNumberTest, OnlyPlainDecimalNotationIsRead) {
    EXPECT_DOUBLE_EQ(LeadingNumber("630"), 630.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(" 1600.5 kVA"), 1600.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("-2.5e2x"), -250.0);
    EXPECT_DOUBLE_EQ(LeadingNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(LeadingNumber("12e"), 12.0) << "an exponent without digits is not part of the number";
    // strtod would read these as 26, 16, NaN and infinity.
    EXPECT_DOUBLE_EQ(LeadingNumber("0x1A"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("0X10"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("nan"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("inf"), 0.0);
    EXPECT_DOUBLE_EQ(LeadingNumber("1e999"), 0.0) << "beyond a double";
    EXPECT_DOUBLE_EQ(LeadingNumber(""), 0.0);
}

// ------------------------------------------------------------------ the stock view

using StockTest = CatalogueDialogTest;

TEST_F(StockTest, OpeningShowsTheGridAndTheStoredRecordInColumnOrder) {
    // Stock.csv: KBSGZY-800/10, YB-0001, 矿用隔爆型移动变电站, 示例电气厂, 2006-0131,
    // 2006-01-31 (factory), 2006-03-01 (first use), 机电科, 中央变电所, features, certificate.
    CStock stock;
    stock.m_strModel = "KBSGZY-800/10";
    m_runner.Then([&](CDialog& dialog) {
        EXPECT_EQ(DialogDriver(dialog).Caption(), G("查看变压器的库存"));
        const CGridCtrl& grid = stock.m_grid;
        EXPECT_EQ(grid.GetRowCount(), 2);
        EXPECT_EQ(grid.GetColumnCount(), 11);
        EXPECT_EQ(grid.GetFixedRowCount(), 1);
        EXPECT_EQ(grid.GetFixedColumnCount(), 1);
        EXPECT_TRUE(grid.IsEditable());
        EXPECT_FALSE(grid.GetColumnResize());
        EXPECT_TRUE(grid.GetRowResize());
        const int widths[11] = {100, 75, 120, 100, 100, 80, 80, 120, 120, 120, 120};
        const char* headers[11] = {"型号",     "设备编号", "设备品名", "制造厂商", "出厂编号", "出厂日期",
                                   "当前部门", "当前地点", "始用日期", "技术特征", "安全证书"};
        for (int c = 0; c < 11; ++c) {
            EXPECT_EQ(grid.GetColumnWidth(c), widths[c]) << "column " << c;
            EXPECT_EQ(grid.GetItemText(0, c), G(headers[c])) << "column " << c;
            EXPECT_EQ(grid.GetItemFormat(0, c), 0x25u) << "centred, single line";
        }
        EXPECT_EQ(grid.GetRowHeight(0), 25);
        EXPECT_EQ(grid.GetRowHeight(1), 25);
        EXPECT_EQ(grid.GetItemFgColour(1, 4), 255u) << "factory number in red";
        EXPECT_EQ(grid.GetItemFgColour(1, 3), CLR_DEFAULT);
        const char* row[11] = {"KBSGZY-800/10", "YB-0001",    "矿用隔爆型移动变电站", "示例电气厂",
                               "2006-0131",     "2006-01-31", "机电科",               "中央变电所",
                               "2006-03-01",    "800kVA 10/1.2kV Y,y0", "示例安标证书"};
        for (int c = 0; c < 11; ++c) EXPECT_EQ(grid.GetItemText(1, c), G(row[c])) << "column " << c;
        ASSERT_TRUE(DialogDriver(dialog).PressCancel().ok());
    });
    EXPECT_EQ(stock.DoModal(), IDCANCEL);
}

TEST_F(StockTest, EditedKeyThatIsNewAddsARowAndLeavesTheOldOne) {
    CStock stock;
    stock.m_strModel = "KBSGZY-800/10";
    m_runner.Then([&](CDialog& dialog) {
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 0, "KBSGZY-800/10-B"), CString());
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 7, G("二采区变电所")), CString());
        ASSERT_TRUE(DialogDriver(dialog).PressOk().ok());
    });
    ASSERT_EQ(stock.DoModal(), IDOK);
    CElectricMotor added;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &added, "KBSGZY-800/10-B"));
    EXPECT_EQ(added.GetPlace(), G("二采区变电所"));
    EXPECT_EQ(added.GetDeviceNumber(), CString("YB-0001"));
    EXPECT_EQ(added.GetFirstUseDate(), CString("2006-03-01"));
    CElectricMotor old;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &old, "KBSGZY-800/10"));
    EXPECT_EQ(old.GetPlace(), G("中央变电所"));
}

TEST_F(StockTest, EditedKeyThatExistsUpdatesThatRowWithTheGridsTexts) {
    // KBSGZY-500/6 has no stock row: the grid shows the key and empty texts.
    CStock stock;
    stock.m_strModel = "KBSGZY-500/6";
    m_runner.Then([&](CDialog& dialog) {
        EXPECT_EQ(stock.m_grid.GetItemText(1, 0), CString("KBSGZY-500/6"));
        EXPECT_EQ(stock.m_grid.GetItemText(1, 1), CString(""));
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 0, "PBG-200/6(10)"), CString());
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 3, G("另一电气厂")), CString());
        ASSERT_TRUE(DialogDriver(dialog).PressOk().ok());
    });
    ASSERT_EQ(stock.DoModal(), IDOK);
    CElectricMotor updated;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &updated, "PBG-200/6(10)"));
    EXPECT_EQ(updated.GetManufacturer(), G("另一电气厂"));
    EXPECT_EQ(updated.GetDeviceNumber(), CString("")) << "every column comes from the grid";
    EXPECT_FALSE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-500/6"));
    EXPECT_TRUE(m_messages.Records().empty());
}

TEST_F(StockTest, OkOnAModelWithoutRecordAddsOneAndCancelStoresNothing) {
    {
        CStock stock;
        stock.m_strModel = "KBSGZY-630/6";
        m_runner.Then([&](CDialog& dialog) {
            EXPECT_EQ(stock.m_grid.UserEditCell(1, 6, G("机电科")), CString());
            ASSERT_TRUE(DialogDriver(dialog).PressCancel().ok());
        });
        EXPECT_EQ(stock.DoModal(), IDCANCEL);
        EXPECT_FALSE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-630/6"));
    }
    CStock stock;
    stock.m_strModel = "KBSGZY-630/6";
    m_runner.Then([&](CDialog& dialog) {
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 6, G("机电科")), CString());
        ASSERT_TRUE(DialogDriver(dialog).PressOk().ok());
    });
    ASSERT_EQ(stock.DoModal(), IDOK);
    CElectricMotor added;
    ASSERT_TRUE(LoadStockRecord(JD_STOCK_KIND, &added, "KBSGZY-630/6"));
    EXPECT_EQ(added.GetDepartment(), G("机电科")) << "column 6 is the department";
    EXPECT_EQ(added.GetPlace(), CString(""));
}

TEST_F(StockTest, TheHeaderRowIsReadOnlyAndTheKeyStaysEditable) {
    CStock stock;
    stock.m_strModel = "KBSGZY-800/10";
    m_runner.Then([&](CDialog& dialog) {
        for (int c = 0; c < CStock::kColumnCount; ++c) {
            EXPECT_NE(stock.m_grid.UserEditCell(0, c, "x").str().find("read-only"), std::string::npos) << c;
        }
        EXPECT_EQ(stock.m_grid.GetItemText(0, 2), G("设备品名"));
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 0, "KBSGZY-800/10"), CString()) << "the key in the fixed column";
        ASSERT_TRUE(DialogDriver(dialog).PressCancel().ok());
    });
    EXPECT_EQ(stock.DoModal(), IDCANCEL);
}

TEST_F(StockTest, ATextAMapCannotHoldIsRefusedAndNothingIsStored) {
    CStock stock;
    stock.m_strModel = "KBSGZY-630/6";
    m_runner.Then([&](CDialog& dialog) {
        DialogDriver d(dialog);
        // A lone GBK lead byte: no character at all.
        EXPECT_EQ(stock.m_grid.UserEditCell(1, 3, "A\x81"), CString());
        ASSERT_TRUE(d.PressOk().ok());
        EXPECT_TRUE(d.IsOpen());
        ASSERT_EQ(m_messages.Records().size(), 1u);
        EXPECT_NE(ToUtf8(m_messages.Records()[0].text).find("制造厂商"), std::string::npos);
        ASSERT_TRUE(d.PressCancel().ok());
    });
    EXPECT_EQ(stock.DoModal(), IDCANCEL);
    EXPECT_FALSE(StockRecordExists(JD_STOCK_KIND, "KBSGZY-630/6"));
}

}  // namespace
