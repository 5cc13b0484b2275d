// Reading people from vCard files, as address books, mail programs and phones write them.
#include "platform/VCardReader.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <random>

#if defined(__SANITIZE_ADDRESS__)
#define CALVORIN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CALVORIN_ASAN 1
#endif
#endif

namespace {

QString fixture(const char* name) { return QStringLiteral(CALVORIN_TEST_FIXTURES "/vcard/") + QLatin1String(name); }

QByteArray card(const QByteArray& body, const char* version = "3.0")
{
    return "BEGIN:VCARD\r\nVERSION:" + QByteArray(version) + "\r\n" + body + "END:VCARD\r\n";
}

// The one person of bytes that must hold exactly one.
AddressBookPerson onlyPerson(const QByteArray& bytes)
{
    const AddressBookPeople read = VCardReader::read(bytes);
    EXPECT_TRUE(read.ok()) << qPrintable(read.error);
    EXPECT_EQ(read.people.size(), 1);
    return read.people.value(0);
}

QString phone(const AddressBookPerson& person, const QString& label)
{
    for (const auto& value : person.phones)
        if (value.label == label)
            return value.value;
    return QStringLiteral("<none>");
}

struct RuleCase {
    const char* rule;
    QByteArray bytes;
    std::function<void(const AddressBookPerson&)> check;
};

TEST(VCardReader, ReadsEachRuleOfTheFormat)
{
    const auto named = [](const char* first, const char* last) {
        return [first, last](const AddressBookPerson& p) {
            EXPECT_EQ(p.firstName, QString::fromUtf8(first));
            EXPECT_EQ(p.lastName, QString::fromUtf8(last));
        };
    };
    const auto noted = [](const char* note) {
        return [note](const AddressBookPerson& p) { EXPECT_EQ(p.note, QString::fromUtf8(note)); };
    };
    const std::vector<RuleCase> cases = {
        {"CRLF", "BEGIN:VCARD\r\nN:Lee;Ann\r\nEND:VCARD\r\n", named("Ann", "Lee")},
        {"LF", "BEGIN:VCARD\nN:Lee;Ann\nEND:VCARD\n", named("Ann", "Lee")},
        {"CR", "BEGIN:VCARD\rN:Lee;Ann\rEND:VCARD\r", named("Ann", "Lee")},
        {"no break after the last line", "BEGIN:VCARD\nN:Lee;Ann\nEND:VCARD", named("Ann", "Lee")},
        {"unfolding drops one blank", card("NOTE:one\r\n  two\r\n\tthree\r\n"), noted("one twothree")},
        {"a fold inside a UTF-8 character", card("N:M\xc3\r\n \xbcller;J\xc3\xb6rg\r\n"), named("Jörg", "Müller")},
        {"quoted-printable with a soft break",
         card("NOTE;ENCODING=QUOTED-PRINTABLE:caf=C3=A9 =\r\nand more\r\n", "2.1"), noted("café and more")},
        {"quoted-printable folded as 3.0 folds",
         card("NOTE;ENCODING=QUOTED-PRINTABLE:caf=C\r\n 3=A9 ok\r\n", "2.1"), noted("café ok")},
        {"a soft break inside an escape",
         card("NOTE;QUOTED-PRINTABLE:a=C3=\r\n=A9b\r\n", "2.1"), noted("aéb")},
        {"a broken escape is kept", card("NOTE;ENCODING=QUOTED-PRINTABLE:1=ZZ2=4\r\n", "2.1"), noted("1=ZZ2=4")},
        {"base64 values are skipped, 2.1 lines unindented",
         card("PHOTO;BASE64:AAAA\r\nBBBB\r\nCC==\r\n\r\nN:Lee;Ann\r\n", "2.1"), named("Ann", "Lee")},
        {"bad base64 is never decoded", card("PHOTO;ENCODING=b:!!!not base64 at all\r\nN:Lee;Ann\r\n"),
         named("Ann", "Lee")},
        {"group and name in any case", card("item1.n:Lee;Ann\r\nItem2.Note:x\r\n"),
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.lastName, "Lee");
             EXPECT_EQ(p.note, "x");
         }},
        {"escapes", card("NOTE:a\\nb\\Nc\\,d\\;e\\\\f\\qg\\\"h\\:i\r\n"), noted("a\nb\nc,d;e\\fqg\"h:i")},
        {"2.1 escapes less", card("NOTE:C:\\Temp\\q\\, \\: \\\"\r\n", "2.1"), noted("C:\\Temp\\q, : \\\"")},
        {"escapes in a web address", card("URL:http\\://www.example.com/a\\,b\r\n"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.urls.size(), 1);
             EXPECT_EQ(p.urls[0].value, "http://www.example.com/a,b");
         }},
        {"escapes in a street", card("ADR:;;Unit 4\\: Rear;Town;;;\r\n"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.addresses.size(), 1);
             EXPECT_EQ(p.addresses[0].value.street, "Unit 4: Rear");
         }},
        {"a lone CR in a CR LF file belongs to its value",
         card("NOTE:one\rtwo\r\nX-A:1\n2\r\nTEL;TYPE=WORK:3\r\n"),
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.note, "one\rtwo");
             EXPECT_EQ(phone(p, AddressBook::kPhoneWorkLabel), "3");
         }},
        {"a lone LF in a CR LF file before a fold breaks", card("NOTE:one\n\ttwo\r\n"), noted("onetwo")},
        {"a lone LF in a CR LF file before a property breaks", card("NOTE:one\nTEL:2\r\n"),
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.note, "one");
             EXPECT_EQ(phone(p, AddressBook::kPhoneHomeLabel), "2");
         }},
        {"a stray line costs only itself", "BEGIN:VCARD\nN:Lee;Ann\nstray\nNOTE:x\nEND:VCARD\n",
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.lastName, "Lee");
             EXPECT_EQ(p.note, "x");
         }},
        {"CR CR LF breaks", "BEGIN:VCARD\r\r\nN:Lee;Ann\r\r\nNOTE:a\r\r\n b\r\r\nEND:VCARD\r\r\n",
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.lastName, "Lee");
             EXPECT_EQ(p.note, "ab");
         }},
        {"a quote left open in a parameter", card("ADR;LABEL=\"open:;;x;Town;;;\r\n"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.addresses.size(), 1);
             EXPECT_EQ(p.addresses[0].value.city, "Town");
         }},
        {"N splits on unescaped semicolons only", card("N:Smith\\;Jones;Ann\\, Jr.;;;\r\n"), named("Ann, Jr.", "Smith;Jones")},
        {"ORG takes its first part", card("ORG:Acme\\; Sons;Sales;East\r\n"),
         [](const AddressBookPerson& p) { EXPECT_EQ(p.organization, "Acme; Sons"); }},
        {"ADR components",
         card("ADR;TYPE=home:PO Box 7;Suite 2;1 Main St;Springfield;IL;62701;USA\r\n"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.addresses.size(), 1);
             const AddressBookAddress& a = p.addresses[0].value;
             EXPECT_EQ(a.street, "PO Box 7\nSuite 2\n1 Main St");
             EXPECT_EQ(a.city, "Springfield");
             EXPECT_EQ(a.state, "IL");
             EXPECT_EQ(a.zip, "62701");
             EXPECT_EQ(a.country, "USA");
         }},
        {"UTF-8 with a BOM", "\xef\xbb\xbf" + card("N:J\xc3\xb6rg;Ana\r\n"), named("Ana", "Jörg")},
        {"a BOM before a card of joined files", "\xef\xbb\xbf" + card("KIND:group\r\n", "4.0") + "\xef\xbb\xbf" + card("N:Lee;Ann\r\n"),
         named("Ann", "Lee")},
        {"CHARSET windows-1252", card("N;CHARSET=windows-1252:Lef\xe8vre;Fran\xe7ois\r\n", "2.1"),
         named("François", "Lefèvre")},
        {"CHARSET Shift_JIS", card("N;CHARSET=Shift_JIS:\x8e\x52\x93\x63;\x91\xbe\x98\x59\r\n", "2.1"),
         named("太郎", "山田")},
        {"CHARSET KOI8-R", card("N;CHARSET=KOI8-R:\xe9\xd7\xc1\xce\xcf\xd7;\xe9\xd7\xc1\xce\r\n", "2.1"),
         named("Иван", "Иванов")},
        {"quoted-printable in a CHARSET", card("N;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCller;J=F6rg\r\n", "2.1"),
         named("Jörg", "Müller")},
        {"non-UTF-8 bytes without CHARSET", card("N:M\xfcller;J\xf6rg\r\n"), named("Jörg", "Müller")},
        {"an unknown CHARSET", card("N;CHARSET=x-no-such-set:M\xc3\xbcller;Ann\r\n", "2.1"), named("Ann", "Müller")},
        {"NUL bytes", card(QByteArray("N:Le\0e;An\0n\r\n", 13)), named("Ann", "Lee")},
        {"a card inside a card",
         card("N:Lee;Ann\r\nAGENT:\r\nBEGIN:VCARD\r\nN:Agent;Paul\r\nNOTE:inner\r\nEND:VCARD\r\n", "2.1"),
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.lastName, "Lee");
             EXPECT_EQ(p.note, "");
         }},
        {"FN without names or organization", card("N:;;;;\r\nFN:Prince\r\n"), named("Prince", "")},
        {"FN without N", card("FN:Prince\r\n"), named("Prince", "")},
        {"no FN when there is an organization", card("FN:Acme Inc.\r\nORG:Acme\r\n"),
         [](const AddressBookPerson& p) {
             EXPECT_EQ(p.firstName, "");
             EXPECT_EQ(p.organization, "Acme");
         }},
        {"tel: URIs", card("TEL;VALUE=uri;TYPE=\"home,voice\";PREF=1:tel:+1-555-0100\r\n", "4.0"),
         [](const AddressBookPerson& p) { EXPECT_EQ(phone(p, AddressBook::kPhoneHomeLabel), "+1-555-0100"); }},
        {"tel: URIs without VALUE=uri", card("TEL;TYPE=cell:TEL:+1-555-0101\r\n", "4.0"),
         [](const AddressBookPerson& p) { EXPECT_EQ(phone(p, AddressBook::kPhoneMobileLabel), "+1-555-0101"); }},
        {"values keep the file's order",
         card("TEL;TYPE=HOME:1\r\nTEL;TYPE=CELL:2\r\nTEL;TYPE=HOME:3\r\n"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.phones.size(), 3);
             EXPECT_EQ(p.phones[0].value, "1");
             EXPECT_EQ(p.phones[1].value, "2");
             EXPECT_EQ(p.phones[2].value, "3");
         }},
        {"a colon inside a quoted parameter", card("ADR;LABEL=\"a:b\";TYPE=work:;;Street;Town;;;\r\n", "4.0"),
         [](const AddressBookPerson& p) {
             ASSERT_EQ(p.addresses.size(), 1);
             EXPECT_EQ(p.addresses[0].label, AddressBook::kAddressWorkLabel);
             EXPECT_EQ(p.addresses[0].value.city, "Town");
         }},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.rule);
        c.check(onlyPerson(c.bytes));
    }
}

