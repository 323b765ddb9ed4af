#pragma once
// The map on screen: paints the document through the spatial index, zooms
// at the cursor with the wheel, pans with a drag, fits the map to the window,
// and reports clicks, cursor positions and Esc to its owner, which decides
// what a click means (a pick for the running command, or a selection).
#include <functional>
#include <set>

#include <QImage>
#include <QWidget>

#include "host/MapDocument.h"
#include "jdhost-gui/MapGeometry.h"
#include "jdhost-gui/MapRenderer.h"

class CDC;

namespace gui {

class MapCanvas : public QWidget {
public:
    explicit MapCanvas(QWidget* parent = nullptr);

    // The canvas keeps a pointer: the owner keeps the document alive and calls
    // SetDocument(nullptr) before it goes. Fits the view.
    void SetDocument(const host::MapDocument* document);
    // After the map's geometry may have changed (a command wrote to it).
    void RebuildIndex();

    void Fit();
    // Centres the object and zooms so that it takes about a fifth of the
    // canvas's height (never zooming out of a closer view).
    void ShowObject(const host::MapObject& object);
    // Zooms by `factor` keeping the map point under `screenPoint` where it is.
    void ZoomAt(double factor, QPointF screenPoint);
    void SetLayerVisible(LONG layer, bool visible);
    // Whose labels are placed first (the selected object); 0 for none.
    void SetPreferredEntity(LONG entityId);
    bool IsLayerVisible(LONG layer) const { return m_options.hiddenLayers.count(layer) == 0; }

    const CanvasView& canvasView() const { return m_view; }
    void SetCanvasView(const CanvasView& view);
    MapProjection Projection() const;
    const SpatialIndex& Index() const { return m_index; }

    // The document position of the object under a screen point (within a
    // few pixels), or -1.
    long ObjectAt(QPointF screenPoint) const;
    // Where an object's insertion point (a line's middle point) is on screen.
    QPointF ScreenPointOf(const host::MapObject& object) const;

    // Pixels around the cursor a click may miss an object by.
    static constexpr double kPickTolerancePixels = 4.0;

    // The picture window drawings go onto (CanvasDrawing.h): made from what
    // the canvas shows when first asked for, then shown instead of the map
    // until DropWindowSurface(). Everything that redraws the map drops it.
    QImage& WindowSurface();
    bool HasWindowSurface() const { return !m_surface.isNull(); }
    void DropWindowSurface();
    // The window drawing service gave back its last context.
    void WindowDrawingDone();

    // Called after the map is painted with a drawing context in client coordinates.
    std::function<void(CDC& dc)> paintOverlay;
    std::function<void(QPointF screenPoint, Qt::KeyboardModifiers modifiers)> onClick;
    std::function<void(bool inside, double x, double y)> onCursorMoved;
    std::function<void()> onEscape;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // The map and the overlay, as a paint event draws them.
    void PaintScene(QPainter& painter);
    // Drops the surface now, or once no painter draws into it.
    void ForgetSurface();

    const host::MapDocument* m_document = nullptr;
    QImage m_surface;
    bool m_surfaceStale = false;
    SpatialIndex m_index;
    CanvasView m_view;
    PaintOptions m_options;
    // Until the user zooms or pans, the map stays fitted as the window changes size.
    bool m_autoFit = true;
    // A press becomes a drag once the mouse moved this far; else it is a click.
    static constexpr int kDragThreshold = 4;
    QPoint m_pressAt;
    CanvasView m_viewAtPress;
    bool m_pressed = false;
    bool m_dragging = false;
};

}  // namespace gui
