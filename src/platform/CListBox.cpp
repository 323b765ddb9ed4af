#include "platform/CListBox.h"

#include <algorithm>

int CListBox::AddString(const char* text) { return ListAddString(m_hWnd, text); }
int CListBox::InsertString(int index, const char* text) { return ListInsertString(m_hWnd, index, text); }
int CListBox::DeleteString(UINT index) { return ListDeleteString(m_hWnd, static_cast<int>(index)); }
void CListBox::ResetContent() { ListResetContent(m_hWnd); }
int CListBox::GetCount() const { return ListGetCount(m_hWnd); }
int CListBox::GetCurSel() const { return ListGetCurSel(m_hWnd); }
int CListBox::SetCurSel(int select) { return ListSetCurSel(m_hWnd, select); }
int CListBox::GetText(int index, CString& text) const { return ListGetText(m_hWnd, index, text); }
int CListBox::GetTextLen(int index) const { return ListGetTextLen(m_hWnd, index); }
int CListBox::FindString(int startAfter, const char* prefix) const {
    return ListFindString(m_hWnd, startAfter, prefix);
}
int CListBox::FindStringExact(int startAfter, const char* text) const {
    return ListFindStringExact(m_hWnd, startAfter, text);
}
int CListBox::SelectString(int startAfter, const char* prefix) { return ListSelectString(m_hWnd, startAfter, prefix); }

int CListBox::SetItemData(int index, DWORD data) {
    if (ListGetTextLen(m_hWnd, index) == LB_ERR) return LB_ERR;
    m_hWnd->itemData[static_cast<size_t>(index)] = data;
    return 0;
}

DWORD CListBox::GetItemData(int index) const {
    if (ListGetTextLen(m_hWnd, index) == LB_ERR) return 0;
    return m_hWnd->itemData[static_cast<size_t>(index)];
}

int CListBox::GetTopIndex() const { return IsWindow(m_hWnd) ? m_hWnd->topIndex : LB_ERR; }

int CListBox::SetTopIndex(int index) {
    if (!IsWindow(m_hWnd)) return LB_ERR;
    const int count = GetCount();
    if (index < 0 || (count > 0 && index >= count) || (count == 0 && index != 0)) return LB_ERR;
    m_hWnd->topIndex = index;
    return 0;
}

int CListBox::GetItemHeight(int) const { return kListRowHeight; }

int CListBox::GetVisibleRowCount() const {
    if (!IsWindow(m_hWnd)) return 1;
    return std::max(1, m_hWnd->rect.Height() / kListRowHeight);
}

UINT CListBox::ItemFromPoint(CPoint clientPoint, BOOL& outside) const {
    outside = TRUE;
    if (!IsWindow(m_hWnd)) return 0;
    const int count = GetCount();
    if (count <= 0) return 0;
    const CRect client(0, 0, m_hWnd->rect.Width(), m_hWnd->rect.Height());
    // Nearest row to the point, clamped to the rows that exist.
    const int offsetRows = clientPoint.y < 0 ? -1 : clientPoint.y / kListRowHeight;
    const int row = std::clamp(m_hWnd->topIndex + offsetRows, 0, count - 1);
    const bool overRow = clientPoint.y >= 0 && m_hWnd->topIndex + offsetRows < count;
    outside = (client.PtInRect(clientPoint) && overRow) ? FALSE : TRUE;
    return static_cast<UINT>(row);
}

int CListBox::GetItemRect(int index, LPRECT rect) const {
    if (!rect || ListGetTextLen(m_hWnd, index) == LB_ERR) return LB_ERR;
    const int top = (index - m_hWnd->topIndex) * kListRowHeight;
    *rect = CRect(0, top, m_hWnd->rect.Width(), top + kListRowHeight);
    return 0;
}
