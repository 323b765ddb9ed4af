#include "platform/Automation.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <utility>

// ---------------------------------------------------------------- result names

std::string HresultName(HRESULT hr) {
    static const std::pair<HRESULT, const char*> kNames[] = {
        {S_OK, "S_OK"},
        {S_FALSE, "S_FALSE"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {E_POINTER, "E_POINTER"},
        {E_FAIL, "E_FAIL"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {DISP_E_MEMBERNOTFOUND, "DISP_E_MEMBERNOTFOUND"},
        {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {DISP_E_BADINDEX, "DISP_E_BADINDEX"},
        {DISP_E_ARRAYISLOCKED, "DISP_E_ARRAYISLOCKED"},
        {DISP_E_BADPARAMCOUNT, "DISP_E_BADPARAMCOUNT"},
        {REGDB_E_CLASSNOTREG, "REGDB_E_CLASSNOTREG"},
        {CO_E_CLASSSTRING, "CO_E_CLASSSTRING"},
    };
    for (const auto& [code, name] : kNames) {
        if (code == hr) return name;
    }
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08" PRIX32, static_cast<std::uint32_t>(hr));
    return buffer;
}

// ---------------------------------------------------------------- text

namespace {
// A BSTR is preceded by its byte length so that embedded zero bytes survive.
constexpr size_t kBstrPrefix = sizeof(std::uint64_t);  // keeps the text aligned like the allocation
}

BSTR SysAllocStringLen(const char* bytes, UINT length) {
    char* block = new char[kBstrPrefix + length + 1];
    const std::uint64_t stored = length;
    std::memcpy(block, &stored, sizeof stored);
    char* text = block + kBstrPrefix;
    if (bytes && length) std::memcpy(text, bytes, length);
    else if (length) std::memset(text, 0, length);
    text[length] = '\0';
    return text;
}

BSTR SysAllocString(const char* text) {
    if (!text) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(std::strlen(text)));
}

void SysFreeString(BSTR text) {
    if (text) delete[] (text - kBstrPrefix);
}

UINT SysStringLen(BSTR text) {
    if (!text) return 0;
    std::uint64_t stored = 0;
    std::memcpy(&stored, text - kBstrPrefix, sizeof stored);
    return static_cast<UINT>(stored);
}

// ---------------------------------------------------------------- variants

void VariantInit(VARIANT* value) {
    if (!value) return;
    std::memset(static_cast<void*>(value), 0, sizeof *value);
    value->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* value) {
    if (!value) return E_POINTER;
    HRESULT hr = S_OK;
    if (!(value->vt & VT_BYREF)) {
        if (value->vt & VT_ARRAY) {
            if (value->parray) hr = SafeArrayDestroy(value->parray);
        } else if (value->vt == VT_BSTR) {
            SysFreeString(value->bstrVal);
        } else if (value->vt == VT_DISPATCH) {
            if (value->pdispVal) value->pdispVal->Release();
        }
    }
    if (FAILED(hr)) return hr;  // a locked array stays with its owner
    VariantInit(value);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
    if (!target || !source) return E_POINTER;
    if (target == source) return S_OK;
    const HRESULT cleared = VariantClear(target);
    if (FAILED(cleared)) return cleared;
    if (source->vt & VT_BYREF) {
        *target = *source;
        return S_OK;
    }
    if (source->vt & VT_ARRAY) {
        if (!source->parray) {
            *target = *source;
            return S_OK;
        }
        SAFEARRAY* copy = SafeArrayCreateVector(source->parray->vt, source->parray->lLbound, source->parray->cElements);
        if (!copy) return E_OUTOFMEMORY;
        if (source->parray->cElements)
            std::memcpy(copy->pvData, source->parray->pvData, source->parray->cElements * sizeof(LONG));
        target->vt = source->vt;
        target->parray = copy;
        return S_OK;
    }
    if (source->vt == VT_BSTR) {
        target->vt = VT_BSTR;
        target->bstrVal = source->bstrVal ? SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal)) : nullptr;
        return S_OK;
    }
    *target = *source;
    if (source->vt == VT_DISPATCH && source->pdispVal) source->pdispVal->AddRef();
    return S_OK;
}

