// Importing from an address book as a person does it: the File menu, the
// sheet, its search, its check boxes and its buttons.
#include "test_document_fixture.h"

#include "document/AddressBookImport.h"
#include "document/RecordTableModel.h"
#include "encryption/PasswordSheet.h"
#include "platform/AddressBook.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/Sheet.h"

#include <QApplication>
#include <QLabel>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

class AddressBookWindowTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        responder.setSheetHandler([this](QDialog* sheet, QWidget*) {
            if (auto* password = qobject_cast<PasswordSheet*>(sheet))
                passwordSheet = password;
        });
        QDir().mkpath(pictures);
    }
    void open(MyDocument* d)
    {
        document = d;
        window = document->window();
        window->resize(900, 620);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        settle();
    }
    // File ▸ Import from Address Book…
    void chooseImportFromTheFileMenu()
    {
        QAction* item = nullptr;
        for (QAction* action : window->fileMenu()->actions())
            if (action->text().remove(u'&') == QStringLiteral("Import from Address Book…"))
                item = action;
        ASSERT_NE(item, nullptr);
        emit window->fileMenu()->aboutToShow();
        ASSERT_TRUE(item->isEnabled());
        item->trigger();
        settle();
    }
    void click(QWidget* widget)
    {
        ASSERT_TRUE(widget->isVisible());
        ASSERT_TRUE(widget->isEnabled());
        QTest::mouseClick(widget, Qt::LeftButton);
        settle();
    }
    void clickCheckBox(int row)
    {
        QTableView* table = document->abPanel()->peopleTable();
        // On the check box itself, where the style draws it.
        QStyleOptionViewItem option;
        option.initFrom(table->viewport());
        option.rect = table->visualRect(table->model()->index(row, AddressBookPeopleModel::ImportColumn));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        const QRect box = table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, table);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, box.center());
        settle();
    }
    QStringList sheetRows() const
    {
        QStringList rows;
        const QAbstractItemModel* model = document->abPanel()->peopleTable()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows.append((model->index(row, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked ? "[x] " : "[ ] ")
                        + model->index(row, 1).data().toString() + model->index(row, 2).data().toString());
        return rows;
    }
    QStringList listed() const
    {
        QStringList names;
        const QAbstractItemModel* model = document->myTableView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, RecordTableModel::NameColumn).data().toString());
        return names;
    }
    void picture(QWidget* widget, const char* name) const
    {
        widget->grab().save(QStringLiteral("%1/%2.png").arg(pictures, QLatin1String(name)));
    }

    MemoryAddressBook book{{}, false}; // no desktop book: vCard files
    ScriptedFileChooser chooser;
    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
    QPointer<PasswordSheet> passwordSheet;
    QString pictures = QDir::temp().filePath(QStringLiteral("pics-abook"));
};

