// Drives the test dialog as a user would and checks what the user sees, what
// lands in the members and which handlers ran, in which order.
#include <gtest/gtest.h>

#include "TestPrint.h"

#include "TestDialogs.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/PlatformError.h"
#include "platform/UserActions.h"

using namespace testdlg;

namespace {

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTestResources();
        ClearPlatformDiagnostics();
    }
    // Opens the dialog, runs `script` while it is open, returns DoModal's result.
    INT_PTR Run(CTestDlg& dlg, ScriptedRunner::Script script) {
        runner.Then(std::move(script));
        return dlg.DoModal();
    }
    ScriptedRunner runner;
    ModalRunnerScope runnerScope{runner};
    HeadlessMessageService boxes;
    MessageServiceScope boxScope{boxes};
};

std::string U(const CString& gbk) { return ToUtf8(gbk); }

}  // namespace

TEST_F(DialogTest, OpeningLoadsEveryMemberIntoItsControl) {
    CTestDlg dlg;
    dlg.m_dResult = 1.0;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        EXPECT_EQ(U(*d.Text(IDC_NAME)), "一号变压器");
        // "%.*g" with 15 digits: 0.3574 stays short, 1.0 shows without a point.
        EXPECT_EQ(*d.Text(IDC_KR), "0.3574");
        EXPECT_EQ(*d.Text(IDC_RESULT), "1");
        EXPECT_EQ(*d.Text(IDC_COUNT), "3");
        EXPECT_EQ(*d.Text(IDC_CODE), "42");
        EXPECT_EQ(*d.SelectedIndex(IDC_TYPE), 1);
        EXPECT_EQ(U(*d.Text(IDC_TYPE)), "动力变压器");
        EXPECT_EQ(*d.Text(IDC_CAPACITY), "1600");
        EXPECT_EQ(*d.SelectedText(IDC_SORTED), "b");
        EXPECT_EQ(*d.SelectedText(IDC_PICK), "y");
        EXPECT_EQ(*d.CheckState(IDC_SPARE), BST_CHECKED);
        EXPECT_EQ(*d.CheckState(IDC_RUNNING), BST_UNCHECKED);
        EXPECT_EQ(*d.CheckState(IDC_STOPPED), BST_CHECKED);
        EXPECT_EQ(U(d.Caption()), "测试对话框");
        // The first control that takes the focus has it.
        EXPECT_EQ(d.FocusedId(), IDC_NAME);
    });
    // Window creation comes before initialisation; program selections do not notify.
    ASSERT_GE(dlg.m_events.size(), 2u);
    EXPECT_EQ(dlg.m_events[0], "create");
    EXPECT_EQ(dlg.Count("init"), 1);
    EXPECT_EQ(dlg.Count("CBN_SELCHANGE type 1"), 0);
    // Loading the name into the empty edit changed it once.
    EXPECT_EQ(dlg.Count("EN_CHANGE name"), 1);
}

TEST_F(DialogTest, SortedComboKeepsItemsInByteOrder) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        const std::vector<CString> expected = {"a", "b", "c"};
        EXPECT_EQ(*d.Items(IDC_SORTED), expected);
        CComboBox* sorted = static_cast<CComboBox*>(dlg.GetDlgItem(IDC_SORTED));
        EXPECT_EQ(sorted->AddString("bb"), 2);
        EXPECT_EQ(sorted->InsertString(0, "z"), 0);   // InsertString never sorts
        EXPECT_EQ(*d.SelectedText(IDC_SORTED), "b");  // the selection follows its item
    });
}

TEST_F(DialogTest, ReloadingUnchangedMembersDoesNotRewriteEdits) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        const int before = dlg.Count("EN_CHANGE name") + dlg.Count("EN_CHANGE kr");
        EXPECT_TRUE(dlg.UpdateData(FALSE));
        EXPECT_EQ(dlg.Count("EN_CHANGE name") + dlg.Count("EN_CHANGE kr"), before);
        dlg.m_dKr = 0.5;
        EXPECT_TRUE(dlg.UpdateData(FALSE));
        EXPECT_EQ(dlg.Count("EN_CHANGE kr"), 2);   // once on opening, once now
        // A program write through SetWindowText notifies as the platform does.
        dlg.SetDlgItemText(IDC_KR, "0.5");
        EXPECT_EQ(dlg.Count("EN_CHANGE kr"), 3);
    });
}

