// The desktop's address book for real: its services on a bus of the test's
// own; the test writes three contacts into the personal book, and the
// document lists and imports them through the production source.
#include <libebook/libebook.h>

#include "../test_document_fixture.h"

#include "document/AddressBookImport.h"
#include "document/RecordTableModel.h"
#include "platform/EdsAddressBook.h"

#include <QFile>

namespace {

const char* const kCards[] = {
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nTEL;TYPE=CELL:+1 555 0100\r\n"
    "EMAIL;TYPE=WORK:ann@work.example\r\nADR;TYPE=HOME:;;1 Main St;Springfield;;62701;\r\nEND:VCARD",
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Ek;Bo;;;\r\nFN:Bo Ek\r\nTEL;TYPE=HOME,FAX:+46 8 123\r\nNOTE:Line one\\nline two\r\n"
    "END:VCARD",
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Acme Widgets\r\nORG:Acme Widgets;\r\nTEL;TYPE=WORK:+1 555 0200\r\nEND:VCARD",
};

// Why the test cannot run here, or nothing.
QString missing()
{
    if (!AddressBook::desktopSupportBuilt())
        return QStringLiteral("built without libebook-1.2");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QStringLiteral("no session bus of its own (dbus-run-session is missing)");
    for (const char* service : {"Sources5", "AddressBook10"})
        if (!QFile::exists(QStringLiteral("/usr/share/dbus-1/services/org.gnome.evolution.dataserver.%1.service")
                               .arg(QLatin1String(service))))
            return QStringLiteral("the address-book services are not installed (evolution-data-server)");
    return {};
}

// Writes the cards into the built-in personal book, as another program would.
::testing::AssertionResult writeContacts()
{
    GError* error = nullptr;
    ESourceRegistry* registry = e_source_registry_new_sync(nullptr, &error);
    if (!registry)
        return ::testing::AssertionFailure() << "registry: " << error->message;
    ESource* source = e_source_registry_ref_builtin_address_book(registry);
    // No waiting for a network: the book is on this computer.
    EClient* client = e_book_client_connect_sync(source, static_cast<guint32>(-1), nullptr, &error);
    g_object_unref(source);
    g_object_unref(registry);
    if (!client)
        return ::testing::AssertionFailure() << "connect: " << error->message;
    GSList* contacts = nullptr;
    for (const char* card : kCards)
        contacts = g_slist_append(contacts, e_contact_new_from_vcard(card));
    const gboolean added = e_book_client_add_contacts_sync(E_BOOK_CLIENT(client), contacts, E_BOOK_OPERATION_FLAG_NONE,
                                                           nullptr, nullptr, &error);
    g_slist_free_full(contacts, g_object_unref);
    g_object_unref(client);
    if (!added)
        return ::testing::AssertionFailure() << "add: " << error->message;
    return ::testing::AssertionSuccess();
}

class DesktopAddressBookTest : public ContactsDocumentTest {};

TEST_F(DesktopAddressBookTest, ListsAndImportsTheContactsOfThePersonalBook)
{
    if (const QString why = missing(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    ASSERT_TRUE(writeContacts());

    // As the application does.
    AddressBook::setDesktopAddressBook(&edsAddressBook());
    AddressBook& book = AddressBook::shared();
    ASSERT_TRUE(book.isAvailable());
    const AddressBookPeople listed = book.people();
    ASSERT_TRUE(listed.ok()) << listed.error.toStdString();
    QStringList names;
    for (const AddressBookPerson& person : listed.people)
        names.append(person.lastName + u',' + person.firstName + u',' + person.organization);
    // By last name, a company by its name.
    EXPECT_EQ(names, (QStringList{",,Acme Widgets", "Ek,Bo,", "Lee,Ann,"}));

    MyDocument* document = newDocument();
    settle();
    document->importFromAddressBook();
    settle();
    ASSERT_NE(document->abPanel(), nullptr);
    EXPECT_EQ(document->abPeopleArray()->count(), 3);
    document->addressBookImportAll();
    settle();
    ASSERT_EQ(document->myArray()->count(), 3);
    const DictionaryRef company = recordAt(document, 0);
    const DictionaryRef bo = recordAt(document, 1);
    const DictionaryRef ann = recordAt(document, 2);
    EXPECT_EQ(RecordTableModel::nameText(*company), "Acme Widgets");
    EXPECT_EQ(company->objectForKey("phoneWork"), Value(QStringLiteral("+1 555 0200")));
    EXPECT_EQ(bo->objectForKey("faxPersonal"), Value(QStringLiteral("+46 8 123")));
    EXPECT_EQ(bo->objectForKey("note"), Value(QStringLiteral("Line one\nline two")));
    EXPECT_EQ(ann->objectForKey("mobile"), Value(QStringLiteral("+1 555 0100")));
    EXPECT_EQ(ann->objectForKey("emailWork"), Value(QStringLiteral("ann@work.example")));
    EXPECT_EQ(ann->objectForKey("addressPersonal"), Value(QStringLiteral("1 Main St, 62701, Springfield")));
}

} // namespace
