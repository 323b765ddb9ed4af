#pragma once
// The attribute records the setting dialogs and the equipment library keep on
// the map's entities, one struct per record. Each struct holds the record's
// values typed; Texts() formats them exactly as they are stored, Write() writes
// them, WriteCleared() writes the record's "no model" form, and Read() reads
// the sub-indexes the system reads back (decimals via ParseDouble, integers via
// ParseLong, texts unchanged). A field the entity lacks makes a writer write
// nothing and a reader return false with its members as they were.
//
// Sub-indexes a record does not name are never touched. All texts are GBK.
#include "host/AttributeAccess.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// Field numbers of the records.
namespace AttributeField {
inline constexpr LONG LoadStatistics = 151;
inline constexpr LONG CableLength = 155;
inline constexpr LONG Coefficients = 158;
inline constexpr LONG VoltageLoss = 160;
inline constexpr LONG ShortCircuitPoint = 161;
inline constexpr LONG TransformerModel = 163;
inline constexpr LONG CableModel = 167;
inline constexpr LONG FeederSwitchModel = 174;
inline constexpr LONG FeederSwitchSettings = 175;
inline constexpr LONG HighVoltageSwitchModel = 176;
inline constexpr LONG HighVoltageSwitchSettings = 177;
inline constexpr LONG FeederSwitchCheck = 178;
inline constexpr LONG HighVoltageSwitchCheck = 179;
}  // namespace AttributeField

// The fixed texts of the records, GBK.
namespace AttributeText {
const CString& Yes();                   // "是"
const CString& No();                    // "否"
const CString& OverCurrentRelay();      // "过流继电器"
const CString& ElectronicProtection();  // "电子式保护" (feeder switch)
const CString& Electronic();            // "电子式" (high-voltage switch)
}  // namespace AttributeText

// "是" or "否".
const CString& YesNo(bool value);

// 151: load statistics of a transformer.
struct LoadStatisticsRecord {
    CString loadType;                 // 0: chosen load-type item
    LONG facesIndex = 0;              // 1: 0 one face, 1 two, 2 three or more
    double feederSum = 0.0;           // 2 (read back but not used)
    LONG supportType = 0;             // 4: 0 single props ("是"), 1 self-advancing supports ("否")
    double resistanceOhm = 0.0;       // 5: transformer R_T
    double reactanceOhm = 0.0;        // 6: transformer X_T
    double maxStartCurrentA = 0.0;    // 7
    double otherRatedCurrentA = 0.0;  // 8
    LONG spareMotors = 0;             // 9: spare motors counted, 1 or 0
    double totalRatedCurrentA = 0.0;  // 10
    LONG state = 0;                   // 11: 0 running, 1 stopped

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();  // 7 to 11 kept
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 4, 9, 11
};

// 155: length of a cable (written by the equipment library).
struct CableLengthRecord {
    double lengthM = 0.0;  // 0

    bool Read(CMorvaObjects* map, LONG entityId);
};

// 158: demand coefficients of a transformer.
struct CoefficientRecord {
    double kr = 0.0;                 // 0: demand coefficient
    double ks = 0.0;                 // 1: simultaneity coefficient
    double cosPhi = 0.0;             // 2: weighted power factor
    double maxMotorPowerKW = 0.0;    // 3
    double totalMotorPowerKW = 0.0;  // 4
    double apparentPowerKVA = 0.0;   // 5

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 2, 5
};

// 160: voltage-loss results of a transformer (written by the equipment library).
struct VoltageLossRecord {
    CString totalV;        // 0
    CString percent;       // 1
    CString transformerV;  // 7
    CString trunkV;        // 8
    CString branchV;       // 9

    bool Read(CMorvaObjects* map, LONG entityId);
};

// 161: a short-circuit point (written by the equipment library).
struct ShortCircuitPointRecord {
    double currentA = 0.0;  // 1: two-phase short-circuit current
    CString ownerName;      // 7: device the point belongs to
    CString supplyPath;     // 11: ";"-separated supply path

    bool Read(CMorvaObjects* map, LONG entityId);
    static bool WriteCurrent(CMorvaObjects* map, LONG entityId, double currentA);   // 1, "%0.2f"
    static AttributeValue CurrentValue(double currentA);                           // what WriteCurrent writes
    static bool WriteSupplyPath(CMorvaObjects* map, LONG entityId, const CString& path);  // 11
};

// 163: catalogue model of a transformer.
struct TransformerModelRecord {
    LONG modelId = 0;                  // 0
    CString model;                     // 1
    CString type;                      // 2: "移动变电站" or "动力变压器"
    double capacityKVA = 0.0;          // 3
    double primaryVoltageV = 0.0;      // 4
    double secondaryVoltageV = 0.0;    // 5
    double primaryCurrentA = 0.0;      // 6
    double secondaryCurrentA = 0.0;    // 7
    double noLoadLossW = 0.0;          // 8
    double shortCircuitLossW = 0.0;    // 9
    double impedanceVoltagePercent = 0.0;  // 10
    double windingResistanceOhm = 0.0;     // 11
    double windingReactanceOhm = 0.0;      // 12
    CString connectionGroup;           // 13
    // Read only: the voltage texts as stored (matched against the voltage lists).
    CString primaryVoltageText;        // 4
    CString secondaryVoltageText;      // 5

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 3, 4, 5, 13
};

