// The calculations of the transformer setting, called directly: the
// coefficient table of the load types, the coefficient ranges, the apparent
// power, the transformer impedance, the rewrite of the short-circuit points'
// supply paths, and the texts derived from the model list. Every expected
// value is worked out by hand in the comment beside it.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>

#include "module/LoadStatistics.h"
#include "module/TransformerImpedance.h"
#include "module/TransformerRecords.h"
#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace {

CString G(const char* utf8) { return FromUtf8(utf8); }
std::string U(const CString& gbk) { return ToUtf8(gbk); }

// Kr and cosφ of the coefficients before the table runs: a state the table must overwrite or keep.
LoadCoefficients Before() { return LoadCoefficients{0.35, 0.6, 0.5, true, true, true}; }

LoadCoefficients Apply(const char* loadType, int support, int faces = 0, double pmax = 30.0, double total = 300.0) {
    LoadCoefficients c = Before();
    ApplyCoefficientTable(G(loadType), faces, support, pmax, total, c);
    return c;
}

// ---- coefficient table ----------------------------------------------------------------

struct FixedRow {
    const char* loadType;
    double kr;
    double cosPhi;
    bool krEnabled;
    bool cosPhiEnabled;
};

TEST(LoadTypeCoefficients, FixedRowsSetKrCosPhiAndEditStates) {
    // The table of the load types whose Kr does not depend on the motors.
    const FixedRow rows[] = {
        {"炮采工作面（缓倾斜煤层）", 0.45, 0.6, true, false},
        {"炮采工作面（急倾斜煤层）", 0.55, 0.7, true, false},
        {"掘进工作面", 0.35, 0.6, true, false},
        {"架线电机车", 0.55, 0.9, true, false},
        {"蓄电池电机车", 0.8, 0.9, false, false},
        {"输送机", 0.5, 0.7, false, false},
        {"井底车场", 0.65, 0.7, true, false},
        {"无主排水设备", 0.65, 0.7, true, false},
        {"有主排水设备", 1.0, 1.0, false, false},
        {"自定义类型", 1.0, 1.0, true, true},
    };
    for (const FixedRow& row : rows) {
        for (int support : {kSupportSingleProps, kSupportSelfAdvancing, kSupportNone}) {
            const LoadCoefficients c = Apply(row.loadType, support);
            EXPECT_DOUBLE_EQ(c.kr, row.kr) << row.loadType << " support " << support;
            EXPECT_DOUBLE_EQ(c.cosPhi, row.cosPhi) << row.loadType;
            EXPECT_EQ(c.krEnabled, row.krEnabled) << row.loadType;
            EXPECT_EQ(c.cosPhiEnabled, row.cosPhiEnabled) << row.loadType;
            // Ks is typed only for the custom type.
            EXPECT_EQ(c.ksEnabled, std::string(row.loadType) == "自定义类型") << row.loadType;
        }
    }
}

TEST(LoadTypeCoefficients, FullyMechanisedFaceFollowsTheSupportType) {
    // Pmax 30, ΣPe 300: Pmax/ΣPe = 0.1.
    // Single props: 0.286 + 0.714 × 0.1 = 0.3574.
    LoadCoefficients c = Apply("综采工作面", kSupportSingleProps);
    EXPECT_DOUBLE_EQ(c.kr, 0.3574);
    EXPECT_DOUBLE_EQ(c.cosPhi, 0.7);
    EXPECT_FALSE(c.krEnabled);
    EXPECT_FALSE(c.cosPhiEnabled);
    EXPECT_FALSE(c.ksEnabled);
    // Self-advancing supports: 0.4 + 0.6 × 0.1 = 0.46.
    EXPECT_DOUBLE_EQ(Apply("综采工作面", kSupportSelfAdvancing).kr, 0.46);
    // No support chosen: Kr stays (0.35 from before), cosφ is still the table's.
    c = Apply("综采工作面", kSupportNone);
    EXPECT_DOUBLE_EQ(c.kr, 0.35);
    EXPECT_DOUBLE_EQ(c.cosPhi, 0.7);
}

