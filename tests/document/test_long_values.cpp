// Values of any length in the window: a note or a name of megabytes is shown by
// its beginning or part by part, edited without losing what is not on show,
// and a long category name keeps the pop-ups narrow.
#include "test_document_fixture.h"

#include "document/CategoryBadges.h"
#include "document/RecordFields.h"
#include "document/RecordTableModel.h"
#include "document/RecordTextEdit.h"
#include "platform/DocumentWindow.h"
#include "platform/Sheet.h"
#include "toolkit/LongText.h"

#include <QComboBox>
#include <QMenu>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

// Numbered lines of 60 characters, so that every piece of the text can be told apart.
QString numberedLines(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 ").arg(i, 6, 10, QLatin1Char('0')).leftJustified(59, u'.') + u'\n';
    return text;
}

// A shown text without the zero-width spaces that let a label wrap it.
QString unwrapped(QString text)
{
    return text.remove(QChar(0x200B));
}

// The parts of a long text, walked forwards and then backwards.
struct Parts {
    QStringList forwards, backwards;
};
Parts partsOf(RecordTextEdit& edit)
{
    Parts parts;
    const auto shown = [&edit] { return edit.text().mid(edit.partStart(), edit.partLength()); };
    for (;;) {
        parts.forwards << shown();
        if (edit.partStart() + edit.partLength() >= edit.text().size())
            break;
        edit.showNextPart();
    }
    for (;;) {
        parts.backwards.prepend(shown());
        if (edit.partStart() == 0)
            break;
        edit.showPreviousPart();
    }
    return parts;
}

} // namespace

TEST(RecordTextEdit, ShowsALongTextPartByPartAndCoversItWhole)
{
    const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    const qsizetype cut = RecordTextEdit::kPartLength;
    // Where nothing better than a hard cut is found, it falls neither inside a pair nor inside CR LF.
    QString pairAtCut = QString(cut - 1, u'x') + pair + QString(cut, u'y');
    QString crlfAtCut = QString(cut - 1, u'x') + QStringLiteral("\r\n") + QString(cut, u'y');
    const QString texts[] = {numberedLines(1000), QString(3 * cut + 7, u'z'), pairAtCut, crlfAtCut};
    for (const QString& text : texts) {
        RecordTextEdit edit;
        edit.setText(text);
        ASSERT_TRUE(edit.isParted());
        EXPECT_EQ(edit.text(), text);
        const Parts parts = partsOf(edit);
        EXPECT_GT(parts.forwards.size(), 1);
        EXPECT_EQ(parts.forwards.join(QString()), text);
        EXPECT_EQ(parts.backwards.join(QString()), text);
        for (const QString& part : parts.forwards) {
            EXPECT_LE(part.size(), RecordTextEdit::kPartLength);
            EXPECT_FALSE(part.back().isHighSurrogate());
            EXPECT_FALSE(part.endsWith(u'\r'));
        }
    }
    // Lines are not cut where a line break is near.
    RecordTextEdit edit;
    edit.setText(numberedLines(1000));
    EXPECT_TRUE(edit.toPlainText().endsWith(u'\n'));

    // A short text is held whole, with no bar.
    edit.setText(QStringLiteral("short"));
    EXPECT_FALSE(edit.isParted());
    EXPECT_EQ(edit.text(), QStringLiteral("short"));
}

TEST(RecordTextEdit, AnEditOfOnePartKeepsTheRest)
{
    const QString text = numberedLines(1000);
    RecordTextEdit edit;
    edit.setText(text);
    QStringList announced;
    QObject::connect(&edit, &RecordTextEdit::textEdited, [&announced](const QString& t) { announced << t; });
    edit.showNextPart();
    const qsizetype start = edit.partStart();
    ASSERT_GT(start, 0);
    const qsizetype length = edit.partLength();
    edit.moveCursor(QTextCursor::End);
    QTest::keyClicks(&edit, QStringLiteral("!?"));

    QString expected = text;
    expected.insert(start + length, QStringLiteral("!?"));
    ASSERT_FALSE(announced.isEmpty());
    EXPECT_EQ(announced.back(), expected);
    EXPECT_EQ(edit.text(), expected);
    EXPECT_EQ(edit.partLength(), length + 2);
    // The next part starts where the edited one ends.
    edit.showNextPart();
    EXPECT_TRUE(expected.mid(start + length + 2).startsWith(edit.toPlainText()));
}

