#include "document/MyDocument.h"

#include "document/FilteringArrayController.h"
#include "document/MyDocumentWindow_p.h"
#include "document/QvColoredCategoryArrayController.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Clock.h"
#include "platform/Plaintext.h"
#include "platform/ValueTransformer.h"
#include "toolkit/QvSplitView.h"
#include "toolkit/QvValueTransformers.h"
#include "toolkit/QvVSplitViewDelegate.h"

#include <QAction>
#include <QWidget>
#include <QUndoStack>

#include <utility>

namespace {

const QString kSelectedView = QStringLiteral("selectedView");
const QString kCategoryString = QStringLiteral("categoryString");
const QString kSearchText = QStringLiteral("searchText");
const QString kLabelDictionary = QStringLiteral("myLabelDictionary");
const QString kIsEncrypted = QStringLiteral("isEncrypted");
const QString kIsDecrypted = QStringLiteral("isDecrypted");
const QString kHasPassword = QStringLiteral("hasPassword");

struct Caption {
    const char* key;
    const char* caption;
};
// The captions, in the order of the record pane.
constexpr Caption kCaptions[] = {
    {"category", "Category:"},
    {"firstName", "First name:"},
    {"lastName", "Last name:"},
    {"company", "Company:"},
    {"phoneWork", "Phone work:"},
    {"faxWork", "Fax work:"},
    {"emailWork", "Email work:"},
    {"addressWork", "Address work:"},
    {"webWork", "Web work:"},
    {"phonePersonal", "Phone personal:"},
    {"faxPersonal", "Fax personal:"},
    {"mobile", "Mobile personal:"},
    {"pager", "Mobile work"},
    {"emailPersonal", "Email personal:"},
    {"webPersonal", "Web personal:"},
    {"addressPersonal", "Address personal:"},
    {"note", "Note"},
};

struct FieldRow {
    const char* publicKey;
    const char* innerKey;
};
// Both field tables; only the first row's inner key differs between them.
constexpr FieldRow kFieldRows[] = {
    {"Category", nullptr},
    {"First name", "firstName"},
    {"Last name", "lastName"},
    {"Company", "company"},
    {"Phone work", "phoneWork"},
    {"Fax work", "faxWork"},
    {"Address work", "addressWork"},
    {"Email work", "emailWork"},
    {"Web work", "webWork"},
    {"Phone personal", "phonePersonal"},
    {"Fax personal", "faxPersonal"},
    {"Mobile personal", "mobile"},
    {"Mobile work", "pager"},
    {"Email personal", "emailPersonal"},
    {"Web personal", "webPersonal"},
    {"Address personal", "addressPersonal"},
    {"Note", "note"},
};

ArrayRef fieldTable(const char* categoryInnerKey)
{
    ArrayRef table = Array::create();
    for (const FieldRow& row : kFieldRows) {
        table->addObject(Value(Dictionary::create({
            {QStringLiteral("publicKey"), Value(row.publicKey)},
            {QStringLiteral("innerKey"), Value(row.innerKey ? row.innerKey : categoryInnerKey)},
        })));
    }
    return table;
}

} // namespace

MyDocument::MyDocument(QObject* parent)
    : QvCryptoDoc(parent), m_myCryptoEngine(legacyDocumentVector(), QString())
{
    m_requiresMandatoryPassword = true;
    m_myArray = Array::create();
    m_myEncryptedArray = Array::create();
    m_myCategoryArray = Array::create();
    m_selectedView = ViewModeView;
    m_myLabelDictionary = defaultLabelDictionary();
    m_abPeopleArray = Array::create();
    m_documentCreationDate = Value::dateFromDateTime(Clock::now());
    m_YouCanSave = true;
    m_myiOSPlatformDictionary = Dictionary::create();
    // The interface files find these by name; every new document registers them again.
    ValueTransformer::setValueTransformer(std::make_shared<const QvValueIsEqualToRef>(1), QStringLiteral("valueIs1"));
    ValueTransformer::setValueTransformer(std::make_shared<const Qv1IfNot0>(), QStringLiteral("ret1ifnot0"));
    m_arrayForExport = exportFieldTable();
    m_arrayForImport = importFieldTable();
    setUpControllers();
    connect(this, &QvCryptoDoc::isEncryptedChanged, this, &MyDocument::lockStateChanged);
    connect(this, &Document::userInterfaceStateChanged, this, [this] { announce(kHasPassword); });
    // A closed document writes no export that was still being asked for, nor imports: their
    // sheets and the file's rows go with the window.
    connect(this, &Document::closing, this, &MyDocument::releaseExchangeManagers);
}

