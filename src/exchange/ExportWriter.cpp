#include "exchange/ExportWriter.h"

#include "encryption/CryptoPrimitives.h"

#include <QDateTime>

#include <algorithm>

namespace ExportWriter {

namespace {
const QString kLf = QStringLiteral("\n");
const QString kTab = QStringLiteral("\t");
const QString kQuote = QStringLiteral("\"");
const QString kComma = QStringLiteral(",");
const QString kTable = QStringLiteral("<table>");
const QString kTableEnd = QStringLiteral("</table>");
const QString kRow = QStringLiteral("<tr>");
const QString kRowEnd = QStringLiteral("</tr>");
const QString kCell = QStringLiteral("<td>");
const QString kCellEnd = QStringLiteral("</td>");
// The page declares its encoding: the file is UTF-8 without a byte-order mark.
const QString kPageStart = QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><table>");
const QString kPageEnd = QStringLiteral("</table></body></html>");

void replaceAll(QString& text, QStringView before, QStringView after)
{
    if (text.contains(before))
        text.replace(before.toString(), after.toString());
}

// Appends, growing the text itself so that no outgrown copy of it is freed unwiped.
void append(QString& text, const QString& piece)
{
    const qsizetype needed = text.size() + piece.size();
    if (needed > text.capacity()) {
        QString bigger;
        bigger.reserve(std::max<qsizetype>(needed, text.capacity() * 2 + 256));
        bigger.append(text);
        CryptoPrimitives::wipe(text);
        text = std::move(bigger);
    }
    text.append(piece);
}
} // namespace

QString unescaped(const QString& typed)
{
    QString text = typed;
    text.replace(QStringLiteral("\\n"), kLf);
    text.replace(QStringLiteral("\\t"), kTab);
    return text;
}

Delimiters delimitersFor(int format, const CustomStrings& custom)
{
    switch (format) {
    case CustomFormat:
        return {unescaped(custom.startOfFile),   unescaped(custom.endOfFile),    unescaped(custom.startOfRecord),
                unescaped(custom.endOfRecord),   unescaped(custom.fieldOpenTag), unescaped(custom.fieldCloseTag),
                unescaped(custom.fieldSeparator), Value(custom.useEndOfRecordInLastRecord).boolValue()};
    case TabSeparated:
        return {{}, {}, {}, kLf, {}, {}, kTab, false};
    case QuotedCsv:
        return {{}, {}, {}, kLf, kQuote, kQuote, kComma, false};
    case HtmlTable:
        return {kTable, kTableEnd, kRow, kRowEnd, kCell, kCellEnd, {}, true};
    case HtmlPage:
        return {kPageStart, kPageEnd, kRow, kRowEnd, kCell, kCellEnd, {}, true};
    case PlainCsv:
        return {{}, {}, {}, kLf, {}, {}, kComma, false};
    default:
        return {};
    }
}

QString extensionFor(int format)
{
    switch (format) {
    case TabSeparated:
        return QStringLiteral("tsv");
    case QuotedCsv:
    case PlainCsv:
        return QStringLiteral("csv");
    case HtmlPage:
        return QStringLiteral("html");
    default:
        return QStringLiteral("txt");
    }
}

QString valueText(const Value& value, const DateStyle& dates)
{
    if (value.isNumber())
        return value.stringValue();
    if (value.isDate()) {
        const QDateTime when = value.toDateTime();
        return when.isValid() ? dates.locale.toString(when.toTimeZone(dates.zone).date(), QLocale::ShortFormat)
                              : QString();
    }
    if (value.isString())
        return value.stringValue();
    return QString();
}

QString flattened(QString text, int format)
{
    // Each step is one literal pass over the output of the one before.
    const auto lineBreaks = [&text] {
        replaceAll(text, u"\r\n", u"\n");
        replaceAll(text, u"\r", u"\n");
        replaceAll(text, u" \n", u" ");
        replaceAll(text, u"\n ", u" ");
        replaceAll(text, u"\n", u" ");
    };
    switch (format) {
    case TabSeparated:
        replaceAll(text, u" \t", u" ");
        replaceAll(text, u"\t ", u" ");
        replaceAll(text, u"\t", u" ");
        lineBreaks();
        break;
    case QuotedCsv:
        lineBreaks();
        break;
    case PlainCsv:
        lineBreaks();
        replaceAll(text, u" ,", u" ");
        replaceAll(text, u", ", u" ");
        replaceAll(text, u",", u" ");
        break;
    default:
        break;
    }
    return text;
}

QString escaped(QString text, int format)
{
    switch (format) {
    case QuotedCsv:
        // A quote inside a quoted field is written twice, or it would end the field.
        replaceAll(text, u"\"", u"\"\"");
        return text;
    case HtmlTable:
    case HtmlPage:
        // A contact's text is shown as text, never taken for markup.
        return text.toHtmlEscaped();
    default:
        return text;
    }
}

QString exportText(const Array& records, const Array& chosenFields, int format, const CustomStrings& custom,
                   bool fieldNamesAsFirstRow, const DateStyle& dates)
{
    const Delimiters d = delimitersFor(format, custom);
    const qsizetype n = records.count();
    const qsizetype k = chosenFields.count();
    QStringList keyPaths;
    keyPaths.reserve(k);
    for (const Value& field : chosenFields)
        keyPaths.append(field.valueForKey(QStringLiteral("innerKey")).stringValue());

    QString text;
    append(text, d.startOfFile);
    if (fieldNamesAsFirstRow) {
        append(text, d.startOfRecord);
        for (qsizetype j = 0; j < k; ++j) {
            append(text, d.fieldOpen);
            append(text, escaped(chosenFields.objectAtIndex(j).valueForKey(QStringLiteral("publicKey")).stringValue(),
                                 format));
            append(text, d.fieldClose);
            if (j < k - 1)
                append(text, d.fieldSeparator);
        }
        if (n > 0 || d.endOfRecordAfterLast)
            append(text, d.endOfRecord);
    }
    const std::vector<Value>& rows = records.objects();
    for (qsizetype i = 0; i < n; ++i) {
        const Value& record = rows[static_cast<std::size_t>(i)];
        append(text, d.startOfRecord);
        for (qsizetype j = 0; j < k; ++j) {
            append(text, d.fieldOpen);
            append(text, escaped(flattened(valueText(record.valueForKeyPath(keyPaths[j]), dates), format), format));
            append(text, d.fieldClose);
            if (j < k - 1)
                append(text, d.fieldSeparator);
        }
        if (i < n - 1 || d.endOfRecordAfterLast)
            append(text, d.endOfRecord);
    }
    append(text, d.endOfFile);
    return text;
}

} // namespace ExportWriter
