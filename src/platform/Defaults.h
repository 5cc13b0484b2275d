#pragma once
// The user defaults: values registered at start-up, held in memory and never
// written, under the values the user chose, kept in the settings file of the
// application (organisation and application name of QCoreApplication).
//
// It also stands in for the shared defaults controller of the interface files:
// bindings observe it with key paths "values.<key>", and its initial values are
// the registered defaults.
//
// Every kind of value is stored so that it reads back as the same kind: a
// string as plain text, anything else as a small tagged text, so that a
// dictionary, an array, a date, 32- and 64-bit integers or a colour keep their
// kind. Main thread only.

#include "platform/Observable.h"
#include "platform/Value.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

class Defaults : public Observable {
    Q_OBJECT
public:
    // The application's settings file.
    explicit Defaults(QObject* parent = nullptr);
    // A settings file of its own (INI format), for tests and tools.
    explicit Defaults(const QString& settingsFile, QObject* parent = nullptr);
    ~Defaults() override;

    // The process-wide instance on the application's settings file, made on
    // first use once the application has its names.
    static Defaults& standardUserDefaults();

    // Adds to (or replaces in) the registered values; they are never written.
    void registerDefaults(const DictionaryRef& defaults);
    DictionaryRef registeredDefaults() const; // a copy

    // The user's value, else the registered one, else absent.
    Value objectForKey(const QString& key) const;
    // A string, or a number's description; a null string for anything else.
    QString stringForKey(const QString& key) const;
    qint64 integerForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    double doubleForKey(const QString& key) const;
    float floatForKey(const QString& key) const;
    // Byte strings only; a null array for anything else.
    QByteArray dataForKey(const QString& key) const;

    // Stores the user's value and writes the file at once; the absent value
    // removes it. False, with nothing changed, when the value cannot be stored
    // (too deep or cyclic, an empty key) or the file cannot be written.
    bool setObject(const Value& value, const QString& key);
    bool removeObjectForKey(const QString& key);
    // Whether the user has a value of their own for the key.
    bool hasUserValueForKey(const QString& key) const;

    // "values.<key>" and deeper paths into that value.
    Value valueForKeyPath(const QString& keyPath) const override;
    // Writes "values.<key>" only.
    bool setValueForKeyPath(const Value& value, const QString& keyPath) override;

signals:
    // The value that objectForKey answers for the key has changed; a key path
    // "values.<key>" is announced with it.
    void valueChangedForKey(const QString& key);

private:
    Value userValue(const QString& key) const;
    void announceIfChanged(const QString& key, const Value& before);
    void openSettings();
    // Writes the file; on failure puts the key's previous value back.
    bool syncOrRestore(const QString& key, const QVariant& previous);
    void reopenAfterFailure();

    QString m_settingsFile; // empty: the application's
    std::unique_ptr<QSettings> m_settings;
    DictionaryRef m_registered;
    bool m_reopenBeforeWriting = false;
};
