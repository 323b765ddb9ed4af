#include "jdhost/HighVoltageSwitchVerb.h"

#include "equipment/JDBase.h"
#include "equipment/NetworkWalks.h"
#include "host/HostObjects.h"
#include "jdhost/MapReport.h"
#include "platform/Gbk.h"

namespace jdhost {

bool OpenHighVoltageSwitch(host::MapDocument& map, const std::string& reference, IHostEvents& events,
                           std::string& error) {
    host::MapObject* object = FindObject(map, reference, error);
    if (!object) return false;
    const std::string what = DescribeObject(*object);
    if (object->isLine || object->entityType == host::EntityType::ShortCircuitPoint || object->motor ||
        object->kind == FromUtf8(host::KindName::Motor)) {
        error = "expected a device fed at high voltage, found " + what;
        return false;
    }
    if (const LONG transformer = jdwalk::FindSupplyTransformer(object->handle)) {
        const host::MapObject* feeder = map.FindByHandle(transformer);
        error = "expected a device fed at high voltage, found " + what + ", fed at low voltage by " +
                (feeder ? DescribeObject(*feeder) : std::string("a transformer"));
        return false;
    }
    host::HostSession* session = host::HostSession::Active();
    if (!session || &session->document() != &map) {
        error = "no map control is open on this map (the command module is not loaded)";
        return false;
    }
    CKernelObjectArray objects;
    CEntityIdArray ids;
    CollectMapObjects(&session->mapControl(), &objects, &ids);
    int set = 0;
    const int result = SetHighVoltageHead(1, &session->mapControl(), &objects, &ids, 0, object->entityId,
                                          object->handle, &set);
    if (result == 0) {
        error = "no Set High-Voltage Switch dialog opened for " + what +
                " (the command module registers it when it loads)";
        return false;
    }
    events.ReportLine("high-voltage switch of " + what + ": " +
                      (result == IDOK ? std::string(set ? "a model is stored" : "no model is stored")
                                      : std::string("cancelled")));
    return true;
}

}  // namespace jdhost
