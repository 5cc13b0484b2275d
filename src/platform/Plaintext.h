#pragma once
// Overwriting buffers that held contacts or passwords in clear before they are
// let go, so that the heap keeps no copy of them.

#include <QByteArray>
#include <QString>

namespace Plaintext {

// Overwrites the contents with zeros in place, unless another holder still
// shares them (then they are not ours to change).
void cleanse(QByteArray& bytes);
void cleanse(QString& text);
// Cleanses, then lets the buffer go.
void wipe(QByteArray& bytes);
void wipe(QString& text);

} // namespace Plaintext
