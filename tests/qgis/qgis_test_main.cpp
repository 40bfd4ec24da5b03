// The adapter tests run on real QGIS objects with no display: the offscreen
// platform, QGIS's providers from its installed prefix, no project file.
#include <gtest/gtest.h>
#include <qgsapplication.h>

#include <QByteArray>
#include <QtGlobal>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    }
    testing::InitGoogleTest(&argc, argv);
    QgsApplication application(argc, argv, true);
    QgsApplication::setPrefixPath(QStringLiteral("/usr"), true);
    QgsApplication::initQgis();
    const int result = RUN_ALL_TESTS();
    QgsApplication::exitQgis();
    return result;
}
