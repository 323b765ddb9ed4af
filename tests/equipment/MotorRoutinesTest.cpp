// Motors fed by a transformer, their starting groups and their currents
// referred to the transformer's primary side; the stored values of
// transformers and cables. Expected values: the sample mine's motor table and
// load statistics in docs/map-format.md, times the transformers' U2/U1.
#include <gmock/gmock.h>

#include <cmath>

#include "SampleMineFixture.h"
#include "equipment/MapRoutines.h"
#include "host/Kernel.h"
#include "platform/ModuleOutput.h"

namespace jdtest {
namespace {

using ::testing::ElementsAre;

class MotorTest : public SampleMineTest {
protected:
    void TearDown() override {
        for (const KernelBlockEntry& entry : m_blocks) FreeKernelBlock(entry.block);
        m_blocks.RemoveAll();
        SampleMineTest::TearDown();
    }
    CKernelBlockArray m_blocks;
};

// ---- Motor data --------------------------------------------------------------------

TEST_F(MotorTest, MotorDataComesFromTheMapInTheDocumentedOrder) {
    LONG id = Id("皮带机1#电机");
    double values[5] = {};
    ASSERT_TRUE(GetMotorData(Map(), &id, values, 5));
    EXPECT_DOUBLE_EQ(values[JD_MOTOR_RATED_POWER_KW], 75.0);
    EXPECT_DOUBLE_EQ(values[JD_MOTOR_RATED_CURRENT_A], 86.3);
    EXPECT_DOUBLE_EQ(values[JD_MOTOR_RATED_VOLTAGE_V], 660.0);
    EXPECT_DOUBLE_EQ(values[JD_MOTOR_START_CURRENT_A], 517.8);
    EXPECT_DOUBLE_EQ(values[JD_MOTOR_POWER_FACTOR], 0.87);
    EXPECT_TRUE(HasMotorData(Map(), id));
    EXPECT_TRUE(IsGroupStartMotor(Map(), &id));

    // Fewer values asked: only those written.
    double two[3] = {-1, -1, -1};
    ASSERT_TRUE(GetMotorData(Map(), &id, two, 2));
    EXPECT_DOUBLE_EQ(two[1], 86.3);
    EXPECT_DOUBLE_EQ(two[2], -1);

    LONG starter = Id("皮带机启动器");
    double untouched[5] = {9, 9, 9, 9, 9};
    EXPECT_FALSE(HasMotorData(Map(), starter));
    EXPECT_FALSE(GetMotorData(Map(), &starter, untouched, 5));
    EXPECT_DOUBLE_EQ(untouched[0], 9);
    EXPECT_FALSE(IsGroupStartMotor(Map(), &starter));
    EXPECT_FALSE(GetMotorData(Map(), nullptr, untouched, 5));
}

TEST_F(MotorTest, MotorsAreRecognisedAndSparesAreNotRunning) {
    EXPECT_TRUE(IsMotorObject(Handle("1#水泵")));
    EXPECT_TRUE(IsMotorRunning(Handle("1#水泵")));
    EXPECT_TRUE(IsMotorObject(Handle("2#水泵")));
    EXPECT_FALSE(IsMotorRunning(Handle("2#水泵")));  // the spare
    EXPECT_FALSE(IsMotorObject(Handle("绞车启动器")));
    EXPECT_FALSE(IsMotorObject(Handle("1-5电缆")));
    EXPECT_FALSE(IsMotorRunning(Handle("绞车启动器")));
    // A motor symbol without data is still a motor, but carries no data.
    Object("喷浆机").motor.reset();
    EXPECT_TRUE(IsMotorObject(Handle("喷浆机")));
    EXPECT_FALSE(HasMotorData(Map(), Id("喷浆机")));
}

// ---- Walks --------------------------------------------------------------------------

TEST_F(MotorTest, SuppliedMotorsAreFoundDepthFirstThroughStartersSwitchesAndProtectionUnits) {
    CKernelObjectArray motors;
    EXPECT_EQ(CollectSuppliedMotors(0, Handle("1#矿用变压器"), &motors), 5);
    EXPECT_THAT(Names(motors), ElementsAre("调度绞车", "1#水泵", "2#水泵", "回柱绞车", "喷浆机"));
    motors.RemoveAll();
    EXPECT_EQ(CollectSuppliedMotors(0, Handle("1#移动变电站"), &motors), 3);
    EXPECT_THAT(Names(motors), ElementsAre("皮带机1#电机", "皮带机2#电机", "掘进机"));
}

TEST_F(MotorTest, SupplyWalkStopsAtAnotherTransformer) {
    // Every line of the distribution box ends at a transformer: none of their motors are the box's.
    CKernelObjectArray motors;
    EXPECT_EQ(CollectSuppliedMotors(0, Handle("采区高压配电箱"), &motors), 0);
    EXPECT_TRUE(motors.IsEmpty());
}

TEST_F(MotorTest, SupplyWalkEndsOnALoopDrawnByMistake) {
    // A cable from 掘进机启动器 back to 1#移动变电站's belt starter closes a loop.
    host::MapObject loop;
    loop.entityType = host::EntityType::Line;
    loop.isLine = true;
    loop.kind = G("电缆");
    loop.layer = 2;
    loop.fromEntity = Id("掘进机启动器");
    loop.toEntity = Id("皮带机启动器");
    m_document.AddObject(loop);
    CKernelObjectArray motors;
    EXPECT_EQ(CollectSuppliedMotors(0, Handle("1#移动变电站"), &motors), 3);
}

// ---- High-voltage side -----------------------------------------------------------------

TEST_F(MotorTest, StatMotorsAreTheRunningMotorsWithBlocksOfTheirData) {
    CKernelObjectArray motors;
    const size_t liveBefore = LiveKernelBlockCount();
    EXPECT_EQ(CollectStatMotors(Map(), Handle("1#矿用变压器"), &motors, &m_blocks, 0), 4);
    EXPECT_THAT(Names(motors), ElementsAre("调度绞车", "1#水泵", "回柱绞车", "喷浆机"));
    ASSERT_EQ(m_blocks.GetSize(), 4);
    EXPECT_EQ(LiveKernelBlockCount(), liveBefore + 4);
    const auto* pump = static_cast<const StatMotorBlock*>(m_blocks[1].block);
    EXPECT_EQ(m_blocks[1].value, Handle("1#水泵"));
    EXPECT_EQ(pump->entityId, Id("1#水泵"));
    EXPECT_EQ(pump->starter, 0);  // behind the one-to-four switch, no starter
    EXPECT_DOUBLE_EQ(pump->ratioToPrimary, 690.0 / 6000.0);
    EXPECT_NEAR(pump->primaryStartCurrentA, 23.805, 1e-9);  // 207 A × 0.115
    const auto* winch = static_cast<const StatMotorBlock*>(m_blocks[0].block);
    EXPECT_EQ(winch->starter, Handle("绞车启动器"));
}

TEST_F(MotorTest, StatMotorsTakeSparesInMode1) {
    CKernelObjectArray motors;
    EXPECT_EQ(CollectStatMotors(Map(), Handle("1#矿用变压器"), &motors, &m_blocks, 1), 5);
    EXPECT_THAT(Names(motors), ElementsAre("调度绞车", "1#水泵", "2#水泵", "回柱绞车", "喷浆机"));
}

TEST_F(MotorTest, CurrentsOfAMobileSubstationAreReferredToItsPrimarySide) {
    // Secondary side (docs/map-format.md): largest start 1104.0 A (掘进机) against the
    // belt group 2 × 517.8 = 1035.6 A; others 2 × 86.3 = 172.6 A; all 356.6 A.
    // U2/U1 = 690/6000 = 0.115.
    CKernelObjectArray motors;
    CollectStatMotors(Map(), Handle("1#移动变电站"), &motors, &m_blocks, 0);
    double maxStart = 0, all = 0, other = 0;
    ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &all, &other));
    EXPECT_NEAR(maxStart, 126.96, 1e-9);
    EXPECT_NEAR(all, 41.009, 1e-9);
    EXPECT_NEAR(other, 19.849, 1e-9);
}


