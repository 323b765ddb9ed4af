#include "module/SetTransformerApp.h"

namespace {
CJDSetTransformerApp theApp;
}

CJDSetTransformerApp& TheApp() { return theApp; }
