#include "toolkit/QvHSplitViewDelegate.h"
#include "toolkit/QvVSplitViewDelegate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Rectangles are written along the split axis (start, size) and across it;
// the same case then serves the side-by-side and the stacked twin.
QRectF along(Qt::Orientation axis, double start, double size, double across = 300)
{
    return axis == Qt::Horizontal ? QRectF(start, 0, size, across) : QRectF(0, start, across, size);
}
double sizeAlong(Qt::Orientation axis, const QRectF& r)
{
    return axis == Qt::Horizontal ? r.width() : r.height();
}
double startAlong(Qt::Orientation axis, const QRectF& r)
{
    return axis == Qt::Horizontal ? r.x() : r.y();
}
double sizeAcross(Qt::Orientation axis, const QRectF& r)
{
    return axis == Qt::Horizontal ? r.height() : r.width();
}

// A split view that records what the delegate does to it.
struct FakeSplit : QvSplitViewAccess
{
    QRectF total;
    QRectF panes[2];
    double thickness = 1;
    bool collapsed[2] = {false, false};
    std::vector<double> positions;
    int adjustCalls = 0;

    QRectF frame() const override { return total; }
    QRectF paneFrame(int pane) const override { return panes[pane]; }
    void setPaneFrame(int pane, const QRectF& f) override { panes[pane] = f; }
    double dividerThickness() const override { return thickness; }
    bool isPaneCollapsed(int pane) const override { return collapsed[pane]; }
    void adjustSubviews() override { ++adjustCalls; }
    void setPosition(double position, int divider) override
    {
        EXPECT_EQ(divider, 0);
        positions.push_back(position);
    }
};

enum class Limits { Defaults, Document };

// The document window's limits: left 210 to 660, right 450 to 9999.
void configure(QvVSplitViewDelegate& v, Limits limits, int rule)
{
    v.awakeFromNib();
    if (limits == Limits::Document) {
        v.setMinHSizeLeft(210);
        v.setMaxHSizeLeft(660);
        v.setMinHSizeRight(450);
        v.setMaxHSizeRight(9999);
        v.setCanCollapseLeft(false);
        v.setCanCollapseRight(false);
    }
    v.setGrowingRule(rule);
}

void configure(QvHSplitViewDelegate& h, Limits limits, int rule)
{
    h.awakeFromNib();
    if (limits == Limits::Document) {
        h.setMinVSizeTop(210);
        h.setMaxVSizeTop(660);
        h.setMinVSizeBottom(450);
        h.setMaxVSizeBottom(9999);
        h.setCanCollapseTop(false);
        h.setCanCollapseBottom(false);
    }
    h.setGrowingRule(rule);
}

template<typename Delegate>
class SplitDelegateTwins : public ::testing::Test
{
protected:
    static constexpr Qt::Orientation axis =
        std::is_same_v<Delegate, QvVSplitViewDelegate> ? Qt::Horizontal : Qt::Vertical;

    FakeSplit split(double size, double first, double second)
    {
        FakeSplit s;
        s.total = along(axis, 0, size, 500);
        s.panes[0] = along(axis, 0, first, 280);
        s.panes[1] = along(axis, first + 1, second, 280);
        return s;
    }
    Delegate delegate;
};

using Twins = ::testing::Types<QvVSplitViewDelegate, QvHSplitViewDelegate>;
TYPED_TEST_SUITE(SplitDelegateTwins, Twins);

} // namespace

