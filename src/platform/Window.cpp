#include "platform/Window.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/CComboBox.h"
#include "platform/CListBox.h"
#include "platform/Controls.h"
#include "platform/Menu.h"
#include "platform/PlatformError.h"

namespace {

// Every live window; a handle not in here is stale and every API refuses it.
std::unordered_set<const WindowState*>& LiveWindows() {
    static std::unordered_set<const WindowState*> live;
    return live;
}

// Top-level windows own themselves until DestroyWindow.
std::unordered_map<WindowState*, std::unique_ptr<WindowState>>& TopLevelWindows() {
    static std::unordered_map<WindowState*, std::unique_ptr<WindowState>> windows;
    return windows;
}

HWND g_focus = nullptr;
unsigned long long g_nextSerial = 1;
int g_focusDepth = 0;
constexpr size_t kMessageLogCap = 256;
// Focus handlers that move the focus back and forth (two edits each refusing
// to let go) would recurse forever on the real platform too; we stop here.
constexpr int kMaxFocusDepth = 8;

void RecordMessage(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
    if (h->messages.size() >= kMessageLogCap) h->messages.erase(h->messages.begin());
    h->messages.push_back({message, wParam, lParam});
}

bool IsInSubtree(HWND node, HWND root) {
    for (HWND p = node; p; p = p->parent) {
        if (p == root) return true;
    }
    return false;
}

void CollectSubtree(HWND h, std::vector<HWND>& out) {
    out.push_back(h);
    for (auto& child : h->children) CollectSubtree(child.get(), out);
}

bool ValidList(HWND h) {
    return IsWindow(h) && (IsComboKind(h->kind) || h->kind == WindowKind::ListBox);
}

bool ValidIndex(HWND h, int index) { return index >= 0 && index < static_cast<int>(h->items.size()); }

// The drop list shows the selected item as its text.
void SyncComboText(HWND h) {
    if (!IsComboKind(h->kind)) return;
    h->text = ValidIndex(h, h->curSel) ? h->items[static_cast<size_t>(h->curSel)] : CString();
}

int InsertAt(HWND h, int index, const char* text) {
    h->items.insert(h->items.begin() + index, CString(text));
    h->itemData.insert(h->itemData.begin() + index, 0);
    if (h->curSel >= index) ++h->curSel;
    return index;
}

}  // namespace

WindowState::WindowState() = default;

WindowState::~WindowState() {
    // The wrapper must not try to detach itself from a state being freed.
    if (wrapper) wrapper->m_hWnd = nullptr;
}

HWND CreateWindowState(WindowKind kind, UINT id, const CString& text, DWORD style, const CRect& rect, HWND parent,
                       HWND owner) {
    if (parent && !IsWindow(parent)) return nullptr;
    auto state = std::make_unique<WindowState>();
    HWND h = state.get();
    h->serial = g_nextSerial++;
    h->kind = kind;
    h->id = id;
    h->style = style;
    h->enabled = (style & CTL_DISABLED) == 0;
    h->visible = (style & CTL_HIDDEN) == 0;
    h->rect = rect;
    h->parent = parent;
    h->owner = parent ? nullptr : owner;
    if (kind != WindowKind::DropList) h->text = text;
    if (parent) {
        parent->children.push_back(std::move(state));
    } else {
        TopLevelWindows().emplace(h, std::move(state));
    }
    LiveWindows().insert(h);
    return h;
}

BOOL IsWindow(HWND hWnd) { return hWnd != nullptr && LiveWindows().count(hWnd) != 0; }

BOOL DestroyWindow(HWND hWnd) {
    if (!IsWindow(hWnd) || hWnd->destroying) return FALSE;
    std::vector<HWND> subtree;
    CollectSubtree(hWnd, subtree);
    for (HWND h : subtree) h->destroying = true;
    if (g_focus && IsInSubtree(g_focus, hWnd)) g_focus = nullptr;
    if (const PopupMenuRecord* menu = GetShownPopupMenu(); menu && IsWindow(menu->owner) &&
                                                          IsInSubtree(menu->owner, hWnd)) {
        DismissPopupMenu();
    }
    // The parent hears WM_DESTROY first, then its children, as on the platform.
    for (HWND h : subtree) {
        if (IsWindow(h)) SendMessage(h, WM_DESTROY, 0, 0);
    }
    // A WM_DESTROY handler may have created windows; they go too.
    subtree.clear();
    CollectSubtree(hWnd, subtree);
    for (HWND h : subtree) {
        if (h->attached) {
            h->attached->m_hWnd = nullptr;
            h->attached = nullptr;
        }
        LiveWindows().erase(h);
    }
    if (hWnd->parent) {
        auto& siblings = hWnd->parent->children;
        siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                      [hWnd](const std::unique_ptr<WindowState>& c) { return c.get() == hWnd; }),
                       siblings.end());
    } else {
        TopLevelWindows().erase(hWnd);
    }
    return TRUE;
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd)) return 0;
    RecordMessage(hWnd, message, wParam, lParam);
    if (hWnd->attached) return hWnd->attached->WindowProc(message, wParam, lParam);
    return DefWindowProc(hWnd, message, wParam, lParam);
}

