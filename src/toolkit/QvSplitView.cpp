#include "toolkit/QvSplitView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

// The grip over the divider: wider than a thin divider so that it can be
// caught with the mouse, transparent so the divider line shows through.
class QvSplitViewHandle : public QWidget
{
public:
    explicit QvSplitViewHandle(QvSplitView* split)
        : QWidget(split)
        , m_split(split)
    {
        setCursor(split->orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
    }

    static constexpr int kGrip = 3; // points on each side of the divider

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return QWidget::mousePressEvent(event);
        m_grabOffset = m_split->along(m_split->mapFromGlobal(event->globalPosition())) - m_split->dividerPosition();
        m_dragging = true;
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (m_dragging)
            m_split->setPosition(m_split->along(m_split->mapFromGlobal(event->globalPosition())) - m_grabOffset, 0);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_dragging = false;
    }

private:
    QvSplitView* m_split;
    double m_grabOffset = 0;
    bool m_dragging = false;
};

QvSplitView::QvSplitView(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent)
    , m_orientation(orientation)
    , m_handle(new QvSplitViewHandle(this))
{
}

QvSplitView::~QvSplitView() = default;

void QvSplitView::setPanes(QWidget* first, QWidget* second)
{
    QWidget* panes[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        m_panes[i] = panes[i];
        if (panes[i])
            panes[i]->setParent(this);
    }
    m_handle->raise();
    applyFrames();
}

QWidget* QvSplitView::pane(int index) const
{
    return index == 0 || index == 1 ? m_panes[index].data() : nullptr;
}

void QvSplitView::setDividerThickness(double thickness)
{
    m_thickness = std::max(0.0, thickness);
    applyFrames();
}

double QvSplitView::along(const QSizeF& size) const
{
    return m_orientation == Qt::Horizontal ? size.width() : size.height();
}

double QvSplitView::along(const QPointF& point) const
{
    return m_orientation == Qt::Horizontal ? point.x() : point.y();
}

// A pane's rectangle from its start and size along the axis, full across.
QRectF QvSplitView::paneRect(double start, double size) const
{
    if (m_orientation == Qt::Horizontal)
        return QRectF(start, 0, size, height());
    return QRectF(0, start, width(), size);
}

double QvSplitView::dividerPosition() const
{
    if (m_collapsed[0])
        return 0;
    const QRectF& f = m_frames[0];
    return m_orientation == Qt::Horizontal ? f.x() + f.width() : f.y() + f.height();
}

QRectF QvSplitView::dividerRect() const
{
    return paneRect(dividerPosition(), m_thickness);
}

QRectF QvSplitView::frame() const
{
    return QRectF(geometry());
}

QRectF QvSplitView::paneFrame(int pane) const
{
    return pane == 0 || pane == 1 ? m_frames[pane] : QRectF();
}

void QvSplitView::setPaneFrame(int pane, const QRectF& frame)
{
    if (pane == 0 || pane == 1)
        m_frames[pane] = frame;
}

bool QvSplitView::isPaneCollapsed(int pane) const
{
    return (pane == 0 || pane == 1) && m_collapsed[pane];
}

void QvSplitView::adjustSubviews()
{
    const double room = std::max(0.0, along(QSizeF(size())) - m_thickness);
    double first;
    if (m_collapsed[0]) {
        first = 0;
    } else if (m_collapsed[1]) {
        first = room;
    } else {
        const double a = std::max(0.0, along(m_frames[0].size()));
        const double b = std::max(0.0, along(m_frames[1].size()));
        first = a + b > 0 ? room * a / (a + b) : room / 2;
    }
    m_frames[0] = paneRect(0, first);
    m_frames[1] = m_collapsed[0] ? paneRect(m_thickness, room) : paneRect(first + m_thickness, room - first);
}

void QvSplitView::setPosition(double position, int divider)
{
    if (divider != 0 || std::isnan(position))
        return;
    const double room = std::max(0.0, along(QSizeF(size())) - m_thickness);
    double low = 0;
    double high = room;
    bool canCollapse[2] = {false, false};
    if (m_delegate) {
        low = m_delegate->splitViewConstrainMinCoordinate(*this, position, 0);
        high = std::max(low, m_delegate->splitViewConstrainMaxCoordinate(*this, position, 0));
        canCollapse[0] = m_delegate->splitViewCanCollapseSubview(*this, 0);
        canCollapse[1] = m_delegate->splitViewCanCollapseSubview(*this, 1);
    }
    // Past a limit, a pane left with less than half of its smallest size
    // collapses when it may; otherwise the divider stops at the limit.
    bool collapse[2] = {false, false};
    double p = position;
    if (p < low) {
        if (canCollapse[0] && p < low / 2)
            collapse[0] = true;
        else
            p = low;
    } else if (p > high) {
        if (canCollapse[1] && room - p < (room - high) / 2)
            collapse[1] = true;
        else
            p = high;
    }
    p = std::clamp(p, 0.0, room);
    m_collapsed[0] = collapse[0];
    m_collapsed[1] = collapse[1];
    if (collapse[0])
        p = 0;
    else if (collapse[1])
        p = room;
    m_frames[0] = paneRect(0, p);
    m_frames[1] = paneRect(p + m_thickness, room - p);
    applyFrames();
}

void QvSplitView::resizeEvent(QResizeEvent* event)
{
    if (m_delegate)
        m_delegate->splitViewResizeSubviewsWithOldSize(*this, QSizeF(event->oldSize()));
    else
        adjustSubviews();
    applyFrames();
}

// Puts the pane widgets and the grip where the frames say.
void QvSplitView::applyFrames()
{
    const auto toPixels = [](const QRectF& r) {
        const int left = qRound(r.left());
        const int top = qRound(r.top());
        return QRect(left, top, std::max(0, int(qRound(r.right())) - left),
                     std::max(0, int(qRound(r.bottom())) - top));
    };
    for (int i = 0; i < 2; ++i) {
        QWidget* pane = m_panes[i];
        if (!pane)
            continue;
        if (m_collapsed[i]) {
            pane->hide();
        } else {
            pane->setGeometry(toPixels(m_frames[i]));
            if (pane->isHidden())
                pane->show();
        }
    }
    const double grip = QvSplitViewHandle::kGrip;
    m_handle->setGeometry(toPixels(paneRect(dividerPosition() - grip, m_thickness + 2 * grip)));
    m_handle->raise();
    update();
}

void QvSplitView::paintEvent(QPaintEvent*)
{
    if (m_thickness <= 0)
        return;
    QPainter painter(this);
    painter.fillRect(dividerRect(), palette().color(QPalette::Mid));
}

QSize QvSplitView::sizeHint() const
{
    QSize hint[2];
    for (int i = 0; i < 2; ++i)
        hint[i] = m_panes[i] ? m_panes[i]->sizeHint().expandedTo(QSize(0, 0)) : QSize(0, 0);
    const int d = int(std::ceil(m_thickness));
    if (m_orientation == Qt::Horizontal)
        return QSize(hint[0].width() + d + hint[1].width(), std::max(hint[0].height(), hint[1].height()));
    return QSize(std::max(hint[0].width(), hint[1].width()), hint[0].height() + d + hint[1].height());
}
