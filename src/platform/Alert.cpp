#include "platform/Alert.h"

#include "platform/MainQueue.h"
#include "platform/Sheet.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTextDocument>

namespace {
const char* const kAnswerProperty = "alertAnswer";

bool inTest()
{
    return QStandardPaths::isTestModeEnabled();
}

QString plainLabelText(const QString& text)
{
    // The informative label guesses its format; texts that carry file names must not turn into markup.
    if (!Qt::mightBeRichText(text))
        return text;
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QMessageBox::ButtonRole roleFor(const QString& title, int index)
{
    if (title == QLatin1String("Cancel"))
        return QMessageBox::RejectRole;
    if (title == QLatin1String("Don't Save"))
        return QMessageBox::DestructiveRole;
    return index == 0 ? QMessageBox::AcceptRole : QMessageBox::ActionRole;
}

// The button Escape answers: "Cancel", or else a last button that only puts
// the question off ("Later", "Close"). Alerts with none of these keep Escape
// from choosing for the user (a lone button is the box's own escape).
int escapeIndex(const QStringList& titles)
{
    const qsizetype cancel = titles.indexOf(QLatin1String("Cancel"));
    if (cancel >= 0)
        return int(cancel);
    if (titles.size() > 1 && (titles.last() == QLatin1String("Later") || titles.last() == QLatin1String("Close")))
        return int(titles.size() - 1);
    return -1;
}

// The buttons' texts with an access key each (Alt+letter), none shared: the
// first letter of a word where it is free, else any free letter. A title's
// own "&" is shown as it is.
QStringList withAccessKeys(const QStringList& titles)
{
    QStringList texts;
    QSet<QChar> taken;
    for (const QString& title : titles) {
        qsizetype at = -1;
        for (int pass = 0; pass < 2 && at < 0; ++pass)
            for (qsizetype i = 0; i < title.size() && at < 0; ++i) {
                const QChar c = title[i];
                const bool startsWord = i == 0 || title[i - 1].isSpace();
                if (c.isLetterOrNumber() && (pass == 1 || startsWord) && !taken.contains(c.toLower()))
                    at = i;
            }
        QString text = QString(title).replace(u'&', QStringLiteral("&&"));
        if (at >= 0) {
            taken.insert(title[at].toLower());
            text.insert(at + title.left(at).count(u'&'), u'&');
        }
        texts << text;
    }
    return texts;
}

// The message box would also take a button's letter typed alone as its
// answer: typing that was meant for the window (a "d" when the close question
// comes up) must not choose Don't Save. The access keys need Alt.
class LettersAloneAreNoAnswer : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool alone = !(key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier));
            if (alone && !key->text().isEmpty() && key->text().front().isLetterOrNumber())
                return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

QMessageBox* makeBox(const Alert& alert, QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    box->installEventFilter(new LettersAloneAreNoAnswer(box));
    switch (alert.alertStyle()) {
    case Alert::WarningStyle: box->setIcon(QMessageBox::Warning); break;
    case Alert::InformationalStyle: box->setIcon(QMessageBox::Information); break;
    case Alert::CriticalStyle: box->setIcon(QMessageBox::Critical); break;
    }
    box->setWindowTitle(QGuiApplication::applicationDisplayName());
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText());
    box->setInformativeText(plainLabelText(alert.informativeText()));
    const QStringList titles = alert.buttonTitles();
    const int escape = escapeIndex(titles);
    const QStringList texts = withAccessKeys(titles);
    for (int i = 0; i < titles.size(); ++i) {
        QPushButton* button = box->addButton(texts[i], roleFor(titles[i], i));
        button->setProperty(kAnswerProperty, Alert::FirstButtonReturn + i);
        if (i == 0)
            box->setDefaultButton(button);
        if (i == escape)
            box->setEscapeButton(button);
    }
    return box;
}

