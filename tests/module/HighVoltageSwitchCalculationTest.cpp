// The high-voltage switch calculations on small drawings built per case.
// Motor currents and voltages are the tests' own round numbers; every
// expected value is worked out beside it (Kb = 6000 V / 600 V = 10 unless a
// case says otherwise).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "SmallDrawing.h"
#include "host/AttributeRecords.h"
#include "module/HighVoltageSwitchSetting.h"
#include "platform/Gbk.h"

namespace {

using moduletest::SmallDrawing;

std::string U(const CString& gbk) { return ToUtf8(gbk); }

class HvCalcTest : public ::testing::Test {
protected:
    CHighVoltageSwitchCalc Calc() { return CHighVoltageSwitchCalc(d.Map(), &d.objects(), &d.ids()); }
    // A device with a transformer record U1 / U2 and a coefficient record cosφ, S.
    LONG Device(const char* kind, const char* name, const char* u1 = "6000", const char* u2 = "600",
                const char* group = "Y,y0") {
        const LONG id = d.Add(kind, name);
        d.Object(id).fields[AttributeField::TransformerModel] = {"1", "T", "", "0", u1, u2, "0", "0", "0", "0",
                                                                 "0", "0", "0", FromUtf8(group)};
        d.Object(id).fields[AttributeField::Coefficients] = {"0", "0", "0.800", "0", "0", "500.000"};
        return id;
    }
    LONG Motor(const char* name, double ratedA, double startA, bool flagged = false, double powerKW = 0.0) {
        const LONG id = d.Motor(name, ratedA, startA, flagged);
        if (powerKW > 0.0) d.Object(id).motor->ratedPowerKW = powerKW;
        return id;
    }
    std::vector<LONG> Handles(std::initializer_list<LONG> ids) {
        std::vector<LONG> handles;
        for (LONG id : ids) handles.push_back(d.Handle(id));
        return handles;
    }
    CKernelObjectArray List(std::initializer_list<LONG> ids) {
        CKernelObjectArray list;
        for (LONG id : ids) list.Add(d.Handle(id));
        return list;
    }
    double Iz(LONG device, double kx, std::string& text) {
        CString formula;
        const double iz = Calc().CalcShortCircuitSetting(d.Handle(device), device, kx, formula);
        text = U(formula);
        return iz;
    }

