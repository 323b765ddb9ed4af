// The automation stand-in (variants, safe arrays, reference counting, the
// dispatch driver, creation by program id) and the table of host dispids.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/HostDispids.h"
#include "platform/Automation.h"

namespace {

using host::HostObjectKind;
using host::OperationKind;

// ---------------------------------------------------------------- dispid table

struct ExpectedOperation {
    HostObjectKind object;
    const char* name;
    OperationKind kind;
    DISPID dispid;
};

// Typed in by hand from the interface tables of the map control and its objects.
const ExpectedOperation kDocumented[] = {
    {HostObjectKind::MapControl, "GetSelectionSet", OperationKind::PropertyGet, 3},
    {HostObjectKind::MapControl, "Action", OperationKind::PropertyPut, 5},
    {HostObjectKind::MapControl, "GetEntityStore", OperationKind::PropertyGet, 7},
    {HostObjectKind::MapControl, "Modified", OperationKind::PropertyPut, 21},
    {HostObjectKind::MapControl, "GetCommandManager", OperationKind::PropertyGet, 25},
    {HostObjectKind::MapControl, "GetRefreshObject", OperationKind::PropertyGet, 27},
    {HostObjectKind::MapControl, "GetKernelMap", OperationKind::PropertyGet, 30},
    {HostObjectKind::MapControl, "MapToClient", OperationKind::Method, 45},
    {HostObjectKind::MapControl, "GetCurrentCommand", OperationKind::Method, 49},
    {HostObjectKind::MapControl, "SetCurrentCommand", OperationKind::Method, 50},
    {HostObjectKind::MapControl, "Refresh", OperationKind::Method, -550},
    {HostObjectKind::MapControl, "RedrawEntities", OperationKind::Method, 68},
    {HostObjectKind::MapControl, "RedrawMap", OperationKind::Method, 69},
    {HostObjectKind::MapControl, "BeginSelection", OperationKind::Method, 76},
    {HostObjectKind::MapControl, "ShowPrompt", OperationKind::Method, 77},
    {HostObjectKind::MapControl, "GetKernelObject", OperationKind::ParameterizedPropertyGet, 99},
    {HostObjectKind::EntityStore, "GetEntity", OperationKind::ParameterizedPropertyGet, 5},
    {HostObjectKind::EntityStore, "GetEntityType", OperationKind::Method, 3},
    {HostObjectKind::Entity, "GetAttributeTable", OperationKind::Method, 14},
    {HostObjectKind::AttributeTable, "FindField", OperationKind::Method, 12},
    {HostObjectKind::AttributeTable, "GetFieldValue", OperationKind::Method, 8},
    {HostObjectKind::AttributeTable, "SetFieldValue", OperationKind::Method, 9},
    {HostObjectKind::SelectionSet, "ClearSelection", OperationKind::Method, 10},
    {HostObjectKind::SelectionSet, "AddToSelection", OperationKind::Method, 14},
    {HostObjectKind::CommandManager, "CanStart", OperationKind::Method, 5},
    {HostObjectKind::CommandManager, "IsCommandBlocked", OperationKind::Method, 4},
    {HostObjectKind::CommandManager, "EndCommand", OperationKind::Method, 3},
    {HostObjectKind::RefreshObject, "RefreshItems", OperationKind::Method, 3},
    {HostObjectKind::RefreshObject, "RedrawItems", OperationKind::Method, 4},
    {HostObjectKind::IntArray, "GetCount", OperationKind::Method, 1},
    {HostObjectKind::IntArray, "RemoveAll", OperationKind::Method, 3},
    {HostObjectKind::IntArray, "GetAt", OperationKind::Method, 4},
    {HostObjectKind::IntArray, "RemoveAt", OperationKind::Method, 8},
    {HostObjectKind::IntArray, "GetData", OperationKind::Method, 9},
};

TEST(HostDispidTable, EveryDocumentedOperationHasItsDispidAndKind) {
    for (const ExpectedOperation& expected : kDocumented) {
        SCOPED_TRACE(std::string(host::ObjectKindName(expected.object)) + "." + expected.name);
        const host::HostOperation& op = host::Operation(expected.object, expected.name);
        EXPECT_EQ(op.dispid, expected.dispid);
        EXPECT_EQ(op.kind, expected.kind);
        EXPECT_TRUE(op.usedByModule);
        // The reverse lookup the host objects use finds the same entry.
        EXPECT_EQ(host::FindOperation(expected.object, expected.dispid), &op);
    }
}

TEST(HostDispidTable, TableHoldsNothingTheModuleUsesBeyondTheDocumentedOperations) {
    size_t usedByModule = 0;
    for (const host::HostOperation& op : host::kHostOperations) usedByModule += op.usedByModule ? 1 : 0;
    EXPECT_EQ(usedByModule, std::size(kDocumented));
}

TEST(HostDispidTable, NoTwoOperationsOfOneObjectShareADispid) {
    std::set<std::pair<HostObjectKind, DISPID>> seen;
    for (const host::HostOperation& op : host::kHostOperations) {
        EXPECT_TRUE(seen.insert({op.object, op.dispid}).second) << op.name << " repeats dispid " << op.dispid;
    }
}

TEST(HostDispidTable, UnknownNameOrDispidIsReported) {
    EXPECT_THROW(host::Operation(HostObjectKind::IntArray, "GetSize"), std::invalid_argument);
    EXPECT_EQ(host::FindOperation(HostObjectKind::Entity, 3), nullptr);
}

TEST(HostDispidTable, CallFlagsFollowTheOperationKind) {
    EXPECT_EQ(host::DispatchFlagsFor(OperationKind::PropertyPut), DISPATCH_PROPERTYPUT);
    EXPECT_EQ(host::DispatchFlagsFor(OperationKind::ParameterizedPropertyGet), DISPATCH_PROPERTYGET);
    EXPECT_TRUE(host::FlagsMatch(OperationKind::Method, DISPATCH_METHOD));
    EXPECT_FALSE(host::FlagsMatch(OperationKind::PropertyPut, DISPATCH_METHOD));
    EXPECT_FALSE(host::FlagsMatch(OperationKind::Method, DISPATCH_PROPERTYPUT));
}

// ---------------------------------------------------------------- objects for the tests

// Records how it was called and answers with what the test set.
class Probe : public IDispatch {
public:
    static Probe* Create() { return new Probe; }

