#include "exchange/DelimitedTextSplitter.h"

#include "encryption/CryptoPrimitives.h"

namespace {
constexpr char16_t kQuote = u'"';
}

DelimitedTextSplitter::DelimitedTextSplitter(const QList<QStringView>& lines, char16_t separator)
    : m_lines(lines), m_separator(separator)
{
}

DelimitedTextSplitter::~DelimitedTextSplitter() { CryptoPrimitives::wipe(m_text); }

bool DelimitedTextSplitter::isBlank(QStringView line) const
{
    if (m_separator == u'\t')
        return line.isEmpty();
    for (const QChar c : line)
        if (c != u' ')
            return false;
    return true;
}

QStringView DelimitedTextSplitter::withoutEnclosingQuotes(QStringView field)
{
    if (field.size() >= 2 && field.front() == kQuote && field.back() == kQuote)
        return field.sliced(1, field.size() - 2);
    return field;
}

void DelimitedTextSplitter::split(Sink& sink)
{
    for (qsizetype line = 0; line < m_lines.size();) {
        if (isBlank(m_lines[line]))
            ++line;
        else
            line = parseRecord(line, sink);
    }
}

qsizetype DelimitedTextSplitter::parseRecord(qsizetype line, Sink& sink)
{
    sink.beginRecord();
    Cursor at{line, 0, 0};
    m_nextQuoteLine = -1;
    m_undoubledLine = -1;
    for (;;) {
        const QStringView current = m_lines[at.line];
        if (at.pos < current.size() && current[at.pos] == kQuote) {
            if (!parseQuoted(at, sink))
                break;
        } else {
            parseUnquoted(at, sink);
        }
        // A field ends at the line end or at a separator, after which the next one starts.
        if (at.pos >= m_lines[at.line].size())
            break;
        ++at.pos;
    }
    sink.endRecord();
    return at.line + 1;
}

void DelimitedTextSplitter::parseUnquoted(Cursor& at, Sink& sink)
{
    const QStringView current = m_lines[at.line];
    qsizetype end = current.indexOf(QChar(m_separator), at.pos);
    if (end < 0)
        end = current.size();
    // Its quotes are characters, but count towards the line breaks of a later quoted field.
    at.quotes += quotesBetween(at, end);
    sink.field(current.sliced(at.pos, end - at.pos));
    at.pos = end;
}

qsizetype DelimitedTextSplitter::quotesBetween(const Cursor& at, qsizetype end)
{
    const QStringView current = m_lines[at.line];
    if (m_nextQuoteLine != at.line || (m_nextQuote >= 0 && m_nextQuote < at.pos)) {
        m_nextQuoteLine = at.line;
        m_nextQuote = current.indexOf(QChar(kQuote), at.pos);
    }
    if (m_nextQuote < 0 || m_nextQuote >= end)
        return 0;
    qsizetype count = 0;
    for (qsizetype i = m_nextQuote; i < end; ++i)
        if (current[i] == kQuote)
            ++count;
    m_nextQuote = current.indexOf(QChar(kQuote), end);
    return count;
}

bool DelimitedTextSplitter::parseQuoted(Cursor& at, Sink& sink)
{
    const Cursor open = at;
    const QStringView firstLine = m_lines[open.line];
    const auto tryUndoubled = [&] {
        Cursor undoubled = open;
        if (!readUndoubled(undoubled))
            return false;
        sink.field(firstLine.sliced(open.pos + 1, undoubled.pos - open.pos - 2));
        at = undoubled;
        m_undoubledLine = open.line;
        return true;
    };
    if (open.line == m_undoubledLine) {
        if (tryUndoubled())
            return true;
    } else {
        bool sawLoneQuote = false;
        Cursor doubled = open;
        const bool closed = readDoubled(doubled, &sawLoneQuote);
        if (closed && !sawLoneQuote) {
            sink.field(m_text);
            at = doubled;
            return true;
        }
        if (tryUndoubled())
            return true;
        if (closed && doubled.line != open.line) {
            // Over several lines, as the quotes' count says; no undoubled reading ends it sooner.
            sink.field(m_text);
            at = doubled;
            return true;
        }
    }
    splitRestPlainly(open, sink);
    at.line = open.line;
    at.pos = firstLine.size();
    return false;
}

bool DelimitedTextSplitter::readDoubled(Cursor& at, bool* sawLoneQuote)
{
    const qsizetype firstLine = at.line;
    const qsizetype lineCount = m_lines.size();
    m_text.clear();
    ++at.quotes;
    ++at.pos;
    for (;;) {
        const QStringView current = m_lines[at.line];
        const qsizetype size = current.size();
        if (at.pos >= size) {
            // A line feed belongs to the field only while the record's quotes are odd.
            if (at.quotes % 2 == 1 && at.line + 1 < lineCount) {
                m_text += u'\n';
                ++at.line;
                at.pos = 0;
                continue;
            }
            return false;
        }
        if (current[at.pos] != kQuote) {
            qsizetype end = current.indexOf(QChar(kQuote), at.pos);
            if (end < 0)
                end = size;
            m_text += current.sliced(at.pos, end - at.pos);
            at.pos = end;
            continue;
        }
        if (at.pos + 1 < size && current[at.pos + 1] == kQuote) {
            m_text += kQuote;
            at.pos += 2;
            at.quotes += 2;
            continue;
        }
        ++at.quotes;
        if (at.pos + 1 >= size || current[at.pos + 1] == m_separator) {
            ++at.pos;
            return true;
        }
        // A quote no doubling explains: a character on the first line; beyond it the field went on wrongly.
        if (at.line != firstLine)
            return false;
        *sawLoneQuote = true;
        m_text += kQuote;
        ++at.pos;
    }
}

bool DelimitedTextSplitter::readUndoubled(Cursor& at) const
{
    const QStringView line = m_lines[at.line];
    const qsizetype size = line.size();
    qsizetype quotes = 1;
    for (qsizetype q = line.indexOf(QChar(kQuote), at.pos + 1); q >= 0; q = line.indexOf(QChar(kQuote), q + 1)) {
        ++quotes;
        if (q + 1 == size || line[q + 1] == m_separator) {
            if (holdsFieldBoundary(line.sliced(at.pos + 1, q - at.pos - 1)))
                return false;
            at.quotes += quotes;
            at.pos = q + 1;
            return true;
        }
    }
    return false;
}

bool DelimitedTextSplitter::holdsFieldBoundary(QStringView text) const
{
    // The last character that is no space.
    char16_t last = 0;
    for (const QChar c : text) {
        if (c == u' ')
            continue;
        if ((c == kQuote && last == m_separator) || (c == m_separator && last == kQuote))
            return true;
        last = c.unicode();
    }
    return false;
}

void DelimitedTextSplitter::splitRestPlainly(const Cursor& from, Sink& sink) const
{
    const QStringView rest = m_lines[from.line].sliced(from.pos);
    qsizetype start = 0;
    if (m_separator == u'\t') {
        for (qsizetype tab = rest.indexOf(u'\t'); tab >= 0; tab = rest.indexOf(u'\t', start)) {
            sink.field(rest.sliced(start, tab - start));
            start = tab + 1;
        }
        sink.field(rest.sliced(start));
        return;
    }
    // Every quote flips; a separator outside quotes splits.
    bool inside = false;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == kQuote) {
            inside = !inside;
        } else if (c == m_separator && !inside) {
            sink.field(withoutEnclosingQuotes(rest.sliced(start, i - start)));
            start = i + 1;
        }
    }
    sink.field(withoutEnclosingQuotes(rest.sliced(start)));
}
