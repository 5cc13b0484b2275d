#include "encryption/QvCryptoDoc.h"

#include "encryption/PasswordSheet.h"
#include "platform/Alert.h"
#include "platform/DocumentWindow.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

// Failures print texts as text.
static void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString kCorrect = QStringLiteral("correct horse");

// Unlocks with one password; clears the change count on success as the
// contacts document does.
class LockedTestDocument : public QvCryptoDoc {
public:
    int Decript() override
    {
        triedPasswords.append(plainPassword());
        indicatorRanWhileDecrypting = decryptProgressIndicator() && decryptProgressIndicator()->isVisibleTo(myWindow()) &&
                                      decryptProgressIndicator()->maximum() == 0;
        if (plainPassword() != kCorrect)
            return -4304;
        updateChangeCount(ChangeCleared);
        return 0;
    }
    int decryptDone() override
    {
        ++doneCalls;
        setIsEncrypted(false);
        return 1;
    }
    int decryptFailed() override
    {
        ++failedCalls;
        return 1;
    }

    QStringList triedPasswords;
    int doneCalls = 0;
    int failedCalls = 0;
    bool indicatorRanWhileDecrypting = false;
};

struct Entries {
    QString old;
    QString fresh;
    QString retype;
};

class CryptoDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = new LockedTestDocument;
        doc->showWindows();
        ASSERT_TRUE(doc->myWindow());
    }
    void TearDown() override
    {
        settle();
        delete doc.data();
    }

    void settle()
    {
        for (int i = 0; i < 5; ++i) {
            queue.runAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    PasswordSheet* attachedSheet() const { return qobject_cast<PasswordSheet*>(Sheet::attachedSheet(doc->myWindow())); }
    // Types the entries as a user would and presses the sheet's confirm button.
    static void typeAndConfirm(PasswordSheet* sheet, const Entries& entries)
    {
        ASSERT_TRUE(sheet);
        const std::pair<QLineEdit*, QString> fields[] = {
            {sheet->oldPasswordField(), entries.old}, {sheet->newPasswordField(), entries.fresh},
            {sheet->retypePasswordField(), entries.retype}};
        for (const auto& [field, typed] : fields) {
            if (!field)
                continue;
            field->clear();
            // Key clicks carry only ASCII; other text comes in as a paste would.
            if (std::all_of(typed.begin(), typed.end(), [](QChar c) { return c.unicode() < 0x80; }))
                QTest::keyClicks(field, typed);
            else
                field->insert(typed);
        }
        QTest::mouseClick(sheet->confirmButton(), Qt::LeftButton);
    }
    ShownAlert lastAlert() const { return responder.alerts().isEmpty() ? ShownAlert{} : responder.alerts().last(); }
    // A document protected with a password, unedited.
    void protect(const QString& password)
    {
        doc->setPlainPassword(password);
        doc->updateChangeCount(Document::ChangeCleared);
    }

    ManualMainQueue queue;
    ScriptedResponder responder;
    QPointer<LockedTestDocument> doc;
};

// Mandatory password of a new document

TEST_F(CryptoDocTest, MandatorySheetAcceptsSixCharactersAndRefusesFive)
{
    const struct {
        const char* name;
        QString fresh, retype;
        QString message;       // the alert shown, empty for acceptance
        QString informative;
    } cases[] = {
        {"six", QStringLiteral("secret"), QStringLiteral("secret"), QString(), QString()},
        {"five", QStringLiteral("12345"), QStringLiteral("12345"), QStringLiteral("Password too short"),
         QStringLiteral("You have to use a password which is at least six character long.")},
        {"empty", QString(), QString(), QStringLiteral("Password too short"),
         QStringLiteral("You have to use a password which is at least six character long.")},
        {"unequal", QStringLiteral("secret"), QStringLiteral("secreT"),
         QStringLiteral("Password inserted in the two fields doesn't match"),
         QStringLiteral("You must insert exactly the same password in the two fields.")},
        {"short and unequal", QStringLiteral("abc"), QStringLiteral("abd"),
         QStringLiteral("Password inserted in the two fields doesn't match"),
         QStringLiteral("You must insert exactly the same password in the two fields.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        const int alertsBefore = responder.alerts().size();
        doc->askMandatoryPasswordToProtectDocument();
        PasswordSheet* sheet = attachedSheet();
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet, doc->mandatoryPasswordSheet());
        EXPECT_EQ(sheet->kind(), PasswordSheet::Mandatory);
        EXPECT_FALSE(sheet->oldPasswordField());
        typeAndConfirm(sheet, {QString(), c.fresh, c.retype});
        settle();
        ASSERT_EQ(responder.alerts().size(), alertsBefore + 1);
        const ShownAlert alert = lastAlert();
        EXPECT_TRUE(alert.asSheet);
        EXPECT_EQ(alert.window, doc->myWindow());
        EXPECT_TRUE(doc->showClearPasswordInInsertPasswordSheet());
        if (c.message.isEmpty()) {
            EXPECT_EQ(doc->plainPassword(), c.fresh);
            EXPECT_TRUE(doc->isDocumentEdited());
            EXPECT_EQ(alert.messageText, QStringLiteral("Password accepted"));
            EXPECT_TRUE(alert.informativeText.contains(QLatin1String("even for the developers of this application")));
            EXPECT_EQ(alert.buttons, QStringList{QStringLiteral("OK")});
            EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
            EXPECT_TRUE(doc->plainPasswordInsertedRetype().isEmpty());
        } else {
            EXPECT_EQ(doc->plainPassword(), QString());
            EXPECT_FALSE(doc->isDocumentEdited());
            EXPECT_EQ(alert.messageText, c.message);
            EXPECT_EQ(alert.informativeText, c.informative);
            EXPECT_EQ(alert.buttons, QStringList{QStringLiteral("Retry")});
        }
        EXPECT_FALSE(doc->isClosed());
    }
}

TEST_F(CryptoDocTest, MandatoryRetryReopensWithTheEntriesShownInClear)
{
    responder.answerWithButton(QStringLiteral("Retry"));
    doc->askMandatoryPasswordToProtectDocument();
    typeAndConfirm(attachedSheet(), {QString(), QStringLiteral("abcde"), QStringLiteral("abcde")});
    settle();
    PasswordSheet* again = attachedSheet();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind(), PasswordSheet::Mandatory);
    EXPECT_EQ(again->newPasswordField()->text(), QStringLiteral("abcde"));
    EXPECT_EQ(again->retypePasswordField()->text(), QStringLiteral("abcde"));
    EXPECT_TRUE(again->showClearPasswordBox()->isChecked());
    EXPECT_EQ(again->newPasswordField()->echoMode(), QLineEdit::Normal);

    // Hiding the entries again follows the flag both ways.
    again->showClearPasswordBox()->setChecked(false);
    EXPECT_FALSE(doc->showClearPasswordInInsertPasswordSheet());
    EXPECT_EQ(again->retypePasswordField()->echoMode(), QLineEdit::Password);

    typeAndConfirm(again, {QString(), QStringLiteral("abcdef"), QStringLiteral("abcdef")});
    settle();
    EXPECT_EQ(doc->plainPassword(), QStringLiteral("abcdef"));
    EXPECT_FALSE(attachedSheet());
}

TEST_F(CryptoDocTest, CancellingTheMandatorySheetClosesTheNewDocument)
{
    doc->askMandatoryPasswordToProtectDocument();
    PasswordSheet* sheet = attachedSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->cancelButton()->text(), QStringLiteral("Close Document"));
    QTest::keyClicks(sheet->newPasswordField(), QStringLiteral("secret"));
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(doc->isClosed()) << "closing waits for the main queue";
    settle();
    EXPECT_TRUE(doc.isNull() || doc->isClosed());
    EXPECT_TRUE(responder.alerts().isEmpty());
}

