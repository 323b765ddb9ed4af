#include "equipment/Engineering.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace jdeng {

namespace {

std::mutex g_parameterMutex;
NetworkParameters g_parameters;

// Mine flexible rubber cables, Ω/km (working temperature 65 °C): the
// handbook table "2相短路电流计算与查表", reference §2.
struct CableRow {
    double section;
    double r0;
    double x0;
};
constexpr std::array<CableRow, 10> kCableTable{{
    {4, 5.5, 0.101},
    {6, 3.693, 0.095},
    {10, 2.159, 0.092},
    {16, 1.369, 0.090},
    {25, 0.8638, 0.088},
    {35, 0.6160, 0.084},
    {50, 0.4484, 0.081},
    {70, 0.3151, 0.078},
    {95, 0.2301, 0.075},
    {120, 0.18, 0.074},
}};

// Conversion coefficients of the same source, reference §3.
struct FactorRow {
    int section;
    double factor;
};
constexpr std::array<FactorRow, 9> kFactors660{{
    {4, 11.97}, {6, 8.11}, {10, 4.75}, {16, 3.01}, {25, 1.91}, {35, 1.37}, {50, 1.00}, {70, 0.73}, {95, 0.53},
}};
constexpr std::array<FactorRow, 4> kFactors127{{{2, 1.64}, {4, 1.00}, {6, 0.58}, {10, 0.34}}};

double Magnitude(const CableImpedance& z) { return std::hypot(z.r0OhmPerKm, z.x0OhmPerKm); }

}  // namespace

NetworkParameters GetNetworkParameters() {
    std::lock_guard<std::mutex> lock(g_parameterMutex);
    return g_parameters;
}

void SetNetworkParameters(const NetworkParameters& parameters) {
    std::lock_guard<std::mutex> lock(g_parameterMutex);
    g_parameters = parameters;
}

std::optional<CableImpedance> MineCableImpedance(double s) {
    if (!(s > 0.0) || !std::isfinite(s)) return std::nullopt;
    const CableRow& first = kCableTable.front();
    const CableRow& last = kCableTable.back();
    if (s <= first.section) return CableImpedance{first.r0 * first.section / s, first.x0};
    if (s >= last.section) return CableImpedance{last.r0 * last.section / s, last.x0};
    for (size_t i = 1; i < kCableTable.size(); ++i) {
        const CableRow& lo = kCableTable[i - 1];
        const CableRow& hi = kCableTable[i];
        if (s > hi.section) continue;
        if (s == hi.section) return CableImpedance{hi.r0, hi.x0};
        // R0 ∝ 1/S: interpolate on 1/S; X0 varies little: interpolate on S.
        const double t = (1.0 / s - 1.0 / lo.section) / (1.0 / hi.section - 1.0 / lo.section);
        const double u = (s - lo.section) / (hi.section - lo.section);
        return CableImpedance{lo.r0 + t * (hi.r0 - lo.r0), lo.x0 + u * (hi.x0 - lo.x0)};
    }
    return CableImpedance{last.r0, last.x0};
}

std::optional<Impedance> CableRunImpedance(double crossSectionMm2, double lengthM) {
    const auto z = MineCableImpedance(crossSectionMm2);
    if (!z) return std::nullopt;
    return Impedance{z->r0OhmPerKm * lengthM / 1000.0, z->x0OhmPerKm * lengthM / 1000.0};
}

double LengthFactor(int mode, int section) {
    if (section <= 0) return 0.0;
    const bool lowVoltage127 = mode == 0;
    if (lowVoltage127) {
        for (const FactorRow& row : kFactors127) {
            if (row.section == section) return row.factor;
        }
    } else {
        for (const FactorRow& row : kFactors660) {
            if (row.section == section) return row.factor;
        }
    }
    const auto z = MineCableImpedance(section);
    const auto reference = MineCableImpedance(lowVoltage127 ? 4.0 : 50.0);
    if (!z || !reference) return 0.0;
    return Magnitude(*z) / Magnitude(*reference);
}

