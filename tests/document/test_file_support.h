#pragma once
// Shared pieces of the document-file tests: sample content, the fixtures of
// every document version and their expectations, and stand-ins for the
// controllers' adjustments.

#include "document/DocumentFile.h"
#include "document/DocumentUnlock.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/KeyedArchive.h"
#include "toolkit/QvColorUtilOSX.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <cmath>

namespace filetest {

inline const QString kPassword = QStringLiteral("correct horse");

inline DictionaryRef colorDictionary(double r, double g, double b, double a = 1.0)
{
    return QvColorUtilOSX::dictFromNSColor(QvColor{r, g, b, a});
}

inline DictionaryRef category(const QString& name, qint64 uniqueID)
{
    return Dictionary::create({{QStringLiteral("cat_category"), Value(name)},
                               {QStringLiteral("cat_backColor"), Value(colorDictionary(0.75, 0.75, 0.75))},
                               {QStringLiteral("cat_textColor"), Value(colorDictionary(1, 1, 1))},
                               {QStringLiteral("cat_howManyUsingThis"), Value::int32(0)},
                               {QStringLiteral("cat_uniqueID"), Value::int64(uniqueID)},
                               {QStringLiteral("records"), Value(Array::create())}});
}

inline DictionaryRef record(const QString& first, const QString& last, const DictionaryRef& category)
{
    const DictionaryRef r = Dictionary::create();
    r->setObject(Value(first), QStringLiteral("firstName"));
    r->setObject(Value(last), QStringLiteral("lastName"));
    for (const char* key : {"company", "phoneWork", "faxWork", "emailWork", "addressWork", "webWork",
                            "phonePersonal", "faxPersonal", "mobile", "pager", "emailPersonal", "webPersonal",
                            "addressPersonal", "note"})
        r->setObject(Value(QString()), QLatin1String(key));
    r->setObject(Value::date(700000000.5), QStringLiteral("creationDate"));
    r->setObject(Value::int32(0), QStringLiteral("usageCount"));
    if (category)
        r->setObject(Value(category), QStringLiteral("categoryPtr"));
    return r;
}

// The LabelDictionary of a new document.
inline DictionaryRef defaultLabels()
{
    const DictionaryRef labels = Dictionary::create();
    const std::pair<const char*, const char*> captions[] = {
        {"category", "Category:"},         {"firstName", "First name:"},      {"lastName", "Last name:"},
        {"company", "Company:"},           {"phoneWork", "Phone work:"},      {"faxWork", "Fax work:"},
        {"emailWork", "Email work:"},      {"addressWork", "Address work:"},  {"webWork", "Web work:"},
        {"phonePersonal", "Phone personal:"}, {"faxPersonal", "Fax personal:"}, {"mobile", "Mobile personal:"},
        {"pager", "Mobile work"},          {"emailPersonal", "Email personal:"}, {"webPersonal", "Web personal:"},
        {"addressPersonal", "Address personal:"}, {"note", "Note"}};
    for (const auto& [key, caption] : captions)
        labels->setObject(Value(QString::fromUtf8(caption)), QLatin1String(key));
    DocumentUnlock::resetCaptionFlags(*labels);
    return labels;
}

// `count` records spread over three categories.
inline DocumentContent sampleContent(int count = 3)
{
    DocumentContent content;
    content.categories = Array::create();
    for (int i = 1; i <= 3; ++i)
        content.categories->addObject(Value(category(QStringLiteral("Group %1").arg(i), i)));
    content.records = Array::create();
    content.records->reserve(count);
    for (int i = 0; i < count; ++i) {
        const DictionaryRef r = record(QStringLiteral("First %1").arg(i), QStringLiteral("Last %1").arg(i),
                                       content.categories->objectAtIndex(i % 3).dictionary());
        r->setObject(Value(QStringLiteral("+1 555 %1").arg(i, 4, 10, QLatin1Char('0'))), QStringLiteral("mobile"));
        r->setObject(Value(QStringLiteral("Zoë Müller, Hauptstraße %1").arg(i)), QStringLiteral("addressWork"));
        content.records->addObject(Value(r));
    }
    content.labels = defaultLabels();
    content.creationDate = Value::date(699999999.75);
    return content;
}

// Stand-ins for the controllers: colour objects become ColorDictionaries, a new
// category is "Generic" with identifier 1.
inline UnlockHooks plainHooks()
{
    UnlockHooks hooks;
    hooks.newCategory = [] { return category(QStringLiteral("Generic"), 1); };
    hooks.adjustCategories = [](const ArrayRef& categories) {
        for (const Value& value : *categories) {
            const DictionaryRef c = value.dictionary();
            for (const char* key : {"cat_backColor", "cat_textColor"}) {
                const Value color = c->objectForKey(QLatin1String(key));
                if (color.isColor())
                    c->setObject(Value(QvColorUtilOSX::dictFromNSColor(color)), QLatin1String(key));
            }
        }
    };
    hooks.adjustRecords = [](const ArrayRef&) {};
    return hooks;
}

// The bytes of a file written from `content` with `password`.
inline QByteArray writtenFile(const DocumentContent& content, const QString& password = kPassword,
                              const DictionaryRef& window = {})
{
    EncryptedValues values;
    std::unique_ptr<QvCommonCrypto> engine;
    EXPECT_EQ(DocumentFile::encryptContent(content, password, nullptr, DocumentFile::SaltAndVector::Fresh, values,
                                           engine),
              0);
    QByteArray bytes;
    EXPECT_TRUE(DocumentFile::archiveRoot(values, window, bytes));
    return bytes;
}

inline DictionaryRef rootOf(const QByteArray& file)
{
    return KeyedUnarchiver::unarchiveObjectWithData(file).dictionary();
}

inline QByteArray archiveOf(const DictionaryRef& root)
{
    return KeyedArchiver::archivedDataWithRootObject(Value(root));
}

// ---- fixtures of every document version -------------------------------------------------

inline QString fixturePath(const QString& name)
{
    return QStringLiteral(CALVORIN_TEST_FIXTURES "/documents/") + name;
}

inline QByteArray fixture(const QString& name)
{
    QFile file(fixturePath(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return file.readAll();
}

inline QJsonObject expectations()
{
    static const QJsonObject all = [] {
        QFile file(fixturePath(QStringLiteral("expected.json")));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("fixtures")).toObject();
    }();
    return all;
}

// Whether a value equals its JSON form: strings, numbers and booleans as
// themselves, a date as {"date": seconds}, a colour dictionary as r/g/b/a reals
// (missing keys read as 0, within single precision).
inline bool matchesJson(const Value& value, const QJsonValue& expected, QString* why)
{
    const auto fail = [&](const QString& message) {
        if (why)
            *why = message;
        return false;
    };
    switch (expected.type()) {
    case QJsonValue::String:
        return value.isString() && value.stringValue() == expected.toString()
            ? true
            : fail(QStringLiteral("“%1” is not “%2”").arg(value.stringValue(), expected.toString()));
    case QJsonValue::Bool:
        return value.isNumber() && value.boolValue() == expected.toBool() ? true : fail(QStringLiteral("boolean"));
    case QJsonValue::Double:
        return value.isNumber() && value.doubleValue() == expected.toDouble()
            ? true
            : fail(QStringLiteral("%1 is not %2").arg(value.doubleValue()).arg(expected.toDouble()));
    case QJsonValue::Object: {
        const QJsonObject object = expected.toObject();
        if (object.contains(QStringLiteral("date")))
            return value.isDate() && value.dateValue() == object.value(QStringLiteral("date")).toDouble()
                ? true
                : fail(QStringLiteral("date %1").arg(value.dateValue(), 0, 'f'));
        const QvColor color = QvColorUtilOSX::NSColorFromDict(value);
        const double channels[] = {color.red, color.green, color.blue, color.alpha};
        const char* keys[] = {"r", "g", "b", "a"};
        if (!value.isDictionary())
            return fail(QStringLiteral("not a colour dictionary"));
        for (int i = 0; i < 4; ++i) {
            if (std::abs(channels[i] - object.value(QLatin1String(keys[i])).toDouble()) > 1e-6)
                return fail(QStringLiteral("colour %1 is %2").arg(QLatin1String(keys[i])).arg(channels[i]));
        }
        return true;
    }
    default:
        return fail(QStringLiteral("unexpected JSON"));
    }
}

} // namespace filetest
