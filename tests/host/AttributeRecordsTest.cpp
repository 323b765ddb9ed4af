#include "host/AttributeRecords.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "host/AttributeAccess.h"
#include "host/CallLog.h"
#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "host/MorvaObjects.h"
#include "platform/Gbk.h"

namespace {

constexpr LONG kDevice = 100;     // carries every record
constexpr LONG kBare = 101;       // carries none
constexpr LONG kCable = 102;
constexpr LONG kPoint = 103;
constexpr const char* kUntouched = "untouched";

CString U(const char* utf8) { return FromUtf8(utf8); }

// A row of `count` marker texts, so that a sub-index nobody writes is visible.
host::AttributeRow Markers(size_t count) { return host::AttributeRow(count, CString(kUntouched)); }

class AttributeRecordsTest : public ::testing::Test {
protected:
    AttributeRecordsTest() {
        host::MapObject device;
        device.entityId = kDevice;
        device.entityType = host::EntityType::Transformer;
        device.name = "T1";
        for (LONG field : {151, 158, 160, 163, 174, 175, 176, 177, 178, 179}) device.fields[field] = Markers(16);
        doc.AddObject(device);

        host::MapObject bare;
        bare.entityId = kBare;
        bare.name = "BARE";
        doc.AddObject(bare);

        host::MapObject cable;
        cable.entityId = kCable;
        cable.fields[155] = {CString("123.5")};
        cable.fields[167] = {CString("17"), CString("x"), CString("x"), CString("x"), CString("35")};
        doc.AddObject(cable);

        host::MapObject point;
        point.entityId = kPoint;
        point.fields[161] = Markers(12);
        point.fields[161][1] = "2345.67";
        point.fields[161][7] = U("1号电动机");
        point.fields[161][11] = U("1;甲;乙;T1,0.0100,0.0300;0.1100;0.2300;");
        doc.AddObject(point);

        session = std::make_unique<host::HostSession>(doc, &log);
        map = &session->mapControl();
        log.Clear();
    }

    // Text of a stored sub-index, "<none>" when the row is shorter.
    CString Stored(LONG entity, LONG field, size_t sub) {
        const auto& row = doc.FindByEntity(entity)->fields.at(field);
        return sub < row.size() ? row[sub] : CString("<none>");
    }
    void Store(LONG entity, LONG field, size_t sub, const CString& text) {
        auto& row = doc.FindByEntity(entity)->fields[field];
        if (row.size() <= sub) row.resize(sub + 1);
        row[sub] = text;
    }
    // Sub-indexes of the SetFieldValue calls, in call order.
    std::vector<std::string> WrittenSubs() const {
        std::vector<std::string> subs;
        for (const host::CallEntry& e : log.Filter("SetFieldValue")) subs.push_back(e.args.at(1));
        return subs;
    }

