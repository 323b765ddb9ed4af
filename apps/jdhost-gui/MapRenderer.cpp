#include "jdhost-gui/MapRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// The label boxes placed so far, bucketed by screen cells so that a crowded
// view tests each new box against its neighbours only.
class LabelGrid {
public:
    bool Overlaps(const QRectF& box) const {
        bool hit = false;
        Visit(box, [&](int64_t key) {
            const auto it = m_cells.find(key);
            if (it == m_cells.end()) return;
            for (const QRectF& other : it->second) {
                if (other.intersects(box)) hit = true;
            }
        });
        return hit;
    }
    void Add(const QRectF& box) {
        Visit(box, [&](int64_t key) { m_cells[key].push_back(box); });
    }

private:
    static constexpr double kCell = 64.0;
    template <typename F>
    void Visit(const QRectF& box, F&& f) const {
        const auto cell = [](double v) { return static_cast<int64_t>(std::floor(v / kCell)); };
        for (int64_t cy = cell(box.top()); cy <= cell(box.bottom()); ++cy) {
            for (int64_t cx = cell(box.left()); cx <= cell(box.right()); ++cx) f((cy << 32) ^ (cx & 0xFFFFFFFF));
        }
    }
    std::unordered_map<int64_t, std::vector<QRectF>> m_cells;
};

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

    // Labels wait until every shape is drawn, so that they sit on top and the
    // preferred object's go first. Each block has a few places to go, best
    // first; it takes the first one that is free, as map label engines do.
    struct PendingLabels {
        const host::MapObject* object;
        QColor colour;
        bool centred;   // lines centred in the block (under a symbol), else left-aligned
        QStringList lines;
        QSizeF size;
        std::vector<QPointF> places;   // top left corners, best first
    };
    std::vector<PendingLabels> pending;
    QRectF view;   // the target, in screen pixels
    // Symbols drawn in full: a label does not cover one either.
    std::vector<QRectF> symbols;

    PendingLabels Block(const host::MapObject& object, const QColor& colour, bool centred) const {
        PendingLabels l{&object, colour, centred, {}, {}, {}};
        double width = 0.0;
        for (const host::Label& label : object.labels) {
            l.lines << FromGbk(label.text);
            width = std::max(width, static_cast<double>(metrics.horizontalAdvance(l.lines.back())));
        }
        l.size = QSizeF(width, metrics.height() * static_cast<double>(l.lines.size()));
        return l;
    }

    // Under the symbol, above it, to its right, to its left.
    void SymbolLabels(const host::MapObject& object, const QRectF& box, const QColor& colour) {
        PendingLabels l = Block(object, colour, true);
        const double w = l.size.width(), h = l.size.height();
        l.places = {{box.center().x() - w / 2.0, box.bottom() + 1}, {box.center().x() - w / 2.0, box.top() - 1 - h},
                    {box.right() + 3, box.center().y() - h / 2.0}, {box.left() - 3 - w, box.center().y() - h / 2.0}};
        pending.push_back(std::move(l));
    }

    // Beside the segments long enough to carry a label, the longest first:
    // at the middle, then a quarter from either end, above right, below
    // right, above left of the point. Cables sharing a trunk find room this way.
    void LineLabels(const host::MapObject& object, const QPolygonF& points, const QColor& colour) {
        std::vector<std::pair<double, int>> segments;
        for (int i = 1; i < points.size(); ++i) {
            const QPointF d = points[i] - points[i - 1];
            const double length = std::hypot(d.x(), d.y());
            if (length >= kLineLabelMinLength) segments.emplace_back(length, i);
        }
        if (segments.empty()) return;
        std::stable_sort(segments.begin(), segments.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        PendingLabels l = Block(object, colour, false);
        const double w = l.size.width(), h = l.size.height();
        constexpr size_t kMostSegments = 4;
        for (size_t s = 0; s < segments.size() && s < kMostSegments; ++s) {
            const QPointF from = points[segments[s].second - 1], to = points[segments[s].second];
            for (const double t : {0.5, 0.25, 0.75}) {
                const QPointF at = from + (to - from) * t;
                for (const QPointF offset : {QPointF(3, -h), QPointF(3, 3), QPointF(-3 - w, -h)}) {
                    l.places.push_back(at + offset);
                }
            }
        }
        pending.push_back(std::move(l));
    }

    void PlaceLabels() {
        // The preferred object first, then in drawing order (stable).
        std::stable_partition(pending.begin(), pending.end(), [this](const PendingLabels& l) {
            return options.preferredEntity != 0 && l.object->entityId == options.preferredEntity;
        });
        LabelGrid placed;
        for (const QRectF& symbol : symbols) placed.Add(symbol);
        for (const PendingLabels& l : pending) {
            // A free place inside the view first (an object by the window's
            // edge shows its labels on the inner side), else any free place.
            auto free = std::find_if(l.places.begin(), l.places.end(), [&](const QPointF& at) {
                const QRectF box(at, l.size);
                return view.contains(box) && !placed.Overlaps(box);
            });
            if (free == l.places.end()) {
                free = std::find_if(l.places.begin(), l.places.end(),
                                    [&](const QPointF& at) { return !placed.Overlaps(QRectF(at, l.size)); });
            }
            if (free == l.places.end()) {
                stats.labelsSkipped += static_cast<size_t>(l.lines.size());
                continue;
            }
            const QRectF box(*free, l.size);
            placed.Add(box);
            stats.labelBoxes.push_back(box);
            stats.labelledEntities.push_back(l.object->entityId);
            p.setPen(l.colour);
            double y = box.top();
            for (const QString& text : l.lines) {
                const double x = l.centred ? box.center().x() - metrics.horizontalAdvance(text) / 2.0 : box.left();
                y += metrics.ascent();
                p.drawText(QPointF(x, y), text);
                y += metrics.descent();
                ++stats.labels;
            }
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
        if (!object.labels.empty()) LineLabels(object, points, colour.darker(130));
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
        symbols.push_back(screenBox);
        if (screenBox.height() >= kLabelMinSymbolHeight && !object.labels.empty()) {
            SymbolLabels(object, screenBox, colour.darker(130));
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
    Painter p{painter, map, projection, options, s, QFontMetrics(options.font), {}, {}, QRectF(target), {}};
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
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, true);
    p.PlaceLabels();
    painter.restore();
}

}  // namespace gui
