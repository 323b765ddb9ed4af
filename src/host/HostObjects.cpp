#include "host/HostObjects.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iterator>
#include <map>
#include <mutex>
#include <unordered_set>

#include "host/Kernel.h"
#include "host/MorvaObjects.h"

namespace host {

struct HostContext {
    MapDocument* document = nullptr;
    MapControlState state;
    CallLog ownLog{kSessionCallLogCapacity};
    CallLog* log = nullptr;  // ownLog or the one the session was given

    // Released entities and attribute tables, kept for the next GetEntity or
    // GetAttributeTable: a command reads and writes the records of tens of
    // thousands of points, four such objects a point.
    static constexpr size_t kMaxSpares = 16;
    std::vector<HostObject*> spareEntities;
    std::vector<HostObject*> spareTables;

    HostContext() = default;
    HostContext(const HostContext&) = delete;
    HostContext& operator=(const HostContext&) = delete;
    ~HostContext() {
        for (auto* spares : {&spareEntities, &spareTables}) {
            for (HostObject* spare : *spares) {
                spare->Revive();  // counted alive again for the moment its destructor uncounts it
                delete spare;
            }
        }
    }

    std::vector<HostObject*>* SparesFor(HostObjectKind kind) {
        switch (kind) {
            case HostObjectKind::Entity: return &spareEntities;
            case HostObjectKind::AttributeTable: return &spareTables;
            default: return nullptr;
        }
    }

    // The entry of a call the log does not keep, used again by the next such
    // call (while `quietBusy`, a nested call makes one of its own): building
    // and freeing an entry for every call of a command costs more than the call.
    CallEntry quiet;
    bool quietBusy = false;

    // The entity the latest attribute table looked up, and where the map's
    // objects were then: a point's read and write tables ask for the same one.
    MapObject* entity = nullptr;
    const MapObject* entityObjectsData = nullptr;
    size_t entityObjectsSize = 0;

    // The object of an entity id, as document->FindByEntity finds it. The
    // remembered one is taken while the objects have not moved and it still
    // has the id (ids are unique in a map, so it is the one the index finds).
    MapObject* FindEntity(LONG entityId) {
        std::vector<MapObject>& objects = document->objects();
        if (entity && objects.data() == entityObjectsData && objects.size() == entityObjectsSize &&
            entity->entityId == entityId)
            return entity;
        MapObject* found = document->FindByEntity(entityId);
        if (found) {
            entity = found;
            entityObjectsData = objects.data();
            entityObjectsSize = objects.size();
        }
        return found;
    }

    // The log's numbering, without a search of its counters by name.
    int NextInstance(HostObjectKind kind) {
        int*& counter = instanceCounters[static_cast<size_t>(kind)];
        if (!counter) counter = &log->InstanceCounter(ObjectKindName(kind));
        return ++*counter;
    }

private:
    std::array<int*, kHostObjectKinds> instanceCounters{};
};

// ---------------------------------------------------------------- arguments

// Reads the arguments of one call with the types the dispid table promises.
// The first mismatch is kept (which argument, what was expected, what came)
// and the call is then refused as a whole.
class ArgReader {
public:
    ArgReader(VARIANT* args, UINT count) : m_args(args), m_count(count) {}

    bool ok() const { return m_error.empty(); }
    const std::string& error() const { return m_error; }
    const VARIANT& Raw(UINT i) const { return m_args[i]; }

    LONG Long(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        switch (v.vt) {
            case VT_I4: return v.lVal;
            case VT_I2: return v.iVal;
            case VT_UI1: return v.bVal;
            case VT_BOOL: return v.boolVal ? TRUE : FALSE;
            default: Mismatch(i, name, "a 32-bit integer"); return 0;
        }
    }
    bool Bool(UINT i, const char* name) { return Long(i, name) != 0; }
    double Double(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        switch (v.vt) {
            case VT_R8: return v.dblVal;
            case VT_R4: return v.fltVal;
            case VT_I4: return v.lVal;
            case VT_I2: return v.iVal;
            default: Mismatch(i, name, "a number"); return 0.0;
        }
    }
    CString Text(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        if (v.vt != VT_BSTR) {
            Mismatch(i, name, "text");
            return CString();
        }
        return v.bstrVal ? CString(v.bstrVal, static_cast<int>(SysStringLen(v.bstrVal))) : CString();
    }
    // Null is allowed (an empty variant counts as a null object).
    LPDISPATCH Object(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        if (v.vt == VT_DISPATCH) return v.pdispVal;
        if (v.vt == VT_EMPTY || v.vt == VT_NULL) return nullptr;
        Mismatch(i, name, "an object");
        return nullptr;
    }
    LONG* LongRef(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        if (v.vt == (VT_I4 | VT_BYREF)) return v.plVal;
        Mismatch(i, name, "a pointer to a 32-bit integer");
        return nullptr;
    }
    double* DoubleRef(UINT i, const char* name) {
        const VARIANT& v = m_args[i];
        if (v.vt == (VT_R8 | VT_BYREF)) return v.pdblVal;
        Mismatch(i, name, "a pointer to a double");
        return nullptr;
    }
    // The byte buffer of a VT_UI1|VT_BYREF variant, passed directly or through
    // a VT_VARIANT|VT_BYREF pointer. `present` tells a null buffer from a wrong type.
    BYTE* Bytes(UINT i, const char* name) {
        const VARIANT* v = &m_args[i];
        if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
        if (v->vt == (VT_UI1 | VT_BYREF)) return v->pbVal;
        Mismatch(i, name, "a VT_UI1|VT_BYREF value variant");
        return nullptr;
    }

private:
    void Mismatch(UINT i, const char* name, const char* expected) {
        if (!m_error.empty()) return;
        const VARIANT* v = &m_args[i];
        std::string got = VarTypeName(v->vt);
        if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) got += " to " + VarTypeName(v->pvarVal->vt);
        m_error = "argument " + std::to_string(i + 1) + " (" + name + "): expected " + expected + ", got " + got;
    }

