#include "platform/Value.h"

#include "platform/ArchiveDictionaryBuilder.h"

#include <QLocale>

#include <charconv>
#include <cstring>
#include <cmath>
#include <limits>
#include <string>

namespace {

// Seconds between 1970-01-01 and 2001-01-01, both UTC.
constexpr double kReferenceDateOffset = 978307200.0;

// Deep comparisons stop here; a deeper (or cyclic) structure compares unequal
// instead of exhausting the stack.
constexpr int kMaxCompareDepth = 512;

// Dictionaries up to this size (records have about 20 keys) are searched in
// order; larger ones get a hash.
constexpr std::size_t kLinearSearchLimit = 32;

template <typename Int>
Int saturatingFromReal(double d)
{
    if (std::isnan(d))
        return 0;
    // The bounds are powers of two, so they are exact as doubles.
    constexpr double lowest = static_cast<double>(std::numeric_limits<Int>::min());
    if (d <= lowest)
        return std::numeric_limits<Int>::min();
    // 2^(bits of Int minus sign bit): the first value past the maximum.
    const double past = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    if (d >= past)
        return std::numeric_limits<Int>::max();
    return static_cast<Int>(d);
}

qsizetype skipWhiteSpace(const QString& s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i).isSpace())
        ++i;
    return i;
}

// Parses a decimal integer at the start of the string (after white space and
// an optional sign); the magnitude saturates at `limit`.
struct ParsedInteger {
    bool negative = false;
    quint64 magnitude = 0;
};

ParsedInteger parseLeadingInteger(const QString& s, quint64 limit)
{
    ParsedInteger result;
    qsizetype i = skipWhiteSpace(s);
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-')) {
        result.negative = s.at(i) == u'-';
        ++i;
    }
    for (; i < s.size(); ++i) {
        const char16_t c = s.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        const quint64 digit = c - u'0';
        if (result.magnitude > (limit - digit) / 10)
            result.magnitude = limit;
        else
            result.magnitude = result.magnitude * 10 + digit;
    }
    return result;
}

template <typename Int>
Int stringToSigned(const QString& s)
{
    using U = std::make_unsigned_t<Int>;
    // The negative side reaches one further than the positive side.
    const quint64 positiveLimit = static_cast<U>(std::numeric_limits<Int>::max());
    const ParsedInteger p = parseLeadingInteger(s, positiveLimit + 1);
    if (p.negative)
        return p.magnitude > positiveLimit ? std::numeric_limits<Int>::min() : -static_cast<Int>(p.magnitude);
    return p.magnitude > positiveLimit ? std::numeric_limits<Int>::max() : static_cast<Int>(p.magnitude);
}

quint64 stringToUnsigned(const QString& s, quint64 limit)
{
    const ParsedInteger p = parseLeadingInteger(s, limit);
    // A negative text is below the range: the reading saturates at zero.
    return p.negative ? 0 : p.magnitude;
}

// For a decimal number beyond the range of a double: whether it is too large
// (rather than too small), told by the place of its first non-zero digit.
bool decimalOverflows(const std::string& text)
{
    const std::size_t e = text.find('e');
    const std::size_t mantissaEnd = e == std::string::npos ? text.size() : e;
    const std::size_t point = std::min(text.find('.'), mantissaEnd);
    const std::size_t first = text.find_first_of("123456789");
    if (first >= mantissaEnd)
        return false;
    long long order = first < point ? static_cast<long long>(point - first) - 1 : -static_cast<long long>(first - point);
    if (e != std::string::npos) {
        // Saturated far beyond any order a double reaches.
        constexpr long long kBound = 1LL << 40;
        long long exponent = 0;
        std::size_t i = e + 1;
        const bool negative = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+'))
            ++i;
        for (; i < text.size() && exponent < kBound; ++i)
            exponent = exponent * 10 + (text[i] - '0');
        order += negative ? -exponent : exponent;
    }
    return order >= 0;
}

