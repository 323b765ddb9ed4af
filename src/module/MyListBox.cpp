#include "module/MyListBox.h"

#include "module/ModuleResources.h"
#include "platform/Menu.h"

BEGIN_MESSAGE_MAP(CMyListBox, CListBox)
    ON_WM_CONTEXTMENU()
    ON_COMMAND_RANGE(ID_MODEL_DETAILS, ID_MODEL_ADD, &CMyListBox::OnMenuCommand)
END_MESSAGE_MAP()

CMyListBox::CMyListBox() { EnsureParaStockResources(); }

CMyListBox::~CMyListBox() = default;

void CMyListBox::OnContextMenu(CWnd*, CPoint point) {
    CPoint client = point;
    ScreenToClient(&client);
    BOOL outside = TRUE;
    const int row = static_cast<int>(ItemFromPoint(client, outside));
    if (outside) {
        SetCurSel(-1);
        return;
    }
    SetCurSel(row);
    if (row >= 0 && row < GetCount() - 1 && m_hMenu) {
        ::TrackPopupMenu(m_hMenu, TPM_LEFTALIGN | TPM_LEFTBUTTON, point.x, point.y, this);
    }
}

void CMyListBox::OnMenuCommand(UINT nID) {
    if (m_hOwner) ::SendMessage(m_hOwner, WM_COMMAND, nID, 0);
}
