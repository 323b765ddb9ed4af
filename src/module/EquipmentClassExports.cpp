// The module exports the implicitly defined members of the equipment classes
// (default and copy constructors, copy assignment, destructors), as the
// library's users expect to find them in it. They are inline members of the
// library's classes, so the compiler emits an out-of-line copy only where one
// is used and not inlined: this file uses each of them once and is compiled
// without inlining (see CMakeLists.txt), and the version script lets them
// through to the dynamic symbol table.
//
// The virtual function tables of the classes whose first virtual member is
// defined in the library live in the library: the C++ ABI emits such a table
// only beside that definition, so a second copy here would be a duplicate
// definition. CJDDatabase, whose virtual members are all pure, has no such
// member; its table is emitted with its constructors, here as well.
#include "equipment/AutomaticSwitch.h"
#include "equipment/ElectricCable.h"
#include "equipment/HighVoltageSwitch.h"
#include "equipment/OtherDevices.h"
#include "equipment/Transformer.h"

namespace {

// Default-constructs, copy-constructs, copy-assigns and destroys one object
// of the class: every implicit member of the class and of its bases runs.
template <class T>
void UseImplicitMembers() {
    T original;
    T copy(original);
    // Through a member pointer the optimiser cannot see through, so that the
    // assignment is emitted whole rather than as a specialised clone.
    T& (T::*volatile assign)(const T&) = &T::operator=;
    (copy.*assign)(original);
}

// The abstract bases cannot be instantiated; their assignment is otherwise
// reached only from the derived ones, where the optimiser may specialise it.
template <class T>
void KeepAssignment() {
    static T& (T::*volatile assign)(const T&) = &T::operator=;
    (void)assign;
}

using Use = void (*)();

}  // namespace

// Marked used so that neither the table nor what it names is dropped.
__attribute__((used)) extern const Use kEquipmentClassMembers[] = {
    &UseImplicitMembers<CTransformer>,        &UseImplicitMembers<CElectricMotor>,
    &UseImplicitMembers<CAutomaticSwitch>,    &UseImplicitMembers<CMagneticSwitch>,
    &UseImplicitMembers<CHighVoltageSwitch>,  &UseImplicitMembers<CColligateProtect>,
    &UseImplicitMembers<CCombineSwitch>,      &UseImplicitMembers<CJiakongLine>,
    &UseImplicitMembers<CSmallUpgradeWinch>,  &UseImplicitMembers<CUpgradeWinch>,
    &UseImplicitMembers<CWireRope>,           &UseImplicitMembers<CPump>,
    &UseImplicitMembers<CElectricLocomotive>, &UseImplicitMembers<CTramcar>,
    &UseImplicitMembers<CFannerCurve>,        &UseImplicitMembers<CPullWheel>,
    &UseImplicitMembers<CRetarder>,           &UseImplicitMembers<CEletromotor>,
    &UseImplicitMembers<CAirCompressor>,      &UseImplicitMembers<CCage>,
    &UseImplicitMembers<CSingleCage>,         &UseImplicitMembers<CMultiCage>,
    &UseImplicitMembers<CSkipBucket>,         &UseImplicitMembers<CSingleSkipBucket>,
    &UseImplicitMembers<CMultiSkipBucket>,    &UseImplicitMembers<CSlantingSkipBucket>,
    &UseImplicitMembers<CElevator>,           &UseImplicitMembers<CSingleRopeElevator>,
    &UseImplicitMembers<CMultiRopeElevator>,  &UseImplicitMembers<CElectricCable>,
    &KeepAssignment<CJDDatabase>,             &KeepAssignment<CDevice>,
};
