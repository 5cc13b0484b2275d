#include "document/DocumentIcons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace DocumentIcons {
namespace {

void draw(QPainter& p, Glyph glyph, qreal s, const QColor& color)
{
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, s / 12.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal m = s * 0.18;
    switch (glyph) {
    case Glyph::Add:
        p.drawLine(QPointF(s / 2, m), QPointF(s / 2, s - m));
        p.drawLine(QPointF(m, s / 2), QPointF(s - m, s / 2));
        break;
    case Glyph::Duplicate:
        p.drawRoundedRect(QRectF(s * 0.14, s * 0.14, s * 0.48, s * 0.52), s * 0.06, s * 0.06);
        p.setBrush(QApplication::palette().color(QPalette::Window));
        p.drawRoundedRect(QRectF(s * 0.38, s * 0.34, s * 0.48, s * 0.52), s * 0.06, s * 0.06);
        break;
    case Glyph::Delete: {
        p.drawLine(QPointF(s * 0.16, s * 0.26), QPointF(s * 0.84, s * 0.26));
        p.drawLine(QPointF(s * 0.40, s * 0.26), QPointF(s * 0.42, s * 0.14));
        p.drawLine(QPointF(s * 0.42, s * 0.14), QPointF(s * 0.58, s * 0.14));
        p.drawLine(QPointF(s * 0.58, s * 0.14), QPointF(s * 0.60, s * 0.26));
        QPainterPath can;
        can.moveTo(s * 0.24, s * 0.30);
        can.lineTo(s * 0.30, s * 0.86);
        can.lineTo(s * 0.70, s * 0.86);
        can.lineTo(s * 0.76, s * 0.30);
        p.drawPath(can);
        p.drawLine(QPointF(s * 0.44, s * 0.40), QPointF(s * 0.45, s * 0.74));
        p.drawLine(QPointF(s * 0.56, s * 0.40), QPointF(s * 0.55, s * 0.74));
        break;
    }
    case Glyph::Edit: {
        QPainterPath pencil;
        pencil.moveTo(s * 0.20, s * 0.80);
        pencil.lineTo(s * 0.24, s * 0.62);
        pencil.lineTo(s * 0.66, s * 0.20);
        pencil.lineTo(s * 0.80, s * 0.34);
        pencil.lineTo(s * 0.38, s * 0.76);
        pencil.closeSubpath();
        p.drawPath(pencil);
        p.drawLine(QPointF(s * 0.58, s * 0.28), QPointF(s * 0.72, s * 0.42));
        break;
    }
    case Glyph::Categories: {
        QPainterPath tag;
        tag.moveTo(s * 0.14, s * 0.16);
        tag.lineTo(s * 0.50, s * 0.16);
        tag.lineTo(s * 0.86, s * 0.52);
        tag.lineTo(s * 0.52, s * 0.86);
        tag.lineTo(s * 0.14, s * 0.50);
        tag.closeSubpath();
        p.drawPath(tag);
        p.drawEllipse(QPointF(s * 0.32, s * 0.34), s * 0.05, s * 0.05);
        break;
    }
    case Glyph::Lock:
    case Glyph::Locked: {
        p.drawRoundedRect(QRectF(s * 0.20, s * 0.44, s * 0.60, s * 0.42), s * 0.06, s * 0.06);
        QPainterPath shackle;
        shackle.moveTo(s * 0.32, s * 0.44);
        shackle.lineTo(s * 0.32, s * 0.32);
        shackle.arcTo(QRectF(s * 0.32, s * 0.12, s * 0.36, s * 0.36), 180, -180);
        shackle.lineTo(s * 0.68, s * 0.44);
        p.drawPath(shackle);
        p.drawLine(QPointF(s / 2, s * 0.60), QPointF(s / 2, s * 0.70));
        break;
    }
    case Glyph::Search:
        p.drawEllipse(QRectF(s * 0.16, s * 0.16, s * 0.46, s * 0.46));
        p.drawLine(QPointF(s * 0.56, s * 0.56), QPointF(s * 0.84, s * 0.84));
        break;
    }
}

// Draws at the size and state asked for, so the glyph is sharp and greys out when disabled.
class GlyphEngine : public QIconEngine {
public:
    explicit GlyphEngine(Glyph glyph) : m_glyph(glyph) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override
    {
        const QPalette palette = QApplication::palette();
        const QColor color = palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active,
                                           QPalette::WindowText);
        painter->save();
        painter->translate(rect.topLeft());
        draw(*painter, m_glyph, std::min(rect.width(), rect.height()), color);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new GlyphEngine(m_glyph); }

private:
    Glyph m_glyph;
};

} // namespace

QIcon icon(const QString& themeName, Glyph glyph)
{
    const QIcon themed = QIcon::fromTheme(themeName);
    return themed.isNull() ? QIcon(new GlyphEngine(glyph)) : themed;
}

QPixmap picture(Glyph glyph, int size, const QColor& color)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    draw(painter, glyph, size, color);
    return pixmap;
}

} // namespace DocumentIcons
