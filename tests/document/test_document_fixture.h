#pragma once
// A contacts document in a controller, with every seam it touches replaced.
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/Alert.h"
#include "platform/Clipboard.h"
#include "platform/DocumentController.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QUndoStack>
#include <gtest/gtest.h>

class ContactsDocumentTest : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "secret-1";

    void SetUp() override
    {
        controller.registerDocumentType(QStringLiteral("calvorin"), QStringLiteral("Calvorin Document"),
                                        {QStringLiteral("calvorin")}, [] { return new MyDocument; });
    }
    void TearDown() override
    {
        for (Document* document : controller.documents())
            document->close();
        settle();
    }

    // A new document with its window, protected by a password unless asked otherwise.
    MyDocument* newDocument(bool withPassword = true)
    {
        auto* document = static_cast<MyDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
        if (withPassword)
            document->setPlainPassword(QString::fromLatin1(kPassword));
        return document;
    }
    // Lets queued work, answers to sheets and deferred deletions run.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            queue.runAll();
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    static FilteringArrayController* records(MyDocument* document) { return document->myArrayController(); }
    static QvColoredCategoryArrayController* categories(MyDocument* document)
    {
        return document->myCategoryArrayController();
    }
    static DictionaryRef recordAt(MyDocument* document, qsizetype index)
    {
        return document->myArray()->objectAtIndex(index).dictionary();
    }
    static DictionaryRef categoryOf(const DictionaryRef& record)
    {
        return record->objectForKey(FilteringArrayController::kCategoryPtr).dictionary();
    }
    static int usage(const DictionaryRef& category)
    {
        return category->objectForKey(QvColoredCategoryArrayController::kUsageCount).intValue();
    }
    static QString nameOf(const DictionaryRef& category)
    {
        return category->objectForKey(QvCategoryArrayController::kName).stringValue();
    }

    ManualMainQueue queue;
    ScriptedResponder responder;
    MemoryClipboard clipboard;
    DocumentController controller;
};
