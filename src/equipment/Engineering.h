#pragma once
// The network engineering of the equipment library as plain functions: cable
// impedances and conversion lengths, transformer impedance and ratio, the
// two-phase short-circuit current, voltage losses. No map, no catalogue, no
// user interface here; docs/engineering.md gives every formula with its units
// and source, and the check values the tests use.
#include <optional>

#include "equipment/Export.h"

namespace jdeng {

// Parameters of the network calculations that the handbooks leave open. The
// defaults are what docs/engineering.md explains; a host may change them for
// a project.
struct NetworkParameters {
    // Three-phase short-circuit capacity at the high-voltage distribution box
    // bus, MVA (system reactance Xx = U2² / Sk).
    double systemShortCircuitMVA = 50.0;
    // Copper conductivity γ of the voltage-loss formulas, m/(Ω·mm²).
    double conductivity = 42.5;
    // Load factor Kf of a branch cable (one motor's cable).
    double branchLoadFactor = 0.8;
    // Motor efficiency ηd of the branch-cable formula.
    double motorEfficiency = 0.9;
};
JDBASE_API NetworkParameters GetNetworkParameters();
JDBASE_API void SetNetworkParameters(const NetworkParameters& parameters);

// Per-phase resistance and reactance of a mine flexible rubber cable, Ω/km.
struct CableImpedance {
    double r0OhmPerKm = 0.0;
    double x0OhmPerKm = 0.0;
};
// The handbook's table for 4 … 120 mm²; between its rows R0 is interpolated
// linearly in 1/S (resistance goes with 1/S) and X0 linearly in S; beyond the
// table R0 scales as 1/S from the nearest row and X0 is that row's. nullopt for
// a cross-section of 0 or less.
JDBASE_API std::optional<CableImpedance> MineCableImpedance(double crossSectionMm2);

// Impedance of a cable run, Ω.
struct Impedance {
    double rOhm = 0.0;
    double xOhm = 0.0;
};
// R = R0·L/1000, X = X0·L/1000 (L in m). nullopt without a cross-section.
JDBASE_API std::optional<Impedance> CableRunImpedance(double crossSectionMm2, double lengthM);

// Conversion factor K of a cable to the reference cable: networks 380/660/1140 V
// (nMode 1, reference 50 mm²) or 127 V (nMode 0, reference 4 mm²). Table values
// for the listed cross-sections; others K = Z0(S) / Z0(reference) from
// MineCableImpedance. 0 for a cross-section of 0 or less.
JDBASE_API double LengthFactor(int mode, int crossSectionMm2);

// Transformer resistance and reactance referred to the secondary side, Ω:
// R_T = ΔPk·(U2 / (SN·1000))², Z_T = (U2/1000)²·uk·10 / SN, X_T = √(Z_T² − R_T²).
// ΔPk in W, U2 in V, SN in kVA, uk in %. nullopt when SN or U2 is not positive
// or Z_T < R_T (inconsistent data).
JDBASE_API std::optional<Impedance> TransformerImpedance(double shortCircuitLossW, double secondaryV, double capacityKVA,
                                                        double impedancePercent);

// Ratio Kb = U1 / U2 by which high-voltage impedances are referred to the
// secondary side (divided by Kb²): the handbook's quoted ratios for 6000 and
// 10000 V to 400, 690 and 1200 V (15, 8.7, 5; 25, 14.5, 8.3), otherwise U1/U2.
// 0 when either voltage is not positive.
JDBASE_API double TransformerRatio(double primaryV, double secondaryV);

// System reactance Xx = (U2/1000)² / Sk, Ω (U2 in V, Sk in MVA); 0 when Sk ≤ 0.
JDBASE_API double SystemReactance(double secondaryV, double shortCircuitMVA);

// Two-phase short-circuit current Id(2) = U / (2·√(ΣR² + ΣX²)), A (U in V,
// ΣR, ΣX in Ω); 0 when the loop impedance is zero.
JDBASE_API double TwoPhaseShortCircuitCurrent(double voltageV, double sumROhm, double sumXOhm);

// Transformer voltage loss ΔUb = β·(uR%·cosφ + uX%·sinφ)·U2e / 100, V, with
// uR% = ΔPk / (10·Se) and uX% = √(uk%² − uR%²). β the load factor S/Se.
// 0 when Se ≤ 0 or uk < uR.
JDBASE_API double TransformerVoltageLoss(double loadFactor, double shortCircuitLossW, double capacityKVA,
                                        double impedancePercent, double cosPhi, double secondaryV);

// Cable voltage loss ΔU = K·P·L·1000 / (γ·Ue·A·η), V: K the demand (trunk) or
// load (branch) factor, P in kW, L in m, γ in m/(Ω·mm²), Ue in V, A in mm²,
// η the motor efficiency (1 for a trunk cable). 0 when a divisor is not positive.
JDBASE_API double CableVoltageLoss(double factor, double powerKW, double lengthM, double conductivity, double ratedV,
                                  double crossSectionMm2, double efficiency = 1.0);

// The rated network voltage Ue that a transformer's secondary voltage U2e
// feeds: 400 → 380, 690 → 660, 1200 → 1140, 3450 → 3300; any other U2e is
// taken as Ue itself.
JDBASE_API double NetworkRatedVoltage(double secondaryV);

// Stand-in transformer data when neither the map nor the catalogue knows the
// model: impedance voltage 4 % up to 500 kVA, 4.5 % above; load loss of the
// handbook's distribution-transformer rows (200 … 800 kVA), 0 for other
// capacities (the transformer is then taken as a pure reactance).
struct TransformerData {
    double capacityKVA = 0.0;
    double primaryV = 0.0;
    double secondaryV = 0.0;
    double shortCircuitLossW = 0.0;
    double impedancePercent = 0.0;
};
JDBASE_API TransformerData ReferenceTransformerData(double capacityKVA, double primaryV, double secondaryV);

}  // namespace jdeng