TEST(VCardReader, GroupsAndListsAreNoPeople)
{
    const QByteArray bytes = card("KIND:group\r\nFN:Friends\r\n", "4.0") + card("X-EVOLUTION-LIST:TRUE\r\nFN:Club\r\n")
        + card("N:Lee;Ann\r\n");
    const AddressBookPeople read = VCardReader::read(bytes);
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read.people.size(), 1);
    EXPECT_EQ(read.people[0].firstName, "Ann");
    EXPECT_EQ(read.skippedCards, 0);
}

TEST(VCardReader, LabelsComeFromTypesAndAbLabels)
{
    using AB = AddressBook;
    struct LabelCase {
        QByteArray lines;
        QString label;
    };
    const std::vector<LabelCase> cases = {
        {"TEL;TYPE=CELL:1", AB::kPhoneMobileLabel},
        {"TEL;CELL;WORK:1", AB::kPhoneMobileLabel},
        {"TEL;WORK;FAX:1", AB::kPhoneWorkFAXLabel},
        {"TEL;TYPE=FAX:1", AB::kPhoneHomeFAXLabel},
        {"TEL;TYPE=HOME,FAX:1", AB::kPhoneHomeFAXLabel},
        {"TEL;TYPE=WORK;TYPE=VOICE;TYPE=PREF:1", AB::kPhoneWorkLabel},
        {"TEL;TYPE=\"work,voice\":1", AB::kPhoneWorkLabel},
        {"TEL;TYPE=HOME:1", AB::kPhoneHomeLabel},
        {"TEL:1", AB::kPhoneHomeLabel},
        {"TEL;VOICE:1", AB::kPhoneHomeLabel},
        {"TEL;TYPE=pref:1", AB::kPhoneHomeLabel},
        {"TEL;PAGER:1", AB::kOtherLabel},
        {"TEL;TYPE=MAIN:1", AB::kOtherLabel},
        {"TEL;TYPE=VIDEO:1", AB::kOtherLabel},
        {"TEL;TYPE=X-ASSISTANT:1", AB::kOtherLabel},
        {"EMAIL;TYPE=INTERNET:1", AB::kEmailHomeLabel},
        {"EMAIL;TYPE=INTERNET,WORK:1", AB::kEmailWorkLabel},
        {"EMAIL;TYPE=X-OTHER:1", AB::kOtherLabel},
        {"URL:1", AB::kHomePageLabel},
        {"URL;TYPE=HOME:1", AB::kHomePageLabel},
        {"URL;TYPE=WORK:1", AB::kPhoneWorkLabel},
        {"URL;TYPE=X-BLOG:1", AB::kOtherLabel},
        {"ADR;TYPE=DOM,INTL,POSTAL,PARCEL:;;1;;;;", AB::kAddressHomeLabel},
        {"ADR;TYPE=WORK:;;1;;;;", AB::kAddressWorkLabel},
        {"ADR;TYPE=X-SUMMER:;;1;;;;", AB::kOtherLabel},
        {"item1.TEL;TYPE=HOME:1\r\nitem1.X-ABLabel:_$!<Mobile>!$_", AB::kPhoneMobileLabel},
        {"item1.X-ABLabel:_$!<WorkFAX>!$_\r\nitem1.TEL:1", AB::kPhoneWorkFAXLabel},
        {"item1.TEL:1\r\nitem1.X-ABLabel:_$!<HomeFAX>!$_", AB::kPhoneHomeFAXLabel},
        {"item1.TEL;TYPE=CELL:1\r\nitem1.X-ABLabel:_$!<Work>!$_", AB::kPhoneWorkLabel},
        {"item1.TEL;TYPE=CELL:1\r\nITEM1.X-ABLabel:_$!<Home>!$_", AB::kPhoneHomeLabel},
        {"item1.TEL:1\r\nitem1.X-ABLabel:Boat", AB::kOtherLabel},
        {"item1.TEL:1\r\nitem1.X-ABLabel:_$!<Other>!$_", AB::kOtherLabel},
        {"item1.TEL:1\r\nitem2.X-ABLabel:_$!<Mobile>!$_", AB::kPhoneHomeLabel},
        {"item1.URL:1\r\nitem1.X-ABLabel:_$!<HomePage>!$_", AB::kHomePageLabel},
        {"item1.EMAIL;TYPE=WORK:1\r\nitem1.X-ABLabel:_$!<Home>!$_", AB::kEmailHomeLabel},
    };
    for (const LabelCase& c : cases) {
        SCOPED_TRACE(c.lines.constData());
        const AddressBookPerson p = onlyPerson(card("N:Lee;Ann\r\n" + c.lines + "\r\n"));
        QStringList labels;
        for (const auto& v : p.phones)
            labels.append(v.label);
        for (const auto& v : p.emails)
            labels.append(v.label);
        for (const auto& v : p.urls)
            labels.append(v.label);
        for (const auto& v : p.addresses)
            labels.append(v.label);
        EXPECT_EQ(labels, QStringList{c.label});
    }
}

