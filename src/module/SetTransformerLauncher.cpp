// The launcher behind the equipment library's RunSetTransformer: opens the
// Set Transformer dialog for the picked transformer with every input filled.
// Registered with the library when the module loads, cleared when it unloads.
#include "equipment/JDBase.h"
#include "host/MorvaObjects.h"
#include "module/JDSetTransformerDlg.h"
#include "module/LoadStatistics.h"
#include "module/TransformerRecords.h"

int LaunchSetTransformerDialog(CMorvaObjects* pMap, CKernelObjectArray* pObjects, CEntityIdArray* pIds,
                               LONG nEntityId, LONG hObject) {
    CJDSetTransformerDlg dialog(pMap);
    dialog.m_pMapControl = pMap;
    dialog.m_hObject = hObject;
    dialog.m_nEntityId = nEntityId;
    if (pObjects) dialog.m_objectList.Copy(*pObjects);
    if (pIds) dialog.m_idList.Copy(*pIds);
    // The head routines of the library take no parameter of ours; 0 says so.
    dialog.m_nHeadParam = 0;

    // Pmax and ΣPe of the motors the transformer supplies: the running ones,
    // and the spare ones too when the transformer's load record says they count.
    if (hObject != 0) {
        CKernelObjectArray motors;
        CollectSuppliedMotors(0, hObject, &motors);
        const bool spareMotorsCount = ReadLoadRecord(pMap, nEntityId).spareMotors == 1;
        const MotorPowers powers =
            SumMotorPowers(pMap, SelectCountedMotors(motors, spareMotorsCount), pObjects, pIds);
        dialog.m_dMaxMotorPower = powers.maxKW;
        dialog.m_dTotalMotorPower = powers.totalKW;
        // Nothing changes the drawing before the dialog opens: it takes these
        // motors instead of walking the network for them again.
        dialog.m_motors.Copy(motors);
        dialog.m_bMotorsGiven = true;
    }
    return static_cast<int>(dialog.DoModal());
}

namespace {

struct SetTransformerLauncherRegistration {
    SetTransformerLauncherRegistration() { RegisterSetTransformerLauncher(&LaunchSetTransformerDialog); }
    ~SetTransformerLauncherRegistration() { RegisterSetTransformerLauncher(SetTransformerLauncher()); }
    SetTransformerLauncherRegistration(const SetTransformerLauncherRegistration&) = delete;
    SetTransformerLauncherRegistration& operator=(const SetTransformerLauncherRegistration&) = delete;
};

const SetTransformerLauncherRegistration g_registration;

}  // namespace
