#include "module/FeederSwitchSetting.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_set>
#include <vector>

#include "equipment/JDBase.h"
#include "host/AttributeRecords.h"
#include "host/Kernel.h"
#include "module/SwitchDialogSupport.h"
#include "platform/Gbk.h"

namespace {

// GetLengthFactor's table for 380/660/1140 V networks.
constexpr int kLengthFactorMode = 1;

struct Kinds {
    CString starter = FromUtf8("启动器");
    CString protectionUnit = FromUtf8("综保");
    CString mobileSubstation = FromUtf8("移动变电站");
    CString mineTransformer = FromUtf8("矿用变压器");
};

const Kinds& K() {
    static const Kinds kinds;
    return kinds;
}

// The object's line references (16428, then 16429), in the kernel's order.
std::vector<LONG> References(LONG object) {
    LONG count = 0;
    if (!QueryObject(object, KernelQuery::ConnectionCount, &count, 0) || count <= 0) return {};
    std::vector<LONG> refs(static_cast<size_t>(count));
    if (!QueryObject(object, KernelQuery::ConnectionList, refs.data(), count)) return {};
    return refs;
}

LONG LineEnd(LONG line) {
    LONG object = 0;
    QueryObject(line, KernelQuery::LineEndObject, &object, 1);
    return object;
}

LONG LineStart(LONG line) {
    LONG object = 0;
    QueryObject(line, KernelQuery::LineStartObject, &object, 1);
    return object;
}

// The first reference > 0 (a line arriving from upstream); 0 when none.
LONG FirstIncomingLine(LONG object) {
    for (LONG r : References(object)) {
        if (r > 0) return r;
    }
    return 0;
}

// What a downstream walk does with the object at the end of an outgoing line.
enum class Step { Append, AppendAndDescend, Descend };

// The motor walk: a motor is a load and ends the branch; anything else is passed through.
Step MotorStep(LONG object) { return IsMotorObject(object) ? Step::Append : Step::Descend; }

// The load walk: a protection unit is a load of its own and is passed through
// as well; motors end the branch.
Step LoadStep(LONG object) {
    if (ObjectKindName(object) == K().protectionUnit) return Step::AppendAndDescend;
    return MotorStep(object);
}

// Where the upstream search for a motor's starter gives up without one.
bool EndsStarterSearch(const CString& kind) {
    return kind == K().protectionUnit || kind == K().mobileSubstation || kind == K().mineTransformer;
}

// Depth first from `from` along outgoing lines (references < 0), in the order
// the kernel lists them, as a recursive walk would visit them; an object
// already on the current path is not entered again.
template <class StepRule>
void WalkDownstream(LONG from, CKernelObjectArray& out, StepRule rule) {
    struct Frame {
        LONG object;
        std::vector<LONG> refs;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    std::unordered_set<LONG> onPath;
    stack.push_back({from, References(from)});
    onPath.insert(from);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.refs.size()) {
            onPath.erase(top.object);
            stack.pop_back();
            continue;
        }
        const LONG r = top.refs[top.next++];
        if (r >= 0) continue;
        const LONG next = LineEnd(-r);
        if (next == 0 || onPath.count(next)) continue;
        const Step step = rule(next);
        if (step != Step::Descend) out.Add(next);
        if (step != Step::Append) {
            onPath.insert(next);
            stack.push_back({next, References(next)});   // `top` is not used past this point
        }
    }
}

}  // namespace

LONG CFeederSwitchCalc::EntityOf(LONG handle) const {
    if (!m_entityIndex) m_entityIndex.emplace(&m_objects, &m_ids);
    return m_entityIndex->Find(m_map, handle);
}

void CFeederSwitchCalc::CollectMotors(LONG hObject, CKernelObjectArray& motors) const {
    WalkDownstream(hObject, motors, MotorStep);
}

void CFeederSwitchCalc::CollectLoadsAndProtectors(LONG hObject, CKernelObjectArray& loads) const {
    WalkDownstream(hObject, loads, LoadStep);
}

LONG CFeederSwitchCalc::FindStarter(LONG hMotor) const {
    std::unordered_set<LONG> onPath{hMotor};
    LONG current = hMotor;
    for (;;) {
        const LONG line = FirstIncomingLine(current);
        if (line == 0) return 0;
        const LONG up = LineStart(line);
        if (up == 0 || onPath.count(up)) return 0;
        const CString kind = ObjectKindName(up);
        if (kind == K().starter) return up;
        if (EndsStarterSearch(kind)) return 0;
        onPath.insert(up);
        current = up;
    }
}

