// The topology walks: the same answers as the plain recursive walk on many
// generated drawings (loops, joins, lines without ends), and no overflow of
// the call stack on a supply chain 100,000 objects deep.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "GeneratedMaps.h"
#include "equipment/MapAccess.h"
#include "equipment/MapRoutines.h"
#include "equipment/NetworkWalks.h"
#include "host/Kernel.h"

namespace jdtest {
namespace {

// The downstream walk as it was first written: one call per object entered.
// Kept as the reference the explicit-stack walk must agree with.
void RecursiveCollect(LONG from, std::vector<LONG>& motors, std::set<LONG>& followed) {
    for (LONG line : jdmap::OutgoingLines(from)) {
        if (!followed.insert(line).second) continue;
        const LONG next = jdmap::LineEndObject(line);
        if (next == 0) continue;
        if (jdwalk::IsMotor(next)) {
            motors.push_back(next);
        } else if (!jdwalk::EndsSupplyWalk(next)) {
            RecursiveCollect(next, motors, followed);
        }
    }
}

std::vector<LONG> ReferenceMotorsDownstream(LONG from) {
    std::vector<LONG> motors;
    std::set<LONG> followed;
    RecursiveCollect(from, motors, followed);
    return motors;
}

TEST(NetworkWalks, DownstreamWalkFindsWhatTheRecursiveWalkFoundInTheSameOrder) {
    int nonEmpty = 0, withRepeats = 0;
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        RandomMapShape shape;
        shape.objects = 10 + static_cast<int>(seed % 50);
        shape.lines = shape.objects + static_cast<int>(seed % 37);
        host::MapDocument map = MakeRandomMap(seed, shape);
        KernelMapScope attached(map);
        // From every object, not only from transformers: the walk also starts
        // below a cable's end (the voltage loss does so).
        for (const host::MapObject& object : map.objects()) {
            const std::vector<LONG> expected = ReferenceMotorsDownstream(object.handle);
            std::vector<LONG> found;
            jdwalk::CollectMotorsDownstream(object.handle, found);
            ASSERT_EQ(found, expected) << "seed " << seed << ", from handle " << object.handle;
            if (!expected.empty()) ++nonEmpty;
            if (std::set<LONG>(expected.begin(), expected.end()).size() != expected.size()) ++withRepeats;
        }
    }
    // The generated maps must exercise the walk: many non-empty answers, and
    // joins where a motor is reached by two lines (appended twice, as before).
    EXPECT_GT(nonEmpty, 1000);
    EXPECT_GT(withRepeats, 10);
}

TEST(NetworkWalks, RemembersRunsOnlyWhileTheLinesStayAndAnswersAsAFreshWalk) {
    bool (*const stops[])(LONG) = {jdwalk::EndsLowVoltageRun, jdwalk::EndsHighVoltageRun, jdwalk::EndsStarterSearch};
    for (uint32_t seed = 1; seed <= 150; ++seed) {
        RandomMapShape shape;
        shape.objects = 10 + static_cast<int>(seed % 40);
        shape.lines = shape.objects + static_cast<int>(seed % 23);
        host::MapDocument map = MakeRandomMap(seed, shape);
        KernelMapScope attached(map);
        std::vector<std::pair<std::vector<LONG>, LONG>> fresh;
        for (const host::MapObject& object : map.objects()) {
            for (auto stop : stops) {
                const jdwalk::UpstreamRun run = jdwalk::FollowUpstream(object.handle, stop);
                fresh.emplace_back(run.lines, run.top);
            }
        }
        const CUnchangedLinesScope scope;
        for (int pass = 0; pass < 2; ++pass) {  // the second pass answers from memory
            size_t i = 0;
            for (const host::MapObject& object : map.objects()) {
                for (auto stop : stops) {
                    const jdwalk::UpstreamRun run = jdwalk::FollowUpstream(object.handle, stop);
                    ASSERT_EQ(run.lines, fresh[i].first) << "seed " << seed;
                    ASSERT_EQ(run.top, fresh[i].second) << "seed " << seed;
                    ++i;
                }
            }
        }
    }
}

TEST(NetworkWalks, AChain100000DeepIsWalkedWithoutExhaustingTheStack) {
    constexpr int kDepth = 100000;
    host::MapDocument map = MakeSupplyChain(kDepth);
    KernelMapScope attached(map);
    const LONG transformer = map.FindByName(CString("T"))->handle;
    const LONG motor = map.FindByName(CString("M"))->handle;

    CKernelObjectArray motors;
    ASSERT_EQ(CollectSuppliedMotors(0, transformer, &motors), 1);
    EXPECT_EQ(motors[0], motor);

    // Up the chain again: kDepth + 1 cables from the motor to the transformer.
    const jdwalk::UpstreamRun run = jdwalk::FollowUpstream(motor, jdwalk::EndsLowVoltageRun);
    EXPECT_EQ(run.top, transformer);
    EXPECT_EQ(run.lines.size(), static_cast<size_t>(kDepth) + 1);
    EXPECT_EQ(jdwalk::FindSupplyTransformer(motor), transformer);
    EXPECT_EQ(jdwalk::FindStarter(motor), 0) << "no starter on the chain";

    // The motor's currents on the primary side: no model record, so the
    // project's 660 / 6000 V; 63 A × 0.11 = 6.93 A rated, 378 A × 0.11 = 41.58 A starting.
    double maxStart = 0.0, allRated = 0.0, otherRated = 0.0;
    ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &allRated, &otherRated));
    EXPECT_NEAR(maxStart, 41.58, 1e-9);
    EXPECT_NEAR(allRated, 6.93, 1e-9);
    EXPECT_NEAR(otherRated, 0.0, 1e-9);
}

TEST(NetworkWalks, ALoopEndsTheWalkInsteadOfHangingIt) {
    // T -> A -> B -> A (a loop drawn by mistake), B -> M.
    host::MapDocument map = MakeSupplyChain(2);  // T, S1, S2, M
    const LONG s1 = map.FindByName(CString("S1"))->entityId;
    const LONG s2 = map.FindByName(CString("S2"))->entityId;
    host::MapObject back;
    back.isLine = true;
    back.entityType = host::EntityType::Line;
    back.fromEntity = s2;
    back.toEntity = s1;
    map.AddObject(back);
    KernelMapScope attached(map);
    std::vector<LONG> found;
    jdwalk::CollectMotorsDownstream(map.FindByName(CString("T"))->handle, found);
    EXPECT_EQ(found, std::vector<LONG>{map.FindByName(CString("M"))->handle});
    EXPECT_EQ(found, ReferenceMotorsDownstream(map.FindByName(CString("T"))->handle));
}

}  // namespace
}  // namespace jdtest
