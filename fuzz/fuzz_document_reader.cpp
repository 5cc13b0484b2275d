// Feeds arbitrary bytes to the document reader, and what it accepts to the
// migration of old documents and the window-frame conversions.
#include "document/DocumentFile.h"
#include "document/DocumentUnlock.h"
#include "document/DocumentWindowFrame.h"
#include "document/LegacyMigration.h"
#include "toolkit/QvColorUtilOSX.h"

#include <cstddef>
#include <cstdint>

namespace {

UnlockHooks hooks()
{
    UnlockHooks h;
    h.newCategory = [] { return Dictionary::create({{QStringLiteral("cat_category"), Value("Generic")}}); };
    h.adjustCategories = [](const ArrayRef& categories) {
        for (const Value& value : *categories) {
            const DictionaryRef category = value.dictionary();
            for (const char* key : {"cat_backColor", "cat_textColor"}) {
                const Value color = category->objectForKey(QLatin1String(key));
                if (color.isColor())
                    category->setObject(Value(QvColorUtilOSX::dictFromNSColor(color)), QLatin1String(key));
            }
        }
    };
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    StoredDocument stored;
    QString error;
    if (DocumentFile::read(bytes, stored, &error) != DocumentFile::ReadResult::Read)
        return 0;

    if (stored.windowState) {
        const QRect frame = DocumentWindowFrame::toScreen(stored.windowState->frame, QRect(0, 0, 1920, 1080));
        DocumentWindowFrame::keepOnScreen(frame, {QRect(0, 0, 1920, 1080)}, QSize(450, 300));
    }
    if (stored.isLegacy()) {
        // The passwords of the seed documents, so that their fields decrypt.
        for (const char* password : {"oldbook1", "a-very-long-passphrase-1100", "Kätzchen-2005", "blowfish30000"}) {
            UnlockedContent out;
            if (DocumentUnlock::decrypt(stored, QString::fromUtf8(password), Dictionary::create(), hooks(), out) == 0)
                break;
        }
    }
    // Written again as a locked document would be.
    QByteArray again;
    DocumentFile::archiveRoot(stored.encrypted, {}, again);
    return 0;
}
