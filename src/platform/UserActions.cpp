#include "platform/UserActions.h"

#include <algorithm>
#include <functional>

#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/MessageMap.h"
#include "platform/RecordingDC.h"
#include "platform/Services.h"

namespace {

CString IdText(UINT id) { return id == IDC_STATIC ? CString("-") : CString::Formatted("%u", id); }

// "control 5046 (button "整定高压头")" for error texts.
CString Describe(HWND h) {
    CString caption = h->label.IsEmpty() ? h->text : h->label;
    CString text = "control " + IdText(h->id) + " (" + WindowKindName(h->kind);
    if (!caption.IsEmpty()) text += " \"" + caption + "\"";
    return text + ")";
}

CString DescribeDialog(HWND h) {
    if (!IsWindow(h)) return "no dialog";
    return CString::Formatted("dialog %u \"", h->id) + h->text + "\"";
}

// Runs the notifications of an action; whatever a handler throws becomes the action's error.
ActionResult Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& e) {
        return ActionResult::Failure(CString("a handler failed: ") + e.what());
    } catch (...) {
        return ActionResult::Failure("a handler failed with an exception of unknown type");
    }
    return ActionResult::Success();
}

bool IsListKind(WindowKind kind) { return IsComboKind(kind) || kind == WindowKind::ListBox; }

bool Focusable(WindowKind kind) {
    switch (kind) {
    case WindowKind::Static:
    case WindowKind::GroupBox:
    case WindowKind::Dialog:
    case WindowKind::Generic: return false;
    default: return true;
    }
}

CString CutToLimit(HWND h, const CString& text) {
    if (h->limitText <= 0 || text.GetLength() <= h->limitText) return text;
    return CString(CutGbk(text.view(), static_cast<size_t>(h->limitText)));
}

int FindExactBytes(HWND h, const CString& text) {
    for (size_t i = 0; i < h->items.size(); ++i) {
        if (h->items[i] == text) return static_cast<int>(i);
    }
    return -1;
}

CString JoinItems(const std::vector<CString>& items) {
    CString joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) joined += "|";
        joined += items[i];
    }
    return joined;
}

// The radio buttons of the group `h` belongs to: from the nearest control
// at or before it that starts a group up to the next one that does.
std::vector<HWND> RadioGroup(HWND h) {
    std::vector<HWND> group;
    if (!h->parent) return {h};
    auto& siblings = h->parent->children;
    size_t pos = 0;
    while (pos < siblings.size() && siblings[pos].get() != h) ++pos;
    size_t start = pos;
    while (start > 0 && !(siblings[start]->style & CTL_GROUP)) --start;
    for (size_t k = start; k < siblings.size(); ++k) {
        if (k > start && (siblings[k]->style & CTL_GROUP)) break;
        if (siblings[k]->kind == WindowKind::RadioButton) group.push_back(siblings[k].get());
    }
    return group;
}

CString StripAmpersand(const CString& text) {
    CString copy = text;
    copy.Replace("&", "");
    return copy;
}

const MenuState::Item* FindMenuCommand(const MenuState* menu, UINT id) {
    for (const auto& item : menu->items) {
        if (item.popup) {
            if (const auto* found = FindMenuCommand(item.popup.get(), id)) return found;
        } else if (item.id == id && id != 0) {
            return &item;
        }
    }
    return nullptr;
}

const MenuState::Item* FindMenuCaption(const MenuState* menu, const CString& caption) {
    for (const auto& item : menu->items) {
        if (item.popup) {
            if (const auto* found = FindMenuCaption(item.popup.get(), caption)) return found;
        } else if (item.id != 0 && (item.caption == caption || StripAmpersand(item.caption) == caption)) {
            return &item;
        }
    }
    return nullptr;
}

void ListCommands(const MenuState* menu, CString& out) {
    for (const auto& item : menu->items) {
        if (item.popup) {
            ListCommands(item.popup.get(), out);
        } else if (item.id != 0) {
            if (!out.IsEmpty()) out += " | ";
            out += CString::Formatted("%u ", item.id) + item.caption;
            if (item.flags & (MF_GRAYED | MF_DISABLED)) out += " (grayed)";
        }
    }
}

}  // namespace

DialogDriver::DialogDriver(CWnd& dialog) : DialogDriver(dialog.GetSafeHwnd()) {}
DialogDriver::DialogDriver(HWND dialog) : m_hDlg(dialog), m_serial(IsWindow(dialog) ? dialog->serial : 0) {}

