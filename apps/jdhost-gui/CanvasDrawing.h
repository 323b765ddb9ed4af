#pragma once
// The platform's window drawing on the desktop: what the module draws straight
// into the map window outside a repaint (an outline flashed while a switch
// dialog is open) lands on the canvas, and a pause really lets the asked time
// pass with the event loop running, so that each drawing is seen before the
// next one replaces it.
//
// A widget can only be painted from its paint event, so the canvas keeps a
// window surface: on the first drawing it takes a picture of what it shows,
// the drawings go onto that picture, and the canvas shows the picture until
// the map is really redrawn (the module's RedrawMap, a zoom, a pan, a new map).
#include <map>
#include <memory>

#include "jdhost-gui/MapRenderer.h"

#include "platform/WindowDrawing.h"

class QPainter;

namespace gui {

class MapCanvas;
class PainterDC;

class CanvasWindowDrawing : public IWindowDrawingService {
public:
    // Every window the module draws into is the map window: the module has
    // only the map control to draw in. The canvas must outlive the service.
    explicit CanvasWindowDrawing(MapCanvas& canvas);
    ~CanvasWindowDrawing() override;

    CDC* GetWindowDC(HWND window) override;
    void ReleaseWindowDC(HWND window, CDC* dc) override;
    // Waits `milliseconds` in a local event loop that paints but holds back
    // the user's input: a click on the dialog must not run a handler while
    // the one that is flashing has not returned.
    void Pause(unsigned milliseconds) override;

    int OutstandingContexts() const { return static_cast<int>(m_contexts.size()); }

private:
    MapCanvas& m_canvas;
    // Contexts handed out share one painter on the canvas's surface; it ends
    // when the last one is given back.
    std::unique_ptr<QPainter> m_painter;
    struct Context {
        explicit Context(QPainter& painter, const MapProjection& at);
        MapProjection projection;   // the canvas's as the drawing began
        std::unique_ptr<PainterDC> dc;
    };
    std::map<CDC*, std::unique_ptr<Context>> m_contexts;
};

}  // namespace gui
