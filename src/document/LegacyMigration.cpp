#include "document/LegacyMigration.h"

#include "encryption/QvCrypto.h"
#include "platform/Clock.h"
#include "platform/KeyedArchive.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QHash>
#include <QRegularExpression>
#include <QTimeZone>

#include <array>

namespace {

enum class Path { V1000, V1100, V2000 };

const QString kCategory = QStringLiteral("category");
const QString kCatUniqueID = QStringLiteral("cat_uniqueID");
const QString kIsCompany = QStringLiteral("isCompany");
const QString kCatName = QStringLiteral("cat_category");
const QString kCatMark = QStringLiteral("cat_mark");
const QString kBackColor = QStringLiteral("cat_backColor");
const QString kTextColor = QStringLiteral("cat_textColor");
const QString kUsageCount = QStringLiteral("cat_howManyUsingThis");

// The fields of an old record in the order they are decrypted and stored.
const std::array<const char*, 20> kRecordKeys{
    "addressPersonal", "addressWork", "category", "cat_uniqueID", "company", "emailPersonal", "emailWork",
    "faxPersonal", "faxWork", "firstName", "isCompany", "lastName", "mobile", "note", "pager",
    "phonePersonal", "phoneWork", "resultingName", "webPersonal", "webWork"};

// Decrypts the fields of one stored dictionary, remembering the first failure.
// An absent or empty field is not decrypted: it reads as "", 0 or no bytes.
class Fields {
public:
    Fields(const QvCrypto& engine, const DictionaryRef& stored) : m_engine(engine), m_stored(stored) {}

    QString text(const QString& key, int& code) const
    {
        const QByteArray bytes = stored(key);
        if (code != 0 || bytes.isEmpty())
            return QString();
        QString text = m_engine.decryptToString(bytes, &code);
        return code == 0 ? text : QString();
    }

    QByteArray bytes(const QString& key, int& code) const
    {
        const QByteArray bytes = stored(key);
        if (code != 0 || bytes.isEmpty())
            return QByteArray();
        return m_engine.decryptToData(bytes, &code);
    }

    qint64 integer(const QString& key, int& code) const
    {
        const QByteArray bytes = stored(key);
        if (code != 0 || bytes.isEmpty())
            return 0;
        const qint64 value = m_engine.decryptToLong(bytes, &code);
        // Nothing wrote integers of another length: it is a wrong key that passed
        // the padding check by chance.
        if (code == QvCrypto::BadIntegerLength)
            code = QvCrypto::FinalFailed;
        return code == 0 ? value : 0;
    }

    // A colour archived with the platform's keyed archiver; an absent one is
    // `fallback`, one that does not decode to an RGB colour is a failure.
    Value color(const QString& key, const ColorRef& fallback, int& code) const
    {
        const QByteArray plain = bytes(key, code);
        if (code != 0)
            return Value();
        if (plain.isEmpty())
            return Value(fallback);
        Value decoded;
        if (!KeyedUnarchiver::unarchive(plain, decoded) || !decoded.isColor()
            || !QvColorUtilOSX::calibratedColor(*decoded.color())) {
            code = QvCrypto::FinalFailed;
            return Value();
        }
        return decoded;
    }

private:
    QByteArray stored(const QString& key) const
    {
        return m_stored ? m_stored->objectForKey(key).dataValue() : QByteArray();
    }

