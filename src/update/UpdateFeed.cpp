#include "update/UpdateFeed.h"

#include "platform/PropertyList.h"

#include <limits>

DictionaryRef UpdateFeed::read(const QByteArray& body, QString* error)
{
    QString reason;
    const Value root = PropertyList::propertyListWithData(body, &reason);
    DictionaryRef feed = root.dictionary();
    if (!feed) {
        if (error)
            *error = root.isNull() ? QStringLiteral("The feed is not a property list: %1").arg(reason)
                                   : QStringLiteral("The feed is not a dictionary");
        return nullptr;
    }
    if (!hasUsableLatestRelease(*feed)) {
        if (error)
            *error = QStringLiteral("The feed's latest release is not an integer");
        return nullptr;
    }
    return feed;
}

bool UpdateFeed::hasUsableLatestRelease(const Dictionary& feed)
{
    const Value release = feed.objectForKey(QString::fromLatin1(kLatestReleaseKey));
    switch (release.kind()) {
    case Value::Kind::Null:
    case Value::Kind::Int32:
    case Value::Kind::Int64:
        return true;
    case Value::Kind::UInt64:
        return release.unsignedLongLongValue() <= quint64(std::numeric_limits<qint64>::max());
    default:
        return false;
    }
}

std::optional<qint64> UpdateFeed::latestRelease(const Dictionary& feed)
{
    const Value release = feed.objectForKey(QString::fromLatin1(kLatestReleaseKey));
    if (release.isNull() || !hasUsableLatestRelease(feed))
        return std::nullopt;
    return release.longLongValue();
}

QUrl UpdateFeed::address(const Value& value)
{
    if (!value.isString())
        return {};
    const QUrl url(value.stringValue(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return {};
    return url;
}
