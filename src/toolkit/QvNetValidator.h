#pragma once
#include <QString>

// Address predicates. Each cuts spaces (U+0020) from both ends of its input and
// tests the whole remaining text, case-sensitively.
class QvNetValidator
{
public:
    // A single e-mail address: local part, "@", host with a final label of
    // letters.
    static bool isValidEmail(const QString& text);
    // A comma-separated list of e-mail addresses; empty pieces are skipped,
    // so an empty text passes.
    static bool isValidEmailAlsoMultiple(const QString& text);
    // A host name of letter-digit labels (inner hyphens allowed) ending in a
    // label of letters.
    static bool isValidDomain(const QString& text);
    // Four dot-separated groups of two or more digits (no range test).
    static bool isNumericDomain(const QString& text);
};
