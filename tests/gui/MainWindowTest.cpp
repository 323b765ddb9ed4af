// The main job with the mouse, on the offscreen platform: open the sample,
// start the command from its menu, pick the mobile substation on the canvas,
// work its dialog, OK, and read the records the command wrote.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "GuiTestSupport.h"
#include "jdhost-gui/MainWindow.h"
#include "jdhost-gui/MapCanvas.h"
#include "module/GridCtrl.h"
#include "module/ModuleResources.h"
#include "platform/Gbk.h"
#include "platform/Resources.h"

using guitest::U;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string dir = guitest::ScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_map = dir + "/sample-mine.json";
        std::filesystem::copy_file(JD_SOURCE_DIR "/examples/sample-mine.json", m_map);
        window = std::make_unique<gui::MainWindow>();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_TRUE(window->OpenMap(QString::fromStdString(m_map)));
    }
    void TearDown() override {
        if (window) {
            window->CancelCommand();
            window->setWindowModified(false);
            window.reset();
        }
    }

    QPoint ScreenPointOf(const char* name) const {
        const host::MapObject* object = window->document()->FindByName(FromUtf8(name));
        EXPECT_NE(object, nullptr) << name;
        return object ? window->canvas()->ScreenPointOf(*object).toPoint() : QPoint();
    }

    // Launches from the menu and picks the object with a click.
    void LaunchAndPick(const char* name) {
        window->commandAction()->trigger();
        ASSERT_EQ(window->promptLabel()->text(), U("请选择变压器或[ESC取消命令]:"));
        QTest::mouseClick(window->canvas(), Qt::LeftButton, Qt::NoModifier, ScreenPointOf(name));
        ASSERT_EQ(window->promptLabel()->text(), U("单击图例弹出对话框,设置变压器参数:"));
    }

    // Clicks the canvas again (opening the dialog); `work` runs inside the dialog's event loop.
    void OpenDialog(const char* name, std::function<void(gui::DialogWindow&)> work) {
        bool shown = false;
        window->dialogs().onDialogShown = [&](gui::DialogWindow& dialog) {
            window->dialogs().onDialogShown = nullptr;
            shown = true;
            gui::DialogWindow* shownWindow = &dialog;
            QTimer::singleShot(0, shownWindow, [&work, shownWindow]() { work(*shownWindow); });
        };
        QTest::mouseClick(window->canvas(), Qt::LeftButton, Qt::NoModifier, ScreenPointOf(name));
        window->dialogs().onDialogShown = nullptr;
        EXPECT_TRUE(shown) << "no dialog was shown";
    }

    template <typename T>
    static T* Control(gui::DialogWindow& dialog, int id) {
        T* widget = qobject_cast<T*>(dialog.ControlWidget(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }

    std::string m_map;
    std::unique_ptr<gui::MainWindow> window;
};

}  // namespace

TEST_F(MainWindowTest, CommandMenuComesFromTheModulesCaptions) {
    QAction* action = window->commandAction();
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_EQ(action->text(), U("设置变压器(&T)"));
    bool found = false;
    for (QAction* menu : window->menuBar()->actions()) {
        if (menu->text() == U("供电设备选型(&S)")) found = menu->menu()->actions().contains(action);
    }
    EXPECT_TRUE(found) << "the group's menu holds the command";
    EXPECT_EQ(gui::CommandKeywords(FromUtf8("设置变压器/st")), (QStringList{U("设置变压器"), U("st")}));
    // The keyword typed on the command line launches it too.
    QTest::keyClicks(window->commandLine(), "st");
    QTest::keyClick(window->commandLine(), Qt::Key_Return);
    EXPECT_TRUE(window->commandRunning());
    EXPECT_EQ(window->promptLabel()->text(), U("请选择变压器或[ESC取消命令]:"));
}

