#include "jdhost/HighVoltageSwitchVerb.h"

#include "equipment/NetworkWalks.h"
#include "jdhost/MapReport.h"
#include "platform/Gbk.h"

namespace jdhost {

const host::MapObject* FindHighVoltageDevice(host::MapDocument& map, const std::string& reference, std::string& error) {
    const host::MapObject* object = FindObject(map, reference, error);
    if (!object) return nullptr;
    const std::string what = DescribeObject(*object);
    if (object->isLine || object->entityType == host::EntityType::ShortCircuitPoint || object->motor ||
        object->kind == FromUtf8(host::KindName::Motor)) {
        error = "expected a device fed at high voltage, found " + what;
        return nullptr;
    }
    if (const LONG transformer = jdwalk::FindSupplyTransformer(object->handle)) {
        const host::MapObject* feeder = map.FindByHandle(transformer);
        error = "expected a device fed at high voltage, found " + what + ", fed at low voltage by " +
                (feeder ? DescribeObject(*feeder) : std::string("a transformer"));
        return nullptr;
    }
    return object;
}

}  // namespace jdhost
