#include "toolkit/QvWhiteView.h"

#include <QPainter>

QvWhiteView::QvWhiteView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void QvWhiteView::paintEvent(QPaintEvent*)
{
    // The whole panel is painted whatever part needs it, as the frame spans it.
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QPen(QColor::fromRgbF(0.5, 0.5, 0.5), 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
