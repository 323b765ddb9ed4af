#include "TestDialogs.h"

#include <algorithm>

#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/Resources.h"

namespace testdlg {

void EnsureTestResources() {
    static const bool registered = [] {
        RegisterDialogTemplate(
            {.id = IDD_TEST,
             .caption = "测试对话框",
             .width = 300,
             .height = 260,
             .controls = {
                 {.id = IDC_NAME, .kind = ControlKind::Edit, .caption = "名称："},
                 {.id = IDC_KR, .kind = ControlKind::Edit, .caption = "Kr:"},
                 {.id = IDC_COUNT, .kind = ControlKind::Edit, .caption = "数量"},
                 {.id = IDC_CODE, .kind = ControlKind::Edit, .caption = "编号"},
                 {.id = IDC_TYPE, .kind = ControlKind::DropList, .caption = "类型：", .items = {"移动变电站", "动力变压器"}},
                 {.id = IDC_CAPACITY, .kind = ControlKind::DropDown, .caption = "容量：", .items = {"2000", "1600", "100"}},
                 {.id = IDC_SORTED, .kind = ControlKind::DropList, .style = CTL_SORTED, .items = {"b", "c", "a"}},
                 {.id = IDC_MODELS, .kind = ControlKind::ListBox, .caption = "型号列表：",
                  .items = {"KBSG-100/6", "KBSG-200/6", "无适用设备"}, .x = 150, .y = 7, .w = 100, .h = 40},
                 {.id = IDC_PICK, .kind = ControlKind::ListBox, .items = {"x", "y"}, .x = 150, .y = 60, .w = 100, .h = 40},
                 {.id = IDC_SPARE, .kind = ControlKind::CheckBox, .caption = "备用电动机参与负荷统计计算"},
                 {.id = IDC_RUNNING, .kind = ControlKind::RadioButton, .caption = "运行", .style = CTL_GROUP},
                 {.id = IDC_STOPPED, .kind = ControlKind::RadioButton, .caption = "停止"},
                 {.id = IDC_AFTER, .kind = ControlKind::CheckBox, .caption = "其后", .style = CTL_GROUP},
                 {.id = IDC_NESTED, .kind = ControlKind::PushButton, .caption = "计算"},
                 {.id = IDC_LABEL, .kind = ControlKind::Static, .caption = "额定容量："},
                 {.id = IDC_RESULT, .kind = ControlKind::Edit, .caption = "kVA", .style = CTL_READONLY},
                 {.id = IDC_DISABLED, .kind = ControlKind::PushButton, .caption = "详细参数>>>", .style = CTL_DISABLED},
                 {.id = IDC_HIDDEN, .kind = ControlKind::Edit, .style = CTL_HIDDEN},
                 {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定"},
                 {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消"},
             }});
        RegisterDialogTemplate({.id = IDD_CHILD,
                                .caption = "子对话框",
                                .controls = {
                                    {.id = IDC_CHILD_VALUE, .kind = ControlKind::Edit},
                                    {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定"},
                                    {.id = IDCANCEL, .kind = ControlKind::PushButton, .caption = "取消"},
                                }});
        RegisterDialogTemplate({.id = IDD_BROKEN_CREATE, .caption = "broken"});
        RegisterMenu({.id = IDR_TEST_MENU,
                      .popups = {{.caption = "右键",
                                  .items = {{ID_MENU_DETAILS, "查看详细参数"},
                                            {ID_MENU_STOCK, "查看库存"},
                                            {ID_MENU_DELETE, "删除", MF_GRAYED}}}}});
        return true;
    }();
    (void)registered;
}

// --- CTestListBox ----------------------------------------------------------

BEGIN_MESSAGE_MAP(CTestListBox, CListBox)
    ON_WM_RBUTTONDOWN()
    ON_WM_CONTEXTMENU()
    ON_COMMAND_RANGE(ID_MENU_DETAILS, ID_MENU_DELETE, &CTestListBox::OnMenuCommand)
END_MESSAGE_MAP()

void CTestListBox::OnContextMenu(CWnd*, CPoint point) {
    CPoint client = point;
    ScreenToClient(&client);
    BOOL outside = TRUE;
    const int row = static_cast<int>(ItemFromPoint(client, outside));
    if (outside) {
        SetCurSel(-1);
        return;
    }
    SetCurSel(row);
    if (row < GetCount() - 1) ::TrackPopupMenu(m_hMenu, TPM_LEFTALIGN | TPM_LEFTBUTTON, point.x, point.y, this);
}

void CTestListBox::OnMenuCommand(UINT id) {
    if (m_hOwner) ::SendMessage(m_hOwner, WM_COMMAND, id, 0);
}

// --- CChildDlg --------------------------------------------------------------

BOOL CChildDlg::OnInitDialog() {
    m_openDepthAtInit = GetOpenDialogs().size();
    return CDialog::OnInitDialog();
}

void CChildDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_CHILD_VALUE, m_dValue); }

// --- CTestDlg ----------------------------------------------------------------

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_CTLCOLOR()
    ON_WM_CONTEXTMENU()
    ON_EN_CHANGE(IDC_NAME, &CTestDlg::OnNameChange)
    ON_EN_KILLFOCUS(IDC_NAME, &CTestDlg::OnNameKillFocus)
    ON_EN_CHANGE(IDC_KR, &CTestDlg::OnKrChange)
    ON_EN_KILLFOCUS(IDC_KR, &CTestDlg::OnKrKillFocus)
    ON_CBN_SELCHANGE(IDC_TYPE, &CTestDlg::OnTypeSelChange)
    ON_CBN_EDITCHANGE(IDC_CAPACITY, &CTestDlg::OnCapacityEditChange)
    ON_CBN_KILLFOCUS(IDC_CAPACITY, &CTestDlg::OnCapacityKillFocus)
    ON_CBN_SELCHANGE(IDC_CAPACITY, &CTestDlg::OnCapacitySelChange)
    ON_LBN_SELCHANGE(IDC_MODELS, &CTestDlg::OnModelsSelChange)
    ON_LBN_DBLCLK(IDC_MODELS, &CTestDlg::OnModelsDblClk)
    ON_BN_CLICKED(IDC_SPARE, &CTestDlg::OnSpareClicked)
    ON_CONTROL_RANGE(BN_CLICKED, IDC_RUNNING, IDC_STOPPED, &CTestDlg::OnStateClicked)
    ON_BN_CLICKED(IDC_NESTED, &CTestDlg::OnNested)
    ON_COMMAND(ID_MENU_DETAILS, &CTestDlg::OnMenuDetails)
    ON_COMMAND_RANGE(ID_MENU_STOCK, ID_MENU_DELETE, &CTestDlg::OnMenuRange)
END_MESSAGE_MAP()

CTestDlg::CTestDlg() : CDialog(IDD_TEST) { m_strName = FromUtf8("一号变压器"); }

CTestDlg::~CTestDlg() = default;

int CTestDlg::Count(const std::string& event) const {
    return static_cast<int>(std::count(m_events.begin(), m_events.end(), event));
}

void CTestDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MODELS, m_models);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDX_Text(pDX, IDC_KR, m_dKr);
    DDX_Text(pDX, IDC_COUNT, m_nCount);
    DDX_Text(pDX, IDC_CODE, m_uCode);
    DDX_CBIndex(pDX, IDC_TYPE, m_nType);
    DDX_CBString(pDX, IDC_CAPACITY, m_strCapacity);
    DDX_CBStringExact(pDX, IDC_SORTED, m_strSorted);
    DDX_LBString(pDX, IDC_PICK, m_strPick);
    DDX_Check(pDX, IDC_SPARE, m_bSpare);
    DDX_Radio(pDX, IDC_RUNNING, m_nState);
    DDX_Check(pDX, IDC_AFTER, m_bAfter);
    DDX_Text(pDX, IDC_RESULT, m_dResult);
}

