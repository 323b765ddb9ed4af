#pragma once
// The window class of our class library. A CWnd is a C++ object that may be
// attached to a window state (see Window.h); while attached, messages sent
// to the window pass through its message map. Controls of a dialog that no
// C++ object claims get a permanent wrapper of their kind's class (CEdit,
// CComboBox, ...) from FromHandle / GetDlgItem, which lives as long as the
// window does: never keep such a pointer past the dialog's end.
#include "platform/CString.h"
#include "platform/MessageMap.h"
#include "platform/Window.h"

class CDataExchange;
class CDC;

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    // Destroys the window when this object created it; otherwise detaches.
    ~CWnd() override;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }  // NOLINT

    // The attached object, else the window's permanent wrapper (of the class
    // matching its kind); null for a null or destroyed handle.
    static CWnd* FromHandle(HWND hWnd);
    // The attached object only.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Attaching fails (FALSE) when the window is gone or another object is attached.
    BOOL Attach(HWND hWnd);
    HWND Detach();
    // Attaches this object to the dialog control `id` of `pParent`.
    BOOL SubclassDlgItem(UINT id, CWnd* pParent);
    BOOL SubclassWindow(HWND hWnd) { return Attach(hWnd); }
    HWND UnsubclassWindow() { return Detach(); }

    // Creates a plain child or top-level window attached to this object
    // (hosts and tests use it for windows that are no dialog controls).
    BOOL Create(WindowKind kind, const char* text, DWORD style, const CRect& rect, CWnd* pParent, UINT id);
    virtual BOOL DestroyWindow();

    // --- attributes --------------------------------------------------------
    CWnd* GetDlgItem(int id) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    void SetWindowText(const char* text);
    void GetWindowText(CString& text) const;
    CString GetWindowText() const;
    int GetWindowTextLength() const;
    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL ShowWindow(int cmdShow);
    BOOL IsWindowVisible() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    DWORD GetStyle() const;
    void GetWindowRect(LPRECT rect) const;   // screen coordinates
    void GetClientRect(LPRECT rect) const;   // (0, 0, width, height)
    void ClientToScreen(LPPOINT point) const;
    void ScreenToClient(LPPOINT point) const;
    void ClientToScreen(LPRECT rect) const;
    void ScreenToClient(LPRECT rect) const;

    // --- dialog-item helpers (work on any parent window) --------------------
    void SetDlgItemText(int id, const char* text);
    int GetDlgItemText(int id, CString& text) const;   // returns the length
    void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE);
    UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const;
    void CheckDlgButton(int id, UINT check);
    UINT IsDlgButtonChecked(int id) const;
    // Checks `checkId` and unchecks the other buttons with ids first..last.
    void CheckRadioButton(int firstId, int lastId, int checkId);
    // Moves the focus to a control (EN_KILLFOCUS etc. fire as for a user).
    void GotoDlgCtrl(CWnd* control);

    // --- messages ----------------------------------------------------------
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Posted messages are delivered at once: the headless platform has no queue.
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Shows a message box through the current message service (Services.h).
    // A null caption is recorded as an empty caption.
    int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK) const;

    // Dispatch: the map first, then DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // --- data exchange -----------------------------------------------------
    // Loads the controls from the members (FALSE) or saves and validates them
    // into the members (TRUE). FALSE when a value failed to parse.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    virtual void DoDataExchange(CDataExchange* pDX);

    // Default handlers the message-map macros may bind (like the original,
    // they are not virtual: the map decides which one runs).
    int OnCreate(LPCREATESTRUCT createStruct);
    void OnDestroy();
    HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnRButtonDown(UINT nFlags, CPoint point);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

protected:
    // The message being handled, for Default().
    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
    };
    CurrentMessage m_currentMessage;
    // Runs the default processing of the message being handled.
    LRESULT Default();

    DECLARE_MESSAGE_MAP()
};
