#include "document/DocumentWindowFrame.h"

#include <algorithm>
#include <cmath>

namespace {
// Far beyond any screen, and small enough that no sum of two overflows.
constexpr double kLimit = 1 << 24;

int bounded(double value, double low = -kLimit)
{
    return static_cast<int>(std::clamp(std::isnan(value) ? 0.0 : value, low, kLimit));
}
} // namespace

QRect DocumentWindowFrame::toScreen(const StoredFrame& frame, const QRect& primaryScreen)
{
    const int width = bounded(frame.width, 0);
    const int height = bounded(frame.height, 0);
    // The stored origin is the bottom left corner, measured from the primary
    // screen's bottom edge.
    const int top = primaryScreen.y() + primaryScreen.height() - bounded(frame.y) - height;
    return QRect(bounded(frame.x), top, width, height);
}

StoredFrame DocumentWindowFrame::fromScreen(const QRect& frame, const QRect& primaryScreen)
{
    StoredFrame stored;
    stored.x = frame.x();
    stored.width = frame.width();
    stored.height = frame.height();
    stored.y = primaryScreen.y() + primaryScreen.height() - (frame.y() + frame.height());
    return stored;
}

QRect DocumentWindowFrame::keepOnScreen(const QRect& frame, const QList<QRect>& availableScreens, const QSize& minimum)
{
    if (frame.isEmpty() || availableScreens.isEmpty())
        return frame;
    QRect screen = availableScreens.first();
    qint64 bestOverlap = 0;
    for (const QRect& candidate : availableScreens) {
        const QRect overlap = candidate.intersected(frame);
        const qint64 area = overlap.isEmpty() ? 0 : qint64(overlap.width()) * overlap.height();
        if (area > bestOverlap) {
            bestOverlap = area;
            screen = candidate;
        }
    }
    const int width = std::clamp(frame.width(), std::min(minimum.width(), screen.width()), screen.width());
    const int height = std::clamp(frame.height(), std::min(minimum.height(), screen.height()), screen.height());
    const int x = std::clamp(frame.x(), screen.left(), screen.left() + screen.width() - width);
    const int y = std::clamp(frame.y(), screen.top(), screen.top() + screen.height() - height);
    return QRect(x, y, width, height);
}

