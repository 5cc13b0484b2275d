// The document window: built from the interface file "MyDocument", set up,
// and kept in step with the document.
#include "document/MyDocument.h"

#include "document/CategoryBadges.h"
#include "document/CategoryDelegates.h"
#include "document/CategorySheet.h"
#include "document/CategoryView.h"
#include "document/DocumentIcons.h"
#include "document/DocumentStyle.h"
#include "document/FilteringArrayController.h"
#include "document/LabelSheet.h"
#include "document/MyDocumentWindow_p.h"
#include "document/QvColoredCategoryArrayController.h"
#include "document/RecordFields.h"
#include "document/RecordTableModel.h"
#include "document/RecordTextEdit.h"
#include "platform/Binding.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"
#include "toolkit/LongText.h"
#include "toolkit/QvSplitView.h"
#include "toolkit/QvVSplitViewDelegate.h"
#include "toolkit/QvValueTransformers.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QGridLayout>
#include <QLabel>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const QString kSelectionPrefix = QStringLiteral("selection");

// The width of the record list when the window opens.
constexpr int kInitialListWidth = 300;

// The longest name the heading of the record pane shows.
constexpr qsizetype kShownNameLength = 120;

// A value too long for the record pane, whole in a text view that shows it part by part.
void showWholeValue(QWidget* window, const QString& caption, const QString& value)
{
    auto* sheet = new QDialog(window);
    sheet->setObjectName(QStringLiteral("wholeValueSheet"));
    sheet->setWindowTitle(caption);
    auto* layout = new QVBoxLayout(sheet);
    auto* text = new RecordTextEdit(sheet);
    text->setObjectName(QStringLiteral("wholeValue"));
    text->setReadOnly(true);
    text->setText(value);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, sheet);
    QObject::connect(buttons, &QDialogButtonBox::rejected, sheet, &QDialog::reject);
    layout->addWidget(buttons);
    sheet->resize(560, 420);
    Sheet::Options options;
    options.deleteWhenEnded = true;
    Sheet::begin(sheet, window, {}, options);
}

} // namespace

void linkTableSelection(QTableView* table, ArrayController* controller)
{
    auto busy = std::make_shared<bool>(false);
    auto fromController = [table, controller, busy] {
        if (*busy || !controller)
            return;
        *busy = true;
        QItemSelectionModel* model = table->selectionModel();
        const int rowCount = table->model()->rowCount();
        // Every selected row is shown, in runs of neighbouring rows, so that what an action
        // on the selection takes is what the user sees selected.
        QItemSelection selection;
        const std::vector<qsizetype>& rows = controller->selectionIndexes();
        for (std::size_t i = 0; i < rows.size();) {
            std::size_t end = i + 1;
            while (end < rows.size() && rows[end] == rows[end - 1] + 1)
                ++end;
            const int first = static_cast<int>(rows[i]);
            const int last = static_cast<int>(std::min<qsizetype>(rows[end - 1], rowCount - 1));
            if (first >= 0 && first <= last)
                selection.select(table->model()->index(first, 0), table->model()->index(last, 0));
            i = end;
        }
        model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (!selection.isEmpty()) {
            const QModelIndex first = selection.first().topLeft();
            if (!model->isRowSelected(model->currentIndex().row(), QModelIndex()))
                model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
            table->scrollTo(model->currentIndex());
        }
        *busy = false;
    };
    QObject::connect(controller, &Observable::valueChangedForKeyPath, table, [fromController](const QString& keyPath) {
        if (keyPath == QLatin1String("selectionIndexes") || keyPath == QLatin1String("arrangedObjects"))
            fromController();
    });
    QObject::connect(table->model(), &QAbstractItemModel::modelReset, table, fromController);
    QObject::connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, table,
                     [table, controller = QPointer<ArrayController>(controller), busy] {
                         if (*busy || !controller)
                             return;
                         *busy = true;
                         std::vector<qsizetype> rows;
                         for (const QModelIndex& index : table->selectionModel()->selectedRows())
                             rows.push_back(index.row());
                         std::sort(rows.begin(), rows.end());
                         controller->setSelectionIndexes(rows);
                         *busy = false;
                     });
    fromController();
}

