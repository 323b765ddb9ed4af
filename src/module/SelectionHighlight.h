#pragma once
// The highlight of the picked transformer while the command waits for its
// click: a dotted frame around the symbol's outline and eight grip squares.
#include "platform/Types.h"

class CDC;
class CMorvaObjects;

namespace jdmodule {

// Half the side of a grip square, in window pixels.
inline constexpr int kGripHalfSize = 3;
// Window coordinates of the highlight lie within ±kDrawableLimit.
inline constexpr int kDrawableLimit = (1 << 27) - 1;

// Draws the highlight of kernel object `hObject` into `pDC`, converting map
// coordinates to window coordinates with the map control. Does nothing when
// `bPicked` is 0, and draws nothing when the symbol's geometry cannot be read
// or its definition has no width or no height.
void DrawSelectionHighlight(CDC* pDC, LONG bPicked, LONG hObject, CMorvaObjects* pMap);

}  // namespace jdmodule
