#include "toolkit/LongText.h"

namespace LongText {

namespace {
// Where the shown part ends: the text's size when all of it is shown.
qsizetype shownEnd(const QString& text, qsizetype maxUnits, qsizetype maxLines)
{
    qsizetype end = std::min(text.size(), std::max<qsizetype>(maxUnits, 0));
    if (maxLines > 0) {
        qsizetype lines = 1;
        for (qsizetype i = 0; i < end; ++i) {
            if (text.at(i) == u'\n' && ++lines > maxLines) {
                end = i;
                break;
            }
        }
    }
    if (end < text.size() && end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return end;
}
} // namespace

QString head(const QString& text, qsizetype maxUnits, qsizetype maxLines)
{
    const qsizetype end = shownEnd(text, maxUnits, maxLines);
    if (end >= text.size())
        return text;
    QString shown;
    shown.reserve(end + 1);
    shown.append(QStringView(text).left(end));
    shown.append(kEllipsis);
    return shown;
}

bool isCut(const QString& text, qsizetype maxUnits, qsizetype maxLines)
{
    return shownEnd(text, maxUnits, maxLines) < text.size();
}

QString wrappable(const QString& text, qsizetype longestRun)
{
    QString result;
    result.reserve(text.size() + text.size() / std::max<qsizetype>(longestRun, 1) + 1);
    qsizetype run = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        run = c.isSpace() ? 0 : run + 1;
        result.append(c);
        if (run >= longestRun && !c.isHighSurrogate() && i + 1 < text.size() && !text.at(i + 1).isSpace()) {
            result.append(QChar(0x200B));
            run = 0;
        }
    }
    return result;
}

} // namespace LongText
