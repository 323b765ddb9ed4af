#pragma once
// Automation stand-in: variants, safe arrays of 32-bit integers, reference
// counted dispatch objects called by dispatch id, dispatch drivers, creation of
// objects from a program id, and the per-thread component-library counter.
//
// Conventions that differ from the platform we stand in for, on purpose:
//  - Invoke takes its arguments in call order (args[0] is the first argument),
//    not reversed; a property put takes its value as its only argument.
//  - Text (VT_BSTR) is an 8-bit GBK string, allocated with SysAllocString.
//  - A call the object refuses never throws: the driver returns a zero result
//    and the failure lands in the automation failure log (AutomationFailures()).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

// ---------------------------------------------------------------- results

using HRESULT = std::int32_t;
using DISPID = LONG;
using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

inline constexpr HRESULT MakeHresult(std::uint32_t code) { return static_cast<HRESULT>(code); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = MakeHresult(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHresult(0x80020005u);
inline constexpr HRESULT DISP_E_EXCEPTION = MakeHresult(0x80020009u);
inline constexpr HRESULT DISP_E_BADINDEX = MakeHresult(0x8002000Bu);
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = MakeHresult(0x8002000Du);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = MakeHresult(0x8002000Eu);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHresult(0x80040154u);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeHresult(0x800401F3u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Symbolic name of a result code ("DISP_E_TYPEMISMATCH"), or its hex form.
std::string HresultName(HRESULT hr);

// ---------------------------------------------------------------- invoke flags and ids

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;
inline constexpr DISPID DISPID_REFRESH = -550;

// ---------------------------------------------------------------- variants

inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_NULL = 1;
inline constexpr VARTYPE VT_I2 = 2;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_R4 = 4;
inline constexpr VARTYPE VT_R8 = 5;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_DISPATCH = 9;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_VARIANT = 12;
inline constexpr VARTYPE VT_UI1 = 17;
inline constexpr VARTYPE VT_ARRAY = 0x2000;
inline constexpr VARTYPE VT_BYREF = 0x4000;
inline constexpr VARTYPE VT_TYPEMASK = 0x0FFF;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Length-prefixed GBK text; the pointer addresses the first byte and the text
// is always zero-terminated. Allocate with SysAllocString, free with SysFreeString.
using BSTR = char*;
BSTR SysAllocString(const char* text);
BSTR SysAllocStringLen(const char* bytes, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

class IDispatch;
using LPDISPATCH = IDispatch*;
struct SAFEARRAY;
struct VARIANT;

struct VARIANT {
    VARTYPE vt;
    union {
        LONG lVal;
        short iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        BYTE bVal;
        BSTR bstrVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;      // VT_UI1 | VT_BYREF
        LONG* plVal;      // VT_I4 | VT_BYREF
        double* pdblVal;  // VT_R8 | VT_BYREF
        VARIANT* pvarVal; // VT_VARIANT | VT_BYREF
    };
};
using VARIANTARG = VARIANT;

void VariantInit(VARIANT* value);
// Frees what the variant owns (text, safe array, one reference of an object);
// by-reference variants own nothing. Leaves VT_EMPTY.
HRESULT VariantClear(VARIANT* value);
// Deep copy: text and arrays are duplicated, objects gain a reference.
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);

// "VT_I4", "VT_UI1|VT_BYREF", ...
std::string VarTypeName(VARTYPE vt);

// A variant that clears itself.
class COleVariant : public VARIANT {
public:
    COleVariant() { VariantInit(this); }
    COleVariant(const COleVariant& other) { VariantInit(this); VariantCopy(this, &other); }
    COleVariant& operator=(const COleVariant& other);
    ~COleVariant() { VariantClear(this); }
    // Takes over what `source` owns and leaves it VT_EMPTY.
    void Attach(VARIANT& source);
    // Hands over what this variant owns.
    VARIANT Detach();
};

// ---------------------------------------------------------------- safe arrays

// One-dimensional arrays of VT_I4 only: that is all the module exchanges.
struct SAFEARRAY {
    VARTYPE vt = VT_I4;
    ULONG cElements = 0;
    LONG lLbound = 0;
    LONG cLocks = 0;
    LONG* pvData = nullptr;
};
using LPSAFEARRAY = SAFEARRAY*;

// Null for any element type other than VT_I4.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG count);
// DISP_E_ARRAYISLOCKED while accessed; E_INVALIDARG for a pointer that is not a live array.
HRESULT SafeArrayDestroy(SAFEARRAY* array);
// index is absolute (lower bound included); DISP_E_BADINDEX outside the array.
HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* index, void* value);
HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* index, const void* value);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);
// True when the address is a safe array created here and not yet destroyed.
// Lets a receiver tell a safe array handed over as a plain pointer from a
// pointer to the first element.
bool SafeArrayIsLive(const void* address);
// Number of safe arrays created and not destroyed (leak checks).
int SafeArraysAlive();