    host::MapDocument doc;
    host::CallLog log;
    std::unique_ptr<host::HostSession> session;
    CMorvaObjects* map = nullptr;
};

// ---- The access protocol ---------------------------------------------------------

TEST_F(AttributeRecordsTest, ReadIsOneSequenceWithTwoGetFieldValueCallsPerSubIndex) {
    Store(kDevice, 163, 1, U("KBSGZY-500/6"));  // 12 GBK bytes + terminator
    Store(kDevice, 163, 13, CString());
    const auto texts = ReadAttributeTexts(map, kDevice, 163, {1, 13});
    ASSERT_TRUE(texts.has_value()) << AttributeAccessLastError();
    EXPECT_EQ((*texts)[0], U("KBSGZY-500/6"));
    EXPECT_EQ((*texts)[1], CString());

    const std::vector<std::string> expected = {"GetEntityStore", "GetEntity",     "GetAttributeTable",
                                               "FindField",      "GetFieldValue", "GetFieldValue",
                                               "GetFieldValue",  "GetFieldValue"};
    EXPECT_EQ(log.Operations(), expected) << log.ToString();
    EXPECT_EQ(log.Filter("GetAttributeTable").at(0).args.at(0), "0");
    EXPECT_EQ(log.Filter("FindField").at(0).args.at(0), "163");
    const auto gets = log.Filter("GetFieldValue");
    // Size probe with buffer size 0, then the text with exactly the size it reported.
    EXPECT_EQ(gets[0].args.at(1), "1");
    EXPECT_EQ(gets[0].args.at(3), "0");
    EXPECT_EQ(gets[1].args.at(3), "13");
    EXPECT_EQ(gets[2].args.at(1), "13");
    EXPECT_EQ(gets[3].args.at(3), "1") << "an empty text needs its terminator only";
}

TEST_F(AttributeRecordsTest, WriteSendsAscendingSubIndexesWithLengthPlusOne) {
    ASSERT_TRUE(WriteAttributeValues(map, kDevice, 151, {{5, CString("0.0059")}, {0, CString()}, {4, U("是")}}));
    EXPECT_EQ(log.Filter("GetAttributeTable").at(0).args.at(0), "1");
    const auto sets = log.Filter("SetFieldValue");
    ASSERT_EQ(sets.size(), 3u);
    EXPECT_EQ(sets[0].args.at(1), "0");
    EXPECT_EQ(sets[0].args.at(3), "1") << "an empty text is written with size 1";
    EXPECT_EQ(sets[1].args.at(1), "4");
    EXPECT_EQ(sets[1].args.at(3), "3") << "\"是\" is two GBK bytes";
    EXPECT_EQ(sets[2].args.at(1), "5");
    EXPECT_EQ(sets[2].args.at(3), "7");
    EXPECT_EQ(Stored(kDevice, 151, 0), CString());
    EXPECT_EQ(Stored(kDevice, 151, 4), U("是"));
    EXPECT_EQ(Stored(kDevice, 151, 5), CString("0.0059"));
    EXPECT_EQ(Stored(kDevice, 151, 3), CString(kUntouched));
}

TEST_F(AttributeRecordsTest, ARefusedSubIndexMakesTheWriteFailAndTheOthersStillLand) {
    const unsigned long refusalsBefore = AttributeWriteRefusals();
    // The host refuses a negative sub-index; 2 and 5 are written all the same.
    EXPECT_FALSE(WriteAttributeValues(map, kDevice, 151, {{5, CString("5.5")}, {-1, CString("x")}, {2, CString("2")}}));
    EXPECT_EQ(log.Count("SetFieldValue"), 3u);
    EXPECT_EQ(Stored(kDevice, 151, 2), CString("2"));
    EXPECT_EQ(Stored(kDevice, 151, 5), CString("5.5"));
    const std::string expected = "writing of field 151 of entity " + std::to_string(kDevice) +
                                 ": the host refused sub-index -1";
    EXPECT_EQ(AttributeAccessLastError(), expected);
    EXPECT_EQ(AttributeWriteRefusals(), refusalsBefore + 1);
    EXPECT_EQ(AttributeLastRefusedWrite(), expected);

    // A record's own writer passes the refusal on; a missing field is not counted.
    session->state().refusedWriteFields.insert(163);
    EXPECT_FALSE(TransformerModelRecord::WriteCleared(map, kDevice));
    EXPECT_EQ(AttributeWriteRefusals(), refusalsBefore + 2);
    EXPECT_FALSE(WriteAttributeValues(map, kBare, 163, {{0, CString("1")}}));
    EXPECT_EQ(AttributeWriteRefusals(), refusalsBefore + 2);
    EXPECT_TRUE(WriteAttributeValues(map, kDevice, 151, {{0, CString("a")}})) << "other fields are still written";
}

TEST_F(AttributeRecordsTest, MissingFieldEndsTheSequenceAfterFindField) {
    EXPECT_FALSE(ReadAttributeTexts(map, kBare, 163, {0, 1}).has_value());
    EXPECT_EQ(ReadAttributeText(map, kBare, 163, 1), CString());
    EXPECT_FALSE(WriteAttributeValues(map, kBare, 163, {{0, CString("1")}}));
    EXPECT_EQ(log.Count("FindField"), 3u);
    EXPECT_EQ(log.Count("GetFieldValue"), 0u);
    EXPECT_EQ(log.Count("SetFieldValue"), 0u);
    EXPECT_EQ(AttributeAccessLastError(), "") << "a missing field is no error";
    EXPECT_TRUE(doc.FindByEntity(kBare)->fields.empty());
}

TEST_F(AttributeRecordsTest, EveryDriverIsReleasedAfterTheSequence) {
    const int before = IDispatch::LiveObjects();
    TransformerModelRecord record;
    ASSERT_TRUE(record.Read(map, kDevice));
    ASSERT_TRUE(record.Write(map, kDevice));
    EXPECT_FALSE(record.Read(map, kBare));
    EXPECT_EQ(IDispatch::LiveObjects(), before);
}

TEST_F(AttributeRecordsTest, NullMapControlIsReportedNotFollowed) {
    EXPECT_FALSE(ReadAttributeTexts(nullptr, kDevice, 163, {0}).has_value());
    EXPECT_NE(AttributeAccessLastError().find("no map control"), std::string::npos);
    EXPECT_FALSE(WriteAttributeValues(nullptr, kDevice, 163, {{0, CString("1")}}));
    EXPECT_TRUE(log.empty());
}

// ---- 163 transformer model ---------------------------------------------------------

TransformerModelRecord SampleTransformer() {
    TransformerModelRecord r;
    r.modelId = 12;
    r.model = U("KBSGZY-500/6");
    r.type = U("移动变电站");
    r.capacityKVA = 500.0;
    r.primaryVoltageV = 6000.0;
    r.secondaryVoltageV = 399.6;  // "%0.0f" rounds: "400"
    r.primaryCurrentA = 48.114;
    r.secondaryCurrentA = 418.4;
    r.noLoadLossW = 1500.0;
    r.shortCircuitLossW = 3100.0;
    r.impedanceVoltagePercent = 4.0;
    r.windingResistanceOhm = 0.005904;
    r.windingReactanceOhm = 0.037628;
    r.connectionGroup = U("Y,y0");
    return r;
}

TEST_F(AttributeRecordsTest, TransformerModelIsWrittenInTheTableFormats) {
    const TransformerModelRecord r = SampleTransformer();
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<std::string> expected = {"0", "1", "2",  "3",  "4",  "5",  "6",
                                               "7", "8", "9", "10", "11", "12", "13"};
    EXPECT_EQ(WrittenSubs(), expected);
    const std::vector<CString> stored = {
        CString("12"),     U("KBSGZY-500/6"), U("移动变电站"), CString("500.00"), CString("6000"),
        CString("400"),    CString("48.11"),  CString("418.40"), CString("1500.00"), CString("3100.00"),
        CString("4.00"),   CString("0.0059"), CString("0.0376"), U("Y,y0")};
    for (size_t sub = 0; sub < stored.size(); ++sub) EXPECT_EQ(Stored(kDevice, 163, sub), stored[sub]) << sub;
    EXPECT_EQ(Stored(kDevice, 163, 14), CString(kUntouched));
    EXPECT_TRUE(doc.modified());
}

TEST_F(AttributeRecordsTest, RoundingNotTruncationInWholeNumberFormats) {
    // 399.6 -> "400", 399.4 -> "399", 0.5 -> "0" (printf rounds half to even).
    TransformerModelRecord r;
    r.primaryVoltageV = 399.4;
    r.secondaryVoltageV = 399.6;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 163, 4), CString("399"));
    EXPECT_EQ(Stored(kDevice, 163, 5), CString("400"));
    CoefficientRecord c;
    c.maxMotorPowerKW = 399.6;
    c.totalMotorPowerKW = 0.5;
    ASSERT_TRUE(c.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 158, 3), CString("400"));
    EXPECT_EQ(Stored(kDevice, 158, 4), CString("0"));
}

