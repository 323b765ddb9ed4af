#include "GuiTestSupport.h"

#include <filesystem>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPointer>
#include <QTest>
#include <QTimer>

namespace guitest {

void WhenModal(const std::function<void(QWidget*)>& handle, QWidget* ignore) {
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QPointer<QWidget> ignored(ignore);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, tries, handle, ignored]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != ignored.data() && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            handle(modal);
            return;
        }
        if (++*tries > 500) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

bool ChooseComboItem(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    if (index < 0) return false;
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    const QRect row = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    return combo->currentIndex() == index;
}

bool ClickListItem(QListWidget* list, const QString& text) {
    const auto found = list->findItems(text, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(found.first()).center());
    return list->currentItem() == found.first();
}

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::string ScratchDir(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(JD_BINARY_DIR) / "test-scratch-gui" / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

}  // namespace guitest
