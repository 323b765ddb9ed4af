#pragma once
// The model list box of the setting dialogs. A right click over a model row
// selects it (quietly: the owner's selection handler does not run) and shows
// the context menu the owner handed over; the menu's commands come back to
// the list box and are passed on to the owner window, which keeps the
// catalogue ids of the rows. The last row is the owner's "无适用设备" (no
// model) row and gets no menu.
#include "module/ModuleResources.h"
#include "platform/CListBox.h"

// Registers the detail dialog's and the stock view's templates (5002, 5006)
// and the model lists' menu 5008 unless they are registered already. The
// module does it when loaded; the classes that use them call it again when
// constructed, so a copy of the code linked into a test finds them too.
JDMODULE_API void EnsureParaStockResources();

class JDMODULE_API CMyListBox : public CListBox {
public:
    CMyListBox();
    ~CMyListBox() override;

    // Both set by the owner dialog: the pop-up shown on right click (when its
    // window is created) and the window the commands go to (at the end of its
    // OnInitDialog). The list box owns neither.
    HMENU m_hMenu = nullptr;
    HWND m_hOwner = nullptr;

protected:
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg void OnMenuCommand(UINT nID);
    DECLARE_MESSAGE_MAP()
};
