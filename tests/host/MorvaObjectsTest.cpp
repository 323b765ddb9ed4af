// The host's map control and its objects, driven through the module-side
// wrappers exactly as the module calls them, with the call log and the
// control's state as the witnesses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"

namespace {

using host::HostSession;

constexpr LONG kTransformer = 101;
constexpr LONG kMotor = 102;
constexpr LONG kTransformerHandle = 5001;

// Transformer 101 carries fields 151, 163 and 174, so FindField gives the
// columns 0, 1 and 2 (ascending field number). Sub-index 2 of field 163 holds
// two Chinese characters: 4 GBK bytes.
host::MapDocument MakeMap() {
    host::MapDocument document;
    host::MapObject transformer;
    transformer.entityId = kTransformer;
    transformer.handle = kTransformerHandle;
    transformer.entityType = host::EntityType::Transformer;
    transformer.kind = FromUtf8(host::KindName::MobileSubstation);
    transformer.fields[151] = {FromUtf8("综采工作面"), "1", "12.50"};
    transformer.fields[163] = {"7", "KBSG-500", FromUtf8("变压")};
    transformer.fields[174] = {"0"};
    document.AddObject(transformer);
    host::MapObject motor;
    motor.entityId = kMotor;
    motor.handle = 5002;
    motor.kind = FromUtf8(host::KindName::Motor);
    document.AddObject(motor);
    document.view() = host::MapView{100.0, 200.0, 2.0};
    return document;
}

VARIANT ByteVariant(BYTE* buffer) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = buffer;
    return value;
}

class MapControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearAutomationFailures();
        m_liveAtStart = IDispatch::LiveObjects();
        m_arraysAtStart = SafeArraysAlive();
        session = std::make_unique<HostSession>(document);
    }
    void TearDown() override {
        session.reset();
        EXPECT_EQ(IDispatch::LiveObjects(), m_liveAtStart) << "host objects leaked or released too often";
        EXPECT_EQ(SafeArraysAlive(), m_arraysAtStart) << "safe arrays leaked";
    }

    CMorvaObjects& map() { return session->mapControl(); }
    host::CallLog& log() { return session->log(); }
    host::MapControlState& state() { return session->state(); }

    // Store, entity and table, the drivers of the first two released on return.
    CMOAttributeTable OpenTable(LONG entityId, LONG access) {
        CMOEntityStore store(map().GetEntityStore());
        CMOEntity entity(store.GetEntity(entityId));
        return CMOAttributeTable(entity.GetAttributeTable(access));
    }

    CMOIntArray NewIntArray(std::initializer_list<LONG> values) {
        CMOIntArray array;
        EXPECT_TRUE(array.CreateDispatch(host::kIntArrayProgId));
        for (LONG v : values) array.Add(v);
        return array;
    }

    host::MapDocument document = MakeMap();
    std::unique_ptr<HostSession> session;

private:
    int m_liveAtStart = 0;
    int m_arraysAtStart = 0;
};

// ---------------------------------------------------------------- attribute reads and writes

TEST_F(MapControlTest, TwoChineseCharactersReadWithSizeFiveInTwoCalls) {
    CMOAttributeTable table = OpenTable(kTransformer, 0);
    const LONG column = table.FindField(163);
    ASSERT_EQ(column, 1);

    VARIANT value = ByteVariant(nullptr);
    const LONG size = table.GetFieldValue(column, 2, 0, 0, &value);
    EXPECT_EQ(size, 5);  // "变压": 2 characters x 2 GBK bytes + terminator

    std::vector<BYTE> buffer(static_cast<size_t>(size), 0xCC);
    value.pbVal = buffer.data();
    EXPECT_EQ(table.GetFieldValue(column, 2, 0, size, &value), 5);
    EXPECT_EQ(CString(reinterpret_cast<const char*>(buffer.data())), FromUtf8("变压"));
    EXPECT_EQ(buffer[4], 0);

    const auto calls = log().Filter("GetFieldValue");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].args[3], "0");
    EXPECT_EQ(calls[0].result, "5");
    EXPECT_EQ(calls[1].note, "field 163, copied \"变压\"");
}

TEST_F(MapControlTest, BufferTooSmallGetsOnlyTheSize) {
    CMOAttributeTable table = OpenTable(kTransformer, 0);
    std::vector<BYTE> buffer(4, 'x');
    VARIANT value = ByteVariant(buffer.data());
    EXPECT_EQ(table.GetFieldValue(1, 2, 0, 4, &value), 5);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "xxxx");
}

