#include "platform/CWnd.h"

#include "platform/CComboBox.h"
#include "platform/CListBox.h"
#include "platform/Controls.h"
#include "platform/DataExchange.h"
#include "platform/Services.h"

// --- CCmdTarget --------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT message, UINT code, UINT id) const {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn; ++e) {
            if (e->nMessage != message) continue;
            if (message != WM_COMMAND) return e;
            if (e->nCode == code && id >= e->nID && id <= e->nLastID) return e;
        }
    }
    return nullptr;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, WPARAM wParam, LPARAM lParam) {
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(WM_COMMAND, static_cast<UINT>(nCode), nID);
    if (!entry) return FALSE;
    entry->pfn(this, wParam, lParam);
    return TRUE;
}

// --- CWnd ----------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::~CWnd() {
    if (!IsWindow(m_hWnd) || m_hWnd->attached != this) return;
    HWND h = m_hWnd;
    const bool owns = h->ownsAttached;
    // The derived part of this object is gone: the window must not reach it.
    h->attached = nullptr;
    h->ownsAttached = false;
    m_hWnd = nullptr;
    if (owns) ::DestroyWindow(h);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) { return IsWindow(hWnd) ? hWnd->attached : nullptr; }

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!IsWindow(hWnd)) return nullptr;
    if (hWnd->attached) return hWnd->attached;
    if (!hWnd->wrapper) {
        switch (hWnd->kind) {
        case WindowKind::Edit: hWnd->wrapper = std::make_unique<CEdit>(); break;
        case WindowKind::DropList:
        case WindowKind::DropDown: hWnd->wrapper = std::make_unique<CComboBox>(); break;
        case WindowKind::ListBox: hWnd->wrapper = std::make_unique<CListBox>(); break;
        case WindowKind::CheckBox:
        case WindowKind::RadioButton:
        case WindowKind::PushButton:
        case WindowKind::DefPushButton: hWnd->wrapper = std::make_unique<CButton>(); break;
        case WindowKind::Static:
        case WindowKind::GroupBox: hWnd->wrapper = std::make_unique<CStatic>(); break;
        default: hWnd->wrapper = std::make_unique<CWnd>(); break;
        }
        hWnd->wrapper->m_hWnd = hWnd;
    }
    return hWnd->wrapper.get();
}

BOOL CWnd::Attach(HWND hWnd) {
    if (!IsWindow(hWnd) || hWnd->destroying) return FALSE;
    if (hWnd->attached == this) return TRUE;
    if (hWnd->attached || (m_hWnd && m_hWnd != hWnd)) return FALSE;
    m_hWnd = hWnd;
    hWnd->attached = this;
    hWnd->ownsAttached = false;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (IsWindow(h) && h->attached == this) {
        h->attached = nullptr;
        h->ownsAttached = false;
    }
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* pParent) {
    if (!pParent) return FALSE;
    HWND control = ::GetDlgItem(pParent->m_hWnd, static_cast<int>(id));
    return control ? Attach(control) : FALSE;
}