TEST(LoadTypeCoefficients, MechanisedFaceUsesTheSelfAdvancingFormulaWhateverTheSupport) {
    for (int support : {kSupportSingleProps, kSupportSelfAdvancing, kSupportNone}) {
        const LoadCoefficients c = Apply("一般机械化工作面", support);
        EXPECT_DOUBLE_EQ(c.kr, 0.46) << support;  // 0.4 + 0.6 × 0.1
        EXPECT_DOUBLE_EQ(c.cosPhi, 0.65);
        EXPECT_FALSE(c.krEnabled);
        EXPECT_TRUE(c.cosPhiEnabled);
    }
}

TEST(LoadTypeCoefficients, KsFollowsTheNumberOfFaces) {
    EXPECT_DOUBLE_EQ(Apply("输送机", kSupportNone, 0).ks, 1.0);
    EXPECT_DOUBLE_EQ(Apply("输送机", kSupportNone, 1).ks, 0.95);
    EXPECT_DOUBLE_EQ(Apply("输送机", kSupportNone, 2).ks, 0.9);
    EXPECT_DOUBLE_EQ(Apply("输送机", kSupportNone, -1).ks, 0.5) << "no faces selection keeps Ks";
}

TEST(LoadTypeCoefficients, UnknownLoadTypeKeepsKrCosPhiAndEditStates) {
    LoadCoefficients c{0.123, 0.456, 0.5, false, true, false};
    EXPECT_FALSE(ApplyCoefficientTable(G("综采工作面(半角括号)"), 1, 0, 30.0, 300.0, c));
    EXPECT_DOUBLE_EQ(c.kr, 0.123);
    EXPECT_DOUBLE_EQ(c.cosPhi, 0.456);
    EXPECT_FALSE(c.krEnabled);
    EXPECT_TRUE(c.cosPhiEnabled);
    EXPECT_FALSE(c.ksEnabled);
    EXPECT_DOUBLE_EQ(c.ks, 0.95) << "Ks follows the faces index even then";
    // The blasting faces are matched with their full-width brackets only.
    EXPECT_EQ(FindLoadTypeIndex(G("炮采工作面(缓倾斜煤层)")), -1);
    EXPECT_EQ(FindLoadTypeIndex(G("炮采工作面（缓倾斜煤层）")), 2);
}

TEST(LoadTypeCoefficients, NoMotorPowerLeavesFaceKrUnchanged) {
    // ΣPe = 0 would divide by zero in both face formulas.
    EXPECT_DOUBLE_EQ(Apply("综采工作面", kSupportSingleProps, 0, 0.0, 0.0).kr, 0.35);
    EXPECT_DOUBLE_EQ(Apply("一般机械化工作面", kSupportSelfAdvancing, 0, 30.0, 0.0).kr, 0.35);
    EXPECT_FALSE(FaceDemandCoefficient(kSupportSingleProps, 30.0, 0.0).has_value());
}

// ---- apparent power -------------------------------------------------------------------------

TEST(ApparentPower, DemandCoefficientMethod) {
    // S = ΣPe · Kr · Ks / cosφ = 300 × 0.3574 × 1.0 / 0.7 = 153.171428… kVA.
    EXPECT_NEAR(CalcApparentPowerKVA(300.0, 0.3574, 1.0, 0.7), 153.171428571, 1e-9);
    EXPECT_EQ(CString::Formatted("%.2f", CalcApparentPowerKVA(300.0, 0.3574, 1.0, 0.7)), "153.17");
    // Two faces: × 0.95 → 145.512857… kVA.
    EXPECT_NEAR(CalcApparentPowerKVA(300.0, 0.3574, 0.95, 0.7), 145.512857143, 1e-9);
}

