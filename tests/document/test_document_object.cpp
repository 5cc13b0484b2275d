#include "test_document_fixture.h"

#include "document/CategoryBadges.h"
#include "document/LabelSheet.h"
#include "encryption/PasswordSheet.h"
#include "platform/Defaults.h"
#include "platform/DocumentWindow.h"
#include "platform/ValueTransformer.h"
#include "toolkit/QvVSplitViewDelegate.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUndoCommand>

namespace {
QStringList stringsOf(const ArrayRef& table, const QString& key)
{
    QStringList strings;
    for (const Value& row : table->objects())
        strings.append(row.valueForKey(key).stringValue());
    return strings;
}
} // namespace

TEST(ContactsDocumentModel, CaptionsAndFieldTables)
{
    const DictionaryRef labels = MyDocument::defaultLabelDictionary();
    EXPECT_EQ(labels->count(), 17 + 15);
    EXPECT_NE(labels, MyDocument::defaultLabelDictionary()) << "a new dictionary each call";
    EXPECT_EQ(labels->objectForKey("firstName").stringValue(), "First name:");
    EXPECT_EQ(labels->objectForKey("mobile").stringValue(), "Mobile personal:");
    EXPECT_EQ(labels->objectForKey("pager").stringValue(), "Mobile work");
    EXPECT_EQ(labels->objectForKey("note").stringValue(), "Note");
    for (const QString& key : MyDocument::captionKeys())
        EXPECT_TRUE(labels->objectForKey(key).isString()) << qPrintable(key);
    QStringList open;
    for (int flag = 1; flag <= 15; ++flag) {
        const Value value = labels->objectForKey(QStringLiteral("open%1").arg(flag, 2, 10, QLatin1Char('0')));
        EXPECT_EQ(value.kind(), Value::Kind::Bool);
        if (value.boolValue())
            open.append(QString::number(flag));
    }
    EXPECT_EQ(open, (QStringList{"7", "8", "13", "14"}));

    const ArrayRef exported = MyDocument::exportFieldTable();
    const ArrayRef imported = MyDocument::importFieldTable();
    EXPECT_EQ(stringsOf(exported, "publicKey"),
              (QStringList{"Category", "First name", "Last name", "Company", "Phone work", "Fax work", "Address work",
                           "Email work", "Web work", "Phone personal", "Fax personal", "Mobile personal", "Mobile work",
                           "Email personal", "Web personal", "Address personal", "Note"}));
    EXPECT_EQ(stringsOf(imported, "publicKey"), stringsOf(exported, "publicKey"));
    QStringList exportKeys = stringsOf(exported, "innerKey");
    QStringList importKeys = stringsOf(imported, "innerKey");
    EXPECT_EQ(exportKeys.takeFirst(), "categoryPtr.cat_category");
    EXPECT_EQ(importKeys.takeFirst(), "categoryNAME");
    EXPECT_EQ(exportKeys, importKeys);
    EXPECT_EQ(exportKeys.at(10), "mobile");
    EXPECT_EQ(exportKeys.at(11), "pager");
}

TEST_F(ContactsDocumentTest, ANewDocumentIsUnlockedEmptyAndHasOneCategory)
{
    MyDocument* document = newDocument(false);
    EXPECT_TRUE(document->isDecrypted());
    EXPECT_TRUE(document->plainPassword().isEmpty());
    EXPECT_TRUE(document->YouCanSave());
    EXPECT_EQ(document->myArray()->count(), 0);
    ASSERT_EQ(document->myCategoryArray()->count(), 1);
    EXPECT_EQ(nameOf(document->myCategoryArray()->objectAtIndex(0).dictionary()), "Generic");
    EXPECT_FALSE(document->isDocumentEdited()) << "the first category does not count as an edit";
    EXPECT_EQ(document->selectedView(), MyDocument::ViewModeView);
    EXPECT_EQ(document->categoryString(), "");
    EXPECT_TRUE(document->documentCreationDate().isDate());
    EXPECT_TRUE(document->arrayForExport()->isEqualToArray(*MyDocument::exportFieldTable()));
    EXPECT_TRUE(document->arrayForImport()->isEqualToArray(*MyDocument::importFieldTable()));
    EXPECT_NE(ValueTransformer::valueTransformerForName("valueIs1"), nullptr);
    EXPECT_NE(ValueTransformer::valueTransformerForName("ret1ifnot0"), nullptr);

    const QvVSplitViewDelegate* limits = document->mySplitViewDelegate();
    EXPECT_EQ(limits->minHSizeLeft(), 210);
    EXPECT_EQ(limits->maxHSizeLeft(), 660);
    EXPECT_EQ(limits->minHSizeRight(), 450);
    EXPECT_EQ(limits->maxHSizeRight(), 9999);
    EXPECT_EQ(limits->growingRule(), 2);
    EXPECT_FALSE(limits->canCollapseLeft() || limits->canCollapseRight());
    EXPECT_FALSE(document->grayStatusView()->isVisibleTo(document->window()));
    EXPECT_FALSE(MyDocument::autosavesInPlace());
}

