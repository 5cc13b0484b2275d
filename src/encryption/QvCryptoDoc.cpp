#include "encryption/QvCryptoDoc.h"

#include "encryption/CryptoPrimitives.h"
#include "encryption/PasswordSheet.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Alert.h"
#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

const char* const kWrongPasswordMessage = "Wrong Password";
const char* const kWrongPasswordInformative =
    "You inserted a wrong password.\nTo access this document you must insert exactly the password used to protect it";

const char* const kPasswordMustMatchMessage =
    "Password inserted in the 'Old Master Password' field must be equal to the password previously used to protect "
    "this document.";
const char* const kNoChangesApplied = "No changes were applied";
const char* const kNotEqualMessage = "Passwords inserted in the two fields doesn't match";
const char* const kNotEqualInformative =
    "You must insert exactly the same password in the two 'New Password' fields. No changes were applied";
const char* const kTooShortMessage =
    "Password Too Short. You have to use a password which is at least six character long.";
const char* const kMandatoryNotEqualMessage = "Password inserted in the two fields doesn't match";
const char* const kMandatoryNotEqualInformative = "You must insert exactly the same password in the two fields.";
const char* const kMandatoryTooShortMessage = "Password too short";
const char* const kMandatoryTooShortInformative = "You have to use a password which is at least six character long.";

const char* const kChangedMessage = "Password changed successfuly";
const char* const kChangedInformative =
    "This new password will be used when saving this document.\nData will be stored on disk encrypted using a secure "
    "algorithm.\n\nNext time, to open this document, this new password will be required.\nStore your new password in "
    "a safe place.\nThere is no way, even for the Korvane Software, to open the document and decrypt the data without "
    "the right password.";
const char* const kAcceptedMessage = "Password accepted";
const char* const kInsertAcceptedInformative =
    "This password will be used when saving this document.\nData will be stored on disk encrypted using a secure "
    "algorithm.\n\nNext time, to open this document, this password will be required.\nStore your password in a safe "
    "place.\nThere is no way, even for Korvane Software, to open the document and decrypt the data without the right "
    "password.";
const char* const kMandatoryAcceptedInformative =
    "This password will be used when saving this document.\nData will be stored on disk encrypted using a secure "
    "algorithm.\n\nNext time, to open this document, this password will be required.\nStore your password in a safe "
    "place.\nThere is no way, even for the developers of this application, to open the document and decrypt the data "
    "without the right password.";

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

void showSheetAlert(QWidget* window, const char* message, const char* informative)
{
    Alert(text(message), text(informative), {QStringLiteral("OK")}).beginSheetModalForWindow(window, {});
}

// Replaces a secret, wiping the old text unless someone else still holds it
// (then the last holder wipes it).
void replaceSecret(QString& slot, const QString& value)
{
    QString old = std::exchange(slot, value);
    CryptoPrimitives::wipe(old);
}

// Commands that must not run on a locked document.
bool isLockedOutCommand(const QString& action)
{
    static const char* const kCommands[] = {"saveDocument",  "saveDocumentAs", "documentPassword",
                                            "revertDocumentToSaved", "runPageLayout", "printDocument"};
    for (const char* command : kCommands)
        if (action == QLatin1String(command))
            return true;
    return false;
}

} // namespace

QvCryptoDoc::QvCryptoDoc(QObject* parent) : Document(parent)
{
    // While locked the remembered count follows the document's: a revert or a
    // save of the still-encrypted content makes it clean, and so it unlocks clean.
    connect(this, &Document::changeCountChanged, this, [this] {
        if (m_isEncrypted && !m_unlocking)
            m_changeCountWhenLocked = changeCount();
    });
}

QvCryptoDoc::~QvCryptoDoc()
{
    forgetAllPasswords();
}

void QvCryptoDoc::setIsEncrypted(bool encrypted)
{
    if (encrypted == m_isEncrypted)
        return;
    m_isEncrypted = encrypted;
    if (encrypted) {
        m_changeCountWhenLocked = changeCount();
        forgetAllPasswords();
        // A sheet left up would take what is typed next for a new password of
        // the locked document, its empty old entry matching the wiped password.
        for (PasswordSheet* sheet : {m_mandatoryPasswordSheet.data(), m_changePasswordSheet.data(),
                                     m_insertPasswordSheet.data()})
            if (sheet)
                Sheet::end(sheet, Alert::ModalResponseAbort);
    }
    emit isEncryptedChanged(encrypted);
    emit userInterfaceStateChanged();
}

