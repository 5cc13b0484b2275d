#pragma once
// The contacts document: its records, categories, captions and creation date,
// the encrypted form they take on disk and while locked, its window and the
// commands of that window.
//
// The document owns its controllers (they are plain objects that tests drive
// without a window); the window, built from the interface file "MyDocument",
// shows them and calls the commands below.
//
// Mapping of the framework names, beyond those of the common rules:
//   outlets                                ->  accessors of the same name; null while the window
//                                              is not built (or has gone)
//   properties and fields                  ->  p() / setP(...) of the same name
//   init                                   ->  the constructor
//   windowNibName                          ->  windowNibName(): the interface file's name
//   windowControllerDidLoadNib:            ->  windowControllerDidLoadNib(window)
//   windowDidBecomeKey:                    ->  windowDidBecomeKey(window)
//   validateMenuItem:                      ->  validateMenuItem(action); the action's name is its
//                                              objectName(), a category item's title its data()
//   searchPredicate                        ->  the predicate's text with the search text filled
//                                              in, or a null string for none
//   doSelectCatMenu: (menu item)           ->  doSelectCatMenu(title)
//   categoryWasSet: (pop-up)               ->  categoryWasSet(index of the pop-up's item)
//   the undoable steps addTheRecord: ... ->  the step is one QUndoCommand of the document's undo
//                                              stack, pushed by addTheRecord / duplicateTheRecord /
//                                              deleteTheRecord; its undo runs addTheRecordUndo
//                                              (and so on), its redo the change of the step again
//   colorChanged: (colour panel)           ->  colours are edited in this document's category
//                                              sheet only, and mark this document alone
//   actions with a sender                  ->  the same names without the sender
//   openField: (a sender with a tag)       ->  openField(tag)
//   deleteRowShouldBeEnabled: (BOOL)       ->  deleteRowShouldBeEnabled()
//   keys of bindings                       ->  keyValues(): "selectedView", "categoryString",
//                                              "searchText", "myLabelDictionary.<key>", "yesVal",
//                                              "falseValue", "isEncrypted", "isDecrypted",
//                                              "hasPassword"

#include "document/ArrayController.h"
#include "document/DocumentExchange.h"
#include "document/QvColoredCategoryArrayController.h"
#include "encryption/PasswordSheet.h"
#include "encryption/QvCrypto.h"
#include "encryption/QvCryptoDoc.h"
#include "platform/Observable.h"
#include "platform/Value.h"

#include <QColor>
#include <QPointer>
#include <QRectF>
#include <QStringList>

#include <memory>

class AddressBookImportState;
class AddressBookPeopleController;
class AddressBookSheet;
class CategorySheet;
class CategoryView;
class FilteringArrayController;
class LabelSheet;
class MyDocumentKeyValues;
class QAction;
class QComboBox;
class QEvent;
class QDialog;
class QLineEdit;
class QMenu;
class QTableView;
class QToolBar;
class QWidget;
class QvColoredCategoryArrayController;
class QvCommonCrypto;
class QvSplitView;
class QvVSplitViewDelegate;
namespace Ui {
class MyDocument;
}

class MyDocument : public QvCryptoDoc, public ControllerDocument, public QvImporter {
    Q_OBJECT
public:
    // selectedView
    enum { ViewModeView = 0, EditModeView = 1 };
    // The document version this release writes; newer ones are refused.
    static constexpr quint64 kDocumentVersion = 30600;
    // Limits of the record list (left) and the record pane (right).
    static constexpr int kLeftPaneMinimum = 210;
    static constexpr int kLeftPaneMaximum = 660;
    static constexpr int kRightPaneMinimum = 450;
    static constexpr int kRightPaneMaximum = 9999;

    explicit MyDocument(QObject* parent = nullptr);
    ~MyDocument() override;

    static QString windowNibName() { return QStringLiteral("MyDocument"); }
    // Nothing is saved behind the user's back: an edited document asks when it closes.
    static bool autosavesInPlace() { return false; }

