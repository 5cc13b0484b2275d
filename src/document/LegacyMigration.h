#pragma once
// Documents of versions 1000 to 30000: every field of every record, category and
// caption is encrypted on its own with the Blowfish engine, keyed by the typed
// password. Migration decrypts them and rebuilds the current shapes:
//
//   1000        records and categories; creation date "now", default captions;
//               categories numbered 1, 2, 3 ... in grey with white text
//   1100        as 1000, plus a creation-date text ("yyyy-MM-dd HH:mm:ss zzz") and
//               17 captions; the caption flags are reset
//   2000-30000  as 1100 (date pattern with "hh"), plus each record's category
//               identifier and each category's archived colours and identifier
//
// Records of 1000 and 1100 go to the category whose name equals their old
// "category" text, else to the first. There is no password check in these
// versions: a wrong password shows as a field whose padding does not check out
// (code 2), and so does an integer whose plaintext is not 4 or 8 bytes long or a
// colour that does not decode, so that no garbage is installed. An absent colour
// takes the colours of a new category.

#include "document/DocumentUnlock.h"

#include <QDateTime>
#include <QString>

#include <optional>

class LegacyMigration {
public:
    // Fills `out` (records, categories, captions, creation date; no engine) and
    // answers 0, or the first non-zero Blowfish code with `out` untouched. The
    // records and categories are not yet linked; the controllers' adjustments of
    // `hooks` have been applied.
    static int migrate(const StoredDocument& stored, const QString& password, const DictionaryRef& currentLabels,
                       const UnlockHooks& hooks, UnlockedContent& out);

    // An old creation-date text: "yyyy-MM-dd HH:mm:ss zzz" (the 12-hour "hh" of
    // later versions was written without an AM/PM field, so both take hours 00 to
    // 23). The zone is "GMT" or "UTC" with an optional offset ("GMT+01:00",
    // "GMT-5"), a bare offset ("+0100"), a common abbreviation ("CET", "PST") or a
    // zone name ("Europe/Rome"). Empty when the text does not match.
    static std::optional<QDateTime> parseOldDate(const QString& text);

    // The caption keys of an old document, in the order they are decrypted.
    static const QStringList& captionKeys();
};
