#include "platform/VCardReader.h"

#include "platform/FileRead.h"
#include "platform/Plaintext.h"
#include "platform/TextEncoding.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>
#include <QVarLengthArray>

#include <algorithm>
#include <cstring>

namespace {

QString tr(const char* text) { return QCoreApplication::translate("VCardReader", text); }

QString sizeText(qint64 bytes) { return QLocale().formattedDataSize(bytes, 0, QLocale::DataSizeTraditionalFormat); }

bool equalsNoCase(QByteArrayView a, const char* b)
{
    const auto n = static_cast<qsizetype>(std::strlen(b));
    return a.size() == n && qstrnicmp(a.data(), b, static_cast<size_t>(n)) == 0;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks and stray NUL bytes around a name or a keyword.
QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && (isBlank(v.front()) || v.front() == '\0'))
        v = v.sliced(1);
    while (!v.isEmpty() && (isBlank(v.back()) || v.back() == '\0'))
        v.chop(1);
    return v;
}

// One property line: [group.]NAME[;params]:value, the parts as views into the line.
struct Property {
    QByteArrayView group;
    QByteArrayView name;
    QVarLengthArray<QByteArrayView, 6> types; // TYPE values and 2.1's bare types
    QByteArrayView charset;
    bool quotedPrintable = false;
    bool base64 = false;
    QByteArrayView value;
};

// Splits a parameter's text (no ';' left in it) into the property.
bool addParameter(QByteArrayView param, Property& property)
{
    param = trimmed(param);
    if (param.isEmpty())
        return true;
    const qsizetype eq = param.indexOf('=');
    if (eq < 0) {
        // 2.1 writes encodings and types bare.
        if (equalsNoCase(param, "QUOTED-PRINTABLE"))
            property.quotedPrintable = true;
        else if (equalsNoCase(param, "BASE64") || equalsNoCase(param, "B"))
            property.base64 = true;
        else if (!equalsNoCase(param, "8BIT") && !equalsNoCase(param, "7BIT"))
            property.types.append(param);
        return true;
    }
    const QByteArrayView key = trimmed(param.first(eq));
    QByteArrayView value = trimmed(param.sliced(eq + 1));
    if (equalsNoCase(key, "TYPE")) {
        // TYPE=a,b or TYPE="a,b"; the quotes may stand around each value too.
        qsizetype start = 0;
        for (qsizetype i = 0; i <= value.size(); ++i) {
            if (i == value.size() || value[i] == ',') {
                QByteArrayView one = value.sliced(start, i - start);
                one = trimmed(QByteArrayView(one));
                if (one.size() >= 2 && one.front() == '"' && one.back() == '"')
                    one = one.sliced(1, one.size() - 2);
                else if (!one.isEmpty() && one.front() == '"')
                    one = one.sliced(1);
                else if (!one.isEmpty() && one.back() == '"')
                    one.chop(1);
                if (!one.isEmpty())
                    property.types.append(one);
                start = i + 1;
            }
        }
    } else {
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.sliced(1, value.size() - 2);
        if (equalsNoCase(key, "ENCODING")) {
            if (equalsNoCase(value, "QUOTED-PRINTABLE"))
                property.quotedPrintable = true;
            else if (equalsNoCase(value, "BASE64") || equalsNoCase(value, "B"))
                property.base64 = true;
        } else if (equalsNoCase(key, "CHARSET")) {
            property.charset = value;
        }
    }
    return true;
}