TEST_F(MainWindowTest, MainJobFromLaunchToOkWritesTheModel) {
    LaunchAndPick("1#移动变电站");
    EXPECT_EQ(window->selectedEntity(), window->document()->FindByName(FromUtf8("1#移动变电站"))->entityId);
    QString boxText, boxTitle;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    QString capacity, apparentPower;
    bool okPressed = false;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        EXPECT_EQ(dialog.windowTitle(), U("设置变压器"));
        // Where the template puts the controls: dialog units by the font's base
        // units, x * bx / 4 and y * by / 8, rounded. OK is at (330, 306), 60 x 16.
        const QSize base = dialog.BaseUnits();
        auto px = [](int units, int baseUnit, int divisor) {
            return static_cast<int>(std::lround(units * static_cast<double>(baseUnit) / divisor));
        };
        auto* ok = Control<QPushButton>(dialog, IDOK);
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->geometry(), QRect(QPoint(px(330, base.width(), 4), px(306, base.height(), 8)),
                                        QPoint(px(390, base.width(), 4) - 1, px(322, base.height(), 8) - 1)));
        EXPECT_EQ(ok->text(), U("确定"));
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(dialog.size(), QSize(px(470, base.width(), 4), px(330, base.height(), 8)));
        // An edit's caption is its label, to its left.
        auto* name = Control<QLineEdit>(dialog, IDC_NAME);
        QLabel* label = dialog.ControlLabel(IDC_NAME);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), U("名称："));
        EXPECT_LT(label->geometry().right(), name->geometry().left());
        EXPECT_EQ(name->text(), U("1#移动变电站"));
        // Enabled states follow the model's (the template starts the details button disabled).
        HWND details = ::GetDlgItem(dialog.model().GetSafeHwnd(), IDC_DETAILS);
        EXPECT_EQ(Control<QPushButton>(dialog, IDC_DETAILS)->isEnabled(), IsWindowEnabled(details) != FALSE);

        EXPECT_TRUE(guitest::ChooseComboItem(Control<QComboBox>(dialog, IDC_LOAD_TYPE), U("综采工作面")));
        EXPECT_TRUE(guitest::ChooseComboItem(Control<QComboBox>(dialog, IDC_FACES), U("两个工作面")));
        guitest::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            boxText = box->text();
            boxIcon = box->icon();
            boxTitle = box->windowTitle();
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        }, &dialog);
        QTest::mouseClick(Control<QPushButton>(dialog, IDC_LOAD_STATISTICS), Qt::LeftButton);
        apparentPower = Control<QLineEdit>(dialog, IDC_APPARENT_POWER)->text();
        auto* models = Control<QListWidget>(dialog, IDC_MODEL_LIST);
        EXPECT_EQ(models->count(), 8);
        EXPECT_TRUE(guitest::ClickListItem(models, U("KBSGZY-315/6")));
        capacity = Control<QLineEdit>(dialog, IDC_CAPACITY)->text();
        okPressed = true;
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    ASSERT_TRUE(okPressed);
    // Load statistics (examples/set-transformer.jds): S = 275.36 kVA.
    EXPECT_EQ(boxText, U("该变压器的视在功率为 275.36kVA！"));
    EXPECT_EQ(boxIcon, QMessageBox::Information);
    // The module gives no caption: the box carries the program's name, as desktop boxes do.
    EXPECT_EQ(boxTitle, QGuiApplication::applicationDisplayName());
    EXPECT_FALSE(boxTitle.trimmed().isEmpty());
    EXPECT_EQ(apparentPower, U("275.36"));
    EXPECT_EQ(capacity, U("315"));
    EXPECT_EQ(window->promptLabel()->text(), U("退出设置变压器命令"));
    EXPECT_FALSE(window->commandRunning());
    const QString records = window->recordsView()->toPlainText();
    EXPECT_TRUE(records.contains(U("field 163"))) << records.toStdString();
    EXPECT_TRUE(records.contains(U("KBSGZY-315/6"))) << records.toStdString();
    EXPECT_TRUE(window->isWindowModified());
    const host::MapObject* object = window->document()->FindByName(FromUtf8("1#移动变电站"));
    ASSERT_NE(object, nullptr);
    ASSERT_TRUE(object->fields.count(163));
    EXPECT_EQ(object->fields.at(163).at(1), FromUtf8("KBSGZY-315/6"));
}

