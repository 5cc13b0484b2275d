#pragma once
// The About window's controller: one for the process, made on first use. It
// loads the window once and offers its bindings (key paths of the same names)
// the product name, vendor line, release, build, statement and copyright.
//
//   +sharedAboutBoxController  ->  sharedAboutBoxController(): belongs to the
//                                  application object and goes with it
//   openAboutBox:              ->  openAboutBox()
#include "platform/Observable.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QvAboutBoxController : public Observable {
    Q_OBJECT
public:
    static QvAboutBoxController* sharedAboutBoxController();
    ~QvAboutBoxController() override;

    QWidget* AboutBox() const { return m_aboutBox; }
    QList<QObject*> topLevelObjectsOfNib() const { return m_topLevelObjects; }
    QString appStantment() const { return m_appStantment; }
    QString copyrightNote() const { return m_copyrightNote; }
    bool hasUserGuide() const { return m_hasUserGuide; }
    // Read through the application's delegate.
    QString appName() const;
    QString vendorName() const;
    QString releaseString() const;
    QString buildString() const;

    void openAboutBox();
    bool loadMyNibFile();
    // How many times the window was loaded.
    int loadCount() const { return m_loadCount; }

    Value valueForKeyPath(const QString& keyPath) const override;
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override { return false; }

private:
    QvAboutBoxController();

    QPointer<QWidget> m_aboutBox;
    QList<QObject*> m_topLevelObjects;
    QString m_appStantment;
    QString m_copyrightNote;
    bool m_hasUserGuide = true;
    int m_loadCount = 0;
};
