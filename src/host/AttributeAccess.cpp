#include "host/AttributeAccess.h"

#include <algorithm>
#include <cstring>

#include "host/MorvaObjects.h"

namespace {

// A stored text longer than this is taken for a host fault, not allocated.
constexpr LONG kMaxFieldBytes = 1 << 20;

std::string& LastError() {
    static std::string error;
    return error;
}

struct WriteRefusals {
    unsigned long count = 0;
    std::string last;
};

WriteRefusals& Refusals() {
    static WriteRefusals refusals;
    return refusals;
}

void NoteRefusedWrite() {
    ++Refusals().count;
    Refusals().last = LastError();
}

std::string Where(const char* what, LONG entityId, LONG field) {
    return std::string(what) + " of field " + std::to_string(field) + " of entity " + std::to_string(entityId);
}

// The three drivers of one access, declared in acquisition order so that they
// are released in reverse order when the sequence ends.
struct FieldAccess {
    CMOEntityStore store;
    CMOEntity entity;
    CMOAttributeTable table;
    LONG column = -1;
};

enum class Opened { Column, Missing, Failed };

Opened OpenField(CMorvaObjects* map, LONG entityId, LONG field, LONG access, FieldAccess& a, const std::string& where) {
    if (!map) {
        LastError() = where + ": no map control";
        return Opened::Failed;
    }
    a.store.AttachDispatch(map->GetEntityStore());
    if (!a.store.m_lpDispatch) {
        LastError() = where + ": the map control gave no entity store";
        return Opened::Failed;
    }
    a.entity.AttachDispatch(a.store.GetEntity(entityId));
    if (!a.entity.m_lpDispatch) {
        LastError() = where + ": the entity store has no entity " + std::to_string(entityId);
        return Opened::Failed;
    }
    a.table.AttachDispatch(a.entity.GetAttributeTable(access));
    if (!a.table.m_lpDispatch) {
        LastError() = where + ": the entity gave no attribute table";
        return Opened::Failed;
    }
    a.column = a.table.FindField(field);
    if (FAILED(a.table.GetLastResult())) {
        LastError() = where + ": the host refused FindField";
        return Opened::Failed;
    }
    return a.column == -1 ? Opened::Missing : Opened::Column;
}

// The two-call read of one sub-index.
bool ReadOne(CMOAttributeTable& table, LONG column, LONG sub, CString& text, const std::string& where) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = nullptr;
    const LONG size = table.GetFieldValue(column, sub, 0, 0, &value);
    if (FAILED(table.GetLastResult()) || size <= 0 || size > kMaxFieldBytes) {
        LastError() = where + ": sub-index " + std::to_string(sub) + " reported size " + std::to_string(size);
        return false;
    }
    std::vector<BYTE> buffer(static_cast<size_t>(size), 0);
    value.pbVal = buffer.data();
    table.GetFieldValue(column, sub, 0, size, &value);
    if (FAILED(table.GetLastResult())) {
        LastError() = where + ": the host refused the text of sub-index " + std::to_string(sub);
        return false;
    }
    // A host that forgets the terminator must not make us read past the buffer.
    const char* bytes = reinterpret_cast<const char*>(buffer.data());
    text = CString(bytes, static_cast<int>(strnlen(bytes, buffer.size())));
    return true;
}

}  // namespace

std::optional<std::vector<CString>> ReadAttributeTexts(CMorvaObjects* map, LONG entityId, LONG field,
                                                       std::span<const LONG> subs) {
    LastError().clear();
    const std::string where = Where("reading", entityId, field);
    FieldAccess access;
    if (OpenField(map, entityId, field, kAttributeRead, access, where) != Opened::Column) return std::nullopt;
    std::vector<CString> texts(subs.size());
    for (size_t i = 0; i < subs.size(); ++i) {
        if (!ReadOne(access.table, access.column, subs[i], texts[i], where)) return std::nullopt;
    }
    return texts;
}

std::optional<std::vector<CString>> ReadAttributeTexts(CMorvaObjects* map, LONG entityId, LONG field,
                                                       std::initializer_list<LONG> subs) {
    return ReadAttributeTexts(map, entityId, field, std::span<const LONG>(subs.begin(), subs.size()));
}

CString ReadAttributeText(CMorvaObjects* map, LONG entityId, LONG field, LONG sub) {
    const auto texts = ReadAttributeTexts(map, entityId, field, {sub});
    return texts ? texts->front() : CString();
}

bool WriteAttributeValues(CMorvaObjects* map, LONG entityId, LONG field, AttributeValues values) {
    LastError().clear();
    const std::string where = Where("writing", entityId, field);
    FieldAccess access;
    switch (OpenField(map, entityId, field, kAttributeWrite, access, where)) {
        case Opened::Column: break;
        case Opened::Missing: return false;
        case Opened::Failed: NoteRefusedWrite(); return false;
    }
    std::stable_sort(values.begin(), values.end(),
                     [](const AttributeValue& a, const AttributeValue& b) { return a.sub < b.sub; });
    std::string refused;
    for (const AttributeValue& v : values) {
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_UI1 | VT_BYREF;
        // The host only reads through the pointer; the variant type has no const form.
        value.pbVal = reinterpret_cast<BYTE*>(const_cast<char*>(v.text.GetString()));
        access.table.SetFieldValue(access.column, v.sub, 0, v.text.GetLength() + 1, &value);
        if (FAILED(access.table.GetLastResult())) refused += (refused.empty() ? "" : ", ") + std::to_string(v.sub);
    }
    if (refused.empty()) return true;
    LastError() = where + ": the host refused sub-index " + refused;
    NoteRefusedWrite();
    return false;
}

const std::string& AttributeAccessLastError() { return LastError(); }

unsigned long AttributeWriteRefusals() { return Refusals().count; }

const std::string& AttributeLastRefusedWrite() { return Refusals().last; }
