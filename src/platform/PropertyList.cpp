#include "platform/PropertyList.h"

#include "platform/ArchiveBinaryPlist.h"

#include <QHash>
#include <QLocale>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace {

const QString kUidKey = QStringLiteral("CF$UID");

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

// A dictionary {"CF$UID": n} stands for a reference of a keyed archive.
bool uidOf(const Dictionary& d, quint64& uid)
{
    if (d.count() != 1)
        return false;
    const Value v = d.objectForKey(kUidKey);
    if (!v.isInteger() || (v.kind() != Value::Kind::UInt64 && v.longLongValue() < 0))
        return false;
    uid = v.unsignedLongLongValue();
    return true;
}

Value uidValue(quint64 uid)
{
    DictionaryRef d = Dictionary::create();
    d->setObject(uid > quint64(std::numeric_limits<qint64>::max()) ? Value::uint64(uid) : Value::int64(qint64(uid)), kUidKey);
    return Value(d);
}

// ---------------------------------------------------------------------------
// Calendar arithmetic for XML dates (proleptic Gregorian, UTC).

constexpr double kSecondsFrom1970To2001 = 978307200.0;

qint64 daysFromCivil(qint64 y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<qint64>(doe) - 719468;
}

void civilFromDays(qint64 z, qint64& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<qint64>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool parseXmlDate(const QString& text, double& out)
{
    // yyyy-MM-ddTHH:mm:ssZ
    const QString t = text.trimmed();
    if (t.size() != 20 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':'
        || t[19] != u'Z')
        return false;
    const auto number = [&](int from, int length, int& value) {
        value = 0;
        for (int i = from; i < from + length; ++i) {
            if (!t[i].isDigit() || t[i].unicode() > u'9')
                return false;
            value = value * 10 + (t[i].unicode() - u'0');
        }
        return true;
    };
    int year, month, day, hour, minute, second;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour)
        || !number(14, 2, minute) || !number(17, 2, second))
        return false;
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1] || hour > 23 || minute > 59 || second > 60)
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return false;
    const qint64 days = daysFromCivil(year, unsigned(month), unsigned(day));
    const qint64 seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    out = static_cast<double>(seconds) - kSecondsFrom1970To2001;
    return true;
}

bool formatXmlDate(double secondsSince2001, QString& out)
{
    const double unix = std::floor(secondsSince2001 + kSecondsFrom1970To2001);
    // Years 1 to 9999 fit the four digits of the form.
    if (!std::isfinite(unix) || unix < -62135596800.0 || unix > 253402300799.0)
        return false;
    const qint64 s = static_cast<qint64>(unix);
    const qint64 days = (s >= 0 ? s : s - 86399) / 86400;
    const qint64 rest = s - days * 86400;
    qint64 y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    out = QString::asprintf("%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", static_cast<long long>(y), m, d,
                            static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                            static_cast<long long>(rest % 60));
    return true;
}

// ---------------------------------------------------------------------------
// Binary reading

class BinaryToValue {
public:
    BinaryToValue(const BinaryPlistReader& reader, qsizetype budget)
        : m_reader(reader), m_inProgress(reader.objectCount(), false), m_budget(budget)
    {
    }

    bool convert(quint64 index, int depth, Value& out, QString* error)
    {
        if (depth > PropertyList::kMaxDepth)
            return fail(error, QStringLiteral("property list is nested too deeply"));
        if (--m_budget < 0)
            return fail(error, QStringLiteral("property list expands beyond its size"));
        const auto cached = m_cache.constFind(index);
        if (cached != m_cache.constEnd()) {
            out = *cached;
            return true;
        }
        BinaryPlistReader::Object o;
        if (!m_reader.object(index, o, error))
            return false;
        using T = BinaryPlistReader::Type;
        if (o.type == T::Uid) {
            out = uidValue(o.uid);
            return true;
        }
        if (m_reader.scalar(o, out)) {
            // Shared byte strings and strings are made once, however often
            // they are referred to.
            if (o.type == T::Data || o.type == T::String)
                m_cache.insert(index, out);
            return true;
        }
        if (m_inProgress[index])
            return fail(error, QStringLiteral("property list contains itself"));
        m_inProgress[index] = true;
        const bool ok = o.type == T::Array ? convertArray(o, depth, out, error) : convertDict(o, depth, out, error);
        m_inProgress[index] = false;
        return ok;
    }

private:
    bool convertArray(const BinaryPlistReader::Object& o, int depth, Value& out, QString* error)
    {
        ArrayRef array = Array::create();
        array->reserve(qsizetype(o.count));
        for (quint64 i = 0; i < o.count; ++i) {
            quint64 ref = 0;
            Value element;
            if (!m_reader.reference(o, i, ref, error) || !convert(ref, depth + 1, element, error))
                return false;
            array->addObject(element);
        }
        out = Value(array);
        return true;
    }