    // Captions and field tables.
    // 17 captions keyed by record key and the flags "open01" to "open15"; a new dictionary each call.
    static DictionaryRef defaultLabelDictionary();
    void setDefaultDictionaryLabel();
    static Value falseValue() { return Value::boolean(false); }
    // The record keys that have a caption, in the order of the record pane.
    static const QStringList& captionKeys();
    // The field tables of the exporter and the importer: 17 rows of "publicKey" and "innerKey".
    static ArrayRef exportFieldTable();
    static ArrayRef importFieldTable();

    // Bindings of the window read and write the document through this object.
    Observable* keyValues() const;

    // Controllers.
    FilteringArrayController* myArrayController() const { return m_myArrayController; }
    ArrayController* myAllArrayController() const { return m_myAllArrayController; }
    QvColoredCategoryArrayController* myCategoryArrayController() const { return m_myCategoryArrayController; }
    ArrayController* categoryArrayControllerForMenu() const { return m_categoryArrayControllerForMenu; }

    // Outlets of the window.
    QvVSplitViewDelegate* mySplitViewDelegate() const { return m_mySplitViewDelegate.get(); }
    QvSplitView* mySplitView() const;
    QMenu* myActionMenu() const;
    QMenu* myCategoryMenu() const;
    QAction* myCategorySuperMenuItem() const;
    QTableView* myTableView() const;
    QComboBox* myActionPopup() const;
    QWidget* whiteView() const;
    QWidget* grayStatusView() const;
    QWidget* leftListView() const;
    CategoryView* categoryView() const;
    CategoryView* categoryView2() const;
    QComboBox* recordCategoryPopup() const;
    QLineEdit* passwordToDecryptField() const;
    QLineEdit* searchField() const;
    QToolBar* modernToolbar() const;
    CategorySheet* myCategorySheet() const;
    QTableView* myCategoryTableView() const;
    QTableView* categoryScrollView() const { return myCategoryTableView(); }
    LabelSheet* myLabelSheet() const;

    // State.
    QString categoryString() const; // the record list's category filter; "" for all
    void setCategoryString(const QString& category);
    int selectedView() const { return m_selectedView; }
    void setSelectedView(int view);
    QString searchText() const override { return m_searchText; }
    void setSearchText(const QString& text);
    QString searchCategory() const { return m_searchCategory; }
    void setSearchCategory(const QString& text) { m_searchCategory = text; }
    QString searchPredicate() const { return m_searchPredicate; }
    bool prevFilterInaction() const { return m_prevFilterInaction; }
    bool requiresMandatoryPassword() const { return m_requiresMandatoryPassword; }
    void setRequiresMandatoryPassword(bool ask) { m_requiresMandatoryPassword = ask; }
    Value yesVal() const { return Value::boolean(true); }
    QColor properTextColor() const { return m_properTextColor; }
    void setProperTextColor(const QColor& color) { m_properTextColor = color; }

    ArrayRef myArray() const { return m_myArray; }
    void setMyArray(const ArrayRef& records);
    ArrayRef myCategoryArray() const { return m_myCategoryArray; }
    void setMyCategoryArray(const ArrayRef& categories);
    DictionaryRef myLabelDictionary() const { return m_myLabelDictionary; }
    void setMyLabelDictionary(const DictionaryRef& labels);
    ArrayRef abPeopleArray() const { return m_abPeopleArray; }
    void setAbPeopleArray(const ArrayRef& people) { m_abPeopleArray = people; }
    ArrayRef arrayForImport() const { return m_arrayForImport; }
    ArrayRef arrayForExport() const { return m_arrayForExport; }
    Value documentCreationDate() const { return m_documentCreationDate; }
    void setDocumentCreationDate(const Value& date) { m_documentCreationDate = date; }

