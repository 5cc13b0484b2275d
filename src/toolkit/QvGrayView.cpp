#include "toolkit/QvGrayView.h"

QvGrayView::QvGrayView(QWidget* parent)
    : QWidget(parent)
{
    // Never fills its background, even when made a top-level window.
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}
