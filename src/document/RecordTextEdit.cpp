#include "document/RecordTextEdit.h"

RecordTextEdit::RecordTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_settingText)
            emit textEdited(toPlainText());
    });
}

void RecordTextEdit::setText(const QString& text)
{
    if (text == toPlainText())
        return;
    m_settingText = true;
    setPlainText(text);
    m_settingText = false;
}
