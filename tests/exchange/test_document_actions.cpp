#include "import_fixture.h"

#include "common/BoundedRun.h"

#include "document/FilteringArrayController.h"
#include "platform/UrlOpener.h"

#include <QUndoStack>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(ImportTest, OpenFieldOpensTheSelectedContactsAddressByTag)
{
    RecordingUrlOpener opener;
    MyDocument* document = newDocument();
    settle();
    const DictionaryRef record = records(document)->newObject();
    record->setObject(Value(QStringLiteral("example.net")), QStringLiteral("firstName"));
    record->setObject(Value(QStringLiteral("www.example.org")), QStringLiteral("webWork"));
    record->setObject(Value(QStringLiteral("ann@example.org")), QStringLiteral("emailPersonal"));
    record->setObject(Value(QStringLiteral("")), QStringLiteral("webPersonal"));
    document->addTheRecord(record);

    struct Case {
        int tag;
        bool opens;
    };
    for (const Case& c : {Case{0, false}, Case{16, false}, Case{-3, false}, Case{1, true}, Case{8, true},
                          Case{13, true}, Case{14, false}, Case{15, false}}) {
        SCOPED_TRACE(c.tag);
        opener.opened.clear();
        document->openField(c.tag);
        EXPECT_EQ(opener.opened.size(), c.opens ? 1 : 0);
    }
    opener.opened.clear();
    document->openField(8);
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened.first().host(), "www.example.org");
    opener.opened.clear();
    document->openField(13);
    EXPECT_EQ(opener.opened.value(0).scheme(), "mailto");

    opener.opened.clear();
    document->openUrlWebWork();
    EXPECT_EQ(opener.opened.size(), 1);

    // Without a selection nothing is opened.
    records(document)->setSelectionIndex(-1);
    opener.opened.clear();
    document->openField(8);
    document->openUrlWebWork();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_FALSE(document->deleteRowShouldBeEnabled());
}

TEST_F(ImportTest, DeleteRowsAsksAndDeletesTheContactSelectedThen)
{
    MyDocument* document = newDocument();
    settle();
    for (const char* name : {"Ann", "Bob"}) {
        const DictionaryRef record = records(document)->newObject();
        record->setObject(Value(QString::fromLatin1(name)), QStringLiteral("firstName"));
        document->addTheRecord(record);
    }
    records(document)->setSelectionIndex(0);
    EXPECT_TRUE(document->deleteRowShouldBeEnabled());

    responder.answerWithButton(QStringLiteral("Cancel"));
    document->deleteRows();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    const ShownAlert& alert = responder.alerts().first();
    EXPECT_EQ(alert.messageText, "Delete the selected contact");
    EXPECT_EQ(alert.informativeText, "Are you sure to delete the selected contact?");
    EXPECT_EQ(alert.buttons, (QStringList{"Cancel", "Delete Contact"}));
    EXPECT_EQ(alert.style, Alert::WarningStyle);
    EXPECT_TRUE(alert.asSheet);
    EXPECT_EQ(document->myArray()->count(), 2);

    responder.answerWithButton(QStringLiteral("Delete Contact"));
    document->deleteRows();
    settle();
    ASSERT_EQ(document->myArray()->count(), 1);
    EXPECT_EQ(column(document, "firstName"), QStringList{"Bob"});
    EXPECT_EQ(document->undoManager()->undoText(), "Delete Record");
    document->undoManager()->undo();
    EXPECT_EQ(document->myArray()->count(), 2);

    // The selection is read when the answer comes: none by then deletes nothing.
    records(document)->setSelectionIndex(0);
    QPointer<MyDocument> doc(document);
    responder.showNext();
    document->deleteRows();
    records(document)->setSelectionIndex(-1);
    Sheet::end(Sheet::attachedSheet(document->myWindow()), Alert::SecondButtonReturn);
    settle();
    EXPECT_EQ(document->myArray()->count(), 2);

    // No selection: nothing is asked.
    const int asked = responder.alerts().size();
    document->deleteRows();
    settle();
    EXPECT_EQ(responder.alerts().size(), asked);
}

TEST_F(ImportTest, ImportWaitsForAPassword)
{
    MyDocument* document = newDocument();
    settle();
    document->setPlainPassword(QString());
    responder.answerWithButton(QStringLiteral("Cancel"));
    document->importFromText();
    settle();
    EXPECT_EQ(document->myImportManager(), nullptr);
    EXPECT_TRUE(chooser.requests.isEmpty());
    EXPECT_EQ(responder.messageTexts().value(0), "A password must be defined before adding data");
}

// Malformed input under a cap on the address space: every one is refused with
// an alert, within the cap, and adds nothing.
TEST_F(ImportTest, MalformedFilesAreRefusedWithinAMemoryCap)
{
    const QString fifo = dir.filePath(QStringLiteral("x.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = write("locked.csv", "a,b\n");
    ::chmod(QFile::encodeName(unreadable).constData(), 0);
    const QString large = dir.filePath(QStringLiteral("large.csv"));
    {
        QFile file(large);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(QvSmartStringFileReader::kMaximumFileSize + 1));
    }
    struct Case {
        const char* name;
        QString path;
        int encoding;
        const char* message;
    };
    const std::vector<Case> table = {
        {"truncated utf-8", write("cut.csv", "Ann,L\xC3"), 1, "not in the chosen text encoding"},
        {"truncated utf-16", write("cut16.csv", QByteArray("\xFF\xFE" "a\0,", 5)), 10, "not in the chosen text encoding"},
        {"lone surrogate", write("sur.csv", QByteArray("\xFF\xFE" "a\0\x00\xD8", 6)), 12, "not in the chosen text encoding"},
        {"nuls only", write("nul.csv", QByteArray(64, '\0')), 0, "is not a text file"},
        {"a nul in utf-8", write("nul8.csv", QByteArray("Ann,\0Lee\n", 9)), 1, "not in the chosen text encoding"},
        {"50 MB line of commas", write("commas.csv", QByteArray(50 << 20, ',')), 0, "holds nothing to import"},
        {"a million columns", write("wide.csv", QByteArray("x,").repeated(1000000)), 0, "has too many columns"},
        {"a fifo named x.csv", fifo, 0, "could not be read"},
        {"an unreadable file", unreadable, 0, ::geteuid() == 0 ? nullptr : "could not be read"},
        {"over the limit", large, 0, "is too large"},
        {"a missing file", dir.filePath("gone.csv"), 0, "could not be read"},
    };
    MyDocument* document = newDocument();
    settle();
    for (const Case& c : table) {
        if (!c.message)
            continue;
        SCOPED_TRACE(c.name);
        MyDataImportManager* m = nullptr;
        {
            // The file in clear as bytes, as text and as lines: a few times its size.
            AddressSpaceCap cap(640 << 20);
            ASSERT_TRUE(cap.capped());
            m = load(document, c.path, 0, c.encoding);
        }
        ASSERT_TRUE(m);
        EXPECT_EQ(m->importedRowCount(), 0);
        EXPECT_EQ(m->destFieldArray()->count(), 0);
        EXPECT_EQ(document->myArray()->count(), 0);
        ASSERT_FALSE(responder.alerts().isEmpty());
        EXPECT_TRUE(responder.alerts().last().messageText.contains(QLatin1String(c.message)))
            << responder.alerts().last().messageText.toStdString();
        EXPECT_EQ(Sheet::attachedSheet(document->myWindow()), nullptr);
    }
}
