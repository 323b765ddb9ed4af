#include "platform/CDialog.h"

#include <algorithm>

#include "platform/DataExchange.h"
#include "platform/PlatformError.h"
#include "platform/Resources.h"
#include "platform/Services.h"

namespace {

std::vector<CDialog*>& OpenDialogs() {
    static std::vector<CDialog*> dialogs;
    return dialogs;
}

// Where nested dialogs appear on the (imaginary) screen, pixels.
constexpr int kDialogOrigin = 40;
constexpr int kDialogNestOffset = 20;

bool TakesFocus(const WindowState& c) {
    switch (c.kind) {
    case WindowKind::Static:
    case WindowKind::GroupBox:
    case WindowKind::Dialog:
    case WindowKind::Generic: return false;
    default: return c.enabled && c.visible;
    }
}

CRect ToPixels(const CRect& dlu) {
    return CRect(dlu.left * kDluToPixelX, dlu.top * kDluToPixelY, dlu.right * kDluToPixelX,
                 dlu.bottom * kDluToPixelY);
}

CString DialogName(UINT id) { return CString::Formatted("dialog %u", id); }

}  // namespace

const std::vector<CDialog*>& GetOpenDialogs() { return OpenDialogs(); }

CDialog* GetActiveDialog() { return OpenDialogs().empty() ? nullptr : OpenDialogs().back(); }

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    auto& open = OpenDialogs();
    open.erase(std::remove(open.begin(), open.end(), this), open.end());
}

bool CDialog::CreateFromTemplate() {
    const DialogResource* res = FindDialogResource(m_nIDTemplate);
    if (!res) {
        ReportPlatformDiagnostic(DialogName(m_nIDTemplate) + ": no such dialog template is registered");
        return false;
    }
    const int depth = static_cast<int>(OpenDialogs().size());
    const int origin = kDialogOrigin + kDialogNestOffset * depth;
    const CRect rect(origin, origin, origin + res->width * kDluToPixelX, origin + res->height * kDluToPixelY);
    HWND owner = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (!owner && GetActiveDialog()) owner = GetActiveDialog()->m_hWnd;
    HWND h = CreateWindowState(WindowKind::Dialog, m_nIDTemplate, res->caption, 0, rect, nullptr, owner);
    Attach(h);
    for (const ControlResource& c : res->controls) {
        const bool labelled = c.kind == WindowKind::Edit || IsComboKind(c.kind) || c.kind == WindowKind::ListBox;
        HWND control = CreateWindowState(c.kind, c.id, labelled ? CString() : c.caption, c.style, ToPixels(c.rect), h);
        control->label = c.caption;
        control->className = c.className;
        for (const CString& item : c.items) ListAddString(control, item);
    }
    return true;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd) {
        ReportPlatformDiagnostic(DialogName(m_nIDTemplate) + ": DoModal called while the dialog is running");
        return -1;
    }
    m_bEnded = false;
    m_nEndResult = IDCANCEL;
    HWND focusBefore = ::GetFocus();
    if (!CreateFromTemplate()) return -1;
    OpenDialogs().push_back(this);

    bool announced = false;
    // Whatever happens in the handlers, the window goes and the stack shrinks.
    auto teardown = [&]() {
        if (m_hWnd) ::DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
        auto& open = OpenDialogs();
        open.erase(std::remove(open.begin(), open.end(), this), open.end());
        if (IsWindow(focusBefore) && !::GetFocus()) ::SetFocus(focusBefore);
    };

    INT_PTR result = -1;
    try {
        CREATESTRUCT cs;
        cs.hwndParent = m_hWnd->owner;
        cs.x = m_hWnd->rect.left;
        cs.y = m_hWnd->rect.top;
        cs.cx = m_hWnd->rect.Width();
        cs.cy = m_hWnd->rect.Height();
        const CString caption = m_hWnd->text;
        cs.lpszName = caption;
        if (SendMessage(WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
            teardown();
            return -1;
        }
        announced = true;
        ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnDialogOpened(*this); });

        const BOOL defaultFocus = OnInitDialog();
        if (defaultFocus && !m_bEnded && m_hWnd) {
            for (auto& child : m_hWnd->children) {
                if (TakesFocus(*child)) {
                    ::SetFocus(child.get());
                    break;
                }
            }
        }
        if (!m_bEnded && m_hWnd) {
            if (IModalRunner* runner = GetModalRunner()) runner->Run(*this);
            if (!m_bEnded) EndDialog(IDCANCEL);
        }
        result = m_nEndResult;
    } catch (...) {
        teardown();
        if (announced) ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnDialogClosed(*this, -1); });
        throw;
    }
    teardown();
    ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnDialogClosed(*this, result); });
    return result;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int result) {
    m_bEnded = true;
    m_nEndResult = result;
}