TEST_F(MapControlTest, SubIndexBeyondTheRowReadsAsEmptyText) {
    CMOAttributeTable table = OpenTable(kTransformer, 0);
    BYTE buffer[1] = {'x'};
    VARIANT value = ByteVariant(buffer);
    EXPECT_EQ(table.GetFieldValue(2, 9, 0, 0, &value), 1);
    EXPECT_EQ(table.GetFieldValue(2, 9, 0, 1, &value), 1);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(document.FindByEntity(kTransformer)->fields[174].size(), 1u);  // a read extends nothing
}

TEST_F(MapControlTest, WriteStoresTheBytesBeforeTheTerminatorAndExtendsTheRow) {
    CMOAttributeTable table = OpenTable(kTransformer, 1);
    const LONG column = table.FindField(163);
    char empty[] = "";
    VARIANT value = ByteVariant(reinterpret_cast<BYTE*>(empty));
    table.SetFieldValue(column, 5, 0, 1, &value);  // empty text: length 0 + 1

    char model[] = "KBSG-630";
    value.pbVal = reinterpret_cast<BYTE*>(model);
    table.SetFieldValue(column, 1, 0, 5, &value);  // size 5 counts the terminator: 4 bytes stored

    const host::AttributeRow& row = document.FindByEntity(kTransformer)->fields.at(163);
    ASSERT_EQ(row.size(), 6u);
    EXPECT_EQ(row[1], CString("KBSG"));
    EXPECT_EQ(row[2], FromUtf8("变压"));  // untouched
    EXPECT_EQ(row[3], CString(""));
    EXPECT_EQ(row[5], CString(""));
    EXPECT_TRUE(document.modified());
    EXPECT_TRUE(AutomationFailures().empty());

    const auto writes = log().Filter("SetFieldValue");
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].args, (std::vector<std::string>{"1", "5", "0", "1", "\"\""}));
    EXPECT_EQ(writes[1].args[4], "\"KBSG\"");
}

TEST_F(MapControlTest, WriteThroughAReadTableIsRefusedAndRecorded) {
    CMOAttributeTable table = OpenTable(kTransformer, 0);
    char text[] = "9";
    VARIANT value = ByteVariant(reinterpret_cast<BYTE*>(text));
    table.SetFieldValue(1, 0, 0, 2, &value);

    EXPECT_EQ(document.FindByEntity(kTransformer)->fields.at(163)[0], CString("7"));
    EXPECT_FALSE(document.modified());
    EXPECT_EQ(table.GetLastResult(), E_ACCESSDENIED);
    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].object, "AttributeTable#1");
    EXPECT_NE(failures[0].description.find("access 0"), std::string::npos);
    ASSERT_EQ(log().Failures().size(), 1u);
    EXPECT_EQ(log().Failures()[0].operation, "SetFieldValue");
}

TEST_F(MapControlTest, MissingFieldShowsInTheLogAsFindFieldMinusOneWithoutValueCalls) {
    // One read of the kind every dialog makes: size, then text, only after a column was found.
    auto read = [&](LONG entityId, LONG field) {
        CMOAttributeTable table = OpenTable(entityId, 0);
        const LONG column = table.FindField(field);
        if (column < 0) return;
        VARIANT value = ByteVariant(nullptr);
        std::vector<BYTE> buffer(static_cast<size_t>(table.GetFieldValue(column, 0, 0, 0, &value)));
        value.pbVal = buffer.data();
        table.GetFieldValue(column, 0, 0, static_cast<LONG>(buffer.size()), &value);
    };
    read(kTransformer, 175);
    read(999, 151);  // an entity the map lacks has no fields at all
    EXPECT_EQ(log().Operations(), (std::vector<std::string>{"GetEntityStore", "GetEntity", "GetAttributeTable", "FindField",
                                                            "GetEntityStore", "GetEntity", "GetAttributeTable", "FindField"}));
    EXPECT_EQ(log().Filter("FindField")[0].result, "-1");
    EXPECT_EQ(log().Filter("FindField")[1].result, "-1");
    EXPECT_EQ(log().Count("GetFieldValue"), 0u);

    read(kTransformer, 151);
    EXPECT_EQ(log().Count("GetFieldValue"), 2u);
    EXPECT_EQ(log().IndexOf("GetFieldValue"), log().IndexOf("FindField", 8) + 1);
}