BOOL CWnd::Create(WindowKind kind, const char* text, DWORD style, const CRect& rect, CWnd* pParent, UINT id) {
    if (m_hWnd) return FALSE;
    HWND parent = pParent ? pParent->m_hWnd : nullptr;
    if (pParent && !IsWindow(parent)) return FALSE;
    HWND h = CreateWindowState(kind, id, CString(text), style, rect, parent);
    if (!h) return FALSE;
    Attach(h);
    h->ownsAttached = true;
    CREATESTRUCT cs;
    cs.hwndParent = parent;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.Width();
    cs.cy = rect.Height();
    cs.style = style;
    cs.lpszName = text;
    if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        ::DestroyWindow(h);
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() { return ::DestroyWindow(m_hWnd); }

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
void CWnd::SetWindowText(const char* text) { ::SetWindowText(m_hWnd, text); }
void CWnd::GetWindowText(CString& text) const { text = ::GetWindowText(m_hWnd); }
CString CWnd::GetWindowText() const { return ::GetWindowText(m_hWnd); }
int CWnd::GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
DWORD CWnd::GetStyle() const { return IsWindow(m_hWnd) ? m_hWnd->style : 0; }

void CWnd::GetWindowRect(LPRECT rect) const {
    if (rect) *rect = GetWindowScreenRect(m_hWnd);
}

void CWnd::GetClientRect(LPRECT rect) const {
    if (!rect) return;
    const CRect r = IsWindow(m_hWnd) ? m_hWnd->rect : CRect();
    *rect = CRect(0, 0, r.Width(), r.Height());
}

void CWnd::ClientToScreen(LPPOINT point) const {
    if (point) *point = ::ClientToScreen(m_hWnd, CPoint(*point));
}

void CWnd::ScreenToClient(LPPOINT point) const {
    if (point) *point = ::ScreenToClient(m_hWnd, CPoint(*point));
}

void CWnd::ClientToScreen(LPRECT rect) const {
    if (!rect) return;
    const CPoint tl = ::ClientToScreen(m_hWnd, CPoint(rect->left, rect->top));
    CRect r(*rect);
    r.OffsetRect(tl.x - rect->left, tl.y - rect->top);
    *rect = r;
}

void CWnd::ScreenToClient(LPRECT rect) const {
    if (!rect) return;
    const CPoint tl = ::ScreenToClient(m_hWnd, CPoint(rect->left, rect->top));
    CRect r(*rect);
    r.OffsetRect(tl.x - rect->left, tl.y - rect->top);
    *rect = r;
}

void CWnd::SetDlgItemText(int id, const char* text) { ::SetWindowText(::GetDlgItem(m_hWnd, id), text); }

int CWnd::GetDlgItemText(int id, CString& text) const {
    text = ::GetWindowText(::GetDlgItem(m_hWnd, id));
    return text.GetLength();
}

void CWnd::SetDlgItemInt(int id, UINT value, BOOL isSigned) {
    CString text;
    if (isSigned) {
        text.Format("%d", static_cast<int>(value));
    } else {
        text.Format("%u", value);
    }
    SetDlgItemText(id, text);
}

UINT CWnd::GetDlgItemInt(int id, BOOL* translated, BOOL isSigned) const {
    const CString text = ::GetWindowText(::GetDlgItem(m_hWnd, id));
    bool ok = false;
    UINT result = 0;
    if (isSigned) {
        int v = 0;
        ok = ParseExchangeInt(text, v);
        result = static_cast<UINT>(v);
    } else {
        ok = ParseExchangeUInt(text, result);
    }
    if (translated) *translated = ok ? TRUE : FALSE;
    return ok ? result : 0;
}

void CWnd::CheckDlgButton(int id, UINT check) {
    HWND h = ::GetDlgItem(m_hWnd, id);
    if (h && IsButtonKind(h->kind)) h->check = static_cast<int>(check);
}

UINT CWnd::IsDlgButtonChecked(int id) const {
    HWND h = ::GetDlgItem(m_hWnd, id);
    return (h && IsButtonKind(h->kind)) ? static_cast<UINT>(h->check) : 0;
}

void CWnd::CheckRadioButton(int firstId, int lastId, int checkId) {
    if (!IsWindow(m_hWnd)) return;
    for (auto& child : m_hWnd->children) {
        const int id = static_cast<int>(child->id);
        if (id < firstId || id > lastId || !IsButtonKind(child->kind)) continue;
        child->check = (id == checkId) ? BST_CHECKED : BST_UNCHECKED;
    }
}

void CWnd::GotoDlgCtrl(CWnd* control) {
    if (control) ::SetFocus(control->m_hWnd);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    if (!IsWindow(m_hWnd)) return FALSE;
    ::SendMessage(m_hWnd, message, wParam, lParam);
    return TRUE;
}

int CWnd::MessageBox(const char* text, const char* caption, UINT type) const {
    return ShowMessageBox(text, caption, type);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const CurrentMessage saved = m_currentMessage;
    m_currentMessage = {message, wParam, lParam};
    LRESULT result = 0;
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    m_currentMessage = saved;
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_COMMAND) {
        if (result) *result = 0;
        return OnCommand(wParam, lParam);
    }
    const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0, 0);
    if (!entry) return FALSE;
    const LRESULT r = entry->pfn(this, wParam, lParam);
    if (result) *result = r;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMessage.message, m_currentMessage.wParam, m_currentMessage.lParam);
}

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return reinterpret_cast<HBRUSH>(Default()); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
