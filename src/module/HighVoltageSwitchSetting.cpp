#include "module/HighVoltageSwitchSetting.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "equipment/JDBase.h"
#include "equipment/MapAccess.h"
#include "host/AttributeAccess.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "module/SwitchDialogSupport.h"
#include "platform/Gbk.h"

namespace {

using jdmap::Gbk;
using jdmap::IsTransformerKind;
using jdmap::OutgoingLines;

const CString& Starter() { return Gbk("启动器"); }
const CString& Protector() { return Gbk("综保"); }
const CString& ShortPoint() { return Gbk("短路点"); }
const CString& DistributionBox() { return Gbk("高压配电箱"); }

bool IsMultiSwitchKind(const CString& kind) {
    return kind == Gbk("一拖二开关") || kind == Gbk("一拖四开关") || kind == Gbk("一拖六开关");
}

// A zero rated current, voltage, power factor or ratio shows 0, never a
// division by zero; nothing that is not a finite number leaves here.
double Quotient(double x, double d) { return SafeRatio(x, d); }
double Finite(double x) { return FiniteOrZero(x); }

using jdmap::Connections;
LONG Upstream(LONG line) { return jdmap::LineStartObject(line); }
LONG Downstream(LONG line) { return jdmap::LineEndObject(line); }

bool IsMotor(LONG handle) { return IsMotorObject(handle) != FALSE; }

// ---- The depth-first walk shared by the downstream searches ---------------------------
//
// A node hands back its steps in order: append a motor, or enter another node
// (identified on the current path by `key`, the object it stands for). The
// walk keeps its own stack, so depth costs heap, not call stack.
struct WalkStep {
    bool append = false;
    LONG handle = 0;  // the motor to append, or the node to enter
    LONG key = 0;     // the object of the node entered
};
using Steps = std::vector<WalkStep>;

WalkStep Append(LONG motor) { return {true, motor, 0}; }
WalkStep Enter(LONG node, LONG key) { return {false, node, key}; }

template <class StepSource>
void WalkDepthFirst(LONG rootKey, Steps rootSteps, StepSource&& stepsOf, CKernelObjectArray& list) {
    struct Frame {
        LONG key;
        Steps steps;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    std::unordered_set<LONG> onPath;
    stack.push_back({rootKey, std::move(rootSteps)});
    onPath.insert(rootKey);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.steps.size()) {
            onPath.erase(frame.key);
            stack.pop_back();
            continue;
        }
        const WalkStep step = frame.steps[frame.next++];
        if (step.append) {
            list.Add(step.handle);
            continue;
        }
        // Back to an object on the current path: a loop drawn by mistake ends here.
        if (!onPath.insert(step.key).second) continue;
        stack.push_back({step.key, stepsOf(step.handle)});
    }
}

}  // namespace

// ---- Plain computations ---------------------------------------------------------------

HvModelSettings ComputeModelSettings(const HvModelValues& model, double settingCalcA, double loadCurrentA,
                                     double userMultiple) {
    HvModelSettings s;
    const double ie = Finite(model.ratedCurrentA);
    s.relay = model.relay != 0 ? 1 : 0;
    s.settingCalc = RoundByFormat(Finite(settingCalcA), "%0.2f");
    s.overloadCalc = RoundByFormat(Finite(loadCurrentA), "%0.2f");
    if (s.relay == 1) {
        s.protection = AttributeText::OverCurrentRelay();
        // The relay sits on the 5 A secondary of a current transformer Ie/5.
        s.stepCalc = Quotient(s.overloadCalc, ie / 5.0);
        s.terminalCalc = RoundByFormat(Quotient(s.settingCalc * 5.0, ie), "%0.2f");
    } else {
        s.protection = AttributeText::Electronic();
        s.stepCalc = Quotient(s.overloadCalc, ie);
        s.terminalCalc = 0.0;
    }
    s.multipleCalc = Quotient(s.settingCalc, ie);
    s.stepCalc = RoundByFormat(s.stepCalc, "%.3f");
    s.multipleCalc = RoundByFormat(s.multipleCalc, "%.3f");
    if (!IsZero(userMultiple)) {
        s.userCurrentSet = true;
        s.userCurrent = Finite(ie * userMultiple);
    }
    return s;
}

double UserCurrentFromTerminal(double terminal, double ratedCurrentA) {
    return Finite(terminal * ratedCurrentA / 5.0);
}

double UserCurrentFromMultiple(double multiple, double ratedCurrentA) { return Finite(ratedCurrentA * multiple); }