TEST(RecordFields, ShowLongValuesByTheirBeginningAndNeverWriteItBack)
{
    const QString longValue = QString(3000000, u'v');
    RecordValueLabel label;
    QList<bool> cuts;
    QObject::connect(&label, &RecordValueLabel::cutChanged, [&cuts](bool cut) { cuts << cut; });
    label.setText(longValue);
    EXPECT_TRUE(label.isCut());
    EXPECT_EQ(unwrapped(label.text()), LongText::head(longValue, RecordValueLabel::kShownLength, RecordValueLabel::kShownLines));
    label.setText(QString(5000, u' ')); // hidden as empty: nothing to show whole
    EXPECT_FALSE(label.isCut());
    label.setText(longValue);
    label.setText(QStringLiteral("Ann"));
    EXPECT_FALSE(label.isCut());
    EXPECT_EQ(label.text(), QStringLiteral("Ann"));
    EXPECT_EQ(cuts, (QList<bool>{true, false, true, false}));

    RecordLineEdit line;
    const QString editable = QString(RecordLineEdit::kEditableLength, u'e');
    line.setText(editable);
    EXPECT_EQ(line.text(), editable) << "no limit of its own cuts an editable value";
    EXPECT_FALSE(line.isReadOnly());
    line.setText(longValue);
    EXPECT_TRUE(line.isCut());
    EXPECT_TRUE(line.isReadOnly());
    EXPECT_LT(line.text().size(), 2000);
    line.setText(QStringLiteral("Ann"));
    EXPECT_FALSE(line.isReadOnly());
}

namespace {

class LongValuesTest : public ContactsDocumentTest {
protected:
    void SetUp() override
    {
        ContactsDocumentTest::SetUp();
        document = newDocument();
        settle();
        window = document->myWindow();
    }
    template <typename T>
    T* find(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    DictionaryRef addRecord(const QString& first, const QString& note)
    {
        const DictionaryRef record = records(document)->newObject();
        record->setObject(Value(first), QStringLiteral("firstName"));
        record->setObject(Value(note), QStringLiteral("note"));
        document->addTheRecord(record);
        settle();
        return record;
    }
    void select(const DictionaryRef& record)
    {
        records(document)->setSelectionIndex(records(document)->indexOfArrangedObject(record.get()));
        settle();
    }

    MyDocument* document = nullptr;
    DocumentWindow* window = nullptr;
};

} // namespace

TEST_F(LongValuesTest, ANoteOfMegabytesIsShownInPartAndSurvivesEditAndSave)
{
    const QString note = numberedLines(50000); // 3 MB
    const DictionaryRef record = addRecord(QStringLiteral("Ann"), note);
    addRecord(QStringLiteral("Bob"), QStringLiteral("short"));
    select(record);

    // View mode: the beginning, and a button that shows the whole note in a sheet.
    document->switchToViewMode();
    settle();
    auto* shown = find<RecordValueLabel>("viewValue_note");
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_TRUE(shown->isCut());
    EXPECT_TRUE(note.startsWith(unwrapped(shown->text()).chopped(1)));
    auto* showAll = find<QToolButton>("showAll_note");
    ASSERT_TRUE(showAll);
    EXPECT_TRUE(showAll->isVisible());
    QTest::mouseClick(showAll, Qt::LeftButton);
    settle();
    QDialog* sheet = Sheet::attachedSheet(window);
    ASSERT_TRUE(sheet);
    auto* whole = sheet->findChild<RecordTextEdit*>("wholeValue");
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->isReadOnly());
    EXPECT_EQ(whole->text(), note);
    Sheet::end(sheet, 0);
    settle();
    select(records(document)->arrangedObjectAt(1 - records(document)->indexOfArrangedObject(record.get())));
    EXPECT_FALSE(showAll->isVisible());
    select(record);

