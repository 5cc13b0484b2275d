#include "platform/Binding.h"

#include <QBuffer>
#include <QColor>
#include <QDateTime>
#include <QImage>
#include <QPixmap>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace {

// A number beyond what an integer property holds shows as the nearest one it can,
// never as its low bits.
int saturatedInt(const Value& value)
{
    constexpr int most = std::numeric_limits<int>::max();
    if (value.kind() == Value::Kind::UInt64)
        return value.unsignedLongLongValue() > quint64(most) ? most : int(value.unsignedLongLongValue());
    return int(std::clamp<qint64>(value.longLongValue(), std::numeric_limits<int>::min(), most));
}

QColor qColorFrom(const ArchivedColor& c, int depth = 0)
{
    const std::vector<double>& v = c.components;
    const auto at = [&v](std::size_t i, double otherwise = 1.0) { return i < v.size() ? v[i] : otherwise; };
    switch (c.colorSpace) {
    case 1:
    case 2:
        return QColor::fromRgbF(at(0, 0), at(1, 0), at(2, 0), at(3));
    case 3:
    case 4:
        return QColor::fromRgbF(at(0, 0), at(0, 0), at(0, 0), at(1));
    case 5:
        return QColor::fromCmykF(at(0, 0), at(1, 0), at(2, 0), at(3, 0), at(4));
    case 6:
        // A named colour shows as the colour it was archived with; one level is enough.
        return c.fallback && depth == 0 ? qColorFrom(*c.fallback, depth + 1) : QColor();
    default:
        if (v.size() >= 4)
            return QColor::fromRgbF(at(0), at(1), at(2), at(3));
        if (v.size() == 2)
            return QColor::fromRgbF(at(0), at(0), at(0), at(1));
        return QColor();
    }
}

QByteArray pngOf(const QImage& image)
{
    if (image.isNull())
        return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

Binding::Binding(QObject* target, QMetaProperty property, Observable* controller, const QString& keyPath,
                 ValueTransformerRef transformer)
    : QObject(target), m_target(target), m_property(property), m_controller(controller), m_keyPath(keyPath),
      m_transformer(std::move(transformer))
{
    connect(controller, &Observable::valueChangedForKeyPath, this, &Binding::controllerChanged);
    if (m_property.hasNotifySignal()) {
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("targetChanged()"));
        connect(target, m_property.notifySignal(), this, slot);
    }
}

Binding* Binding::bind(QObject* target, const QByteArray& property, Observable* controller, const QString& keyPath,
                       ValueTransformerRef transformer)
{
    if (!target || !controller || keyPath.isEmpty())
        return nullptr;
    const int index = target->metaObject()->indexOfProperty(property.constData());
    if (index < 0)
        return nullptr;
    const QMetaProperty meta = target->metaObject()->property(index);
    if (!meta.isWritable())
        return nullptr;
    auto* binding = new Binding(target, meta, controller, keyPath, std::move(transformer));
    binding->refresh();
    return binding;
}

void Binding::refresh()
{
    if (!m_target || !m_controller)
        return;
    Value value = m_controller->valueForKeyPath(m_keyPath);
    if (m_transformer)
        value = m_transformer->transformedValue(value);
    m_busy = true;
    m_property.write(m_target, toPropertyValue(value, m_property.metaType()));
    m_busy = false;
}

void Binding::controllerChanged(const QString& keyPath)
{
    if (!m_busy && Observable::keyPathAffects(keyPath, m_keyPath))
        refresh();
}

void Binding::targetChanged()
{
    if (m_busy || !m_target || !m_controller)
        return;
    Value value = fromPropertyValue(m_property.read(m_target));
    if (m_transformer) {
        value = m_transformer->allowsReverseTransformation() ? m_transformer->reverseTransformedValue(value) : Value();
        if (value.isNull()) {
            // No sound answer: the value stays, and the control shows it again.
            refresh();
            return;
        }
    }
    m_busy = true;
    const bool written = m_controller->setValueForKeyPath(value, m_keyPath);
    m_busy = false;
    if (!written)
        refresh();
}

