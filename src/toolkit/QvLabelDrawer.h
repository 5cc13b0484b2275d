#pragma once
// A category name drawn as a pill: a rectangle between two ovals. The mapping
// of the framework names is that of QvLabelDrawerExt.

#include "toolkit/QvLabelBadge.h"

class QvLabelDrawer {
public:
    static void drawString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                           int width, int height, const QvColor& backColor, const QvColor& foreColor);
};
