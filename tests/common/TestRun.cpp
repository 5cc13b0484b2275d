#include "common/TestRun.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int runAllTests(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("CalvorinTests"));
    QApplication::setApplicationName(QStringLiteral("calvorin-tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
