// The grid control: shape, sizes, cell attributes, the user's edits with the
// notifications the owner hears, and the session verbs that reach a grid
// through window messages.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "jdhost/GridVerbs.h"
#include "module/GridCtrl.h"
#include "platform/CDialog.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Resources.h"
#include "platform/Services.h"
#include "platform/UserActions.h"

namespace {

constexpr UINT IDD_GRID_OWNER = 9501;
constexpr int IDC_OWNER_NAME = 100;
constexpr int IDC_OWNER_GRID = 200;

// An owner that logs the grid's notifications and the focus leaving its
// edit, and can refuse edits.
class CGridOwnerDlg : public CDialog {
public:
    CGridOwnerDlg() : CDialog(IDD_GRID_OWNER) {
        static const ResourceRegistration resources(
            {{.id = IDD_GRID_OWNER,
              .caption = "grid owner",
              .width = 300,
              .height = 150,
              .controls = {{.id = IDC_OWNER_NAME, .kind = ControlKind::Edit, .caption = "名称："},
                           {.id = IDC_OWNER_GRID, .kind = ControlKind::Custom, .x = 10, .y = 30, .w = 280,
                            .h = 100, .className = kGridWindowClass},
                           {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定"}}}});
        EXPECT_TRUE(resources.ok());
    }
    CGridCtrl m_grid;
    std::vector<std::string> m_log;
    bool m_refuseBegin = false;
    bool m_rejectEnd = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_OWNER_GRID, m_grid); }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_grid.SetEditable(TRUE);
        m_grid.SetColumnCount(3);
        m_grid.SetRowCount(3);
        m_grid.SetFixedRowCount(1);
        m_grid.SetFixedColumnCount(1);
        m_grid.SetItemText(0, 1, FromUtf8("型号"));
        m_grid.SetItemText(1, 1, "old");
        return TRUE;
    }
    LRESULT OnNotify(WPARAM wParam, LPARAM lParam) {
        const auto* nm = reinterpret_cast<const NM_GRIDVIEW*>(lParam);
        const std::string cell = std::to_string(nm->iRow) + "," + std::to_string(nm->iColumn) + " from " +
                                 std::to_string(wParam);
        if (nm->hdr.code == GVN_BEGINLABELEDIT) {
            m_log.push_back("begin " + cell);
            return m_refuseBegin ? -1 : 0;
        }
        if (nm->hdr.code == GVN_ENDLABELEDIT) {
            m_log.push_back("end " + cell + " text " + m_grid.GetItemText(nm->iRow, nm->iColumn).str());
            return m_rejectEnd ? -1 : 0;
        }
        return 0;
    }
    void OnNameKillFocus() { m_log.push_back("name lost focus"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CGridOwnerDlg, CDialog)
    ON_MESSAGE(WM_NOTIFY, &CGridOwnerDlg::OnNotify)
    ON_EN_KILLFOCUS(IDC_OWNER_NAME, &CGridOwnerDlg::OnNameKillFocus)
END_MESSAGE_MAP()

class OneStepRunner : public IModalRunner {
public:
    explicit OneStepRunner(std::function<void(CDialog&)> step) : m_step(std::move(step)) {}
    void Run(CDialog& dialog) override { m_step(dialog); }

private:
    std::function<void(CDialog&)> m_step;
};

// Runs the owner with `step` as the user's actions; the dialog is cancelled after it.
void RunOwner(CGridOwnerDlg& owner, const std::function<void(CDialog&)>& step) {
    OneStepRunner runner(step);
    ModalRunnerScope scope(runner);
    owner.DoModal();
}

// ------------------------------------------------------------------ shape and cells

TEST(GridShape, FixedCountsGrowTheGridAndShrinkingCutsThem) {
    CGridCtrl grid;
    EXPECT_TRUE(grid.SetFixedRowCount(1));
    EXPECT_EQ(grid.GetRowCount(), 1) << "a fixed row needs a row";
    EXPECT_TRUE(grid.SetColumnCount(4));
    EXPECT_TRUE(grid.SetFixedColumnCount(2));
    EXPECT_TRUE(grid.SetRowCount(3));
    EXPECT_TRUE(grid.SetItemText(2, 3, "x"));
    EXPECT_TRUE(grid.SetColumnCount(1));
    EXPECT_EQ(grid.GetFixedColumnCount(), 1);
    EXPECT_FALSE(grid.SetItemText(2, 3, "y"));
    EXPECT_TRUE(grid.SetColumnCount(4));
    EXPECT_EQ(grid.GetItemText(2, 3), CString("")) << "a regrown cell starts empty";
    EXPECT_FALSE(grid.SetRowCount(-1));
    EXPECT_FALSE(grid.SetFixedColumnCount(-1));
    EXPECT_TRUE(grid.IsCellFixed(0, 3));
    EXPECT_TRUE(grid.IsCellFixed(2, 0));
    EXPECT_FALSE(grid.IsCellFixed(1, 1));
    EXPECT_FALSE(grid.IsCellFixed(3, 1)) << "no such cell";
}

TEST(GridShape, WidthsAndHeights) {
    CGridCtrl grid;
    grid.SetColumnCount(11);
    grid.SetRowCount(2);
    EXPECT_EQ(grid.GetColumnWidth(5), CGridCtrl::kDefaultColumnWidth);
    EXPECT_EQ(grid.GetRowHeight(1), CGridCtrl::kDefaultRowHeight);
    const int widths[11] = {100, 75, 120, 100, 100, 80, 80, 120, 120, 120, 120};
    for (int c = 0; c < 11; ++c) EXPECT_TRUE(grid.SetColumnWidth(c, widths[c]));
    // 100 + 75 + 120 + 100 + 100 + 80 + 80 + 4 * 120 = 1135.
    EXPECT_EQ(grid.GetVirtualWidth(), 1135);
    EXPECT_TRUE(grid.SetRowHeight(0, 25));
    // 25 + the default 20.
    EXPECT_EQ(grid.GetVirtualHeight(), 45);
    EXPECT_FALSE(grid.SetColumnWidth(11, 10));
    EXPECT_FALSE(grid.SetRowHeight(0, -1));
    EXPECT_EQ(grid.GetColumnWidth(-1), -1);
    EXPECT_EQ(grid.GetRowHeight(2), -1);

    grid.SetColumnResize(FALSE);
    EXPECT_FALSE(grid.UserSetColumnWidth(0, 50).IsEmpty());
    EXPECT_EQ(grid.GetColumnWidth(0), 100);
    EXPECT_TRUE(grid.UserSetRowHeight(1, 40).IsEmpty());
    EXPECT_EQ(grid.GetRowHeight(1), 40);
    grid.SetRowResize(FALSE);
    EXPECT_FALSE(grid.UserSetRowHeight(1, 30).IsEmpty());
}

TEST(GridCells, AttributesHaveDefaultsAndMissingCellsAreRefused) {
    CGridCtrl grid;
    grid.SetRowCount(2);
    grid.SetColumnCount(2);
    EXPECT_EQ(grid.GetItemFormat(1, 1), CGridCtrl::kDefaultFormat);
    EXPECT_EQ(grid.GetItemFgColour(1, 1), CLR_DEFAULT);
    EXPECT_TRUE(grid.SetItemFormat(0, 1, DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    EXPECT_EQ(grid.GetItemFormat(0, 1), 0x25u);
    EXPECT_TRUE(grid.SetItemFgColour(1, 0, RGB(255, 0, 0)));
    EXPECT_EQ(grid.GetItemFgColour(1, 0), 0x0000FFu);
    EXPECT_TRUE(grid.SetItemBkColour(1, 1, RGB(0, 0, 255)));
    EXPECT_EQ(grid.GetItemBkColour(1, 1), 0xFF0000u);
    EXPECT_FALSE(grid.SetItemText(2, 0, "x"));
    EXPECT_FALSE(grid.SetItemFgColour(0, 2, 0));
    EXPECT_EQ(grid.GetItemText(-1, 0), CString(""));
    EXPECT_EQ(grid.GetItemFgColour(5, 5), CLR_DEFAULT);
}

// ------------------------------------------------------------------ editing

TEST(GridEditing, UserEditNotifiesTheOwnerAndStoresTheText) {
    CGridOwnerDlg owner;
    RunOwner(owner, [&](CDialog&) {
        ASSERT_EQ(owner.m_grid.UserEditCell(1, 1, "new"), CString());
        EXPECT_EQ(owner.m_grid.GetItemText(1, 1), CString("new"));
        EXPECT_TRUE(owner.m_grid.GetItemState(1, 1) & GVIS_MODIFIED);
        EXPECT_TRUE(owner.m_grid.IsModified());
        EXPECT_FALSE(owner.m_grid.IsEditing());
        EXPECT_EQ(owner.m_grid.GetFocusRow(), 1);
        EXPECT_EQ(owner.m_grid.GetFocusColumn(), 1);
        EXPECT_EQ(::GetFocus(), owner.m_grid.GetSafeHwnd());
    });
    // The click moved the focus away from the edit first; the owner saw the new text at the end.
    EXPECT_EQ(owner.m_log,
              (std::vector<std::string>{"name lost focus", "begin 1,1 from 200", "end 1,1 from 200 text new"}));
}

TEST(GridEditing, OwnerRefusingTheBeginKeepsTheCellAndFailsTheAction) {
    CGridOwnerDlg owner;
    owner.m_refuseBegin = true;
    RunOwner(owner, [&](CDialog&) {
        EXPECT_FALSE(owner.m_grid.UserEditCell(1, 1, "new").IsEmpty());
        EXPECT_EQ(owner.m_grid.GetItemText(1, 1), CString("old"));
        EXPECT_FALSE(owner.m_grid.IsEditing());
    });
    EXPECT_EQ(owner.m_log, (std::vector<std::string>{"name lost focus", "begin 1,1 from 200"}));
}

TEST(GridEditing, OwnerRejectingTheEndPutsTheOldTextBack) {
    CGridOwnerDlg owner;
    owner.m_rejectEnd = true;
    RunOwner(owner, [&](CDialog&) {
        EXPECT_EQ(owner.m_grid.UserEditCell(1, 1, "new"), CString());
        EXPECT_EQ(owner.m_grid.GetItemText(1, 1), CString("old"));
        EXPECT_FALSE(owner.m_grid.IsModified());
    });
    EXPECT_EQ(owner.m_log.back(), "end 1,1 from 200 text new");
}

TEST(GridEditing, CancelledEditKeepsTheTextButEndsTheEdit) {
    CGridOwnerDlg owner;
    RunOwner(owner, [&](CDialog&) {
        ASSERT_TRUE(owner.m_grid.EditCell(2, 2));
        EXPECT_FALSE(owner.m_grid.EditCell(1, 1)) << "one edit at a time";
        owner.m_grid.SetEditText("typed");
        EXPECT_TRUE(owner.m_grid.EndEditCell(false));
        EXPECT_EQ(owner.m_grid.GetItemText(2, 2), CString(""));
        EXPECT_FALSE(owner.m_grid.EndEditCell(true)) << "no edit open";
    });
    EXPECT_EQ(owner.m_log, (std::vector<std::string>{"begin 2,2 from 200", "end 2,2 from 200 text "}));
}

TEST(GridEditing, FixedCellsAreLayoutNotProtection) {
    // The stock view's key sits in its fixed column and must stay correctable.
    CGridOwnerDlg owner;
    RunOwner(owner, [&](CDialog&) {
        EXPECT_EQ(owner.m_grid.UserEditCell(1, 0, "key"), CString());
        EXPECT_EQ(owner.m_grid.GetItemText(1, 0), CString("key"));
    });
    EXPECT_EQ(owner.m_log.back(), "end 1,0 from 200 text key");
}

TEST(GridEditing, CellsTheUserCannotEditAreRefusedWithoutNotifications) {
    CGridOwnerDlg owner;
    RunOwner(owner, [&](CDialog&) {
        CGridCtrl& grid = owner.m_grid;
        EXPECT_NE(grid.UserEditCell(3, 1, "x").str().find("does not exist"), std::string::npos);
        grid.SetItemState(2, 1, GVIS_READONLY);
        EXPECT_NE(grid.UserEditCell(2, 1, "x").str().find("read-only"), std::string::npos);
        grid.SetEditable(FALSE);
        EXPECT_NE(grid.UserEditCell(1, 1, "x").str().find("does not allow editing"), std::string::npos);
        grid.SetEditable(TRUE);
        grid.EnableWindow(FALSE);
        EXPECT_NE(grid.UserEditCell(1, 1, "x").str().find("disabled"), std::string::npos);
        EXPECT_EQ(grid.GetItemText(1, 1), CString("old"));
    });
    EXPECT_TRUE(owner.m_log.empty());
}

// ------------------------------------------------------------------ session verbs

jdhost::ScriptLine Line(const std::string& verb, std::vector<std::string> args) {
    jdhost::ScriptLine line;
    line.line = 1;
    line.verb = verb;
    line.args = std::move(args);
    return line;
}

TEST(GridVerbs, SetCellAndExpectCellReachTheGridThroughMessages) {
    CGridOwnerDlg owner;
    RunOwner(owner, [&](CDialog& dialog) {
        std::string error;
        EXPECT_TRUE(jdhost::RunGridVerb(Line("expect-cell", {"200", "0", "1", "型号"}), dialog, error)) << error;
        EXPECT_TRUE(jdhost::RunGridVerb(Line("set-cell", {"200", "#1", "2", "四号"}), dialog, error)) << error;
        EXPECT_EQ(owner.m_grid.GetItemText(1, 2), FromUtf8("四号"));
        EXPECT_TRUE(jdhost::RunGridVerb(Line("expect-cell", {"200", "1", "2", "四号"}), dialog, error)) << error;

        EXPECT_FALSE(jdhost::RunGridVerb(Line("expect-cell", {"200", "1", "2", "五号"}), dialog, error));
        EXPECT_EQ(error, "expected \"五号\" in cell (1, 2), found \"四号\"");
        EXPECT_FALSE(jdhost::RunGridVerb(Line("set-cell", {"100", "1", "1", "x"}), dialog, error));
        EXPECT_EQ(error, "the control 100 (edit) is no grid");
        EXPECT_FALSE(jdhost::RunGridVerb(Line("set-cell", {"300", "1", "1", "x"}), dialog, error));
        EXPECT_NE(error.find("has no control 300"), std::string::npos) << error;
        owner.m_grid.SetItemState(2, 2, GVIS_READONLY);
        EXPECT_FALSE(jdhost::RunGridVerb(Line("set-cell", {"200", "2", "2", "x"}), dialog, error));
        EXPECT_EQ(error, "grid 200: cell (2, 2) is read-only");
        EXPECT_FALSE(jdhost::RunGridVerb(Line("expect-cell", {"200", "9", "1", ""}), dialog, error));
        EXPECT_NE(error.find("does not exist"), std::string::npos) << error;

        const std::vector<std::string> dump = jdhost::DumpGridLines(dialog);
        ASSERT_EQ(dump.size(), 4u);
        EXPECT_EQ(dump[0], "200 grid 3 rows x 3 columns, fixed 1 rows and 1 columns, editable widths=[64 64 64] "
                           "heights=[20 20 20]");
        EXPECT_EQ(dump[1], "  row 0 (fixed):  | 型号 | ");
        EXPECT_EQ(dump[2], "  row 1:  | old | 四号 ; (1,2) modified");
    });
}

TEST(GridVerbs, ArgumentFormsAreCheckedBeforeRunning) {
    EXPECT_EQ(jdhost::CheckGridVerbArguments(Line("set-cell", {"3028", "1", "#4", "x"})), "");
    EXPECT_EQ(jdhost::CheckGridVerbArguments(Line("set-cell", {"3028", "-1", "0", "x"})),
              "the row \"-1\" is not a number from 0");
    EXPECT_EQ(jdhost::CheckGridVerbArguments(Line("expect-cell", {"3028", "1", "a", "x"})),
              "the column \"a\" is not a number from 0");
}

}  // namespace
