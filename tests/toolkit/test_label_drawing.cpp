#include "toolkit/QvLabelDrawer.h"
#include "toolkit/QvLabelDrawerExt.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <functional>

using namespace QvLabelBadge;

namespace {

const QvColor red{1, 0, 0, 1};
const QvColor white{1, 1, 1, 1};

using Drawer = std::function<void(QPainter&, const QString&, const QvTextAttributes&, int, int, const QvColor&,
                                  const QvColor&)>;

// Draws a badge of w x h into a transparent image of the same size. Images are
// kept for a look by eye when CALVORIN_GRAB_DIR names a folder.
QImage badge(const Drawer& draw, const char* name, int w, int h, const QString& text, const QvColor& back,
             const QvTextAttributes& attributes = {}, const QColor& ground = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(ground);
    {
        QPainter painter(&image);
        draw(painter, text, attributes, w, h, back, white);
    }
    const QString dir = qEnvironmentVariable("CALVORIN_GRAB_DIR");
    if (!dir.isEmpty())
        image.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    return image;
}

// The pixel whose centre lies at (x + 0.5, y + 0.5) of the badge's own
// coordinates (origin lower left).
QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, image.height() - 1 - y);
}

void expectInside(const QImage& image, std::initializer_list<QPoint> points, const QColor& color)
{
    for (QPoint p : points)
        EXPECT_EQ(at(image, p.x(), p.y()), color) << "inside at " << p.x() << "," << p.y();
}

void expectOutside(const QImage& image, std::initializer_list<QPoint> points)
{
    for (QPoint p : points)
        EXPECT_EQ(at(image, p.x(), p.y()).alpha(), 0) << "outside at " << p.x() << "," << p.y();
}

// Every pixel of the text colour lies within [left, right) in x.
void expectTextWithin(const QImage& image, const QColor& textColor, int left, int right)
{
    int seen = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == textColor) {
                ++seen;
                EXPECT_TRUE(x >= left && x < right) << "text at " << x << "," << y;
            }
    EXPECT_GT(seen, 0);
}

} // namespace

TEST(LabelGeometry, PlainBadgeAndPillOfAHundredBySeventeen)
{
    EXPECT_EQ(radius(17), 8.0);
    EXPECT_EQ(radius(16), 8.0);

    const RoundedShape shape = plainShape(100, 17);
    EXPECT_EQ(shape.rect, QRectF(1, 0, 97, 17)); // x 1 to 98
    EXPECT_EQ(shape.radius, 8.0);

    const TextBox text = roundedTextBox(100, 17);
    EXPECT_DOUBLE_EQ(text.rect.x(), 5.8);
    EXPECT_EQ(text.rect.y(), 1.0);
    EXPECT_DOUBLE_EQ(text.rect.width(), 88.4);
    EXPECT_EQ(text.rect.height(), 17.0);
    EXPECT_EQ(text.cutWidth, 88);

    const PillShape pill = pillShape(100, 17);
    EXPECT_EQ(pill.middle, QRectF(9, 0, 83, 17));
    EXPECT_EQ(pill.leftOval, QRectF(1, 0, 17, 17));
    EXPECT_EQ(pill.rightOval, QRectF(81, 0, 17, 17));
}

TEST(LabelGeometry, ArrowBadges)
{
    EXPECT_EQ(leftArrowOutline(100, 17),
              QPolygonF({{1, 8.5}, {7, 17}, {97, 17}, {91, 8.5}, {97, 0}, {7, 0}}));
    EXPECT_EQ(rightArrowOutline(100, 17),
              QPolygonF({{7, 8.5}, {1, 17}, {91, 17}, {97, 8.5}, {91, 0}, {1, 0}}));
    const TextBox text = arrowTextBox(100, 17);
    EXPECT_EQ(text.rect, QRectF(8, 1, 84, 17));
    EXPECT_EQ(text.cutWidth, 84);
}