std::optional<Impedance> TransformerImpedance(double lossW, double u2V, double snKVA, double ukPercent) {
    if (!(snKVA > 0.0) || !(u2V > 0.0)) return std::nullopt;
    const double r = lossW * std::pow(u2V / (snKVA * 1000.0), 2.0);
    const double z = std::pow(u2V / 1000.0, 2.0) * ukPercent * 10.0 / snKVA;
    if (z < r) return std::nullopt;
    return Impedance{r, std::sqrt(z * z - r * r)};
}

double TransformerRatio(double u1V, double u2V) {
    if (!(u1V > 0.0) || !(u2V > 0.0)) return 0.0;
    struct QuotedRatio {
        double u1, u2, kb;
    };
    // Reference §1: the ratios the handbook's tables are computed with.
    static constexpr std::array<QuotedRatio, 6> kQuoted{{
        {6000, 400, 15}, {6000, 690, 8.7}, {6000, 1200, 5}, {10000, 400, 25}, {10000, 690, 14.5}, {10000, 1200, 8.3},
    }};
    for (const QuotedRatio& q : kQuoted) {
        if (std::fabs(q.u1 - u1V) < 0.5 && std::fabs(q.u2 - u2V) < 0.5) return q.kb;
    }
    return u1V / u2V;
}

double SystemReactance(double u2V, double skMVA) {
    if (!(skMVA > 0.0)) return 0.0;
    return std::pow(u2V / 1000.0, 2.0) / skMVA;
}

double TwoPhaseShortCircuitCurrent(double voltageV, double sumR, double sumX) {
    const double z = std::hypot(sumR, sumX);
    if (!(z > 0.0)) return 0.0;
    return voltageV / (2.0 * z);
}

double TransformerVoltageLoss(double beta, double lossW, double seKVA, double ukPercent, double cosPhi,
                              double u2V) {
    if (!(seKVA > 0.0)) return 0.0;
    const double uR = lossW / (10.0 * seKVA);
    if (ukPercent < uR) return 0.0;
    const double uX = std::sqrt(ukPercent * ukPercent - uR * uR);
    const double c = std::clamp(cosPhi, 0.0, 1.0);
    const double s = std::sqrt(1.0 - c * c);
    return beta * (uR * c + uX * s) * u2V / 100.0;
}

double CableVoltageLoss(double factor, double powerKW, double lengthM, double gamma, double ratedV, double section,
                        double efficiency) {
    const double divisor = gamma * ratedV * section * efficiency;
    if (!(divisor > 0.0)) return 0.0;
    return factor * powerKW * lengthM * 1000.0 / divisor;
}

double NetworkRatedVoltage(double u2V) {
    struct Level {
        double secondary, network;
    };
    static constexpr std::array<Level, 5> kLevels{{{133, 127}, {400, 380}, {690, 660}, {1200, 1140}, {3450, 3300}}};
    for (const Level& level : kLevels) {
        if (std::fabs(level.secondary - u2V) < 0.5) return level.network;
    }
    return u2V;
}

TransformerData ReferenceTransformerData(double capacityKVA, double primaryV, double secondaryV) {
    // Reference §7: load losses of the 10 kV distribution-transformer rows, W.
    struct LossRow {
        double capacity, lossW;
    };
    static constexpr std::array<LossRow, 6> kLosses{
        {{200, 2600}, {315, 3650}, {400, 4300}, {500, 5100}, {630, 6200}, {800, 7500}}};
    TransformerData data;
    data.capacityKVA = capacityKVA;
    data.primaryV = primaryV;
    data.secondaryV = secondaryV;
    data.impedancePercent = capacityKVA > 500.0 ? 4.5 : 4.0;
    for (const LossRow& row : kLosses) {
        if (std::fabs(row.capacity - capacityKVA) < 0.5) data.shortCircuitLossW = row.lossW;
    }
    return data;
}

}  // namespace jdeng
