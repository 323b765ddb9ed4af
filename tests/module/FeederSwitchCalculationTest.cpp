// The feeder switch calculations on small drawings built per case. Motor
// currents are the tests' own round numbers; converted cable lengths use the
// 660 V length-factor table of docs/engineering.md (16 mm² 3.01, 50 mm² 1.00,
// 70 mm² 0.73); every expected value is worked out beside it.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "SmallDrawing.h"
#include "module/FeederSwitchSetting.h"
#include "platform/Gbk.h"

namespace {

using moduletest::SmallDrawing;

class FeederCalcTest : public ::testing::Test {
protected:
    CFeederSwitchCalc Calc() { return CFeederSwitchCalc(d.Map(), d.objects(), d.ids()); }
    CKernelObjectArray Motors(LONG transformer) {
        CKernelObjectArray motors;
        Calc().CollectMotors(d.Handle(transformer), motors);
        return motors;
    }
    std::vector<LONG> Handles(std::initializer_list<LONG> ids) {
        std::vector<LONG> handles;
        for (LONG id : ids) handles.push_back(d.Handle(id));
        return handles;
    }

    SmallDrawing d;
};

// ---- walks ----------------------------------------------------------------------------------

TEST_F(FeederCalcTest, MotorsAndLoadsAreCollectedDepthFirstInConnectionOrder) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG s = d.Add("启动器", "S");
    const LONG m1 = d.Motor("M1", 50, 300);
    const LONG p = d.Add("综保", "P");
    const LONG m2 = d.Motor("M2", 40, 240);
    const LONG light = d.Motor("L", 5, 30);
    const LONG other = d.Add("移动变电站", "T2");
    const LONG beyond = d.Motor("M9", 1, 6);
    d.Cable(t, s);
    d.Cable(s, m1);
    d.Cable(t, p);
    d.Cable(p, light);
    d.Cable(t, m2);
    d.Cable(m1, beyond);   // a motor ends its branch: nothing behind it is collected
    d.Cable(t, other);
    d.Cable(other, beyond);
    d.Open();

    EXPECT_EQ(Motors(t).items(), Handles({m1, light, m2, beyond}))
        << "the motor walk passes through a second transformer (only CollectSuppliedMotors stops there)";
    CKernelObjectArray loads;
    Calc().CollectLoadsAndProtectors(d.Handle(t), loads);
    EXPECT_EQ(loads.items(), Handles({m1, p, light, m2, beyond})) << "the protection unit is a load and is descended";
}

TEST_F(FeederCalcTest, StarterSearchStopsAtProtectionUnitsAndTransformers) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG s = d.Add("启动器", "S");
    const LONG sw = d.Add("一拖四开关", "Q");
    const LONG direct = d.Motor("M0", 10, 60);
    d.Cable(t, s);
    d.Cable(s, sw);
    d.Cable(sw, direct);
    std::vector<LONG> hidden;
    for (const char* stop : {"综保", "移动变电站", "矿用变压器"}) {
        const LONG between = d.Add(stop, (std::string("X") + stop).c_str());
        const LONG m = d.Motor((std::string("M") + stop).c_str(), 10, 60);
        d.Cable(s, between);
        d.Cable(between, m);
        hidden.push_back(m);
    }
    const LONG orphan = d.Motor("M-orphan", 10, 60);
    d.Open();

    EXPECT_EQ(Calc().FindStarter(d.Handle(direct)), d.Handle(s)) << "a plain switch is passed through";
    for (LONG m : hidden) EXPECT_EQ(Calc().FindStarter(d.Handle(m)), 0) << "a starter behind " << m << " is not found";
    EXPECT_EQ(Calc().FindStarter(d.Handle(orphan)), 0) << "no incoming line";
    EXPECT_EQ(Calc().FindStarter(d.Handle(s)), 0) << "up from the starter itself: the transformer";
}

