#pragma once
#include "toolkit/QvSplitViewDelegate.h"

#include <QPointer>
#include <QWidget>

class QvSplitViewHandle;

// Two panes and one divider whose sizes are decided by a delegate, not by the
// panes' own minimum sizes: on every resize the delegate shares out the new
// size, and every divider move (a drag or setPosition) is held within the
// delegate's limits, collapsing a pane that may collapse when the divider
// passes beyond half of that pane's minimum size.
//
// Qt::Horizontal places the panes side by side (for QvVSplitViewDelegate),
// Qt::Vertical one above the other (for QvHSplitViewDelegate). Without a
// delegate the panes share the size in proportion.
class QvSplitView : public QWidget, public QvSplitViewAccess
{
    Q_OBJECT
public:
    explicit QvSplitView(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
    ~QvSplitView() override;

    Qt::Orientation orientation() const { return m_orientation; }

    // The split view takes the panes as its children.
    void setPanes(QWidget* first, QWidget* second);
    QWidget* pane(int index) const;

    // Not owned: the delegate must outlive the split view or be cleared first.
    void setDelegate(QvSplitViewDelegate* delegate) { m_delegate = delegate; }
    QvSplitViewDelegate* delegate() const { return m_delegate; }

    void setDividerThickness(double thickness);
    double dividerPosition() const;

    QRectF frame() const override;
    QRectF paneFrame(int pane) const override;
    void setPaneFrame(int pane, const QRectF& frame) override;
    double dividerThickness() const override { return m_thickness; }
    bool isPaneCollapsed(int pane) const override;
    void adjustSubviews() override;
    void setPosition(double position, int divider) override;

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    friend class QvSplitViewHandle;

    double along(const QSizeF& size) const;
    double along(const QPointF& point) const;
    QRectF paneRect(double start, double size) const;
    QRectF dividerRect() const;
    void applyFrames();

    const Qt::Orientation m_orientation;
    QPointer<QWidget> m_panes[2];
    QRectF m_frames[2];
    bool m_collapsed[2] = {false, false};
    double m_thickness = 1.0;
    QvSplitViewDelegate* m_delegate = nullptr;
    QvSplitViewHandle* m_handle = nullptr;
};
