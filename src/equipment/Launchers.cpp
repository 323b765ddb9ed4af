// The points where the command module plugs its dialogs into the library.
// The library never includes the module; the module registers functions here
// when it loads and clears them when it unloads.
#include <mutex>
#include <utility>

#include "equipment/MapRoutines.h"
#include "platform/PlatformError.h"

namespace {

struct Launchers {
    std::mutex mutex;
    SetTransformerLauncher setTransformer;
    HeadLauncher highVoltageHead;
    HeadLauncher lowVoltageHead;
};

Launchers& Registered() {
    static Launchers launchers;
    return launchers;
}

template <class F>
F Copy(F Launchers::*member) {
    Launchers& launchers = Registered();
    std::lock_guard<std::mutex> lock(launchers.mutex);
    return launchers.*member;
}

}  // namespace

void RegisterSetTransformerLauncher(SetTransformerLauncher launcher) {
    Launchers& launchers = Registered();
    std::lock_guard<std::mutex> lock(launchers.mutex);
    launchers.setTransformer = std::move(launcher);
}

void RegisterHeadLaunchers(HeadLauncher highVoltage, HeadLauncher lowVoltage) {
    Launchers& launchers = Registered();
    std::lock_guard<std::mutex> lock(launchers.mutex);
    launchers.highVoltageHead = std::move(highVoltage);
    launchers.lowVoltageHead = std::move(lowVoltage);
}

void RegisterHighVoltageHeadLauncher(HeadLauncher highVoltage) {
    Launchers& launchers = Registered();
    std::lock_guard<std::mutex> lock(launchers.mutex);
    launchers.highVoltageHead = std::move(highVoltage);
}

void RegisterLowVoltageHeadLauncher(HeadLauncher lowVoltage) {
    Launchers& launchers = Registered();
    std::lock_guard<std::mutex> lock(launchers.mutex);
    launchers.lowVoltageHead = std::move(lowVoltage);
}

bool HasSetTransformerLauncher() { return static_cast<bool>(Copy(&Launchers::setTransformer)); }

// The launcher is copied out of the registry before it runs, so that a
// dialog that re-registers (or a module that unloads meanwhile) cannot pull
// the function from under its own call.
int RunSetTransformer(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds, LONG nEntityId,
                      LONG hObject) {
    const SetTransformerLauncher launcher = Copy(&Launchers::setTransformer);
    if (!launcher) {
        ReportPlatformDiagnostic(CString::Formatted(
            "pnJDBase: RunSetTransformer(entity %d, handle %d): no set-transformer dialog is registered; "
            "nothing was set",
            static_cast<int>(nEntityId), static_cast<int>(hObject)));
        return 0;
    }
    return launcher(pMap, pObjects, pIds, nEntityId, hObject);
}

namespace {

int RunHead(const char* routine, HeadLauncher Launchers::*member, CMorvaObjects* pMap, CKernelObjectArray* pObjects,
            CEntityIdArray* pIds, LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet) {
    const HeadLauncher launcher = Copy(member);
    if (!launcher) {
        ReportPlatformDiagnostic(CString::Formatted(
            "pnJDBase: %s(entity %d, handle %d): no head-setting dialog is registered; nothing was set", routine,
            static_cast<int>(nEntityId), static_cast<int>(hObject)));
        return 0;
    }
    return launcher(pMap, pObjects, pIds, nHeadParam, nEntityId, hObject, pSet);
}

}  // namespace

int SetHighVoltageHead(int /*nMode*/, CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                       LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet) {
    return RunHead("SetHighVoltageHead", &Launchers::highVoltageHead, pMap, pObjects, pIds, nHeadParam, nEntityId,
                   hObject, pSet);
}

int SetLowVoltageHead(int /*nMode*/, CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                      LONG nHeadParam, LONG nEntityId, LONG hObject, int* pSet, int /*nReserved1*/,
                      int /*nReserved2*/, int /*nReserved3*/, int /*nReserved4*/) {
    return RunHead("SetLowVoltageHead", &Launchers::lowVoltageHead, pMap, pObjects, pIds, nHeadParam, nEntityId,
                   hObject, pSet);
}
