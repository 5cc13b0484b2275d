#include "document/RecordFields.h"

#include "toolkit/LongText.h"

#include <QLocale>

#include <algorithm>
#include <limits>

RecordValueLabel::RecordValueLabel(QWidget* parent) : QLabel(parent) {}

void RecordValueLabel::setText(const QString& text)
{
    // Only blanks leave the label hidden, and nothing to show whole.
    const bool cut = LongText::isCut(text, kShownLength, kShownLines)
                     && std::any_of(text.cbegin(), text.cend(), [](QChar c) { return !c.isSpace(); });
    // A cut value may be one word of thousands of characters: wrapped anywhere, it keeps the pane's width.
    QLabel::setText(cut ? LongText::wrappable(LongText::head(text, kShownLength, kShownLines), kLongestRun) : text);
    if (cut != m_cut) {
        m_cut = cut;
        emit cutChanged(cut);
    }
}

RecordLineEdit::RecordLineEdit(QWidget* parent) : QLineEdit(parent)
{
    // The line edit's own limit would cut a long value as it is shown.
    setMaxLength(std::numeric_limits<int>::max());
    connect(this, &QLineEdit::textChanged, this, &RecordLineEdit::lineTextChanged);
}

void RecordLineEdit::setText(const QString& text)
{
    m_cut = text.size() > kEditableLength;
    QLineEdit::setText(m_cut ? LongText::head(text, kEditableLength / 10) : text);
    setReadOnly(m_cut);
    setToolTip(m_cut ? tr("This value has %1 characters, too many to edit here; it is kept as it is.")
                           .arg(QLocale().toString(text.size()))
                     : QString());
    if (m_cut)
        home(false);
}