DialogDriver DialogDriver::Active() {
    CDialog* active = GetActiveDialog();
    return DialogDriver(active ? active->GetSafeHwnd() : nullptr);
}

bool DialogDriver::IsOpen() const { return IsWindow(m_hDlg) && m_hDlg->serial == m_serial; }

HWND DialogDriver::Item(int id) const { return IsOpen() ? ::GetDlgItem(m_hDlg, id) : nullptr; }

ActionResult DialogDriver::CheckDialog() const {
    if (!IsOpen()) return ActionResult::Failure("the dialog is not open");
    CDialog* active = GetActiveDialog();
    if (active && active->GetSafeHwnd() != m_hDlg) {
        return ActionResult::Failure(DescribeDialog(m_hDlg) + " cannot be used while " +
                                     DescribeDialog(active->GetSafeHwnd()) + " is open over it");
    }
    if (!m_hDlg->enabled) return ActionResult::Failure(DescribeDialog(m_hDlg) + " is disabled");
    return ActionResult::Success();
}

ActionResult DialogDriver::FindControl(int id, HWND& control, bool needEnabled) const {
    control = nullptr;
    if (ActionResult r = CheckDialog(); !r) return r;
    HWND h = Item(id);
    if (!h) return ActionResult::Failure(DescribeDialog(m_hDlg) + CString::Formatted(" has no control %d", id));
    if (!IsWindowVisible(h)) return ActionResult::Failure(Describe(h) + " is hidden");
    if (needEnabled && !h->enabled) return ActionResult::Failure(Describe(h) + " is disabled");
    control = h;
    return ActionResult::Success();
}

ActionResult DialogDriver::FocusForClick(HWND control) {
    // A click anywhere closes a pop-up menu that is still open.
    DismissPopupMenu();
    if (::GetFocus() == control) return ActionResult::Success();
    HWND before = ::GetFocus();
    ActionResult r = Guarded([&] { ::SetFocus(control); });
    if (!r) return r;
    if (!IsWindow(control) || !IsOpen()) return ActionResult::Failure("the control went away while the focus moved");
    if (::GetFocus() != control) {
        HWND now = ::GetFocus();
        return ActionResult::Failure("the click on " + Describe(control) + " did not happen: when " +
                                     (IsWindow(before) ? Describe(before) : CString("nothing")) +
                                     " lost the focus, its handler moved the focus to " +
                                     (now ? Describe(now) : CString("nothing")));
    }
    if (!control->enabled || !IsWindowVisible(control)) {
        return ActionResult::Failure("the click on " + Describe(control) +
                                     " did not happen: a focus handler disabled or hid it");
    }
    return ActionResult::Success();
}

ActionResult DialogDriver::SetText(int id, const CString& text) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (IsComboKind(h->kind)) return TypeComboText(id, text);
    if (h->kind != WindowKind::Edit) return ActionResult::Failure(Describe(h) + " is no edit; text cannot be typed into it");
    if (h->style & CTL_READONLY) return ActionResult::Failure(Describe(h) + " is read-only");
    if (ActionResult r = FocusForClick(h); !r) return r;
    return Guarded([&] {
        h->text = CutToLimit(h, text);
        NotifyParent(h, EN_CHANGE);
    });
}

ActionResult DialogDriver::TypeComboText(int id, const CString& text) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (h->kind != WindowKind::DropDown) {
        return ActionResult::Failure(Describe(h) + " has no edit field; choose one of its rows instead");
    }
    if (ActionResult r = FocusForClick(h); !r) return r;
    return Guarded([&] {
        h->text = CutToLimit(h, text);
        h->curSel = FindExactBytes(h, h->text);
        NotifyParent(h, CBN_EDITCHANGE);
    });
}

ActionResult DialogDriver::SelectIndex(int id, int index) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (!IsListKind(h->kind)) return ActionResult::Failure(Describe(h) + " has no rows to select");
    const int count = static_cast<int>(h->items.size());
    if (index < 0 || index >= count) {
        return ActionResult::Failure(Describe(h) + CString::Formatted(" has no row %d (it has %d rows)", index, count));
    }
    if (ActionResult r = FocusForClick(h); !r) return r;
    return Guarded([&] {
        if (index >= static_cast<int>(h->items.size())) return;   // a focus handler refilled it
        ListSetCurSel(h, index);
        NotifyParent(h, IsComboKind(h->kind) ? CBN_SELCHANGE : LBN_SELCHANGE);
    });
}