TEST_F(FeederCalcTest, WalksEndOnALoopInsteadOfHanging) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG a = d.Add("一拖四开关", "A");
    const LONG b = d.Add("一拖四开关", "B");
    const LONG m = d.Motor("M", 10, 60);
    d.Cable(t, a);
    d.Cable(a, b);
    d.Cable(b, a);   // drawn by mistake: A → B → A
    d.Cable(b, m);
    // Upstream loop without a transformer: X ⇄ Y → N.
    const LONG x = d.Add("一拖四开关", "X");
    const LONG y = d.Add("一拖四开关", "Y");
    const LONG n = d.Motor("N", 10, 60);
    d.Cable(x, y);
    d.Cable(y, x);
    d.Cable(y, n);
    d.Open();

    EXPECT_EQ(Motors(t).items(), Handles({m}));
    EXPECT_EQ(Calc().FindStarter(d.Handle(n)), 0);
    CKernelObjectArray lines;
    Calc().CollectFeederPath(d.Handle(t), d.Handle(n), lines);
    EXPECT_EQ(lines.GetSize(), 2) << "N ← Y ← X, then X's first incoming line leads back to Y: stop";
}

TEST_F(FeederCalcTest, AHundredThousandDeepChainDoesNotOverflowTheStack) {
    constexpr int kDepth = 100000;
    const LONG t = d.Add("移动变电站", "T");
    LONG previous = t;
    const LONG s = d.Add("启动器", "S");
    d.Cable(previous, s);
    previous = s;
    for (int i = 0; i < kDepth; ++i) {
        const LONG next = d.Add("一拖二开关", "");
        d.Cable(previous, next, 1, 50);
        previous = next;
    }
    const LONG m = d.Motor("M", 10, 60, true);
    d.Cable(previous, m, 1, 50);
    d.Point("dm", "M", 1500);
    d.Open();

    const CKernelObjectArray motors = Motors(t);
    EXPECT_EQ(motors.items(), Handles({m}));
    EXPECT_EQ(Calc().FindStarter(d.Handle(m)), d.Handle(s));
    CKernelObjectArray lines;
    Calc().CollectFeederPath(d.Handle(t), d.Handle(m), lines);
    EXPECT_EQ(lines.GetSize(), kDepth + 2);
    CString name;
    CKernelObjectArray loads;
    Calc().CollectLoadsAndProtectors(d.Handle(t), loads);
    // kDepth + 1 cables of 1 m at 50 mm² (factor 1.00); the first cable has no records.
    EXPECT_NE(Calc().FindDefaultShortPoint(d.Handle(t), loads, name), 0);
    EXPECT_EQ(ToUtf8(name), "dm");
}

// ---- starting groups and settings ---------------------------------------------------------------

TEST_F(FeederCalcTest, JointlyStartingMotorsOfOneStarterFormOneGroup) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG s = d.Add("启动器", "S");
    const LONG m1 = d.Motor("M1", 50, 300, true);
    const LONG m2 = d.Motor("M2", 40, 240, true);
    const LONG m3 = d.Motor("M3", 20, 120);
    const LONG m4 = d.Motor("M4", 10, 60);
    d.Cable(t, s);
    d.Cable(s, m1);
    d.Cable(s, m2);
    d.Cable(t, m3);
    d.Cable(t, m4);
    d.Open();

    const CKernelObjectArray motors = Motors(t);
    ASSERT_EQ(motors.items(), Handles({m1, m2, m3, m4}));
    const StartingGroups g = Calc().ComputeStartingGroups(motors);
    // Group M1 + M2: Iq 300 + 240 = 540 A, Ie 90 A; ΣIe = 50 + 40 + 20 + 10 = 120 A.
    EXPECT_DOUBLE_EQ(g.maxStart, 540.0);
    EXPECT_DOUBLE_EQ(g.totalIe, 120.0);
    EXPECT_DOUBLE_EQ(g.restIe, 30.0);
    EXPECT_DOUBLE_EQ(Calc().ComputeShortSetting(motors), 570.0);
    EXPECT_DOUBLE_EQ(Calc().ComputeOverloadSetting(motors), 120.0);
}

