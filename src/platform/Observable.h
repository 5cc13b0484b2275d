#pragma once
// An object whose values bindings read and write by key path: the defaults
// now, controllers and documents later. Each change is announced with the key
// path whose value changed, so a binding refreshes only when its own path is
// touched.

#include "platform/Value.h"

#include <QObject>
#include <QString>

class Observable : public QObject {
    Q_OBJECT
public:
    explicit Observable(QObject* parent = nullptr);
    ~Observable() override;

    virtual Value valueForKeyPath(const QString& keyPath) const = 0;
    // False when the path cannot be written; nothing changes then.
    virtual bool setValueForKeyPath(const Value& value, const QString& keyPath) = 0;

    // Whether a change announced for `changed` can alter what `observed` reads:
    // the same path, a path on the way to it, or one further down from it.
    static bool keyPathAffects(const QString& changed, const QString& observed);

signals:
    void valueChangedForKeyPath(const QString& keyPath);
};
