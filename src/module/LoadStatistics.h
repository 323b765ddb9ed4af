#pragma once
// Load statistics of a transformer by the demand-coefficient method: the
// coefficient rules of the load types, the ranges a hand-typed coefficient
// must keep, the apparent power, and the sums the Set Transformer dialog
// gathers from the map on opening (feeder sum, high-voltage-side currents,
// motor powers). No user interface here: the dialog's handlers call these.
//
// Source of the rules: the demand-coefficient tables of the coal-mine
// power-supply design rules as the product applies them (Kr and cosφ by load
// type, Ks by number of faces). Powers in kW, apparent power in kVA,
// currents in A. Load-type texts are GBK, as the combo box holds them.
#include <optional>
#include <vector>

#include "module/ModuleResources.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// The items of the load-type combo (5027) and the faces combo (5028), UTF-8,
// in index order. The coefficient rules match the load-type texts exactly.
JDMODULE_API const std::vector<const char*>& LoadTypeItemsUtf8();
JDMODULE_API const std::vector<const char*>& FacesItemsUtf8();

// Index of a load-type text (GBK) among the items above, -1 for any other text.
JDMODULE_API int FindLoadTypeIndex(const CString& loadType);
// Index 0 of combo 5027: the only type whose Kr depends on the support type.
inline constexpr int kFullyMechanisedFace = 0;
inline constexpr int kCustomLoadType = 11;

// Support types of radios 5041 / 5042; -1 while the radios are hidden.
inline constexpr int kSupportSingleProps = 0;
inline constexpr int kSupportSelfAdvancing = 1;
inline constexpr int kSupportNone = -1;

// What the coefficient table decides. Members the table leaves alone keep
// the values they came in with.
struct LoadCoefficients {
    double kr = 0.0;
    double cosPhi = 0.0;
    double ks = 0.0;
    bool krEnabled = true;      // edit 5038 open for typing
    bool cosPhiEnabled = true;  // edit 5039
    bool ksEnabled = true;      // edit 5040
};

// Kr of a face, rounded to 4 decimals ("%.4f" and back):
//   single props          Kr = 0.286 + 0.714 · Pmax/ΣPe
//   self-advancing        Kr = 0.4 + 0.6 · Pmax/ΣPe
// nullopt when no support type is chosen or ΣPe is zero (the formula would
// divide by zero): the caller keeps its Kr then.
JDMODULE_API std::optional<double> FaceDemandCoefficient(int supportType, double maxMotorPowerKW,
                                                         double totalMotorPowerKW);

// Ks by the faces index: 0 → 1.0, 1 → 0.95, 2 → 0.9; nullopt for any other index.
JDMODULE_API std::optional<double> SimultaneityCoefficient(int facesIndex);

// The coefficient table and the Ks rule. A load type that matches no rule
// leaves Kr, cosφ and all three edit states as they are; Ks follows the
// faces index in every case. Returns whether the load type matched a rule.
JDMODULE_API bool ApplyCoefficientTable(const CString& loadType, int facesIndex, int supportType,
                                        double maxMotorPowerKW, double totalMotorPowerKW, LoadCoefficients& c);

// A range a hand-typed coefficient must keep (both ends included) and the
// message (GBK) shown when it does not.
struct CoefficientRange {
    double low = 0.0;
    double high = 0.0;
    CString message;
    bool Contains(double value) const { return value >= low && value <= high; }
};
// nullopt: the load type does not test that coefficient.
JDMODULE_API std::optional<CoefficientRange> DemandCoefficientRange(const CString& loadType);
JDMODULE_API std::optional<CoefficientRange> PowerFactorRange(const CString& loadType);

// S = ΣPe · Kr · Ks / cosφ, kVA. 0 when ΣPe is zero (no running motor) and,
// rather than dividing by zero, when cosφ is zero.
JDMODULE_API double CalcApparentPowerKVA(double totalMotorPowerKW, double kr, double ks, double cosPhi);

// The motors of the list that take part in the statistics, in list order:
// all of them when spare motors count, else those the library reports running.
JDMODULE_API CKernelObjectArray SelectCountedMotors(const CKernelObjectArray& motors, bool spareMotorsCount);

// Pmax and ΣPe of the motors that take part: rated powers from the motor
// data of each motor's entity. Motors without data count nothing.
struct MotorPowers {
    double maxKW = 0.0;
    double totalKW = 0.0;
};
JDMODULE_API MotorPowers SumMotorPowers(CMorvaObjects* map, const CKernelObjectArray& motors,
                                        CKernelObjectArray* objectList, CEntityIdArray* idList);

// Sum of sub-index 0 of the transformer's outgoing lines (the cable lengths)
// whose far end is a device that is not a transformer. 0 when the kernel
// knows no connections.
JDMODULE_API double SumFeederValues(LONG hTransformer);

// The high-voltage-side currents shown in the group "井下高压计算须用数据".
struct HighVoltageCurrents {
    double maxStartCurrentA = 0.0;
    double otherRatedCurrentA = 0.0;
    double totalRatedCurrentA = 0.0;
};
// From the library's motor currents; the maximum starting current and the
// other rated currents rounded to 2 decimals. When both of those are zero
// the values stored in the load record (sub-indices 7, 8, 10) are taken
// instead, provided the library returns exactly three texts. A caller that
// holds the transformer's supplied motors (CollectSuppliedMotors on the map as
// it is) passes them, and the network is not walked again for them.
JDMODULE_API HighVoltageCurrents ComputeHighVoltageCurrents(CMorvaObjects* map, LONG hTransformer,
                                                            CKernelObjectArray& statMotors,
                                                            CKernelBlockArray& statBlocks,
                                                            const CKernelObjectArray* suppliedMotors = nullptr);
