#pragma once
// The module's application object. The host's class library expects one per
// module; it is constructed when the module loads and carries no behaviour of
// the command (the command lives in module-level state, pnJDSetTransformer.cpp).
//
// Our class library has no application class yet, so the object derives from
// the command-target base that the application class derives from.
#include "platform/MessageMap.h"

class CJDSetTransformerApp : public CCmdTarget {
public:
    CJDSetTransformerApp() = default;
};

// The one application object of the module.
CJDSetTransformerApp& TheApp();
