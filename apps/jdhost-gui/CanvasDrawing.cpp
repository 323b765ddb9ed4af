#include "jdhost-gui/CanvasDrawing.h"

#include <algorithm>

#include <QEventLoop>
#include <QPainter>
#include <QTimer>

#include "jdhost-gui/MapCanvas.h"
#include "jdhost-gui/PainterDC.h"

namespace gui {

CanvasWindowDrawing::Context::Context(QPainter& painter, const MapProjection& at)
    : projection(at), dc(std::make_unique<PainterDC>(painter, projection)) {}

CanvasWindowDrawing::CanvasWindowDrawing(MapCanvas& canvas) : m_canvas(canvas) {}

CanvasWindowDrawing::~CanvasWindowDrawing() {
    // Contexts the module never gave back: their drawings still count.
    m_contexts.clear();
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

CDC* CanvasWindowDrawing::GetWindowDC(HWND /*window*/) {
    if (!m_painter) {
        QImage& surface = m_canvas.WindowSurface();
        m_painter = std::make_unique<QPainter>(&surface);
        m_painter->setFont(m_canvas.font());
    }
    auto context = std::make_unique<Context>(*m_painter, m_canvas.Projection());
    CDC* handed = context->dc.get();
    m_contexts.emplace(handed, std::move(context));
    return handed;
}

void CanvasWindowDrawing::ReleaseWindowDC(HWND /*window*/, CDC* dc) {
    if (m_contexts.erase(dc) == 0) return;   // not one of ours (or given back twice)
    if (m_contexts.empty() && m_painter) {
        m_painter->end();
        m_painter.reset();
        m_canvas.WindowDrawingDone();
    }
}

void CanvasWindowDrawing::Pause(unsigned milliseconds) {
    m_canvas.update();
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    // A coarse timer may fire a little early; the pause is a promise to the user.
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::min(milliseconds, 60000u)));
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace gui
