#include "jdhost-gui/MapRenderer.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>
#include <QVector>

#include "jdhost/MapReport.h"

namespace gui {

bool MapProjection::ScreenToMap(QPointF screen, double& x, double& y) const {
    if (m_canvas.zoom == 0.0 || m_view.scale == 0.0) return false;
    const double cx = (screen.x() - m_canvas.panX) / m_canvas.zoom;
    const double cy = (screen.y() - m_canvas.panY) / m_canvas.zoom;
    x = cx / m_view.scale + m_view.originX;
    y = m_view.originY - cy / m_view.scale;
    return true;
}

double MapProjection::PixelsPerUnit() const { return std::fabs(m_view.scale * m_canvas.zoom); }

MapRect MapProjection::VisibleArea(const QRectF& screen) const {
    MapRect r;
    double x = 0.0, y = 0.0;
    for (const QPointF& corner : {screen.topLeft(), screen.bottomRight()}) {
        if (ScreenToMap(corner, x, y)) r.Add(x, y);
    }
    return r;
}

CanvasView FitView(const host::MapView& view, const MapRect& extent, QSizeF widget, double margin) {
    CanvasView fit;
    if (extent.empty || view.scale == 0.0) return fit;
    const MapProjection identity(view, fit);
    QRectF client(identity.MapToClient(extent.x0, extent.y0), identity.MapToClient(extent.x1, extent.y1));
    client = client.normalized();
    const double w = std::max(client.width(), 1e-9);
    const double h = std::max(client.height(), 1e-9);
    const double availableW = std::max(1.0, widget.width() - 2 * margin);
    const double availableH = std::max(1.0, widget.height() - 2 * margin);
    // A single point (or a line along one axis) is shown at the map's own scale.
    if (client.width() < 1e-6 && client.height() < 1e-6) {
        fit.zoom = 1.0;
    } else {
        fit.zoom = std::min(client.width() < 1e-6 ? INFINITY : availableW / w,
                            client.height() < 1e-6 ? INFINITY : availableH / h);
    }
    fit.panX = widget.width() / 2.0 - client.center().x() * fit.zoom;
    fit.panY = widget.height() / 2.0 - client.center().y() * fit.zoom;
    return fit;
}

QColor FromColorRef(unsigned long colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QColor ObjectColour(const host::MapDocument& map, const host::MapObject& object) {
    if (object.colour != 0) return FromColorRef(static_cast<unsigned long>(object.colour));
    if (const host::Layer* layer = map.FindLayer(object.layer)) return FromColorRef(static_cast<unsigned long>(layer->colour));
    return Qt::black;
}

QString FromGbk(const CString& text) { return QString::fromStdString(jdhost::Utf8(text)); }

namespace {

// Below this size on screen an object is drawn as a small filled box (all of
// them of one colour in one call); labels need a symbol this high.
constexpr double kDotSize = 4.0;
constexpr double kLabelMinSymbolHeight = 10.0;
constexpr double kLineLabelMinLength = 60.0;

struct Painter {
    QPainter& p;
    const host::MapDocument& map;
    const MapProjection& projection;
    const PaintOptions& options;
    PaintStats& stats;
    QFontMetrics metrics;
    std::unordered_map<QRgb, QVector<QRectF>> dots;

    void Dot(const QColor& colour, const QRectF& box) {
        // At least a pixel, so that nothing in view disappears.
        QRectF r = box;
        if (r.width() < 1.0) r.setWidth(1.0);
        if (r.height() < 1.0) r.setHeight(1.0);
        dots[colour.rgb()].push_back(r);
        ++stats.dots;
    }

    void Labels(const host::MapObject& object, QPointF anchor, bool centred) {
        double y = anchor.y();
        for (const host::Label& label : object.labels) {
            const QString text = FromGbk(label.text);
            const double x = centred ? anchor.x() - metrics.horizontalAdvance(text) / 2.0 : anchor.x();
            y += metrics.ascent();
            p.drawText(QPointF(x, y), text);
            y += metrics.descent();
            ++stats.labels;
        }
    }

    void Line(const host::MapObject& object, const QColor& colour, const QRectF& screenBox) {
        if (object.outline.empty()) return;
        if (screenBox.width() < kDotSize && screenBox.height() < kDotSize) {
            Dot(colour, screenBox);
            return;
        }
        QPolygonF points;
        points.reserve(static_cast<int>(object.outline.size()));
        for (const host::Point3& q : object.outline) points << projection.MapToScreen(q.x, q.y);
        p.setPen(QPen(colour, 1.5));
        p.drawPolyline(points);
        ++stats.shapes;
        // The label sits beside the longest segment, when there is room for it.
        int longest = -1;
        double length = 0.0;
        for (int i = 1; i < points.size(); ++i) {
            const QPointF d = points[i] - points[i - 1];
            const double l = std::hypot(d.x(), d.y());
            if (l > length) {
                length = l;
                longest = i;
            }
        }
        if (longest > 0 && length >= kLineLabelMinLength && !object.labels.empty()) {
            const QPointF mid = (points[longest] + points[longest - 1]) / 2.0;
            p.setPen(colour.darker(130));
            Labels(object, mid + QPointF(3, -metrics.height()), false);
        }
    }

    void Symbol(const host::MapObject& object, const QColor& colour, const QRectF& screenBox) {
        if (screenBox.width() < kDotSize && screenBox.height() < kDotSize) {
            Dot(colour, screenBox);
            return;
        }
        std::array<MapPoint, 4> corners;
        QPolygonF shape;
        if (SymbolCorners(map, object, corners)) {
            for (const MapPoint& c : corners) shape << projection.MapToScreen(c.x, c.y);
        } else {
            for (const host::Point3& q : object.outline) shape << projection.MapToScreen(q.x, q.y);
        }
        const bool point = object.entityType == host::EntityType::ShortCircuitPoint;
        p.setPen(QPen(colour, point ? 1.0 : 1.5));
        if (point) {
            // A short-circuit point: a filled square with a cross through it.
            p.setBrush(colour);
            if (shape.size() >= 3) p.drawPolygon(shape);
            const QPointF c = projection.MapToScreen(object.insertion.x, object.insertion.y);
            const double r = std::max(4.0, screenBox.width());
            p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
            p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
        } else if (shape.size() >= 3) {
            p.setBrush(QColor(255, 255, 255, 230));
            const QString motor = QString::fromUtf8(host::KindName::Motor);
            const QString kind = FromGbk(object.kind);
            if (kind == motor) {
                p.drawEllipse(shape.boundingRect());
            } else {
                p.drawPolygon(shape);
            }
            // The kind's name inside, when it fits.
            const QRectF inner = shape.boundingRect().adjusted(1, 1, -1, -1);
            if (!kind.isEmpty() && metrics.horizontalAdvance(kind) <= inner.width() &&
                metrics.height() <= inner.height()) {
                p.drawText(inner, Qt::AlignCenter, kind);
            }
        } else {
            Dot(colour, screenBox);
            return;
        }
        p.setBrush(Qt::NoBrush);
        ++stats.shapes;
        if (screenBox.height() >= kLabelMinSymbolHeight && !object.labels.empty()) {
            p.setPen(colour.darker(130));
            Labels(object, QPointF(screenBox.center().x(), screenBox.bottom() + 1), true);
        }
    }
};

}  // namespace

void PaintMap(QPainter& painter, const host::MapDocument& map, const SpatialIndex& index,
              const MapProjection& projection, const QRect& target, const PaintOptions& options,
              PaintStats* stats) {
    PaintStats local;
    PaintStats& s = stats ? *stats : local;
    s = PaintStats();
    painter.save();
    painter.fillRect(target, options.background);
    painter.setFont(options.font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(target);

    std::vector<uint32_t> visible;
    index.Query(projection.VisibleArea(QRectF(target)), visible);
    s.candidates = visible.size();
    Painter p{painter, map, projection, options, s, QFontMetrics(options.font), {}};
    const auto& objects = map.objects();
    // Lines first, then symbols and points on top, each in document order.
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t i : visible) {
            if (i >= objects.size()) continue;
            const host::MapObject& object = objects[i];
            if ((pass == 0) != object.isLine) continue;
            if (options.hiddenLayers.count(object.layer)) continue;
            const MapRect& b = index.BoundsOf(i);
            const QRectF box = QRectF(projection.MapToScreen(b.x0, b.y0), projection.MapToScreen(b.x1, b.y1)).normalized();
            const QColor colour = ObjectColour(map, object);
            if (object.isLine) {
                p.Line(object, colour, box);
            } else {
                p.Symbol(object, colour, box);
            }
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    for (const auto& [rgb, boxes] : p.dots) {
        painter.setBrush(QColor::fromRgb(rgb));
        painter.drawRects(boxes.constData(), static_cast<int>(boxes.size()));
    }
    painter.restore();
}

}  // namespace gui