    VARIANT* m_args;
    UINT m_count;
    std::string m_error;
};

namespace {

// Evaluated while compiling, also where it is compared with at run time.
consteval DISPID Id(HostObjectKind object, std::string_view name) { return Operation(object, name).dispid; }

HRESULT Refuse(CallEntry& entry, HRESULT hr, std::string why) {
    entry.note = std::move(why);
    return hr;
}

void SetLong(VARIANT& result, LONG value) {
    result.vt = VT_I4;
    result.lVal = value;
}

void SetBool(VARIANT& result, bool value) {
    result.vt = VT_BOOL;
    result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetObject(VARIANT& result, IDispatch* object) {
    result.vt = VT_DISPATCH;
    result.pdispVal = object;
}

std::string JoinIds(const std::vector<LONG>& ids) {
    std::string text = "[";
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i) text += ", ";
        text += std::to_string(ids[i]);
    }
    return text + "]";
}

std::string FormatNumber(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

int NextGlobalInstance(HostObjectKind kind) {
    static std::mutex mutex;
    static std::map<HostObjectKind, int> counters;
    std::lock_guard lock(mutex);
    return ++counters[kind];
}

// The column of a field is its place among the entity's fields in ascending
// field-number order.
LONG ColumnOf(const MapObject& object, LONG fieldNumber) {
    LONG column = 0;
    for (const auto& [number, row] : object.fields) {
        if (number == fieldNumber) return column;
        ++column;
    }
    return -1;
}

// The row at a column, or null when the column is out of range.
AttributeRow* RowAt(MapObject& object, LONG column, LONG* fieldNumber) {
    if (column < 0 || column >= static_cast<LONG>(object.fields.size())) return nullptr;
    auto it = std::next(object.fields.begin(), column);
    if (fieldNumber) *fieldNumber = it->first;
    return &it->second;
}

}  // namespace

// ---------------------------------------------------------------- base object

HostObject::HostObject(HostObjectKind kind, const std::shared_ptr<HostContext>& context)
    : m_kind(kind), m_context(context), m_session(context.get()) {
    m_instance = context ? context->NextInstance(kind) : NextGlobalInstance(kind);
}

void HostObject::LastReleased() {
    if (m_kind == HostObjectKind::Entity || m_kind == HostObjectKind::AttributeTable) {
        std::vector<HostObject*>* spares = m_context.expired() ? nullptr : m_session->SparesFor(m_kind);
        if (spares && spares->size() < HostContext::kMaxSpares) {
            Retire();
            spares->push_back(this);
            return;
        }
    }
    delete this;
}

HostObject* HostObject::TakeUpSpare(HostContext& context, HostObjectKind kind) {
    std::vector<HostObject*>* spares = context.SparesFor(kind);
    if (!spares || spares->empty()) return nullptr;
    HostObject* object = spares->back();
    spares->pop_back();
    object->Revive();
    object->m_instance = context.NextInstance(kind);
    return object;
}

std::string HostObject::Describe() const { return std::string(ObjectKindName(m_kind)) + "#" + std::to_string(m_instance); }

HRESULT HostObject::Invoke(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) {
    HostContext* const context = m_context.expired() ? nullptr : m_session;
    if (context && !context->log->recording() && !context->quietBusy) {
        CallEntry& entry = context->quiet;
        context->quietBusy = true;
        entry.recorded = false;
        const HRESULT hr = Answer(context, entry, dispid, flags, args, argCount, result);
        // Left as a new entry for the next call: only what a call may have set.
        entry.note.clear();
        entry.result.clear();
        entry.args.clear();
        entry.hr = S_OK;
        context->quietBusy = false;
        return hr;
    }
    CallEntry entry;
    entry.recorded = context && context->log->recording();
    return Answer(context, entry, dispid, flags, args, argCount, result);
}

