#include "shell/QvAboutBoxController.h"

#include "shell/QvAppDelegateBase.h"
#include "shell/ShellResources.h"
#include "ui_AboutBox.h"

#include "platform/Binding.h"
#include "platform/BuildConfig.h"
#include "platform/WindowSize.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace {
QPointer<QvAboutBoxController>& shared()
{
    static QPointer<QvAboutBoxController> controller;
    return controller;
}

class AboutBoxWindow : public QDialog {
public:
    AboutBoxWindow()
    {
        ui.setupUi(this);
        setWindowIcon(ShellResources::applicationIcon());
        ui.appIcon->setPixmap(ShellResources::applicationIcon().pixmap(96, 96));
        WindowSize::fitToLayout(this);
    }
    Ui::AboutBox ui;
};
} // namespace

QvAboutBoxController* QvAboutBoxController::sharedAboutBoxController()
{
    if (!shared())
        shared() = new QvAboutBoxController;
    return shared();
}

QvAboutBoxController::QvAboutBoxController()
    : Observable(QCoreApplication::instance()),
      m_appStantment(QStringLiteral("Store your contacts secure and encrypted")),
      m_copyrightNote(QStringLiteral("Copyright © Korvane Software - Zundel. All rights reserved."))
{
}

QvAboutBoxController::~QvAboutBoxController()
{
    delete m_aboutBox;
}

QString QvAboutBoxController::appName() const
{
    QvAppDelegateBase* delegate = QvAppDelegateBase::applicationDelegate();
    return delegate ? delegate->appName() : QString();
}

QString QvAboutBoxController::vendorName() const
{
    QvAppDelegateBase* delegate = QvAppDelegateBase::applicationDelegate();
    return delegate ? delegate->vendorName() : QString();
}

QString QvAboutBoxController::releaseString() const
{
    QvAppDelegateBase* delegate = QvAppDelegateBase::applicationDelegate();
    return delegate ? delegate->releaseString() : QString();
}

QString QvAboutBoxController::buildString() const
{
    return QStringLiteral(CALVORIN_BUILD_VERSION);
}

Value QvAboutBoxController::valueForKeyPath(const QString& keyPath) const
{
    if (keyPath == QLatin1String("appName"))
        return Value::string(appName());
    if (keyPath == QLatin1String("vendorName"))
        return Value::string(vendorName());
    if (keyPath == QLatin1String("releaseString"))
        return Value::string(releaseString());
    if (keyPath == QLatin1String("buildString"))
        return Value::string(buildString());
    if (keyPath == QLatin1String("appStantment"))
        return Value::string(m_appStantment);
    if (keyPath == QLatin1String("copyrightNote"))
        return Value::string(m_copyrightNote);
    if (keyPath == QLatin1String("hasUserGuide"))
        return Value::boolean(m_hasUserGuide);
    return {};
}

bool QvAboutBoxController::loadMyNibFile()
{
    auto* window = new AboutBoxWindow;
    QString errors;
    if (!Binding::bindTree(window, {{QStringLiteral("about"), this}}, &errors)) {
        qWarning("About window: %s", qPrintable(errors));
        delete window;
        return false;
    }
    QObject::connect(window->ui.userGuideButton, &QPushButton::clicked, window, [] {
        if (QvAppDelegateBase* delegate = QvAppDelegateBase::applicationDelegate())
            delegate->openUserGuide();
    });
    QObject::connect(window->ui.closeButton, &QPushButton::clicked, window, &QDialog::close);
    m_aboutBox = window;
    m_topLevelObjects = {window};
    ++m_loadCount;
    return true;
}

void QvAboutBoxController::openAboutBox()
{
    if (!m_aboutBox && !loadMyNibFile())
        return;
    QWidget* window = m_aboutBox;
    if (!window->isVisible()) {
        window->adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = window->frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            window->move(frame.topLeft());
        }
        window->setWindowTitle(QStringLiteral("About %1").arg(QStringLiteral("Calvorin")));
    }
    window->show();
    window->raise();
    window->activateWindow();
}
