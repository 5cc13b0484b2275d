#include "toolkit/QvColorUtilOSX.h"

#include <algorithm>
#include <cmath>

namespace {

double channel(double v)
{
    return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
}

double readComponent(const Value& dict, const char* key)
{
    return double(dict.valueForKey(QString::fromLatin1(key)).floatValue());
}

// Archived colour spaces (see ArchivedColor).
enum Space { CalibratedRGB = 1, DeviceRGB, CalibratedWhite, DeviceWhite, DeviceCMYK, Named, ComponentBased };

QvColor fromWhite(double w, double a)
{
    return {w, w, w, a};
}

QvColor fromCMYK(double c, double m, double y, double k, double a)
{
    return {1.0 - std::min(1.0, c + k), 1.0 - std::min(1.0, m + k), 1.0 - std::min(1.0, y + k), a};
}

// A named colour may stand for another named colour; a few levels are plenty,
// and the bound keeps a hostile archive from recursing without end.
constexpr int maxNamedDepth = 4;

std::optional<QvColor> calibrated(const ArchivedColor& color, int depth)
{
    const std::vector<double>& v = color.components;
    switch (color.colorSpace) {
    case CalibratedRGB:
    case DeviceRGB:
        if (v.size() < 4)
            return std::nullopt;
        return QvColor{v[0], v[1], v[2], v[3]};
    case CalibratedWhite:
    case DeviceWhite:
        if (v.size() < 2)
            return std::nullopt;
        return fromWhite(v[0], v[1]);
    case DeviceCMYK:
        if (v.size() < 5)
            return std::nullopt;
        return fromCMYK(v[0], v[1], v[2], v[3], v[4]);
    case Named:
        if (!color.fallback || depth >= maxNamedDepth)
            return std::nullopt;
        return calibrated(*color.fallback, depth + 1);
    case ComponentBased:
        // The components of its own space, alpha last: told apart by count.
        switch (v.size()) {
        case 2:
            return fromWhite(v[0], v[1]);
        case 4:
            return QvColor{v[0], v[1], v[2], v[3]};
        case 5:
            return fromCMYK(v[0], v[1], v[2], v[3], v[4]);
        default:
            return std::nullopt;
        }
    default:
        return std::nullopt;
    }
}

} // namespace

QColor QvColor::toQColor() const
{
    return QColor::fromRgbF(float(channel(red)), float(channel(green)), float(channel(blue)), float(channel(alpha)));
}

QvColor QvColor::fromQColor(const QColor& color)
{
    const QColor rgb = color.toRgb();
    return {rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

Value QvColor::toValue() const
{
    return Value(ArchivedColor::rgb(red, green, blue, alpha, CalibratedRGB));
}

QvColor QvColorUtilOSX::NSColorFromDict(const Value& dict)
{
    return {readComponent(dict, "r"), readComponent(dict, "g"), readComponent(dict, "b"), readComponent(dict, "a")};
}

DictionaryRef QvColorUtilOSX::dictFromNSColor(const QvColor& color)
{
    return Dictionary::create({
        {QStringLiteral("r"), Value::real(color.red)},
        {QStringLiteral("g"), Value::real(color.green)},
        {QStringLiteral("b"), Value::real(color.blue)},
        {QStringLiteral("a"), Value::real(color.alpha)},
    });
}

DictionaryRef QvColorUtilOSX::dictFromNSColor(const ArchivedColor& color)
{
    const std::optional<QvColor> rgb = calibratedColor(color);
    return rgb ? dictFromNSColor(*rgb) : nullptr;
}

DictionaryRef QvColorUtilOSX::dictFromNSColor(const Value& color)
{
    const ColorRef archived = color.color();
    return archived ? dictFromNSColor(*archived) : nullptr;
}

std::optional<QvColor> QvColorUtilOSX::calibratedColor(const ArchivedColor& color)
{
    return calibrated(color, 0);
}
