// Importing people of an address book: the sheet that lists them with a check
// box each, and the records made of the people chosen.
#include "document/AddressBookImport.h"
#include "document/FilteringArrayController.h"
#include "document/MyDocument.h"
#include "platform/Alert.h"
#include "platform/DocumentWindow.h"
#include "platform/FileChooser.h"
#include "platform/Sheet.h"
#include "platform/VCardReader.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>

#include <unordered_map>

// The rows' controller, the sheet while it is up and the people beside their rows.
class AddressBookImportState : public QObject {
public:
    explicit AddressBookImportState(MyDocument* document)
        : QObject(document), controller(new AddressBookPeopleController(this))
    {
    }

    // Shows these people in place of any listed before.
    void list(MyDocument& document, const QString& source, AddressBookPeople&& found)
    {
        clear(document);
        const ArrayRef rows = document.abPeopleArray();
        rows->reserve(found.people.size());
        people.reserve(static_cast<std::size_t>(found.people.size()));
        for (AddressBookPerson& person : found.people) {
            DictionaryRef row = AddressBookMapping::rowFor(person);
            people.emplace(row.get(), std::move(person));
            rows->addObject(Value(std::move(row)));
        }
        controller->setContent(rows);
        if (sheet) {
            sheet->sourceLabel()->setText(source);
            sheet->skippedLabel()->setVisible(found.skippedCards > 0);
            sheet->skippedLabel()->setText(
                found.skippedCards == 1
                    ? MyDocument::tr("One damaged card was left out.")
                    : MyDocument::tr("%1 damaged cards were left out.").arg(found.skippedCards));
        }
    }

    void clear(MyDocument& document)
    {
        people.clear();
        if (const ArrayRef rows = document.abPeopleArray())
            rows->removeAllObjects();
        controller->setFilterText(QString());
        controller->setContent(document.abPeopleArray());
    }

    AddressBookPeopleController* controller;
    QPointer<AddressBookSheet> sheet;
    std::unordered_map<const Dictionary*, AddressBookPerson> people;
};

namespace {

// The people of every file, or the first file that cannot be read and why.
struct FilesRead {
    AddressBookPeople found;
    QString source;
    QString failedFile;
};

FilesRead readVCardFiles(const QStringList& paths)
{
    FilesRead read;
    for (const QString& path : paths) {
        AddressBookPeople one = VCardReader::readFile(path);
        if (!one.ok()) {
            read.failedFile = QFileInfo(path).fileName();
            read.found = std::move(one);
            return read;
        }
        read.found.people.append(std::move(one.people));
        read.found.skippedCards += one.skippedCards;
    }
    read.source = paths.size() == 1
        ? MyDocument::tr("People of “%1”").arg(QFileInfo(paths.first()).fileName())
        : MyDocument::tr("People of %1 vCard files").arg(paths.size());
    return read;
}

void tellFileFailed(QWidget* window, const FilesRead& read)
{
    const Alert alert(MyDocument::tr("The file “%1” could not be imported.").arg(read.failedFile), read.found.error,
                      {MyDocument::tr("OK")}, Alert::WarningStyle);
    alert.beginSheetModalForWindow(window, [](int) {});
}

void chooseVCardFiles(QWidget* window, std::function<void(const QStringList&)> chosen)
{
    FileChooserOptions options;
    options.title = MyDocument::tr("Open vCard Files");
    options.typeDescription = MyDocument::tr("vCard Files");
    options.allowedExtensions = VCardReader::fileExtensions();
    options.allowsMultipleSelection = true;
    FileChooser::chooseToOpen(window, options, std::move(chosen));
}

} // namespace

AddressBookPeopleController* MyDocument::abPeopleArrayController()
{
    if (!m_addressBookImport) {
        m_addressBookImport = new AddressBookImportState(this);
        m_addressBookImport->controller->setContent(m_abPeopleArray);
    }
    return m_addressBookImport->controller;
}

AddressBookSheet* MyDocument::abPanel() const { return m_addressBookImport ? m_addressBookImport->sheet : nullptr; }

void MyDocument::addAddressBookCommands(DocumentWindow* window)
{
    QPointer<MyDocument> guard(this);
    QAction* action = window->addCommand(nullptr, QStringLiteral("importFromAddressBook"),
                                         tr("Import from Address &Book…"), {}, [guard] {
                                             if (guard)
                                                 guard->importFromAddressBook();
                                         });
    QMenu* file = window->fileMenu();
    QAction* before = window->command(QStringLiteral("runPageLayout"));
    file->insertAction(before, action);
    file->insertSeparator(before);
}

