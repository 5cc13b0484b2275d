#pragma once
#include "platform/Seam.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <deque>
#include <functional>
#include <optional>

class QDialog;

// A message to the user with up to three buttons, run modally or as a sheet on
// a window. The buttons answer 1000, 1001, 1002 in the order they were added;
// an alert without buttons gets one "OK" button.
//
//   [[NSAlert alloc] init]                           ->  Alert alert;
//   messageText / informativeText / alertStyle       ->  the accessors of the same names
//   -addButtonWithTitle:                             ->  addButtonWithTitle(title)
//   -runModal                                        ->  runModal()
//   -beginSheetModalForWindow:completionHandler:     ->  beginSheetModalForWindow(window, completion)
//   NSAlertFirstButtonReturn ...                     ->  Alert::FirstButtonReturn ...
//   NSModalResponseOK / Cancel / Stop / Abort        ->  Alert::ModalResponseOK / Cancel / Stop / Abort
//
// A sheet that the program ends (Sheet::endAll) answers ModalResponseAbort,
// which no button ever answers.
class Alert {
public:
    enum Style { WarningStyle, InformationalStyle, CriticalStyle };

    static constexpr int FirstButtonReturn = 1000;
    static constexpr int SecondButtonReturn = 1001;
    static constexpr int ThirdButtonReturn = 1002;
    static constexpr int ModalResponseOK = 1;
    static constexpr int ModalResponseCancel = 0;
    static constexpr int ModalResponseStop = -1000;
    static constexpr int ModalResponseAbort = -1001;

    Alert() = default;
    Alert(QString messageText, QString informativeText, QStringList buttons, Style style = WarningStyle);

    QString messageText() const { return m_messageText; }
    void setMessageText(const QString& text) { m_messageText = text; }
    QString informativeText() const { return m_informativeText; }
    void setInformativeText(const QString& text) { m_informativeText = text; }
    Style alertStyle() const { return m_style; }
    void setAlertStyle(Style style) { m_style = style; }
    void addButtonWithTitle(const QString& title) { m_buttons.append(title); }
    // The titles of the buttons in answer order ("OK" when none was added).
    QStringList buttonTitles() const;

    // Runs the alert in its own modal loop and returns the answer.
    int runModal() const;
    // Shows the alert as a sheet on window (application-modal when window is
    // null) and returns at once; completion gets the answer when it ends.
    void beginSheetModalForWindow(QWidget* window, std::function<void(int response)> completion) const;

private:
    QString m_messageText;
    QString m_informativeText;
    QStringList m_buttons;
    Style m_style = WarningStyle;
};

// What a responder is told of an alert.
struct ShownAlert {
    QString messageText;
    QString informativeText;
    QStringList buttons;
    Alert::Style style = Alert::WarningStyle;
    bool asSheet = false;
    QPointer<QWidget> window;
};

// Answers alerts and sheets in place of the user. Tests install one; with none
// installed in a test (QStandardPaths test mode), an alert answers
// ModalResponseAbort with a warning instead of waiting for a user who is not
// there, and so does a modal alert on the offscreen platform.
class AlertResponder {
public:
    virtual ~AlertResponder() = default;
    // The answer to an alert (a button's code, or a cancel code); nullopt
    // shows it as usual for someone to answer.
    virtual std::optional<int> answer(const ShownAlert& alert) = 0;
    // A sheet that is not an alert has come up on window: the responder may
    // fill it in and end it (Sheet::end), now or later.
    virtual void sheetPresented(QDialog* sheet, QWidget* window) {}
};

// For tests: answers alerts from a script, in order, and records every alert.
// Alerts beyond the script answer defaultAnswer.
class ScriptedResponder : public AlertResponder {
public:
    ScriptedResponder() : m_install(this) {}

    // Scripts the answer of the next unscripted alert.
    ScriptedResponder& answerWith(int response);
    ScriptedResponder& answerWithButton(const QString& title);
    // The next alert is shown for the test to answer through its buttons.
    ScriptedResponder& showNext();
    // Called for every sheet that is not an alert.
    void setSheetHandler(std::function<void(QDialog*, QWidget*)> handler) { m_sheetHandler = std::move(handler); }

    const QList<ShownAlert>& alerts() const { return m_alerts; }
    QStringList messageTexts() const;
    int scriptLeft() const { return static_cast<int>(m_script.size()); }

    int defaultAnswer = Alert::ModalResponseAbort;

    std::optional<int> answer(const ShownAlert& alert) override;
    void sheetPresented(QDialog* sheet, QWidget* window) override;

private:
    std::deque<std::function<std::optional<int>(const ShownAlert&)>> m_script;
    std::function<void(QDialog*, QWidget*)> m_sheetHandler;
    QList<ShownAlert> m_alerts;
    ScopedSeam<AlertResponder> m_install;
};