// Outlets

const Ui::MyDocument* MyDocument::liveUi() const
{
    return m_window && m_window->alive() ? &m_window->ui : nullptr;
}

QvSplitView* MyDocument::mySplitView() const { return liveUi() ? m_window->splitView.data() : nullptr; }
QMenu* MyDocument::myActionMenu() const { return liveUi() ? m_window->actionMenu.data() : nullptr; }
QMenu* MyDocument::myCategoryMenu() const { return liveUi() ? m_window->categoryMenu.data() : nullptr; }
QAction* MyDocument::myCategorySuperMenuItem() const { return liveUi() ? m_window->categorySuperMenuItem.data() : nullptr; }
QComboBox* MyDocument::myActionPopup() const { return liveUi() ? m_window->actionPopup.data() : nullptr; }
QLineEdit* MyDocument::searchField() const { return liveUi() ? m_window->searchField.data() : nullptr; }
QTableView* MyDocument::myTableView() const { return liveUi() ? liveUi()->myTableView : nullptr; }
QWidget* MyDocument::whiteView() const { return liveUi() ? liveUi()->whiteView : nullptr; }
QWidget* MyDocument::grayStatusView() const { return liveUi() ? liveUi()->grayStatusView : nullptr; }
QWidget* MyDocument::leftListView() const { return liveUi() ? liveUi()->leftPane : nullptr; }
CategoryView* MyDocument::categoryView() const { return liveUi() ? liveUi()->categoryView : nullptr; }
CategoryView* MyDocument::categoryView2() const { return liveUi() ? liveUi()->categoryView2 : nullptr; }
QComboBox* MyDocument::recordCategoryPopup() const { return liveUi() ? liveUi()->recordCategoryPopup : nullptr; }
QLineEdit* MyDocument::passwordToDecryptField() const { return liveUi() ? liveUi()->passwordToDecryptField : nullptr; }
QToolBar* MyDocument::modernToolbar() const { return liveUi() ? liveUi()->modernToolbar : nullptr; }
CategorySheet* MyDocument::myCategorySheet() const { return m_window ? m_window->categorySheet.data() : nullptr; }
QTableView* MyDocument::myCategoryTableView() const
{
    return m_window && m_window->categorySheet ? m_window->categorySheet->categoryTable() : nullptr;
}
LabelSheet* MyDocument::myLabelSheet() const { return m_window ? m_window->labelSheet.data() : nullptr; }

// Building the window

