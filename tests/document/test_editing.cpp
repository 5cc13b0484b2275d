#include "test_document_fixture.h"

#include "platform/Sheet.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// Three records, Ann and Bob in Generic and Cem in Work, and a clean history.
class EditingTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        prepare();
    }
    void prepare()
    {
        document = newDocument();
        generic = categories(document)->arrangedObjectAt(0);
        work = categories(document)->addWithName("Work");
        for (const char* name : {"Ann", "Bob", "Cem"}) {
            records(document)->setSelectionIndexes({});
            document->addRow();
            records(document)->firstSelectedObject()->setObject(Value(name), "firstName");
        }
        records(document)->assignCategory(work, recordAt(document, 2));
        records(document)->rearrangeObjects();
        document->undoManager()->clear();
        document->updateChangeCount(Document::ChangeCleared);
        settle();
    }

    struct Snapshot {
        std::vector<Dictionary*> records;
        int generic = 0;
        int work = 0;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot snapshot() const
    {
        Snapshot s;
        for (const Value& record : document->myArray()->objects())
            s.records.push_back(record.dictionary().get());
        s.generic = usage(generic);
        s.work = usage(work);
        return s;
    }
    // The counts are those of the records that link to each category.
    void expectTrueCounts() const
    {
        int inGeneric = 0;
        int inWork = 0;
        for (const Value& record : document->myArray()->objects()) {
            inGeneric += categoryOf(record.dictionary()) == generic;
            inWork += categoryOf(record.dictionary()) == work;
        }
        EXPECT_EQ(usage(generic), inGeneric);
        EXPECT_EQ(usage(work), inWork);
    }
    QStringList names() const
    {
        QStringList list;
        for (const Value& record : document->myArray()->objects())
            list.append(record.valueForKey("firstName").stringValue());
        return list;
    }

    MyDocument* document = nullptr;
    DictionaryRef generic;
    DictionaryRef work;
};

} // namespace

