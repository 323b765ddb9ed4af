#include "platform/Menu.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "platform/CWnd.h"
#include "platform/PlatformError.h"
#include "platform/Resources.h"
#include "platform/Services.h"

namespace {

// Loaded menus own their pop-ups; every handle of the tree is live.
std::unordered_map<MenuState*, std::unique_ptr<MenuState>>& RootMenus() {
    static std::unordered_map<MenuState*, std::unique_ptr<MenuState>> roots;
    return roots;
}

std::unordered_set<const MenuState*>& LiveMenus() {
    static std::unordered_set<const MenuState*> live;
    return live;
}

std::optional<PopupMenuRecord>& ShownMenu() {
    static std::optional<PopupMenuRecord> shown;
    return shown;
}

void MarkLive(MenuState* menu, bool live) {
    if (live) {
        LiveMenus().insert(menu);
    } else {
        LiveMenus().erase(menu);
    }
    for (auto& item : menu->items) {
        if (item.popup) MarkLive(item.popup.get(), live);
    }
}

HMENU AddRoot(std::unique_ptr<MenuState> menu) {
    HMENU h = menu.get();
    MarkLive(h, true);
    RootMenus().emplace(h, std::move(menu));
    return h;
}

// The item `item` of a menu, by command id (searching pop-ups too) or by position.
MenuState::Item* FindItem(HMENU menu, UINT item, UINT flags) {
    if (!IsMenu(menu)) return nullptr;
    if (flags & MF_BYPOSITION) {
        return item < menu->items.size() ? &menu->items[item] : nullptr;
    }
    for (auto& entry : menu->items) {
        if (entry.popup) {
            if (MenuState::Item* found = FindItem(entry.popup.get(), item, flags)) return found;
        } else if (entry.id == item && item != 0) {
            return &entry;
        }
    }
    return nullptr;
}

}  // namespace

MenuState::MenuState() = default;

MenuState::~MenuState() {
    if (wrapper) wrapper->m_hMenu = nullptr;
}

HMENU LoadMenu(UINT id) {
    const MenuResource* res = FindMenuResource(id);
    if (!res) {
        ReportPlatformDiagnostic(CString::Formatted("menu %u: no such menu is registered", id));
        return nullptr;
    }
    auto root = std::make_unique<MenuState>();
    root->resourceId = id;
    for (const MenuPopupResource& p : res->popups) {
        MenuState::Item popupItem;
        popupItem.caption = p.caption;
        popupItem.popup = std::make_unique<MenuState>();
        popupItem.popup->resourceId = id;
        popupItem.popup->parent = root.get();
        for (const MenuItemResource& i : p.items) {
            MenuState::Item entry;
            entry.id = i.id;
            entry.caption = i.caption;
            entry.flags = i.flags;
            popupItem.popup->items.push_back(std::move(entry));
        }
        root->items.push_back(std::move(popupItem));
    }
    return AddRoot(std::move(root));
}

HMENU CreatePopupMenu() { return AddRoot(std::make_unique<MenuState>()); }

BOOL AppendMenu(HMENU menu, UINT flags, UINT id, const char* caption) {
    if (!IsMenu(menu)) return FALSE;
    MenuState::Item entry;
    entry.id = id;
    entry.caption = CString(caption);
    entry.flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    menu->items.push_back(std::move(entry));
    return TRUE;
}

HMENU GetSubMenu(HMENU menu, int position) {
    if (!IsMenu(menu) || position < 0 || position >= static_cast<int>(menu->items.size())) return nullptr;
    return menu->items[static_cast<size_t>(position)].popup.get();
}

int GetMenuItemCount(HMENU menu) { return IsMenu(menu) ? static_cast<int>(menu->items.size()) : -1; }

UINT GetMenuItemID(HMENU menu, int position) {
    if (!IsMenu(menu) || position < 0 || position >= static_cast<int>(menu->items.size())) {
        return static_cast<UINT>(-1);
    }
    const auto& item = menu->items[static_cast<size_t>(position)];
    return item.popup ? static_cast<UINT>(-1) : item.id;
}