DocumentWindow* MyDocument::makeWindow()
{
    auto* window = new DocumentWindow(this);
    m_window = std::make_unique<Window>();
    m_window->window = window;
    Ui::MyDocument& ui = m_window->ui;
    ui.setupUi(window);
    window->setObjectName(windowNibName());
    // The document's own toolbar replaces the platform's empty one.
    if (window->toolbar() && window->toolbar()->actions().isEmpty())
        window->toolbar()->hide();

    // The split view of the toolkit takes the two panes the interface file lays out side by side.
    m_mySplitViewDelegate = std::make_unique<QvVSplitViewDelegate>();
    auto* split = new QvSplitView(Qt::Horizontal);
    split->setObjectName(QStringLiteral("mySplitView"));
    delete ui.unlockedLayout->replaceWidget(ui.splitHost, split); // the layout hands back the old item
    split->setPanes(ui.leftPane, ui.rightPane);
    delete ui.splitHost;
    ui.splitHost = nullptr;
    split->setDelegate(m_mySplitViewDelegate.get());
    m_window->splitView = split;

    m_window->recordModel = new RecordTableModel(m_myArrayController, window);
    ui.myTableView->setModel(m_window->recordModel);
    m_window->tableDelegate = new MyTableDelegate(window);
    ui.myTableView->setItemDelegate(m_window->tableDelegate);
    QHeaderView* header = ui.myTableView->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(RecordTableModel::NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(RecordTableModel::CategoryColumn, QHeaderView::Interactive);
    header->resizeSection(RecordTableModel::CategoryColumn, 120);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    linkTableSelection(ui.myTableView, m_myArrayController);
    applyTableFont();
    connect(&Defaults::standardUserDefaults(), &Defaults::valueChangedForKey, window, [this](const QString& key) {
        if (key == QLatin1String("tableFontFamily") || key == QLatin1String("tableFontSize"))
            applyTableFont();
    });
    // Return or a double click on a contact opens it for editing.
    connect(ui.myTableView, &QAbstractItemView::activated, this, [this] {
        if (!isDecrypted() || !m_myArrayController->canRemove())
            return;
        switchToEditMode();
        if (m_window && m_window->alive())
            m_window->ui.edit_firstName->setFocus(Qt::OtherFocusReason);
    });

    addCommands(window);
    addAddressBookCommands(window);
    buildToolbar(window);
    buildRecordPane();
    buildLockedView();

    ui.grayStatusView->setBackgroundRole(QPalette::AlternateBase);
    connect(ui.resetFilterButton, &QPushButton::clicked, this, &MyDocument::showAllAndResetFilter);

    registerQvValueTransformerClasses();
    QString errors;
    if (!Binding::bindTree(window, {{QStringLiteral("document"), m_keyValues},
                                    {QStringLiteral("records"), m_myArrayController},
                                    {QStringLiteral("categories"), m_myCategoryArrayController}},
                           &errors))
        qWarning("document window: %s", qPrintable(errors));

    window->installEventFilter(this);
    updateRecordPane();
    updateLockedView();
    return window;
}

void MyDocument::addCommands(DocumentWindow* window)
{
    using DocumentIcons::Glyph;
    auto* menu = new QMenu(tr("&Contacts"), window);
    menu->setObjectName(QStringLiteral("myActionMenu"));
    window->menuBar()->insertMenu(window->windowMenu()->menuAction(), menu);
    m_window->actionMenu = menu;
    connect(menu, &QMenu::aboutToShow, window, &DocumentWindow::validateCommands);
    auto add = [this, window, menu](const char* name, const QString& text, const QString& iconText,
                                    const QKeySequence& shortcut, void (MyDocument::*member)()) {
        QPointer<MyDocument> guard(this);
        QAction* action = window->addCommand(menu, QLatin1String(name), text, shortcut, [guard, member] {
            if (guard)
                (guard.data()->*member)();
        });
        action->setIconText(iconText);
        return action;
    };
    add("addRow", tr("&Add Record"), tr("Add"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), &MyDocument::addRow)
        ->setIcon(DocumentIcons::icon(QStringLiteral("list-add"), Glyph::Add));
    add("duplicateRow", tr("D&uplicate Record"), tr("Duplicate"), QKeySequence(Qt::CTRL | Qt::Key_D),
        &MyDocument::duplicateRow)
        ->setIcon(DocumentIcons::icon(QStringLiteral("edit-copy"), Glyph::Duplicate));
    add("deleteRow", tr("&Delete Record…"), tr("Delete"), QKeySequence::Delete, &MyDocument::deleteRow)
        ->setIcon(DocumentIcons::icon(QStringLiteral("edit-delete"), Glyph::Delete));
    menu->addSeparator();
    QAction* mode = add("switchViewEditMode", tr("&Edit Mode"), tr("Edit"), QKeySequence(Qt::CTRL | Qt::Key_E),
                        &MyDocument::switchViewEditMode);
    mode->setIcon(DocumentIcons::icon(QStringLiteral("document-edit"), Glyph::Edit));
    mode->setCheckable(true);
    menu->addSeparator();

    auto* categories = new QMenu(tr("Show &Category"), menu);
    categories->setObjectName(QStringLiteral("myCategoryMenu"));
    m_window->categoryMenu = categories;
    m_window->showAllAction = window->addCommand(categories, QStringLiteral("showAllCategory"), tr("Show &All"),
                                                 QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                                                 [this] { showAllCategory(); });
    m_window->showAllAction->setCheckable(true);
    categories->addSeparator();
    connect(categories, &QMenu::aboutToShow, this, &MyDocument::updateCategoryChecks);
    m_window->categorySuperMenuItem = menu->addAction(categories->title());
    m_window->categorySuperMenuItem->setObjectName(QStringLiteral("myCategorySuperMenuItem"));

    add("editCategoriesSheet", tr("Edit Cate&gories…"), tr("Categories"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G),
        &MyDocument::editCategoriesSheet)
        ->setIcon(DocumentIcons::icon(QStringLiteral("tag"), Glyph::Categories));
    add("editLabelSheet", tr("Edit Field Ca&ptions…"), tr("Captions"), {}, &MyDocument::editLabelSheet);
    menu->addSeparator();
    add("openUrlWebWork", tr("Open &Work Web Page"), tr("Work Web Page"), {}, &MyDocument::openUrlWebWork);
    add("openUrlWebPersonal", tr("Open Pe&rsonal Web Page"), tr("Personal Web Page"), {},
        &MyDocument::openUrlWebPersonal);
    menu->addSeparator();
    QPointer<MyDocument> guard(this);
    window->addCommand(menu, QStringLiteral("focusSearchField"), tr("&Find…"), QKeySequence::Find, [guard] {
        if (QLineEdit* field = guard ? guard->searchField() : nullptr) {
            field->setFocus(Qt::ShortcutFocusReason);
            field->selectAll();
        }
    });
    menu->addSeparator();
    add("lockDocument", tr("&Lock Document…"), tr("Lock"), QKeySequence(Qt::CTRL | Qt::Key_L), &MyDocument::lockDocument)
        ->setIcon(DocumentIcons::icon(QStringLiteral("system-lock-screen"), Glyph::Lock));

    // The password command belongs with saving.
    QAction* password = window->addCommand(nullptr, QStringLiteral("documentPassword"), tr("Change Pass&word…"), {},
                                           [guard] {
                                               if (guard)
                                                   guard->documentPassword();
                                           });
    window->fileMenu()->insertAction(window->command(QStringLiteral("revertDocumentToSaved")), password);

    // Text import and export, with the commands that hand the records to other files.
    QAction* pageLayout = window->command(QStringLiteral("runPageLayout"));
    QAction* importText = window->addCommand(nullptr, QStringLiteral("importFromText"), tr("&Import Text File…"), {},
                                             [guard] {
                                                 if (guard)
                                                     guard->importFromText();
                                             });
    window->fileMenu()->insertAction(pageLayout, importText);
    QAction* exportText = window->addCommand(nullptr, QStringLiteral("exportToText"), tr("&Export Text File…"), {},
                                             [guard] {
                                                 if (guard)
                                                     guard->exportToText();
                                             });
    window->fileMenu()->insertAction(pageLayout, exportText);
    window->fileMenu()->insertSeparator(pageLayout);

    // The contact list's context menu.
    QAction* deleteContact = window->addCommand(nullptr, QStringLiteral("deleteRows"), tr("Delete Contact…"), {},
                                                [guard] {
                                                    if (guard)
                                                        guard->deleteRows();
                                                });
    m_window->ui.myTableView->setContextMenuPolicy(Qt::ActionsContextMenu);
    m_window->ui.myTableView->addAction(deleteContact);
}

void MyDocument::buildToolbar(DocumentWindow* window)
{
    QToolBar* toolbar = m_window->ui.modernToolbar;
    toolbar->setIconSize(QSize(22, 22));
    for (const char* name : {"addRow", "duplicateRow", "deleteRow"})
        toolbar->addAction(window->command(QLatin1String(name)));
    toolbar->addSeparator();
    for (const char* name : {"switchViewEditMode", "editCategoriesSheet"})
        toolbar->addAction(window->command(QLatin1String(name)));
    toolbar->addSeparator();
    toolbar->addAction(window->command(QStringLiteral("lockDocument")));

    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    // The category filter: its first two items are fixed, the categories follow from index 2.
    auto* popup = new QComboBox(toolbar);
    popup->setObjectName(QStringLiteral("myActionPopup"));
    popup->setToolTip(tr("Show the contacts of one category"));
    popup->setAccessibleName(tr("Category filter"));
    popup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    popup->setMinimumContentsLength(10);
    popup->addItem(QStringLiteral("Show All"));
    popup->insertSeparator(1);
    connect(popup, &QComboBox::activated, this, [this](int index) {
        if (index == 0) {
            showAllCategory();
            return;
        }
        const qsizetype category = index - 2;
        if (category < 0 || category >= m_categoryArrayControllerForMenu->arrangedCount()) {
            updateCategoryChecks();
            return;
        }
        doSelectCatMenu(CategoryBadges::nameOf(*m_categoryArrayControllerForMenu->arrangedObjectAt(category)));
    });
    toolbar->addWidget(popup);
    m_window->actionPopup = popup;

    auto* gap = new QWidget(toolbar);
    gap->setFixedWidth(6);
    toolbar->addWidget(gap);

    auto* search = new QLineEdit(toolbar);
    search->setObjectName(QStringLiteral("searchField"));
    search->setPlaceholderText(tr("Search"));
    search->setAccessibleName(tr("Search contacts"));
    search->setClearButtonEnabled(true);
    search->setFixedWidth(220);
    search->addAction(DocumentIcons::icon(QStringLiteral("edit-find"), DocumentIcons::Glyph::Search),
                      QLineEdit::LeadingPosition);
    auto* clear = new QAction(search);
    clear->setShortcut(Qt::Key_Escape);
    clear->setShortcutContext(Qt::WidgetShortcut);
    connect(clear, &QAction::triggered, search, &QLineEdit::clear);
    search->addAction(clear);
    connect(search, &QLineEdit::textChanged, this, [this](const QString& text) {
        setSearchText(text);
        doSearch();
        m_myArrayController->search();
    });
    connect(this, &MyDocument::searchTextChanged, search, [search](const QString& text) {
        if (search->text() != text)
            search->setText(text);
    });
    toolbar->addWidget(search);
    m_window->searchField = search;
}

void MyDocument::buildRecordPane()
{
    Ui::MyDocument& ui = m_window->ui;
    ui.categoryView->setMyArrayController(m_myArrayController);
    ui.categoryView2->setMyArrayController(m_myArrayController);
    DocumentStyle::setHeading(ui.viewName, 1.6);
    QFont subtitle = ui.viewCompany->font();
    subtitle.setPointSizeF(subtitle.pointSizeF() * 1.15);
    ui.viewCompany->setFont(subtitle);
    DocumentStyle::setSecondary(ui.viewCompany);
    for (QLabel* caption : ui.whiteView->findChildren<QLabel*>()) {
        if (caption->property("captionRole").isValid())
            DocumentStyle::setSecondary(caption);
    }
    DocumentStyle::setSecondary(ui.emptyLabel);

    connect(ui.recordCategoryPopup, &QComboBox::activated, this, &MyDocument::categoryWasSet);
    // Typing in a field of the record marks the document edited.
    for (QLineEdit* field : ui.editForm->findChildren<QLineEdit*>()) {
        if (field->property("fieldKey").isValid())
            connect(field, &QLineEdit::textEdited, m_myArrayController, &FilteringArrayController::controlTextDidChange);
    }
    for (RecordTextEdit* field : ui.editForm->findChildren<RecordTextEdit*>())
        connect(field, &RecordTextEdit::textEdited, m_myArrayController, &FilteringArrayController::controlTextDidChange);
    connect(ui.isCompanyBox, &QCheckBox::clicked, this, [this] {
        isACompanySwitched();
        m_myArrayController->controlTextDidChange();
    });

    connect(m_myArrayController, &Observable::valueChangedForKeyPath, m_window->window, [this](const QString& keyPath) {
        if (keyPath == QLatin1String("canRemove") || keyPath == QLatin1String("selection")
            || keyPath.startsWith(QLatin1String("selection.firstName"))
            || keyPath.startsWith(QLatin1String("selection.lastName"))
            || keyPath.startsWith(QLatin1String("selection.company"))
            || keyPath.startsWith(QLatin1String("selection.categoryPtr")))
            updateRecordPane();
    });
    connect(this, &MyDocument::selectedViewChanged, m_window->window, [this] { updateRecordPane(); });

    // In view mode an address field whose caption flag is on gets a button that opens it.
    for (int tag = 1; tag <= 15; ++tag) {
        const QString key = openFieldKey(tag);
        auto* value = ui.viewPage->findChild<QLabel*>(QStringLiteral("viewValue_") + key);
        QGridLayout* grid = nullptr;
        int index = -1;
        for (QGridLayout* candidate : ui.viewPage->findChildren<QGridLayout*>()) {
            if (value && (index = candidate->indexOf(value)) >= 0) {
                grid = candidate;
                break;
            }
        }
        if (!grid)
            continue;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        auto* button = new QToolButton(ui.viewPage);
        button->setObjectName(QStringLiteral("openField%1").arg(tag, 2, 10, QLatin1Char('0')));
        button->setProperty("openTag", tag);
        button->setText(tr("Open"));
        button->setToolTip(tr("Open this address"));
        button->setAccessibleName(button->toolTip());
        button->setAutoRaise(true);
        button->hide();
        connect(button, &QToolButton::clicked, this, [this, tag] { openField(tag); });
        grid->addWidget(button, row, column + columnSpan, Qt::AlignLeft | Qt::AlignTop);
    }
    // A value shown in part gets a button that shows it whole.
    for (QGridLayout* grid : ui.viewPage->findChildren<QGridLayout*>()) {
        for (int index = 0; index < grid->count(); ++index) {
            auto* value = qobject_cast<RecordValueLabel*>(grid->itemAt(index)->widget());
            if (!value || !value->property("fieldKey").isValid())
                continue;
            const QString key = value->property("fieldKey").toString();
            int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
            auto* button = new QToolButton(ui.viewPage);
            button->setObjectName(QStringLiteral("showAll_") + key);
            button->setText(tr("Show All"));
            button->setToolTip(tr("Show the whole value"));
            button->setAccessibleName(button->toolTip());
            button->setAutoRaise(true);
            button->hide();
            connect(value, &RecordValueLabel::cutChanged, button, &QWidget::setVisible);
            connect(button, &QToolButton::clicked, this, [this, key] {
                if (!m_window || !m_window->alive())
                    return;
                const QString caption = m_myLabelDictionary ? m_myLabelDictionary->objectForKey(key).stringValue() : key;
                showWholeValue(m_window->window, caption,
                               m_myArrayController->valueForKeyPath(kSelectionPrefix + u'.' + key).stringValue());
            });
            grid->addWidget(button, row, column + columnSpan + 1, Qt::AlignLeft | Qt::AlignTop);
        }
    }
    connect(m_keyValues, &Observable::valueChangedForKeyPath, m_window->window, [this](const QString& keyPath) {
        if (keyPath.startsWith(QLatin1String("myLabelDictionary")))
            updateOpenButtons();
    });
    connect(m_myArrayController, &Observable::valueChangedForKeyPath, m_window->window,
            [this](const QString& keyPath) {
                if (keyPath.startsWith(QLatin1String("selection")))
                    updateOpenButtons();
            });
}

void MyDocument::updateOpenButtons()
{
    if (!m_window || !m_window->alive())
        return;
    const bool viewing = m_selectedView == ViewModeView;
    for (QToolButton* button : m_window->ui.viewPage->findChildren<QToolButton*>()) {
        const int tag = button->property("openTag").toInt();
        if (tag < 1)
            continue;
        const QString flag = QStringLiteral("open%1").arg(tag, 2, 10, QLatin1Char('0'));
        const QString value =
            m_myArrayController->valueForKeyPath(QStringLiteral("selection.") + openFieldKey(tag)).stringValue();
        button->setVisible(viewing && m_myLabelDictionary && m_myLabelDictionary->objectForKey(flag).boolValue()
                           && !value.trimmed().isEmpty());
    }
}

void MyDocument::buildLockedView()
{
    Ui::MyDocument& ui = m_window->ui;
    ui.lockIcon->setPixmap(DocumentIcons::picture(DocumentIcons::Glyph::Locked, 72,
                                                  ui.lockIcon->palette().color(QPalette::PlaceholderText)));
    DocumentStyle::setHeading(ui.lockedTitle, 1.4);
    DocumentStyle::setSecondary(ui.lockedInfo);
    ui.decryptProgressIndicator->hide();
    setDecryptProgressIndicator(ui.decryptProgressIndicator);
    QPointer<QLineEdit> field = ui.passwordToDecryptField;
    auto submit = [this, field] {
        if (field)
            submitPasswordToDecrypt(field);
    };
    connect(ui.passwordToDecryptField, &QLineEdit::returnPressed, this, submit);
    connect(ui.unlockButton, &QPushButton::clicked, this, submit);
}

void MyDocument::applyTableFont()
{
    QTableView* table = myTableView();
    if (!table)
        return;
    const QFont font = CategoryBadges::tableFont();
    table->setFont(font);
    // The header takes the font of its kind from the application until it is
    // given one, also when the table's font was set first.
    table->horizontalHeader()->setFont(font);
    table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 10);
    table->viewport()->update();
}

