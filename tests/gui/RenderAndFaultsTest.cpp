// The offscreen render with the module's highlight, Chinese glyphs, and what
// the window does with bad input: a map that does not load, a save that
// fails, a module that is missing, unsaved changes at close.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "host/MapFile.h"
#include "jdhost-gui/MainWindow.h"
#include "jdhost-gui/MapCanvas.h"
#include "jdhost-gui/Render.h"
#include "platform/Gbk.h"

using guitest::U;

namespace {

// The highlight's colours (COLORREF 0x00BBGGRR): the grips' pen 65280 is
// (0, 255, 0), their brush 65402 is (122, 255, 0); the frame's red pen 255
// drawn with the not-copy-pen operation is its inverse, (0, 255, 255).
bool IsHighlightColour(QRgb c) {
    const int r = qRed(c), g = qGreen(c), b = qBlue(c);
    return (r == 0 && g == 255 && b == 0) || (r == 122 && g == 255 && b == 0) || (r == 0 && g == 255 && b == 255);
}

}  // namespace

TEST(RenderTest, HighlightAppearsAroundThePickedSymbolOnly) {
    const std::string dir = guitest::ScratchDir("render");
    gui::RenderRequest request;
    request.mapPath = QStringLiteral(JD_SOURCE_DIR "/examples/sample-mine.json");
    request.outPath = QString::fromStdString(dir + "/highlight.png");
    request.select = "1#移动变电站";
    request.size = QSize(900, 600);
    std::ostringstream err;
    ASSERT_EQ(gui::RunRender(request, err), 0) << err.str();
    const QImage image(request.outPath);
    ASSERT_EQ(image.size(), QSize(900, 600));

    // Where the symbol is in that image: the same fit the render uses.
    host::MapDocument map;
    ASSERT_TRUE(host::LoadMapFile(JD_SOURCE_DIR "/examples/sample-mine.json", map).ok);
    gui::SpatialIndex index;
    index.Build(map);
    const gui::MapProjection projection(map.view(), gui::FitView(map.view(), index.Extent(), QSizeF(900, 600)));
    const host::MapObject* object = map.FindByName(FromUtf8("1#移动变电站"));
    const gui::MapRect b = gui::ObjectBounds(map, *object);
    const QRectF symbol = QRectF(projection.MapToScreen(b.x0, b.y0), projection.MapToScreen(b.x1, b.y1)).normalized();
    // Grips are 6 pixels wide around the corners; allow their half size and rounding.
    const QRectF near = symbol.adjusted(-8, -8, 8, 8);
    int inside = 0, outside = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!IsHighlightColour(image.pixel(x, y))) continue;
            (near.contains(QPointF(x, y)) ? inside : outside)++;
        }
    }
    // Eight 6 x 6 grips alone cover 8 * 36 pixels less their overlap with nothing: at least 200.
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);

    // Without --select nothing is highlighted.
    request.select.clear();
    request.outPath = QString::fromStdString(dir + "/plain.png");
    ASSERT_EQ(gui::RunRender(request, err), 0) << err.str();
    const QImage plain(request.outPath);
    int any = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) any += IsHighlightColour(plain.pixel(x, y)) ? 1 : 0;
    }
    EXPECT_EQ(any, 0);
}

TEST(RenderTest, BadRenderRequestsAreRefusedWithAReason) {
    const std::string dir = guitest::ScratchDir("render-bad");
    gui::RenderRequest request;
    request.mapPath = QStringLiteral(JD_SOURCE_DIR "/examples/sample-mine.json");
    request.outPath = QString::fromStdString(dir + "/x.png");
    request.select = "no such object";
    std::ostringstream err;
    EXPECT_EQ(gui::RunRender(request, err), 2);
    EXPECT_NE(err.str().find("no such object"), std::string::npos) << err.str();
    // A cable is no transformer: the command does not take it.
    request.select = "1#高压电缆";
    err.str("");
    EXPECT_EQ(gui::RunRender(request, err), 2);
    EXPECT_NE(err.str().find("transformer"), std::string::npos) << err.str();
    request.select.clear();
    request.mapPath = QString::fromStdString(dir + "/missing.json");
    err.str("");
    EXPECT_EQ(gui::RunRender(request, err), 2);
    EXPECT_FALSE(err.str().empty());
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.png"));
}

TEST(RenderTest, ChineseLabelsHaveGlyphs) {
    const QString text = U("移动变电站");
    const QFont font = QApplication::font();
    const QFontMetrics metrics(font);
    for (const QChar c : text) EXPECT_TRUE(metrics.inFont(c)) << "no glyph for U+" << std::hex << static_cast<int>(c.unicode());
    QImage image(200, 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(4, 28), text);
    painter.end();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    // Five CJK glyphs with their many strokes leave well over a hundred dark pixels; a
    // missing font draws empty boxes of a few outline pixels each, or nothing.
    EXPECT_GT(ink, 150);
}

class FaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = guitest::ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_map = m_dir + "/sample-mine.json";
        std::filesystem::copy_file(JD_SOURCE_DIR "/examples/sample-mine.json", m_map);
    }
    std::string m_dir;
    std::string m_map;
};

TEST_F(FaultsTest, AMapThatFailsToLoadShowsEveryProblemAndKeepsTheWindow) {
    gui::MainWindow window;
    window.show();
    ASSERT_TRUE(window.OpenMap(QString::fromStdString(m_map)));
    // Two located problems: an object of unknown layer type and a negative size.
    const std::string bad = m_dir + "/bad.json";
    {
        std::ifstream in(m_map);
        std::stringstream text;
        text << in.rdbuf();
        std::string json = text.str();
        const size_t first = json.find("\"layer\": 1");
        ASSERT_NE(first, std::string::npos);
        json.replace(first, 10, "\"layer\": \"one\"");
        const size_t second = json.find("\"colour\": 32768");
        ASSERT_NE(second, std::string::npos);
        json.replace(second, 15, "\"colour\": -5");
        std::ofstream(bad) << json;
    }
    host::MapDocument probe;
    const host::MapLoadResult expected = host::LoadMapFile(bad, probe);
    ASSERT_FALSE(expected.ok);
    ASSERT_GE(expected.problems.size(), 2u);
    QString shown;
    QString name;
    guitest::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        name = box->objectName();
        shown = box->text() + "\n" + box->informativeText();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_FALSE(window.OpenMap(QString::fromStdString(bad)));
    EXPECT_EQ(name, QStringLiteral("mapLoadErrors"));
    for (const host::MapFileProblem& p : expected.problems) {
        EXPECT_TRUE(shown.contains(QString::fromStdString(p.where))) << p.where << " not in " << shown.toStdString();
    }
    // The map shown before is still there and usable.
    EXPECT_EQ(window.mapPath(), QString::fromStdString(m_map));
    EXPECT_EQ(window.document()->objects().size(), 50u);
    QTest::mouseClick(window.canvas(), Qt::LeftButton, Qt::NoModifier,
                      window.canvas()->ScreenPointOf(*window.document()->FindByName(FromUtf8("d4"))).toPoint());
    EXPECT_TRUE(window.recordsView()->toPlainText().contains(QStringLiteral("d4")));
}

TEST_F(FaultsTest, AFailedSaveShowsTheReasonAndKeepsTheMapUnsaved) {
    gui::MainWindow window;
    window.show();
    ASSERT_TRUE(window.OpenMap(QString::fromStdString(m_map)));
    window.mutableDocument()->setModified(true);
    QString reason;
    guitest::WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        reason = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    const QString target = QString::fromStdString(m_dir + "/no-such-folder/out.json");
    EXPECT_FALSE(window.SaveMapAs(target));
    EXPECT_TRUE(reason.contains(target)) << reason.toStdString();
    EXPECT_TRUE(window.isWindowModified());
    EXPECT_EQ(window.mapPath(), QString::fromStdString(m_map));
    // A save that works clears the mark and writes a map that loads back equal.
    const QString good = QString::fromStdString(m_dir + "/saved.json");
    EXPECT_TRUE(window.SaveMapAs(good));
    EXPECT_FALSE(window.isWindowModified());
    host::MapDocument back;
    ASSERT_TRUE(host::LoadMapFile(good.toStdString(), back).ok);
    EXPECT_TRUE(back == *window.document());

    // Closing with unsaved changes asks; Cancel keeps the window open, Discard closes it.
    window.mutableDocument()->setModified(true);
    guitest::WhenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->objectName(), QStringLiteral("unsavedChanges"));
        box->button(QMessageBox::Cancel)->click();
    });
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    guitest::WhenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Discard)->click();
    });
    EXPECT_TRUE(window.close());
}

TEST_F(FaultsTest, AMissingModuleLeavesTheViewerWorking) {
    gui::MainWindow window(m_dir + "/libnot-a-module.so");
    window.show();
    EXPECT_FALSE(window.commandAction()->isEnabled());
    EXPECT_TRUE(window.moduleStatusLabel()->text().contains(QStringLiteral("libnot-a-module.so")))
        << window.moduleStatusLabel()->text().toStdString();
    ASSERT_TRUE(window.OpenMap(QString::fromStdString(m_map)));
    window.LaunchCommand();
    EXPECT_FALSE(window.commandRunning());
    QTest::mouseClick(window.canvas(), Qt::LeftButton, Qt::NoModifier,
                      window.canvas()->ScreenPointOf(*window.document()->FindByName(FromUtf8("1#移动变电站"))).toPoint());
    EXPECT_TRUE(window.recordsView()->toPlainText().contains(U("1#移动变电站")));
}
