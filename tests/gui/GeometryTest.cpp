// Where objects lie, the spatial grid against a brute-force scan, picking
// priorities, and the canvas transforms, with hand-computed expectations.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "host/MapFile.h"
#include "jdhost-gui/MapGeometry.h"
#include "jdhost-gui/MapRenderer.h"
#include "platform/Gbk.h"

namespace {

host::MapDocument Sample() {
    host::MapDocument map;
    const host::MapLoadResult result = host::LoadMapFile(JD_SOURCE_DIR "/examples/sample-mine.json", map);
    EXPECT_TRUE(result.ok) << result.Describe("sample-mine.json");
    return map;
}

long PositionOf(const host::MapDocument& map, const char* name) {
    const host::MapObject* object = map.FindByName(FromUtf8(name));
    return object ? static_cast<long>(object - map.objects().data()) : -2;
}

}  // namespace

TEST(MapGeometryTest, RotatedSymbolCornersFollowTheHighlightsOrder) {
    const host::MapDocument map = Sample();
    // 1#一拖四开关: insertion (180, 200), extent [-10,-5,10,5], size 20 x 10, rotation 90.
    // Unrotated c0..c3 = (170,205) (190,205) (190,195) (170,195); turning (dx,dy) by
    // 90 degrees counter-clockwise gives (-dy,dx) about (180,200).
    const host::MapObject* object = map.FindByName(FromUtf8("1#一拖四开关"));
    ASSERT_NE(object, nullptr);
    std::array<gui::MapPoint, 4> c;
    ASSERT_TRUE(gui::SymbolCorners(map, *object, c));
    const double expected[4][2] = {{175, 190}, {175, 210}, {185, 210}, {185, 190}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(c[i].x, expected[i][0], 1e-9) << i;
        EXPECT_NEAR(c[i].y, expected[i][1], 1e-9) << i;
    }
    const gui::MapRect b = gui::ObjectBounds(map, *object);
    EXPECT_NEAR(b.x0, 175, 1e-9);
    EXPECT_NEAR(b.x1, 185, 1e-9);
    EXPECT_NEAR(b.y0, 190, 1e-9);
    EXPECT_NEAR(b.y1, 210, 1e-9);
}

TEST(MapGeometryTest, PickPrefersSymbolsOverTheCablesEndingOnThem) {
    const host::MapDocument map = Sample();
    gui::SpatialIndex index;
    index.Build(map);
    // (300, 300) is 1#移动变电站's insertion and the end of three cables.
    EXPECT_EQ(index.Pick(map, 300, 300, 2.0), PositionOf(map, "1#移动变电站"));
    // 1#高压电缆 runs (300,350) -> (100,350); at x 200 no other object is near.
    EXPECT_EQ(index.Pick(map, 200, 351, 2.0), PositionOf(map, "1#高压电缆"));
    EXPECT_EQ(index.Pick(map, 200, 353, 2.0), -1);   // 3 units off, tolerance 2
    EXPECT_EQ(index.Pick(map, -500, -500, 5.0), -1);
    // Inside a symbol's frame but off its insertion: the symbol (14 wide each side).
    EXPECT_EQ(index.Pick(map, 312, 305, 0.5), PositionOf(map, "1#移动变电站"));
}