void MyDocument::importFromAddressBook()
{
    if (!isDecrypted() || abPanel() || !mayAddData())
        return;
    abPeopleArrayController();
    QPointer<MyDocument> guard(this);
    auto begin = [guard](const QString& source, AddressBookPeople&& found) {
        MyDocument* self = guard.data();
        AddressBookImportState* state = self->m_addressBookImport;
        auto* sheet = new AddressBookSheet(self->windowForSheet());
        state->sheet = sheet;
        auto* model = new AddressBookPeopleModel(state->controller, sheet);
        QTableView* table = sheet->peopleTable();
        table->setModel(model);
        QHeaderView* header = table->horizontalHeader();
        header->setSectionResizeMode(AddressBookPeopleModel::ImportColumn, QHeaderView::ResizeToContents);
        header->setSectionResizeMode(AddressBookPeopleModel::NameColumn, QHeaderView::Stretch);
        header->setSectionResizeMode(AddressBookPeopleModel::SurnameColumn, QHeaderView::Stretch);
        connect(sheet->checkAllButton(), &QPushButton::clicked, self, &MyDocument::addressBookImportCheckAll);
        connect(sheet->uncheckAllButton(), &QPushButton::clicked, self, &MyDocument::addressBookImportUncheckAll);
        connect(sheet->cancelButton(), &QPushButton::clicked, self, &MyDocument::importFromAddressBookCancel);
        connect(sheet->importAllButton(), &QPushButton::clicked, self, &MyDocument::addressBookImportAll);
        connect(sheet->importCheckedButton(), &QPushButton::clicked, self, &MyDocument::addressBookImportOnlyChecked);
        connect(sheet->openFilesButton(), &QPushButton::clicked, self, &MyDocument::openVCardFiles);
        // Space checks or unchecks the current row, whichever column has the focus.
        auto* toggle = new QShortcut(QKeySequence(Qt::Key_Space), table, nullptr, nullptr, Qt::WidgetShortcut);
        connect(toggle, &QShortcut::activated, table, [table, controller = state->controller] {
            const int row = table->currentIndex().row();
            if (const DictionaryRef shown = controller->arrangedObjectAt(row))
                controller->setRowChecked(row, !shown->objectForKey(AddressBookMapping::kImport).boolValue());
        });
        connect(sheet->searchField(), &QLineEdit::textChanged, state->controller,
                &AddressBookPeopleController::setFilterText);
        // Nothing read from the book goes into a document that locks meanwhile.
        connect(self, &QvCryptoDoc::isEncryptedChanged, sheet, [sheet](bool locked) {
            if (locked)
                Sheet::end(sheet, Alert::ModalResponseAbort);
        });
        state->list(*self, source, std::move(found));

        Sheet::Options options;
        options.deleteWhenEnded = true;
        QPointer<AddressBookImportState> alive(state);
        Sheet::begin(sheet, self->windowForSheet(), [guard, alive](int) {
            // The dialog goes later; it is no longer the sheet now.
            if (alive)
                alive->sheet = nullptr;
            if (guard && alive)
                alive->clear(*guard);
        }, std::move(options));
        sheet->searchField()->setFocus(Qt::OtherFocusReason);
    };

    AddressBook& book = AddressBook::shared();
    if (book.isAvailable()) {
        AddressBookPeople found = book.people();
        if (!found.ok()) {
            presentError(tr("The desktop address book could not be read."), found.error);
            return;
        }
        begin(tr("People of %1").arg(book.displayName()), std::move(found));
        return;
    }
    // Without a desktop address book there are vCard files to choose first.
    chooseVCardFiles(windowForSheet(), [guard, begin](const QStringList& paths) {
        if (!guard || paths.isEmpty() || !guard->isDecrypted() || guard->abPanel())
            return;
        FilesRead read = readVCardFiles(paths);
        if (!read.failedFile.isEmpty()) {
            tellFileFailed(guard->windowForSheet(), read);
            return;
        }
        begin(read.source, std::move(read.found));
    });
}

void MyDocument::openVCardFiles()
{
    AddressBookSheet* sheet = abPanel();
    if (!sheet) {
        importFromAddressBook();
        return;
    }
    // A chooser on the document window would wait for this sheet to end: it
    // goes on the sheet.
    QPointer<MyDocument> guard(this);
    QPointer<AddressBookSheet> shown(sheet);
    chooseVCardFiles(sheet, [guard, shown](const QStringList& paths) {
        if (!guard || !shown || paths.isEmpty() || guard->abPanel() != shown)
            return;
        FilesRead read = readVCardFiles(paths);
        if (!read.failedFile.isEmpty()) {
            tellFileFailed(shown, read);
            return;
        }
        guard->m_addressBookImport->list(*guard, read.source, std::move(read.found));
    });
}

void MyDocument::addressBookImportCheckAll() { abPeopleArrayController()->setArrangedChecked(true); }

void MyDocument::addressBookImportUncheckAll() { abPeopleArrayController()->setArrangedChecked(false); }

void MyDocument::addressBookImportAll() { addressBookDoImportOnlyChecked(false); }

void MyDocument::addressBookImportOnlyChecked() { addressBookDoImportOnlyChecked(true); }

void MyDocument::importFromAddressBookCancel()
{
    if (AddressBookSheet* sheet = abPanel())
        Sheet::end(sheet, Alert::ModalResponseCancel);
}

void MyDocument::addressBookDoImportOnlyChecked(bool onlyChecked)
{
    AddressBookSheet* sheet = abPanel();
    if (!sheet)
        return;
    if (isDecrypted()) {
        const std::vector<Value> rows = m_abPeopleArray->objects();
        const auto& people = m_addressBookImport->people;
        // The window follows the list once, after the last record: redrawing a
        // long list for each of many records took seconds.
        QSignalBlocker quiet(m_myArrayController);
        bool added = false;
        for (const Value& value : rows) {
            const DictionaryRef row = value.dictionary();
            if (!row || (onlyChecked && !row->objectForKey(AddressBookMapping::kImport).boolValue()))
                continue;
            const auto person = people.find(row.get());
            if (person == people.end())
                continue;
            const DictionaryRef record = m_myArrayController->newObject();
            AddressBookMapping::fillRecord(record, person->second);
            markChangeDone();
            m_myArrayController->addObject(record);
            added = true;
        }
        if (added) {
            quiet.unblock();
            // The records are arranged already: the list shows them at its end.
            m_myArrayController->arrangeAppendedObjects();
        }
    }
    Sheet::end(sheet, Alert::ModalResponseOK);
}