void QvCryptoDoc::setPlainPassword(const QString& password)
{
    replaceSecret(m_plainPassword, password);
}

void QvCryptoDoc::setPlainPasswordInserted(const QString& text)
{
    replaceSecret(m_plainPasswordInserted, text);
}

void QvCryptoDoc::setPlainPasswordInsertedRetype(const QString& text)
{
    replaceSecret(m_plainPasswordInsertedRetype, text);
}

void QvCryptoDoc::setPlainPasswordPrevious(const QString& text)
{
    replaceSecret(m_plainPasswordPrevious, text);
}

void QvCryptoDoc::setShowClearPasswordInInsertPasswordSheet(bool show)
{
    if (show == m_showClearPassword)
        return;
    m_showClearPassword = show;
    emit showClearPasswordInInsertPasswordSheetChanged(show);
}

void QvCryptoDoc::forgetTypedPasswords()
{
    setPlainPasswordInserted(QString());
    setPlainPasswordInsertedRetype(QString());
    setPlainPasswordPrevious(QString());
}

void QvCryptoDoc::forgetAllPasswords()
{
    forgetTypedPasswords();
    setPlainPassword(QString());
}

// Unlocking

void QvCryptoDoc::submitPasswordToDecrypt(QLineEdit* sender)
{
    if (!sender)
        return;
    QString typed = sender->text();
    if (typed.isEmpty() || !m_isEncrypted)
        return;
    // The field lets go of its text, and of the undo history that holds every
    // character typed, so that the last copy, wiped below, is ours.
    sender->setText(QString());
    submitPasswordToDecrypt(typed);
    CryptoPrimitives::wipe(typed);
}

void QvCryptoDoc::submitPasswordToDecrypt(const QString& typed)
{
    // Only a locked document is unlocked: decrypting again would drop what was edited since.
    if (typed.isEmpty() || !m_isEncrypted)
        return;
    setPlainPasswordInserted(typed);
    setPlainPassword(typed);
    const int changeCountBefore = changeCount();
    showDecryptProgress(true);
    m_unlocking = true;
    const int result = Decript();
    if (result != 0) {
        decryptFailed();
        m_unlocking = false;
        showDecryptProgress(false);
        // A wrong entry is not kept, and the attempt does not touch the edited state.
        forgetAllPasswords();
        restoreChangeCount(changeCountBefore);
        showSheetAlert(windowForSheet(), kWrongPasswordMessage, kWrongPasswordInformative);
        return;
    }
    decryptDone();
    m_unlocking = false;
    showDecryptProgress(false);
    forgetTypedPasswords();
    setIsEncrypted(false);
    // Unsaved changes that were locked away come back as unsaved changes.
    restoreChangeCount(m_changeCountWhenLocked);
    m_changeCountWhenLocked = 0;
}

int QvCryptoDoc::Decript()
{
    return 1;
}

int QvCryptoDoc::decryptDone()
{
    return 1;
}

int QvCryptoDoc::decryptFailed()
{
    return 1;
}

void QvCryptoDoc::restoreChangeCount(int count)
{
    if (changeCount() == count)
        return;
    updateChangeCount(ChangeCleared);
    for (int i = 0; i < count; ++i)
        updateChangeCount(ChangeDone);
    for (int i = 0; i > count; --i)
        updateChangeCount(ChangeUndone);
}

void QvCryptoDoc::showDecryptProgress(bool running)
{
    if (!m_decryptProgressIndicator)
        return;
    // A range of 0 to 0 is the busy animation.
    m_decryptProgressIndicator->setRange(0, running ? 0 : 1);
    m_decryptProgressIndicator->setVisible(running);
}

// The password command and its sheets

void QvCryptoDoc::documentPassword()
{
    if (m_isEncrypted)
        return;
    if (m_plainPassword.isEmpty()) {
        askMandatoryPasswordToProtectDocument();
        return;
    }
    setShowClearPasswordInInsertPasswordSheet(false);
    forgetTypedPasswords();
    showChangePasswordSheet(windowForSheet());
}

