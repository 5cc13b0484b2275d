#include "document/CategoryBadges.h"

#include "document/QvColoredCategoryArrayController.h"
#include "platform/Defaults.h"
#include "toolkit/LongText.h"

#include <QApplication>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>

namespace CategoryBadges {

QFont tableFont()
{
    Defaults& defaults = Defaults::standardUserDefaults();
    const QString family = defaults.stringForKey(QStringLiteral("tableFontFamily"));
    const double size = defaults.doubleForKey(QStringLiteral("tableFontSize"));
    QFont font = QApplication::font();
    if (!family.isEmpty() && QFontDatabase::hasFamily(family))
        font.setFamily(family);
    if (size > 0 && size < 200)
        font.setPointSizeF(size);
    return font;
}

QString nameOf(const Dictionary& category)
{
    const Value name = category.objectForKey(QvCategoryArrayController::kName);
    return name.isString() ? name.stringValue() : QStringLiteral("");
}

QString itemText(const QString& name, const QFontMetrics& metrics)
{
    // No item is wider than a few hundred characters of any font.
    constexpr qsizetype kMeasured = 256;
    return metrics.elidedText(LongText::head(name, kMeasured), Qt::ElideRight, kItemWidth);
}

QvColor backColorOf(const Dictionary& category)
{
    return QvColorUtilOSX::NSColorFromDict(category.objectForKey(QvColoredCategoryArrayController::kBackColor));
}

QvColor textColorOf(const Dictionary& category)
{
    return QvColorUtilOSX::NSColorFromDict(category.objectForKey(QvColoredCategoryArrayController::kTextColor));
}

QvTextAttributes attributesFor(const Dictionary& category, const QFont& font)
{
    QvTextAttributes attributes;
    attributes.font = font;
    attributes.foregroundColor = textColorOf(category);
    return attributes;
}

void drawCellBadge(QPainter& painter, const QRect& cell, const Dictionary& category, const QFont& font)
{
    const int width = cell.width() - 2;
    const int height = cell.height() - 2;
    if (width <= 0 || height <= 0)
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    QImage image(QSize(width, height) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    {
        QPainter imagePainter(&image);
        imagePainter.setRenderHint(QPainter::Antialiasing);
        imagePainter.setRenderHint(QPainter::TextAntialiasing);
        drawRoundedBadge(imagePainter, category, font, width, height);
    }
    painter.drawImage(QPoint(cell.x() + 1, cell.y() + 1), image);
}

namespace {
QvLabelBadge::TextBox centred(QvLabelBadge::TextBox box, const QFont& font, int height)
{
    const qreal line = QFontMetricsF(font).height();
    box.rect.setRect(box.rect.x(), (height - line) / 2, box.rect.width(), line);
    return box;
}
} // namespace

void drawRoundedBadge(QPainter& painter, const Dictionary& category, const QFont& font, int width, int height)
{
    using namespace QvLabelBadge;
    fillRounded(painter, plainShape(width, height), height, backColorOf(category));
    drawText(painter, nameOf(category), attributesFor(category, font), centred(roundedTextBox(width, height), font, height),
             height);
}

void drawPillBadge(QPainter& painter, const Dictionary& category, const QFont& font, int width, int height)
{
    using namespace QvLabelBadge;
    fillPill(painter, pillShape(width, height), height, backColorOf(category));
    drawText(painter, nameOf(category), attributesFor(category, font), centred(roundedTextBox(width, height), font, height),
             height);
}

} // namespace CategoryBadges