// ---------------------------------------------------------------- dispatch objects

// A reference-counted automation object. Created with one reference that
// belongs to its creator; Release deletes it when the last one goes.
class IDispatch {
public:
    IDispatch(const IDispatch&) = delete;
    IDispatch& operator=(const IDispatch&) = delete;

    ULONG AddRef();
    ULONG Release();
    ULONG RefCount() const { return m_refs; }

    // args[0] is the first argument. `result` may be null when the caller
    // wants no result; the callee then frees what it would have returned.
    virtual HRESULT Invoke(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) = 0;

    // Short description for logs ("IntArray#3").
    virtual std::string Describe() const;

    // Number of dispatch objects alive in the process (leak checks).
    static int LiveObjects();

protected:
    IDispatch();
    virtual ~IDispatch();

    // Called when the last reference goes. An object kept for reuse instead
    // of being deleted calls Retire here, and Revive when it is handed out
    // again: a retired object neither counts as alive nor may be called.
    virtual void LastReleased() { delete this; }
    void Retire();
    void Revive();

private:
    ULONG m_refs = 1;
};

// Holds one reference; copies add one.
class CDispatchPtr {
public:
    CDispatchPtr() = default;
    // Takes over a reference the caller already holds.
    static CDispatchPtr Adopt(LPDISPATCH object) { CDispatchPtr p; p.m_object = object; return p; }
    // Adds a reference of its own.
    static CDispatchPtr Share(LPDISPATCH object) { if (object) object->AddRef(); return Adopt(object); }
    CDispatchPtr(const CDispatchPtr& other) : m_object(other.m_object) { if (m_object) m_object->AddRef(); }
    CDispatchPtr(CDispatchPtr&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    CDispatchPtr& operator=(CDispatchPtr other) noexcept { std::swap(m_object, other.m_object); return *this; }
    ~CDispatchPtr() { Reset(); }
    void Reset() { if (m_object) { LPDISPATCH o = m_object; m_object = nullptr; o->Release(); } }
    LPDISPATCH get() const { return m_object; }
    LPDISPATCH Detach() { LPDISPATCH o = m_object; m_object = nullptr; return o; }
    explicit operator bool() const { return m_object != nullptr; }
    LPDISPATCH operator->() const { return m_object; }

private:
    LPDISPATCH m_object = nullptr;
};

// Error text of the last refused call on this thread. An object that refuses
// a call says why here; the driver collects it into its failure record.
void SetAutomationErrorInfo(std::string description);
std::string TakeAutomationErrorInfo();

// ---------------------------------------------------------------- failures

struct AutomationFailure {
    DISPID dispid = 0;
    WORD flags = 0;
    HRESULT hr = S_OK;
    std::string object;       // Describe() of the called object, or "(no object)"
    std::string description;  // what went wrong, with the argument or value concerned
    std::string ToString() const;
};

// Every refused or failed call made through a COleDispatchDriver, in order.
std::vector<AutomationFailure> AutomationFailures();
void ClearAutomationFailures();
// Optional observer (for example a host program printing them); null removes it.
void SetAutomationFailureHandler(std::function<void(const AutomationFailure&)> handler);

// ---------------------------------------------------------------- creation by program id

using ClassFactory = std::function<LPDISPATCH()>;
// Replaces any factory already registered under that program id.
void RegisterClassFactory(const std::string& progId, ClassFactory factory);
void UnregisterClassFactory(const std::string& progId);
bool IsClassRegistered(const std::string& progId);
// Makes every creation of that program id fail with `hr` until cleared with S_OK
// (a host that cannot create the object).
void SetClassCreationFailure(const std::string& progId, HRESULT hr);
// On success *object holds one reference that belongs to the caller.
HRESULT CreateObjectFromProgId(const char* progId, LPDISPATCH* object);

// Component library initialisation, counted per thread.
HRESULT CoInitialize(void* reserved = nullptr);  // S_OK the first time on a thread, S_FALSE after
void CoUninitialize();
int CoInitializeCount();  // of the calling thread

// ---------------------------------------------------------------- dispatch driver

// Marks a BOOL argument that travels as VT_BOOL (BOOL and LONG are one type here).
struct VariantBool {
    BOOL value;
};

namespace automation_detail {
// Scalars and references are packed in place: a call through a driver packs
// its arguments every time, and the module makes tens of thousands of calls.
inline void Pack(VARIANT& v, LONG value) { v.vt = VT_I4; v.lVal = value; }
inline void Pack(VARIANT& v, double value) { v.vt = VT_R8; v.dblVal = value; }
inline void Pack(VARIANT& v, VariantBool value) { v.vt = VT_BOOL; v.boolVal = value.value ? VARIANT_TRUE : VARIANT_FALSE; }
inline void Pack(VARIANT& v, LONG* value) { v.vt = VT_I4 | VT_BYREF; v.plVal = value; }
inline void Pack(VARIANT& v, double* value) { v.vt = VT_R8 | VT_BYREF; v.pdblVal = value; }
inline void Pack(VARIANT& v, BYTE* value) { v.vt = VT_UI1 | VT_BYREF; v.pbVal = value; }
void Pack(VARIANT& v, const char* text);  // copied into a VT_BSTR, freed after the call
inline void Pack(VARIANT& v, IDispatch* object) { v.vt = VT_DISPATCH; v.pdispVal = object; }  // no reference of its own
inline void Pack(VARIANT& v, VARIANT* value) { v.vt = VT_VARIANT | VT_BYREF; v.pvarVal = value; }
}  // namespace automation_detail

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    explicit COleDispatchDriver(LPDISPATCH object, BOOL autoRelease = TRUE)
        : m_lpDispatch(object), m_bAutoRelease(autoRelease) {}
    // The copy shares the object and holds a reference of its own.
    COleDispatchDriver(const COleDispatchDriver& other);
    COleDispatchDriver& operator=(const COleDispatchDriver& other);
    virtual ~COleDispatchDriver() { ReleaseDispatch(); }

