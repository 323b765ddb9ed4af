#pragma once
// Where the objects of a map lie, in map units, and a uniform grid over them
// that answers "which objects touch this rectangle" without looking at every
// object: painting culls with it and picking asks it for the few candidates
// near the cursor. The grid is rebuilt from the document when the map's
// geometry may have changed (load, a command's writes); it holds positions in
// the document's object vector, not pointers, so it survives the vector's growth.
#include <array>
#include <cstdint>
#include <vector>

#include "host/MapDocument.h"

namespace gui {

struct MapRect {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;   // x0 <= x1, y0 <= y1 once normalised
    bool empty = true;

    void Add(double x, double y);
    void Add(const MapRect& other);
    bool Intersects(const MapRect& other) const {
        return !empty && !other.empty && x0 <= other.x1 && other.x0 <= x1 && y0 <= other.y1 && other.y0 <= y1;
    }
    bool Contains(const MapRect& other) const {
        return !empty && !other.empty && x0 <= other.x0 && other.x1 <= x1 && y0 <= other.y0 && other.y1 <= y1;
    }
    double Width() const { return empty ? 0.0 : x1 - x0; }
    double Height() const { return empty ? 0.0 : y1 - y0; }
    static MapRect Around(double x, double y, double radius);
};

struct MapPoint {
    double x = 0.0, y = 0.0;
};

// The four corners of a placed symbol, in the order the selection highlight
// uses (top left, top right, bottom right, bottom left of the unrotated
// definition), turned by the object's rotation (degrees, counter-clockwise)
// about its insertion point. False when the object has no usable extent: no
// definition and no placed size, or a definition of zero width or height.
bool SymbolCorners(const host::MapDocument& map, const host::MapObject& object, std::array<MapPoint, 4>& corners);

// The extent of an object: a symbol's corners, a line's points, a point's
// outline and insertion. Empty for an object with no geometry at all.
MapRect ObjectBounds(const host::MapDocument& map, const host::MapObject& object);

// Distance from (x, y) to the object as drawn: 0 inside a symbol or a point's
// outline, else the distance to the nearest edge or line segment. Negative
// when the object has no geometry.
double DistanceToObject(const host::MapDocument& map, const host::MapObject& object, double x, double y);

class SpatialIndex {
public:
    void Build(const host::MapDocument& map);
    void Clear();

    // Positions (in map.objects()) whose bounds meet `area`, each once, in
    // document order so that painting keeps the drawing's stacking.
    void Query(const MapRect& area, std::vector<uint32_t>& out) const;

    // The object drawn nearest (x, y) within `tolerance` map units: a symbol or
    // point before a line (a cable ends on the symbol it feeds), then the
    // nearest, then the one drawn last. -1 when nothing is that close.
    long Pick(const host::MapDocument& map, double x, double y, double tolerance) const;

    const MapRect& Extent() const { return m_extent; }
    const MapRect& BoundsOf(uint32_t position) const { return m_bounds[position]; }
    size_t ObjectCount() const { return m_bounds.size(); }
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }

private:
    void CellRange(const MapRect& r, int& c0, int& r0, int& c1, int& r1) const;

    MapRect m_extent;
    std::vector<MapRect> m_bounds;
    int m_columns = 0;
    int m_rows = 0;
    double m_cellWidth = 1.0;
    double m_cellHeight = 1.0;
    // Cell lists in one array: cell k holds m_items[m_cellStart[k] .. m_cellStart[k + 1]).
    std::vector<uint32_t> m_cellStart;
    std::vector<uint32_t> m_items;
    // Objects spanning many cells are kept once here and always tested.
    std::vector<uint32_t> m_large;
    // Query de-duplication: the query number that last reported each object.
    mutable std::vector<uint32_t> m_seen;
    mutable uint32_t m_queryNumber = 0;
};

}  // namespace gui
