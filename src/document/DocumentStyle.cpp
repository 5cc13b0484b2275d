#include "document/DocumentStyle.h"

#include <QWidget>

namespace DocumentStyle {

void setHeading(QWidget* widget, double scale)
{
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setBold(true);
    widget->setFont(font);
}

void setSecondary(QWidget* widget)
{
    widget->setForegroundRole(QPalette::PlaceholderText);
}

} // namespace DocumentStyle