bool DemandCoefficientInRange(double kx) { return kx >= 0.5 && kx <= 1.0; }

const CString& SwitchNotQualifiedText() {
    static const CString text = FromUtf8("开关选择不合格！");
    return text;
}

bool HasDeltaWinding(const CString& connectionGroup) {
    static const CString delta = FromUtf8("△");
    const std::string& text = connectionGroup.str();
    const std::string& d = delta.str();
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, d.size(), d) == 0) return true;
        i += (IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
    }
    return false;
}

// ---- CHighVoltageSwitchCalc ---------------------------------------------------------------

CHighVoltageSwitchCalc::CHighVoltageSwitchCalc(CMorvaObjects* map, CKernelObjectArray* objects, CEntityIdArray* ids)
    : m_map(map), m_objects(objects), m_ids(ids) {}

LONG CHighVoltageSwitchCalc::EntityOf(LONG handle) const {
    if (handle == 0) return 0;
    if (!m_entityIndex) m_entityIndex.emplace(m_objects, m_ids);
    return m_entityIndex->Find(m_map, handle);
}

CString CHighVoltageSwitchCalc::KindOf(LONG handle) { return jdmap::KindOf(handle); }

CString CHighVoltageSwitchCalc::NameOf(LONG handle) { return jdmap::NameOf(handle); }

// ---- Walks ------------------------------------------------------------------------------------

LONG CHighVoltageSwitchCalc::FindStarter(LONG motor) const {
    std::unordered_set<LONG> onPath{motor};
    LONG current = motor;
    while (true) {
        LONG incoming = 0;
        for (LONG c : Connections(current)) {
            if (c > 0) {
                incoming = c;
                break;
            }
        }
        if (incoming == 0) return 0;
        const LONG up = Upstream(incoming);
        if (up == 0) return 0;
        const CString kind = KindOf(up);
        if (kind == Starter()) return up;
        if (kind == Protector()) return 0;
        if (!onPath.insert(up).second) return 0;
        current = up;
    }
}

LONG CHighVoltageSwitchCalc::FindSupplyTransformer(LONG object) const {
    // Of several incoming lines the last one with an object at its start
    // decides, so only that one is followed; a line leading back onto the
    // path does not count.
    std::unordered_set<LONG> onPath{object};
    LONG current = object;
    while (true) {
        LONG decisive = 0;
        for (LONG c : Connections(current)) {
            if (c <= 0) continue;
            const LONG up = Upstream(c);
            if (up != 0 && !onPath.count(up)) decisive = up;
        }
        if (decisive == 0) return 0;
        if (IsTransformerKind(KindOf(decisive))) return decisive;
        onPath.insert(decisive);
        current = decisive;
    }
}

namespace {

// CollectLoads' steps for one object.
Steps LoadSteps(LONG object) {
    Steps steps;
    for (LONG line : OutgoingLines(object)) {
        const LONG d = Downstream(line);
        if (d == 0) continue;
        if (IsMotor(d)) {
            steps.push_back(Append(d));
            continue;
        }
        const CString kind = CHighVoltageSwitchCalc::KindOf(d);
        if (IsTransformerKind(kind)) continue;  // another transformer's loads are its own
        if (kind == Protector()) {
            // The protector's own motors are not counted; what lies behind a further device is.
            for (LONG behind : OutgoingLines(d)) {
                const LONG e = Downstream(behind);
                if (e != 0 && !IsMotor(e)) steps.push_back(Enter(e, e));
            }
            continue;
        }
        steps.push_back(Enter(d, d));
    }
    return steps;
}

}  // namespace

void CHighVoltageSwitchCalc::CollectLoads(LONG object, CKernelObjectArray& list) const {
    if (object == 0) return;
    WalkDepthFirst(object, LoadSteps(object), LoadSteps, list);
}

void CHighVoltageSwitchCalc::CollectMotorsBehind(LONG device, CKernelObjectArray& list) const {
    if (device == 0) return;
    const bool starter = KindOf(device) == Starter();
    Steps steps;
    for (LONG line : OutgoingLines(device)) {
        const LONG e = Downstream(line);
        if (e == 0) continue;
        if (starter) {
            LONG property = 0;
            QueryObject(line, KernelQuery::LineProperty, &property, 0);
            if (property != 0 && property != 1 && property != 2 && IsMotor(e)) continue;
        }
        steps.push_back(IsMotor(e) ? Append(e) : Enter(e, e));
    }
    WalkDepthFirst(device, std::move(steps), LoadSteps, list);
}

