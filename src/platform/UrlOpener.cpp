#include "platform/UrlOpener.h"

#include <QDesktopServices>

namespace {
class DesktopUrlOpener : public UrlOpener {
public:
    bool openUrl(const QUrl& url) override { return url.isValid() && QDesktopServices::openUrl(url); }
};
} // namespace

UrlOpener& UrlOpener::production()
{
    static DesktopUrlOpener opener;
    return opener;
}
