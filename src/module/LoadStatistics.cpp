#include "module/LoadStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

#include "equipment/MapRoutines.h"
#include "host/Kernel.h"
#include "platform/Gbk.h"

namespace {

// One row of the coefficient table. A Kr of the formula rows is computed
// from the motor powers instead of taken from `kr`.
enum class KrRule { Fixed, FaceBySupport, SelfAdvancingFormula };

struct LoadTypeRule {
    const char* name;  // UTF-8, the combo item
    KrRule krRule;
    double kr;
    double cosPhi;
    bool krEnabled;
    bool cosPhiEnabled;
};

// Index order is the combo's item order.
const LoadTypeRule kRules[] = {
    {"综采工作面", KrRule::FaceBySupport, 0.0, 0.7, false, false},
    {"一般机械化工作面", KrRule::SelfAdvancingFormula, 0.0, 0.65, false, true},
    {"炮采工作面（缓倾斜煤层）", KrRule::Fixed, 0.45, 0.6, true, false},
    {"炮采工作面（急倾斜煤层）", KrRule::Fixed, 0.55, 0.7, true, false},
    {"掘进工作面", KrRule::Fixed, 0.35, 0.6, true, false},
    {"架线电机车", KrRule::Fixed, 0.55, 0.9, true, false},
    {"蓄电池电机车", KrRule::Fixed, 0.8, 0.9, false, false},
    {"输送机", KrRule::Fixed, 0.5, 0.7, false, false},
    {"井底车场", KrRule::Fixed, 0.65, 0.7, true, false},
    {"无主排水设备", KrRule::Fixed, 0.65, 0.7, true, false},
    {"有主排水设备", KrRule::Fixed, 1.0, 1.0, false, false},
    {"自定义类型", KrRule::Fixed, 1.0, 1.0, true, true},
};
constexpr int kRuleCount = static_cast<int>(sizeof(kRules) / sizeof(kRules[0]));

struct RangeRow {
    int loadType;
    double low;
    double high;
    const char* message;  // UTF-8; the first two carry "的", the others do not
};

const RangeRow kKrRanges[] = {
    {2, 0.4, 0.5, "请输入一个0.4~0.5的数字"},
    {3, 0.5, 0.6, "请输入一个0.5~0.6的数字"},
    {4, 0.3, 0.4, "请输入一个0.3~0.4数字"},
    {5, 0.45, 0.65, "请输入一个0.45~0.65数字"},
    {8, 0.6, 0.7, "请输入一个0.6~0.7数字"},
    {9, 0.6, 0.7, "请输入一个0.6~0.7数字"},
};
const RangeRow kCosPhiRanges[] = {
    {1, 0.6, 0.7, "请输入一个0.6~0.7的数字"},
};

std::optional<CoefficientRange> FindRange(const RangeRow* rows, size_t count, const CString& loadType) {
    const int index = FindLoadTypeIndex(loadType);
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].loadType == index) return CoefficientRange{rows[i].low, rows[i].high, FromUtf8(rows[i].message)};
    }
    return std::nullopt;
}

double Round4(double value) { return RoundByFormat(value, "%.4f"); }

}  // namespace

const std::vector<const char*>& LoadTypeItemsUtf8() {
    static const std::vector<const char*> items = [] {
        std::vector<const char*> names;
        for (const LoadTypeRule& rule : kRules) names.push_back(rule.name);
        return names;
    }();
    return items;
}

const std::vector<const char*>& FacesItemsUtf8() {
    static const std::vector<const char*> items = {"一个工作面", "两个工作面", "三个及三个以上工作面"};
    return items;
}

int FindLoadTypeIndex(const CString& loadType) {
    static const std::vector<CString> gbkNames = [] {
        std::vector<CString> names;
        for (const LoadTypeRule& rule : kRules) names.push_back(FromUtf8(rule.name));
        return names;
    }();
    for (int i = 0; i < kRuleCount; ++i) {
        if (gbkNames[static_cast<size_t>(i)] == loadType) return i;
    }
    return -1;
}