TEST(MapGeometryTest, GridQueriesMatchAScanOfEveryObject) {
    host::MapDocument map;
    host::SymbolDefinition symbol;
    symbol.id = 1;
    symbol.x0 = symbol.y0 = -1;
    symbol.x1 = symbol.y1 = 1;
    map.symbols().push_back(symbol);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> coord(0.0, 1000.0);
    for (int i = 0; i < 3000; ++i) {
        host::MapObject o;
        if (i % 3 == 0) {
            o.isLine = true;
            o.entityType = host::EntityType::Line;
            const double x = coord(random), y = coord(random);
            // Some long lines span many cells and take the index's "large" path.
            const double reach = (i % 30 == 0) ? 900.0 : 20.0;
            o.outline = {{x, y, 0}, {x + reach * (coord(random) / 1000.0), y - 10, 0}};
        } else {
            o.symbol = 1;
            o.insertion = {coord(random), coord(random), 0};
            o.width = o.height = 4;
        }
        map.AddObject(o);
    }
    gui::SpatialIndex index;
    index.Build(map);
    EXPECT_GT(index.Columns() * index.Rows(), 100);
    std::vector<uint32_t> found;
    for (int q = 0; q < 60; ++q) {
        gui::MapRect area;
        const double x = coord(random), y = coord(random);
        area.Add(x, y);
        area.Add(x + coord(random) / 5.0, y + coord(random) / 5.0);
        index.Query(area, found);
        std::vector<uint32_t> expected;
        for (uint32_t i = 0; i < map.objects().size(); ++i) {
            if (gui::ObjectBounds(map, map.objects()[i]).Intersects(area)) expected.push_back(i);
        }
        ASSERT_EQ(found, expected) << "query " << q;
    }
    // The whole map in view returns everything, in document order.
    gui::MapRect all;
    all.Add(-1e6, -1e6);
    all.Add(1e6, 1e6);
    index.Query(all, found);
    ASSERT_EQ(found.size(), map.objects().size());
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
}

TEST(MapGeometryTest, EmptyAndDegenerateMapsNeitherCrashNorFindAnything) {
    host::MapDocument empty;
    gui::SpatialIndex index;
    index.Build(empty);
    std::vector<uint32_t> found;
    index.Query(gui::MapRect::Around(0, 0, 10), found);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(index.Pick(empty, 0, 0, 1), -1);
    // One point: a zero-sized extent still gets a grid.
    host::MapObject point;
    point.entityType = host::EntityType::ShortCircuitPoint;
    point.insertion = {5, 5, 0};
    empty.AddObject(point);
    index.Build(empty);
    EXPECT_EQ(index.Pick(empty, 5.5, 5, 1.0), 0);
    const gui::CanvasView fit = gui::FitView(empty.view(), index.Extent(), QSizeF(100, 100));
    EXPECT_TRUE(std::isfinite(fit.zoom) && fit.zoom > 0);
}

TEST(MapProjectionTest, FitCentresTheMapWithItsMargin) {
    // Extent (0,0)-(100,50) through the view origin (0,500) scale 1.5 is the
    // client rectangle x 0..150, y 675..750. A 340 x 165 widget with margin 20
    // leaves 300 x 125: zoom min(300/150, 125/75) = 5/3, so the map is 250 x 125
    // pixels, centred: left (340-250)/2 = 45, top 20.
    host::MapView view{0.0, 500.0, 1.5};
    gui::MapRect extent;
    extent.Add(0, 0);
    extent.Add(100, 50);
    const gui::CanvasView fit = gui::FitView(view, extent, QSizeF(340, 165));
    EXPECT_NEAR(fit.zoom, 5.0 / 3.0, 1e-12);
    const gui::MapProjection p(view, fit);
    const QPointF topLeft = p.MapToScreen(0, 50);
    const QPointF bottomRight = p.MapToScreen(100, 0);
    EXPECT_NEAR(topLeft.x(), 45, 1e-9);
    EXPECT_NEAR(topLeft.y(), 20, 1e-9);
    EXPECT_NEAR(bottomRight.x(), 295, 1e-9);
    EXPECT_NEAR(bottomRight.y(), 145, 1e-9);
    double x = 0, y = 0;
    ASSERT_TRUE(p.ScreenToMap(QPointF(170, 82.5), x, y));
    EXPECT_NEAR(x, 50, 1e-9);
    EXPECT_NEAR(y, 25, 1e-9);
    EXPECT_NEAR(p.PixelsPerUnit(), 2.5, 1e-12);
}
