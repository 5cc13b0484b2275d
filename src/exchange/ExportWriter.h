#pragma once
// The text of an export: every record as one row of the chosen fields, between
// the delimiters of the export format. A pure function of its inputs, so that
// the exporter's sheets and the tests share it.

#include "platform/Value.h"

#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace ExportWriter {

// Export format codes (fileFormatToSave).
enum Format {
    CustomFormat = 0,
    TabSeparated = 1,
    QuotedCsv = 2,
    HtmlTable = 3,
    HtmlPage = 4,
    PlainCsv = 5,
};

// The eight strings of the custom format as the user types them: "\n" and
// "\t" stand for a line feed and a tab. Unset ones are null strings.
struct CustomStrings {
    QString startOfFile;
    QString endOfFile;
    QString startOfRecord;
    QString endOfRecord;
    QString fieldOpenTag;
    QString fieldCloseTag;
    QString fieldSeparator;
    QString useEndOfRecordInLastRecord; // "YES" or "NO"
};

// The delimiters an export writes.
struct Delimiters {
    QString startOfFile;
    QString endOfFile;
    QString startOfRecord;
    QString endOfRecord;
    QString fieldOpen;
    QString fieldClose;
    QString fieldSeparator;
    bool endOfRecordAfterLast = false;
};

// How dates are written: the short date of the locale, on the calendar day of the zone.
struct DateStyle {
    QLocale locale;
    QTimeZone zone;
};

// The fixed delimiters of codes 1 to 5, the unescaped custom strings for code 0,
// nothing at all for any other code.
Delimiters delimitersFor(int format, const CustomStrings& custom);
// "\n" becomes a line feed, then "\t" a tab.
QString unescaped(const QString& typed);
// The file extension a format asks for.
QString extensionFor(int format);

// The text of one value: numbers in their decimal form, dates in the short
// date style, strings as they are, anything else empty.
QString valueText(const Value& value, const DateStyle& dates);
// Line breaks (and for code 1 tabs, for code 5 commas) turned into spaces.
QString flattened(QString text, int format);
// A value or caption made safe for the format: quotes doubled for the quoted
// CSV, and for tab text when the value begins with one (then quoted too),
// markup characters as entities for the HTML codes.
QString escaped(QString text, int format);

// The whole text. records are dictionaries; chosenFields are FieldTable
// entries ("publicKey" the caption, "innerKey" the key path).
QString exportText(const Array& records, const Array& chosenFields, int format, const CustomStrings& custom,
                   bool fieldNamesAsFirstRow, const DateStyle& dates);

} // namespace ExportWriter
