#include "toolkit/QvSplitViewDelegate.h"

#include <algorithm>

namespace {

// Size and start of a rectangle along an axis, and its size across it.
double sizeAlong(const QRectF& r, Qt::Orientation axis)
{
    return axis == Qt::Horizontal ? r.width() : r.height();
}

void setSizeAlong(QRectF& r, Qt::Orientation axis, double size)
{
    if (axis == Qt::Horizontal)
        r.setWidth(size);
    else
        r.setHeight(size);
}

void moveStartAlong(QRectF& r, Qt::Orientation axis, double start)
{
    if (axis == Qt::Horizontal)
        r.moveLeft(start);
    else
        r.moveTop(start);
}

void setSizeAcross(QRectF& r, Qt::Orientation axis, double size)
{
    if (axis == Qt::Horizontal)
        r.setHeight(size);
    else
        r.setWidth(size);
}

double heldWithin(bool active, double minimum, double maximum, double size)
{
    if (!active)
        return size;
    if (minimum > size)
        return minimum;
    if (size > maximum)
        return maximum;
    return size;
}

} // namespace

QvTwoPaneSplitDelegate::QvTwoPaneSplitDelegate(Qt::Orientation axis, bool adjustsAfterResize)
    : m_axis(axis)
    , m_adjustsAfterResize(adjustsAfterResize)
{
}

void QvTwoPaneSplitDelegate::setDefaults()
{
    m_canCollapseFirst = true;
    m_canCollapseSecond = true;
    m_minFirst = 200;
    m_maxFirst = 99999;
    m_minSecond = 200;
    m_maxSecond = 99999;
    m_growingRule = ShareEqually;
    m_awaked = true;
}

double QvTwoPaneSplitDelegate::along(const QRectF& r) const
{
    return sizeAlong(r, m_axis);
}

double QvTwoPaneSplitDelegate::firstInsideLimits(double size) const
{
    return heldWithin(m_awaked, m_minFirst, m_maxFirst, size);
}

double QvTwoPaneSplitDelegate::secondInsideLimits(double size) const
{
    return heldWithin(m_awaked, m_minSecond, m_maxSecond, size);
}

std::pair<double, double> QvTwoPaneSplitDelegate::dividerRange(const QvSplitViewAccess& split) const
{
    double low = m_minFirst;
    double high = std::min(along(split.frame()) - m_minSecond - split.dividerThickness(), m_maxFirst);
    // When the split view is too small for both panes' limits (or pane 0's
    // limits contradict each other) there is no range. The divider then rests
    // where resizing leaves it: pane 0 gets its minimum under the rule in which
    // pane 1 keeps its size, and pane 1's limits win under every other rule.
    if (high < low) {
        if (m_growingRule == SecondKeepsSize)
            high = low;
        else
            low = high;
    }
    return {low, high};
}

double QvTwoPaneSplitDelegate::splitViewConstrainMinCoordinate(QvSplitViewAccess& split, double, int)
{
    return dividerRange(split).first;
}

double QvTwoPaneSplitDelegate::splitViewConstrainMaxCoordinate(QvSplitViewAccess& split, double, int)
{
    return dividerRange(split).second;
}

bool QvTwoPaneSplitDelegate::splitViewCanCollapseSubview(QvSplitViewAccess&, int pane)
{
    return pane == 0 ? m_canCollapseFirst : m_canCollapseSecond;
}