TEST_F(AttributeRecordsTest, ClearedTransformerModelHasZeroInNumbersAndEmptyTexts) {
    ASSERT_TRUE(TransformerModelRecord::WriteCleared(map, kDevice));
    for (size_t sub = 0; sub <= 13; ++sub) {
        const bool text = sub == 1 || sub == 2 || sub == 13;
        EXPECT_EQ(Stored(kDevice, 163, sub), text ? CString() : CString("0")) << "sub " << sub;
    }
    EXPECT_EQ(log.Count("SetFieldValue"), 14u);
}

TEST_F(AttributeRecordsTest, TransformerModelReadsBackTypedWithTheVoltageTexts) {
    ASSERT_TRUE(SampleTransformer().Write(map, kDevice));
    TransformerModelRecord r;
    ASSERT_TRUE(r.Read(map, kDevice));
    EXPECT_EQ(r.modelId, 12);
    EXPECT_EQ(r.model, U("KBSGZY-500/6"));
    EXPECT_EQ(r.type, U("移动变电站"));
    EXPECT_DOUBLE_EQ(r.capacityKVA, 500.0);
    EXPECT_EQ(r.primaryVoltageText, CString("6000"));
    EXPECT_EQ(r.secondaryVoltageText, CString("400"));
    EXPECT_DOUBLE_EQ(r.secondaryVoltageV, 400.0);
    EXPECT_EQ(r.connectionGroup, U("Y,y0"));
    EXPECT_EQ(r.shortCircuitLossW, 0.0) << "sub 9 is not read back";
    // 7 sub-indexes read, two calls each.
    EXPECT_EQ(log.Filter("GetFieldValue").size(), 2u * 7u);
}

// ---- 151 load statistics ---------------------------------------------------------------