    // What the file carries between reading, unlocking, locking and writing.
    quint64 myOpeningDocumentVersion() const { return m_myOpeningDocumentVersion; }
    void setMyOpeningDocumentVersion(quint64 version) { m_myOpeningDocumentVersion = version; }
    QString fileDocRelease() const { return m_fileDocRelease; }
    void setFileDocRelease(const QString& release) { m_fileDocRelease = release; }
    QvCrypto& myCryptoEngine() { return m_myCryptoEngine; }
    QvCommonCrypto* myCommonCrypto() const { return m_myCommonCrypto.get(); }
    void setMyCommonCrypto(std::unique_ptr<QvCommonCrypto> engine);
    QByteArray mySalt() const { return m_mySalt; }
    void setMySalt(const QByteArray& salt) { m_mySalt = salt; }
    QByteArray myIV() const { return m_myIV; }
    void setMyIV(const QByteArray& iv) { m_myIV = iv; }
    QByteArray myRCDataEncrypted() const { return m_myRCDataEncrypted; }
    void setMyRCDataEncrypted(const QByteArray& data) { m_myRCDataEncrypted = data; }
    QByteArray mySha1_RcData() const { return m_mySha1_RcData; }
    void setMySha1_RcData(const QByteArray& data) { m_mySha1_RcData = data; }
    QByteArray myEncryptedArrayData() const { return m_myEncryptedArrayData; }
    void setMyEncryptedArrayData(const QByteArray& data) { m_myEncryptedArrayData = data; }
    QByteArray myEncryptedCategoryArrayData() const { return m_myEncryptedCategoryArrayData; }
    void setMyEncryptedCategoryArrayData(const QByteArray& data) { m_myEncryptedCategoryArrayData = data; }
    QByteArray myEncryptedDocumentCreationDateData() const { return m_myEncryptedDocumentCreationDateData; }
    void setMyEncryptedDocumentCreationDateData(const QByteArray& data) { m_myEncryptedDocumentCreationDateData = data; }
    QByteArray myEncriptedLabelDictionaryData() const { return m_myEncriptedLabelDictionaryData; }
    void setMyEncriptedLabelDictionaryData(const QByteArray& data) { m_myEncriptedLabelDictionaryData = data; }
    ArrayRef myEncryptedArray() const { return m_myEncryptedArray; }
    void setMyEncryptedArray(const ArrayRef& records) { m_myEncryptedArray = records; }
    ArrayRef myEncryptedCategoryArray() const { return m_myEncryptedCategoryArray; }
    void setMyEncryptedCategoryArray(const ArrayRef& categories) { m_myEncryptedCategoryArray = categories; }
    DictionaryRef myEncriptedLabelDictionary() const { return m_myEncriptedLabelDictionary; }
    void setMyEncriptedLabelDictionary(const DictionaryRef& labels) { m_myEncriptedLabelDictionary = labels; }
    DictionaryRef OSXPlatformDictionary() const { return m_OSXPlatformDictionary; }
    void setOSXPlatformDictionary(const DictionaryRef& state) { m_OSXPlatformDictionary = state; }
    DictionaryRef myiOSPlatformDictionary() const { return m_myiOSPlatformDictionary; }
    bool YouCanSave() const { return m_YouCanSave; }
    void setYouCanSave(bool can);
    bool makeToolbarVisibleAtDecrypt() const { return m_makeToolbarVisibleAtDecrypt; }
    void setMakeToolbarVisibleAtDecrypt(bool visible) { m_makeToolbarVisibleAtDecrypt = visible; }
    bool useMyWinRect() const { return m_useMyWinRect; }
    void setUseMyWinRect(bool use) { m_useMyWinRect = use; }
    QRectF myWinRectToUse() const { return m_myWinRectToUse; }
    void setMyWinRectToUse(const QRectF& rect) { m_myWinRectToUse = rect; }
    bool hasPassword() const { return !plainPassword().isEmpty(); }

    // File format, unlocking and locking.
    bool readFromData(const QByteArray& data, const QString& typeName, QString* error) override;
    std::optional<QByteArray> dataOfType(const QString& typeName, QString* error) override;
    std::optional<QByteArrayList> piecesOfType(const QString& typeName, QString* error) override;
    // Encrypts records, categories, captions and creation date into the four encrypted values.
    bool encryptData();
    int Decript() override;
    int decryptDone() override;
    // Asks, then locks.
    void lockDocument();
    // Locks without asking, when the document may be locked.
    void lockAutomatically();
    void doLockDocument();
    // (document file) Closing a document locked with unsaved changes asks before
    // they are thrown away; otherwise as the base decides.
    void canCloseDocument(std::function<void(bool shouldClose)> completion) override;