void MyDocument::updateRecordPane()
{
    if (!m_window || !m_window->alive())
        return;
    Ui::MyDocument& ui = m_window->ui;
    const DictionaryRef record = m_myArrayController->firstSelectedObject();
    if (record != m_window->shownRecord.lock()) {
        m_window->shownRecord = record;
        for (QScrollArea* pane : {ui.viewScroll, ui.editScroll})
            pane->verticalScrollBar()->setValue(pane->verticalScrollBar()->minimum());
    }
    if (!record)
        ui.recordModes->setCurrentWidget(ui.emptyPage);
    else
        ui.recordModes->setCurrentWidget(m_selectedView == EditModeView ? ui.editPage : ui.viewPage);
    if (record) {
        // A name of megabytes is shown by its beginning: the heading lays out all it holds.
        const auto part = [&record](const char* key) {
            return record->objectForKey(QLatin1String(key)).stringValue().left(kShownNameLength + 1);
        };
        QString name = part("firstName");
        const QString last = part("lastName");
        if (!name.isEmpty() && !last.isEmpty())
            name += u' ';
        name += last;
        const QString shown = name.trimmed().isEmpty() ? part("company") : name;
        ui.viewName->setText(shown.size() > kShownNameLength
                                 ? LongText::wrappable(LongText::head(shown, kShownNameLength, 3), 30)
                                 : shown);
    } else {
        ui.viewName->clear();
    }
    ui.categoryView->update();
    ui.categoryView2->update();
    updateRecordCategoryPopup();
    updateOpenButtons();
}

