#pragma once
#include "platform/Seam.h"

#include <QList>
#include <QString>

// The people of an address book, read-only: the desktop's address book where
// one runs, vCard files otherwise (both through the one vCard reader, so one
// mapping serves them).
//
//   +[ABAddressBook sharedAddressBook]   ->  AddressBook::shared()
//   -[ABAddressBook people]              ->  AddressBook::people()
//   valueForProperty: (single values)    ->  the string fields of AddressBookPerson; an empty
//                                            string is no value
//   kABPhoneProperty ... kABURLsProperty ->  phones, addresses, emails, urls: multi-values as
//                                            lists of labelled values, in the card's order
//   labelAtIndex: / valueAtIndex:        ->  LabelledValue::label / value
//   kABAddressStreetKey ... CountryKey   ->  AddressBookAddress::street ... country
//   kABPhoneHomeLabel ...                ->  AddressBook::kPhoneHomeLabel ...; any other label is
//                                            AddressBook::kOtherLabel

struct AddressBookAddress {
    QString street; // post-office box, extended address and street, one a line
    QString zip;
    QString city;
    QString state;
    QString country;
};

template <class T>
struct LabelledValue {
    QString label;
    T value;
};

struct AddressBookPerson {
    QString firstName;
    QString lastName;
    QString organization;
    QString note;
    QList<LabelledValue<QString>> phones;
    QList<LabelledValue<QString>> emails;
    QList<LabelledValue<QString>> urls;
    QList<LabelledValue<AddressBookAddress>> addresses;
};

// What reading a source gave: its people in order, how many cards were damaged
// and left out, or (people empty) the reason nothing could be read.
struct AddressBookPeople {
    QList<AddressBookPerson> people;
    int skippedCards = 0;
    QString error; // empty on success
    bool ok() const { return error.isEmpty(); }
};

class AddressBook {
public:
    // Labels: the home ones are one text, as are the work ones, whatever the property.
    static const QString kPhoneHomeLabel;
    static const QString kPhoneWorkLabel;
    static const QString kPhoneHomeFAXLabel;
    static const QString kPhoneWorkFAXLabel;
    static const QString kPhoneMobileLabel;
    static const QString kAddressHomeLabel;
    static const QString kAddressWorkLabel;
    static const QString kEmailHomeLabel;
    static const QString kEmailWorkLabel;
    static const QString kHomePageLabel;
    static const QString kOtherLabel;

    virtual ~AddressBook() = default;
    // Whether the desktop's address book answers; without it, only vCard files are offered.
    virtual bool isAvailable() = 0;
    // Names the source above the list of its people.
    virtual QString displayName() const = 0;
    // The people, ordered as sortPeopleByName orders them.
    virtual AddressBookPeople people() = 0;

    static AddressBook& shared() { return Seam<AddressBook>::current(); }
    // The desktop's address book that the application installed, or one that is never available.
    static AddressBook& production();
    // The application installs the desktop's book (EdsAddressBook.h) where the build has one.
    static void setDesktopAddressBook(AddressBook* book);
    // Whether this build can reach the desktop's address book at all.
    static bool desktopSupportBuilt();
};

// For tests: a book of given people, installed while it lives.
class MemoryAddressBook : public AddressBook {
public:
    explicit MemoryAddressBook(QList<AddressBookPerson> people = {}, bool available = true)
        : m_people(std::move(people)), m_available(available), m_install(this)
    {
    }
    void setPeople(QList<AddressBookPerson> people) { m_people = std::move(people); }
    void setAvailable(bool available) { m_available = available; }

    bool isAvailable() override { return m_available; }
    QString displayName() const override { return QStringLiteral("Test Address Book"); }
    AddressBookPeople people() override
    {
        ++reads;
        return {m_people, 0, {}};
    }

    int reads = 0;

private:
    QList<AddressBookPerson> m_people;
    bool m_available;
    ScopedSeam<AddressBook> m_install;
};

// Sorts people as a person reads a list: by the first of last name, first name
// and company that each has, then by last name, first name and company.
void sortPeopleByName(QList<AddressBookPerson>& people);