void CHighVoltageSwitchCalc::CollectCircuitMotors(LONG line, CKernelObjectArray& list) const {
    auto hasData = [this](LONG motor) { return HasMotorData(m_map, EntityOf(motor)) != FALSE; };
    // Steps of a circuit line: what its downstream object d holds.
    auto circuitSteps = [&](LONG circuit) {
        Steps steps;
        const LONG d = Downstream(circuit);
        if (d == 0) return steps;
        if (IsMotor(d)) {
            if (hasData(d)) steps.push_back(Append(d));
            return steps;
        }
        // Lines out of a protector that do not end at a motor, entered as circuits.
        auto protectorLines = [&](LONG protector) {
            for (LONG out : OutgoingLines(protector)) {
                const LONG x = Downstream(out);
                if (x != 0 && !IsMotor(x)) steps.push_back(Enter(out, x));
            }
        };
        if (KindOf(d) == Protector()) {
            protectorLines(d);
            return steps;
        }
        for (LONG out : OutgoingLines(d)) {
            const LONG e = Downstream(out);
            if (e == 0) continue;
            if (IsMotor(e)) {
                if (hasData(e)) steps.push_back(Append(e));
            } else if (KindOf(e) == Protector()) {
                protectorLines(e);
            } else {
                steps.push_back(Enter(out, e));
            }
        }
        return steps;
    };
    const LONG d = Downstream(line);
    if (d == 0) return;
    WalkDepthFirst(d, circuitSteps(line), circuitSteps, list);
}

// ---- Groups ----------------------------------------------------------------------------------

namespace {

// The grouping of StarterGroupStats and CircuitGroupStats. `keys` names each
// motor's group owner (its starter, or the motor itself); with `oneGroup` every
// later flagged motor joins the first flagged one, otherwise only those of the
// same owner do. A motor without the flag is always a group of its own.
HvGroupStats GroupStats(CMorvaObjects* map, const std::vector<LONG>& entities, const std::vector<LONG>& keys,
                        bool oneGroup) {
    HvGroupStats stats;
    struct MotorValues {
        bool hasData = false;
        bool flagged = false;
        double ie = 0.0;
        double iq = 0.0;
    };
    std::vector<MotorValues> values(entities.size());
    for (size_t i = 0; i < entities.size(); ++i) {
        LONG entity = entities[i];
        double data[JD_MOTOR_VALUE_COUNT] = {};
        if (!GetMotorData(map, &entity, data, JD_MOTOR_VALUE_COUNT)) continue;
        values[i].hasData = true;
        values[i].flagged = IsGroupStartMotor(map, &entity) != FALSE;
        values[i].ie = Finite(data[JD_MOTOR_RATED_CURRENT_A]);
        values[i].iq = Finite(data[JD_MOTOR_START_CURRENT_A]);
    }

    std::unordered_set<LONG> done;
    for (size_t i = 0; i < entities.size(); ++i) {
        const MotorValues& m = values[i];
        double groupIe = 0.0;
        double groupIq = 0.0;
        if (m.hasData && m.flagged) {
            // The flagged motors of a finished group were counted with it.
            if (done.count(keys[i])) continue;
            groupIe = m.ie;
            groupIq = m.iq;
            stats.sumIe += m.ie;
            for (size_t j = i + 1; j < entities.size(); ++j) {
                const MotorValues& m2 = values[j];
                if (!m2.hasData || !m2.flagged) continue;
                if (!oneGroup && keys[j] != keys[i]) continue;
                groupIe += m2.ie;
                groupIq += m2.iq;
                done.insert(keys[j]);
                stats.sumIe += m2.ie;
            }
        } else if (m.hasData) {
            // Not started with others: a group of its own, whatever its owner's group did.
            groupIe = m.ie;
            groupIq = m.iq;
            stats.sumIe += m.ie;
        }
        if (groupIq > stats.iqMax) {  // equal starts: the group found first stays
            stats.iqMax = groupIq;
            stats.ieOfMax = groupIe;
        }
    }
    return stats;
}

}  // namespace

HvGroupStats CHighVoltageSwitchCalc::StarterGroupStats(const CKernelObjectArray& motors) const {
    std::vector<LONG> entities;
    std::vector<LONG> starters;
    for (LONG motor : motors) {
        entities.push_back(EntityOf(motor));
        starters.push_back(FindStarter(motor));
    }
    return GroupStats(m_map, entities, starters, false);
}

HvGroupStats CHighVoltageSwitchCalc::CircuitGroupStats(const CKernelObjectArray& motors) const {
    std::vector<LONG> entities;
    std::vector<LONG> keys;
    for (LONG motor : motors) {
        entities.push_back(EntityOf(motor));
        keys.push_back(motor);
    }
    return GroupStats(m_map, entities, keys, true);
}

