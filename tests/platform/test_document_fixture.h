#pragma once
// A plain-text document type and a fixture with every seam a document touches replaced.
#include "platform/Alert.h"
#include "platform/Document.h"
#include "platform/DocumentController.h"
#include "platform/FileChooser.h"
#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUndoCommand>
#include <QUndoStack>
#include <gtest/gtest.h>

class TextDocument : public Document {
public:
    bool readFromData(const QByteArray& data, const QString&, QString* error) override
    {
        if (data.startsWith("BAD")) {
            *error = QStringLiteral("Not a text document.");
            return false;
        }
        text = QString::fromUtf8(data);
        return true;
    }
    std::optional<QByteArray> dataOfType(const QString&, QString* error) override
    {
        if (!refusal.isEmpty()) {
            *error = refusal;
            return std::nullopt;
        }
        return text.toUtf8();
    }
    // An undoable edit named "Typing".
    void type(const QString& newText)
    {
        class Typing : public QUndoCommand {
        public:
            Typing(TextDocument* document, QString after)
                : QUndoCommand(QStringLiteral("Typing")), m_document(document), m_before(document->text), m_after(std::move(after))
            {
            }
            void redo() override { m_document->text = m_after; }
            void undo() override { m_document->text = m_before; }

        private:
            TextDocument* m_document;
            QString m_before, m_after;
        };
        undoManager()->push(new Typing(this, newText));
    }

    QString text;
    QString refusal; // when set, writing fails with this reason
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        controller.registerDocumentType(QStringLiteral("text"), QStringLiteral("Text Document"), {QStringLiteral("txt")},
                                        [] { return new TextDocument; });
    }
    void TearDown() override { settle(); }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString writeFile(const QString& name, const QByteArray& contents) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path(name);
    }
    static QByteArray readFile(const QString& filePath)
    {
        QFile file(filePath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    TextDocument* open(const QString& filePath, bool* wasOpen = nullptr)
    {
        Document* opened = nullptr;
        controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(filePath), true, [&](Document* d, bool already) {
            opened = d;
            if (wasOpen)
                *wasOpen = already;
        });
        return static_cast<TextDocument*>(opened);
    }
    TextDocument* newDocument()
    {
        return static_cast<TextDocument*>(controller.openUntitledDocumentAndDisplay(true, nullptr));
    }
    // Lets queued work, answers to sheets and deferred deletions run.
    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            queue.runAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    QTemporaryDir dir;
    DocumentController controller;
    ScriptedResponder responder;
    ScriptedFileChooser chooser;
    ManualMainQueue queue;
};
