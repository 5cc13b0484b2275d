#include "toolkit/QvBtnImgPopUp.h"
#include "toolkit/QvGrayView.h"
#include "toolkit/QvWhiteView.h"
#include "toolkit/SynchroScrollView.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

// Grabs are kept for a look by eye when CALVORIN_GRAB_DIR names a folder.
QImage grabbed(QWidget& widget, const char* name)
{
    const QImage image = widget.grab().toImage();
    const QString dir = qEnvironmentVariable("CALVORIN_GRAB_DIR");
    if (!dir.isEmpty())
        image.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    return image;
}

// A scroll area over a 600 x 2000 content, 200 x 200 in a window.
template<typename Area>
Area* scrollArea(QWidget& window, int x)
{
    auto* area = new Area;
    area->setParent(&window);
    auto* content = new QWidget;
    content->setFixedSize(600, 2000);
    area->setWidget(content);
    area->setGeometry(x, 0, 200, 200);
    return area;
}

class SynchroScrollTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(420, 220);
        window.show();
        follower->horizontalScrollBar()->setValue(15);
        follower->setSynchronizedScrollView(partner);
    }
    int followerY() const { return follower->verticalScrollBar()->value(); }

    QWidget window;
    QScrollArea* partner = scrollArea<QScrollArea>(window, 0);
    SynchroScrollView* follower = scrollArea<SynchroScrollView>(window, 210);
};

} // namespace

TEST_F(SynchroScrollTest, FollowsThePartnersVerticalPositionOnly)
{
    EXPECT_EQ(follower->synchronizedScrollView(), partner);
    partner->verticalScrollBar()->setValue(40);
    EXPECT_EQ(followerY(), 40);
    EXPECT_EQ(follower->horizontalScrollBar()->value(), 15);
    partner->horizontalScrollBar()->setValue(90);
    EXPECT_EQ(follower->horizontalScrollBar()->value(), 15);
    // Following is one way.
    follower->verticalScrollBar()->setValue(70);
    EXPECT_EQ(partner->verticalScrollBar()->value(), 40);
}

TEST_F(SynchroScrollTest, TwoViewsFollowingEachOtherSettle)
{
    auto* second = scrollArea<SynchroScrollView>(window, 0);
    second->setSynchronizedScrollView(follower);
    follower->setSynchronizedScrollView(second);
    QSignalSpy moves(second->verticalScrollBar(), &QScrollBar::valueChanged);
    follower->verticalScrollBar()->setValue(120);
    EXPECT_EQ(second->verticalScrollBar()->value(), 120);
    second->verticalScrollBar()->setValue(30);
    EXPECT_EQ(followerY(), 30);
    EXPECT_EQ(moves.count(), 2);
}

TEST_F(SynchroScrollTest, StoppingAndLosingThePartner)
{
    follower->stopSynchronizing();
    follower->stopSynchronizing();
    EXPECT_EQ(follower->synchronizedScrollView(), nullptr);
    partner->verticalScrollBar()->setValue(40);
    EXPECT_EQ(followerY(), 0);

    // A new partner replaces the old one.
    auto* other = scrollArea<QScrollArea>(window, 0);
    follower->setSynchronizedScrollView(partner);
    follower->setSynchronizedScrollView(other);
    partner->verticalScrollBar()->setValue(80);
    EXPECT_EQ(followerY(), 0);
    other->verticalScrollBar()->setValue(60);
    EXPECT_EQ(followerY(), 60);

    // The partner goes away: it is let go, and nothing dangles.
    delete other;
    EXPECT_EQ(follower->synchronizedScrollView(), nullptr);
    follower->stopSynchronizing();
    // The follower goes away while following.
    follower->setSynchronizedScrollView(partner);
    delete follower;
    partner->verticalScrollBar()->setValue(10);
}

TEST(BtnImgPopUp, FiresOnMouseDown)
{
    QvBtnImgPopUp button;
    button.setText(QStringLiteral("Categories"));
    button.resize(120, 30);
    button.show();
    grabbed(button, "btn_img_popup");
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(&button, Qt::RightButton);
    EXPECT_EQ(clicked.count(), 1);
    button.setEnabled(false);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(SmallViews, WhiteViewIsWhiteWithAGrayFrame)
{
    QvWhiteView view;
    view.resize(60, 40);
    const QImage image = grabbed(view, "white_view");
    EXPECT_EQ(image.pixelColor(30, 20), QColor(Qt::white));
    for (const QPoint& edge : {QPoint(0, 0), QPoint(59, 39), QPoint(30, 0), QPoint(0, 20), QPoint(59, 20)}) {
        const QColor c = image.pixelColor(edge);
        EXPECT_NEAR(c.red(), 128, 1) << edge.x() << "," << edge.y();
        EXPECT_EQ(c.red(), c.green());
        EXPECT_EQ(c.green(), c.blue());
    }
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
}

TEST(SmallViews, GrayViewShowsWhatIsBehindIt)
{
    QWidget backdrop;
    backdrop.resize(80, 60);
    QPalette palette = backdrop.palette();
    palette.setColor(QPalette::Window, QColor(200, 40, 40));
    backdrop.setPalette(palette);
    backdrop.setAutoFillBackground(true);
    auto* gray = new QvGrayView(&backdrop);
    gray->setGeometry(10, 10, 60, 40);
    auto* white = new QvWhiteView(gray);
    white->setGeometry(20, 10, 20, 20);
    EXPECT_FLOAT_EQ(gray->angle(), 90.0f);
    EXPECT_FALSE(gray->isRadial());
    const QImage image = grabbed(backdrop, "gray_view");
    EXPECT_EQ(image.pixelColor(15, 15), QColor(200, 40, 40)); // inside the gray view
    EXPECT_EQ(image.pixelColor(40, 30), QColor(Qt::white));   // its child still draws
}