double stringToDouble(const QString& s)
{
    // The longest prefix that reads as a decimal number, parsed without regard
    // to the process locale.
    qsizetype i = skipWhiteSpace(s);
    std::string text;
    const auto digitAt = [&](qsizetype k) { return k < s.size() && s.at(k) >= u'0' && s.at(k) <= u'9'; };
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-')) {
        if (s.at(i) == u'-')
            text += '-';
        ++i;
    }
    bool anyDigit = false;
    while (digitAt(i)) {
        text += static_cast<char>(s.at(i++).unicode());
        anyDigit = true;
    }
    if (i < s.size() && s.at(i) == u'.') {
        text += '.';
        ++i;
        while (digitAt(i)) {
            text += static_cast<char>(s.at(i++).unicode());
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (i < s.size() && (s.at(i) == u'e' || s.at(i) == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < s.size() && (s.at(j) == u'+' || s.at(j) == u'-'))
            exponent += static_cast<char>(s.at(j++).unicode());
        if (digitAt(j)) {
            while (digitAt(j))
                exponent += static_cast<char>(s.at(j++).unicode());
            text += exponent;
        }
    }
    double d = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Overflow gives infinity, underflow zero, each with its sign.
        const double magnitude = decimalOverflows(text) ? HUGE_VAL : 0.0;
        return text.front() == '-' ? -magnitude : magnitude;
    }
    return d;
}

bool stringToBool(const QString& s)
{
    qsizetype i = skipWhiteSpace(s);
    if (i < s.size() && (s.at(i) == u'+' || s.at(i) == u'-'))
        ++i;
    while (i < s.size() && s.at(i) == u'0')
        ++i;
    if (i >= s.size())
        return false;
    const char16_t c = s.at(i).unicode();
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

// A number as an exact integer (128 bits hold every 64-bit value of either
// sign) or a real, for comparisons across kinds.
struct Number {
    bool isReal = false;
    __int128 integer = 0;
    double real = 0.0;
};

Number numberOf(const Value& v)
{
    Number n;
    switch (v.kind()) {
    case Value::Kind::Bool:
        n.integer = v.boolValue() ? 1 : 0;
        break;
    case Value::Kind::Int32:
    case Value::Kind::Int64:
        n.integer = v.longLongValue();
        break;
    case Value::Kind::UInt64:
        n.integer = static_cast<__int128>(v.unsignedLongLongValue());
        break;
    case Value::Kind::Real:
        n.isReal = true;
        n.real = v.doubleValue();
        break;
    default:
        break;
    }
    return n;
}

bool realEqualsInteger(double d, __int128 i)
{
    if (!std::isfinite(d) || std::trunc(d) != d)
        return false;
    // Every 64-bit integer lies well inside ±2^100.
    if (std::fabs(d) >= std::ldexp(1.0, 100))
        return false;
    return static_cast<__int128>(d) == i;
}

bool numbersEqual(const Value& a, const Value& b)
{
    const Number x = numberOf(a);
    const Number y = numberOf(b);
    if (x.isReal && y.isReal)
        return x.real == y.real;
    if (x.isReal)
        return realEqualsInteger(x.real, y.integer);
    if (y.isReal)
        return realEqualsInteger(y.real, x.integer);
    return x.integer == y.integer;
}

QString realDescription(double d)
{
    if (std::isnan(d))
        return QStringLiteral("nan");
    if (std::isinf(d))
        return d < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

} // namespace

bool valueIsEqual(const Value& a, const Value& b, int depth);

namespace {

bool dictionariesEqual(const Dictionary& a, const Dictionary& b, int depth)
{
    if (&a == &b)
        return true;
    if (a.count() != b.count() || depth > kMaxCompareDepth)
        return false;
    for (const auto& [key, value] : a) {
        if (!b.containsKey(key) || !valueIsEqual(value, b.objectForKey(key), depth + 1))
            return false;
    }
    return true;
}

bool arraysEqual(const Array& a, const Array& b, int depth)
{
    if (&a == &b)
        return true;
    if (a.count() != b.count() || depth > kMaxCompareDepth)
        return false;
    for (qsizetype i = 0; i < a.count(); ++i) {
        if (!valueIsEqual(a.objects()[std::size_t(i)], b.objects()[std::size_t(i)], depth + 1))
            return false;
    }
    return true;
}

bool colorsEqual(const ArchivedColor& a, const ArchivedColor& b, int depth)
{
    if (&a == &b)
        return true;
    if (depth > kMaxCompareDepth)
        return false;
    if (a.colorSpace != b.colorSpace || a.components != b.components || a.catalogName != b.catalogName
        || a.colorName != b.colorName || bool(a.fallback) != bool(b.fallback))
        return false;
    return !a.fallback || colorsEqual(*a.fallback, *b.fallback, depth + 1);
}

} // namespace

bool valueIsEqual(const Value& a, const Value& b, int depth)
{
    if (a.isNumber() || b.isNumber())
        return a.isNumber() && b.isNumber() && numbersEqual(a, b);
    if (a.kind() != b.kind())
        return false;
    switch (a.kind()) {
    case Value::Kind::Null:
        return true;
    case Value::Kind::String:
        return std::get<QString>(a.m_value) == std::get<QString>(b.m_value);
    case Value::Kind::Data:
        return std::get<QByteArray>(a.m_value) == std::get<QByteArray>(b.m_value);
    case Value::Kind::Date:
        return a.dateValue() == b.dateValue();
    case Value::Kind::Dictionary:
        return dictionariesEqual(*a.dictionary(), *b.dictionary(), depth);
    case Value::Kind::Array:
        return arraysEqual(*a.array(), *b.array(), depth);
    case Value::Kind::Color:
        return colorsEqual(*a.color(), *b.color(), depth);
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Value

Value::Value(const QString& string) : m_value(std::in_place_type<QString>, string) {}

Value::Value(QString&& string) : m_value(std::in_place_type<QString>, std::move(string)) {}

Value::Value(const char* utf8)
{
    if (utf8)
        m_value.emplace<QString>(QString::fromUtf8(utf8));
}

Value::Value(DictionaryRef dictionary)
{
    if (dictionary)
        m_value.emplace<DictionaryRef>(std::move(dictionary));
}

Value::Value(ArrayRef array)
{
    if (array)
        m_value.emplace<ArrayRef>(std::move(array));
}

Value::Value(ColorRef color)
{
    if (color)
        m_value.emplace<ColorRef>(std::move(color));
}

Value Value::boolean(bool b) { return Value(std::in_place_type<bool>, b); }
Value Value::int32(qint32 i) { return Value(std::in_place_type<qint32>, i); }
Value Value::int64(qint64 i) { return Value(std::in_place_type<qint64>, i); }
Value Value::uint64(quint64 u) { return Value(std::in_place_type<quint64>, u); }
Value Value::real(double d) { return Value(std::in_place_type<double>, d); }
Value Value::string(const QString& s) { return Value(s); }
Value Value::data(const QByteArray& d) { return Value(std::in_place_type<QByteArray>, d); }
Value Value::date(double secondsSince2001) { return Value(std::in_place_type<DateBox>, DateBox{secondsSince2001}); }

Value Value::dateFromDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return Value();
    return date(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0 - kReferenceDateOffset);
}

QDateTime Value::toDateTime() const
{
    if (!isDate())
        return QDateTime();
    const double ms = std::round((dateValue() + kReferenceDateOffset) * 1000.0);
    // Far beyond any calendar date a person could mean; also keeps the cast defined.
    if (!std::isfinite(ms) || std::fabs(ms) > 1.0e17)
        return QDateTime();
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), Qt::UTC);
}