TEST_F(AttributeRecordsTest, LoadStatisticsWriteAndReadBack) {
    LoadStatisticsRecord r;
    r.loadType = U("综采工作面");
    r.facesIndex = 2;
    r.feederSum = 1234.567;
    r.supportType = 1;
    r.resistanceOhm = 0.005904;
    r.reactanceOhm = 0.0376279;
    r.maxStartCurrentA = 812.345;
    r.otherRatedCurrentA = 10.0;
    r.spareMotors = 1;
    r.totalRatedCurrentA = 99.999;
    r.state = 1;
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<std::pair<size_t, CString>> stored = {
        {0, U("综采工作面")}, {1, "2"},      {2, "1234.57"}, {3, kUntouched}, {4, U("否")},  {5, "0.0059"},
        {6, "0.0376"},        {7, "812.35"}, {8, "10.00"},   {9, "1"},        {10, "100.00"}, {11, "1"}};
    for (const auto& [sub, text] : stored) EXPECT_EQ(Stored(kDevice, 151, sub), text) << "sub " << sub;

    LoadStatisticsRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.loadType, U("综采工作面"));
    EXPECT_EQ(back.facesIndex, 2);
    EXPECT_DOUBLE_EQ(back.feederSum, 1234.57);
    EXPECT_EQ(back.supportType, 1);
    EXPECT_EQ(back.spareMotors, 1);
    EXPECT_EQ(back.state, 1);
}

TEST_F(AttributeRecordsTest, ClearedLoadStatisticsKeepsSubIndexes7To11) {
    for (size_t sub = 7; sub <= 11; ++sub) Store(kDevice, 151, sub, CString::Formatted("kept%zu", sub));
    ASSERT_TRUE(LoadStatisticsRecord::WriteCleared(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 151, 0), CString());
    EXPECT_EQ(Stored(kDevice, 151, 1), CString("0"));
    EXPECT_EQ(Stored(kDevice, 151, 2), CString("0"));
    EXPECT_EQ(Stored(kDevice, 151, 3), CString(kUntouched));
    EXPECT_EQ(Stored(kDevice, 151, 4), U("是"));
    EXPECT_EQ(Stored(kDevice, 151, 5), CString("0"));
    EXPECT_EQ(Stored(kDevice, 151, 6), CString("0"));
    for (size_t sub = 7; sub <= 11; ++sub) EXPECT_EQ(Stored(kDevice, 151, sub), CString::Formatted("kept%zu", sub));
    const std::vector<std::string> expected = {"0", "1", "2", "4", "5", "6"};
    EXPECT_EQ(WrittenSubs(), expected);
}

TEST_F(AttributeRecordsTest, SupportTypeReadsFirstChoiceOnlyForYes) {
    LoadStatisticsRecord r;
    Store(kDevice, 151, 4, U("是"));
    ASSERT_TRUE(r.Read(map, kDevice));
    EXPECT_EQ(r.supportType, 0);
    Store(kDevice, 151, 4, CString());
    ASSERT_TRUE(r.Read(map, kDevice));
    EXPECT_EQ(r.supportType, 1);
}

// ---- 158 coefficients ---------------------------------------------------------------------

TEST_F(AttributeRecordsTest, NoNanOrInfinityReachesARecordAndNoneIsReadBack) {
    CoefficientRecord r;
    r.kr = std::numeric_limits<double>::quiet_NaN();
    r.ks = std::numeric_limits<double>::infinity();
    r.cosPhi = -std::numeric_limits<double>::infinity();
    r.apparentPowerKVA = 12.5;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 158, 0), CString("0.000"));
    EXPECT_EQ(Stored(kDevice, 158, 1), CString("0.000"));
    EXPECT_EQ(Stored(kDevice, 158, 2), CString("0.000"));
    EXPECT_EQ(Stored(kDevice, 158, 5), CString("12.500"));

    // Texts a hand-edited map may hold read as 0, not as 26, NaN or infinity.
    ASSERT_TRUE(WriteAttributeValues(map, kDevice, 158,
                                     {{0, CString("0x1A")}, {2, CString("nan")}, {5, CString("inf")}}));
    CoefficientRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.kr, 0.0);
    EXPECT_EQ(back.cosPhi, 0.0);
    EXPECT_EQ(back.apparentPowerKVA, 0.0);
}

TEST_F(AttributeRecordsTest, CoefficientsWriteClearAndRead) {
    CoefficientRecord r;
    r.kr = 0.6357;
    r.ks = 1.0;
    r.cosPhi = 0.7;
    r.maxMotorPowerKW = 300.0;
    r.totalMotorPowerKW = 1525.4;
    r.apparentPowerKVA = 1385.0731;
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<CString> stored = {"0.636", "1.000", "0.700", "300", "1525", "1385.073"};
    for (size_t sub = 0; sub < stored.size(); ++sub) EXPECT_EQ(Stored(kDevice, 158, sub), stored[sub]) << sub;

    CoefficientRecord back;
    back.ks = -1.0;  // not read back
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_DOUBLE_EQ(back.kr, 0.636);
    EXPECT_DOUBLE_EQ(back.cosPhi, 0.7);
    EXPECT_DOUBLE_EQ(back.apparentPowerKVA, 1385.073);
    EXPECT_EQ(back.ks, -1.0);

    ASSERT_TRUE(CoefficientRecord::WriteCleared(map, kDevice));
    for (size_t sub = 0; sub <= 5; ++sub) EXPECT_EQ(Stored(kDevice, 158, sub), CString("0")) << sub;
    EXPECT_EQ(Stored(kDevice, 158, 6), CString(kUntouched));
}

