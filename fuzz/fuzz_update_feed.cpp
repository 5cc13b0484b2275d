// The update feed as a mirror may send it: whatever the bytes, the reader
// answers a feed or nothing, and a feed it answers has a usable release.
#include "update/UpdateFeed.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QString error;
    const DictionaryRef feed = UpdateFeed::read(bytes, &error);
    if (!feed) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    if (!UpdateFeed::hasUsableLatestRelease(*feed))
        std::abort();
    (void)UpdateFeed::latestRelease(*feed);
    for (const char* key : {UpdateFeed::kDownloadKey, UpdateFeed::kDownloadPageKey}) {
        const QUrl url = UpdateFeed::address(feed->objectForKey(QString::fromLatin1(key)));
        if (!url.isEmpty() && url.host().isEmpty())
            std::abort();
    }
    return 0;
}
