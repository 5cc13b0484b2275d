#pragma once
// The text search of the record list. A record matches when one of its
// searched fields (strings only), lower-cased, holds the lower-cased search
// text as a plain substring.
//
// Searching a large list on every keystroke would lower-case every field of
// every record each time; instead the lower-cased fields of each record are
// kept, joined, between searches, and a search reads one buffer per record.
// A record is known by identity: whoever changes a searched field of a record
// that has been searched must call forget() for it (the record controller
// does so for every edit made through it).
//
// The kept text is contacts in clear: it is wiped as it goes, and clear()
// (the lock) leaves nothing of it, nor of the search text.

#include "platform/Plaintext.h"
#include "platform/Value.h"

#include <QStringList>

#include <unordered_map>

class RecordSearchIndex {
public:
    // The searched keys, in the order they are tried.
    static const QStringList& searchKeys();
    // The plain definition, without the kept text.
    static bool recordMatches(const Dictionary& record, const QString& lowerNeedle);

    // The text to look for, as typed.
    void setNeedle(const QString& text);
    bool matches(const DictionaryRef& record);

    void forget(const Dictionary* record);
    // Forgets every record's text and the search text.
    void clear();
    qsizetype size() const { return static_cast<qsizetype>(m_entries.size()); }

    // A pass over the whole list: the text of records that the pass did not
    // meet is dropped at its end, so removed records are not kept.
    void beginPass();
    void endPass();

private:
    struct Entry {
        Entry() = default;
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;
        ~Entry() { Plaintext::cleanse(text); }
        DictionaryRef record; // keeps the address from being reused while known
        Plaintext::String text; // UTF-8, fields separated by NUL
        quint32 pass = 0;
    };
    const Entry& entryFor(const DictionaryRef& record);

    std::unordered_map<const Dictionary*, Entry> m_entries;
    QString m_lowerNeedle;
    Plaintext::String m_needle;
    Plaintext::String m_making; // the text of one record as it is made
    bool m_needleSpansFields = false;
    quint32 m_pass = 0;
    std::size_t m_met = 0;
};
