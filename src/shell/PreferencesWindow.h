#pragma once
// The preferences window: a toolbar of four panels over a tab widget whose
// tab bar is hidden, its controls bound to the user defaults and to the
// application's delegate.
#include <QMainWindow>
#include <memory>

class MyAppDelegate;
class MyPrefToolbarDelegate;
namespace Ui {
class PreferencesWindow;
}

class PreferencesWindow : public QMainWindow {
    Q_OBJECT
public:
    // Connects itself as the delegate's preferences window and font pop-up.
    explicit PreferencesWindow(MyAppDelegate* delegate, QWidget* parent = nullptr);
    ~PreferencesWindow() override;

    Ui::PreferencesWindow& ui() { return *m_ui; }
    MyPrefToolbarDelegate* toolbarDelegate() const { return m_toolbarDelegate; }

private:
    std::unique_ptr<Ui::PreferencesWindow> m_ui;
    MyPrefToolbarDelegate* m_toolbarDelegate = nullptr;
};