LRESULT DefWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd)) return 0;
    switch (message) {
    case WM_CONTEXTMENU:
        // Unhandled right clicks travel up to the parent.
        if (hWnd->parent) return SendMessage(hWnd->parent, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (hWnd->parent) return SendMessage(hWnd->parent, WM_SETCURSOR, wParam, lParam);
        return FALSE;
    case WM_KILLFOCUS:
    case WM_SETFOCUS: {
        const bool kill = message == WM_KILLFOCUS;
        switch (hWnd->kind) {
        case WindowKind::Edit: NotifyParent(hWnd, kill ? EN_KILLFOCUS : EN_SETFOCUS); break;
        case WindowKind::DropList:
        case WindowKind::DropDown: NotifyParent(hWnd, kill ? CBN_KILLFOCUS : CBN_SETFOCUS); break;
        case WindowKind::ListBox: NotifyParent(hWnd, kill ? LBN_KILLFOCUS : LBN_SETFOCUS); break;
        default: break;
        }
        return 0;
    }
    default: return 0;
    }
}

void NotifyParent(HWND control, WORD code) {
    if (!IsWindow(control) || !control->parent) return;
    SendMessage(control->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(control->id), code),
                reinterpret_cast<LPARAM>(control));
}

HWND GetDlgItem(HWND hDlg, int id) {
    if (!IsWindow(hDlg)) return nullptr;
    for (auto& child : hDlg->children) {
        if (child->id == static_cast<UINT>(id)) return child.get();
    }
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) { return IsWindow(hWnd) ? static_cast<int>(hWnd->id) : 0; }

HWND GetParent(HWND hWnd) {
    if (!IsWindow(hWnd)) return nullptr;
    HWND p = hWnd->parent ? hWnd->parent : hWnd->owner;
    return IsWindow(p) ? p : nullptr;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
    if (!IsWindow(hWnd)) return FALSE;
    const BOOL wasDisabled = !hWnd->enabled;
    hWnd->enabled = enable != FALSE;
    // A disabled window cannot keep the keyboard focus.
    if (!hWnd->enabled && g_focus && IsInSubtree(g_focus, hWnd)) SetFocus(nullptr);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) { return IsWindow(hWnd) && hWnd->enabled; }

BOOL ShowWindow(HWND hWnd, int cmdShow) {
    if (!IsWindow(hWnd)) return FALSE;
    const BOOL wasVisible = hWnd->visible;
    hWnd->visible = cmdShow != SW_HIDE;
    if (!hWnd->visible && g_focus && IsInSubtree(g_focus, hWnd)) SetFocus(nullptr);
    return wasVisible;
}

BOOL IsWindowVisible(HWND hWnd) {
    if (!IsWindow(hWnd)) return FALSE;
    for (HWND p = hWnd; p; p = p->parent) {
        if (!p->visible) return FALSE;
    }
    return TRUE;
}

BOOL SetWindowText(HWND hWnd, const char* text) {
    if (!IsWindow(hWnd)) return FALSE;
    switch (hWnd->kind) {
    case WindowKind::DropList: return FALSE;   // its text is its selection
    case WindowKind::Edit:
        hWnd->text = CString(text);
        NotifyParent(hWnd, EN_CHANGE);
        return TRUE;
    default: hWnd->text = CString(text); return TRUE;
    }
}

CString GetWindowText(HWND hWnd) {
    if (!IsWindow(hWnd)) return CString();
    return hWnd->text;
}

int GetWindowTextLength(HWND hWnd) { return GetWindowText(hWnd).GetLength(); }

