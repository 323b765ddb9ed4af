#pragma once
// What a user can do to a dialog, in one place, for tests, the session script
// engine and a GUI alike. Every action fires exactly the notifications the
// real user's action would, including the focus changes a mouse click
// causes: clicking into a control first moves the focus to it, so the
// control that had the focus gets its EN_KILLFOCUS / CBN_KILLFOCUS.
//
// An action refuses, returning an error text and changing nothing, when its
// dialog is not the innermost open dialog, the control is missing, disabled,
// hidden or of the wrong kind, or the row does not exist. Exceptions thrown by
// handlers are caught and returned as errors too. All texts are GBK.
#include <optional>
#include <vector>

#include "platform/CDialog.h"
#include "platform/CString.h"

struct ActionResult {
    CString error;   // empty on success
    bool ok() const { return error.IsEmpty(); }
    explicit operator bool() const { return ok(); }
    static ActionResult Success() { return {}; }
    static ActionResult Failure(const CString& text) { return ActionResult{text}; }
};

// What a dialog answers to WM_CTLCOLOR for one control.
struct ControlColorInfo {
    bool handled = false;           // the dialog's map has an OnCtlColor
    HBRUSH brush = nullptr;         // as returned (may be null)
    bool brushKnown = false;        // brush was a live solid brush
    COLORREF brushColor = 0;
    COLORREF textColor = 0;         // the context's text colour after the call
    bool textColorSet = false;
    COLORREF bkColor = 0;
    int bkMode = OPAQUE;
    std::vector<std::string> calls; // what the handler did to the context
};

class DialogDriver {
public:
    // Drives this dialog window (normally a running CDialog).
    explicit DialogDriver(CWnd& dialog);
    explicit DialogDriver(HWND dialog);
    // The innermost open dialog's driver; its window is null when none is open.
    static DialogDriver Active();

    HWND GetHwnd() const { return IsOpen() ? m_hDlg : nullptr; }
    bool IsOpen() const;

    // --- actions -----------------------------------------------------------
    // Edit: focus, replace the text, EN_CHANGE. Drop-down combo: as TypeComboText.
    ActionResult SetText(int id, const CString& text);
    // Drop-down combo: focus, replace the edit field, CBN_EDITCHANGE. The
    // selection is cleared unless the text equals an item exactly.
    ActionResult TypeComboText(int id, const CString& text);
    // Combo or list box row: focus, select, CBN_SELCHANGE / LBN_SELCHANGE.
    ActionResult SelectIndex(int id, int index);
    ActionResult SelectText(int id, const CString& text);   // the row whose text is equal
    // Any button: focus, then push button BN_CLICKED (IDOK / IDCANCEL reach
    // OnOK / OnCancel through the map); check box toggles (3-state cycles)
    // then BN_CLICKED; radio checks itself, unchecks its group, BN_CLICKED.
    ActionResult Click(int id);
    // Check box: clicks until the state is reached; radio: clicks when
    // unchecked (a radio cannot be unchecked by the user).
    ActionResult SetCheck(int id, int check);
    // List box (or combo) row: select → LBN_SELCHANGE, then LBN_DBLCLK.
    ActionResult DoubleClickRow(int id, int index);
    // Focus moves to the control / away from it (EN_KILLFOCUS, CBN_KILLFOCUS).
    ActionResult Focus(int id);
    ActionResult Blur(int id);
    // Right click over a row (scrolled into view) or below the rows: the
    // control gets WM_RBUTTONDOWN and then WM_CONTEXTMENU with the screen
    // point; without a handler the message goes on to the dialog.
    ActionResult RightClickRow(int id, int row);
    ActionResult RightClickBelowRows(int id);
    // Enter: the OK button (refused when it is disabled or hidden);
    // Escape: IDCANCEL, which always reaches OnCancel.
    ActionResult PressOk();
    ActionResult PressCancel();

    // --- queries (nullopt / empty when the control is missing) --------------
    bool Exists(int id) const;
    std::optional<WindowKind> Kind(int id) const;
    std::optional<CString> Text(int id) const;
    std::optional<bool> IsEnabled(int id) const;
    std::optional<bool> IsVisible(int id) const;
    std::optional<std::vector<CString>> Items(int id) const;
    std::optional<int> SelectedIndex(int id) const;
    std::optional<CString> SelectedText(int id) const;   // "" when nothing is selected
    std::optional<int> CheckState(int id) const;
    std::optional<int> FocusedId() const;
    CString Caption() const;
    // One line per control, in template order:
    // 5003 droplist "caption" text="6000" [disabled] [hidden] [checked] items=[a|b|c] sel=1
    std::vector<CString> DumpLines() const;
    CString Dump() const;   // the lines joined with '\n'

    // Asks the dialog the colour of a control (calls OnCtlColor with a recording context).
    std::optional<ControlColorInfo> QueryControlColor(int id) const;

private:
    HWND Item(int id) const;   // null when the dialog is gone
    ActionResult CheckDialog() const;
    ActionResult FindControl(int id, HWND& control, bool needEnabled = true) const;
    ActionResult FocusForClick(HWND control);
    HWND m_hDlg = nullptr;
    unsigned long long m_serial = 0;
};

// The menu just shown (Menu.h): choose a command by id or caption. The
// command goes as WM_COMMAND(id, 0) to the menu's owner window. Refused when
// no menu is shown, the owner is gone, the item is absent, grayed or a pop-up.
ActionResult ChooseMenuCommand(UINT commandId);
ActionResult ChooseMenuItem(const CString& caption);
ActionResult DismissMenu();
// "menu 5008 owner 5005: 32772 查看详细参数 | 32773 查看库存 | ..." or "" when none.
CString DescribeShownMenu();