TEST_F(DialogTest, UserActionsFireTheirNotificationsInOrder) {
    CTestDlg dlg;
    const INT_PTR result = Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        dlg.m_events.clear();
        ASSERT_TRUE(d.SetText(IDC_KR, "1.25"));
        ASSERT_TRUE(d.SelectIndex(IDC_TYPE, 0));
        ASSERT_TRUE(d.TypeComboText(IDC_CAPACITY, "1250"));
        ASSERT_TRUE(d.SelectText(IDC_CAPACITY, "100"));
        ASSERT_TRUE(d.Click(IDC_SPARE));
        ASSERT_TRUE(d.Click(IDC_RUNNING));
        ASSERT_TRUE(d.DoubleClickRow(IDC_MODELS, 1));
        ASSERT_TRUE(d.SelectText(IDC_PICK, "x"));
        ASSERT_TRUE(d.PressOk());
    });
    const std::vector<std::string> expected = {
        "EN_KILLFOCUS name",         // the click into Kr took the focus from the name
        "EN_CHANGE kr",
        "EN_KILLFOCUS kr",
        "CBN_SELCHANGE type 0",
        "CBN_EDITCHANGE capacity",
        "CBN_SELCHANGE capacity",    // still in the same combo: no focus change
        "CBN_KILLFOCUS capacity",
        "BN_CLICKED spare 0",
        "BN_CLICKED state 110",
        "LBN_SELCHANGE models 1",
        "LBN_DBLCLK models 1",
        "destroy",
    };
    EXPECT_EQ(dlg.m_events, expected);
    EXPECT_EQ(result, IDOK);
    EXPECT_DOUBLE_EQ(dlg.m_dKr, 1.25);
    EXPECT_EQ(dlg.m_nType, 0);
    EXPECT_EQ(dlg.m_strCapacity, "100");
    EXPECT_EQ(dlg.m_bSpare, 0);
    EXPECT_EQ(dlg.m_nState, 0);
    EXPECT_EQ(dlg.m_strPick, "x");
}

TEST_F(DialogTest, RadioClickUnchecksOnlyItsOwnGroup) {
    CTestDlg dlg;
    dlg.m_bAfter = 1;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.Click(IDC_RUNNING));
        EXPECT_EQ(*d.CheckState(IDC_RUNNING), BST_CHECKED);
        EXPECT_EQ(*d.CheckState(IDC_STOPPED), BST_UNCHECKED);
        // The check box after the group starts a new group and keeps its state.
        EXPECT_EQ(*d.CheckState(IDC_AFTER), BST_CHECKED);
        EXPECT_FALSE(d.SetCheck(IDC_RUNNING, BST_UNCHECKED));
        ASSERT_TRUE(d.SetCheck(IDC_SPARE, BST_UNCHECKED));
        ASSERT_TRUE(d.SetCheck(IDC_SPARE, BST_UNCHECKED));   // already there: no click
        EXPECT_EQ(dlg.Count("BN_CLICKED spare 0"), 1);
        EXPECT_FALSE(d.SetCheck(IDC_SPARE, BST_INDETERMINATE));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(dlg.m_nState, 0);
    EXPECT_EQ(dlg.m_bAfter, 1);
}

TEST_F(DialogTest, NoRadioCheckedExchangesMinusOne) {
    CTestDlg dlg;
    dlg.m_nState = -1;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        EXPECT_EQ(*d.CheckState(IDC_RUNNING), BST_UNCHECKED);
        EXPECT_EQ(*d.CheckState(IDC_STOPPED), BST_UNCHECKED);
        dlg.m_nState = 5;
        ASSERT_TRUE(dlg.UpdateData(TRUE));
    });
    EXPECT_EQ(dlg.m_nState, -1);
}