// The sample must store what a Set Transformer OK would write, so that
// reopening it changes nothing: 151 subs 7, 8 and 10 ("%0.2f") are the
// library's primary-side currents (hand values in docs/map-format.md).
TEST_F(MotorTest, TheSampleStoresThePrimarySideCurrentsTheLibraryComputes) {
    for (const char* transformer : {"1#矿用变压器", "1#移动变电站"}) {
        CKernelObjectArray motors;
        CollectStatMotors(Map(), Handle(transformer), &motors, &m_blocks, 0);
        double maxStart = 0, all = 0, other = 0;
        ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &all, &other));
        EXPECT_EQ(Field(transformer, 151, 7), ToUtf8(CString::Formatted("%0.2f", maxStart))) << transformer;
        EXPECT_EQ(Field(transformer, 151, 8), ToUtf8(CString::Formatted("%0.2f", other))) << transformer;
        EXPECT_EQ(Field(transformer, 151, 10), ToUtf8(CString::Formatted("%0.2f", all))) << transformer;
    }
}
TEST_F(MotorTest, AJointlyStartingGroupCountsWithTheSumOfItsStartingCurrents) {
    // Belt motors at 600 A start each: the group's 1200 A beats 1104 A, so the
    // rest is 掘进机's 184 A. Primary: 1200 × 0.115 = 138, 184 × 0.115 = 21.16.
    Object("皮带机1#电机").motor->startCurrentA = 600;
    Object("皮带机2#电机").motor->startCurrentA = 600;
    CKernelObjectArray motors;
    CollectStatMotors(Map(), Handle("1#移动变电站"), &motors, &m_blocks, 0);
    double maxStart = 0, all = 0, other = 0;
    ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &all, &other));
    EXPECT_NEAR(maxStart, 138.0, 1e-9);
    EXPECT_NEAR(other, 21.16, 1e-9);
    EXPECT_NEAR(all, 41.009, 1e-9);
}

