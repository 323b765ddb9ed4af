#pragma once
// Drawing a map with a painter. Map coordinates go first through the map's
// own view (the map control's MapToClient: the "client" coordinates the
// module's highlight is drawn in), then through the canvas's zoom and pan to
// screen pixels. Only the objects the spatial index finds in the visible area
// are drawn; objects smaller than a pixel or two become dots, labels appear
// once a symbol is large enough to carry them. Labels are placed last and
// never over one another nor over a symbol: an object's label block that
// would overlap one already placed is left out at that scale (zooming in brings it back), the
// preferred object's first so that what the user works on stays readable.
#include <set>
#include <vector>

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QString>

#include "host/MapDocument.h"
#include "jdhost-gui/MapGeometry.h"

class QPainter;

namespace gui {

// The canvas's own transform on top of the map's view.
struct CanvasView {
    double zoom = 1.0;
    double panX = 0.0;
    double panY = 0.0;
};

class MapProjection {
public:
    MapProjection(const host::MapView& view, const CanvasView& canvas) : m_view(view), m_canvas(canvas) {}

    // Map -> client, as the map control's MapToClient answers.
    QPointF MapToClient(double x, double y) const {
        return {(x - m_view.originX) * m_view.scale, (m_view.originY - y) * m_view.scale};
    }
    QPointF ClientToScreen(QPointF client) const {
        return {client.x() * m_canvas.zoom + m_canvas.panX, client.y() * m_canvas.zoom + m_canvas.panY};
    }
    QPointF MapToScreen(double x, double y) const { return ClientToScreen(MapToClient(x, y)); }
    // False when the transform cannot be inverted (a zero scale or zoom).
    bool ScreenToMap(QPointF screen, double& x, double& y) const;
    // Screen pixels per map unit.
    double PixelsPerUnit() const;
    // The map area a screen rectangle shows.
    MapRect VisibleArea(const QRectF& screen) const;

    const CanvasView& canvas() const { return m_canvas; }

private:
    host::MapView m_view;
    CanvasView m_canvas;
};

// The canvas transform that shows `extent` centred in a widget of that size
// with a margin in pixels. The zoom stays 1 for an empty extent.
CanvasView FitView(const host::MapView& view, const MapRect& extent, QSizeF widget, double margin = 20.0);

// 0x00BBGGRR as the map stores colours.
QColor FromColorRef(unsigned long colour);
// The object's own colour, or its layer's when it has none (0).
QColor ObjectColour(const host::MapDocument& map, const host::MapObject& object);
// GBK text of the map to a QString (bytes that are not GBK are shown escaped).
QString FromGbk(const CString& text);

struct PaintOptions {
    std::set<LONG> hiddenLayers;
    // The entity whose labels are placed before all others (the selected
    // object, which the command writes to); 0 for none.
    LONG preferredEntity = 0;
    QFont font;
    QColor background = Qt::white;
};

struct PaintStats {
    size_t candidates = 0;   // objects the index returned for the visible area
    size_t shapes = 0;       // drawn in full
    size_t dots = 0;         // drawn as a dot
    size_t labels = 0;        // label lines drawn
    size_t labelsSkipped = 0; // label lines left out because they would overlap others
    // Where each drawn label block is on screen (one rectangle per object).
    std::vector<QRectF> labelBoxes;
    std::vector<LONG> labelledEntities;   // whose block each of labelBoxes is
};

// Paints the background and every visible object into `target` (screen pixels).
void PaintMap(QPainter& painter, const host::MapDocument& map, const SpatialIndex& index,
              const MapProjection& projection, const QRect& target, const PaintOptions& options,
              PaintStats* stats = nullptr);

}  // namespace gui
