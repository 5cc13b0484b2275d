#pragma once
#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The three password sheets of an encrypted document, each laid out by its
// own interface file: the mandatory first password of a new document, the
// change of password (old, new, new again) and the setting of a password.
// Every field hides what is typed unless "Show password" is on. The sheet
// holds no logic: the document reads its fields and answers its buttons.
class PasswordSheet : public QDialog {
    Q_OBJECT
public:
    enum Kind { Mandatory, Change, Insert };

    explicit PasswordSheet(Kind kind, QWidget* parent = nullptr);
    ~PasswordSheet() override;

    Kind kind() const { return m_kind; }
    // Null except in the change sheet.
    QLineEdit* oldPasswordField() const { return m_oldPasswordField; }
    QLineEdit* newPasswordField() const { return m_newPasswordField; }
    QLineEdit* retypePasswordField() const { return m_retypePasswordField; }
    QCheckBox* showClearPasswordBox() const { return m_showClearPasswordBox; }
    QPushButton* confirmButton() const { return m_confirmButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // Shows the typed text in clear or hidden, and ticks the box to match.
    void setShowClearPassword(bool show);
    // Empties every field without announcing it, wiping the text it held
    // wherever no one else still refers to it.
    void wipeFields();

private:
    template <class Ui>
    void setUp();

    Kind m_kind;
    QLineEdit* m_oldPasswordField = nullptr;
    QLineEdit* m_newPasswordField = nullptr;
    QLineEdit* m_retypePasswordField = nullptr;
    QCheckBox* m_showClearPasswordBox = nullptr;
    QPushButton* m_confirmButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};