    // Edit mode: typed at the end of the first part, the rest stays.
    document->switchToEditMode();
    settle();
    auto* edit = find<RecordTextEdit>("edit_note");
    ASSERT_TRUE(edit && edit->isVisible());
    ASSERT_TRUE(edit->isParted());
    const qsizetype length = edit->partLength();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("added"));
    settle();
    QString expected = note;
    expected.insert(length, QStringLiteral("added"));
    EXPECT_EQ(record->objectForKey(QStringLiteral("note")).stringValue(), expected);
    EXPECT_TRUE(document->isDocumentEdited());

    // Saved, opened and unlocked: the whole note is there.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.calvorin"));
    QString why;
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(path), QStringLiteral("calvorin"), &why)) << why.toStdString();
    MyDocument* opened = nullptr;
    controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true,
                                             [&opened](Document* d, bool) { opened = static_cast<MyDocument*>(d); });
    settle();
    ASSERT_TRUE(opened);
    opened->submitPasswordToDecrypt(QString::fromLatin1(kPassword));
    settle();
    ASSERT_FALSE(opened->isEncrypted());
    QStringList notes;
    for (const Value& r : *opened->myArray())
        notes << r.valueForKey(QStringLiteral("note")).stringValue();
    EXPECT_TRUE(notes.contains(expected));
}

TEST_F(LongValuesTest, ALongNameIsShownByItsBeginningInTheListAndThePaneAndKeptWhole)
{
    const QString name = QString(2000000, u'N');
    const DictionaryRef record = addRecord(name, QStringLiteral("note"));
    select(record);

    const QModelIndex cell = document->myTableView()->model()->index(0, RecordTableModel::NameColumn);
    EXPECT_LE(cell.data().toString().size(), 257);
    EXPECT_TRUE(name.startsWith(cell.data().toString().chopped(1)));
    const QString heading = unwrapped(find<QLabel>("viewName")->text());
    EXPECT_LE(heading.size(), 200);
    EXPECT_TRUE(name.startsWith(heading.chopped(1)));

    document->switchToEditMode();
    settle();
    auto* field = find<RecordLineEdit>("edit_firstName");
    ASSERT_TRUE(field && field->isVisible());
    EXPECT_TRUE(field->isReadOnly());
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClicks(field, QStringLiteral("typed"));
    QTest::keyClick(field, Qt::Key_Backspace);
    settle();
    EXPECT_EQ(record->objectForKey(QStringLiteral("firstName")).stringValue(), name);
}

TEST_F(LongValuesTest, ALongCategoryNameKeepsThePopUpsNarrowAndStillFilters)
{
    const QString name = QStringLiteral("Friends ") + QString(8000, u'f');
    QvColoredCategoryArrayController* groups = categories(document);
    const DictionaryRef category = groups->addWithName(name);
    document->synkCategorySubMenu();
    const DictionaryRef record = addRecord(QStringLiteral("Ann"), QString());
    records(document)->assignCategory(category, record);
    select(record);

    QComboBox* filter = document->myActionPopup();
    const int item = filter->count() - 1;
    EXPECT_TRUE(filter->itemText(item).startsWith(QStringLiteral("Friends ")));
    EXPECT_LE(filter->fontMetrics().horizontalAdvance(filter->itemText(item)), CategoryBadges::kItemWidth);
    EXPECT_LT(filter->sizeHint().width(), 2 * CategoryBadges::kItemWidth);
    QComboBox* assign = document->recordCategoryPopup();
    EXPECT_LT(assign->sizeHint().width(), 2 * CategoryBadges::kItemWidth);
    EXPECT_EQ(assign->currentIndex(), assign->count() - 1);
    QMenu* menu = document->myCategoryMenu();
    QAction* action = menu->actions().back();
    EXPECT_EQ(action->data().toString(), name);
    EXPECT_LT(action->text().size(), 300);

    emit filter->activated(item);
    settle();
    EXPECT_EQ(document->categoryString(), name);
    EXPECT_EQ(records(document)->arrangedCount(), 1);
}
