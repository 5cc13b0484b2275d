#pragma once
// What the badge drawers (QvLabelDrawerExt, QvLabelDrawer) share: the text
// attributes, the badge geometry and the painting of the shapes and the text.
//
// Geometry is given in the badge's own coordinates, origin at the lower left
// and y growing upwards, w and h the badge's width and height, r = h / 2 in
// integer arithmetic. Painting maps it onto a QPainter whose badge area is
// (0, 0) to (w, h) with y growing downwards.

#include "toolkit/QvColorUtilOSX.h"
#include "toolkit/QvStringUtils.h"

#include <QFont>
#include <QPolygonF>
#include <QRectF>

class QPainter;

// The text attributes of a badge: its font and text colour, and how wide a
// text is drawn in that font (empty: measured with the font's metrics).
struct QvTextAttributes {
    QFont font;
    QvColor foregroundColor{0, 0, 0, 1};
    QvStringUtils::TextWidth textWidth;
};

namespace QvLabelBadge {

// Where the name goes and the whole-point width it is cut to.
struct TextBox {
    QRectF rect;
    int cutWidth = 0;
};

struct RoundedShape {
    QRectF rect;
    qreal radius = 0;
};

struct PillShape {
    QRectF middle;
    QRectF leftOval;
    QRectF rightOval;
};

qreal radius(int h);

// The plain badge: a rectangle with rounded ends, and the text box that the
// pill shares.
RoundedShape plainShape(int w, int h);
TextBox roundedTextBox(int w, int h);

// The arrow badges: six-point outlines, pointing left or right.
QPolygonF leftArrowOutline(int w, int h);
QPolygonF rightArrowOutline(int w, int h);
TextBox arrowTextBox(int w, int h);

// The pill: a middle rectangle and two ovals.
PillShape pillShape(int w, int h);

// From badge coordinates to the painter's.
QRectF toPainter(const QRectF& rect, int h);
QPolygonF toPainter(const QPolygonF& outline, int h);

// Painting, in the painter's current state. Rectangles with a negative extent
// are filled as their normalised form.
void fillRounded(QPainter& painter, const RoundedShape& shape, int h, const QvColor& color);
void fillOutline(QPainter& painter, const QPolygonF& outline, int h, const QvColor& color);
// The middle rectangle replaces what lies under it (no blending), the ovals
// blend over it.
void fillPill(QPainter& painter, const PillShape& shape, int h, const QvColor& color);
// The text cut to the box's width with the attributes' measure.
QString fittedText(const QString& text, const QvTextAttributes& attributes, const TextBox& box);
// Draws the fitted text from the box's top left, clipped to the box.
void drawText(QPainter& painter, const QString& text, const QvTextAttributes& attributes, const TextBox& box, int h);

} // namespace QvLabelBadge