// False when the line is no property: no name before a colon. A quote left
// open in the parameters is taken as written.
bool parseProperty(QByteArrayView line, Property& property, bool quotesPair = true)
{
    qsizetype colon = -1;
    qsizetype nameEnd = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && nameEnd >= 0 && quotesPair) {
            quoted = !quoted;
        } else if (!quoted && (c == ';' || c == ':')) {
            if (nameEnd < 0)
                nameEnd = i;
            if (c == ':') {
                colon = i;
                break;
            }
        }
    }
    if (colon < 0)
        return quoted && parseProperty(line, property, false);
    QByteArrayView name = trimmed(line.first(nameEnd));
    // Files joined end to end keep the byte-order mark of each.
    if (name.startsWith("\xEF\xBB\xBF"))
        name = trimmed(name.sliced(3));
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) {
        property.group = name.first(dot);
        name = name.sliced(dot + 1);
    }
    if (name.isEmpty())
        return false;
    property.name = name;
    qsizetype start = nameEnd + 1;
    quoted = false;
    for (qsizetype i = start; i <= colon; ++i) {
        if (i < colon && line[i] == '"' && quotesPair) {
            quoted = !quoted;
        } else if (i == colon || (!quoted && line[i] == ';')) {
            if (start < i && !addParameter(line.sliced(start, i - start), property))
                return false;
            start = i + 1;
        }
    }
    property.value = line.sliced(colon + 1);
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "=XX" is a byte; a broken escape is kept as written. Soft line breaks are
// already joined.
QByteArray decodeQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size() && hexDigit(in[i + 1]) >= 0 && hexDigit(in[i + 2]) >= 0) {
            out.append(static_cast<char>(hexDigit(in[i + 1]) * 16 + hexDigit(in[i + 2])));
            i += 2;
        } else if (c == '=' && i + 1 == in.size()) {
            // A soft break at the end of the file.
        } else {
            out.append(c);
        }
    }
    return out;
}

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// UTF-8 when it is, windows-1252 otherwise (the mail programs' default).
QString decodeUnlabelled(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder ansi("windows-1252");
    if (ansi.isValid())
        return ansi.decode(bytes);
    return QString::fromLatin1(bytes);
}

QString decodeText(QByteArrayView bytes, QByteArrayView charset)
{
    QString text;
    if (charset.isEmpty() || equalsNoCase(charset, "UTF-8") || equalsNoCase(charset, "US-ASCII")) {
        text = decodeUnlabelled(bytes);
    } else {
        QStringDecoder decoder(charset.toByteArray().constData(), QStringDecoder::Flag::Stateless);
        text = decoder.isValid() ? decoder.decode(bytes) : decodeUnlabelled(bytes);
    }
    // No one means a NUL in a name or a number.
    text.remove(QChar(0));
    return text;
}

