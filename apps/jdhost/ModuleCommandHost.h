#pragma once
// The host side of a loaded command module: hands it the map control of a
// host session and the ids the host assigns, and turns the session's command
// verbs into the events the module expects (LaunchCommand, MouseStatus).
// What the module shows in the prompt line, and what it draws on a repaint,
// goes to the session's transcript.
#include <cstddef>
#include <string>
#include <vector>

#include "host/HostObjects.h"
#include "jdhost/CommandHost.h"
#include "jdhost/ModuleLoader.h"

class CDC;

namespace jdhost {

// The ids jdhost hands the module. The command id names the command in the
// control's current-command pair; the host's own commands use ids below 1000.
inline constexpr LONG kHostCommandId = 1001;
// The control's Action property while the command runs (2: the host's
// "user command" mode, in which it forwards picks, clicks and keys).
inline constexpr LONG kHostActionValue = 2;
// The menu command id the host gave the command's menu item.
inline constexpr LONG kHostUserCommandId = 32900;

class ModuleCommandHost : public ICommandHost {
public:
    // Attaches the session's map control and hands over the ids. The module,
    // the session and the events must outlive this object.
    ModuleCommandHost(CommandModule& module, host::HostSession& session, IHostEvents& events);
    ~ModuleCommandHost() override;
    ModuleCommandHost(const ModuleCommandHost&) = delete;
    ModuleCommandHost& operator=(const ModuleCommandHost&) = delete;

    bool Launch(std::string& error) override;
    bool Pick(const std::vector<LONG>& entityIds, std::string& error) override;
    bool SetCtrl(bool down, std::string& error) override;
    bool Click(std::string& error) override;
    bool Key(int code, std::string& error) override;
    bool Repaint(std::string& error) override;
    // A repaint into the caller's drawing context (a window's painter): what
    // the module draws is not reported as transcript lines.
    bool RepaintInto(CDC& dc, std::string& error);
    // The command is the control's current one (events reach the module).
    bool IsCommandCurrent() const;
    bool SetFeederSwitch(LONG entityId, std::string& error) override;
    bool SetHighVoltageSwitch(LONG entityId, std::string& error) override;

private:
    // Events other than the launch go to the module only while its command is current.
    bool RequireCommand(const char* what, std::string& error) const;
    // Reports the prompts shown since the last call.
    void ReportPrompts();

    CommandModule& m_module;
    host::HostSession& m_session;
    IHostEvents& m_events;
    size_t m_promptsReported = 0;
};

}  // namespace jdhost
