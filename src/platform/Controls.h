#pragma once
// The simple controls: label, edit, button. Each operates on its window
// state, so any object of these classes attached to a control (or handed out
// by GetDlgItem) reads and writes what the user sees.
#include "platform/CWnd.h"

class CStatic : public CWnd {
public:
    CStatic() = default;
};

class CEdit : public CWnd {
public:
    CEdit() = default;
    // Selection is not modelled beyond being accepted: the headless edit has no caret.
    void SetSel(int startChar, int endChar, BOOL noScroll = FALSE);
    BOOL SetReadOnly(BOOL readOnly = TRUE);
    BOOL IsReadOnly() const;
    // Maximum text length in bytes; 0 = no limit. Only the user's typing is cut.
    void SetLimitText(UINT maxBytes);
    void LimitText(int maxBytes = 0) { SetLimitText(static_cast<UINT>(maxBytes < 0 ? 0 : maxBytes)); }
    UINT GetLimitText() const;
};

class CButton : public CWnd {
public:
    CButton() = default;
    int GetCheck() const;          // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE
    void SetCheck(int check);      // no notification
};