// ---- 174 / 175 / 178 feeder switch -----------------------------------------------------------

TEST_F(AttributeRecordsTest, FeederSwitchModelWriteClearAndRead) {
    FeederSwitchModelRecord r;
    r.modelId = 7;
    r.model = U("KBZ-400");
    r.ratedVoltageV = 660.0;
    r.ratedCurrentA = 400.0;
    r.overCurrentRelay = true;
    r.tripCurrents = CString("400,800,1200");
    r.maxTripCurrentA = 4000.0;
    r.electronicProtection = false;
    r.longTimeMultiples = CString("0.4,0.6");
    r.instantaneousMultiples = CString("3,5,8");
    r.maxInstantaneousMultiple = 10.0;
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<CString> stored = {"7",        U("KBZ-400"), "660",      "400.00",  U("是"),  "400,800,1200",
                                         "4000.00", U("否"),       "0.4,0.6", "3,5,8",   "10.00"};
    for (size_t sub = 0; sub < stored.size(); ++sub) EXPECT_EQ(Stored(kDevice, 174, sub), stored[sub]) << sub;

    FeederSwitchModelRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.modelId, 7);
    EXPECT_EQ(back.ratedVoltageText, CString("660"));
    EXPECT_DOUBLE_EQ(back.ratedCurrentA, 400.0);
    EXPECT_TRUE(back.tripCurrents.IsEmpty()) << "sub 5 is not read back";

    ASSERT_TRUE(FeederSwitchModelRecord::WriteCleared(map, kDevice));
    const std::vector<CString> cleared = {"0", "", "0", "0", U("否"), "", "0", U("否"), "", "", "0"};
    for (size_t sub = 0; sub < cleared.size(); ++sub) EXPECT_EQ(Stored(kDevice, 174, sub), cleared[sub]) << sub;
}

TEST_F(AttributeRecordsTest, FeederSwitchSettingsFlagsFollowTheProtectionText) {
    FeederSwitchSettingsRecord r;
    r.maxGroupStartCurrentA = 1500.0;
    r.byStep = 1;
    r.protection = U("过流继电器");
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 175, 0), U("是"));
    EXPECT_EQ(Stored(kDevice, 175, 1), U("否"));
    EXPECT_EQ(Stored(kDevice, 175, 2), CString("1500.00"));
    EXPECT_EQ(Stored(kDevice, 175, 9), CString("1"));

    r.protection = U("电子式保护");
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 175, 0), U("否"));
    EXPECT_EQ(Stored(kDevice, 175, 1), U("是"));
}

TEST_F(AttributeRecordsTest, FeederSwitchSettingsWithAnotherProtectionTextLeaveSubs0And1) {
    FeederSwitchSettingsRecord r;
    r.protection = U("电子式");  // the high-voltage switch's text, not the feeder switch's
    r.overloadCalcA = 12.345;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 175, 0), CString(kUntouched));
    EXPECT_EQ(Stored(kDevice, 175, 1), CString(kUntouched));
    EXPECT_EQ(Stored(kDevice, 175, 8), CString("12.35"));  // 12.345 is held just above .345
    const std::vector<std::string> expected = {"2", "3", "4", "5", "6", "7", "8", "9"};
    EXPECT_EQ(WrittenSubs(), expected);
}

TEST_F(AttributeRecordsTest, ClearedFeederSwitchSettingsKeepsTheCheckBox) {
    Store(kDevice, 175, 9, CString("1"));
    ASSERT_TRUE(FeederSwitchSettingsRecord::WriteCleared(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 175, 0), U("否"));
    EXPECT_EQ(Stored(kDevice, 175, 1), U("否"));
    for (size_t sub = 2; sub <= 8; ++sub) EXPECT_EQ(Stored(kDevice, 175, sub), CString("0")) << sub;
    EXPECT_EQ(Stored(kDevice, 175, 9), CString("1"));
}

