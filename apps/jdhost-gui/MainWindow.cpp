#include "jdhost-gui/MainWindow.h"

#include <sstream>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QVBoxLayout>

#include "host/MapFile.h"
#include "jdhost-gui/MapCanvas.h"
#include "jdhost/MapReport.h"
#include "platform/KeyState.h"

namespace gui {

namespace {
constexpr int kMaxRecentFiles = 8;
constexpr int kStatusMessageMs = 8000;
const char* const kRecentKey = "recentFiles";
}  // namespace

QStringList CommandKeywords(const CString& translateName) {
    QStringList words;
    for (const QString& part : FromGbk(translateName).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        words << part.trimmed();
    }
    return words;
}

MainWindow::MainWindow(const std::string& modulePath, QWidget* parent)
    : QMainWindow(parent), m_dialogs(this), m_document(std::make_unique<host::MapDocument>()) {
    setObjectName(QStringLiteral("mainWindow"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    m_canvas = new MapCanvas(central);
    m_canvas->setObjectName(QStringLiteral("mapCanvas"));
    layout->addWidget(m_canvas, 1);
    m_windowDrawing = std::make_unique<CanvasWindowDrawing>(*m_canvas);
    m_windowDrawingScope = std::make_unique<WindowDrawingScope>(*m_windowDrawing);
    m_dialogs.afterAction = [this]() { CheckMapRedrawn(); };

    // The command line: the module's prompt, then a field to type a command's keyword.
    auto* commandRow = new QWidget(central);
    auto* row = new QHBoxLayout(commandRow);
    row->setContentsMargins(4, 0, 4, 2);
    m_prompt = new QLabel(tr("命令:"), commandRow);
    m_prompt->setObjectName(QStringLiteral("promptLabel"));
    m_commandLine = new QLineEdit(commandRow);
    m_commandLine->setObjectName(QStringLiteral("commandLine"));
    m_commandLine->setPlaceholderText(tr("type a command keyword, e.g. st"));
    row->addWidget(m_prompt);
    row->addWidget(m_commandLine, 1);
    layout->addWidget(commandRow);
    setCentralWidget(central);

    auto* dock = new QDockWidget(tr("Records"), this);
    dock->setObjectName(QStringLiteral("recordsDock"));
    m_records = new QPlainTextEdit(dock);
    m_records->setObjectName(QStringLiteral("recordsView"));
    m_records->setReadOnly(true);
    m_records->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_records->setMinimumWidth(260);
    dock->setWidget(m_records);
    addDockWidget(Qt::RightDockWidgetArea, dock);

    m_coordinates = new QLabel(this);
    m_coordinates->setObjectName(QStringLiteral("coordinatesLabel"));
    m_coordinates->setMinimumWidth(180);
    m_moduleStatus = new QLabel(this);
    m_moduleStatus->setObjectName(QStringLiteral("moduleStatusLabel"));
    statusBar()->addPermanentWidget(m_moduleStatus);
    statusBar()->addPermanentWidget(m_coordinates);

    m_canvas->onClick = [this](QPointF at, Qt::KeyboardModifiers modifiers) { ClickCanvas(at, modifiers); };
    m_canvas->onEscape = [this]() { CancelCommand(); };
    m_canvas->onCursorMoved = [this](bool inside, double x, double y) {
        m_coordinates->setText(inside ? QStringLiteral("X %1  Y %2").arg(x, 0, 'f', 2).arg(y, 0, 'f', 2) : QString());
    };
    m_canvas->paintOverlay = [this](CDC& dc) {
        if (!m_commandHost || !commandRunning()) return;
        std::string error;
        m_commandHost->RepaintInto(dc, error);
    };
    connect(m_commandLine, &QLineEdit::returnPressed, this, [this]() { RunCommandLine(); });
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this]() { CancelCommand(); });

    LoadModule(modulePath);
    BuildMenus();
    RefreshTitle();
    // 1200 x 800, or nine tenths of a smaller screen.
    QSize size(1200, 800);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QSize room = screen->availableGeometry().size() * 9 / 10;
        if (room.isValid() && !room.isEmpty()) size = size.boundedTo(room);
    }
    resize(size);
}

MainWindow::~MainWindow() {
    DetachCommandHost();
    m_canvas->SetDocument(nullptr);
    m_windowDrawingScope.reset();
    m_windowDrawing.reset();
}

