#include "TestDialogs.h"

#include "platform/CComboBox.h"
#include "platform/DataExchange.h"
#include "platform/Gbk.h"
#include "platform/Resources.h"
#include "platform/Services.h"

namespace testdlg {

namespace {

// Plain assignments rather than designated initialisers: -Wextra warns about
// every member a designated initialiser leaves out.
ControlTemplate Control(int id, ControlKind kind, const char* caption, DWORD style = 0,
                        std::vector<std::string> items = {}, int height = 0) {
    ControlTemplate c;
    c.id = static_cast<UINT>(id);
    c.kind = kind;
    c.caption = caption;
    c.style = style;
    c.items = std::move(items);
    c.h = height;
    return c;
}

DialogTemplate Dialog(UINT id, const char* caption, int width, int height, std::vector<ControlTemplate> controls) {
    DialogTemplate d;
    d.id = id;
    d.caption = caption;
    d.width = width;
    d.height = height;
    d.controls = std::move(controls);
    return d;
}

MenuItemTemplate Item(UINT id, const char* caption) {
    MenuItemTemplate i;
    i.id = id;
    i.caption = caption;
    return i;
}

}  // namespace

void RegisterTestResources() {
    MenuPopupTemplate popup;
    popup.caption = "右键";
    popup.items = {Item(ID_MODEL_SHOW, "查看详细参数"), Item(ID_MODEL_DELETE, "删除")};
    MenuTemplate menu;
    menu.id = IDR_MODEL_MENU;
    menu.popups = {popup};
    static const ResourceRegistration registration(
        {
            Dialog(IDD_TEST, "测试对话框", 300, 260,
                   {
                       Control(IDC_NAME, ControlKind::Edit, "名称："),
                       Control(IDC_TYPE, ControlKind::DropList, "类型：", 0, {"动力变压器", "移动变电站"}),
                       Control(IDC_CAPACITY, ControlKind::DropDown, "容量：", 0, {"2000", "1000"}),
                       Control(IDC_MODELS, ControlKind::ListBox, "型号列表：", 0, {}, 60),
                       Control(IDC_DETAILS, ControlKind::PushButton, "详细", CTL_DISABLED),
                       Control(IDC_RESULT, ControlKind::Edit, "结果：", CTL_READONLY),
                       Control(IDC_SPARE, ControlKind::CheckBox, "备用"),
                       Control(IDC_KR, ControlKind::Edit, "Kr:", CTL_DISABLED),
                       Control(IDC_RUNNING, ControlKind::RadioButton, "运行", CTL_GROUP),
                       Control(IDC_STOPPED, ControlKind::RadioButton, "停止"),
                       Control(IDC_HIDDEN, ControlKind::Static, "隐藏", CTL_HIDDEN | CTL_GROUP),
                       Control(IDOK, ControlKind::DefPushButton, "确定"),
                       Control(IDCANCEL, ControlKind::PushButton, "取消"),
                   }),
            Dialog(IDD_NOTE, "说明", 200, 80,
                   {
                       Control(IDC_NOTE, ControlKind::Edit, "说明："),
                       Control(IDOK, ControlKind::DefPushButton, "确定"),
                       Control(IDCANCEL, ControlKind::PushButton, "取消"),
                   }),
        },
        {menu});
    (void)registration;
}

// ---------------------------------------------------------------- list box

BEGIN_MESSAGE_MAP(CModelListBox, CListBox)
    ON_WM_CONTEXTMENU()
    ON_COMMAND_RANGE(ID_MODEL_SHOW, ID_MODEL_DELETE, &CModelListBox::OnMenuCommand)
END_MESSAGE_MAP()

void CModelListBox::OnContextMenu(CWnd*, CPoint point) {
    CPoint client = point;
    ScreenToClient(&client);
    BOOL outside = TRUE;
    const int row = static_cast<int>(ItemFromPoint(client, outside));
    if (outside) {
        SetCurSel(-1);
        return;
    }
    SetCurSel(row);
    // The last row stands for "no model" and has no menu.
    if (row < GetCount() - 1 && m_hMenu) ::TrackPopupMenu(m_hMenu, TPM_LEFTALIGN | TPM_LEFTBUTTON, point.x, point.y, this);
}

void CModelListBox::OnMenuCommand(UINT id) {
    if (m_hOwner) ::SendMessage(m_hOwner, WM_COMMAND, id, 0);
}

// ---------------------------------------------------------------- nested dialog

void CNoteDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_NOTE, m_strNote); }

