#pragma once
#include "platform/AddressBook.h"

#include <QByteArrayView>
#include <QStringList>

// Reads the people of vCard files (versions 2.1, 3.0 and 4.0, as address
// books, mail programs and phones write them; in UTF-8 or the charsets their
// cards name, or as a whole in UTF-16 or UTF-32). A card that cannot be read,
// holds nothing to keep or passes a card's limit is left out and counted; a
// line that is no property costs only itself. A file that passes a file's
// limit, or holds no card that can be read, gives a reason and no people.
// Groups and contact lists are not people and are left out without counting.
struct VCardLimits {
    // Of the file.
    qint64 maxFileBytes = qint64(64) << 20;
    int maxCards = 100000;
    // Of a card. Of one property that is kept, after unfolding; photos and
    // other values that are not kept may be longer.
    qsizetype maxValueBytes = qsizetype(1) << 20;
    int maxPropertiesPerCard = 10000;
};

class VCardReader {
public:
    static AddressBookPeople read(QByteArrayView bytes, const VCardLimits& limits = {});
    // The reason names no file; the caller names it.
    static AddressBookPeople readFile(const QString& path, const VCardLimits& limits = {});
    // Extensions of vCard files, without the dot, in either case.
    static const QStringList& fileExtensions();
};