TEST_F(MotorTest, AGroupStartMotorWithoutStarterStartsAlone) {
    // 1#水泵 and 回柱绞车 flagged, but behind a one-to-four switch: no starter,
    // so no group. Largest single start 207 A; all 90.9 A; others 56.4 A
    // (docs/map-format.md), times 0.115.
    Object("1#水泵").motor->groupStart = true;
    Object("回柱绞车").motor->groupStart = true;
    CKernelObjectArray motors;
    CollectStatMotors(Map(), Handle("1#矿用变压器"), &motors, &m_blocks, 0);
    double maxStart = 0, all = 0, other = 0;
    ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &all, &other));
    EXPECT_NEAR(maxStart, 23.805, 1e-9);
    EXPECT_NEAR(all, 10.4535, 1e-9);
    EXPECT_NEAR(other, 6.486, 1e-9);
}

TEST_F(MotorTest, ATransformerWithoutModelUsesTheProjectVoltages) {
    // 2#移动变电站 has a cleared model record: 660/6000 = 0.11. 采煤机 1206 A
    // start, rated 201 + 83.8 = 284.8 A, others 83.8 A.
    CKernelObjectArray motors;
    CollectStatMotors(Map(), Handle("2#移动变电站"), &motors, &m_blocks, 0);
    double maxStart = 0, all = 0, other = 0;
    ASSERT_TRUE(CalcMotorCurrents(&motors, &maxStart, &all, &other));
    EXPECT_NEAR(maxStart, 132.66, 1e-9);
    EXPECT_NEAR(all, 31.328, 1e-9);
    EXPECT_NEAR(other, 9.218, 1e-9);
}

TEST_F(MotorTest, NoMotorsGiveZeroCurrentsAndNullArgumentsAreRefused) {
    CKernelObjectArray none;
    double maxStart = 1, all = 1, other = 1;
    ASSERT_TRUE(CalcMotorCurrents(&none, &maxStart, &all, &other));
    EXPECT_EQ(maxStart, 0.0);
    EXPECT_EQ(all, 0.0);
    EXPECT_EQ(other, 0.0);
    EXPECT_FALSE(CalcMotorCurrents(nullptr, &maxStart, &all, &other));
    EXPECT_FALSE(CalcMotorCurrents(&none, &maxStart, nullptr, &other));
}