bool Value::isNumber() const
{
    switch (kind()) {
    case Kind::Bool:
    case Kind::Int32:
    case Kind::Int64:
    case Kind::UInt64:
    case Kind::Real:
        return true;
    default:
        return false;
    }
}

bool Value::isInteger() const
{
    return kind() == Kind::Int32 || kind() == Kind::Int64 || kind() == Kind::UInt64;
}

int Value::intValue() const
{
    switch (kind()) {
    case Kind::Real:
        return saturatingFromReal<int>(std::get<double>(m_value));
    case Kind::String:
        return stringToSigned<int>(std::get<QString>(m_value));
    default:
        // The low 32 bits, as a C cast narrows.
        return static_cast<int>(static_cast<quint32>(longLongValue()));
    }
}

unsigned Value::unsignedIntValue() const
{
    switch (kind()) {
    case Kind::Real:
        return saturatingFromReal<unsigned>(std::get<double>(m_value));
    case Kind::String:
        return static_cast<unsigned>(stringToUnsigned(std::get<QString>(m_value), std::numeric_limits<unsigned>::max()));
    default:
        return static_cast<unsigned>(unsignedLongLongValue());
    }
}

qint64 Value::longValue() const { return longLongValue(); }

qint64 Value::longLongValue() const
{
    switch (kind()) {
    case Kind::Bool:
        return std::get<bool>(m_value) ? 1 : 0;
    case Kind::Int32:
        return std::get<qint32>(m_value);
    case Kind::Int64:
        return std::get<qint64>(m_value);
    case Kind::UInt64:
        return static_cast<qint64>(std::get<quint64>(m_value));
    case Kind::Real:
        return saturatingFromReal<qint64>(std::get<double>(m_value));
    case Kind::String:
        return stringToSigned<qint64>(std::get<QString>(m_value));
    default:
        return 0;
    }
}