// 167: cable model (written by the equipment library).
struct CableModelRecord {
    LONG modelId = 0;              // 0: 0 = none
    double crossSectionMm2 = 0.0;  // 4

    bool Read(CMorvaObjects* map, LONG entityId);
};

// 174: catalogue model of a low-voltage feeder switch.
struct FeederSwitchModelRecord {
    LONG modelId = 0;                    // 0: nonzero also flags the low-voltage head as set
    CString model;                       // 1
    double ratedVoltageV = 0.0;          // 2
    double ratedCurrentA = 0.0;          // 3
    bool overCurrentRelay = false;       // 4
    CString tripCurrents;                // 5: trip current settings of the model
    double maxTripCurrentA = 0.0;        // 6
    bool electronicProtection = false;   // 7
    CString longTimeMultiples;           // 8
    CString instantaneousMultiples;      // 9
    double maxInstantaneousMultiple = 0.0;  // 10
    CString ratedVoltageText;            // 2, read only: as stored

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 3
};

// 175: computed settings of a feeder switch (written only).
struct FeederSwitchSettingsRecord {
    CString protection;               // decides 0 and 1: "过流继电器" or "电子式保护", anything else leaves them
    double maxGroupStartCurrentA = 0.0;  // 2
    double totalRatedCurrentA = 0.0;     // 3
    double restRatedCurrentA = 0.0;      // 4
    double settingCalcA = 0.0;           // 5
    double stepCalc = 0.0;               // 6
    double chosenStep = 0.0;             // 7
    double overloadCalcA = 0.0;          // 8
    LONG byStep = 0;                     // 9: choose-by-step check box

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();  // 9 kept
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
};

// 176: catalogue model of a high-voltage switch.
struct HighVoltageSwitchModelRecord {
    LONG modelId = 0;                   // 0: nonzero also flags the high-voltage head as set
    CString model;                      // 1
    double ratedVoltageV = 0.0;         // 2
    double maxVoltageV = 0.0;           // 3
    double ratedCurrentA = 0.0;         // 4
    double breakingCapacityMVA = 0.0;   // 5
    double breakingCurrentA = 0.0;      // 6
    double peakCurrentA = 0.0;          // 7
    double rmsCurrentA = 0.0;           // 8
    double thermalCurrentA = 0.0;       // 9
    bool overCurrentRelay = false;      // 10: electromagnetic protection available
    bool electronicProtection = false;  // 11
    CString ratedVoltageText;           // 2, read only: as stored

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 4
};

// 177: computed settings of a high-voltage switch.
struct HighVoltageSwitchSettingsRecord {
    CString protection;             // decides 0 and 1: "过流继电器" or "电子式", anything else leaves them
    double settingCalcA = 0.0;      // 2
    double terminalCalc = 0.0;      // 3
    double terminalSet = 0.0;       // 4
    CString loadFormula;            // 5
    CString settingFormula;         // 6
    double overloadCalcA = 0.0;     // 7
    double chosenStep = 0.0;        // 8
    double userMultiple = 0.0;      // 9
    double userCurrentA = 0.0;      // 10
    double stepCalc = 0.0;          // 11
    double multipleCalc = 0.0;      // 12
    double apparentPowerKVA = 0.0;  // 13
    double apparentCurrentA = 0.0;  // 14
    LONG byStep = 0;                // 15
    CString electromagneticText;    // 0, read only: "是", "否" or what else is stored

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();  // 13 to 15 kept
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 4, 8, 9
};

// 178: sensitivity check of a feeder switch.
struct FeederSwitchCheckRecord {
    CString protection;        // 0
    double userSettingA = 0.0;   // 1
    CString shortPointName;    // 2
    double ikA = 0.0;          // 3
    double sensitivity = 0.0;  // 4
    double chosenStep = 0.0;   // 5
    double userOverloadA = 0.0;  // 8

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();  // 8 kept
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 4, 5, 8
};

// 179: sensitivity check of a high-voltage switch.
struct HighVoltageSwitchCheckRecord {
    CString protection;          // 0
    double userCurrentA = 0.0;   // 1
    CString shortPointName;      // 2
    double ikA = 0.0;            // 3
    double sensitivity = 0.0;    // 4
    double ratio = 0.0;          // 5: transformation ratio
    double coefficient = 1.0;    // 6
    bool flag = false;           // 7
    double userOverloadA = 0.0;  // 8

    AttributeValues Texts() const;
    static AttributeValues ClearedTexts();  // 7 and 8 kept
    bool Write(CMorvaObjects* map, LONG entityId) const;
    static bool WriteCleared(CMorvaObjects* map, LONG entityId);
    bool Read(CMorvaObjects* map, LONG entityId);  // 0, 1, 2, 4, 8
};
