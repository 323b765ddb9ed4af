// Lookups that index or take one pass where the plain forms scanned: each is
// compared with its plain form, kept here as the reference, on seeded random
// drawings with repeated handles and names, stale names, lines without ends
// and loops. The answers must be equal, first-match and order included.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "GeneratedMaps.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "host/AttributeRecords.h"
#include "host/HostDispids.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"

namespace jdtest {
namespace {

constexpr uint32_t kMaps = 200;

RandomMapShape ShapeOf(uint32_t seed) {
    RandomMapShape shape;
    shape.objects = 8 + static_cast<int>(seed % 60);
    shape.lines = shape.objects + static_cast<int>(seed % 41);
    shape.namePool = seed % 3 == 0 ? 6 : 0;  // every third map repeats names a lot
    return shape;
}

// ---- the plain forms -------------------------------------------------------------------

// Connections through the kernel: the count, then the list.
std::vector<LONG> KernelConnections(LONG handle) {
    LONG count = 0;
    if (handle == 0 || !QueryObject(handle, KernelQuery::ConnectionCount, &count, 0) || count <= 0) return {};
    std::vector<LONG> values(static_cast<size_t>(count), 0);
    if (!QueryObject(handle, KernelQuery::ConnectionList, values.data(), count)) return {};
    return values;
}

// GetObjectEntity's own search: the lists front to back, then the map.
LONG PlainObjectEntity(LONG handle, const CKernelObjectArray& objects, const CEntityIdArray& ids,
                       const host::MapDocument& map) {
    if (handle == 0) return 0;
    const int n = std::min(objects.GetSize(), ids.GetSize());
    for (int i = 0; i < n; ++i) {
        if (objects[i] == handle) return ids[i];
    }
    for (const host::MapObject& object : map.objects()) {
        if (object.handle == handle) return object.entityId;
    }
    return 0;
}

double PlainRatio(const host::MapDocument& map, LONG transformer) {
    if (const host::MapObject* object = map.FindByHandle(transformer)) {
        const double u1 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 4);
        const double u2 = jdmap::FieldNumber(*object, AttributeField::TransformerModel, 5);
        if (u1 > 0.0 && u2 > 0.0) return u2 / u1;
    }
    return static_cast<double>(map.project().lowVoltage) / map.project().highVoltage;
}

struct Currents {
    double maxStart = 0.0, allRated = 0.0, otherRated = 0.0;
};

// CalcMotorCurrents as first written: for each group's first motor, the
// later motors of its starter searched again.
Currents PlainMotorCurrents(const host::MapDocument& map, const CKernelObjectArray& motors) {
    struct Entry {
        double ratedA, startA;
        LONG starter;
        bool group;
    };
    std::vector<Entry> entries;
    for (LONG handle : motors) {
        const host::MapObject* object = map.FindByHandle(handle);
        if (!object || !object->motor) continue;
        const double ratio = PlainRatio(map, jdwalk::FindSupplyTransformer(handle));
        const LONG starter = object->motor->groupStart ? jdwalk::FindStarter(handle) : 0;
        entries.push_back(Entry{object->motor->ratedCurrentA * ratio, object->motor->startCurrentA * ratio, starter,
                                object->motor->groupStart && starter != 0});
    }
    Currents c;
    double ratedOfMax = 0.0;
    std::set<LONG> grouped;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        double groupRated = e.ratedA, groupStart = e.startA;
        if (e.group) {
            if (!grouped.insert(e.starter).second) continue;
            for (size_t j = i + 1; j < entries.size(); ++j) {
                if (entries[j].group && entries[j].starter == e.starter) {
                    groupRated += entries[j].ratedA;
                    groupStart += entries[j].startA;
                }
            }
        }
        c.allRated += groupRated;
        if (groupStart > c.maxStart) {
            c.maxStart = groupStart;
            ratedOfMax = groupRated;
        }
    }
    c.otherRated = c.allRated - ratedOfMax;
    return c;
}

// Lists as a caller may hand them: the map's own, shuffled, cut short, with
// handles repeated under other ids, unknown handles and a shorter id list.
void RandomLists(std::mt19937& rng, const host::MapDocument& map, CKernelObjectArray& objects, CEntityIdArray& ids) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<const host::MapObject*> order;
    for (const host::MapObject& object : map.objects()) order.push_back(&object);
    std::shuffle(order.begin(), order.end(), rng);
    for (const host::MapObject* object : order) {
        if (percent(rng) < 20) continue;  // not every object is in the lists
        objects.Add(object->handle);
        ids.Add(percent(rng) < 10 ? object->entityId + 100000 : object->entityId);
        if (percent(rng) < 10) {  // the same handle again, with another id: the first place wins
            objects.Add(object->handle);
            ids.Add(-object->entityId);
        }
    }
    objects.Add(987654);  // in no map
    ids.Add(1);
    if (percent(rng) < 30 && ids.GetSize() > 2) ids.SetSize(ids.GetSize() - 2);
}

// ---- the comparisons ---------------------------------------------------------------------

TEST(IndexedLookups, ConnectionsFromTheMapEqualTheKernelsCountThenList) {
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        for (const host::MapObject& object : map.objects()) {
            ASSERT_EQ(jdmap::Connections(object.handle), KernelConnections(object.handle)) << "seed " << seed;
        }
        EXPECT_TRUE(jdmap::Connections(0).empty());
        EXPECT_TRUE(jdmap::Connections(987654).empty());
    }
}