quint64 Value::unsignedLongLongValue() const
{
    switch (kind()) {
    case Kind::UInt64:
        return std::get<quint64>(m_value);
    case Kind::Real:
        return saturatingFromReal<quint64>(std::get<double>(m_value));
    case Kind::String:
        return stringToUnsigned(std::get<QString>(m_value), std::numeric_limits<quint64>::max());
    default:
        return static_cast<quint64>(longLongValue());
    }
}

bool Value::boolValue() const
{
    switch (kind()) {
    case Kind::Real:
        return std::get<double>(m_value) != 0.0;
    case Kind::String:
        return stringToBool(std::get<QString>(m_value));
    default:
        return longLongValue() != 0;
    }
}

float Value::floatValue() const
{
    const double d = doubleValue();
    // Beyond the float range the reading is an infinity, never undefined.
    if (d > static_cast<double>(std::numeric_limits<float>::max()))
        return std::numeric_limits<float>::infinity();
    if (d < -static_cast<double>(std::numeric_limits<float>::max()))
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

double Value::doubleValue() const
{
    switch (kind()) {
    case Kind::Real:
        return std::get<double>(m_value);
    case Kind::String:
        return stringToDouble(std::get<QString>(m_value));
    case Kind::UInt64:
        return static_cast<double>(std::get<quint64>(m_value));
    default:
        return static_cast<double>(longLongValue());
    }
}

QString Value::stringValue() const
{
    switch (kind()) {
    case Kind::String:
        return std::get<QString>(m_value);
    case Kind::Bool:
        return std::get<bool>(m_value) ? QStringLiteral("1") : QStringLiteral("0");
    case Kind::Int32:
        return QString::number(std::get<qint32>(m_value));
    case Kind::Int64:
        return QString::number(std::get<qint64>(m_value));
    case Kind::UInt64:
        return QString::number(std::get<quint64>(m_value));
    case Kind::Real:
        return realDescription(std::get<double>(m_value));
    default:
        return QString();
    }
}

QByteArray Value::dataValue() const
{
    if (const QByteArray* d = std::get_if<QByteArray>(&m_value))
        return *d;
    return QByteArray();
}

double Value::dateValue() const
{
    if (const DateBox* d = std::get_if<DateBox>(&m_value))
        return d->seconds;
    return 0.0;
}

DictionaryRef Value::dictionary() const
{
    if (const DictionaryRef* d = std::get_if<DictionaryRef>(&m_value))
        return *d;
    return nullptr;
}

ArrayRef Value::array() const
{
    if (const ArrayRef* a = std::get_if<ArrayRef>(&m_value))
        return *a;
    return nullptr;
}

ColorRef Value::color() const
{
    if (const ColorRef* c = std::get_if<ColorRef>(&m_value))
        return *c;
    return nullptr;
}

bool Value::operator==(const Value& other) const
{
    // Scalars by kind and value; references by pointer, which is identity.
    return m_value == other.m_value;
}

bool Value::isEqual(const Value& other) const { return valueIsEqual(*this, other, 0); }

Value Value::valueForKey(const QString& key) const
{
    if (const DictionaryRef* d = std::get_if<DictionaryRef>(&m_value))
        return (*d)->objectForKey(key);
    if (const ArrayRef* a = std::get_if<ArrayRef>(&m_value))
        return (*a)->valueForKey(key);
    return Value();
}

Value Value::valueForKeyPath(const QString& keyPath) const
{
    if (const DictionaryRef* d = std::get_if<DictionaryRef>(&m_value))
        return (*d)->valueForKeyPath(keyPath);
    if (const ArrayRef* a = std::get_if<ArrayRef>(&m_value))
        return (*a)->valueForKeyPath(keyPath);
    return Value();
}

Value Value::mutableCopy() const
{
    if (const DictionaryRef* d = std::get_if<DictionaryRef>(&m_value))
        return Value((*d)->mutableCopy());
    if (const ArrayRef* a = std::get_if<ArrayRef>(&m_value))
        return Value((*a)->mutableCopy());
    return *this;
}

// ---------------------------------------------------------------------------
// Dictionary

namespace {

bool sameKey(const QString& a, const QString& b)
{
    // Keys read from one archive or copied from one record share their text.
    return a.size() == b.size()
        && (a.constData() == b.constData()
            || std::memcmp(a.constData(), b.constData(), std::size_t(a.size()) * sizeof(QChar)) == 0);
}

} // namespace

class Dictionary::Keys {
public:
    qsizetype find(const QString& key) const
    {
        if (!index.isEmpty())
            return index.value(key, -1);
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (sameKey(names[i], key))
                return static_cast<qsizetype>(i);
        }
        return -1;
    }

    void append(const QString& key)
    {
        names.push_back(key);
        if (!index.isEmpty())
            index.insert(key, static_cast<qsizetype>(names.size() - 1));
        else
            indexIfLarge();
    }

    void removeAt(qsizetype i)
    {
        names.erase(names.begin() + i);
        index.clear();
        indexIfLarge();
    }

    // This list with `key` after its last: the one made before when it still
    // says so, else a new one remembered for the next. Dictionaries that share
    // a list and gain the same key (records linked to their category at an
    // unlock) thereby share the longer list too.
    static std::shared_ptr<Keys> withAppended(const std::shared_ptr<Keys>& self, const QString& key)
    {
        for (auto& [appendedKey, known] : self->successors.list) {
            if (!sameKey(appendedKey, key))
                continue;
            // A list is changed in place once only one dictionary holds it:
            // it is taken only while it still is this list plus the key.
            if (std::shared_ptr<Keys> list = known.lock(); list && list->extends(*self, key))
                return list;
            auto list = makeAppended(self, key);
            known = list;
            return list;
        }
        auto list = makeAppended(self, key);
        if (self->successors.list.size() < kMaxSuccessors)
            self->successors.list.emplace_back(key, list);
        return list;
    }

    // The list this one was made from by appending `key` as its last, while it
    // still is this list without it: dictionaries that share a list and lose
    // the key they gained (records of an import losing their category name)
    // share the shorter list again. Null otherwise.
    std::shared_ptr<Keys> withoutLast(const QString& key) const
    {
        std::shared_ptr<Keys> list = predecessor.list.lock();
        return list && extends(*list, key) ? list : nullptr;
    }

    std::vector<QString> names;
    // Filled only for many keys, and never lazily, so that a list shared by
    // several dictionaries is not written to by a reader.
    QHash<QString, qsizetype> index;

private:
    static constexpr std::size_t kMaxSuccessors = 4;

    // Held weakly, and not taken over by a copy of the list.
    struct Successors {
        Successors() = default;
        Successors(const Successors&) {}
        Successors& operator=(const Successors&) { return *this; }
        std::vector<std::pair<QString, std::weak_ptr<Keys>>> list;
    };
    struct Predecessor {
        Predecessor() = default;
        Predecessor(const Predecessor&) {}
        Predecessor& operator=(const Predecessor&) { return *this; }
        std::weak_ptr<Keys> list;
    };

    static std::shared_ptr<Keys> makeAppended(const std::shared_ptr<Keys>& self, const QString& key)
    {
        auto list = std::make_shared<Keys>();
        list->names.reserve(self->names.size() + 1);
        list->names = self->names;
        list->index = self->index;
        list->append(key);
        list->predecessor.list = self;
        return list;
    }

    bool extends(const Keys& shorter, const QString& key) const
    {
        if (names.size() != shorter.names.size() + 1 || !sameKey(names.back(), key))
            return false;
        for (std::size_t i = 0; i < shorter.names.size(); ++i) {
            if (!sameKey(names[i], shorter.names[i]))
                return false;
        }
        return true;
    }

    Successors successors;
    Predecessor predecessor;

    void indexIfLarge()
    {
        if (names.size() <= kLinearSearchLimit)
            return;
        index.reserve(static_cast<qsizetype>(names.size()));
        for (std::size_t i = 0; i < names.size(); ++i)
            index.insert(names[i], static_cast<qsizetype>(i));
    }
};