std::optional<double> FaceDemandCoefficient(int supportType, double maxMotorPowerKW, double totalMotorPowerKW) {
    if (IsZero(totalMotorPowerKW)) return std::nullopt;
    const double ratio = maxMotorPowerKW / totalMotorPowerKW;
    if (supportType == kSupportSingleProps) return Round4(0.286 + 0.714 * ratio);
    if (supportType == kSupportSelfAdvancing) return Round4(0.4 + 0.6 * ratio);
    return std::nullopt;
}

std::optional<double> SimultaneityCoefficient(int facesIndex) {
    switch (facesIndex) {
        case 0: return 1.0;
        case 1: return 0.95;
        case 2: return 0.9;
        default: return std::nullopt;
    }
}

bool ApplyCoefficientTable(const CString& loadType, int facesIndex, int supportType, double maxMotorPowerKW,
                           double totalMotorPowerKW, LoadCoefficients& c) {
    const int index = FindLoadTypeIndex(loadType);
    if (index >= 0) {
        const LoadTypeRule& rule = kRules[index];
        switch (rule.krRule) {
            case KrRule::Fixed:
                c.kr = rule.kr;
                break;
            case KrRule::FaceBySupport:
                // Without a support type (or without motors) Kr stays, rounded as the table says.
                c.kr = Round4(FaceDemandCoefficient(supportType, maxMotorPowerKW, totalMotorPowerKW).value_or(c.kr));
                break;
            case KrRule::SelfAdvancingFormula:
                if (auto kr = FaceDemandCoefficient(kSupportSelfAdvancing, maxMotorPowerKW, totalMotorPowerKW)) c.kr = *kr;
                break;
        }
        c.cosPhi = rule.cosPhi;
        c.krEnabled = rule.krEnabled;
        c.cosPhiEnabled = rule.cosPhiEnabled;
        c.ksEnabled = index == kCustomLoadType;
    }
    if (auto ks = SimultaneityCoefficient(facesIndex)) c.ks = *ks;
    return index >= 0;
}

std::optional<CoefficientRange> DemandCoefficientRange(const CString& loadType) {
    return FindRange(kKrRanges, sizeof(kKrRanges) / sizeof(kKrRanges[0]), loadType);
}

std::optional<CoefficientRange> PowerFactorRange(const CString& loadType) {
    return FindRange(kCosPhiRanges, sizeof(kCosPhiRanges) / sizeof(kCosPhiRanges[0]), loadType);
}

double CalcApparentPowerKVA(double totalMotorPowerKW, double kr, double ks, double cosPhi) {
    if (IsZero(totalMotorPowerKW) || IsZero(cosPhi)) return 0.0;
    return totalMotorPowerKW * kr * ks / cosPhi;
}

CKernelObjectArray SelectCountedMotors(const CKernelObjectArray& motors, bool spareMotorsCount) {
    CKernelObjectArray counted;
    for (LONG motor : motors) {
        if (spareMotorsCount || IsMotorRunning(motor)) counted.Add(motor);
    }
    return counted;
}

namespace {

// GetObjectEntity's answer for each of the motors: the id at the motor's first
// place in the lists, else the map's. One pass over the lists, keeping only
// the motors (a mine's lists hold every object of the map, the running motors
// are a few of them), and ending as soon as every motor has its place.
std::unordered_map<LONG, LONG> EntitiesOfMotors(CMorvaObjects* map, const CKernelObjectArray& motors,
                                                const CKernelObjectArray* objectList, const CEntityIdArray* idList) {
    struct Place {
        LONG id = 0;
        bool found = false;
    };
    std::unordered_map<LONG, Place> places;
    places.reserve(static_cast<size_t>(motors.GetSize()));
    for (LONG motor : motors) {
        if (motor != 0) places.try_emplace(motor);
    }
    size_t unplaced = places.size();
    if (objectList && idList) {
        const int n = std::min(objectList->GetSize(), idList->GetSize());
        for (int i = 0; i < n && unplaced > 0; ++i) {
            const auto it = places.find(objectList->GetAt(i));
            if (it == places.end() || it->second.found) continue;
            it->second = Place{idList->GetAt(i), true};
            --unplaced;
        }
    }
    std::unordered_map<LONG, LONG> entities;
    entities.reserve(places.size());
    for (const auto& [motor, place] : places) {
        entities.emplace(motor, place.found ? place.id : GetObjectEntity(map, motor, nullptr, nullptr));
    }
    return entities;
}

}  // namespace

