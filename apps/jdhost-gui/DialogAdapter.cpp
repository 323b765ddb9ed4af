#include "jdhost-gui/DialogAdapter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include "jdhost-gui/MapRenderer.h"
#include "module/GridCtrl.h"
#include "platform/CDialog.h"
#include "platform/Gbk.h"
#include "platform/Menu.h"
#include "platform/Resources.h"

namespace gui {

namespace {

// UTF-8 typed by the user to the GBK of the model; false when GBK lacks a character.
bool ToGbk(const QString& text, CString& out) {
    std::string gbk;
    if (!TryUtf8ToGbk(text.toStdString(), gbk)) return false;
    out = CString(std::move(gbk));
    return true;
}

// Pixels of a dialog unit come from the font's average character width and
// height, as the platform measures them.
QSize MeasureBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return QSize(std::max(1, width), std::max(1, metrics.height()));
}

// A combo box's template height includes its drop-down list; on screen it is one line high.
constexpr int kComboFieldHeightDlu = 14;

bool IsGridWindow(HWND h) {
    if (!IsWindow(h) || h->kind != WindowKind::Custom) return false;
    GridCellRequest request;
    return ::SendMessage(h, GVM_DESCRIBE, 0, reinterpret_cast<LPARAM>(&request)) == kGridAnswer;
}

bool QueryCell(HWND h, int row, int column, CString& text) {
    GridCellRequest request;
    request.row = row;
    request.column = column;
    if (::SendMessage(h, GVM_QUERYCELL, 0, reinterpret_cast<LPARAM>(&request)) != kGridAnswer) return false;
    if (!request.error.IsEmpty()) return false;
    text = request.text;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- DialogWindow

DialogWindow::DialogWindow(CDialog& dialog, QWidget* parent) : QDialog(parent), m_dialog(dialog) {
    setModal(true);
    setWindowTitle(FromGbk(dialog.GetWindowText()));
    m_baseUnits = MeasureBaseUnits(font());
    Build();
}

DialogWindow::~DialogWindow() = default;

void DialogWindow::Build() {
    const DialogResource* res = FindDialogResource(m_dialog.GetTemplateId());
    const int bx = m_baseUnits.width();
    const int by = m_baseUnits.height();
    if (res) setFixedSize(DialogUnitsToPixelsX(res->width, bx), DialogUnitsToPixelsY(res->height, by));
    HWND h = m_dialog.GetSafeHwnd();
    if (!IsWindow(h)) return;
    // The template gives the control positions; a control a handler created
    // at run time has only its headless pixel rectangle, which is scaled back.
    size_t templateIndex = 0;
    for (auto& child : h->children) {
        Control c;
        c.hwnd = child.get();
        c.id = static_cast<int>(child->id);
        c.kind = child->kind;
        CRect dlu;
        if (res && templateIndex < res->controls.size() && res->controls[templateIndex].id == child->id &&
            res->controls[templateIndex].kind == child->kind) {
            dlu = res->controls[templateIndex].rect;
            ++templateIndex;
        } else {
            dlu = CRect(child->rect.left / kDluToPixelX, child->rect.top / kDluToPixelY,
                        child->rect.right / kDluToPixelX, child->rect.bottom / kDluToPixelY);
        }
        if (IsComboKind(c.kind) && dlu.Height() > kComboFieldHeightDlu) dlu.bottom = dlu.top + kComboFieldHeightDlu;
        const CRect px = DialogUnitsToPixels(dlu, bx, by);
        c.rect = QRect(px.left, px.top, px.Width(), px.Height());
        c.widget = MakeWidget(c);
        c.widget->setGeometry(c.rect);
        c.widget->setProperty("controlId", c.id);
        c.widget->installEventFilter(this);
        // Edits, combos and lists carry their caption as a label: beside them, or above a list.
        const bool labelled = c.kind == WindowKind::Edit || IsComboKind(c.kind) || c.kind == WindowKind::ListBox;
        if (labelled && !child->label.IsEmpty()) {
            c.label = new QLabel(FromGbk(child->label), this);
            const QSize hint = c.label->sizeHint();
            if (c.kind == WindowKind::ListBox) {
                c.label->setGeometry(c.rect.left(), std::max(0, c.rect.top() - hint.height() - 1), hint.width(),
                                     hint.height());
            } else {
                const int x = std::max(0, c.rect.left() - hint.width() - 3);
                c.label->setGeometry(x, c.rect.center().y() - hint.height() / 2, hint.width(), hint.height());
            }
        }
        m_controls.push_back(c);
    }
    PlaceCrowdedLabels();
    for (Control& c : m_controls) Connect(c);
}

void DialogWindow::PlaceCrowdedLabels() {
    // A caption beside its field that would run over another control (the
    // font's text is wider than the template left room for) goes above the
    // field instead, where templates leave a line between rows.
    const auto overlapsAnother = [this](const QRect& r, const Control& self) {
        for (const Control& other : m_controls) {
            if (&other == &self || other.kind == WindowKind::GroupBox) continue;
            if (other.rect.intersects(r)) return true;
            if (other.label && &other < &self && other.label->geometry().intersects(r)) return true;
        }
        return false;
    };
    for (Control& c : m_controls) {
        if (!c.label || c.kind == WindowKind::ListBox) continue;
        if (!overlapsAnother(c.label->geometry(), c)) continue;
        const QSize hint = c.label->sizeHint();
        const QRect above(c.rect.left(), std::max(0, c.rect.top() - hint.height() - 1), hint.width(), hint.height());
        if (!overlapsAnother(above, c)) c.label->setGeometry(above);
    }
}

QWidget* DialogWindow::MakeWidget(Control& c) {
    HWND h = c.hwnd;
    const QString text = FromGbk(h->text);
    switch (c.kind) {
    case WindowKind::GroupBox: return new QGroupBox(text, this);
    case WindowKind::Edit: {
        auto* edit = new QLineEdit(this);
        edit->setReadOnly((h->style & CTL_READONLY) != 0);
        if (h->style & CTL_PASSWORD) edit->setEchoMode(QLineEdit::Password);
        return edit;
    }
    case WindowKind::DropList:
    case WindowKind::DropDown: {
        auto* combo = new QComboBox(this);
        combo->setEditable(c.kind == WindowKind::DropDown);
        if (combo->isEditable()) combo->setInsertPolicy(QComboBox::NoInsert);
        return combo;
    }
    case WindowKind::ListBox: {
        auto* list = new QListWidget(this);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        return list;
    }
    case WindowKind::CheckBox: {
        auto* box = new QCheckBox(text, this);
        box->setTristate((h->style & CTL_3STATE) != 0);
        return box;
    }
    case WindowKind::RadioButton: {
        // The model decides which radio of a group is checked.
        auto* radio = new QRadioButton(text, this);
        radio->setAutoExclusive(false);
        return radio;
    }
    case WindowKind::PushButton:
    case WindowKind::DefPushButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        button->setDefault(c.kind == WindowKind::DefPushButton);
        return button;
    }
    case WindowKind::Custom:
        if (IsGridWindow(h)) {
            c.grid = true;
            auto* table = new QTableWidget(this);
            table->horizontalHeader()->setVisible(false);
            table->verticalHeader()->setVisible(false);
            return table;
        }
        [[fallthrough]];
    default: {
        auto* label = new QLabel(text, this);
        if (c.kind == WindowKind::Custom) label->setFrameShape(QFrame::Box);
        return label;
    }
    }
}

void DialogWindow::Connect(Control& c) {
    const int id = c.id;
    switch (c.kind) {
    case WindowKind::Edit:
        connect(static_cast<QLineEdit*>(c.widget), &QLineEdit::textEdited, this, [this, id](const QString& text) {
            CString gbk;
            if (!ToGbk(text, gbk)) {
                SyncFromModel();   // a character GBK lacks is refused, the model keeps its text
                return;
            }
            Act([&](DialogDriver& d) { return d.SetText(id, gbk); });
        });
        break;
    case WindowKind::DropList:
    case WindowKind::DropDown: {
        auto* combo = static_cast<QComboBox*>(c.widget);
        connect(combo, qOverload<int>(&QComboBox::activated), this,
                [this, id](int index) { Act([&](DialogDriver& d) { return d.SelectIndex(id, index); }); });
        if (combo->lineEdit()) {
            connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, id](const QString& text) {
                CString gbk;
                if (!ToGbk(text, gbk)) {
                    SyncFromModel();
                    return;
                }
                Act([&](DialogDriver& d) { return d.TypeComboText(id, gbk); });
            });
        }
        break;
    }
    case WindowKind::ListBox: {
        auto* list = static_cast<QListWidget*>(c.widget);
        connect(list, &QListWidget::currentRowChanged, this, [this, id](int row) {
            if (m_syncing || row < 0) return;
            Act([&](DialogDriver& d) { return d.SelectIndex(id, row); });
        });
        connect(list, &QListWidget::itemDoubleClicked, this, [this, id, list](QListWidgetItem* item) {
            const int row = list->row(item);
            Act([&](DialogDriver& d) { return d.DoubleClickRow(id, row); });
        });
        connect(list, &QListWidget::customContextMenuRequested, this, [this, id, list](const QPoint& pos) {
            const int row = list->indexAt(pos).row();
            const QPoint global = list->viewport()->mapToGlobal(pos);
            Act([&](DialogDriver& d) { return row >= 0 ? d.RightClickRow(id, row) : d.RightClickBelowRows(id); },
                global);
        });
        break;
    }
    case WindowKind::CheckBox:
    case WindowKind::RadioButton:
    case WindowKind::PushButton:
    case WindowKind::DefPushButton:
        connect(static_cast<QAbstractButton*>(c.widget), &QAbstractButton::clicked, this,
                [this, id]() { Act([&](DialogDriver& d) { return d.Click(id); }); });
        break;
    case WindowKind::Custom:
        if (c.grid) {
            auto* table = static_cast<QTableWidget*>(c.widget);
            HWND h = c.hwnd;
            connect(table, &QTableWidget::itemChanged, this, [this, h](QTableWidgetItem* item) {
                if (m_syncing || !IsWindow(h)) return;
                GridCellRequest request;
                request.row = item->row();
                request.column = item->column();
                if (!ToGbk(item->text(), request.text)) {
                    SyncFromModel();
                    ShowRefusedEdit(request.row, request.column,
                                    tr("The text holds characters the map cannot store (it keeps its texts in GBK)."));
                    return;
                }
                ::SendMessage(h, GVM_USEREDITCELL, 0, reinterpret_cast<LPARAM>(&request));
                if (!request.error.IsEmpty()) ShowRefusedEdit(request.row, request.column, FromGbk(request.error));
                if (m_dialog.HasEnded()) {
                    m_finishing = true;
                    QDialog::done(m_dialog.GetEndResult());
                    return;
                }
                SyncFromModel();
            });
        }
        break;
    default: break;
    }
}

