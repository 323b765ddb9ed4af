#pragma once
// The transformer's attribute records as the Set Transformer dialog reads and
// writes them: the model record 163, the load record 151, the coefficient
// record 158 and their cleared forms, the supply path of a short-circuit
// point (161 sub 11) and the voltage-loss results (160). Built on the typed
// records of host/AttributeRecords.h; a field the entity lacks makes a writer
// write nothing and a reader give empty texts and zeros, silently.
//
// Also here: what the dialog derives from the model list's texts (the
// designation suffix, the model prefix) and the model-list query.
#include "module/ModuleResources.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// ---- 163: model record ------------------------------------------------------------

// What opening reads back: sub-indices 0 (integer), 2, 4, 5, 1 and 3 (number).
struct StoredTransformerModel {
    LONG modelId = 0;            // 0: no model
    CString type;                // 2
    CString primaryVoltage;      // 4, as stored ("6000")
    CString secondaryVoltage;    // 5, as stored ("690")
    CString model;               // 1
    double capacityKVA = 0.0;    // 3
};
JDMODULE_API StoredTransformerModel ReadModelRecord(CMorvaObjects* map, LONG entityId);

// The four values the impedance needs, parsed back from the texts written
// (sub-indices 9, 5, 3 and 10), so they carry the record's rounding.
struct WrittenModelValues {
    double shortCircuitLossW = 0.0;   // ΔPk
    double secondaryVoltageV = 0.0;   // U2
    double capacityKVA = 0.0;         // SN
    double impedancePercent = 0.0;    // uk
};
// Loads the catalogue model (kind 0) and writes sub-indices 0 to 13. The
// values are returned even when the entity has no field 163.
JDMODULE_API WrittenModelValues WriteModelRecord(CMorvaObjects* map, LONG entityId, LONG modelId);
JDMODULE_API bool ClearModelRecord(CMorvaObjects* map, LONG entityId);

// ---- 151: load record ---------------------------------------------------------------

struct StoredLoad {
    CString loadType;       // 0
    int facesIndex = 0;     // 1
    int supportType = 0;    // 4: 0 when "是", else 1
    int spareMotors = 0;    // 9
    int state = 0;          // 11: 0 running, 1 stopped
};
// Sub-indices 0, 1, 4, 9, 11. A missing field gives the defaults above.
JDMODULE_API StoredLoad ReadLoadRecord(CMorvaObjects* map, LONG entityId);

struct LoadRecordValues {
    CString loadType;
    int facesIndex = 0;
    double feederSum = 0.0;
    int supportType = 0;
    double resistanceOhm = 0.0;
    double reactanceOhm = 0.0;
    double maxStartCurrentA = 0.0;
    double otherRatedCurrentA = 0.0;
    double totalRatedCurrentA = 0.0;
    int spareMotors = 0;
    int state = 0;
};
JDMODULE_API bool WriteLoadRecord(CMorvaObjects* map, LONG entityId, const LoadRecordValues& values);
// Sub-indices 0 to 6 cleared; 7 to 11 keep their texts.
JDMODULE_API bool ClearLoadRecord(CMorvaObjects* map, LONG entityId);

// ---- 158: coefficient record -----------------------------------------------------------

JDMODULE_API bool WriteCoefficientRecord(CMorvaObjects* map, LONG entityId, double kr, double ks, double cosPhi,
                                         double maxMotorPowerKW, double totalMotorPowerKW,
                                         double apparentPowerKVA);
JDMODULE_API bool ClearCoefficientRecord(CMorvaObjects* map, LONG entityId);
// Sub-index 5, the apparent power; 0 when the field is missing.
JDMODULE_API double ReadStoredApparentPower(CMorvaObjects* map, LONG entityId);

// ---- Others the dialog reads ------------------------------------------------------------

// Sub-index 0 of field 174 (feeder switch) or 176 (high-voltage switch) as an
// integer: nonzero when that head of the mobile substation is set.
JDMODULE_API LONG ReadHeadModelId(CMorvaObjects* map, LONG entityId, LONG field);

// Field 161 sub-index 11 of a short-circuit point; empty when missing.
JDMODULE_API CString ReadPointPath(CMorvaObjects* map, LONG pointEntityId);

struct VoltageLossTexts {
    CString totalV;        // 0
    CString percent;       // 1
    CString transformerV;  // 7
    CString trunkV;        // 8
    CString branchV;       // 9
};
// Field 160 sub-indices 0, 1, 7, 8, 9; five empty texts when missing.
JDMODULE_API VoltageLossTexts ReadVoltageLoss(CMorvaObjects* map, LONG entityId);

// ---- Model list texts -------------------------------------------------------------------

// The designation suffix by the secondary-voltage text: "3450" → "/3.45",
// "1200" → "/1.2", "690" or "693" → "/0.69", "400" → "/0.4", "133" →
// "/0.133", anything else (or no selection) → "".
JDMODULE_API CString LowVoltageSuffix(const CString& secondaryVoltage);
// The row text before its first "-"; empty when it has none.
JDMODULE_API CString ModelPrefix(const CString& rowText);
// The model-list query: the type quoted as an SQL literal, the voltages as
// bare numbers, S with "%f", rows in ID order.
JDMODULE_API CString BuildModelListQuery(const CString& type, const CString& primaryVoltage,
                                         const CString& secondaryVoltage, double apparentPowerKVA);
