#pragma once
// The transformer's impedance referred to its secondary side, the rewrite of
// the supply paths of the short-circuit points it feeds, and the text of the
// voltage-loss report. Plain functions: the Set Transformer dialog calls them
// on OK and on its voltage-loss button.
#include <optional>

#include "module/ModuleResources.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// R_T and X_T, Ω.
struct TransformerImpedance {
    double resistanceOhm = 0.0;
    double reactanceOhm = 0.0;
};

// From the model's short-circuit loss ΔPk (W), secondary voltage U2 (V),
// rated capacity SN (kVA) and impedance voltage uk (%), as the model record
// returns them (engineering reference of the mine power supply, transformer
// impedance):
//   R_T = ΔPk · (U2 / (SN · 1000))²
//   Z_T = (U2 / 1000)² · uk · 10 / SN
//   X_T = √(Z_T² − R_T²)
// nullopt for catalogue data that give no impedance: SN zero, or Z_T < R_T
// (the square root of a negative number).
JDMODULE_API std::optional<TransformerImpedance> CalcTransformerImpedance(double shortCircuitLossW,
                                                                          double secondaryVoltageV,
                                                                          double capacityKVA,
                                                                          double impedancePercent);

// What the dialog hands to the library for one short-circuit point whose
// path changed: the new path text and the arguments of RecalcShortCircuitPoint.
struct PointPathUpdate {
    int kind = 0;          // 0 or 1, the path's field 0
    CString newPath;
    CString prefix;        // kind 0: the model prefix; kind 1: empty
    CString capacityText;  // kind 0: the capacity "%.0f"; kind 1: empty
    CString fieldText;     // kind 0: the path's field 3; kind 1: "0"
    double sumROhm = 0.0;  // kind 1: ΣR' with the unrounded R_T; kind 0: 0
    double sumXOhm = 0.0;  // kind 1: ΣX'; kind 0: 0
};

// The transformer data a supply path carries.
struct SupplyTransformer {
    CString name;           // the transformer's current name
    CString modelPrefix;    // the model row text before its first "-"
    double capacityKVA = 0.0;
    double resistanceOhm = 0.0;
    double reactanceOhm = 0.0;
};

// The rewrite of one supply path (fields separated and ended by ";"):
//   kind "0": 0;f1;name,prefix,capacity;f3;   — rewritten when the capacity
//             differs by more than 1e-9 or the prefix differs;
//   kind "1": 1;f1;f2;name,R,X;ΣR;ΣX;         — rewritten when R or X,
//             formatted "%.4f", differ as texts; the sums become
//             ΣR − old R + R_T and ΣX − old X + X_T.
// nullopt when the path is left alone: empty, without ";", of another kind,
// or carrying the same transformer data (a changed name alone rewrites nothing).
JDMODULE_API std::optional<PointPathUpdate> RewriteSupplyPath(const CString& path, const SupplyTransformer& t);

// OK's update of the short-circuit points the transformer feeds: the points
// whose paths name it by the name it had when the dialog opened (found among
// the dialog's object lists), each path read, rewritten with RewriteSupplyPath
// and, when it changed, the point recomputed with the secondary voltage
// ("%.0f") and the new path written. Returns the number of points found.
JDMODULE_API int UpdateShortCircuitPointsOf(CMorvaObjects* map, const CString& nameAtOpen,
                                            CKernelObjectArray* objects, CEntityIdArray* ids,
                                            const SupplyTransformer& transformer, double secondaryVoltageV);

// The message of the voltage-loss button (GBK), texts shown as stored:
// total, percentage, and the losses in the transformer, trunk and branch cables.
JDMODULE_API CString FormatVoltageLossReport(const CString& totalV, const CString& percent,
                                             const CString& transformerV, const CString& trunkV,
                                             const CString& branchV);