TEST_F(DialogTest, TextThatIsNoNumberFailsTheExchangeAndKeepsTheMember) {
    CTestDlg dlg;
    const INT_PTR result = Run(dlg, [&](CDialog& self) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.SetText(IDC_NAME, FromUtf8("二号")));
        ASSERT_TRUE(d.SetText(IDC_KR, "abc"));
        ASSERT_TRUE(d.SetText(IDC_COUNT, "7"));
        ASSERT_TRUE(d.PressOk());
        // Still open: the box was shown, the focus went back to Kr.
        EXPECT_FALSE(static_cast<CDialog&>(self).HasEnded());
        ASSERT_EQ(boxes.Records().size(), 1u);
        EXPECT_EQ(U(boxes.Records()[0].text), "请输入一个数字。");
        EXPECT_EQ(boxes.Records()[0].type, MB_ICONEXCLAMATION);
        EXPECT_EQ(d.FocusedId(), IDC_KR);
        // Controls before Kr were exchanged, Kr and everything after it were not.
        EXPECT_EQ(U(dlg.m_strName), "二号");
        EXPECT_DOUBLE_EQ(dlg.m_dKr, 0.3574);
        EXPECT_EQ(dlg.m_nCount, 3);

        ASSERT_TRUE(d.SetText(IDC_KR, " 2.5 "));
        ASSERT_TRUE(d.SetText(IDC_COUNT, "7x"));
        ASSERT_TRUE(d.PressOk());
        ASSERT_EQ(boxes.Records().size(), 2u);
        EXPECT_EQ(U(boxes.Records()[1].text), "请输入一个整数。");
        EXPECT_DOUBLE_EQ(dlg.m_dKr, 2.5);
        EXPECT_EQ(dlg.m_nCount, 3);

        ASSERT_TRUE(d.SetText(IDC_COUNT, "-7"));
        ASSERT_TRUE(d.SetText(IDC_CODE, "-1"));
        ASSERT_TRUE(d.PressOk());
        ASSERT_EQ(boxes.Records().size(), 3u);
        EXPECT_EQ(U(boxes.Records()[2].text), "请输入一个正整数。");
        EXPECT_EQ(dlg.m_uCode, 42u);

        ASSERT_TRUE(d.SetText(IDC_CODE, "4000000000"));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_nCount, -7);
    EXPECT_EQ(dlg.m_uCode, 4000000000u);
}