// The checks of Answer that refuse a call, with the reason; kept apart so that
// a call that passes them builds none of their texts.
HRESULT HostObject::RefuseCall(const HostOperation* op, CallEntry& entry, DISPID dispid, WORD flags, VARIANT* args,
                               UINT argCount) const {
    if (!op) return Refuse(entry, DISP_E_MEMBERNOTFOUND, "no operation with dispid " + std::to_string(dispid));
    if (!FlagsMatch(op->kind, flags))
        return Refuse(entry, DISP_E_MEMBERNOTFOUND,
                      std::string(op->name) + " is a " + OperationKindName(op->kind) + ", called with flags " +
                          std::to_string(flags));
    if (static_cast<int>(argCount) != op->argCount)
        return Refuse(entry, DISP_E_BADPARAMCOUNT,
                      std::string(op->name) + " takes " + std::to_string(op->argCount) + " arguments, got " +
                          std::to_string(argCount));
    if (argCount > 0 && !args) return Refuse(entry, E_POINTER, "arguments missing");
    return Refuse(entry, E_FAIL, "the map this object belongs to is closed");
}

void HostObject::NoteRefusal(const HostOperation* op, const CallEntry& entry, DISPID dispid, VARIANT& answer) const {
    VariantClear(&answer);
    SetAutomationErrorInfo(Describe() + "." + (op ? std::string(op->name) : "dispid " + std::to_string(dispid)) +
                           ": " + entry.note);
}

HRESULT HostObject::Answer(HostContext* context, CallEntry& entry, DISPID dispid, WORD flags, VARIANT* args,
                           UINT argCount, VARIANT* result) {
    const HostOperation* op = FindOperation(m_kind, dispid);
    // A log that keeps nothing gets no texts: names, arguments and the notes
    // of calls that succeed are built only for a log that keeps them (a
    // refusal's note is always built: it becomes the error text).
    if (entry.recorded) {
        entry.object = ObjectKindName(m_kind);
        entry.instance = m_instance;
        entry.operation = op ? op->name : "dispid " + std::to_string(dispid);
        if (args) {
            for (UINT i = 0; i < argCount; ++i) entry.args.push_back(LogVariant(args[i]));
        }
    }

    VARIANT answer{};  // VT_EMPTY
    HRESULT hr = S_OK;
    if (!op || !FlagsMatch(op->kind, flags) || static_cast<int>(argCount) != op->argCount || (argCount > 0 && !args) ||
        (NeedsMap() && !context)) {
        hr = RefuseCall(op, entry, dispid, flags, args, argCount);
    } else {
        ArgReader reader(args, argCount);
        try {
            hr = Run(*op, reader, answer, entry, context);
        } catch (const std::exception& e) {
            hr = Refuse(entry, DISP_E_EXCEPTION, std::string("host error: ") + e.what());
        }
    }

    entry.hr = hr;
    if (FAILED(hr)) {
        NoteRefusal(op, entry, dispid, answer);
    } else if (entry.recorded && entry.result.empty() && answer.vt != VT_EMPTY) {
        entry.result = LogVariant(answer);
    }
    if (result) {
        *result = answer;
    } else if (answer.vt != VT_EMPTY) {
        VariantClear(&answer);
    }
    if (context) {
        if (entry.recorded) {
            context->log->Append(std::move(entry));
        } else {
            context->log->CountUnkept();
        }
    }
    return hr;
}

// ---------------------------------------------------------------- integer array

HostIntArray* HostIntArray::Create() {
    HostSession* session = HostSession::Active();
    return session ? session->CreateIntArray() : Create(nullptr);
}

HostIntArray* HostIntArray::Create(const std::shared_ptr<HostContext>& context) { return new HostIntArray(context); }

HostIntArray* AsHostIntArray(LPDISPATCH object) { return dynamic_cast<HostIntArray*>(object); }

