#include "jdhost-gui/Render.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include "host/HostObjects.h"
#include "host/MapFile.h"
#include "jdhost-gui/MainWindow.h"
#include "jdhost-gui/MapCanvas.h"
#include "jdhost-gui/PainterDC.h"
#include "jdhost/MapReport.h"
#include "jdhost/ModuleCommandHost.h"

namespace gui {

void UseChineseFont() {
    static const char* const kFamilies[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"};
    const QStringList available = QFontDatabase::families();
    for (const char* family : kFamilies) {
        if (available.contains(QString::fromUtf8(family))) {
            QFont font(QString::fromUtf8(family));
            font.setPointSize(QApplication::font().pointSize() > 0 ? QApplication::font().pointSize() : 10);
            QApplication::setFont(font);
            return;
        }
    }
}

QImage RenderMapImage(const host::MapDocument& map, QSize size, const std::function<void(CDC&)>& overlay,
                      LONG preferredEntity) {
    SpatialIndex index;
    index.Build(map);
    const CanvasView view = FitView(map.view(), index.Extent(), QSizeF(size));
    const MapProjection projection(map.view(), view);
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintOptions options;
    options.font = QApplication::font();
    options.preferredEntity = preferredEntity;
    PaintMap(painter, map, index, projection, QRect(QPoint(0, 0), size), options);
    if (overlay) {
        PainterDC dc(painter, projection);
        overlay(dc);
    }
    painter.end();
    return image;
}

namespace {

class SilentEvents : public jdhost::IHostEvents {
public:
    void ReportPrompt(const CString&) override {}
    void ReportLine(const std::string&) override {}
};

bool LoadForRender(const RenderRequest& request, host::MapDocument& map, std::ostream& err) {
    const host::MapLoadResult result = host::LoadMapFile(request.mapPath.toStdString(), map);
    if (!result.ok) {
        err << result.Describe(request.mapPath.toStdString());
        return false;
    }
    return true;
}

}  // namespace

int RunRender(const RenderRequest& request, std::ostream& err) {
    host::MapDocument map;
    if (!LoadForRender(request, map, err)) return 2;
    if (request.size.width() <= 0 || request.size.height() <= 0 || request.size.width() > 20000 ||
        request.size.height() > 20000) {
        err << "jdhost-gui: the image size must be between 1x1 and 20000x20000\n";
        return 2;
    }
    QImage image;
    if (request.select.empty()) {
        image = RenderMapImage(map, request.size);
    } else {
        std::string error;
        const host::MapObject* object = jdhost::FindObject(map, request.select, error);
        if (!object) {
            err << request.mapPath.toStdString() << ": " << error << "\n";
            return 2;
        }
        const LONG entity = object->entityId;
        // The highlight is the module's: the command picks the object and draws on a repaint.
        std::unique_ptr<jdhost::CommandModule> module = jdhost::CommandModule::Load(
            request.modulePath.empty() ? jdhost::DefaultModulePath() : request.modulePath, error);
        if (!module) {
            err << "jdhost-gui: " << error << "\n";
            return 1;
        }
        host::CallLog noLog{host::CallLog::kNothing};
        host::HostSession session(map, &noLog);
        SilentEvents events;
        jdhost::ModuleCommandHost command(*module, session, events);
        if (!command.Launch(error) || !command.Pick({entity}, error)) {
            err << "jdhost-gui: " << error << "\n";
            return 1;
        }
        if (!command.IsCommandCurrent() || session.pendingPickArray()) {
            err << "jdhost-gui: the command did not take " << request.select
                << " (only a transformer can be selected)\n";
            command.Key(VK_ESCAPE, error);
            return 2;
        }
        image = RenderMapImage(map, request.size, [&](CDC& dc) { command.RepaintInto(dc, error); }, entity);
        command.Key(VK_ESCAPE, error);
    }
    if (!image.save(request.outPath, "PNG")) {
        err << "jdhost-gui: cannot write " << request.outPath.toStdString() << "\n";
        return 1;
    }
    return 0;
}

int RunScreenshot(const RenderRequest& request, std::ostream& err) {
    MainWindow window(request.modulePath);
    if (!window.OpenMap(request.mapPath)) {
        err << "jdhost-gui: cannot open " << request.mapPath.toStdString() << "\n";
        return 2;
    }
    window.resize(request.size);
    window.show();
    std::string error;
    const host::MapObject* object = jdhost::FindObject(*window.document(), request.select, error);
    if (!object) {
        err << request.mapPath.toStdString() << ": " << error << "\n";
        return 2;
    }
    const LONG entity = object->entityId;
    window.SelectEntity(entity);
    QApplication::processEvents();
    bool written = false;
    window.dialogs().onDialogShown = [&](DialogWindow& dialog) {
        QTimer::singleShot(200, &dialog, [&]() {
            // The window with the dialog centred over it, as a user sees them.
            QPixmap shot = window.grab();
            const QPixmap dialogShot = dialog.grab();
            QPainter painter(&shot);
            const QPoint at((shot.width() - dialogShot.width()) / 2, (shot.height() - dialogShot.height()) / 2);
            painter.fillRect(QRect(at + QPoint(4, 4), dialogShot.size()), QColor(0, 0, 0, 60));
            painter.drawPixmap(at, dialogShot);
            painter.setPen(Qt::darkGray);
            painter.drawRect(QRect(at, dialogShot.size()).adjusted(0, 0, -1, -1));
            painter.end();
            written = shot.save(request.outPath, "PNG");
            dialog.reject();
        });
        window.dialogs().onDialogShown = nullptr;
    };
    window.LaunchCommand();
    const host::MapObject* target = window.document()->FindByEntity(entity);
    const QPointF at = window.canvas()->ScreenPointOf(*target);
    window.ClickCanvas(at, Qt::NoModifier);   // the pick
    QApplication::processEvents();
    window.ClickCanvas(at, Qt::NoModifier);   // the click that opens the dialog
    window.CancelCommand();
    if (!written) {
        err << "jdhost-gui: no dialog was shown for " << request.select << ", or " << request.outPath.toStdString()
            << " could not be written\n";
        return 1;
    }
    return 0;
}

}  // namespace gui
