#include "platform/Controls.h"

void CEdit::SetSel(int, int, BOOL) {}

BOOL CEdit::SetReadOnly(BOOL readOnly) {
    if (!IsWindow(m_hWnd)) return FALSE;
    if (readOnly) {
        m_hWnd->style |= CTL_READONLY;
    } else {
        m_hWnd->style &= ~CTL_READONLY;
    }
    return TRUE;
}

BOOL CEdit::IsReadOnly() const { return IsWindow(m_hWnd) && (m_hWnd->style & CTL_READONLY) != 0; }

void CEdit::SetLimitText(UINT maxBytes) {
    if (IsWindow(m_hWnd)) m_hWnd->limitText = static_cast<int>(maxBytes);
}

UINT CEdit::GetLimitText() const { return IsWindow(m_hWnd) ? static_cast<UINT>(m_hWnd->limitText) : 0; }

int CButton::GetCheck() const { return IsWindow(m_hWnd) ? m_hWnd->check : BST_UNCHECKED; }

void CButton::SetCheck(int check) {
    if (IsWindow(m_hWnd)) m_hWnd->check = check;
}