TEST_F(FeederCalcTest, AJointlyStartingMotorWithoutStarterIsAGroupOfItsOwn) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG a = d.Motor("A", 20, 120, true);
    const LONG b = d.Motor("B", 25, 150, true);
    d.Cable(t, a);
    d.Cable(t, b);
    d.Open();
    const StartingGroups g = Calc().ComputeStartingGroups(Motors(t));
    // Two groups: 120 A and 150 A (not 270 A together); rest = 45 − 25.
    EXPECT_DOUBLE_EQ(g.maxStart, 150.0);
    EXPECT_DOUBLE_EQ(g.totalIe, 45.0);
    EXPECT_DOUBLE_EQ(g.restIe, 20.0);
}

TEST_F(FeederCalcTest, OfEqualGroupsTheFirstInListOrderGivesTheRatedCurrent) {
    const LONG t = d.Add("移动变电站", "T");
    d.Cable(t, d.Motor("first", 30, 200));
    d.Cable(t, d.Motor("second", 50, 200));
    d.Open();
    const StartingGroups g = Calc().ComputeStartingGroups(Motors(t));
    EXPECT_DOUBLE_EQ(g.maxStart, 200.0);
    EXPECT_DOUBLE_EQ(g.restIe, 50.0) << "80 − 30: the first group's rated current is taken out";
}

TEST_F(FeederCalcTest, OneMotorGivesRestZeroAndItsStartingCurrentAsSetting) {
    const LONG t = d.Add("移动变电站", "T");
    d.Cable(t, d.Motor("M", 86.3, 517.8));
    d.Open();
    const CKernelObjectArray motors = Motors(t);
    const StartingGroups g = Calc().ComputeStartingGroups(motors);
    EXPECT_DOUBLE_EQ(g.restIe, 0.0);
    EXPECT_DOUBLE_EQ(Calc().ComputeShortSetting(motors), 517.8);
    EXPECT_DOUBLE_EQ(RoundToCents(Calc().ComputeOverloadSetting(motors)), 86.3);
}

TEST_F(FeederCalcTest, MotorsWithoutDataCountNothingAndALoneStarterMotorStillCounts) {
    const LONG t = d.Add("移动变电站", "T");
    const LONG s = d.Add("启动器", "S");
    const LONG g1 = d.Motor("G1", 50, 300, true);
    const LONG g2 = d.Motor("G2", 40, 240, true);
    const LONG alone = d.Motor("alone", 15, 90);   // same starter, starts on its own, after the group
    const LONG empty = d.Add("电动机", "no data");
    d.Cable(t, s);
    d.Cable(s, g1);
    d.Cable(s, g2);
    d.Cable(s, alone);
    d.Cable(t, empty);
    d.Open();
    const CKernelObjectArray motors = Motors(t);
    ASSERT_EQ(motors.items(), Handles({g1, g2, alone, empty}));
    const StartingGroups g = Calc().ComputeStartingGroups(motors);
    // Group 540 A / 90 A; "alone" counts as its own group: ΣIe = 90 + 15 = 105, rest 15.
    EXPECT_DOUBLE_EQ(g.maxStart, 540.0);
    EXPECT_DOUBLE_EQ(g.totalIe, 105.0);
    EXPECT_DOUBLE_EQ(g.restIe, 15.0);
    EXPECT_DOUBLE_EQ(Calc().ComputeOverloadSetting(motors), 105.0);
}

// ---- default short-circuit point -----------------------------------------------------------------

class DefaultPointTest : public FeederCalcTest {
protected:
    void SetUp() override {
        t = d.Add("移动变电站", "T");
        const LONG s = d.Add("启动器", "S");
        m1 = d.Motor("M1", 50, 300);
        p = d.Add("综保", "P");
        m2 = d.Motor("M2", 10, 60);
        c1 = d.Cable(t, s, 100, 50);
        c2 = d.Cable(s, m1, 30, 16);
        c3 = d.Cable(t, p, 200, 16);
        d.Cable(t, m2);                       // no length, no model
        d.Point("d1", "M1", 2000);
        d.Point("d2", "P", 900);
        d.Point("d3", "M2", 3000);
    }
    LONG t = 0, m1 = 0, p = 0, m2 = 0, c1 = 0, c2 = 0, c3 = 0;
};

