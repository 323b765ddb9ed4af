#pragma once
// Dialogs on screen. The headless dialog framework stays the one model of a
// dialog: its windows, texts, selections, checks and focus live in the
// platform's window states, and its handlers run exactly as in scripts and
// tests. This adapter is the platform's modal runner and message service
// for the desktop: it builds a QDialog from the dialog's template (one Qt
// widget per control, placed by converting the template's dialog units with
// the font's metrics), turns each thing the user does into the matching user
// action of the platform (UserActions.h), and after every action copies the
// model's state back onto the widgets. Message boxes become QMessageBox,
// pop-up menus QMenu, the module's grid a QTableWidget, and a dialog opened
// from a handler runs modally on top of its parent.
#include <functional>
#include <vector>

#include <QDialog>
#include <QPointer>

#include "platform/Services.h"
#include "platform/UserActions.h"

class QLabel;
class QTableWidget;

namespace gui {

class DialogWindow : public QDialog {
public:
    DialogWindow(CDialog& dialog, QWidget* parent);
    ~DialogWindow() override;

    CDialog& model() { return m_dialog; }
    // The widget of a control (null when the template has no such id).
    QWidget* ControlWidget(int id) const;
    // The label an edit, combo or list box shows beside it (null for others).
    QLabel* ControlLabel(int id) const;
    // Where the template puts the control, in pixels of this dialog's font.
    QRect TemplateRect(int id) const;
    // Pixels of one average character (x) and of the font's height (y).
    QSize BaseUnits() const { return m_baseUnits; }

    // Copies the model's state onto the widgets.
    void SyncFromModel();

    // Runs after each thing the user did reached the model (the runner's afterAction).
    std::function<void()> afterAction;

    // Escape or the close button: IDCANCEL to the model, which may refuse.
    void reject() override;
    // Enter: the model's OK button.
    void accept() override;

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Control {
        HWND hwnd = nullptr;
        int id = 0;
        WindowKind kind = WindowKind::Static;
        QWidget* widget = nullptr;
        QLabel* label = nullptr;
        QRect rect;
        bool grid = false;
    };
    void Build();
    void PlaceCrowdedLabels();
    QWidget* MakeWidget(Control& c);
    void Connect(Control& c);
    void SyncControl(Control& c);
    void SyncGrid(Control& c);
    // Runs one user action on the model, then shows a pop-up menu it opened,
    // closes this window when the dialog ended, or mirrors the new state.
    void Act(const std::function<ActionResult(DialogDriver&)>& action, QPoint menuAt = QPoint());
    void ShowPendingMenu(QPoint at);
    // The grid refused an edit: the cell shows its old value again (the model
    // kept it) and the reason comes up in a warning box over the dialog.
    void ShowRefusedEdit(int row, int column, const QString& reason);
    const Control* Find(int id) const;

    CDialog& m_dialog;
    std::vector<Control> m_controls;
    QSize m_baseUnits;
    int m_syncing = 0;
    int m_acting = 0;   // handlers of this dialog running now
    bool m_finishing = false;
};

class DialogRunner : public IModalRunner, public IMessageService {
public:
    // Dialogs and boxes open over `mainWindow` (or the innermost dialog).
    explicit DialogRunner(QWidget* mainWindow);
    ~DialogRunner() override;
    DialogRunner(const DialogRunner&) = delete;
    DialogRunner& operator=(const DialogRunner&) = delete;

    void Run(CDialog& dialog) override;
    int Show(const CString& text, const CString& caption, UINT type) override;

    // The innermost dialog on screen, or null.
    DialogWindow* ActiveWindow() const { return m_open.empty() ? nullptr : m_open.back(); }
    // Called once each dialog window is shown (tests and the screenshot hook in here).
    std::function<void(DialogWindow&)> onDialogShown;
    // Called after each user action a dialog's handlers ran for (the main
    // window looks whether the module redrew the map meanwhile).
    std::function<void()> afterAction;

private:
    QWidget* Parent() const;
    QPointer<QWidget> m_mainWindow;
    std::vector<DialogWindow*> m_open;
    IModalRunner* m_previousRunner = nullptr;
    IMessageService* m_previousService = nullptr;
};

// The QMessageBox buttons and icon for a box type, and the platform answer of a button.
int MessageBoxAnswerOfButton(int standardButton);

}  // namespace gui
