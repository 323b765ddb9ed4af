#include "equipment/LibraryMessages.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Gbk.h"
#include "platform/PlatformError.h"
#include "platform/Services.h"

namespace jdlib {

int ShowMessage(const CString& text, UINT type) { return AfxMessageBox(text.GetString(), type); }

void ShowErrorUtf8(const char* utf8Text) {
    std::string gbk;
    if (!TryUtf8ToGbk(utf8Text, gbk)) gbk = utf8Text;
    ShowMessage(CString(gbk), MB_ICONSTOP);
}

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    CString text;
    text.FormatV(format, args);
    va_end(args);
    std::fprintf(stderr, "pnJDBase: %s\n", text.GetString());
    ReportPlatformDiagnostic(text);
}

}  // namespace jdlib
