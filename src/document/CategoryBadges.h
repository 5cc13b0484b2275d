#pragma once
// What the record list, the category sheet and the record pane share to show
// a category: its name, its colours and the badge drawn with them.

#include "platform/Value.h"
#include "toolkit/QvLabelBadge.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>

class QPainter;

namespace CategoryBadges {

// The font of the lists: the family of the user default "tableFontFamily" at
// the size "tableFontSize", read at every call. A family that is not installed
// gives the system's family; a size that is not positive the system's size.
QFont tableFont();

// The name the badge shows ("" for a category without one).
QString nameOf(const Dictionary& category);
// A name as an item of a pop-up or a menu shows it: cut with an ellipsis to
// kItemWidth pixels of `metrics`, so that a long name neither stretches the
// pop-up nor costs the layout of all its characters.
inline constexpr int kItemWidth = 240;
QString itemText(const QString& name, const QFontMetrics& metrics);
QvColor backColorOf(const Dictionary& category);
QvColor textColorOf(const Dictionary& category);
QvTextAttributes attributesFor(const Dictionary& category, const QFont& font);

// The badge of a list cell: QvLabelDrawerExt's rounded shape in a
// (width - 2) by (height - 2) image placed one point inside the cell. Nothing
// is drawn when that leaves no area.
void drawCellBadge(QPainter& painter, const QRect& cell, const Dictionary& category, const QFont& font);

// The shapes with the name centred on the height of the badge (the drawers put
// it at the top, which suits only a badge as high as one line of text).
void drawRoundedBadge(QPainter& painter, const Dictionary& category, const QFont& font, int width, int height);
void drawPillBadge(QPainter& painter, const Dictionary& category, const QFont& font, int width, int height);

} // namespace CategoryBadges
