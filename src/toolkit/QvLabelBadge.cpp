#include "toolkit/QvLabelBadge.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace QvLabelBadge {

namespace {

// Text boxes are cut to their width with the fraction dropped (toward zero).
TextBox textBox(qreal x, qreal width, int h)
{
    return {QRectF(x, 1, width, h), int(width)};
}

void fillPath(QPainter& painter, const QPainterPath& path, const QvColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, color.toQColor());
    painter.restore();
}

} // namespace

qreal radius(int h)
{
    return qreal(h / 2);
}

RoundedShape plainShape(int w, int h)
{
    return {QRectF(1, 0, w - 3, h), radius(h)};
}

TextBox roundedTextBox(int w, int h)
{
    const qreal r = radius(h);
    // The width is formed in this order so that it rounds as it always has.
    return textBox(1 + 0.6 * r, w + 2 * (-0.6 * r) - 2, h);
}

QPolygonF leftArrowOutline(int w, int h)
{
    const qreal mid = h / 2.0;
    return QPolygonF({{1, mid}, {7, qreal(h)}, {w - 3.0, qreal(h)}, {w - 9.0, mid}, {w - 3.0, 0}, {7, 0}});
}

QPolygonF rightArrowOutline(int w, int h)
{
    const qreal mid = h / 2.0;
    return QPolygonF({{7, mid}, {1, qreal(h)}, {w - 9.0, qreal(h)}, {w - 3.0, mid}, {w - 9.0, 0}, {1, 0}});
}

TextBox arrowTextBox(int w, int h)
{
    return textBox(8, w - 16, h);
}

PillShape pillShape(int w, int h)
{
    return {QRectF(radius(h) + 1, 0, w - h, h), QRectF(1, 0, h, h), QRectF(w - h - 2, 0, h, h)};
}

QRectF toPainter(const QRectF& rect, int h)
{
    return QRectF(rect.x(), h - rect.y() - rect.height(), rect.width(), rect.height());
}

QPolygonF toPainter(const QPolygonF& outline, int h)
{
    QPolygonF mapped;
    mapped.reserve(outline.size());
    for (const QPointF& p : outline)
        mapped.append(QPointF(p.x(), h - p.y()));
    return mapped;
}

void fillRounded(QPainter& painter, const RoundedShape& shape, int h, const QvColor& color)
{
    const QRectF rect = toPainter(shape.rect, h).normalized();
    // The corners never reach past the middle of a side.
    const qreal rx = std::clamp(shape.radius, 0.0, rect.width() / 2);
    const qreal ry = std::clamp(shape.radius, 0.0, rect.height() / 2);
    QPainterPath path;
    path.addRoundedRect(rect, rx, ry);
    fillPath(painter, path, color);
}

void fillOutline(QPainter& painter, const QPolygonF& outline, int h, const QvColor& color)
{
    QPainterPath path;
    path.addPolygon(toPainter(outline, h));
    path.closeSubpath();
    fillPath(painter, path, color);
}

void fillPill(QPainter& painter, const PillShape& shape, int h, const QvColor& color)
{
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(toPainter(shape.middle, h).normalized(), color.toQColor());
    painter.restore();
    for (const QRectF& oval : {shape.leftOval, shape.rightOval}) {
        QPainterPath path;
        path.addEllipse(toPainter(oval, h).normalized());
        fillPath(painter, path, color);
    }
}

QString fittedText(const QString& text, const QvTextAttributes& attributes, const TextBox& box)
{
    return attributes.textWidth ? QvStringUtils::trimStringToFit(text, box.cutWidth, attributes.textWidth)
                                : QvStringUtils::trimStringToFit(text, box.cutWidth, attributes.font);
}

void drawText(QPainter& painter, const QString& text, const QvTextAttributes& attributes, const TextBox& box, int h)
{
    const QString cut = fittedText(text, attributes, box);
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(attributes.font);
    painter.setPen(attributes.foregroundColor.toQColor());
    painter.drawText(toPainter(box.rect, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, cut);
    painter.restore();
}

} // namespace QvLabelBadge