// The first value with the label, as the mapping to a record takes it.
template <class T>
QString firstWith(const QList<LabelledValue<T>>& values, const QString& label, QString (*text)(const T&))
{
    for (const auto& value : values)
        if (value.label == label)
            return text(value.value);
    return QStringLiteral("<none>");
}
QString itself(const QString& value) { return value; }
QString streetOf(const AddressBookAddress& address) { return address.street; }

TEST(VCardReader, ATypedHomeValueWinsItsFieldOverAnUntypedOne)
{
    using AB = AddressBook;
    struct TypedCase {
        QByteArray lines;
        QString home;  // the first home value of the property
        QString other; // the first value labelled other
    };
    const std::vector<TypedCase> cases = {
        {"EMAIL;TYPE=INTERNET:a\r\nEMAIL;TYPE=INTERNET;TYPE=HOME:b", "b", "a"},
        {"EMAIL;TYPE=INTERNET:a\r\nEMAIL;TYPE=WORK:b", "a", "<none>"},
        {"EMAIL:a\r\nEMAIL:b", "a", "<none>"},
        {"TEL:1\r\nTEL;TYPE=HOME:2", "2", "1"},
        {"TEL;VOICE;PREF:1\r\nTEL;HOME;VOICE:2", "2", "1"},
        {"TEL:1\r\nTEL;TYPE=HOME,FAX:2", "1", "<none>"},
        {"TEL:1\r\nitem1.TEL:2\r\nitem1.X-ABLabel:_$!<Home>!$_", "2", "1"},
        {"URL:a\r\nURL;TYPE=HOME:b", "b", "a"},
        {"ADR:;;a;;;;\r\nADR;TYPE=HOME:;;b;;;;", "b", "a"},
    };
    for (const TypedCase& c : cases) {
        SCOPED_TRACE(c.lines.constData());
        const AddressBookPerson p = onlyPerson(card("N:Lee;Ann\r\n" + c.lines + "\r\n"));
        const bool address = c.lines.startsWith("ADR");
        const bool url = c.lines.startsWith("URL");
        const auto& values = c.lines.startsWith("TEL") ? p.phones : url ? p.urls : p.emails;
        const QString home = address ? firstWith(p.addresses, AB::kAddressHomeLabel, streetOf)
                                     : firstWith(values, url ? AB::kHomePageLabel : AB::kEmailHomeLabel, itself);
        const QString other = address ? firstWith(p.addresses, AB::kOtherLabel, streetOf)
                                      : firstWith(values, AB::kOtherLabel, itself);
        EXPECT_EQ(home, c.home);
        EXPECT_EQ(other, c.other);
    }
}

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding, bool mark)
{
    QStringEncoder encoder(encoding, mark ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    return encoder.encode(text);
}

TEST(VCardReader, ReadsUtf16AndUtf32InEitherOrderWithOrWithoutAMark)
{
    // A charset that a card names was its writer's before the file was
    // converted: it no longer applies, save to quoted-printable bytes.
    // (Without a mark, UTF-32 is told by zero bytes that characters beyond
    // the Basic Multilingual Plane would not leave.)
    const QString text = QString::fromUtf8(
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=ISO-8859-1:Müller;Zoë\r\nORG:Bäckerei Ōta\r\n"
        "NOTE;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:caf=C3=A9\r\nEND:VCARD\r\n");
    using E = QStringConverter;
    for (const auto encoding : {E::Utf16BE, E::Utf16LE, E::Utf32BE, E::Utf32LE}) {
        for (const bool mark : {false, true}) {
            SCOPED_TRACE(testing::Message() << QStringConverter::nameForEncoding(encoding) << (mark ? " marked" : ""));
            const AddressBookPerson p = onlyPerson(encoded(text, encoding, mark));
            EXPECT_EQ(p.lastName, "Müller");
            EXPECT_EQ(p.firstName, "Zoë");
            EXPECT_EQ(p.organization, "Bäckerei Ōta");
            EXPECT_EQ(p.note, "café");
        }
    }
}

// One file of tests/fixtures/vcard, and what it must give.
struct FixtureCase {
    const char* file;
    QStringList names; // "first last" of each person, in order
    int skipped;
    std::function<void(const QList<AddressBookPerson>&)> check;
    VCardLimits limits = {};
};

QStringList namesOf(const QList<AddressBookPerson>& people)
{
    QStringList names;
    for (const AddressBookPerson& p : people)
        names.append(p.firstName + u' ' + p.lastName);
    return names;
}

TEST(VCardReader, KeepsEveryContactOfWhatOtherProgramsExport)
{
    using AB = AddressBook;
    VCardLimits small;
    small.maxValueBytes = 4096;
    small.maxPropertiesPerCard = 64;
    const std::vector<FixtureCase> cases = {
        {"stray-cr-4.0.vcf", {"Ann Lee", "Bob Stone"}, 0,
         [](const QList<AddressBookPerson>& people) {
             EXPECT_EQ(people[0].note, "Line one\rline two");
             EXPECT_EQ(firstWith(people[0].emails, AB::kEmailWorkLabel, itself), "ann@work.example");
             EXPECT_EQ(phone(people[0], AB::kPhoneMobileLabel), "+1 555 0100");
             EXPECT_EQ(firstWith(people[1].emails, AB::kEmailHomeLabel, itself), "bob@home.example");
         }},
        {"escapes-3.0.vcf", {"Ivy Marsh"}, 0,
         [](const QList<AddressBookPerson>& people) {
             EXPECT_EQ(people[0].note, "Provided \"AS IS\", without warranty.\nSee \\\\server\\share.");
             EXPECT_EQ(firstWith(people[0].urls, AB::kHomePageLabel, itself), "http://www.example.com");
             EXPECT_EQ(firstWith(people[0].addresses, AB::kAddressWorkLabel, streetOf), "Unit 4: Rear Yard");
         }},
        {"utf16be-3.0.vcf", {"Zoë Müller", "Kenji Ōta"}, 0,
         [](const QList<AddressBookPerson>& people) {
             EXPECT_EQ(people[0].organization, "Bäckerei Müller");
             EXPECT_EQ(people[0].note, "Grüße aus München");
             EXPECT_EQ(phone(people[0], AB::kPhoneWorkLabel), "+49 89 123456");
             EXPECT_EQ(firstWith(people[0].emails, AB::kEmailHomeLabel, itself), "zoe@example.de");
             EXPECT_EQ(phone(people[1], AB::kPhoneMobileLabel), "+81 90 1234 5678");
         }},
        {"typed-values-3.0.vcf", {"Sam Quinn", "Tom Reyes"}, 0,
         [](const QList<AddressBookPerson>& people) {
             EXPECT_EQ(firstWith(people[0].emails, AB::kEmailHomeLabel, itself), "b@x.example");
             EXPECT_EQ(firstWith(people[0].emails, AB::kEmailWorkLabel, itself), "c@x.example");
             EXPECT_EQ(phone(people[0], AB::kPhoneHomeLabel), "+1 555 0101");
             EXPECT_EQ(firstWith(people[1].emails, AB::kEmailHomeLabel, itself), "tom@x.example");
             EXPECT_EQ(phone(people[1], AB::kPhoneHomeLabel), "+1 555 0200");
             EXPECT_EQ(phone(people[1], AB::kPhoneWorkLabel), "+1 555 0201");
         }},
        {"oversized-cards-3.0.vcf", {"Sound First", "Sound Last"}, 2, nullptr, small},
        {"joined-exports.vcf", {"Jin Park", "Luz Ortiz"}, 0,
         [](const QList<AddressBookPerson>& people) { EXPECT_EQ(people[1].note, "folded over two lines"); }},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        const AddressBookPeople read = VCardReader::readFile(fixture(c.file), c.limits);
        ASSERT_TRUE(read.ok()) << qPrintable(read.error);
        ASSERT_EQ(namesOf(read.people), c.names);
        EXPECT_EQ(read.skippedCards, c.skipped);
        if (c.check)
            c.check(read.people);
    }
}

TEST(VCardReader, ReadsTheFixturesAsTheirWritersMeantThem)
{
    {
        SCOPED_TRACE("phone, 2.1");
        const AddressBookPeople read = VCardReader::readFile(fixture("phone-2.1.vcf"));
        ASSERT_TRUE(read.ok()) << qPrintable(read.error);
        ASSERT_EQ(read.people.size(), 2);
        const AddressBookPerson& p = read.people[0];
        EXPECT_EQ(p.firstName, "Jörg");
        EXPECT_EQ(p.lastName, "Müller");
        EXPECT_EQ(phone(p, AddressBook::kPhoneMobileLabel), "+49 170 1234567");
        EXPECT_EQ(phone(p, AddressBook::kPhoneWorkFAXLabel), "+49 30 7654321");
        EXPECT_EQ(phone(p, AddressBook::kPhoneHomeLabel), "+49 30 111222");
        EXPECT_EQ(phone(p, AddressBook::kPhoneWorkLabel), "+49 30 333444");
        ASSERT_EQ(p.addresses.size(), 1);
        EXPECT_EQ(p.addresses[0].value.street, "Hauptstraße 5");
        EXPECT_EQ(p.addresses[0].value.country, "Deutschland");
        EXPECT_EQ(p.note, "Erste Zeile\r\nZweite Zeile mit einem sehr langen Text");
        EXPECT_EQ(read.people[1].firstName, "François");
        EXPECT_EQ(read.people[1].lastName, "Lefèvre");
        ASSERT_EQ(read.people[1].emails.size(), 1);
        EXPECT_EQ(read.people[1].emails[0].label, AddressBook::kEmailHomeLabel);
    }
    {
        SCOPED_TRACE("address book, 3.0");
        const AddressBookPeople read = VCardReader::readFile(fixture("book-3.0.vcf"));
        ASSERT_TRUE(read.ok()) << qPrintable(read.error);
        ASSERT_EQ(read.people.size(), 2);
        const AddressBookPerson& p = read.people[0];
        EXPECT_EQ(p.organization, "Lee & Partners");
        EXPECT_EQ(phone(p, AddressBook::kPhoneMobileLabel), "+1 555 0100");
        EXPECT_EQ(phone(p, AddressBook::kPhoneHomeLabel), "+1 555 0101");
        EXPECT_EQ(phone(p, AddressBook::kOtherLabel), "+1 555 0199");
        ASSERT_EQ(p.emails.size(), 2);
        EXPECT_EQ(p.emails[0].label, AddressBook::kEmailWorkLabel);
        EXPECT_EQ(p.emails[1].label, AddressBook::kEmailHomeLabel);
        ASSERT_EQ(p.urls.size(), 1);
        EXPECT_EQ(p.urls[0].label, AddressBook::kHomePageLabel);
        EXPECT_TRUE(p.note.endsWith("äöüäöüäöüäöüäöü")) << qPrintable(p.note);
        EXPECT_TRUE(p.note.contains("after six.\nSecond line")) << qPrintable(p.note);
        const AddressBookPerson& company = read.people[1];
        EXPECT_EQ(company.firstName, "");
        EXPECT_EQ(company.organization, "Acme Widgets Inc.");
        EXPECT_EQ(phone(company, AddressBook::kPhoneWorkFAXLabel), "+1 555 0201");
    }
    {
        SCOPED_TRACE("mail program, 4.0");
        const AddressBookPeople read = VCardReader::readFile(fixture("contacts-4.0.vcf"));
        ASSERT_TRUE(read.ok()) << qPrintable(read.error);
        ASSERT_EQ(read.people.size(), 1);
        const AddressBookPerson& p = read.people[0];
        EXPECT_EQ(p.firstName, "Maria");
        EXPECT_EQ(phone(p, AddressBook::kPhoneWorkLabel), "+39-06-1234567");
        EXPECT_EQ(phone(p, AddressBook::kPhoneMobileLabel), "+39-333-7654321");
        EXPECT_EQ(p.note, "Prefers Italian, or English; never calls on Sundays.");
        ASSERT_EQ(p.addresses.size(), 1);
        EXPECT_EQ(p.addresses[0].label, AddressBook::kAddressWorkLabel);
        EXPECT_EQ(p.addresses[0].value.city, "Roma");
    }
    {
        SCOPED_TRACE("desktop book");
        const AddressBookPeople read = VCardReader::readFile(fixture("desktop-book.vcf"));
        ASSERT_TRUE(read.ok()) << qPrintable(read.error);
        ASSERT_EQ(read.people.size(), 1);
        const AddressBookPerson& p = read.people[0];
        EXPECT_EQ(p.lastName, "Smith");
        EXPECT_EQ(phone(p, AddressBook::kPhoneHomeFAXLabel), "+44 20 7946 0018");
        ASSERT_EQ(p.urls.size(), 1);
        EXPECT_EQ(p.urls[0].value, "https://john.example.org");
    }
}

// What reading gave, told across a pipe by a child with bounded memory.
std::string readInChild(const QByteArray& bytes)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
#ifndef CALVORIN_ASAN
        // The address sanitizer reserves more than any limit: there it is the
        // sanitizer that watches.
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
        const rlimit bound{limit, limit};
        setrlimit(RLIMIT_AS, &bound);
#endif
        const AddressBookPeople read = VCardReader::read(bytes);
        const std::string answer = read.ok()
            ? "people " + std::to_string(read.people.size()) + " skipped " + std::to_string(read.skippedCards)
            : "error " + read.error.toStdString();
        if (write(pipeEnds[1], answer.data(), answer.size()) < 0)
            _exit(2);
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child died, status " + std::to_string(status);
    return answer;
}

