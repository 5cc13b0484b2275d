#include "toolkit/QvStringUtils.h"

#include "platform/Random.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QUuid>

namespace {

std::function<QDateTime()>& clockOverride()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime now()
{
    return clockOverride() ? clockOverride()() : QDateTime::currentDateTime();
}

struct SerialState
{
    QString lastTimeString;
    qint64 counter = 0;
};

SerialState& serialState()
{
    static SerialState state;
    return state;
}

// Calls visit(start, length, codePoint) for each code point of text; a lone
// surrogate counts as a code point of its own.
template<typename Visit>
void forEachCodePoint(const QString& text, Visit visit)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            visit(i, 2, QChar::surrogateToUcs4(c, text.at(i + 1)));
            i += 2;
        } else {
            visit(i, 1, char32_t(c.unicode()));
            ++i;
        }
    }
}

QString keepCodePoints(const QString& text, const std::function<bool(char32_t)>& keep)
{
    QString out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](qsizetype start, qsizetype length, char32_t cp) {
        if (keep(cp))
            out.append(text.constData() + start, length);
    });
    return out;
}

QString trimChar(const QString& text, QChar c)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == c)
        ++begin;
    while (end > begin && text.at(end - 1) == c)
        --end;
    return text.mid(begin, end - begin);
}

bool isWhitespace(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

} // namespace

QString QvStringUtils::createUUIDString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString QvStringUtils::uniqueUUIDString()
{
    return createUUIDString();
}

QString QvStringUtils::uniqueTimeString()
{
    const QDateTime t = now();
    const QDate d = t.date();
    const QTime tm = t.time();
    return QString::asprintf("%d%02d%02d%02d%02d%02d", d.year(), d.month(), d.day(), tm.hour(),
                             tm.minute(), tm.second());
}

QString QvStringUtils::uniqueTimeRandString()
{
    const qint64 n = randomInRange(1, 32000000000000LL);
    return uniqueTimeString() + QString::asprintf("%05lld", static_cast<long long>(n));
}

QString QvStringUtils::getNewSerialForTimeString(const QString& timeString)
{
    SerialState& s = serialState();
    if (timeString == s.lastTimeString)
        ++s.counter;
    else
        s.counter = 0;
    s.lastTimeString = timeString;
    return QString::number(s.counter);
}

QString QvStringUtils::uniqueTimeSerialString()
{
    const QString time = uniqueTimeString();
    return time + getNewSerialForTimeString(time);
}

QString QvStringUtils::trimStringToFit(const QString& text, int pixelLenght, const QFont& font)
{
    const QFontMetricsF metrics(font);
    return trimStringToFit(text, pixelLenght,
                           [&metrics](const QString& s) { return metrics.horizontalAdvance(s); });
}

QString QvStringUtils::trimStringToFit(const QString& text, int pixelLenght, const TextWidth& width)
{
    // A text grows wider as it grows longer, so a long one is measured only as
    // far as the limit can reach (doubling prefixes), and the longest prefix
    // that fits with the ending is found by halving, not one character at a time.
    qsizetype reach = text.size();
    for (qsizetype probe = 256; probe < text.size(); probe *= 2) {
        if (width(text.left(probe)) > pixelLenght) {
            reach = probe;
            break;
        }
    }
    if (reach == text.size() && pixelLenght >= width(text))
        return text;
    static const QString ending = QStringLiteral("..");
    // Whole characters only (a base with its marks, or a surrogate pair). One
    // unit past the reach gives the boundary at the reach its true context.
    const QString region = text.left(reach + 1);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, region);
    QList<qsizetype> ends;
    for (qsizetype at = graphemes.toNextBoundary(); at > 0 && at <= reach; at = graphemes.toNextBoundary())
        ends.append(at);
    if (ends.isEmpty())
        return ending;
    // The first character always stays.
    qsizetype low = 0, high = ends.size() - 1;
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (width(text.left(ends.at(middle)) + ending) > pixelLenght)
            high = middle - 1;
        else
            low = middle;
    }
    return text.left(ends.at(low)) + ending;
}

QString QvStringUtils::trimString(const QString& text, const QString& acceptedChars)
{
    QList<char32_t> accepted;
    forEachCodePoint(acceptedChars, [&](qsizetype, qsizetype, char32_t cp) { accepted.append(cp); });
    return keepCodePoints(text, [&](char32_t cp) { return accepted.contains(cp); });
}

QString QvStringUtils::stringByRemovingCharacters(const QString& text, const CharacterSet& set)
{
    if (!set)
        return text;
    return keepCodePoints(text, [&](char32_t cp) { return !set(cp); });
}

std::optional<QString> QvStringUtils::removeInitialSpaces(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && isWhitespace(text.at(i)))
        ++i;
    if (i == text.size())
        return std::nullopt;
    return text.mid(i);
}

QString QvStringUtils::trimLateralSpace(const QString& text)
{
    return trimChar(text, QLatin1Char(' '));
}

QString QvStringUtils::removeLateralSpace(const QString& text)
{
    return trimLateralSpace(text);
}

bool QvStringUtils::spaceTrimmedNotEmpy(const QString& text)
{
    return !trimLateralSpace(text).isEmpty();
}

QString QvStringUtils::trimLateralQuote(const QString& text)
{
    return trimChar(text, QLatin1Char('"'));
}

QString QvStringUtils::stripNewLines(const QString& text)
{
    QString out = text;
    out.remove(QStringLiteral("\n\r"));
    out.remove(QLatin1Char('\n'));
    out.remove(QLatin1Char('\r'));
    return out;
}

QString QvStringUtils::addLeading0(const QString& text, qint64 totalLen)
{
    const qint64 missing = totalLen - text.size();
    // A length no string can reach is refused rather than allocated.
    if (missing <= 0 || totalLen > qint64(std::numeric_limits<int>::max()) / 2)
        return text;
    return QString(qsizetype(missing), QLatin1Char('0')) + text;
}

void QvStringUtils::setClockForTesting(std::function<QDateTime()> clock)
{
    clockOverride() = std::move(clock);
}

void QvStringUtils::resetSerialForTesting()
{
    serialState() = SerialState{};
}