TEST_F(ContactsDocumentTest, OnlyANewDocumentAsksForItsPasswordAndOnlyOnce)
{
    QList<QDialog*> sheets;
    responder.setSheetHandler([&sheets](QDialog* sheet, QWidget*) { sheets.append(sheet); });
    MyDocument* fresh = newDocument(false);
    fresh->windowDidBecomeKey(fresh->window());
    fresh->windowDidBecomeKey(fresh->window());
    settle();
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(static_cast<PasswordSheet*>(sheets.first())->kind(), PasswordSheet::Mandatory);
    EXPECT_FALSE(fresh->requiresMandatoryPassword());

    // As a document read from a file is.
    MyDocument* read = newDocument(false);
    settle();
    sheets.clear();
    read->setRequiresMandatoryPassword(false);
    read->windowDidBecomeKey(read->window());
    settle();
    EXPECT_TRUE(sheets.isEmpty());
}

TEST_F(ContactsDocumentTest, TheFilterStripShowsWhileAFilterIsInForce)
{
    MyDocument* document = newDocument();
    QWidget* strip = document->grayStatusView();
    document->showSearchInfoView(true);
    document->showSearchInfoView(true);
    EXPECT_TRUE(document->prevFilterInaction());
    EXPECT_TRUE(strip->isVisibleTo(document->window()));
    document->showSearchInfoView(false);
    EXPECT_FALSE(strip->isVisibleTo(document->window()));

    document->doSelectCatMenu("Generic");
    EXPECT_TRUE(strip->isVisibleTo(document->window()));
    document->showAllAndResetFilter();
    EXPECT_FALSE(strip->isVisibleTo(document->window()));

    document->setSearchText("ann");
    document->doSearch();
    EXPECT_EQ(document->searchPredicate(), "((name contains[cd] \"ann\") OR (category contains[cd] \"ann\") )");
    document->setSearchText("");
    document->doSearch();
    EXPECT_TRUE(document->searchPredicate().isNull());
}

TEST_F(ContactsDocumentTest, CommandsFollowLockPasswordAndSelection)
{
    struct Case {
        const char* command;
        bool withPassword, withSelection, locked;
    };
    // Each command, with the states in which it is enabled.
    const std::vector<std::pair<Case, bool>> cases = {
        {{"addRow", true, false, false}, true},
        {{"addRow", false, false, false}, true}, // leads to the password request
        {{"addRow", true, false, true}, false},
        {{"duplicateRow", true, true, false}, true},
        {{"duplicateRow", true, false, false}, false},
        {{"deleteRow", true, true, false}, true},
        {{"deleteRow", true, false, false}, false},
        {{"deleteRow", true, true, true}, false},
        {{"lockDocument", true, false, false}, true},
        {{"lockDocument", false, false, false}, false},
        {{"lockDocument", true, false, true}, false},
        {{"saveDocument", true, false, false}, true},
        {{"saveDocument", false, false, false}, false},
        {{"saveDocumentAs", false, false, false}, false},
        {{"saveDocument", true, false, true}, false},
        {{"editCategoriesSheet", true, false, true}, false},
        {{"editLabelSheet", true, false, true}, false},
        {{"switchViewEditMode", true, false, true}, false},
        {{"documentPassword", true, false, true}, false},
        {{"undo", true, false, true}, false},
        {{"undo", true, false, false}, true},
    };
    for (const auto& [c, enabled] : cases) {
        SCOPED_TRACE(testing::Message() << c.command << " password " << c.withPassword << " selection "
                                        << c.withSelection << " locked " << c.locked);
        MyDocument* document = newDocument(true);
        document->addRow();
        if (!c.withSelection)
            records(document)->setSelectionIndexes({});
        if (!c.withPassword)
            document->setPlainPassword(QString());
        if (c.locked)
            document->setIsEncrypted(true);
        // A step to undo, whatever the state.
        document->undoManager()->push(new QUndoCommand(QStringLiteral("Step")));
        DocumentWindow* window = document->window();
        window->validateCommands();
        QAction* action = window->command(QLatin1String(c.command));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->isEnabled(), enabled);
        document->close();
        settle();
    }
}