void MainWindow::LoadModule(const std::string& path) {
    const std::string file = path.empty() ? jdhost::DefaultModulePath() : path;
    m_module = jdhost::CommandModule::Load(file, m_moduleError);
    if (!m_module) {
        // The viewer works without it; the reason stays in view.
        m_moduleStatus->setText(tr("command module not loaded: %1").arg(QString::fromStdString(m_moduleError)));
        m_moduleStatus->setToolTip(QString::fromStdString(m_moduleError));
    }
}

void MainWindow::BuildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open..."), QKeySequence::Open, this, [this]() {
        if (!MaybeSave()) return;
        const QString path = QFileDialog::getOpenFileName(this, tr("Open map"), QFileInfo(m_path).absolutePath(),
                                                          tr("Maps (*.json);;All files (*)"));
        if (!path.isEmpty()) OpenMap(path);
    });
    m_saveAction = file->addAction(tr("&Save"), QKeySequence::Save, this, [this]() { Save(); });
    m_saveAsAction = file->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, [this]() {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save map as"), m_path, tr("Maps (*.json)"));
        if (!path.isEmpty()) SaveMapAs(path);
    });
    m_recentMenu = file->addMenu(tr("Open &Recent"));
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, [this]() { close(); });
    RefreshRecentMenu();

    // The module's menu: its group is the menu, its caption the action, both with their accelerators.
    if (m_module) {
        const jdhost::CommandCaptions& captions = m_module->captions();
        m_commandMenu = menuBar()->addMenu(FromGbk(captions.groupName));
        m_commandAction = m_commandMenu->addAction(FromGbk(captions.commandName), this, [this]() { LaunchCommand(); });
        m_commandAction->setToolTip(FromGbk(captions.translateName));
    } else {
        m_commandMenu = menuBar()->addMenu(tr("&Command"));
        m_commandAction = m_commandMenu->addAction(tr("(no command module)"));
        m_commandMenu->setEnabled(false);
        m_commandAction->setEnabled(false);
    }
    m_commandMenu->setObjectName(QStringLiteral("commandMenu"));

    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(tr("&Fit"), QKeySequence(Qt::Key_F), this, [this]() { m_canvas->Fit(); });
    view->addAction(tr("Zoom &In"), QKeySequence::ZoomIn, this, [this]() {
        m_canvas->ZoomAt(1.25, QPointF(m_canvas->width() / 2.0, m_canvas->height() / 2.0));
    });
    view->addAction(tr("Zoom &Out"), QKeySequence::ZoomOut, this, [this]() {
        m_canvas->ZoomAt(0.8, QPointF(m_canvas->width() / 2.0, m_canvas->height() / 2.0));
    });
    view->addAction(tr("Find &Object..."), QKeySequence::Find, this, [this]() {
        QInputDialog ask(this);
        ask.setObjectName(QStringLiteral("findObject"));
        ask.setWindowTitle(tr("Find object"));
        ask.setLabelText(tr("Name or #entity id:"));
        if (ask.exec() == QDialog::Accepted && !ask.textValue().trimmed().isEmpty()) FindAndShow(ask.textValue().trimmed());
    });
    m_layersMenu = view->addMenu(tr("&Layers"));
    // The records panel can be closed from its title bar; here it comes back.
    if (auto* dock = findChild<QDockWidget*>(QStringLiteral("recordsDock"))) {
        QAction* toggle = dock->toggleViewAction();
        toggle->setText(tr("&Records Panel"));
        view->addAction(toggle);
    }
    m_layersMenu->setObjectName(QStringLiteral("layersMenu"));
}

void MainWindow::RefreshLayersMenu() {
    m_layersMenu->clear();
    for (const host::Layer& layer : m_document->layers()) {
        QAction* a = m_layersMenu->addAction(FromGbk(layer.name));
        a->setCheckable(true);
        a->setChecked(m_canvas->IsLayerVisible(layer.id));
        const LONG id = layer.id;
        connect(a, &QAction::toggled, this, [this, id](bool on) { m_canvas->SetLayerVisible(id, on); });
    }
    m_layersMenu->setEnabled(!m_document->layers().empty());
}