PasswordSheet* QvCryptoDoc::beginPasswordSheet(int kind, QWidget* window, void (QvCryptoDoc::*confirm)(),
                                               void (QvCryptoDoc::*cancel)(), void (QvCryptoDoc::*ended)(QWidget*, int))
{
    auto* sheet = new PasswordSheet(static_cast<PasswordSheet::Kind>(kind), window);
    // The fields show what was typed before (after Retry) and stand for the typed properties.
    const struct {
        QLineEdit* field;
        const QString& value;
        void (QvCryptoDoc::*set)(const QString&);
    } fields[] = {
        {sheet->oldPasswordField(), m_plainPasswordPrevious, &QvCryptoDoc::setPlainPasswordPrevious},
        {sheet->newPasswordField(), m_plainPasswordInserted, &QvCryptoDoc::setPlainPasswordInserted},
        {sheet->retypePasswordField(), m_plainPasswordInsertedRetype, &QvCryptoDoc::setPlainPasswordInsertedRetype},
    };
    for (const auto& f : fields) {
        if (!f.field)
            continue;
        f.field->setText(f.value);
        connect(f.field, &QLineEdit::textChanged, this, [this, set = f.set](const QString& typed) { (this->*set)(typed); });
    }
    sheet->setShowClearPassword(m_showClearPassword);
    connect(sheet->showClearPasswordBox(), &QCheckBox::toggled, this,
            &QvCryptoDoc::setShowClearPasswordInInsertPasswordSheet);
    connect(this, &QvCryptoDoc::showClearPasswordInInsertPasswordSheetChanged, sheet, &PasswordSheet::setShowClearPassword);
    connect(sheet->confirmButton(), &QPushButton::clicked, this, confirm);
    connect(sheet->cancelButton(), &QPushButton::clicked, this, cancel);

    Sheet::Options options;
    options.deleteWhenEnded = true;
    QPointer<QvCryptoDoc> guard(this);
    QPointer<QWidget> on(window);
    Sheet::begin(sheet, window, [guard, on, ended, sheet = QPointer<PasswordSheet>(sheet)](int code) {
        if (sheet)
            sheet->wipeFields();
        if (guard)
            (guard.data()->*ended)(on, code);
    }, std::move(options));
    return sheet;
}

void QvCryptoDoc::askMandatoryPasswordToProtectDocument()
{
    // Only a new document without a password gets one this way; a change needs the old one.
    if (m_isEncrypted || !m_plainPassword.isEmpty() || m_mandatoryPasswordSheet)
        return;
    m_mandatoryPasswordSheet =
        beginPasswordSheet(PasswordSheet::Mandatory, myWindow(), &QvCryptoDoc::confirmMandatoryButton,
                           &QvCryptoDoc::cancelMandatoryButton, &QvCryptoDoc::mandatorySheetEnded);
}

void QvCryptoDoc::confirmMandatoryButton()
{
    confirmMandatoryPasswordSheet(kConfirmTag);
}

void QvCryptoDoc::cancelMandatoryButton()
{
    confirmMandatoryPasswordSheet(kCancelTag);
}

void QvCryptoDoc::confirmMandatoryPasswordSheet(int senderTag)
{
    if (m_mandatoryPasswordSheet)
        Sheet::end(m_mandatoryPasswordSheet, senderTag);
}

void QvCryptoDoc::mandatorySheetEnded(QWidget*, int returnCode)
{
    m_mandatoryPasswordSheet = nullptr;
    setShowClearPasswordInInsertPasswordSheet(true);
    if (m_isEncrypted) {
        forgetTypedPasswords();
        return;
    }
    if (returnCode != kConfirmTag) {
        // A new document cannot stay open without a password.
        forgetTypedPasswords();
        MainQueue::post(this, [this] { close(); });
        return;
    }
    if (m_plainPasswordInserted != m_plainPasswordInsertedRetype) {
        mandatoryPasswordNonEqual();
        return;
    }
    if (m_plainPasswordInserted.size() < kMinimumPasswordLength) {
        mandatoryPasswordMustBe6CharLong();
        return;
    }
    if (!QvCommonCrypto::keyTakesWholePassword(m_plainPasswordInserted)) {
        mandatoryPasswordOnlyPartlyCounts();
        return;
    }
    acceptNewPassword();
    showSheetAlert(myWindow(), kAcceptedMessage, kMandatoryAcceptedInformative);
}

