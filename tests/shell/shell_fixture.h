#pragma once
// The application shell in this process, with every seam it touches replaced
// and the user defaults it reads put back after each test.
#include "shell/ApplicationShell.h"
#include "shell/MyAppDelegate.h"
#include "shell/PreferencesWindow.h"
#include "shell/QvRevertDocController.h"

#include "document/FilteringArrayController.h"
#include "exchange/ExchangeInstall.h"
#include "exchange/QvDataImportManager.h"
#include "document/MyDocument.h"
#include "platform/Alert.h"
#include "platform/Clipboard.h"
#include "platform/Defaults.h"
#include "platform/FileChooser.h"
#include "platform/FileRevealer.h"
#include "platform/FontFamilies.h"
#include "platform/MainQueue.h"
#include "platform/Timer.h"
#include "platform/UrlOpener.h"
#include "toolkit/QvBookmark.h"
#include "update/QvPhoneHome.h"
#include "update/loopback_mirror.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// Set CALVORIN_PICTURES to a folder to keep pictures of the windows.
inline void keepPicture(QWidget* window, const QString& name)
{
    const QString folder = qEnvironmentVariable("CALVORIN_PICTURES");
    if (folder.isEmpty() || !window)
        return;
    QDir().mkpath(folder);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

class ShellTest : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "secret-1";

    void SetUp() override
    {
        clearUserDefaults();
        installExchangeManagers();
        controller.registerContactsDocumentType();
        shell = std::make_unique<ApplicationShell>(controller);
        // No test reaches the maker's mirrors: every feed address is a closed port here.
        const QString refused = closedLoopbackFeed();
        QvPhoneHome::sharedPhoneHome()->SetValueAppRelease(30602, QStringLiteral("Calvorin"), refused, refused, refused,
                                                          refused);
        // Checked today already: launching starts no download.
        setDefault(QvPhoneHome::kLastCheckDateKey, Value::dateFromDateTime(QDateTime::currentDateTime()));
        shell->setQuitHandler([this] { ++quits; });
    }
    void TearDown() override
    {
        for (Document* document : controller.documents())
            document->close();
        settle();
        shell.reset();
        settle();
        clearUserDefaults();
    }

    static QString closedLoopbackFeed() { return LoopbackMirror::refusedUrl(); }
    static void clearUserDefaults()
    {
        Defaults& defaults = Defaults::standardUserDefaults();
        for (const char* key : {"notifyUpdate", "StartupActionTag", "StartupSelectedDoc", "tableFontFamily",
                                "tableFontSize", "autolocBackgroundEnabled", "autolocBackgroundInterval",
                                "StartupSelectedDocBookmark", "lastCheckDateForUpdate"})
            defaults.removeObjectForKey(QLatin1String(key));
    }
    static void setDefault(const char* key, const Value& value)
    {
        ASSERT_TRUE(Defaults::standardUserDefaults().setObject(value, QLatin1String(key)));
    }

    MyAppDelegate& delegate() { return shell->delegate(); }
    PreferencesWindow& preferences() { return shell->preferencesWindow(); }

    // Lets queued work, answers to sheets and deferred deletions run. A file
    // an import is reading is read to the end first, so that its rows come
    // back through the queue however busy the machine is.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            for (Document* document : controller.documents())
                if (auto* importer = dynamic_cast<QvDataImportManager*>(static_cast<MyDocument*>(document)->myImportManager()))
                    importer->waitForReading();
            queue.runAll();
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // A saved contacts document with one record, closed again.
    QString savedDocumentFile(const QString& name, const QString& firstName = QStringLiteral("Ada"))
    {
        auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(false, nullptr));
        document->setPlainPassword(QString::fromLatin1(kPassword));
        const DictionaryRef record = document->myArrayController()->newObject();
        record->setObject(Value(firstName), QStringLiteral("firstName"));
        document->addTheRecord(record);
        QString why;
        const QUrl url = QUrl::fromLocalFile(path(name));
        EXPECT_TRUE(document->writeToURL(url, QStringLiteral("calvorin"), &why)) << qPrintable(why);
        document->close();
        settle();
        return url.toLocalFile();
    }
    static void storeBookmarkOf(const QString& file)
    {
        const QByteArray bookmark = QvBookmark::bookmarkForURL_RW(QUrl::fromLocalFile(file));
        ASSERT_FALSE(bookmark.isEmpty());
        setDefault("StartupSelectedDocBookmark", Value::data(bookmark));
    }
    static QByteArray storedBookmark()
    {
        return Defaults::standardUserDefaults().dataForKey(QStringLiteral("StartupSelectedDocBookmark"));
    }
    QList<MyDocument*> documents() const
    {
        QList<MyDocument*> all;
        for (Document* document : controller.documents())
            all.append(static_cast<MyDocument*>(document));
        return all;
    }

    QTemporaryDir dir;
    ManualMainQueue queue;
    ManualTimers timers;
    ScriptedResponder responder;
    ScriptedFileChooser chooser;
    RecordingUrlOpener opener;
    RecordingFileRevealer revealer;
    MemoryClipboard clipboard;
    FixedFontFamilies fonts{{QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Serif")}};
    QvRevertDocController controller;
    std::unique_ptr<ApplicationShell> shell;
    int quits = 0;
};

