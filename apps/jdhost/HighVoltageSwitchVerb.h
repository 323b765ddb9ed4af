#pragma once
// The script verb `set-hv-switch OBJECT`: opens the Set High-Voltage Switch
// dialog of the loaded command module for a device fed at high voltage (a
// transformer, a mobile substation, a distribution box, or any symbol that no
// transformer feeds), through the equipment library's SetHighVoltageHead as
// the Set Transformer dialog's "整定高压头" does. The dialog is then driven by
// the following script lines like any other. The command host opens it, as
// it opens the feeder switch setting.
#include <string>

#include "host/MapDocument.h"

namespace jdhost {

// The object the reference names when it is a device fed at high voltage;
// null with `error` when it is missing or not such a device.
const host::MapObject* FindHighVoltageDevice(host::MapDocument& map, const std::string& reference, std::string& error);

}  // namespace jdhost