MotorPowers SumMotorPowers(CMorvaObjects* map, const CKernelObjectArray& motors, CKernelObjectArray* objectList,
                           CEntityIdArray* idList) {
    MotorPowers powers;
    const std::unordered_map<LONG, LONG> entities = EntitiesOfMotors(map, motors, objectList, idList);
    for (LONG motor : motors) {
        const auto found = entities.find(motor);
        LONG entityId = found == entities.end() ? 0 : found->second;
        double values[JD_MOTOR_VALUE_COUNT] = {};
        if (entityId == 0 || !GetMotorData(map, &entityId, values, JD_MOTOR_VALUE_COUNT)) continue;
        const double ratedKW = values[JD_MOTOR_RATED_POWER_KW];
        powers.totalKW += ratedKW;
        if (ratedKW > powers.maxKW) powers.maxKW = ratedKW;
    }
    return powers;
}

double SumFeederValues(LONG hTransformer) {
    LONG count = 0;
    if (!QueryObject(hTransformer, KernelQuery::ConnectionCount, &count, 1) || count <= 0) return 0.0;
    std::vector<LONG> connections(static_cast<size_t>(count), 0);
    if (!QueryObject(hTransformer, KernelQuery::ConnectionList, connections.data(), count)) return 0.0;
    double sum = 0.0;
    // One array for every line: a large unit's transformer feeds thousands.
    CStringArray values;
    for (LONG connection : connections) {
        if (connection >= 0) continue;  // only lines leaving the transformer
        const LONG line = -connection;
        LONG device = 0;
        QueryObject(line, KernelQuery::LineEndObject, &device, 1);
        if (device == 0 || IsTransformer(device)) continue;
        int subs[1] = {JD_LINE_LENGTH_M};
        if (ReadLineValues(line, 1, subs, &values) >= 1) sum += ParseDouble(values[0]);
    }
    return sum;
}

HighVoltageCurrents ComputeHighVoltageCurrents(CMorvaObjects* map, LONG hTransformer, CKernelObjectArray& statMotors,
                                               CKernelBlockArray& statBlocks, const CKernelObjectArray* suppliedMotors) {
    HighVoltageCurrents currents;
    {
        // Nothing changes the drawing here: the starters found for the blocks
        // are remembered for the currents, and each run upwards is followed once.
        const CUnchangedLinesScope linesStay;
        if (suppliedMotors) {
            CollectStatMotorsOf(map, hTransformer, suppliedMotors, &statMotors, &statBlocks, 0);
        } else {
            CollectStatMotors(map, hTransformer, &statMotors, &statBlocks, 0);
        }
        CalcMotorCurrents(&statMotors, &currents.maxStartCurrentA, &currents.totalRatedCurrentA,
                          &currents.otherRatedCurrentA);
    }
    currents.maxStartCurrentA = RoundByFormat(currents.maxStartCurrentA, "%0.2f");
    currents.otherRatedCurrentA = RoundByFormat(currents.otherRatedCurrentA, "%0.2f");
    if (IsZero(currents.maxStartCurrentA) && IsZero(currents.otherRatedCurrentA)) {
        // Nothing to compute from: show what the last OK stored (sub-indices 7, 8, 10 of the load record).
        int subs[3] = {7, 8, 10};
        CStringArray stored;
        if (ReadObjectValues(hTransformer, 3, subs, &stored) == 3 && stored.GetSize() == 3) {
            currents.maxStartCurrentA = ParseDouble(stored[0]);
            currents.otherRatedCurrentA = ParseDouble(stored[1]);
            currents.totalRatedCurrentA = ParseDouble(stored[2]);
        }
    }
    return currents;
}
