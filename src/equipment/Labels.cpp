// Labels the library puts on the symbols it knows: a mobile substation shows
// its model, its name and, once they are set, the switches of its heads.
#include <string>

#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "host/MapDocument.h"

namespace {

// Placements of the kernel's label codes the library uses.
constexpr LONG kPlacementAbove = 0;  // the designation, over the symbol
constexpr LONG kPlacementBelow = 8;  // the name, under it
constexpr LONG kPlacementBeside = 9; // the head switches, beside it

// Style of the name label: the smaller text of the drawing's name labels.
constexpr int kNameLabelStyle = 1;

bool SetText(LONG handle, LONG index, const CString& text) {
    return QueryObject(handle, KernelQuery::SetLabelText, const_cast<char*>(text.GetString()), index) != FALSE;
}

void SetValue(LONG handle, LONG code, LONG index, LONG value) { QueryObject(handle, code, &value, index); }

// "高压头 PBG-100/6  低压头 KBZ-400/1140(660)" for the heads whose model is stored.
CString HeadSwitchText(const host::MapObject& object) {
    CString text;
    auto add = [&](LONG field, const char* caption) {
        if (ParseLong(jdmap::FieldText(object, field, 0)) == 0) return;
        if (!text.IsEmpty()) text += "  ";
        text += jdmap::Gbk(caption) + " " + jdmap::FieldText(object, field, 1);
    };
    add(AttributeField::HighVoltageSwitchModel, "高压头");
    add(AttributeField::FeederSwitchModel, "低压头");
    return text;
}

}  // namespace

BOOL IsLabelledType(CString strType) {
    return strType == jdmap::Gbk(host::KindName::MobileSubstation) ? TRUE : FALSE;
}

int GetLabelStyle() { return kNameLabelStyle; }

BOOL LabelObject(int /*nMode*/, CMorvaObjects* /*pMap*/, CString /*strType*/, LONG* phObject, CStringArray* pLabels,
                 int nChanged) {
    if (!phObject || !pLabels) return FALSE;
    const LONG handle = *phObject;
    const host::MapObject* object = jdmap::ObjectOfHandle(handle);
    if (!object) return FALSE;
    const CString designation = pLabels->GetSize() > 0 ? pLabels->GetAt(0) : CString();
    const LONG style = GetLabelStyle();

    LONG count = 0;
    QueryObject(handle, KernelQuery::LabelCount, &count, 0);
    if (designation.IsEmpty()) {
        // No model: the labels stay where they are, with empty texts.
        for (LONG i = 0; i < count; ++i) {
            SetText(handle, i, CString());
            SetValue(handle, KernelQuery::SetLabelStyle, i, style);
        }
        return TRUE;
    }

    CString name = pLabels->GetSize() > 1 ? pLabels->GetAt(1) : CString();
    if (name.IsEmpty()) name = jdmap::NameOf(handle);
    const CString heads = HeadSwitchText(*object);
    const LONG wanted = heads.IsEmpty() ? 2 : 3;
    SetValue(handle, KernelQuery::SetLabelCount, 0, wanted);

    SetText(handle, 0, designation);
    if (nChanged) SetValue(handle, KernelQuery::SetLabelPlacement, 0, kPlacementAbove);
    SetText(handle, 1, name);
    if (nChanged) SetValue(handle, KernelQuery::SetLabelPlacement, 1, kPlacementBelow);
    SetValue(handle, KernelQuery::SetLabelStyle, 1, style);
    if (!heads.IsEmpty()) {
        SetText(handle, 2, heads);
        // A label just created has no placement of its own yet.
        if (nChanged || count < 3) SetValue(handle, KernelQuery::SetLabelPlacement, 2, kPlacementBeside);
        SetValue(handle, KernelQuery::SetLabelStyle, 2, style);
    }
    return TRUE;
}
