#include "platform/Alert.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
const QStringList kThree{"Save", "Don't Save", "Cancel"};

QAbstractButton* buttonTitled(QMessageBox* box, const QString& title)
{
    for (QAbstractButton* button : box->buttons())
        if (button->text().remove(u'&') == title)
            return button;
    return nullptr;
}

class AlertTest : public ::testing::Test {
protected:
    void TearDown() override { queue.runAll(); }

    QMainWindow window;
    ManualMainQueue queue;
};
} // namespace

TEST_F(AlertTest, ButtonsAnswerInTheOrderTheyWereAdded)
{
    ScriptedResponder responder;
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const Alert alert("Message", "Details", kThree);

        // As a sheet, answered by clicking the button.
        responder.showNext();
        int sheetAnswer = 0;
        alert.beginSheetModalForWindow(&window, [&](int response) { sheetAnswer = response; });
        auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(&window));
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        buttonTitled(box, kThree[index])->click();
        EXPECT_EQ(sheetAnswer, 1000 + index);
        EXPECT_EQ(Sheet::attachedSheet(&window), nullptr);

        // Modally, answered by clicking the button in its own loop.
        responder.showNext();
        QTimer::singleShot(0, [&] {
            auto* modal = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(modal, nullptr);
            buttonTitled(modal, kThree[index])->click();
        });
        EXPECT_EQ(alert.runModal(), 1000 + index);
    }
}

TEST_F(AlertTest, ResponderAnswersAfterTheCallerHasReturnedAndRecordsTheTexts)
{
    ScriptedResponder responder;
    responder.answerWithButton("Don't Save").answerWith(Alert::ThirdButtonReturn);
    int answer = 0;
    Alert alert("Message", "Details", kThree, Alert::InformationalStyle);

    alert.beginSheetModalForWindow(&window, [&](int response) { answer = response; });
    EXPECT_EQ(answer, 0) << "a sheet answers later, never inside the call that began it";
    queue.runAll();
    EXPECT_EQ(answer, Alert::SecondButtonReturn);
    EXPECT_EQ(alert.runModal(), Alert::ThirdButtonReturn);

    ASSERT_EQ(responder.alerts().size(), 2);
    const ShownAlert& sheet = responder.alerts()[0];
    EXPECT_EQ(sheet.messageText, "Message");
    EXPECT_EQ(sheet.informativeText, "Details");
    EXPECT_EQ(sheet.buttons, kThree);
    EXPECT_EQ(sheet.style, Alert::InformationalStyle);
    EXPECT_TRUE(sheet.asSheet);
    EXPECT_EQ(sheet.window, &window);
    EXPECT_FALSE(responder.alerts()[1].asSheet);
}

TEST_F(AlertTest, EveryButtonHasAnAccessKeyOfItsOwnThatAnswersIt)
{
    struct Case {
        QStringList titles;
        QStringList shown;
        int pressed; // the button whose access key is pressed
    };
    const Case cases[] = {
        {kThree, {"&Save", "&Don't Save", "&Cancel"}, 1},
        {{"Replace", "Rename", "Cancel"}, {"&Replace", "R&ename", "&Cancel"}, 1},
        {{"Save & Close", "OK"}, {"&Save && Close", "&OK"}, 0},
        {{"Go", "Go", "Go"}, {"&Go", "G&o", "Go"}, 1},
    };
    ScriptedResponder responder;
    window.show();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.titles.join(u'|').toStdString());
        responder.showNext();
        int answer = 0;
        Alert("Message", "", c.titles).beginSheetModalForWindow(&window, [&](int response) { answer = response; });
        auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(&window));
        ASSERT_NE(box, nullptr);
        QStringList shown(c.titles.size());
        for (QAbstractButton* button : box->buttons())
            shown[button->property("alertAnswer").toInt() - Alert::FirstButtonReturn] = button->text();
        EXPECT_EQ(shown, c.shown);

        box->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        const QKeySequence key = QKeySequence::mnemonic(c.shown[c.pressed]);
        // The letter alone is typing that went astray, never an answer.
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key(key[0].key()));
        QTest::qWait(200);
        EXPECT_EQ(answer, 0);
        QTest::keyClick(box, Qt::Key(key[0].key()), Qt::AltModifier);
        for (int wait = 0; wait < 100 && !answer; ++wait) // the button shows itself pressed first
            QTest::qWait(10);
        EXPECT_EQ(answer, Alert::FirstButtonReturn + c.pressed);
        Sheet::endAll(&window);
    }
}

TEST_F(AlertTest, AlertWithoutButtonsHasOneOK)
{
    ScriptedResponder responder;
    responder.answerWith(Alert::FirstButtonReturn);
    Alert alert;
    alert.setMessageText("Done");
    EXPECT_EQ(alert.runModal(), Alert::FirstButtonReturn);
    EXPECT_EQ(responder.alerts()[0].buttons, QStringList{"OK"});
    EXPECT_EQ(responder.alerts()[0].style, Alert::WarningStyle);
}

TEST_F(AlertTest, WithoutAResponderATestAlertAnswersTheCancelCodeInsteadOfWaiting)
{
    const Alert alert("Nobody will answer", "", {"OK"});
    EXPECT_EQ(alert.runModal(), Alert::ModalResponseAbort);
    int answer = 0;
    alert.beginSheetModalForWindow(&window, [&](int response) { answer = response; });
    queue.runAll();
    EXPECT_EQ(answer, Alert::ModalResponseAbort);
}