TEST(IndexedLookups, TheEntityIndexAnswersAsGetObjectEntityWithRepeatsAndStrangers) {
    int fromLists = 0, fromMap = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        std::mt19937 rng(seed);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        RandomLists(rng, map, objects, ids);
        const CObjectEntityIndex index(&objects, &ids);
        std::vector<LONG> asked{0, 987654, 555555};
        for (const host::MapObject& object : map.objects()) asked.push_back(object.handle);
        for (LONG handle : asked) {
            const LONG expected = PlainObjectEntity(handle, objects, ids, map);
            ASSERT_EQ(GetObjectEntity(nullptr, handle, &objects, &ids), expected) << "seed " << seed;
            ASSERT_EQ(index.Find(nullptr, handle), expected) << "seed " << seed << " handle " << handle;
            const host::MapObject* object = map.FindByHandle(handle);
            (object && expected == object->entityId ? fromMap : fromLists) += 1;
        }
        // Without lists both answer from the map alone.
        const CObjectEntityIndex none(nullptr, nullptr);
        for (const host::MapObject& object : map.objects()) ASSERT_EQ(none.Find(nullptr, object.handle), object.entityId);
    }
    EXPECT_GT(fromLists, 500) << "the lists' own ids must be exercised";
    EXPECT_GT(fromMap, 500);
}

TEST(IndexedLookups, MotorCurrentsInOnePassEqualTheSearchOfTheLaterMotors) {
    int groupsSeen = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        KernelMapScope attached(map);
        std::mt19937 rng(seed * 7919u);
        // Every motor under every transformer, and a shuffled list with repeats and non-motors.
        CKernelObjectArray all;
        for (const host::MapObject& object : map.objects()) {
            if (jdmap::IsTransformerKind(object.kind)) CollectSuppliedMotors(0, object.handle, &all);
        }
        CKernelObjectArray mixed;
        for (const host::MapObject& object : map.objects()) {
            if (std::uniform_int_distribution<int>(0, 2)(rng) == 0) mixed.Add(object.handle);
        }
        mixed.Append(all);
        for (const CKernelObjectArray* motors : {&all, &mixed}) {
            const Currents expected = PlainMotorCurrents(map, *motors);
            Currents found;
            ASSERT_TRUE(CalcMotorCurrents(const_cast<CKernelObjectArray*>(motors), &found.maxStart, &found.allRated,
                                          &found.otherRated));
            // The same additions in the same order: equal to the last bit.
            ASSERT_EQ(found.maxStart, expected.maxStart) << "seed " << seed;
            ASSERT_EQ(found.allRated, expected.allRated) << "seed " << seed;
            ASSERT_EQ(found.otherRated, expected.otherRated) << "seed " << seed;
        }
        for (LONG handle : all) {
            const host::MapObject* object = map.FindByHandle(handle);
            if (object && object->motor && object->motor->groupStart && jdwalk::FindStarter(handle) != 0) ++groupsSeen;
        }
    }
    EXPECT_GT(groupsSeen, 20) << "group-start motors behind starters must be exercised";
}

TEST(IndexedLookups, ShortCircuitPointsCarryTheIdsGetObjectEntityGives) {
    int found = 0;
    for (uint32_t seed = 1; seed <= kMaps; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        std::mt19937 rng(seed);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        RandomLists(rng, map, objects, ids);
        std::set<std::string> names{"改名前的变压器"};  // a stale name in some paths
        for (const host::MapObject& object : map.objects()) names.insert(ToUtf8(object.name));
        for (const std::string& name : names) {
            CKernelObjectArray points;
            CEntityIdArray pointIds;
            FindShortCircuitPoints(&session.mapControl(), 1, CString(), FromUtf8(name), CString(), &objects, &ids,
                                   &points, &pointIds);
            ASSERT_EQ(points.GetSize(), pointIds.GetSize());
            for (int i = 0; i < points.GetSize(); ++i) {
                ASSERT_EQ(pointIds[i], PlainObjectEntity(points[i], objects, ids, map)) << "seed " << seed;
                ++found;
            }
        }
    }
    EXPECT_GT(found, 200);
}

TEST(IndexedLookups, AddingToTheSelectionKeepsTheOrderAndSkipsWhatIsSelected) {
    for (uint32_t seed = 1; seed <= 50; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        std::mt19937 rng(seed);
        std::uniform_int_distribution<int> idOf(-2, static_cast<int>(map.objects().size()) + 3);
        std::vector<LONG> expected;
        CMOSelectionSet selection(session.mapControl().GetSelectionSet());
        for (int round = 0; round < 4; ++round) {
            CMOIntArray array;
            ASSERT_TRUE(array.CreateDispatch(host::kIntArrayProgId));
            std::vector<LONG> batch;
            for (int k = 0; k < 30; ++k) batch.push_back(idOf(rng));
            LONG added = 0;
            for (LONG id : batch) {
                array.Add(id);
                // The plain form: a search of the selection for every id.
                if (!map.FindByEntity(id) || std::find(expected.begin(), expected.end(), id) != expected.end()) continue;
                expected.push_back(id);
                ++added;
            }
            EXPECT_EQ(selection.AddToSelection(array.m_lpDispatch), added);
            ASSERT_EQ(session.state().selection, expected) << "seed " << seed;
        }
    }
}

}  // namespace
}  // namespace jdtest