Dictionary::Dictionary() = default;
Dictionary::~Dictionary() = default;

DictionaryRef Dictionary::create() { return std::make_shared<Dictionary>(); }

DictionaryRef Dictionary::create(std::initializer_list<Entry> entries)
{
    DictionaryRef d = create();
    d->reserve(static_cast<qsizetype>(entries.size()));
    for (const Entry& e : entries)
        d->setObject(e.second, e.first);
    return d;
}

Dictionary::Keys& Dictionary::ownKeys()
{
    if (!m_keys)
        m_keys = std::make_shared<Keys>();
    else if (m_keys.use_count() > 1)
        m_keys = std::make_shared<Keys>(*m_keys);
    return *m_keys;
}

void Dictionary::reserve(qsizetype n)
{
    if (n <= 0)
        return;
    m_values.reserve(static_cast<std::size_t>(n));
    ownKeys().names.reserve(static_cast<std::size_t>(n));
}

qsizetype Dictionary::find(const QString& key) const { return m_keys ? m_keys->find(key) : -1; }

Dictionary::const_iterator Dictionary::begin() const
{
    return const_iterator(m_keys ? m_keys->names.data() : nullptr, m_values.data());
}

Dictionary::const_iterator Dictionary::end() const
{
    return const_iterator(m_keys ? m_keys->names.data() + m_values.size() : nullptr, m_values.data() + m_values.size());
}