TEST_F(DialogTest, NestedDialogRunsInsideAHandlerOfTheOuterOne) {
    CTestDlg dlg;
    std::vector<size_t> depths;
    runner.Then([&](CDialog&) {
        DialogDriver outer = DialogDriver::Active();
        ASSERT_TRUE(outer.Click(IDC_NESTED));
        depths.push_back(GetOpenDialogs().size());
        EXPECT_EQ(*outer.Text(IDC_RESULT), "2.5");
        ASSERT_TRUE(outer.PressOk());
    });
    runner.Then([&](CDialog& child) {
        depths.push_back(GetOpenDialogs().size());
        EXPECT_EQ(child.GetTemplateId(), IDD_CHILD);
        // The outer dialog is blocked while the child is open.
        EXPECT_FALSE(DialogDriver(dlg).Click(IDC_SPARE));
        DialogDriver d = DialogDriver::Active();
        EXPECT_EQ(*d.Text(IDC_CHILD_VALUE), "1");
        ASSERT_TRUE(d.SetText(IDC_CHILD_VALUE, "2.5"));
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_childResult, IDOK);
    EXPECT_DOUBLE_EQ(dlg.m_dResult, 2.5);
    EXPECT_EQ(depths, (std::vector<size_t>{2, 1}));
    EXPECT_TRUE(GetOpenDialogs().empty());
}

TEST_F(DialogTest, RunnerThatReturnsWithoutEndingCancels) {
    CTestDlg dlg;
    EXPECT_EQ(Run(dlg, [](CDialog&) {}), IDCANCEL);
    // And with no runner at all, the dialog is cancelled as soon as it opens.
    SetModalRunner(nullptr);
    CTestDlg second;
    EXPECT_EQ(second.DoModal(), IDCANCEL);
    EXPECT_EQ(second.Count("init"), 1);
    SetModalRunner(&runner);
}

TEST_F(DialogTest, EndDialogInOnInitDialogSkipsTheRunner) {
    struct CEndAtOnce : CDialog {
        CEndAtOnce() : CDialog(IDD_CHILD) {}
        BOOL OnInitDialog() override {
            CDialog::OnInitDialog();
            EndDialog(0);
            return TRUE;
        }
    } dlg;
    EXPECT_EQ(dlg.DoModal(), 0);
    EXPECT_EQ(runner.Runs(), 0);
}

TEST_F(DialogTest, FailedCreationAndMissingTemplateReturnMinusOne) {
    CBrokenCreateDlg broken;
    EXPECT_EQ(broken.DoModal(), -1);
    EXPECT_FALSE(broken.m_initCalled);
    EXPECT_TRUE(GetOpenDialogs().empty());

    CDialog missing(4242);
    EXPECT_EQ(missing.DoModal(), -1);
    ASSERT_FALSE(GetPlatformDiagnostics().empty());
    EXPECT_NE(GetPlatformDiagnostics().back().Find("4242"), -1);
}

TEST_F(DialogTest, DestroyingTheDialogDetachesControlObjectsAndRunsOnDestroy) {
    CTestDlg dlg;
    HWND list = nullptr;
    Run(dlg, [&](CDialog&) {
        list = dlg.m_models.GetSafeHwnd();
        EXPECT_EQ(CWnd::FromHandle(list), &dlg.m_models);
        EXPECT_TRUE(IsMenu(dlg.m_models.m_hMenu));
    });
    EXPECT_EQ(dlg.m_models.GetSafeHwnd(), nullptr);
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_TRUE(dlg.m_menuDestroyedOnDestroy);
    EXPECT_FALSE(IsMenu(dlg.m_models.m_hMenu));
    EXPECT_EQ(U(dlg.m_nameSeenOnDestroy), "一号变压器");
    // The same object can run again: the control is attached anew, and a
    // driver of the first run stays closed even if the new window reuses its address.
    DialogDriver stale(static_cast<HWND>(nullptr));
    Run(dlg, [&](CDialog&) { stale = DialogDriver(dlg); });
    Run(dlg, [&](CDialog&) {
        EXPECT_NE(dlg.m_models.GetSafeHwnd(), nullptr);
        EXPECT_FALSE(stale.IsOpen());
        EXPECT_NE(stale.Click(IDOK).error.Find("not open"), -1);
        EXPECT_FALSE(stale.Text(IDC_NAME).has_value());
    });
}

TEST_F(DialogTest, ActionsRefuseWhatAUserCouldNotDo) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        const size_t events = dlg.m_events.size();
        EXPECT_NE(d.Click(IDC_DISABLED).error.Find("disabled"), -1);
        EXPECT_NE(d.SetText(IDC_HIDDEN, "1").error.Find("hidden"), -1);
        EXPECT_NE(d.SetText(999, "1").error.Find("no control 999"), -1);
        EXPECT_NE(d.SetText(IDC_TYPE, "1").error.Find("no edit field"), -1);
        EXPECT_NE(d.SetText(IDC_RESULT, "1").error.Find("read-only"), -1);
        EXPECT_NE(d.SelectIndex(IDC_TYPE, 2).error.Find("no row 2"), -1);
        EXPECT_NE(d.SelectText(IDC_TYPE, "none").error.Find("no row"), -1);
        EXPECT_NE(d.Click(IDC_NAME).error.Find("no button"), -1);
        EXPECT_NE(d.DoubleClickRow(IDC_TYPE, 0).error.Find("no list box"), -1);
        EXPECT_NE(d.RightClickRow(IDC_MODELS, 3).error.Find("no row 3"), -1);
        EXPECT_NE(d.Focus(IDC_LABEL).error.Find("cannot take the focus"), -1);
        EXPECT_EQ(dlg.m_events.size(), events);   // nothing reached a handler
        // Enabling the button makes the same click work.
        dlg.GetDlgItem(IDC_DISABLED)->EnableWindow(TRUE);
        EXPECT_TRUE(d.Click(IDC_DISABLED));
    });
    DialogDriver closed(dlg);
    EXPECT_FALSE(closed.Click(IDOK));
    EXPECT_FALSE(DialogDriver::Active().IsOpen());
}

