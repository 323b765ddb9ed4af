// The GUI tests need no display: they run on Qt's offscreen platform (ctest
// sets it; so does this main when it is run by hand or for test discovery).
#include <gtest/gtest.h>

#include <QApplication>

#include "jdhost-gui/Render.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("jdhost-tests"));
    QApplication::setApplicationName(QStringLiteral("jdhost-gui-tests"));
    gui::UseChineseFont();
    return RUN_ALL_TESTS();
}
