// Paint and pick on a generated map of 100,000 objects: a full-view paint
// with culling, a paint zoomed into a corner, and a pick under the cursor.
// The figures are printed by Google Benchmark; nothing here is a pass/fail
// timing. Run: build/bin/bench_gui (QT_QPA_PLATFORM=offscreen is set here).
#include <benchmark/benchmark.h>

#include <random>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "host/MapDocument.h"
#include "jdhost-gui/MapGeometry.h"
#include "jdhost-gui/MapRenderer.h"
#include "platform/Gbk.h"

namespace {

// Rows of feeders: each switch symbol feeds a motor symbol by a two-segment
// cable, with short-circuit points on some cables; 100,000 objects in all.
const host::MapDocument& GeneratedMap() {
    static const host::MapDocument map = [] {
        host::MapDocument m;
        m.view() = host::MapView{0.0, 10000.0, 0.5};
        auto layer = [&](LONG id, const char* name, LONG colour) {
            host::Layer l;
            l.id = id;
            l.name = FromUtf8(name);
            l.colour = colour;
            m.layers().push_back(l);
        };
        layer(1, "低压供电", 0xFF0000);
        layer(2, "供电设备", 0x008000);
        auto symbol = [&](LONG id, const char* name, double half) {
            host::SymbolDefinition s;
            s.id = id;
            s.name = FromUtf8(name);
            s.x0 = -half - 1;
            s.x1 = half + 1;
            s.y0 = -half;
            s.y1 = half;
            m.symbols().push_back(s);
        };
        symbol(1, "启动器", 5);
        symbol(2, "电动机", 4.5);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> jitter(-3.0, 3.0);
        const int perRow = 200;
        m.objects().reserve(100000);
        int n = 0;
        for (int k = 0; n < 100000; ++k) {
            const double x = (k % perRow) * 50.0 + jitter(random);
            const double y = (k / perRow) * 40.0 + jitter(random);
            host::MapObject starter;
            starter.kind = FromUtf8(host::KindName::Starter);
            starter.name = FromUtf8("启动器") + CString::Formatted("%d", k);
            starter.layer = 2;
            starter.symbol = 1;
            starter.insertion = {x, y, 0};
            starter.width = 12;
            starter.height = 10;
            starter.labels.push_back({FromUtf8("QBZ-80/1140"), 0, 0});
            const LONG from = m.AddObject(starter).entityId;
            host::MapObject motor = starter;
            motor.kind = FromUtf8(host::KindName::Motor);
            motor.name = FromUtf8("电动机") + CString::Formatted("%d", k);
            motor.symbol = 2;
            motor.insertion = {x + 20, y - 20, 0};
            motor.labels = {{FromUtf8("30kW"), 0, 0}};
            const LONG to = m.AddObject(motor).entityId;
            host::MapObject cable;
            cable.isLine = true;
            cable.entityType = host::EntityType::Line;
            cable.kind = FromUtf8(host::KindName::Cable);
            cable.layer = 1;
            cable.outline = {{x, y, 0}, {x, y - 20, 0}, {x + 20, y - 20, 0}};
            cable.fromEntity = from;
            cable.toEntity = to;
            cable.labels = {{FromUtf8("MYP-3×35"), 0, 0}};
            m.AddObject(cable);
            n += 3;
            if (n < 100000 && k % 3 == 0) {
                host::MapObject point;
                point.entityType = host::EntityType::ShortCircuitPoint;
                point.kind = FromUtf8(host::KindName::ShortCircuitPoint);
                point.layer = 2;
                point.colour = 0xFF00FF;
                point.insertion = {x + 10, y - 20, 0};
                point.outline = {{x + 8.5, y - 21.5, 0}, {x + 11.5, y - 21.5, 0}, {x + 11.5, y - 18.5, 0},
                                 {x + 8.5, y - 18.5, 0}};
                m.AddObject(point);
                ++n;
            }
        }
        return m;
    }();
    return map;
}

const gui::SpatialIndex& Index() {
    static const gui::SpatialIndex index = [] {
        gui::SpatialIndex i;
        i.Build(GeneratedMap());
        return i;
    }();
    return index;
}

const QSize kCanvas(1600, 1000);

void BM_BuildIndex(benchmark::State& state) {
    for (auto _ : state) {
        gui::SpatialIndex index;
        index.Build(GeneratedMap());
        benchmark::DoNotOptimize(index.ObjectCount());
    }
    state.counters["objects"] = static_cast<double>(GeneratedMap().objects().size());
}

void Paint(benchmark::State& state, const gui::CanvasView& view) {
    const host::MapDocument& map = GeneratedMap();
    QImage image(kCanvas, QImage::Format_RGB32);
    gui::PaintOptions options;
    options.font = QApplication::font();
    gui::PaintStats stats;
    for (auto _ : state) {
        QPainter painter(&image);
        gui::PaintMap(painter, map, Index(), gui::MapProjection(map.view(), view), QRect(QPoint(), kCanvas), options,
                      &stats);
    }
    state.counters["candidates"] = static_cast<double>(stats.candidates);
    state.counters["shapes"] = static_cast<double>(stats.shapes);
    state.counters["dots"] = static_cast<double>(stats.dots);
    state.counters["labels"] = static_cast<double>(stats.labels);
}

void BM_PaintFullView(benchmark::State& state) {
    Paint(state, gui::FitView(GeneratedMap().view(), Index().Extent(), QSizeF(kCanvas)));
}

void BM_PaintZoomedIn(benchmark::State& state) {
    const host::MapDocument& map = GeneratedMap();
    gui::CanvasView view = gui::FitView(map.view(), Index().Extent(), QSizeF(kCanvas));
    // Forty times closer about a point near the top left corner of the map:
    // a few hundred objects in view, drawn in full with their labels.
    const gui::MapRect& extent = Index().Extent();
    const QPointF at = gui::MapProjection(map.view(), view).MapToScreen(extent.x0 + 300.0, extent.y1 - 300.0);
    const double factor = 40.0;
    view.panX = at.x() - (at.x() - view.panX) * factor;
    view.panY = at.y() - (at.y() - view.panY) * factor;
    view.zoom *= factor;
    Paint(state, view);
}

void BM_Pick(benchmark::State& state) {
    const host::MapDocument& map = GeneratedMap();
    const gui::MapRect& extent = Index().Extent();
    std::mt19937 random(11);
    std::uniform_real_distribution<double> x(extent.x0, extent.x1), y(extent.y0, extent.y1);
    long hits = 0;
    for (auto _ : state) {
        // Four pixels at the full view's scale of about 0.16 pixel per unit is some 25 map units.
        hits += Index().Pick(map, x(random), y(random), 25.0) >= 0 ? 1 : 0;
    }
    state.counters["hit rate"] = benchmark::Counter(static_cast<double>(hits), benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintFullView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintZoomedIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pick)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The map and its index are made before any timing starts.
    GeneratedMap();
    Index();
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