int GetMenuString(HMENU menu, UINT item, CString& text, UINT flags) {
    const MenuState::Item* entry = FindItem(menu, item, flags);
    if (!entry) {
        text.Empty();
        return 0;
    }
    text = entry->caption;
    return text.GetLength();
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
    MenuState::Item* entry = FindItem(menu, item, enable & MF_BYPOSITION);
    if (!entry) return static_cast<UINT>(-1);
    const UINT previous = entry->flags & (MF_GRAYED | MF_DISABLED);
    entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    const MenuState::Item* entry = FindItem(menu, item, flags);
    if (!entry) return static_cast<UINT>(-1);
    return entry->flags | (entry->popup ? MF_POPUP : 0);
}

BOOL DestroyMenu(HMENU menu) {
    if (!IsMenu(menu)) return FALSE;
    MenuState* root = menu;
    while (root->parent) root = root->parent;
    if (ShownMenu() && ShownMenu()->menu) {
        MenuState* shownRoot = ShownMenu()->menu;
        while (shownRoot->parent) shownRoot = shownRoot->parent;
        if (shownRoot == root) DismissPopupMenu();
    }
    MarkLive(root, false);
    RootMenus().erase(root);
    return TRUE;
}

BOOL IsMenu(HMENU menu) { return menu != nullptr && LiveMenus().count(menu) != 0; }

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, LPCRECT) {
    if (!IsMenu(menu) || !IsWindow(owner)) return FALSE;
    PopupMenuRecord record;
    record.menu = menu;
    record.owner = owner;
    record.point = CPoint(x, y);
    record.flags = flags;
    ShownMenu() = record;
    ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnMenuShown(record); });
    // With TPM_RETURNCMD the caller waits for the chosen id, which a headless
    // menu cannot give synchronously: the answer is "dismissed".
    return (flags & TPM_RETURNCMD) ? FALSE : TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, CWnd* owner) {
    return TrackPopupMenu(menu, flags, x, y, 0, owner ? owner->GetSafeHwnd() : nullptr, nullptr);
}

const PopupMenuRecord* GetShownPopupMenu() {
    auto& shown = ShownMenu();
    if (shown && (!IsMenu(shown->menu) || !IsWindow(shown->owner))) shown.reset();
    return shown ? &*shown : nullptr;
}

void DismissPopupMenu() { ShownMenu().reset(); }

// --- CMenu -------------------------------------------------------------------

CMenu::~CMenu() {
    if (m_owns && IsMenu(m_hMenu)) {
        HMENU h = m_hMenu;
        if (h->wrapper.get() != this) ::DestroyMenu(h);
    }
}

CMenu* CMenu::FromHandle(HMENU menu) {
    if (!IsMenu(menu)) return nullptr;
    if (!menu->wrapper) {
        menu->wrapper = std::make_unique<CMenu>();
        menu->wrapper->m_hMenu = menu;
    }
    return menu->wrapper.get();
}

BOOL CMenu::Attach(HMENU menu) {
    if (m_hMenu || !IsMenu(menu)) return FALSE;
    m_hMenu = menu;
    m_owns = true;
    return TRUE;
}

HMENU CMenu::Detach() {
    HMENU h = m_hMenu;
    m_hMenu = nullptr;
    m_owns = false;
    return h;
}

BOOL CMenu::LoadMenu(UINT id) {
    if (m_hMenu) return FALSE;
    HMENU h = ::LoadMenu(id);
    return h ? Attach(h) : FALSE;
}

BOOL CMenu::CreatePopupMenu() { return m_hMenu ? FALSE : Attach(::CreatePopupMenu()); }

BOOL CMenu::AppendMenu(UINT flags, UINT id, const char* caption) { return ::AppendMenu(m_hMenu, flags, id, caption); }

BOOL CMenu::DestroyMenu() {
    const BOOL done = ::DestroyMenu(m_hMenu);
    m_hMenu = nullptr;
    m_owns = false;
    return done;
}

CMenu* CMenu::GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }
int CMenu::GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
int CMenu::GetMenuString(UINT item, CString& text, UINT flags) const {
    return ::GetMenuString(m_hMenu, item, text, flags);
}
UINT CMenu::EnableMenuItem(UINT item, UINT enable) { return ::EnableMenuItem(m_hMenu, item, enable); }

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* owner, LPCRECT rect) {
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner ? owner->GetSafeHwnd() : nullptr, rect);
}
