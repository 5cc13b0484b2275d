#pragma once
// Category names drawn as coloured badges: a plain badge with rounded ends,
// and two arrow-shaped forms.
//
// Mapping of the framework names: each `+draw…String:attrDictionary:width:
// height:backColor:foreColor:` is the static member of the same first keyword,
// with the painter to draw into first (it stands for the current graphics
// context). The badge covers (0, 0) to (width, height) of the painter. The
// text colour is the attributes' own; `foreColor` does not change it.

#include "toolkit/QvLabelBadge.h"

class QvLabelDrawerExt {
public:
    // A null string is drawn as "".
    static void drawString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                           int width, int height, const QvColor& backColor, const QvColor& foreColor);
    static void drawLeftArrowString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                                    int width, int height, const QvColor& backColor, const QvColor& foreColor);
    static void drawRightArrowString(QPainter& painter, const QString& string, const QvTextAttributes& attrDictionary,
                                     int width, int height, const QvColor& backColor, const QvColor& foreColor);
};
