#pragma once
// Single-selection list box. Rows are kListRowHeight pixels high from the
// top of the client area, starting at the top index, so a point maps to a
// row without any drawing.
#include "platform/CWnd.h"

class CListBox : public CWnd {
public:
    CListBox() = default;

    int AddString(const char* text);
    int InsertString(int index, const char* text);
    int DeleteString(UINT index);
    void ResetContent();
    int GetCount() const;
    int GetCurSel() const;
    int SetCurSel(int select);                          // -1 clears (and returns LB_ERR, as the platform does)
    int GetText(int index, CString& text) const;        // length, LB_ERR when out of range
    int GetTextLen(int index) const;
    int FindString(int startAfter, const char* prefix) const;
    int FindStringExact(int startAfter, const char* text) const;
    int SelectString(int startAfter, const char* prefix);
    int SetItemData(int index, DWORD data);
    DWORD GetItemData(int index) const;
    int GetTopIndex() const;
    int SetTopIndex(int index);
    int GetItemHeight(int index) const;
    // Number of rows the client area shows at once (at least 1).
    int GetVisibleRowCount() const;

    // The row under a client point. `outside` is TRUE when the point is over
    // no row (outside the client area or below the last row); the result is
    // then the nearest row (0 for an empty list).
    UINT ItemFromPoint(CPoint clientPoint, BOOL& outside) const;
    // Client rectangle of a row; LB_ERR for a row that does not exist.
    int GetItemRect(int index, LPRECT rect) const;
};