TEST(ApparentPower, NoMotorsOrZeroPowerFactorGiveZero) {
    EXPECT_DOUBLE_EQ(CalcApparentPowerKVA(0.0, 0.3574, 1.0, 0.7), 0.0);
    // cosφ 0 (possible with the custom type) is not divided by.
    EXPECT_DOUBLE_EQ(CalcApparentPowerKVA(300.0, 1.0, 1.0, 0.0), 0.0);
}

// ---- coefficient ranges ------------------------------------------------------------------------

struct RangeRowCase {
    const char* loadType;
    double low;
    double high;
    const char* message;
};

TEST(CoefficientRanges, DemandCoefficientRangesIncludeTheirEnds) {
    const RangeRowCase rows[] = {
        {"炮采工作面（缓倾斜煤层）", 0.4, 0.5, "请输入一个0.4~0.5的数字"},
        {"炮采工作面（急倾斜煤层）", 0.5, 0.6, "请输入一个0.5~0.6的数字"},
        {"掘进工作面", 0.3, 0.4, "请输入一个0.3~0.4数字"},
        {"架线电机车", 0.45, 0.65, "请输入一个0.45~0.65数字"},
        {"井底车场", 0.6, 0.7, "请输入一个0.6~0.7数字"},
        {"无主排水设备", 0.6, 0.7, "请输入一个0.6~0.7数字"},
    };
    for (const RangeRowCase& row : rows) {
        const auto range = DemandCoefficientRange(G(row.loadType));
        ASSERT_TRUE(range.has_value()) << row.loadType;
        EXPECT_EQ(U(range->message), row.message);
        EXPECT_TRUE(range->Contains(row.low)) << row.loadType;
        EXPECT_TRUE(range->Contains(row.high)) << row.loadType;
        EXPECT_FALSE(range->Contains(row.low - 0.01)) << row.loadType;
        EXPECT_FALSE(range->Contains(row.high + 0.01)) << row.loadType;
    }
}

TEST(CoefficientRanges, OnlyMechanisedFaceTestsThePowerFactor) {
    const auto range = PowerFactorRange(G("一般机械化工作面"));
    ASSERT_TRUE(range.has_value());
    EXPECT_EQ(U(range->message), "请输入一个0.6~0.7的数字");
    EXPECT_TRUE(range->Contains(0.6));
    EXPECT_TRUE(range->Contains(0.7));
    EXPECT_FALSE(range->Contains(0.71));
    for (const char* other : {"综采工作面", "掘进工作面", "自定义类型", "有主排水设备"}) {
        EXPECT_FALSE(PowerFactorRange(G(other)).has_value()) << other;
    }
    for (const char* untested : {"综采工作面", "一般机械化工作面", "蓄电池电机车", "输送机", "有主排水设备", "自定义类型"}) {
        EXPECT_FALSE(DemandCoefficientRange(G(untested)).has_value()) << untested;
    }
}

// ---- transformer impedance ----------------------------------------------------------------------

TEST(TransformerImpedanceRule, FiveHundredKvaAt690Volts) {
    // R_T = 3100 × (690 / 500000)² = 0.00590364 Ω;
    // Z_T = 0.69² × 4 × 10 / 500 = 0.038088 Ω;
    // X_T = √(0.038088² − 0.00590364²) = 0.0376277 Ω.
    const auto z = CalcTransformerImpedance(3100.0, 690.0, 500.0, 4.0);
    ASSERT_TRUE(z.has_value());
    EXPECT_NEAR(z->resistanceOhm, 0.00590364, 1e-8);
    EXPECT_NEAR(z->reactanceOhm, 0.0376277, 1e-7);
    EXPECT_EQ(CString::Formatted("%.4f", z->resistanceOhm), "0.0059");
    EXPECT_EQ(CString::Formatted("%.4f", z->reactanceOhm), "0.0376");
}

TEST(TransformerImpedanceRule, InconsistentCatalogueDataGiveNoImpedance) {
    EXPECT_FALSE(CalcTransformerImpedance(3100.0, 690.0, 0.0, 4.0).has_value()) << "SN = 0";
    // uk 0.1 %: Z_T = 0.4761 × 0.1 × 10 / 500 = 0.00095 Ω < R_T = 0.0059 Ω.
    EXPECT_FALSE(CalcTransformerImpedance(3100.0, 690.0, 500.0, 0.1).has_value()) << "Z_T < R_T";
}

