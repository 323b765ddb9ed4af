#pragma once
// The script verb `set-hv-switch OBJECT`: opens the Set High-Voltage Switch
// dialog of the loaded command module for a device fed at high voltage (a
// transformer, a mobile substation, a distribution box, or any symbol that no
// transformer feeds), through the equipment library's SetHighVoltageHead as
// the Set Transformer dialog's "整定高压头" does. The dialog is then driven by
// the following script lines like any other.
#include <string>

#include "host/MapDocument.h"
#include "jdhost/CommandHost.h"

namespace jdhost {

// False with `error` when the object is missing or not such a device, no
// host session is open on the map, or no dialog opened (the module did not
// register one). Reports the dialog's result as a transcript line.
bool OpenHighVoltageSwitch(host::MapDocument& map, const std::string& reference, IHostEvents& events,
                           std::string& error);

}  // namespace jdhost
