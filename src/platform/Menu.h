#pragma once
// Menus loaded from registered templates, and the headless pop-up menu.
//
// TrackPopupMenu does not wait for the user: it records the menu as "the
// menu just shown" together with its owner window and returns at once. A
// driver then chooses one of its commands (UserActions.h), which is sent as
// WM_COMMAND(id, 0) to the owner window, i.e. through the attached control
// object's map first. Showing another menu replaces the record; destroying
// the menu or the owner clears it.
#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/WinDef.h"

class CWnd;
class CMenu;

struct MenuState {
    MenuState();
    ~MenuState();
    MenuState(const MenuState&) = delete;
    MenuState& operator=(const MenuState&) = delete;

    struct Item {
        UINT id = 0;                 // 0 for separators and pop-ups
        CString caption;
        UINT flags = 0;              // MF_GRAYED, MF_DISABLED, MF_CHECKED
        std::unique_ptr<MenuState> popup;
    };
    UINT resourceId = 0;
    std::vector<Item> items;
    MenuState* parent = nullptr;
    std::unique_ptr<CMenu> wrapper;
};

HMENU LoadMenu(UINT id);                      // null (and a diagnostic) when not registered
HMENU CreatePopupMenu();
BOOL AppendMenu(HMENU menu, UINT flags, UINT id, const char* caption);
HMENU GetSubMenu(HMENU menu, int position);   // null when that item is no pop-up
int GetMenuItemCount(HMENU menu);             // -1 for an invalid handle
UINT GetMenuItemID(HMENU menu, int position); // (UINT)-1 for pop-ups and bad positions
int GetMenuString(HMENU menu, UINT item, CString& text, UINT flags);  // MF_BYCOMMAND / MF_BYPOSITION
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);             // previous state or (UINT)-1
UINT GetMenuState(HMENU menu, UINT item, UINT flags);                // flags or (UINT)-1
// Destroys the whole menu the handle belongs to (a pop-up taken with
// GetSubMenu frees its loaded menu, so no owner leaks it).
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// Headless: records the menu and returns TRUE (with TPM_RETURNCMD: 0, since
// no command can be chosen synchronously).
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, CWnd* owner);
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, LPCRECT rect);

struct PopupMenuRecord {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    CPoint point;       // screen
    UINT flags = 0;
};
// The menu just shown, or null when none is open.
const PopupMenuRecord* GetShownPopupMenu();
void DismissPopupMenu();

class CMenu {
public:
    CMenu() = default;
    ~CMenu();   // destroys a menu this object loaded or created
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    HMENU GetSafeHmenu() const { return m_hMenu; }
    operator HMENU() const { return m_hMenu; }  // NOLINT

    static CMenu* FromHandle(HMENU menu);   // permanent wrapper owned by the menu
    BOOL Attach(HMENU menu);
    HMENU Detach();
    BOOL LoadMenu(UINT id);
    BOOL CreatePopupMenu();
    BOOL AppendMenu(UINT flags, UINT id = 0, const char* caption = nullptr);
    BOOL DestroyMenu();
    CMenu* GetSubMenu(int position) const;
    int GetMenuItemCount() const;
    UINT GetMenuItemID(int position) const;
    int GetMenuString(UINT item, CString& text, UINT flags) const;
    UINT EnableMenuItem(UINT item, UINT enable);
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect = nullptr);

private:
    bool m_owns = false;
};
