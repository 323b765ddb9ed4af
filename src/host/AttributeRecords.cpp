#include "host/AttributeRecords.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "platform/FixedDecimal.h"
#include "platform/Gbk.h"

namespace AttributeText {
const CString& Yes() {
    static const CString text = FromUtf8("是");
    return text;
}
const CString& No() {
    static const CString text = FromUtf8("否");
    return text;
}
const CString& OverCurrentRelay() {
    static const CString text = FromUtf8("过流继电器");
    return text;
}
const CString& ElectronicProtection() {
    static const CString text = FromUtf8("电子式保护");
    return text;
}
const CString& Electronic() {
    static const CString text = FromUtf8("电子式");
    return text;
}
}  // namespace AttributeText

const CString& YesNo(bool value) { return value ? AttributeText::Yes() : AttributeText::No(); }

namespace {

// Formats one number with the record's printf format for that sub-index. A
// value that is not finite (a calculation divided by a zero nobody caught) is
// stored as 0: "nan" or "inf" in a record would read back as 0 anyway, and
// must never be shown as a result.
// `fixed` is ParseFixedFormat(format), for a caller that parsed it once.
AttributeValue Number(LONG sub, const jdfixed::FixedFormat& fixed, const char* format, double value) {
    if (!std::isfinite(value)) value = 0.0;
    char buffer[64];
    if (const int length = jdfixed::FormatFixed(buffer, sizeof buffer, fixed, format, value); length > 0)
        return {sub, CString(buffer, length)};
    const int n = std::snprintf(nullptr, 0, format, value);
    if (n <= 0) return {sub, CString()};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, value);
    text.resize(static_cast<size_t>(n));
    return {sub, CString(std::move(text))};
}

AttributeValue Number(LONG sub, const char* format, double value) {
    return Number(sub, jdfixed::ParseFixedFormat(format), format, value);
}

AttributeValue Integer(LONG sub, LONG value) { return {sub, CString::Formatted("%d", value)}; }
AttributeValue Id(LONG sub, LONG value) { return {sub, CString::Formatted("%ld", static_cast<long>(value))}; }
AttributeValue Text(LONG sub, const CString& text) { return {sub, text}; }
AttributeValue Zero(LONG sub) { return {sub, CString("0")}; }
AttributeValue Empty(LONG sub) { return {sub, CString()}; }

// The two protection flags of a settings record: "是"/"否" for the first
// protection text, "否"/"是" for the second, nothing for any other text.
void AppendProtectionFlags(AttributeValues& values, const CString& protection, const CString& relayText,
                           const CString& electronicText) {
    if (protection == relayText) {
        values.push_back(Text(0, AttributeText::Yes()));
        values.push_back(Text(1, AttributeText::No()));
    } else if (protection == electronicText) {
        values.push_back(Text(0, AttributeText::No()));
        values.push_back(Text(1, AttributeText::Yes()));
    }
}

double Decimal(const CString& text) { return ParseDouble(text); }
LONG Whole(const CString& text) { return ParseLong(text); }

}  // namespace

// ---- 151 load statistics ----------------------------------------------------------

AttributeValues LoadStatisticsRecord::Texts() const {
    return {
        Text(0, loadType),
        Integer(1, facesIndex),
        Number(2, "%0.2f", feederSum),
        Text(4, YesNo(supportType == 0)),
        Number(5, "%.4f", resistanceOhm),
        Number(6, "%.4f", reactanceOhm),
        Number(7, "%0.2f", maxStartCurrentA),
        Number(8, "%0.2f", otherRatedCurrentA),
        Integer(9, spareMotors),
        Number(10, "%0.2f", totalRatedCurrentA),
        Integer(11, state),
    };
}

AttributeValues LoadStatisticsRecord::ClearedTexts() {
    return {Empty(0), Zero(1), Zero(2), Text(4, AttributeText::Yes()), Zero(5), Zero(6)};
}

bool LoadStatisticsRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::LoadStatistics, Texts());
}

bool LoadStatisticsRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::LoadStatistics, ClearedTexts());
}

bool LoadStatisticsRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::LoadStatistics, {0, 1, 2, 4, 9, 11});
    if (!t) return false;
    loadType = (*t)[0];
    facesIndex = Whole((*t)[1]);
    feederSum = Decimal((*t)[2]);
    supportType = (*t)[3] == AttributeText::Yes() ? 0 : 1;
    spareMotors = Whole((*t)[4]);
    state = Whole((*t)[5]);
    return true;
}

// ---- 155 cable length --------------------------------------------------------------

bool CableLengthRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::CableLength, {0});
    if (!t) return false;
    lengthM = Decimal((*t)[0]);
    return true;
}

