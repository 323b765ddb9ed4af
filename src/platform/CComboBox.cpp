#include "platform/CComboBox.h"

int CComboBox::AddString(const char* text) { return ListAddString(m_hWnd, text); }
int CComboBox::InsertString(int index, const char* text) { return ListInsertString(m_hWnd, index, text); }
int CComboBox::DeleteString(UINT index) { return ListDeleteString(m_hWnd, static_cast<int>(index)); }
void CComboBox::ResetContent() { ListResetContent(m_hWnd); }
int CComboBox::GetCount() const { return ListGetCount(m_hWnd); }
int CComboBox::GetCurSel() const { return ListGetCurSel(m_hWnd); }
int CComboBox::SetCurSel(int select) { return ListSetCurSel(m_hWnd, select); }
int CComboBox::GetLBText(int index, CString& text) const { return ListGetText(m_hWnd, index, text); }
int CComboBox::GetLBTextLen(int index) const { return ListGetTextLen(m_hWnd, index); }
int CComboBox::FindString(int startAfter, const char* prefix) const {
    return ListFindString(m_hWnd, startAfter, prefix);
}
int CComboBox::FindStringExact(int startAfter, const char* text) const {
    return ListFindStringExact(m_hWnd, startAfter, text);
}
int CComboBox::SelectString(int startAfter, const char* prefix) {
    return ListSelectString(m_hWnd, startAfter, prefix);
}

int CComboBox::SetItemData(int index, DWORD data) {
    if (ListGetTextLen(m_hWnd, index) == CB_ERR) return CB_ERR;
    m_hWnd->itemData[static_cast<size_t>(index)] = data;
    return 0;
}

DWORD CComboBox::GetItemData(int index) const {
    if (ListGetTextLen(m_hWnd, index) == CB_ERR) return 0;
    return m_hWnd->itemData[static_cast<size_t>(index)];
}

BOOL CComboBox::LimitText(int maxBytes) {
    if (!IsWindow(m_hWnd) || m_hWnd->kind != WindowKind::DropDown) return FALSE;
    m_hWnd->limitText = maxBytes < 0 ? 0 : maxBytes;
    return TRUE;
}
