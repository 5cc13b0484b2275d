#include "encryption/PasswordSheet.h"

#include "encryption/CryptoPrimitives.h"
#include "platform/WindowSize.h"
#include "ui_ChangePasswordSheet.h"
#include "ui_InsertPasswordSheet.h"
#include "ui_MandatoryPasswordSheet.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

PasswordSheet::PasswordSheet(Kind kind, QWidget* parent) : QDialog(parent), m_kind(kind)
{
    switch (kind) {
    case Mandatory: setUp<Ui::MandatoryPasswordSheet>(); break;
    case Change: setUp<Ui::ChangePasswordSheet>(); break;
    case Insert: setUp<Ui::InsertPasswordSheet>(); break;
    }
}

PasswordSheet::~PasswordSheet()
{
    wipeFields();
}

template <class Ui>
void PasswordSheet::setUp()
{
    Ui ui;
    ui.setupUi(this);
    // The three interface files name their widgets alike.
    m_oldPasswordField = findChild<QLineEdit*>(QStringLiteral("oldPasswordField"));
    m_newPasswordField = findChild<QLineEdit*>(QStringLiteral("newPasswordField"));
    m_retypePasswordField = findChild<QLineEdit*>(QStringLiteral("retypePasswordField"));
    m_showClearPasswordBox = findChild<QCheckBox*>(QStringLiteral("showClearPasswordBox"));
    m_confirmButton = findChild<QPushButton*>(QStringLiteral("confirmButton"));
    m_cancelButton = findChild<QPushButton*>(QStringLiteral("cancelButton"));
    for (QLineEdit* field : {m_oldPasswordField, m_newPasswordField, m_retypePasswordField}) {
        if (!field)
            continue;
        // No completion, no drag out and no copy of a password to the clipboard.
        field->setEchoMode(QLineEdit::Password);
        field->setContextMenuPolicy(Qt::NoContextMenu);
        field->setDragEnabled(false);
        field->setAttribute(Qt::WA_InputMethodEnabled, false);
    }
    connect(m_showClearPasswordBox, &QCheckBox::toggled, this, [this](bool show) { setShowClearPassword(show); });
    m_confirmButton->setDefault(true);
    // The explanation wraps: the sheet takes the height it needs at its width.
    WindowSize::fitToLayout(this);
}

void PasswordSheet::setShowClearPassword(bool show)
{
    for (QLineEdit* field : {m_oldPasswordField, m_newPasswordField, m_retypePasswordField})
        if (field)
            field->setEchoMode(show ? QLineEdit::Normal : QLineEdit::Password);
    if (m_showClearPasswordBox->isChecked() != show)
        m_showClearPasswordBox->setChecked(show);
}

void PasswordSheet::wipeFields()
{
    for (QLineEdit* field : {m_oldPasswordField, m_newPasswordField, m_retypePasswordField}) {
        if (!field)
            continue;
        const QSignalBlocker quiet(field);
        // Once the field has let go of its text, this copy may be the last one.
        // Setting the text, unlike clear(), also drops the undo history, which
        // holds every character typed.
        QString text = field->text();
        field->setText(QString());
        CryptoPrimitives::wipe(text);
    }
}