namespace {
// A selectable label keeps the last text it showed in a text document of its
// own until it is shown again, also after its text was cleared; a locked
// window must not keep it. Turning selection off and on drops that document.
void forgetShownText(QWidget* pane)
{
    for (QLabel* label : pane->findChildren<QLabel*>()) {
        const Qt::TextInteractionFlags flags = label->textInteractionFlags();
        if (flags == Qt::NoTextInteraction)
            continue;
        label->clear();
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setTextInteractionFlags(flags);
    }
}
} // namespace

void MyDocument::updateLockedView()
{
    if (!m_window || !m_window->alive())
        return;
    Ui::MyDocument& ui = m_window->ui;
    const bool locked = isEncrypted();
    ui.lockStack->setCurrentWidget(locked ? ui.lockedPage : ui.unlockedPage);
    if (m_window->actionPopup)
        m_window->actionPopup->setEnabled(!locked);
    if (m_window->searchField)
        m_window->searchField->setEnabled(!locked);
    if (locked) {
        ui.passwordToDecryptField->setFocus(Qt::OtherFocusReason);
        forgetShownText(ui.viewPage);
        // Its undo history keeps what was searched for; setting the same
        // text drops the history and changes nothing else.
        if (QLineEdit* search = m_window->searchField)
            search->setText(search->text());
    }
}

