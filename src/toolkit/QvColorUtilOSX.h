#pragma once
// Category colours are stored as plain dictionaries of four numbers ("r", "g",
// "b", "a", calibrated RGB, 0 to 1), never as colour objects.
//
// Colours are held as QvColor, four doubles, so that a stored value comes back
// unchanged: QColor keeps 16 bits a channel and would alter what is written.
// Convert to QColor only to paint.
//
// Mapping of the framework names: `NSColorFromDict:` is NSColorFromDict(dict),
// `dictFromNSColor:` is dictFromNSColor(color). Calibrated and device RGB are
// taken as the same space here.

#include "platform/Value.h"

#include <QColor>

#include <optional>

struct QvColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    bool operator==(const QvColor&) const = default;

    // For painting: each channel clamped to 0..1 (NaN as 0), so a damaged
    // document cannot produce an invalid QColor.
    QColor toQColor() const;
    static QvColor fromQColor(const QColor& color);
    // As a colour value of the value model (calibrated RGB).
    Value toValue() const;
};

class QvColorUtilOSX {
public:
    // The colour of a ColorDictionary. Each key is read as a single-precision
    // number and widened; a missing key, or a value that is no dictionary,
    // reads as 0.
    static QvColor NSColorFromDict(const Value& dict);

    // A new mutable ColorDictionary holding the four components as doubles,
    // exactly.
    static DictionaryRef dictFromNSColor(const QvColor& color);
    // The same for a colour as an archive stores it; null when the colour has
    // no RGB form (a named colour archived without the colour it stands for).
    static DictionaryRef dictFromNSColor(const ArchivedColor& color);
    // The same for a colour value; null for any other kind of value.
    static DictionaryRef dictFromNSColor(const Value& color);

    // An archived colour in calibrated RGB: white gives three equal
    // components, CMYK is converted the simple subtractive way, a named colour
    // gives the colour archived with it. Empty when there is no RGB form.
    static std::optional<QvColor> calibratedColor(const ArchivedColor& color);
};