    bool convertDict(const BinaryPlistReader::Object& o, int depth, Value& out, QString* error)
    {
        DictionaryRef dict = Dictionary::create();
        dict->reserve(qsizetype(o.count));
        for (quint64 i = 0; i < o.count; ++i) {
            quint64 keyRef = 0, valueRef = 0;
            Value key, value;
            if (!m_reader.reference(o, i, keyRef, error) || !m_reader.reference(o, o.count + i, valueRef, error)
                || !convert(keyRef, depth + 1, key, error) || !convert(valueRef, depth + 1, value, error))
                return false;
            if (!key.isString())
                return fail(error, QStringLiteral("property list has a dictionary key that is not a string"));
            dict->setObject(value, key.stringValue());
        }
        out = Value(dict);
        return true;
    }

    const BinaryPlistReader& m_reader;
    std::vector<bool> m_inProgress;
    QHash<quint64, Value> m_cache;
    qsizetype m_budget;
};

// ---------------------------------------------------------------------------
// Binary writing

class ValueToBinary {
public:
    bool convert(const Value& v, int depth, BinaryPlistWriter::Index& out, QString* error)
    {
        if (depth > PropertyList::kMaxDepth)
            return fail(error, QStringLiteral("property list is nested too deeply (or contains itself)"));
        if (m_writer.addScalar(v, out))
            return true;
        if (v.isNull())
            return fail(error, QStringLiteral("property lists cannot hold an absent value"));
        if (v.isColor())
            return fail(error, QStringLiteral("property lists cannot hold a colour"));
        // A collection met twice is written once and referred to twice.
        const void* identity = v.isArray() ? static_cast<const void*>(v.array().get()) : v.dictionary().get();
        const auto seen = m_written.constFind(identity);
        if (seen != m_written.constEnd()) {
            out = *seen;
            return true;
        }
        std::vector<BinaryPlistWriter::Index> keys, values;
        if (const ArrayRef a = v.array()) {
            values.reserve(std::size_t(a->count()));
            for (const Value& element : *a) {
                BinaryPlistWriter::Index i;
                if (!convert(element, depth + 1, i, error))
                    return false;
                values.push_back(i);
            }
            out = m_writer.addArray(values);
        } else {
            const DictionaryRef d = v.dictionary();
            quint64 uid = 0;
            if (uidOf(*d, uid)) {
                out = m_writer.addUid(uid);
                return true;
            }
            keys.reserve(std::size_t(d->count()));
            values.reserve(std::size_t(d->count()));
            for (const auto& [key, value] : *d) {
                BinaryPlistWriter::Index k, i;
                if (!convert(Value(key), depth + 1, k, error) || !convert(value, depth + 1, i, error))
                    return false;
                keys.push_back(k);
                values.push_back(i);
            }
            out = m_writer.addDict(keys, values);
        }
        m_written.insert(identity, out);
        return true;
    }

    BinaryPlistWriter& writer() { return m_writer; }

private:
    BinaryPlistWriter m_writer;
    QHash<const void*, BinaryPlistWriter::Index> m_written;
};

// ---------------------------------------------------------------------------
// XML