TEST_F(AlertTest, SheetsEndedByTheProgramAnswerTheCancelCode)
{
    ScriptedResponder responder;
    responder.showNext();
    QList<int> answers;
    Alert("Up", "", {"OK", "Cancel"}).beginSheetModalForWindow(&window, [&](int r) { answers << r; });
    QDialog waiting;
    Sheet::begin(&waiting, &window, [&](int r) { answers << r; });
    ASSERT_NE(Sheet::attachedSheet(&window), nullptr);
    EXPECT_FALSE(waiting.isVisible()) << "one sheet at a time";

    Sheet::endAll(&window);

    EXPECT_EQ(answers, (QList<int>{Alert::ModalResponseAbort, Alert::ModalResponseAbort}));
    EXPECT_EQ(Sheet::attachedSheet(&window), nullptr);
    EXPECT_EQ(Sheet::count(&window), 0);
    EXPECT_FALSE(waiting.isVisible());
    for (int code : answers)
        EXPECT_TRUE(code < Alert::FirstButtonReturn || code > Alert::ThirdButtonReturn);
}

TEST_F(AlertTest, SheetsWaitTheirTurnAndEndOnce)
{
    QDialog first, second;
    QList<int> firstAnswers, secondAnswers;
    Sheet::begin(&first, &window, [&](int r) { firstAnswers << r; });
    Sheet::begin(&second, &window, [&](int r) { secondAnswers << r; });
    EXPECT_EQ(first.parentWidget(), &window);
    EXPECT_TRUE(first.isVisible());
    EXPECT_FALSE(second.isVisible());

    Sheet::end(&first, 1000);
    first.accept(); // the dialog's own ending after the program's does not answer again
    Sheet::end(&first, 1001);
    EXPECT_EQ(firstAnswers, QList<int>{1000});
    EXPECT_EQ(Sheet::attachedSheet(&window), &second);
    EXPECT_TRUE(second.isVisible());

    second.reject();
    EXPECT_EQ(secondAnswers, QList<int>{Alert::ModalResponseCancel});

    Sheet::begin(&first, &window, [&](int r) { firstAnswers << r; });
    first.accept();
    EXPECT_EQ(firstAnswers, (QList<int>{1000, Alert::ModalResponseOK}));
}

TEST_F(AlertTest, ResponderIsHandedSheetsThatAreNotAlerts)
{
    ScriptedResponder responder;
    QList<QDialog*> handed;
    responder.setSheetHandler([&](QDialog* sheet, QWidget* on) {
        EXPECT_EQ(on, &window);
        handed << sheet;
        Sheet::end(sheet, 1000);
    });
    QDialog dialog;
    int answer = 0;
    Sheet::begin(&dialog, &window, [&](int r) { answer = r; });
    EXPECT_EQ(handed, QList<QDialog*>{&dialog});
    EXPECT_EQ(answer, 1000);
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(AlertTest, DialogDeletedWhileWaitingIsDroppedAndTheNextComesUp)
{
    QDialog shown;
    auto* doomed = new QDialog;
    QDialog last;
    bool doomedAnswered = false;
    Sheet::begin(&shown, &window, {});
    Sheet::begin(doomed, &window, [&](int) { doomedAnswered = true; });
    Sheet::begin(&last, &window, {});
    delete doomed;
    Sheet::end(&shown, 0);
    queue.runAll();
    EXPECT_FALSE(doomedAnswered);
    EXPECT_EQ(Sheet::attachedSheet(&window), &last);
    Sheet::endAll(&window);
}

TEST_F(AlertTest, WindowDestroyedWithItsSheetsUpDoesNotAnswerThem)
{
    ScriptedResponder responder;
    responder.showNext();
    auto* doomed = new QMainWindow;
    bool answered = false;
    Alert("Gone soon", "", {}).beginSheetModalForWindow(doomed, [&](int) { answered = true; });
    delete doomed;
    queue.runAll();
    EXPECT_FALSE(answered);
}

TEST_F(AlertTest, TextsThatLookLikeMarkupAreShownAsTheyAre)
{
    ScriptedResponder responder;
    responder.showNext();
    Alert("<b>name</b>", "File “<i>x</i>.calvorin”", {}).beginSheetModalForWindow(&window, {});
    auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(&window));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), "<b>name</b>");
    EXPECT_TRUE(box->informativeText().contains("&lt;i&gt;"));
    box->grab().save("/tmp/calvorin-alert-sheet.png");
    Sheet::endAll(&window);
}

TEST_F(AlertTest, EscapeAnswersTheButtonThatPutsTheQuestionOff)
{
    struct Case {
        QStringList buttons;
        int escapeAnswer; // 0: Escape leaves the alert up
    };
    const Case cases[] = {
        {kThree, Alert::ThirdButtonReturn},
        {{"OK", "Zundel Site", "Cancel"}, Alert::ThirdButtonReturn},
        {{"Cancel", "Delete"}, Alert::FirstButtonReturn},
        {{"Download Update", "Download Page", "Later"}, Alert::ThirdButtonReturn},
        {{"Go to Zundel Download Page", "Close"}, Alert::SecondButtonReturn},
        {{"OK"}, Alert::FirstButtonReturn},
        {{"Later", "Now"}, 0},
        {{"Open", "Delete"}, 0},
    };
    ScriptedResponder responder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buttons.join(", ").toStdString());
        responder.showNext();
        int answer = 0;
        Alert("Message", "", c.buttons).beginSheetModalForWindow(&window, [&](int response) { answer = response; });
        auto* box = qobject_cast<QMessageBox*>(Sheet::attachedSheet(&window));
        ASSERT_NE(box, nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_EQ(answer, c.escapeAnswer);
        if (c.escapeAnswer == 0) {
            EXPECT_EQ(Sheet::attachedSheet(&window), box);
            Sheet::endAll(&window);
        }
        EXPECT_EQ(Sheet::attachedSheet(&window), nullptr);
    }
}
