// The category sheet, the category items of the window and the record's category.
#include "document/MyDocument.h"

#include "document/CategoryBadges.h"
#include "document/CategoryDelegates.h"
#include "document/CategorySheet.h"
#include "document/CategoryTableModel.h"
#include "document/CategoryView.h"
#include "document/FilteringArrayController.h"
#include "document/MyDocumentWindow_p.h"
#include "document/QvColoredCategoryArrayController.h"
#include "platform/Binding.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>

namespace {

// A category name as the text of a menu item: an ampersand is no mnemonic.
QString menuText(const QString& name)
{
    return name.isEmpty() ? QStringLiteral(" ") : QString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The first category of the list so named: exactly, else ignoring case as the filter does.
qsizetype indexOfCategoryNamed(const ArrayController* categories, const QString& name)
{
    const qsizetype count = categories->arrangedCount();
    for (qsizetype i = 0; i < count; ++i)
        if (CategoryBadges::nameOf(*categories->arrangedObjectAt(i)) == name)
            return i;
    for (qsizetype i = 0; i < count; ++i)
        if (CategoryBadges::nameOf(*categories->arrangedObjectAt(i)).toLower() == name.toLower())
            return i;
    return -1;
}

// Return in the table acts on the cell (a colour opens its chooser, a name is
// edited) instead of reaching the sheet's default button, which would end it.
class CategoryTableKeys : public QObject {
public:
    CategoryTableKeys(QTableView* table, std::function<void(const QModelIndex&)> chooseColor)
        : QObject(table), m_table(table), m_chooseColor(std::move(chooseColor))
    {
        table->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_table || event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        // The Return that ends the editing of a name comes up from its field.
        if (QApplication::focusWidget() != m_table)
            return true;
        const QModelIndex index = m_table->currentIndex();
        if (!index.isValid())
            return false;
        if (index.column() == CategoryTableModel::NameColumn)
            m_table->edit(index);
        else
            m_chooseColor(index);
        return true;
    }

private:
    QTableView* m_table;
    std::function<void(const QModelIndex&)> m_chooseColor;
};

} // namespace

void MyDocument::editCategoriesSheet()
{
    if (!isDecrypted() || !m_window || !m_window->alive() || m_window->categorySheet)
        return;
    DocumentWindow* window = m_window->window;
    auto* sheet = new CategorySheet(window);
    m_window->categorySheet = sheet;
    QTableView* table = sheet->categoryTable();
    auto* model = new CategoryTableModel(m_myCategoryArrayController, sheet);
    table->setModel(model);
    auto* editField = new QvCategoryEditFieldDelegate(table, this, sheet);
    table->setItemDelegate(new MyCategoryTableDelegate(editField, sheet));
    table->setFont(CategoryBadges::tableFont());
    table->verticalHeader()->setDefaultSectionSize(QFontMetrics(table->font()).height() + 10);
    table->horizontalHeader()->setSectionResizeMode(CategoryTableModel::NameColumn, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(CategoryTableModel::BackColorColumn, QHeaderView::Fixed);
    table->horizontalHeader()->setSectionResizeMode(CategoryTableModel::TextColorColumn, QHeaderView::Fixed);
    table->horizontalHeader()->resizeSection(CategoryTableModel::BackColorColumn, 96);
    table->horizontalHeader()->resizeSection(CategoryTableModel::TextColorColumn, 96);
    linkTableSelection(table, m_myCategoryArrayController);

    connect(sheet->addButton(), &QPushButton::clicked, this, &MyDocument::addNewCategory);
    connect(sheet->removeButton(), &QPushButton::clicked, this, &MyDocument::removeCategory);
    connect(sheet->doneButton(), &QPushButton::clicked, this, &MyDocument::closeCategoriesSheet);
    // A colour cell opens the colour chooser: a double click, or Return.
    auto chooseColor = [this, sheet, model](const QModelIndex& index) {
        if (!index.isValid() || index.column() == CategoryTableModel::NameColumn || sheet->colorDialog())
            return;
        auto* dialog = new QColorDialog(index.data(Qt::EditRole).value<QColor>(), sheet);
        dialog->setWindowTitle(index.column() == CategoryTableModel::BackColorColumn ? tr("Badge Colour")
                                                                                    : tr("Text Colour"));
        sheet->setColorDialog(dialog);
        QPersistentModelIndex where(index);
        QPointer<CategoryTableModel> target(model);
        Sheet::Options options;
        options.deleteWhenEnded = true;
        Sheet::begin(dialog, sheet, [where, target, dialog = QPointer<QColorDialog>(dialog)](int code) {
            if (code == Alert::ModalResponseOK && dialog && target && where.isValid())
                target->setData(where, dialog->selectedColor(), Qt::EditRole);
        }, options);
    };
    connect(table, &QAbstractItemView::doubleClicked, sheet, chooseColor);
    new CategoryTableKeys(table, chooseColor);
    auto* removeKey = new QAction(sheet);
    removeKey->setShortcut(QKeySequence::Delete);
    removeKey->setShortcutContext(Qt::WidgetShortcut);
    connect(removeKey, &QAction::triggered, this, &MyDocument::removeCategory);
    table->addAction(removeKey);

    QString errors;
    if (!Binding::bindTree(sheet, {{QStringLiteral("categories"), m_myCategoryArrayController},
                                   {QStringLiteral("document"), m_keyValues}},
                           &errors))
        qWarning("category sheet: %s", qPrintable(errors));

    Sheet::Options options;
    options.deleteWhenEnded = true;
    QPointer<MyDocument> guard(this);
    Sheet::begin(sheet, window, [guard, sheet = QPointer<CategorySheet>(sheet)](int) {
        if (sheet && sheet->colorDialog())
            Sheet::end(sheet->colorDialog(), Alert::ModalResponseAbort);
        if (guard)
            guard->synkCategorySubMenu();
    }, options);
    table->setFocus();
}

void MyDocument::closeCategoriesSheet()
{
    if (!m_window || !m_window->categorySheet)
        return;
    CategorySheet* sheet = m_window->categorySheet;
    if (sheet->colorDialog())
        Sheet::end(sheet->colorDialog(), Alert::ModalResponseAbort);
    Sheet::end(sheet, Alert::ModalResponseOK);
}

void MyDocument::addNewCategory()
{
    if (!isDecrypted())
        return;
    m_myCategoryArrayController->addObject(m_myCategoryArrayController->newObject());
    markChangeDone();
    QPointer<MyDocument> guard(this);
    MainQueue::post(this, [guard] {
        guard->scrollCategoryViewToBottom();
        guard->synkCategorySubMenu();
    });
}

void MyDocument::removeCategory()
{
    if (!isDecrypted())
        return;
    m_myCategoryArrayController->remove();
    MainQueue::post(this, [this] { synkCategorySubMenu(); });
}

void MyDocument::scrollCategoryViewToBottom()
{
    if (QTableView* table = myCategoryTableView())
        table->scrollToBottom();
}

void MyDocument::categoryWasSet(int index)
{
    if (QTableView* table = myTableView())
        table->viewport()->update();
    // The pop-up may be out of step with the list; an index that names no category does nothing.
    if (index < 0 || index >= m_categoryArrayControllerForMenu->arrangedCount() || !m_myArrayController->canRemove())
        return;
    executePostCategorySet(m_categoryArrayControllerForMenu->arrangedObjectAt(index));
    markChangeDone();
    for (CategoryView* view : {categoryView(), categoryView2()})
        if (view)
            view->update();
}

void MyDocument::executePostCategorySet(const DictionaryRef& category)
{
    m_myArrayController->setCurrentObjectAccordingToCategory(category);
}

void MyDocument::synkNotesWithCategory()
{
    if (QTableView* table = myTableView())
        table->viewport()->update();
    if (QTableView* table = myCategoryTableView())
        table->viewport()->update();
    markChangeDone();
}

void MyDocument::setUpCategorySubMenu()
{
    if (!m_window || !m_window->alive() || !m_window->categorySuperMenuItem || !m_window->categoryMenu)
        return;
    m_window->categorySuperMenuItem->setMenu(m_window->categoryMenu);
}

void MyDocument::synkCategorySubMenu()
{
    m_categoryArrayControllerForMenu->rearrangeObjects();
    // The filter follows a rename of its category, and ends with its removal.
    if (!categoryString().isEmpty()) {
        if (const DictionaryRef filtered = m_filteredCategory.lock()) {
            if (m_myCategoryArrayController->contentIndexOf(filtered.get()) < 0) {
                showAllCategory();
            } else if (CategoryBadges::nameOf(*filtered) != categoryString()) {
                m_myArrayController->setCategoryString(CategoryBadges::nameOf(*filtered));
                m_myArrayController->rearrangeObjects();
            }
        }
    }
    if (m_window && m_window->alive()) {
        const qsizetype count = m_categoryArrayControllerForMenu->arrangedCount();
        if (QComboBox* popup = m_window->actionPopup) {
            const QSignalBlocker blocker(popup);
            while (popup->count() > 2)
                popup->removeItem(popup->count() - 1);
            for (qsizetype i = 0; i < count; ++i)
                popup->insertItem(static_cast<int>(2 + i),
                                  CategoryBadges::itemText(
                                      CategoryBadges::nameOf(*m_categoryArrayControllerForMenu->arrangedObjectAt(i)),
                                      popup->fontMetrics()));
        }
        if (QMenu* menu = m_window->categoryMenu) {
            for (const QPointer<QAction>& action : std::as_const(m_window->categoryActions))
                delete action.data();
            m_window->categoryActions.clear();
            // A locked document shows none of its categories, nor the one it starts with.
            if (m_window->categorySuperMenuItem)
                m_window->categorySuperMenuItem->setEnabled(isDecrypted());
            const qsizetype listed = isDecrypted() ? count : 0;
            for (qsizetype i = 0; i < listed; ++i) {
                const QString name = CategoryBadges::nameOf(*m_categoryArrayControllerForMenu->arrangedObjectAt(i));
                auto* action = new QAction(menuText(CategoryBadges::itemText(name, menu->fontMetrics())), menu);
                action->setObjectName(QStringLiteral("doSelectCatMenu"));
                action->setData(name);
                action->setCheckable(true);
                connect(action, &QAction::triggered, this, [this, name] { doSelectCatMenu(name); });
                menu->addAction(action);
                m_window->categoryActions.append(action);
            }
        }
    }
    updateCategoryChecks();
    updateRecordCategoryPopup();
}

void MyDocument::updateCategoryChecks()
{
    if (!m_window || !m_window->alive())
        return;
    const QString current = categoryString();
    if (QComboBox* popup = m_window->actionPopup) {
        const QSignalBlocker blocker(popup);
        if (current.isEmpty()) {
            popup->setCurrentIndex(0);
        } else {
            const qsizetype index = indexOfCategoryNamed(m_categoryArrayControllerForMenu, current);
            popup->setCurrentIndex(index < 0 ? -1 : static_cast<int>(2 + index));
        }
    }
    if (QAction* showAll = m_window->showAllAction)
        validateMenuItem(showAll);
    for (const QPointer<QAction>& action : std::as_const(m_window->categoryActions))
        if (action)
            validateMenuItem(action);
}

void MyDocument::updateRecordCategoryPopup()
{
    QComboBox* popup = recordCategoryPopup();
    if (!popup)
        return;
    const QSignalBlocker blocker(popup);
    popup->clear();
    const qsizetype count = m_categoryArrayControllerForMenu->arrangedCount();
    for (qsizetype i = 0; i < count; ++i)
        popup->addItem(CategoryBadges::itemText(CategoryBadges::nameOf(*m_categoryArrayControllerForMenu->arrangedObjectAt(i)),
                                                popup->fontMetrics()));
    const DictionaryRef record = m_myArrayController->firstSelectedObject();
    const DictionaryRef category =
        record ? record->objectForKey(FilteringArrayController::kCategoryPtr).dictionary() : nullptr;
    popup->setCurrentIndex(
        category ? static_cast<int>(m_categoryArrayControllerForMenu->indexOfArrangedObject(category.get())) : -1);
    popup->setEnabled(record != nullptr);
}
