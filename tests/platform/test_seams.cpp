#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/FileChooser.h"
#include "platform/FontFamilies.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"
#include "platform/Timer.h"
#include "platform/UrlOpener.h"

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <limits>

using namespace std::chrono_literals;

TEST(MainQueue, RunsPostedWorkLaterInOrderOnTheMainThread)
{
    QStringList ran;
    MainQueue::post([&] { ran << "first"; });
    MainQueue::post([&] {
        ran << "second";
        MainQueue::post([&] { ran << "posted while running"; });
    });
    auto* context = new QObject;
    MainQueue::post(context, [&] { ran << "dropped"; });
    delete context;
    QThread* mainThread = QThread::currentThread();
    QThread* ranOn = nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] { MainQueue::post([&] { ranOn = QThread::currentThread(); }); }));
    worker->start();
    worker->wait();
    EXPECT_TRUE(ran.isEmpty()) << "nothing runs inside the call that posts";

    QTRY_COMPARE(ran.size(), 3);
    EXPECT_EQ(ran, (QStringList{"first", "second", "posted while running"}));
    QTRY_COMPARE(ranOn, mainThread);
}

TEST(MainQueue, ManualQueueHoldsWorkUntilTheTestRunsIt)
{
    ManualMainQueue queue;
    QStringList ran;
    MainQueue::post([&] {
        ran << "a";
        MainQueue::post([&] { ran << "b"; });
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran.isEmpty());
    EXPECT_EQ(queue.pending(), 1);
    EXPECT_EQ(queue.runAll(), 2);
    EXPECT_EQ(ran, (QStringList{"a", "b"}));
}

TEST(Timer, FiresOnceAfterItsIntervalUnlessInvalidated)
{
    int fired = 0, cancelled = 0, unheld = 0;
    auto timer = Timer::scheduledTimer(20ms, [&] { ++fired; });
    auto cancel = Timer::scheduledTimer(20ms, [&] { ++cancelled; });
    Timer::scheduledTimer(20ms, [&] { ++unheld; }); // nobody keeps this one
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->timeInterval(), 20ms);
    cancel->invalidate();
    EXPECT_FALSE(cancel->isValid());

    QTRY_COMPARE(fired, 1);
    QTRY_COMPARE(unheld, 1);
    QTest::qWait(50);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(cancelled, 0);
    EXPECT_FALSE(timer->isValid()) << "a timer that has fired is spent";
}

TEST(Timer, WaitsOutIntervalsLongerThanTheEventLoopTakesInSteps)
{
    // Lowered so that the steps show within a test; the event loop's own limit is about 24.8 days.
    Timer::setLongestSingleWait(15ms);
    QElapsedTimer clock;
    clock.start();
    qint64 firedAfter = -1;
    auto timer = Timer::scheduledTimer(60ms, [&] { firedAfter = clock.elapsed(); });
    QTRY_VERIFY(firedAfter >= 0);
    EXPECT_GE(firedAfter, 55) << "fired after one step instead of the whole interval";
    Timer::setLongestSingleWait(0ms);
    EXPECT_EQ(Timer::longestSingleWait(), std::chrono::milliseconds(std::numeric_limits<int>::max()));

    // Beyond int milliseconds: neither at once (a wrapped negative wait) nor soon (a wrapped small one).
    int fired = 0;
    std::vector<std::shared_ptr<Timer>> far;
    for (const qint64 ms : {qint64(2147484) * 1000, qint64(4294967306) * 1000, qint64(4294967297)})
        far.push_back(Timer::scheduledTimer(std::chrono::milliseconds(ms), [&] { ++fired; }));
    QTest::qWait(50);
    EXPECT_EQ(fired, 0);
    for (const auto& t : far) {
        EXPECT_TRUE(t->isValid());
        t->invalidate();
    }
}

TEST(Timer, ManualTimersFireInOrderOfDueTimeAsTimeAdvances)
{
    ManualTimers timers;
    QStringList fired;
    auto late = Timer::scheduledTimer(30s, [&] { fired << "30 s"; });
    Timer::scheduledTimer(10s, [&] {
        fired << "10 s";
        Timer::scheduledTimer(5s, [&] { fired << "10 s + 5 s"; });
    });
    auto never = Timer::scheduledTimer(20s, [&] { fired << "invalidated"; });
    never->invalidate();

    timers.advance(9s);
    EXPECT_TRUE(fired.isEmpty());
    timers.advance(21s);
    EXPECT_EQ(fired, (QStringList{"10 s", "10 s + 5 s", "30 s"}));
    EXPECT_FALSE(late->isValid());
    EXPECT_TRUE(timers.validTimers().empty());
}

TEST(Seams, InstalledImplementationsStandInUntilTheyGo)
{
    const QDateTime fixed(QDate(2020, 2, 29), QTime(12, 0), Qt::UTC);
    {
        FixedClock clock(fixed);
        RecordingUrlOpener opener;
        MemoryClipboard clipboard;
        EXPECT_EQ(Clock::now(), fixed);
        clock.advance(1000);
        EXPECT_EQ(Clock::now(), fixed.addSecs(1));
        EXPECT_TRUE(UrlOpener::open(QUrl("mailto:someone@calvorin.example")));
        EXPECT_EQ(opener.opened, QList<QUrl>{QUrl("mailto:someone@calvorin.example")});
        Clipboard::setText("copied", nullptr);
        EXPECT_EQ(Clipboard::text(), "copied");
        EXPECT_TRUE(Seam<Clipboard>::current().supportsMode(QClipboard::Selection)) << "the test's own selection";
    }
    EXPECT_LT(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())), 5);
    // The production clipboard of the offscreen platform keeps text within the process, and has no selection.
    Clipboard::setText("system", nullptr);
    EXPECT_EQ(Clipboard::text(), "system");
    EXPECT_FALSE(Seam<Clipboard>::current().supportsMode(QClipboard::Selection));
}