TEST_F(DialogTest, RightClickOnAModelRowShowsTheMenuAndForwardsTheCommand) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.SelectIndex(IDC_MODELS, 1));
        dlg.m_events.clear();
        ASSERT_TRUE(d.RightClickRow(IDC_MODELS, 0));
        // Selected without notifying the owner; the menu is up, owned by the list.
        EXPECT_EQ(*d.SelectedIndex(IDC_MODELS), 0);
        EXPECT_EQ(dlg.Count("LBN_SELCHANGE models 0"), 0);
        const PopupMenuRecord* shown = GetShownPopupMenu();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->owner, dlg.m_models.GetSafeHwnd());
        EXPECT_EQ(shown->menu, dlg.m_models.m_hMenu);
        EXPECT_NE(DescribeShownMenu().Find("9201"), -1);

        // The mouse went down over row 0 (rows are 16 pixels high, so y = 8) and
        // the menu opened at the same point on the screen.
        ASSERT_EQ(dlg.m_models.m_rightButtonPoints.size(), 1u);
        const CPoint client = dlg.m_models.m_rightButtonPoints[0];
        EXPECT_EQ(client, CPoint(4, 8));
        CPoint screen = client;
        dlg.m_models.ClientToScreen(&screen);
        EXPECT_EQ(shown->point, screen);
        ASSERT_TRUE(ChooseMenuCommand(ID_MENU_DETAILS));
        EXPECT_EQ(GetShownPopupMenu(), nullptr);
        ASSERT_TRUE(d.RightClickRow(IDC_MODELS, 1));
        ASSERT_TRUE(ChooseMenuItem(FromUtf8("查看库存")));
        ASSERT_TRUE(d.RightClickRow(IDC_MODELS, 0));
        EXPECT_NE(ChooseMenuCommand(ID_MENU_DELETE).error.Find("grayed"), -1);
        EXPECT_NE(ChooseMenuCommand(1234).error.Find("no command 1234"), -1);
        ASSERT_TRUE(DismissMenu());
        EXPECT_NE(ChooseMenuCommand(ID_MENU_DETAILS).error.Find("no menu"), -1);
    });
    const std::vector<std::string> expected = {"details 0", "menu 9202 row 1"};
    EXPECT_EQ(dlg.m_events.size() >= 2 ? std::vector<std::string>(dlg.m_events.begin(), dlg.m_events.begin() + 2)
                                       : dlg.m_events,
              expected);
}

TEST_F(DialogTest, RightClickOnTheLastRowOrBelowTheRowsShowsNoMenu) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.RightClickRow(IDC_MODELS, 2));
        EXPECT_EQ(*d.SelectedIndex(IDC_MODELS), 2);
        EXPECT_EQ(GetShownPopupMenu(), nullptr);
        ASSERT_TRUE(d.RightClickBelowRows(IDC_MODELS));
        EXPECT_EQ(*d.SelectedIndex(IDC_MODELS), -1);
        EXPECT_EQ(GetShownPopupMenu(), nullptr);
        // A list box without a handler of its own passes the right click to the dialog.
        ASSERT_TRUE(d.RightClickRow(IDC_PICK, 0));
        EXPECT_EQ(dlg.Count("WM_CONTEXTMENU 108"), 1);
        EXPECT_EQ(dlg.Count("WM_CONTEXTMENU 107"), 0);
    });
}

