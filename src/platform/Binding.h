#pragma once
// A property of a widget (or any object) bound to a key path of an observable
// object: the property follows every change of the value, and an edit of the
// property is written back, both ways through an optional value transformer.
//
// A write is refused, and the property shown again from the value, when the
// transformer does not reverse or its reverse has no sound answer (absent).
//
// Interface files declare bindings as the dynamic string property "binding":
//
//     <property>: <controller>.<key path> [| <transformer>] [; ...]
//
// for example "value: defaults.values.tableFontSize | heightAmplifier" or
// "checked: document.selectedView | valueIs1; enabled: records.canRemove".
// The transformer is looked up by registered name, then by class name.
// `bindTree` creates them against the controllers it is given by name.

#include "platform/Observable.h"
#include "platform/ValueTransformer.h"

#include <QByteArray>
#include <QHash>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class Binding : public QObject {
    Q_OBJECT
public:
    // The name of the dynamic property that declares bindings.
    static constexpr const char* kDeclarationProperty = "binding";

    // Binds `property` of `target` and shows the current value at once. The
    // binding belongs to the target. Null when the target has no such property
    // or an object is missing.
    static Binding* bind(QObject* target, const QByteArray& property, Observable* controller, const QString& keyPath,
                         ValueTransformerRef transformer = nullptr);

    // Creates every binding declared on `root` and its descendants. False
    // when a declaration could not be followed (malformed, unknown controller,
    // property or transformer); the others are made all the same, and
    // `errorMessage` receives one line for each failure.
    static bool bindTree(QObject* root, const QHash<QString, Observable*>& controllers, QString* errorMessage = nullptr);

    QObject* target() const { return m_target; }
    QByteArray propertyName() const { return m_property.name(); }
    Observable* controller() const { return m_controller; }
    QString keyPath() const { return m_keyPath; }
    ValueTransformerRef transformer() const { return m_transformer; }

    // Shows the current value in the property.
    void refresh();

    // The conversions between values and property values, by the property's type.
    static QVariant toPropertyValue(const Value& value, QMetaType type);
    static Value fromPropertyValue(const QVariant& variant);

private slots:
    void controllerChanged(const QString& keyPath);
    void targetChanged();

private:
    Binding(QObject* target, QMetaProperty property, Observable* controller, const QString& keyPath,
            ValueTransformerRef transformer);

    QPointer<QObject> m_target;
    QMetaProperty m_property;
    QPointer<Observable> m_controller;
    QString m_keyPath;
    ValueTransformerRef m_transformer;
    // Set while this binding moves a value itself, so that the echo of its own
    // change is not taken for an edit or a new value.
    bool m_busy = false;
};
