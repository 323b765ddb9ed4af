#include "jdhost/ModuleCommandHost.h"

#include "equipment/JDBase.h"
#include "equipment/MapRoutines.h"
#include "host/MorvaObjects.h"
#include "jdhost/MapReport.h"
#include "platform/CallPointers.h"
#include "platform/KeyState.h"
#include "platform/RecordingDC.h"

namespace jdhost {

ModuleCommandHost::ModuleCommandHost(CommandModule& module, host::HostSession& session, IHostEvents& events)
    : m_module(module), m_session(session), m_events(events) {
    m_promptsReported = m_session.state().promptHistory.size();
    ResetKeyboardState();
    m_module.AttachMoMap(&m_session.mapControl());
    m_module.SetMoAction(kHostActionValue);
    m_module.SetMoStatus(kHostCommandId);
    m_module.SetMoUserCmdID(kHostUserCommandId);
}

ModuleCommandHost::~ModuleCommandHost() {
    // The map control goes with the session: the module must not keep it.
    m_module.AttachMoMap(nullptr);
    ResetKeyboardState();
}

void ModuleCommandHost::ReportPrompts() {
    const std::vector<CString>& prompts = m_session.state().promptHistory;
    for (; m_promptsReported < prompts.size(); ++m_promptsReported) m_events.ReportPrompt(prompts[m_promptsReported]);
}

bool ModuleCommandHost::IsCommandCurrent() const { return m_session.state().current.id == kHostCommandId; }

bool ModuleCommandHost::RequireCommand(const char* what, std::string& error) const {
    const host::CommandPair current = m_session.state().current;
    if (current.id == kHostCommandId) return true;
    error = std::string("no ") + what + " for the command: it is not running (current command " +
            std::to_string(current.id) + "; use launch first)";
    return false;
}

bool ModuleCommandHost::Launch(std::string& error) {
    const BOOL started = m_module.LaunchCommand();
    ReportPrompts();
    m_events.ReportLine(std::string("launch -> ") + std::to_string(started));
    if (!started) error = "the module did not start its command (LaunchCommand returned 0)";
    return started != 0;
}

bool ModuleCommandHost::Pick(const std::vector<LONG>& entityIds, std::string& error) {
    // The host's pick ends: the ids land in the array handed to BeginSelection, then the module hears of it.
    if (!m_session.FinishPick(entityIds, &error)) return false;
    m_module.MouseStatus(jdmodule::Event::PickEnded, 0, 0);
    ReportPrompts();
    return true;
}

bool ModuleCommandHost::SetCtrl(bool down, std::string&) {
    SetKeyDown(VK_CONTROL, down);
    return true;
}

bool ModuleCommandHost::Click(std::string& error) {
    if (!RequireCommand("click", error)) return false;
    m_module.MouseStatus(jdmodule::Event::Click, 0, 0);
    ReportPrompts();
    return true;
}

bool ModuleCommandHost::Key(int code, std::string& error) {
    if (!RequireCommand("key press", error)) return false;
    m_module.MouseStatus(jdmodule::Event::Key, code, 0);
    ReportPrompts();
    return true;
}

bool ModuleCommandHost::Repaint(std::string& error) {
    CRecordingDC dc;
    if (!RepaintInto(dc, error)) return false;
    const std::vector<std::string>& lines = dc.Lines();
    if (lines.empty()) {
        m_events.ReportLine("repaint: nothing drawn");
        return true;
    }
    m_events.ReportLine("repaint:");
    for (const std::string& line : lines) m_events.ReportLine("  " + line);
    return true;
}

bool ModuleCommandHost::RepaintInto(CDC& dc, std::string& error) {
    if (!RequireCommand("repaint", error)) return false;
    {
        const CCallPointer token(CallPointerKind::DrawingContext, &dc);
        m_module.MouseStatus(jdmodule::Event::Repaint, token.token(), 0);
    }
    ReportPrompts();
    return true;
}

bool ModuleCommandHost::SetFeederSwitch(LONG entityId, std::string& error) {
    CMorvaObjects& map = m_session.mapControl();
    const LONG handle = map.GetKernelObject(entityId);
    if (handle == 0) {
        error = "entity " + std::to_string(entityId) + " has no kernel object";
        return false;
    }
    CKernelObjectArray objects;
    CEntityIdArray ids;
    CollectMapObjects(&map, &objects, &ids);
    int set = -1;
    const int result = SetLowVoltageHead(1, &map, &objects, &ids, 0, entityId, handle, &set);
    ReportPrompts();
    m_events.ReportLine("set-feeder-switch -> " + std::to_string(result) +
                        (set < 0 ? std::string() : ", set " + std::to_string(set)));
    // 0 without a registered dialog (the library said why) or when the
    // dialog closed itself at opening: nothing was set either way.
    return true;
}

bool ModuleCommandHost::SetHighVoltageSwitch(LONG entityId, std::string& error) {
    CMorvaObjects& map = m_session.mapControl();
    const host::MapObject* object = m_session.document().FindByEntity(entityId);
    if (!object) {
        error = "entity " + std::to_string(entityId) + " has no kernel object";
        return false;
    }
    const std::string what = DescribeObject(*object);
    const LONG handle = object->handle;
    CKernelObjectArray objects;
    CEntityIdArray ids;
    CollectMapObjects(&map, &objects, &ids);
    int set = 0;
    const int result = SetHighVoltageHead(1, &map, &objects, &ids, 0, entityId, handle, &set);
    ReportPrompts();
    if (result == 0) {
        error = "no Set High-Voltage Switch dialog opened for " + what +
                " (the command module registers it when it loads)";
        return false;
    }
    m_events.ReportLine("high-voltage switch of " + what + ": " +
                        (result == IDOK ? std::string(set ? "a model is stored" : "no model is stored")
                                        : std::string("cancelled")));
    return true;
}

}  // namespace jdhost
