#include "jdhost-gui/MapGeometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gui {

void MapRect::Add(double x, double y) {
    if (empty) {
        x0 = x1 = x;
        y0 = y1 = y;
        empty = false;
        return;
    }
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
}

void MapRect::Add(const MapRect& other) {
    if (other.empty) return;
    Add(other.x0, other.y0);
    Add(other.x1, other.y1);
}

MapRect MapRect::Around(double x, double y, double radius) {
    MapRect r;
    r.Add(x - radius, y - radius);
    r.Add(x + radius, y + radius);
    return r;
}

bool SymbolCorners(const host::MapDocument& map, const host::MapObject& object, std::array<MapPoint, 4>& corners) {
    const host::Point3& p = object.insertion;
    double ex0 = 0.0, ey0 = 0.0, ex1 = 0.0, ey1 = 0.0;
    double sx = 1.0, sy = 1.0;
    if (const host::SymbolDefinition* symbol = map.FindSymbol(object.symbol)) {
        ex0 = symbol->x0;
        ey0 = symbol->y0;
        ex1 = symbol->x1;
        ey1 = symbol->y1;
        const double w = std::fabs(ex1 - ex0);
        const double h = std::fabs(ey1 - ey0);
        if (w <= 0.0 || h <= 0.0) return false;
        // A placement without size keeps the definition's own size.
        sx = object.width > 0.0 ? object.width / w : 1.0;
        sy = object.height > 0.0 ? object.height / h : 1.0;
    } else if (object.width > 0.0 && object.height > 0.0) {
        ex0 = -object.width / 2.0;
        ex1 = object.width / 2.0;
        ey0 = -object.height / 2.0;
        ey1 = object.height / 2.0;
    } else {
        return false;
    }
    corners = {MapPoint{ex0 * sx + p.x, ey1 * sy + p.y}, MapPoint{ex1 * sx + p.x, ey1 * sy + p.y},
               MapPoint{ex1 * sx + p.x, ey0 * sy + p.y}, MapPoint{ex0 * sx + p.x, ey0 * sy + p.y}};
    if (object.rotation != 0.0) {
        const double a = object.rotation * std::numbers::pi / 180.0;
        const double c = std::cos(a);
        const double s = std::sin(a);
        for (MapPoint& q : corners) {
            const double dx = q.x - p.x;
            const double dy = q.y - p.y;
            q = MapPoint{p.x + dx * c - dy * s, p.y + dx * s + dy * c};
        }
    }
    return true;
}

MapRect ObjectBounds(const host::MapDocument& map, const host::MapObject& object) {
    MapRect r;
    if (object.isLine) {
        for (const host::Point3& q : object.outline) r.Add(q.x, q.y);
        return r;
    }
    std::array<MapPoint, 4> corners;
    if (SymbolCorners(map, object, corners)) {
        for (const MapPoint& q : corners) r.Add(q.x, q.y);
    }
    for (const host::Point3& q : object.outline) r.Add(q.x, q.y);
    if (r.empty) r.Add(object.insertion.x, object.insertion.y);
    return r;
}