TEST_F(CryptoDocTest, PasswordCommandAsksForTheFirstPasswordOnlyWhenThereIsNone)
{
    doc->documentPassword();
    ASSERT_TRUE(attachedSheet());
    EXPECT_EQ(attachedSheet()->kind(), PasswordSheet::Mandatory);
    typeAndConfirm(attachedSheet(), {QString(), QStringLiteral("secret"), QStringLiteral("secret")});
    settle();

    // A password is set: the mandatory sheet, which asks no old password, is not offered again.
    doc->askMandatoryPasswordToProtectDocument();
    EXPECT_FALSE(attachedSheet());
    doc->setShowClearPasswordInInsertPasswordSheet(true);
    doc->documentPassword();
    ASSERT_TRUE(attachedSheet());
    EXPECT_EQ(attachedSheet()->kind(), PasswordSheet::Change);
    EXPECT_FALSE(doc->showClearPasswordInInsertPasswordSheet());
    EXPECT_EQ(attachedSheet()->oldPasswordField()->echoMode(), QLineEdit::Password);
}

// Changing the password

TEST_F(CryptoDocTest, ChangeSheetRulesOldPasswordFirstThenEqualityThenLength)
{
    const QString old = QStringLiteral("oldpass");
    const struct {
        const char* name;
        Entries entries;
        QString message;
        QString informative;
    } cases[] = {
        {"wrong old, new entries differ", {QStringLiteral("nope"), QStringLiteral("abc"), QStringLiteral("xyz")},
         QStringLiteral("Password inserted in the 'Old Master Password' field must be equal to the password previously "
                        "used to protect this document."),
         QStringLiteral("No changes were applied")},
        {"empty old", {QString(), QStringLiteral("newpass"), QStringLiteral("newpass")},
         QStringLiteral("Password inserted in the 'Old Master Password' field must be equal to the password previously "
                        "used to protect this document."),
         QStringLiteral("No changes were applied")},
        {"new entries differ", {old, QStringLiteral("abcdef"), QStringLiteral("abcdeg")},
         QStringLiteral("Passwords inserted in the two fields doesn't match"),
         QStringLiteral("You must insert exactly the same password in the two 'New Password' fields. No changes were "
                        "applied")},
        {"five", {old, QStringLiteral("12345"), QStringLiteral("12345")},
         QStringLiteral("Password Too Short. You have to use a password which is at least six character long."),
         QStringLiteral("No changes were applied")},
        {"empty new", {old, QString(), QString()},
         QStringLiteral("Password Too Short. You have to use a password which is at least six character long."),
         QStringLiteral("No changes were applied")},
        {"six", {old, QStringLiteral("123456"), QStringLiteral("123456")}, QStringLiteral("Password changed successfuly"),
         QStringLiteral("This new password will be used when saving this document.\nData will be stored on disk "
                        "encrypted using a secure algorithm.\n\nNext time, to open this document, this new password will "
                        "be required.\nStore your new password in a safe place.\nThere is no way, even for the Korvane "
                        "Software, to open the document and decrypt the data without the right password.")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        protect(old);
        doc->documentPassword();
        typeAndConfirm(attachedSheet(), c.entries);
        settle();
        ASSERT_FALSE(responder.alerts().isEmpty());
        const ShownAlert alert = lastAlert();
        EXPECT_EQ(alert.messageText, c.message);
        EXPECT_EQ(alert.informativeText, c.informative);
        EXPECT_TRUE(alert.asSheet);
        EXPECT_EQ(alert.window, doc->myWindow());
        const bool accepted = c.message == QLatin1String("Password changed successfuly");
        EXPECT_EQ(alert.buttons, accepted ? QStringList{QStringLiteral("OK")}
                                          : (QStringList{QStringLiteral("Retry"), QStringLiteral("Cancel")}));
        EXPECT_EQ(doc->plainPassword(), accepted ? c.entries.fresh : old);
        EXPECT_EQ(doc->isDocumentEdited(), accepted);
        EXPECT_FALSE(doc->showClearPasswordInInsertPasswordSheet());
    }
}

// The key takes as many UTF-8 bytes of a password as it has UTF-16 units, so
// past its first non-ASCII character a password protects with only a part.
TEST_F(CryptoDocTest, EverySheetRefusesAPasswordOfWhichOnlyAPartWouldProtect)
{
    const QString old = QStringLiteral("oldpass");
    const struct {
        QString password;
        QString part;
    } passwords[] = {
        {QStringLiteral("中中中中中中"), QStringLiteral("its first 2 characters")},
        {QStringLiteral("Pässwörd-中文-😀"), QStringLiteral("its first 10 characters")},
    };
    const QString message = QStringLiteral("Only part of this password would protect the document.");
    for (const PasswordSheet::Kind kind : {PasswordSheet::Mandatory, PasswordSheet::Change}) {
        for (const auto& p : passwords) {
            SCOPED_TRACE((kind == PasswordSheet::Mandatory ? "mandatory " : "change ") + p.password.toStdString());
            TearDown();
            SetUp();
            if (kind == PasswordSheet::Change)
                protect(old);
            const int alertsBefore = responder.alerts().size();
            responder.answerWithButton(QStringLiteral("Retry"));
            doc->documentPassword();
            ASSERT_TRUE(attachedSheet());
            ASSERT_EQ(attachedSheet()->kind(), kind);
            typeAndConfirm(attachedSheet(), {old, p.password, p.password});
            settle();

            ASSERT_EQ(responder.alerts().size(), alertsBefore + 1);
            const ShownAlert alert = lastAlert();
            EXPECT_EQ(alert.messageText, message);
            EXPECT_TRUE(alert.informativeText.startsWith(QStringLiteral("Anyone who knows ") + p.part))
                << alert.informativeText.toStdString();
            EXPECT_TRUE(alert.informativeText.contains(QLatin1String("Please choose another password")));
            EXPECT_EQ(alert.informativeText.endsWith(QLatin1String("No changes were applied")),
                      kind == PasswordSheet::Change);
            EXPECT_EQ(alert.buttons, kind == PasswordSheet::Change
                                         ? (QStringList{QStringLiteral("Retry"), QStringLiteral("Cancel")})
                                         : QStringList{QStringLiteral("Retry")});
            EXPECT_EQ(alert.window, doc->myWindow());
            EXPECT_EQ(doc->plainPassword(), kind == PasswordSheet::Change ? old : QString());
            EXPECT_FALSE(doc->isDocumentEdited());

            // Retry asks again, with what was typed; a plain ASCII password is taken.
            PasswordSheet* again = attachedSheet();
            ASSERT_TRUE(again);
            EXPECT_EQ(again->kind(), kind);
            EXPECT_EQ(again->newPasswordField()->text(), p.password);
            const QString ascii = QStringLiteral("P@ss w0rd-{~}!");
            typeAndConfirm(again, {old, ascii, ascii});
            settle();
            EXPECT_EQ(doc->plainPassword(), ascii);
            EXPECT_TRUE(doc->isDocumentEdited());
        }
    }
}

TEST_F(CryptoDocTest, RetryReopensTheChangeSheetAndCancelKeepsTheOldPassword)
{
    protect(QStringLiteral("oldpass"));
    responder.answerWithButton(QStringLiteral("Retry")).answerWithButton(QStringLiteral("Cancel"));
    doc->documentPassword();
    const Entries typed{QStringLiteral("oldpass"), QStringLiteral("short"), QStringLiteral("short")};
    QPointer<PasswordSheet> first = attachedSheet();
    typeAndConfirm(first, typed);
    // The sheet that has gone keeps nothing typed.
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->oldPasswordField()->text().isEmpty());
    EXPECT_TRUE(first->newPasswordField()->text().isEmpty());
    EXPECT_TRUE(first->retypePasswordField()->text().isEmpty());
    ASSERT_TRUE(queue.runNext()); // the answer "Retry"
    EXPECT_FALSE(attachedSheet()) << "the sheet opens again from the main queue, after the alert";
    EXPECT_GT(queue.pending(), 0);
    settle();

    PasswordSheet* again = attachedSheet();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind(), PasswordSheet::Change);
    EXPECT_EQ(again->oldPasswordField()->text(), typed.old);
    EXPECT_EQ(again->newPasswordField()->text(), typed.fresh);
    EXPECT_EQ(again->retypePasswordField()->text(), typed.retype);

    QTest::mouseClick(again->confirmButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(responder.messageTexts().size(), 2);
    EXPECT_FALSE(attachedSheet());
    EXPECT_EQ(doc->plainPassword(), QStringLiteral("oldpass"));
    EXPECT_FALSE(doc->isDocumentEdited());
    // Nothing typed is kept once the user has given up.
    EXPECT_TRUE(doc->plainPasswordPrevious().isEmpty());
    EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
    EXPECT_TRUE(doc->plainPasswordInsertedRetype().isEmpty());
}