TEST(VCardReader, MalformedInputGivesAMessageOrTheSoundCards)
{
    const QByteArray good = card("N:Lee;Ann\r\n");
    QByteArray random(1 << 20, '\0');
    std::mt19937 generator(12);
    for (char& c : random)
        c = static_cast<char>(generator());
    QByteArray manyCards;
    for (int i = 0; i < 200000; ++i)
        manyCards += "BEGIN:VCARD\nN:A;B\nEND:VCARD\n";
    QByteArray manyProperties = "BEGIN:VCARD\n";
    for (int i = 0; i < 100000; ++i)
        manyProperties += "NOTE:x\n";
    manyProperties += "END:VCARD\n";
    QByteArray manyFolds = "BEGIN:VCARD\nN:Lee;Ann\nNOTE:x";
    for (int i = 0; i < 1000000; ++i)
        manyFolds += "\n y";
    manyFolds += "\nEND:VCARD\n";
    QByteArray manyNested = "BEGIN:VCARD\nN:Lee;Ann\n";
    for (int i = 0; i < 5000; ++i)
        manyNested += "BEGIN:VCARD\n";

    struct Case {
        const char* what;
        QByteArray bytes;
        std::string expected; // the start of the answer
    };
    const std::vector<Case> cases = {
        {"no END", good + "BEGIN:VCARD\r\nN:Cut;Short\r\n", "people 1 skipped 1"},
        {"only a card without END", "BEGIN:VCARD\r\nN:Cut;Short\r\n", "error Its one card could not be read."},
        {"END first", "END:VCARD\r\n" + good, "people 1 skipped 0"},
        {"nested BEGIN", "BEGIN:VCARD\r\nN:Lee;Ann\r\nBEGIN:VCARD\r\nN:In;Side\r\nEND:VCARD\r\nEND:VCARD\r\n",
         "people 1 skipped 0"},
        {"nested BEGIN without end", manyNested, "error Its one card could not be read."},
        {"no colon", good + card("N:Lee;Bob\r\nthis line has none\r\n"), "people 2 skipped 0"},
        {"an open quote in a parameter", good + card("N:Lee;Bob\r\nADR;LABEL=\"open:;;x;y;;;\r\n"), "people 2 skipped 0"},
        {"a card with nothing to keep", good + card("UID:1\r\nthis line has none\r\n"), "people 1 skipped 1"},
        {"only a card with nothing to keep", card("UID:1\r\nFN:\r\n"), "error Its one card holds nothing to import."},
        {"only cards with nothing to keep", card("UID:1\r\n") + card("N:;;;;\r\n"),
         "error Its 2 cards hold nothing to import."},
        {"a card with nothing to keep and one cut short", card("UID:1\r\n") + "BEGIN:VCARD\r\nN:Cut;Short\r\n",
         "error None of its 2 cards could be read."},
        {"= at the end of the file", good + "BEGIN:VCARD\r\nNOTE;QUOTED-PRINTABLE:abc=", "people 1 skipped 1"},
        {"=ZZ", card("N;ENCODING=QUOTED-PRINTABLE:=ZZ;Ann\r\n"), "people 1 skipped 0"},
        {"bad base64", card("N:Lee;Ann\r\nPHOTO;ENCODING=b:%%%%\r\n"), "people 1 skipped 0"},
        {"an unknown CHARSET", card("N;CHARSET=nope:Lee;Ann\r\n"), "people 1 skipped 0"},
        {"NUL bytes", QByteArray(1000, '\0') + good, "people 1 skipped 0"},
        {"a 10 MB line", "BEGIN:VCARD\nNOTE:" + QByteArray(10 << 20, 'x') + "\nEND:VCARD\n",
         "error Its one card could not be read."},
        {"a 2 MB folded note beside sound cards",
         good + "BEGIN:VCARD\nN:Lee;Bob\nNOTE:x" + QByteArray("\n y").repeated(2 << 20) + "\nEND:VCARD\n" + good,
         "people 2 skipped 1"},
        {"half a million lone CRs in a CR LF file", good + card("NOTE:" + QByteArray(1 << 19, '\r') + "x\r\n") + good,
         "people 3 skipped 0"},
        {"a 10 MB photo is passed over", "BEGIN:VCARD\nN:Lee;Ann\nPHOTO:" + QByteArray(10 << 20, 'x') + "\nEND:VCARD\n",
         "people 1 skipped 0"},
        {"a million continuation lines", manyFolds, "people 1 skipped 0"},
        {"200,000 cards", manyCards, "error It holds more than 100000 cards."},
        {"100,000 properties in a card", manyProperties, "error Its one card could not be read."},
        {"100,000 properties in a card between sound ones", good + manyProperties + good, "people 2 skipped 1"},
        {"random bytes", random, "error It holds no vCard."},
        {"nothing", QByteArray(), "error It holds no vCard."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string answer = readInChild(c.bytes);
        EXPECT_EQ(answer.substr(0, c.expected.size()), c.expected) << answer;
    }
}

TEST(VCardReader, AFileThatCannotBeReadSaysWhy)
{
    QTemporaryDir dir;
    const AddressBookPeople missing = VCardReader::readFile(dir.filePath("none.vcf"));
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.error.isEmpty());

    QFile big(dir.filePath("big.vcf"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(65) << 20));
    big.close();
    const AddressBookPeople tooBig = VCardReader::readFile(big.fileName());
    EXPECT_EQ(tooBig.error, "It is larger than 64 MB.");

    // A pipe named like a card file is refused at once: opening it would wait for a writer.
    const QString pipe = dir.filePath("pipe.vcf");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const AddressBookPeople fromPipe = VCardReader::readFile(pipe);
    EXPECT_FALSE(fromPipe.ok());
    EXPECT_EQ(fromPipe.error, "It is a device, pipe or socket, not a file.");
    EXPECT_EQ(VCardReader::readFile(dir.path()).error, "It is a folder, not a file.");
}

} // namespace