TEST_F(AttributeRecordsTest, FeederSwitchCheckWriteClearAndRead) {
    FeederSwitchCheckRecord r;
    r.protection = U("电子式保护");
    r.userSettingA = 1200.0;
    r.shortPointName = U("d1");
    r.ikA = 4567.891;
    r.sensitivity = 3.80657;
    r.chosenStep = 0.8;
    r.userOverloadA = 320.0;
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<std::pair<size_t, CString>> stored = {
        {0, U("电子式保护")}, {1, "1200.00"}, {2, U("d1")}, {3, "4567.89"}, {4, "3.81"},
        {5, "0.80"},          {6, kUntouched}, {7, kUntouched}, {8, "320.00"}};
    for (const auto& [sub, text] : stored) EXPECT_EQ(Stored(kDevice, 178, sub), text) << "sub " << sub;

    FeederSwitchCheckRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.protection, U("电子式保护"));
    EXPECT_DOUBLE_EQ(back.userSettingA, 1200.0);
    EXPECT_EQ(back.shortPointName, U("d1"));
    EXPECT_DOUBLE_EQ(back.sensitivity, 3.81);
    EXPECT_DOUBLE_EQ(back.chosenStep, 0.8);
    EXPECT_DOUBLE_EQ(back.userOverloadA, 320.0);
    EXPECT_EQ(back.ikA, 0.0) << "sub 3 is not read back";

    ASSERT_TRUE(FeederSwitchCheckRecord::WriteCleared(map, kDevice));
    const std::vector<CString> cleared = {"", "0", "", "0", "0", "0"};
    for (size_t sub = 0; sub < cleared.size(); ++sub) EXPECT_EQ(Stored(kDevice, 178, sub), cleared[sub]) << sub;
    EXPECT_EQ(Stored(kDevice, 178, 8), CString("320.00")) << "sub 8 is kept when cleared";
}

// ---- 176 / 177 / 179 high-voltage switch --------------------------------------------------------

TEST_F(AttributeRecordsTest, HighVoltageSwitchModelYesNoFlagsAndReadBack) {
    HighVoltageSwitchModelRecord r;
    r.modelId = 3;
    r.model = U("PBG-200/6");
    r.ratedVoltageV = 6000.0;
    r.maxVoltageV = 6900.0;
    r.ratedCurrentA = 200.0;
    r.breakingCapacityMVA = 100.0;
    r.thermalCurrentA = 12.5;
    r.overCurrentRelay = true;
    r.electronicProtection = false;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 176, 10), U("是"));
    EXPECT_EQ(Stored(kDevice, 176, 11), U("否"));
    EXPECT_EQ(Stored(kDevice, 176, 2), CString("6000"));
    EXPECT_EQ(Stored(kDevice, 176, 3), CString("6900"));
    EXPECT_EQ(Stored(kDevice, 176, 5), CString("100.00"));
    EXPECT_EQ(Stored(kDevice, 176, 9), CString("12.50"));

    r.overCurrentRelay = false;
    r.electronicProtection = true;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 176, 10), U("否"));
    EXPECT_EQ(Stored(kDevice, 176, 11), U("是"));

    HighVoltageSwitchModelRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.modelId, 3);
    EXPECT_EQ(back.model, U("PBG-200/6"));
    EXPECT_EQ(back.ratedVoltageText, CString("6000"));
    EXPECT_DOUBLE_EQ(back.ratedCurrentA, 200.0);

    ASSERT_TRUE(HighVoltageSwitchModelRecord::WriteCleared(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 176, 1), CString());
    for (size_t sub : {0u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u}) EXPECT_EQ(Stored(kDevice, 176, sub), CString("0")) << sub;
    EXPECT_EQ(Stored(kDevice, 176, 10), U("否"));
    EXPECT_EQ(Stored(kDevice, 176, 11), U("否"));
}

TEST_F(AttributeRecordsTest, HighVoltageSwitchSettingsWriteClearAndRead) {
    HighVoltageSwitchSettingsRecord r;
    r.protection = U("电子式");
    r.settingCalcA = 1000.0;
    r.terminalCalc = 4.1666;
    r.loadFormula = U("Ie=ΣP/(√3·U·cosφ)");
    r.chosenStep = 0.9;
    r.userMultiple = 3.0;
    r.userCurrentA = 600.0;
    r.apparentPowerKVA = 1385.073;
    r.apparentCurrentA = 133.28;
    r.byStep = 1;
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 177, 0), U("否"));
    EXPECT_EQ(Stored(kDevice, 177, 1), U("是"));
    EXPECT_EQ(Stored(kDevice, 177, 3), CString("4.17"));
    EXPECT_EQ(Stored(kDevice, 177, 5), U("Ie=ΣP/(√3·U·cosφ)"));
    EXPECT_EQ(Stored(kDevice, 177, 6), CString());
    EXPECT_EQ(Stored(kDevice, 177, 13), CString("1385.07"));
    EXPECT_EQ(Stored(kDevice, 177, 15), CString("1"));
    EXPECT_EQ(log.Count("SetFieldValue"), 16u);

    HighVoltageSwitchSettingsRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.electromagneticText, U("否"));
    EXPECT_DOUBLE_EQ(back.chosenStep, 0.9);
    EXPECT_DOUBLE_EQ(back.userMultiple, 3.0);
    EXPECT_DOUBLE_EQ(back.terminalSet, 0.0);

    r.protection = U("电子式保护");  // the feeder switch's text is not the high-voltage switch's
    Store(kDevice, 177, 0, CString(kUntouched));
    ASSERT_TRUE(r.Write(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 177, 0), CString(kUntouched));

    ASSERT_TRUE(HighVoltageSwitchSettingsRecord::WriteCleared(map, kDevice));
    EXPECT_EQ(Stored(kDevice, 177, 0), U("否"));
    EXPECT_EQ(Stored(kDevice, 177, 1), U("否"));
    for (size_t sub : {2u, 3u, 4u}) EXPECT_EQ(Stored(kDevice, 177, sub), CString("0")) << sub;
    for (size_t sub = 5; sub <= 12; ++sub) EXPECT_EQ(Stored(kDevice, 177, sub), CString()) << sub;
    EXPECT_EQ(Stored(kDevice, 177, 13), CString("1385.07")) << "13 to 15 are kept when cleared";
    EXPECT_EQ(Stored(kDevice, 177, 15), CString("1"));
}