// ---- supply paths -----------------------------------------------------------------------------------

SupplyTransformer FiveHundredKva(const char* name = "1#移动变电站") {
    return SupplyTransformer{G(name), G("KBSGZY"), 500.0, 0.00590364, 0.0376277};
}

TEST(SupplyPathRewrite, KindOneTakesNewImpedanceAndCorrectsTheSums) {
    // ΣR' = 0.1100 − 0.0100 + 0.00590364 = 0.10590364 → 0.1059;
    // ΣX' = 0.2300 − 0.0300 + 0.0376277 = 0.2376277 → 0.2376.
    const auto update = RewriteSupplyPath("1;a;b;T1,0.0100,0.0300;0.1100;0.2300;", FiveHundredKva());
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->kind, 1);
    EXPECT_EQ(U(update->newPath), "1;a;b;1#移动变电站,0.0059,0.0376;0.1059;0.2376;");
    EXPECT_NEAR(update->sumROhm, 0.10590364, 1e-9);
    EXPECT_NEAR(update->sumXOhm, 0.2376277, 1e-7);
    EXPECT_EQ(update->fieldText, "0");
    EXPECT_TRUE(update->prefix.IsEmpty());
    EXPECT_TRUE(update->capacityText.IsEmpty());
}

TEST(SupplyPathRewrite, KindOneWithTheSameImpedanceIsLeftAlone) {
    // The sample's d4 (docs/map-format.md) carries R 0.0117 and X 0.0363 of its
    // KBSGZY-500/6, seed row 4: 6120 × (690/500000)² = 0.0116549 Ω and
    // √(0.038088² − 0.0116549²) = 0.0362610 Ω. A new name alone changes nothing.
    const SupplyTransformer seedRow4{G("新名称"), G("KBSGZY"), 500.0, 0.0116549, 0.0362610};
    EXPECT_FALSE(RewriteSupplyPath(G("1;690;2-1电缆/2-2电缆;1#移动变电站,0.0117,0.0363;0.1659;0.0808;"), seedRow4)
                     .has_value());
}

TEST(SupplyPathRewrite, KindZeroTakesNewPrefixAndCapacity) {
    const auto update = RewriteSupplyPath(G("0;690;1#矿用变压器,KBSG,200;602;"), FiveHundredKva("1#矿用变压器"));
    ASSERT_TRUE(update.has_value());
    EXPECT_EQ(update->kind, 0);
    EXPECT_EQ(U(update->newPath), "0;690;1#矿用变压器,KBSGZY,500;602;");
    EXPECT_EQ(update->prefix, "KBSGZY");
    EXPECT_EQ(update->capacityText, "500");
    EXPECT_EQ(update->fieldText, "602");
    EXPECT_DOUBLE_EQ(update->sumROhm, 0.0);
    EXPECT_DOUBLE_EQ(update->sumXOhm, 0.0);

    // The capacity alone differing is enough.
    SupplyTransformer t{G("1#矿用变压器"), G("KBSG"), 315.0, 0.0, 0.0};
    const auto capacityOnly = RewriteSupplyPath(G("0;690;1#矿用变压器,KBSG,200;490;"), t);
    ASSERT_TRUE(capacityOnly.has_value());
    EXPECT_EQ(U(capacityOnly->newPath), "0;690;1#矿用变压器,KBSG,315;490;");
}

TEST(SupplyPathRewrite, KindZeroWithTheSameModelIsLeftAloneEvenWhenRenamed) {
    // The sample's KBSG-200/6, seed row 57: R_T 0.0371358 Ω, X_T 0.0876800 Ω.
    SupplyTransformer t{G("改名变压器"), G("KBSG"), 200.0, 0.0371358, 0.0876800};
    EXPECT_FALSE(RewriteSupplyPath(G("0;690;1#矿用变压器,KBSG,200;602;"), t).has_value());
}

