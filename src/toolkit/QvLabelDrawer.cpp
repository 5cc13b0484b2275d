#include "toolkit/QvLabelDrawer.h"

using namespace QvLabelBadge;

void QvLabelDrawer::drawString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                               int width, int height, const QvColor& backColor, const QvColor&)
{
    fillPill(painter, pillShape(width, height), height, backColor);
    drawText(painter, string, attrDictionary, roundedTextBox(width, height), height);
}
