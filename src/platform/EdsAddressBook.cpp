// The desktop's address book: every enabled address book of the desktop's
// data server but network directories, read through its client library. Each
// contact is handed over as vCard text to the one vCard reader, so the files
// and the desktop book map alike.
//
// Built only where the client library is found, as a library of its own (see
// CMakeLists.txt).

// The library's headers come first: Qt's keyword macros clash with them.
#include <libebook/libebook.h>

#include "platform/EdsAddressBook.h"
#include "platform/VCardReader.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kRegistryService = "org.gnome.evolution.dataserver.Sources5";
// How long a book on the network may take to come online; one that does not
// gives what it has kept offline. A book on this computer is used at once
// (waiting would only wait for a network it does not need).
constexpr guint32 kConnectSeconds = 3;
constexpr guint32 kNoWait = static_cast<guint32>(-1); // 0 would wait for ever

template <class T>
struct GObjectRef {
    T* p = nullptr;
    GObjectRef() = default;
    explicit GObjectRef(T* object) : p(object) {}
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    ~GObjectRef()
    {
        if (p)
            g_object_unref(p);
    }
};

// Whether a session bus is there without starting one: an address in the
// environment or the user's bus socket.
bool sessionBusExpected()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && g_file_test((runtime + "/bus").constData(), G_FILE_TEST_EXISTS);
}

// Whether the registry runs or can be started on the session bus.
bool registryReachable()
{
    if (!sessionBusExpected())
        return false;
    GError* error = nullptr;
    GObjectRef<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error));
    if (!bus.p) {
        g_clear_error(&error);
        return false;
    }
    for (const char* method : {"NameHasOwner", "ListActivatableNames"}) {
        const bool hasOwner = std::strcmp(method, "NameHasOwner") == 0;
        GVariant* reply = g_dbus_connection_call_sync(
            bus.p, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
            hasOwner ? g_variant_new("(s)", kRegistryService) : nullptr,
            hasOwner ? G_VARIANT_TYPE("(b)") : G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr,
            &error);
        if (!reply) {
            g_clear_error(&error);
            continue;
        }
        bool found = false;
        if (hasOwner) {
            gboolean owned = FALSE;
            g_variant_get(reply, "(b)", &owned);
            found = owned;
        } else {
            GVariantIter* names = nullptr;
            g_variant_get(reply, "(as)", &names);
            const gchar* name = nullptr;
            while (g_variant_iter_next(names, "&s", &name))
                found = found || std::strcmp(name, kRegistryService) == 0;
            g_variant_iter_free(names);
        }
        g_variant_unref(reply);
        if (found)
            return true;
    }
    return false;
}

bool hasBackend(ESource* source, const char* name)
{
    auto* book = static_cast<ESourceBackend*>(e_source_get_extension(source, E_SOURCE_EXTENSION_ADDRESS_BOOK));
    const gchar* backend = book ? e_source_backend_get_backend_name(book) : nullptr;
    return backend && std::strcmp(backend, name) == 0;
}

// The cards of one book as vCard text; false when the book does not answer.
bool appendCards(ESource* source, QByteArray& cards)
{
    GError* error = nullptr;
    const guint32 wait = hasBackend(source, "local") ? kNoWait : kConnectSeconds;
    GObjectRef<EClient> client(e_book_client_connect_sync(source, wait, nullptr, &error));
    if (!client.p) {
        g_clear_error(&error);
        return false;
    }
    GSList* contacts = nullptr;
    EBookQuery* query = e_book_query_any_field_contains("");
    gchar* sexp = e_book_query_to_string(query);
    e_book_query_unref(query);
    const gboolean ok = e_book_client_get_contacts_sync(E_BOOK_CLIENT(client.p), sexp, &contacts, nullptr, &error);
    g_free(sexp);
    if (!ok) {
        g_clear_error(&error);
        return false;
    }
    for (GSList* it = contacts; it; it = it->next) {
        gchar* text = e_vcard_to_string(E_VCARD(it->data), EVC_FORMAT_VCARD_30);
        if (text) {
            cards.append(text);
            cards.append("\r\n");
            // The contact's text is not left behind in freed memory.
            std::memset(text, 0, std::strlen(text));
            g_free(text);
        }
    }
    g_slist_free_full(contacts, g_object_unref);
    return true;
}

class EdsAddressBook : public AddressBook {
public:
    bool isAvailable() override { return registryReachable(); }
    QString displayName() const override { return QStringLiteral("Desktop Address Book"); }

    AddressBookPeople people() override
    {
        AddressBookPeople result;
        GError* error = nullptr;
        GObjectRef<ESourceRegistry> registry(e_source_registry_new_sync(nullptr, &error));
        if (!registry.p) {
            result.error = QString::fromUtf8(error ? error->message : "The address book does not answer.");
            g_clear_error(&error);
            return result;
        }
        GList* sources = e_source_registry_list_enabled(registry.p, E_SOURCE_EXTENSION_ADDRESS_BOOK);
        QByteArray cards;
        for (GList* it = sources; it; it = it->next) {
            auto* source = static_cast<ESource*>(it->data);
            if (!hasBackend(source, "ldap"))
                appendCards(source, cards);
        }
        g_list_free_full(sources, g_object_unref);

        if (!cards.isEmpty()) {
            VCardLimits limits;
            limits.maxFileBytes = std::max<qint64>(limits.maxFileBytes, cards.size());
            limits.maxCards = std::numeric_limits<int>::max();
            result = VCardReader::read(cards, limits);
            std::fill(cards.begin(), cards.end(), '\0');
        }
        sortPeopleByName(result.people);
        return result;
    }
};

} // namespace

AddressBook& edsAddressBook()
{
    static EdsAddressBook book;
    return book;
}
