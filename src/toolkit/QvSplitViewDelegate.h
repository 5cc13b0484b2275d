#pragma once
#include <QRectF>
#include <QSizeF>
#include <Qt>

// A split view of two panes (0: left or top, 1: right or bottom) and one
// divider (index 0), as its delegate sees it. The divider position is the size
// of pane 0 along the split axis. Frames are in the split view's coordinates,
// except frame(), which is the split view's own rectangle.
class QvSplitViewAccess
{
public:
    virtual ~QvSplitViewAccess() = default;
    virtual QRectF frame() const = 0;
    virtual QRectF paneFrame(int pane) const = 0;
    virtual void setPaneFrame(int pane, const QRectF& frame) = 0;
    virtual double dividerThickness() const = 0;
    virtual bool isPaneCollapsed(int pane) const = 0;
    // Makes the panes and the divider fill the split view again.
    virtual void adjustSubviews() = 0;
    // Moves the divider, within the delegate's limits; a position far enough
    // beyond a limit collapses a pane that may collapse.
    virtual void setPosition(double position, int divider) = 0;
};

// What a split view asks of its delegate. The selector family
// splitView:constrainMinCoordinate:ofSubviewAt: and its siblings become
// splitViewConstrainMinCoordinate(...) and so on.
class QvSplitViewDelegate
{
public:
    virtual ~QvSplitViewDelegate() = default;
    virtual double splitViewConstrainMinCoordinate(QvSplitViewAccess& split, double proposed, int divider) = 0;
    virtual double splitViewConstrainMaxCoordinate(QvSplitViewAccess& split, double proposed, int divider) = 0;
    virtual void splitViewResizeSubviewsWithOldSize(QvSplitViewAccess& split, const QSizeF& oldSize) = 0;
    virtual bool splitViewCanCollapseSubview(QvSplitViewAccess& split, int pane) = 0;
};

// The arithmetic shared by the side-by-side and the stacked delegates, along
// one axis: Qt::Horizontal measures widths and x, Qt::Vertical heights and y.
// The named twins QvVSplitViewDelegate and QvHSplitViewDelegate expose it.
//
// Fields start at zero; awakeFromNib() sets the defaults, and limits apply only
// from then on. Whoever builds the split view calls it once, as the interface
// loader would.
class QvTwoPaneSplitDelegate : public QvSplitViewDelegate
{
public:
    // Growing rules: which pane takes a change of the split view's size.
    enum GrowingRule { FirstKeepsSize = 0, SecondKeepsSize = 1, ShareEqually = 2 };

    double splitViewConstrainMinCoordinate(QvSplitViewAccess& split, double proposed, int divider) override;
    double splitViewConstrainMaxCoordinate(QvSplitViewAccess& split, double proposed, int divider) override;
    void splitViewResizeSubviewsWithOldSize(QvSplitViewAccess& split, const QSizeF& oldSize) override;
    bool splitViewCanCollapseSubview(QvSplitViewAccess& split, int pane) override;

    bool awaked() const { return m_awaked; }

protected:
    QvTwoPaneSplitDelegate(Qt::Orientation axis, bool adjustsAfterResize);

    void setDefaults();

    double firstInsideLimits(double size) const;
    double secondInsideLimits(double size) const;

    bool collapseFirst(QvSplitViewAccess& split);
    bool expandToMinFirst(QvSplitViewAccess& split);
    bool toggleCollapseFirst(QvSplitViewAccess& split);
    double expandToMinSecond(QvSplitViewAccess& split, QRectF* previousFrame);
    double collapseSecond(QvSplitViewAccess& split, QRectF* previousFrame);
    double toggleCollapseExpandSecond(QvSplitViewAccess& split);
    double expandSecond(QvSplitViewAccess& split, double target, QRectF* previousFrame);
    double toggleCollapseExpandSecond(QvSplitViewAccess& split, double target, QRectF* previousFrame);

    bool m_awaked = false;
    bool m_canCollapseFirst = false;
    bool m_canCollapseSecond = false;
    int m_growingRule = 0;
    double m_minFirst = 0;
    double m_maxFirst = 0;
    double m_minSecond = 0;
    double m_maxSecond = 0;

private:
    // The divider's lowest and highest position; see the .cpp for limits that
    // cannot all hold.
    std::pair<double, double> dividerRange(const QvSplitViewAccess& split) const;
    double along(const QRectF& r) const;

    const Qt::Orientation m_axis;
    const bool m_adjustsAfterResize;
};