TEST_F(MainWindowTest, EscapeDuringThePickCancels) {
    window->commandAction()->trigger();
    ASSERT_TRUE(window->commandRunning());
    window->canvas()->setFocus();
    QTest::keyClick(window->canvas(), Qt::Key_Escape);
    EXPECT_FALSE(window->commandRunning());
    EXPECT_EQ(window->promptLabel()->text(), U("退出设置变压器命令"));
    // A click now only selects: no command is running.
    QTest::mouseClick(window->canvas(), Qt::LeftButton, Qt::NoModifier, ScreenPointOf("1#移动变电站"));
    EXPECT_FALSE(window->commandRunning());
    EXPECT_TRUE(window->recordsView()->toPlainText().contains(U("1#移动变电站")));
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(MainWindowTest, StockGridEditsACellAndContextMenuOpensNestedDialogs) {
    LaunchAndPick("1#移动变电站");
    QString header, model, edited;
    QStringList menuItems;
    QString nestedTitle;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        auto* models = Control<QListWidget>(dialog, IDC_MODEL_LIST);
        ASSERT_TRUE(guitest::ClickListItem(models, U("KBSGZY-500/6")));
        // The stock view, a nested modal dialog with the grid as a table.
        window->dialogs().onDialogShown = [&](gui::DialogWindow& shown) {
            window->dialogs().onDialogShown = nullptr;
            gui::DialogWindow* stockWindow = &shown;
            QTimer::singleShot(0, stockWindow, [&, stockWindow]() {
                gui::DialogWindow& stock = *stockWindow;
                nestedTitle = stock.windowTitle();
                auto* table = Control<QTableWidget>(stock, IDC_STOCK_GRID);
                if (!table) {
                    stock.reject();
                    return;
                }
                header = table->item(0, 0)->text();
                model = table->item(1, 0)->text();
                table->setCurrentCell(1, 1);
                table->editItem(table->item(1, 1));
                auto* line = table->findChild<QLineEdit*>();
                EXPECT_NE(line, nullptr) << "no cell editor";
                if (line) {
                    line->selectAll();
                    QTest::keyClicks(line, "YB-GUI-01");
                    QTest::keyClick(line, Qt::Key_Return);
                    // The view commits the editor's text from its event loop.
                    QCoreApplication::processEvents();
                }
                // What the grid itself holds now.
                GridCellRequest request;
                request.row = 1;
                request.column = 1;
                ::SendMessage(::GetDlgItem(stock.model().GetSafeHwnd(), IDC_STOCK_GRID), GVM_QUERYCELL, 0,
                              reinterpret_cast<LPARAM>(&request));
                edited = QString::fromStdString(ToUtf8(request.text));
                EXPECT_EQ(edited, table->item(1, 1)->text()) << stock.toolTip().toStdString();
                QTest::mouseClick(Control<QPushButton>(stock, IDOK), Qt::LeftButton);
            });
        };
        QTest::mouseClick(Control<QPushButton>(dialog, IDC_STOCK), Qt::LeftButton);
        EXPECT_EQ(nestedTitle, U("查看变压器的库存"));

        // A right click on a model row: the module's pop-up menu as a QMenu.
        QTimer::singleShot(50, &dialog, [&]() {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* menu = qobject_cast<QMenu*>(w);
                if (!menu || !menu->isVisible()) continue;
                for (QAction* a : menu->actions()) menuItems << a->text();
                menu->close();
            }
        });
        const auto row = models->findItems(U("KBSGZY-500/6"), Qt::MatchExactly).first();
        const QPoint at = models->visualItemRect(row).center();
        emit models->customContextMenuRequested(at);
        QTest::mouseClick(Control<QPushButton>(dialog, IDCANCEL), Qt::LeftButton);
    });
    EXPECT_EQ(header, U("型号"));
    EXPECT_EQ(model, U("KBSGZY-500/6"));
    EXPECT_EQ(edited, U("YB-GUI-01"));
    EXPECT_TRUE(menuItems.contains(U("查看详细参数"))) << menuItems.join(U(",")).toStdString();
    EXPECT_FALSE(window->commandRunning());
    EXPECT_FALSE(window->isWindowModified());   // Cancel writes nothing to the map
}

TEST_F(MainWindowTest, LeavingAnEditRunsItsFocusLossHandler) {
    LaunchAndPick("1#移动变电站");
    QString boxText;
    QString krAfter;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        auto* kr = Control<QLineEdit>(dialog, IDC_KR);
        QTest::mouseClick(kr, Qt::LeftButton);
        kr->selectAll();
        QTest::keyClicks(kr, "9");
        // The model holds what was typed before the focus moves.
        EXPECT_EQ(::GetWindowText(::GetDlgItem(dialog.model().GetSafeHwnd(), IDC_KR)), CString("9"));
        // Kr 9 is outside every load type's range: leaving the edit shows the module's box.
        guitest::WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            boxText = box->text();
            box->buttons().first()->click();
        }, &dialog);
        QTest::mouseClick(Control<QLineEdit>(dialog, IDC_NAME), Qt::LeftButton);
        krAfter = kr->text();
        // Escape reaches OnCancel without moving the focus.
        dialog.reject();
    });
    EXPECT_FALSE(boxText.isEmpty());
    EXPECT_FALSE(window->commandRunning());
}

