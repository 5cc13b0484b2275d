#pragma once
// Builds the dictionaries of a keyed archive, which come in large numbers
// with the same keys: they share one list of keys, checked once to hold no
// key twice, instead of each checking and copying its own.

#include "platform/Value.h"

#include <memory>
#include <vector>

class ArchiveDictionaryBuilder {
public:
    ArchiveDictionaryBuilder();
    ~ArchiveDictionaryBuilder();
    ArchiveDictionaryBuilder(const ArchiveDictionaryBuilder&);
    ArchiveDictionaryBuilder& operator=(const ArchiveDictionaryBuilder&);

    // The keys of the dictionaries built next; false (and no keys) when a key
    // occurs twice.
    bool setKeys(const std::vector<QString>& keys);
    bool hasKeys() const { return bool(m_keys); }
    // A dictionary of the current keys with one value each, none absent;
    // empty when the count of values is not that of the keys.
    DictionaryRef build(std::vector<Value>&& values) const;

private:
    std::shared_ptr<Dictionary::Keys> m_keys;
};
