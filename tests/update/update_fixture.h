#pragma once
// A checker on a settings file of its own, with alerts answered by a script,
// addresses recorded, the clock fixed and no proxy between it and 127.0.0.1.

#include "loopback_mirror.h"

#include "platform/Alert.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/MainQueue.h"
#include "platform/UrlOpener.h"
#include "update/QvPhoneHome.h"

#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class UpdateCheckTest : public ::testing::Test {
protected:
    static constexpr qint64 kRelease = 30602;

    UpdateCheckTest()
    {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QvPhoneHome::Limits limits;
        limits.transferTimeout = std::chrono::milliseconds(1000);
        limits.deadline = std::chrono::milliseconds(3000);
        home->setLimits(limits);
    }

    // Points the checker at these four addresses.
    void mirrors(const QString& a, const QString& b, const QString& c, const QString& d)
    {
        home->SetValueAppRelease(kRelease, QStringLiteral("Calvorin"), a, b, c, d);
    }
    void mirrors(const LoopbackMirror& a, const LoopbackMirror& b, const LoopbackMirror& c, const LoopbackMirror& d)
    {
        mirrors(a.url(), b.url(), c.url(), d.url());
    }

    // Lets a running check reach its end (and its alert).
    bool waitForCheck(int timeoutMs = 10000)
    {
        const bool ended = QTest::qWaitFor([this] { return !home->isChekingUpdateSystem(); }, timeoutMs);
        QCoreApplication::processEvents();
        return ended;
    }

    Value storedDate() const { return defaults.objectForKey(QStringLiteral("lastCheckDateForUpdate")); }
    void storeDate(const QDateTime& when)
    {
        defaults.setObject(Value::dateFromDateTime(when), QStringLiteral("lastCheckDateForUpdate"));
    }
    void setNotifyUpdate(bool on) { defaults.setObject(Value::boolean(on), QStringLiteral("notifyUpdate")); }

    QTemporaryDir dir;
    Defaults defaults{dir.filePath(QStringLiteral("settings.ini"))};
    ScriptedResponder alerts;
    RecordingUrlOpener opener;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 30))};
    std::unique_ptr<QvPhoneHome> home = std::make_unique<QvPhoneHome>(&defaults);
};
