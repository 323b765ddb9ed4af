#pragma once
// The platform drawing context on a Qt painter. It keeps the selection and
// raster-operation bookkeeping of the recording context (so every operation
// is also in Lines() for a test to read) and draws each operation in screen
// pixels: the module draws in client coordinates (MapToClient), and the
// canvas's zoom and pan take them to the screen.
//
// Raster operations: copy-pen draws the pen's colour; not-copy-pen its
// inverse, which is what the platform puts on any background; xor-pen and
// not (invert the screen) use the painter's raster operations where the
// device has them, else draw as copy-pen.
#include "jdhost-gui/MapRenderer.h"
#include "platform/RecordingDC.h"

class QPainter;

namespace gui {

class PainterDC : public CRecordingDC {
public:
    PainterDC(QPainter& painter, const MapProjection& projection);

protected:
    BOOL DoLineTo(int x, int y) override;
    BOOL DoRectangle(int x1, int y1, int x2, int y2) override;
    BOOL DoEllipse(int x1, int y1, int x2, int y2) override;
    BOOL DoTextOut(int x, int y, const CString& text) override;

private:
    // Sets the painter's pen, brush and composition mode for the context's current state.
    void Prepare(bool withBrush);
    QColor Ink(COLORREF colour) const;
    QPointF Screen(int x, int y) const;

    QPainter& m_painter;
    const MapProjection& m_projection;
};

}  // namespace gui