void MyDocument::releaseExchangeManagers()
{
    // Both hold the records array itself; the importer also the file's rows, and its queued
    // steps go with it.
    m_myImportManager.reset();
    m_myExportManager.reset();
}

MyDocument::~MyDocument()
{
    // The split view asks its delegate on every resize; it must not outlive it.
    if (QvSplitView* split = mySplitView())
        split->setDelegate(nullptr);
    // The window goes while the document is whole: its widgets call back into it.
    delete window();
}

void MyDocument::setUpControllers()
{
    m_keyValues = new MyDocumentKeyValues(this);

    m_myCategoryArrayController = new QvColoredCategoryArrayController(this);
    m_myCategoryArrayController->setObjectName(QStringLiteral("myCategoryArrayController"));
    m_myCategoryArrayController->setMyDoc(this);
    m_myCategoryArrayController->setContent(m_myCategoryArray);

    m_categoryArrayControllerForMenu = new ArrayController(this);
    m_categoryArrayControllerForMenu->setObjectName(QStringLiteral("categoryArrayControllerForMenu"));
    m_categoryArrayControllerForMenu->setContent(m_myCategoryArray);

    m_myArrayController = new FilteringArrayController(this);
    m_myArrayController->setObjectName(QStringLiteral("myArrayController"));
    m_myArrayController->setMyDoc(this);
    m_myArrayController->setMyCategoryArrayController(m_myCategoryArrayController);
    m_myArrayController->setCategoryString(QStringLiteral(""));
    m_myArrayController->setContent(m_myArray);

    m_myAllArrayController = new ArrayController(this);
    m_myAllArrayController->setObjectName(QStringLiteral("myAllArrayController"));

    connect(m_myArrayController, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
        if (keyPath == kCategoryString) {
            announce(kCategoryString);
            updateCategoryChecks();
        } else if (keyPath == QLatin1String("canRemove")) {
            // Duplicate and Delete follow the selection.
            emit userInterfaceStateChanged();
        }
    });
    // The category items follow every addition, removal, rename and import.
    connect(m_myCategoryArrayController, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
        if (keyPath == QLatin1String("arrangedObjects"))
            synkCategorySubMenu();
    });
    connect(m_myCategoryArrayController, &QvCategoryArrayController::categoriesEdited, this,
            &MyDocument::synkCategorySubMenu);
}

Observable* MyDocument::keyValues() const
{
    return m_keyValues;
}

void MyDocument::announce(const QString& keyPath)
{
    if (m_keyValues)
        emit m_keyValues->valueChangedForKeyPath(keyPath);
}

// Captions and field tables

DictionaryRef MyDocument::defaultLabelDictionary()
{
    DictionaryRef labels = Dictionary::create();
    for (const Caption& caption : kCaptions)
        labels->setObject(Value(caption.caption), QString::fromLatin1(caption.key));
    for (int flag = 1; flag <= 15; ++flag) {
        const bool open = flag == 7 || flag == 8 || flag == 13 || flag == 14;
        labels->setObject(Value::boolean(open), QStringLiteral("open%1").arg(flag, 2, 10, QLatin1Char('0')));
    }
    return labels;
}

void MyDocument::setDefaultDictionaryLabel()
{
    setMyLabelDictionary(defaultLabelDictionary());
}

void MyDocument::setMyLabelDictionary(const DictionaryRef& labels)
{
    m_myLabelDictionary = labels;
    announce(kLabelDictionary);
}

const QStringList& MyDocument::captionKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const Caption& caption : kCaptions)
            list.append(QString::fromLatin1(caption.key));
        return list;
    }();
    return keys;
}

ArrayRef MyDocument::exportFieldTable()
{
    return fieldTable("categoryPtr.cat_category");
}

ArrayRef MyDocument::importFieldTable()
{
    return fieldTable("categoryNAME");
}

// State

void MyDocument::setMyArray(const ArrayRef& records)
{
    m_myArray = records ? records : Array::create();
    m_myArrayController->setContent(m_myArray);
    m_myAllArrayController->setContent(m_myArray);
}