    // Modes.
    void switchToEditMode();
    void switchToViewMode();
    void switchViewEditMode();

    // Filters.
    void showAllCategory();
    void showAllAndResetFilter();
    void doSearch();
    // The lock: what was searched for is the user's typing, so it leaves the
    // field, the list's filter and the filter strip, wiped where it is ours,
    // and is not back at the unlock.
    void forgetSearch();
    void showSearchInfoView(bool show) override;
    void doSelectCatMenu(const QString& title);

    // Menu validation.
    bool validateMenuItem(QAction* item) override;

    // Captions.
    void editLabelSheet();
    void closeLabelSheet();

    // Categories.
    void editCategoriesSheet();
    void closeCategoriesSheet();
    void addNewCategory();
    void removeCategory();
    void scrollCategoryViewToBottom();
    void categoryWasSet(int index);
    void executePostCategorySet(const DictionaryRef& category);
    void synkNotesWithCategory();
    void setUpCategorySubMenu();
    void synkCategorySubMenu();

    // Records.
    void addRow();
    void duplicateRow();
    void deleteRow();
    // Pushes one undoable step: the record joins the list (a new record, counted already).
    void addTheRecord(const DictionaryRef& record);
    // Inserts a copy just below the selection.
    void duplicateTheRecord(const DictionaryRef& record);
    // Takes a record out of the list.
    void deleteTheRecord(const DictionaryRef& record);
    // No data goes into a document before it has a password: the request to define one.
    void askToInsertPasswordBeforeAddingData();
    // False, after asking for a password, when data may not be added yet; false without asking
    // while locked.
    bool mayAddData();

    // Text import and opening a field of the selected contact.
    void importFromText();
    // The imported records get the categories they name ("categoryNAME"), made when missing.
    void justFinishedImporting() override;
    DocumentImportManager* myImportManager() const { return m_myImportManager.get(); }
    // tag 1..15: the key of the field table of openField; empty for any other tag.
    static QString openFieldKey(int tag);
    void openField(int tag);
    void openUrlWebWork();
    void openUrlWebPersonal();
    bool deleteRowShouldBeEnabled() const;
    // Asks, then deletes the selected contact (undoably).
    void deleteRows();
    // Text export: the exporter the hook makes, kept until the next export or a lock.
    void exportToText();
    DocumentExportManager* myExportManager() const { return m_myExportManager.get(); }

    // The window became the active one (the first time, a new document asks for its password).
    void windowDidBecomeKey(QWidget* window);

    // Redraw helpers.
    void isACompanySwitched();
    void scrollListViewToBottom();
    void scrollToRecord(const DictionaryRef& record);

    // Controller side.
    void markChangeDone() override;

    // Import from an address book (MyDocumentAddressBook.cpp): the desktop's
    // address book where one runs, otherwise vCard files chosen first. The
    // sheet keeps the people it lists beside their rows and imports those;
    // rows and people go when it ends, whichever way.
    void importFromAddressBook();
    void addressBookImportCheckAll();
    void addressBookImportUncheckAll();
    void addressBookImportAll();
    void addressBookImportOnlyChecked();
    void importFromAddressBookCancel();
    void addressBookDoImportOnlyChecked(bool onlyChecked);
    // Lists the people of vCard files in the sheet instead.
    void openVCardFiles();
    AddressBookSheet* abPanel() const;
    AddressBookPeopleController* abPeopleArrayController();

signals:
    void selectedViewChanged(int view);
    void searchTextChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    DocumentWindow* makeWindow() override;
    void windowControllerDidLoadNib(DocumentWindow* window) override;
    QWidget* printableView() const override { return whiteView(); }
    QString fileTooLargeMessage() const override;

private:
    friend class MyDocumentKeyValues;
    friend class RecordStep;
    struct Window;

