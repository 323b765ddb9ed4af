#pragma once
// Everything the module and the host call in the equipment library is marked
// for export, so the library keeps working if it is ever built with hidden
// visibility by default.
#define JDBASE_API __attribute__((visibility("default")))