TEST_F(DialogTest, ListBoxMapsPointsToRows) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        CListBox& list = dlg.m_models;
        // The template gives 100 x 40 dialog units = 200 x 80 pixels: five 16-pixel rows.
        EXPECT_EQ(list.GetVisibleRowCount(), 5);
        BOOL outside = TRUE;
        EXPECT_EQ(list.ItemFromPoint(CPoint(4, 20), outside), 1u);   // 20 / 16 = row 1
        EXPECT_FALSE(outside);
        EXPECT_EQ(list.ItemFromPoint(CPoint(4, 50), outside), 2u);   // row 3 would be below the 3 rows
        EXPECT_TRUE(outside);
        EXPECT_EQ(list.ItemFromPoint(CPoint(400, 20), outside), 1u); // right of the client area
        EXPECT_TRUE(outside);
        CRect rect;
        ASSERT_EQ(list.GetItemRect(1, &rect), 0);
        EXPECT_EQ(rect, CRect(0, 16, 200, 32));
        EXPECT_EQ(list.GetItemRect(3, &rect), LB_ERR);
        EXPECT_EQ(list.SetCurSel(-1), LB_ERR);
        EXPECT_EQ(list.GetCurSel(), -1);
        EXPECT_EQ(list.FindString(-1, "kbsg-2"), 1);          // prefix, ASCII case ignored
        EXPECT_EQ(list.FindStringExact(0, "KBSG-100/6"), 0);  // wraps round past the start
        EXPECT_EQ(list.FindStringExact(-1, "KBSG"), LB_ERR);
        EXPECT_EQ(list.DeleteString(5), LB_ERR);
    });
}

TEST_F(DialogTest, FocusLossNotificationsAndExplicitBlur) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.Focus(IDC_CAPACITY));
        dlg.m_events.clear();
        ASSERT_TRUE(d.Blur(IDC_CAPACITY));
        ASSERT_TRUE(d.Blur(IDC_KR));   // not focused yet: clicked into, then left
        EXPECT_EQ(d.FocusedId(), std::nullopt);
        // Disabling the focused control takes the focus away from it.
        ASSERT_TRUE(d.Focus(IDC_NAME));
        dlg.GetDlgItem(IDC_NAME)->EnableWindow(FALSE);
        EXPECT_EQ(d.FocusedId(), std::nullopt);
    });
    const std::vector<std::string> expected = {"CBN_KILLFOCUS capacity", "EN_KILLFOCUS kr", "EN_KILLFOCUS name"};
    std::vector<std::string> focusEvents;
    for (const std::string& e : dlg.m_events) {
        if (e.find("KILLFOCUS") != std::string::npos) focusEvents.push_back(e);
    }
    EXPECT_EQ(focusEvents, expected);
}

TEST_F(DialogTest, DropDownTypingClearsTheSelectionUnlessATextMatches) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.TypeComboText(IDC_CAPACITY, "1250"));
        EXPECT_EQ(*d.SelectedIndex(IDC_CAPACITY), -1);
        ASSERT_TRUE(d.TypeComboText(IDC_CAPACITY, "2000"));
        EXPECT_EQ(*d.SelectedIndex(IDC_CAPACITY), 0);
        // The program's SetCurSel writes the edit field without notifying.
        const int edits = dlg.Count("CBN_EDITCHANGE capacity");
        static_cast<CComboBox*>(dlg.GetDlgItem(IDC_CAPACITY))->SetCurSel(2);
        EXPECT_EQ(*d.Text(IDC_CAPACITY), "100");
        EXPECT_EQ(dlg.Count("CBN_EDITCHANGE capacity"), edits);
        EXPECT_EQ(dlg.Count("CBN_SELCHANGE capacity"), 0);
    });
}

TEST_F(DialogTest, ControlColourComesFromOnCtlColor) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        const auto result = d.QueryControlColor(IDC_RESULT);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(result->handled);
        EXPECT_TRUE(result->textColorSet);
        EXPECT_EQ(result->textColor, RGB(255, 0, 0));
        EXPECT_EQ(result->bkMode, TRANSPARENT);
        ASSERT_TRUE(result->brushKnown);
        EXPECT_EQ(result->brushColor, RGB(0, 128, 0));
        const auto name = d.QueryControlColor(IDC_NAME);
        ASSERT_TRUE(name.has_value());
        EXPECT_FALSE(name->textColorSet);
        EXPECT_EQ(name->brush, nullptr);
        EXPECT_FALSE(d.QueryControlColor(999).has_value());
    });
}