// ---------------------------------------------------------------- integer array

TEST_F(MapControlTest, RemoveAtMovesLaterElementsDownSoAScanRetestsTheIndex) {
    CMOIntArray array = NewIntArray({5, 7, 7, 9});
    for (LONG i = 0; i < array.GetCount(); ++i) {
        if (array.GetAt(i) == 7) {
            array.RemoveAt(i);
            --i;
        }
    }
    ASSERT_EQ(array.GetCount(), 2);
    EXPECT_EQ(array.GetAt(0), 5);
    EXPECT_EQ(array.GetAt(1), 9);

    // Without the retest the second 7 slides into the tested place and survives.
    CMOIntArray skipping = NewIntArray({5, 7, 7, 9});
    for (LONG i = 0; i < skipping.GetCount(); ++i) {
        if (skipping.GetAt(i) == 7) skipping.RemoveAt(i);
    }
    EXPECT_EQ(host::AsHostIntArray(skipping.m_lpDispatch)->values(), (std::vector<LONG>{5, 7, 9}));

    EXPECT_TRUE(AutomationFailures().empty());
    EXPECT_EQ(array.GetAt(2), 0);  // past the end: zero and a recorded refusal
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, DISP_E_BADINDEX);
    array.RemoveAll();
    EXPECT_EQ(array.GetCount(), 0);
}

TEST_F(MapControlTest, GetDataHandsOverASafeArrayTheRefreshObjectCanRead) {
    CMOIntArray array = NewIntArray({3, 1, 4});
    VARIANT data = array.GetData();
    ASSERT_EQ(data.vt, VT_ARRAY | VT_I4);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(data.parray, 1, &lower);
    SafeArrayGetUBound(data.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2);
    std::vector<LONG> elements;
    for (LONG i = lower; i <= upper; ++i) {
        LONG element = 0;
        SafeArrayGetElement(data.parray, &i, &element);
        elements.push_back(element);
    }
    EXPECT_EQ(elements, (std::vector<LONG>{3, 1, 4}));

    {
        CMORefresh refresh(map().GetRefreshObject());
        // The module passes the safe array itself where a pointer to integers is declared.
        refresh.RefreshItems(reinterpret_cast<LONG*>(data.parray), 3, 0, 0);
        LONG ids[2] = {101, 102};
        refresh.RedrawItems(ids, 2);
        refresh.RedrawItems(reinterpret_cast<LONG*>(data.parray), 4);  // more than the array holds
    }
    ASSERT_EQ(state().refreshedItems.size(), 1u);
    EXPECT_EQ(state().refreshedItems[0].ids, (std::vector<LONG>{3, 1, 4}));
    EXPECT_TRUE(state().refreshedItems[0].passedAsSafeArray);
    ASSERT_EQ(state().redrawnItems.size(), 1u);
    EXPECT_EQ(state().redrawnItems[0].ids, (std::vector<LONG>{101, 102}));
    EXPECT_FALSE(state().redrawnItems[0].passedAsSafeArray);
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, E_INVALIDARG);
    EXPECT_EQ(VariantClear(&data), S_OK);
}

TEST_F(MapControlTest, ProgramIdFactoryCreatesArraysLoggedInTheSessionAndCanBeMadeToFail) {
    CMOIntArray array;
    ASSERT_TRUE(array.CreateDispatch("MorvaObjects.MOIntArray"));
    ASSERT_NE(host::AsHostIntArray(array.m_lpDispatch), nullptr);
    array.GetCount();
    EXPECT_EQ(log().back().object, "IntArray");
    EXPECT_EQ(log().back().operation, "GetCount");

    SetClassCreationFailure(host::kIntArrayProgId, E_OUTOFMEMORY);
    CMOIntArray refused;
    EXPECT_FALSE(refused.CreateDispatch(host::kIntArrayProgId));
    SetClassCreationFailure(host::kIntArrayProgId, S_OK);
    EXPECT_EQ(refused.m_lpDispatch, nullptr);
    EXPECT_EQ(refused.GetCount(), 0);  // calls on the missing object are refused, not crashed
    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0].hr, E_OUTOFMEMORY);
    EXPECT_EQ(failures[1].hr, E_POINTER);
}

// ---------------------------------------------------------------- commands, picks and selection