void QvCryptoDoc::showChangePasswordSheet(QWidget* window)
{
    if (m_isEncrypted || m_changePasswordSheet)
        return;
    m_changePasswordSheet =
        beginPasswordSheet(PasswordSheet::Change, window, &QvCryptoDoc::confirmChangePasswordSheet,
                           &QvCryptoDoc::cancelChangePasswordSheet, &QvCryptoDoc::changeSheetEnded);
}

void QvCryptoDoc::confirmChangePasswordSheet()
{
    if (m_changePasswordSheet)
        Sheet::end(m_changePasswordSheet, kConfirmTag);
}

void QvCryptoDoc::cancelChangePasswordSheet()
{
    if (m_changePasswordSheet)
        Sheet::end(m_changePasswordSheet, kCancelTag);
}

void QvCryptoDoc::changeSheetEnded(QWidget* window, int returnCode)
{
    m_changePasswordSheet = nullptr;
    // Cancelled, closed with Escape, or ended by the program: nothing changes.
    if (returnCode != kConfirmTag) {
        setShowClearPasswordInInsertPasswordSheet(false);
        forgetTypedPasswords();
        return;
    }
    // A refused entry keeps "Show password" as it was for Retry; the change
    // hides the entries again once it is over (Cancel in the alert, or done).
    if (m_plainPasswordPrevious != m_plainPassword) {
        passwordMustMatch(window);
        return;
    }
    if (!newPasswordFollowsRules(window, PasswordSheetKind::Change))
        return;
    setShowClearPasswordInInsertPasswordSheet(false);
    acceptNewPassword();
    showSheetAlert(window, kChangedMessage, kChangedInformative);
}

void QvCryptoDoc::showInsertPasswordSheet(QWidget* window)
{
    if (m_isEncrypted || m_insertPasswordSheet)
        return;
    // A sheet that the program ends counts as cancelled.
    m_sheetWasConfirmed = false;
    m_insertPasswordSheet =
        beginPasswordSheet(PasswordSheet::Insert, window, &QvCryptoDoc::confirmInsertPasswordSheet,
                           &QvCryptoDoc::cancelInsertPasswordSheet, &QvCryptoDoc::insertSheetEnded);
}

void QvCryptoDoc::confirmInsertPasswordSheet()
{
    if (!m_insertPasswordSheet)
        return;
    m_sheetWasConfirmed = true;
    Sheet::end(m_insertPasswordSheet, kConfirmTag);
}

void QvCryptoDoc::cancelInsertPasswordSheet()
{
    if (!m_insertPasswordSheet)
        return;
    m_sheetWasConfirmed = false;
    Sheet::end(m_insertPasswordSheet, kCancelTag);
}

void QvCryptoDoc::insertSheetEnded(QWidget* window, int)
{
    m_insertPasswordSheet = nullptr;
    setShowClearPasswordInInsertPasswordSheet(true);
    if (!m_sheetWasConfirmed) {
        forgetTypedPasswords();
        return;
    }
    if (!newPasswordFollowsRules(window, PasswordSheetKind::Insert))
        return;
    acceptNewPassword();
    showSheetAlert(window, kAcceptedMessage, kInsertAcceptedInformative);
}

bool QvCryptoDoc::newPasswordFollowsRules(QWidget* window, PasswordSheetKind kind)
{
    if (m_plainPasswordInserted != m_plainPasswordInsertedRetype) {
        passwordNotEqualSheet(window, kind);
        return false;
    }
    if (m_plainPasswordInserted.size() < kMinimumPasswordLength) {
        passwordMustBe6CharLong(window, kind);
        return false;
    }
    if (!QvCommonCrypto::keyTakesWholePassword(m_plainPasswordInserted)) {
        passwordOnlyPartlyCounts(window, kind);
        return false;
    }
    return true;
}

void QvCryptoDoc::acceptNewPassword()
{
    setPlainPassword(m_plainPasswordInserted);
    forgetTypedPasswords();
    updateChangeCount(ChangeDone);
}

// Failure alerts