HvGroupStats CHighVoltageSwitchCalc::MultiSwitchStats(LONG multiSwitch) const {
    HvGroupStats stats;
    for (LONG line : OutgoingLines(multiSwitch)) {
        CKernelObjectArray circuit;
        CollectCircuitMotors(line, circuit);
        const HvGroupStats c = CircuitGroupStats(circuit);
        stats.sumIe += c.sumIe;
        if (c.iqMax > stats.iqMax) {
            stats.iqMax = c.iqMax;
            stats.ieOfMax = c.ieOfMax;
        }
    }
    return stats;
}

HvMotorCurrents CHighVoltageSwitchCalc::MotorCurrentStats(LONG device) const {
    HvMotorCurrents currents;
    double ieOfMax = 0.0;
    for (LONG line : OutgoingLines(device)) {
        const LONG d = Downstream(line);
        if (d == 0) continue;
        const CString kind = KindOf(d);
        if (IsTransformerKind(kind)) continue;
        HvGroupStats result;
        if (IsMultiSwitchKind(kind)) {
            result = MultiSwitchStats(d);
        } else {
            CKernelObjectArray motors;
            CollectMotorsBehind(d, motors);
            result = StarterGroupStats(motors);
        }
        currents.sumIe += result.sumIe;
        if (result.iqMax > currents.iqe) {
            currents.iqe = result.iqMax;
            ieOfMax = result.ieOfMax;
        }
    }
    currents.sumIeOthers = currents.sumIe - ieOfMax;
    return currents;
}

// ---- Ratios ----------------------------------------------------------------------------------

HvTransformRatio CHighVoltageSwitchCalc::GetTransformRatio(LONG entityId) const {
    HvTransformRatio ratio;
    const auto texts = ReadAttributeTexts(m_map, entityId, AttributeField::TransformerModel, {4, 5});
    if (!texts) return ratio;
    const double primary = Finite(ParseDouble((*texts)[0]));
    const double secondary = Finite(ParseDouble((*texts)[1]));
    if (IsZero(secondary)) return ratio;
    ratio.kb = Quotient(primary, secondary);
    ratio.known = true;
    return ratio;
}

double CHighVoltageSwitchCalc::ShortPointRatio(LONG owner) const {
    const CString kind = KindOf(owner);
    if (IsTransformerKind(kind)) return GetTransformRatio(EntityOf(owner)).kb;
    if (kind == DistributionBox()) return 1.0;
    const LONG transformer = FindSupplyTransformer(owner);
    return transformer != 0 ? GetTransformRatio(EntityOf(transformer)).kb : 1.0;
}

// ---- Settings -------------------------------------------------------------------------------

double CHighVoltageSwitchCalc::CalcShortCircuitSetting(LONG device, LONG entityId, double kx, CString& text) const {
    const HvMotorCurrents currents = MotorCurrentStats(device);
    const HvTransformRatio ratio = GetTransformRatio(entityId);
    kx = Finite(kx);
    const double iz = Quotient(currents.iqe + kx * currents.sumIeOthers, ratio.kb);

    CString kb = CString::Formatted("%.2f", ratio.kb);
    // Without a ratio on record the 1.00 is an assumption; the text shown to inspectors says so.
    if (!ratio.known) kb += FromUtf8("（无变比数据，按1计）");
    if (IsZero(currents.sumIeOthers)) {
        text = CString::Formatted("%.1f", currents.iqe) + " / " + kb;
    } else {
        text = "(" + CString::Formatted("%.1f", currents.iqe) + "+" + CString::Formatted("%.2f", kx) +
               FromUtf8("×") + CString::Formatted("%.1f", currents.sumIeOthers) + ") / " + kb;
    }
    return iz;
}

