// CTest runs the tests of this folder in parallel processes: each keeps the
// user defaults in a settings file of its own, removed when it ends.
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace {
class OwnSettingsFile : public ::testing::Environment {
public:
    void SetUp() override
    {
        QCoreApplication::setApplicationName(
            QStringLiteral("calvorin-shell-tests-%1").arg(QCoreApplication::applicationPid()));
    }
    void TearDown() override { QFile::remove(QSettings().fileName()); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new OwnSettingsFile);
} // namespace
