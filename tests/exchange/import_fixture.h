#pragma once
// A contacts document with the exchange managers installed, and helpers that
// run a text import through the chooser as the document starts it.
#include "exchange_fixture.h"
#include "exchange/MyDataImportManager.h"
#include "platform/FileChooser.h"
#include "platform/Sheet.h"

#include <QDialog>
#include <QFile>
#include <QTemporaryDir>

class ImportTest : public ExchangeDocumentTest {
protected:
    // As the base, and a file being read by a document's import is read to
    // the end: its rows come back through the queue.
    void settle()
    {
        ExchangeDocumentTest::settle();
        for (Document* document : controller.documents())
            if (MyDataImportManager* m = manager(static_cast<MyDocument*>(document)))
                m->waitForReading();
        ExchangeDocumentTest::settle();
    }
    QString write(const QString& name, const QByteArray& data)
    {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return file.fileName();
    }
    static MyDataImportManager* manager(MyDocument* document)
    {
        return static_cast<MyDataImportManager*>(document->myImportManager());
    }
    // Chooses the file in the chooser with this format and encoding and lets
    // the load run; the mapping sheet is then up (unless the load failed).
    MyDataImportManager* load(MyDocument* document, const QString& path, int format = 0, int encoding = 0)
    {
        chooser.answerWith(path);
        document->importFromText();
        MyDataImportManager* m = manager(document);
        if (m) {
            m->setFileFormatToImport(format);
            m->setFileEncodeToImport(encoding);
        }
        settle();
        return m;
    }
    // Columns mapped in order to these destination indexes (0: not imported).
    static void map(MyDataImportManager* m, const std::vector<int>& destinations)
    {
        for (std::size_t i = 0; i < destinations.size(); ++i)
            m->destFieldArray()->objectAtIndex(qsizetype(i)).dictionary()->setObject(
                Value::int32(destinations[i]), QvDataImportManager::kDestination);
        m->calcNumberOfImportedFields();
    }
    static std::vector<int> destinations(MyDataImportManager* m)
    {
        std::vector<int> out;
        for (const Value& row : m->destFieldArray()->objects())
            out.push_back(row.valueForKey(QvDataImportManager::kDestination).intValue());
        return out;
    }
    static QStringList flags(MyDataImportManager* m)
    {
        QStringList out;
        for (const Value& row : m->destFieldArray()->objects())
            out << row.valueForKey(QvDataImportManager::kImportFlag).stringValue();
        return out;
    }
    static QStringList column(MyDocument* document, const QString& key, qsizetype from = 0)
    {
        QStringList out;
        for (qsizetype i = from; i < document->myArray()->count(); ++i)
            out << recordAt(document, i)->objectForKey(key).stringValue();
        return out;
    }

    ScriptedFileChooser chooser;
    QTemporaryDir dir;
};
