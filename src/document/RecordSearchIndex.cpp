#include "document/RecordSearchIndex.h"

#include <cstring>

namespace {

// The text lower-cased, in UTF-8. Plain ASCII, the usual case, is lowered
// in place; anything else goes through the full lower-casing.
void appendLowered(Plaintext::String& out, const QString& text)
{
    const QChar* units = text.constData();
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (units[i].unicode() >= 0x80) {
            QString lower = text.toLower();
            QByteArray utf8 = lower.toUtf8();
            out.append(utf8.constData(), std::size_t(utf8.size()));
            Plaintext::wipe(utf8);
            Plaintext::wipe(lower);
            return;
        }
    }
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = units[i].unicode();
        out.push_back(static_cast<char>(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c));
    }
}

} // namespace

const QStringList& RecordSearchIndex::searchKeys()
{
    static const QStringList keys{
        QStringLiteral("addressPersonal"), QStringLiteral("addressWork"),   QStringLiteral("category"),
        QStringLiteral("company"),         QStringLiteral("emailPersonal"), QStringLiteral("emailWork"),
        QStringLiteral("faxPersonal"),     QStringLiteral("faxWork"),       QStringLiteral("firstName"),
        QStringLiteral("lastName"),        QStringLiteral("mobile"),        QStringLiteral("note"),
        QStringLiteral("pager"),           QStringLiteral("phonePersonal"), QStringLiteral("phoneWork"),
        QStringLiteral("resultingName"),   QStringLiteral("webPersonal"),   QStringLiteral("webWork"),
    };
    return keys;
}

bool RecordSearchIndex::recordMatches(const Dictionary& record, const QString& lowerNeedle)
{
    for (const QString& key : searchKeys()) {
        const Value value = record.objectForKey(key);
        if (!value.isString())
            continue;
        QString lower = value.stringValue().toLower();
        const bool found = lower.contains(lowerNeedle);
        Plaintext::wipe(lower);
        if (found)
            return true;
    }
    return false;
}

void RecordSearchIndex::setNeedle(const QString& text)
{
    Plaintext::wipe(m_lowerNeedle);
    Plaintext::cleanse(m_needle);
    m_lowerNeedle = text.toLower();
    QByteArray utf8 = m_lowerNeedle.toUtf8();
    m_needle.assign(utf8.constData(), std::size_t(utf8.size()));
    Plaintext::wipe(utf8);
    // The kept text separates fields with NUL; a needle holding one could
    // match across two fields, so it is looked for field by field.
    m_needleSpansFields = m_lowerNeedle.contains(QChar(0));
}

const RecordSearchIndex::Entry& RecordSearchIndex::entryFor(const DictionaryRef& record)
{
    auto [it, inserted] = m_entries.try_emplace(record.get());
    Entry& entry = it->second;
    if (inserted) {
        entry.record = record;
        // Made in a buffer kept for it, then stored to the byte: blocks of
        // one size per record would be many, and each is filled when freed.
        m_making.clear();
        for (const QString& key : searchKeys()) {
            const Value value = record->objectForKey(key);
            if (value.isString())
                appendLowered(m_making, value.stringValue());
            m_making.push_back('\0');
        }
        entry.text.assign(m_making);
        Plaintext::wipeBytes(m_making.data(), m_making.size());
    }
    if (entry.pass != m_pass) {
        entry.pass = m_pass;
        ++m_met;
    }
    return entry;
}

bool RecordSearchIndex::matches(const DictionaryRef& record)
{
    if (!record)
        return false;
    if (m_needleSpansFields)
        return recordMatches(*record, m_lowerNeedle);
    const Plaintext::String& text = entryFor(record).text;
    // UTF-8 is self-synchronising: a byte match of valid text is a match of characters.
    return memmem(text.data(), text.size(), m_needle.data(), m_needle.size()) != nullptr;
}

void RecordSearchIndex::forget(const Dictionary* record) { m_entries.erase(record); }

void RecordSearchIndex::clear()
{
    m_entries.clear();
    m_met = 0;
    Plaintext::String().swap(m_making);
    Plaintext::wipe(m_lowerNeedle);
    Plaintext::cleanse(m_needle);
    m_needle.clear();
    m_needle.shrink_to_fit();
}

void RecordSearchIndex::beginPass()
{
    ++m_pass;
    m_met = 0;
}

void RecordSearchIndex::endPass()
{
    if (m_entries.size() <= m_met)
        return;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->second.pass != m_pass) {
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}