// ---------------------------------------------------------------- test dialog

BEGIN_MESSAGE_MAP(CTestDlg, CDialog)
    ON_WM_CREATE()
    ON_CBN_SELCHANGE(IDC_TYPE, &CTestDlg::OnTypeChanged)
    ON_BN_CLICKED(IDC_SPARE, &CTestDlg::OnSpareClicked)
    ON_EN_KILLFOCUS(IDC_KR, &CTestDlg::OnKrKillFocus)
    ON_BN_CLICKED(IDC_DETAILS, &CTestDlg::OnDetails)
    ON_LBN_DBLCLK(IDC_MODELS, &CTestDlg::OnModelDblClk)
    ON_COMMAND(ID_MODEL_SHOW, &CTestDlg::OnModelShow)
    ON_COMMAND(ID_MODEL_DELETE, &CTestDlg::OnModelDelete)
END_MESSAGE_MAP()

CTestDlg::CTestDlg(host::MapDocument& map, LONG entityId) : CDialog(IDD_TEST), m_map(map), m_nEntityId(entityId) {}

CTestDlg::~CTestDlg() {
    if (m_hContextMenu) DestroyMenu(m_hContextMenu);
}

int CTestDlg::OnCreate(LPCREATESTRUCT cs) {
    if (CDialog::OnCreate(cs) == -1) return -1;
    m_hContextMenu = GetSubMenu(LoadMenu(IDR_MODEL_MENU), 0);
    m_modelList.m_hMenu = m_hContextMenu;
    return 0;
}

void CTestDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_MODELS, m_modelList);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDX_Text(pDX, IDC_RESULT, m_strResult);
    DDX_Text(pDX, IDC_KR, m_strKr);
    DDX_Check(pDX, IDC_SPARE, m_bSpare);
    DDX_Radio(pDX, IDC_RUNNING, m_nState);
}

BOOL CTestDlg::OnInitDialog() {
    if (const host::MapObject* object = m_map.FindByEntity(m_nEntityId)) m_strName = object->name;
    CDialog::OnInitDialog();
    for (const char* model : {"KBSG-200", "KBSG-315", "无适用设备"}) m_modelList.AddString(FromUtf8(model));
    static_cast<CComboBox*>(GetDlgItem(IDC_TYPE))->SetCurSel(0);
    m_modelList.m_hOwner = m_hWnd;
    return TRUE;
}

void CTestDlg::OnTypeChanged() {
    const int type = static_cast<CComboBox*>(GetDlgItem(IDC_TYPE))->GetCurSel();
    GetDlgItem(IDC_DETAILS)->EnableWindow(type == 1);
}

void CTestDlg::OnSpareClicked() {
    UpdateData(TRUE);
    GetDlgItem(IDC_KR)->EnableWindow(m_bSpare == 1);
}

void CTestDlg::OnKrKillFocus() {
    double kr = 0.0;
    const CString text = GetDlgItem(IDC_KR)->GetWindowText();
    if (!ParseExchangeDouble(text, kr) || kr < 0.0 || kr > 1.0) AfxMessageBox(FromUtf8("Kr 应在 0 到 1 之间"), MB_ICONSTOP);
}

void CTestDlg::OnDetails() {
    UpdateData(TRUE);
    CNoteDlg note(this);
    note.m_strNote = m_strNote;
    if (note.DoModal() != IDOK) {
        // Default button 2: a driver that answers with the default keeps the old note.
        AfxMessageBox(FromUtf8("说明未修改"), MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONINFORMATION);
        return;
    }
    m_strNote = note.m_strNote;
    m_strResult = m_strNote;
    UpdateData(FALSE);
}

