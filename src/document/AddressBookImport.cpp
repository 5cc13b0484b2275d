#include "document/AddressBookImport.h"

#include "document/DocumentStyle.h"
#include "platform/WindowSize.h"
#include "ui_AddressBookSheet.h"

#include <QFont>

namespace AddressBookMapping {

const QString kImport = QStringLiteral("import");
const QString kName = QStringLiteral("name");
const QString kSurname = QStringLiteral("surname");
const QString kCompany = QStringLiteral("company");

DictionaryRef rowFor(const AddressBookPerson& person)
{
    return Dictionary::create({
        {kImport, Value::boolean(false)},
        {kName, Value(person.firstName.isEmpty() ? QStringLiteral("") : person.firstName)},
        {kSurname, Value(person.lastName.isEmpty() ? QStringLiteral("") : QStringLiteral(" %1").arg(person.lastName))},
        {kCompany, Value(person.organization.isEmpty() ? QStringLiteral("") : person.organization)},
    });
}

QString firstValue(const QList<LabelledValue<QString>>& values, const QString& label)
{
    for (const LabelledValue<QString>& value : values)
        if (value.label == label)
            return value.value;
    return {};
}

const AddressBookAddress* firstAddress(const QList<LabelledValue<AddressBookAddress>>& values, const QString& label)
{
    for (const LabelledValue<AddressBookAddress>& value : values)
        if (value.label == label)
            return &value.value;
    return nullptr;
}

QString composeAddress(const AddressBookAddress& address)
{
    // Only the parts there are: a city alone is the city, not ", city".
    QStringList parts;
    for (const QString* part : {&address.street, &address.zip, &address.city, &address.state, &address.country})
        if (!part->isEmpty())
            parts.append(*part);
    return parts.join(QStringLiteral(", "));
}

namespace {

void setOrRemove(const DictionaryRef& record, const QString& key, const QString& value)
{
    if (value.isEmpty())
        record->removeObjectForKey(key);
    else
        record->setObject(Value(value), key);
}

void setWhenFound(const DictionaryRef& record, const QString& key, const QString& value)
{
    if (!value.isNull())
        record->setObject(Value(value), key);
}

int lengthOf(const Dictionary& record, const QString& key)
{
    const Value value = record.objectForKey(key);
    return value.isString() ? static_cast<int>(value.stringValue().size()) : 0;
}

} // namespace

void fillRecord(const DictionaryRef& record, const AddressBookPerson& person)
{
    static const QString firstName = QStringLiteral("firstName");
    static const QString lastName = QStringLiteral("lastName");
    setOrRemove(record, firstName, person.firstName);
    setOrRemove(record, lastName, person.lastName);
    setOrRemove(record, kCompany, person.organization);
    if (lengthOf(*record, kCompany) > 0 && lengthOf(*record, firstName) == 0 && lengthOf(*record, lastName) == 0)
        record->setObject(Value::int32(1), QStringLiteral("isCompany"));

    setWhenFound(record, QStringLiteral("phonePersonal"), firstValue(person.phones, AddressBook::kPhoneHomeLabel));
    setWhenFound(record, QStringLiteral("phoneWork"), firstValue(person.phones, AddressBook::kPhoneWorkLabel));
    setWhenFound(record, QStringLiteral("faxPersonal"), firstValue(person.phones, AddressBook::kPhoneHomeFAXLabel));
    setWhenFound(record, QStringLiteral("faxWork"), firstValue(person.phones, AddressBook::kPhoneWorkFAXLabel));
    setWhenFound(record, QStringLiteral("mobile"), firstValue(person.phones, AddressBook::kPhoneMobileLabel));

    const AddressBookAddress* home = firstAddress(person.addresses, AddressBook::kAddressHomeLabel);
    record->setObject(Value(home ? composeAddress(*home) : QStringLiteral("")), QStringLiteral("addressPersonal"));
    const AddressBookAddress* work = firstAddress(person.addresses, AddressBook::kAddressWorkLabel);
    record->setObject(Value(work ? composeAddress(*work) : QStringLiteral("")), QStringLiteral("addressWork"));

    setWhenFound(record, QStringLiteral("emailPersonal"), firstValue(person.emails, AddressBook::kEmailHomeLabel));
    setWhenFound(record, QStringLiteral("emailWork"), firstValue(person.emails, AddressBook::kEmailWorkLabel));
    setOrRemove(record, QStringLiteral("note"), person.note);
    setWhenFound(record, QStringLiteral("webPersonal"), firstValue(person.urls, AddressBook::kHomePageLabel));
}

} // namespace AddressBookMapping

// The rows' controller

using namespace AddressBookMapping;

void AddressBookPeopleController::setFilterText(const QString& text)
{
    m_filterText = text;
    rearrangeObjects();
}

