// The dialog's load statistics on opening find each motor's entity in one pass
// over the lists and take the supplied motors the opener collected instead of
// walking the network again: on seeded random drawings (loops, joins, repeated
// handles in the lists, strangers, a short id list) the answers must be those
// of the plain forms, to the last bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "equipment/GeneratedMaps.h"
#include "equipment/MapRoutines.h"
#include "host/HostObjects.h"
#include "host/Kernel.h"
#include "module/LoadStatistics.h"

namespace jdtest {
namespace {

// Pmax and ΣPe as first written: GetObjectEntity's scan of the lists for each motor.
MotorPowers PlainMotorPowers(CMorvaObjects* map, const CKernelObjectArray& motors, CKernelObjectArray* objects,
                             CEntityIdArray* ids) {
    MotorPowers powers;
    for (LONG motor : motors) {
        LONG entityId = GetObjectEntity(map, motor, objects, ids);
        double values[JD_MOTOR_VALUE_COUNT] = {};
        if (entityId == 0 || !GetMotorData(map, &entityId, values, JD_MOTOR_VALUE_COUNT)) continue;
        powers.totalKW += values[JD_MOTOR_RATED_POWER_KW];
        if (values[JD_MOTOR_RATED_POWER_KW] > powers.maxKW) powers.maxKW = values[JD_MOTOR_RATED_POWER_KW];
    }
    return powers;
}

// Lists as the command hands them, spoiled: objects left out, handles repeated
// under other ids (the first place wins), ids of other motors, id 0, a
// stranger, and sometimes an id list shorter than the object list.
void SpoiltLists(std::mt19937& rng, const host::MapDocument& map, CKernelObjectArray& objects, CEntityIdArray& ids) {
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<const host::MapObject*> order;
    for (const host::MapObject& object : map.objects()) order.push_back(&object);
    std::shuffle(order.begin(), order.end(), rng);
    for (const host::MapObject* object : order) {
        if (percent(rng) < 20) continue;
        objects.Add(object->handle);
        const int roll = percent(rng);
        // Another object's id (its motor data counts instead) or 0 (the motor counts nothing).
        ids.Add(roll < 10 ? order[static_cast<size_t>(roll) % order.size()]->entityId : roll < 15 ? 0 : object->entityId);
        if (percent(rng) < 10) {
            objects.Add(object->handle);
            ids.Add(order.front()->entityId);
        }
    }
    objects.Add(987654);
    ids.Add(order.front()->entityId);
    if (percent(rng) < 30 && ids.GetSize() > 3) ids.SetSize(ids.GetSize() - 3);
}

RandomMapShape ShapeOf(uint32_t seed) {
    RandomMapShape shape;
    shape.objects = 10 + static_cast<int>(seed % 50);
    shape.lines = shape.objects + static_cast<int>(seed % 30);
    return shape;
}

TEST(LoadStatisticsLookups, MotorPowersFromOnePassEqualTheScanPerMotor) {
    int counted = 0;
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        std::mt19937 rng(seed * 31u);
        CKernelObjectArray objects;
        CEntityIdArray ids;
        SpoiltLists(rng, map, objects, ids);
        // The motors of every object's walk, then a list with repeats, handle 0 and non-motors.
        CKernelObjectArray mixed;
        mixed.Add(0);
        for (const host::MapObject& object : map.objects()) {
            CKernelObjectArray motors;
            CollectSuppliedMotors(0, object.handle, &motors);
            for (bool spares : {false, true}) {
                const CKernelObjectArray chosen = SelectCountedMotors(motors, spares);
                const MotorPowers expected = PlainMotorPowers(&session.mapControl(), chosen, &objects, &ids);
                const MotorPowers found = SumMotorPowers(&session.mapControl(), chosen, &objects, &ids);
                ASSERT_EQ(found.maxKW, expected.maxKW) << "seed " << seed;
                ASSERT_EQ(found.totalKW, expected.totalKW) << "seed " << seed;
                counted += expected.totalKW > 0.0;
            }
            mixed.Add(object.handle);
            mixed.Append(motors);
        }
        for (CKernelObjectArray* objectList : {&objects, static_cast<CKernelObjectArray*>(nullptr)}) {
            const MotorPowers expected = PlainMotorPowers(&session.mapControl(), mixed, objectList, &ids);
            const MotorPowers found = SumMotorPowers(&session.mapControl(), mixed, objectList, &ids);
            ASSERT_EQ(found.maxKW, expected.maxKW) << "seed " << seed;
            ASSERT_EQ(found.totalKW, expected.totalKW) << "seed " << seed;
        }
    }
    EXPECT_GT(counted, 300) << "motors with power must be exercised";
}

TEST(LoadStatisticsLookups, CurrentsFromTheOpenersMotorsEqualThoseOfAFreshWalk) {
    int nonZero = 0;
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        host::MapDocument map = MakeRandomMap(seed, ShapeOf(seed));
        host::HostSession session(map);
        for (const host::MapObject& object : map.objects()) {
            CKernelObjectArray supplied;
            CollectSuppliedMotors(0, object.handle, &supplied);
            CKernelObjectArray walkedMotors, givenMotors;
            CKernelBlockArray walkedBlocks, givenBlocks;
            const HighVoltageCurrents walked =
                ComputeHighVoltageCurrents(&session.mapControl(), object.handle, walkedMotors, walkedBlocks);
            const HighVoltageCurrents given =
                ComputeHighVoltageCurrents(&session.mapControl(), object.handle, givenMotors, givenBlocks, &supplied);
            ASSERT_EQ(given.maxStartCurrentA, walked.maxStartCurrentA) << "seed " << seed;
            ASSERT_EQ(given.otherRatedCurrentA, walked.otherRatedCurrentA) << "seed " << seed;
            ASSERT_EQ(given.totalRatedCurrentA, walked.totalRatedCurrentA) << "seed " << seed;
            ASSERT_EQ(std::vector<LONG>(givenMotors.begin(), givenMotors.end()),
                      std::vector<LONG>(walkedMotors.begin(), walkedMotors.end()));
            ASSERT_EQ(givenBlocks.GetSize(), walkedBlocks.GetSize());
            for (int i = 0; i < givenBlocks.GetSize(); ++i) {
                const auto& a = *static_cast<const StatMotorBlock*>(givenBlocks[i].block);
                const auto& b = *static_cast<const StatMotorBlock*>(walkedBlocks[i].block);
                ASSERT_EQ(a.starter, b.starter);
                ASSERT_EQ(a.primaryStartCurrentA, b.primaryStartCurrentA);
            }
            nonZero += walked.totalRatedCurrentA > 0.0;
            for (const KernelBlockEntry& e : givenBlocks) FreeKernelBlock(e.block);
            for (const KernelBlockEntry& e : walkedBlocks) FreeKernelBlock(e.block);
        }
    }
    EXPECT_GT(nonZero, 300) << "transformers with running motors must be exercised";
}

}  // namespace
}  // namespace jdtest