    HRESULT Invoke(DISPID dispid, WORD flags, VARIANT* args, UINT argCount, VARIANT* result) override {
        lastDispid = dispid;
        lastFlags = flags;
        argTypes.clear();
        texts.clear();
        for (UINT i = 0; i < argCount; ++i) {
            argTypes.push_back(args[i].vt);
            if (args[i].vt == VT_BSTR) texts.emplace_back(args[i].bstrVal);
            if (args[i].vt == (VT_I4 | VT_BYREF)) *args[i].plVal = 42;  // an output argument
        }
        if (FAILED(answerHr)) {
            SetAutomationErrorInfo("probe refused");
            return answerHr;
        }
        if (result) VariantCopy(result, &answer);
        return S_OK;
    }
    std::string Describe() const override { return "Probe"; }

    DISPID lastDispid = 0;
    WORD lastFlags = 0;
    std::vector<VARTYPE> argTypes;
    std::vector<std::string> texts;
    COleVariant answer;
    HRESULT answerHr = S_OK;

private:
    Probe() = default;
};

class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearAutomationFailures();
        m_liveAtStart = IDispatch::LiveObjects();
        m_arraysAtStart = SafeArraysAlive();
    }
    void TearDown() override {
        EXPECT_EQ(IDispatch::LiveObjects(), m_liveAtStart) << "dispatch objects leaked or released too often";
        EXPECT_EQ(SafeArraysAlive(), m_arraysAtStart) << "safe arrays leaked";
    }
    int m_liveAtStart = 0;
    int m_arraysAtStart = 0;
};

// ---------------------------------------------------------------- variants and arrays

TEST_F(AutomationTest, VariantClearFreesWhatTheVariantOwnsOnly) {
    Probe* probe = Probe::Create();
    VARIANT owning;
    VariantInit(&owning);
    owning.vt = VT_DISPATCH;
    owning.pdispVal = probe;
    probe->AddRef();
    EXPECT_EQ(probe->RefCount(), 2u);
    EXPECT_EQ(VariantClear(&owning), S_OK);
    EXPECT_EQ(probe->RefCount(), 1u);
    EXPECT_EQ(owning.vt, VT_EMPTY);

    LONG target = 7;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_I4 | VT_BYREF;
    byRef.plVal = &target;
    EXPECT_EQ(VariantClear(&byRef), S_OK);
    EXPECT_EQ(target, 7);

    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocStringLen("a\0b", 3);
    EXPECT_EQ(SysStringLen(text.bstrVal), 3u);  // embedded zero kept
    VARIANT copy;
    VariantInit(&copy);
    EXPECT_EQ(VariantCopy(&copy, &text), S_OK);
    EXPECT_NE(copy.bstrVal, text.bstrVal);
    EXPECT_EQ(std::string(copy.bstrVal, 3), std::string("a\0b", 3));
    VariantClear(&copy);
    VariantClear(&text);
    probe->Release();
}

