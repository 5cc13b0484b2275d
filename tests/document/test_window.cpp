#include "test_document_fixture.h"

#include "document/CategorySheet.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QImage>
#include <QMainWindow>

namespace {
void fill(const DictionaryRef& record, std::initializer_list<std::pair<const char*, const char*>> values)
{
    for (const auto& [key, value] : values)
        record->setObject(Value(value), QString::fromLatin1(key));
}
} // namespace

TEST_F(ContactsDocumentTest, Smoke)
{
    MyDocument* document = newDocument();
    settle();
    auto* cats = categories(document);
    DictionaryRef family = cats->arrangedObjectAt(0);
    family->setObject(Value("Family"), "cat_category");
    family->setObject(Value(QvColorUtilOSX::dictFromNSColor(QvColor{0.30, 0.62, 0.35, 1})), "cat_backColor");
    DictionaryRef work = cats->addWithName("Work");
    work->setObject(Value(QvColorUtilOSX::dictFromNSColor(QvColor{0.22, 0.45, 0.80, 1})), "cat_backColor");
    DictionaryRef friends = cats->addWithName("Friends");
    friends->setObject(Value(QvColorUtilOSX::dictFromNSColor(QvColor{0.85, 0.55, 0.15, 1})), "cat_backColor");
    const char* people[][4] = {{"Anna", "Berger", "Family", ""}, {"Marco", "Rossi", "Work", "Rossi & Figli"},
                               {"Julia", "Lindqvist", "Friends", ""}, {"Tom", "Okafor", "Work", "Northwind Ltd"},
                               {"Clara", "Nguyen", "Family", ""}};
    for (const auto& p : people) {
        records(document)->setSelectionIndexes({});
        document->addRow();
        DictionaryRef record = records(document)->firstSelectedObject();
        fill(record, {{"firstName", p[0]}, {"lastName", p[1]}, {"company", p[3]}, {"phoneWork", "+39 02 555 0143"},
                      {"emailWork", "marco.rossi@example.org"}, {"mobile", "+39 333 555 0199"},
                      {"addressPersonal", "Via Roma 12\n20121 Milano"}, {"note", "Met at the spring fair."}});
        records(document)->assignCategory(cats->categoryWithTitle(p[2]), record);
    }
    records(document)->rearrangeObjects();
    records(document)->setSelectionIndex(1);
    document->synkCategorySubMenu();
    settle();
    document->window()->grab().save("/tmp/docshot_edit.png");
    document->switchToViewMode();
    settle();
    document->window()->grab().save("/tmp/docshot_view.png");
    document->editCategoriesSheet();
    settle();
    document->myCategorySheet()->grab().save("/tmp/docshot_sheet.png");
}
