#include "toolkit/QvBookmarkTransformers.h"

#include "toolkit/QvBookmark.h"

#include <QUrl>

namespace {

// The resolved file's URL, or an empty one.
QUrl resolved(const Value& value)
{
    bool stale = false;
    return QvBookmark::urlForBookmark(value.dataValue(), &stale);
}

} // namespace

Value QvPathFromBookmark::transformedValue(const Value& value) const
{
    if (value.isNull())
        return Value::string(QString());
    const QUrl url = resolved(value);
    return url.isEmpty() ? Value() : Value::string(url.toLocalFile());
}

Value QvNameFromBookmark::transformedValue(const Value& value) const
{
    if (value.isNull())
        return Value::string(QString());
    const QUrl url = resolved(value);
    return url.isEmpty() ? Value() : Value::string(url.adjusted(QUrl::StripTrailingSlash).fileName());
}
