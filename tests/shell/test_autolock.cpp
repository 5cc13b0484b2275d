// The automatic lock of every open document after a time in the background.
#include "shell_fixture.h"

#include <QGuiApplication>

using namespace std::chrono_literals;

namespace {

class AutoLockTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // The offscreen windows of the test move the real state on their own
        // schedule; here the test alone says where the application is.
        QObject::disconnect(qGuiApp, &QGuiApplication::applicationStateChanged, &delegate(), nullptr);
        setDefault("autolocBackgroundEnabled", Value::boolean(true));
        toForeground();
    }
    void toBackground() { delegate().applicationStateChanged(Qt::ApplicationInactive); }
    void toForeground() { delegate().applicationStateChanged(Qt::ApplicationActive); }

    // The delay of the armed lock, or -1 when none is armed.
    qint64 armedSeconds() const
    {
        const auto valid = timers.validTimers();
        if (valid.empty())
            return -1;
        EXPECT_EQ(valid.size(), 1u);
        return std::chrono::duration_cast<std::chrono::seconds>(valid.front()->timeInterval()).count();
    }
    // A saved, unlocked document with a password.
    MyDocument* openUnlocked(const QString& name, bool display = true)
    {
        const QString file = savedDocumentFile(name);
        MyDocument* opened = nullptr;
        controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(file), display,
                                                 [&opened](Document* d, bool) { opened = static_cast<MyDocument*>(d); });
        settle();
        EXPECT_TRUE(opened);
        if (opened)
            opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
        settle();
        return opened;
    }
};

TEST_F(AutoLockTest, TheDelayIsTheSettingInSecondsAtLeastThirtyAndNothingBelowOne)
{
    const struct {
        Value setting;
        qint64 seconds;
    } cases[] = {
        {Value::int32(120), 120},
        {Value::int32(31), 31},
        {Value::int32(30), 30},
        {Value::int32(10), 30},
        {Value::int32(1), 30},
        {Value::int32(0), -1},
        {Value::int32(-5), -1},
        // Read in 64 bits: neither turned off by a sign nor cut to a short delay.
        {Value::int64(2147483648LL), 2147483648LL},
        {Value::int64(4294967306LL), 4294967306LL},
        {Value::uint64(std::numeric_limits<quint64>::max()), std::numeric_limits<qint64>::max() / 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting.stringValue().toStdString());
        setDefault("autolocBackgroundInterval", c.setting);
        toBackground();
        EXPECT_EQ(armedSeconds(), c.seconds);
        toForeground();
        EXPECT_EQ(armedSeconds(), -1) << "coming back cancels it";
        EXPECT_FALSE(delegate().repeatingAutomaticLockTimer());
    }
}

TEST_F(AutoLockTest, LocksEverySavedDocumentAfterTheDelayUnlessTheApplicationCameBack)
{
    MyDocument* saved = openUnlocked(QStringLiteral("saved.calvorin"));
    auto* untitled = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
    untitled->setPlainPassword(QString::fromLatin1(kPassword));
    settle();
    ASSERT_TRUE(saved && saved->isDecrypted());

    setDefault("autolocBackgroundInterval", Value::int32(120));
    toBackground();
    timers.advance(100s);
    toForeground();
    toBackground();
    timers.advance(119s);
    settle();
    EXPECT_TRUE(saved->isDecrypted()) << "leaving again starts a full new delay";

    // Opened while in the background, and locked all the same.
    MyDocument* later = openUnlocked(QStringLiteral("later.calvorin"));
    ASSERT_TRUE(later && later->isDecrypted());
    timers.advance(1s);
    settle();
    EXPECT_TRUE(saved->isEncrypted());
    EXPECT_TRUE(later->isEncrypted());
    EXPECT_TRUE(untitled->isDecrypted()) << "a document never saved is left as it is";

    // A state change that stays in the background re-arms nothing.
    delegate().applicationStateChanged(Qt::ApplicationHidden);
    EXPECT_EQ(armedSeconds(), -1);
}

TEST_F(AutoLockTest, NothingIsArmedWhileTheOptionIsOff)
{
    MyDocument* saved = openUnlocked(QStringLiteral("off.calvorin"));
    setDefault("autolocBackgroundEnabled", Value::boolean(false));
    toBackground();
    EXPECT_EQ(armedSeconds(), -1);
    timers.advance(24h);
    settle();
    EXPECT_TRUE(saved->isDecrypted());
}

} // namespace
