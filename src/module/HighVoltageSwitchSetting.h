#pragma once
// The computations of the Set High-Voltage Switch dialog, without the dialog:
// the motors behind the device and their starting groups, the short-circuit
// setting Iz = (IQe + Kx·ΣIe) / Kb referred through the transformer ratio,
// the load current Pe / (√3·Ue·cosφ), the values a chosen model derives from
// them, the short-circuit points of the drawing and the sensitivity check.
//
// The walks follow the drawing as the kernel reports it (connection values:
// c < 0 the object is the upstream end of line |c|, c > 0 the downstream end
// of line c). They are iterative, so that a chain of any depth cannot exhaust
// the stack, and each stops where it would reach an object already on its
// current path: a loop drawn by mistake ends the walk, while a motor reached
// along two separate paths is still listed twice (and so counted twice).
//
// Units: currents A, powers kW and kVA, voltages V (Ue of the load-current
// formula in kV). Every result is finite: a zero rated current, voltage,
// power factor or ratio gives 0 instead of a division by zero.
#include <optional>

#include "equipment/MapRoutines.h"
#include "module/ModuleResources.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// Starting-group statistics of a set of motors.
struct HvGroupStats {
    double sumIe = 0.0;    // ΣIe of all motors counted
    double iqMax = 0.0;    // largest starting current of a group (a group's IQ is the sum of its motors')
    double ieOfMax = 0.0;  // ΣIe of that group
};

// MotorCurrentStats of a device.
struct HvMotorCurrents {
    double iqe = 0.0;          // IQe: starting current of the group with the largest start
    double sumIeOthers = 0.0;  // ΣIe of every motor outside that group
    double sumIe = 0.0;        // ΣIe of all motors
};

// The ratio Kb = U1 / U2 of a transformer record (field 163 sub 4 over sub 5).
struct HvTransformRatio {
    double kb = 1.0;
    // False when the entity has no field 163 or its secondary voltage is 0:
    // Kb is then taken as 1.0 and the formula text says so.
    bool known = false;
};

// The apparent power S of the device (field 158 sub 5) and the current it
// means at the selected voltage, I = S·1000 / (√3·U).
struct HvApparentCurrent {
    double apparentPowerKVA = 0.0;
    double currentA = 0.0;
};

// What a chosen catalogue model gives (the settings of the model).
struct HvModelValues {
    double ratedCurrentA = 0.0;          // Ie of the model
    double breakingCapacity = 0.0;       // MVA
    int relay = 0;                       // 1 electromagnetic (over-current relay behind a CT Ie/5), 0 electronic
};
struct HvModelSettings {
    int relay = 0;
    CString protection;          // "过流继电器" or "电子式"
    double settingCalc = 0.0;    // Iz rounded to two decimals
    double overloadCalc = 0.0;   // load current rounded to two decimals
    double stepCalc = 0.0;       // relay: A on the 5 A secondary; electronic: multiple of Ie; three decimals
    double terminalCalc = 0.0;   // relay: Iz·5/Ie, two decimals; electronic: 0
    double multipleCalc = 0.0;   // Iz / Ie, three decimals
    bool userCurrentSet = false; // a nonzero user multiple gave the user current
    double userCurrent = 0.0;
};
// Settings of a model from the raw Iz and load current (not yet rounded) and
// the user's multiple.
JDMODULE_API HvModelSettings ComputeModelSettings(const HvModelValues& model, double settingCalcA, double loadCurrentA,
                                                  double userMultiple);

// The user's entries: terminal T on the relay (user current T·Ie/5) and
// multiple M of an electronic protection (user current Ie·M).
JDMODULE_API double UserCurrentFromTerminal(double terminal, double ratedCurrentA);
JDMODULE_API double UserCurrentFromMultiple(double multiple, double ratedCurrentA);

// Whether the demand coefficient lies in its usual range 0.5 … 1.0 (both ends
// inside); the dialog shows a value outside it in red.
JDMODULE_API bool DemandCoefficientInRange(double kx);

// The sensitivity figure and its current.
struct HvSensitivity {
    double km = 0.0;  // Ik / (k·Kb·Iset), 0 when Iset is 0
    double ik = 0.0;  // two-phase short-circuit current at the point, A
};

// "开关选择不合格！": the second message of a failed sensitivity check.
JDMODULE_API const CString& SwitchNotQualifiedText();

// True when the GBK text contains the character "△" (compared at character starts).
JDMODULE_API bool HasDeltaWinding(const CString& connectionGroup);

// The computations that read the drawing. The map control serves the
// attribute records; the two lists are the dialog's object list and entity
// ids (index-aligned). The object keeps the pointers; they must outlive it.
class JDMODULE_API CHighVoltageSwitchCalc {
public:
    CHighVoltageSwitchCalc(CMorvaObjects* map, CKernelObjectArray* objects, CEntityIdArray* ids);