std::string VarTypeName(VARTYPE vt) {
    std::string name;
    switch (vt & VT_TYPEMASK) {
        case VT_EMPTY: name = "VT_EMPTY"; break;
        case VT_NULL: name = "VT_NULL"; break;
        case VT_I2: name = "VT_I2"; break;
        case VT_I4: name = "VT_I4"; break;
        case VT_R4: name = "VT_R4"; break;
        case VT_R8: name = "VT_R8"; break;
        case VT_BSTR: name = "VT_BSTR"; break;
        case VT_DISPATCH: name = "VT_DISPATCH"; break;
        case VT_BOOL: name = "VT_BOOL"; break;
        case VT_VARIANT: name = "VT_VARIANT"; break;
        case VT_UI1: name = "VT_UI1"; break;
        default: name = "VT_" + std::to_string(vt & VT_TYPEMASK); break;
    }
    if (vt & VT_ARRAY) name += "|VT_ARRAY";
    if (vt & VT_BYREF) name += "|VT_BYREF";
    return name;
}

COleVariant& COleVariant::operator=(const COleVariant& other) {
    if (this != &other) VariantCopy(this, &other);
    return *this;
}

void COleVariant::Attach(VARIANT& source) {
    VariantClear(this);
    static_cast<VARIANT&>(*this) = source;
    VariantInit(&source);
}

VARIANT COleVariant::Detach() {
    VARIANT out = *this;
    VariantInit(this);
    return out;
}

// ---------------------------------------------------------------- safe arrays

namespace {
std::mutex& SafeArrayMutex() {
    static std::mutex mutex;
    return mutex;
}
std::set<const void*>& LiveSafeArrays() {
    static std::set<const void*> live;
    return live;
}
bool IsLiveLocked(const void* address) { return LiveSafeArrays().count(address) != 0; }
}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count) {
    if (vt != VT_I4) return nullptr;
    auto* array = new SAFEARRAY;
    array->vt = vt;
    array->cElements = count;
    array->lLbound = lowerBound;
    array->pvData = new LONG[count == 0 ? 1 : count]();
    std::lock_guard lock(SafeArrayMutex());
    LiveSafeArrays().insert(array);
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    {
        std::lock_guard lock(SafeArrayMutex());
        if (!IsLiveLocked(array)) return E_INVALIDARG;
        if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
        LiveSafeArrays().erase(array);
    }
    delete[] array->pvData;
    delete array;
    return S_OK;
}

bool SafeArrayIsLive(const void* address) {
    std::lock_guard lock(SafeArrayMutex());
    return IsLiveLocked(address);
}

int SafeArraysAlive() {
    std::lock_guard lock(SafeArrayMutex());
    return static_cast<int>(LiveSafeArrays().size());
}

namespace {
HRESULT ElementOffset(SAFEARRAY* array, const LONG* index, size_t& offset) {
    if (!array || !index) return E_POINTER;
    const std::int64_t relative = static_cast<std::int64_t>(*index) - array->lLbound;
    if (relative < 0 || relative >= static_cast<std::int64_t>(array->cElements)) return DISP_E_BADINDEX;
    offset = static_cast<size_t>(relative);
    return S_OK;
}
}  // namespace

HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* index, void* value) {
    if (!value) return E_POINTER;
    size_t offset = 0;
    const HRESULT hr = ElementOffset(array, index, offset);
    if (FAILED(hr)) return hr;
    std::memcpy(value, &array->pvData[offset], sizeof(LONG));
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* index, const void* value) {
    if (!value) return E_POINTER;
    size_t offset = 0;
    const HRESULT hr = ElementOffset(array, index, offset);
    if (FAILED(hr)) return hr;
    std::memcpy(&array->pvData[offset], value, sizeof(LONG));
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    if (!array || !data) return E_POINTER;
    ++array->cLocks;
    *data = array->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    if (!array) return E_POINTER;
    if (array->cLocks <= 0) return E_INVALIDARG;
    --array->cLocks;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    if (!array || !bound) return E_POINTER;
    if (dimension != 1) return DISP_E_BADINDEX;
    *bound = array->lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    if (!array || !bound) return E_POINTER;
    if (dimension != 1) return DISP_E_BADINDEX;
    *bound = array->lLbound + static_cast<LONG>(array->cElements) - 1;
    return S_OK;
}

