#pragma once
#include "platform/Plaintext.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <openssl/types.h>

#include <memory>

// The cipher library calls behind both engines, kept apart so that they can be
// checked against published test vectors with raw keys and any round count.
// Status values are those of QvCommonCrypto (0 success).
namespace CryptoPrimitives {

// PBKDF2 with HMAC-SHA1. Empty result and a non-zero status on failure.
QByteArray pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int rounds, int keyLength, int* status);

// One AES-256 pass over the whole input. `key` holds 32 bytes; `iv` 16 bytes
// (unused in ECB mode). `options` is a mask of QvCommonCrypto::Option. Null
// result and a non-zero status on failure; no partial plaintext is left behind.
QByteArray aes256(QByteArrayView input, const unsigned char* key, const unsigned char* iv, bool decrypt,
                  int options, int* status);
// The same, encrypting in the input's own buffer when nothing else shares it:
// a large value is not held twice, and a plaintext encrypted so is gone, also
// from a block the buffer leaves when it grows. Decryption takes a copy.
QByteArray aes256(QByteArray&& input, const unsigned char* key, const unsigned char* iv, bool decrypt, int options,
                  int* status);

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* ctx) const;
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

enum class CipherStep { Done, UpdateFailed, FinalFailed };

// Runs an initialised context over the whole input, in one pass into one
// buffer. On failure `step` tells which step failed, and the result is null
// with the partial output cleansed.
QByteArray runCipher(EVP_CIPHER_CTX* ctx, QByteArrayView input, CipherStep* step);

// Overwriting plaintext buffers (see platform/Plaintext.h).
using Plaintext::cleanse;
using Plaintext::wipe;

} // namespace CryptoPrimitives
