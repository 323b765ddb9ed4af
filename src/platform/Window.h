#pragma once
// The window model. A window handle (HWND) points at a WindowState owned by
// the platform layer: the dialog's state owns its controls' states, and a
// state lives from its creation until DestroyWindow. A C++ object (CWnd or a
// subclass) may be attached to a state; messages sent to the window then go
// through that object's message map first, and through the window kind's
// default behaviour (DefWindowProc) when the map has no entry.
//
// The free functions below are the platform's window API. CWnd and the
// control classes call them; so do the data exchange and the user actions,
// which must work whatever C++ object (if any) is attached to a control.
#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/WinDef.h"

class CWnd;

enum class WindowKind {
    Generic,        // a plain window (created by CWnd::Create, e.g. a host view)
    Dialog,
    Static,
    GroupBox,
    Edit,
    DropList,       // combo box without edit field
    DropDown,       // combo box with edit field
    ListBox,
    CheckBox,
    RadioButton,
    PushButton,
    DefPushButton,
    Custom,         // a control of a registered class drawn by its own code (e.g. a grid)
};

// Style flags of controls (templates and CreateWindowState).
inline constexpr DWORD CTL_READONLY = 0x0001;   // edit: the user cannot type
inline constexpr DWORD CTL_DISABLED = 0x0002;   // created disabled
inline constexpr DWORD CTL_HIDDEN = 0x0004;     // created hidden
inline constexpr DWORD CTL_SORTED = 0x0008;     // combo / list: items kept in byte order of their text
inline constexpr DWORD CTL_MULTILINE = 0x0010;  // edit
inline constexpr DWORD CTL_GROUP = 0x0020;      // starts a group (radio buttons: the group of DDX_Radio)
inline constexpr DWORD CTL_PASSWORD = 0x0040;   // edit
inline constexpr DWORD CTL_NUMBER = 0x0080;     // edit: digits only (not enforced for program writes)
inline constexpr DWORD CTL_3STATE = 0x0100;     // check box with an indeterminate state
inline constexpr DWORD CTL_TABSTOP = 0x0200;    // informational

// Pixels per dialog unit of our fixed, headless dialog font.
inline constexpr int kDluToPixelX = 2;
inline constexpr int kDluToPixelY = 2;
// Height of one list-box row, pixels.
inline constexpr int kListRowHeight = 16;

struct MessageRecord {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

struct WindowState {
    WindowState();
    ~WindowState();
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    // Unique over the process's life: tells a handle that outlived its window
    // from a new window that happens to get the same address.
    unsigned long long serial = 0;
    UINT id = 0;
    WindowKind kind = WindowKind::Generic;
    CString text;        // caption, edit text, or the edit field of a drop-down combo
    CString label;       // the template caption of edits, combos and lists (their label)
    CString className;   // custom controls
    DWORD style = 0;
    bool enabled = true;
    bool visible = true;
    CRect rect;          // pixels; in the parent's client coordinates, for top-level windows on the screen

    // Combo and list boxes.
    std::vector<CString> items;
    std::vector<DWORD> itemData;
    int curSel = -1;
    int topIndex = 0;
    int limitText = 0;   // edit / combo edit: 0 = no limit (bytes)

    // Buttons.
    int check = BST_UNCHECKED;

    HWND parent = nullptr;   // child windows: the window containing them
    HWND owner = nullptr;    // top-level windows: the window they belong to (a dialog's parent)
    std::vector<std::unique_ptr<WindowState>> children;  // in creation (tab) order

    CWnd* attached = nullptr;          // the C++ object whose map sees messages first
    std::unique_ptr<CWnd> wrapper;     // permanent wrapper handed out by FromHandle
    bool ownsAttached = false;         // the attached object created this window

    // Every message the window received (capped; oldest dropped) for tests and drivers.
    std::vector<MessageRecord> messages;
    bool destroying = false;
};

// --- lifetime --------------------------------------------------------------
// Creates a window. A child (parent set) is owned by its parent; a top-level
// window (parent null) lives until DestroyWindow. `owner` is for top-level windows.
HWND CreateWindowState(WindowKind kind, UINT id, const CString& text, DWORD style, const CRect& rect,
                       HWND parent, HWND owner = nullptr);
// Sends WM_DESTROY to the window and then to its children, detaches attached
// objects and frees the states. Focus inside the window is dropped silently.
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);

// --- messages --------------------------------------------------------------
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// The window kind's default behaviour: focus notifications of controls,
// WM_CONTEXTMENU passed to the parent, everything else ignored (0).
LRESULT DefWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sends WM_COMMAND(id, code) from a control to its parent.
void NotifyParent(HWND control, WORD code);

// --- tree and attributes ---------------------------------------------------
HWND GetDlgItem(HWND hDlg, int id);   // first child with that id; null when absent
int GetDlgCtrlID(HWND hWnd);
HWND GetParent(HWND hWnd);            // parent, or owner for top-level windows
BOOL EnableWindow(HWND hWnd, BOOL enable);  // returns TRUE when it was disabled before
BOOL IsWindowEnabled(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int cmdShow);    // returns TRUE when it was visible before
BOOL IsWindowVisible(HWND hWnd);            // the window and all its ancestors
// Edits fire EN_CHANGE (always, as on the platform); a drop list ignores the
// text; a drop-down combo sets its edit field without notification.
BOOL SetWindowText(HWND hWnd, const char* text);
CString GetWindowText(HWND hWnd);     // combo boxes: the edit field / the selected item
int GetWindowTextLength(HWND hWnd);

// Keyboard focus. Moving focus sends WM_KILLFOCUS to the old window and
// WM_SETFOCUS to the new one; edits, combos and lists pass these to their
// parent as EN_/CBN_/LBN_KILLFOCUS and _SETFOCUS notifications.
HWND SetFocus(HWND hWnd);
HWND GetFocus();

// Coordinates. The screen position of a window is its parents' offsets summed.
CRect GetWindowScreenRect(HWND hWnd);
CPoint ClientToScreen(HWND hWnd, CPoint p);
CPoint ScreenToClient(HWND hWnd, CPoint p);

// True for the kinds that hold a list of items.
bool IsComboKind(WindowKind kind);
bool IsButtonKind(WindowKind kind);
// "edit", "droplist", ... as used in dumps and error texts.
const char* WindowKindName(WindowKind kind);

// --- list contents (combo and list boxes) ----------------------------------
// Shared by CComboBox, CListBox, the data exchange and the user actions.
// Indexes out of range give CB_ERR / LB_ERR (-1). Searches compare bytes;
// prefix searches ignore ASCII case as the platform does.
int ListAddString(HWND h, const char* text);             // sorted style: inserted in order
int ListInsertString(HWND h, int index, const char* text);  // -1 = at the end, no sorting
int ListDeleteString(HWND h, int index);                 // returns the remaining count
void ListResetContent(HWND h);
int ListGetCount(HWND h);
int ListGetText(HWND h, int index, CString& text);       // returns the length or -1
int ListGetTextLen(HWND h, int index);
int ListFindString(HWND h, int startAfter, const char* prefix);
int ListFindStringExact(HWND h, int startAfter, const char* text);
int ListGetCurSel(HWND h);
// Program selection: never notifies. -1 clears. Returns -1 for an index out of
// range (the selection is then cleared, as the platform does).
int ListSetCurSel(HWND h, int index);
int ListSelectString(HWND h, int startAfter, const char* prefix);  // prefix match; selection unchanged on failure
