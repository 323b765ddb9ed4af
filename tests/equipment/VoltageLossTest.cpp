// Voltage loss of the sample mine's transformers. Expected values: the hand
// calculation of docs/map-format.md for 1#矿用变压器, the same formulas by
// hand for the others (docs/engineering.md).
#include <gtest/gtest.h>

#include "SampleMineFixture.h"
#include "equipment/Engineering.h"
#include "equipment/MapRoutines.h"

namespace jdtest {
namespace {

class VoltageLossTest : public SampleMineTest {
protected:
    std::vector<std::string> Results(const char* transformer) {
        return {Field(transformer, 160, 0), Field(transformer, 160, 1), Field(transformer, 160, 7),
                Field(transformer, 160, 8), Field(transformer, 160, 9)};
    }
    void ClearResults(const char* transformer) { Object(transformer).fields[160] = {}; }
    void TearDown() override {
        jdeng::SetNetworkParameters(jdeng::NetworkParameters{});
        SampleMineTest::TearDown();
    }
};

using Texts = std::vector<std::string>;

TEST_F(VoltageLossTest, MineTransformerAlongItsWorstRunToTheHaulageWinch) {
    // KBSG-200/6 (seed row 57, ΔPk 3120 W): uR = 1.56 %, uX = 3.6833 %, β = 73.357/200,
    // cosφ 0.7: 9.42 V transformer, 5.36 V trunk 1-4电缆, 3.52 V branch 1-7电缆,
    // total 9.4206 + 5.3629 + 3.5175 = 18.30 V = 2.77 % of 660 V.
    ClearResults("1#矿用变压器");
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#矿用变压器"), Id("1#矿用变压器"), 0));
    EXPECT_EQ(Results("1#矿用变压器"), (Texts{"18.30", "2.77", "9.42", "5.36", "3.52"}));
}

TEST_F(VoltageLossTest, MobileSubstationsWorstRunIsTheRoadheader) {
    // KBSGZY-500/6 (seed row 4, ΔPk 6120 W): β = 180.833/500, uR = 1.224 %,
    // uX = 3.8081 %, cosφ 0.6: ΔUb = 0.36167 × (1.224 × 0.6 + 3.8081 × 0.8) × 6.9 = 9.44 V.
    // Runs (Kr 0.35, γ 42.5, Ue 660): belt motors 10.70 + 2.04 and 10.70 + 2.38 V;
    // 掘进机 2-4电缆 0.35·160·350·1000/(42.5·660·95) = 7.36 V and 2-5电缆
    // 0.8·160·100·1000/(42.5·660·70·0.9) = 7.24 V: the worst. Total 9.4352 + 7.3553 +
    // 7.2433 = 24.03 V, 3.64 %.
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#移动变电站"), Id("1#移动变电站"), 0));
    EXPECT_EQ(Results("1#移动变电站"), (Texts{"24.03", "3.64", "9.44", "7.36", "7.24"}));
}

TEST_F(VoltageLossTest, WithoutModelOrLoadStatisticsOnlyTheCablesCountAtFullLoad) {
    // 2#移动变电站: no model (no transformer loss, Ue = the project's 660 V), no
    // coefficients (Kx 1). 采煤机: 300·300·1000/(42.5·660·95) = 33.77 V and
    // 0.8·300·200·1000/(42.5·660·70·0.9) = 27.16 V; total 60.94 V, 9.23 %.
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("2#移动变电站"), Id("2#移动变电站"), 0));
    EXPECT_EQ(Results("2#移动变电站"), (Texts{"60.94", "9.23", "0.00", "33.77", "27.16"}));
}

TEST_F(VoltageLossTest, SpareMotorsLoadNoCable) {
    // 2#水泵 running as well: the trunk carries 84 kW, 0.65·84·300·1000/(42.5·660·70) = 8.34 V.
    Object("2#水泵").motor->running = true;
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#矿用变压器"), Id("1#矿用变压器"), 0));
    EXPECT_EQ(Field("1#矿用变压器", 160, 8), "8.34");
}

TEST_F(VoltageLossTest, ConductivityIsAParameter) {
    // γ = 53: trunk 0.65·54·300·1000/(53·660·70) = 4.30 V, branch 2.82 V.
    jdeng::NetworkParameters parameters;
    parameters.conductivity = 53.0;
    jdeng::SetNetworkParameters(parameters);
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#矿用变压器"), Id("1#矿用变压器"), 0));
    EXPECT_EQ(Field("1#矿用变压器", 160, 8), "4.30");
    EXPECT_EQ(Field("1#矿用变压器", 160, 9), "2.82");
}

TEST_F(VoltageLossTest, RepeatingTheCalculationGivesTheSameNumbers) {
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#移动变电站"), Id("1#移动变电站"), 0));
    const Texts first = Results("1#移动变电站");
    ASSERT_TRUE(CalcVoltageLoss(Map(), Handle("1#移动变电站"), Id("1#移动变电站"), 0));
    EXPECT_EQ(Results("1#移动变电站"), first);
}

TEST_F(VoltageLossTest, ATransformerWithoutTheRecordGetsNothingWritten) {
    Object("1#矿用变压器").fields.erase(160);
    EXPECT_FALSE(CalcVoltageLoss(Map(), Handle("1#矿用变压器"), Id("1#矿用变压器"), 0));
    EXPECT_FALSE(Object("1#矿用变压器").fields.count(160));
    EXPECT_FALSE(CalcVoltageLoss(nullptr, Handle("1#移动变电站"), Id("1#移动变电站"), 0));
    EXPECT_FALSE(CalcVoltageLoss(Map(), 0, 0, 0));
}

}  // namespace
}  // namespace jdtest