// The components of a structured value (split on unescaped ';'), unescaped:
// writers escape more than the format names (a quote in a note, the colon of
// an address), and a backslash gives the character after it. 2.1 escapes
// less: there a backslash stands for itself before other characters than
// these and the colon (a Windows path in a note).
QStringList components(const QString& text, bool structured, bool version21)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            const QChar next = text[i + 1];
            if (next == u'n' || next == u'N') {
                part += u'\n';
            } else if (!version21 || next == u',' || next == u';' || next == u'\\' || next == u':') {
                part += next;
            } else {
                part += c;
                part += next;
            }
            ++i;
        } else if (c == u';' && structured) {
            parts.append(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(part);
    return parts;
}

// Untyped: no type names a field (VOICE, PREF, INTERNET and the postal kinds name none).
const QString& labelForTypes(const QVarLengthArray<QByteArrayView, 6>& types, bool url, bool& untyped)
{
    bool cell = false, fax = false, work = false, home = false, other = false;
    for (QByteArrayView type : types) {
        if (equalsNoCase(type, "CELL"))
            cell = true;
        else if (equalsNoCase(type, "FAX"))
            fax = true;
        else if (equalsNoCase(type, "WORK"))
            work = true;
        else if (equalsNoCase(type, "HOME"))
            home = true;
        else if (!equalsNoCase(type, "VOICE") && !equalsNoCase(type, "PREF") && !equalsNoCase(type, "INTERNET")
                 && !equalsNoCase(type, "DOM") && !equalsNoCase(type, "INTL") && !equalsNoCase(type, "POSTAL")
                 && !equalsNoCase(type, "PARCEL"))
            other = true;
    }
    untyped = !cell && !fax && !work && !home && !other;
    if (url) {
        if (work)
            return AddressBook::kPhoneWorkLabel;
        if (home || !other)
            return AddressBook::kHomePageLabel;
        return AddressBook::kOtherLabel;
    }
    if (cell)
        return AddressBook::kPhoneMobileLabel;
    if (fax)
        return work ? AddressBook::kPhoneWorkFAXLabel : AddressBook::kPhoneHomeFAXLabel;
    if (work)
        return AddressBook::kPhoneWorkLabel;
    if (home || !other)
        return AddressBook::kPhoneHomeLabel;
    return AddressBook::kOtherLabel;
}

const QString& labelForAbLabel(const QString& text)
{
    static const QHash<QString, QString> known = {
        {QStringLiteral("_$!<Mobile>!$_"), AddressBook::kPhoneMobileLabel},
        {QStringLiteral("_$!<Home>!$_"), AddressBook::kPhoneHomeLabel},
        {QStringLiteral("_$!<Work>!$_"), AddressBook::kPhoneWorkLabel},
        {QStringLiteral("_$!<HomeFAX>!$_"), AddressBook::kPhoneHomeFAXLabel},
        {QStringLiteral("_$!<WorkFAX>!$_"), AddressBook::kPhoneWorkFAXLabel},
        {QStringLiteral("_$!<HomePage>!$_"), AddressBook::kHomePageLabel},
    };
    const auto it = known.constFind(text);
    return it == known.constEnd() ? AddressBook::kOtherLabel : *it;
}

// The card being read.
struct Card {
    enum Kind { Phone, Email, Url, Address };
    struct Entry {
        Kind kind;
        QByteArray group;
        bool untyped = false;
        QString label;
        QString value;
        AddressBookAddress address;
    };

    void clear() { *this = Card(); }

    bool damaged = false;
    bool notPerson = false;
    bool version21 = false;
    int properties = 0;
    bool hasN = false;
    QString given;
    QString family;
    QString formatted;
    QString organization;
    QString note;
    QList<Entry> entries;
    QHash<QByteArray, QString> groupLabels; // by the group's name in lower case; the last label counts

    static const QString& untypedLabel(Kind kind)
    {
        switch (kind) {
        case Phone:
            return AddressBook::kPhoneHomeLabel;
        case Email:
            return AddressBook::kEmailHomeLabel;
        case Url:
            return AddressBook::kHomePageLabel;
        case Address:
            break;
        }
        return AddressBook::kAddressHomeLabel;
    }

    AddressBookPerson person() const
    {
        AddressBookPerson p;
        p.firstName = given;
        p.lastName = family;
        p.organization = organization;
        p.note = note;
        if (given.isEmpty() && family.isEmpty() && organization.isEmpty())
            p.firstName = formatted;
        // An X-ABLabel of the entry's group names its field in place of its types.
        QList<std::pair<const QString*, bool>> labels; // label, untyped
        labels.reserve(entries.size());
        bool homeTyped[Address + 1] = {};
        for (const Entry& entry : entries) {
            std::pair<const QString*, bool> label{&entry.label, entry.untyped};
            if (!entry.group.isEmpty()) {
                const auto text = groupLabels.constFind(entry.group);
                if (text != groupLabels.constEnd())
                    label = {&labelForAbLabel(*text), false};
            }
            homeTyped[entry.kind] = homeTyped[entry.kind] || (!label.second && *label.first == untypedLabel(entry.kind));
            labels.append(label);
        }
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            // The first home value wins its field: one without a type takes it
            // only when no value says it is the home one.
            const QString& label = labels[i].second && homeTyped[entry.kind] ? AddressBook::kOtherLabel : *labels[i].first;
            switch (entry.kind) {
            case Phone:
                p.phones.append({label, entry.value});
                break;
            case Email:
                p.emails.append({label, entry.value});
                break;
            case Url:
                p.urls.append({label, entry.value});
                break;
            case Address:
                p.addresses.append({label, entry.address});
                break;
            }
        }
        return p;
    }
};

