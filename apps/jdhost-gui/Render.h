#pragma once
// Drawing without a screen: a map to a PNG (with the module's highlight of a
// picked object), and the screenshot of the window with the Set Transformer
// dialog open that the README shows. Both run on any Qt platform, including
// QT_QPA_PLATFORM=offscreen.
#include <functional>
#include <ostream>
#include <string>

#include <QImage>
#include <QSize>
#include <QString>

#include "host/MapDocument.h"

class CDC;

namespace gui {

// A font that has the Chinese glyphs the maps and dialogs use, when the
// system has one (the CJK font package the project installs); the
// application font otherwise.
void UseChineseFont();

// The map fitted into an image of that size, with `overlay` drawn on top in
// client coordinates (as the canvas's paint overlay).
QImage RenderMapImage(const host::MapDocument& map, QSize size, const std::function<void(CDC&)>& overlay = {},
                      LONG preferredEntity = 0);

struct RenderRequest {
    QString mapPath;
    QString outPath;
    std::string select;       // UTF-8 name or #id; empty: no highlight
    std::string modulePath;   // empty: beside the program
    QSize size{1200, 800};
};

// `--render`: 0 when written; 2 for bad input (map, name); 1 when the module
// or the file writing failed. Messages go to `err`.
int RunRender(const RenderRequest& request, std::ostream& err);

// `--screenshot`: opens the window on the map, runs the command on `select`
// up to its dialog and writes the window with the dialog over it.
int RunScreenshot(const RenderRequest& request, std::ostream& err);

}  // namespace gui