TYPED_TEST(SplitDelegateTwins, ResizeTable)
{
    constexpr Qt::Orientation axis = TestFixture::axis;
    struct Case
    {
        Limits limits;
        int rule;
        double newSize;
        bool collapsedFirst, collapsedSecond;
        double first, second, secondStart; // expected; from panes 300 and 699
    } cases[] = {
        {Limits::Defaults, 2, 1200, false, false, 400, 799, 401},
        {Limits::Defaults, 2, 1000, false, false, 300, 699, 301},
        {Limits::Document, 2, 600, false, false, 149, 450, 150}, // pane 1's limits win
        {Limits::Document, 2, 700, false, false, 210, 489, 211},
        {Limits::Defaults, 0, 1200, false, false, 300, 899, 301},
        {Limits::Document, 0, 600, false, false, 149, 450, 150},
        {Limits::Defaults, 1, 1200, false, false, 500, 699, 501},
        {Limits::Document, 1, 600, false, false, 210, 389, 211}, // pane 0's limits win
        {Limits::Document, 1, 2000, false, false, 660, 1339, 661},
        {Limits::Defaults, 3, 1200, false, false, 300, 699, 301}, // sizes along stay
        {Limits::Defaults, 0, 1200, false, true, 1199, 699, 301},
        {Limits::Defaults, 1, 1200, true, false, 300, 1199, 301},
        {Limits::Document, 2, 500, true, true, 499, 699, 301},   // pane 1's collapse is asked first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rule " << c.rule << " to " << c.newSize);
        TypeParam delegate;
        configure(delegate, c.limits, c.rule);
        FakeSplit s = this->split(1000, 300, 699);
        s.total = along(axis, 0, c.newSize, 500);
        s.collapsed[0] = c.collapsedFirst;
        s.collapsed[1] = c.collapsedSecond;
        delegate.splitViewResizeSubviewsWithOldSize(s, QSizeF());
        EXPECT_DOUBLE_EQ(sizeAlong(axis, s.panes[0]), c.first);
        EXPECT_DOUBLE_EQ(sizeAlong(axis, s.panes[1]), c.second);
        EXPECT_DOUBLE_EQ(startAlong(axis, s.panes[1]), c.secondStart);
        EXPECT_DOUBLE_EQ(startAlong(axis, s.panes[0]), 0);
        // Across the axis both panes always take the split view's size.
        EXPECT_DOUBLE_EQ(sizeAcross(axis, s.panes[0]), 500);
        EXPECT_DOUBLE_EQ(sizeAcross(axis, s.panes[1]), 500);
        // Only the side-by-side twin asks the split view to fill itself again.
        EXPECT_EQ(s.adjustCalls, axis == Qt::Horizontal ? 1 : 0);
    }
}

TYPED_TEST(SplitDelegateTwins, DividerLimitsTable)
{
    struct Case
    {
        Limits limits;
        int rule;
        double size;
        double low, high;
    } cases[] = {
        {Limits::Document, 2, 1200, 210, 660},
        {Limits::Document, 2, 1000, 210, 549},
        {Limits::Defaults, 2, 1000, 200, 799},
        // Too small for both minimums: one position, where resizing leaves it.
        {Limits::Document, 2, 600, 149, 149},
        {Limits::Document, 0, 600, 149, 149},
        {Limits::Document, 1, 600, 210, 210},
        {Limits::Document, 2, 100, -351, -351},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "rule " << c.rule << " size " << c.size);
        TypeParam delegate;
        configure(delegate, c.limits, c.rule);
        FakeSplit s = this->split(c.size, 300, 699);
        EXPECT_DOUBLE_EQ(delegate.splitViewConstrainMinCoordinate(s, -5000, 0), c.low);
        EXPECT_DOUBLE_EQ(delegate.splitViewConstrainMaxCoordinate(s, 5000, 0), c.high);
    }
}

TYPED_TEST(SplitDelegateTwins, CollapsingAllowed)
{
    FakeSplit s = this->split(1000, 300, 699);
    configure(this->delegate, Limits::Document, 2);
    EXPECT_FALSE(this->delegate.splitViewCanCollapseSubview(s, 0));
    EXPECT_FALSE(this->delegate.splitViewCanCollapseSubview(s, 1));
    configure(this->delegate, Limits::Defaults, 2);
    EXPECT_TRUE(this->delegate.splitViewCanCollapseSubview(s, 0));
    EXPECT_TRUE(this->delegate.splitViewCanCollapseSubview(s, 1));
}

TEST(VSplitDelegate, LimitsApplyFromAwakeOn)
{
    QvVSplitViewDelegate v;
    EXPECT_DOUBLE_EQ(v.leftFrameInsideLimits(5), 5);
    EXPECT_DOUBLE_EQ(v.rightFrameInsideLimits(1e6), 1e6);
    v.awakeFromNib();
    EXPECT_DOUBLE_EQ(v.leftFrameInsideLimits(5), 200);
    EXPECT_DOUBLE_EQ(v.rightFrameInsideLimits(1e6), 99999);
    EXPECT_DOUBLE_EQ(v.leftFrameInsideLimits(250.5), 250.5);
    // Contradicting limits: below the minimum the minimum, else the maximum.
    v.setMinHSizeLeft(500);
    v.setMaxHSizeLeft(300);
    EXPECT_DOUBLE_EQ(v.leftFrameInsideLimits(100), 500);
    EXPECT_DOUBLE_EQ(v.leftFrameInsideLimits(600), 300);
}