BOOL CTestDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    Log("init");
    m_models.m_hOwner = m_hWnd;
    return TRUE;
}

int CTestDlg::OnCreate(LPCREATESTRUCT cs) {
    if (CDialog::OnCreate(cs) == -1) return -1;
    Log("create");
    HMENU menu = ::LoadMenu(IDR_TEST_MENU);
    m_hContextMenu = ::GetSubMenu(menu, 0);
    m_models.m_hMenu = m_hContextMenu;
    return 0;
}

void CTestDlg::OnDestroy() {
    Log("destroy");
    // The controls still exist while the dialog hears WM_DESTROY.
    if (CWnd* name = GetDlgItem(IDC_NAME)) name->GetWindowText(m_nameSeenOnDestroy);
    m_menuDestroyedOnDestroy = ::DestroyMenu(m_hContextMenu) != FALSE;
    m_hContextMenu = nullptr;
}

HBRUSH CTestDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor) {
    if (pWnd && pWnd->GetDlgCtrlID() == IDC_RESULT) {
        pDC->SetTextColor(RGB(255, 0, 0));
        pDC->SetBkMode(TRANSPARENT);
        return m_resultBrush;
    }
    return CDialog::OnCtlColor(pDC, pWnd, nCtlColor);
}

void CTestDlg::OnContextMenu(CWnd* pWnd, CPoint) { Log("WM_CONTEXTMENU " + std::to_string(pWnd->GetDlgCtrlID())); }

void CTestDlg::OnTypeSelChange() {
    CComboBox* type = static_cast<CComboBox*>(GetDlgItem(IDC_TYPE));
    Log("CBN_SELCHANGE type " + std::to_string(type->GetCurSel()));
}

void CTestDlg::OnModelsSelChange() { Log("LBN_SELCHANGE models " + std::to_string(m_models.GetCurSel())); }
void CTestDlg::OnModelsDblClk() { Log("LBN_DBLCLK models " + std::to_string(m_models.GetCurSel())); }

void CTestDlg::OnSpareClicked() {
    Log("BN_CLICKED spare " + std::to_string(static_cast<CButton*>(GetDlgItem(IDC_SPARE))->GetCheck()));
}

void CTestDlg::OnStateClicked(UINT id) { Log("BN_CLICKED state " + std::to_string(id)); }

void CTestDlg::OnNested() {
    CChildDlg child(this);
    child.m_dValue = m_dResult;
    m_childResult = child.DoModal();
    if (m_childResult == IDOK) {
        m_dResult = child.m_dValue;
        UpdateData(FALSE);
    }
    Log("nested " + std::to_string(m_childResult));
}

void CTestDlg::OnMenuDetails() { Log("details " + std::to_string(m_models.GetCurSel())); }
void CTestDlg::OnMenuRange(UINT id) { Log("menu " + std::to_string(id) + " row " + std::to_string(m_models.GetCurSel())); }

BEGIN_MESSAGE_MAP(CBrokenCreateDlg, CDialog)
    ON_WM_CREATE()
END_MESSAGE_MAP()

}  // namespace testdlg