HRESULT HostIntArray::Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry, HostContext*) {
    constexpr auto kArray = HostObjectKind::IntArray;
    const LONG count = static_cast<LONG>(m_values.size());
    auto checkIndex = [&](LONG index) -> bool {
        if (index >= 0 && index < count) return true;
        entry.note = "index " + std::to_string(index) + " outside the array of " + std::to_string(count) + " elements";
        return false;
    };
    switch (op.dispid) {
        case Id(kArray, "GetCount"):
            SetLong(result, count);
            return S_OK;
        case Id(kArray, "Add"): {
            const LONG value = args.Long(0, "value");
            if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
            m_values.push_back(value);
            SetLong(result, count);
            return S_OK;
        }
        case Id(kArray, "RemoveAll"):
            m_values.clear();
            return S_OK;
        case Id(kArray, "GetAt"): {
            const LONG index = args.Long(0, "index");
            if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
            if (!checkIndex(index)) return DISP_E_BADINDEX;
            SetLong(result, m_values[static_cast<size_t>(index)]);
            return S_OK;
        }
        case Id(kArray, "RemoveAt"): {
            const LONG index = args.Long(0, "index");
            if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
            if (!checkIndex(index)) return DISP_E_BADINDEX;
            if (entry.recorded) entry.note = "removed " + std::to_string(m_values[static_cast<size_t>(index)]);
            m_values.erase(m_values.begin() + index);
            return S_OK;
        }
        case Id(kArray, "GetData"): {
            SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(count));
            if (!array) return Refuse(entry, E_OUTOFMEMORY, "no safe array");
            std::copy(m_values.begin(), m_values.end(), array->pvData);
            result.vt = VT_ARRAY | VT_I4;
            result.parray = array;
            return S_OK;
        }
        default: return Refuse(entry, E_NOTIMPL, "not implemented");
    }
}

// ---------------------------------------------------------------- the other host objects

namespace {

class HostSelectionSet final : public HostObject {
public:
    explicit HostSelectionSet(const std::shared_ptr<HostContext>& context)
        : HostObject(HostObjectKind::SelectionSet, context) {}

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        constexpr auto kSet = HostObjectKind::SelectionSet;
        std::vector<LONG>& selection = context->state.selection;
        switch (op.dispid) {
            case Id(kSet, "ClearSelection"):
                selection.clear();
                return S_OK;
            case Id(kSet, "AddToSelection"): {
                LPDISPATCH object = args.Object(0, "integer array");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                const HostIntArray* array = AsHostIntArray(object);
                if (!array) return Refuse(entry, DISP_E_TYPEMISMATCH, "argument 1 (integer array): not the host's integer array");
                LONG added = 0;
                std::vector<LONG> unknown;
                // A set beside the ordered selection: thousands of motors shown
                // at once must not search the growing selection for each.
                std::unordered_set<LONG> selected(selection.begin(), selection.end());
                for (LONG id : array->values()) {
                    if (!context->document->FindByEntity(id)) {
                        unknown.push_back(id);
                        continue;
                    }
                    if (!selected.insert(id).second) continue;
                    selection.push_back(id);
                    ++added;
                }
                if (entry.recorded) entry.args[0] += " " + JoinIds(array->values());
                if (entry.recorded && !unknown.empty()) entry.note = "not in the map, not selected: " + JoinIds(unknown);
                SetLong(result, added);
                return S_OK;
            }
            default: return Refuse(entry, E_NOTIMPL, "not implemented");
        }
    }
};

class HostCommandManager final : public HostObject {
public:
    explicit HostCommandManager(const std::shared_ptr<HostContext>& context)
        : HostObject(HostObjectKind::CommandManager, context) {}

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        constexpr auto kManager = HostObjectKind::CommandManager;
        MapControlState& state = context->state;
        switch (op.dispid) {
            case Id(kManager, "CanStart"):
                SetBool(result, state.canStart);
                return S_OK;
            case Id(kManager, "IsCommandBlocked"): {
                const LONG id = args.Long(0, "command id");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                SetBool(result, state.blockedCommands.count(id) != 0);
                return S_OK;
            }
            case Id(kManager, "EndCommand"):
                if (entry.recorded)
                    entry.note = "ended command (" + std::to_string(state.current.id) + ", " +
                                 std::to_string(state.current.step) + ")";
                state.current = CommandPair{};
                state.commandHistory.push_back(state.current);
                ++state.endCommandCount;
                return S_OK;
            default: return Refuse(entry, E_NOTIMPL, "not implemented");
        }
    }
};