// ---------------------------------------------------------------- dispatch objects

namespace {
std::atomic<int>& LiveDispatchCount() {
    static std::atomic<int> count{0};
    return count;
}
}  // namespace

IDispatch::IDispatch() { ++LiveDispatchCount(); }
IDispatch::~IDispatch() { --LiveDispatchCount(); }

int IDispatch::LiveObjects() { return LiveDispatchCount().load(); }

ULONG IDispatch::AddRef() { return ++m_refs; }

ULONG IDispatch::Release() {
    if (m_refs == 0) {
        // A release too many is a caller's fault; deleting again would be worse.
        std::fprintf(stderr, "automation: Release of %s with no reference left\n", Describe().c_str());
        return 0;
    }
    const ULONG left = --m_refs;
    if (left == 0) LastReleased();
    return left;
}

void IDispatch::Retire() { --LiveDispatchCount(); }

void IDispatch::Revive() {
    m_refs = 1;
    ++LiveDispatchCount();
}

std::string IDispatch::Describe() const { return "IDispatch"; }

namespace {
thread_local std::string t_errorInfo;
// Whether t_errorInfo may hold text: a plain flag every call can test without
// the text's per-thread set-up (the library is loaded with the program, so
// its per-thread data sits at a fixed offset).
[[gnu::tls_model("initial-exec")]] thread_local bool t_errorInfoSet = false;
}  // namespace

void SetAutomationErrorInfo(std::string description) {
    t_errorInfo = std::move(description);
    t_errorInfoSet = true;
}

std::string TakeAutomationErrorInfo() {
    if (!t_errorInfoSet) return std::string();
    std::string out = std::move(t_errorInfo);
    t_errorInfo.clear();
    t_errorInfoSet = false;
    return out;
}

// ---------------------------------------------------------------- failures

namespace {
struct FailureLog {
    std::mutex mutex;
    std::vector<AutomationFailure> entries;
    std::function<void(const AutomationFailure&)> handler;
};
FailureLog& Failures() {
    static FailureLog log;
    return log;
}

void RecordFailure(AutomationFailure failure) {
    std::function<void(const AutomationFailure&)> handler;
    {
        FailureLog& log = Failures();
        std::lock_guard lock(log.mutex);
        log.entries.push_back(failure);
        handler = log.handler;
    }
    if (handler) handler(failure);
}
}  // namespace

std::string AutomationFailure::ToString() const {
    std::string text = object + ": dispid " + std::to_string(dispid) + " (flags " + std::to_string(flags) +
                       ") failed with " + HresultName(hr);
    if (!description.empty()) text += ": " + description;
    return text;
}

std::vector<AutomationFailure> AutomationFailures() {
    FailureLog& log = Failures();
    std::lock_guard lock(log.mutex);
    return log.entries;
}

void ClearAutomationFailures() {
    FailureLog& log = Failures();
    std::lock_guard lock(log.mutex);
    log.entries.clear();
}

void SetAutomationFailureHandler(std::function<void(const AutomationFailure&)> handler) {
    FailureLog& log = Failures();
    std::lock_guard lock(log.mutex);
    log.handler = std::move(handler);
}

// ---------------------------------------------------------------- program ids

namespace {
struct ClassRegistry {
    std::mutex mutex;
    std::map<std::string, ClassFactory> factories;
    std::map<std::string, HRESULT> forcedFailures;
};
ClassRegistry& Classes() {
    static ClassRegistry registry;
    return registry;
}
}  // namespace

void RegisterClassFactory(const std::string& progId, ClassFactory factory) {
    ClassRegistry& registry = Classes();
    std::lock_guard lock(registry.mutex);
    registry.factories[progId] = std::move(factory);
}

void UnregisterClassFactory(const std::string& progId) {
    ClassRegistry& registry = Classes();
    std::lock_guard lock(registry.mutex);
    registry.factories.erase(progId);
}

bool IsClassRegistered(const std::string& progId) {
    ClassRegistry& registry = Classes();
    std::lock_guard lock(registry.mutex);
    return registry.factories.count(progId) != 0;
}

