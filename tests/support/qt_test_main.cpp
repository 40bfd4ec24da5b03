#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include "platform/qt/application_look.h"

// ctest and gtest_discover_tests (which runs this binary at build time, outside
// the test environment) may start it where there is no display: the offscreen
// platform needs none. A platform chosen from outside is kept.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    velorin::qt::PrepareApplication();
    return RUN_ALL_TESTS();
}
