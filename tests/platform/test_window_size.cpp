// A window kept at the size its layout needs, wrapped text included.
#include "platform/WindowSize.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

struct Form {
    Form()
    {
        auto* layout = new QVBoxLayout(&dialog);
        message = new QLabel(QStringLiteral("A few words that wrap. ").repeated(12), &dialog);
        message->setWordWrap(true);
        field = new QLineEdit(&dialog);
        layout->addWidget(message);
        layout->addWidget(field);
    }
    // What the layout needs at the dialog's width.
    int neededHeight() { return dialog.layout()->totalHeightForWidth(dialog.width()); }
    void fitAndShow()
    {
        WindowSize::fitToLayout(&dialog);
        dialog.show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }

    QDialog dialog;
    QLabel* message = nullptr;
    QLineEdit* field = nullptr;
};

TEST(WindowSizeTest, AWindowTooShortForItsWrappedTextGrowsToItAndCannotBeMadeNarrower)
{
    Form form;
    form.dialog.resize(300, 40);
    form.fitAndShow();
    EXPECT_EQ(form.dialog.width(), 300);
    EXPECT_GE(form.dialog.height(), form.neededHeight());
    EXPECT_GE(form.field->height(), form.field->minimumSizeHint().height());
    EXPECT_EQ(form.dialog.minimumSize(), QSize(300, form.neededHeight()));

    // Longer text, more lines: the minimum follows while the window is up.
    form.message->setText(form.message->text().repeated(3));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_GE(form.dialog.height(), form.neededHeight());
    EXPECT_EQ(form.dialog.minimumHeight(), form.neededHeight());
    EXPECT_GE(form.field->height(), form.field->minimumSizeHint().height());
}

TEST(WindowSizeTest, AWindowLargeEnoughKeepsItsSizeAndOneNobodySizedTakesItsLayoutsOwn)
{
    Form large;
    large.dialog.resize(500, 400);
    large.fitAndShow();
    EXPECT_EQ(large.dialog.size(), QSize(500, 400));

    Form unsized;
    unsized.fitAndShow();
    EXPECT_LT(unsized.dialog.width(), 640) << "not the size of a window before it is shown";
    EXPECT_GE(unsized.dialog.height(), unsized.neededHeight());
    EXPECT_EQ(unsized.dialog.minimumWidth(), unsized.dialog.layout()->totalMinimumSize().width());
}

} // namespace