TEST(LabelGeometry, TextIsCutToTheBoxThroughTheMeasure)
{
    QStringList measured;
    QvTextAttributes attributes;
    attributes.textWidth = [&measured](const QString& s) {
        measured << s;
        return qreal(4 * s.size());
    };
    const QString text(30, QLatin1Char('x')); // 120 points
    // 88 points hold 20 characters and "..", 84 points only 19.
    EXPECT_EQ(fittedText(text, attributes, roundedTextBox(100, 17)), QString(20, QLatin1Char('x')) + "..");
    EXPECT_EQ(fittedText(text, attributes, arrowTextBox(100, 17)), QString(19, QLatin1Char('x')) + "..");
    EXPECT_TRUE(measured.contains(text));
    EXPECT_EQ(fittedText("short", attributes, roundedTextBox(100, 17)), "short");

    // Too narrow for any text: the first character and the points stay.
    EXPECT_EQ(fittedText("Friends", attributes, roundedTextBox(10, 17)), "F..");
}

TEST(LabelDrawing, PlainBadgeFillsItsRoundedShape)
{
    const QImage image = badge(QvLabelDrawerExt::drawString, "badge-plain", 100, 17, QString(), red);
    expectInside(image, {{50, 8}, {50, 0}, {50, 16}, {2, 8}, {96, 8}, {10, 0}, {89, 16}}, QColor(255, 0, 0));
    // Left of x 1, right of x 98, and the rounded corners.
    expectOutside(image, {{0, 8}, {98, 8}, {99, 8}, {1, 0}, {1, 16}, {97, 0}, {97, 16}});
}

TEST(LabelDrawing, ArrowBadgesPointAndNotch)
{
    const QImage left = badge(QvLabelDrawerExt::drawLeftArrowString, "badge-left", 100, 17, "", red);
    expectInside(left, {{2, 8}, {50, 8}, {93, 1}, {93, 15}, {89, 8}}, QColor(255, 0, 0));
    expectOutside(left, {{0, 8}, {2, 1}, {2, 15}, {93, 8}, {98, 1}});

    const QImage right = badge(QvLabelDrawerExt::drawRightArrowString, "badge-right", 100, 17, "", red);
    expectInside(right, {{95, 8}, {50, 8}, {5, 1}, {5, 15}, {9, 8}}, QColor(255, 0, 0));
    expectOutside(right, {{99, 8}, {95, 1}, {95, 15}, {5, 8}, {0, 1}});
}

TEST(LabelDrawing, PillCopiesItsMiddleAndBlendsItsEnds)
{
    // Half-transparent red over opaque blue: the middle replaces the blue, the
    // ends of the ovals beyond the middle blend with it.
    const QvColor halfRed{1, 0, 0, 0.5};
    const QImage image = badge(QvLabelDrawer::drawString, "badge-pill", 100, 17, "", halfRed, {}, Qt::blue);
    const QColor middle = at(image, 50, 8);
    EXPECT_NEAR(middle.alphaF(), 0.5, 0.01);
    EXPECT_EQ(middle.blue(), 0);
    const QColor end = at(image, 4, 8);
    EXPECT_EQ(end.alpha(), 255);
    EXPECT_NEAR(end.redF(), 0.5, 0.01);
    EXPECT_NEAR(end.blueF(), 0.5, 0.01);
    EXPECT_EQ(at(image, 0, 8), QColor(Qt::blue));
    EXPECT_EQ(at(image, 99, 8), QColor(Qt::blue));
    EXPECT_EQ(at(image, 1, 0), QColor(Qt::blue)); // outside the left oval's corner
}

TEST(LabelDrawing, NameIsDrawnInTheAttributesColourWithinItsBox)
{
    QvTextAttributes attributes;
    attributes.font = QFont(QStringLiteral("DejaVu Sans"));
    attributes.font.setPixelSize(13);
    attributes.foregroundColor = {0, 0, 1, 1};
    const QColor blue(0, 0, 255);
    const QString longName = QStringLiteral("Colleagues and business partners");

    const QImage plain = badge(QvLabelDrawerExt::drawString, "badge-plain-text", 100, 17, longName, red, attributes);
    expectTextWithin(plain, blue, 5, 95);
    const QImage pill = badge(QvLabelDrawer::drawString, "badge-pill-text", 100, 17, longName, red, attributes);
    expectTextWithin(pill, blue, 5, 95);
    const QImage arrow =
        badge(QvLabelDrawerExt::drawLeftArrowString, "badge-left-text", 100, 17, longName, red, attributes);
    expectTextWithin(arrow, blue, 8, 92);
}