StartingGroups CFeederSwitchCalc::ComputeStartingGroups(const CKernelObjectArray& motors) const {
    StartingGroups result;
    double ieOfMax = 0.0;
    std::vector<LONG> handledStarters;
    // Each motor's starter once: the group search asks for every later motor's.
    std::vector<LONG> starters;
    starters.reserve(static_cast<size_t>(motors.GetSize()));
    for (LONG motor : motors) starters.push_back(FindStarter(motor));
    auto handled = [&](LONG starter) {
        return std::find(handledStarters.begin(), handledStarters.end(), starter) != handledStarters.end();
    };

    for (int i = 0; i < motors.GetSize(); ++i) {
        const LONG k = starters[static_cast<size_t>(i)];
        LONG e = EntityOf(motors[i]);
        const bool hasData = HasMotorData(m_map, e) != FALSE;
        const bool groupStart = hasData && IsGroupStartMotor(m_map, &e) != FALSE;
        // A handled starter's jointly starting motors were counted with its
        // group. A motor of that starter that starts on its own is a group of
        // its own: leaving it out would drop its rated current from the sums.
        if (k != 0 && handled(k) && groupStart) continue;

        double gIe = 0.0;
        double gIq = 0.0;
        if (hasData) {
            double values[JD_MOTOR_VALUE_COUNT] = {};
            GetMotorData(m_map, &e, values, JD_MOTOR_VALUE_COUNT);
            const double ie = FiniteOrZero(values[JD_MOTOR_RATED_CURRENT_A]);
            gIe += ie;
            result.totalIe += ie;
            gIq += FiniteOrZero(values[JD_MOTOR_START_CURRENT_A]);
            if (groupStart) {
                for (int j = i + 1; j < motors.GetSize() && k != 0; ++j) {
                    if (starters[static_cast<size_t>(j)] != k) continue;
                    LONG ej = EntityOf(motors[j]);
                    if (!HasMotorData(m_map, ej) || !IsGroupStartMotor(m_map, &ej)) continue;
                    double other[JD_MOTOR_VALUE_COUNT] = {};
                    GetMotorData(m_map, &ej, other, JD_MOTOR_VALUE_COUNT);
                    const double iej = FiniteOrZero(other[JD_MOTOR_RATED_CURRENT_A]);
                    gIe += iej;
                    result.totalIe += iej;
                    gIq += FiniteOrZero(other[JD_MOTOR_START_CURRENT_A]);
                    if (!handled(k)) handledStarters.push_back(k);
                }
            }
        }
        if (gIq > result.maxStart) {   // of equal groups the first stays
            result.maxStart = gIq;
            ieOfMax = gIe;
        }
    }
    result.restIe = result.totalIe - ieOfMax;
    return result;
}

double CFeederSwitchCalc::ComputeShortSetting(const CKernelObjectArray& motors) const {
    const StartingGroups groups = ComputeStartingGroups(motors);
    return groups.maxStart + groups.restIe;
}

double CFeederSwitchCalc::ComputeOverloadSetting(const CKernelObjectArray& motors) const {
    double sum = 0.0;
    for (LONG motor : motors) {
        LONG e = EntityOf(motor);
        if (!HasMotorData(m_map, e)) continue;
        double values[JD_MOTOR_VALUE_COUNT] = {};
        GetMotorData(m_map, &e, values, JD_MOTOR_VALUE_COUNT);
        sum += FiniteOrZero(values[JD_MOTOR_RATED_CURRENT_A]);
    }
    return sum;
}

void CFeederSwitchCalc::CollectFeederPath(LONG hObject, LONG hFrom, CKernelObjectArray& lines) const {
    std::unordered_set<LONG> onPath{hFrom};
    LONG from = hFrom;
    while (from != 0) {
        const LONG line = FirstIncomingLine(from);
        if (line == 0) return;
        const LONG up = LineStart(line);
        // A line leading back into the path (a loop drawn by mistake) is not
        // part of the run: its length would be counted twice.
        if (up != 0 && up != hObject && onPath.count(up)) return;
        lines.Add(line);
        if (up == hObject) return;
        onPath.insert(up);
        from = up;
    }
}

LONG CFeederSwitchCalc::FindPointOfLoad(const CString& loadName) const {
    return FindShortPointOfOwner(m_map, m_objects, m_ids, loadName);
}

LONG CFeederSwitchCalc::FindPointByName(const CString& pointName) const {
    return FindShortPointByName(m_objects, pointName);
}

double CFeederSwitchCalc::ConvertedLength(const CKernelObjectArray& lines) const {
    double total = 0.0;
    for (LONG line : lines) {
        const LONG entity = EntityOf(line);
        CableModelRecord model;
        model.Read(m_map, entity);   // a cable without model record: cross-section 0, factor 0
        CableLengthRecord length;
        length.Read(m_map, entity);
        const double section = model.crossSectionMm2;
        const int sectionMm2 = std::isfinite(section) && section > 0.0 && section < 1e6 ? static_cast<int>(section) : 0;
        total += GetLengthFactor(kLengthFactorMode, sectionMm2) * FiniteOrZero(length.lengthM);
    }
    return FiniteOrZero(total);
}

LONG CFeederSwitchCalc::FindDefaultShortPoint(LONG hObject, const CKernelObjectArray& loads, CString& name) const {
    LONG best = 0;
    double bestLength = 0.0;
    for (LONG load : loads) {
        const LONG point = FindPointOfLoad(ObjectName(load));
        if (point == 0) continue;
        CKernelObjectArray lines;
        CollectFeederPath(hObject, load, lines);
        const double length = ConvertedLength(lines);
        if (length > bestLength) {   // a run of length 0 is never chosen; of equal runs the first stays
            bestLength = length;
            best = point;
        }
    }
    if (best != 0) name = ObjectName(best);
    return best;
}

double ComputeOverloadStep(double overloadSettingA, double ratedCurrentA) {
    return RoundByFormat(SafeRatio(overloadSettingA, ratedCurrentA), "%.2f");
}

double MultipleToCurrent(double multiple, double ratedCurrentA) { return FiniteOrZero(multiple * ratedCurrentA); }

double CurrentToMultiple(double settingCurrentA, double ratedCurrentA) {
    return SafeRatio(settingCurrentA, ratedCurrentA);
}

bool IsUserMultipleAllowed(double multiple) { return multiple >= kMinUserMultiple && multiple <= kMaxUserMultiple; }

double RoundToCents(double value) { return RoundByFormat(FiniteOrZero(value), "%0.2f"); }