    SmallDrawing d;
};

// ---- walks --------------------------------------------------------------------------------

TEST_F(HvCalcTest, LoadsSkipAProtectorsOwnMotorsAndAnotherTransformersLoads) {
    const LONG box = Device("高压配电箱", "D");
    const LONG protector = d.Add("综保", "P");
    const LONG direct = Motor("direct", 10, 60);
    const LONG starter = d.Add("启动器", "S");
    const LONG behind = Motor("behind", 20, 120);
    const LONG other = d.Add("移动变电站", "T2");
    const LONG beyond = Motor("beyond", 30, 180);
    const LONG own = Motor("own", 40, 240);
    d.Cable(box, protector);
    d.Cable(protector, direct);    // directly behind the protector: not counted
    d.Cable(protector, starter);   // behind a further device: counted
    d.Cable(starter, behind);
    d.Cable(box, other);
    d.Cable(other, beyond);        // another transformer's load
    d.Cable(box, own);
    d.Open();

    CKernelObjectArray loads;
    Calc().CollectLoads(d.Handle(box), loads);
    EXPECT_EQ(loads.items(), Handles({behind, own}));
}

TEST_F(HvCalcTest, StarterLineOfPropertyThreeRightBehindTheDeviceIsSkippedButNotFurtherDown) {
    const LONG device = Device("移动变电站", "D");
    const LONG starter = d.Add("启动器", "S");
    const LONG skipped = Motor("skipped", 10, 60);
    const LONG kept = Motor("kept", 11, 66);
    const LONG box = d.Add("馈电开关", "F");
    const LONG starter2 = d.Add("启动器", "S2");
    const LONG further = Motor("further", 12, 72);
    d.Cable(device, starter);
    d.Object(d.Cable(starter, skipped)).lineProperty = 3;
    d.Object(d.Cable(starter, kept)).lineProperty = 2;
    d.Cable(device, box);
    d.Cable(box, starter2);
    d.Object(d.Cable(starter2, further)).lineProperty = 3;
    d.Open();

    CKernelObjectArray behindStarter;
    Calc().CollectMotorsBehind(d.Handle(starter), behindStarter);
    EXPECT_EQ(behindStarter.items(), Handles({kept}));
    CKernelObjectArray behindBox;
    Calc().CollectMotorsBehind(d.Handle(box), behindBox);
    EXPECT_EQ(behindBox.items(), Handles({further})) << "CollectLoads makes no line-property test";

    // ΣIe = 11 + 12; IQe = 72 (the further motor's start), others 11.
    const HvMotorCurrents c = Calc().MotorCurrentStats(d.Handle(device));
    EXPECT_DOUBLE_EQ(c.sumIe, 23.0);
    EXPECT_DOUBLE_EQ(c.iqe, 72.0);
    EXPECT_DOUBLE_EQ(c.sumIeOthers, 11.0);
}

TEST_F(HvCalcTest, StarterIsFoundUpstreamAndNotBeyondAProtector) {
    const LONG starter = d.Add("启动器", "S");
    const LONG box = d.Add("接线盒", "J");
    const LONG motor = Motor("M", 10, 60);
    const LONG protector = d.Add("综保", "P");
    const LONG lamp = Motor("L", 1, 6);
    const LONG loose = Motor("loose", 1, 6);
    d.Cable(starter, box);
    d.Cable(box, motor);
    d.Cable(starter, protector);
    d.Cable(protector, lamp);
    d.Open();
    EXPECT_EQ(Calc().FindStarter(d.Handle(motor)), d.Handle(starter));
    EXPECT_EQ(Calc().FindStarter(d.Handle(lamp)), 0);
    EXPECT_EQ(Calc().FindStarter(d.Handle(loose)), 0);
}

TEST_F(HvCalcTest, SupplyTransformerIsDecidedByTheLastIncomingLine) {
    const LONG t1 = d.Add("矿用变压器", "T1");
    const LONG t2 = d.Add("移动变电站", "T2");
    const LONG relay = d.Add("馈电开关", "F");
    const LONG motor = Motor("M", 10, 60);
    d.Cable(t1, motor);
    d.Cable(t2, relay);
    d.Cable(relay, motor);
    d.Open();
    EXPECT_EQ(Calc().FindSupplyTransformer(d.Handle(motor)), d.Handle(t2));
    EXPECT_EQ(Calc().FindSupplyTransformer(d.Handle(t1)), 0);
}

TEST_F(HvCalcTest, WalksEndOnALoopAndCountAMotorReachedTwiceTwice) {
    const LONG device = Device("高压配电箱", "D");
    const LONG a = d.Add("馈电开关", "A");
    const LONG b = d.Add("馈电开关", "B");
    const LONG c = d.Add("接线盒", "C");
    const LONG motor = Motor("M", 10, 60);
    d.Cable(device, a);
    d.Cable(device, b);
    d.Cable(a, c);
    d.Cable(b, c);
    d.Cable(c, motor);
    d.Cable(c, a);   // drawn by mistake: back up to A
    d.Open();

    CKernelObjectArray loads;
    Calc().CollectLoads(d.Handle(device), loads);
    EXPECT_EQ(loads.items(), Handles({motor, motor})) << "via A and via B";
    EXPECT_EQ(Calc().FindSupplyTransformer(d.Handle(motor)), 0);
    EXPECT_EQ(Calc().FindStarter(d.Handle(motor)), 0);
}

TEST_F(HvCalcTest, WalksFollowAHundredThousandDeepChainWithoutRecursion) {
    constexpr int kDepth = 100000;
    const LONG transformer = d.Add("移动变电站", "T");
    LONG previous = transformer;
    LONG firstCable = 0;
    for (int i = 0; i < kDepth; ++i) {
        const LONG box = d.Add("馈电开关", "");
        const LONG cable = d.Cable(previous, box);
        if (firstCable == 0) firstCable = cable;
        previous = box;
    }
    const LONG starter = d.Add("启动器", "S");
    const LONG motor = Motor("M", 10, 60);
    d.Cable(previous, starter);
    d.Cable(starter, motor);
    d.Open();

    CKernelObjectArray loads;
    Calc().CollectLoads(d.Handle(transformer), loads);
    EXPECT_EQ(loads.items(), Handles({motor}));
    EXPECT_EQ(Calc().FindSupplyTransformer(d.Handle(motor)), d.Handle(transformer));
    CKernelObjectArray circuit;
    Calc().CollectCircuitMotors(d.Handle(firstCable), circuit);
    EXPECT_EQ(circuit.items(), Handles({motor}));
}

TEST_F(HvCalcTest, CircuitMotorsOfAMultiSwitchNeedMotorDataAndSkipAProtectorsOwn) {
    const LONG sw = d.Add("一拖四开关", "Q");
    const LONG m1 = Motor("M1", 10, 60, true);
    const LONG protector = d.Add("综保", "P");
    const LONG lamp = Motor("lamp", 1, 6);
    const LONG junction = d.Add("接线盒", "J");
    const LONG m2 = Motor("M2", 20, 120, true);
    const LONG bare = d.Add("电动机", "bare");   // a motor symbol without data
    const LONG l1 = d.Cable(sw, m1);
    const LONG l2 = d.Cable(sw, protector);
    d.Cable(protector, lamp);
    d.Cable(protector, junction);
    d.Cable(junction, m2);
    const LONG l3 = d.Cable(sw, bare);
    d.Open();

    CKernelObjectArray c1, c2, c3;
    Calc().CollectCircuitMotors(d.Handle(l1), c1);
    Calc().CollectCircuitMotors(d.Handle(l2), c2);
    Calc().CollectCircuitMotors(d.Handle(l3), c3);
    EXPECT_EQ(c1.items(), Handles({m1}));
    EXPECT_EQ(c2.items(), Handles({m2}));
    EXPECT_TRUE(c3.IsEmpty());

    // Circuits 60 A and 120 A of start: the second decides; ΣIe 30.
    const HvGroupStats s = Calc().MultiSwitchStats(d.Handle(sw));
    EXPECT_DOUBLE_EQ(s.sumIe, 30.0);
    EXPECT_DOUBLE_EQ(s.iqMax, 120.0);
    EXPECT_DOUBLE_EQ(s.ieOfMax, 20.0);
}

// ---- groups ------------------------------------------------------------------------------

TEST_F(HvCalcTest, FlaggedMotorsOfOneStarterStartTogetherAndAnUnflaggedOneAlone) {
    const LONG starter = d.Add("启动器", "S");
    const LONG a = Motor("A", 20, 100, true);
    const LONG b = Motor("B", 20, 100, true);
    const LONG c = Motor("C", 50, 150, false);
    const LONG first = Motor("first", 5, 30, false);
    const LONG third = Motor("third", 10, 50, true);
    for (LONG m : {a, b, c, first, third}) d.Cable(starter, m);
    d.Open();

    // Three flagged motors: one group of IQ 250, Ie 50.
    const HvGroupStats three = Calc().StarterGroupStats(List({a, b, third}));
    EXPECT_DOUBLE_EQ(three.sumIe, 50.0);
    EXPECT_DOUBLE_EQ(three.iqMax, 250.0);
    EXPECT_DOUBLE_EQ(three.ieOfMax, 50.0);

    // {A, B}: IQ 200, Ie 40; C alone IQ 150; ΣIe 20 + 20 + 50 = 90.
    const HvGroupStats s = Calc().StarterGroupStats(List({a, b, c}));
    EXPECT_DOUBLE_EQ(s.sumIe, 90.0);
    EXPECT_DOUBLE_EQ(s.iqMax, 200.0);
    EXPECT_DOUBLE_EQ(s.ieOfMax, 40.0);

    // The unflagged motor after the group still counts (regression: it was
    // dropped once its starter's group was done).
    const HvGroupStats after = Calc().StarterGroupStats(List({first, a, b, c}));
    EXPECT_DOUBLE_EQ(after.sumIe, 95.0);
    EXPECT_DOUBLE_EQ(after.iqMax, 200.0);

    // In a circuit every flagged motor starts together, starter or not.
    const HvGroupStats circuit = Calc().CircuitGroupStats(List({c, a, b}));
    EXPECT_DOUBLE_EQ(circuit.sumIe, 90.0);
    EXPECT_DOUBLE_EQ(circuit.iqMax, 200.0);
    EXPECT_DOUBLE_EQ(circuit.ieOfMax, 40.0);
}

TEST_F(HvCalcTest, EqualStartingGroupsKeepTheFirst) {
    const LONG device = Device("矿用变压器", "D");
    const LONG s1 = d.Add("启动器", "S1");
    const LONG s2 = d.Add("启动器", "S2");
    const LONG m1 = Motor("M1", 30, 200);
    const LONG m2 = Motor("M2", 40, 200);
    d.Cable(device, s1);
    d.Cable(s1, m1);
    d.Cable(device, s2);
    d.Cable(s2, m2);
    d.Open();
    // IQe 200 from M1 (first); others = M2's 40: (200 + 0.7·40) / 10 = 22.8.
    std::string text;
    EXPECT_DOUBLE_EQ(Iz(device, 0.7, text), 22.8);
    EXPECT_EQ(text, "(200.0+0.70×40.0) / 10.00");
}

// ---- settings ------------------------------------------------------------------------------

TEST_F(HvCalcTest, ShortCircuitSettingAndItsFormula) {
    const LONG device = Device("移动变电站", "D");
    const LONG s1 = d.Add("启动器", "S1");
    const LONG s2 = d.Add("启动器", "S2");
    const LONG big = Motor("big", 20, 120);
    const LONG rest = Motor("rest", 50, 100);
    d.Cable(device, s1);
    d.Cable(s1, big);
    d.Cable(device, s2);
    d.Cable(s2, rest);
    d.Open();
    // (120 + 0.7 · 50) / 10 = 15.5
    std::string text;
    EXPECT_DOUBLE_EQ(Iz(device, 0.7, text), 15.5);
    EXPECT_EQ(text, "(120.0+0.70×50.0) / 10.00");
}

TEST_F(HvCalcTest, DeviceWithoutMotorsHasNoSettingAndNoLoad) {
    const LONG device = Device("移动变电站", "D", "6000", "690");
    d.Open();
    std::string text;
    EXPECT_DOUBLE_EQ(Iz(device, 0.7, text), 0.0);
    EXPECT_EQ(text, "0.0 / 8.70");   // 6000 / 690 = 8.6957
    CString load;
    EXPECT_DOUBLE_EQ(Calc().CalcLoadCurrent(d.Handle(device), device, "6000", load), 0.0);
    EXPECT_EQ(U(load), "将Pe = 0.0kW，额定电压Ue = 6kV, cosφ = 0.80带入公式得：\n    0.0 / (1.732×6×0.80)");
}

TEST_F(HvCalcTest, WithoutARatioOnRecordKbIsOneAndTheFormulaSaysSo) {
    const LONG bare = d.Add("高压配电箱", "D");   // no field 163
    const LONG zero = Device("矿用变压器", "Z", "6000", "0");
    const LONG noPrimary = Device("矿用变压器", "N", "0", "690");
    const LONG s = d.Add("启动器", "S");
    const LONG m = Motor("M", 10, 60);
    d.Cable(bare, s);
    d.Cable(s, m);
    d.Open();
    EXPECT_FALSE(Calc().GetTransformRatio(bare).known);
    EXPECT_DOUBLE_EQ(Calc().GetTransformRatio(zero).kb, 1.0);
    EXPECT_FALSE(Calc().GetTransformRatio(zero).known);
    std::string text;
    EXPECT_DOUBLE_EQ(Iz(bare, 0.7, text), 60.0);
    EXPECT_EQ(text, "60.0 / 1.00（无变比数据，按1计）");

    // A primary voltage of 0 gives Kb 0: the setting shows 0, not infinity.
    EXPECT_DOUBLE_EQ(Calc().GetTransformRatio(noPrimary).kb, 0.0);
}

TEST_F(HvCalcTest, LoadCurrentFromThePowerOfTheLoads) {
    const LONG device = Device("移动变电站", "D");
    const LONG s = d.Add("启动器", "S");
    const LONG m1 = Motor("M1", 10, 60, false, 75.0);
    const LONG m2 = Motor("M2", 10, 60, false, 25.0);
    d.Cable(device, s);
    d.Cable(s, m1);
    d.Cable(s, m2);
    d.Open();
    // Pe 100 kW, Ue 6 kV, cosφ 0.8: 100 / (√3 · 6 · 0.8) = 12.028 A.
    CString text;
    EXPECT_NEAR(Calc().CalcLoadCurrent(d.Handle(device), device, "6000", text), 12.028, 5e-4);
    EXPECT_EQ(U(text), "将Pe = 100.0kW，额定电压Ue = 6kV, cosφ = 0.80带入公式得：\n    100.0 / (1.732×6×0.80)");
    // No voltage: no current, and no division by zero.
    EXPECT_DOUBLE_EQ(Calc().CalcLoadCurrent(d.Handle(device), device, "", text), 0.0);

    // S 500 kVA at 6000 V: 500000 / (√3 · 6000) = 48.113 A; no voltage chosen gives 0.
    const CString voltage = "6000";
    const HvApparentCurrent a = Calc().CalcApparentCurrent(device, &voltage);
    EXPECT_DOUBLE_EQ(a.apparentPowerKVA, 500.0);
    EXPECT_NEAR(a.currentA, 48.113, 5e-4);
    EXPECT_DOUBLE_EQ(Calc().CalcApparentCurrent(device, nullptr).currentA, 0.0);
}

TEST_F(HvCalcTest, ModelSettingsFromIzAndTheLoadCurrent) {
    // Iz 15.5, Ie 200: multiple 0.0775 → 0.077 (the double lies just below);
    // relay terminal 15.5 · 5 / 200 = 0.3875 → 0.39; load 40 A on the 5 A side: 40 / 40 = 1.
    const HvModelSettings relay = ComputeModelSettings({200.0, 129.9, 1}, 15.5, 40.0, 0.0);
    EXPECT_EQ(U(relay.protection), "过流继电器");
    EXPECT_DOUBLE_EQ(relay.multipleCalc, 0.077);
    EXPECT_DOUBLE_EQ(relay.terminalCalc, 0.39);
    EXPECT_DOUBLE_EQ(relay.stepCalc, 1.0);
    EXPECT_FALSE(relay.userCurrentSet);

    const HvModelSettings electronic = ComputeModelSettings({200.0, 129.9, 0}, 15.5, 40.0, 1.5);
    EXPECT_EQ(U(electronic.protection), "电子式");
    EXPECT_DOUBLE_EQ(electronic.multipleCalc, 0.077);
    EXPECT_DOUBLE_EQ(electronic.terminalCalc, 0.0);
    EXPECT_DOUBLE_EQ(electronic.stepCalc, 0.2);     // 40 / 200
    EXPECT_DOUBLE_EQ(electronic.userCurrent, 300.0);  // 200 · 1.5

    // A model without rated current gives zeros, never a division by zero.
    const HvModelSettings none = ComputeModelSettings({0.0, 0.0, 1}, 15.5, 40.0, 0.0);
    EXPECT_DOUBLE_EQ(none.terminalCalc, 0.0);
    EXPECT_DOUBLE_EQ(none.multipleCalc, 0.0);
    EXPECT_DOUBLE_EQ(none.stepCalc, 0.0);

    EXPECT_DOUBLE_EQ(UserCurrentFromTerminal(2.0, 400.0), 160.0);
    EXPECT_DOUBLE_EQ(UserCurrentFromMultiple(1.2, 400.0), 480.0);
}

// ---- points and sensitivity ------------------------------------------------------------------

TEST_F(HvCalcTest, ShortPointsAreFoundWithTheirOwnersAndTheRatioFollowsTheOwner) {
    const LONG device = Device("移动变电站", "D");
    const LONG box = d.Add("高压配电箱", "B");
    const LONG m = Motor("M", 10, 60);
    d.Cable(device, m);
    const LONG p1 = d.Point("d1", "M", 1500);
    const LONG p2 = d.Point("d2", "D", 3000);
    const LONG p3 = d.Point("d3", "nobody", 900);
    const LONG p4 = d.Point("d4", "D", 2000);
    const LONG p5 = d.Point("d5", "B", 2500);
    d.Open();

    CKernelObjectArray owners, points;
    EXPECT_EQ(Calc().CollectShortPoints(owners, points), 4);
    EXPECT_EQ(points.items(), Handles({p1, p2, p4, p5}));
    EXPECT_EQ(owners.items(), Handles({m, device, device, box}));

    // The device's own points: the last one is the default.
    const auto def = Calc().FindDefaultShortPoint(d.Handle(device), owners, points);
    EXPECT_EQ(def.point, d.Handle(p4));
    EXPECT_EQ(U(def.name), "d4");
    EXPECT_DOUBLE_EQ(def.ratio, 10.0);
    EXPECT_EQ(Calc().FindDefaultShortPoint(d.Handle(m), owners, {}).point, 0);

    double ratio = 0.0;
    EXPECT_EQ(Calc().FindShortPointByName("d1", ratio), d.Handle(p1));
    EXPECT_DOUBLE_EQ(ratio, 10.0) << "M is fed by D: 6000 / 600";
    EXPECT_EQ(Calc().FindShortPointByName("d5", ratio), d.Handle(p5));
    EXPECT_DOUBLE_EQ(ratio, 1.0) << "a distribution box";
    ratio = 0.0;
    EXPECT_EQ(Calc().FindShortPointByName("d3", ratio), d.Handle(p3));
    EXPECT_DOUBLE_EQ(ratio, 0.0) << "an owner that matches no object leaves the ratio";
    EXPECT_EQ(Calc().FindShortPointByName("gone", ratio), 0);
    EXPECT_DOUBLE_EQ(ratio, 0.0);
}

TEST_F(HvCalcTest, SensitivityIsDividedByRootThreeBehindADeltaWinding) {
    const LONG star = Device("移动变电站", "Y", "6000", "600", "Y,yn0");
    const LONG delta = Device("移动变电站", "DT", "6000", "600", "Y/△-11");
    const LONG p = d.Point("d1", "Y", 1500);
    d.Open();
    // 1500 / (1 · 1 · 1000) = 1.5; behind △: 1.5 / √3 = 0.866.
    const HvSensitivity s = Calc().CalcSensitivity(star, d.Handle(p), 1000.0, 1.0);
    EXPECT_DOUBLE_EQ(s.ik, 1500.0);
    EXPECT_DOUBLE_EQ(s.km, 1.5);
    EXPECT_NEAR(Calc().CalcSensitivity(delta, d.Handle(p), 1000.0, 1.0).km, 0.8660, 5e-5);
    // Ratio 10: 1500 / (10 · 100) = 1.5.
    EXPECT_DOUBLE_EQ(Calc().CalcSensitivity(star, d.Handle(p), 100.0, 10.0).km, 1.5);
    // No setting current, no ratio or no point: 0.
    EXPECT_DOUBLE_EQ(Calc().CalcSensitivity(star, d.Handle(p), 0.0, 1.0).km, 0.0);
    EXPECT_DOUBLE_EQ(Calc().CalcSensitivity(star, d.Handle(p), 100.0, 0.0).km, 0.0);
    EXPECT_DOUBLE_EQ(Calc().CalcSensitivity(star, 0, 100.0, 1.0).ik, 0.0);

    EXPECT_TRUE(HasDeltaWinding(FromUtf8("D,yn11△")));
    EXPECT_FALSE(HasDeltaWinding(FromUtf8("Y,d11")));
}

TEST_F(HvCalcTest, DemandCoefficientRangeIncludesItsEnds) {
    EXPECT_FALSE(DemandCoefficientInRange(0.45));
    EXPECT_TRUE(DemandCoefficientInRange(0.5));
    EXPECT_TRUE(DemandCoefficientInRange(1.0));
    EXPECT_FALSE(DemandCoefficientInRange(1.05));
}

}  // namespace
