#include "encryption/CryptoPrimitives.h"

#include "encryption/QvCommonCrypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <QScopeGuard>

#include <climits>
#include <cstring>

namespace {
constexpr int kAesBlock = 16;

void setStatus(int* status, int value)
{
    if (status)
        *status = value;
}
} // namespace

namespace CryptoPrimitives {

void CipherContextFree::operator()(EVP_CIPHER_CTX* ctx) const
{
    EVP_CIPHER_CTX_free(ctx);
}

namespace {
// Runs the context over `size` bytes at `in` into `output`, which has room for
// them and a block of padding and lies apart from them.
QByteArray runCipherInto(EVP_CIPHER_CTX* ctx, QByteArray output, const char* in, qsizetype size, CipherStep* step)
{
    auto* out = reinterpret_cast<unsigned char*>(output.data());
    int updated = 0;
    int finished = 0;
    *step = CipherStep::UpdateFailed;
    if (EVP_CipherUpdate(ctx, out, &updated, reinterpret_cast<const unsigned char*>(in), static_cast<int>(size)) == 1) {
        *step = CipherStep::FinalFailed;
        if (EVP_CipherFinal_ex(ctx, out + updated, &finished) == 1)
            *step = CipherStep::Done;
    }
    if (*step != CipherStep::Done) {
        wipe(output);
        return {};
    }
    output.truncate(updated + finished);
    return output;
}

// Encrypts the buffer's contents over themselves. The whole blocks are
// encrypted where they are first; the part of a block left is taken out
// before the buffer grows for the padding, so that a buffer the growth moves
// leaves no plaintext behind in the block it gives back.
QByteArray encryptInPlace(EVP_CIPHER_CTX* ctx, QByteArray buffer, CipherStep* step)
{
    const qsizetype size = buffer.size();
    const qsizetype whole = size - size % kAesBlock;
    const int tailSize = static_cast<int>(size - whole);
    unsigned char tail[kAesBlock];
    const auto wipeTail = qScopeGuard([&tail] { explicit_bzero(tail, sizeof tail); });
    auto* out = reinterpret_cast<unsigned char*>(buffer.data());
    int updated = 0;
    int more = 0;
    int finished = 0;
    *step = CipherStep::UpdateFailed;
    if (whole == 0 || EVP_CipherUpdate(ctx, out, &updated, out, static_cast<int>(whole)) == 1) {
        std::memcpy(tail, out + whole, std::size_t(tailSize));
        explicit_bzero(out + whole, std::size_t(tailSize));
        buffer.resize(size + EVP_MAX_BLOCK_LENGTH);
        out = reinterpret_cast<unsigned char*>(buffer.data());
        if (EVP_CipherUpdate(ctx, out + updated, &more, tail, tailSize) == 1) {
            *step = CipherStep::FinalFailed;
            if (EVP_CipherFinal_ex(ctx, out + updated + more, &finished) == 1)
                *step = CipherStep::Done;
        }
    }
    if (*step != CipherStep::Done) {
        wipe(buffer);
        return {};
    }
    buffer.truncate(updated + more + finished);
    return buffer;
}
} // namespace

QByteArray runCipher(EVP_CIPHER_CTX* ctx, QByteArrayView input, CipherStep* step)
{
    // Room for the whole input and one block of padding.
    return runCipherInto(ctx, QByteArray(input.size() + EVP_MAX_BLOCK_LENGTH, Qt::Uninitialized), input.data(),
                         input.size(), step);
}

QByteArray pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int rounds, int keyLength, int* status)
{
    if (rounds < 1 || keyLength < 1 || password.size() > INT_MAX || salt.size() > INT_MAX) {
        setStatus(status, QvCommonCrypto::StatusParamError);
        return {};
    }
    static const unsigned char nothing = 0;
    QByteArray key(keyLength, Qt::Uninitialized);
    const int ok = PKCS5_PBKDF2_HMAC(password.empty() ? reinterpret_cast<const char*>(&nothing) : password.data(),
                                     static_cast<int>(password.size()),
                                     salt.empty() ? &nothing : reinterpret_cast<const unsigned char*>(salt.data()),
                                     static_cast<int>(salt.size()), rounds, EVP_sha1(), keyLength,
                                     reinterpret_cast<unsigned char*>(key.data()));
    if (ok != 1) {
        wipe(key);
        setStatus(status, QvCommonCrypto::StatusUnspecifiedError);
        return {};
    }
    setStatus(status, QvCommonCrypto::StatusSuccess);
    return key;
}

namespace {
// With `inPlace` (encryption only) the input is that buffer's contents, and the output is
// written over them.
QByteArray aesPass(QByteArrayView input, QByteArray* inPlace, const unsigned char* key, const unsigned char* iv,
                  bool decrypt, int options, int* status)
{
    const bool ecb = options & QvCommonCrypto::OptionECBMode;
    const bool padded = options & QvCommonCrypto::OptionPKCS7Padding;
    if (!key || (!ecb && !iv) || (options & ~(QvCommonCrypto::OptionECBMode | QvCommonCrypto::OptionPKCS7Padding))
        || input.size() > INT_MAX - 2 * EVP_MAX_BLOCK_LENGTH) {
        setStatus(status, QvCommonCrypto::StatusParamError);
        return {};
    }
    if ((decrypt || !padded) && input.size() % kAesBlock != 0) {
        setStatus(status, QvCommonCrypto::StatusAlignmentError);
        return {};
    }
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx) {
        setStatus(status, QvCommonCrypto::StatusMemoryFailure);
        return {};
    }
    if (EVP_CipherInit_ex(ctx.get(), ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc(), nullptr, key, ecb ? nullptr : iv,
                          decrypt ? 0 : 1)
            != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), padded ? 1 : 0) != 1) {
        setStatus(status, QvCommonCrypto::StatusUnspecifiedError);
        return {};
    }
    CipherStep step = CipherStep::Done;
    QByteArray output;
    if (inPlace) {
        output = encryptInPlace(ctx.get(), std::move(*inPlace), &step);
    } else {
        output = runCipher(ctx.get(), input, &step);
    }
    // A failed final step on decryption is the padding check: a wrong key or
    // damaged data.
    setStatus(status, step == CipherStep::Done                         ? QvCommonCrypto::StatusSuccess
                      : decrypt && step == CipherStep::FinalFailed ? QvCommonCrypto::StatusDecodeError
                                                                   : QvCommonCrypto::StatusUnspecifiedError);
    return output;
}
} // namespace

QByteArray aes256(QByteArrayView input, const unsigned char* key, const unsigned char* iv, bool decrypt,
                  int options, int* status)
{
    return aesPass(input, nullptr, key, iv, decrypt, options, status);
}

QByteArray aes256(QByteArray&& input, const unsigned char* key, const unsigned char* iv, bool decrypt, int options,
                  int* status)
{
    if (decrypt || !input.isDetached() || input.isEmpty())
        return aes256(QByteArrayView(input), key, iv, decrypt, options, status);
    QByteArray buffer = std::move(input);
    const QByteArrayView view(buffer.constData(), buffer.size());
    return aesPass(view, &buffer, key, iv, decrypt, options, status);
}

} // namespace CryptoPrimitives