TEST_F(MapControlTest, CurrentCommandPairAndCommandManager) {
    LONG id = -1, step = -1;
    map().GetCurrentCommand(&id, &step);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(step, 0);
    map().SetCurrentCommand(7, 1);
    map().GetCurrentCommand(&id, &step);
    EXPECT_EQ(id, 7);
    EXPECT_EQ(step, 1);

    CMOCommandManager manager(map().GetCommandManager());
    EXPECT_EQ(manager.CanStart(), TRUE);
    EXPECT_EQ(manager.IsCommandBlocked(7), FALSE);
    state().canStart = false;
    state().blockedCommands = {7};
    EXPECT_EQ(manager.CanStart(), FALSE);
    EXPECT_EQ(manager.IsCommandBlocked(7), TRUE);
    EXPECT_EQ(manager.IsCommandBlocked(8), FALSE);

    manager.EndCommand();
    map().GetCurrentCommand(&id, &step);
    EXPECT_EQ(id, 0);
    EXPECT_EQ(step, 0);
    EXPECT_EQ(state().commandHistory, (std::vector<host::CommandPair>{{7, 1}, {0, 0}}));
    EXPECT_EQ(state().endCommandCount, 1);
    EXPECT_EQ(log().Filter("GetCurrentCommand")[0].ToString(), "MapControl#1.GetCurrentCommand(out, out) -> (0, 0)");
    EXPECT_EQ(log().Filter("EndCommand")[0].note, "ended command (7, 1)");
}

TEST_F(MapControlTest, MapToClientFollowsTheDocumentsView) {
    double x = 0.0, y = 0.0;
    // origin (100, 200), scale 2: ((110 - 100) * 2, (200 - 190) * 2) = (20, 20)
    map().MapToClient(110.0, 190.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, 20.0);
    EXPECT_DOUBLE_EQ(y, 20.0);
    // ((95.5 - 100) * 2, (200 - 250) * 2) = (-9, -100): left of and above the window
    map().MapToClient(95.5, 250.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, -9.0);
    EXPECT_DOUBLE_EQ(y, -100.0);
    document.view().scale = 0.5;  // a zoom of the host shows at once: ((110 - 100) * 0.5, (200 - 190) * 0.5)
    map().MapToClient(110.0, 190.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, 5.0);
    EXPECT_DOUBLE_EQ(y, 5.0);
}

TEST_F(MapControlTest, BeginSelectionRecordsThePickAndTheHostFillsTheArray) {
    CMOIntArray array = NewIntArray({});
    map().BeginSelection(array.m_lpDispatch, 0, 2, 63, nullptr);
    ASSERT_TRUE(state().pick.has_value());
    EXPECT_EQ(state().pick->intArray.get(), array.m_lpDispatch);
    EXPECT_EQ(state().pick->arg1, 0);
    EXPECT_EQ(state().pick->arg2, 2);
    EXPECT_EQ(state().pick->arg3, 63);
    EXPECT_FALSE(state().pick->extra);
    EXPECT_EQ(array.m_lpDispatch->RefCount(), 2u);  // the module's driver and the host's pick
    EXPECT_EQ(session->pendingPickArray(), host::AsHostIntArray(array.m_lpDispatch));

    ASSERT_TRUE(session->FinishPick({kTransformer, kMotor}));
    EXPECT_FALSE(state().pick.has_value());
    EXPECT_EQ(array.m_lpDispatch->RefCount(), 1u);
    ASSERT_EQ(array.GetCount(), 2);
    EXPECT_EQ(array.GetAt(1), kMotor);

    std::string error;
    EXPECT_FALSE(session->FinishPick({kTransformer}, &error));
    EXPECT_NE(error.find("BeginSelection"), std::string::npos);

    map().BeginSelection(nullptr, 0, 2, 63, nullptr);  // nothing to pick into
    EXPECT_FALSE(state().pick.has_value());
    EXPECT_EQ(map().driver().GetLastResult(), E_INVALIDARG);
}

TEST_F(MapControlTest, PickArrayOutlivesTheModulesDriverUntilTheSessionCloses) {
    {
        CMOIntArray array = NewIntArray({});
        map().BeginSelection(array.m_lpDispatch, 0, 2, 63, nullptr);
    }
    ASSERT_NE(session->pendingPickArray(), nullptr);
    EXPECT_TRUE(session->FinishPick({kTransformer}));  // released with the pick; TearDown checks no leak
}

