#include "toolkit/QvBtnImgPopUp.h"

#include <QMouseEvent>

QvBtnImgPopUp::QvBtnImgPopUp(QWidget* parent)
    : QPushButton(parent)
{
}

void QvBtnImgPopUp::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QPushButton::mousePressEvent(event);
    event->accept();
    click();
}

void QvBtnImgPopUp::mouseReleaseEvent(QMouseEvent* event)
{
    // The click already happened on the way down; the release must not
    // complete a second one.
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QPushButton::mouseReleaseEvent(event);
}
