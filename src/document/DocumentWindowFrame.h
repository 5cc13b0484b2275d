#pragma once
// The document file stores its window frame with the origin at the bottom left
// of the primary screen and y growing upwards; Qt places windows from the top
// left with y growing downwards. These conversions are plain arithmetic on the
// screens' geometries, so that they can be tested without a display.

#include "document/DocumentFile.h"

#include <QList>
#include <QRect>
#include <QSize>

class DocumentWindowFrame {
public:
    // `primaryScreen` is the primary screen's geometry in Qt's coordinates.
    static QRect toScreen(const StoredFrame& frame, const QRect& primaryScreen);
    static StoredFrame fromScreen(const QRect& frame, const QRect& primaryScreen);

    // A frame that lies on one of `availableScreens`: the screen it overlaps most
    // (the first one when it overlaps none), no larger than that screen, no
    // smaller than `minimum`, moved inside it. An empty frame stays as it is.
    static QRect keepOnScreen(const QRect& frame, const QList<QRect>& availableScreens, const QSize& minimum = {});

};