    const QvCrypto& m_engine;
    DictionaryRef m_stored;
};

ColorRef defaultBackColor()
{
    return ArchivedColor::rgb(0.75, 0.75, 0.75, 1.0);
}

ColorRef defaultTextColor()
{
    return ArchivedColor::white(1.0, 1.0);
}

int migrateRecords(const QvCrypto& engine, const ArrayRef& stored, Path path, ArrayRef& out)
{
    const ArrayRef records = Array::create();
    records->reserve(stored->count());
    int code = 0;
    for (const Value& value : *stored) {
        const Fields fields(engine, value.dictionary());
        const DictionaryRef record = Dictionary::create();
        record->reserve(static_cast<qsizetype>(kRecordKeys.size()));
        for (const char* name : kRecordKeys) {
            const QString key = QLatin1String(name);
            if (key == kCatUniqueID) {
                const qint64 uniqueID = path == Path::V2000 ? fields.integer(key, code) : 0;
                record->setObject(Value::int64(uniqueID), key);
            } else if (key == kIsCompany) {
                record->setObject(Value::int32(Value(fields.text(key, code)).intValue()), key);
            } else {
                record->setObject(Value(fields.text(key, code)), key);
            }
            if (code != 0)
                return code;
        }
        records->addObject(Value(record));
    }
    out = records;
    return 0;
}

int migrateCategories(const QvCrypto& engine, const ArrayRef& stored, Path path, ArrayRef& out)
{
    const ArrayRef categories = Array::create();
    categories->reserve(stored->count());
    int code = 0;
    qint64 position = 0;
    for (const Value& value : *stored) {
        ++position;
        const Fields fields(engine, value.dictionary());
        const QString name = fields.text(kCatName, code);
        const QString mark = fields.text(kCatMark, code);
        Value back(defaultBackColor());
        Value text(defaultTextColor());
        qint64 uniqueID = position;
        if (path == Path::V2000) {
            back = fields.color(kBackColor, defaultBackColor(), code);
            text = fields.color(kTextColor, defaultTextColor(), code);
            uniqueID = fields.integer(kCatUniqueID, code);
        }
        if (code != 0)
            return code;
        categories->addObject(Value(Dictionary::create({{kCatName, Value(name)},
                                                        {kBackColor, back},
                                                        {kTextColor, text},
                                                        {kCatUniqueID, Value::int64(uniqueID)},
                                                        {kUsageCount, Value::int64(0)},
                                                        {kCatMark, Value(mark)}})));
    }
    out = categories;
    return 0;
}

// Records of 1000 and 1100 know their category only by its name: each goes to the
// first category so named (exact comparison); without one it keeps 0, which
// relinking sends to the first category.
void linkByCategoryName(const ArrayRef& records, const ArrayRef& categories)
{
    QHash<QString, qint64> byName;
    for (const Value& value : *categories) {
        const DictionaryRef category = value.dictionary();
        const QString name = category->objectForKey(kCatName).stringValue();
        if (!byName.contains(name))
            byName.insert(name, category->objectForKey(kCatUniqueID).longLongValue());
    }
    for (const Value& value : *records) {
        const DictionaryRef record = value.dictionary();
        const auto found = byName.constFind(record->objectForKey(kCategory).stringValue());
        if (found != byName.constEnd())
            record->setObject(Value::int64(found.value()), kCatUniqueID);
    }
}

int migrateCaptions(const QvCrypto& engine, const DictionaryRef& stored, const DictionaryRef& currentLabels,
                    DictionaryRef& out)
{
    DictionaryRef labels;
    if (stored) {
        labels = Dictionary::create();
        const Fields fields(engine, stored);
        int code = 0;
        for (const QString& key : LegacyMigration::captionKeys()) {
            labels->setObject(Value(fields.text(key, code)), key);
            if (code != 0)
                return code;
        }
    } else {
        labels = currentLabels ? currentLabels->mutableCopy() : Dictionary::create();
    }
    DocumentUnlock::resetCaptionFlags(*labels);
    out = labels;
    return 0;
}

struct ZoneAbbreviation {
    const char* name;
    int minutes;
};

// Abbreviations the platform's formatter wrote for "zzz" in common locales.
constexpr std::array<ZoneAbbreviation, 28> kZoneAbbreviations{{
    {"GMT", 0},     {"UTC", 0},     {"UT", 0},      {"Z", 0},       {"WET", 0},     {"WEST", 60},
    {"BST", 60},    {"CET", 60},    {"CEST", 120},  {"MET", 60},    {"MEST", 120},  {"EET", 120},
    {"EEST", 180},  {"MSK", 180},   {"JST", 540},   {"AEST", 600},  {"AEDT", 660},  {"HST", -600},
    {"AKST", -540}, {"AKDT", -480}, {"PST", -480},  {"PDT", -420},  {"MST", -420},  {"MDT", -360},
    {"CST", -360},  {"CDT", -300},  {"EST", -300},  {"EDT", -240},
}};

std::optional<QTimeZone> zoneFromText(const QString& zone)
{
    static const QRegularExpression offset(
        QStringLiteral("^(?:GMT|UTC|UT)?([+-])(\\d{1,2})(?::?(\\d{2}))?$"));
    const QRegularExpressionMatch m = offset.match(zone);
    if (m.hasMatch()) {
        const int hours = m.captured(2).toInt();
        const int minutes = m.captured(3).isEmpty() ? 0 : m.captured(3).toInt();
        if (hours > 18 || minutes > 59)
            return std::nullopt;
        const int seconds = (hours * 3600 + minutes * 60) * (m.captured(1) == QLatin1String("-") ? -1 : 1);
        return QTimeZone(seconds);
    }
    for (const ZoneAbbreviation& abbreviation : kZoneAbbreviations) {
        if (zone == QLatin1String(abbreviation.name))
            return QTimeZone(abbreviation.minutes * 60);
    }
    // A zone name ("Europe/Rome"), as the long zone forms write it.
    if (zone.contains(QLatin1Char('/'))) {
        const QTimeZone named(zone.toLatin1());
        if (named.isValid())
            return named;
    }
    return std::nullopt;
}

} // namespace