double CHighVoltageSwitchCalc::CalcLoadCurrent(LONG device, LONG entityId, const CString& voltageText,
                                               CString& text) const {
    text = "";
    CKernelObjectArray loads;
    CollectLoads(device, loads);
    double pe = 0.0;
    for (LONG motor : loads) {
        LONG entity = EntityOf(motor);
        double data[JD_MOTOR_VALUE_COUNT] = {};
        if (!HasMotorData(m_map, entity) || !GetMotorData(m_map, &entity, data, JD_MOTOR_VALUE_COUNT)) continue;
        pe += Finite(data[JD_MOTOR_RATED_POWER_KW]);
    }
    const double cosPhi =
        Finite(ParseDouble(ReadAttributeText(m_map, entityId, AttributeField::Coefficients, 2)));
    const double ue = Finite(ParseDouble(voltageText)) / 1000.0;
    const double current = Quotient(pe, std::sqrt(3.0) * ue * cosPhi);

    text = FromUtf8("将Pe = ") + CString::Formatted("%.1f", pe) + FromUtf8("kW，额定电压Ue = ") +
           CString::Formatted("%.0f", ue) + FromUtf8("kV, cosφ = ") + CString::Formatted("%.2f", cosPhi) +
           FromUtf8("带入公式得：") + "\n    " + CString::Formatted("%.1f", pe) + FromUtf8(" / (1.732×") +
           CString::Formatted("%.0f", ue) + FromUtf8("×") + CString::Formatted("%.2f", cosPhi) + ")";
    return current;
}

HvApparentCurrent CHighVoltageSwitchCalc::CalcApparentCurrent(LONG entityId, const CString* voltageText) const {
    HvApparentCurrent result;
    result.apparentPowerKVA =
        Finite(ParseDouble(ReadAttributeText(m_map, entityId, AttributeField::Coefficients, 5)));
    if (!voltageText) return result;
    const double u = Finite(ParseDouble(*voltageText));
    result.currentA = Quotient(result.apparentPowerKVA * 1000.0, std::sqrt(3.0) * u);
    return result;
}

// ---- Short-circuit points ----------------------------------------------------------------------

LONG CHighVoltageSwitchCalc::FindObjectByName(const CString& name) const {
    LONG found = 0;
    if (!m_objects) return 0;
    for (LONG handle : *m_objects) {
        if (NameOf(handle) == name) found = handle;
    }
    return found;
}

int CHighVoltageSwitchCalc::CollectShortPoints(CKernelObjectArray& owners, CKernelObjectArray& points) const {
    owners.RemoveAll();
    points.RemoveAll();
    if (!m_objects) return 0;
    // One pass for the names (the last object of a name wins, as in
    // FindObjectByName), then one per point.
    std::unordered_map<std::string, LONG> byName;
    for (LONG handle : *m_objects) byName[NameOf(handle).str()] = handle;
    for (LONG handle : *m_objects) {
        if (KindOf(handle) != ShortPoint()) continue;
        const CString owner =
            ReadAttributeText(m_map, EntityOf(handle), AttributeField::ShortCircuitPoint, 7);
        // A point without an owner name belongs to nobody, not to an unnamed object.
        if (owner.IsEmpty()) continue;
        const auto it = byName.find(owner.str());
        if (it == byName.end()) continue;
        owners.Add(it->second);
        points.Add(handle);
    }
    return points.GetSize();
}

CHighVoltageSwitchCalc::DefaultPoint CHighVoltageSwitchCalc::FindDefaultShortPoint(
    LONG device, const CKernelObjectArray& owners, const CKernelObjectArray& points) const {
    DefaultPoint result;
    for (int i = 0; i < owners.GetSize() && i < points.GetSize(); ++i) {
        if (owners[i] != device) continue;
        result.point = points[i];
        result.name = NameOf(points[i]);
        result.ratio = ShortPointRatio(device);
    }
    return result;
}

LONG CHighVoltageSwitchCalc::FindShortPointByName(const CString& name, double& ratio) const {
    if (!m_objects) return 0;
    for (LONG handle : *m_objects) {
        if (KindOf(handle) != ShortPoint() || NameOf(handle) != name) continue;
        const CString owner =
            ReadAttributeText(m_map, EntityOf(handle), AttributeField::ShortCircuitPoint, 7);
        const LONG o = owner.IsEmpty() ? 0 : FindObjectByName(owner);
        if (o != 0) ratio = ShortPointRatio(o);
        return handle;
    }
    return 0;
}

HvSensitivity CHighVoltageSwitchCalc::CalcSensitivity(LONG entityId, LONG point, double setCurrentA,
                                                      double ratio) const {
    HvSensitivity s;
    if (point != 0) {
        s.ik = Finite(
            ParseDouble(ReadAttributeText(m_map, EntityOf(point), AttributeField::ShortCircuitPoint, 1)));
    }
    // Behind a Y/△ transformer the two-phase fault current seen on the
    // high-voltage side is smaller by √3.
    const CString group = ReadAttributeText(m_map, entityId, AttributeField::TransformerModel, 13);
    const double k = HasDeltaWinding(group) ? std::sqrt(3.0) : 1.0;
    if (!IsZero(setCurrentA)) s.km = Quotient(s.ik, k * ratio * setCurrentA);
    return s;
}
