#include "platform/FontFamilies.h"

#include <QFontDatabase>
#include <QSet>

namespace {
class DatabaseFontFamilies : public FontFamilies {
public:
    QStringList families() const override { return plainFamilies(QFontDatabase::families()); }
};
} // namespace

FontFamilies& FontFamilies::production()
{
    static DatabaseFontFamilies families;
    return families;
}

QStringList FontFamilies::plainFamilies(const QStringList& families)
{
    QStringList plain;
    QSet<QString> seen;
    for (QString family : families) {
        if (family.endsWith(u']')) {
            const qsizetype tag = family.lastIndexOf(QLatin1String(" ["));
            if (tag > 0)
                family.truncate(tag);
        }
        if (!seen.contains(family)) {
            seen.insert(family);
            plain.append(family);
        }
    }
    return plain;
}
