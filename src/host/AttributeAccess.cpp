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

// The three drivers of one access, declared in acquisition order so that they
// are released in reverse order when the sequence ends.
struct FieldAccess {
    CMOEntityStore store;
    CMOEntity entity;
    CMOAttributeTable table;
    LONG column = -1;
};

enum class OpenResult { Column, Missing, Failed };

// Where an access happened, worded only when it failed: a command reads and
// writes records of tens of thousands of points, nearly all of them without fault.
struct Where {
    const char* what;
    LONG entityId;
    LONG field;
    std::string Text() const {
        return std::string(what) + " of field " + std::to_string(field) + " of entity " + std::to_string(entityId);
    }
};

// The first step of every sequence: the map control's entity store.
bool AttachStore(CMorvaObjects* map, CMOEntityStore& store, const Where& where) {
    if (!map) {
        LastError() = where.Text() + ": no map control";
        return false;
    }
    store.AttachDispatch(map->GetEntityStore());
    if (!store.m_lpDispatch) {
        LastError() = where.Text() + ": the map control gave no entity store";
        return false;
    }
    return true;
}

// The rest: entity, attribute table, FindField.
OpenResult OpenInStore(CMOEntityStore& store, LONG access, FieldAccess& a, const Where& where) {
    a.entity.AttachDispatch(store.GetEntity(where.entityId));
    if (!a.entity.m_lpDispatch) {
        LastError() = where.Text() + ": the entity store has no entity " + std::to_string(where.entityId);
        return OpenResult::Failed;
    }
    a.table.AttachDispatch(a.entity.GetAttributeTable(access));
    if (!a.table.m_lpDispatch) {
        LastError() = where.Text() + ": the entity gave no attribute table";
        return OpenResult::Failed;
    }
    a.column = a.table.FindField(where.field);
    if (FAILED(a.table.GetLastResult())) {
        LastError() = where.Text() + ": the host refused FindField";
        return OpenResult::Failed;
    }
    return a.column == -1 ? OpenResult::Missing : OpenResult::Column;
}

OpenResult OpenField(CMorvaObjects* map, LONG access, FieldAccess& a, const Where& where) {
    if (!AttachStore(map, a.store, where)) return OpenResult::Failed;
    return OpenInStore(a.store, access, a, where);
}

// The two-call read of one sub-index. Texts of ordinary length are read into
// a buffer on the stack, longer ones into one of exactly the reported size.
bool ReadOne(CMOAttributeTable& table, LONG column, LONG sub, CString& text, const Where& where) {
    VARIANT value{};
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = nullptr;
    const LONG size = table.GetFieldValue(column, sub, 0, 0, &value);
    if (FAILED(table.GetLastResult()) || size <= 0 || size > kMaxFieldBytes) {
        LastError() = where.Text() + ": sub-index " + std::to_string(sub) + " reported size " + std::to_string(size);
        return false;
    }
    BYTE small[256];
    std::vector<BYTE> large;
    BYTE* buffer = small;
    if (static_cast<size_t>(size) <= sizeof small) {
        std::memset(small, 0, static_cast<size_t>(size));
    } else {
        large.assign(static_cast<size_t>(size), 0);
        buffer = large.data();
    }
    value.pbVal = buffer;
    table.GetFieldValue(column, sub, 0, size, &value);
    if (FAILED(table.GetLastResult())) {
        LastError() = where.Text() + ": the host refused the text of sub-index " + std::to_string(sub);
        return false;
    }
    // A host that forgets the terminator must not make us read past the buffer.
    const char* bytes = reinterpret_cast<const char*>(buffer);
    text = CString(bytes, static_cast<int>(strnlen(bytes, static_cast<size_t>(size))));
    return true;
}

}  // namespace

std::optional<std::vector<CString>> ReadAttributeTexts(CMorvaObjects* map, LONG entityId, LONG field,
                                                       std::span<const LONG> subs) {
    LastError().clear();
    const Where where{"reading", entityId, field};
    FieldAccess access;
    if (OpenField(map, kAttributeRead, access, where) != OpenResult::Column) return std::nullopt;
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
    // ReadAttributeTexts of one sub-index, without its list.
    LastError().clear();
    const Where where{"reading", entityId, field};
    FieldAccess access;
    if (OpenField(map, kAttributeRead, access, where) != OpenResult::Column) return CString();
    CString text;
    if (!ReadOne(access.table, access.column, sub, text, where)) return CString();
    return text;
}

bool WriteAttributeValues(CMorvaObjects* map, LONG entityId, LONG field, AttributeValues values) {
    LastError().clear();
    const Where where{"writing", entityId, field};
    FieldAccess access;
    switch (OpenField(map, kAttributeWrite, access, where)) {
        case OpenResult::Column: break;
        case OpenResult::Missing: return false;
        case OpenResult::Failed: NoteRefusedWrite(); return false;
    }
    const auto bySub = [](const AttributeValue& a, const AttributeValue& b) { return a.sub < b.sub; };
    // Records list their values in sub-index order already; sorting those
    // would only cost the sort's buffer.
    if (!std::is_sorted(values.begin(), values.end(), bySub)) std::stable_sort(values.begin(), values.end(), bySub);
    std::string refused;
    for (const AttributeValue& v : values) {
        VARIANT value{};
        value.vt = VT_UI1 | VT_BYREF;
        // The host only reads through the pointer; the variant type has no const form.
        value.pbVal = reinterpret_cast<BYTE*>(const_cast<char*>(v.text.GetString()));
        access.table.SetFieldValue(access.column, v.sub, 0, v.text.GetLength() + 1, &value);
        if (FAILED(access.table.GetLastResult())) refused += (refused.empty() ? "" : ", ") + std::to_string(v.sub);
    }
    if (refused.empty()) return true;
    LastError() = where.Text() + ": the host refused sub-index " + refused;
    NoteRefusedWrite();
    return false;
}