void MyDocument::setMyCategoryArray(const ArrayRef& categories)
{
    m_myCategoryArray = categories ? categories : Array::create();
    m_myCategoryArrayController->setContent(m_myCategoryArray);
    m_categoryArrayControllerForMenu->setContent(m_myCategoryArray);
}

void MyDocument::setMyCommonCrypto(std::unique_ptr<QvCommonCrypto> engine)
{
    m_myCommonCrypto = std::move(engine);
}

void MyDocument::setYouCanSave(bool can)
{
    if (can == m_YouCanSave)
        return;
    m_YouCanSave = can;
    emit userInterfaceStateChanged();
}

QString MyDocument::categoryString() const
{
    const QString category = m_myArrayController->categoryString();
    return category.isNull() ? QStringLiteral("") : category;
}

void MyDocument::setCategoryString(const QString& category)
{
    m_filteredCategory = m_myCategoryArrayController->categoryWithTitle(category);
    m_myArrayController->setCategoryString(category.isNull() ? QStringLiteral("") : category);
    m_myArrayController->rearrangeObjects();
}

void MyDocument::setSelectedView(int view)
{
    if (view == m_selectedView)
        return;
    m_selectedView = view;
    announce(kSelectedView);
    emit selectedViewChanged(view);
    emit userInterfaceStateChanged();
}

void MyDocument::setSearchText(const QString& text)
{
    if (text == m_searchText && text.isNull() == m_searchText.isNull())
        return;
    m_searchText = text;
    announce(kSearchText);
    emit searchTextChanged(text);
}

void MyDocument::lockStateChanged(bool locked)
{
    // Steps of the other state would act on records that are no longer (or not yet) there.
    undoManager()->clear();
    if (locked)
        switchToViewMode();
    announce(kIsEncrypted);
    announce(kIsDecrypted);
    updateLockedView();
    synkCategorySubMenu();
}

void MyDocument::markChangeDone()
{
    updateChangeCount(ChangeDone);
}

// Modes

void MyDocument::switchToEditMode()
{
    setSelectedView(EditModeView);
}

void MyDocument::switchToViewMode()
{
    setSelectedView(ViewModeView);
}

void MyDocument::switchViewEditMode()
{
    if (m_selectedView == EditModeView)
        switchToViewMode();
    else
        switchToEditMode();
}

// Filters

void MyDocument::showAllCategory()
{
    m_filteredCategory.reset();
    m_myArrayController->setCategoryString(QStringLiteral(""));
    m_myArrayController->rearrangeObjects();
    updateCategoryChecks();
}

void MyDocument::showAllAndResetFilter()
{
    showAllCategory();
    setSearchText(QStringLiteral(""));
    doSearch();
    m_myArrayController->search();
}

void MyDocument::doSearch()
{
    if (m_searchText.isEmpty()) {
        m_searchPredicate = QString();
        return;
    }
    const QString quoted = QLatin1Char('"') + QString(m_searchText).replace(QLatin1Char('"'), QStringLiteral("\\\""))
                           + QLatin1Char('"');
    m_searchPredicate = QStringLiteral("((name contains[cd] %1) OR (category contains[cd] %1) )").arg(quoted);
}

void MyDocument::forgetSearch()
{
    Plaintext::wipe(m_searchPredicate);
    m_myArrayController->forgetSearch();
    // The field lets go of the text (and of its undo history) when told of
    // the change, so the copy left here is the last one.
    QString typed = std::exchange(m_searchText, QStringLiteral(""));
    announce(kSearchText);
    emit searchTextChanged(m_searchText);
    Plaintext::wipe(typed);
}

void MyDocument::doSelectCatMenu(const QString& title)
{
    m_filteredCategory = m_myCategoryArrayController->categoryWithTitle(title);
    m_myArrayController->setCategoryString(title);
    m_myArrayController->rearrangeObjects();
    updateCategoryChecks();
}

// Menu validation

