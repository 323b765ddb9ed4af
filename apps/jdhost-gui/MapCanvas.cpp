#include "jdhost-gui/MapCanvas.h"

#include <algorithm>
#include <cmath>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "jdhost-gui/PainterDC.h"

namespace gui {

MapCanvas::MapCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_options.font = font();
}

void MapCanvas::SetDocument(const host::MapDocument* document) {
    ForgetSurface();
    m_document = document;
    RebuildIndex();
    m_autoFit = true;
    if (width() > 0 && height() > 0) Fit();
    update();
}

void MapCanvas::RebuildIndex() {
    if (m_document) {
        m_index.Build(*m_document);
    } else {
        m_index.Clear();
    }
    ForgetSurface();
    update();
}

void MapCanvas::Fit() {
    if (!m_document) return;
    m_view = FitView(m_document->view(), m_index.Extent(), QSizeF(size()));
    m_autoFit = true;
    ForgetSurface();
    update();
}

void MapCanvas::ShowObject(const host::MapObject& object) {
    if (!m_document) return;
    const auto position = static_cast<uint32_t>(&object - m_document->objects().data());
    if (position >= m_document->objects().size()) return;
    const MapRect& b = m_index.BoundsOf(position);
    const MapProjection projection = Projection();
    const QRectF box = QRectF(projection.MapToScreen(b.x0, b.y0), projection.MapToScreen(b.x1, b.y1)).normalized();
    const double want = std::max(1.0, height() / 5.0);
    const double size = std::max({box.width(), box.height(), 1e-9});
    const double factor = std::clamp(want / size, 1.0, 1e6 / std::max(m_view.zoom, 1e-12));
    CanvasView view = m_view;
    view.zoom *= factor;
    // Where the object's middle lands at the new zoom, then the pan that puts it in the middle.
    const QPointF middle = box.center();
    const QPointF client((middle.x() - m_view.panX) / m_view.zoom, (middle.y() - m_view.panY) / m_view.zoom);
    view.panX = width() / 2.0 - client.x() * view.zoom;
    view.panY = height() / 2.0 - client.y() * view.zoom;
    SetCanvasView(view);
}

void MapCanvas::SetCanvasView(const CanvasView& view) {
    m_view = view;
    m_autoFit = false;
    ForgetSurface();
    update();
}

void MapCanvas::ZoomAt(double factor, QPointF at) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return;
    const double zoom = m_view.zoom * factor;
    // Keep the zoom where drawing stays meaningful: neither a dot nor one object over a thousand screens.
    if (zoom < 1e-6 || zoom > 1e6) return;
    m_view.panX = at.x() - (at.x() - m_view.panX) * factor;
    m_view.panY = at.y() - (at.y() - m_view.panY) * factor;
    m_view.zoom = zoom;
    m_autoFit = false;
    ForgetSurface();
    update();
}

void MapCanvas::SetLayerVisible(LONG layer, bool visible) {
    if (visible) {
        m_options.hiddenLayers.erase(layer);
    } else {
        m_options.hiddenLayers.insert(layer);
    }
    ForgetSurface();
    update();
}

void MapCanvas::SetPreferredEntity(LONG entityId) {
    if (m_options.preferredEntity == entityId) return;
    m_options.preferredEntity = entityId;
    ForgetSurface();
    update();
}

MapProjection MapCanvas::Projection() const {
    return MapProjection(m_document ? m_document->view() : host::MapView(), m_view);
}

long MapCanvas::ObjectAt(QPointF screenPoint) const {
    if (!m_document) return -1;
    const MapProjection projection = Projection();
    double x = 0.0, y = 0.0;
    if (!projection.ScreenToMap(screenPoint, x, y)) return -1;
    const double tolerance = kPickTolerancePixels / std::max(projection.PixelsPerUnit(), 1e-12);
    const long found = m_index.Pick(*m_document, x, y, tolerance);
    // An object on a hidden layer cannot be clicked.
    if (found >= 0 && m_options.hiddenLayers.count(m_document->objects()[static_cast<size_t>(found)].layer)) {
        return -1;
    }
    return found;
}

QPointF MapCanvas::ScreenPointOf(const host::MapObject& object) const {
    const MapProjection projection = Projection();
    if (object.isLine && !object.outline.empty()) {
        const host::Point3& q = object.outline[object.outline.size() / 2];
        return projection.MapToScreen(q.x, q.y);
    }
    return projection.MapToScreen(object.insertion.x, object.insertion.y);
}

QImage& MapCanvas::WindowSurface() {
    if (m_surface.isNull() || m_surface.size() != size() * devicePixelRatioF()) {
        m_surface = QImage(size() * devicePixelRatioF(), QImage::Format_RGB32);
        m_surface.setDevicePixelRatio(devicePixelRatioF());
        QPainter painter(&m_surface);
        PaintScene(painter);
    }
    return m_surface;
}

void MapCanvas::DropWindowSurface() {
    if (m_surface.isNull()) return;
    ForgetSurface();
    update();
}

void MapCanvas::ForgetSurface() {
    // A context may still be drawing into it (the painter writes to its
    // pixels): it goes when that drawing is given back.
    if (m_surface.paintingActive()) {
        m_surfaceStale = true;
        return;
    }
    m_surface = QImage();
    m_surfaceStale = false;
}

void MapCanvas::WindowDrawingDone() {
    if (m_surfaceStale) ForgetSurface();
    update();
}

void MapCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!m_surface.isNull()) {
        painter.drawImage(QPointF(0, 0), m_surface);
        return;
    }
    PaintScene(painter);
}

void MapCanvas::PaintScene(QPainter& painter) {
    m_options.font = font();
    if (!m_document) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    const MapProjection projection = Projection();
    PaintMap(painter, *m_document, m_index, projection, rect(), m_options);
    if (paintOverlay) {
        PainterDC dc(painter, projection);
        paintOverlay(dc);
    }
}

void MapCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ForgetSurface();
    if (m_autoFit) Fit();
}

void MapCanvas::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps != 0.0) ZoomAt(std::pow(1.25, steps), event->position());
    event->accept();
}

void MapCanvas::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::LeftButton || event->button() == Qt::MiddleButton) {
        m_pressed = true;
        m_dragging = event->button() == Qt::MiddleButton;
        m_pressAt = event->position().toPoint();
        m_viewAtPress = m_view;
    }
}

void MapCanvas::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_pressed) {
        if (!m_dragging && (at - m_pressAt).manhattanLength() > kDragThreshold) m_dragging = true;
        if (m_dragging) {
            m_view.panX = m_viewAtPress.panX + (at.x() - m_pressAt.x());
            m_view.panY = m_viewAtPress.panY + (at.y() - m_pressAt.y());
            m_autoFit = false;
            ForgetSurface();
            update();
        }
    }
    if (onCursorMoved && m_document) {
        double x = 0.0, y = 0.0;
        const bool ok = Projection().ScreenToMap(event->position(), x, y);
        onCursorMoved(ok, x, y);
    }
}

void MapCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressed) return;
    const bool click = !m_dragging && event->button() == Qt::LeftButton;
    m_pressed = false;
    m_dragging = false;
    if (click && onClick) onClick(event->position(), event->modifiers());
}

void MapCanvas::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && onEscape) {
        onEscape();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MapCanvas::leaveEvent(QEvent*) {
    if (onCursorMoved) onCursorMoved(false, 0.0, 0.0);
}

}  // namespace gui