QStringList Dictionary::allKeys() const
{
    QStringList keys;
    if (m_keys) {
        keys.reserve(count());
        for (std::size_t i = 0; i < m_values.size(); ++i)
            keys.append(m_keys->names[i]);
    }
    return keys;
}

Value Dictionary::objectForKey(const QString& key) const
{
    const qsizetype i = find(key);
    return i < 0 ? Value() : m_values[std::size_t(i)];
}

void Dictionary::setObject(const Value& value, const QString& key)
{
    if (value.isNull()) {
        removeObjectForKey(key);
        return;
    }
    const qsizetype i = find(key);
    if (i >= 0) {
        m_values[std::size_t(i)] = value;
        return;
    }
    if (m_keys && m_keys.use_count() > 1)
        m_keys = Keys::withAppended(m_keys, key);
    else
        ownKeys().append(key);
    // A record gains a key after it was read to its exact size: small
    // dictionaries grow by the one value, not to twice their size.
    if (m_values.size() == m_values.capacity() && m_values.size() < kLinearSearchLimit)
        m_values.reserve(m_values.size() + 1);
    m_values.push_back(value);
}

void Dictionary::removeObjectForKey(const QString& key)
{
    const qsizetype i = find(key);
    if (i < 0)
        return;
    if (m_keys.use_count() > 1 && std::size_t(i) + 1 == m_values.size()) {
        if (std::shared_ptr<Keys> shorter = m_keys->withoutLast(key)) {
            m_keys = std::move(shorter);
            m_values.pop_back();
            return;
        }
    }
    ownKeys().removeAt(i);
    m_values.erase(m_values.begin() + i);
}

void Dictionary::removeAllObjects()
{
    m_keys.reset();
    m_values.clear();
}

Value Dictionary::valueForKeyPath(const QString& keyPath) const
{
    const qsizetype dot = keyPath.indexOf(u'.');
    if (dot < 0)
        return objectForKey(keyPath);
    return objectForKey(keyPath.left(dot)).valueForKeyPath(keyPath.mid(dot + 1));
}

void Dictionary::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    const qsizetype dot = keyPath.indexOf(u'.');
    if (dot < 0) {
        setObject(value, keyPath);
        return;
    }
    const Value next = objectForKey(keyPath.left(dot));
    const QString rest = keyPath.mid(dot + 1);
    if (const DictionaryRef d = next.dictionary()) {
        d->setValueForKeyPath(value, rest);
    } else if (const ArrayRef a = next.array()) {
        // As on an array of objects: every element that can take the value does.
        for (const Value& element : *a) {
            if (const DictionaryRef ed = element.dictionary())
                ed->setValueForKeyPath(value, rest);
        }
    }
}

DictionaryRef Dictionary::mutableCopy() const
{
    DictionaryRef copy = create();
    copy->m_keys = m_keys;
    copy->m_values = m_values;
    return copy;
}

bool Dictionary::isEqualToDictionary(const Dictionary& other) const { return dictionariesEqual(*this, other, 0); }