bool isXmlText(const QString& s)
{
    // XML 1.0 characters, and no lone surrogate that UTF-8 could not carry.
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < 0x20 && c != 0x9 && c != 0xA && c != 0xD)
            return false;
        if (c == 0xFFFE || c == 0xFFFF)
            return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= s.size() || !QChar::isLowSurrogate(s.at(i + 1).unicode()))
                return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

QString formatReal(double d)
{
    if (std::isnan(d))
        return QStringLiteral("nan");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

class ValueToXml {
public:
    explicit ValueToXml(QByteArray* out) : m_xml(out) { m_xml.setAutoFormatting(true), m_xml.setAutoFormattingIndent(-1); }

    bool write(const Value& v, QString* error)
    {
        m_xml.writeStartDocument();
        m_xml.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
        m_xml.writeStartElement(QStringLiteral("plist"));
        m_xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
        if (!element(v, 0, error))
            return false;
        m_xml.writeEndElement();
        m_xml.writeEndDocument();
        return !m_xml.hasError() || fail(error, QStringLiteral("property list could not be written as XML"));
    }

private:
    bool text(const QString& name, const QString& s, QString* error)
    {
        if (!isXmlText(s))
            return fail(error, QStringLiteral("property list holds a text XML cannot carry"));
        m_xml.writeTextElement(name, s);
        return true;
    }

    bool element(const Value& v, int depth, QString* error)
    {
        if (depth > PropertyList::kMaxDepth)
            return fail(error, QStringLiteral("property list is nested too deeply (or contains itself)"));
        switch (v.kind()) {
        case Value::Kind::Null:
            return fail(error, QStringLiteral("property lists cannot hold an absent value"));
        case Value::Kind::Color:
            return fail(error, QStringLiteral("property lists cannot hold a colour"));
        case Value::Kind::Bool:
            m_xml.writeEmptyElement(v.boolValue() ? QStringLiteral("true") : QStringLiteral("false"));
            return true;
        case Value::Kind::Int32:
        case Value::Kind::Int64:
        case Value::Kind::UInt64:
            m_xml.writeTextElement(QStringLiteral("integer"), v.stringValue());
            return true;
        case Value::Kind::Real:
            m_xml.writeTextElement(QStringLiteral("real"), formatReal(v.doubleValue()));
            return true;
        case Value::Kind::Date: {
            QString s;
            if (!formatXmlDate(v.dateValue(), s))
                return fail(error, QStringLiteral("property list holds a date XML cannot carry"));
            m_xml.writeTextElement(QStringLiteral("date"), s);
            return true;
        }
        case Value::Kind::String:
            return text(QStringLiteral("string"), v.stringValue(), error);
        case Value::Kind::Data:
            m_xml.writeTextElement(QStringLiteral("data"), QString::fromLatin1(v.dataValue().toBase64()));
            return true;
        case Value::Kind::Array:
            m_xml.writeStartElement(QStringLiteral("array"));
            for (const Value& element : *v.array()) {
                if (!this->element(element, depth + 1, error))
                    return false;
            }
            m_xml.writeEndElement();
            return true;
        case Value::Kind::Dictionary:
            m_xml.writeStartElement(QStringLiteral("dict"));
            for (const auto& [key, value] : *v.dictionary()) {
                if (!text(QStringLiteral("key"), key, error) || !element(value, depth + 1, error))
                    return false;
            }
            m_xml.writeEndElement();
            return true;
        }
        return false;
    }

    QXmlStreamWriter m_xml;
};

bool parseXmlInteger(const QString& text, Value& out)
{
    const QByteArray t = text.trimmed().toLatin1();
    if (t.isEmpty())
        return false;
    const char* begin = t.constData();
    const char* end = begin + t.size();
    if (*begin == '+')
        ++begin;
    if (*begin == '-') {
        qint64 v = 0;
        const auto [p, ec] = std::from_chars(begin, end, v);
        if (ec != std::errc() || p != end)
            return false;
        out = Value::int64(v);
        return true;
    }
    quint64 u = 0;
    const auto [p, ec] = std::from_chars(begin, end, u);
    if (ec != std::errc() || p != end)
        return false;
    out = u > quint64(std::numeric_limits<qint64>::max()) ? Value::uint64(u) : Value::int64(qint64(u));
    return true;
}

bool parseXmlReal(const QString& text, double& out)
{
    QByteArray t = text.trimmed().toLatin1();
    if (t.startsWith('+'))
        t.remove(0, 1);
    const char* end = t.constData() + t.size();
    const auto [p, ec] = std::from_chars(t.constData(), end, out);
    if (ec == std::errc::result_out_of_range) {
        // Beyond the range of a double: infinity or zero with its sign, as
        // the reading of a text saturates.
        out = Value(QString::fromLatin1(t)).doubleValue();
        return p == end;
    }
    return ec == std::errc() && p == end && !t.isEmpty();
}

// Read with Qt's streaming reader rather than libplist 2.2, whose XML parser
// descends once per level without a bound (deep nesting overflows the stack)
// and whose nodes lose the sign of integers.
class XmlToValue {
public:
    explicit XmlToValue(const QByteArray& data) : m_xml(data) {}

    bool read(Value& out, QString* error)
    {
        if (!m_xml.readNextStartElement())
            return fail(error, xmlError(QStringLiteral("no property list element")));
        const bool wrapped = m_xml.name() == u"plist";
        if (wrapped && !m_xml.readNextStartElement())
            return fail(error, xmlError(QStringLiteral("empty property list")));
        if (!element(0, out, error))
            return false;
        if (wrapped && m_xml.readNextStartElement())
            return fail(error, QStringLiteral("property list holds more than one root object"));
        while (!m_xml.atEnd())
            m_xml.readNext();
        if (m_xml.hasError())
            return fail(error, xmlError(QString()));
        return true;
    }

private:
    QString xmlError(const QString& fallback) const
    {
        if (!m_xml.hasError())
            return fallback;
        return QStringLiteral("XML property list is malformed at line %1: %2").arg(m_xml.lineNumber()).arg(m_xml.errorString());
    }

    bool text(QString& out, QString* error)
    {
        out = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        return !m_xml.hasError() || fail(error, xmlError(QString()));
    }

    bool element(int depth, Value& out, QString* error)
    {
        if (depth > PropertyList::kMaxDepth)
            return fail(error, QStringLiteral("property list is nested too deeply"));
        const QStringView name = m_xml.name();
        QString s;
        if (name == u"dict")
            return dict(depth, out, error);
        if (name == u"array") {
            ArrayRef array = Array::create();
            while (m_xml.readNextStartElement()) {
                Value element;
                if (!this->element(depth + 1, element, error))
                    return false;
                array->addObject(element);
            }
            out = Value(array);
            return !m_xml.hasError() || fail(error, xmlError(QString()));
        }
        if (name == u"true" || name == u"false") {
            const bool b = name == u"true";
            if (!text(s, error))
                return false;
            out = Value::boolean(b);
            return true;
        }
        if (!text(s, error))
            return false;
        if (name == u"string") {
            out = Value(s);
            return true;
        }
        if (name == u"integer")
            return parseXmlInteger(s, out) || fail(error, QStringLiteral("property list has the invalid integer \"%1\"").arg(s.left(40)));
        if (name == u"real") {
            double d = 0;
            if (!parseXmlReal(s, d))
                return fail(error, QStringLiteral("property list has the invalid real \"%1\"").arg(s.left(40)));
            out = Value::real(d);
            return true;
        }
        if (name == u"date") {
            double d = 0;
            if (!parseXmlDate(s, d))
                return fail(error, QStringLiteral("property list has the invalid date \"%1\"").arg(s.left(40)));
            out = Value::date(d);
            return true;
        }
        if (name == u"data") {
            QByteArray base64 = s.toLatin1();
            base64.replace(' ', "").replace('\t', "").replace('\n', "").replace('\r', "");
            auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                return fail(error, QStringLiteral("property list has invalid base64 data"));
            out = Value::data(*decoded);
            return true;
        }
        return fail(error, QStringLiteral("property list has the unknown element <%1>").arg(name.left(40)));
    }

    bool dict(int depth, Value& out, QString* error)
    {
        DictionaryRef d = Dictionary::create();
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"key")
                return fail(error, QStringLiteral("property list dictionary has <%1> where a key belongs").arg(m_xml.name().left(40)));
            QString key;
            if (!text(key, error))
                return false;
            if (!m_xml.readNextStartElement())
                return fail(error, xmlError(QStringLiteral("property list dictionary has a key without a value")));
            Value value;
            if (!element(depth + 1, value, error))
                return false;
            d->setObject(value, key);
        }
        out = Value(d);
        return !m_xml.hasError() || fail(error, xmlError(QString()));
    }

    QXmlStreamReader m_xml;
};

} // namespace

