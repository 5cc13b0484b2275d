// The order in which an address book's people are listed.
#include "platform/AddressBook.h"

#include <gtest/gtest.h>

namespace {

AddressBookPerson person(const char* first, const char* last, const char* organization = "")
{
    AddressBookPerson p;
    p.firstName = QString::fromUtf8(first);
    p.lastName = QString::fromUtf8(last);
    p.organization = QString::fromUtf8(organization);
    return p;
}

QStringList order(QList<AddressBookPerson> people)
{
    sortPeopleByName(people);
    QStringList names;
    for (const AddressBookPerson& p : people)
        names.append(p.firstName + u'|' + p.lastName + u'|' + p.organization);
    return names;
}

TEST(AddressBookOrder, EachIsFiledUnderTheFirstOfLastNameFirstNameAndCompany)
{
    // A first name alone or a company alone is filed among the last names.
    EXPECT_EQ(order({person("Zed", "Young"), person("Mia", ""), person("", "", "Acme"), person("Bo", "Lund"),
                     person("", "Nilsson")}),
              (QStringList{"||Acme", "Bo|Lund|", "Mia||", "|Nilsson|", "Zed|Young|"}));
    // Equal keys: last name, first name, then company settle it, whatever the case.
    EXPECT_EQ(order({person("Ann", "lee", "B"), person("Ann", "Lee", "A"), person("", "", "Lee"), person("Lee", ""),
                     person("ann", "Lee")}),
              (QStringList{"||Lee", "Lee||", "ann|Lee|", "Ann|Lee|A", "Ann|lee|B"}));
}

} // namespace
