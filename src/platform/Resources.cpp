#include "platform/Resources.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/Gbk.h"
#include "platform/PlatformError.h"

namespace {

std::map<UINT, DialogResource>& Dialogs() {
    static std::map<UINT, DialogResource> dialogs;
    return dialogs;
}

std::map<UINT, MenuResource>& Menus() {
    static std::map<UINT, MenuResource> menus;
    return menus;
}

CString Convert(const std::string& utf8, const std::string& where) {
    std::string gbk;
    size_t offset = 0;
    if (!TryUtf8ToGbk(utf8, gbk, &offset)) {
        throw PlatformError(where + ": text is not valid UTF-8 or holds a character GBK lacks (byte " +
                            std::to_string(offset) + ")");
    }
    return CString(std::move(gbk));
}

bool HoldsItems(ControlKind kind) {
    return kind == ControlKind::DropList || kind == ControlKind::DropDown || kind == ControlKind::ListBox;
}

// Sizes of controls whose template gives none, dialog units.
void DefaultSize(ControlKind kind, int& w, int& h) {
    switch (kind) {
    case ControlKind::ListBox: w = 120; h = 80; break;
    case ControlKind::GroupBox: w = 150; h = 60; break;
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: w = 50; h = 14; break;
    case ControlKind::Static: w = 80; h = 10; break;
    case ControlKind::Custom: w = 150; h = 80; break;
    default: w = 80; h = 14; break;
    }
}

std::string DialogWhere(UINT id) { return "dialog template " + std::to_string(id); }

}  // namespace

void RegisterDialogTemplate(const DialogTemplate& tmpl) {
    const std::string where = DialogWhere(tmpl.id);
    if (tmpl.id == 0) throw PlatformError("dialog template with id 0");
    if (Dialogs().count(tmpl.id)) throw PlatformError(where + " is already registered");
    DialogResource res;
    res.id = tmpl.id;
    res.caption = Convert(tmpl.caption, where + ", caption");
    std::set<UINT> ids;
    int nextY = 7;
    int maxRight = 0, maxBottom = 0;
    for (size_t i = 0; i < tmpl.controls.size(); ++i) {
        const ControlTemplate& c = tmpl.controls[i];
        const std::string cwhere = where + ", control #" + std::to_string(i + 1) + " (id " + std::to_string(c.id) + ")";
        if (c.id == 0) throw PlatformError(cwhere + ": control id 0");
        if (c.id != IDC_STATIC && !ids.insert(c.id).second) throw PlatformError(cwhere + ": id used twice");
        if (!c.items.empty() && !HoldsItems(c.kind)) {
            throw PlatformError(cwhere + ": only combo and list boxes hold items");
        }
        ControlResource cr;
        cr.id = c.id;
        cr.kind = c.kind;
        cr.caption = Convert(c.caption, cwhere + ", caption");
        cr.style = c.style;
        cr.className = Convert(c.className, cwhere + ", class name");
        for (size_t k = 0; k < c.items.size(); ++k) {
            cr.items.push_back(Convert(c.items[k], cwhere + ", item " + std::to_string(k)));
        }
        int w = c.w, h = c.h;
        int dw = 0, dh = 0;
        DefaultSize(c.kind, dw, dh);
        if (w <= 0) w = dw;
        if (h <= 0) h = dh;
        int x = c.x, y = c.y;
        if (x == 0 && y == 0) {
            // No position: stack the controls down the left edge.
            x = 7;
            y = nextY;
        }
        nextY = std::max(nextY, y + h + 3);
        cr.rect = CRect(x, y, x + w, y + h);
        maxRight = std::max(maxRight, x + w);
        maxBottom = std::max(maxBottom, y + h);
        res.controls.push_back(std::move(cr));
    }
    res.width = tmpl.width > 0 ? tmpl.width : maxRight + 7;
    res.height = tmpl.height > 0 ? tmpl.height : maxBottom + 7;
    Dialogs().emplace(res.id, std::move(res));
}