namespace {

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    double t = length2 > 0.0 ? ((px - ax) * dx + (py - ay) * dy) / length2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

template <typename Points>
double PolygonDistance(const Points& points, size_t count, double x, double y) {
    bool inside = false;
    double best = INFINITY;
    for (size_t i = 0, j = count - 1; i < count; j = i++) {
        const double xi = points[i].x, yi = points[i].y, xj = points[j].x, yj = points[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        best = std::min(best, SegmentDistance(x, y, xi, yi, xj, yj));
    }
    return inside ? 0.0 : best;
}

}  // namespace

double DistanceToObject(const host::MapDocument& map, const host::MapObject& object, double x, double y) {
    if (object.isLine) {
        const auto& pts = object.outline;
        if (pts.empty()) return -1.0;
        if (pts.size() == 1) return std::hypot(x - pts[0].x, y - pts[0].y);
        double best = INFINITY;
        for (size_t i = 1; i < pts.size(); ++i) {
            best = std::min(best, SegmentDistance(x, y, pts[i - 1].x, pts[i - 1].y, pts[i].x, pts[i].y));
        }
        return best;
    }
    std::array<MapPoint, 4> corners;
    if (SymbolCorners(map, object, corners)) return PolygonDistance(corners, corners.size(), x, y);
    if (object.outline.size() >= 3) return PolygonDistance(object.outline, object.outline.size(), x, y);
    return std::hypot(x - object.insertion.x, y - object.insertion.y);
}

// --- the grid ----------------------------------------------------------------

namespace {
// Aim at a few objects per cell; objects covering more cells than this are "large".
constexpr double kObjectsPerCell = 4.0;
constexpr int kMaxCellsPerObject = 64;
constexpr int kMaxCellsPerSide = 2048;
}  // namespace

void SpatialIndex::Clear() {
    *this = SpatialIndex();
}

void SpatialIndex::CellRange(const MapRect& r, int& c0, int& r0, int& c1, int& r1) const {
    auto column = [&](double x) {
        return std::clamp(static_cast<int>(std::floor((x - m_extent.x0) / m_cellWidth)), 0, m_columns - 1);
    };
    auto row = [&](double y) {
        return std::clamp(static_cast<int>(std::floor((y - m_extent.y0) / m_cellHeight)), 0, m_rows - 1);
    };
    c0 = column(r.x0);
    c1 = column(r.x1);
    r0 = row(r.y0);
    r1 = row(r.y1);
}

void SpatialIndex::Build(const host::MapDocument& map) {
    Clear();
    const auto& objects = map.objects();
    m_bounds.reserve(objects.size());
    for (const host::MapObject& object : objects) {
        m_bounds.push_back(ObjectBounds(map, object));
        m_extent.Add(m_bounds.back());
    }
    m_seen.assign(objects.size(), 0);
    if (m_extent.empty) return;
    // Square-ish cells over the extent; a degenerate extent gets one row or column.
    const double cells = std::max(1.0, static_cast<double>(objects.size()) / kObjectsPerCell);
    const double w = std::max(m_extent.Width(), 1e-9);
    const double h = std::max(m_extent.Height(), 1e-9);
    const double side = std::sqrt(w * h / cells);
    m_columns = std::clamp(static_cast<int>(std::ceil(w / side)), 1, kMaxCellsPerSide);
    m_rows = std::clamp(static_cast<int>(std::ceil(h / side)), 1, kMaxCellsPerSide);
    m_cellWidth = w / m_columns;
    m_cellHeight = h / m_rows;

    // Two passes: count per cell, then fill (a compressed layout keeps 100,000 objects in a few arrays).
    const size_t cellCount = static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows);
    std::vector<uint32_t> counts(cellCount + 1, 0);
    std::vector<char> large(objects.size(), 0);
    for (uint32_t i = 0; i < m_bounds.size(); ++i) {
        if (m_bounds[i].empty) continue;
        int c0, r0, c1, r1;
        CellRange(m_bounds[i], c0, r0, c1, r1);
        if ((c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerObject) {
            large[i] = 1;
            m_large.push_back(i);
            continue;
        }
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) ++counts[static_cast<size_t>(r) * m_columns + c];
        }
    }
    m_cellStart.assign(cellCount + 1, 0);
    for (size_t k = 0; k < cellCount; ++k) m_cellStart[k + 1] = m_cellStart[k] + counts[k];
    m_items.resize(m_cellStart[cellCount]);
    std::vector<uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
    for (uint32_t i = 0; i < m_bounds.size(); ++i) {
        if (m_bounds[i].empty || large[i]) continue;
        int c0, r0, c1, r1;
        CellRange(m_bounds[i], c0, r0, c1, r1);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) m_items[fill[static_cast<size_t>(r) * m_columns + c]++] = i;
        }
    }
}

void SpatialIndex::Query(const MapRect& area, std::vector<uint32_t>& out) const {
    out.clear();
    if (m_extent.empty || area.empty || !area.Intersects(m_extent)) return;
    if (area.Contains(m_extent)) {
        // The whole map is in view: every object with geometry, no grid walk.
        for (uint32_t i = 0; i < m_bounds.size(); ++i) {
            if (!m_bounds[i].empty) out.push_back(i);
        }
        return;
    }
    if (++m_queryNumber == 0) {
        std::fill(m_seen.begin(), m_seen.end(), 0);
        m_queryNumber = 1;
    }
    int c0, r0, c1, r1;
    CellRange(area, c0, r0, c1, r1);
    for (int r = r0; r <= r1; ++r) {
        for (int c = c0; c <= c1; ++c) {
            const size_t k = static_cast<size_t>(r) * m_columns + c;
            for (uint32_t n = m_cellStart[k]; n < m_cellStart[k + 1]; ++n) {
                const uint32_t i = m_items[n];
                if (m_seen[i] == m_queryNumber) continue;
                m_seen[i] = m_queryNumber;
                if (m_bounds[i].Intersects(area)) out.push_back(i);
            }
        }
    }
    for (uint32_t i : m_large) {
        if (m_bounds[i].Intersects(area)) out.push_back(i);
    }
    std::sort(out.begin(), out.end());
}

long SpatialIndex::Pick(const host::MapDocument& map, double x, double y, double tolerance) const {
    std::vector<uint32_t> candidates;
    Query(MapRect::Around(x, y, tolerance), candidates);
    long best = -1;
    bool bestIsLine = true;
    double bestDistance = INFINITY;
    const auto& objects = map.objects();
    for (uint32_t i : candidates) {
        if (i >= objects.size()) continue;
        const host::MapObject& object = objects[i];
        const double d = DistanceToObject(map, object, x, y);
        if (d < 0.0 || d > tolerance) continue;
        const bool isLine = object.isLine;
        // Candidates come in document order, so "<=" lets the one drawn last win a tie.
        const bool better = best < 0 || (bestIsLine && !isLine) || (isLine == bestIsLine && d <= bestDistance);
        if (better) {
            best = static_cast<long>(i);
            bestIsLine = isLine;
            bestDistance = d;
        }
    }
    return best;
}

}  // namespace gui