class Parser {
public:
    // Charsets named by the cards apply unless the bytes are the UTF-8 of a
    // file read as UTF-16 or UTF-32 (then they named the file's own bytes).
    Parser(QByteArrayView bytes, const VCardLimits& limits, bool charsetsApply)
        : m_bytes(bytes), m_limits(limits), m_charsetsApply(charsetsApply)
    {
        if (m_bytes.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
        const qsizetype firstBreak = indexOfBreak(m_pos);
        m_crlf = firstBreak < m_bytes.size() && m_bytes[firstBreak] == '\r' && endsWithLineFeed(firstBreak);
    }
    ~Parser() { Plaintext::wipe(m_joined); }

    AddressBookPeople run();

private:
    qsizetype indexOfBreak(qsizetype from) const
    {
        const char* begin = m_bytes.data();
        const char* p = begin + from;
        const char* end = begin + m_bytes.size();
        while (p < end && *p != '\n' && *p != '\r')
            ++p;
        return p - begin;
    }
    // Where the break at `at` ends: an LF, or CRs and the LF after them (a
    // file of CR LF breaks written once more through a text stream has CR CR
    // LF). Blank lines between CRs are no content: a run of them is one break.
    qsizetype breakEnd(qsizetype at) const
    {
        if (m_bytes[at] == '\n')
            return at + 1;
        qsizetype end = at;
        while (end < m_bytes.size() && m_bytes[end] == '\r')
            ++end;
        return end < m_bytes.size() && m_bytes[end] == '\n' ? end + 1 : end;
    }
    bool endsWithLineFeed(qsizetype at) const { return at < m_bytes.size() && m_bytes[breakEnd(at) - 1] == '\n'; }
    // In a file of CR LF line ends, a lone CR or LF is a break only when a
    // property or a fold follows it: otherwise it is part of a value (mail
    // programs keep one that a user typed into a field of their own).
    bool loneBreakInValue(qsizetype at) const
    {
        if (!m_crlf || (m_bytes[at] == '\r' && endsWithLineFeed(at)))
            return false;
        const qsizetype start = breakEnd(at);
        if (start >= m_bytes.size())
            return false;
        const QByteArrayView rest = m_bytes.sliced(start, indexOfBreak(start) - start);
        Property property;
        // A fold after it is unfolded as any other.
        return !rest.isEmpty() && !isBlank(rest.front()) && !trimmed(rest).isEmpty() && !parseProperty(rest, property);
    }
    // The next physical line (without its break); false at the end.
    bool nextLine(QByteArrayView& line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        qsizetype end = indexOfBreak(m_pos);
        while (end < m_bytes.size() && loneBreakInValue(end))
            end = indexOfBreak(breakEnd(end));
        line = m_bytes.sliced(m_pos, end - m_pos);
        m_pos = end < m_bytes.size() ? breakEnd(end) : end;
        return true;
    }
    bool nextStartsBlank() const { return m_pos < m_bytes.size() && isBlank(m_bytes[m_pos]); }
    // Whether the property's value is one this reader keeps.
    static bool kept(QByteArrayView name)
    {
        for (const char* wanted : {"N", "FN", "ORG", "NOTE", "TEL", "EMAIL", "URL", "ADR", "X-ABLABEL", "KIND",
                                   "X-EVOLUTION-LIST", "BEGIN", "END"})
            if (equalsNoCase(name, wanted))
                return true;
        return false;
    }
    void handle(const Property& property);
    void endCard();
    bool fail(const QString& reason)
    {
        m_error = reason;
        return false;
    }
    bool readLogicalLine(QByteArrayView& line, Property& property, bool& isProperty, bool& tooLong);
    QStringList partsOf(const Property& property, bool structured) const
    {
        return components(textOf(property), structured, m_card.version21);
    }
    QString textOf(const Property& property) const
    {
        if (property.quotedPrintable) {
            // The decoded bytes are in the charset the card names, whatever the file's own.
            QByteArray bytes = decodeQuotedPrintable(property.value);
            QString text = decodeText(bytes, property.charset);
            Plaintext::wipe(bytes);
            return text;
        }
        return decodeText(property.value, m_charsetsApply ? property.charset : QByteArrayView());
    }

    QByteArrayView m_bytes;
    const VCardLimits& m_limits;
    const bool m_charsetsApply;
    bool m_crlf = false;
    qsizetype m_pos = 0;
    QByteArray m_joined;
    QString m_error;

    bool m_inCard = false;
    int m_nested = 0;
    int m_cards = 0;
    int m_blankCards = 0; // sound cards with nothing to keep, among the skipped ones
    Card m_card;
    AddressBookPeople m_result;
};

// A kept value that grows past the limit is joined no further; its folds are
// still passed over, and `tooLong` tells.
bool Parser::readLogicalLine(QByteArrayView& line, Property& property, bool& isProperty, bool& tooLong)
{
    tooLong = false;
    QByteArrayView first;
    if (!nextLine(first))
        return false;
    isProperty = parseProperty(first, property);
    const bool quotedPrintable = isProperty && property.quotedPrintable;
    // Values this reader does not keep are passed over without being joined.
    const bool keep = !isProperty || kept(property.name);
    if (!nextStartsBlank() && !(quotedPrintable && first.endsWith('='))) {
        line = first;
        tooLong = keep && line.size() > m_limits.maxValueBytes;
        return true;
    }
    Plaintext::cleanse(m_joined);
    m_joined.truncate(0);
    bool joining = keep;
    if (joining)
        m_joined.append(first);
    bool softBreak = quotedPrintable && first.endsWith('=');
    for (;;) {
        QByteArrayView next;
        if (softBreak) {
            // 2.1's soft line break: the value goes on in the next line as it stands.
            if (!nextLine(next))
                break;
            if (joining) {
                m_joined.chop(1);
                m_joined.append(next);
            }
        } else if (nextStartsBlank()) {
            nextLine(next);
            next = next.sliced(1);
            if (joining)
                m_joined.append(next);
        } else {
            break;
        }
        softBreak = quotedPrintable && (joining ? m_joined.endsWith('=') : next.endsWith('='));
        if (joining && m_joined.size() > m_limits.maxValueBytes) {
            tooLong = true;
            joining = false;
        }
    }
    if (!keep || tooLong) {
        line = first;
        return true;
    }
    line = m_joined;
    property = Property();
    isProperty = parseProperty(line, property);
    return true;
}

AddressBookPeople Parser::run()
{
    QByteArrayView line;
    Property property;
    bool isProperty = false;
    bool tooLong = false;
    while (m_error.isEmpty()) {
        property = Property();
        if (!readLogicalLine(line, property, isProperty, tooLong))
            break;
        if (tooLong) {
            // One card past a limit is left out, not the file.
            m_card.damaged = m_card.damaged || m_inCard;
            continue;
        }
        // A line that is no property (2.1's unindented base64 goes on so, and
        // writers leave stray text) costs that line, never its card.
        if (trimmed(line).isEmpty() || !isProperty)
            continue;
        handle(property);
    }
    if (m_error.isEmpty() && m_inCard) {
        // A file that ends inside a card was cut short.
        ++m_result.skippedCards;
    }
    if (m_error.isEmpty() && m_result.people.isEmpty()) {
        if (m_result.skippedCards > 0 && m_blankCards == m_result.skippedCards)
            m_error = m_blankCards == 1 ? tr("Its one card holds nothing to import.")
                                        : tr("Its %1 cards hold nothing to import.").arg(m_blankCards);
        else if (m_result.skippedCards > 0)
            m_error = m_result.skippedCards == 1 ? tr("Its one card could not be read.")
                                                 : tr("None of its %1 cards could be read.").arg(m_result.skippedCards);
        else if (m_cards == 0)
            m_error = tr("It holds no vCard.");
    }
    if (!m_error.isEmpty()) {
        m_result.people.clear();
        m_result.skippedCards = 0;
        m_result.error = m_error;
    }
    return std::move(m_result);
}

void Parser::handle(const Property& property)
{
    const QByteArrayView name = property.name;
    if (equalsNoCase(name, "BEGIN")) {
        if (!equalsNoCase(trimmed(property.value), "VCARD"))
            return;
        if (m_inCard) {
            // A card inside a card (2.1's AGENT) is not one of the people.
            ++m_nested;
            return;
        }
        if (++m_cards > m_limits.maxCards) {
            fail(tr("It holds more than %1 cards.").arg(m_limits.maxCards));
            return;
        }
        m_inCard = true;
        m_card.clear();
        return;
    }
    if (!m_inCard)
        return;
    if (equalsNoCase(name, "END")) {
        if (!equalsNoCase(trimmed(property.value), "VCARD"))
            return;
        if (m_nested > 0)
            --m_nested;
        else
            endCard();
        return;
    }
    if (++m_card.properties > m_limits.maxPropertiesPerCard)
        m_card.damaged = true;
    if (m_card.damaged || m_nested > 0 || property.base64)
        return;

    if (equalsNoCase(name, "N")) {
        if (m_card.hasN)
            return;
        m_card.hasN = true;
        const QStringList parts = partsOf(property, true);
        m_card.family = parts.value(0);
        m_card.given = parts.value(1);
    } else if (equalsNoCase(name, "FN")) {
        if (m_card.formatted.isEmpty())
            m_card.formatted = partsOf(property, false).value(0);
    } else if (equalsNoCase(name, "ORG")) {
        if (m_card.organization.isEmpty())
            m_card.organization = partsOf(property, true).value(0);
    } else if (equalsNoCase(name, "NOTE")) {
        if (m_card.note.isEmpty())
            m_card.note = partsOf(property, false).value(0);
    } else if (equalsNoCase(name, "TEL") || equalsNoCase(name, "EMAIL") || equalsNoCase(name, "URL")) {
        Card::Entry entry;
        entry.kind = equalsNoCase(name, "TEL") ? Card::Phone : equalsNoCase(name, "EMAIL") ? Card::Email : Card::Url;
        entry.group = property.group.toByteArray().toLower();
        entry.label = labelForTypes(property.types, entry.kind == Card::Url, entry.untyped);
        entry.value = partsOf(property, false).value(0);
        // 4.0 writes numbers as tel: addresses, some writers without saying so.
        if (entry.kind == Card::Phone && entry.value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
            entry.value.remove(0, 4);
        entry.value = entry.value.trimmed();
        if (!entry.value.isEmpty())
            m_card.entries.append(std::move(entry));
    } else if (equalsNoCase(name, "ADR")) {
        const QStringList parts = partsOf(property, true);
        Card::Entry entry;
        entry.kind = Card::Address;
        entry.group = property.group.toByteArray().toLower();
        entry.label = labelForTypes(property.types, false, entry.untyped);
        QStringList street;
        for (int i = 0; i < 3; ++i)
            if (!parts.value(i).trimmed().isEmpty())
                street.append(parts.value(i));
        entry.address.street = street.join(u'\n');
        entry.address.city = parts.value(3);
        entry.address.state = parts.value(4);
        entry.address.zip = parts.value(5);
        entry.address.country = parts.value(6);
        m_card.entries.append(std::move(entry));
    } else if (equalsNoCase(name, "X-ABLABEL")) {
        if (!property.group.isEmpty())
            m_card.groupLabels.insert(property.group.toByteArray().toLower(), partsOf(property, false).value(0));
    } else if (equalsNoCase(name, "VERSION")) {
        m_card.version21 = equalsNoCase(trimmed(property.value), "2.1");
    } else if (equalsNoCase(name, "KIND")) {
        m_card.notPerson = m_card.notPerson || equalsNoCase(trimmed(property.value), "group");
    } else if (equalsNoCase(name, "X-EVOLUTION-LIST")) {
        m_card.notPerson = m_card.notPerson || equalsNoCase(trimmed(property.value), "TRUE");
    }
}

bool holdsNothing(const AddressBookPerson& p)
{
    const auto emptyAddress = [](const LabelledValue<AddressBookAddress>& a) {
        const AddressBookAddress& v = a.value;
        return v.street.isEmpty() && v.zip.isEmpty() && v.city.isEmpty() && v.state.isEmpty() && v.country.isEmpty();
    };
    return p.firstName.isEmpty() && p.lastName.isEmpty() && p.organization.isEmpty() && p.note.isEmpty()
        && p.phones.isEmpty() && p.emails.isEmpty() && p.urls.isEmpty()
        && std::all_of(p.addresses.begin(), p.addresses.end(), emptyAddress);
}

void Parser::endCard()
{
    m_inCard = false;
    if (m_card.damaged) {
        ++m_result.skippedCards;
    } else if (!m_card.notPerson) {
        // A card with nothing to keep would be a blank contact: it is passed
        // over, and a file of such cards alone holds nothing to import.
        AddressBookPerson person = m_card.person();
        if (holdsNothing(person)) {
            ++m_result.skippedCards;
            ++m_blankCards;
        } else {
            m_result.people.append(std::move(person));
        }
    }
    m_card.clear();
}

bool holdsCardInBytes(QByteArrayView bytes)
{
    static constexpr QByteArrayView begin("BEGIN:VCARD");
    return std::search(bytes.begin(), bytes.end(), begin.begin(), begin.end(), [](char a, char b) {
               return (a >= 'a' && a <= 'z' ? char(a - 'a' + 'A') : a) == b;
           }) != bytes.end();
}

// The text of a file in UTF-16 or UTF-32 as the text reader tells them, in
// UTF-8; null for any other file. A file whose bytes already hold a card is
// read as it stands: stray zero bytes do not make it UTF-16.
QByteArray wideTextAsUtf8(QByteArrayView bytes)
{
    if (holdsCardInBytes(bytes))
        return {};
    const std::optional<TextEncoding::Unicode> form = TextEncoding::detectUnicode(bytes);
    if (!form || *form == TextEncoding::Unicode::Utf8)
        return {};
    std::optional<QString> text = TextEncoding::decodeUnicode(bytes, *form);
    if (!text)
        return {};
    // No text holds a zero character: the guess was wrong.
    QByteArray utf8 = text->contains(QChar(0)) ? QByteArray() : text->toUtf8();
    Plaintext::wipe(*text);
    return utf8;
}

} // namespace

AddressBookPeople VCardReader::read(QByteArrayView bytes, const VCardLimits& limits)
{
    if (bytes.size() > limits.maxFileBytes) {
        AddressBookPeople result;
        result.error = tr("It is larger than %1.").arg(sizeText(limits.maxFileBytes));
        return result;
    }
    // UTF-16 and UTF-32 files are read as the UTF-8 of their text.
    QByteArray utf8 = wideTextAsUtf8(bytes);
    Parser parser(utf8.isNull() ? bytes : QByteArrayView(utf8), limits, utf8.isNull());
    AddressBookPeople result = parser.run();
    Plaintext::wipe(utf8);
    return result;
}

AddressBookPeople VCardReader::readFile(const QString& path, const VCardLimits& limits)
{
    AddressBookPeople result;
    // Only a regular file, and never more than allowed whatever size it reports: a pipe
    // named like a card file would otherwise hold the window for ever.
    QByteArray bytes;
    QString error;
    switch (FileRead::readRegularFile(path, limits.maxFileBytes, bytes, &error)) {
    case FileRead::Status::Read:
        break;
    case FileRead::Status::TooLarge:
        result.error = tr("It is larger than %1.").arg(sizeText(limits.maxFileBytes));
        return result;
    default:
        result.error = error;
        return result;
    }
    result = read(bytes, limits);
    Plaintext::wipe(bytes);
    return result;
}

const QStringList& VCardReader::fileExtensions()
{
    static const QStringList extensions = {QStringLiteral("vcf"), QStringLiteral("vcard"), QStringLiteral("VCF"),
                                           QStringLiteral("VCARD")};
    return extensions;
}