TEST(VSplitDelegate, Commands)
{
    QvVSplitViewDelegate v;
    v.awakeFromNib(); // minimums 200, rule 2
    FakeSplit s;
    s.total = QRectF(0, 0, 1000, 400);
    s.panes[0] = QRectF(0, 0, 300, 400);
    s.panes[1] = QRectF(301, 0, 699, 400);

    EXPECT_TRUE(v.collapseLeftView(s));
    EXPECT_TRUE(v.expandToMinLeftView(s));
    EXPECT_TRUE(v.toggleCollapseLeftView(s));
    s.collapsed[0] = true;
    EXPECT_TRUE(v.toggleCollapseLeftView(s));
    s.collapsed[0] = false;
    EXPECT_EQ(s.positions, (std::vector<double>{99, 101, 99, 101}));

    s.positions.clear();
    QRectF previous;
    EXPECT_DOUBLE_EQ(v.expandToMinRightView(s), 699);
    EXPECT_DOUBLE_EQ(v.expandToMinRightView(s, &previous), 699);
    EXPECT_EQ(previous, s.total);
    EXPECT_DOUBLE_EQ(v.collapseRightView(s, &previous), 699);
    EXPECT_TRUE(v.toggleCollapseExpandRightView(s));
    s.collapsed[1] = true;
    EXPECT_TRUE(v.toggleCollapseExpandRightView(s));
    EXPECT_EQ(s.positions, (std::vector<double>{899, 899, 901, 901, 899}));

    // Expanding pane 1 after the split view grew from 800 to 1000 while it was
    // collapsed: under rule 2 it also gets half of the growth.
    s.positions.clear();
    previous = QRectF(0, 0, 800, 400);
    EXPECT_DOUBLE_EQ(v.toggleCollapseExpandRightView(s, 300, &previous), 400);
    EXPECT_EQ(previous, s.total);
    v.setGrowingRule(0);
    previous = QRectF(0, 0, 800, 400);
    EXPECT_DOUBLE_EQ(v.expandRightView(s, 300, &previous), 300);
    // Too large a target leaves pane 0 its minimum.
    EXPECT_DOUBLE_EQ(v.expandRightView(s, 900, &previous), 799);
    EXPECT_DOUBLE_EQ(v.expandRightView(s, 900, nullptr), 799);
    EXPECT_EQ(s.positions, (std::vector<double>{600, 700, 201, 201}));

    // Not collapsed: the toggle collapses instead.
    s.collapsed[1] = false;
    s.positions.clear();
    EXPECT_DOUBLE_EQ(v.toggleCollapseExpandRightView(s, 300, &previous), 699);
    EXPECT_EQ(s.positions, (std::vector<double>{901}));
}

TEST(HSplitDelegate, CommandsAlongTheHeight)
{
    QvHSplitViewDelegate h;
    h.awakeFromNib();
    h.setMinVSizeTop(120.5);
    h.setMinVSizeBottom(80);
    FakeSplit s;
    s.total = QRectF(0, 0, 400, 600);
    s.panes[0] = QRectF(0, 0, 400, 300);
    s.panes[1] = QRectF(0, 301, 400, 299);

    EXPECT_TRUE(h.collapseTopView(s));
    EXPECT_TRUE(h.expandToMinTopView(s));
    s.collapsed[0] = true;
    EXPECT_TRUE(h.toggleCollapseTopView(s));
    QRectF previous;
    EXPECT_DOUBLE_EQ(h.expandToMinBottomView(s, &previous), 299);
    EXPECT_DOUBLE_EQ(h.collapseBottomView(s, &previous), 299);
    EXPECT_DOUBLE_EQ(h.toggleCollapseExpandBottomView(s), 299); // the called command's answer
    s.collapsed[1] = true;
    previous = QRectF(0, 0, 400, 600);
    EXPECT_DOUBLE_EQ(h.toggleCollapseExpandBottomView(s, 250, &previous), 250);
    EXPECT_EQ(s.positions, (std::vector<double>{59.25, 61.25, 61.25, 559, 561, 561, 350}));
    EXPECT_DOUBLE_EQ(h.topFrameInsideLimits(100), 120.5);
    EXPECT_DOUBLE_EQ(h.bottomFrameInsideLimits(79.5), 80);
}
