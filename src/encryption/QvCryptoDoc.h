#pragma once
#include "platform/Document.h"

#include <QPointer>
#include <QProgressBar>
#include <QString>
#include <functional>
#include <optional>

class PasswordSheet;
class QLineEdit;

// The base of every password-protected document. It holds the document
// password in clear while the document is unlocked, the locked flag, the three
// password sheets with their rules and messages, and the unlock of the locked
// window. The content is the subclass's: it decrypts in Decript() and shows
// itself in decryptDone().
//
// Password rules, the same for every sheet: the two new entries are equal, the
// new password has at least six UTF-16 units and is plain ASCII (the key takes
// no more of it than its first UTF-8 bytes, one for each UTF-16 unit), and for
// a change the old entry is the current password (checked first). The empty
// string is never a password. Unlocking takes any password, as keyed before.
//
// A locked document keeps no password: whatever sets isEncrypted to true must
// have finished with the password first (re-encrypting, say), since the base
// then wipes it and every typed entry. The subclass drops the copies its
// engines hold itself, also after a failed unlock (decryptFailed()).
//
// Mapping of the selectors:
//   outlet myWindow                              ->  myWindow(): the document window
//   outlet decryptProgressIndicator              ->  setDecryptProgressIndicator(bar)
//   outlets mandatory/insert/changePasswordSheet ->  the sheet while it is up, else null
//   submitPasswordToDecrypt: (the field)         ->  submitPasswordToDecrypt(field) or (text)
//   confirmMandatoryPasswordSheet: (sender tag)  ->  confirmMandatoryPasswordSheet(tag)
//   contextInfo of the insert sheet and the
//   alerts that reopen a sheet                   ->  the PasswordSheetKind that Retry reopens
//   documentPassword:, the confirm and cancel
//   actions                                      ->  the same names without the sender
//   canCloseDocumentWithDelegate:...             ->  canCloseDocument(completion)
class QvCryptoDoc : public Document {
    Q_OBJECT
    Q_PROPERTY(bool isEncrypted READ isEncrypted WRITE setIsEncrypted NOTIFY isEncryptedChanged)
    Q_PROPERTY(bool showClearPasswordInInsertPasswordSheet READ showClearPasswordInInsertPasswordSheet WRITE
                   setShowClearPasswordInInsertPasswordSheet NOTIFY showClearPasswordInInsertPasswordSheetChanged)
public:
    // The sheet that "Retry" on a failed new password opens again.
    enum class PasswordSheetKind { Change, Insert };

    static constexpr int kMinimumPasswordLength = 6;
    // Tags of the mandatory sheet's buttons, sent to confirmMandatoryPasswordSheet.
    static constexpr int kConfirmTag = 1000;
    static constexpr int kCancelTag = 1001;

    explicit QvCryptoDoc(QObject* parent = nullptr);
    ~QvCryptoDoc() override;

    // Locked: the content is still encrypted. Turning it on wipes the password
    // and the typed entries, ends a password sheet that is up (nothing is set)
    // and remembers the change count, which a later successful unlock puts back.
    bool isEncrypted() const { return m_isEncrypted; }
    void setIsEncrypted(bool encrypted);
    bool isDecrypted() const { return !m_isEncrypted; }

    // The document password in clear; empty when none is set (and while locked).
    QString plainPassword() const { return m_plainPassword; }
    void setPlainPassword(const QString& password);
    // What is typed in the sheets and in the locked window's field.
    QString plainPasswordInserted() const { return m_plainPasswordInserted; }
    void setPlainPasswordInserted(const QString& text);
    QString plainPasswordInsertedRetype() const { return m_plainPasswordInsertedRetype; }
    void setPlainPasswordInsertedRetype(const QString& text);
    QString plainPasswordPrevious() const { return m_plainPasswordPrevious; }
    void setPlainPasswordPrevious(const QString& text);
    // Whether the sheets show what is typed in clear. The password command
    // opens the change sheet hidden; Retry after a refused change keeps it as
    // the user left it, and the change ends hidden.
    bool showClearPasswordInInsertPasswordSheet() const { return m_showClearPassword; }
    void setShowClearPasswordInInsertPasswordSheet(bool show);
    // How the insert sheet was ended last.
    bool sheetWasConfirmed() const { return m_sheetWasConfirmed; }

    DocumentWindow* myWindow() const { return window(); }
    QProgressBar* decryptProgressIndicator() const { return m_decryptProgressIndicator; }
    void setDecryptProgressIndicator(QProgressBar* indicator) { m_decryptProgressIndicator = indicator; }
    PasswordSheet* mandatoryPasswordSheet() const { return m_mandatoryPasswordSheet; }
    PasswordSheet* changePasswordSheet() const { return m_changePasswordSheet; }
    PasswordSheet* insertPasswordSheet() const { return m_insertPasswordSheet; }