TEST_F(MainWindowTest, RefusedGridEditShowsItsReasonAndKeepsTheCell) {
    LaunchAndPick("1#移动变电站");
    QString boxText, boxReason, cellAfter, modelAfter;
    bool boxSeen = false;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        ASSERT_TRUE(guitest::ClickListItem(Control<QListWidget>(dialog, IDC_MODEL_LIST), U("KBSGZY-500/6")));
        window->dialogs().onDialogShown = [&](gui::DialogWindow& shown) {
            window->dialogs().onDialogShown = nullptr;
            gui::DialogWindow* stockWindow = &shown;
            QTimer::singleShot(0, stockWindow, [&, stockWindow]() {
                gui::DialogWindow& stock = *stockWindow;
                auto* table = Control<QTableWidget>(stock, IDC_STOCK_GRID);
                if (!table) {
                    stock.reject();
                    return;
                }
                // The header row is read-only in the grid: the table offers no editor
                // there, and a change that reaches the model anyway is refused.
                const QString header = table->item(0, 1)->text();
                EXPECT_FALSE(table->item(0, 1)->flags() & Qt::ItemIsEditable);
                EXPECT_TRUE(table->item(1, 1)->flags() & Qt::ItemIsEditable);
                guitest::WhenModal([&](QWidget* modal) {
                    auto* box = qobject_cast<QMessageBox*>(modal);
                    if (box) {
                        boxSeen = true;
                        boxText = box->text();
                        boxReason = box->informativeText();
                    }
                    modal->close();
                }, &stock);
                table->item(0, 1)->setText(QStringLiteral("edited"));
                EXPECT_TRUE(QTest::qWaitFor([&]() { return boxSeen; }, 5000));
                cellAfter = table->item(0, 1)->text();
                GridCellRequest request;
                request.row = 0;
                request.column = 1;
                ::SendMessage(::GetDlgItem(stock.model().GetSafeHwnd(), IDC_STOCK_GRID), GVM_QUERYCELL, 0,
                              reinterpret_cast<LPARAM>(&request));
                modelAfter = QString::fromStdString(ToUtf8(request.text));
                EXPECT_EQ(modelAfter, header);
                EXPECT_EQ(cellAfter, header);
                stock.reject();
            });
        };
        QTest::mouseClick(Control<QPushButton>(dialog, IDC_STOCK), Qt::LeftButton);
        dialog.reject();
    });
    EXPECT_TRUE(boxSeen) << "no box showed the refusal";
    EXPECT_TRUE(boxText.contains(cellAfter)) << boxText.toStdString();
    EXPECT_TRUE(boxReason.contains(QStringLiteral("read-only"))) << boxReason.toStdString();
    EXPECT_FALSE(cellAfter.isEmpty());
}

TEST_F(MainWindowTest, CaptionsDoNotRunOverOtherControls) {
    LaunchAndPick("1#移动变电站");
    int checked = 0;
    QStringList overlaps;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        std::vector<QWidget*> controls;
        for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->property("controlId").isValid() && !qobject_cast<QGroupBox*>(w)) controls.push_back(w);
        }
        for (QWidget* w : controls) {
            QLabel* label = dialog.ControlLabel(w->property("controlId").toInt());
            if (!label || !label->isVisible()) continue;
            ++checked;
            for (QWidget* other : controls) {
                if (other != w && other->isVisible() && other->geometry().intersects(label->geometry())) {
                    overlaps << label->text() + QStringLiteral(" over ") + other->objectName() +
                                    QString::number(other->property("controlId").toInt());
                }
            }
        }
        dialog.reject();
    });
    // The Set Transformer dialog labels 14 fields and lists (the capacity's
    // caption has no room on its left beside the model list).
    EXPECT_GE(checked, 10);
    EXPECT_TRUE(overlaps.isEmpty()) << overlaps.join(QStringLiteral("; ")).toStdString();
}

TEST_F(MainWindowTest, FindBringsAnObjectToTheMiddleLargeEnoughToClick) {
    gui::MapCanvas* canvas = window->canvas();
    const gui::CanvasView before = canvas->canvasView();
    EXPECT_FALSE(window->FindAndShow(U("没有这个设备")));
    EXPECT_EQ(canvas->canvasView().zoom, before.zoom);
    EXPECT_EQ(canvas->canvasView().panX, before.panX);

    ASSERT_TRUE(window->FindAndShow(U("绞车启动器")));
    const host::MapObject* object = window->document()->FindByName(FromUtf8("绞车启动器"));
    const QPointF middle(canvas->width() / 2.0, canvas->height() / 2.0);
    const QPointF at = canvas->ScreenPointOf(*object);
    // The starter's extent is symmetric about its insertion, so the insertion is the middle.
    EXPECT_NEAR(at.x(), middle.x(), 1.0);
    EXPECT_NEAR(at.y(), middle.y(), 1.0);
    EXPECT_EQ(canvas->ObjectAt(middle), static_cast<long>(object - window->document()->objects().data()));
    EXPECT_GT(canvas->canvasView().zoom, before.zoom);
    EXPECT_EQ(window->selectedEntity(), object->entityId);
    // By #entity id as well; the object is already large: no zooming out.
    const double zoom = canvas->canvasView().zoom;
    ASSERT_TRUE(window->FindAndShow(QStringLiteral("#3")));
    EXPECT_GE(canvas->canvasView().zoom, zoom);
    EXPECT_EQ(window->selectedEntity(), 3);
}

