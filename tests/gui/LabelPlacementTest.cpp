// Labels never drawn over one another: on a crowded view some are left out and
// the drawn ones do not intersect, zoomed in every label in view is drawn, and
// the preferred object's labels win a contested place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "host/MapFile.h"
#include "jdhost-gui/MapGeometry.h"
#include "jdhost-gui/MapRenderer.h"
#include "platform/Gbk.h"

namespace {

// The sample, crowded: a 4 x 4 block of copies of the mobile substation
// (28 x 16 units, two label lines each) every 20 units around (300, 300).
struct Scene {
    host::MapDocument map;
    gui::SpatialIndex index;
    std::vector<LONG> copies;
    mutable gui::CanvasView lastView;   // of the last Paint
    Scene() {
        EXPECT_TRUE(host::LoadMapFile(JD_SOURCE_DIR "/examples/sample-mine.json", map).ok);
        const host::MapObject station = *map.FindByName(FromUtf8("1#移动变电站"));
        for (int i = 0; i < 16; ++i) {
            host::MapObject copy = station;
            copy.entityId = 900 + i;
            copy.handle = 9000 + i;
            copy.name = FromUtf8(("copy " + std::to_string(i)).c_str());
            copy.insertion.x = 330 + 20 * (i % 4);
            copy.insertion.y = 420 + 20 * (i / 4);
            copies.push_back(map.AddObject(std::move(copy)).entityId);
        }
        index.Build(map);
    }

    gui::PaintStats Paint(QSize size, double zoomOnFit, QPointF zoomAt, LONG preferred = 0) const {
        gui::CanvasView view = gui::FitView(map.view(), index.Extent(), QSizeF(size));
        view.panX = zoomAt.x() - (zoomAt.x() - view.panX) * zoomOnFit;
        view.panY = zoomAt.y() - (zoomAt.y() - view.panY) * zoomOnFit;
        view.zoom *= zoomOnFit;
        lastView = view;
        const gui::MapProjection projection(map.view(), view);
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        gui::PaintOptions options;
        options.font = QApplication::font();
        options.preferredEntity = preferred;
        gui::PaintStats stats;
        gui::PaintMap(painter, map, index, projection, QRect(QPoint(0, 0), size), options, &stats);
        return stats;
    }

    // Screen boxes of the symbols drawn in full (4 pixels and more) by the last Paint.
    std::vector<QRectF> SymbolBoxes() const {
        const gui::MapProjection projection(map.view(), lastView);
        std::vector<QRectF> boxes;
        for (size_t i = 0; i < map.objects().size(); ++i) {
            if (map.objects()[i].isLine) continue;
            const gui::MapRect& b = index.BoundsOf(static_cast<uint32_t>(i));
            const QRectF box =
                QRectF(projection.MapToScreen(b.x0, b.y0), projection.MapToScreen(b.x1, b.y1)).normalized();
            if (box.width() >= 4 || box.height() >= 4) boxes.push_back(box);
        }
        return boxes;
    }
};

void ExpectNoTwoIntersect(const gui::PaintStats& stats) {
    for (size_t i = 0; i < stats.labelBoxes.size(); ++i) {
        for (size_t j = i + 1; j < stats.labelBoxes.size(); ++j) {
            EXPECT_FALSE(stats.labelBoxes[i].intersects(stats.labelBoxes[j]))
                << "entities " << stats.labelledEntities[i] << " and " << stats.labelledEntities[j];
        }
    }
}

bool Labelled(const gui::PaintStats& stats, LONG entity) {
    return std::find(stats.labelledEntities.begin(), stats.labelledEntities.end(), entity) !=
           stats.labelledEntities.end();
}

}  // namespace