TEST_F(CryptoDocTest, RetryOnTheChangeSheetKeepsShowPasswordAsTheUserLeftIt)
{
    const QString old = QStringLiteral("oldpass");
    const struct {
        const char* name;
        Entries refused;
    } cases[] = {
        {"wrong old", {QStringLiteral("nope"), QStringLiteral("newpass"), QStringLiteral("newpass")}},
        {"new entries differ", {old, QStringLiteral("newpass"), QStringLiteral("newpasX")}},
        {"too short", {old, QStringLiteral("12345"), QStringLiteral("12345")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        protect(old);
        responder.answerWithButton(QStringLiteral("Retry"))
            .answerWithButton(QStringLiteral("Retry"))
            .answerWithButton(QStringLiteral("Cancel"));
        // Toggles "Show password" in the sheet and confirms the refused entries.
        const auto toggleAndConfirm = [&](PasswordSheet* sheet) {
            sheet->showClearPasswordBox()->click();
            typeAndConfirm(sheet, c.refused);
            settle();
            return attachedSheet();
        };
        doc->documentPassword();
        PasswordSheet* sheet = attachedSheet();
        ASSERT_TRUE(sheet);
        EXPECT_FALSE(sheet->showClearPasswordBox()->isChecked()) << "the command opens it hidden";

        PasswordSheet* again = toggleAndConfirm(sheet);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again->showClearPasswordBox()->isChecked());
        for (QLineEdit* field : {again->oldPasswordField(), again->newPasswordField(), again->retypePasswordField()})
            EXPECT_EQ(field->echoMode(), QLineEdit::Normal) << qPrintable(field->objectName());
        // Hidden again by the user, it stays hidden on the next Retry.
        PasswordSheet* third = toggleAndConfirm(again);
        ASSERT_TRUE(third);
        EXPECT_FALSE(third->showClearPasswordBox()->isChecked());
        EXPECT_EQ(third->retypePasswordField()->echoMode(), QLineEdit::Password);

        // Given up in the alert, the next change starts hidden; so after a change that succeeds.
        EXPECT_FALSE(toggleAndConfirm(third));
        EXPECT_FALSE(doc->showClearPasswordInInsertPasswordSheet());
        doc->documentPassword();
        ASSERT_TRUE(attachedSheet());
        EXPECT_FALSE(attachedSheet()->showClearPasswordBox()->isChecked());
        attachedSheet()->showClearPasswordBox()->click();
        typeAndConfirm(attachedSheet(), {old, QStringLiteral("newpass"), QStringLiteral("newpass")});
        settle();
        EXPECT_EQ(doc->plainPassword(), QStringLiteral("newpass"));
        EXPECT_FALSE(doc->showClearPasswordInInsertPasswordSheet());
    }
}

TEST_F(CryptoDocTest, CancellingTheChangeSheetChangesNothing)
{
    protect(QStringLiteral("oldpass"));
    doc->documentPassword();
    PasswordSheet* sheet = attachedSheet();
    ASSERT_TRUE(sheet);
    QTest::keyClicks(sheet->oldPasswordField(), QStringLiteral("oldpass"));
    QTest::keyClicks(sheet->newPasswordField(), QStringLiteral("newpass"));
    QTest::keyClicks(sheet->retypePasswordField(), QStringLiteral("newpass"));
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_TRUE(responder.alerts().isEmpty());
    EXPECT_EQ(doc->plainPassword(), QStringLiteral("oldpass"));
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
}

// Setting a password through the insert sheet

TEST_F(CryptoDocTest, InsertSheetSetsAPasswordAndItsRetryReopensItself)
{
    responder.answerWithButton(QStringLiteral("Retry"));
    doc->showInsertPasswordSheet(doc->myWindow());
    PasswordSheet* sheet = attachedSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->kind(), PasswordSheet::Insert);
    typeAndConfirm(sheet, {QString(), QStringLiteral("abcdef"), QStringLiteral("abcdeX")});
    settle();
    EXPECT_EQ(lastAlert().messageText, QStringLiteral("Passwords inserted in the two fields doesn't match"));
    EXPECT_TRUE(doc->plainPassword().isEmpty());
    EXPECT_TRUE(doc->showClearPasswordInInsertPasswordSheet());

    PasswordSheet* again = attachedSheet();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->kind(), PasswordSheet::Insert) << "the sheet the user came from, not the change sheet";
    EXPECT_EQ(again->retypePasswordField()->text(), QStringLiteral("abcdeX"));
    typeAndConfirm(again, {QString(), QStringLiteral("abcdef"), QStringLiteral("abcdef")});
    settle();
    EXPECT_TRUE(doc->sheetWasConfirmed());
    EXPECT_EQ(doc->plainPassword(), QStringLiteral("abcdef"));
    EXPECT_TRUE(doc->isDocumentEdited());
    EXPECT_EQ(lastAlert().messageText, QStringLiteral("Password accepted"));
    EXPECT_TRUE(lastAlert().informativeText.contains(QLatin1String("even for Korvane Software")));

    doc->showInsertPasswordSheet(doc->myWindow());
    QTest::keyClicks(attachedSheet()->newPasswordField(), QStringLiteral("other1"));
    QTest::mouseClick(attachedSheet()->cancelButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(doc->sheetWasConfirmed());
    EXPECT_EQ(doc->plainPassword(), QStringLiteral("abcdef"));
}