    // The change count the document had when it was locked (0 after a read).
    int changeCountWhenLocked() const { return m_changeCountWhenLocked; }
    bool wasEditedWhenLocked() const { return m_changeCountWhenLocked != 0; }

    // Unlock with the text of the locked window's password field. An empty
    // entry, or a document that is not locked, does nothing. The field is
    // emptied. A wrong password leaves the document locked, its change count
    // untouched and no password kept; a right one unlocks it with the change
    // count it had when it was locked.
    void submitPasswordToDecrypt(QLineEdit* sender);
    void submitPasswordToDecrypt(const QString& typed);

    // Hooks. Decript answers 0 when the content is decrypted, anything else
    // for a wrong password; the base answers 1. The others' results are not used.
    virtual int Decript();
    virtual int decryptDone();
    virtual int decryptFailed();

    // The password command: the mandatory sheet when no password is set, the
    // change sheet otherwise. Nothing while locked.
    void documentPassword();

    // The first password of a new document; cancelling it closes the document.
    void askMandatoryPasswordToProtectDocument();
    void confirmMandatoryPasswordSheet(int senderTag);

    void showChangePasswordSheet(QWidget* window);
    void confirmChangePasswordSheet();
    void cancelChangePasswordSheet();

    // Sets a password without asking for the old one; for subclasses.
    void showInsertPasswordSheet(QWidget* window);
    void confirmInsertPasswordSheet();
    void cancelInsertPasswordSheet();

    // The failure alerts, as sheets on window (the mandatory ones on myWindow).
    void passwordMustMatch(QWidget* window);
    void passwordNotEqualSheet(QWidget* window, PasswordSheetKind retrySheet = PasswordSheetKind::Change);
    void passwordMustBe6CharLong(QWidget* window, PasswordSheetKind retrySheet = PasswordSheetKind::Change);
    void mandatoryPasswordNonEqual();
    void mandatoryPasswordMustBe6CharLong();
    // A new password of which only a first part would go into the key.
    void passwordOnlyPartlyCounts(QWidget* window, PasswordSheetKind retrySheet = PasswordSheetKind::Change);
    void mandatoryPasswordOnlyPartlyCounts();

    // Saving, the password command, revert, page set-up and printing are off while locked.
    bool validateUserInterfaceItem(QAction* item) override;
    // A locked document closes without asking about unsaved changes.
    void canCloseDocument(std::function<void(bool shouldClose)> completion) override;

signals:
    void isEncryptedChanged(bool isEncrypted);
    void showClearPasswordInInsertPasswordSheetChanged(bool show);

private:
    // Opens a sheet of the kind on window, its fields standing for the typed
    // properties; `ended` runs once it has gone, its fields emptied.
    PasswordSheet* beginPasswordSheet(int kind, QWidget* window, void (QvCryptoDoc::*confirm)(),
                                      void (QvCryptoDoc::*cancel)(), void (QvCryptoDoc::*ended)(QWidget*, int));
    void confirmMandatoryButton();
    void cancelMandatoryButton();
    void mandatorySheetEnded(QWidget* window, int returnCode);
    void changeSheetEnded(QWidget* window, int returnCode);
    void insertSheetEnded(QWidget* window, int returnCode);
    // The rules for a new password; false after showing the alert of the first one broken.
    bool newPasswordFollowsRules(QWidget* window, PasswordSheetKind kind);
    void acceptNewPassword();
    // An alert whose Retry opens the sheet again (the mandatory one when none is given).
    void retryAlert(QWidget* window, const QString& message, const QString& informative,
                    std::optional<PasswordSheetKind> sheet);
    QString onlyPartlyCountsMessage() const;
    QString onlyPartlyCountsInformative() const;
    void forgetTypedPasswords();
    void forgetAllPasswords();
    void restoreChangeCount(int count);
    void showDecryptProgress(bool running);

    bool m_isEncrypted = false;
    bool m_showClearPassword = false;
    bool m_sheetWasConfirmed = false;
    bool m_unlocking = false;
    int m_changeCountWhenLocked = 0;
    QString m_plainPasswordInserted;
    QString m_plainPasswordInsertedRetype;
    QString m_plainPasswordPrevious;
    QString m_plainPassword;
    QPointer<QProgressBar> m_decryptProgressIndicator;
    QPointer<PasswordSheet> m_mandatoryPasswordSheet;
    QPointer<PasswordSheet> m_changePasswordSheet;
    QPointer<PasswordSheet> m_insertPasswordSheet;
};
