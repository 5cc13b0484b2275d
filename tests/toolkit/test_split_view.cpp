#include "toolkit/QvHSplitViewDelegate.h"
#include "toolkit/QvSplitView.h"
#include "toolkit/QvVSplitViewDelegate.h"

#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace {

// A side-by-side split view of width 1000 in a window, divider 1, delegate
// with the defaults (both panes collapsible, minimums 200) unless a test
// changes them.
class SplitViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        delegate.awakeFromNib();
        view = new QvSplitView(Qt::Horizontal, &window);
        view->setDelegate(&delegate);
        view->setPanes(left, right);
        window.resize(1400, 400);
        view->setGeometry(0, 0, 1000, 300);
        window.show();
        view->setPosition(300, 0);
    }

    // A press on the divider's grip, a move to x, a release.
    void drag(double x)
    {
        QWidget* grip = view->childAt(int(view->dividerPosition()), 100);
        ASSERT_NE(grip, nullptr);
        ASSERT_NE(grip, left);
        ASSERT_NE(grip, right);
        const QPointF from = view->mapToGlobal(QPointF(view->dividerPosition(), 100));
        const QPointF to = view->mapToGlobal(QPointF(x, 100));
        const auto send = [&](QEvent::Type type, const QPointF& global, Qt::MouseButtons buttons) {
            QMouseEvent event(type, grip->mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(grip, &event);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        send(QEvent::MouseMove, to, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }

    QvVSplitViewDelegate delegate; // outlives the view
    QWidget window;
    QvSplitView* view = nullptr;
    QWidget* left = new QWidget;
    QWidget* right = new QWidget;
};

} // namespace

TEST_F(SplitViewTest, ResizeFollowsTheDelegate)
{
    delegate.setMinHSizeLeft(210);
    delegate.setMaxHSizeLeft(660);
    delegate.setMinHSizeRight(450);
    delegate.setMaxHSizeRight(9999);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 300, 300));
    EXPECT_EQ(right->geometry(), QRect(301, 0, 699, 300));
    view->setGeometry(0, 0, 1200, 350);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 400, 350));
    EXPECT_EQ(right->geometry(), QRect(401, 0, 799, 350));
    // Narrower than both minimums: pane 1 keeps its minimum.
    view->setGeometry(0, 0, 600, 350);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 149, 350));
    EXPECT_EQ(right->geometry(), QRect(150, 0, 450, 350));
}

TEST_F(SplitViewTest, DividerDragsTable)
{
    struct Step
    {
        double to;
        QRect left, right; // empty: collapsed and hidden
    } steps[] = {
        {500, QRect(0, 0, 500, 300), QRect(501, 0, 499, 300)},
        {150, QRect(0, 0, 200, 300), QRect(201, 0, 799, 300)}, // held at the minimum
        {90, QRect(), QRect(1, 0, 999, 300)},                   // past half of it: collapses
        {150, QRect(0, 0, 200, 300), QRect(201, 0, 799, 300)}, // back to the minimum
        {850, QRect(0, 0, 799, 300), QRect(800, 0, 200, 300)},
        {920, QRect(0, 0, 999, 300), QRect()},
        {880, QRect(0, 0, 799, 300), QRect(800, 0, 200, 300)},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.to);
        drag(s.to);
        EXPECT_EQ(view->isPaneCollapsed(0), s.left.isNull());
        EXPECT_EQ(view->isPaneCollapsed(1), s.right.isNull());
        EXPECT_EQ(left->isVisible(), !s.left.isNull());
        EXPECT_EQ(right->isVisible(), !s.right.isNull());
        if (!s.left.isNull()) {
            EXPECT_EQ(left->geometry(), s.left);
        }
        if (!s.right.isNull()) {
            EXPECT_EQ(right->geometry(), s.right);
        }
    }
    // Panes that may not collapse stop at the limits.
    delegate.setCanCollapseLeft(false);
    delegate.setCanCollapseRight(false);
    drag(10);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 200, 300));
    drag(995);
    EXPECT_EQ(right->geometry(), QRect(800, 0, 200, 300));
}

TEST_F(SplitViewTest, CommandsCollapseAndExpand)
{
    delegate.collapseLeftView(*view);
    EXPECT_TRUE(view->isPaneCollapsed(0));
    EXPECT_FALSE(left->isVisible());
    delegate.toggleCollapseLeftView(*view);
    EXPECT_EQ(left->geometry(), QRect(0, 0, 200, 300));

    QRectF previous;
    EXPECT_DOUBLE_EQ(delegate.collapseRightView(*view, &previous), 799);
    EXPECT_TRUE(view->isPaneCollapsed(1));
    EXPECT_EQ(previous, QRectF(0, 0, 1000, 300));
    EXPECT_DOUBLE_EQ(delegate.expandToMinRightView(*view), 0);
    EXPECT_EQ(right->geometry(), QRect(800, 0, 200, 300));

    // Collapsed while the split view grows by 200: pane 1 comes back with the
    // size asked plus half of the growth (less the divider).
    delegate.collapseRightView(*view, &previous);
    view->setGeometry(0, 0, 1200, 300);
    EXPECT_DOUBLE_EQ(delegate.toggleCollapseExpandRightView(*view, 300, &previous), 400);
    EXPECT_EQ(right->geometry(), QRect(801, 0, 399, 300));
    EXPECT_EQ(previous, QRectF(0, 0, 1200, 300));
}

TEST(SplitView, StackedTwinResizes)
{
    QvHSplitViewDelegate delegate;
    delegate.awakeFromNib();
    QWidget window;
    auto* view = new QvSplitView(Qt::Vertical, &window);
    auto* top = new QWidget;
    auto* bottom = new QWidget;
    view->setDelegate(&delegate);
    view->setPanes(top, bottom);
    window.resize(500, 1400);
    view->setGeometry(0, 0, 400, 1000);
    window.show();
    view->setPosition(300, 0);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(bottom->geometry(), QRect(0, 301, 400, 699));
    view->setGeometry(0, 0, 450, 1200);
    EXPECT_EQ(top->geometry(), QRect(0, 0, 450, 400));
    EXPECT_EQ(bottom->geometry(), QRect(0, 401, 450, 799));
}

TEST(SplitView, WithoutDelegateSharesInProportion)
{
    QWidget window;
    auto* view = new QvSplitView(Qt::Horizontal, &window);
    auto* a = new QWidget;
    auto* b = new QWidget;
    view->setPanes(a, b);
    window.resize(2100, 300);
    view->setGeometry(0, 0, 1001, 100);
    window.show();
    EXPECT_EQ(a->geometry(), QRect(0, 0, 500, 100));
    view->setPosition(250, 0);
    view->setGeometry(0, 0, 2001, 100);
    EXPECT_EQ(a->geometry(), QRect(0, 0, 500, 100));
    EXPECT_EQ(b->geometry(), QRect(501, 0, 1500, 100));
    view->setPosition(-50, 0);
    EXPECT_EQ(a->geometry(), QRect(0, 0, 0, 100));
}