// Unlocking

TEST_F(CryptoDocTest, EmptySubmitDoesNothing)
{
    doc->setIsEncrypted(true);
    doc->updateChangeCount(Document::ChangeDone);
    QLineEdit field;
    doc->submitPasswordToDecrypt(&field);
    doc->submitPasswordToDecrypt(QString());
    settle();
    EXPECT_TRUE(doc->triedPasswords.isEmpty());
    EXPECT_EQ(doc->failedCalls, 0);
    EXPECT_TRUE(responder.alerts().isEmpty());
    EXPECT_EQ(doc->changeCount(), 1);
    EXPECT_TRUE(doc->isEncrypted());
}

TEST_F(CryptoDocTest, WrongPasswordKeepsTheDocumentLockedEditedAndForgetsTheEntry)
{
    // Locked with two unsaved changes.
    protect(kCorrect);
    doc->updateChangeCount(Document::ChangeDone);
    doc->updateChangeCount(Document::ChangeDone);
    doc->setIsEncrypted(true);
    EXPECT_TRUE(doc->wasEditedWhenLocked());

    QProgressBar indicator(doc->myWindow());
    indicator.hide();
    doc->setDecryptProgressIndicator(&indicator);
    QLineEdit field(doc->myWindow());
    QTest::keyClicks(&field, QStringLiteral("wrong guess"));
    doc->submitPasswordToDecrypt(&field);

    EXPECT_EQ(doc->triedPasswords, QStringList{QStringLiteral("wrong guess")});
    EXPECT_TRUE(doc->indicatorRanWhileDecrypting);
    EXPECT_FALSE(indicator.isVisibleTo(doc->myWindow()));
    EXPECT_EQ(doc->failedCalls, 1);
    EXPECT_EQ(doc->doneCalls, 0);
    EXPECT_TRUE(doc->isEncrypted());
    EXPECT_EQ(doc->changeCount(), 2);
    EXPECT_TRUE(doc->plainPassword().isEmpty());
    EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
    EXPECT_TRUE(field.text().isEmpty());
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_EQ(lastAlert().messageText, QStringLiteral("Wrong Password"));
    EXPECT_EQ(lastAlert().informativeText,
              QStringLiteral("You inserted a wrong password.\nTo access this document you must insert exactly the "
                             "password used to protect it"));
    EXPECT_EQ(lastAlert().buttons, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(lastAlert().asSheet);

    // The right password afterwards brings the two unsaved changes back.
    QTest::keyClicks(&field, kCorrect);
    doc->submitPasswordToDecrypt(&field);
    EXPECT_EQ(doc->doneCalls, 1);
    EXPECT_FALSE(doc->isEncrypted());
    EXPECT_TRUE(doc->isDecrypted());
    EXPECT_EQ(doc->plainPassword(), kCorrect);
    EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
    EXPECT_EQ(doc->changeCount(), 2);
    EXPECT_FALSE(doc->wasEditedWhenLocked());
    EXPECT_TRUE(field.text().isEmpty());
}

TEST_F(CryptoDocTest, FieldsLetGoOfWhatWasTypedLeaveNothingToUndo)
{
    // Undo is open to a field only while it shows its text in clear.
    doc->showInsertPasswordSheet(doc->myWindow());
    QPointer<PasswordSheet> sheet = attachedSheet();
    ASSERT_TRUE(sheet);
    sheet->setShowClearPassword(true);
    QTest::keyClicks(sheet->newPasswordField(), QStringLiteral("abandoned"));
    QTest::keyClicks(sheet->retypePasswordField(), QStringLiteral("abandoned"));
    QTest::mouseClick(sheet->cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(sheet);
    for (QLineEdit* field : {sheet->newPasswordField(), sheet->retypePasswordField()}) {
        field->undo();
        EXPECT_TRUE(field->text().isEmpty()) << qPrintable(field->text());
    }

    doc->setIsEncrypted(true);
    QLineEdit field(doc->myWindow());
    field.setEchoMode(QLineEdit::Normal);
    QTest::keyClicks(&field, QStringLiteral("wrong guess"));
    doc->submitPasswordToDecrypt(&field);
    field.undo();
    EXPECT_TRUE(field.text().isEmpty()) << qPrintable(field.text());
}

TEST_F(CryptoDocTest, UnlockEndsCleanWhenTheLockedContentMatchesTheFile)
{
    // As read from a file: locked before any change.
    doc->setIsEncrypted(true);
    doc->submitPasswordToDecrypt(kCorrect);
    EXPECT_FALSE(doc->isEncrypted());
    EXPECT_FALSE(doc->isDocumentEdited());

    // Locked edited, then made clean while locked (a revert reads the file again).
    doc->updateChangeCount(Document::ChangeDone);
    doc->setIsEncrypted(true);
    doc->updateChangeCount(Document::ChangeCleared);
    EXPECT_FALSE(doc->wasEditedWhenLocked());
    doc->submitPasswordToDecrypt(kCorrect);
    EXPECT_FALSE(doc->isDocumentEdited());
}

TEST_F(CryptoDocTest, LockingForgetsThePasswordAndEveryEntry)
{
    protect(kCorrect);
    doc->setPlainPasswordInserted(QStringLiteral("typed"));
    doc->setPlainPasswordInsertedRetype(QStringLiteral("typed"));
    doc->setPlainPasswordPrevious(QStringLiteral("typed"));
    QSignalSpy changes(doc.data(), &QvCryptoDoc::isEncryptedChanged);
    doc->setIsEncrypted(true);
    doc->setIsEncrypted(true);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_TRUE(changes[0][0].toBool());
    EXPECT_TRUE(doc->property("isEncrypted").toBool());
    EXPECT_TRUE(doc->plainPassword().isEmpty());
    EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
    EXPECT_TRUE(doc->plainPasswordInsertedRetype().isEmpty());
    EXPECT_TRUE(doc->plainPasswordPrevious().isEmpty());

    // No password can be set or changed on a locked document, nor is an unlocked one decrypted again.
    doc->documentPassword();
    doc->askMandatoryPasswordToProtectDocument();
    doc->showChangePasswordSheet(doc->myWindow());
    doc->showInsertPasswordSheet(doc->myWindow());
    EXPECT_FALSE(attachedSheet());
    doc->submitPasswordToDecrypt(kCorrect);
    doc->submitPasswordToDecrypt(kCorrect);
    EXPECT_EQ(doc->triedPasswords.size(), 1);
}

TEST_F(CryptoDocTest, LockingEndsAPasswordSheetThatIsUpAndSetsNoPassword)
{
    const struct {
        const char* name;
        PasswordSheet::Kind kind;
    } kinds[] = {{"change", PasswordSheet::Change}, {"insert", PasswordSheet::Insert}, {"mandatory", PasswordSheet::Mandatory}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        TearDown();
        SetUp();
        if (k.kind == PasswordSheet::Change) {
            protect(QStringLiteral("oldpass"));
            doc->documentPassword();
        } else if (k.kind == PasswordSheet::Insert) {
            doc->showInsertPasswordSheet(doc->myWindow());
        } else {
            doc->askMandatoryPasswordToProtectDocument();
        }
        QPointer<PasswordSheet> sheet = attachedSheet();
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->kind(), k.kind);
        QTest::keyClicks(sheet->newPasswordField(), QStringLiteral("typed before"));

        doc->setIsEncrypted(true);
        settle();
        EXPECT_FALSE(attachedSheet());
        // The old password is gone with the lock; a sheet left up would take
        // an empty old entry for it.
        if (sheet)
            typeAndConfirm(sheet, {QString(), QStringLiteral("intruder"), QStringLiteral("intruder")});
        settle();
        EXPECT_TRUE(sheet.isNull());
        EXPECT_TRUE(doc->plainPassword().isEmpty());
        EXPECT_TRUE(doc->plainPasswordInserted().isEmpty());
        EXPECT_TRUE(doc->plainPasswordInsertedRetype().isEmpty());
        EXPECT_FALSE(doc->wasEditedWhenLocked());
        EXPECT_TRUE(responder.alerts().isEmpty());
        ASSERT_TRUE(doc);
        EXPECT_FALSE(doc->isClosed());
        EXPECT_TRUE(doc->isEncrypted());
    }
}

// Commands and closing

TEST_F(CryptoDocTest, FileCommandsAreOffWhileLocked)
{
    DocumentWindow* window = doc->myWindow();
    window->addCommand(window->fileMenu(), QStringLiteral("documentPassword"), QStringLiteral("Password…"), {}, [] {});
    doc->setFileURL(QUrl::fromLocalFile(QStringLiteral("/tmp/locked.calvorin")));
    doc->updateChangeCount(Document::ChangeDone);
    const QStringList lockedOut{QStringLiteral("saveDocument"),          QStringLiteral("saveDocumentAs"),
                                QStringLiteral("documentPassword"),      QStringLiteral("revertDocumentToSaved"),
                                QStringLiteral("runPageLayout")};
    for (const QString& name : lockedOut)
        EXPECT_TRUE(window->command(name)->isEnabled()) << qPrintable(name);
    doc->setIsEncrypted(true);
    for (const QString& name : lockedOut + QStringList{QStringLiteral("printDocument")}) {
        EXPECT_FALSE(window->command(name)->isEnabled()) << qPrintable(name);
        EXPECT_FALSE(window->perform(name)) << qPrintable(name);
    }
    EXPECT_TRUE(window->command(QStringLiteral("newDocument"))->isEnabled());
    EXPECT_TRUE(window->command(QStringLiteral("performClose"))->isEnabled());
    doc->submitPasswordToDecrypt(kCorrect);
    for (const QString& name : lockedOut)
        EXPECT_TRUE(window->command(name)->isEnabled()) << qPrintable(name);
}

TEST_F(CryptoDocTest, LockedDocumentClosesWithoutAskingAndUnlockedEditedOneAsks)
{
    doc->updateChangeCount(Document::ChangeDone);
    responder.answerWithButton(QStringLiteral("Cancel"));
    doc->performClose();
    settle();
    ASSERT_EQ(responder.alerts().size(), 1);
    EXPECT_TRUE(responder.alerts()[0].messageText.startsWith(QLatin1String("Do you want to save the changes")));
    EXPECT_FALSE(doc->isClosed());

    doc->setIsEncrypted(true);
    ASSERT_TRUE(doc->isDocumentEdited());
    bool answered = false;
    doc->canCloseDocument([&](bool shouldClose) { answered = shouldClose; });
    EXPECT_TRUE(answered) << "answered at once";
    doc->performClose();
    EXPECT_TRUE(doc.isNull() || doc->isClosed());
    settle();
    EXPECT_EQ(responder.alerts().size(), 1);
}

// The sheets as the user sees them

TEST_F(CryptoDocTest, SheetsShowTheirFieldsHidden)
{
    const QString dir = qEnvironmentVariable("CALVORIN_GRAB_DIR");
    const struct {
        PasswordSheet::Kind kind;
        const char* name;
        int fields;
    } kinds[] = {{PasswordSheet::Mandatory, "mandatory_password_sheet", 2},
                 {PasswordSheet::Change, "change_password_sheet", 3},
                 {PasswordSheet::Insert, "insert_password_sheet", 2}};
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.name);
        PasswordSheet sheet(k.kind, doc->myWindow());
        QList<QLineEdit*> fields = sheet.findChildren<QLineEdit*>();
        ASSERT_EQ(fields.size(), k.fields);
        for (QLineEdit* field : fields) {
            EXPECT_EQ(field->echoMode(), QLineEdit::Password);
            QTest::keyClicks(field, QStringLiteral("secret"));
        }
        EXPECT_TRUE(sheet.confirmButton()->isDefault());
        sheet.adjustSize();
        const QImage hidden = sheet.grab().toImage();
        ASSERT_FALSE(hidden.isNull());
        sheet.setShowClearPassword(true);
        EXPECT_TRUE(sheet.showClearPasswordBox()->isChecked());
        const QImage clear = sheet.grab().toImage();
        EXPECT_NE(hidden, clear);
        if (!dir.isEmpty()) {
            hidden.save(dir + QLatin1Char('/') + QLatin1String(k.name) + QStringLiteral(".png"));
            clear.save(dir + QLatin1Char('/') + QLatin1String(k.name) + QStringLiteral("_clear.png"));
        }
        sheet.wipeFields();
        for (QLineEdit* field : fields)
            EXPECT_TRUE(field->text().isEmpty());
    }
}

} // namespace