TEST_F(AttributeRecordsTest, HighVoltageSwitchCheckWriteClearAndRead) {
    HighVoltageSwitchCheckRecord r;
    r.protection = U("过流继电器");
    r.userCurrentA = 600.0;
    r.shortPointName = U("d2");
    r.ikA = 3210.0;
    r.sensitivity = 5.35;
    r.ratio = 6000.0 / 690.0;  // 8.69565... -> "8.696"
    r.userOverloadA = 150.5;   // "%.0f": 150.5 is exact, printf rounds half to even -> "150"
    ASSERT_TRUE(r.Write(map, kDevice));
    const std::vector<CString> stored = {U("过流继电器"), "600.00", U("d2"), "3210.00", "5.35",
                                         "8.696",         "1.00",   U("否"),  "150"};
    for (size_t sub = 0; sub < stored.size(); ++sub) EXPECT_EQ(Stored(kDevice, 179, sub), stored[sub]) << sub;

    HighVoltageSwitchCheckRecord back;
    ASSERT_TRUE(back.Read(map, kDevice));
    EXPECT_EQ(back.protection, U("过流继电器"));
    EXPECT_DOUBLE_EQ(back.userCurrentA, 600.0);
    EXPECT_EQ(back.shortPointName, U("d2"));
    EXPECT_DOUBLE_EQ(back.sensitivity, 5.35);
    EXPECT_DOUBLE_EQ(back.userOverloadA, 150.0);

    ASSERT_TRUE(HighVoltageSwitchCheckRecord::WriteCleared(map, kDevice));
    const std::vector<CString> cleared = {"", "0", "", "0", "0", "0", "0"};
    for (size_t sub = 0; sub < cleared.size(); ++sub) EXPECT_EQ(Stored(kDevice, 179, sub), cleared[sub]) << sub;
    EXPECT_EQ(Stored(kDevice, 179, 7), U("否"));
    EXPECT_EQ(Stored(kDevice, 179, 8), CString("150")) << "7 and 8 are kept when cleared";
}

// ---- Records of the equipment library ----------------------------------------------------------

TEST_F(AttributeRecordsTest, LibraryRecordsReadTyped) {
    CableLengthRecord length;
    ASSERT_TRUE(length.Read(map, kCable));
    EXPECT_DOUBLE_EQ(length.lengthM, 123.5);
    CableModelRecord cable;
    ASSERT_TRUE(cable.Read(map, kCable));
    EXPECT_EQ(cable.modelId, 17);
    EXPECT_DOUBLE_EQ(cable.crossSectionMm2, 35.0);

    ShortCircuitPointRecord point;
    ASSERT_TRUE(point.Read(map, kPoint));
    EXPECT_DOUBLE_EQ(point.currentA, 2345.67);
    EXPECT_EQ(point.ownerName, U("1号电动机"));
    EXPECT_EQ(point.supplyPath, U("1;甲;乙;T1,0.0100,0.0300;0.1100;0.2300;"));

    for (size_t sub : {0u, 1u, 7u, 8u, 9u}) Store(kDevice, 160, sub, CString::Formatted("%zu.5", sub));
    VoltageLossRecord loss;
    ASSERT_TRUE(loss.Read(map, kDevice));
    EXPECT_EQ(loss.totalV, CString("0.5"));
    EXPECT_EQ(loss.percent, CString("1.5"));
    EXPECT_EQ(loss.transformerV, CString("7.5"));
    EXPECT_EQ(loss.trunkV, CString("8.5"));
    EXPECT_EQ(loss.branchV, CString("9.5"));
}