ActionResult DialogDriver::SelectText(int id, const CString& text) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (!IsListKind(h->kind)) return ActionResult::Failure(Describe(h) + " has no rows to select");
    const int index = FindExactBytes(h, text);
    if (index < 0) {
        return ActionResult::Failure(Describe(h) + " has no row \"" + text + "\"; its rows are [" +
                                     JoinItems(h->items) + "]");
    }
    return SelectIndex(id, index);
}

ActionResult DialogDriver::Click(int id) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (!IsButtonKind(h->kind)) return ActionResult::Failure(Describe(h) + " is no button");
    if (ActionResult r = FocusForClick(h); !r) return r;
    return Guarded([&] {
        if (h->kind == WindowKind::CheckBox) {
            if (h->style & CTL_3STATE) {
                h->check = (h->check + 1) % 3;
            } else {
                h->check = h->check == BST_UNCHECKED ? BST_CHECKED : BST_UNCHECKED;
            }
        } else if (h->kind == WindowKind::RadioButton) {
            for (HWND other : RadioGroup(h)) other->check = BST_UNCHECKED;
            h->check = BST_CHECKED;
        }
        NotifyParent(h, BN_CLICKED);
    });
}

ActionResult DialogDriver::SetCheck(int id, int check) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (h->kind == WindowKind::RadioButton) {
        if (check == BST_UNCHECKED) {
            return ActionResult::Failure(Describe(h) +
                                         " cannot be unchecked by clicking it; click another button of its group");
        }
        return h->check == BST_CHECKED ? ActionResult::Success() : Click(id);
    }
    if (h->kind != WindowKind::CheckBox) return ActionResult::Failure(Describe(h) + " is no check box");
    const int states = (h->style & CTL_3STATE) ? 3 : 2;
    if (check < 0 || check >= states) {
        return ActionResult::Failure(Describe(h) + CString::Formatted(" has no check state %d", check));
    }
    for (int n = 0; n < states && h->check != check; ++n) {
        if (ActionResult r = Click(id); !r) return r;
        if (!IsWindow(h)) break;
    }
    return ActionResult::Success();
}

ActionResult DialogDriver::DoubleClickRow(int id, int index) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (h->kind != WindowKind::ListBox) return ActionResult::Failure(Describe(h) + " is no list box");
    if (ActionResult r = SelectIndex(id, index); !r) return r;
    if (!IsWindow(h) || ListGetCurSel(h) != index) return ActionResult::Success();
    return Guarded([&] { NotifyParent(h, LBN_DBLCLK); });
}

ActionResult DialogDriver::Focus(int id) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (!Focusable(h->kind)) return ActionResult::Failure(Describe(h) + " cannot take the focus");
    return FocusForClick(h);
}

ActionResult DialogDriver::Blur(int id) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (!Focusable(h->kind)) return ActionResult::Failure(Describe(h) + " cannot take the focus");
    if (::GetFocus() != h) {
        if (ActionResult r = FocusForClick(h); !r) return r;
    }
    return Guarded([&] {
        if (::GetFocus() == h) ::SetFocus(nullptr);
    });
}

namespace {
ActionResult RightClickAt(HWND h, CPoint client) {
    DismissPopupMenu();
    const CPoint screen = ClientToScreen(h, client);
    return Guarded([&] {
        SendMessage(h, WM_RBUTTONDOWN, MK_RBUTTON, PointToLParam(client.x, client.y));
        if (IsWindow(h)) {
            SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), PointToLParam(screen.x, screen.y));
        }
    });
}
}  // namespace

ActionResult DialogDriver::RightClickRow(int id, int row) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (h->kind != WindowKind::ListBox) return ActionResult::Failure(Describe(h) + " is no list box");
    const int count = static_cast<int>(h->items.size());
    if (row < 0 || row >= count) {
        return ActionResult::Failure(Describe(h) + CString::Formatted(" has no row %d (it has %d rows)", row, count));
    }
    const int visibleRows = std::max(1, h->rect.Height() / kListRowHeight);
    // The user scrolls the row into view first.
    if (row < h->topIndex || row >= h->topIndex + visibleRows) h->topIndex = row;
    const CPoint client(std::min(4, std::max(0, h->rect.Width() - 1)),
                        (row - h->topIndex) * kListRowHeight + kListRowHeight / 2);
    return RightClickAt(h, client);
}

