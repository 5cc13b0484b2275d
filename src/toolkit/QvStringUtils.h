#pragma once
#include <QDateTime>
#include <QFont>
#include <QString>
#include <functional>
#include <optional>

// String operations shared by the toolkit and the document classes.
//
// Lengths and indexes count UTF-16 units, as QString does. Operations that pick
// or drop characters work on whole code points, so a surrogate pair is never
// split. "Space" is U+0020 alone; "whitespace" is the space separators (Zs)
// and the tab, never the line ends.
//
// Mapping of the selector names: trimStringToFit:pixelLenght:withAttributes:
// becomes trimStringToFit(text, pixelLenght, font or measure);
// trimString:acceptingOnlyChars: becomes trimString(text, acceptedChars);
// addLeading0:totalLen: becomes addLeading0(text, totalLen). An absent result
// is an empty std::optional.
class QvStringUtils
{
public:
    // Width in points of a text as drawn; the seam through which cutting measures.
    using TextWidth = std::function<qreal(const QString&)>;
    // Membership test of a character set, by code point.
    using CharacterSet = std::function<bool(char32_t)>;

    // 36 characters: upper-case hexadecimal in groups of 8-4-4-4-12.
    static QString createUUIDString();
    static QString uniqueUUIDString();

    // The local date and time as year, month, day, hour, minute, second run
    // together (14 digits for a four-digit year).
    static QString uniqueTimeString();
    // The clock text followed by a random number of at least five digits.
    static QString uniqueTimeRandString();
    // 0 for a string other than the last one given, one more each time the
    // same string is given again. Process-wide state, main thread only.
    static QString getNewSerialForTimeString(const QString& timeString);
    // The clock text followed by its serial.
    static QString uniqueTimeSerialString();

    // The text cut at its end, whole characters at a time, until it and ".."
    // fit within pixelLenght; a text that fits comes back unchanged. The first
    // character always stays, so the result may be wider than the limit.
    static QString trimStringToFit(const QString& text, int pixelLenght, const QFont& font);
    static QString trimStringToFit(const QString& text, int pixelLenght, const TextWidth& width);

    // The characters of text, in order, that occur in acceptedChars.
    static QString trimString(const QString& text, const QString& acceptedChars);
    // text without the characters of the set.
    static QString stringByRemovingCharacters(const QString& text, const CharacterSet& set);
    // text after its leading whitespace; absent when nothing is left.
    static std::optional<QString> removeInitialSpaces(const QString& text);
    // text with spaces cut from both ends.
    static QString trimLateralSpace(const QString& text);
    static QString removeLateralSpace(const QString& text);
    // Whether text holds something other than spaces (false for a null string).
    static bool spaceTrimmedNotEmpy(const QString& text);
    // text with double quotes (U+0022) cut from both ends.
    static QString trimLateralQuote(const QString& text);
    // text without any line feed or carriage return.
    static QString stripNewLines(const QString& text);
    // text with "0" put in front up to totalLen units.
    static QString addLeading0(const QString& text, qint64 totalLen);

    // Test seams: the clock (an empty function restores the system clock) and
    // the serial state.
    static void setClockForTesting(std::function<QDateTime()> clock);
    static void resetSerialForTesting();
};