QVariant Binding::toPropertyValue(const Value& value, QMetaType type)
{
    QVariant result;
    switch (type.id()) {
    case QMetaType::Bool:
        return value.boolValue();
    case QMetaType::Int:
        return saturatedInt(value);
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
        result = value.intValue();
        break;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
        result = value.unsignedIntValue();
        break;
    case QMetaType::Long:
    case QMetaType::LongLong:
        result = value.longLongValue();
        break;
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        result = value.unsignedLongLongValue();
        break;
    case QMetaType::Double:
        return value.doubleValue();
    case QMetaType::Float:
        return value.floatValue();
    case QMetaType::QString:
        return value.isString() || value.isNumber() ? value.stringValue() : QString();
    case QMetaType::QByteArray:
        return value.dataValue();
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDateTime().date();
    case QMetaType::QColor:
        return value.isColor() ? qColorFrom(*value.color()) : QColor();
    case QMetaType::QImage:
        return QImage::fromData(value.dataValue());
    case QMetaType::QPixmap: {
        QPixmap pixmap;
        pixmap.loadFromData(value.dataValue());
        return pixmap;
    }
    case QMetaType::QStringList: {
        QStringList list;
        if (const ArrayRef array = value.array())
            for (const Value& v : *array)
                list.append(v.stringValue());
        return list;
    }
    default:
        result = value.stringValue();
        break;
    }
    if (result.metaType() != type && !result.convert(type))
        return QVariant(type);
    return result;
}

Value Binding::fromPropertyValue(const QVariant& variant)
{
    switch (variant.typeId()) {
    case QMetaType::UnknownType:
        return {};
    case QMetaType::Bool:
        return Value::boolean(variant.toBool());
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return Value::int32(variant.toInt());
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return Value::int64(variant.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return Value::uint64(variant.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return Value::real(variant.toDouble());
    case QMetaType::QString:
        return Value::string(variant.toString());
    case QMetaType::QByteArray:
        return Value::data(variant.toByteArray());
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return Value::dateFromDateTime(variant.toDateTime());
    case QMetaType::QColor: {
        const QColor c = variant.value<QColor>().toRgb();
        return c.isValid() ? Value(ArchivedColor::rgb(c.redF(), c.greenF(), c.blueF(), c.alphaF())) : Value();
    }
    case QMetaType::QImage:
        return Value::data(pngOf(variant.value<QImage>()));
    case QMetaType::QPixmap:
        return Value::data(pngOf(variant.value<QPixmap>().toImage()));
    case QMetaType::QStringList: {
        ArrayRef array = Array::create();
        for (const QString& s : variant.toStringList())
            array->addObject(Value::string(s));
        return Value(array);
    }
    default:
        return variant.canConvert<QString>() ? Value::string(variant.toString()) : Value();
    }
}

bool Binding::bindTree(QObject* root, const QHash<QString, Observable*>& controllers, QString* errorMessage)
{
    if (!root)
        return false;
    QList<QObject*> objects{root};
    objects += root->findChildren<QObject*>();
    QStringList errors;
    static const QRegularExpression separators(QStringLiteral("[;\\n]"));
    for (QObject* object : objects) {
        const QVariant declaration = object->property(kDeclarationProperty);
        if (!declaration.isValid())
            continue;
        for (const QString& part : declaration.toString().split(separators, Qt::SkipEmptyParts)) {
            const QString clause = part.trimmed();
            if (clause.isEmpty())
                continue;
            const auto fail = [&](const QString& reason) {
                errors.append(QStringLiteral("%1: \"%2\": %3").arg(object->objectName(), clause, reason));
            };
            const qsizetype colon = clause.indexOf(u':');
            const qsizetype pipe = clause.indexOf(u'|');
            const QString property = clause.left(colon).trimmed();
            const QString source = clause.mid(colon + 1, pipe < 0 ? -1 : pipe - colon - 1).trimmed();
            const QString transformerName = pipe < 0 ? QString() : clause.mid(pipe + 1).trimmed();
            const qsizetype dot = source.indexOf(u'.');
            if (colon <= 0 || (pipe >= 0 && pipe < colon) || dot <= 0 || dot == source.size() - 1
                || (pipe >= 0 && transformerName.isEmpty())) {
                fail(QStringLiteral("expected <property>: <controller>.<key path> [| <transformer>]"));
                continue;
            }
            Observable* controller = controllers.value(source.left(dot));
            if (!controller) {
                fail(QStringLiteral("no controller named %1").arg(source.left(dot)));
                continue;
            }
            ValueTransformerRef transformer;
            if (!transformerName.isEmpty()) {
                transformer = ValueTransformer::valueTransformerForName(transformerName);
                if (!transformer) {
                    fail(QStringLiteral("no value transformer named %1").arg(transformerName));
                    continue;
                }
            }
            if (!bind(object, property.toUtf8(), controller, source.mid(dot + 1), transformer))
                fail(QStringLiteral("no writable property %1").arg(property));
        }
    }
    if (errorMessage)
        *errorMessage = errors.join(u'\n');
    return errors.isEmpty();
}