ActionResult DialogDriver::RightClickBelowRows(int id) {
    HWND h = nullptr;
    if (ActionResult r = FindControl(id, h); !r) return r;
    if (h->kind != WindowKind::ListBox) return ActionResult::Failure(Describe(h) + " is no list box");
    const int count = static_cast<int>(h->items.size());
    const int shownRows = std::max(0, count - h->topIndex);
    const int y = shownRows * kListRowHeight + kListRowHeight / 2;
    if (y >= h->rect.Height()) {
        return ActionResult::Failure(Describe(h) + CString::Formatted(" has no empty space below its %d rows", count));
    }
    return RightClickAt(h, CPoint(std::min(4, std::max(0, h->rect.Width() - 1)), y));
}

ActionResult DialogDriver::PressOk() {
    if (ActionResult r = CheckDialog(); !r) return r;
    HWND button = Item(IDOK);
    if (button) return Click(IDOK);
    // No OK button: the Enter key still sends IDOK.
    DismissPopupMenu();
    return Guarded([&] { SendMessage(m_hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); });
}

ActionResult DialogDriver::PressCancel() {
    if (ActionResult r = CheckDialog(); !r) return r;
    // Escape sends IDCANCEL without moving the focus, so a focus-loss check
    // of the control being edited cannot keep the user in the dialog (a click
    // on the Cancel button is `Click(IDCANCEL)`).
    DismissPopupMenu();
    return Guarded([&] { SendMessage(m_hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
}

// --- queries -------------------------------------------------------------------

bool DialogDriver::Exists(int id) const { return Item(id) != nullptr; }

std::optional<WindowKind> DialogDriver::Kind(int id) const {
    HWND h = Item(id);
    if (!h) return std::nullopt;
    return h->kind;
}

std::optional<CString> DialogDriver::Text(int id) const {
    HWND h = Item(id);
    if (!h) return std::nullopt;
    return GetWindowText(h);
}

std::optional<bool> DialogDriver::IsEnabled(int id) const {
    HWND h = Item(id);
    if (!h) return std::nullopt;
    return h->enabled;
}

std::optional<bool> DialogDriver::IsVisible(int id) const {
    HWND h = Item(id);
    if (!h) return std::nullopt;
    return IsWindowVisible(h) != FALSE;
}

std::optional<std::vector<CString>> DialogDriver::Items(int id) const {
    HWND h = Item(id);
    if (!h || !IsListKind(h->kind)) return std::nullopt;
    return h->items;
}

std::optional<int> DialogDriver::SelectedIndex(int id) const {
    HWND h = Item(id);
    if (!h || !IsListKind(h->kind)) return std::nullopt;
    return h->curSel;
}

std::optional<CString> DialogDriver::SelectedText(int id) const {
    HWND h = Item(id);
    if (!h || !IsListKind(h->kind)) return std::nullopt;
    CString text;
    if (h->curSel >= 0) ListGetText(h, h->curSel, text);
    return text;
}

std::optional<int> DialogDriver::CheckState(int id) const {
    HWND h = Item(id);
    if (!h || !IsButtonKind(h->kind)) return std::nullopt;
    return h->check;
}

std::optional<int> DialogDriver::FocusedId() const {
    HWND f = ::GetFocus();
    if (!f || f->parent != m_hDlg || !IsOpen()) return std::nullopt;
    return static_cast<int>(f->id);
}

CString DialogDriver::Caption() const { return IsOpen() ? m_hDlg->text : CString(); }

std::vector<CString> DialogDriver::DumpLines() const {
    std::vector<CString> lines;
    if (!IsOpen()) return lines;
    for (const auto& child : m_hDlg->children) {
        const WindowState& c = *child;
        CString line = IdText(c.id) + " " + WindowKindName(c.kind);
        const bool labelled = c.kind == WindowKind::Edit || IsListKind(c.kind);
        const CString& caption = labelled ? c.label : c.text;
        if (!caption.IsEmpty()) line += " \"" + caption + "\"";
        if (c.kind == WindowKind::Edit || IsComboKind(c.kind)) line += " text=\"" + c.text + "\"";
        if (!c.enabled) line += " disabled";
        if (!c.visible) line += " hidden";
        if ((c.style & CTL_READONLY) && c.kind == WindowKind::Edit) line += " readonly";
        if (c.kind == WindowKind::CheckBox || c.kind == WindowKind::RadioButton) {
            line += c.check == BST_CHECKED ? " checked" : c.check == BST_INDETERMINATE ? " indeterminate" : " unchecked";
        }
        if (IsListKind(c.kind)) line += CString::Formatted(" items=[") + JoinItems(c.items) + CString::Formatted("] sel=%d", c.curSel);
        if (::GetFocus() == child.get()) line += " focus";
        lines.push_back(line);
    }
    return lines;
}

CString DialogDriver::Dump() const {
    CString text = DescribeDialog(m_hDlg);
    for (const CString& line : DumpLines()) text += "\n" + line;
    return text;
}

std::optional<ControlColorInfo> DialogDriver::QueryControlColor(int id) const {
    HWND h = Item(id);
    if (!h) return std::nullopt;
    UINT kind = CTLCOLOR_STATIC;
    switch (h->kind) {
    case WindowKind::Edit:
        kind = (h->style & CTL_READONLY) || !h->enabled ? CTLCOLOR_STATIC : CTLCOLOR_EDIT;
        break;
    case WindowKind::DropDown:
    case WindowKind::DropList: kind = CTLCOLOR_EDIT; break;
    case WindowKind::ListBox: kind = CTLCOLOR_LISTBOX; break;
    case WindowKind::PushButton:
    case WindowKind::DefPushButton: kind = CTLCOLOR_BTN; break;
    default: kind = CTLCOLOR_STATIC; break;
    }
    CRecordingDC dc;
    CtlColorParams params;
    params.pDC = &dc;
    params.pWnd = CWnd::FromHandle(h);
    params.nCtlColor = kind;
    ControlColorInfo info;
    CWnd* dialog = CWnd::FromHandlePermanent(m_hDlg);
    info.handled = dialog && dialog->FindMessageEntry(WM_CTLCOLOR, 0, 0) != nullptr;
    info.brush = reinterpret_cast<HBRUSH>(SendMessage(m_hDlg, WM_CTLCOLOR, kind, reinterpret_cast<LPARAM>(&params)));
    if (IsGdiObject(info.brush) && info.brush->kind == GdiObjectState::Kind::Brush && info.brush->style == BS_SOLID) {
        info.brushKnown = true;
        info.brushColor = info.brush->color;
    }
    info.textColor = dc.GetTextColor();
    info.bkColor = dc.GetBkColor();
    info.bkMode = dc.GetBkMode();
    info.calls = dc.Lines();
    info.textColorSet = std::any_of(info.calls.begin(), info.calls.end(),
                                    [](const std::string& l) { return l.rfind("textcolor", 0) == 0; });
    return info;
}

// --- menus -----------------------------------------------------------------------

namespace {
ActionResult Deliver(const PopupMenuRecord& shown, const MenuState::Item* item) {
    if (item->flags & (MF_GRAYED | MF_DISABLED)) {
        return ActionResult::Failure(CString::Formatted("menu command %u (", item->id) + item->caption + ") is grayed");
    }
    const HWND owner = shown.owner;
    const UINT id = item->id;
    DismissPopupMenu();
    ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnMenuCommand(owner, id); });
    return Guarded([&] { SendMessage(owner, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), 0), 0); });
}
}  // namespace

