#include "toolkit/QvLabelDrawerExt.h"

using namespace QvLabelBadge;

void QvLabelDrawerExt::drawString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                                  int width, int height, const QvColor& backColor, const QvColor&)
{
    fillRounded(painter, plainShape(width, height), height, backColor);
    drawText(painter, string, attrDictionary, roundedTextBox(width, height), height);
}

void QvLabelDrawerExt::drawLeftArrowString(QPainter& painter, const QString& string,
                                           const QvTextAttributes& attrDictionary, int width, int height,
                                           const QvColor& backColor, const QvColor&)
{
    fillOutline(painter, leftArrowOutline(width, height), height, backColor);
    drawText(painter, string, attrDictionary, arrowTextBox(width, height), height);
}

void QvLabelDrawerExt::drawRightArrowString(QPainter& painter, const QString& string,
                                            const QvTextAttributes& attrDictionary, int width, int height,
                                            const QvColor& backColor, const QvColor&)
{
    fillOutline(painter, rightArrowOutline(width, height), height, backColor);
    drawText(painter, string, attrDictionary, arrowTextBox(width, height), height);
}
