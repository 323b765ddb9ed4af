// Drawings straight into the map window (the switch dialogs flash an outline
// this way): they reach the canvas where the module's client coordinates put
// them, each pause really waits with the event loop running, and the map's
// redraw takes them away.
#include <gtest/gtest.h>

#include <filesystem>

#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "host/HostObjects.h"
#include "host/MorvaObjects.h"
#include "jdhost-gui/MainWindow.h"
#include "jdhost-gui/MapCanvas.h"
#include "platform/Gdi.h"
#include "platform/Gbk.h"
#include "platform/WindowDrawing.h"

namespace {

// Pure red, the flash's first pen.
int RedPixelsNear(const QImage& image, QPoint centre, int radius) {
    int count = 0;
    for (int y = std::max(0, centre.y() - radius); y <= std::min(image.height() - 1, centre.y() + radius); ++y) {
        for (int x = std::max(0, centre.x() - radius); x <= std::min(image.width() - 1, centre.x() + radius); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0) ++count;
        }
    }
    return count;
}

class WindowDrawingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // One folder per test: ctest runs the tests of this suite side by side.
        const std::string dir = guitest::ScratchDir(std::string("window-drawing-") +
                                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        const std::string map = dir + "/sample-mine.json";
        std::filesystem::copy_file(JD_SOURCE_DIR "/examples/sample-mine.json", map);
        window = std::make_unique<gui::MainWindow>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->OpenMap(QString::fromStdString(map)));
        session = host::HostSession::Active();
        ASSERT_NE(session, nullptr);
    }
    void TearDown() override {
        if (window) window->setWindowModified(false);
        window.reset();
    }

    // A square outline of half-size 8 pixels around the object, drawn as the
    // module flashes: client coordinates from the map control, a 3-pixel red pen.
    QPoint DrawSquareAround(const char* name) {
        const host::MapObject* object = window->document()->FindByName(FromUtf8(name));
        EXPECT_NE(object, nullptr);
        if (!object) return {};
        double cx = 0.0, cy = 0.0;
        session->mapControl().MapToClient(object->insertion.x, object->insertion.y, &cx, &cy);
        const int x = static_cast<int>(cx), y = static_cast<int>(cy);
        CDC* dc = GetWindowDC(session->mapControl().GetSafeHwnd());
        EXPECT_NE(dc, nullptr);
        CPen pen(PS_SOLID, 3, RGB(255, 0, 0));
        CPen* previous = dc->SelectObject(&pen);
        dc->MoveTo(x - 8, y - 8);
        dc->LineTo(x + 8, y - 8);
        dc->LineTo(x + 8, y + 8);
        dc->LineTo(x - 8, y + 8);
        dc->LineTo(x - 8, y - 8);
        dc->SelectObject(previous);
        ReleaseWindowDC(session->mapControl().GetSafeHwnd(), dc);
        return window->canvas()->ScreenPointOf(*object).toPoint();
    }

    std::unique_ptr<gui::MainWindow> window;
    host::HostSession* session = nullptr;
};

}  // namespace

TEST_F(WindowDrawingTest, DrawingsReachTheCanvasUntilTheMapIsRedrawn) {
    const QPoint screen = DrawSquareAround("1#移动变电站");
    ASSERT_TRUE(window->canvas()->HasWindowSurface());
    // The square's sides are 8 canvas-zoomed client pixels from the centre; at
    // the fitted zoom they lie within 8 * zoom + 3 pixels of it.
    const double zoom = window->canvas()->canvasView().zoom;
    const int reach = static_cast<int>(8 * zoom) + 4;
    const QImage shown = window->canvas()->grab().toImage();
    EXPECT_GT(RedPixelsNear(shown, screen, reach), 8) << "zoom " << zoom;
    // Nothing red far away: the sample draws no pure red of its own.
    EXPECT_EQ(RedPixelsNear(shown, QPoint(shown.width() / 2, shown.height() / 2) + QPoint(shown.width() / 2, 0), 3) +
                  RedPixelsNear(shown, QPoint(3, 3), 3),
              0);

    // The module's RedrawMap (counted by the map control), seen after a dialog action: the drawing goes.
    session->mapControl().RedrawMap();
    window->CheckMapRedrawn();
    EXPECT_FALSE(window->canvas()->HasWindowSurface());
    EXPECT_EQ(RedPixelsNear(window->canvas()->grab().toImage(), screen, reach), 0);

    // So does a zoom: the canvas draws the map anew.
    DrawSquareAround("1#移动变电站");
    ASSERT_TRUE(window->canvas()->HasWindowSurface());
    window->canvas()->ZoomAt(1.25, QPointF(10, 10));
    EXPECT_FALSE(window->canvas()->HasWindowSurface());
}

TEST_F(WindowDrawingTest, PauseWaitsWithTheEventLoopRunning) {
    DrawSquareAround("1#移动变电站");
    // Something queued before the pause must run during it (the repaint is such a thing).
    bool ran = false;
    QTimer::singleShot(0, window.get(), [&ran]() { ran = true; });
    QElapsedTimer clock;
    clock.start();
    PauseForDisplay(100);
    const qint64 waited = clock.elapsed();
    EXPECT_TRUE(ran);
    // Not skipped: a precise timer does not fire early (a few ms of clock granularity allowed).
    EXPECT_GE(waited, 95);
}

TEST_F(WindowDrawingTest, ARedrawWhileAContextDrawsWaitsUntilItIsGivenBack) {
    CDC* dc = GetWindowDC(session->mapControl().GetSafeHwnd());
    ASSERT_TRUE(window->canvas()->HasWindowSurface());
    // A zoom asks for a fresh map while the module still holds the context:
    // its pixels must stay until the context is given back.
    window->canvas()->ZoomAt(1.25, QPointF(10, 10));
    EXPECT_TRUE(window->canvas()->HasWindowSurface());
    CPen pen(PS_SOLID, 3, RGB(255, 0, 0));
    CPen* previous = dc->SelectObject(&pen);
    dc->MoveTo(0, 0);
    dc->LineTo(40, 40);
    dc->SelectObject(previous);
    ReleaseWindowDC(session->mapControl().GetSafeHwnd(), dc);
    EXPECT_FALSE(window->canvas()->HasWindowSurface());
}