// ---------------------------------------------------------------------------
// ArchiveDictionaryBuilder

ArchiveDictionaryBuilder::ArchiveDictionaryBuilder() = default;
ArchiveDictionaryBuilder::~ArchiveDictionaryBuilder() = default;
ArchiveDictionaryBuilder::ArchiveDictionaryBuilder(const ArchiveDictionaryBuilder&) = default;
ArchiveDictionaryBuilder& ArchiveDictionaryBuilder::operator=(const ArchiveDictionaryBuilder&) = default;

bool ArchiveDictionaryBuilder::setKeys(const std::vector<QString>& keys)
{
    auto list = std::make_shared<Dictionary::Keys>();
    list->names.reserve(keys.size());
    for (const QString& key : keys) {
        if (list->find(key) >= 0) {
            m_keys.reset();
            return false;
        }
        list->append(key);
    }
    m_keys = std::move(list);
    return true;
}

DictionaryRef ArchiveDictionaryBuilder::build(std::vector<Value>&& values) const
{
    DictionaryRef d = Dictionary::create();
    if (!values.empty() && m_keys && values.size() == m_keys->names.size()) {
        d->m_keys = m_keys;
        d->m_values = std::move(values);
    }
    return d;
}

// ---------------------------------------------------------------------------
// Array

ArrayRef Array::create() { return std::make_shared<Array>(); }

ArrayRef Array::create(std::vector<Value> objects) { return std::make_shared<Array>(std::move(objects)); }

void Array::reserve(qsizetype n)
{
    if (n > 0)
        m_objects.reserve(static_cast<std::size_t>(n));
}

Value Array::objectAtIndex(qsizetype index) const
{
    if (index < 0 || index >= count())
        return Value();
    return m_objects[std::size_t(index)];
}

void Array::addObject(const Value& value) { m_objects.push_back(value); }

void Array::addObject(Value&& value) { m_objects.push_back(std::move(value)); }

void Array::insertObject(const Value& value, qsizetype atIndex)
{
    if (atIndex < 0 || atIndex > count())
        return;
    m_objects.insert(m_objects.begin() + atIndex, value);
}

void Array::removeObjectAtIndex(qsizetype index)
{
    if (index < 0 || index >= count())
        return;
    m_objects.erase(m_objects.begin() + index);
}

void Array::replaceObjectAtIndex(qsizetype index, const Value& value)
{
    if (index < 0 || index >= count())
        return;
    m_objects[std::size_t(index)] = value;
}

void Array::removeObjectIdenticalTo(const Value& value)
{
    std::erase_if(m_objects, [&](const Value& v) { return v == value; });
}

qsizetype Array::indexOfObject(const Value& value) const
{
    for (std::size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i].isEqual(value))
            return static_cast<qsizetype>(i);
    }
    return -1;
}

qsizetype Array::indexOfObjectIdenticalTo(const Value& value) const
{
    for (std::size_t i = 0; i < m_objects.size(); ++i) {
        if (m_objects[i] == value)
            return static_cast<qsizetype>(i);
    }
    return -1;
}

ArrayRef Array::mutableCopy() const { return create(m_objects); }

bool Array::isEqualToArray(const Array& other) const { return arraysEqual(*this, other, 0); }

Value Array::valueForKey(const QString& key) const
{
    ArrayRef result = create();
    result->reserve(count());
    for (const Value& v : m_objects)
        result->addObject(v.valueForKey(key));
    return Value(result);
}

Value Array::valueForKeyPath(const QString& keyPath) const
{
    ArrayRef result = create();
    result->reserve(count());
    for (const Value& v : m_objects)
        result->addObject(v.valueForKeyPath(keyPath));
    return Value(result);
}

// ---------------------------------------------------------------------------
// ArchivedColor

bool ArchivedColor::operator==(const ArchivedColor& other) const { return colorsEqual(*this, other, 0); }

ColorRef ArchivedColor::rgb(double r, double g, double b, double a, int colorSpace)
{
    auto c = std::make_shared<ArchivedColor>();
    c->colorSpace = colorSpace;
    c->components = {r, g, b, a};
    return c;
}

ColorRef ArchivedColor::white(double w, double a, int colorSpace)
{
    auto c = std::make_shared<ArchivedColor>();
    c->colorSpace = colorSpace;
    c->components = {w, a};
    return c;
}