void SetClassCreationFailure(const std::string& progId, HRESULT hr) {
    ClassRegistry& registry = Classes();
    std::lock_guard lock(registry.mutex);
    if (SUCCEEDED(hr)) registry.forcedFailures.erase(progId);
    else registry.forcedFailures[progId] = hr;
}

HRESULT CreateObjectFromProgId(const char* progId, LPDISPATCH* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!progId || !*progId) {
        SetAutomationErrorInfo("empty program id");
        return CO_E_CLASSSTRING;
    }
    ClassFactory factory;
    {
        ClassRegistry& registry = Classes();
        std::lock_guard lock(registry.mutex);
        const auto forced = registry.forcedFailures.find(progId);
        if (forced != registry.forcedFailures.end()) {
            SetAutomationErrorInfo(std::string("creation of \"") + progId + "\" is set to fail");
            return forced->second;
        }
        const auto found = registry.factories.find(progId);
        if (found == registry.factories.end()) {
            SetAutomationErrorInfo(std::string("no class registered under \"") + progId + "\"");
            return REGDB_E_CLASSNOTREG;
        }
        factory = found->second;
    }
    LPDISPATCH created = factory ? factory() : nullptr;
    if (!created) {
        SetAutomationErrorInfo(std::string("the factory of \"") + progId + "\" created nothing");
        return E_FAIL;
    }
    *object = created;
    return S_OK;
}

namespace {
thread_local int t_coInitCount = 0;
}

HRESULT CoInitialize(void*) { return t_coInitCount++ == 0 ? S_OK : S_FALSE; }

void CoUninitialize() {
    if (t_coInitCount > 0) --t_coInitCount;
}

int CoInitializeCount() { return t_coInitCount; }

// ---------------------------------------------------------------- packing

namespace automation_detail {
void Pack(VARIANT& v, const char* text) { v.vt = VT_BSTR; v.bstrVal = SysAllocString(text ? text : ""); }
}  // namespace automation_detail

// ---------------------------------------------------------------- dispatch driver

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& other)
    : m_lpDispatch(other.m_lpDispatch), m_bAutoRelease(TRUE) {
    if (m_lpDispatch) m_lpDispatch->AddRef();
}

COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& other) {
    if (this != &other) {
        LPDISPATCH object = other.m_lpDispatch;
        if (object) object->AddRef();
        ReleaseDispatch();
        m_lpDispatch = object;
        m_bAutoRelease = TRUE;
    }
    return *this;
}

void COleDispatchDriver::AttachDispatch(LPDISPATCH object, BOOL autoRelease) {
    if (object == m_lpDispatch && m_bAutoRelease && autoRelease && object) {
        // Attaching the object we already own would otherwise release our own reference.
        object->Release();
        return;
    }
    ReleaseDispatch();
    m_lpDispatch = object;
    m_bAutoRelease = autoRelease;
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
    LPDISPATCH object = m_lpDispatch;
    m_lpDispatch = nullptr;
    return object;
}

void COleDispatchDriver::ReleaseDispatch() {
    LPDISPATCH object = m_lpDispatch;
    m_lpDispatch = nullptr;
    if (object && m_bAutoRelease) object->Release();
}

BOOL COleDispatchDriver::CreateDispatch(const char* progId) {
    ReleaseDispatch();
    LPDISPATCH created = nullptr;
    const HRESULT hr = CreateObjectFromProgId(progId, &created);
    m_lastResult = hr;
    if (FAILED(hr)) {
        AutomationFailure failure;
        failure.dispid = DISPID_UNKNOWN;
        failure.hr = hr;
        failure.object = std::string("CreateDispatch(\"") + (progId ? progId : "") + "\")";
        failure.description = TakeAutomationErrorInfo();
        RecordFailure(std::move(failure));
        return FALSE;
    }
    m_lpDispatch = created;
    m_bAutoRelease = TRUE;
    return TRUE;
}

