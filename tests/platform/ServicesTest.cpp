// The message service's answers and mismatch errors, the observers' view of a
// session, and the message map's lookup order.
#include <gtest/gtest.h>

#include "TestPrint.h"

#include "TestDialogs.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/PlatformError.h"
#include "platform/Resources.h"
#include "platform/UserActions.h"

using namespace testdlg;

TEST(HeadlessMessageService, AnswersWithTheDefaultButtonWhenNothingIsQueued) {
    HeadlessMessageService boxes;
    MessageServiceScope scope(boxes);
    EXPECT_EQ(AfxMessageBox("a"), IDOK);
    EXPECT_EQ(AfxMessageBox("b", MB_YESNO | MB_ICONQUESTION), IDYES);
    EXPECT_EQ(AfxMessageBox("c", MB_OKCANCEL), IDOK);
    EXPECT_EQ(AfxMessageBox("d", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(AfxMessageBox("e", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    ASSERT_EQ(boxes.Records().size(), 5u);
    EXPECT_STREQ(MessageBoxIconName(boxes.Records()[1].type), "question");
    EXPECT_STREQ(MessageBoxButtonsName(boxes.Records()[1].type), "yesno");
    EXPECT_TRUE(boxes.Errors().empty());
}

TEST(HeadlessMessageService, QueuedAnswersAreUsedInOrderAndMismatchesReported) {
    HeadlessMessageService boxes;
    MessageServiceScope scope(boxes);
    boxes.QueueAnswer(IDNO);
    boxes.QueueAnswer(IDNO);
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_EQ(AfxMessageBox("delete?", MB_YESNO), IDNO);
    // "no" does not fit an OK box: consumed, reported, and OK is pressed.
    CWnd none;
    EXPECT_EQ(none.MessageBox(FromUtf8("没有选中变压器,请重新选择！"), nullptr, MB_OK | MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(AfxMessageBox("sure?", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(boxes.PendingAnswers(), 0u);
    ASSERT_EQ(boxes.Errors().size(), 1u);
    EXPECT_NE(boxes.Errors()[0].Find("\"no\""), -1);
    EXPECT_NE(boxes.Errors()[0].Find(FromUtf8("没有选中变压器")), -1);
    ASSERT_EQ(boxes.Records().size(), 3u);
    EXPECT_EQ(boxes.Records()[1].answer, IDOK);
    EXPECT_EQ(boxes.Records()[1].caption, "");
    EXPECT_STREQ(MessageBoxIconName(boxes.Records()[1].type), "information");
}

TEST(HeadlessMessageService, AnswerNamesRoundTrip) {
    for (int answer : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        EXPECT_EQ(ParseMessageBoxAnswer(MessageBoxAnswerName(answer)), answer);
    }
    EXPECT_EQ(ParseMessageBoxAnswer("YES"), IDYES);
    EXPECT_EQ(ParseMessageBoxAnswer("maybe"), 0);
    EXPECT_TRUE(MessageBoxAnswerFits(MB_RETRYCANCEL, IDRETRY));
    EXPECT_FALSE(MessageBoxAnswerFits(MB_RETRYCANCEL, IDOK));
}

namespace {
class Transcript : public IPlatformObserver {
public:
    std::vector<std::string> lines;
    void OnDialogOpened(CDialog& d) override { lines.push_back("open " + std::to_string(d.GetTemplateId())); }
    void OnDialogClosed(CDialog& d, INT_PTR r) override {
        lines.push_back("close " + std::to_string(d.GetTemplateId()) + " " + std::to_string(r));
    }
    void OnMessageBox(const MessageBoxRecord& box) override {
        lines.push_back("box " + ToUtf8(box.text) + " " + MessageBoxAnswerName(box.answer));
    }
    void OnMenuShown(const PopupMenuRecord& m) override { lines.push_back("menu " + std::to_string(m.owner->id)); }
    void OnMenuCommand(HWND, UINT id) override { lines.push_back("command " + std::to_string(id)); }
};
}  // namespace

TEST(PlatformObserver, SeesDialogsBoxesAndMenusInOrder) {
    EnsureTestResources();
    HeadlessMessageService boxes;
    MessageServiceScope boxScope(boxes);
    ScriptedRunner runner;
    ModalRunnerScope runnerScope(runner);
    Transcript transcript;
    PlatformObserverScope observe(transcript);
    runner.Then([](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.RightClickRow(IDC_MODELS, 0));
        ASSERT_TRUE(ChooseMenuCommand(ID_MENU_DETAILS));
        ASSERT_TRUE(d.Click(IDC_NESTED));
        ASSERT_TRUE(d.SetText(IDC_KR, "x"));
        ASSERT_TRUE(d.PressOk());
        ASSERT_TRUE(d.PressCancel());
    });
    runner.Then([](CDialog&) { ASSERT_TRUE(DialogDriver::Active().PressCancel()); });
    CTestDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    const std::vector<std::string> expected = {
        "open 9100", "menu 107", "command 9201", "open 9101", "close 9101 2",
        "box 请输入一个数字。 ok", "close 9100 2",
    };
    EXPECT_EQ(transcript.lines, expected);
}

namespace {
class CDerivedDlg : public CTestDlg {
public:
    int m_ownClicks = 0;

protected:
    void OnSpareOwn() { ++m_ownClicks; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CDerivedDlg, CTestDlg)
    ON_BN_CLICKED(IDC_SPARE, &CDerivedDlg::OnSpareOwn)
END_MESSAGE_MAP()
}  // namespace

TEST(MessageMap, LookupWalksFromTheDerivedMapToTheBaseMaps) {
    EnsureTestResources();
    ScriptedRunner runner;
    ModalRunnerScope runnerScope(runner);
    CDerivedDlg dlg;
    runner.Then([&](CDialog&) {
        DialogDriver d = DialogDriver::Active();
        ASSERT_TRUE(d.Click(IDC_SPARE));      // the derived entry shadows the base one
        ASSERT_TRUE(d.Click(IDC_STOPPED));    // only the base map has this one
        // WM_SETCURSOR has no entry anywhere: accepted, recorded, default answer.
        HWND kr = ::GetDlgItem(dlg.GetSafeHwnd(), IDC_KR);
        EXPECT_EQ(::SendMessage(kr, WM_SETCURSOR, reinterpret_cast<WPARAM>(kr), MAKELPARAM(1, WM_LBUTTONDOWN)), 0);
        ASSERT_FALSE(kr->messages.empty());
        EXPECT_EQ(kr->messages.back().message, WM_SETCURSOR);
        ASSERT_TRUE(d.PressOk());
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_ownClicks, 1);
    EXPECT_EQ(dlg.Count("BN_CLICKED spare 0"), 0);
    EXPECT_EQ(dlg.Count("BN_CLICKED state 111"), 1);
}

TEST(Resources, RegistrationRefusesDuplicatesAndBadText) {
    EnsureTestResources();
    try {
        RegisterDialogTemplate({.id = IDD_TEST, .caption = "again"});
        FAIL() << "a duplicate id must be refused";
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("9100"), std::string::npos);
    }
    EXPECT_THROW(RegisterDialogTemplate({.id = 9150,
                                         .controls = {{.id = 5, .kind = ControlKind::Edit},
                                                      {.id = 5, .kind = ControlKind::Edit}}}),
                 PlatformError);
    EXPECT_THROW(RegisterDialogTemplate({.id = 9151, .controls = {{.id = 5, .kind = ControlKind::Edit, .items = {"a"}}}}),
                 PlatformError);
    try {
        RegisterDialogTemplate({.id = 9152, .controls = {{.id = 6, .kind = ControlKind::Static, .caption = "ok\xFF"}}});
        FAIL() << "invalid UTF-8 must be refused";
    } catch (const PlatformError& e) {
        EXPECT_NE(std::string(e.what()).find("id 6"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("byte 2"), std::string::npos);
    }
    EXPECT_EQ(FindDialogResource(9150), nullptr);
    EXPECT_EQ(FindDialogResource(9152), nullptr);
    // The GBK form is stored.
    EXPECT_EQ(FindDialogResource(IDD_TEST)->caption, FromUtf8("测试对话框"));
}

TEST(Resources, RegistrationObjectReportsErrorsAndUnregisters) {
    ClearPlatformDiagnostics();
    {
        ResourceRegistration reg({{.id = 9160, .caption = "a"}, {.id = 9160, .caption = "b"}},
                                 {{.id = 9161, .popups = {{.caption = "p", .items = {{1, "x"}}}}}});
        EXPECT_FALSE(reg.ok());
        EXPECT_EQ(reg.errors().size(), 1u);
        EXPECT_EQ(GetPlatformDiagnostics().size(), 1u);
        EXPECT_NE(FindDialogResource(9160), nullptr);
        EXPECT_NE(FindMenuResource(9161), nullptr);
    }
    EXPECT_EQ(FindDialogResource(9160), nullptr);
    EXPECT_EQ(FindMenuResource(9161), nullptr);
}

TEST(Menus, DestroyingAPopupFreesItsWholeMenuAndClearsTheShownRecord) {
    EnsureTestResources();
    HMENU root = LoadMenu(IDR_TEST_MENU);
    HMENU popup = GetSubMenu(root, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(GetMenuItemCount(popup), 3);
    EXPECT_EQ(GetMenuItemID(popup, 1), ID_MENU_STOCK);
    EXPECT_EQ(GetMenuItemID(root, 0), static_cast<UINT>(-1));
    CString text;
    EXPECT_GT(GetMenuString(root, ID_MENU_STOCK, text, MF_BYCOMMAND), 0);
    EXPECT_EQ(text, FromUtf8("查看库存"));
    EXPECT_EQ(EnableMenuItem(popup, ID_MENU_DELETE, MF_ENABLED), MF_GRAYED);

    CWnd owner;
    ASSERT_TRUE(owner.Create(WindowKind::Generic, "owner", 0, CRect(0, 0, 10, 10), nullptr, 1));
    ASSERT_TRUE(TrackPopupMenu(popup, TPM_LEFTALIGN, 5, 6, &owner));
    ASSERT_NE(GetShownPopupMenu(), nullptr);
    EXPECT_EQ(GetShownPopupMenu()->point, CPoint(5, 6));
    EXPECT_TRUE(DestroyMenu(popup));
    EXPECT_FALSE(IsMenu(root));
    EXPECT_EQ(GetShownPopupMenu(), nullptr);
    EXPECT_FALSE(DestroyMenu(root));
    EXPECT_EQ(LoadMenu(4343), nullptr);
}

TEST(Windows, CreatedWindowsAreDestroyedWithTheirObject) {
    HWND h = nullptr;
    {
        CWnd host;
        ASSERT_TRUE(host.Create(WindowKind::Generic, "map", 0, CRect(0, 0, 100, 100), nullptr, 7));
        h = host.GetSafeHwnd();
        CEdit edit;
        ASSERT_TRUE(edit.Create(WindowKind::Edit, "", 0, CRect(10, 20, 50, 40), &host, 8));
        EXPECT_EQ(host.GetDlgItem(8), &edit);
        CPoint p(1, 2);
        edit.ClientToScreen(&p);
        EXPECT_EQ(p, CPoint(11, 22));
        EXPECT_TRUE(IsWindow(h));
    }
    EXPECT_FALSE(IsWindow(h));
}