void DialogWindow::ShowRefusedEdit(int row, int column, const QString& reason) {
    setToolTip(reason);
    // After the table has finished committing the editor: a modal box inside
    // its commit would run the event loop under the half-done edit.
    QTimer::singleShot(0, this, [this, row, column, reason]() {
        if (m_finishing) return;
        const Control* grid = nullptr;
        for (const Control& c : m_controls) {
            if (c.grid) grid = &c;
        }
        auto* table = grid ? static_cast<QTableWidget*>(grid->widget) : nullptr;
        const QTableWidgetItem* item = table ? table->item(row, column) : nullptr;
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        item ? tr("The cell \"%1\" was not changed.").arg(item->text()) : tr("The cell was not changed."),
                        QMessageBox::Ok, this);
        box.setObjectName(QStringLiteral("gridEditRefused"));
        box.setInformativeText(reason);
        box.exec();
    });
}

const DialogWindow::Control* DialogWindow::Find(int id) const {
    for (const Control& c : m_controls) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

QWidget* DialogWindow::ControlWidget(int id) const {
    const Control* c = Find(id);
    return c ? c->widget : nullptr;
}

QLabel* DialogWindow::ControlLabel(int id) const {
    const Control* c = Find(id);
    return c ? c->label : nullptr;
}

QRect DialogWindow::TemplateRect(int id) const {
    const Control* c = Find(id);
    return c ? c->rect : QRect();
}

void DialogWindow::Act(const std::function<ActionResult(DialogDriver&)>& action, QPoint menuAt) {
    if (m_syncing || m_finishing || !m_dialog.IsRunning()) return;
    DialogDriver driver(m_dialog);
    struct Acting {
        int& depth;
        explicit Acting(int& d) : depth(d) { ++depth; }
        ~Acting() { --depth; }
    };
    ActionResult result;
    {
        const Acting acting(m_acting);
        result = action(driver);
    }
    if (const auto hook = afterAction) hook();
    if (!result.ok()) {
        // A refused action changes nothing in the model; the widgets go back to it.
        setToolTip(FromGbk(result.error));
    }
    if (!m_dialog.HasEnded() && GetShownPopupMenu()) ShowPendingMenu(menuAt.isNull() ? QCursor::pos() : menuAt);
    if (m_dialog.HasEnded()) {
        m_finishing = true;
        QDialog::done(m_dialog.GetEndResult() == IDOK ? QDialog::Accepted : QDialog::Rejected);
        return;
    }
    SyncFromModel();
}

namespace {
void FillMenu(QMenu& menu, HMENU source, std::vector<std::pair<QAction*, UINT>>& actions) {
    for (const MenuState::Item& item : source->items) {
        if (item.popup) {
            QMenu* sub = menu.addMenu(FromGbk(item.caption));
            FillMenu(*sub, item.popup.get(), actions);
        } else if (item.id == 0) {
            menu.addSeparator();
        } else {
            QAction* a = menu.addAction(FromGbk(item.caption));
            a->setEnabled((item.flags & (MF_GRAYED | MF_DISABLED)) == 0);
            a->setCheckable((item.flags & MF_CHECKED) != 0);
            a->setChecked((item.flags & MF_CHECKED) != 0);
            actions.emplace_back(a, item.id);
        }
    }
}
}  // namespace

void DialogWindow::ShowPendingMenu(QPoint at) {
    const PopupMenuRecord* shown = GetShownPopupMenu();
    if (!shown) return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("popupMenu"));
    std::vector<std::pair<QAction*, UINT>> actions;
    FillMenu(menu, shown->menu, actions);
    QAction* chosen = menu.exec(at);
    UINT id = 0;
    for (const auto& [action, commandId] : actions) {
        if (action == chosen) id = commandId;
    }
    // The command goes to the menu's owner as on the platform; a dismissed menu is forgotten.
    if (id != 0) {
        ChooseMenuCommand(id);
    } else {
        DismissMenu();
    }
}