// ---- 158 coefficients ----------------------------------------------------------------

AttributeValues CoefficientRecord::Texts() const {
    return {
        Number(0, "%0.3f", kr),
        Number(1, "%0.3f", ks),
        Number(2, "%0.3f", cosPhi),
        Number(3, "%0.0f", maxMotorPowerKW),
        Number(4, "%0.0f", totalMotorPowerKW),
        Number(5, "%0.3f", apparentPowerKVA),
    };
}

AttributeValues CoefficientRecord::ClearedTexts() { return {Zero(0), Zero(1), Zero(2), Zero(3), Zero(4), Zero(5)}; }

bool CoefficientRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::Coefficients, Texts());
}

bool CoefficientRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::Coefficients, ClearedTexts());
}

bool CoefficientRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::Coefficients, {0, 2, 5});
    if (!t) return false;
    kr = Decimal((*t)[0]);
    cosPhi = Decimal((*t)[1]);
    apparentPowerKVA = Decimal((*t)[2]);
    return true;
}

// ---- 160 voltage loss ----------------------------------------------------------------

bool VoltageLossRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::VoltageLoss, {0, 1, 7, 8, 9});
    if (!t) return false;
    totalV = (*t)[0];
    percent = (*t)[1];
    transformerV = (*t)[2];
    trunkV = (*t)[3];
    branchV = (*t)[4];
    return true;
}

// ---- 161 short-circuit point -----------------------------------------------------------

bool ShortCircuitPointRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::ShortCircuitPoint, {1, 7, 11});
    if (!t) return false;
    currentA = Decimal((*t)[0]);
    ownerName = (*t)[1];
    supplyPath = (*t)[2];
    return true;
}

AttributeValue ShortCircuitPointRecord::CurrentValue(double current) {
    // Written for every point a transformer's update recomputes: the format is parsed once.
    static constexpr jdfixed::FixedFormat kCurrent = jdfixed::ParseFixedFormat("%0.2f");
    return Number(1, kCurrent, "%0.2f", current);
}

bool ShortCircuitPointRecord::WriteCurrent(CMorvaObjects* map, LONG entityId, double current) {
    return WriteAttributeValues(map, entityId, AttributeField::ShortCircuitPoint, {CurrentValue(current)});
}

bool ShortCircuitPointRecord::WriteSupplyPath(CMorvaObjects* map, LONG entityId, const CString& path) {
    return WriteAttributeValues(map, entityId, AttributeField::ShortCircuitPoint, {Text(11, path)});
}

// ---- 163 transformer model ---------------------------------------------------------------

AttributeValues TransformerModelRecord::Texts() const {
    return {
        Id(0, modelId),
        Text(1, model),
        Text(2, type),
        Number(3, "%0.2f", capacityKVA),
        Number(4, "%0.0f", primaryVoltageV),
        Number(5, "%0.0f", secondaryVoltageV),
        Number(6, "%0.2f", primaryCurrentA),
        Number(7, "%0.2f", secondaryCurrentA),
        Number(8, "%0.2f", noLoadLossW),
        Number(9, "%0.2f", shortCircuitLossW),
        Number(10, "%0.2f", impedanceVoltagePercent),
        Number(11, "%0.4f", windingResistanceOhm),
        Number(12, "%0.4f", windingReactanceOhm),
        Text(13, connectionGroup),
    };
}

AttributeValues TransformerModelRecord::ClearedTexts() {
    return {Zero(0), Empty(1), Empty(2), Zero(3), Zero(4),  Zero(5),  Zero(6),
            Zero(7), Zero(8),  Zero(9),  Zero(10), Zero(11), Zero(12), Empty(13)};
}

bool TransformerModelRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::TransformerModel, Texts());
}

bool TransformerModelRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::TransformerModel, ClearedTexts());
}

bool TransformerModelRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::TransformerModel, {0, 1, 2, 3, 4, 5, 13});
    if (!t) return false;
    modelId = Whole((*t)[0]);
    model = (*t)[1];
    type = (*t)[2];
    capacityKVA = Decimal((*t)[3]);
    primaryVoltageText = (*t)[4];
    primaryVoltageV = Decimal(primaryVoltageText);
    secondaryVoltageText = (*t)[5];
    secondaryVoltageV = Decimal(secondaryVoltageText);
    connectionGroup = (*t)[6];
    return true;
}

// ---- 167 cable model ----------------------------------------------------------------------

bool CableModelRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::CableModel, {0, 4});
    if (!t) return false;
    modelId = Whole((*t)[0]);
    crossSectionMm2 = Decimal((*t)[1]);
    return true;
}