bool MyDocument::validateMenuItem(QAction* item)
{
    const QString action = item->objectName();
    if (action == QLatin1String("switchViewEditMode")) {
        item->setCheckable(true);
        item->setChecked(m_selectedView == EditModeView);
    } else if (action == QLatin1String("showAllCategory")) {
        item->setCheckable(true);
        item->setChecked(categoryString().isEmpty());
    } else if (action == QLatin1String("doSelectCatMenu")) {
        item->setCheckable(true);
        item->setChecked(categoryString() == item->data().toString());
        return isDecrypted();
    }

    static const QStringList dataCommands = {
        QStringLiteral("importFromAddressBook"), QStringLiteral("exportToText"), QStringLiteral("importFromText"),
        QStringLiteral("addRow"),               QStringLiteral("deleteRow"),    QStringLiteral("switchViewEditMode"),
        QStringLiteral("editLabelSheet"),       QStringLiteral("editCategoriesSheet"), QStringLiteral("deleteRows"),
        QStringLiteral("lockDocument"),         QStringLiteral("duplicateRow"), QStringLiteral("showAllCategory"),
        QStringLiteral("focusSearchField"),     QStringLiteral("openUrlWebWork"), QStringLiteral("openUrlWebPersonal"),
    };
    if (dataCommands.contains(action)) {
        if (!isDecrypted())
            return false;
        // Commands on the selected record need one.
        if (action == QLatin1String("deleteRow") || action == QLatin1String("duplicateRow")
            || action == QLatin1String("deleteRows") || action == QLatin1String("openUrlWebWork")
            || action == QLatin1String("openUrlWebPersonal"))
            return m_myArrayController->canRemove();
        // Locking a document without a password would leave no way back in.
        if (action == QLatin1String("lockDocument"))
            return hasPassword();
        return true;
    }
    // Nothing reaches the disk unprotected, and a locked document has no steps to undo.
    if (action == QLatin1String("saveDocument") || action == QLatin1String("saveDocumentAs"))
        return hasPassword() && QvCryptoDoc::validateUserInterfaceItem(item);
    if (action == QLatin1String("undo") || action == QLatin1String("redo"))
        return isDecrypted() && QvCryptoDoc::validateUserInterfaceItem(item);
    if (action == QLatin1String("documentPassword"))
        item->setText(hasPassword() ? tr("Change Pass&word…") : tr("Set Pass&word…"));
    return QvCryptoDoc::validateUserInterfaceItem(item);
}

// Key values for bindings

MyDocumentKeyValues::MyDocumentKeyValues(MyDocument* document) : Observable(document), m_document(document) {}

Value MyDocumentKeyValues::valueForKeyPath(const QString& keyPath) const
{
    const qsizetype dot = keyPath.indexOf(u'.');
    const QString head = dot < 0 ? keyPath : keyPath.left(dot);
    const QString rest = dot < 0 ? QString() : keyPath.mid(dot + 1);
    if (head == kLabelDictionary) {
        const Value labels(m_document->m_myLabelDictionary);
        return rest.isEmpty() ? labels : labels.valueForKeyPath(rest);
    }
    if (!rest.isEmpty())
        return Value();
    if (head == kSelectedView)
        return Value::int32(m_document->m_selectedView);
    if (head == kCategoryString)
        return Value(m_document->categoryString());
    if (head == kSearchText)
        return m_document->m_searchText.isNull() ? Value() : Value(m_document->m_searchText);
    if (head == QLatin1String("yesVal"))
        return m_document->yesVal();
    if (head == QLatin1String("falseValue"))
        return MyDocument::falseValue();
    if (head == kIsEncrypted)
        return Value::boolean(m_document->isEncrypted());
    if (head == kIsDecrypted)
        return Value::boolean(m_document->isDecrypted());
    if (head == kHasPassword)
        return Value::boolean(m_document->hasPassword());
    return Value();
}

bool MyDocumentKeyValues::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    if (keyPath.startsWith(kLabelDictionary + u'.')) {
        if (!m_document->m_myLabelDictionary || !(value.isString() || value.isNumber()))
            return false;
        m_document->m_myLabelDictionary->setValueForKeyPath(value, keyPath.mid(kLabelDictionary.size() + 1));
        emit valueChangedForKeyPath(keyPath);
        return true;
    }
    if (keyPath == kSelectedView) {
        if (!value.isNumber())
            return false;
        m_document->setSelectedView(value.intValue() == MyDocument::EditModeView ? MyDocument::EditModeView
                                                                                  : MyDocument::ViewModeView);
        return true;
    }
    if (keyPath == kSearchText) {
        m_document->setSearchText(value.stringValue());
        return true;
    }
    if (keyPath == kCategoryString) {
        m_document->setCategoryString(value.stringValue());
        return true;
    }
    return false;
}