TEST_F(ContactsDocumentTest, LockingAndUnlockingForgetTheUndoSteps)
{
    MyDocument* document = newDocument();
    document->addRow();
    ASSERT_EQ(document->undoManager()->count(), 1);
    document->setIsEncrypted(true);
    EXPECT_EQ(document->undoManager()->count(), 0);
    document->undoManager()->push(new QUndoCommand(QStringLiteral("Step")));
    document->setIsEncrypted(false);
    EXPECT_EQ(document->undoManager()->count(), 0);
}

TEST_F(ContactsDocumentTest, ClosingAnEditedDocumentAsks)
{
    MyDocument* document = newDocument();
    document->addRow();
    responder.answerWithButton("Cancel");
    document->performClose();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_TRUE(responder.alerts().first().messageText.startsWith("Do you want to save the changes"));
    EXPECT_TRUE(controller.documents().contains(document));
}

TEST_F(ContactsDocumentTest, ModesAndCaptionsReachTheWindowThroughBindings)
{
    MyDocument* document = newDocument();
    document->addRow();
    EXPECT_EQ(document->selectedView(), MyDocument::EditModeView);
    document->switchViewEditMode();
    EXPECT_EQ(document->keyValues()->valueForKeyPath("selectedView").intValue(), MyDocument::ViewModeView);
    document->switchViewEditMode();
    EXPECT_EQ(document->selectedView(), MyDocument::EditModeView);

    auto* caption = document->window()->findChild<QLabel*>("editCaption_firstName");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), "First name:");
    document->updateChangeCount(Document::ChangeCleared);

    document->editLabelSheet();
    settle();
    LabelSheet* sheet = document->myLabelSheet();
    ASSERT_NE(sheet, nullptr);
    QLineEdit* field = sheet->captionField("firstName");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), "First name:");
    field->selectAll();
    field->insert("Given name:");
    EXPECT_EQ(caption->text(), "Given name:");
    EXPECT_EQ(document->myLabelDictionary()->objectForKey("firstName").stringValue(), "Given name:");
    sheet->doneButton()->click();
    settle();
    EXPECT_EQ(document->myLabelSheet(), nullptr);
    EXPECT_TRUE(document->isDocumentEdited());

    document->setDefaultDictionaryLabel();
    EXPECT_EQ(caption->text(), "First name:");
}

TEST(ContactsDocumentLists, TheListFontComesFromTheDefaultsOrTheSystem)
{
    Defaults& defaults = Defaults::standardUserDefaults();
    const QFont system = QApplication::font();
    struct Case {
        Value family;
        Value size;
        QString expectedFamily;
        double expectedSize;
    };
    const Case cases[] = {
        {Value(system.family()), Value::real(15.0), system.family(), 15.0},
        {Value("No Such Family Anywhere"), Value::real(13.5), system.family(), 13.5},
        {Value(), Value(), system.family(), system.pointSizeF()},
        {Value(system.family()), Value::real(-4.0), system.family(), system.pointSizeF()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(c.family.stringValue()));
        defaults.setObject(c.family, "tableFontFamily");
        defaults.setObject(c.size, "tableFontSize");
        const QFont font = CategoryBadges::tableFont();
        EXPECT_EQ(font.family(), c.expectedFamily);
        EXPECT_DOUBLE_EQ(font.pointSizeF(), c.expectedSize);
    }
    defaults.removeObjectForKey("tableFontFamily");
    defaults.removeObjectForKey("tableFontSize");
}