int answerOf(QMessageBox* box)
{
    QAbstractButton* clicked = box->clickedButton();
    return clicked ? clicked->property(kAnswerProperty).toInt() : Alert::ModalResponseAbort;
}

ShownAlert describe(const Alert& alert, bool asSheet, QWidget* window)
{
    return {alert.messageText(), alert.informativeText(), alert.buttonTitles(), alert.alertStyle(), asSheet, window};
}

// The responder's answer; in a test without one, the cancel code, so that
// nothing waits for a user who is not there.
std::optional<int> respond(const ShownAlert& shown, bool mustNotWait)
{
    if (AlertResponder* responder = Seam<AlertResponder>::installed())
        return responder->answer(shown);
    if (!mustNotWait)
        return std::nullopt;
    qWarning("Alert \"%s\" answered with the cancel code: no responder is installed", qPrintable(shown.messageText));
    return Alert::ModalResponseAbort;
}
} // namespace

Alert::Alert(QString messageText, QString informativeText, QStringList buttons, Style style)
    : m_messageText(std::move(messageText))
    , m_informativeText(std::move(informativeText))
    , m_buttons(std::move(buttons))
    , m_style(style)
{
}

QStringList Alert::buttonTitles() const
{
    return m_buttons.isEmpty() ? QStringList{QStringLiteral("OK")} : m_buttons;
}

int Alert::runModal() const
{
    const bool nobodyThere = inTest() || QGuiApplication::platformName() == QLatin1String("offscreen");
    if (std::optional<int> answer = respond(describe(*this, false, nullptr), nobodyThere))
        return *answer;
    std::unique_ptr<QMessageBox> box(makeBox(*this, nullptr));
    box->exec();
    return answerOf(box.get());
}

void Alert::beginSheetModalForWindow(QWidget* window, std::function<void(int)> completion) const
{
    QMessageBox* box = makeBox(*this, window);
    Sheet::Options options;
    options.deleteWhenEnded = true;
    options.answerFor = [](QDialog* dialog, int) { return answerOf(static_cast<QMessageBox*>(dialog)); };
    options.presented = [shown = describe(*this, true, window)](QDialog* dialog) {
        // Answered from the main queue, as a user would: after the code that began the sheet has returned.
        if (std::optional<int> answer = respond(shown, inTest()))
            MainQueue::post(dialog, [dialog, code = *answer] { Sheet::end(dialog, code); });
    };
    Sheet::begin(box, window, std::move(completion), std::move(options));
}

ScriptedResponder& ScriptedResponder::answerWith(int response)
{
    m_script.push_back([response](const ShownAlert&) { return std::optional<int>(response); });
    return *this;
}

ScriptedResponder& ScriptedResponder::answerWithButton(const QString& title)
{
    m_script.push_back([title](const ShownAlert& alert) -> std::optional<int> {
        const int index = alert.buttons.indexOf(title);
        if (index < 0) {
            qWarning("ScriptedResponder: alert \"%s\" has no button \"%s\"", qPrintable(alert.messageText), qPrintable(title));
            return Alert::ModalResponseAbort;
        }
        return Alert::FirstButtonReturn + index;
    });
    return *this;
}

ScriptedResponder& ScriptedResponder::showNext()
{
    m_script.push_back([](const ShownAlert&) { return std::optional<int>(); });
    return *this;
}

QStringList ScriptedResponder::messageTexts() const
{
    QStringList texts;
    for (const ShownAlert& alert : m_alerts)
        texts.append(alert.messageText);
    return texts;
}

std::optional<int> ScriptedResponder::answer(const ShownAlert& alert)
{
    m_alerts.append(alert);
    if (m_script.empty())
        return defaultAnswer;
    auto next = std::move(m_script.front());
    m_script.pop_front();
    return next(alert);
}

void ScriptedResponder::sheetPresented(QDialog* sheet, QWidget* window)
{
    if (m_sheetHandler)
        m_sheetHandler(sheet, window);
}