void RegisterMenu(const MenuTemplate& tmpl) {
    const std::string where = "menu " + std::to_string(tmpl.id);
    if (tmpl.id == 0) throw PlatformError("menu with id 0");
    if (Menus().count(tmpl.id)) throw PlatformError(where + " is already registered");
    MenuResource res;
    res.id = tmpl.id;
    for (size_t p = 0; p < tmpl.popups.size(); ++p) {
        const std::string pwhere = where + ", pop-up " + std::to_string(p);
        MenuPopupResource popup;
        popup.caption = Convert(tmpl.popups[p].caption, pwhere + ", caption");
        for (size_t k = 0; k < tmpl.popups[p].items.size(); ++k) {
            const MenuItemTemplate& item = tmpl.popups[p].items[k];
            popup.items.push_back(
                {item.id, Convert(item.caption, pwhere + ", item " + std::to_string(k)), item.flags});
        }
        res.popups.push_back(std::move(popup));
    }
    Menus().emplace(res.id, std::move(res));
}

bool UnregisterDialogTemplate(UINT id) { return Dialogs().erase(id) != 0; }
bool UnregisterMenu(UINT id) { return Menus().erase(id) != 0; }

const DialogResource* FindDialogResource(UINT id) {
    const auto it = Dialogs().find(id);
    return it == Dialogs().end() ? nullptr : &it->second;
}

const MenuResource* FindMenuResource(UINT id) {
    const auto it = Menus().find(id);
    return it == Menus().end() ? nullptr : &it->second;
}

std::vector<UINT> GetRegisteredDialogIds() {
    std::vector<UINT> ids;
    for (const auto& entry : Dialogs()) ids.push_back(entry.first);
    return ids;
}

std::vector<UINT> GetRegisteredMenuIds() {
    std::vector<UINT> ids;
    for (const auto& entry : Menus()) ids.push_back(entry.first);
    return ids;
}

ResourceRegistration::ResourceRegistration(std::vector<DialogTemplate> dialogs, std::vector<MenuTemplate> menus) {
    for (const DialogTemplate& d : dialogs) {
        try {
            RegisterDialogTemplate(d);
            m_dialogIds.push_back(d.id);
        } catch (const std::exception& e) {
            m_errors.emplace_back(e.what());
            ReportPlatformDiagnostic(e.what());
        }
    }
    for (const MenuTemplate& m : menus) {
        try {
            RegisterMenu(m);
            m_menuIds.push_back(m.id);
        } catch (const std::exception& e) {
            m_errors.emplace_back(e.what());
            ReportPlatformDiagnostic(e.what());
        }
    }
}

ResourceRegistration::~ResourceRegistration() {
    for (UINT id : m_dialogIds) UnregisterDialogTemplate(id);
    for (UINT id : m_menuIds) UnregisterMenu(id);
}

namespace {
// MulDiv(value, numerator, denominator) with rounding half away from zero.
int ScaleRounded(int value, int numerator, int denominator) {
    if (denominator == 0) return 0;
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}
}  // namespace

int DialogUnitsToPixelsX(int units, int baseUnitX) { return ScaleRounded(units, baseUnitX, 4); }
int DialogUnitsToPixelsY(int units, int baseUnitY) { return ScaleRounded(units, baseUnitY, 8); }

CRect DialogUnitsToPixels(const CRect& units, int baseUnitX, int baseUnitY) {
    return CRect(DialogUnitsToPixelsX(units.left, baseUnitX), DialogUnitsToPixelsY(units.top, baseUnitY),
                 DialogUnitsToPixelsX(units.right, baseUnitX), DialogUnitsToPixelsY(units.bottom, baseUnitY));
}

const ControlResource* FindControlResource(const DialogResource& dialog, UINT controlId) {
    for (const ControlResource& c : dialog.controls) {
        if (c.id == controlId) return &c;
    }
    return nullptr;
}
