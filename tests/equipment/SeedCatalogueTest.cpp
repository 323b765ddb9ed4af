// The shipped seed: its derived values must follow the formulas data/README.md
// states, so a hand edit or a faulty regeneration is caught here.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "CatalogueFixture.h"

namespace {

double N(const std::string& text) { return std::stod(text); }

TEST(SeedCatalogueTest, TransformerRatedValuesFollowTheFormulas) {
    const auto rows = jdtest::SeedRows("Para_Transformer.csv");
    ASSERT_FALSE(rows.empty());
    std::set<std::string> types;
    for (const auto& r : rows) {
        const double s = N(r[3]), u1 = N(r[4]) / 1000, u2 = N(r[5]) / 1000;  // kVA, kV
        const double pk = N(r[9]), uk = N(r[10]);
        SCOPED_TRACE("ID " + r[0] + " " + r[1]);
        // I = S / (sqrt(3) U), stored with 2 decimals.
        EXPECT_NEAR(N(r[6]), s / (std::sqrt(3.0) * u1), 0.005);
        EXPECT_NEAR(N(r[7]), s / (std::sqrt(3.0) * u2), 0.005);
        // R = dP U2^2 / S^2 and X = sqrt(Z^2 - R^2), Z = 10 uk U2^2 / S; stored with 6 decimals.
        const double r0 = pk * u2 * u2 / (s * s);
        const double z = 10 * uk * u2 * u2 / s;
        EXPECT_NEAR(N(r[11]), r0, 5e-7);
        EXPECT_NEAR(N(r[12]), std::sqrt(z * z - r0 * r0), 5e-7);
        EXPECT_GT(N(r[9]), N(r[8]));  // load loss above no-load loss
        types.insert(r[2]);
        EXPECT_TRUE(r[13] == "Y,y0" || r[13] == "Y,d11");
    }
    EXPECT_EQ(types, (std::set<std::string>{"移动变电站", "动力变压器"}));
}

TEST(SeedCatalogueTest, ReferenceRowOf800kVA) {
    // Reference table: 800 kVA, 1.40 kW no-load, 7.50 kW load loss, 4.5 %; mine units +20 %.
    for (const auto& r : jdtest::SeedRows("Para_Transformer.csv")) {
        if (r[1] != "KBSGZY-800/10" || r[5] != "690") continue;
        EXPECT_EQ(N(r[8]), 1680.0);
        EXPECT_EQ(N(r[9]), 9000.0);
        EXPECT_EQ(N(r[10]), 4.5);
        // By hand: R = 9000 * 0.69^2 / 800^2 = 0.0066951 ohm.
        EXPECT_NEAR(N(r[11]), 0.0066951, 1e-6);
        return;
    }
    ADD_FAILURE() << "KBSGZY-800/10 at 690 V is missing";
}

TEST(SeedCatalogueTest, SwitchValuesAreConsistent) {
    for (const auto& r : jdtest::SeedRows("Para_HighVoltageSwitch.csv")) {
        SCOPED_TRACE("ID " + r[0]);
        // Breaking capacity S = sqrt(3) U I: 12.5 kA is 129.90 MVA at 6 kV, 216.51 MVA at 10 kV.
        EXPECT_NEAR(N(r[4]), std::sqrt(3.0) * N(r[2]) * N(r[5]) / 1e6, 0.005);
        EXPECT_NE(N(r[10]), N(r[11]));  // exactly one protection kind
    }
    for (const auto& r : jdtest::SeedRows("Para_AutomaticSwitch.csv")) {
        SCOPED_TRACE("ID " + r[0]);
        const bool relay = r[4] == "1";
        EXPECT_NE(r[4], r[7]);
        // The query of each protection kind finds the unit by its own maximum.
        EXPECT_EQ(relay, N(r[6]) > 0);
        EXPECT_EQ(!relay, N(r[10]) > 0);
    }
}

}  // namespace