    // Releases the current object first. With autoRelease the driver takes
    // over one reference the caller holds.
    void AttachDispatch(LPDISPATCH object, BOOL autoRelease = TRUE);
    // Forgets the object without releasing it; the caller gets its reference.
    LPDISPATCH DetachDispatch();
    // Releases the object (when auto-release) and forgets it.
    void ReleaseDispatch();
    // Creates the object of a program id; FALSE (failure recorded) when that fails.
    BOOL CreateDispatch(const char* progId);

    // Raw call. Records a failure (no object attached, or the object refused).
    HRESULT InvokeVariants(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result);

    // Typed call: packs the arguments, invokes and converts the result to R
    // (void, LONG/BOOL, double, LPDISPATCH with the reference passed on,
    // VARIANT owned by the caller, CString). A refused call or a result of the
    // wrong type gives a zero R and a failure record.
    template <typename R = void, typename... A>
    R InvokeTyped(DISPID dispid, WORD flags, A... args);

    // Result of the last call through this driver (S_OK or the failure).
    HRESULT GetLastResult() const { return m_lastResult; }

    LPDISPATCH m_lpDispatch = nullptr;
    BOOL m_bAutoRelease = TRUE;

private:
    LONG ResultToLong(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result);
    double ResultToDouble(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result);
    LPDISPATCH ResultToDispatch(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result);
    CString ResultToText(DISPID dispid, WORD flags, HRESULT hr, VARIANT& result);
    VARIANT ResultToVariant(HRESULT hr, VARIANT& result);
    void RecordTypeMismatch(DISPID dispid, WORD flags, const char* expected, const VARIANT& got);
    static void FreePacked(VARIANT* args, UINT count);

    HRESULT m_lastResult = S_OK;
};

template <typename R, typename... A>
R COleDispatchDriver::InvokeTyped(DISPID dispid, WORD flags, A... args) {
    // Value-initialised variants are VT_EMPTY already (VT_EMPTY is 0).
    std::array<VARIANT, sizeof...(A) == 0 ? 1 : sizeof...(A)> argv{};
    [[maybe_unused]] size_t next = 0;
    ((automation_detail::Pack(argv[next], args), ++next), ...);
    VARIANT result{};
    const HRESULT hr = InvokeVariants(dispid, flags, sizeof...(A) == 0 ? nullptr : argv.data(),
                                      static_cast<UINT>(sizeof...(A)), std::is_void_v<R> ? nullptr : &result);
    // Only text arguments own a copy that the call must free.
    if constexpr ((std::is_same_v<A, const char*> || ...)) FreePacked(argv.data(), static_cast<UINT>(sizeof...(A)));
    if constexpr (std::is_void_v<R>) {
        (void)hr;
    } else if constexpr (std::is_same_v<R, LONG>) {
        // The usual answer, a plain integer, owns nothing and needs no clearing.
        if (SUCCEEDED(hr) && result.vt == VT_I4) return result.lVal;
        return ResultToLong(dispid, flags, hr, result);
    } else if constexpr (std::is_same_v<R, double>) {
        return ResultToDouble(dispid, flags, hr, result);
    } else if constexpr (std::is_same_v<R, LPDISPATCH>) {
        if (SUCCEEDED(hr) && result.vt == VT_DISPATCH) return result.pdispVal;  // the reference passes to the caller
        return ResultToDispatch(dispid, flags, hr, result);
    } else if constexpr (std::is_same_v<R, CString>) {
        return ResultToText(dispid, flags, hr, result);
    } else if constexpr (std::is_same_v<R, VARIANT>) {
        return ResultToVariant(hr, result);
    } else {
        static_assert(!sizeof(R*), "unsupported automation result type");
    }
}