class HostRefreshObject final : public HostObject {
public:
    explicit HostRefreshObject(const std::shared_ptr<HostContext>& context)
        : HostObject(HostObjectKind::RefreshObject, context) {}

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT&, CallEntry& entry, HostContext* context) override {
        constexpr auto kRefresh = HostObjectKind::RefreshObject;
        const bool refresh = op.dispid == Id(kRefresh, "RefreshItems");
        if (!refresh && op.dispid != Id(kRefresh, "RedrawItems")) return Refuse(entry, E_NOTIMPL, "not implemented");

        ItemsCall call;
        call.count = args.Long(1, "count");
        if (refresh) {
            call.arg3 = args.Long(2, "third argument");
            call.arg4 = args.Long(3, "fourth argument");
        }
        if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
        if (call.count < 0) return Refuse(entry, E_INVALIDARG, "count " + std::to_string(call.count) + " is negative");

        // The item list arrives as a pointer to 32-bit integers; callers also
        // hand over the safe array of GetData itself in that parameter.
        const VARIANT& items = args.Raw(0);
        const SAFEARRAY* array = nullptr;
        const LONG* first = nullptr;
        if (items.vt == (VT_ARRAY | VT_I4)) {
            array = items.parray;
        } else if (items.vt == (VT_I4 | VT_BYREF)) {
            if (SafeArrayIsLive(items.plVal)) array = reinterpret_cast<const SAFEARRAY*>(items.plVal);
            else first = items.plVal;
        } else {
            return Refuse(entry, DISP_E_TYPEMISMATCH,
                          "argument 1 (items): expected a pointer to 32-bit integers, got " + VarTypeName(items.vt));
        }
        if (array) {
            call.passedAsSafeArray = true;
            if (static_cast<ULONG>(call.count) > array->cElements)
                return Refuse(entry, E_INVALIDARG,
                              "count " + std::to_string(call.count) + " exceeds the safe array's " +
                                  std::to_string(array->cElements) + " elements");
            first = array->pvData;
        } else if (!first && call.count > 0) {
            return Refuse(entry, E_POINTER, "no items for a count of " + std::to_string(call.count));
        }
        call.ids.assign(first, first + call.count);
        if (entry.recorded) entry.args[0] = (call.passedAsSafeArray ? "safe array " : "") + JoinIds(call.ids);
        (refresh ? context->state.refreshedItems : context->state.redrawnItems).push_back(std::move(call));
        return S_OK;
    }
};

class HostAttributeTable final : public HostObject {
public:
    HostAttributeTable(const std::shared_ptr<HostContext>& context, LONG entityId, LONG access)
        : HostObject(HostObjectKind::AttributeTable, context), m_entityId(entityId), m_access(access) {}

    // A table handed out by an entity of the session `context`.
    static HostAttributeTable* Make(const HostObject& asking, HostContext& context, LONG entityId, LONG access) {
        auto* table = static_cast<HostAttributeTable*>(TakeUpSpare(context, HostObjectKind::AttributeTable));
        if (!table) return new HostAttributeTable(asking.SharedContext(), entityId, access);
        table->m_entityId = entityId;
        table->m_access = access;
        return table;
    }

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        constexpr auto kTable = HostObjectKind::AttributeTable;
        MapObject* object = context->FindEntity(m_entityId);
        switch (op.dispid) {
            case Id(kTable, "FindField"): {
                const LONG field = args.Long(0, "field number");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                if (!object && entry.recorded) entry.note = "entity " + std::to_string(m_entityId) + " is not in the map";
                SetLong(result, object ? ColumnOf(*object, field) : -1);
                return S_OK;
            }
            case Id(kTable, "GetFieldValue"): return GetFieldValue(args, result, entry, object);
            case Id(kTable, "SetFieldValue"): return SetFieldValue(args, entry, object, *context);
            default: return Refuse(entry, E_NOTIMPL, "not implemented");
        }
    }

