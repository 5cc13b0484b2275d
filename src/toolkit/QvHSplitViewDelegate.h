#pragma once
#include "toolkit/QvSplitViewDelegate.h"

// Keeps the panes of a stacked split view (pane 0 top, pane 1 bottom) within
// heights in points. The twin of QvVSplitViewDelegate, with top for left and
// bottom for right.
class QvHSplitViewDelegate : public QvTwoPaneSplitDelegate
{
public:
    QvHSplitViewDelegate();

    // Defaults: both panes collapsible, heights 200 to 99999, growing rule 2.
    void awakeFromNib() { setDefaults(); }

    double minVSizeTop() const { return m_minFirst; }
    void setMinVSizeTop(double v) { m_minFirst = v; }
    double maxVSizeTop() const { return m_maxFirst; }
    void setMaxVSizeTop(double v) { m_maxFirst = v; }
    double minVSizeBottom() const { return m_minSecond; }
    void setMinVSizeBottom(double v) { m_minSecond = v; }
    double maxVSizeBottom() const { return m_maxSecond; }
    void setMaxVSizeBottom(double v) { m_maxSecond = v; }
    int growingRule() const { return m_growingRule; }
    void setGrowingRule(int v) { m_growingRule = v; }
    bool canCollapseTop() const { return m_canCollapseFirst; }
    void setCanCollapseTop(bool v) { m_canCollapseFirst = v; }
    bool canCollapseBottom() const { return m_canCollapseSecond; }
    void setCanCollapseBottom(bool v) { m_canCollapseSecond = v; }

    double topFrameInsideLimits(double size) const { return firstInsideLimits(size); }
    double bottomFrameInsideLimits(double size) const { return secondInsideLimits(size); }

    bool collapseTopView(QvSplitViewAccess& split) { return collapseFirst(split); }
    bool expandToMinTopView(QvSplitViewAccess& split) { return expandToMinFirst(split); }
    bool toggleCollapseTopView(QvSplitViewAccess& split) { return toggleCollapseFirst(split); }
    // These answer pane 1's height before the move.
    double expandToMinBottomView(QvSplitViewAccess& split, QRectF* splitViewPreviousFrame)
    {
        return expandToMinSecond(split, splitViewPreviousFrame);
    }
    double collapseBottomView(QvSplitViewAccess& split, QRectF* splitViewPreviousFrame)
    {
        return collapseSecond(split, splitViewPreviousFrame);
    }
    double toggleCollapseExpandBottomView(QvSplitViewAccess& split) { return toggleCollapseExpandSecond(split); }
    // Answers the height asked of the split view for pane 1.
    double expandBottomView(QvSplitViewAccess& split, double toVal, QRectF* splitViewPreviousFrame)
    {
        return expandSecond(split, toVal, splitViewPreviousFrame);
    }
    double toggleCollapseExpandBottomView(QvSplitViewAccess& split, double toVal, QRectF* splitViewPreviousFrame)
    {
        return toggleCollapseExpandSecond(split, toVal, splitViewPreviousFrame);
    }
};
