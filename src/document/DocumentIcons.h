#pragma once
#include <QIcon>

// Icons of the document window's commands: the desktop theme's icon of that
// name, or a plain drawn one where the theme has none.
namespace DocumentIcons {

enum class Glyph { Add, Duplicate, Delete, Edit, Categories, Lock, Search, Locked };

QIcon icon(const QString& themeName, Glyph glyph);
// A large drawing of the glyph, for the locked view.
QPixmap picture(Glyph glyph, int size, const QColor& color);

} // namespace DocumentIcons