TEST(LabelPlacementTest, CrowdedViewLeavesLabelsOutRatherThanOverlapThem) {
    const Scene scene;
    // Fitted in 900 x 600 the copies are ~20 px apart and 15 px high: they carry
    // labels (10 px and up) that cannot all fit in 20 px.
    const gui::PaintStats crowded = scene.Paint(QSize(900, 600), 1.0, QPointF(0, 0));
    EXPECT_GT(crowded.labels, 0u);
    // Nor does a label cover a symbol.
    const std::vector<QRectF> symbols = scene.SymbolBoxes();
    ASSERT_GT(symbols.size(), 20u);
    for (const QRectF& label : crowded.labelBoxes) {
        for (const QRectF& symbol : symbols) EXPECT_FALSE(label.intersects(symbol));
    }
    EXPECT_GT(crowded.labelsSkipped, 0u) << "the view is not crowded: the test shows nothing";
    ExpectNoTwoIntersect(crowded);
    EXPECT_EQ(crowded.labelBoxes.size(), crowded.labelledEntities.size());
}

TEST(LabelPlacementTest, ZoomedInEveryLabelInViewIsDrawn) {
    const Scene scene;
    const host::MapObject* station = scene.map.FindByEntity(scene.copies[5]);
    ASSERT_NE(station, nullptr);
    const QSize size(900, 600);
    const gui::CanvasView fit = gui::FitView(scene.map.view(), scene.index.Extent(), QSizeF(size));
    const QPointF at = gui::MapProjection(scene.map.view(), fit).MapToScreen(station->insertion.x, station->insertion.y);
    // 12 times closer the copies are ~240 px apart, each label block ~160 px wide.
    const gui::PaintStats zoomed = scene.Paint(size, 12.0, at);
    EXPECT_GT(zoomed.labels, 0u);
    EXPECT_EQ(zoomed.labelsSkipped, 0u);
    EXPECT_TRUE(Labelled(zoomed, station->entityId));
    ExpectNoTwoIntersect(zoomed);
}

TEST(LabelPlacementTest, PreferredObjectsLabelsWinAContestedPlace) {
    const Scene scene;
    const QSize size(900, 600);
    const gui::PaintStats plain = scene.Paint(size, 1.0, QPointF(0, 0));
    // In drawing order the first copies take the places; a later one loses its labels.
    LONG loser = 0;
    for (const LONG id : scene.copies) {
        if (!Labelled(plain, id)) loser = id;
    }
    ASSERT_NE(loser, 0) << "every copy kept its labels: the view is not crowded";
    const gui::PaintStats preferred = scene.Paint(size, 1.0, QPointF(0, 0), loser);
    ASSERT_FALSE(preferred.labelledEntities.empty());
    EXPECT_EQ(preferred.labelledEntities.front(), loser);
    ExpectNoTwoIntersect(preferred);
}

TEST(LabelPlacementTest, LabelsByTheEdgeGoToTheInnerSide) {
    host::MapDocument map;
    ASSERT_TRUE(host::LoadMapFile(JD_SOURCE_DIR "/examples/sample-mine.json", map).ok);
    gui::SpatialIndex index;
    index.Build(map);
    // Fitted with the usual 20-pixel margin, the leftmost and rightmost
    // symbols' labels are wider than the margin: centred under them they
    // would be cut by the edge.
    const QSize size(900, 600);
    const gui::MapProjection projection(map.view(), gui::FitView(map.view(), index.Extent(), QSizeF(size)));
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    gui::PaintOptions options;
    options.font = QApplication::font();
    gui::PaintStats stats;
    gui::PaintMap(painter, map, index, projection, QRect(QPoint(0, 0), size), options, &stats);
    ASSERT_GT(stats.labelBoxes.size(), 20u);
    const QRectF view(QPointF(0, 0), QSizeF(size));
    for (size_t i = 0; i < stats.labelBoxes.size(); ++i) {
        EXPECT_TRUE(view.contains(stats.labelBoxes[i])) << "entity " << stats.labelledEntities[i];
    }
    ExpectNoTwoIntersect(stats);
}
