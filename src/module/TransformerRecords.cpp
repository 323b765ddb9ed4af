#include "module/TransformerRecords.h"

#include <memory>

#include "equipment/ADODatabase.h"
#include "equipment/JDBase.h"
#include "equipment/Transformer.h"
#include "host/AttributeRecords.h"

namespace {

double TextValue(const AttributeValues& values, LONG sub) {
    for (const AttributeValue& value : values) {
        if (value.sub == sub) return ParseDouble(value.text);
    }
    return 0.0;
}

}  // namespace

// ---- 163 ----------------------------------------------------------------------------

StoredTransformerModel ReadModelRecord(CMorvaObjects* map, LONG entityId) {
    StoredTransformerModel stored;
    const auto texts = ReadAttributeTexts(map, entityId, AttributeField::TransformerModel, {0, 2, 4, 5, 1, 3});
    if (!texts) return stored;
    stored.modelId = ParseLong((*texts)[0]);
    stored.type = (*texts)[1];
    stored.primaryVoltage = (*texts)[2];
    stored.secondaryVoltage = (*texts)[3];
    stored.model = (*texts)[4];
    stored.capacityKVA = ParseDouble((*texts)[5]);
    return stored;
}

WrittenModelValues WriteModelRecord(CMorvaObjects* map, LONG entityId, LONG modelId) {
    auto transformer = std::make_unique<CTransformer>();
    LoadCatalogueModel(JD_KIND_TRANSFORMER, transformer.get(), static_cast<DWORD>(modelId));

    TransformerModelRecord record;
    record.modelId = modelId;
    record.model = transformer->GetModel();
    record.type = transformer->GetType();
    record.capacityKVA = transformer->GetCapacity();
    record.primaryVoltageV = transformer->GetHVoltage();
    record.secondaryVoltageV = transformer->GetLVoltage();
    record.primaryCurrentA = transformer->GetHCurrent();
    record.secondaryCurrentA = transformer->GetLCurrent();
    record.noLoadLossW = transformer->GetEmptyLose();
    record.shortCircuitLossW = transformer->GetShortcutLose();
    record.impedanceVoltagePercent = transformer->GetRXPercent();
    record.windingResistanceOhm = transformer->GetTransR();
    record.windingReactanceOhm = transformer->GetTransX();
    record.connectionGroup = transformer->GetLinkGroup();

    const AttributeValues texts = record.Texts();
    WriteAttributeValues(map, entityId, AttributeField::TransformerModel, texts);

    WrittenModelValues written;
    written.shortCircuitLossW = TextValue(texts, 9);
    written.secondaryVoltageV = TextValue(texts, 5);
    written.capacityKVA = TextValue(texts, 3);
    written.impedancePercent = TextValue(texts, 10);
    return written;
}

bool ClearModelRecord(CMorvaObjects* map, LONG entityId) { return TransformerModelRecord::WriteCleared(map, entityId); }

// ---- 151 ----------------------------------------------------------------------------

StoredLoad ReadLoadRecord(CMorvaObjects* map, LONG entityId) {
    StoredLoad stored;
    const auto texts = ReadAttributeTexts(map, entityId, AttributeField::LoadStatistics, {0, 1, 4, 9, 11});
    if (!texts) return stored;
    stored.loadType = (*texts)[0];
    stored.facesIndex = ParseLong((*texts)[1]);
    stored.supportType = (*texts)[2] == AttributeText::Yes() ? 0 : 1;
    stored.spareMotors = ParseLong((*texts)[3]);
    stored.state = ParseLong((*texts)[4]);
    return stored;
}

bool WriteLoadRecord(CMorvaObjects* map, LONG entityId, const LoadRecordValues& values) {
    LoadStatisticsRecord record;
    record.loadType = values.loadType;
    record.facesIndex = values.facesIndex;
    record.feederSum = values.feederSum;
    record.supportType = values.supportType;
    record.resistanceOhm = values.resistanceOhm;
    record.reactanceOhm = values.reactanceOhm;
    record.maxStartCurrentA = values.maxStartCurrentA;
    record.otherRatedCurrentA = values.otherRatedCurrentA;
    record.spareMotors = values.spareMotors;
    record.totalRatedCurrentA = values.totalRatedCurrentA;
    record.state = values.state;
    return record.Write(map, entityId);
}

bool ClearLoadRecord(CMorvaObjects* map, LONG entityId) { return LoadStatisticsRecord::WriteCleared(map, entityId); }

// ---- 158 ----------------------------------------------------------------------------

bool WriteCoefficientRecord(CMorvaObjects* map, LONG entityId, double kr, double ks, double cosPhi,
                            double maxMotorPowerKW, double totalMotorPowerKW, double apparentPowerKVA) {
    CoefficientRecord record;
    record.kr = kr;
    record.ks = ks;
    record.cosPhi = cosPhi;
    record.maxMotorPowerKW = maxMotorPowerKW;
    record.totalMotorPowerKW = totalMotorPowerKW;
    record.apparentPowerKVA = apparentPowerKVA;
    return record.Write(map, entityId);
}

bool ClearCoefficientRecord(CMorvaObjects* map, LONG entityId) { return CoefficientRecord::WriteCleared(map, entityId); }

double ReadStoredApparentPower(CMorvaObjects* map, LONG entityId) {
    return ParseDouble(ReadAttributeText(map, entityId, AttributeField::Coefficients, 5));
}

// ---- others ----------------------------------------------------------------------------

LONG ReadHeadModelId(CMorvaObjects* map, LONG entityId, LONG field) {
    return ParseLong(ReadAttributeText(map, entityId, field, 0));
}

CString ReadPointPath(CMorvaObjects* map, LONG pointEntityId) {
    return ReadAttributeText(map, pointEntityId, AttributeField::ShortCircuitPoint, 11);
}

VoltageLossTexts ReadVoltageLoss(CMorvaObjects* map, LONG entityId) {
    VoltageLossRecord record;
    VoltageLossTexts texts;
    if (!record.Read(map, entityId)) return texts;
    texts.totalV = record.totalV;
    texts.percent = record.percent;
    texts.transformerV = record.transformerV;
    texts.trunkV = record.trunkV;
    texts.branchV = record.branchV;
    return texts;
}

// ---- model list texts ---------------------------------------------------------------------

CString LowVoltageSuffix(const CString& secondaryVoltage) {
    if (secondaryVoltage == "3450") return "/3.45";
    if (secondaryVoltage == "1200") return "/1.2";
    if (secondaryVoltage == "690" || secondaryVoltage == "693") return "/0.69";
    if (secondaryVoltage == "400") return "/0.4";
    if (secondaryVoltage == "133") return "/0.133";
    return "";
}

CString ModelPrefix(const CString& rowText) {
    const int dash = rowText.Find('-');
    return dash < 0 ? CString() : rowText.Left(dash);
}

CString BuildModelListQuery(const CString& type, const CString& primaryVoltage, const CString& secondaryVoltage,
                            double apparentPowerKVA) {
    return "select * from Para_Transformer where Type = '" + QuoteSqlText(type) + "' and HVoltage = " +
           primaryVoltage + " and LVoltage = " + secondaryVoltage + " and Capacity > " +
           CString::Formatted("%f", apparentPowerKVA) + " order by ID";
}