private:
    // Common checks of a value access; the row, or null with the refusal in `hr`.
    // `field` receives the row's field number.
    AttributeRow* Locate(MapObject* object, LONG column, LONG subIndex, CallEntry& entry, HRESULT& hr,
                         LONG& field) const {
        if (!object) {
            hr = Refuse(entry, E_INVALIDARG, "entity " + std::to_string(m_entityId) + " is not in the map");
            return nullptr;
        }
        AttributeRow* row = RowAt(*object, column, &field);
        if (!row) {
            hr = Refuse(entry, DISP_E_BADINDEX,
                        "column " + std::to_string(column) + " outside the " + std::to_string(object->fields.size()) +
                            " fields of entity " + std::to_string(m_entityId));
            return nullptr;
        }
        if (subIndex < 0) {
            hr = Refuse(entry, DISP_E_BADINDEX, "sub-index " + std::to_string(subIndex) + " is negative");
            return nullptr;
        }
        if (entry.recorded) entry.note = "field " + std::to_string(field);
        return row;
    }

    HRESULT GetFieldValue(ArgReader& args, VARIANT& result, CallEntry& entry, MapObject* object) const {
        const LONG column = args.Long(0, "column");
        const LONG subIndex = args.Long(1, "sub-index");
        args.Long(2, "third argument");
        const LONG size = args.Long(3, "buffer size");
        BYTE* buffer = args.Bytes(4, "value");
        if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
        if (entry.recorded) entry.args[4] = buffer ? "buffer" : "no buffer";
        HRESULT hr = S_OK;
        LONG field = 0;
        const AttributeRow* row = Locate(object, column, subIndex, entry, hr, field);
        if (!row) return hr;
        if (size < 0) return Refuse(entry, E_INVALIDARG, "buffer size " + std::to_string(size) + " is negative");

        static const CString kEmpty;
        const CString& text = static_cast<size_t>(subIndex) < row->size() ? (*row)[static_cast<size_t>(subIndex)] : kEmpty;
        const LONG needed = text.GetLength() + 1;
        if (size >= needed) {
            if (!buffer) return Refuse(entry, E_POINTER, "a buffer of " + std::to_string(size) + " bytes without an address");
            std::memcpy(buffer, text.GetString(), static_cast<size_t>(needed));
            if (entry.recorded)
                entry.note += ", copied " + LogText(text.GetString(), static_cast<size_t>(text.GetLength()));
        } else if (entry.recorded) {
            entry.note += ", size only";
        }
        SetLong(result, needed);
        return S_OK;
    }

    HRESULT SetFieldValue(ArgReader& args, CallEntry& entry, MapObject* object, HostContext& context) const {
        const LONG column = args.Long(0, "column");
        const LONG subIndex = args.Long(1, "sub-index");
        args.Long(2, "third argument");
        const LONG size = args.Long(3, "text size");
        const BYTE* bytes = args.Bytes(4, "value");
        if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
        if (entry.recorded && size >= 1 && (bytes || size == 1))
            entry.args[4] = LogText(reinterpret_cast<const char*>(bytes ? bytes : reinterpret_cast<const BYTE*>("")),
                                    static_cast<size_t>(size - 1));
        if (m_access != 1)
            return Refuse(entry, E_ACCESSDENIED,
                          "the table of entity " + std::to_string(m_entityId) + " was opened with access " +
                              std::to_string(m_access) + " (read); writing needs access 1");
        HRESULT hr = S_OK;
        LONG field = 0;
        AttributeRow* row = Locate(object, column, subIndex, entry, hr, field);
        if (!row) return hr;
        if (size < 1)
            return Refuse(entry, E_INVALIDARG,
                          "text size " + std::to_string(size) + " cannot count the terminator (at least 1)");
        if (!bytes && size > 1) return Refuse(entry, E_POINTER, "a text of " + std::to_string(size) + " bytes without an address");
        if (context.state.refusedWriteFields.count(field) != 0)
            return Refuse(entry, E_ACCESSDENIED, "field " + std::to_string(field) + " is refused to writes");

        if (row->size() <= static_cast<size_t>(subIndex)) row->resize(static_cast<size_t>(subIndex) + 1);
        (*row)[static_cast<size_t>(subIndex)] =
            size > 1 ? CString(reinterpret_cast<const char*>(bytes), size - 1) : CString();
        context.document->setModified(true);
        return S_OK;
    }

    LONG m_entityId;
    LONG m_access;
};

class HostEntity final : public HostObject {
public:
    HostEntity(const std::shared_ptr<HostContext>& context, LONG entityId)
        : HostObject(HostObjectKind::Entity, context), m_entityId(entityId) {}

    // An entity handed out by `asking` (an object of the session `context`).
    static HostEntity* Make(const HostObject& asking, HostContext& context, LONG entityId);

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        if (op.dispid != Id(HostObjectKind::Entity, "GetAttributeTable")) return Refuse(entry, E_NOTIMPL, "not implemented");
        const LONG access = args.Long(0, "access");
        if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
        if (access != 0 && access != 1)
            return Refuse(entry, E_INVALIDARG, "access " + std::to_string(access) + ": 0 reads, 1 writes");
        SetObject(result, HostAttributeTable::Make(*this, *context, m_entityId, access));
        if (entry.recorded) entry.note = "entity " + std::to_string(m_entityId);
        return S_OK;
    }

private:
    LONG m_entityId;
};

HostEntity* HostEntity::Make(const HostObject& asking, HostContext& context, LONG entityId) {
    auto* entity = static_cast<HostEntity*>(TakeUpSpare(context, HostObjectKind::Entity));
    if (!entity) return new HostEntity(asking.SharedContext(), entityId);
    entity->m_entityId = entityId;
    return entity;
}

class HostEntityStore final : public HostObject {
public:
    explicit HostEntityStore(const std::shared_ptr<HostContext>& context)
        : HostObject(HostObjectKind::EntityStore, context) {}

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        constexpr auto kStore = HostObjectKind::EntityStore;
        const LONG id = args.Long(0, "entity id");
        if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
        // GetEntity looks the entity up only for the log's note.
        const bool lookUp = entry.recorded || op.dispid != Id(kStore, "GetEntity");
        const MapObject* object = lookUp ? context->document->FindByEntity(id) : nullptr;
        if (!object && entry.recorded) entry.note = "entity " + std::to_string(id) + " is not in the map";
        switch (op.dispid) {
            case Id(kStore, "GetEntity"):
                // An entity the map lacks still gets an object: its table has no
                // fields, so a read yields its default and a write writes nothing.
                SetObject(result, HostEntity::Make(*this, *context, id));
                return S_OK;
            case Id(kStore, "GetEntityType"):
                SetLong(result, object ? object->entityType : 0);
                return S_OK;
            default: return Refuse(entry, E_NOTIMPL, "not implemented");
        }
    }
};

