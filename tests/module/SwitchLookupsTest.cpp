// The switch settings look handles up in the dialog's lists through the
// library's entity index instead of a scan per handle: on seeded random
// drawings, with lists that repeat handles under other ids, miss objects and
// hold strangers, the answers must be those of the plain scan, first match
// included.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "equipment/GeneratedMaps.h"
#include "equipment/MapRoutines.h"
#include "host/AttributeRecords.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "module/FeederSwitchSetting.h"
#include "module/HighVoltageSwitchSetting.h"
#include "module/SwitchDialogSupport.h"
#include "platform/Gbk.h"

namespace jdtest {
namespace {

// The library's own search: the lists front to back, then the map.
LONG PlainEntity(LONG handle, const CKernelObjectArray& objects, const CEntityIdArray& ids,
                 const host::MapDocument& map) {
    if (handle == 0) return 0;
    const int n = std::min(objects.GetSize(), ids.GetSize());
    for (int i = 0; i < n; ++i) {
        if (objects[i] == handle) return ids[i];
    }
    const host::MapObject* object = map.FindByHandle(handle);
    return object ? object->entityId : 0;
}

void ShuffledLists(std::mt19937& rng, const host::MapDocument& map, CKernelObjectArray& objects, CEntityIdArray& ids) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<const host::MapObject*> order;
    for (const host::MapObject& object : map.objects()) order.push_back(&object);
    std::shuffle(order.begin(), order.end(), rng);
    for (const host::MapObject* object : order) {
        if (percent(rng) < 15) continue;
        objects.Add(object->handle);
        ids.Add(percent(rng) < 10 ? object->entityId + 5000 : object->entityId);
        if (percent(rng) < 10) {
            objects.Add(object->handle);
            ids.Add(-object->entityId);
        }
    }
    objects.Add(987654);
    ids.Add(3);
}

TEST(SwitchLookups, BothSettingsAnswerAsTheScanOfTheLists) {
    for (uint32_t seed = 1; seed <= 100; ++seed) {
        RandomMapShape shape;
        shape.objects = 10 + static_cast<int>(seed % 50);
        shape.lines = shape.objects + 5;
        host::MapDocument map = MakeRandomMap(seed, shape);
        host::HostSession session(map);
        std::mt19937 rng(seed);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        ShuffledLists(rng, map, objects, ids);
        const CFeederSwitchCalc feeder(&session.mapControl(), objects, ids);
        const CHighVoltageSwitchCalc highVoltage(&session.mapControl(), &objects, &ids);
        std::vector<LONG> asked{0, 987654, 424242};
        for (const host::MapObject& object : map.objects()) asked.push_back(object.handle);
        for (LONG handle : asked) {
            const LONG expected = PlainEntity(handle, objects, ids, map);
            ASSERT_EQ(feeder.EntityOf(handle), expected) << "seed " << seed;
            ASSERT_EQ(highVoltage.EntityOf(handle), expected) << "seed " << seed;
        }
    }
}

TEST(SwitchLookups, ThePointOfAnOwnerIsTheFirstTheScanFinds) {
    int found = 0;
    for (uint32_t seed = 1; seed <= 100; ++seed) {
        RandomMapShape shape;
        shape.objects = 10 + static_cast<int>(seed % 50);
        shape.lines = shape.objects;
        host::MapDocument map = MakeRandomMap(seed, shape);
        // Owners drawn from a few names, so that several points share one.
        std::mt19937 rng(seed * 13u);
        const CString owners[] = {FromUtf8("1#开关"), FromUtf8("2#开关"), FromUtf8("3#开关")};
        for (host::MapObject& object : map.objects()) {
            auto field = object.fields.find(AttributeField::ShortCircuitPoint);
            if (field != object.fields.end()) field->second[7] = owners[rng() % 3];
        }
        host::HostSession session(map);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        ShuffledLists(rng, map, objects, ids);
        for (const CString& owner : owners) {
            // The plain form: every point of the lists read with the scanned id.
            LONG expected = 0;
            for (LONG handle : objects) {
                if (!IsShortCircuitPoint(handle)) continue;
                ShortCircuitPointRecord point;
                if (!point.Read(&session.mapControl(), PlainEntity(handle, objects, ids, map))) continue;
                if (point.ownerName == owner) {
                    expected = handle;
                    break;
                }
            }
            ASSERT_EQ(FindShortPointOfOwner(&session.mapControl(), objects, ids, owner), expected) << "seed " << seed;
            found += expected != 0;
        }
    }
    EXPECT_GT(found, 50);
}

}  // namespace
}  // namespace jdtest
