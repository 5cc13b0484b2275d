#pragma once
#include "platform/Seam.h"

#include <QStringList>

// The font families installed on the system, as the font database lists them.
//
//   [[NSFontManager sharedFontManager] availableFontFamilies]  ->  FontFamilies::available()
class FontFamilies {
public:
    virtual ~FontFamilies() = default;
    virtual QStringList families() const = 0;

    static QStringList available() { return Seam<FontFamilies>::current().families(); }
    static FontFamilies& production();

    // Each family once, by its plain name, in the order first seen: the font database
    // lists a family that several foundries make once for each, as "Family [Foundry]".
    static QStringList plainFamilies(const QStringList& families);
};

// For tests: a fixed list.
class FixedFontFamilies : public FontFamilies {
public:
    explicit FixedFontFamilies(QStringList families) : list(std::move(families)), m_install(this) {}
    QStringList families() const override { return list; }

    QStringList list;

private:
    ScopedSeam<FontFamilies> m_install;
};
