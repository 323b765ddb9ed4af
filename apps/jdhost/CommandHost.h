#pragma once
// What a session needs from a loaded command module: the host-side events a
// user causes on the map (start the command, pick, hold Ctrl, click, press a
// key, repaint). The module loader implements it; tests implement it to open
// their own dialogs. Each call runs synchronously: when it opens a modal
// dialog, the session's modal runner takes the following script lines until
// the dialog ends, and the call returns after that.
//
// A call returns false with a message in `error` when the host could not
// deliver the event (no command current, the module refused to start, ...);
// the session then fails the run at that line.
#include <string>
#include <vector>

#include "platform/CString.h"
#include "platform/Types.h"

namespace jdhost {

class ICommandHost {
public:
    virtual ~ICommandHost() = default;

    // Starts the module's command (LaunchCommand).
    virtual bool Launch(std::string& error) = 0;
    // Ends the host's interactive pick with these entity ids picked.
    virtual bool Pick(const std::vector<LONG>& entityIds, std::string& error) = 0;
    // Holds the Ctrl key down or lets it go (the module reads the key state).
    virtual bool SetCtrl(bool down, std::string& error) = 0;
    // A left click on the map.
    virtual bool Click(std::string& error) = 0;
    // A key press; `code` is the virtual-key code (27 for ESC).
    virtual bool Key(int code, std::string& error) = 0;
    // A repaint of the map window.
    virtual bool Repaint(std::string& error) = 0;
    // Opens the feeder switch setting of the object (a transformer or mobile
    // substation) outside the command, as the equipment library's
    // SetLowVoltageHead does. A host that cannot refuses.
    virtual bool SetFeederSwitch(LONG entityId, std::string& error) {
        (void)entityId;
        error = "this host cannot open the feeder switch setting";
        return false;
    }
    // Opens the high-voltage switch setting of a device fed at high voltage,
    // as the equipment library's SetHighVoltageHead does (the caller has
    // checked the device). A host that cannot refuses.
    virtual bool SetHighVoltageSwitch(LONG entityId, std::string& error) {
        (void)entityId;
        error = "this host cannot open the high-voltage switch setting";
        return false;
    }
};

// Where the host reports what the user would see outside dialogs. The session
// implements it: prompts go to the transcript and are what `expect-prompt`
// checks; other lines (a launch's result, what a repaint drew) go to the
// transcript as they are.
class IHostEvents {
public:
    virtual ~IHostEvents() = default;
    // The map control's ShowPrompt text (GBK).
    virtual void ReportPrompt(const CString& text) = 0;
    // One transcript line (UTF-8).
    virtual void ReportLine(const std::string& text) = 0;
};

}  // namespace jdhost
