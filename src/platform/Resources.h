#pragma once
// Dialog templates and menus as data. A library registers its resources when
// it is loaded; dialogs and LoadMenu find them by id. Texts are written in
// UTF-8 in the source and stored in GBK, as everything in memory is.
//
//   RegisterDialogTemplate({.id = 5002, .caption = "变压器详细参数", .width = 300, .height = 200,
//       .controls = {
//           {.id = 5005, .kind = ControlKind::Edit, .caption = "型号："},
//           {.id = 5023, .kind = ControlKind::DropList, .items = {"移动变电站", "动力变压器"}},
//           {.id = IDOK, .kind = ControlKind::DefPushButton, .caption = "确定"},
//       }});
//
// The caption of an edit or combo is its label (kept for dumps; the edit's
// text starts empty). Position and size are in dialog units; zero sizes get
// a default for the kind, and controls without position are stacked.
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/Window.h"

using ControlKind = WindowKind;

struct ControlTemplate {
    UINT id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    std::string caption{};                // UTF-8
    DWORD style = 0;                      // CTL_ flags of Window.h
    std::vector<std::string> items{};     // UTF-8; combo and list boxes only
    int x = 0, y = 0, w = 0, h = 0;       // dialog units
    std::string className{};              // custom controls
};

// Every member has a default initializer, so designated initializers may
// leave any of them out without a missing-initializer warning.
struct DialogTemplate {
    UINT id = 0;
    std::string caption{};                // UTF-8
    int width = 0, height = 0;            // dialog units
    std::vector<ControlTemplate> controls{};
};

struct MenuItemTemplate {
    UINT id = 0;                          // 0 = separator
    std::string caption{};                // UTF-8
    UINT flags = 0;                       // MF_GRAYED, MF_CHECKED
};

struct MenuPopupTemplate {
    std::string caption{};                // UTF-8
    std::vector<MenuItemTemplate> items{};
};

struct MenuTemplate {
    UINT id = 0;
    std::vector<MenuPopupTemplate> popups{};
};

// Stored forms (GBK texts, sizes resolved).
struct ControlResource {
    UINT id = IDC_STATIC;
    ControlKind kind = ControlKind::Static;
    CString caption;
    DWORD style = 0;
    std::vector<CString> items;
    CRect rect;                           // dialog units
    CString className;
};

struct DialogResource {
    UINT id = 0;
    CString caption;
    int width = 0, height = 0;
    std::vector<ControlResource> controls;
};

struct MenuItemResource {
    UINT id = 0;
    CString caption;
    UINT flags = 0;
};

struct MenuPopupResource {
    CString caption;
    std::vector<MenuItemResource> items;
};

struct MenuResource {
    UINT id = 0;
    std::vector<MenuPopupResource> popups;
};

// Throw PlatformError naming the resource and the control or item for: an id
// already registered, id 0, a control id used twice (IDC_STATIC excepted),
// items on a control that holds none, text that is not valid UTF-8 or has a
// character GBK lacks.
void RegisterDialogTemplate(const DialogTemplate& tmpl);

// Dialog units to pixels for a font whose average character is `baseUnitX`
// pixels wide and `baseUnitY` pixels high: a horizontal unit is a quarter of
// the average width, a vertical one an eighth of the height, rounded to the
// nearest pixel as the platform's MulDiv does. A screen adapter lays out a
// template with its real font this way; the headless dialogs use the fixed
// scale of kDluToPixelX / kDluToPixelY.
int DialogUnitsToPixelsX(int units, int baseUnitX);
int DialogUnitsToPixelsY(int units, int baseUnitY);
CRect DialogUnitsToPixels(const CRect& units, int baseUnitX, int baseUnitY);
// The template control with that id (IDC_STATIC matches the first label), or null.
const ControlResource* FindControlResource(const DialogResource& dialog, UINT controlId);
void RegisterMenu(const MenuTemplate& tmpl);
bool UnregisterDialogTemplate(UINT id);
bool UnregisterMenu(UINT id);
const DialogResource* FindDialogResource(UINT id);   // null when unknown
const MenuResource* FindMenuResource(UINT id);
std::vector<UINT> GetRegisteredDialogIds();
std::vector<UINT> GetRegisteredMenuIds();

// Registers resources for the lifetime of the object, typically a static
// object of a library: errors are reported as platform diagnostics (no
// exception escapes a library's load), and the destructor unregisters what
// was registered, so a library can be unloaded and loaded again.
class ResourceRegistration {
public:
    ResourceRegistration(std::vector<DialogTemplate> dialogs, std::vector<MenuTemplate> menus = {});
    ~ResourceRegistration();
    ResourceRegistration(const ResourceRegistration&) = delete;
    ResourceRegistration& operator=(const ResourceRegistration&) = delete;
    bool ok() const { return m_errors.empty(); }
    const std::vector<CString>& errors() const { return m_errors; }

private:
    std::vector<UINT> m_dialogIds;
    std::vector<UINT> m_menuIds;
    std::vector<CString> m_errors;
};
