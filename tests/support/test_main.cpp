// Shared main of every test program: a private HOME and XDG folders, so no
// test touches the user's files, and one QApplication for widget tests.
#include <cstdlib>
#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include "support/test_env.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) return 2;
    vel::test::SetHome(home.path());
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication::setApplicationName("Velmaris");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
