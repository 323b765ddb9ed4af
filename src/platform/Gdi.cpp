#include "platform/Gdi.h"

#include <unordered_map>
#include <unordered_set>

namespace {

std::unordered_map<GdiObjectState*, std::unique_ptr<GdiObjectState>>& Objects() {
    static std::unordered_map<GdiObjectState*, std::unique_ptr<GdiObjectState>> objects;
    return objects;
}

HGDIOBJ Add(std::unique_ptr<GdiObjectState> state) {
    HGDIOBJ h = state.get();
    Objects().emplace(h, std::move(state));
    return h;
}

GdiObjectState* MakeStock(GdiObjectState::Kind kind, int style, COLORREF color) {
    auto state = std::make_unique<GdiObjectState>();
    state->kind = kind;
    state->style = style;
    state->color = color;
    state->stock = true;
    return static_cast<GdiObjectState*>(Add(std::move(state)));
}

const char* PenStyleName(int style) {
    switch (style) {
    case PS_SOLID: return "solid";
    case PS_DASH: return "dash";
    case PS_DOT: return "dot";
    case PS_DASHDOT: return "dashdot";
    case PS_DASHDOTDOT: return "dashdotdot";
    case PS_NULL: return "null";
    default: return "style?";
    }
}

}  // namespace

GdiObjectState::GdiObjectState() = default;

GdiObjectState::~GdiObjectState() {
    if (wrapper) wrapper->m_hObject = nullptr;
    if (owner) owner->m_hObject = nullptr;
}

HPEN CreatePen(int style, int width, COLORREF color) {
    auto state = std::make_unique<GdiObjectState>();
    state->kind = GdiObjectState::Kind::Pen;
    state->style = style;
    state->width = width;
    state->color = color;
    return Add(std::move(state));
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto state = std::make_unique<GdiObjectState>();
    state->kind = GdiObjectState::Kind::Brush;
    state->style = BS_SOLID;
    state->color = color;
    return Add(std::move(state));
}

HGDIOBJ GetStockObject(int index) {
    using Kind = GdiObjectState::Kind;
    static GdiObjectState* const whiteBrush = MakeStock(Kind::Brush, BS_SOLID, 0xFFFFFF);
    static GdiObjectState* const blackBrush = MakeStock(Kind::Brush, BS_SOLID, 0x000000);
    static GdiObjectState* const nullBrush = MakeStock(Kind::Brush, BS_NULL, 0);
    static GdiObjectState* const whitePen = MakeStock(Kind::Pen, PS_SOLID, 0xFFFFFF);
    static GdiObjectState* const blackPen = MakeStock(Kind::Pen, PS_SOLID, 0x000000);
    static GdiObjectState* const nullPen = MakeStock(Kind::Pen, PS_NULL, 0);
    switch (index) {
    case WHITE_BRUSH: return whiteBrush;
    case BLACK_BRUSH: return blackBrush;
    case NULL_BRUSH: return nullBrush;
    case WHITE_PEN: return whitePen;
    case BLACK_PEN: return blackPen;
    case NULL_PEN: return nullPen;
    default: return nullptr;
    }
}

bool IsGdiObject(HGDIOBJ object) { return object != nullptr && Objects().count(object) != 0; }

BOOL DeleteObject(HGDIOBJ object) {
    if (!IsGdiObject(object) || object->stock) return FALSE;
    if (object->selectedCount > 0) {
        object->deletePending = true;
        return TRUE;
    }
    Objects().erase(object);
    return TRUE;
}

void AcquireSelectedGdiObject(HGDIOBJ object) {
    if (IsGdiObject(object)) ++object->selectedCount;
}

void ReleaseSelectedGdiObject(HGDIOBJ object) {
    if (!IsGdiObject(object)) return;
    if (object->selectedCount > 0) --object->selectedCount;
    if (object->selectedCount == 0 && object->deletePending) Objects().erase(object);
}

CString DescribeGdiObject(HGDIOBJ object) {
    if (!IsGdiObject(object)) return "none";
    if (object->kind == GdiObjectState::Kind::Pen) {
        return CString::Formatted("pen %s %d 0x%06X", PenStyleName(object->style), object->width,
                                  static_cast<unsigned>(object->color));
    }
    if (object->style == BS_NULL) return "brush null";
    return CString::Formatted("brush solid 0x%06X", static_cast<unsigned>(object->color));
}

CGdiObject::~CGdiObject() {
    if (IsGdiObject(m_hObject) && m_hObject->owner == this) {
        m_hObject->owner = nullptr;
        ::DeleteObject(m_hObject);
    }
}

BOOL CGdiObject::DeleteObject() {
    if (!IsGdiObject(m_hObject)) return FALSE;
    HGDIOBJ h = m_hObject;
    if (h->owner == this) h->owner = nullptr;
    m_hObject = nullptr;
    return ::DeleteObject(h);
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (m_hObject || !IsGdiObject(object) || object->owner) return FALSE;
    m_hObject = object;
    object->owner = this;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ h = m_hObject;
    if (IsGdiObject(h) && h->owner == this) h->owner = nullptr;
    m_hObject = nullptr;
    return h;
}

CGdiObject* CGdiObject::FromHandle(HGDIOBJ object) {
    if (!IsGdiObject(object)) return nullptr;
    if (object->owner) return object->owner;
    if (!object->wrapper) {
        if (object->kind == GdiObjectState::Kind::Pen) {
            object->wrapper = std::make_unique<CPen>();
        } else {
            object->wrapper = std::make_unique<CBrush>();
        }
        object->wrapper->m_hObject = object;
    }
    return object->wrapper.get();
}

BOOL CPen::CreatePen(int style, int width, COLORREF color) {
    if (m_hObject) return FALSE;
    return Attach(::CreatePen(style, width, color));
}

namespace {
// The owner when it is of the wanted class, else the handle's permanent wrapper.
template <typename T>
T* TypedFromHandle(HGDIOBJ object) {
    if (auto* typed = dynamic_cast<T*>(object->owner)) return typed;
    if (!object->wrapper) {
        object->wrapper = std::make_unique<T>();
        object->wrapper->m_hObject = object;
    }
    return dynamic_cast<T*>(object->wrapper.get());
}
}  // namespace

CPen* CPen::FromHandle(HPEN pen) {
    if (!IsGdiObject(pen) || pen->kind != GdiObjectState::Kind::Pen) return nullptr;
    return TypedFromHandle<CPen>(pen);
}

BOOL CBrush::CreateSolidBrush(COLORREF color) {
    if (m_hObject) return FALSE;
    return Attach(::CreateSolidBrush(color));
}

CBrush* CBrush::FromHandle(HBRUSH brush) {
    if (!IsGdiObject(brush) || brush->kind != GdiObjectState::Kind::Brush) return nullptr;
    return TypedFromHandle<CBrush>(brush);
}

CPen* CDC::SelectObject(CPen* pen) { return CPen::FromHandle(DoSelectObject(pen ? pen->m_hObject : nullptr)); }

CBrush* CDC::SelectObject(CBrush* brush) {
    return CBrush::FromHandle(DoSelectObject(brush ? brush->m_hObject : nullptr));
}

CGdiObject* CDC::SelectStockObject(int index) { return CGdiObject::FromHandle(DoSelectObject(GetStockObject(index))); }
