#include "platform/AddressBook.h"

#include <QCollator>

#include <algorithm>
#include <atomic>

const QString AddressBook::kPhoneHomeLabel = QStringLiteral("home");
const QString AddressBook::kPhoneWorkLabel = QStringLiteral("work");
const QString AddressBook::kPhoneHomeFAXLabel = QStringLiteral("home fax");
const QString AddressBook::kPhoneWorkFAXLabel = QStringLiteral("work fax");
const QString AddressBook::kPhoneMobileLabel = QStringLiteral("mobile");
const QString AddressBook::kAddressHomeLabel = QStringLiteral("home");
const QString AddressBook::kAddressWorkLabel = QStringLiteral("work");
const QString AddressBook::kEmailHomeLabel = QStringLiteral("home");
const QString AddressBook::kEmailWorkLabel = QStringLiteral("work");
const QString AddressBook::kHomePageLabel = QStringLiteral("home page");
const QString AddressBook::kOtherLabel = QStringLiteral("other");

namespace {
// Where no desktop address book can be reached, there is none.
class NoAddressBook : public AddressBook {
public:
    bool isAvailable() override { return false; }
    QString displayName() const override { return {}; }
    AddressBookPeople people() override { return {}; }
};

std::atomic<AddressBook*>& desktopBook()
{
    static std::atomic<AddressBook*> book{nullptr};
    return book;
}
} // namespace

AddressBook& AddressBook::production()
{
    if (AddressBook* book = desktopBook().load())
        return *book;
    static NoAddressBook none;
    return none;
}

void AddressBook::setDesktopAddressBook(AddressBook* book) { desktopBook().store(book); }

bool AddressBook::desktopSupportBuilt() { return CALVORIN_HAVE_EBOOK != 0; }

void sortPeopleByName(QList<AddressBookPerson>& people)
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(people.begin(), people.end(), [&](const AddressBookPerson& a, const AddressBookPerson& b) {
        // A company without a person's name is filed under its name.
        const QString& lastA = a.lastName.isEmpty() && a.firstName.isEmpty() ? a.organization : a.lastName;
        const QString& lastB = b.lastName.isEmpty() && b.firstName.isEmpty() ? b.organization : b.lastName;
        if (const int order = collator.compare(lastA, lastB))
            return order < 0;
        return collator.compare(a.firstName, b.firstName) < 0;
    });
}