TEST_F(DialogTest, DumpShowsEveryControlOnOneLine) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        const std::vector<CString> lines = d.DumpLines();
        ASSERT_EQ(lines.size(), 20u);   // the template's 20 controls
        EXPECT_EQ(U(lines[0]), "100 edit \"名称：\" text=\"一号变压器\" focus");
        EXPECT_EQ(U(lines[4]), "104 droplist \"类型：\" text=\"动力变压器\" items=[移动变电站|动力变压器] sel=1");
        EXPECT_EQ(U(lines[9]), "109 checkbox \"备用电动机参与负荷统计计算\" checked");
        EXPECT_EQ(U(lines[16]), "115 button \"详细参数>>>\" disabled");
        EXPECT_EQ(U(lines[17]), "116 edit text=\"\" hidden");
        EXPECT_EQ(U(lines[15]), "114 edit \"kVA\" text=\"1\" readonly");
    });
}

TEST_F(DialogTest, DataExchangeWithAnUnknownControlThrowsAndCleansUp) {
    struct CBadDlg : CDialog {
        CBadDlg() : CDialog(IDD_CHILD) {}
        CString m_text;
        void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 777, m_text); }
    } dlg;
    try {
        dlg.DoModal();
        FAIL() << "expected a PlatformError";
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("777"), std::string::npos);
    }
    EXPECT_TRUE(GetOpenDialogs().empty());
    EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);
}

TEST_F(DialogTest, HandlerExceptionsBecomeActionErrors) {
    struct CThrowingDlg : CDialog {
        CThrowingDlg() : CDialog(IDD_CHILD) {}
        void OnOK() override { throw std::runtime_error("boom"); }
    } dlg;
    ActionResult result;
    runner.Then([&](CDialog&) {
        result = DialogDriver::Active().PressOk();
        ASSERT_TRUE(DialogDriver::Active().PressCancel());
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_NE(result.error.Find("boom"), -1);
}

TEST_F(DialogTest, DialogItemHelpersReadAndWriteControls) {
    CTestDlg dlg;
    Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        dlg.CheckRadioButton(IDC_RUNNING, IDC_STOPPED, IDC_RUNNING);
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_RUNNING), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_STOPPED), static_cast<UINT>(BST_UNCHECKED));
        EXPECT_EQ(dlg.Count("BN_CLICKED state 110"), 0);   // the program's checks do not notify
        dlg.SetDlgItemText(IDC_COUNT, " 12 ");
        CString text;
        EXPECT_EQ(dlg.GetDlgItemText(IDC_COUNT, text), 4);
        EXPECT_EQ(text, " 12 ");
        BOOL ok = FALSE;
        EXPECT_EQ(dlg.GetDlgItemInt(IDC_COUNT, &ok), 12u);
        EXPECT_TRUE(ok);
        dlg.SetDlgItemInt(IDC_COUNT, static_cast<UINT>(-5));
        EXPECT_EQ(*d.Text(IDC_COUNT), "-5");
        dlg.SetDlgItemText(IDC_COUNT, "x");
        EXPECT_EQ(dlg.GetDlgItemInt(IDC_COUNT, &ok), 0u);
        EXPECT_FALSE(ok);
        // A control object can be attached by hand and detached again.
        CEdit kr;
        ASSERT_TRUE(kr.SubclassDlgItem(IDC_KR, &dlg));
        EXPECT_EQ(dlg.GetDlgItem(IDC_KR), &kr);
        EXPECT_FALSE(CEdit().SubclassDlgItem(IDC_KR, &dlg));   // already taken
        EXPECT_EQ(kr.Detach(), ::GetDlgItem(dlg.GetSafeHwnd(), IDC_KR));
        EXPECT_NE(dlg.GetDlgItem(IDC_KR), &kr);
    });
}

// Regression: Escape used to click the Cancel button, so a focus-loss check
// that keeps the focus in its edit kept the user in the dialog too.
TEST_F(DialogTest, EscapeCancelsWithoutTakingTheFocusFromTheEdit) {
    CTestDlg dlg;
    const INT_PTR result = Run(dlg, [&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.Focus(IDC_KR));
        dlg.m_events.clear();
        ASSERT_TRUE(d.PressCancel());
    });
    EXPECT_EQ(result, IDCANCEL);
    for (const std::string& e : dlg.m_events) EXPECT_EQ(e.find("KILLFOCUS"), std::string::npos) << e;
}