TEST(SupplyPathRewrite, PathsOfNoKnownKindAreLeftAlone) {
    for (const char* path : {"", "0", "2;690;x,KBSG,200;602;", "短路点"}) {
        EXPECT_FALSE(RewriteSupplyPath(G(path), FiveHundredKva()).has_value()) << path;
    }
}

// The rewrite as first written, every field taken with the kernel's
// ExtractFields (which splits the whole text again for each field): the
// reference the one-split form must equal.
std::optional<PointPathUpdate> PlainRewrite(const CString& path, const SupplyTransformer& t) {
    auto fields = [](const CString& text, const char* separator, LONG first, LONG end) {
        CString out;
        ExtractFields(&text, separator, first, end, &out);
        return out;
    };
    const int firstSeparator = path.Find(';');
    if (path.IsEmpty() || firstSeparator < 0) return std::nullopt;
    const CString kind = path.Left(firstSeparator);
    if (kind == "0") {
        const CString head = fields(path, ";", 0, 2) + ";";
        const CString old = fields(path, ";", 2, 3);
        const CString oldPrefix = fields(old, ",", 1, 2);
        const CString oldCapacity = fields(old, ",", 2, 3);
        const CString tail = fields(path, ";", 3, 4);
        const CString capacity = CString::Formatted("%.0f", t.capacityKVA);
        if (!(std::fabs(ParseDouble(oldCapacity) - t.capacityKVA) > kZeroTolerance) && oldPrefix == t.modelPrefix) {
            return std::nullopt;
        }
        PointPathUpdate update;
        update.kind = 0;
        update.newPath = head + t.name + "," + t.modelPrefix + "," + capacity + ";" + tail + ";";
        update.prefix = t.modelPrefix;
        update.capacityText = capacity;
        update.fieldText = tail;
        return update;
    }
    if (kind == "1") {
        const CString head = fields(path, ";", 0, 3) + ";";
        const CString old = fields(path, ";", 3, 4);
        const CString oldR = fields(old, ",", 1, 2);
        const CString oldX = fields(old, ",", 2, 3);
        const CString sumR = fields(path, ";", 4, 5);
        const CString sumX = fields(path, ";", 5, 6);
        const CString newR = CString::Formatted("%.4f", t.resistanceOhm);
        const CString newX = CString::Formatted("%.4f", t.reactanceOhm);
        if (newR == oldR && newX == oldX) return std::nullopt;
        PointPathUpdate update;
        update.kind = 1;
        update.sumROhm = ParseDouble(sumR) - ParseDouble(oldR) + t.resistanceOhm;
        update.sumXOhm = ParseDouble(sumX) - ParseDouble(oldX) + t.reactanceOhm;
        update.newPath = head + t.name + "," + newR + "," + newX + ";" + CString::Formatted("%.4f", update.sumROhm) +
                         ";" + CString::Formatted("%.4f", update.sumXOhm) + ";";
        update.fieldText = "0";
        return update;
    }
    return std::nullopt;
}