void QvCryptoDoc::retryAlert(QWidget* window, const QString& message, const QString& informative,
                             std::optional<PasswordSheetKind> sheet)
{
    // The mandatory sheet offers no way out but Retry: the alternative is closing the new document.
    QStringList buttons{QStringLiteral("Retry")};
    if (sheet)
        buttons.append(QStringLiteral("Cancel"));
    QPointer<QvCryptoDoc> guard(this);
    QPointer<QWidget> on(window);
    Alert(message, informative, buttons).beginSheetModalForWindow(window, [guard, on, sheet](int answer) {
        if (!guard)
            return;
        if (answer != Alert::FirstButtonReturn) {
            if (sheet == PasswordSheetKind::Change)
                guard->setShowClearPasswordInInsertPasswordSheet(false);
            guard->forgetTypedPasswords();
            return;
        }
        // Opened after the alert has gone, with the entries as they were typed.
        MainQueue::post(guard, [guard, on, sheet] {
            if (!sheet)
                guard->askMandatoryPasswordToProtectDocument();
            else if (*sheet == PasswordSheetKind::Insert)
                guard->showInsertPasswordSheet(on);
            else
                guard->showChangePasswordSheet(on);
        });
    });
}

void QvCryptoDoc::passwordMustMatch(QWidget* window)
{
    retryAlert(window, text(kPasswordMustMatchMessage), text(kNoChangesApplied), PasswordSheetKind::Change);
}

void QvCryptoDoc::passwordNotEqualSheet(QWidget* window, PasswordSheetKind retrySheet)
{
    retryAlert(window, text(kNotEqualMessage), text(kNotEqualInformative), retrySheet);
}

void QvCryptoDoc::passwordMustBe6CharLong(QWidget* window, PasswordSheetKind retrySheet)
{
    retryAlert(window, text(kTooShortMessage), text(kNoChangesApplied), retrySheet);
}

void QvCryptoDoc::passwordOnlyPartlyCounts(QWidget* window, PasswordSheetKind retrySheet)
{
    retryAlert(window, onlyPartlyCountsMessage(),
               onlyPartlyCountsInformative() + QLatin1Char(' ') + text(kNoChangesApplied), retrySheet);
}

void QvCryptoDoc::mandatoryPasswordOnlyPartlyCounts()
{
    retryAlert(myWindow(), onlyPartlyCountsMessage(), onlyPartlyCountsInformative(), std::nullopt);
}

QString QvCryptoDoc::onlyPartlyCountsMessage() const
{
    return tr("Only part of this password would protect the document.");
}

QString QvCryptoDoc::onlyPartlyCountsInformative() const
{
    // Documents are keyed with as many UTF-8 bytes of the password as it has
    // UTF-16 units, and files already stored rest on it: the password has to fit.
    const qsizetype counted = QvCommonCrypto::wholeCharactersInKey(m_plainPasswordInserted);
    const QString part = counted == 1 ? tr("its first character") : tr("its first %1 characters").arg(counted);
    return tr("Anyone who knows %1 could open the document: it is protected by only as many bytes of its password "
              "as the password has characters, and letters with accents, other scripts and emoji take more than one "
              "byte each. Please choose another password, made of letters without accents, digits and punctuation.")
        .arg(part);
}

void QvCryptoDoc::mandatoryPasswordNonEqual()
{
    retryAlert(myWindow(), text(kMandatoryNotEqualMessage), text(kMandatoryNotEqualInformative), std::nullopt);
}

void QvCryptoDoc::mandatoryPasswordMustBe6CharLong()
{
    retryAlert(myWindow(), text(kMandatoryTooShortMessage), text(kMandatoryTooShortInformative), std::nullopt);
}

// Commands and closing

bool QvCryptoDoc::validateUserInterfaceItem(QAction* item)
{
    if (m_isEncrypted && isLockedOutCommand(item->objectName()))
        return false;
    return Document::validateUserInterfaceItem(item);
}

void QvCryptoDoc::canCloseDocument(std::function<void(bool)> completion)
{
    // The unsaved changes of a locked document cannot be saved anyway.
    if (m_isEncrypted) {
        if (completion)
            completion(true);
        return;
    }
    Document::canCloseDocument(std::move(completion));
}