TEST_F(MotorTest, ShowControlledMotorsSelectsThemAndReportsThem) {
    CKernelObjectArray motors;
    motors.Add(Handle("皮带机1#电机"));
    motors.Add(Handle("掘进机"));
    m_session->state().selection = {Id("d1")};
    // The list is module output for the user, not a diagnostic (those are problems).
    struct Lines : IModuleOutputObserver {
        std::vector<CString> lines;
        void OnModuleOutput(const CString& text) override { lines.push_back(text); }
    } output;
    {
        const ModuleOutputScope scope(output);
        EXPECT_EQ(ShowControlledMotors(&motors, Map()), 2);
    }
    EXPECT_THAT(m_session->state().selection, ElementsAre(Id("皮带机1#电机"), Id("掘进机")));
    EXPECT_THAT(output.lines, ElementsAre(G("受控电动机 2 台：皮带机1#电机、掘进机")));  // GBK, as diagnostics
    EXPECT_FALSE(TraceContains(G("受控电动机").str()));
    // An empty list clears the selection.
    CKernelObjectArray none;
    EXPECT_EQ(ShowControlledMotors(&none, Map()), 0);
    EXPECT_TRUE(m_session->state().selection.empty());
}

// ---- Stored values --------------------------------------------------------------------------

TEST_F(MotorTest, ObjectValuesAreTheLoadRecordsTexts) {
    int subs[3] = {7, 8, 10};
    CStringArray values;
    // The sample stores the primary-side currents (docs/map-format.md): 207 × 0.115 =
    // 23.805 → 23.80 (the double lies just below), 56.4 × 0.115 = 6.486 → 6.49,
    // 90.9 × 0.115 = 10.4535 → 10.45.
    ASSERT_EQ(ReadObjectValues(Handle("1#矿用变压器"), 3, subs, &values), 3);
    EXPECT_EQ(ToUtf8(values[0]), "23.80");
    EXPECT_EQ(ToUtf8(values[1]), "6.49");
    EXPECT_EQ(ToUtf8(values[2]), "10.45");
    // A record without values: three empty texts.
    ASSERT_EQ(ReadObjectValues(Handle("2#移动变电站"), 3, subs, &values), 3);
    EXPECT_TRUE(values[0].IsEmpty());
    // No record at all: no texts (the dialog then keeps its computed values).
    EXPECT_EQ(ReadObjectValues(Handle("掘进机"), 3, subs, &values), 0);
    EXPECT_TRUE(values.IsEmpty());
}

TEST_F(MotorTest, LineValuesAreTheCablesLengthAndModel) {
    int subs[5] = {JD_LINE_LENGTH_M, JD_LINE_CROSS_SECTION, JD_LINE_MODEL_ID, JD_LINE_DESIGNATION,
                   JD_LINE_RATED_VOLTAGE};
    CStringArray values;
    ASSERT_EQ(ReadLineValues(Handle("1-4电缆"), 5, subs, &values), 5);
    EXPECT_EQ(ToUtf8(values[0]), "300");
    EXPECT_EQ(ToUtf8(values[1]), "70");
    EXPECT_EQ(ToUtf8(values[2]), "37");
    EXPECT_EQ(ToUtf8(values[3]), "MYP-0.66/1.14 3×70+1×25");
    EXPECT_EQ(ToUtf8(values[4]), "660");
    EXPECT_EQ(ReadLineValues(Handle("掘进机"), 5, subs, &values), 0) << "a motor is no line";
}

