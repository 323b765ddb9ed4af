#pragma once
// The desktop host's main window: the map canvas, the command line with the
// module's prompts, the records panel, the status bar with the cursor's map
// coordinates, and the menus (File, the module's own group, View).
//
// The map is a host session as in jdhost: the module is handed the session's
// map control and the same ids, a click on the canvas while the command picks
// goes through ICommandHost::Pick as the `pick` verb does, and the module's
// dialogs and message boxes go through the platform services to the screen
// (DialogAdapter.h).
#include <memory>
#include <optional>
#include <string>

#include <QMainWindow>

#include "host/HostObjects.h"
#include "host/MapDocument.h"
#include "jdhost-gui/CanvasDrawing.h"
#include "jdhost-gui/DialogAdapter.h"
#include "jdhost/CommandHost.h"
#include "jdhost/ModuleCommandHost.h"
#include "jdhost/ModuleLoader.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace gui {

class MapCanvas;

class MainWindow : public QMainWindow, private jdhost::IHostEvents {
public:
    // Loads the command module from `modulePath` (empty: beside the program).
    explicit MainWindow(const std::string& modulePath = std::string(), QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens a map. A map that fails to load is reported in a dialog listing
    // every problem; the window keeps what it showed. True when loaded.
    bool OpenMap(const QString& path);
    // Saves atomically; a failure is reported and the map stays marked unsaved.
    bool SaveMapAs(const QString& path);
    bool Save();

    // The parts tests and the screenshot drive.
    MapCanvas* canvas() const { return m_canvas; }
    DialogRunner& dialogs() { return m_dialogs; }
    QAction* commandAction() const { return m_commandAction; }
    QLineEdit* commandLine() const { return m_commandLine; }
    QLabel* promptLabel() const { return m_prompt; }
    QPlainTextEdit* recordsView() const { return m_records; }
    QLabel* coordinatesLabel() const { return m_coordinates; }
    QLabel* moduleStatusLabel() const { return m_moduleStatus; }
    const host::MapDocument* document() const { return m_document.get(); }
    host::MapDocument* mutableDocument() { return m_document.get(); }
    const QString& mapPath() const { return m_path; }
    bool commandRunning() const;
    // Shows the records of this object (entity id) in the records panel.
    void SelectEntity(LONG entityId);
    LONG selectedEntity() const { return m_selected; }

    // Runs the module's command (the menu action and the keyword do this).
    void LaunchCommand();
    // Esc: ends the running command as the editor does.
    void CancelCommand();
    // Brings an object (a name or #entity-id, as jdhost takes them) into the
    // middle of the canvas, large enough to click, and selects it unless a
    // command runs. False (and the reason in the status bar) when not found.
    bool FindAndShow(const QString& reference);
    // A click on the canvas at a screen point of the canvas.
    void ClickCanvas(QPointF screenPoint, Qt::KeyboardModifiers modifiers);
    // The module asked the map control to redraw since last looked: what it
    // drew straight into the window goes. Runs after every dialog action.
    void CheckMapRedrawn();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void LoadModule(const std::string& path);
    void AttachCommandHost();
    void DetachCommandHost();
    void AfterCommandEvent();
    void RefreshRecords();
    void RefreshTitle();
    void RefreshLayersMenu();
    void RefreshRecentMenu();
    void RememberRecent(const QString& path);
    void RunCommandLine();
    // Asks before unsaved changes are lost; false when the user cancels.
    bool MaybeSave();
    void ReportFailure(const std::string& what);

    // IHostEvents.
    void ReportPrompt(const CString& text) override;
    void ReportLine(const std::string& text) override;

    DialogRunner m_dialogs;
    std::unique_ptr<jdhost::CommandModule> m_module;
    std::string m_moduleError;
    // Destroyed in reverse of creation: the command host lets go of the map
    // control before the session closes, and the session before the document.
    std::unique_ptr<host::MapDocument> m_document;
    // Nothing here reads the host's call log: the session keeps none.
    host::CallLog m_callLog{host::CallLog::kNothing};
    std::unique_ptr<host::HostSession> m_session;
    std::unique_ptr<jdhost::ModuleCommandHost> m_commandHost;
    QString m_path;
    LONG m_selected = 0;

    MapCanvas* m_canvas = nullptr;
    // Drawings straight into the map window land on the canvas while this window lives.
    std::unique_ptr<CanvasWindowDrawing> m_windowDrawing;
    std::unique_ptr<WindowDrawingScope> m_windowDrawingScope;
    int m_redrawsSeen = 0;
    QLabel* m_prompt = nullptr;
    QLineEdit* m_commandLine = nullptr;
    QPlainTextEdit* m_records = nullptr;
    QLabel* m_coordinates = nullptr;
    QLabel* m_moduleStatus = nullptr;
    QMenu* m_recentMenu = nullptr;
    QMenu* m_layersMenu = nullptr;
    QMenu* m_commandMenu = nullptr;
    QAction* m_commandAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
};

// The keywords a typed command may use: "设置变压器/st" gives both halves.
QStringList CommandKeywords(const CString& translateName);

}  // namespace gui