    // ---- Walks ----------------------------------------------------------------
    // The motor's starter: up the first incoming line, object by object, until
    // a "启动器" (the result) or a "综保" (0); 0 when no line arrives.
    LONG FindStarter(LONG motor) const;
    // The transformer or mobile substation upstream; among several incoming
    // lines the last one with an object at its start decides.
    LONG FindSupplyTransformer(LONG object) const;
    // Appends the motors fed from the object: not through another transformer,
    // and not those directly behind a "综保" (a protector's own loads).
    void CollectLoads(LONG object, CKernelObjectArray& list) const;
    // The motors behind a device; a starter's outgoing line whose line property
    // is not 0, 1 or 2 and that ends directly at a motor is left out.
    void CollectMotorsBehind(LONG device, CKernelObjectArray& list) const;
    // The motors with motor data on one circuit (outgoing line) of a
    // multi-circuit switch.
    void CollectCircuitMotors(LONG line, CKernelObjectArray& list) const;

    // ---- Groups and currents -----------------------------------------------------
    // Motors grouped by their starter: flagged motors (IsGroupStartMotor) of
    // one starter start together; any other motor is a group of its own.
    HvGroupStats StarterGroupStats(const CKernelObjectArray& motors) const;
    // Motors of one circuit: all flagged motors start together.
    HvGroupStats CircuitGroupStats(const CKernelObjectArray& motors) const;
    // The circuits of a multi-circuit switch; the circuit with the largest start decides.
    HvGroupStats MultiSwitchStats(LONG multiSwitch) const;
    // IQe, ΣIe of the others and ΣIe of the motors behind the device's outgoing lines.
    HvMotorCurrents MotorCurrentStats(LONG device) const;

    // ---- Ratios --------------------------------------------------------------------
    HvTransformRatio GetTransformRatio(LONG entityId) const;
    // Kb that refers a short-circuit current at a point of this owner to the
    // high-voltage side: the owner's own ratio when it is a transformer, 1.0 for
    // a high-voltage distribution box, else the ratio of its supply transformer
    // (1.0 without one).
    double ShortPointRatio(LONG owner) const;

    // ---- Settings -------------------------------------------------------------------
    // Iz = (IQe + Kx·ΣIe others) / Kb with Kb of the device's own record 163;
    // `text` the formula as shown ("(120.0+0.70×50.0) / 10.00", or "120.0 / 10.00"
    // without other motors).
    double CalcShortCircuitSetting(LONG device, LONG entityId, double kx, CString& text) const;
    // I = Pe / (√3·Ue·cosφ) of the loads behind the device; Ue from the voltage
    // text (V) in kV, cosφ from field 158 sub 2. `text` the formula as shown.
    double CalcLoadCurrent(LONG device, LONG entityId, const CString& voltageText, CString& text) const;
    // S from field 158 sub 5; the current 0 without a voltage (null text).
    HvApparentCurrent CalcApparentCurrent(LONG entityId, const CString* voltageText) const;

    // ---- Short-circuit points ----------------------------------------------------------
    // The object of the list with that name; the last match wins; 0 when none.
    LONG FindObjectByName(const CString& name) const;
    // The short-circuit points whose owner (field 161 sub 7) names an object:
    // owners and points index-aligned (emptied first). Returns the number of pairs.
    int CollectShortPoints(CKernelObjectArray& owners, CKernelObjectArray& points) const;
    // The device's default point: the last pair owned by the device; its
    // name and the ratio (1.0 when the device owns no point).
    struct DefaultPoint {
        LONG point = 0;
        CString name;
        double ratio = 1.0;
    };
    DefaultPoint FindDefaultShortPoint(LONG device, const CKernelObjectArray& owners,
                                       const CKernelObjectArray& points) const;
    // The first short-circuit point of that name; `ratio` receives the ratio
    // of its owner when the owner names an object, and stays as it was otherwise.
    LONG FindShortPointByName(const CString& name, double& ratio) const;
    // Km = Ik / (k·Kb·Iset), k = √3 when the device's connection group (field
    // 163 sub 13) holds "△". No point gives Ik 0; Iset 0 gives Km 0.
    HvSensitivity CalcSensitivity(LONG entityId, LONG point, double setCurrentA, double ratio) const;

    // ---- Kernel helpers ------------------------------------------------------------------
    LONG EntityOf(LONG handle) const;
    static CString KindOf(LONG handle);
    static CString NameOf(LONG handle);

private:
    CMorvaObjects* m_map;
    CKernelObjectArray* m_objects;
    CEntityIdArray* m_ids;
    // The lists indexed at the first look-up; the lists must not change meanwhile.
    mutable std::optional<CObjectEntityIndex> m_entityIndex;
};
