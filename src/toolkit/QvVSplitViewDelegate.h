#pragma once
#include "toolkit/QvSplitViewDelegate.h"

// Keeps the panes of a side-by-side split view (pane 0 left, pane 1 right)
// within whole-point widths. Selectors with a split-view argument take the
// split view first; splitViewPreviousFrame: is an optional in-out rectangle.
class QvVSplitViewDelegate : public QvTwoPaneSplitDelegate
{
public:
    QvVSplitViewDelegate();

    // Defaults: both panes collapsible, widths 200 to 99999, growing rule 2.
    void awakeFromNib() { setDefaults(); }

    int minHSizeLeft() const { return int(m_minFirst); }
    void setMinHSizeLeft(int v) { m_minFirst = v; }
    int maxHSizeLeft() const { return int(m_maxFirst); }
    void setMaxHSizeLeft(int v) { m_maxFirst = v; }
    int minHSizeRight() const { return int(m_minSecond); }
    void setMinHSizeRight(int v) { m_minSecond = v; }
    int maxHSizeRight() const { return int(m_maxSecond); }
    void setMaxHSizeRight(int v) { m_maxSecond = v; }
    int growingRule() const { return m_growingRule; }
    void setGrowingRule(int v) { m_growingRule = v; }
    bool canCollapseLeft() const { return m_canCollapseFirst; }
    void setCanCollapseLeft(bool v) { m_canCollapseFirst = v; }
    bool canCollapseRight() const { return m_canCollapseSecond; }
    void setCanCollapseRight(bool v) { m_canCollapseSecond = v; }

    double leftFrameInsideLimits(double size) const { return firstInsideLimits(size); }
    double rightFrameInsideLimits(double size) const { return secondInsideLimits(size); }

    bool collapseLeftView(QvSplitViewAccess& split) { return collapseFirst(split); }
    bool expandToMinLeftView(QvSplitViewAccess& split) { return expandToMinFirst(split); }
    bool toggleCollapseLeftView(QvSplitViewAccess& split) { return toggleCollapseFirst(split); }
    // These answer pane 1's width before the move.
    double expandToMinRightView(QvSplitViewAccess& split) { return expandToMinSecond(split, nullptr); }
    double expandToMinRightView(QvSplitViewAccess& split, QRectF* splitViewPreviousFrame)
    {
        return expandToMinSecond(split, splitViewPreviousFrame);
    }
    double collapseRightView(QvSplitViewAccess& split, QRectF* splitViewPreviousFrame)
    {
        return collapseSecond(split, splitViewPreviousFrame);
    }
    bool toggleCollapseExpandRightView(QvSplitViewAccess& split)
    {
        toggleCollapseExpandSecond(split);
        return true;
    }
    // Answers the width asked of the split view for pane 1.
    double expandRightView(QvSplitViewAccess& split, double toVal, QRectF* splitViewPreviousFrame)
    {
        return expandSecond(split, toVal, splitViewPreviousFrame);
    }
    double toggleCollapseExpandRightView(QvSplitViewAccess& split, double toVal, QRectF* splitViewPreviousFrame)
    {
        return toggleCollapseExpandSecond(split, toVal, splitViewPreviousFrame);
    }
};
