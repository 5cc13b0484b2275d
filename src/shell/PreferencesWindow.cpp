#include "shell/PreferencesWindow.h"

#include "shell/MyAppDelegate.h"
#include "shell/QvPrefToolbarDelegate.h"
#include "shell/ShellResources.h"
#include "ui_PreferencesWindow.h"

#include "platform/Binding.h"
#include "platform/Defaults.h"

#include <QShortcut>
#include <QTabBar>

PreferencesWindow::PreferencesWindow(MyAppDelegate* delegate, QWidget* parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::PreferencesWindow>())
{
    ShellResources::load();
    m_ui->setupUi(this);
    setWindowIcon(ShellResources::applicationIcon());
    // Each panel has its own size (the toolbar delegate sets it): the window cannot be maximised.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    m_ui->myTabView->tabBar()->hide();
    // The toolbar picks the panels; the hidden tab bar, as the tab view's focus, would stop Tab going round.
    m_ui->myTabView->setFocusPolicy(Qt::NoFocus);
    m_ui->myTabView->tabBar()->setFocusPolicy(Qt::NoFocus);

    QString errors;
    if (!Binding::bindTree(this, {{QStringLiteral("defaults"), &Defaults::standardUserDefaults()},
                                  {QStringLiteral("delegate"), delegate}},
                           &errors))
        qWarning("preferences window: %s", qPrintable(errors));

    if (delegate) {
        delegate->setPrefWindow(this);
        delegate->setMyFontPopup(m_ui->myFontPopup);
        QPointer<MyAppDelegate> target(delegate);
        auto command = [this, target](QPushButton* button, void (QvAppDelegateBase::*member)()) {
            connect(button, &QPushButton::clicked, this, [target, member] {
                if (target)
                    (target.data()->*member)();
            });
        };
        command(m_ui->selectStartupDocButton, &QvAppDelegateBase::selectStartupDoc);
        command(m_ui->clearStartupDocButton, &QvAppDelegateBase::clearStartupSelectedDoc);
        command(m_ui->showStartupDocButton, &QvAppDelegateBase::showInFinderStartupDoc);
        command(m_ui->testStartupDocButton, &QvAppDelegateBase::testOpenStartupDoc);
        command(m_ui->checkNowButton, &QvAppDelegateBase::checkForLastReleaseAvailable);
    }

    // Closed from the keyboard as other settings windows are.
    for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);

    m_toolbarDelegate = new MyPrefToolbarDelegate(this);
    m_toolbarDelegate->setMyTabView(m_ui->myTabView);
    m_toolbarDelegate->setMyWindow(this);
    m_toolbarDelegate->awakeFromNib();
}

PreferencesWindow::~PreferencesWindow() = default;
