// What makes a host call cheap must not show: the dispid table looked up by
// position gives what a walk of the table gives; entities and attribute tables
// the caller released and the session takes up again behave, are numbered and
// are counted as new objects; and attribute tables of a session that remembers
// the entity it looked up last answer as tables opened in a new session for
// each call, while the map changes under them (objects added, removed,
// renumbered, fields added).
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/AttributeAccess.h"
#include "host/CallLog.h"
#include "host/HostDispids.h"
#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "host/MorvaObjects.h"

namespace {

// The plain lookup: the table's first entry for the pair.
const host::HostOperation* WalkTable(host::HostObjectKind object, DISPID dispid) {
    for (const host::HostOperation& op : host::kHostOperations) {
        if (op.object == object && op.dispid == dispid) return &op;
    }
    return nullptr;
}

TEST(HostDispatch, LookupByPositionGivesTheTablesFirstEntryForEveryKindAndDispid) {
    // Every kind and the dispids around those in use, the negative standard
    // ones, the edge of the positional range and values far outside it.
    std::vector<DISPID> dispids;
    for (DISPID d = -600; d <= 300; ++d) dispids.push_back(d);
    for (DISPID d : {-2147483647 - 1, -65536, 65536, 2147483647}) dispids.push_back(d);
    for (size_t kind = 0; kind < host::kHostObjectKinds; ++kind) {
        const auto object = static_cast<host::HostObjectKind>(kind);
        for (DISPID d : dispids) {
            ASSERT_EQ(host::FindOperation(object, d), WalkTable(object, d)) << "kind " << kind << " dispid " << d;
        }
    }
    // A kind outside the enumeration answers nothing rather than reading past the table.
    EXPECT_EQ(host::FindOperation(static_cast<host::HostObjectKind>(host::kHostObjectKinds), 5), nullptr);
    EXPECT_EQ(host::FindOperation(static_cast<host::HostObjectKind>(host::kHostObjectKinds), DISPID_REFRESH), nullptr);
}

TEST(HostDispatch, FlagsReachAnOperationAsTheirKindAllows) {
    using host::OperationKind;
    // Written out by hand: a put only as a put, a method only as a method, a
    // get as a get or as a method (both bits is the usual call).
    struct Case {
        OperationKind kind;
        WORD flags;
        bool reaches;
    } cases[] = {
        {OperationKind::PropertyPut, DISPATCH_PROPERTYPUT, true},
        {OperationKind::PropertyPut, DISPATCH_PROPERTYGET, false},
        {OperationKind::PropertyPut, DISPATCH_METHOD, false},
        {OperationKind::Method, DISPATCH_METHOD, true},
        {OperationKind::Method, DISPATCH_PROPERTYGET, false},
        {OperationKind::Method, DISPATCH_PROPERTYPUT, false},
        {OperationKind::PropertyGet, DISPATCH_PROPERTYGET, true},
        {OperationKind::PropertyGet, DISPATCH_METHOD, true},
        {OperationKind::PropertyGet, DISPATCH_PROPERTYPUT, false},
        {OperationKind::ParameterizedPropertyGet, DISPATCH_METHOD | DISPATCH_PROPERTYGET, true},
        {OperationKind::ParameterizedPropertyGet, 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(host::FlagsMatch(c.kind, c.flags), c.reaches)
            << host::OperationKindName(c.kind) << " with flags " << c.flags;
    }
}

// Entity 10 holds field 161 (columns: 151 → 0, 161 → 1); entity 20 holds
// field 161 only; entity 30 has no fields.
host::MapDocument SmallMap() {
    host::MapDocument doc;
    host::MapObject a;
    a.entityId = 10;
    a.fields[151] = {"a0"};
    a.fields[161] = {"a-point-0", "a-point-1"};
    doc.AddObject(a);
    host::MapObject b;
    b.entityId = 20;
    b.fields[161] = {"b-point-0"};
    doc.AddObject(b);
    host::MapObject c;
    c.entityId = 30;
    doc.AddObject(c);
    return doc;
}

CString Read(CMOAttributeTable& table, LONG column, LONG sub) {
    char buffer[64] = {};
    VARIANT value{};
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = reinterpret_cast<BYTE*>(buffer);
    table.GetFieldValue(column, sub, 0, sizeof buffer, &value);
    return CString(buffer);
}

HRESULT Write(CMOAttributeTable& table, LONG column, LONG sub, const char* text) {
    VARIANT value{};
    value.vt = VT_UI1 | VT_BYREF;
    value.pbVal = reinterpret_cast<BYTE*>(const_cast<char*>(text));
    table.SetFieldValue(column, sub, 0, static_cast<LONG>(std::string(text).size() + 1), &value);
    return table.GetLastResult();
}

TEST(HostObjectReuse, AReleasedEntityOrTableTakenUpAgainIsANewObjectOfItsNewEntityAndAccess) {
    host::MapDocument doc = SmallMap();
    host::CallLog log;
    const int liveBefore = IDispatch::LiveObjects();
    {
        host::HostSession session(doc, &log);
        CMOEntityStore store(session.mapControl().GetEntityStore());
        const int liveWithStore = IDispatch::LiveObjects();
        {
            CMOEntity entity(store.GetEntity(10));
            CMOAttributeTable writeTable(entity.GetAttributeTable(1));
            EXPECT_EQ(writeTable.FindField(161), 1);
            EXPECT_EQ(Write(writeTable, 1, 0, "written-to-10"), S_OK);
            EXPECT_EQ(IDispatch::LiveObjects(), liveWithStore + 2);
        }
        // Released: the session keeps them, but nobody counts them as alive.
        EXPECT_EQ(IDispatch::LiveObjects(), liveWithStore);
        {
            // Taken up again for another entity and a read: nothing of the
            // first entity, its column or its write access may remain.
            CMOEntity entity(store.GetEntity(20));
            CMOAttributeTable readTable(entity.GetAttributeTable(0));
            EXPECT_EQ(IDispatch::LiveObjects(), liveWithStore + 2);
            EXPECT_EQ(readTable.m_lpDispatch->RefCount(), 1u);
            EXPECT_EQ(readTable.FindField(151), -1);  // entity 20 has no field 151
            EXPECT_EQ(readTable.FindField(161), 0);
            EXPECT_EQ(Read(readTable, 0, 0), "b-point-0");
            ClearAutomationFailures();
            EXPECT_EQ(Write(readTable, 0, 0, "refused"), E_ACCESSDENIED);
            ASSERT_EQ(AutomationFailures().size(), 1u);
            // Numbered as the second table and the second entity of the log.
            EXPECT_EQ(AutomationFailures()[0].object, "AttributeTable#2");
            EXPECT_EQ(entity.m_lpDispatch->Describe(), "Entity#2");
        }
        {
            // Two at once: one taken up, one new; both distinct and working.
            CMOEntity first(store.GetEntity(10));
            CMOEntity second(store.GetEntity(30));
            EXPECT_NE(first.m_lpDispatch, second.m_lpDispatch);
            EXPECT_EQ(first.m_lpDispatch->Describe(), "Entity#3");
            EXPECT_EQ(second.m_lpDispatch->Describe(), "Entity#4");
            CMOAttributeTable a(first.GetAttributeTable(0));
            CMOAttributeTable c(second.GetAttributeTable(0));
            EXPECT_EQ(a.FindField(161), 1);
            EXPECT_EQ(c.FindField(161), -1);
            EXPECT_EQ(Read(a, 1, 0), "written-to-10");
        }
        EXPECT_EQ(doc.FindByEntity(20)->fields.at(161)[0], "b-point-0");
        // The log names each object by the number it was handed out with.
        std::vector<std::string> tables;
        for (const host::CallEntry& e : log.entries()) {
            if (e.object == "AttributeTable" && e.operation == "FindField")
                tables.push_back(std::to_string(e.instance) + ":" + e.note + ":" + e.result);
        }
        EXPECT_EQ(tables, (std::vector<std::string>{"1::1", "2::-1", "2::0", "3::1", "4::-1"}));
    }
    // The session's spares go with it.
    EXPECT_EQ(IDispatch::LiveObjects(), liveBefore);
}

TEST(HostObjectReuse, ATableHeldPastItsSessionRefusesAndObjectsReleasedAfterwardsAreFreed) {
    host::MapDocument doc = SmallMap();
    const int liveBefore = IDispatch::LiveObjects();
    auto session = std::make_unique<host::HostSession>(doc);
    CMOEntityStore store(session->mapControl().GetEntityStore());
    CMOEntity entity(store.GetEntity(10));
    CMOAttributeTable table(entity.GetAttributeTable(0));
    session.reset();
    ClearAutomationFailures();
    EXPECT_EQ(table.FindField(161), 0);
    ASSERT_EQ(AutomationFailures().size(), 1u);
    EXPECT_EQ(AutomationFailures()[0].hr, E_FAIL);
    table.ReleaseDispatch();
    entity.ReleaseDispatch();
    store.ReleaseDispatch();
    EXPECT_EQ(IDispatch::LiveObjects(), liveBefore);
}

TEST(HostObjectReuse, AWritersObjectsAreReleasedWhenTheWriterGoesNotWhenItsRunEnds) {
    host::MapDocument doc = SmallMap();
    host::CallLog log;
    host::HostSession session(doc, &log);
    AttributeRun run(&session.mapControl());
    EXPECT_EQ(run.ReadText(10, 161, 1), "a-point-1");
    const int liveWithRun = IDispatch::LiveObjects();  // the run's entity store
    for (LONG entity : {10, 20, 30, 10, 99}) {
        {
            AttributeFieldWriter writer(run, entity, 161);
            const bool hasField = entity == 10 || entity == 20;
            EXPECT_EQ(writer.Write(AttributeValue{1, CString::Formatted("w%d", static_cast<int>(entity))}), hasField);
            EXPECT_EQ(writer.Write(AttributeValue{0, "first"}), hasField);
            EXPECT_EQ(IDispatch::LiveObjects(), liveWithRun + 2) << "entity " << entity;  // its entity and table
        }
        EXPECT_EQ(IDispatch::LiveObjects(), liveWithRun) << "entity " << entity;
    }
    EXPECT_EQ(doc.FindByEntity(10)->fields.at(161), (host::AttributeRow{"first", "w10"}));
    EXPECT_EQ(doc.FindByEntity(20)->fields.at(161), (host::AttributeRow{"first", "w20"}));
    EXPECT_EQ(doc.FindByEntity(30)->fields.count(161), 0u);
    // One opening a writer: GetEntity, GetAttributeTable and FindField once each.
    EXPECT_EQ(log.Count("GetEntity"), 6u);
    EXPECT_EQ(log.Count("FindField"), 6u);
    EXPECT_EQ(log.Count("SetFieldValue"), 6u);
}

// ---- a table that remembers its entity, against one opened for each call ----------------

// The map edits a command's calls may be interleaved with.
void EditMap(host::MapDocument& doc, std::mt19937& rng, LONG& nextEntity) {
    std::uniform_int_distribution<int> percent(0, 99);
    auto& objects = doc.objects();
    const int roll = percent(rng);
    if (roll < 35) {
        // Many objects at once, so that the objects move in memory.
        const int count = 1 + percent(rng) % 40;
        for (int i = 0; i < count; ++i) {
            host::MapObject object;
            object.entityId = nextEntity++;
            if (percent(rng) < 50) object.fields[161] = {CString::Formatted("new-%d", static_cast<int>(object.entityId))};
            doc.AddObject(std::move(object));
        }
    } else if (roll < 55 && objects.size() > 1) {
        // An object removed from the middle: later ones move down one place.
        std::uniform_int_distribution<size_t> at(0, objects.size() - 1);
        objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(at(rng)));
    } else if (roll < 75 && !objects.empty()) {
        // An object renumbered in place to an id that is still free (or to
        // one of the ids the calls ask for, once that is gone).
        std::uniform_int_distribution<size_t> at(0, objects.size() - 1);
        const LONG id = percent(rng) < 50 ? 10 + 10 * (percent(rng) % 3) : nextEntity++;
        if (!doc.FindByEntity(id)) {
            objects[at(rng)].entityId = id;
            doc.Reindex();
        }
    } else if (!objects.empty()) {
        // A field added to an object: the columns after it move.
        std::uniform_int_distribution<size_t> at(0, objects.size() - 1);
        objects[at(rng)].fields[155] = {"inserted"};
    }
}

// What one call gives: its result and, for a read, the text.
std::string Answer(CMOAttributeTable& table, int call, LONG column, LONG sub) {
    ClearAutomationFailures();
    std::string answer;
    switch (call) {
        case 0: answer = "column " + std::to_string(table.FindField(161)); break;
        case 1: answer = "text " + std::string(Read(table, column, sub).GetString()); break;
        default: answer = "write " + std::to_string(Write(table, column, sub, "w")); break;
    }
    for (const AutomationFailure& f : AutomationFailures()) {
        // The object's number differs between the two sessions; the rest must not.
        answer += " | " + HresultName(f.hr) + " " + f.description.substr(f.description.find('.'));
    }
    return answer;
}

TEST(HostObjectReuse, TablesAnswerAsOnesOpenedInANewSessionWhileTheMapChangesUnderThem) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        host::MapDocument keptDoc = SmallMap();
        host::MapDocument freshDoc = SmallMap();
        host::HostSession keptSession(keptDoc);
        CMOEntityStore keptStore(keptSession.mapControl().GetEntityStore());
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> percent(0, 99);
        LONG keptNext = 1000, freshNext = 1000;
        for (int round = 0; round < 12; ++round) {
            // Two tables open at once, of the same or of different entities,
            // called in turn: what one looked up must not answer for the other.
            const LONG ids[2] = {10 + 10 * (percent(rng) % 3), 10 + 10 * (percent(rng) % 3)};
            CMOEntity keptEntityA(keptStore.GetEntity(ids[0]));
            CMOEntity keptEntityB(keptStore.GetEntity(ids[1]));
            CMOAttributeTable kept[2] = {CMOAttributeTable(keptEntityA.GetAttributeTable(1)),
                                         CMOAttributeTable(keptEntityB.GetAttributeTable(1))};
            for (int step = 0; step < 25; ++step) {
                const int which = percent(rng) % 2;
                const int call = percent(rng) % 3;
                const LONG column = percent(rng) % 4 - 1;
                const LONG sub = percent(rng) % 3;
                // The plain form: a session, an entity and a table of their own
                // for this one call, so that nothing is remembered from before.
                std::string expected;
                {
                    host::HostSession freshSession(freshDoc);
                    CMOEntityStore freshStore(freshSession.mapControl().GetEntityStore());
                    CMOEntity freshEntity(freshStore.GetEntity(ids[which]));
                    CMOAttributeTable fresh(freshEntity.GetAttributeTable(1));
                    expected = Answer(fresh, call, column, sub);
                }
                ASSERT_EQ(Answer(kept[which], call, column, sub), expected)
                    << "seed " << seed << " round " << round << " step " << step;
                if (percent(rng) < 30) {
                    const uint32_t editSeed = static_cast<uint32_t>(percent(rng));
                    std::mt19937 a(seed * 131u + editSeed), b(seed * 131u + editSeed);
                    EditMap(keptDoc, a, keptNext);
                    EditMap(freshDoc, b, freshNext);
                }
            }
        }
        ASSERT_EQ(keptDoc.objects().size(), freshDoc.objects().size());
        for (size_t i = 0; i < keptDoc.objects().size(); ++i) {
            EXPECT_EQ(keptDoc.objects()[i].entityId, freshDoc.objects()[i].entityId) << "seed " << seed;
            EXPECT_EQ(keptDoc.objects()[i].fields, freshDoc.objects()[i].fields) << "seed " << seed;
        }
    }
}

}  // namespace