bool AddressBookPeopleController::passes(const Dictionary& row) const
{
    if (m_filterText.isEmpty())
        return true;
    for (const QString* key : {&kName, &kSurname, &kCompany})
        if (row.objectForKey(*key).stringValue().contains(m_filterText, Qt::CaseInsensitive))
            return true;
    return false;
}

std::vector<DictionaryRef> AddressBookPeopleController::arrangeObjects(std::vector<DictionaryRef> rows)
{
    if (m_filterText.isEmpty())
        return rows;
    std::vector<DictionaryRef> shown;
    for (DictionaryRef& row : rows)
        if (passes(*row))
            shown.push_back(std::move(row));
    return shown;
}

bool AddressBookPeopleController::arrangementAcceptsAppended(const DictionaryRef& row) { return passes(*row); }

void AddressBookPeopleController::setArrangedChecked(bool checked)
{
    for (const DictionaryRef& row : arrangedObjects())
        row->setObject(Value::boolean(checked), kImport);
    emit rowsEdited();
}

void AddressBookPeopleController::setRowChecked(qsizetype arrangedIndex, bool checked)
{
    if (const DictionaryRef row = arrangedObjectAt(arrangedIndex)) {
        row->setObject(Value::boolean(checked), kImport);
        emit rowsEdited();
    }
}

qsizetype AddressBookPeopleController::checkedCount() const
{
    qsizetype checked = 0;
    for (const Value& row : content()->objects())
        checked += row.dictionary() && row.dictionary()->objectForKey(kImport).boolValue();
    return checked;
}

// The table

AddressBookPeopleModel::AddressBookPeopleModel(AddressBookPeopleController* controller, QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller)
{
    connect(controller, &Observable::valueChangedForKeyPath, this, [this](const QString& keyPath) {
        if (keyPath == QLatin1String("arrangedObjects")) {
            beginResetModel();
            endResetModel();
        }
    });
    connect(controller, &AddressBookPeopleController::rowsEdited, this, [this] {
        if (rowCount() > 0)
            emit dataChanged(index(0, ImportColumn), index(rowCount() - 1, ImportColumn), {Qt::CheckStateRole});
    });
}

int AddressBookPeopleModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_controller ? 0 : static_cast<int>(m_controller->arrangedCount());
}

int AddressBookPeopleModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant AddressBookPeopleModel::data(const QModelIndex& index, int role) const
{
    const DictionaryRef row = m_controller ? m_controller->arrangedObjectAt(index.row()) : nullptr;
    if (!row)
        return {};
    const QString name = row->objectForKey(kName).stringValue();
    const QString surname = row->objectForKey(kSurname).stringValue();
    const bool company = name.isEmpty() && surname.isEmpty();
    switch (index.column()) {
    case ImportColumn:
        if (role == Qt::CheckStateRole)
            return row->objectForKey(kImport).boolValue() ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::AccessibleTextRole)
            return tr("Import");
        break;
    case NameColumn:
        if (role == Qt::DisplayRole)
            return company ? row->objectForKey(kCompany).stringValue() : name;
        if (role == Qt::FontRole && company) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        break;
    case SurnameColumn:
        if (role == Qt::DisplayRole)
            return surname;
        break;
    default:
        break;
    }
    return {};
}

bool AddressBookPeopleModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!m_controller || index.column() != ImportColumn || role != Qt::CheckStateRole)
        return false;
    m_controller->setRowChecked(index.row(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags AddressBookPeopleModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ImportColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant AddressBookPeopleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ImportColumn:
        return tr("Import");
    case NameColumn:
        return tr("Name");
    case SurnameColumn:
        return tr("Surname");
    default:
        return {};
    }
}

// The sheet

AddressBookSheet::AddressBookSheet(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::AddressBookSheet>())
{
    m_ui->setupUi(this);
    DocumentStyle::setHeading(m_ui->titleLabel, 1.2);
    DocumentStyle::setSecondary(m_ui->skippedLabel);
    m_ui->skippedLabel->hide();
    WindowSize::fitToLayout(this);
}

AddressBookSheet::~AddressBookSheet() = default;

QLabel* AddressBookSheet::sourceLabel() const { return m_ui->sourceLabel; }
QLabel* AddressBookSheet::skippedLabel() const { return m_ui->skippedLabel; }
QLineEdit* AddressBookSheet::searchField() const { return m_ui->searchField; }
QTableView* AddressBookSheet::peopleTable() const { return m_ui->peopleTable; }
QPushButton* AddressBookSheet::openFilesButton() const { return m_ui->openFilesButton; }
QPushButton* AddressBookSheet::checkAllButton() const { return m_ui->checkAllButton; }
QPushButton* AddressBookSheet::uncheckAllButton() const { return m_ui->uncheckAllButton; }
QPushButton* AddressBookSheet::cancelButton() const { return m_ui->cancelButton; }
QPushButton* AddressBookSheet::importAllButton() const { return m_ui->importAllButton; }
QPushButton* AddressBookSheet::importCheckedButton() const { return m_ui->importCheckedButton; }
