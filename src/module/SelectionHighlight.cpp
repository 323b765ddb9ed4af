#include "module/SelectionHighlight.h"

#include <array>
#include <cmath>

#include "host/Kernel.h"
#include "host/MorvaObjects.h"
#include "platform/Gdi.h"

namespace jdmodule {

namespace {

// Colours of the highlight (0x00BBGGRR).
constexpr COLORREF kFrameColour = 255;     // red
constexpr COLORREF kGripPenColour = 65280; // green
constexpr COLORREF kGripFillColour = 65402; // red 122, green 255, blue 0

struct MapPoint {
    double x = 0.0;
    double y = 0.0;
};

// Window coordinates are kept within what the graphics layer draws (27 bits
// each way, as the platform's device contexts take them). A point of a view
// zoomed absurdly far, or of a symbol placed near ±1e308, is pinned to that
// range (kDrawableLimit), which leaves room for the grip squares' offsets without overflow.
int FloorToDrawable(double value) {
    if (std::isnan(value)) return 0;
    const double floored = std::floor(value);
    if (floored <= -kDrawableLimit) return -kDrawableLimit;
    if (floored >= kDrawableLimit) return kDrawableLimit;
    return static_cast<int>(floored);
}

CPoint ToWindow(CMorvaObjects& map, const MapPoint& p) {
    double clientX = 0.0;
    double clientY = 0.0;
    map.MapToClient(p.x, p.y, &clientX, &clientY);
    return CPoint(FloorToDrawable(clientX), FloorToDrawable(clientY));
}

MapPoint Midpoint(const MapPoint& a, const MapPoint& b) { return {(a.x + b.x) / 2.0, (a.y + b.y) / 2.0}; }

}  // namespace

void DrawSelectionHighlight(CDC* pDC, LONG bPicked, LONG hObject, CMorvaObjects* pMap) {
    if (bPicked == 0) return;
    if (!pDC || !pMap) return;

    // The symbol as placed: insertion point, the definition's extent about it,
    // the placed size and the rotation.
    KernelPoint insertion;
    if (!QueryObject(hObject, KernelQuery::InsertionPoint, &insertion, 0)) return;
    GraphicRecord graphic;
    if (!GetObjectGraphic(hObject, &graphic)) return;
    KernelRect extent;
    if (!GetBlockExtent(graphic.block.ref0, graphic.block.ref1, graphic.block.ref2, &extent)) return;
    const double angle = ConvertAngle(graphic.block.value2);
    KernelSizeRecord size;
    if (!GetObjectSize(hObject, &size)) return;

    const double extentWidth = std::fabs(extent.x1 - extent.x0);
    const double extentHeight = std::fabs(extent.y1 - extent.y0);
    // A definition without area gives no scale; there is nothing to frame.
    if (IsZero(extentWidth) || IsZero(extentHeight)) return;
    const double sx = size.width / extentWidth;
    const double sy = size.height / extentHeight;

    // Corners in map coordinates: top left, top right, bottom right, bottom
    // left of the unrotated symbol; then turned about the insertion point.
    std::array<MapPoint, 4> c{{
        {extent.x0 * sx + insertion.x, extent.y1 * sy + insertion.y},
        {extent.x1 * sx + insertion.x, extent.y1 * sy + insertion.y},
        {extent.x1 * sx + insertion.x, extent.y0 * sy + insertion.y},
        {extent.x0 * sx + insertion.x, extent.y0 * sy + insertion.y},
    }};
    for (MapPoint& corner : c) {
        RotatePoint(corner.x, corner.y, angle, &corner.x, &corner.y, insertion.x, insertion.y);
    }

    // The frame inverts the pen colour so that it shows on any background.
    const int savedRop = pDC->SetROP2(R2_NOTCOPYPEN);
    {
        CPen dotPen(PS_DOT, 1, kFrameColour);
        CPen* previousPen = pDC->SelectObject(&dotPen);
        for (size_t i = 0; i < c.size(); ++i) {
            const CPoint from = ToWindow(*pMap, c[i]);
            const CPoint to = ToWindow(*pMap, c[(i + 1) % c.size()]);
            pDC->MoveTo(from.x, from.y);
            pDC->LineTo(to.x, to.y);
        }
        pDC->SelectObject(previousPen);
    }
    // The grips are drawn in the context's own raster operation.
    pDC->SetROP2(savedRop);

    CPen gripPen(PS_SOLID, 1, kGripPenColour);
    CBrush gripBrush(kGripFillColour);
    CPen* previousPen = pDC->SelectObject(&gripPen);
    CBrush* previousBrush = pDC->SelectObject(&gripBrush);
    const std::array<MapPoint, 8> grips{
        c[0], c[1], c[2], c[3],
        Midpoint(c[0], c[1]), Midpoint(c[1], c[2]), Midpoint(c[2], c[3]), Midpoint(c[3], c[0]),
    };
    for (const MapPoint& grip : grips) {
        const CPoint at = ToWindow(*pMap, grip);
        pDC->Rectangle(at.x - kGripHalfSize, at.y - kGripHalfSize, at.x + kGripHalfSize, at.y + kGripHalfSize);
    }
    pDC->SelectObject(previousPen);
    pDC->SelectObject(previousBrush);
    pDC->SetROP2(savedRop);
}

}  // namespace jdmodule
