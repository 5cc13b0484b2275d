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
    // Each is filed under the first of last name, first name and company that
    // it has: one with only a first name or a company does not come before
    // every last name. The three in turn then settle what that leaves equal.
    const auto filedUnder = [](const AddressBookPerson& p) -> const QString& {
        return !p.lastName.isEmpty() ? p.lastName : !p.firstName.isEmpty() ? p.firstName : p.organization;
    };
    std::stable_sort(people.begin(), people.end(), [&](const AddressBookPerson& a, const AddressBookPerson& b) {
        if (const int order = collator.compare(filedUnder(a), filedUnder(b)))
            return order < 0;
        for (const QString AddressBookPerson::*part :
             {&AddressBookPerson::lastName, &AddressBookPerson::firstName, &AddressBookPerson::organization})
            if (const int order = collator.compare(a.*part, b.*part))
                return order < 0;
        return false;
    });
}