TEST_F(MapControlTest, AddToSelectionCountsOnlyNewIdsOfTheMap) {
    CMOIntArray array = NewIntArray({kTransformer, kMotor, kTransformer, 999});
    CMOSelectionSet selection(map().GetSelectionSet());
    EXPECT_EQ(selection.AddToSelection(array.m_lpDispatch), 2);
    EXPECT_EQ(state().selection, (std::vector<LONG>{kTransformer, kMotor}));
    EXPECT_EQ(selection.AddToSelection(array.m_lpDispatch), 0);
    EXPECT_EQ(log().Filter("AddToSelection")[0].note, "not in the map, not selected: [999]");
    selection.ClearSelection();
    EXPECT_TRUE(state().selection.empty());

    EXPECT_EQ(selection.AddToSelection(selection.m_lpDispatch), 0);  // not an integer array
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, DISP_E_TYPEMISMATCH);
}

// ---------------------------------------------------------------- the control's other operations

TEST_F(MapControlTest, ControlOperationsReachTheStateAndTheDocument) {
    map().SetAction(3);
    map().SetModified(TRUE);
    EXPECT_EQ(state().action, 3);
    EXPECT_TRUE(state().modified);
    EXPECT_TRUE(document.modified());

    EXPECT_EQ(map().GetKernelMap(), session->kernelMap());
    EXPECT_NE(session->kernelMap(), 0);
    EXPECT_EQ(HostSession::DocumentForKernelMap(session->kernelMap()), &document);
    EXPECT_EQ(map().GetKernelObject(kTransformer), kTransformerHandle);
    EXPECT_EQ(map().GetKernelObject(999), 0);
    {
        CMOEntityStore store(map().GetEntityStore());
        EXPECT_EQ(store.GetEntityType(kTransformer), host::EntityType::Transformer);
        EXPECT_EQ(store.GetEntityType(kMotor), host::EntityType::Symbol);
        EXPECT_EQ(store.GetEntityType(999), 0);
    }

    const CString prompt = FromUtf8("请选择变压器或[ESC取消命令]:");
    map().ShowPrompt(prompt);
    EXPECT_EQ(state().prompt, prompt);
    EXPECT_EQ(log().back().args[0], "\"请选择变压器或[ESC取消命令]:\"");

    LONG id = kTransformer;
    map().RedrawEntities(&id, 1, 0);
    ASSERT_EQ(state().entityRedraws.size(), 1u);
    EXPECT_EQ(state().entityRedraws[0].entityIds, std::vector<LONG>{kTransformer});
    map().RedrawMap();
    map().Refresh();
    EXPECT_EQ(state().redrawMapCount, 1);
    EXPECT_EQ(state().refreshCount, 1);

    map().SendMessage(WM_SETCURSOR, 0, 0);
    ASSERT_EQ(state().messages.size(), 1u);
    EXPECT_EQ(state().messages[0].message, WM_SETCURSOR);
    EXPECT_EQ(log().back().ToString(), "MapControl#1.SendMessage(WM_SETCURSOR, 0, 0) -> 0");
    EXPECT_TRUE(AutomationFailures().empty());
}

TEST_F(MapControlTest, MalformedCallsAreRefusedWithTheirReason) {
    COleDispatchDriver& control = map().driver();
    VARIANT one;
    VariantInit(&one);
    one.vt = VT_I4;
    EXPECT_EQ(control.InvokeVariants(50, DISPATCH_METHOD, &one, 1, nullptr), DISP_E_BADPARAMCOUNT);  // SetCurrentCommand takes 2
    EXPECT_EQ(control.InvokeVariants(1234, DISPATCH_METHOD, nullptr, 0, nullptr), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(control.InvokeVariants(5, DISPATCH_METHOD, &one, 1, nullptr), DISP_E_MEMBERNOTFOUND);  // Action is a put

    CMOAttributeTable table = OpenTable(kTransformer, 0);
    VARIANT notBytes;
    VariantInit(&notBytes);
    notBytes.vt = VT_I4;
    EXPECT_EQ(table.GetFieldValue(0, 0, 0, 0, &notBytes), 0);
    EXPECT_EQ(table.GetFieldValue(7, 0, 0, 0, &notBytes), 0);

    CMOEntityStore store(map().GetEntityStore());
    CMOEntity entity(store.GetEntity(kTransformer));
    EXPECT_EQ(entity.GetAttributeTable(2), nullptr);

    const auto failures = AutomationFailures();
    ASSERT_EQ(failures.size(), 6u);
    EXPECT_NE(failures[0].description.find("takes 2 arguments, got 1"), std::string::npos);
    EXPECT_EQ(failures[3].hr, DISP_E_TYPEMISMATCH);
    EXPECT_NE(failures[3].description.find("argument 5 (value)"), std::string::npos);
    EXPECT_EQ(failures[4].hr, DISP_E_TYPEMISMATCH);  // the type is checked before the column
    EXPECT_EQ(failures[5].hr, E_INVALIDARG);
    EXPECT_EQ(log().Failures().size(), 6u);
}

TEST_F(MapControlTest, ColumnOutsideTheEntitysFieldsIsABadIndex) {
    CMOAttributeTable table = OpenTable(kTransformer, 0);
    VARIANT value = ByteVariant(nullptr);
    EXPECT_EQ(table.GetFieldValue(3, 0, 0, 0, &value), 0);  // fields 151, 163, 174: columns 0..2
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, DISP_E_BADINDEX);
    EXPECT_NE(AutomationFailures()[0].description.find("outside the 3 fields"), std::string::npos);
}