TEST_F(DefaultPointTest, TheLongestConvertedRunWins) {
    d.Open();
    CKernelObjectArray loads;
    Calc().CollectLoadsAndProtectors(d.Handle(t), loads);
    ASSERT_EQ(loads.items(), Handles({m1, p, m2}));
    CKernelObjectArray path;
    Calc().CollectFeederPath(d.Handle(t), d.Handle(m1), path);
    EXPECT_EQ(path.items(), Handles({c2, c1}));
    // M1: 30 × 3.01 + 100 × 1.00 = 190.3 m; P: 200 × 3.01 = 602 m; M2: 0.
    EXPECT_NEAR(Calc().ConvertedLength(path), 190.3, 1e-9);
    CString name = "kept";
    EXPECT_EQ(Calc().FindDefaultShortPoint(d.Handle(t), loads, name), Calc().FindPointByName("d2"));
    EXPECT_EQ(ToUtf8(name), "d2");
    EXPECT_EQ(Calc().FindPointOfLoad("M1"), Calc().FindPointByName("d1"));
}

TEST_F(DefaultPointTest, NoPointWhenEveryRunHasConvertedLengthZero) {
    for (LONG cable : {c1, c2, c3}) d.Object(cable).fields.clear();
    d.Open();
    CKernelObjectArray loads;
    Calc().CollectLoadsAndProtectors(d.Handle(t), loads);
    CString name = "kept";
    EXPECT_EQ(Calc().FindDefaultShortPoint(d.Handle(t), loads, name), 0);
    EXPECT_EQ(ToUtf8(name), "kept") << "the name is left as it was";
}

TEST_F(DefaultPointTest, OfEqualRunsTheFirstStays) {
    // Everything at 50 mm² (factor 1.00): M1's run 100 + 100 = 200 m, P's 200 m.
    d.Object(c1).fields[167][4] = "50";
    d.Object(c2).fields[167][4] = "50";
    d.Object(c2).fields[155] = {"100"};
    d.Object(c3).fields[167][4] = "50";
    d.Open();
    CKernelObjectArray loads;
    Calc().CollectLoadsAndProtectors(d.Handle(t), loads);
    CString name;
    Calc().FindDefaultShortPoint(d.Handle(t), loads, name);
    EXPECT_EQ(ToUtf8(name), "d1");
}

// ---- step, multiple and current -------------------------------------------------------------------

TEST(FeederConversionsTest, StepMultipleAndCurrent) {
    EXPECT_DOUBLE_EQ(ComputeOverloadStep(120, 100), 1.2);
    EXPECT_DOUBLE_EQ(ComputeOverloadStep(100, 3), 33.33);   // 33.333… to two decimals
    EXPECT_DOUBLE_EQ(ComputeOverloadStep(120, 0), 0.0) << "a model with rated current 0 shows 0, not infinity";
    // A stored electronic setting of 300 A on a 100 A model: multiple 3.
    EXPECT_DOUBLE_EQ(CurrentToMultiple(300, 100), 3.0);
    EXPECT_DOUBLE_EQ(CurrentToMultiple(300, 0), 0.0);
    EXPECT_DOUBLE_EQ(MultipleToCurrent(3, 100), 300.0);
    EXPECT_TRUE(IsUserMultipleAllowed(1));
    EXPECT_TRUE(IsUserMultipleAllowed(10));
    EXPECT_FALSE(IsUserMultipleAllowed(10.01));
    EXPECT_FALSE(IsUserMultipleAllowed(0.99));
    EXPECT_FALSE(IsUserMultipleAllowed(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_DOUBLE_EQ(RoundToCents(570.004), 570.0);
    EXPECT_DOUBLE_EQ(RoundToCents(std::numeric_limits<double>::infinity()), 0.0);
}

}  // namespace