void DialogWindow::SyncFromModel() {
    if (!m_dialog.IsRunning()) return;
    ++m_syncing;
    setWindowTitle(FromGbk(m_dialog.GetWindowText()));
    for (Control& c : m_controls) {
        if (IsWindow(c.hwnd)) SyncControl(c);
    }
    // The focus follows the model's: a focus-loss handler may have moved it back.
    if (HWND focus = ::GetFocus()) {
        for (Control& c : m_controls) {
            if (c.hwnd == focus && c.widget->focusPolicy() != Qt::NoFocus && !c.widget->hasFocus() && isVisible()) {
                c.widget->setFocus(Qt::OtherFocusReason);
            }
        }
    }
    --m_syncing;
}

void DialogWindow::SyncControl(Control& c) {
    HWND h = c.hwnd;
    c.widget->setEnabled(h->enabled);
    const bool visible = h->visible;
    if (c.widget->isHidden() == visible) c.widget->setVisible(visible);
    if (c.label && c.label->isHidden() == visible) c.label->setVisible(visible);
    const QString text = FromGbk(h->text);
    auto syncItems = [&](auto* widget, auto addAll) {
        QStringList items;
        for (const CString& item : h->items) items << FromGbk(item);
        QStringList current;
        for (int i = 0; i < widget->count(); ++i) current << widget->itemText(i);
        if (current != items) {
            widget->clear();
            addAll(items);
        }
    };
    switch (c.kind) {
    case WindowKind::Static:
        static_cast<QLabel*>(c.widget)->setText(text);
        break;
    case WindowKind::GroupBox: static_cast<QGroupBox*>(c.widget)->setTitle(text); break;
    case WindowKind::Edit: {
        auto* edit = static_cast<QLineEdit*>(c.widget);
        if (edit->text() != text) edit->setText(text);
        break;
    }
    case WindowKind::DropList:
    case WindowKind::DropDown: {
        auto* combo = static_cast<QComboBox*>(c.widget);
        syncItems(combo, [&](const QStringList& items) { combo->addItems(items); });
        if (combo->currentIndex() != h->curSel) combo->setCurrentIndex(h->curSel);
        if (combo->isEditable() && combo->currentText() != text) combo->setEditText(text);
        break;
    }
    case WindowKind::ListBox: {
        auto* list = static_cast<QListWidget*>(c.widget);
        QStringList items;
        for (const CString& item : h->items) items << FromGbk(item);
        QStringList current;
        for (int i = 0; i < list->count(); ++i) current << list->item(i)->text();
        if (current != items) {
            list->clear();
            list->addItems(items);
        }
        if (list->currentRow() != h->curSel) {
            if (h->curSel < 0) {
                list->setCurrentRow(-1);
                list->clearSelection();
            } else {
                list->setCurrentRow(h->curSel);
            }
        }
        break;
    }
    case WindowKind::CheckBox:
    case WindowKind::RadioButton: {
        auto* button = static_cast<QAbstractButton*>(c.widget);
        button->setText(text);
        if (auto* box = qobject_cast<QCheckBox*>(button)) {
            box->setCheckState(h->check == BST_CHECKED         ? Qt::Checked
                               : h->check == BST_INDETERMINATE ? Qt::PartiallyChecked
                                                               : Qt::Unchecked);
        } else {
            button->setChecked(h->check == BST_CHECKED);
        }
        break;
    }
    case WindowKind::PushButton:
    case WindowKind::DefPushButton: static_cast<QAbstractButton*>(c.widget)->setText(text); break;
    case WindowKind::Custom:
        if (c.grid) SyncGrid(c);
        break;
    default: break;
    }
}