// Set-up

void MyDocument::windowControllerDidLoadNib(DocumentWindow* window)
{
    setProperTextColor(window->palette().color(QPalette::Active, QPalette::WindowText));

    m_mySplitViewDelegate->awakeFromNib();
    m_mySplitViewDelegate->setMinHSizeLeft(kLeftPaneMinimum);
    m_mySplitViewDelegate->setMaxHSizeLeft(kLeftPaneMaximum);
    m_mySplitViewDelegate->setMinHSizeRight(kRightPaneMinimum);
    m_mySplitViewDelegate->setMaxHSizeRight(kRightPaneMaximum);
    m_mySplitViewDelegate->setGrowingRule(QvTwoPaneSplitDelegate::ShareEqually);
    m_mySplitViewDelegate->setCanCollapseLeft(false);
    m_mySplitViewDelegate->setCanCollapseRight(false);

    // Every record needs a category: a document starts with one.
    if (m_myCategoryArrayController->arrangedCount() == 0)
        m_myCategoryArrayController->addObject(m_myCategoryArrayController->newObject());

    setUpCategorySubMenu();
    synkCategorySubMenu();
    if (fileURL().isEmpty())
        m_documentCreationDate = Value::dateFromDateTime(Clock::now());
    if (isEncrypted())
        m_window->ui.modernToolbar->hide();
    updateChangeCount(ChangeCleared);
    m_prevFilterInaction = true;
    showSearchInfoView(false);

    QPointer<DocumentWindow> shown(window);
    QPointer<QvSplitView> split(m_window->splitView);
    MainQueue::post(window, [shown, split] {
        if (!shown)
            return;
        if (QScreen* screen = shown->screen()) {
            QRect frame = shown->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            shown->move(frame.topLeft());
        }
        if (split)
            split->setPosition(kInitialListWidth, 0);
        shown->raise();
        shown->activateWindow();
    });
}

