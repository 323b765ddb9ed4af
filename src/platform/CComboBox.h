#pragma once
// Combo box: a drop list (WindowKind::DropList, no edit field) or a drop-down
// with an edit field (WindowKind::DropDown). The window text is the edit
// field of a drop-down and the selected item's text of a drop list. Program
// calls never notify the parent; only the user's actions do (UserActions.h).
#include "platform/CWnd.h"

class CComboBox : public CWnd {
public:
    CComboBox() = default;

    int AddString(const char* text);                   // sorted style: inserted in byte order
    int InsertString(int index, const char* text);     // -1 = at the end
    int DeleteString(UINT index);                      // remaining count, CB_ERR when out of range
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int select);                         // -1 clears; out of range: cleared, CB_ERR
    int GetLBText(int index, CString& text) const;     // length, CB_ERR when out of range
    int GetLBTextLen(int index) const;
    int FindString(int startAfter, const char* prefix) const;
    int FindStringExact(int startAfter, const char* text) const;
    int SelectString(int startAfter, const char* prefix);
    int SetItemData(int index, DWORD data);
    DWORD GetItemData(int index) const;               // 0 when out of range
    BOOL LimitText(int maxBytes);
};