TEST(SupplyPathRewrite, OneSplitEqualsTheFieldByFieldFormOnRandomPaths) {
    // Paths built from pieces that move the separators about: missing, empty
    // and extra fields, a separator at the end or not, GBK names whose lead
    // byte swallows a following separator, and numbers equal to or unlike the
    // transformer's.
    const char* pieces[] = {"0", "1", "2", ";", ";", ";", ",", ",", "690", "T1", "KBSG", "200", "500", "0.0100",
                            "0.0117", "0.0363", "0.1100", "602", "", "\xB6", "短路点", "1#矿用变压器", "a/b", "x,y"};
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<size_t> piece(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 14);
    const SupplyTransformer transformers[] = {
        {G("新变压器"), G("KBSGZY"), 500.0, 0.0117, 0.0363},
        {G("T1"), G("KBSG"), 200.0, 0.0100, 0.0300},
        {CString(), CString(), 0.0, 0.0, 0.0},
    };
    int rewritten = 0, kinds[2] = {0, 0};
    for (int round = 0; round < 20000; ++round) {
        std::string text = round % 2 ? "0;" : "1;";
        if (round % 7 == 0) text.clear();
        for (int n = length(rng); n > 0; --n) {
            const std::string utf8 = pieces[piece(rng)];
            text += utf8 == "\xB6" ? utf8 : G(utf8.c_str()).str();  // a lone GBK lead byte stays raw
        }
        const CString path(text);
        for (const SupplyTransformer& t : transformers) {
            const auto expected = PlainRewrite(path, t);
            const auto found = RewriteSupplyPath(path, t);
            ASSERT_EQ(found.has_value(), expected.has_value()) << "round " << round;
            if (!found) continue;
            ++rewritten;
            ++kinds[found->kind == 0 ? 0 : 1];
            EXPECT_EQ(found->kind, expected->kind);
            ASSERT_EQ(found->newPath, expected->newPath) << "round " << round;
            EXPECT_EQ(found->prefix, expected->prefix);
            EXPECT_EQ(found->capacityText, expected->capacityText);
            EXPECT_EQ(found->fieldText, expected->fieldText) << "round " << round;
            // The same subtractions of the same numbers: equal to the last bit.
            EXPECT_EQ(found->sumROhm, expected->sumROhm) << "round " << round;
            EXPECT_EQ(found->sumXOhm, expected->sumXOhm) << "round " << round;
        }
    }
    EXPECT_GT(kinds[0], 5000);
    EXPECT_GT(kinds[1], 5000);
    EXPECT_GT(rewritten, 10000);
}

// ---- model list texts --------------------------------------------------------------------------------

TEST(DesignationSuffix, BySecondaryVoltage) {
    const std::pair<const char*, const char*> rows[] = {
        {"3450", "/3.45"}, {"1200", "/1.2"}, {"690", "/0.69"}, {"693", "/0.69"},
        {"400", "/0.4"},   {"133", "/0.133"}, {"660", ""},     {"", ""},
    };
    for (const auto& [voltage, suffix] : rows) EXPECT_EQ(LowVoltageSuffix(voltage), suffix) << voltage;
}

TEST(DesignationSuffix, ModelPrefixIsTheTextBeforeTheFirstDash) {
    EXPECT_EQ(ModelPrefix("KBSGZY-500/6"), "KBSGZY");
    EXPECT_EQ(ModelPrefix("KBSG-T-200/6"), "KBSG");
    EXPECT_EQ(ModelPrefix("KBSGZY500"), "");
    EXPECT_EQ(ModelPrefix(G("无适用设备")), "");
}

TEST(ModelListQuery, TypeQuotedVoltagesBareCapacityWithSixDecimals) {
    EXPECT_EQ(U(BuildModelListQuery(G("移动变电站"), "6000", "690", 153.17)),
              "select * from Para_Transformer where Type = '移动变电站' and HVoltage = 6000 and LVoltage = 690 "
              "and Capacity > 153.170000 order by ID");
    // A quote in the type cannot end the literal.
    EXPECT_EQ(BuildModelListQuery("a'b", "10000", "1200", 0.0),
              "select * from Para_Transformer where Type = 'a''b' and HVoltage = 10000 and LVoltage = 1200 "
              "and Capacity > 0.000000 order by ID");
}

TEST(VoltageLossReport, ShowsTheStoredTextsInTheirLines) {
    // The texts the sample stores for 1#矿用变压器 (field 160, docs/map-format.md).
    EXPECT_EQ(U(FormatVoltageLossReport("18.30", "2.77", "9.42", "5.36", "3.52")),
              "此变压器所带线路电压损失总和为：18.30 V\r\n损失百分率：2.77%\r\n其中，变压器电压损失为：9.42 V\r\n"
              "干线电缆电压损失为：5.36 V\r\n支线电缆电压损失为：3.52 V\r\n");
}

}  // namespace