TEST_F(AttributeRecordsTest, ShortCircuitPointCurrentAndPathWrites) {
    ASSERT_TRUE(ShortCircuitPointRecord::WriteCurrent(map, kPoint, 1987.654));
    const CString path = U("1;甲;乙;T2,0.0059,0.0376;0.1059;0.2376;");
    ASSERT_TRUE(ShortCircuitPointRecord::WriteSupplyPath(map, kPoint, path));
    EXPECT_EQ(Stored(kPoint, 161, 1), CString("1987.65"));
    EXPECT_EQ(Stored(kPoint, 161, 11), path);
    EXPECT_EQ(Stored(kPoint, 161, 7), U("1号电动机"));
    EXPECT_FALSE(ShortCircuitPointRecord::WriteSupplyPath(map, kBare, path));
}

TEST_F(AttributeRecordsTest, NonNumericTextsReadAsZero) {
    Store(kCable, 167, 0, U("无"));
    Store(kCable, 167, 4, CString("abc"));
    CableModelRecord cable;
    cable.modelId = 5;
    cable.crossSectionMm2 = 5.0;
    ASSERT_TRUE(cable.Read(map, kCable));
    EXPECT_EQ(cable.modelId, 0);
    EXPECT_EQ(cable.crossSectionMm2, 0.0);
}

// ---- Missing fields ----------------------------------------------------------------------------

TEST_F(AttributeRecordsTest, MissingFieldLeavesEveryReaderAsItWas) {
    LoadStatisticsRecord load;
    load.loadType = "keep";
    load.state = 1;
    EXPECT_FALSE(load.Read(map, kBare));
    EXPECT_EQ(load.loadType, CString("keep"));
    EXPECT_EQ(load.state, 1);

    TransformerModelRecord model;
    model.modelId = 9;
    EXPECT_FALSE(model.Read(map, kBare));
    EXPECT_EQ(model.modelId, 9);

    CoefficientRecord coefficients;
    coefficients.apparentPowerKVA = 2.5;
    EXPECT_FALSE(coefficients.Read(map, kBare));
    EXPECT_EQ(coefficients.apparentPowerKVA, 2.5);

    VoltageLossRecord loss;
    EXPECT_FALSE(loss.Read(map, kBare));
    EXPECT_TRUE(loss.totalV.IsEmpty());

    ShortCircuitPointRecord point;
    point.currentA = 1.0;
    EXPECT_FALSE(point.Read(map, kBare));
    EXPECT_EQ(point.currentA, 1.0);

    FeederSwitchModelRecord feeder;
    HighVoltageSwitchModelRecord hv;
    HighVoltageSwitchSettingsRecord hvSettings;
    FeederSwitchCheckRecord feederCheck;
    HighVoltageSwitchCheckRecord hvCheck;
    CableLengthRecord length;
    CableModelRecord cable;
    hvCheck.sensitivity = 4.0;
    EXPECT_FALSE(feeder.Read(map, kBare));
    EXPECT_FALSE(hv.Read(map, kBare));
    EXPECT_FALSE(hvSettings.Read(map, kBare));
    EXPECT_FALSE(feederCheck.Read(map, kBare));
    EXPECT_FALSE(hvCheck.Read(map, kBare));
    EXPECT_FALSE(length.Read(map, kBare));
    EXPECT_FALSE(cable.Read(map, kBare));
    EXPECT_EQ(hvCheck.sensitivity, 4.0);
    EXPECT_EQ(log.Count("GetFieldValue"), 0u);
}

TEST_F(AttributeRecordsTest, MissingFieldMakesEveryWriterWriteNothing) {
    EXPECT_FALSE(LoadStatisticsRecord().Write(map, kBare));
    EXPECT_FALSE(LoadStatisticsRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(CoefficientRecord().Write(map, kBare));
    EXPECT_FALSE(CoefficientRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(TransformerModelRecord().Write(map, kBare));
    EXPECT_FALSE(TransformerModelRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(FeederSwitchModelRecord().Write(map, kBare));
    EXPECT_FALSE(FeederSwitchModelRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(FeederSwitchSettingsRecord().Write(map, kBare));
    EXPECT_FALSE(FeederSwitchSettingsRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchModelRecord().Write(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchModelRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchSettingsRecord().Write(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchSettingsRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(FeederSwitchCheckRecord().Write(map, kBare));
    EXPECT_FALSE(FeederSwitchCheckRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchCheckRecord().Write(map, kBare));
    EXPECT_FALSE(HighVoltageSwitchCheckRecord::WriteCleared(map, kBare));
    EXPECT_FALSE(ShortCircuitPointRecord::WriteCurrent(map, kBare, 1.0));
    EXPECT_EQ(log.Count("SetFieldValue"), 0u);
    EXPECT_EQ(log.Count("GetFieldValue"), 0u);
    EXPECT_TRUE(doc.FindByEntity(kBare)->fields.empty());
    EXPECT_FALSE(doc.modified());
}

}  // namespace