void DialogWindow::SyncGrid(Control& c) {
    auto* table = static_cast<QTableWidget*>(c.widget);
    HWND h = c.hwnd;
    // The grid answers cell by cell; its shape is where it stops answering.
    CString text;
    int rows = 0, columns = 0;
    while (QueryCell(h, 0, columns, text)) ++columns;
    if (columns > 0) {
        while (QueryCell(h, rows, 0, text)) ++rows;
    }
    if (table->rowCount() != rows) table->setRowCount(rows);
    if (table->columnCount() != columns) table->setColumnCount(columns);
    // Fixed rows are drawn as headers (the grid describes them as "row N fixed").
    GridCellRequest describe;
    ::SendMessage(h, GVM_DESCRIBE, 0, reinterpret_cast<LPARAM>(&describe));
    std::vector<bool> fixed(static_cast<size_t>(rows), false);
    for (const CString& line : describe.lines) {
        int row = -1;
        if (std::sscanf(line.GetString(), "row %d fixed", &row) == 1 && row >= 0 && row < rows &&
            line.Find("fixed") > 0) {
            fixed[static_cast<size_t>(row)] = true;
        }
    }
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < columns; ++col) {
            if (!QueryCell(h, r, col, text)) continue;
            const QString value = FromGbk(text);
            QTableWidgetItem* item = table->item(r, col);
            if (!item) {
                item = new QTableWidgetItem(value);
                table->setItem(r, col, item);
            } else if (item->text() != value) {
                item->setText(value);
            }
            if (fixed[static_cast<size_t>(r)]) {
                // A header: nothing to type into (the grid would refuse it anyway).
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                item->setBackground(palette().button());
            }
        }
    }
}