TEST_F(EditingTest, EachStepIsDoneUndoneAndRedoneOnTheSameRecord)
{
    struct Case {
        const char* name;
        std::function<void()> act;
        QStringList after;
    };
    const std::vector<Case> cases = {
        {"Add Record", [this] { document->addRow(); }, {"Ann", "Bob", "Cem", "First Name"}},
        {"Duplicate Record",
         [this] {
             records(document)->setSelectionIndex(1);
             document->duplicateRow();
         },
         {"Ann", "Bob", "Bob", "Cem"}},
        {"Delete Record",
         [this] {
             records(document)->setSelectionIndex(1);
             responder.answerWithButton("Delete");
             document->deleteRow();
             settle();
         },
         {"Ann", "Cem"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (&c != &cases.front())
            prepare();
        const Snapshot before = snapshot();
        int changes = document->changeCount();

        c.act();
        EXPECT_EQ(names(), c.after);
        expectTrueCounts();
        EXPECT_EQ(document->undoManager()->count(), 1);
        EXPECT_EQ(document->undoManager()->undoText(), c.name);
        EXPECT_GT(document->changeCount(), changes);
        changes = document->changeCount();
        const Snapshot done = snapshot();

        document->undoManager()->undo();
        EXPECT_EQ(snapshot(), before) << "the same records, in the same order, with the same counts";
        EXPECT_EQ(document->undoManager()->redoText(), c.name);
        EXPECT_TRUE(document->isDocumentEdited()) << "an undone step still changes the document";
        EXPECT_GE(document->changeCount(), changes);

        // What the user selects in between does not steer the redo.
        records(document)->setSelectionIndex(0);
        document->undoManager()->redo();
        EXPECT_EQ(snapshot(), done);
        EXPECT_TRUE(document->isDocumentEdited());
        document->close();
        settle();
    }
}

TEST_F(EditingTest, AddingLeavesTheNewRecordSelectedInEditMode)
{
    document->addRow();
    const DictionaryRef added = recordAt(document, 3);
    EXPECT_EQ(added->objectForKey("firstName").stringValue(), "First Name");
    EXPECT_EQ(added->objectForKey("lastName").stringValue(), "Last Name");
    EXPECT_EQ(records(document)->firstSelectedObject(), added);
    EXPECT_EQ(document->selectedView(), MyDocument::EditModeView);
}

TEST_F(EditingTest, UndoActsOnTheRecordEvenWhenTheFilterHidesIt)
{
    document->addRow(); // in Generic, the category of nothing selected... the last category
    const DictionaryRef added = recordAt(document, 3);
    const DictionaryRef home = categoryOf(added);
    // Shown: only the other category's records.
    document->doSelectCatMenu(nameOf(home == work ? generic : work));
    ASSERT_LT(records(document)->indexOfArrangedObject(added.get()), 0);

    document->undoManager()->undo();
    EXPECT_LT(document->myArray()->indexOfObjectIdenticalTo(Value(added)), 0) << "undo took the hidden record out";
    expectTrueCounts();
    document->undoManager()->redo();
    document->undoManager()->undo();
    document->undoManager()->redo();
    int occurrences = 0;
    for (const Value& record : document->myArray()->objects())
        occurrences += record.dictionary() == added;
    EXPECT_EQ(occurrences, 1);
    expectTrueCounts();

    // The same under a search that the record does not match.
    document->showAllCategory();
    document->setSearchText("Cem");
    records(document)->search();
    document->undoManager()->undo();
    EXPECT_EQ(names(), (QStringList{"Ann", "Bob", "Cem"}));
    expectTrueCounts();
}

TEST_F(EditingTest, DeletingAsksAndNeedsASelectionWhenAnswered)
{
    // Nothing selected: nothing is asked.
    records(document)->setSelectionIndexes({});
    document->deleteRow();
    settle();
    EXPECT_TRUE(responder.alerts().isEmpty());

    records(document)->setSelectionIndex(1);
    responder.answerWithButton("Cancel");
    document->deleteRow();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    const ShownAlert& alert = responder.alerts().first();
    EXPECT_EQ(alert.messageText, "Delete Selected Row?");
    EXPECT_EQ(alert.informativeText, "The selected row will be removed from the document");
    EXPECT_EQ(alert.buttons, (QStringList{"Delete", "Cancel"}));
    EXPECT_EQ(alert.style, Alert::WarningStyle);
    EXPECT_TRUE(alert.asSheet);
    EXPECT_EQ(names(), (QStringList{"Ann", "Bob", "Cem"}));

    // The selection goes while the question is up: confirming deletes nothing and records no step.
    responder.showNext();
    document->deleteRow();
    settle();
    auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(document->window()));
    ASSERT_NE(box, nullptr);
    records(document)->setSelectionIndexes({});
    for (QAbstractButton* button : box->buttons())
        if (button->text().remove(u'&') == "Delete")
            button->click();
    settle();
    EXPECT_EQ(names(), (QStringList{"Ann", "Bob", "Cem"}));
    EXPECT_EQ(document->undoManager()->count(), 0);
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(EditingTest, DuplicatingNeedsASelection)
{
    records(document)->setSelectionIndexes({});
    document->duplicateRow();
    EXPECT_EQ(document->myArray()->count(), 3);
    EXPECT_EQ(document->undoManager()->count(), 0);
}

TEST_F(EditingTest, ARecordPutBackAfterItsCategoryWentJoinsTheFirstCategory)
{
    const DictionaryRef cem = recordAt(document, 2);
    records(document)->setSelectionIndex(2);
    responder.answerWithButton("Delete");
    document->deleteRow();
    settle();
    categories(document)->setSelectionIndex(1);
    document->removeCategory();
    settle();
    ASSERT_EQ(categories(document)->arrangedCount(), 1);

    document->undoManager()->undo();
    EXPECT_EQ(categoryOf(cem), generic);
    EXPECT_EQ(usage(generic), 3);
}

TEST_F(EditingTest, NoDataGoesIntoADocumentWithoutAPassword)
{
    QList<QDialog*> sheets;
    responder.setSheetHandler([&sheets](QDialog* sheet, QWidget*) { sheets.append(sheet); });
    document->setPlainPassword(QString());
    responder.answerWithButton("Define Password");
    document->addRow();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(responder.alerts().first().messageText, "A password must be defined before adding data");
    EXPECT_EQ(responder.alerts().first().informativeText,
              "After defining a password used to protect this document, it will be possible to add data.");
    EXPECT_EQ(responder.alerts().first().style, Alert::InformationalStyle);
    EXPECT_EQ(sheets.size(), 1) << "Define Password opens the password sheet";
    EXPECT_EQ(document->myArray()->count(), 3);

    records(document)->setSelectionIndex(0);
    document->duplicateRow();
    settle();
    EXPECT_EQ(document->myArray()->count(), 3);
    EXPECT_EQ(document->undoManager()->count(), 0);
}

TEST_F(EditingTest, ALockedDocumentTakesNoRecords)
{
    document->setIsEncrypted(true);
    records(document)->setSelectionIndex(0);
    document->addRow();
    document->duplicateRow();
    document->deleteRow();
    settle();
    EXPECT_EQ(document->myArray()->count(), 3);
    EXPECT_TRUE(responder.alerts().isEmpty());
    EXPECT_EQ(document->undoManager()->count(), 0);
}