const char* MessageName(UINT message) {
    switch (message) {
        case WM_SETCURSOR: return "WM_SETCURSOR";
        case WM_COMMAND: return "WM_COMMAND";
        case WM_CONTEXTMENU: return "WM_CONTEXTMENU";
        default: return nullptr;
    }
}

class HostMapControl final : public HostObject {
public:
    explicit HostMapControl(const std::shared_ptr<HostContext>& context)
        : HostObject(HostObjectKind::MapControl, context) {}

protected:
    HRESULT Run(const HostOperation& op, ArgReader& args, VARIANT& result, CallEntry& entry,
                HostContext* context) override {
        constexpr auto kMap = HostObjectKind::MapControl;
        MapControlState& state = context->state;
        MapDocument& document = *context->document;
        const std::shared_ptr<HostContext> shared = SharedContext();
        switch (op.dispid) {
            case Id(kMap, "GetSelectionSet"):
                SetObject(result, new HostSelectionSet(shared));
                return S_OK;
            case Id(kMap, "GetEntityStore"):
                SetObject(result, new HostEntityStore(shared));
                return S_OK;
            case Id(kMap, "GetCommandManager"):
                SetObject(result, new HostCommandManager(shared));
                return S_OK;
            case Id(kMap, "GetRefreshObject"):
                SetObject(result, new HostRefreshObject(shared));
                return S_OK;
            case Id(kMap, "Action"): {
                const LONG action = args.Long(0, "action");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                state.action = action;
                ++state.actionPuts;
                return S_OK;
            }
            case Id(kMap, "Modified"): {
                const bool modified = args.Bool(0, "modified");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                state.modified = modified;
                document.setModified(modified);
                return S_OK;
            }
            case Id(kMap, "GetKernelMap"):
                SetLong(result, state.kernelMap);
                return S_OK;
            case Id(kMap, "MapToClient"): {
                const double x = args.Double(0, "x");
                const double y = args.Double(1, "y");
                double* clientX = args.DoubleRef(2, "client x");
                double* clientY = args.DoubleRef(3, "client y");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                if (entry.recorded) entry.args[2] = entry.args[3] = "out";
                if (!clientX || !clientY) return Refuse(entry, E_POINTER, "nowhere to put the client coordinates");
                const MapView& view = document.view();
                *clientX = (x - view.originX) * view.scale;
                *clientY = (view.originY - y) * view.scale;
                entry.result = "(" + FormatNumber(*clientX) + ", " + FormatNumber(*clientY) + ")";
                return S_OK;
            }
            case Id(kMap, "GetCurrentCommand"): {
                LONG* id = args.LongRef(0, "command id");
                LONG* step = args.LongRef(1, "step");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                if (entry.recorded) entry.args[0] = entry.args[1] = "out";
                if (!id || !step) return Refuse(entry, E_POINTER, "nowhere to put the command pair");
                *id = state.current.id;
                *step = state.current.step;
                entry.result = "(" + std::to_string(*id) + ", " + std::to_string(*step) + ")";
                return S_OK;
            }
            case Id(kMap, "SetCurrentCommand"): {
                const CommandPair pair{args.Long(0, "command id"), args.Long(1, "step")};
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                state.current = pair;
                state.commandHistory.push_back(pair);
                return S_OK;
            }
            case Id(kMap, "Refresh"):
                ++state.refreshCount;
                return S_OK;
            case Id(kMap, "RedrawEntities"): {
                const LONG* ids = args.LongRef(0, "entity ids");
                EntityRedraw redraw;
                const LONG count = args.Long(1, "count");
                redraw.flag = args.Long(2, "flag");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                if (count < 0) return Refuse(entry, E_INVALIDARG, "count " + std::to_string(count) + " is negative");
                if (!ids && count > 0) return Refuse(entry, E_POINTER, "no ids for a count of " + std::to_string(count));
                if (count > 0) redraw.entityIds.assign(ids, ids + count);
                if (entry.recorded) entry.args[0] = JoinIds(redraw.entityIds);
                state.entityRedraws.push_back(std::move(redraw));
                return S_OK;
            }
            case Id(kMap, "RedrawMap"):
                ++state.redrawMapCount;
                return S_OK;
            case Id(kMap, "BeginSelection"): {
                PendingPick pick;
                LPDISPATCH array = args.Object(0, "integer array");
                pick.arg1 = args.Long(1, "second argument");
                pick.arg2 = args.Long(2, "third argument");
                pick.arg3 = args.Long(3, "fourth argument");
                LPDISPATCH extra = args.Object(4, "fifth argument");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                if (!array) return Refuse(entry, E_INVALIDARG, "no integer array to pick into");
                pick.intArray = CDispatchPtr::Share(array);
                pick.extra = CDispatchPtr::Share(extra);
                state.pick = std::move(pick);
                ++state.beginSelectionCount;
                return S_OK;
            }
            case Id(kMap, "ShowPrompt"): {
                const CString text = args.Text(0, "text");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                state.prompt = text;
                state.promptHistory.push_back(text);
                return S_OK;
            }
            case Id(kMap, "GetKernelObject"): {
                const LONG id = args.Long(0, "entity id");
                if (!args.ok()) return Refuse(entry, DISP_E_TYPEMISMATCH, args.error());
                const MapObject* object = document.FindByEntity(id);
                if (!object && entry.recorded) entry.note = "entity " + std::to_string(id) + " is not in the map";
                SetLong(result, object ? object->handle : 0);
                return S_OK;
            }
            default: return Refuse(entry, E_NOTIMPL, "not implemented");
        }
    }
};