TEST_F(MainWindowTest, AClosedRecordsPanelComesBackFromTheViewMenu) {
    auto* dock = window->findChild<QDockWidget*>(QStringLiteral("recordsDock"));
    ASSERT_NE(dock, nullptr);
    dock->close();
    ASSERT_FALSE(dock->isVisible());
    QAction* toggle = nullptr;
    for (QAction* menu : window->menuBar()->actions()) {
        if (!menu->menu()) continue;
        for (QAction* a : menu->menu()->actions()) {
            if (a == dock->toggleViewAction()) toggle = a;
        }
    }
    ASSERT_NE(toggle, nullptr) << "no menu shows the records panel again";
    toggle->trigger();
    EXPECT_TRUE(dock->isVisible());
}

// Pixels of a canvas picture in pure red and pure green, the flash's two pens.
static void CountFlashPixels(const QImage& image, QPoint centre, int radius, int& red, int& green) {
    red = green = 0;
    for (int y = std::max(0, centre.y() - radius); y <= std::min(image.height() - 1, centre.y() + radius); ++y) {
        for (int x = std::max(0, centre.x() - radius); x <= std::min(image.width() - 1, centre.x() + radius); ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) == 255 && qGreen(c) == 0 && qBlue(c) == 0) ++red;
            if (qRed(c) == 0 && qGreen(c) == 255 && qBlue(c) == 0) ++green;
        }
    }
}

TEST_F(MainWindowTest, FeederSwitchDialogFlashesTheShortCircuitPointOnTheCanvas) {
    LaunchAndPick("1#移动变电站");
    const QPoint point = ScreenPointOf("d2");
    int mostRed = 0, mostGreen = 0, samples = 0;
    qint64 flashMs = -1;
    bool redrawnAfter = false;
    bool endedDuringFlash = true;
    OpenDialog("1#移动变电站", [&](gui::DialogWindow& dialog) {
        window->dialogs().onDialogShown = [&](gui::DialogWindow& shown) {
            window->dialogs().onDialogShown = nullptr;
            gui::DialogWindow* feeder = &shown;
            QTimer::singleShot(0, feeder, [&, feeder]() {
                auto* combo = Control<QComboBox>(*feeder, IDC_SWITCH_SHORT_POINT);
                if (!combo) {
                    feeder->reject();
                    return;
                }
                // What the canvas shows, looked at every 20 ms while the flash pauses.
                QTimer look;
                bool closeTried = false;
                QObject::connect(&look, &QTimer::timeout, [&]() {
                    if (!window->canvas()->HasWindowSurface()) return;
                    if (!closeTried) {
                        // The title bar's close button while the handler flashes: not now.
                        closeTried = true;
                        feeder->reject();
                        endedDuringFlash = feeder->model().HasEnded();
                    }
                    int red = 0, green = 0;
                    CountFlashPixels(window->canvas()->grab().toImage(), point, 12, red, green);
                    mostRed = std::max(mostRed, red);
                    mostGreen = std::max(mostGreen, green);
                    ++samples;
                });
                look.start(20);
                QElapsedTimer clock;
                clock.start();
                EXPECT_TRUE(guitest::ChooseComboItem(combo, QStringLiteral("d2")));
                flashMs = clock.elapsed();
                look.stop();
                // The module redraws the map after the flash: the drawings are gone.
                redrawnAfter = !window->canvas()->HasWindowSurface();
                EXPECT_TRUE(closeTried);
                EXPECT_FALSE(feeder->model().HasEnded());
                feeder->reject();
            });
        };
        QTest::mouseClick(Control<QPushButton>(dialog, IDC_LV_HEAD), Qt::LeftButton);
        dialog.reject();
    });
    // Six drawings, each followed by a 100 ms pause that really waits.
    EXPECT_GE(flashMs, 6 * 100 - 30);
    EXPECT_GT(samples, 0);
    EXPECT_GT(mostRed, 0) << "the red pen never reached the canvas";
    EXPECT_GT(mostGreen, 0) << "the green pen never reached the canvas";
    EXPECT_TRUE(redrawnAfter);
    EXPECT_FALSE(endedDuringFlash);
}
