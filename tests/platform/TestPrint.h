#pragma once
// Lets GoogleTest print CString values (as their bytes) in failure messages.
#include <ostream>

#include "platform/CString.h"

inline void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.str() << '"'; }