// ---------------------------------------------------------------- reference counting

TEST_F(MapControlTest, EveryHandedOutObjectIsReleasedByItsDriver) {
    const int before = IDispatch::LiveObjects();
    {
        CMOEntityStore store(map().GetEntityStore());
        CMOEntity entity(store.GetEntity(kTransformer));
        CMOAttributeTable table(entity.GetAttributeTable(0));
        EXPECT_EQ(IDispatch::LiveObjects(), before + 3);
        EXPECT_EQ(table.m_lpDispatch->RefCount(), 1u);
        // A result nobody takes is freed by the host, not leaked.
        map().driver().InvokeVariants(7, DISPATCH_PROPERTYGET, nullptr, 0, nullptr);
        EXPECT_EQ(IDispatch::LiveObjects(), before + 3);
    }
    EXPECT_EQ(IDispatch::LiveObjects(), before);
}

TEST_F(MapControlTest, ObjectsOutlivingTheirSessionRefuseCalls) {
    CMOEntityStore store(map().GetEntityStore());
    session.reset();
    EXPECT_EQ(store.GetEntityType(kTransformer), 0);
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, E_FAIL);
    EXPECT_NE(AutomationFailures()[0].description.find("closed"), std::string::npos);
}

TEST_F(MapControlTest, ASessionsOwnLogKeepsOnlyTheNewestCallsAndAGivenLogKeepsAll) {
    // A long host run must not grow with every call it answers.
    ASSERT_EQ(log().capacity(), host::kSessionCallLogCapacity);
    const size_t calls = host::kSessionCallLogCapacity + 250;
    for (size_t i = 0; i < calls; ++i) map().RedrawMap();
    map().Refresh();
    EXPECT_EQ(log().size(), host::kSessionCallLogCapacity);
    EXPECT_EQ(log().dropped(), calls + 1 - host::kSessionCallLogCapacity);
    EXPECT_EQ(log().back().operation, "Refresh") << "the newest is kept";
    EXPECT_EQ(log().Count("RedrawMap"), host::kSessionCallLogCapacity - 1);
    // Lines keep the numbers of the calls since the log began.
    const std::string text = log().ToString();
    EXPECT_EQ(text.substr(0, text.find(':')), std::to_string(calls + 1 - host::kSessionCallLogCapacity));

    // A log a caller hands over is unbounded.
    host::MapDocument other = MakeMap();
    host::CallLog given;
    {
        HostSession second(other, &given);
        for (size_t i = 0; i < calls; ++i) second.mapControl().RedrawMap();
    }
    EXPECT_EQ(given.size(), calls);
    EXPECT_EQ(given.dropped(), 0u);

    // A small ring, entry by entry.
    host::CallLog ring(2);
    for (const char* operation : {"A", "B", "C"}) {
        host::CallEntry entry;
        entry.object = "MapControl";
        entry.operation = operation;
        ring.Append(entry);
    }
    EXPECT_EQ(ring.Operations(), (std::vector<std::string>{"B", "C"}));
    ring.Clear();
    EXPECT_TRUE(ring.empty());
    EXPECT_EQ(ring.dropped(), 0u);
}

