#pragma once
// The pieces of the import from an address book that the document's commands
// use: the mapping from a person to a contact record, the rows of the sheet
// and their controller, the sheet itself and its table.
//
// A row of the sheet is a dictionary of "import" (its check box), "name" (the
// first name or "") and "surname" (" " and the last name, or ""), and
// "company" (the organization, shown only for a row without a name, so that a
// company is not a blank line).

#include "document/ArrayController.h"
#include "platform/AddressBook.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
namespace Ui {
class AddressBookSheet;
}

namespace AddressBookMapping {
extern const QString kImport;  // "import"
extern const QString kName;    // "name"
extern const QString kSurname; // "surname"
extern const QString kCompany; // "company"

// The sheet's row for a person, unchecked.
DictionaryRef rowFor(const AddressBookPerson& person);
// Fills a new record (as newObject made it) from a person.
void fillRecord(const DictionaryRef& record, const AddressBookPerson& person);
// The parts of an address that it has, in the order street, ZIP code, city,
// state, country, joined with ", "; "" for none.
QString composeAddress(const AddressBookAddress& address);
// The value of the first entry with exactly this label, or null.
const AddressBookAddress* firstAddress(const QList<LabelledValue<AddressBookAddress>>& values, const QString& label);
QString firstValue(const QList<LabelledValue<QString>>& values, const QString& label);
} // namespace AddressBookMapping

// The rows of the sheet, narrowed by the sheet's search text (which Check All
// and Uncheck All follow).
class AddressBookPeopleController : public ArrayController {
    Q_OBJECT
public:
    using ArrayController::ArrayController;

    QString filterText() const { return m_filterText; }
    // Rearranges.
    void setFilterText(const QString& text);
    // Sets "import" on every arranged row.
    void setArrangedChecked(bool checked);
    void setRowChecked(qsizetype arrangedIndex, bool checked);
    qsizetype checkedCount() const;

signals:
    void rowsEdited();

protected:
    std::vector<DictionaryRef> arrangeObjects(std::vector<DictionaryRef> rows) override;
    bool arrangementAcceptsAppended(const DictionaryRef& row) override;

private:
    bool passes(const Dictionary& row) const;

    QString m_filterText;
};

// The sheet's table: a check box, the name and the surname of each arranged row.
class AddressBookPeopleModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ImportColumn = 0, NameColumn = 1, SurnameColumn = 2, ColumnCount = 3 };

    explicit AddressBookPeopleModel(AddressBookPeopleController* controller, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPointer<AddressBookPeopleController> m_controller;
};

// The sheet: it holds no logic; the document answers its buttons.
class AddressBookSheet : public QDialog {
    Q_OBJECT
public:
    explicit AddressBookSheet(QWidget* parent = nullptr);
    ~AddressBookSheet() override;

    QLabel* sourceLabel() const;
    QLabel* skippedLabel() const;
    QLineEdit* searchField() const;
    QTableView* peopleTable() const;
    QPushButton* openFilesButton() const;
    QPushButton* checkAllButton() const;
    QPushButton* uncheckAllButton() const;
    QPushButton* cancelButton() const;
    QPushButton* importAllButton() const;
    QPushButton* importCheckedButton() const;

private:
    std::unique_ptr<Ui::AddressBookSheet> m_ui;
};
