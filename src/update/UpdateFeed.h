#pragma once
// The update feed: a property list (binary or XML) whose root is a dictionary
// with the latest release number under "LRA", the download address under "GFU"
// and the download page under "DPU". It comes over plain HTTP from a mirror,
// so every field is outside input.

#include "platform/Value.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

class UpdateFeed {
public:
    static constexpr const char* kLatestReleaseKey = "LRA";
    static constexpr const char* kDownloadKey = "GFU";
    static constexpr const char* kDownloadPageKey = "DPU";

    // The feed dictionary of a downloaded body, or null with the reason in
    // `error`: bytes that are not a property list, a root that is not a
    // dictionary, or an "LRA" that is not a usable release number. A feed
    // without "LRA" is read; it simply offers nothing.
    static DictionaryRef read(const QByteArray& body, QString* error = nullptr);

    // Whether "LRA" is absent or an integer within signed 64 bits. A boolean,
    // real, string, date or an unsigned number above 2^63 - 1 (which would
    // wrap to a negative one) is not a release number.
    static bool hasUsableLatestRelease(const Dictionary& feed);
    // The release number of "LRA"; nullopt when absent or unusable.
    static std::optional<qint64> latestRelease(const Dictionary& feed);

    // An address as the checker may ask or open it: an absolute http or https
    // address with a host. Anything else (not a string, another scheme, a
    // relative address, no host) gives an empty QUrl.
    static QUrl address(const Value& value);
};
