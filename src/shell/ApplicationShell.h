#pragma once
// What the application is made of once its object exists: the delegate, the
// preferences window, the application's commands in every document window,
// the launch steps in their order, and the end of a process that a start-up
// step has left without any window.
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class DocumentController;
class MyAppDelegate;
class PreferencesWindow;

class ApplicationShell : public QObject {
    Q_OBJECT
public:
    explicit ApplicationShell(DocumentController& controller, QObject* parent = nullptr);
    ~ApplicationShell() override;

    MyAppDelegate& delegate() const { return *m_delegate; }
    PreferencesWindow& preferencesWindow() const { return *m_preferences; }

    // The launch: will finish; the documents named (paths or file: addresses),
    // or an untitled one when the delegate says so; did finish.
    void launch(const QStringList& files);

    // How the application ends; QCoreApplication::quit unless replaced.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void checkForNoWindowSoon();
    void endIfNoWindowLeft();

    DocumentController& m_controller;
    std::unique_ptr<MyAppDelegate> m_delegate;
    std::unique_ptr<PreferencesWindow> m_preferences;
    std::function<void()> m_quit;
    bool m_checkPending = false;
};
