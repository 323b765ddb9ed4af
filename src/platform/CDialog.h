#pragma once
// Modal dialogs built from registered templates (Resources.h).
//
// DoModal creates the dialog window and its controls from the template,
// sends WM_CREATE (OnCreate returning -1 makes DoModal return -1), calls
// OnInitDialog and then, unless the dialog already ended, hands it to the
// current modal runner (Services.h), which returns when the dialog has ended
// (a runner that returns without EndDialog ends it with IDCANCEL). The window
// is destroyed (WM_DESTROY, controls gone, attached control objects
// detached) before DoModal returns the result. A handler of one dialog may
// run DoModal of another: the open dialogs form a stack.
#include <vector>

#include "platform/CWnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // IDOK, IDCANCEL, the value given to EndDialog, or -1 when the dialog
    // could not be created (no template, OnCreate failed, already running).
    virtual INT_PTR DoModal();
    // Base: UpdateData(FALSE); returns TRUE (focus to the first control that takes it).
    virtual BOOL OnInitDialog();
    // Base: UpdateData(TRUE) and, when it succeeded, EndDialog(IDOK).
    virtual void OnOK();
    // Base: EndDialog(IDCANCEL).
    virtual void OnCancel();
    // Ends the modal run; the last call's result wins.
    void EndDialog(int result);

    UINT GetTemplateId() const { return m_nIDTemplate; }
    bool IsRunning() const { return m_hWnd != nullptr; }
    bool HasEnded() const { return m_bEnded; }
    int GetEndResult() const { return m_nEndResult; }

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

protected:
    DECLARE_MESSAGE_MAP()

private:
    bool CreateFromTemplate();
    bool m_bEnded = false;
    int m_nEndResult = IDCANCEL;
};

// Open dialogs, outermost first, innermost (the one the user can act on) last.
const std::vector<CDialog*>& GetOpenDialogs();
CDialog* GetActiveDialog();   // innermost, or null