// ---------------------------------------------------------------- sessions

struct SessionRegistry {
    std::mutex mutex;
    std::vector<HostSession*> open;  // in order of opening
};

SessionRegistry& Sessions() {
    static SessionRegistry registry;
    return registry;
}

}  // namespace

void RegisterHostClasses() {
    if (IsClassRegistered(kIntArrayProgId)) return;
    RegisterClassFactory(kIntArrayProgId, []() -> LPDISPATCH { return HostIntArray::Create(); });
}

HostSession::HostSession(MapDocument& document, CallLog* log) : m_context(std::make_shared<HostContext>()) {
    RegisterHostClasses();
    m_context->document = &document;
    m_context->log = log ? log : &m_context->ownLog;
    // The kernel routines find the map by this handle, so it is theirs to give.
    m_context->state.kernelMap = KernelAttachMap(document);
    {
        SessionRegistry& registry = Sessions();
        std::lock_guard lock(registry.mutex);
        registry.open.push_back(this);
    }
    auto* control = new HostMapControl(m_context);
    const int controlInstance = control->instance();
    m_mapControl = std::make_unique<CMorvaObjects>(control, TRUE);
    m_mapControl->SetMessageHandler(
        [weak = std::weak_ptr<HostContext>(m_context), controlInstance](UINT message, WPARAM wParam,
                                                                         LPARAM lParam) -> LRESULT {
            const std::shared_ptr<HostContext> context = weak.lock();
            if (!context) return 0;
            context->state.messages.push_back({message, wParam, lParam});
            CallEntry entry;
            entry.object = ObjectKindName(HostObjectKind::MapControl);
            entry.instance = controlInstance;
            entry.operation = "SendMessage";
            const char* name = MessageName(message);
            entry.args = {name ? name : std::to_string(message), std::to_string(wParam), std::to_string(lParam)};
            entry.result = "0";
            context->log->Append(std::move(entry));
            return 0;
        });
}

HostSession::~HostSession() {
    {
        SessionRegistry& registry = Sessions();
        std::lock_guard lock(registry.mutex);
        registry.open.erase(std::remove(registry.open.begin(), registry.open.end(), this), registry.open.end());
    }
    KernelDetachMap(m_context->state.kernelMap);
    m_mapControl.reset();
    // The pick's array goes with the state; objects still held elsewhere
    // find their session gone and refuse further calls.
    m_context->state.pick.reset();
}

LPDISPATCH HostSession::controlObject() const { return m_mapControl->GetControlDispatch(); }
MapDocument& HostSession::document() { return *m_context->document; }
MapControlState& HostSession::state() { return m_context->state; }
const MapControlState& HostSession::state() const { return m_context->state; }
CallLog& HostSession::log() { return *m_context->log; }
LONG HostSession::kernelMap() const { return m_context->state.kernelMap; }

HostIntArray* HostSession::CreateIntArray() { return HostIntArray::Create(m_context); }

HostIntArray* HostSession::pendingPickArray() const {
    const auto& pick = m_context->state.pick;
    return pick ? AsHostIntArray(pick->intArray.get()) : nullptr;
}

bool HostSession::FinishPick(const std::vector<LONG>& entityIds, std::string* error) {
    auto& pick = m_context->state.pick;
    if (!pick) {
        if (error) *error = "no pick in progress: the module has not called BeginSelection";
        return false;
    }
    HostIntArray* array = AsHostIntArray(pick->intArray.get());
    if (!array) {
        if (error) *error = "the pick was started with an object that is not the host's integer array";
        pick.reset();
        return false;
    }
    for (LONG id : entityIds) array->Add(id);
    pick.reset();
    return true;
}

HostSession* HostSession::Active() {
    SessionRegistry& registry = Sessions();
    std::lock_guard lock(registry.mutex);
    return registry.open.empty() ? nullptr : registry.open.back();
}

MapDocument* HostSession::DocumentForKernelMap(LONG kernelMap) { return KernelMap(kernelMap); }

}  // namespace host
