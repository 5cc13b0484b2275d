#include "document/RecordTextEdit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QScrollBar>
#include <QToolButton>

namespace {

// Parts end after a line break where one is near their end, else after a
// blank, else at the length; never inside a surrogate pair or a CR LF.
bool isGoodEnd(const QString& text, qsizetype end)
{
    return end <= 0 || end >= text.size()
           || (!text.at(end - 1).isHighSurrogate() && !(text.at(end - 1) == u'\r' && text.at(end) == u'\n'));
}

qsizetype partEndAfter(const QString& text, qsizetype start)
{
    const qsizetype limit = start + RecordTextEdit::kPartLength;
    if (limit >= text.size())
        return text.size();
    const qsizetype earliest = start + RecordTextEdit::kPartLength / 2;
    for (QChar wanted : {QChar(u'\n'), QChar(u' ')})
        for (qsizetype end = limit; end > earliest; --end)
            if (text.at(end - 1) == wanted && isGoodEnd(text, end))
                return end;
    qsizetype end = limit;
    while (end > start + 1 && !isGoodEnd(text, end))
        --end;
    return end;
}

qsizetype partStartBefore(const QString& text, qsizetype end)
{
    const qsizetype limit = end - RecordTextEdit::kPartLength;
    if (limit <= 0)
        return 0;
    const qsizetype latest = end - RecordTextEdit::kPartLength / 2;
    for (QChar wanted : {QChar(u'\n'), QChar(u' ')})
        for (qsizetype start = limit; start < latest; ++start)
            if (text.at(start - 1) == wanted && isGoodEnd(text, start))
                return start;
    qsizetype start = limit;
    while (start < end - 1 && !isGoodEnd(text, start))
        ++start;
    return start;
}

} // namespace

RecordTextEdit::RecordTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_settingText)
            return;
        if (!m_parted) {
            emit textEdited(toPlainText());
            return;
        }
        const QString part = toPlainText();
        QString whole;
        whole.reserve(m_whole.size() - m_length + part.size());
        whole.append(QStringView(m_whole).left(m_start));
        whole.append(part);
        whole.append(QStringView(m_whole).mid(m_start + m_length));
        m_whole = whole;
        m_length = part.size();
        updatePartBar();
        emit textEdited(m_whole);
    });
}

QString RecordTextEdit::text() const
{
    return m_parted ? m_whole : toPlainText();
}

void RecordTextEdit::setText(const QString& text)
{
    if (m_parted ? text == m_whole : text == toPlainText())
        return;
    if (text.size() <= kPartLength) {
        m_parted = false;
        m_whole.clear();
        m_settingText = true;
        setPlainText(text);
        m_settingText = false;
        updatePartBar();
        return;
    }
    m_parted = true;
    m_whole = text;
    showPart(0, partEndAfter(m_whole, 0));
}

void RecordTextEdit::showNextPart()
{
    if (!m_parted || m_start + m_length >= m_whole.size())
        return;
    const qsizetype start = m_start + m_length;
    showPart(start, partEndAfter(m_whole, start) - start);
}

void RecordTextEdit::showPreviousPart()
{
    if (!m_parted || m_start <= 0)
        return;
    const qsizetype start = partStartBefore(m_whole, m_start);
    showPart(start, m_start - start);
}

void RecordTextEdit::showPart(qsizetype start, qsizetype length)
{
    m_start = start;
    m_length = length;
    m_settingText = true;
    setPlainText(m_whole.mid(start, length));
    m_settingText = false;
    updatePartBar();
}

void RecordTextEdit::updatePartBar()
{
    if (!m_parted) {
        if (m_partBar) {
            m_partBar->hide();
            setViewportMargins(0, 0, 0, 0);
        }
        return;
    }
    if (!m_partBar) {
        m_partBar = new QWidget(this);
        m_partBar->setObjectName(QStringLiteral("partBar"));
        m_partBar->setAutoFillBackground(true);
        m_partBar->setBackgroundRole(QPalette::Window);
        auto* layout = new QHBoxLayout(m_partBar);
        layout->setContentsMargins(6, 0, 2, 0);
        layout->setSpacing(2);
        m_partLabel = new QLabel(m_partBar);
        m_partLabel->setObjectName(QStringLiteral("partLabel"));
        layout->addWidget(m_partLabel, 1);
        const auto addButton = [this, layout](const char* name, const QString& text, void (RecordTextEdit::*step)()) {
            auto* button = new QToolButton(m_partBar);
            button->setObjectName(QLatin1String(name));
            button->setText(text);
            button->setAutoRaise(true);
            button->setFocusPolicy(Qt::NoFocus);
            connect(button, &QToolButton::clicked, this, step);
            layout->addWidget(button);
            return button;
        };
        m_previousButton = addButton("previousPart", tr("Previous"), &RecordTextEdit::showPreviousPart);
        m_nextButton = addButton("nextPart", tr("Next"), &RecordTextEdit::showNextPart);
    }
    const QLocale locale;
    m_partLabel->setText(tr("Characters %1–%2 of %3")
                             .arg(locale.toString(m_start + 1), locale.toString(m_start + m_length),
                                  locale.toString(m_whole.size())));
    m_previousButton->setEnabled(m_start > 0);
    m_nextButton->setEnabled(m_start + m_length < m_whole.size());
    setViewportMargins(0, 0, 0, m_partBar->sizeHint().height());
    placePartBar();
    m_partBar->show();
}

void RecordTextEdit::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    placePartBar();
}

void RecordTextEdit::placePartBar()
{
    if (!m_partBar || !m_parted)
        return;
    const QRect text = viewport()->geometry();
    m_partBar->setGeometry(text.left(), text.bottom() + 1, text.width(), m_partBar->sizeHint().height());
}
