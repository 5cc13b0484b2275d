#pragma once
#include "platform/AddressBook.h"

#include <QByteArrayView>
#include <QStringList>

// Reads the people of vCard files (versions 2.1, 3.0 and 4.0, as address
// books, mail programs and phones write them). A card that cannot be read is
// left out and counted; a file that passes a limit, or holds no card that can
// be read, gives a reason and no people. Groups and contact lists are not
// people and are left out without counting.
struct VCardLimits {
    qint64 maxFileBytes = qint64(64) << 20;
    // Of one property that is kept, after unfolding; photos and other values
    // that are not kept may be longer.
    qsizetype maxValueBytes = qsizetype(1) << 20;
    int maxCards = 100000;
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