const QStringList& LegacyMigration::captionKeys()
{
    static const QStringList keys{
        QStringLiteral("category"),      QStringLiteral("firstName"),     QStringLiteral("lastName"),
        QStringLiteral("company"),       QStringLiteral("phoneWork"),     QStringLiteral("faxWork"),
        QStringLiteral("emailWork"),     QStringLiteral("addressWork"),   QStringLiteral("webWork"),
        QStringLiteral("phonePersonal"), QStringLiteral("faxPersonal"),   QStringLiteral("mobile"),
        QStringLiteral("pager"),         QStringLiteral("emailPersonal"), QStringLiteral("webPersonal"),
        QStringLiteral("addressPersonal"), QStringLiteral("note")};
    return keys;
}

std::optional<QDateTime> LegacyMigration::parseOldDate(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^(\\d{4})-(\\d{1,2})-(\\d{1,2}) (\\d{1,2}):(\\d{2}):(\\d{2}) (\\S+)$"));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    const std::optional<QTimeZone> zone = zoneFromText(m.captured(7));
    if (!zone)
        return std::nullopt;
    const QDateTime moment(date, time, *zone);
    if (!moment.isValid())
        return std::nullopt;
    return moment;
}

int LegacyMigration::migrate(const StoredDocument& stored, const QString& password, const DictionaryRef& currentLabels,
                             const UnlockHooks& hooks, UnlockedContent& out)
{
    const Path path = stored.version == 1000 ? Path::V1000 : stored.version == 1100 ? Path::V1100 : Path::V2000;
    const QvCrypto engine(legacyDocumentVector(), password);

    // Decrypted in the order of the old releases: date, captions, records, categories.
    Value creationDate;
    DictionaryRef labels;
    if (path == Path::V1000) {
        creationDate = Value::dateFromDateTime(Clock::now());
        labels = currentLabels;
    } else {
        int code = 0;
        QString dateText;
        if (!stored.legacyCreationDate.isEmpty()) {
            dateText = engine.decryptToString(stored.legacyCreationDate, &code);
            if (code != 0)
                return code;
        }
        if (const std::optional<QDateTime> parsed = parseOldDate(dateText))
            creationDate = Value::dateFromDateTime(*parsed);
        if ((code = migrateCaptions(engine, stored.legacyLabels, currentLabels, labels)) != 0)
            return code;
    }

    ArrayRef records, categories;
    const ArrayRef noFields = Array::create();
    if (const int code = migrateRecords(engine, stored.legacyRecords ? stored.legacyRecords : noFields, path, records))
        return code;
    if (const int code = migrateCategories(engine, stored.legacyCategories ? stored.legacyCategories : noFields,
                                           path, categories))
        return code;
    if (path != Path::V2000)
        linkByCategoryName(records, categories);

    if (hooks.adjustCategories)
        hooks.adjustCategories(categories);
    if (hooks.adjustRecords)
        hooks.adjustRecords(records);

    out.records = records;
    out.categories = categories;
    out.labels = labels;
    out.creationDate = creationDate;
    out.engine.reset();
    return 0;
}