// ---- 174 feeder switch model ------------------------------------------------------------------

AttributeValues FeederSwitchModelRecord::Texts() const {
    return {
        Id(0, modelId),
        Text(1, model),
        Number(2, "%0.0f", ratedVoltageV),
        Number(3, "%0.2f", ratedCurrentA),
        Text(4, YesNo(overCurrentRelay)),
        Text(5, tripCurrents),
        Number(6, "%0.2f", maxTripCurrentA),
        Text(7, YesNo(electronicProtection)),
        Text(8, longTimeMultiples),
        Text(9, instantaneousMultiples),
        Number(10, "%0.2f", maxInstantaneousMultiple),
    };
}

AttributeValues FeederSwitchModelRecord::ClearedTexts() {
    return {Zero(0), Empty(1), Zero(2), Zero(3), Text(4, AttributeText::No()), Empty(5),
            Zero(6), Text(7, AttributeText::No()), Empty(8), Empty(9), Zero(10)};
}

bool FeederSwitchModelRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchModel, Texts());
}

bool FeederSwitchModelRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchModel, ClearedTexts());
}

bool FeederSwitchModelRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::FeederSwitchModel, {0, 1, 2, 3});
    if (!t) return false;
    modelId = Whole((*t)[0]);
    model = (*t)[1];
    ratedVoltageText = (*t)[2];
    ratedVoltageV = Decimal(ratedVoltageText);
    ratedCurrentA = Decimal((*t)[3]);
    return true;
}

// ---- 175 feeder switch settings ------------------------------------------------------------------

AttributeValues FeederSwitchSettingsRecord::Texts() const {
    AttributeValues values;
    AppendProtectionFlags(values, protection, AttributeText::OverCurrentRelay(), AttributeText::ElectronicProtection());
    values.push_back(Number(2, "%0.2f", maxGroupStartCurrentA));
    values.push_back(Number(3, "%0.2f", totalRatedCurrentA));
    values.push_back(Number(4, "%0.2f", restRatedCurrentA));
    values.push_back(Number(5, "%0.2f", settingCalcA));
    values.push_back(Number(6, "%0.2f", stepCalc));
    values.push_back(Number(7, "%0.2f", chosenStep));
    values.push_back(Number(8, "%0.2f", overloadCalcA));
    values.push_back(Integer(9, byStep));
    return values;
}

AttributeValues FeederSwitchSettingsRecord::ClearedTexts() {
    return {Text(0, AttributeText::No()), Text(1, AttributeText::No()), Zero(2), Zero(3), Zero(4), Zero(5),
            Zero(6), Zero(7), Zero(8)};
}

bool FeederSwitchSettingsRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchSettings, Texts());
}

bool FeederSwitchSettingsRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchSettings, ClearedTexts());
}

// ---- 176 high-voltage switch model ------------------------------------------------------------------

AttributeValues HighVoltageSwitchModelRecord::Texts() const {
    return {
        Id(0, modelId),
        Text(1, model),
        Number(2, "%0.0f", ratedVoltageV),
        Number(3, "%0.0f", maxVoltageV),
        Number(4, "%0.2f", ratedCurrentA),
        Number(5, "%0.2f", breakingCapacityMVA),
        Number(6, "%0.2f", breakingCurrentA),
        Number(7, "%0.2f", peakCurrentA),
        Number(8, "%0.2f", rmsCurrentA),
        Number(9, "%0.2f", thermalCurrentA),
        Text(10, YesNo(overCurrentRelay)),
        Text(11, YesNo(electronicProtection)),
    };
}

AttributeValues HighVoltageSwitchModelRecord::ClearedTexts() {
    return {Zero(0), Empty(1), Zero(2), Zero(3), Zero(4), Zero(5), Zero(6), Zero(7), Zero(8), Zero(9),
            Text(10, AttributeText::No()), Text(11, AttributeText::No())};
}

bool HighVoltageSwitchModelRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchModel, Texts());
}

bool HighVoltageSwitchModelRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchModel, ClearedTexts());
}

bool HighVoltageSwitchModelRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::HighVoltageSwitchModel, {0, 1, 2, 4});
    if (!t) return false;
    modelId = Whole((*t)[0]);
    model = (*t)[1];
    ratedVoltageText = (*t)[2];
    ratedVoltageV = Decimal(ratedVoltageText);
    ratedCurrentA = Decimal((*t)[3]);
    return true;
}

// ---- 177 high-voltage switch settings -----------------------------------------------------------------