// The application's copies are known by the window they come from; a window
// takes back its own, as long as nothing was copied over them.
TEST(Clipboard, AWindowTakesBackOnlyWhatWasCopiedFromItAndIsStillThere)
{
    MemoryClipboard clipboard;
    QMainWindow first;
    QMainWindow second;
    auto* field = new QLineEdit("first's text", &first);
    first.setCentralWidget(field);
    auto* sheet = new QDialog(&first);
    auto* sheetField = new QLineEdit("sheet's text", sheet);
    auto* secondField = new QLineEdit("second's text", &second);
    second.setCentralWidget(secondField);
    first.show();
    second.show();
    // As the user does: in the active window, the field with the focus copies what is selected in it.
    const auto copy = [](QWidget* window, QLineEdit* from) {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        from->setFocus();
        from->selectAll();
        from->copy();
    };
    const auto selection = [&clipboard] {
        const QMimeData* data = clipboard.mimeData(QClipboard::Selection);
        return data ? data->text() : QString();
    };

    copy(&first, field);
    Clipboard::forgetCopiesFrom(&second);
    EXPECT_EQ(Clipboard::text(), "first's text");
    Clipboard::forgetCopiesFrom(&first);
    EXPECT_EQ(Clipboard::text(), QString());

    sheet->show();
    copy(sheet, sheetField);
    Clipboard::forgetCopiesFrom(&first);
    EXPECT_EQ(Clipboard::text(), QString()) << "a sheet's copy is its window's";
    sheet->hide();

    // Copied through setText: from the window of the widget named, wherever the focus is.
    first.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&first));
    Clipboard::setText("badge", secondField);
    Clipboard::forgetCopiesFrom(&first);
    EXPECT_EQ(Clipboard::text(), "badge");
    Clipboard::forgetCopiesFrom(&second);
    EXPECT_EQ(Clipboard::text(), QString());

    // Another program's copy over the window's stays; so does a selection of another window.
    copy(&first, field);
    clipboard.foreignCopy("elsewhere");
    auto* selected = new QMimeData;
    selected->setText("second's selection");
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    secondField->setFocus();
    clipboard.setMimeData(selected, QClipboard::Selection); // what selecting in the field does on X11
    Clipboard::forgetCopiesFrom(&first);
    EXPECT_EQ(Clipboard::text(), "elsewhere");
    EXPECT_EQ(selection(), "second's selection");
    Clipboard::forgetCopiesFrom(&second);
    EXPECT_EQ(Clipboard::text(), "elsewhere");
    EXPECT_EQ(selection(), QString());
}

TEST(FontFamilies, EachFamilyIsListedOnceByItsPlainName)
{
    EXPECT_EQ(FontFamilies::plainFamilies({"C059 [UKWN]", "Arial", "C059 [URW ]", "Nimbus Sans [URW ]", "Nimbus Sans",
                                           "[Odd]", "Bracket]", "Arial"}),
              (QStringList{"C059", "Arial", "Nimbus Sans", "[Odd]", "Bracket]"}));
    for (const QString& family : FontFamilies::production().families())
        EXPECT_FALSE(family.endsWith(u']') && family.contains(QLatin1String(" ["))) << family.toStdString();
}

TEST(FileChooser, ChooserIsASheetOnTheWindowThatAnswersTheChoice)
{
    QTemporaryDir dir;
    QFile(dir.filePath("contacts.calvorin")).open(QIODevice::WriteOnly);
    QMainWindow window;
    auto* accessoryOwner = new QWidget(&window);
    auto* accessory = new QCheckBox("Detect", accessoryOwner);
    FileChooserOptions options;
    options.allowedExtensions = {"calvorin"};
    options.typeDescription = "Calvorin Document";
    options.directory = dir.path();
    options.accessory = accessory;

    QStringList chosen{"untouched"};
    FileChooser::chooseToOpen(&window, options, [&](const QStringList& paths) { chosen = paths; });
    auto* dialog = qobject_cast<QFileDialog*>(Sheet::attachedSheet(&window));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->nameFilters(), QStringList{"Calvorin Document (*.calvorin)"});
    EXPECT_TRUE(dialog->isAncestorOf(accessory));
    dialog->selectFile(dir.filePath("contacts.calvorin"));
    QMetaObject::invokeMethod(dialog, "accept");
    EXPECT_EQ(chosen, QStringList{dir.filePath("contacts.calvorin")});
    EXPECT_EQ(accessory->parentWidget(), accessoryOwner) << "the accessory goes back to its owner";

    QString saved = "untouched";
    options.accessory = nullptr;
    options.suggestedName = "Family.calvorin";
    FileChooser::chooseToSave(&window, options, [&](const QString& path) { saved = path; });
    ASSERT_NE(Sheet::attachedSheet(&window), nullptr);
    Sheet::endAll(&window);
    EXPECT_EQ(saved, QString()) << "a chooser ended by the program answers nothing";
}
