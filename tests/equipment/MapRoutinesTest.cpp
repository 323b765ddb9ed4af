// The map's object lists, the lookups on them and the module's registration
// points, on the sample mine (docs/map-format.md).
#include <gmock/gmock.h>

#include "SampleMineFixture.h"
#include "equipment/JDBase.h"
#include "equipment/MapRoutines.h"
#include "host/Kernel.h"

namespace jdtest {
namespace {

using ::testing::ElementsAre;

class MapObjectsTest : public SampleMineTest {};

TEST_F(MapObjectsTest, CollectsEverySymbolLineAndPointIndexAligned) {
    // 50 objects: 22 symbols, 22 cables, 6 points (docs/map-format.md).
    ASSERT_EQ(m_objects.GetSize(), 50);
    ASSERT_EQ(m_ids.GetSize(), 50);
    int lines = 0, points = 0;
    for (int i = 0; i < m_objects.GetSize(); ++i) {
        const host::MapObject* object = m_document.FindByHandle(m_objects[i]);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->entityId, m_ids[i]) << "index " << i;
        lines += object->isLine ? 1 : 0;
        points += object->entityType == host::EntityType::ShortCircuitPoint ? 1 : 0;
    }
    EXPECT_EQ(lines, 22);
    EXPECT_EQ(points, 6);
    // Document order: ids 1..50.
    EXPECT_EQ(m_ids[0], 1);
    EXPECT_EQ(m_ids[49], 50);
}

TEST_F(MapObjectsTest, CollectEmptiesTheListsFirstAndGivesNothingWithoutAMap) {
    CKernelObjectArray objects;
    CEntityIdArray ids;
    objects.Add(77);
    ids.Add(78);
    EXPECT_EQ(CollectMapObjects(Map(), &objects, &ids), 50);
    EXPECT_EQ(objects.GetSize(), 50);
    m_session.reset();  // detaches the kernel map
    EXPECT_EQ(CollectMapObjects(nullptr, &objects, &ids), 0);
    EXPECT_TRUE(objects.IsEmpty());
    EXPECT_EQ(CollectMapObjects(nullptr, nullptr, &ids), 0);
}

TEST_F(MapObjectsTest, TransformersAreTheMobileSubstationsAndMineTransformers) {
    EXPECT_TRUE(IsTransformer(Handle("1#矿用变压器")));
    EXPECT_TRUE(IsTransformer(Handle("1#移动变电站")));
    EXPECT_TRUE(IsTransformer(Handle("2#移动变电站")));
    EXPECT_FALSE(IsTransformer(Handle("采区高压配电箱")));
    EXPECT_FALSE(IsTransformer(Handle("皮带机启动器")));
    EXPECT_FALSE(IsTransformer(Handle("2-1电缆")));
    EXPECT_FALSE(IsTransformer(0));
    // An entity id is not a handle: id 2 is 1#矿用变压器, handle 2 names nothing.
    EXPECT_FALSE(IsTransformer(Id("1#矿用变压器")));
}

TEST_F(MapObjectsTest, SettingIsBlockedByTheMapsLockOnly) {
    EXPECT_TRUE(IsSettingBlocked(Handle("采区高压配电箱"), 1));
    EXPECT_FALSE(IsSettingBlocked(Handle("1#移动变电站"), 1));
    Object("1#移动变电站").settingLocked = true;
    EXPECT_TRUE(IsSettingBlocked(Handle("1#移动变电站"), 1));
    EXPECT_FALSE(IsSettingBlocked(0, 1));
}

TEST_F(MapObjectsTest, EntityOfAHandleComesFromTheListsThenFromTheMap) {
    const LONG handle = Handle("掘进机");
    EXPECT_EQ(GetObjectEntity(Map(), handle, &m_objects, &m_ids), Id("掘进机"));
    // Lists that miss the handle: the map answers.
    CKernelObjectArray objects;
    CEntityIdArray ids;
    EXPECT_EQ(GetObjectEntity(Map(), handle, &objects, &ids), Id("掘进机"));
    EXPECT_EQ(GetObjectEntity(Map(), handle, nullptr, nullptr), Id("掘进机"));
    // The lists win over the map: they are what the caller was handed.
    objects.Add(handle);
    ids.Add(4242);
    EXPECT_EQ(GetObjectEntity(Map(), handle, &objects, &ids), 4242);
    EXPECT_EQ(GetObjectEntity(Map(), 0, &m_objects, &m_ids), 0);
    EXPECT_EQ(GetObjectEntity(Map(), 99999, &m_objects, &m_ids), 0);
}

TEST_F(MapObjectsTest, NameIsFreeUnlessAnotherObjectCarriesIt) {
    LONG self = Handle("1#移动变电站");
    EXPECT_TRUE(IsObjectNameFree(Map(), &self, &m_objects, G("1#移动变电站")));  // its own name
    EXPECT_FALSE(IsObjectNameFree(Map(), &self, &m_objects, G("1#矿用变压器")));
    EXPECT_TRUE(IsObjectNameFree(Map(), &self, &m_objects, G("3#移动变电站")));
    EXPECT_TRUE(IsObjectNameFree(Map(), &self, &m_objects, ""));
    // Without a list the whole map is searched.
    EXPECT_FALSE(IsObjectNameFree(Map(), &self, nullptr, G("d4")));
    // With a list, only its objects count.
    CKernelObjectArray some;
    some.Add(Handle("掘进机"));
    EXPECT_TRUE(IsObjectNameFree(Map(), &self, &some, G("d4")));
    EXPECT_FALSE(IsObjectNameFree(Map(), &self, &some, G("掘进机")));
}

TEST_F(MapObjectsTest, DefaultLowVoltageIsTheProjects) {
    EXPECT_EQ(GetDefaultLowVoltage(), 660);
    m_document.project().lowVoltage = 1140;
    EXPECT_EQ(GetDefaultLowVoltage(), 1140);
}

// ---- Registration points -----------------------------------------------------------

class LauncherTest : public SampleMineTest {
protected:
    void TearDown() override {
        RegisterSetTransformerLauncher(nullptr);
        RegisterHeadLaunchers(nullptr, nullptr);
        SampleMineTest::TearDown();
    }
};

TEST_F(LauncherTest, RunSetTransformerCallsTheRegisteredLauncherWithItsArguments) {
    LONG seenId = 0, seenHandle = 0;
    CMorvaObjects* seenMap = nullptr;
    int seenCount = 0;
    RegisterSetTransformerLauncher([&](CMorvaObjects* map, CKernelObjectArray* objects, CEntityIdArray*, LONG id,
                                       LONG handle) {
        seenMap = map;
        seenCount = objects->GetSize();
        seenId = id;
        seenHandle = handle;
        return 1;
    });
    EXPECT_TRUE(HasSetTransformerLauncher());
    EXPECT_EQ(RunSetTransformer(Map(), &m_objects, &m_ids, Id("1#移动变电站"), Handle("1#移动变电站")), 1);
    EXPECT_EQ(seenMap, Map());
    EXPECT_EQ(seenCount, 50);
    EXPECT_EQ(seenId, Id("1#移动变电站"));
    EXPECT_EQ(seenHandle, Handle("1#移动变电站"));
}

TEST_F(LauncherTest, WithoutALauncherTheRunIsReportedAndNothingChanges) {
    RegisterSetTransformerLauncher(nullptr);
    EXPECT_FALSE(HasSetTransformerLauncher());
    const host::MapDocument before = m_document;
    EXPECT_EQ(RunSetTransformer(Map(), &m_objects, &m_ids, Id("1#移动变电站"), Handle("1#移动变电站")), 0);
    EXPECT_TRUE(TraceContains("RunSetTransformer")) << "the transcript must say why nothing happened";
    EXPECT_TRUE(m_document == before);
}

TEST_F(LauncherTest, HeadRoutinesCallTheirOwnLaunchersAndReportTheSetFlag) {
    std::vector<std::string> calls;
    RegisterHeadLaunchers(
        [&](CMorvaObjects*, CKernelObjectArray*, CEntityIdArray*, LONG param, LONG, LONG, int* set) {
            calls.push_back("high " + std::to_string(param));
            *set = 1;
            return 1;
        },
        [&](CMorvaObjects*, CKernelObjectArray*, CEntityIdArray*, LONG param, LONG, LONG, int* set) {
            calls.push_back("low " + std::to_string(param));
            *set = 0;
            return 2;
        });
    int set = -1;
    EXPECT_EQ(SetHighVoltageHead(1, Map(), &m_objects, &m_ids, 7, Id("1#移动变电站"), Handle("1#移动变电站"), &set), 1);
    EXPECT_EQ(set, 1);
    EXPECT_EQ(SetLowVoltageHead(1, Map(), &m_objects, &m_ids, 8, Id("1#移动变电站"), Handle("1#移动变电站"), &set, 0, 0,
                                -1, -1),
              2);
    EXPECT_EQ(set, 0);
    EXPECT_THAT(calls, ElementsAre("high 7", "low 8"));
}

TEST_F(LauncherTest, HeadRoutinesWithoutLaunchersReturnZeroAndLeaveTheFlag) {
    int set = 5;
    EXPECT_EQ(SetHighVoltageHead(1, Map(), &m_objects, &m_ids, 0, Id("1#移动变电站"), Handle("1#移动变电站"), &set), 0);
    EXPECT_EQ(SetLowVoltageHead(1, Map(), &m_objects, &m_ids, 0, Id("1#移动变电站"), Handle("1#移动变电站"), &set), 0);
    EXPECT_EQ(set, 5);
    EXPECT_TRUE(TraceContains("SetHighVoltageHead"));
    EXPECT_TRUE(TraceContains("SetLowVoltageHead"));
}

TEST_F(LauncherTest, ALauncherThatReRegistersDuringItsRunFinishesItsCall) {
    int runs = 0;
    RegisterSetTransformerLauncher([&](CMorvaObjects*, CKernelObjectArray*, CEntityIdArray*, LONG, LONG) {
        RegisterSetTransformerLauncher(nullptr);  // the module unloading from inside its dialog
        ++runs;
        return 1;
    });
    EXPECT_EQ(RunSetTransformer(Map(), &m_objects, &m_ids, 0, 0), 1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(RunSetTransformer(Map(), &m_objects, &m_ids, 0, 0), 0);
}

}  // namespace
}  // namespace jdtest
