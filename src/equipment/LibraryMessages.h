#pragma once
// How the equipment library tells the user and the developer what went wrong:
// errors in a stop-icon message box through the platform's message service,
// traces for the developer in the platform's diagnostics list (which a test
// or a session transcript can read) and on standard error.
#include "platform/CString.h"
#include "platform/Types.h"

namespace jdlib {

// Shows a GBK text in a message box of the given type and returns the answer.
int ShowMessage(const CString& text, UINT type);
// A UTF-8 literal shown with the stop icon.
void ShowErrorUtf8(const char* utf8Text);

// printf-style trace; the text is ASCII or GBK.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace jdlib
