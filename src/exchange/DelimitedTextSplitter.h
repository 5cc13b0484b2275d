#pragma once
// Splits delimited text, given as its lines (line feeds already the only line
// end), into records and fields for one separator: tab, comma or semicolon.
//
// A field that does not begin with a double quote runs to the next separator
// or the line end; quotes inside it are characters.
//
// A field that begins with a double quote is read by the doubled-quote rule:
// it runs, across separators, to a quote followed by the separator or the line
// end, and "" inside it is one quote. It runs on over a line end only while
// the record holds an odd number of quotes, so a stray quote swallows no line.
// A quote inside it followed by anything else is a character when met on the
// field's first line; on a later line it shows that the field never meant to
// go on, and the field fails.
//
// A field that meets such a quote, or that fails, was written without doubling
// its quotes (so the earlier release's export wrote them): it is read again on
// its first line, ending at the first quote that the separator or the line end
// follows, every other quote a character, and so are the later quoted fields
// of that line. That reading is refused when a separator and a quote meet
// inside the field (only spaces between them): a boundary of fields it would
// swallow. If it is refused or finds no end, a field the doubled-quote rule
// did end over several lines stays so; any other gets the rest of its first
// line split by the plain rule of the format, and the record ends with that
// line: comma and semicolon flip an inside-quotes state at every quote and
// split outside it, a field that begins and ends with a quote losing them;
// tab splits at every tab. Well-formed RFC 4180 text never gets this far.
//
// A record starts on a line that is not blank: for tab not empty, for comma
// and semicolon not made of spaces only.

#include <QList>
#include <QString>
#include <QStringView>

class DelimitedTextSplitter {
public:
    // Told of every record and its fields in order; a field's text is only valid during the call.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void beginRecord() = 0;
        virtual void field(QStringView text) = 0;
        virtual void endRecord() = 0;
    };

    DelimitedTextSplitter(const QList<QStringView>& lines, char16_t separator);
    ~DelimitedTextSplitter();
    DelimitedTextSplitter(const DelimitedTextSplitter&) = delete;
    DelimitedTextSplitter& operator=(const DelimitedTextSplitter&) = delete;

    // Every record of the lines.
    void split(Sink& sink);
    // The record that starts on this line; returns the line after its last.
    qsizetype parseRecord(qsizetype line, Sink& sink);

    // Whether no record starts on the line.
    bool isBlank(QStringView line) const;
    // A field of two or more characters between quotes without them; any other as it is.
    static QStringView withoutEnclosingQuotes(QStringView field);

private:
    // Where the reading of a record stands.
    struct Cursor {
        qsizetype line = 0;
        qsizetype pos = 0;
        qsizetype quotes = 0; // quotes of the record so far
    };
    // Each reads one field from the cursor and leaves the cursor after it.
    void parseUnquoted(Cursor& at, Sink& sink);
    // false: the field failed; the rest of its line is then the sink's and the record ends.
    bool parseQuoted(Cursor& at, Sink& sink);
    // The doubled-quote rule; false when it cannot end the field. The text is in m_text.
    bool readDoubled(Cursor& at, bool* sawLoneQuote);
    // Quotes not doubled, on the field's first line only; false when no quote ends it.
    bool readUndoubled(Cursor& at) const;
    // A quote and a separator side by side (spaces between at most): where one field ended and the next began.
    bool holdsFieldBoundary(QStringView text) const;
    void splitRestPlainly(const Cursor& from, Sink& sink) const;
    qsizetype quotesBetween(const Cursor& at, qsizetype end);

    const QList<QStringView>& m_lines;
    const char16_t m_separator;
    // The text of a quoted field, made as it is read.
    QString m_text;
    // The next quote on the line being read, so that unquoted fields are searched once.
    qsizetype m_nextQuoteLine = -1;
    qsizetype m_nextQuote = -1;
    // The line on which a field was read without doubling: its other quoted fields are read so too.
    qsizetype m_undoubledLine = -1;
};