TEST_F(AddressBookWindowTest, APersonImportsTheCheckedPeopleOfAVCardFile)
{
    open(newDocument());
    chooser.answerWith(QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/book-3.0.vcf"));
    chooseImportFromTheFileMenu();
    AddressBookSheet* sheet = document->abPanel();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(Sheet::attachedSheet(window), sheet);
    EXPECT_EQ(sheet->sourceLabel()->text(), "People of “book-3.0.vcf”");
    EXPECT_EQ(sheetRows(), (QStringList{"[ ] Ann Lee", "[ ] Acme Widgets Inc."}));

    // The search narrows the list, Check All checks what it shows.
    QTest::keyClicks(sheet->searchField(), "acme");
    settle();
    EXPECT_EQ(sheetRows(), QStringList{"[ ] Acme Widgets Inc."});
    click(sheet->checkAllButton());
    sheet->searchField()->setFocus();
    QTest::keyClick(sheet->searchField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(sheet->searchField(), Qt::Key_Backspace);
    settle();
    EXPECT_EQ(sheetRows(), (QStringList{"[ ] Ann Lee", "[x] Acme Widgets Inc."}));
    click(sheet->importCheckedButton());

    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_EQ(Sheet::attachedSheet(window), nullptr);
    EXPECT_EQ(listed(), QStringList{"Acme Widgets Inc."});
    EXPECT_TRUE(document->isDocumentEdited());

    // Again, and cancelled: nothing.
    chooser.answerWith(QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/book-3.0.vcf"));
    chooseImportFromTheFileMenu();
    ASSERT_NE(document->abPanel(), nullptr);
    clickCheckBox(0);
    EXPECT_EQ(sheetRows(), (QStringList{"[x] Ann Lee", "[ ] Acme Widgets Inc."}));
    // The keyboard checks too: down to a row, Space (in any column).
    QTableView* table = document->abPanel()->peopleTable();
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Down);
    QTest::keyClick(table, Qt::Key_Right);
    QTest::keyClick(table, Qt::Key_Space);
    settle();
    EXPECT_EQ(sheetRows(), (QStringList{"[x] Ann Lee", "[x] Acme Widgets Inc."}));
    click(document->abPanel()->cancelButton());
    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_EQ(listed(), QStringList{"Acme Widgets Inc."});
    EXPECT_EQ(document->abPeopleArray()->count(), 0);
}

TEST_F(AddressBookWindowTest, TwentyPeopleInTheSheetAndTheListAfterTheImport)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("team.vcf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const char* const names[][2] = {
        {"Ada", "Lovelace"},  {"Alan", "Turing"},     {"Grace", "Hopper"},    {"Edsger", "Dijkstra"},
        {"Barbara", "Liskov"}, {"Donald", "Knuth"},   {"Frances", "Allen"},   {"John", "Backus"},
        {"Margaret", "Hamilton"}, {"Niklaus", "Wirth"}, {"Radia", "Perlman"}, {"Ken", "Thompson"},
        {"Dennis", "Ritchie"}, {"Karen", "Spärck Jones"}, {"Tony", "Hoare"},  {"Leslie", "Lamport"},
        {"Shafi", "Goldwasser"}, {"Whitfield", "Diffie"}, {"Adele", "Goldberg"}, {"", ""},
    };
    for (const auto& name : names) {
        if (*name[0])
            file.write(QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nN:%1;%2;;;\r\nTEL;TYPE=CELL:+1 555 01%3\r\nEND:VCARD\r\n")
                           .arg(QString::fromUtf8(name[1]), QString::fromUtf8(name[0]))
                           .arg(file.pos() % 100)
                           .toUtf8());
        else
            file.write("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Analytical Engines Ltd\r\nORG:Analytical Engines Ltd\r\nEND:VCARD\r\n");
    }
    file.close();

    open(newDocument());
    chooser.answerWith(file.fileName());
    chooseImportFromTheFileMenu();
    AddressBookSheet* sheet = document->abPanel();
    ASSERT_NE(sheet, nullptr);
    for (int row : {0, 2, 4, 8, 10, 13, 19})
        clickCheckBox(row);
    picture(sheet, "sheet-twenty-people");
    click(sheet->importCheckedButton());
    EXPECT_EQ(listed(), (QStringList{"Ada Lovelace", "Grace Hopper", "Barbara Liskov", "Margaret Hamilton",
                                     "Radia Perlman", "Karen Spärck Jones", "Analytical Engines Ltd"}));
    picture(window, "list-after-import");
}

TEST_F(AddressBookWindowTest, OnANewDocumentWithoutPasswordThePasswordComesFirst)
{
    open(newDocument(false));
    ASSERT_TRUE(passwordSheet);
    // The password sheet holds the window; the command waits behind it and reads no book.
    chooser.answerWith(QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/book-3.0.vcf"));
    chooseImportFromTheFileMenu();
    EXPECT_EQ(document->abPanel(), nullptr);
    EXPECT_TRUE(chooser.requests.isEmpty());

    QTest::keyClicks(passwordSheet->newPasswordField(), "correct horse");
    QTest::keyClicks(passwordSheet->retypePasswordField(), "correct horse");
    QTest::mouseClick(passwordSheet->confirmButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(responder.messageTexts().contains("A password must be defined before adding data"));
    EXPECT_EQ(document->abPanel(), nullptr);

    // With its password the document takes the people.
    window->activateWindow();
    settle();
    chooseImportFromTheFileMenu();
    ASSERT_NE(document->abPanel(), nullptr);
    click(document->abPanel()->importAllButton());
    EXPECT_EQ(listed(), (QStringList{"Ann Lee", "Acme Widgets Inc."}));
}

} // namespace
