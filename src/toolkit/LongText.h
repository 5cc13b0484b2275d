#pragma once
// Showing texts of any length at a bounded cost: widgets lay out what they are
// given in full, so a field of megabytes is shown by its beginning.

#include <QString>

namespace LongText {

// The ending of a text shown only in part.
inline constexpr QChar kEllipsis = QChar(0x2026);

// The text itself when it has at most `maxUnits` UTF-16 units and at most
// `maxLines` lines; otherwise its beginning within both bounds (never half a
// surrogate pair), followed by the ellipsis. Reads no further than the bounds.
QString head(const QString& text, qsizetype maxUnits, qsizetype maxLines = -1);

// Whether `head` with these bounds leaves something out.
bool isCut(const QString& text, qsizetype maxUnits, qsizetype maxLines = -1);

// The text with a zero-width space after every `longestRun` units of a run
// without blanks, so that a word-wrapping label can wrap it rather than grow
// as wide as the run. For showing a cut text only: a copy would hold them.
QString wrappable(const QString& text, qsizetype longestRun);

} // namespace LongText
