#include "jdhost-gui/PainterDC.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include "platform/Gdi.h"

namespace gui {

PainterDC::PainterDC(QPainter& painter, const MapProjection& projection)
    : m_painter(painter), m_projection(projection) {}

QPointF PainterDC::Screen(int x, int y) const { return m_projection.ClientToScreen(QPointF(x, y)); }

QColor PainterDC::Ink(COLORREF colour) const {
    const int rop = GetROP2();
    if (rop == R2_NOTCOPYPEN) return FromColorRef(~colour & 0xFFFFFF);
    if (rop == R2_BLACK) return Qt::black;
    return FromColorRef(colour);
}

void PainterDC::Prepare(bool withBrush) {
    const int rop = GetROP2();
    const bool raster = m_painter.paintEngine() && m_painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    if (raster && rop == R2_XORPEN) {
        m_painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    } else if (raster && rop == R2_NOT) {
        m_painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    } else {
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    HGDIOBJ pen = CurrentPen();
    if (IsGdiObject(pen) && pen->style != PS_NULL) {
        QPen qpen(Ink(pen->color));
        qpen.setCosmetic(true);
        qpen.setWidthF(std::max(1, pen->width));
        switch (pen->style) {
        case PS_DASH: qpen.setStyle(Qt::DashLine); break;
        case PS_DOT: qpen.setStyle(Qt::DotLine); break;
        case PS_DASHDOT: qpen.setStyle(Qt::DashDotLine); break;
        case PS_DASHDOTDOT: qpen.setStyle(Qt::DashDotDotLine); break;
        default: qpen.setStyle(Qt::SolidLine); break;
        }
        m_painter.setPen(qpen);
    } else {
        m_painter.setPen(Qt::NoPen);
    }
    HGDIOBJ brush = CurrentBrush();
    if (withBrush && IsGdiObject(brush) && brush->style != BS_NULL) {
        m_painter.setBrush(Ink(brush->color));
    } else {
        m_painter.setBrush(Qt::NoBrush);
    }
}

BOOL PainterDC::DoLineTo(int x, int y) {
    const CPoint from = CurrentPosition();
    CRecordingDC::DoLineTo(x, y);
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    Prepare(false);
    m_painter.drawLine(Screen(from.x, from.y), Screen(x, y));
    m_painter.restore();
    return TRUE;
}

BOOL PainterDC::DoRectangle(int x1, int y1, int x2, int y2) {
    CRecordingDC::DoRectangle(x1, y1, x2, y2);
    m_painter.save();
    m_painter.setRenderHint(QPainter::Antialiasing, false);
    Prepare(true);
    // The platform's rectangle excludes its right and bottom edges.
    m_painter.drawRect(QRectF(Screen(x1, y1), Screen(x2 - 1, y2 - 1)).normalized());
    m_painter.restore();
    return TRUE;
}

BOOL PainterDC::DoEllipse(int x1, int y1, int x2, int y2) {
    CRecordingDC::DoEllipse(x1, y1, x2, y2);
    m_painter.save();
    Prepare(true);
    m_painter.drawEllipse(QRectF(Screen(x1, y1), Screen(x2 - 1, y2 - 1)).normalized());
    m_painter.restore();
    return TRUE;
}

BOOL PainterDC::DoTextOut(int x, int y, const CString& text) {
    CRecordingDC::DoTextOut(x, y, text);
    m_painter.save();
    const QString s = FromGbk(text);
    const QPointF at = Screen(x, y);
    const QFontMetricsF metrics(m_painter.font());
    if (GetBkMode() == OPAQUE) {
        m_painter.fillRect(QRectF(at, QSizeF(metrics.horizontalAdvance(s), metrics.height())), FromColorRef(GetBkColor()));
    }
    m_painter.setPen(FromColorRef(GetTextColor()));
    // The platform places text by its top left corner.
    m_painter.drawText(at + QPointF(0, metrics.ascent()), s);
    m_painter.restore();
    return TRUE;
}

}  // namespace gui