bool PropertyList::write(const Value& plist, Format format, QByteArray& out, QString* error)
{
    out.clear();
    if (format == Format::Xml) {
        QByteArray xml;
        ValueToXml writer(&xml);
        if (!writer.write(plist, error))
            return false;
        out = xml;
        return true;
    }
    ValueToBinary converter;
    BinaryPlistWriter::Index top;
    if (!converter.convert(plist, 0, top, error))
        return false;
    out = converter.writer().finish(top);
    return true;
}

QByteArray PropertyList::dataWithPropertyList(const Value& plist, Format format, QString* error)
{
    QByteArray out;
    write(plist, format, out, error);
    return out;
}

namespace {

// Whether the bytes can begin an XML document: an optional byte-order mark and
// white space, then a tag, in UTF-8 or UTF-16, with no control character in
// the first few hundred characters. Anything else is refused before the XML
// reader decodes it all.
bool mayBeXml(const QByteArray& data)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    qsizetype i = 0;
    int unit = 1; // bytes per character
    int low = 0;  // where an ASCII character's byte is within its unit
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        i = 3;
    } else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        i = 2, unit = 2;
    } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
        i = 2, unit = 2, low = 1;
    } else if (n >= 2 && p[0] == 0 && p[1] != 0) {
        unit = 2, low = 1;
    } else if (n >= 2 && p[0] != 0 && p[1] == 0) {
        unit = 2;
    }
    // The character at i, or -1 past the end; above 0x7F counts as 0x80.
    const auto at = [&](qsizetype k) -> int {
        if (k + unit > n)
            return -1;
        if (unit == 2 && p[k + 1 - low] != 0)
            return 0x80;
        return std::min<int>(p[k + low], 0x80);
    };
    const auto isSpace = [](int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    const qsizetype start = i;
    while (isSpace(at(i)))
        i += unit;
    if (at(i) != '<')
        return false;
    const int next = at(i + unit);
    if (!(next == '?' || next == '!' || next == '_' || (next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z')))
        return false;
    for (qsizetype k = start; k < start + 256 * unit; k += unit) {
        const int c = at(k);
        if (c < 0)
            break;
        if (c < 0x20 && !isSpace(c))
            return false;
    }
    return true;
}

} // namespace

bool PropertyList::read(const QByteArray& data, Value& out, QString* error, Format* format)
{
    out = Value();
    if (!data.startsWith("bplist") && !mayBeXml(data))
        return fail(error, QStringLiteral("malformed property list: neither binary nor XML"));
    if (data.startsWith("bplist")) {
        if (format)
            *format = Format::Binary;
        BinaryPlistReader reader;
        if (!reader.open(data, error))
            return false;
        // A tree without shared containers has at most one node per byte;
        // sharing may not expand it much beyond that.
        BinaryToValue converter(reader, data.size() + 1024);
        return converter.convert(reader.topObject(), 0, out, error);
    }
    if (format)
        *format = Format::Xml;
    XmlToValue reader(data);
    if (!reader.read(out, error)) {
        out = Value();
        return false;
    }
    return true;
}

Value PropertyList::propertyListWithData(const QByteArray& data, QString* error, Format* format)
{
    Value out;
    read(data, out, error, format);
    return out;
}
