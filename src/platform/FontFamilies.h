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