AttributeValues HighVoltageSwitchSettingsRecord::Texts() const {
    AttributeValues values;
    AppendProtectionFlags(values, protection, AttributeText::OverCurrentRelay(), AttributeText::Electronic());
    values.push_back(Number(2, "%0.2f", settingCalcA));
    values.push_back(Number(3, "%.2f", terminalCalc));
    values.push_back(Number(4, "%0.2f", terminalSet));
    values.push_back(Text(5, loadFormula));
    values.push_back(Text(6, settingFormula));
    values.push_back(Number(7, "%0.2f", overloadCalcA));
    values.push_back(Number(8, "%0.2f", chosenStep));
    values.push_back(Number(9, "%0.2f", userMultiple));
    values.push_back(Number(10, "%.2f", userCurrentA));
    values.push_back(Number(11, "%0.2f", stepCalc));
    values.push_back(Number(12, "%.2f", multipleCalc));
    values.push_back(Number(13, "%.2f", apparentPowerKVA));
    values.push_back(Number(14, "%.2f", apparentCurrentA));
    values.push_back(Integer(15, byStep));
    return values;
}

AttributeValues HighVoltageSwitchSettingsRecord::ClearedTexts() {
    return {Text(0, AttributeText::No()), Text(1, AttributeText::No()), Zero(2), Zero(3), Zero(4), Empty(5),
            Empty(6), Empty(7), Empty(8), Empty(9), Empty(10), Empty(11), Empty(12)};
}

bool HighVoltageSwitchSettingsRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchSettings, Texts());
}

bool HighVoltageSwitchSettingsRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchSettings, ClearedTexts());
}

bool HighVoltageSwitchSettingsRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::HighVoltageSwitchSettings, {0, 4, 8, 9});
    if (!t) return false;
    electromagneticText = (*t)[0];
    terminalSet = Decimal((*t)[1]);
    chosenStep = Decimal((*t)[2]);
    userMultiple = Decimal((*t)[3]);
    return true;
}

// ---- 178 feeder switch check -------------------------------------------------------------------------

AttributeValues FeederSwitchCheckRecord::Texts() const {
    return {
        Text(0, protection),
        Number(1, "%0.2f", userSettingA),
        Text(2, shortPointName),
        Number(3, "%0.2f", ikA),
        Number(4, "%0.2f", sensitivity),
        Number(5, "%0.2f", chosenStep),
        Number(8, "%.2f", userOverloadA),
    };
}

AttributeValues FeederSwitchCheckRecord::ClearedTexts() {
    return {Empty(0), Zero(1), Empty(2), Zero(3), Zero(4), Zero(5)};
}

bool FeederSwitchCheckRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchCheck, Texts());
}

bool FeederSwitchCheckRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::FeederSwitchCheck, ClearedTexts());
}

bool FeederSwitchCheckRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::FeederSwitchCheck, {0, 1, 2, 4, 5, 8});
    if (!t) return false;
    protection = (*t)[0];
    userSettingA = Decimal((*t)[1]);
    shortPointName = (*t)[2];
    sensitivity = Decimal((*t)[3]);
    chosenStep = Decimal((*t)[4]);
    userOverloadA = Decimal((*t)[5]);
    return true;
}

// ---- 179 high-voltage switch check ---------------------------------------------------------------------

AttributeValues HighVoltageSwitchCheckRecord::Texts() const {
    return {
        Text(0, protection),
        Number(1, "%0.2f", userCurrentA),
        Text(2, shortPointName),
        Number(3, "%0.2f", ikA),
        Number(4, "%0.2f", sensitivity),
        Number(5, "%.3f", ratio),
        Number(6, "%.2f", coefficient),
        Text(7, YesNo(flag)),
        Number(8, "%.0f", userOverloadA),
    };
}

AttributeValues HighVoltageSwitchCheckRecord::ClearedTexts() {
    return {Empty(0), Zero(1), Empty(2), Zero(3), Zero(4), Zero(5), Zero(6)};
}

bool HighVoltageSwitchCheckRecord::Write(CMorvaObjects* map, LONG entityId) const {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchCheck, Texts());
}

bool HighVoltageSwitchCheckRecord::WriteCleared(CMorvaObjects* map, LONG entityId) {
    return WriteAttributeValues(map, entityId, AttributeField::HighVoltageSwitchCheck, ClearedTexts());
}

bool HighVoltageSwitchCheckRecord::Read(CMorvaObjects* map, LONG entityId) {
    const auto t = ReadAttributeTexts(map, entityId, AttributeField::HighVoltageSwitchCheck, {0, 1, 2, 4, 8});
    if (!t) return false;
    protection = (*t)[0];
    userCurrentA = Decimal((*t)[1]);
    shortPointName = (*t)[2];
    sensitivity = Decimal((*t)[3]);
    userOverloadA = Decimal((*t)[4]);
    return true;
}