// ---- runs ---------------------------------------------------------------------------

struct AttributeRun::Store {
    CMorvaObjects* map = nullptr;
    CMOEntityStore store;
    // The openings of writers gone, their drivers released, for the next
    // writer: a run makes one writer a point.
    std::vector<std::unique_ptr<Opened>> spareOpenings;

    // The run's entity store; asked for again while the host gives none.
    CMOEntityStore* Get(const Where& where) {
        if (store.m_lpDispatch) return &store;
        return AttachStore(map, store, where) ? &store : nullptr;
    }
};

struct AttributeRun::Opened {
    FieldAccess access;  // its store stays empty: the run's is used
    OpenResult result = OpenResult::Failed;
};

namespace {

// Releases an opening's drivers in the order a FieldAccess going out of scope does.
void ReleaseDrivers(FieldAccess& a) {
    a.table.ReleaseDispatch();
    a.entity.ReleaseDispatch();
    a.store.ReleaseDispatch();
    a.column = -1;
}

}  // namespace

AttributeRun::AttributeRun(CMorvaObjects* map) : m_store(std::make_unique<Store>()) { m_store->map = map; }

AttributeRun::~AttributeRun() = default;

CString AttributeRun::ReadText(LONG entityId, LONG field, LONG sub) {
    LastError().clear();
    const Where where{"reading", entityId, field};
    CMOEntityStore* store = m_store->Get(where);
    if (!store) return CString();
    FieldAccess access;
    if (OpenInStore(*store, kAttributeRead, access, where) != OpenResult::Column) return CString();

    BYTE small[256] = {};
    VARIANT value{};
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = small;
    const LONG size = access.table.GetFieldValue(access.column, sub, 0, static_cast<LONG>(sizeof small), &value);
    if (FAILED(access.table.GetLastResult()) || size <= 0 || size > kMaxFieldBytes) {
        LastError() = where.Text() + ": sub-index " + std::to_string(sub) + " reported size " + std::to_string(size);
        return CString();
    }
    if (static_cast<size_t>(size) <= sizeof small) {
        // A host that forgets the terminator must not make us read past what it wrote.
        const char* bytes = reinterpret_cast<const char*>(small);
        return CString(bytes, static_cast<int>(strnlen(bytes, static_cast<size_t>(size))));
    }
    std::vector<BYTE> buffer(static_cast<size_t>(size), 0);
    value.pbVal = buffer.data();
    access.table.GetFieldValue(access.column, sub, 0, size, &value);
    if (FAILED(access.table.GetLastResult())) {
        LastError() = where.Text() + ": the host refused the text of sub-index " + std::to_string(sub);
        return CString();
    }
    const char* bytes = reinterpret_cast<const char*>(buffer.data());
    return CString(bytes, static_cast<int>(strnlen(bytes, buffer.size())));
}

AttributeFieldWriter::AttributeFieldWriter(AttributeRun& run, LONG entityId, LONG field)
    : m_run(run), m_entityId(entityId), m_field(field) {}

AttributeFieldWriter::~AttributeFieldWriter() {
    if (!m_opened) return;
    ReleaseDrivers(m_opened->access);
    m_run.store().spareOpenings.push_back(std::move(m_opened));
}

bool AttributeFieldWriter::Write(const AttributeValue& v) {
    LastError().clear();
    const Where where{"writing", m_entityId, m_field};
    if (!m_opened || m_opened->result == OpenResult::Failed) {
        std::vector<std::unique_ptr<AttributeRun::Opened>>& spares = m_run.store().spareOpenings;
        if (m_opened) {
            ReleaseDrivers(m_opened->access);  // the drivers of a refused opening go before it is tried again
        } else if (!spares.empty()) {
            m_opened = std::move(spares.back());
            spares.pop_back();
        } else {
            m_opened = std::make_unique<AttributeRun::Opened>();
        }
        m_opened->result = OpenResult::Failed;
        CMOEntityStore* store = m_run.store().Get(where);
        m_opened->result = store ? OpenInStore(*store, kAttributeWrite, m_opened->access, where) : OpenResult::Failed;
    }
    switch (m_opened->result) {
        case OpenResult::Column: break;
        case OpenResult::Missing: return false;
        case OpenResult::Failed: NoteRefusedWrite(); return false;
    }
    VARIANT value{};
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = reinterpret_cast<BYTE*>(const_cast<char*>(v.text.GetString()));
    CMOAttributeTable& table = m_opened->access.table;
    table.SetFieldValue(m_opened->access.column, v.sub, 0, v.text.GetLength() + 1, &value);
    if (!FAILED(table.GetLastResult())) return true;
    LastError() = where.Text() + ": the host refused sub-index " + std::to_string(v.sub);
    NoteRefusedWrite();
    return false;
}

const std::string& AttributeAccessLastError() { return LastError(); }

unsigned long AttributeWriteRefusals() { return Refusals().count; }

const std::string& AttributeLastRefusedWrite() { return Refusals().last; }