bool DialogWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && !m_syncing && !m_finishing) {
        const int id = watched->property("controlId").toInt();
        const Control* c = Find(id);
        if (c && IsWindow(c->hwnd) && ::GetFocus() != c->hwnd) {
            // The control that loses the focus hears of it in the model (its focus-loss handler runs).
            Act([&](DialogDriver& d) { return d.Focus(id); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void DialogWindow::reject() {
    // A close while a handler still runs (the title bar's button during a
    // flash's pause) would end the dialog under it: not now.
    if (m_acting) return;
    // Escape and the title bar's close button: IDCANCEL, which reaches OnCancel.
    Act([](DialogDriver& d) { return d.PressCancel(); });
}

void DialogWindow::accept() {
    Act([](DialogDriver& d) { return d.PressOk(); });
}

void DialogWindow::done(int result) {
    // Only the model ends a dialog; everything else asks it through an action.
    if (m_finishing) QDialog::done(result);
}

void DialogWindow::closeEvent(QCloseEvent* event) {
    if (m_finishing) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    reject();
}

// ---------------------------------------------------------------- DialogRunner

DialogRunner::DialogRunner(QWidget* mainWindow) : m_mainWindow(mainWindow) {
    m_previousRunner = SetModalRunner(this);
    m_previousService = SetMessageService(this);
}

DialogRunner::~DialogRunner() {
    SetModalRunner(m_previousRunner);
    SetMessageService(m_previousService == &GetDefaultMessageService() ? nullptr : m_previousService);
}

QWidget* DialogRunner::Parent() const {
    if (!m_open.empty()) return m_open.back();
    return m_mainWindow.data();
}

void DialogRunner::Run(CDialog& dialog) {
    DialogWindow window(dialog, Parent());
    window.afterAction = [this]() {
        if (const auto hook = afterAction) hook();
    };
    m_open.push_back(&window);
    window.SyncFromModel();
    if (!dialog.HasEnded()) {
        window.show();
        // A modal dialog takes the keyboard: Qt delivers focus changes (the
        // model's focus-loss notifications) only within the active window.
        window.activateWindow();
        // Platforms without a window manager (offscreen) leave activation to us.
        if (QApplication::activeWindow() != &window) QApplication::setActiveWindow(&window);
        window.SyncFromModel();   // the focus can be given once the window is shown
        // A copy: the hook may replace or clear itself while it runs.
        if (const auto hook = onDialogShown) hook(window);
        if (!dialog.HasEnded()) window.exec();
    }
    m_open.pop_back();
}

int MessageBoxAnswerOfButton(int standardButton) {
    switch (standardButton) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Abort: return IDABORT;
    case QMessageBox::Retry: return IDRETRY;
    case QMessageBox::Ignore: return IDIGNORE;
    default: return 0;
    }
}

int DialogRunner::Show(const CString& text, const CString& caption, UINT type) {
    QMessageBox box(Parent());
    box.setObjectName(QStringLiteral("platformMessageBox"));
    // Without a caption a box is titled with the program's name, as on the desktop.
    box.setWindowTitle(caption.IsEmpty() ? QGuiApplication::applicationDisplayName() : FromGbk(caption));
    box.setText(FromGbk(text));
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton escape = QMessageBox::NoButton;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    case MB_ABORTRETRYIGNORE: buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore; break;
    case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
    case MB_RETRYCANCEL: buttons = QMessageBox::Retry | QMessageBox::Cancel; escape = QMessageBox::Cancel; break;
    default: buttons = QMessageBox::Ok; escape = QMessageBox::Ok; break;
    }
    box.setStandardButtons(buttons);
    const int defaultAnswer = MessageBoxDefaultAnswer(type);
    for (QAbstractButton* b : box.buttons()) {
        const int answer = MessageBoxAnswerOfButton(box.standardButton(b));
        if (answer == defaultAnswer) box.setDefaultButton(static_cast<QPushButton*>(b));
    }
    if (escape != QMessageBox::NoButton) box.setEscapeButton(escape);
    box.exec();
    const int answer = MessageBoxAnswerOfButton(box.standardButton(box.clickedButton()));
    // A box closed without a button (only possible where the platform has no
    // escape button) gives the answer that changes nothing.
    if (answer == 0 || !MessageBoxAnswerFits(type, answer)) {
        if (MessageBoxAnswerFits(type, IDNO)) return IDNO;
        if (MessageBoxAnswerFits(type, IDCANCEL)) return IDCANCEL;
        return defaultAnswer;
    }
    return answer;
}

}  // namespace gui