void CTestDlg::OnModelDblClk() {
    UpdateData(TRUE);
    CString row;
    m_modelList.GetText(m_modelList.GetCurSel(), row);
    m_strResult = FromUtf8("双击:") + row;
    UpdateData(FALSE);
}

void CTestDlg::OnModelShow() {
    UpdateData(TRUE);
    CString row;
    m_modelList.GetText(m_modelList.GetCurSel(), row);
    m_strResult = FromUtf8("查看:") + row;
    UpdateData(FALSE);
}

void CTestDlg::OnModelDelete() {
    const int row = m_modelList.GetCurSel();
    if (row < 0 || row == m_modelList.GetCount() - 1) return;
    CString text;
    m_modelList.GetText(row, text);
    const CString question = FromUtf8("是否删除 ") + text + FromUtf8(" 这个型号？");
    if (MessageBox(question, FromUtf8("请确认"), MB_YESNO | MB_ICONQUESTION) == IDYES) m_modelList.DeleteString(row);
}

void CTestDlg::OnOK() {
    if (!UpdateData(TRUE)) return;
    if (m_strName.IsEmpty()) {
        AfxMessageBox(FromUtf8("名称不能为空"), MB_ICONINFORMATION);
        return;
    }
    if (AfxMessageBox(FromUtf8("保存 ") + m_strName + FromUtf8("？"), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (host::MapObject* object = m_map.FindByEntity(m_nEntityId)) {
        object->name = m_strName;
        object->fields[kTestField] = {m_strName, GetDlgItem(IDC_TYPE)->GetWindowText(),
                                      GetDlgItem(IDC_CAPACITY)->GetWindowText(),
                                      CString::Formatted("%d", m_nState), m_strNote};
        m_map.setModified(true);
    }
    EndDialog(IDOK);
}

// ---------------------------------------------------------------- command host

bool TestCommandHost::Launch(std::string&) {
    calls.push_back("launch");
    m_events.ReportPrompt(FromUtf8("请选择变压器:"));
    return true;
}

bool TestCommandHost::Pick(const std::vector<LONG>& entityIds, std::string& error) {
    std::string call = "pick";
    for (LONG id : entityIds) call += " " + std::to_string(id);
    calls.push_back(call);
    if (entityIds.size() != 1) {
        error = "pick exactly one object";
        return false;
    }
    picked = entityIds.front();
    m_events.ReportPrompt(FromUtf8("单击打开对话框:"));
    return true;
}

bool TestCommandHost::SetCtrl(bool down, std::string&) {
    calls.push_back(down ? "ctrl 1" : "ctrl 0");
    return true;
}

bool TestCommandHost::Click(std::string& error) {
    calls.push_back("click");
    if (picked == 0) {
        error = "nothing is picked";
        return false;
    }
    CTestDlg dialog(m_map, picked);
    results.push_back(dialog.DoModal());
    return true;
}

bool TestCommandHost::Key(int code, std::string&) {
    calls.push_back("key " + std::to_string(code));
    return true;
}

bool TestCommandHost::Repaint(std::string&) {
    calls.push_back("repaint");
    return true;
}

// ---------------------------------------------------------------- map

host::MapDocument MakeTestMap() {
    host::MapDocument map;
    host::Layer layer;
    layer.id = 0;
    layer.name = FromUtf8("供电");
    map.layers().push_back(layer);
    auto add = [&](LONG id, const char* name, const char* kind, host::AttributeRow row) {
        host::MapObject o;
        o.entityId = id;
        o.handle = 100 + id;
        o.entityType = row.empty() ? host::EntityType::Symbol : host::EntityType::Transformer;
        o.name = FromUtf8(name);
        o.kind = FromUtf8(kind);
        if (!row.empty()) o.fields[kTestField] = std::move(row);
        map.AddObject(std::move(o));
    };
    add(1, "1#变压器", "移动变电站", {FromUtf8("1#变压器"), FromUtf8("移动变电站"), "2000", "0", ""});
    add(2, "2#变压器", "矿用变压器", {FromUtf8("2#变压器"), FromUtf8("动力变压器"), "1000", "1", ""});
    add(3, "M1", "电动机", {});
    return map;
}

}  // namespace testdlg
