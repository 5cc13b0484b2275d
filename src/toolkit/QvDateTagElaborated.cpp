#include "toolkit/QvDateTagElaborated.h"

#include "platform/Clock.h"

#include <utility>

Value QvDateTagElaborated::transformedValue(const Value& value) const
{
    if (value.isNull())
        return Value::string(QString());
    const QDateTime now = Clock::now().toLocalTime();
    const QDate date = now.date();
    const QTime time = now.time();
    const long year = date.year();
    const std::pair<const char16_t*, QString> tags[] = {
        {u"<yy>", QString::asprintf("%02li", year % 100)},
        {u"<YY>", QString::asprintf("%li", year)},
        {u"<mm>", QString::asprintf("%02li", long(date.month()))},
        {u"<dd>", QString::asprintf("%02li", long(date.day()))},
        {u"<hh>", QString::asprintf("%02li", long(time.hour()))},
        {u"<ii>", QString::asprintf("%02li", long(time.minute()))},
        {u"<ss>", QString::asprintf("%02li", long(time.second()))},
    };
    QString text = value.stringValue();
    for (const auto& [tag, replacement] : tags)
        text.replace(QString::fromUtf16(tag), replacement, Qt::CaseSensitive);
    return Value::string(text);
}
