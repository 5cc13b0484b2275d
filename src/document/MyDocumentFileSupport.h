#pragma once
// What the document's file, unlock and lock members share: the content as the
// file stores it, encrypting it into the document's fields, and the window's
// frame in the file's coordinates. Internal to MyDocument's own files.

#include "document/DocumentFile.h"

#include <QString>

#include <memory>

class MyDocument;
class QvCommonCrypto;

namespace MyDocumentFileSupport {

DocumentContent content(const MyDocument& document);

// Takes over encrypted values with the engine they were made with, and the
// document version they have.
void install(MyDocument& document, const EncryptedValues& values, std::unique_ptr<QvCommonCrypto> engine);

// Encrypts the content with the document password and, only when every value
// was encrypted, installs the values, the salt, the vector, the password check
// and the engine, and sets the document version to 30600. Answers 0 or the
// failure status, with the reason in `error`.
int encryptInto(MyDocument& document, DocumentFile::SaltAndVector mode, QString* error);

// The values of a current file that the document holds.
EncryptedValues storedValues(const MyDocument& document);

// The document window's frame with a bottom-left origin; all zero without a window.
StoredFrame windowFrame(const MyDocument& document);
// Whether the window's toolbar is shown (not hidden on purpose).
bool toolbarShown(const MyDocument& document);

} // namespace MyDocumentFileSupport