    void setUpControllers();
    // The window's widgets, or null when there is no window.
    const Ui::MyDocument* liveUi() const;
    void lockStateChanged(bool locked);
    // Lets go of the text importer and exporter, and of the records they hold.
    void releaseExchangeManagers();
    void addCommands(DocumentWindow* window);
    void addAddressBookCommands(DocumentWindow* window);
    void buildToolbar(DocumentWindow* window);
    void buildRecordPane();
    void buildLockedView();
    void applyTableFont();
    void updateRecordPane();
    void updateCategoryChecks();
    void updateRecordCategoryPopup();
    void updateLockedView();
    void updateOpenButtons();
    void announce(const QString& keyPath);

    // The step bodies: the change of the list and what follows it.
    void addTheRecordChange(const DictionaryRef& record, qsizetype contentIndex, bool counted);
    void addTheRecordUndo(const DictionaryRef& record);
    void duplicateTheRecordChange(const DictionaryRef& record, qsizetype contentIndex);
    void duplicateTheRecordUndo(const DictionaryRef& record);
    qsizetype deleteTheRecordChange(const DictionaryRef& record);
    void deleteTheRecordUndo(const DictionaryRef& record, qsizetype contentIndex);

    // Controllers (owned by the document, through Qt's parenting).
    FilteringArrayController* m_myArrayController = nullptr;
    ArrayController* m_myAllArrayController = nullptr;
    QvColoredCategoryArrayController* m_myCategoryArrayController = nullptr;
    ArrayController* m_categoryArrayControllerForMenu = nullptr;
    MyDocumentKeyValues* m_keyValues = nullptr;
    std::unique_ptr<QvVSplitViewDelegate> m_mySplitViewDelegate;
    // The window's widgets; null until the window is built.
    std::unique_ptr<Window> m_window;
    // The text import while it runs; it holds the records and the file's rows in clear.
    std::unique_ptr<DocumentImportManager> m_myImportManager;
    AddressBookImportState* m_addressBookImport = nullptr; // a child, made at first use

    // State.
    // The category the list is filtered by, so that the filter follows its renames.
    std::weak_ptr<Dictionary> m_filteredCategory;
    int m_selectedView = ViewModeView;
    QString m_searchText;
    QString m_searchCategory;
    QString m_searchPredicate;
    bool m_prevFilterInaction = false;
    bool m_requiresMandatoryPassword = true;
    QColor m_properTextColor;
    ArrayRef m_myArray;
    ArrayRef m_myCategoryArray;
    DictionaryRef m_myLabelDictionary;
    ArrayRef m_abPeopleArray;
    ArrayRef m_arrayForImport;
    ArrayRef m_arrayForExport;
    Value m_documentCreationDate;
    std::unique_ptr<DocumentExportManager> m_myExportManager;

    // The file's values.
    quint64 m_myOpeningDocumentVersion = 0;
    QString m_fileDocRelease;
    QvCrypto m_myCryptoEngine;
    std::unique_ptr<QvCommonCrypto> m_myCommonCrypto;
    QByteArray m_mySalt;
    QByteArray m_myIV;
    QByteArray m_myRCDataEncrypted;
    QByteArray m_mySha1_RcData;
    QByteArray m_myEncryptedArrayData;
    QByteArray m_myEncryptedCategoryArrayData;
    QByteArray m_myEncryptedDocumentCreationDateData;
    QByteArray m_myEncriptedLabelDictionaryData;
    ArrayRef m_myEncryptedArray;
    ArrayRef m_myEncryptedCategoryArray;
    DictionaryRef m_myEncriptedLabelDictionary;
    DictionaryRef m_OSXPlatformDictionary;
    DictionaryRef m_myiOSPlatformDictionary;
    bool m_YouCanSave = true;
    bool m_makeToolbarVisibleAtDecrypt = false;
    bool m_useMyWinRect = false;
    QRectF m_myWinRectToUse;
};

// The document as bindings see it (the document itself is no Observable: it
// is a Document already).
class MyDocumentKeyValues : public Observable {
    Q_OBJECT
public:
    explicit MyDocumentKeyValues(MyDocument* document);

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

private:
    friend class MyDocument;
    MyDocument* m_document;
};
