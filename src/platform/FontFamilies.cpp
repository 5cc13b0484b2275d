#include "platform/FontFamilies.h"

#include <QFontDatabase>

namespace {
class DatabaseFontFamilies : public FontFamilies {
public:
    QStringList families() const override { return QFontDatabase::families(); }
};
} // namespace

FontFamilies& FontFamilies::production()
{
    static DatabaseFontFamilies families;
    return families;
}
