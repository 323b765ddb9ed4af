#pragma once
// The feeder switch setting: which motors the low-voltage feeder switch at a
// transformer's outlet feeds, their starting groups, the overload and
// short-circuit settings they require, the overload step of a switch model,
// the electronic protection's multiple/current conversion, and the
// short-circuit point its sensitivity is checked against by default.
//
// The walks follow the kernel's topology (QueryObject 16428/16429 for an
// object's line references, 58/59 for a line's ends, 16397 for kinds) one
// object at a time with an explicit stack: a drawing may be 100,000 objects
// deep. They assume a radial network; a loop drawn by mistake ends the walk
// where it reaches an object already on the path being followed.
//
// Setting rules for low-voltage feeder switches (docs/engineering.md §5,
// "井下电气设备过载整定计算书"): short-circuit setting Iz ≥ IQe + Kx·ΣIe with
// Kx = 1 (the largest starting group's current plus the rated currents of all
// other motors), overload setting ΣIe (K = 1), sensitivity Id(2) / Iz ≥ 1.5
// at the far end of the protected run. All currents in A.
#include <optional>

#include "equipment/MapRoutines.h"
#include "module/ModuleResources.h"
#include "platform/Arrays.h"
#include "platform/CString.h"
#include "platform/Types.h"

class CMorvaObjects;

// Result of ComputeStartingGroups, A.
struct StartingGroups {
    double maxStart = 0.0;  // largest starting current of one starting group
    double totalIe = 0.0;   // rated currents of all counted motors
    double restIe = 0.0;    // totalIe minus the rated currents of the group that gave maxStart
};

// Largest multiple a user may set for electronic protection, and the least.
inline constexpr double kMaxUserMultiple = 10.0;
inline constexpr double kMinUserMultiple = 1.0;

// The calculations over one map: the map control and the map's two parallel
// object lists, as the Set Feeder Switch dialog holds them.
class JDMODULE_API CFeederSwitchCalc {
public:
    CFeederSwitchCalc(CMorvaObjects* map, const CKernelObjectArray& objects, const CEntityIdArray& ids)
        : m_map(map), m_objects(objects), m_ids(ids) {}

    // Appends the motors fed from the object, depth first in connection order.
    void CollectMotors(LONG hObject, CKernelObjectArray& motors) const;
    // The same walk appending motors and protection units ("综保", also
    // descended into).
    void CollectLoadsAndProtectors(LONG hObject, CKernelObjectArray& loads) const;
    // The motor's starter up its first incoming line, object by object; 0 when
    // a protection unit or transformer comes first, or the chain ends.
    LONG FindStarter(LONG hMotor) const;
    StartingGroups ComputeStartingGroups(const CKernelObjectArray& motors) const;
    // maxStart + restIe.
    double ComputeShortSetting(const CKernelObjectArray& motors) const;
    // ΣIe of the motors that carry motor data.
    double ComputeOverloadSetting(const CKernelObjectArray& motors) const;
    // Appends the lines from the load up to the switch's object, first line first.
    void CollectFeederPath(LONG hObject, LONG hFrom, CKernelObjectArray& lines) const;
    LONG FindPointOfLoad(const CString& loadName) const;
    LONG FindPointByName(const CString& pointName) const;
    // The point at the end of the longest converted cable run among the loads'
    // points; 0 when no run has a converted length above 0. `name` receives
    // the chosen point's name (untouched when none is chosen).
    LONG FindDefaultShortPoint(LONG hObject, const CKernelObjectArray& loads, CString& name) const;
    // Σ GetLengthFactor(1, cross-section) × length over the lines, m of the
    // reference cable.
    double ConvertedLength(const CKernelObjectArray& lines) const;

    LONG EntityOf(LONG handle) const;

private:
    CMorvaObjects* m_map;
    const CKernelObjectArray& m_objects;
    const CEntityIdArray& m_ids;
    // The lists indexed at the first look-up (a long cable run asks for thousands).
    mutable std::optional<CObjectEntityIndex> m_entityIndex;
};

// Overload step of a model with rated current In: overload setting / In to
// two decimals ("%.2f"); 0 for a model without rated current.
JDMODULE_API double ComputeOverloadStep(double overloadSettingA, double ratedCurrentA);
// Electronic protection: Iset = m × In, and back m = Iset / In (0 for In 0).
JDMODULE_API double MultipleToCurrent(double multiple, double ratedCurrentA);
JDMODULE_API double CurrentToMultiple(double settingCurrentA, double ratedCurrentA);
// 1 ≤ m ≤ 10 (both ends accepted); NaN is refused.
JDMODULE_API bool IsUserMultipleAllowed(double multiple);
// Rounded as the dialog shows and stores it ("%0.2f" and back); 0 for a value that is not finite.
JDMODULE_API double RoundToCents(double value);
