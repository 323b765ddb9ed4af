// The network formulas against values computed by hand from the formulas of
// docs/engineering.md and the check values of the engineering reference.
#include <gtest/gtest.h>

#include "equipment/Engineering.h"
#include "platform/CString.h"

namespace {

using namespace jdeng;

TEST(TransformerImpedanceTest, FollowsTheDialogsRule) {
    // 500 kVA, 690 V, ΔPk 3100 W, uk 4 %: R_T = 3100 × (690/500000)² = 0.00590364,
    // Z_T = 0.4761 × 40 / 500 = 0.038088, X_T = √(Z_T² − R_T²) = 0.0376277.
    const auto z = TransformerImpedance(3100, 690, 500, 4);
    ASSERT_TRUE(z);
    EXPECT_NEAR(z->rOhm, 0.00590364, 1e-9);
    EXPECT_NEAR(z->xOhm, 0.0376277, 1e-7);
    EXPECT_EQ(CString::Formatted("%.4f", z->rOhm), "0.0059");
    EXPECT_EQ(CString::Formatted("%.4f", z->xOhm), "0.0376");
    // The sample's units (docs/map-format.md), rows of the seed catalogue:
    // KBSG-200/6 (row 57), 200 kVA, 3120 W: R_T = 3120 × (690/200000)² = 0.0371358,
    // Z_T = 0.4761 × 40 / 200 = 0.09522, X_T = 0.0876800 (stored 0.0371 / 0.0877);
    // KBSGZY-500/6 (row 4), 500 kVA, 6120 W: R_T = 6120 × (690/500000)² = 0.0116549,
    // X_T = √(0.038088² − 0.0116549²) = 0.0362610 (stored 0.0117 / 0.0363).
    const auto small = TransformerImpedance(3120, 690, 200, 4);
    ASSERT_TRUE(small);
    EXPECT_NEAR(small->rOhm, 0.0371358, 1e-7);
    EXPECT_NEAR(small->xOhm, 0.0876800, 1e-7);
    EXPECT_EQ(CString::Formatted("%.4f", small->rOhm), "0.0371");
    EXPECT_EQ(CString::Formatted("%.4f", small->xOhm), "0.0877");
    const auto mobile = TransformerImpedance(6120, 690, 500, 4);
    ASSERT_TRUE(mobile);
    EXPECT_NEAR(mobile->rOhm, 0.0116549, 1e-7);
    EXPECT_NEAR(mobile->xOhm, 0.0362610, 1e-7);
    EXPECT_EQ(CString::Formatted("%.4f", mobile->rOhm), "0.0117");
    EXPECT_EQ(CString::Formatted("%.4f", mobile->xOhm), "0.0363");
}

TEST(TransformerImpedanceTest, InconsistentDataGivesNothing) {
    EXPECT_FALSE(TransformerImpedance(3100, 690, 0, 4));   // SN = 0
    EXPECT_FALSE(TransformerImpedance(3100, 0, 500, 4));   // no secondary voltage
    EXPECT_FALSE(TransformerImpedance(90000, 690, 500, 4));  // R_T 0.171 > Z_T 0.038
}

TEST(ShortCircuitCurrentTest, BareFourPercentTransformersMatchThePublishedRow) {
    // Reference §1 check value: Id(2) = 0.866·In / 0.04 at 690 V gives 905, 1812,
    // 3625, 5699, 7244, 9065 A. Our Id(2) = U / (2·Z_T) = 18.1159·S exactly;
    // the published row used 0.866 and rounded currents, hence 0.2 %.
    const double capacities[] = {50, 100, 200, 315, 400, 500};
    const double published[] = {905, 1812, 3625, 5699, 7244, 9065};
    for (int i = 0; i < 6; ++i) {
        const auto z = TransformerImpedance(0, 690, capacities[i], 4);
        ASSERT_TRUE(z);
        const double id = TwoPhaseShortCircuitCurrent(690, z->rOhm, z->xOhm);
        EXPECT_NEAR(id, published[i], published[i] * 0.002) << capacities[i] << " kVA";
    }
}

TEST(ShortCircuitCurrentTest, SampleMinePointD4) {
    // docs/map-format.md: 690 / (2 × √(0.1659² + 0.0808²)) = 690 / 0.369061 = 1869.61 A.
    EXPECT_EQ(CString::Formatted("%0.2f", TwoPhaseShortCircuitCurrent(690, 0.1659, 0.0808)), "1869.61");
    EXPECT_EQ(TwoPhaseShortCircuitCurrent(690, 0, 0), 0.0);
}

TEST(ShortCircuitCurrentTest, SystemReactanceAndRatiosOfTheReference) {
    // Xx = U2² / Sk at Sk = 50 MVA: 0.0095, 0.0288, 0.238 Ω (reference §1).
    EXPECT_NEAR(SystemReactance(690, 50), 0.009522, 1e-6);
    EXPECT_NEAR(SystemReactance(1200, 50), 0.0288, 1e-6);
    EXPECT_NEAR(SystemReactance(3450, 50), 0.238050, 1e-6);
    EXPECT_EQ(SystemReactance(690, 0), 0.0);
    // Quoted ratios, and U1/U2 elsewhere.
    EXPECT_EQ(TransformerRatio(6000, 690), 8.7);
    EXPECT_EQ(TransformerRatio(6000, 400), 15.0);
    EXPECT_EQ(TransformerRatio(10000, 1200), 8.3);
    EXPECT_EQ(TransformerRatio(10000, 690), 14.5);
    EXPECT_NEAR(TransformerRatio(6000, 3450), 1.73913, 1e-5);
    EXPECT_EQ(TransformerRatio(0, 690), 0.0);
}

TEST(CableImpedanceTest, TableRowsAndRunsOfTheReference) {
    const auto z16 = MineCableImpedance(16);
    ASSERT_TRUE(z16);
    EXPECT_DOUBLE_EQ(z16->r0OhmPerKm, 1.369);
    EXPECT_DOUBLE_EQ(z16->x0OhmPerKm, 0.090);
    // 1-1电缆 of the sample: 16 mm², 200 m → 0.2738 / 0.0180 Ω.
    const auto run = CableRunImpedance(16, 200);
    ASSERT_TRUE(run);
    EXPECT_NEAR(run->rOhm, 0.2738, 1e-12);
    EXPECT_NEAR(run->xOhm, 0.0180, 1e-12);
    EXPECT_FALSE(MineCableImpedance(0));
    EXPECT_FALSE(CableRunImpedance(-4, 100));
    // Below the table R0 scales as 1/S: 2.5 mm² → 5.5 × 4 / 2.5 = 8.8 Ω/km.
    EXPECT_NEAR(MineCableImpedance(2.5)->r0OhmPerKm, 8.8, 1e-12);
}

TEST(VoltageLossFormulaTest, SampleMineTransformerAndCables) {
    // docs/map-format.md, 1#矿用变压器 (KBSG-200/6, ΔPk 3120 W): β = 73.357/200,
    // uR = 1.56 %, uX = 3.6833 %, cosφ 0.7 → ΔUb = 9.42 V; trunk
    // 0.65·54·300·1000/(42.5·660·70) = 5.36 V; branch 0.8·18.5·60·1000/(42.5·660·10·0.9) = 3.52 V.
    EXPECT_EQ(CString::Formatted("%.2f", TransformerVoltageLoss(73.357 / 200, 3120, 200, 4, 0.7, 690)), "9.42");
    EXPECT_EQ(CString::Formatted("%.2f", CableVoltageLoss(0.65, 54, 300, 42.5, 660, 70)), "5.36");
    EXPECT_EQ(CString::Formatted("%.2f", CableVoltageLoss(0.8, 18.5, 60, 42.5, 660, 10, 0.9)), "3.52");
}

TEST(VoltageLossFormulaTest, GuardsAgainstMissingData) {
    EXPECT_EQ(TransformerVoltageLoss(0.5, 2600, 0, 4, 0.7, 690), 0.0);     // no capacity
    EXPECT_EQ(TransformerVoltageLoss(0.5, 20000, 200, 4, 0.7, 690), 0.0);  // uR 10 % > uk
    EXPECT_EQ(CableVoltageLoss(0.65, 54, 300, 42.5, 660, 0), 0.0);          // no cross-section
    // A power factor of 1: only the resistive part, 0.5 × 1.3 × 690 / 100 = 4.485 V.
    EXPECT_NEAR(TransformerVoltageLoss(0.5, 2600, 200, 4, 1.0, 690), 4.485, 1e-12);
}

}  // namespace