// jdhost and the desktop host read no call log and hand their session one that
// keeps nothing; the calls skip their log texts then, and must answer, write
// and refuse exactly as with a log.
TEST_F(MapControlTest, ASessionWhoseLogKeepsNothingAnswersAsOneWithALog) {
    struct Outcome {
        LONG size = 0;
        std::string copied;
        std::vector<HRESULT> results;
        std::vector<std::string> failures;
        CString stored;
        LONG added = 0;
    };
    auto work = [](host::CallLog& log) {
        host::MapDocument doc = MakeMap();
        Outcome outcome;
        {
            HostSession own(doc, &log);
            ClearAutomationFailures();
            CMOEntityStore store(own.mapControl().GetEntityStore());
            CMOEntity entity(store.GetEntity(kTransformer));
            CMOAttributeTable read(entity.GetAttributeTable(0));
            const LONG column = read.FindField(163);
            VARIANT value = ByteVariant(nullptr);
            outcome.size = read.GetFieldValue(column, 2, 0, 0, &value);
            std::vector<BYTE> buffer(static_cast<size_t>(std::max<LONG>(outcome.size, 1)), 0);
            value.pbVal = buffer.data();
            read.GetFieldValue(column, 2, 0, outcome.size, &value);
            outcome.copied = ToUtf8(CString(reinterpret_cast<const char*>(buffer.data())));
            char text[] = "KBSG";
            VARIANT written = ByteVariant(reinterpret_cast<BYTE*>(text));
            read.SetFieldValue(column, 0, 0, 5, &written);  // refused: opened for reading
            outcome.results.push_back(read.GetLastResult());
            CMOAttributeTable write(entity.GetAttributeTable(1));
            write.SetFieldValue(column, 0, 0, 5, &written);
            outcome.results.push_back(write.GetLastResult());
            CMOIntArray ids;
            EXPECT_TRUE(ids.CreateDispatch(host::kIntArrayProgId));
            ids.Add(kTransformer);
            ids.Add(kMotor);
            ids.Add(999999);
            CMOSelectionSet selection(own.mapControl().GetSelectionSet());
            outcome.added = selection.AddToSelection(ids.m_lpDispatch);
            own.mapControl().RedrawMap();
            for (const AutomationFailure& failure : AutomationFailures())
                outcome.failures.push_back(failure.object + ": " + failure.description);
        }
        outcome.stored = doc.FindByEntity(kTransformer)->fields.at(163)[0];
        return outcome;
    };
    host::CallLog full;
    host::CallLog nothing(host::CallLog::kNothing);
    const Outcome logged = work(full);
    const Outcome quiet = work(nothing);

    EXPECT_EQ(quiet.size, logged.size);
    EXPECT_EQ(quiet.copied, logged.copied);
    EXPECT_EQ(quiet.results, logged.results);
    EXPECT_EQ(quiet.failures, logged.failures);
    ASSERT_EQ(quiet.failures.size(), 1u) << "the refused write names its reason with or without a log";
    EXPECT_NE(quiet.failures[0].find("access 0"), std::string::npos);
    EXPECT_EQ(quiet.stored, CString("KBSG"));
    EXPECT_EQ(quiet.stored, logged.stored);
    EXPECT_EQ(quiet.added, logged.added);

    EXPECT_FALSE(nothing.recording());
    EXPECT_TRUE(nothing.empty());
    EXPECT_EQ(nothing.dropped(), full.size()) << "every call is counted, none kept";
    EXPECT_GT(full.size(), 5u);
}

TEST_F(MapControlTest, TwoSessionsKeepSeparateLogsAndTheNewestOwnsFactoryArrays) {
    host::MapDocument other = MakeMap();
    host::CallLog otherLog;
    {
        HostSession second(other, &otherLog);
        EXPECT_EQ(HostSession::Active(), &second);
        EXPECT_NE(second.kernelMap(), session->kernelMap());
        second.mapControl().RedrawMap();
        CMOIntArray array;
        ASSERT_TRUE(array.CreateDispatch(host::kIntArrayProgId));
        array.GetCount();
        EXPECT_EQ(otherLog.Operations(), (std::vector<std::string>{"RedrawMap", "GetCount"}));
    }
    EXPECT_EQ(HostSession::Active(), session.get());
    EXPECT_TRUE(log().empty());
    EXPECT_EQ(KernelCurrentMap(), session->kernelMap());  // closing the second map detached it from the kernel
}

}  // namespace
