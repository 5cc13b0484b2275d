#include "platform/Defaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QLocale>
#include <QSettings>
#include <QStringList>

namespace {

const QString kValuesPrefix = QStringLiteral("values.");

// Deeper structures (and cycles) are refused rather than exhausting the stack.
constexpr int kMaxDepth = 256;

// Tagged text for every kind but a top-level string: ["tag", payload...].
// 64-bit integers and reals travel as text so that no digit is lost.
QString realText(double d)
{
    return QLocale::c().toString(d, 'g', QLocale::FloatingPointShortest);
}

bool realFromText(const QJsonValue& v, double* out)
{
    bool ok = false;
    *out = QLocale::c().toDouble(v.toString(), &ok);
    return ok;
}

bool encode(const Value& value, int depth, QJsonArray* out);

bool encodeColor(const ArchivedColor& c, int depth, QJsonArray* out)
{
    QJsonArray components;
    for (double d : c.components)
        components.append(realText(d));
    QJsonArray fallback;
    if (c.fallback && !encodeColor(*c.fallback, depth + 1, &fallback))
        return false;
    *out = QJsonArray{QStringLiteral("c"), c.colorSpace, components, c.catalogName, c.colorName, fallback};
    return depth < kMaxDepth;
}

bool encode(const Value& value, int depth, QJsonArray* out)
{
    if (depth > kMaxDepth)
        return false;
    switch (value.kind()) {
    case Value::Kind::Null:
        *out = QJsonArray{QStringLiteral("n")};
        return true;
    case Value::Kind::Bool:
        *out = QJsonArray{QStringLiteral("b"), value.boolValue()};
        return true;
    case Value::Kind::Int32:
        *out = QJsonArray{QStringLiteral("i"), value.intValue()};
        return true;
    case Value::Kind::Int64:
        *out = QJsonArray{QStringLiteral("l"), QString::number(value.longLongValue())};
        return true;
    case Value::Kind::UInt64:
        *out = QJsonArray{QStringLiteral("u"), QString::number(value.unsignedLongLongValue())};
        return true;
    case Value::Kind::Real:
        *out = QJsonArray{QStringLiteral("r"), realText(value.doubleValue())};
        return true;
    case Value::Kind::String:
        *out = QJsonArray{QStringLiteral("s"), value.stringValue()};
        return true;
    case Value::Kind::Data:
        *out = QJsonArray{QStringLiteral("d"), QString::fromLatin1(value.dataValue().toBase64())};
        return true;
    case Value::Kind::Date:
        *out = QJsonArray{QStringLiteral("t"), realText(value.dateValue())};
        return true;
    case Value::Kind::Dictionary: {
        QJsonArray entries;
        for (const auto& [key, v] : *value.dictionary()) {
            QJsonArray item;
            if (!encode(v, depth + 1, &item))
                return false;
            entries.append(key);
            entries.append(item);
        }
        *out = QJsonArray{QStringLiteral("D"), entries};
        return true;
    }
    case Value::Kind::Array: {
        QJsonArray items;
        for (const Value& v : *value.array()) {
            QJsonArray item;
            if (!encode(v, depth + 1, &item))
                return false;
            items.append(item);
        }
        *out = QJsonArray{QStringLiteral("A"), items};
        return true;
    }
    case Value::Kind::Color:
        return encodeColor(*value.color(), depth, out);
    }
    return false;
}

ColorRef decodeColor(const QJsonArray& a, int depth)
{
    if (depth > kMaxDepth || a.size() != 6 || !a.at(2).isArray() || !a.at(5).isArray())
        return nullptr;
    auto color = std::make_shared<ArchivedColor>();
    color->colorSpace = a.at(1).toInt();
    for (const QJsonValue& c : a.at(2).toArray()) {
        double d = 0;
        if (!realFromText(c, &d))
            return nullptr;
        color->components.push_back(d);
    }
    color->catalogName = a.at(3).toString();
    color->colorName = a.at(4).toString();
    const QJsonArray fallback = a.at(5).toArray();
    if (!fallback.isEmpty()) {
        color->fallback = decodeColor(fallback, depth + 1);
        if (!color->fallback)
            return nullptr;
    }
    return color;
}

// False for anything this code did not write.
bool decode(const QJsonArray& a, int depth, Value* out)
{
    if (depth > kMaxDepth || a.isEmpty())
        return false;
    const QString tag = a.at(0).toString();
    const QJsonValue payload = a.size() > 1 ? a.at(1) : QJsonValue();
    bool ok = true;
    if (tag == u"n") {
        *out = Value();
    } else if (tag == u"b" && payload.isBool()) {
        *out = Value::boolean(payload.toBool());
    } else if (tag == u"i" && payload.isDouble()) {
        *out = Value::int32(payload.toInt());
    } else if (tag == u"l") {
        const qint64 n = payload.toString().toLongLong(&ok);
        *out = Value::int64(n);
    } else if (tag == u"u") {
        const quint64 n = payload.toString().toULongLong(&ok);
        *out = Value::uint64(n);
    } else if (tag == u"r" || tag == u"t") {
        double d = 0;
        ok = realFromText(payload, &d);
        *out = tag == u"r" ? Value::real(d) : Value::date(d);
    } else if (tag == u"s" && payload.isString()) {
        *out = Value::string(payload.toString());
    } else if (tag == u"d" && payload.isString()) {
        auto bytes = QByteArray::fromBase64Encoding(payload.toString().toLatin1(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
        ok = bool(bytes);
        *out = Value::data(*bytes);
    } else if (tag == u"D" && payload.isArray()) {
        const QJsonArray entries = payload.toArray();
        if (entries.size() % 2 != 0)
            return false;
        DictionaryRef dict = Dictionary::create();
        for (qsizetype i = 0; ok && i < entries.size(); i += 2) {
            Value v;
            ok = entries.at(i).isString() && decode(entries.at(i + 1).toArray(), depth + 1, &v);
            dict->setObject(v, entries.at(i).toString());
        }
        *out = Value(dict);
    } else if (tag == u"A" && payload.isArray()) {
        ArrayRef array = Array::create();
        for (const QJsonValue& item : payload.toArray()) {
            Value v;
            if (!decode(item.toArray(), depth + 1, &v))
                return false;
            array->addObject(v);
        }
        *out = Value(array);
    } else if (tag == u"c") {
        ColorRef color = decodeColor(a, depth);
        ok = bool(color);
        *out = Value(color);
    } else {
        return false;
    }
    return ok;
}

} // namespace

Defaults::Defaults(QObject* parent) : Observable(parent), m_registered(Dictionary::create())
{
    openSettings();
}

Defaults::Defaults(const QString& settingsFile, QObject* parent)
    : Observable(parent), m_settingsFile(settingsFile), m_registered(Dictionary::create())
{
    openSettings();
}

void Defaults::openSettings()
{
    m_settings = m_settingsFile.isEmpty() ? std::make_unique<QSettings>()
                                          : std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
}

bool Defaults::syncOrRestore(const QString& key, const QVariant& previous)
{
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    // Keep memory and file in step: what could not be written is not set.
    if (previous.isValid())
        m_settings->setValue(key, previous);
    else
        m_settings->remove(key);
    // A settings object keeps the first error it met for good; a fresh one,
    // made at the next write, lets it succeed once the file can be written again.
    m_reopenBeforeWriting = true;
    return false;
}

void Defaults::reopenAfterFailure()
{
    if (!m_reopenBeforeWriting)
        return;
    m_reopenBeforeWriting = false;
    openSettings();
}

Defaults::~Defaults() = default;

Defaults& Defaults::standardUserDefaults()
{
    // Never destroyed, so that it outlives every binding that observes it;
    // each write is already on disk.
    static Defaults* shared = new Defaults();
    return *shared;
}

void Defaults::registerDefaults(const DictionaryRef& defaults)
{
    if (!defaults)
        return;
    for (const auto& [key, value] : *defaults) {
        const Value before = objectForKey(key);
        m_registered->setObject(value, key);
        announceIfChanged(key, before);
    }
}

DictionaryRef Defaults::registeredDefaults() const
{
    return m_registered->mutableCopy();
}

Value Defaults::userValue(const QString& key) const
{
    if (key.isEmpty())
        return {};
    const QVariant stored = m_settings->value(key);
    switch (stored.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::QString:
        return Value::string(stored.toString());
    case QMetaType::QByteArray: {
        Value v;
        const QJsonDocument doc = QJsonDocument::fromJson(stored.toByteArray());
        if (doc.isArray() && decode(doc.array(), 0, &v))
            return v;
        return {};
    }
    case QMetaType::QStringList: {
        // A list typed into the file by hand.
        ArrayRef array = Array::create();
        for (const QString& s : stored.toStringList())
            array->addObject(Value::string(s));
        return Value(array);
    }
    default:
        return stored.canConvert<QString>() ? Value::string(stored.toString()) : Value();
    }
}

Value Defaults::objectForKey(const QString& key) const
{
    Value v = userValue(key);
    if (v.isNull())
        return m_registered->objectForKey(key);
    // A switch typed into the file by hand ("true", "no") is text; it is read as the
    // boolean that its registered value is, so that bindings and comparisons see the
    // same answer as boolForKey.
    if (v.isString() && m_registered->objectForKey(key).kind() == Value::Kind::Bool)
        return Value::boolean(v.boolValue());
    return v;
}

QString Defaults::stringForKey(const QString& key) const
{
    const Value v = objectForKey(key);
    return v.isString() || v.isNumber() ? v.stringValue() : QString();
}

qint64 Defaults::integerForKey(const QString& key) const
{
    return objectForKey(key).longValue();
}

bool Defaults::boolForKey(const QString& key) const
{
    return objectForKey(key).boolValue();
}

double Defaults::doubleForKey(const QString& key) const
{
    return objectForKey(key).doubleValue();
}

float Defaults::floatForKey(const QString& key) const
{
    return objectForKey(key).floatValue();
}

QByteArray Defaults::dataForKey(const QString& key) const
{
    const Value v = objectForKey(key);
    return v.isData() ? v.dataValue() : QByteArray();
}

bool Defaults::hasUserValueForKey(const QString& key) const
{
    return !key.isEmpty() && m_settings->contains(key);
}

bool Defaults::setObject(const Value& value, const QString& key)
{
    if (value.isNull())
        return removeObjectForKey(key);
    if (key.isEmpty())
        return false;
    QVariant stored;
    if (value.isString()) {
        stored = value.stringValue();
    } else {
        QJsonArray encoded;
        if (!encode(value, 0, &encoded))
            return false;
        stored = QJsonDocument(encoded).toJson(QJsonDocument::Compact);
    }
    reopenAfterFailure();
    const Value before = objectForKey(key);
    const QVariant previous = m_settings->value(key);
    m_settings->setValue(key, stored);
    if (!syncOrRestore(key, previous))
        return false;
    announceIfChanged(key, before);
    return true;
}

bool Defaults::removeObjectForKey(const QString& key)
{
    if (!hasUserValueForKey(key))
        return true;
    reopenAfterFailure();
    const Value before = objectForKey(key);
    const QVariant previous = m_settings->value(key);
    m_settings->remove(key);
    if (!syncOrRestore(key, previous))
        return false;
    announceIfChanged(key, before);
    return true;
}

void Defaults::announceIfChanged(const QString& key, const Value& before)
{
    if (objectForKey(key).isEqual(before))
        return;
    emit valueChangedForKey(key);
    emit valueChangedForKeyPath(kValuesPrefix + key);
}

Value Defaults::valueForKeyPath(const QString& keyPath) const
{
    if (!keyPath.startsWith(kValuesPrefix))
        return {};
    const QString rest = keyPath.mid(kValuesPrefix.size());
    const qsizetype dot = rest.indexOf(u'.');
    if (dot < 0)
        return objectForKey(rest);
    return objectForKey(rest.left(dot)).valueForKeyPath(rest.mid(dot + 1));
}

bool Defaults::setValueForKeyPath(const Value& value, const QString& keyPath)
{
    if (!keyPath.startsWith(kValuesPrefix))
        return false;
    const QString key = keyPath.mid(kValuesPrefix.size());
    if (key.isEmpty() || key.contains(u'.'))
        return false;
    return setObject(value, key);
}
