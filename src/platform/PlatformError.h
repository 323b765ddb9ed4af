#pragma once
// Errors of the user-interface layer and the diagnostics channel.
//
// A PlatformError is thrown for programming errors that the real platform
// would answer with an assertion: a data exchange with a control id the
// template lacks, a resource registered twice, a template text that is not
// valid UTF-8. DoModal cleans up its window before letting it pass, so a
// driver (session engine, test) can catch it and report it.
//
// Diagnostics are softer: things that went wrong but were survivable (a
// dialog template that does not exist, a menu command chosen for a menu that
// was destroyed). They are kept in a list and passed to the observers.
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CString.h"

class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(const std::string& what) : std::runtime_error(what) {}
};

// Records a diagnostic (GBK text) and passes it to every observer.
void ReportPlatformDiagnostic(const CString& text);
const std::vector<CString>& GetPlatformDiagnostics();
void ClearPlatformDiagnostics();
