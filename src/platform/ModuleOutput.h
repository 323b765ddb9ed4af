#pragma once
// Lines the module and its libraries show the user outside dialogs and
// message boxes: the motors a load statistic counted, shown on the map, and
// the like. They are output, not problems; what went wrong but was survived
// goes to the diagnostics (PlatformError.h). A host shows these lines where
// its user sees them (jdhost: the session transcript, as `module: ...`).
#include <vector>

#include "platform/CString.h"

class IModuleOutputObserver {
public:
    virtual ~IModuleOutputObserver() = default;
    // One line, GBK.
    virtual void OnModuleOutput(const CString& text) = 0;
};

// Passes the line (GBK) to every observer registered now; nothing is kept.
void ReportModuleOutput(const CString& text);

void AddModuleOutputObserver(IModuleOutputObserver* observer);
void RemoveModuleOutputObserver(IModuleOutputObserver* observer);

class ModuleOutputScope {
public:
    explicit ModuleOutputScope(IModuleOutputObserver& observer) : m_observer(&observer) {
        AddModuleOutputObserver(m_observer);
    }
    ~ModuleOutputScope() { RemoveModuleOutputObserver(m_observer); }
    ModuleOutputScope(const ModuleOutputScope&) = delete;
    ModuleOutputScope& operator=(const ModuleOutputScope&) = delete;

private:
    IModuleOutputObserver* m_observer;
};