void QvTwoPaneSplitDelegate::splitViewResizeSubviewsWithOldSize(QvSplitViewAccess& split, const QSizeF&)
{
    const QRectF total = split.frame();
    QRectF f0 = split.paneFrame(0);
    QRectF f1 = split.paneFrame(1);
    const double d = float(split.dividerThickness());
    const double t = along(total);
    const double across = m_axis == Qt::Horizontal ? total.height() : total.width();
    setSizeAcross(f0, m_axis, across);
    setSizeAcross(f1, m_axis, across);

    // Pane 1 starts past pane 0 and the divider.
    const auto placeSecond = [&] { moveStartAlong(f1, m_axis, along(f0) + d); };

    if (split.isPaneCollapsed(1)) {
        setSizeAlong(f0, m_axis, t - d);
    } else if (split.isPaneCollapsed(0)) {
        setSizeAlong(f1, m_axis, t - d);
    } else {
        switch (m_growingRule) {
        case FirstKeepsSize:
            setSizeAlong(f1, m_axis, secondInsideLimits(t - along(f0) - d));
            setSizeAlong(f0, m_axis, t - along(f1) - d);
            placeSecond();
            break;
        case SecondKeepsSize:
            setSizeAlong(f0, m_axis, firstInsideLimits(t - along(f1) - d));
            setSizeAlong(f1, m_axis, t - along(f0) - d);
            placeSecond();
            break;
        case ShareEqually:
            setSizeAlong(f0, m_axis, firstInsideLimits(((t - along(f1) - d) + along(f0)) * 0.5));
            setSizeAlong(f1, m_axis, secondInsideLimits(t - along(f0) - d));
            setSizeAlong(f0, m_axis, t - along(f1) - d);
            placeSecond();
            break;
        default:
            break;
        }
    }
    split.setPaneFrame(0, f0);
    split.setPaneFrame(1, f1);
    if (m_adjustsAfterResize)
        split.adjustSubviews();
}

// The collapse and expand-to-minimum commands put the divider 1 point short of
// or past half the pane's minimum; the split view collapses the pane or gives
// it its minimum.
bool QvTwoPaneSplitDelegate::collapseFirst(QvSplitViewAccess& split)
{
    split.setPosition(m_minFirst * 0.5 - 1, 0);
    return true;
}

bool QvTwoPaneSplitDelegate::expandToMinFirst(QvSplitViewAccess& split)
{
    split.setPosition(m_minFirst * 0.5 + 1, 0);
    return true;
}

bool QvTwoPaneSplitDelegate::toggleCollapseFirst(QvSplitViewAccess& split)
{
    return split.isPaneCollapsed(0) ? expandToMinFirst(split) : collapseFirst(split);
}

double QvTwoPaneSplitDelegate::expandToMinSecond(QvSplitViewAccess& split, QRectF* previousFrame)
{
    const double before = along(split.paneFrame(1));
    split.setPosition(along(split.frame()) - m_minSecond * 0.5 - 1, 0);
    if (previousFrame)
        *previousFrame = split.frame();
    return before;
}

double QvTwoPaneSplitDelegate::collapseSecond(QvSplitViewAccess& split, QRectF* previousFrame)
{
    const double before = along(split.paneFrame(1));
    split.setPosition(along(split.frame()) - m_minSecond * 0.5 + 1, 0);
    if (previousFrame)
        *previousFrame = split.frame();
    return before;
}

double QvTwoPaneSplitDelegate::toggleCollapseExpandSecond(QvSplitViewAccess& split)
{
    QRectF scratch;
    return split.isPaneCollapsed(1) ? expandToMinSecond(split, &scratch) : collapseSecond(split, &scratch);
}

double QvTwoPaneSplitDelegate::expandSecond(QvSplitViewAccess& split, double target, QRectF* previousFrame)
{
    const double w = along(split.frame());
    const double d = split.dividerThickness();
    // Under the sharing rule the pane also gets half of what the split view
    // grew since it was collapsed; without a remembered frame nothing grew.
    if (m_growingRule == ShareEqually && previousFrame)
        target += ((w - d) - (along(*previousFrame) - d)) * 0.5;
    double r = secondInsideLimits(target);
    if (m_minFirst > w - r - d)
        r = w - m_minFirst - d;
    split.setPosition(w - r, 0);
    if (previousFrame)
        *previousFrame = split.frame();
    return r;
}

double QvTwoPaneSplitDelegate::toggleCollapseExpandSecond(QvSplitViewAccess& split, double target,
                                                          QRectF* previousFrame)
{
    return split.isPaneCollapsed(1) ? expandSecond(split, target, previousFrame)
                                    : collapseSecond(split, previousFrame);
}
