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

// Grows the text itself, so that no outgrown copy of it is freed unwiped.
void reserveWiping(QString& text, qsizetype capacity)
{
    if (capacity <= text.capacity())
        return;
    QString bigger;
    bigger.reserve(capacity);
    bigger.append(text);
    CryptoPrimitives::wipe(text);
    text = std::move(bigger);
}

void append(QString& text, const QString& piece)
{
    const qsizetype needed = text.size() + piece.size();
    if (needed > text.capacity())
        reserveWiping(text, std::max<qsizetype>(needed, text.capacity() * 2 + 256));
    text.append(piece);
}

// Rows written before the length of the whole text is estimated from them.
constexpr qsizetype kSampleRows = 256;
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

namespace {
// Whether any character the format's flattening replaces occurs; most values have none.
bool hasAnyOf(const QString& text, bool tabs, bool commas)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || (tabs && u == u'\t') || (commas && u == u','))
            return true;
    }
    return false;
}
} // namespace

QString flattened(QString text, int format)
{
    if ((format != TabSeparated && format != QuotedCsv && format != PlainCsv)
        || !hasAnyOf(text, format == TabSeparated, format == PlainCsv))
        return text;
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
    case TabSeparated:
        // A tab field that begins with a quote is read as quoted: such a value is written quoted.
        if (text.startsWith(u'"'))
            text = kQuote + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + kQuote;
        return text;
    case QuotedCsv:
        // A quote inside a quoted field is written twice, or it would end the field.
        if (text.contains(u'"'))
            text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return text;
    case HtmlTable:
    case HtmlPage:
        // A contact's text is shown as text, never taken for markup.
        for (const QChar c : std::as_const(text))
            if (c == u'<' || c == u'>' || c == u'&' || c == u'"')
                return text.toHtmlEscaped();
        return text;
    default:
        return text;
    }
}

namespace {
// The chosen fields of one export, looked up in each record. Records made
// alike keep their keys in the same order, so each field first tries the
// place where it was found in the record before.
class FieldReader {
public:
    explicit FieldReader(const Array& chosenFields)
    {
        for (const Value& field : chosenFields) {
            const QString path = field.valueForKey(QStringLiteral("innerKey")).stringValue();
            const qsizetype dot = path.indexOf(u'.');
            m_fields.push_back({dot < 0 ? path : path.left(dot), dot < 0 ? QString() : path.mid(dot + 1), 0});
        }
    }

    void startRecord(const Value& record)
    {
        m_keys.clear();
        m_values.clear();
        m_record = record.dictionary();
        if (m_record)
            for (const auto& [key, value] : *m_record) {
                m_keys.push_back(&key);
                m_values.push_back(&value);
            }
    }

    // The value of field j in the current record (rest of a key path: the value it leads to).
    Value valueOf(std::size_t j)
    {
        Field& field = m_fields[j];
        const Value* head = nullptr;
        if (field.hint < m_keys.size() && *m_keys[field.hint] == field.head) {
            head = m_values[field.hint];
        } else {
            for (std::size_t i = 0; i < m_keys.size(); ++i)
                if (*m_keys[i] == field.head) {
                    field.hint = i;
                    head = m_values[i];
                    break;
                }
        }
        if (!head)
            return Value();
        return field.rest.isEmpty() ? *head : head->valueForKeyPath(field.rest);
    }

private:
    struct Field {
        QString head;
        QString rest;
        std::size_t hint;
    };
    std::vector<Field> m_fields;
    DictionaryRef m_record;
    std::vector<const QString*> m_keys;
    std::vector<const Value*> m_values;
};
} // namespace

QString exportText(const Array& records, const Array& chosenFields, int format, const CustomStrings& custom,
                   bool fieldNamesAsFirstRow, const DateStyle& dates)
{
    const Delimiters d = delimitersFor(format, custom);
    const qsizetype n = records.count();
    const qsizetype k = chosenFields.count();
    FieldReader reader(chosenFields);

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
        reader.startRecord(rows[static_cast<std::size_t>(i)]);
        append(text, d.startOfRecord);
        for (qsizetype j = 0; j < k; ++j) {
            append(text, d.fieldOpen);
            append(text, escaped(flattened(valueText(reader.valueOf(static_cast<std::size_t>(j)), dates), format), format));
            append(text, d.fieldClose);
            if (j < k - 1)
                append(text, d.fieldSeparator);
        }
        if (i < n - 1 || d.endOfRecordAfterLast)
            append(text, d.endOfRecord);
        // One allocation of about the final size spares copying the text as it grows.
        if (i + 1 == kSampleRows && n > kSampleRows)
            reserveWiping(text, text.size() / kSampleRows * n / 8 * 9 + d.endOfFile.size() + 1024);
    }
    append(text, d.endOfFile);
    return text;
}

} // namespace ExportWriter