// The feeder sum the Set Transformer dialog forms on opening: the lengths of
// the cables leaving the transformer that do not end at a transformer. The
// sample stores 900.00 and 1000.00 (151 sub 2), 200 + 400 + 300 and 400 + 350 + 250.
TEST_F(MotorTest, FeederSumOfLineValuesMatchesTheStoredLoadRecord) {
    for (const char* name : {"1#矿用变压器", "1#移动变电站"}) {
        const LONG transformer = Handle(name);
        LONG count = 0;
        ASSERT_TRUE(QueryObject(transformer, KernelQuery::ConnectionCount, &count, 0));
        std::vector<LONG> connections(static_cast<size_t>(count));
        ASSERT_TRUE(QueryObject(transformer, KernelQuery::ConnectionList, connections.data(), count));
        double sum = 0;
        for (LONG c : connections) {
            if (c >= 0) continue;
            LONG far = 0;
            QueryObject(-c, KernelQuery::LineEndObject, &far, 0);
            if (far == 0 || IsTransformer(far)) continue;
            int sub = JD_LINE_LENGTH_M;
            CStringArray values;
            ASSERT_EQ(ReadLineValues(-c, 1, &sub, &values), 1);
            sum += ParseDouble(values[0]);
        }
        EXPECT_EQ(CString::Formatted("%0.2f", sum).str(), Field(name, 151, 2)) << name;
    }
}

// ---- Conversion length --------------------------------------------------------------------------

TEST_F(MotorTest, LengthFactorsFollowTheReferenceTable) {
    // Reference §3 (380/660/1140 V, 50 mm² reference; 127 V, 4 mm² reference).
    EXPECT_DOUBLE_EQ(GetLengthFactor(1, 4), 11.97);
    EXPECT_DOUBLE_EQ(GetLengthFactor(1, 16), 3.01);
    EXPECT_DOUBLE_EQ(GetLengthFactor(1, 50), 1.00);
    EXPECT_DOUBLE_EQ(GetLengthFactor(1, 95), 0.53);
    EXPECT_DOUBLE_EQ(GetLengthFactor(0, 4), 1.00);
    EXPECT_DOUBLE_EQ(GetLengthFactor(0, 10), 0.34);
    EXPECT_EQ(GetLengthFactor(1, 0), 0.0);
    EXPECT_EQ(GetLengthFactor(1, -16), 0.0);
}

TEST_F(MotorTest, LengthFactorsOffTheTableGoByImpedance) {
    // Z0 = √(R0² + X0²) of reference §2: Z0(50) = √(0.4484² + 0.081²) = 0.455657.
    // 120 mm²: √(0.18² + 0.074²) / 0.455657 = 0.427114.
    EXPECT_NEAR(GetLengthFactor(1, 120), 0.427114, 1e-6);
    // 40 mm², between 35 and 50: R0 on 1/S = 0.546167, X0 on S = 0.083 → 1.212397.
    EXPECT_NEAR(GetLengthFactor(1, 40), 1.212397, 1e-6);
    // 185 mm², beyond the table: R0 = 0.18 × 120/185, X0 = 0.074 → 0.303369.
    EXPECT_NEAR(GetLengthFactor(1, 185), 0.303369, 1e-6);
}

// The converted lengths stored in the kind "0" paths of d1 … d3 (field 3,
// "%.0f") are Σ K·L over their cable runs: 3.01 × 200 = 602, 400 + 3.01 × 30
// = 490, 0.73 × 300 + 4.75 × 60 = 504.
TEST_F(MotorTest, ConvertedLengthsOfTheSamplesPathsFollowFromTheFactors) {
    struct Case {
        const char* point;
        std::vector<const char*> cables;
    };
    const std::vector<Case> cases = {
        {"d1", {"1-1电缆"}}, {"d2", {"1-2电缆", "1-3电缆"}}, {"d3", {"1-4电缆", "1-7电缆"}}};
    for (const Case& c : cases) {
        double lh = 0;
        for (const char* cable : c.cables) {
            int subs[2] = {JD_LINE_LENGTH_M, JD_LINE_CROSS_SECTION};
            CStringArray values;
            ASSERT_EQ(ReadLineValues(Handle(cable), 2, subs, &values), 2);
            lh += GetLengthFactor(1, static_cast<int>(ParseDouble(values[1]))) * ParseDouble(values[0]);
        }
        CString stored;
        const CString path = FromUtf8(Field(c.point, 161, 11));
        ExtractFields(&path, ";", 3, 4, &stored);
        EXPECT_EQ(CString::Formatted("%.0f", lh), stored) << c.point;
    }
}

}  // namespace
}  // namespace jdtest