void MainWindow::RefreshRecentMenu() {
    m_recentMenu->clear();
    const QStringList recent = QSettings().value(kRecentKey).toStringList();
    for (const QString& path : recent) {
        m_recentMenu->addAction(QFileInfo(path).fileName(), this, [this, path]() {
            if (MaybeSave()) OpenMap(path);
        })->setToolTip(path);
    }
    m_recentMenu->setEnabled(!recent.isEmpty());
}

void MainWindow::RememberRecent(const QString& path) {
    QSettings settings;
    QStringList recent = settings.value(kRecentKey).toStringList();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kMaxRecentFiles) recent.removeLast();
    settings.setValue(kRecentKey, recent);
    RefreshRecentMenu();
}

void MainWindow::AttachCommandHost() {
    m_session = std::make_unique<host::HostSession>(*m_document, &m_callLog);
    m_redrawsSeen = m_session->state().redrawMapCount;
    if (m_module) m_commandHost = std::make_unique<jdhost::ModuleCommandHost>(*m_module, *m_session, static_cast<jdhost::IHostEvents&>(*this));
}

void MainWindow::DetachCommandHost() {
    if (m_commandHost && commandRunning()) {
        std::string error;
        m_commandHost->Key(VK_ESCAPE, error);
    }
    m_commandHost.reset();
    m_session.reset();
}

bool MainWindow::OpenMap(const QString& path) {
    auto document = std::make_unique<host::MapDocument>();
    const host::MapLoadResult result = host::LoadMapFile(path.toStdString(), *document);
    if (!result.ok) {
        // Every located problem, in a dialog; the map shown so far stays.
        const QString all = QString::fromStdString(result.Describe(QFileInfo(path).fileName().toStdString()));
        QMessageBox box(QMessageBox::Critical, tr("Cannot open map"),
                        tr("%1 could not be loaded: %n problem(s).", nullptr, static_cast<int>(result.problems.size()))
                            .arg(QDir::toNativeSeparators(path)),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("mapLoadErrors"));
        box.setInformativeText(all);
        box.exec();
        statusBar()->showMessage(tr("%1 not opened").arg(path), kStatusMessageMs);
        return false;
    }
    DetachCommandHost();
    m_canvas->SetDocument(nullptr);
    m_document = std::move(document);
    m_document->setModified(false);
    m_path = path;
    m_selected = 0;
    m_canvas->SetPreferredEntity(0);
    AttachCommandHost();
    m_canvas->SetDocument(m_document.get());
    m_prompt->setText(tr("命令:"));
    RefreshLayersMenu();
    RefreshRecords();
    RefreshTitle();
    RememberRecent(path);
    statusBar()->showMessage(tr("opened %1: %2 objects").arg(path).arg(m_document->objects().size()), kStatusMessageMs);
    return true;
}

bool MainWindow::SaveMapAs(const QString& path) {
    std::string error;
    if (!host::SaveMapFile(path.toStdString(), *m_document, error)) {
        QMessageBox box(QMessageBox::Critical, tr("Cannot save map"),
                        tr("%1 was not saved:\n%2").arg(path, QString::fromStdString(error)), QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("mapSaveError"));
        box.exec();
        RefreshTitle();   // still marked unsaved
        return false;
    }
    m_document->setModified(false);
    if (m_session) m_session->state().modified = false;
    m_path = path;
    RememberRecent(path);
    RefreshTitle();
    statusBar()->showMessage(tr("saved %1").arg(path), kStatusMessageMs);
    return true;
}

bool MainWindow::Save() {
    if (m_path.isEmpty()) {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save map as"), QString(), tr("Maps (*.json)"));
        return !path.isEmpty() && SaveMapAs(path);
    }
    return SaveMapAs(m_path);
}