TEST_F(AutomationTest, SafeArrayElementsAreAddressedFromTheLowerBound) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 1, 3);
    ASSERT_NE(array, nullptr);
    EXPECT_TRUE(SafeArrayIsLive(array));
    for (LONG i = 1; i <= 3; ++i) {
        const LONG value = i * 10;
        EXPECT_EQ(SafeArrayPutElement(array, &i, &value), S_OK);
    }
    LONG index = 2, value = 0;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), S_OK);
    EXPECT_EQ(value, 20);
    index = 0;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), DISP_E_BADINDEX);
    index = 4;
    EXPECT_EQ(SafeArrayGetElement(array, &index, &value), DISP_E_BADINDEX);
    LONG lower = 0, upper = 0;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(static_cast<LONG*>(data)[2], 30);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);  // still accessed
    SafeArrayUnaccessData(array);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_FALSE(SafeArrayIsLive(array));
    EXPECT_EQ(SafeArrayDestroy(array), E_INVALIDARG);  // a second destroy is refused, not a double free
    EXPECT_EQ(SafeArrayCreateVector(VT_R8, 0, 2), nullptr);
}

// ---------------------------------------------------------------- reference counting and drivers

TEST_F(AutomationTest, DriverReleasesItsObjectExactlyOnce) {
    Probe* probe = Probe::Create();
    probe->AddRef();  // the test's own reference, to watch the count
    {
        COleDispatchDriver driver(probe);  // takes over the creation reference
        COleDispatchDriver copy(driver);
        EXPECT_EQ(probe->RefCount(), 3u);
        COleDispatchDriver assigned;
        assigned = copy;
        EXPECT_EQ(probe->RefCount(), 4u);
        assigned.ReleaseDispatch();
        EXPECT_EQ(assigned.m_lpDispatch, nullptr);
        EXPECT_EQ(probe->RefCount(), 3u);
    }
    EXPECT_EQ(probe->RefCount(), 1u);

    {
        COleDispatchDriver borrowing;
        borrowing.AttachDispatch(probe, FALSE);  // no reference of its own
    }
    EXPECT_EQ(probe->RefCount(), 1u);

    COleDispatchDriver detaching(probe);
    EXPECT_EQ(detaching.DetachDispatch(), probe);
    EXPECT_EQ(probe->RefCount(), 1u);
    probe->Release();
}

TEST_F(AutomationTest, TypedCallPacksArgumentsAndFreesItsTextCopies) {
    Probe* probe = Probe::Create();
    COleDispatchDriver driver(probe);
    LONG out = 0;
    double number = 1.5;
    BYTE bytes[4] = {};
    VARIANT inner;
    VariantInit(&inner);
    driver.InvokeTyped(12, DISPATCH_METHOD, LONG{3}, 2.5, VariantBool{TRUE}, &out, &number, bytes,
                       static_cast<const char*>("abc"), static_cast<LPDISPATCH>(probe), &inner);
    const std::vector<VARTYPE> expected = {VT_I4, VT_R8, VT_BOOL, VT_I4 | VT_BYREF, VT_R8 | VT_BYREF,
                                           VT_UI1 | VT_BYREF, VT_BSTR, VT_DISPATCH, VT_VARIANT | VT_BYREF};
    EXPECT_EQ(probe->argTypes, expected);
    EXPECT_EQ(probe->texts, std::vector<std::string>{"abc"});
    EXPECT_EQ(out, 42);                 // output arguments reach the caller
    EXPECT_EQ(probe->RefCount(), 1u);   // passing an object adds no reference
    EXPECT_EQ(probe->lastDispid, 12);
    EXPECT_EQ(probe->lastFlags, DISPATCH_METHOD);
}

TEST_F(AutomationTest, TypedResultsConvertAndObjectResultsPassTheirReference) {
    Probe* probe = Probe::Create();
    COleDispatchDriver driver(probe);

    probe->answer.vt = VT_BOOL;
    probe->answer.boolVal = VARIANT_TRUE;
    EXPECT_EQ(driver.InvokeTyped<BOOL>(1, DISPATCH_METHOD), TRUE);

    VariantClear(&probe->answer);
    probe->answer.vt = VT_R8;
    probe->answer.dblVal = 2.25;
    EXPECT_DOUBLE_EQ(driver.InvokeTyped<double>(1, DISPATCH_METHOD), 2.25);

    Probe* child = Probe::Create();
    VariantClear(&probe->answer);
    probe->answer.vt = VT_DISPATCH;
    probe->answer.pdispVal = child;  // the answer holds the creation reference
    LPDISPATCH got = driver.InvokeTyped<LPDISPATCH>(1, DISPATCH_PROPERTYGET);
    EXPECT_EQ(got, child);
    EXPECT_EQ(child->RefCount(), 2u);  // the answer's and the caller's
    got->Release();
    VariantClear(&probe->answer);      // drops the last one: child deleted (checked by TearDown)
}