ActionResult ChooseMenuCommand(UINT commandId) {
    const PopupMenuRecord* shown = GetShownPopupMenu();
    if (!shown) return ActionResult::Failure("no menu is shown");
    const MenuState::Item* item = FindMenuCommand(shown->menu, commandId);
    if (!item) {
        CString offered;
        ListCommands(shown->menu, offered);
        return ActionResult::Failure(CString::Formatted("the menu shown has no command %u; it offers: ", commandId) +
                                     offered);
    }
    return Deliver(*shown, item);
}

ActionResult ChooseMenuItem(const CString& caption) {
    const PopupMenuRecord* shown = GetShownPopupMenu();
    if (!shown) return ActionResult::Failure("no menu is shown");
    const MenuState::Item* item = FindMenuCaption(shown->menu, caption);
    if (!item) {
        CString offered;
        ListCommands(shown->menu, offered);
        return ActionResult::Failure("the menu shown has no item \"" + caption + "\"; it offers: " + offered);
    }
    return Deliver(*shown, item);
}

ActionResult DismissMenu() {
    if (!GetShownPopupMenu()) return ActionResult::Failure("no menu is shown");
    DismissPopupMenu();
    return ActionResult::Success();
}

CString DescribeShownMenu() {
    const PopupMenuRecord* shown = GetShownPopupMenu();
    if (!shown) return CString();
    CString commands;
    ListCommands(shown->menu, commands);
    const UINT ownerId = shown->owner->id;
    return CString::Formatted("menu %u owner %u: ", shown->menu->resourceId, ownerId) + commands;
}