bool MainWindow::MaybeSave() {
    if (!m_document->modified()) return true;
    QMessageBox box(QMessageBox::Warning, tr("Unsaved changes"),
                    tr("The map %1 has changes that are not saved.").arg(QFileInfo(m_path).fileName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("unsavedChanges"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    const QAbstractButton* clicked = box.clickedButton();
    if (clicked == box.button(QMessageBox::Save)) return Save();
    return clicked == box.button(QMessageBox::Discard);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!MaybeSave()) {
        event->ignore();
        return;
    }
    DetachCommandHost();
    event->accept();
}

bool MainWindow::commandRunning() const { return m_commandHost && m_commandHost->IsCommandCurrent(); }

void MainWindow::ReportFailure(const std::string& what) {
    if (!what.empty()) statusBar()->showMessage(QString::fromStdString(what), kStatusMessageMs);
}

void MainWindow::LaunchCommand() {
    if (!m_commandHost) {
        ReportFailure(m_module ? "open a map first" : "no command module: " + m_moduleError);
        return;
    }
    std::string error;
    if (!m_commandHost->Launch(error)) ReportFailure(error);
    m_canvas->setFocus(Qt::OtherFocusReason);
    AfterCommandEvent();
}

void MainWindow::CancelCommand() {
    if (!commandRunning()) return;
    std::string error;
    if (!m_commandHost->Key(VK_ESCAPE, error)) ReportFailure(error);
    AfterCommandEvent();
}

bool MainWindow::FindAndShow(const QString& reference) {
    std::string error;
    const host::MapObject* object = jdhost::FindObject(*m_document, reference.toStdString(), error);
    if (!object) {
        statusBar()->showMessage(QString::fromStdString(error), kStatusMessageMs);
        return false;
    }
    m_canvas->ShowObject(*object);
    if (!commandRunning()) SelectEntity(object->entityId);
    statusBar()->showMessage(tr("%1 is in the middle of the view").arg(FromGbk(object->name)), kStatusMessageMs);
    return true;
}

void MainWindow::ClickCanvas(QPointF at, Qt::KeyboardModifiers modifiers) {
    const long position = m_canvas->ObjectAt(at);
    const host::MapObject* object =
        position >= 0 ? &m_document->objects()[static_cast<size_t>(position)] : nullptr;
    if (!commandRunning()) {
        SelectEntity(object ? object->entityId : 0);
        return;
    }
    std::string error;
    if (m_session->pendingPickArray()) {
        // The host's pick, as the `pick` verb ends it: the ids under the cursor, with Ctrl as held.
        std::vector<LONG> ids;
        if (object) ids.push_back(object->entityId);
        m_commandHost->SetCtrl((modifiers & Qt::ControlModifier) != 0, error);
        if (!m_commandHost->Pick(ids, error)) ReportFailure(error);
        m_commandHost->SetCtrl(false, error);
        if (object) SelectEntity(object->entityId);
    } else if (!m_commandHost->Click(error)) {
        ReportFailure(error);
    }
    AfterCommandEvent();
}

void MainWindow::CheckMapRedrawn() {
    if (!m_session) return;
    const int redraws = m_session->state().redrawMapCount;
    if (redraws == m_redrawsSeen) return;
    m_redrawsSeen = redraws;
    m_canvas->DropWindowSurface();
}

void MainWindow::AfterCommandEvent() {
    if (!m_document) return;
    if (m_session) m_redrawsSeen = m_session->state().redrawMapCount;
    m_canvas->RebuildIndex();
    RefreshRecords();
    RefreshTitle();
}

void MainWindow::SelectEntity(LONG entityId) {
    m_selected = entityId;
    m_canvas->SetPreferredEntity(entityId);
    RefreshRecords();
}

void MainWindow::RefreshRecords() {
    const host::MapObject* object = m_selected ? m_document->FindByEntity(m_selected) : nullptr;
    if (!object) {
        m_records->setPlainText(QString());
        return;
    }
    std::ostringstream text;
    jdhost::PrintRecords(text, *object);
    m_records->setPlainText(QString::fromStdString(text.str()));
}

void MainWindow::RefreshTitle() {
    const QString name = m_path.isEmpty() ? tr("(no map)") : QFileInfo(m_path).fileName();
    setWindowTitle(name + QStringLiteral("[*] - jdhost-gui"));
    setWindowModified(m_document->modified());
}

void MainWindow::RunCommandLine() {
    const QString typed = m_commandLine->text().trimmed();
    m_commandLine->clear();
    if (typed.isEmpty()) return;
    if (m_module) {
        for (const QString& word : CommandKeywords(m_module->captions().translateName)) {
            if (typed.compare(word, Qt::CaseInsensitive) == 0) {
                LaunchCommand();
                return;
            }
        }
    }
    ReportFailure("unknown command: " + typed.toStdString());
}

void MainWindow::ReportPrompt(const CString& text) { m_prompt->setText(FromGbk(text)); }

void MainWindow::ReportLine(const std::string&) {}

}  // namespace gui