namespace {

// The failure paths of a call, kept out of the call itself so that the call
// (made tens of thousands of times by a command) sets up no failure record.
[[gnu::noinline, gnu::cold]] void RecordNoObject(DISPID dispid, WORD flags) {
    RecordFailure({dispid, flags, E_POINTER, "(no object)", "the driver has no object attached"});
}

[[gnu::noinline, gnu::cold]] void ClearErrorInfo() {
    t_errorInfo.clear();
    t_errorInfoSet = false;
}

[[gnu::noinline, gnu::cold]] void RecordRefusal(LPDISPATCH object, DISPID dispid, WORD flags, HRESULT hr,
                                                VARIANT* result) {
    if (result) VariantClear(result);
    RecordFailure({dispid, flags, hr, object->Describe(), TakeAutomationErrorInfo()});
}

}  // namespace

HRESULT COleDispatchDriver::InvokeVariants(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) {
    if (result) *result = VARIANT{};
    if (!m_lpDispatch) {
        m_lastResult = E_POINTER;
        RecordNoObject(dispid, flags);
        return E_POINTER;
    }
    if (t_errorInfoSet) ClearErrorInfo();  // stale text from an earlier call must not be blamed on this one
    const HRESULT hr = m_lpDispatch->Invoke(dispid, flags, args, argCount, result);
    m_lastResult = hr;
    if (FAILED(hr)) RecordRefusal(m_lpDispatch, dispid, flags, hr, result);
    return hr;
}

void COleDispatchDriver::FreePacked(VARIANT* args, UINT count) {
    // Only the text copies belong to the call; objects and references are the caller's.
    for (UINT i = 0; i < count; ++i) {
        if (args[i].vt == VT_BSTR) VariantClear(&args[i]);
    }
}

void COleDispatchDriver::RecordTypeMismatch(DISPID dispid, WORD flags, const char* expected, const VARIANT& got) {
    m_lastResult = DISP_E_TYPEMISMATCH;
    RecordFailure({dispid, flags, DISP_E_TYPEMISMATCH, m_lpDispatch ? m_lpDispatch->Describe() : "(no object)",
                   std::string("result expected as ") + expected + ", got " + VarTypeName(got.vt)});
}

LONG COleDispatchDriver::ResultToLong(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result) {
    if (FAILED(hr)) return 0;
    LONG value = 0;
    switch (result.vt) {
        case VT_I4: value = result.lVal; break;
        case VT_I2: value = result.iVal; break;
        case VT_UI1: value = result.bVal; break;
        case VT_BOOL: value = result.boolVal ? TRUE : FALSE; break;
        default: RecordTypeMismatch(dispid, flags, "a 32-bit integer", result); break;
    }
    VariantClear(&result);
    return value;
}

double COleDispatchDriver::ResultToDouble(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result) {
    if (FAILED(hr)) return 0.0;
    double value = 0.0;
    switch (result.vt) {
        case VT_R8: value = result.dblVal; break;
        case VT_R4: value = result.fltVal; break;
        case VT_I4: value = result.lVal; break;
        case VT_I2: value = result.iVal; break;
        default: RecordTypeMismatch(dispid, flags, "a number", result); break;
    }
    VariantClear(&result);
    return value;
}

LPDISPATCH COleDispatchDriver::ResultToDispatch(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result) {
    if (FAILED(hr)) return nullptr;
    if (result.vt == VT_DISPATCH) {
        LPDISPATCH object = result.pdispVal;  // the reference passes to the caller
        VariantInit(&result);
        return object;
    }
    if (result.vt != VT_EMPTY && result.vt != VT_NULL) RecordTypeMismatch(dispid, flags, "an object", result);
    VariantClear(&result);
    return nullptr;
}

CString COleDispatchDriver::ResultToText(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result) {
    if (FAILED(hr)) return CString();
    CString text;
    if (result.vt == VT_BSTR) {
        if (result.bstrVal) text = CString(result.bstrVal, static_cast<int>(SysStringLen(result.bstrVal)));
    } else if (result.vt != VT_EMPTY) {
        RecordTypeMismatch(dispid, flags, "text", result);
    }
    VariantClear(&result);
    return text;
}

VARIANT COleDispatchDriver::ResultToVariant(HRESULT hr, VARIANT& result) {
    VARIANT out;
    VariantInit(&out);
    if (SUCCEEDED(hr)) {
        out = result;
        VariantInit(&result);
    }
    return out;
}