HWND SetFocus(HWND hWnd) {
    if (hWnd && (!IsWindow(hWnd) || !IsWindowEnabled(hWnd) || !IsWindowVisible(hWnd))) return nullptr;
    HWND old = g_focus;
    if (old == hWnd) return old;
    if (g_focusDepth >= kMaxFocusDepth) {
        ReportPlatformDiagnostic("focus changes nested too deeply (focus handlers moving the focus back and forth); "
                                 "the last change was ignored");
        return old;
    }
    ++g_focusDepth;
    g_focus = hWnd;
    if (IsWindow(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    // The handler of the focus loss may have moved the focus elsewhere.
    if (hWnd && g_focus == hWnd) SendMessage(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    --g_focusDepth;
    return IsWindow(old) ? old : nullptr;
}

HWND GetFocus() { return IsWindow(g_focus) ? g_focus : nullptr; }

CRect GetWindowScreenRect(HWND hWnd) {
    if (!IsWindow(hWnd)) return CRect();
    CRect r = hWnd->rect;
    for (HWND p = hWnd->parent; p; p = p->parent) r.OffsetRect(p->rect.left, p->rect.top);
    return r;
}

CPoint ClientToScreen(HWND hWnd, CPoint p) {
    const CRect r = GetWindowScreenRect(hWnd);
    return CPoint(p.x + r.left, p.y + r.top);
}

CPoint ScreenToClient(HWND hWnd, CPoint p) {
    const CRect r = GetWindowScreenRect(hWnd);
    return CPoint(p.x - r.left, p.y - r.top);
}

bool IsComboKind(WindowKind kind) { return kind == WindowKind::DropList || kind == WindowKind::DropDown; }

bool IsButtonKind(WindowKind kind) {
    return kind == WindowKind::PushButton || kind == WindowKind::DefPushButton || kind == WindowKind::CheckBox ||
           kind == WindowKind::RadioButton;
}

const char* WindowKindName(WindowKind kind) {
    switch (kind) {
    case WindowKind::Generic: return "window";
    case WindowKind::Dialog: return "dialog";
    case WindowKind::Static: return "static";
    case WindowKind::GroupBox: return "groupbox";
    case WindowKind::Edit: return "edit";
    case WindowKind::DropList: return "droplist";
    case WindowKind::DropDown: return "dropdown";
    case WindowKind::ListBox: return "listbox";
    case WindowKind::CheckBox: return "checkbox";
    case WindowKind::RadioButton: return "radio";
    case WindowKind::PushButton: return "button";
    case WindowKind::DefPushButton: return "defbutton";
    case WindowKind::Custom: return "custom";
    }
    return "?";
}

// --- list contents ---------------------------------------------------------

int ListAddString(HWND h, const char* text) {
    if (!ValidList(h)) return CB_ERR;
    const CString item(text);
    int index = static_cast<int>(h->items.size());
    if (h->style & CTL_SORTED) {
        // Byte order; equal texts go after the existing ones.
        const auto pos = std::upper_bound(h->items.begin(), h->items.end(), item,
                                          [](const CString& a, const CString& b) { return a.str() < b.str(); });
        index = static_cast<int>(pos - h->items.begin());
    }
    return InsertAt(h, index, text);
}

int ListInsertString(HWND h, int index, const char* text) {
    if (!ValidList(h)) return CB_ERR;
    const int count = static_cast<int>(h->items.size());
    if (index == -1) index = count;
    if (index < 0 || index > count) return CB_ERR;
    return InsertAt(h, index, text);
}

int ListDeleteString(HWND h, int index) {
    if (!ValidList(h) || !ValidIndex(h, index)) return CB_ERR;
    h->items.erase(h->items.begin() + index);
    h->itemData.erase(h->itemData.begin() + index);
    if (h->curSel == index) {
        h->curSel = -1;
        if (h->kind == WindowKind::DropList) h->text.Empty();
    } else if (h->curSel > index) {
        --h->curSel;
    }
    if (h->topIndex >= static_cast<int>(h->items.size())) h->topIndex = std::max(0, static_cast<int>(h->items.size()) - 1);
    return static_cast<int>(h->items.size());
}

void ListResetContent(HWND h) {
    if (!ValidList(h)) return;
    h->items.clear();
    h->itemData.clear();
    h->curSel = -1;
    h->topIndex = 0;
    if (IsComboKind(h->kind)) h->text.Empty();
}

int ListGetCount(HWND h) { return ValidList(h) ? static_cast<int>(h->items.size()) : CB_ERR; }

int ListGetText(HWND h, int index, CString& text) {
    if (!ValidList(h) || !ValidIndex(h, index)) return CB_ERR;
    text = h->items[static_cast<size_t>(index)];
    return text.GetLength();
}

int ListGetTextLen(HWND h, int index) {
    if (!ValidList(h) || !ValidIndex(h, index)) return CB_ERR;
    return h->items[static_cast<size_t>(index)].GetLength();
}

namespace {
template <typename Match>
int SearchFrom(HWND h, int startAfter, Match match) {
    const int count = static_cast<int>(h->items.size());
    if (count == 0) return CB_ERR;
    // The search starts after `startAfter` and wraps round to it, as on the platform.
    const int first = (startAfter < 0 || startAfter >= count) ? 0 : startAfter + 1;
    for (int n = 0; n < count; ++n) {
        const int i = (first + n) % count;
        if (match(h->items[static_cast<size_t>(i)])) return i;
    }
    return CB_ERR;
}
}  // namespace

int ListFindString(HWND h, int startAfter, const char* prefix) {
    if (!ValidList(h)) return CB_ERR;
    const std::string_view p(prefix ? prefix : "");
    return SearchFrom(h, startAfter, [&](const CString& item) { return HasPrefixNoCase(item.view(), p); });
}

int ListFindStringExact(HWND h, int startAfter, const char* text) {
    if (!ValidList(h)) return CB_ERR;
    return SearchFrom(h, startAfter, [&](const CString& item) { return item.CompareNoCase(text) == 0; });
}

int ListGetCurSel(HWND h) { return ValidList(h) ? h->curSel : CB_ERR; }

int ListSetCurSel(HWND h, int index) {
    if (!ValidList(h)) return CB_ERR;
    if (!ValidIndex(h, index)) {
        h->curSel = -1;
        SyncComboText(h);
        return CB_ERR;
    }
    h->curSel = index;
    SyncComboText(h);
    return index;
}

int ListSelectString(HWND h, int startAfter, const char* prefix) {
    const int index = ListFindString(h, startAfter, prefix);
    if (index == CB_ERR) return CB_ERR;
    return ListSetCurSel(h, index);
}