bool MyDocument::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && m_window && watched == m_window->window)
        windowDidBecomeKey(m_window->window);
    return QvCryptoDoc::eventFilter(watched, event);
}

void MyDocument::windowDidBecomeKey(QWidget* window)
{
    if (!window || !m_window || window != m_window->window)
        return;
    if (m_requiresMandatoryPassword && plainPassword().isEmpty() && isDecrypted()) {
        QPointer<MyDocument> guard(this);
        MainQueue::post(this, [guard] { guard->askMandatoryPasswordToProtectDocument(); });
    }
    m_requiresMandatoryPassword = false;
}

// The filter strip

void MyDocument::showSearchInfoView(bool show)
{
    if (show == m_prevFilterInaction)
        return;
    m_prevFilterInaction = show;
    if (QWidget* strip = grayStatusView())
        strip->setVisible(show);
}

// Captions

void MyDocument::editLabelSheet()
{
    if (!isDecrypted() || !m_window || !m_window->alive() || m_window->labelSheet)
        return;
    auto* sheet = new LabelSheet(m_window->window);
    m_window->labelSheet = sheet;
    QString errors;
    if (!Binding::bindTree(sheet, {{QStringLiteral("document"), m_keyValues}}, &errors))
        qWarning("caption sheet: %s", qPrintable(errors));
    connect(sheet->restoreButton(), &QPushButton::clicked, this, &MyDocument::setDefaultDictionaryLabel);
    connect(sheet->doneButton(), &QPushButton::clicked, this, &MyDocument::closeLabelSheet);
    Sheet::Options options;
    options.deleteWhenEnded = true;
    QPointer<MyDocument> guard(this);
    Sheet::begin(sheet, m_window->window, [guard](int) {
        // However the sheet ends, what was typed in it stays: the document has changed.
        if (guard)
            guard->markChangeDone();
    }, options);
}

void MyDocument::closeLabelSheet()
{
    if (m_window && m_window->labelSheet)
        Sheet::end(m_window->labelSheet, Alert::ModalResponseOK);
}

// Redraw helpers

void MyDocument::isACompanySwitched()
{
    if (QTableView* table = myTableView())
        table->viewport()->update();
}

void MyDocument::scrollListViewToBottom()
{
    if (QTableView* table = myTableView())
        table->scrollToBottom();
}

void MyDocument::scrollToRecord(const DictionaryRef& record)
{
    QTableView* table = myTableView();
    const qsizetype row = record ? m_myArrayController->indexOfArrangedObject(record.get()) : -1;
    if (table && row >= 0)
        table->scrollTo(table->model()->index(static_cast<int>(row), 0));
}