TEST_F(AutomationTest, RefusedCallGivesZeroAndIsRecordedWithTheCalleesReason) {
    Probe* probe = Probe::Create();
    COleDispatchDriver driver(probe);
    probe->answerHr = DISP_E_MEMBERNOTFOUND;
    probe->answer.vt = VT_I4;
    probe->answer.lVal = 9;
    EXPECT_EQ(driver.InvokeTyped<LONG>(77, DISPATCH_METHOD), 0);
    EXPECT_EQ(driver.GetLastResult(), DISP_E_MEMBERNOTFOUND);
    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].dispid, 77);
    EXPECT_EQ(failures[0].hr, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(failures[0].object, "Probe");
    EXPECT_EQ(failures[0].description, "probe refused");
    EXPECT_NE(failures[0].ToString().find("DISP_E_MEMBERNOTFOUND"), std::string::npos);
}

TEST_F(AutomationTest, ResultOfTheWrongTypeIsRecordedAsMismatch) {
    Probe* probe = Probe::Create();
    COleDispatchDriver driver(probe);
    probe->answer.vt = VT_BSTR;
    probe->answer.bstrVal = SysAllocString("12");
    EXPECT_EQ(driver.InvokeTyped<LONG>(4, DISPATCH_METHOD), 0);
    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].hr, DISP_E_TYPEMISMATCH);
    EXPECT_NE(failures[0].description.find("VT_BSTR"), std::string::npos);
}

TEST_F(AutomationTest, CallWithoutObjectIsRecordedNotCrashed) {
    COleDispatchDriver empty;
    EXPECT_EQ(empty.InvokeTyped<LPDISPATCH>(3, DISPATCH_PROPERTYGET), nullptr);
    EXPECT_EQ(empty.GetLastResult(), E_POINTER);
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].object, "(no object)");
}

// ---------------------------------------------------------------- program ids and initialisation

TEST_F(AutomationTest, ProgramIdCreatesRegisteredClassAndFailsOnRequest) {
    const std::string progId = "Tests.Probe";
    RegisterClassFactory(progId, [] { return static_cast<LPDISPATCH>(Probe::Create()); });

    COleDispatchDriver driver;
    ASSERT_TRUE(driver.CreateDispatch(progId.c_str()));
    ASSERT_NE(driver.m_lpDispatch, nullptr);
    EXPECT_EQ(driver.m_lpDispatch->Describe(), "Probe");

    SetClassCreationFailure(progId, E_OUTOFMEMORY);
    COleDispatchDriver refused;
    EXPECT_FALSE(refused.CreateDispatch(progId.c_str()));
    EXPECT_EQ(refused.m_lpDispatch, nullptr);
    EXPECT_EQ(refused.GetLastResult(), E_OUTOFMEMORY);

    SetClassCreationFailure(progId, S_OK);
    EXPECT_TRUE(refused.CreateDispatch(progId.c_str()));

    UnregisterClassFactory(progId);
    COleDispatchDriver unknown;
    EXPECT_FALSE(unknown.CreateDispatch(progId.c_str()));
    EXPECT_EQ(unknown.GetLastResult(), REGDB_E_CLASSNOTREG);

    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].description.find("set to fail"), std::string::npos);
    EXPECT_NE(failures[1].description.find("Tests.Probe"), std::string::npos);
}

TEST_F(AutomationTest, ComponentLibraryInitialisationIsCountedPerThread) {
    const int before = CoInitializeCount();
    EXPECT_EQ(CoInitialize(), before == 0 ? S_OK : S_FALSE);
    EXPECT_EQ(CoInitialize(), S_FALSE);
    EXPECT_EQ(CoInitializeCount(), before + 2);
    int otherThread = -1;
    std::thread([&] {
        otherThread = CoInitializeCount();
        CoInitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(otherThread, 0);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeCount(), before);
    if (before == 0) {
        CoUninitialize();  // one too many stays at zero
        EXPECT_EQ(CoInitializeCount(), 0);
    }
}

}  // namespace
