#include "encryption/QvCrypto.h"

#include "encryption/CryptoPrimitives.h"
#include "platform/TextEncoding.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <QtEndian>

#include <climits>
#include <cstring>

using CryptoPrimitives::CipherContext;
using CryptoPrimitives::CipherStep;
using CryptoPrimitives::wipe;

namespace {
constexpr int kBlowfishBlock = 8;

// Blowfish lives in the legacy provider. It is loaded into a private library
// context, never the default one, where loading providers by hand would
// replace the implicit default provider and switch AES off.
struct LegacyCipher {
    OSSL_LIB_CTX* context = nullptr;
    EVP_CIPHER* blowfishCbc = nullptr;

    LegacyCipher()
    {
        context = OSSL_LIB_CTX_new();
        if (!context)
            return;
        if (OSSL_PROVIDER_load(context, "legacy") && OSSL_PROVIDER_load(context, "default"))
            blowfishCbc = EVP_CIPHER_fetch(context, "BF-CBC", nullptr);
    }
    // Kept for the life of the process: freeing it at exit would race the
    // library's own clean-up.
};

const EVP_CIPHER* blowfishCbc()
{
    static const LegacyCipher cipher;
    return cipher.blowfishCbc;
}

// The key schedule takes 16 bytes: the key's first 16, zero-filled when shorter.
struct ScheduleKey {
    unsigned char bytes[QvCrypto::kKeyScheduleLength] = {};
    explicit ScheduleKey(const QByteArray& key)
    {
        if (!key.isEmpty())
            std::memcpy(bytes, key.constData(), static_cast<size_t>(qMin<qsizetype>(key.size(), sizeof bytes)));
    }
    ~ScheduleKey() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

CipherContext startBlowfish(const QByteArray& key, const QByteArray& vector, bool decrypt)
{
    const EVP_CIPHER* cipher = blowfishCbc();
    if (!cipher || vector.size() < kBlowfishBlock)
        return nullptr;
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return nullptr;
    const ScheduleKey schedule(key);
    const int enc = decrypt ? 0 : 1;
    if (EVP_CipherInit_ex(ctx.get(), cipher, nullptr, nullptr, nullptr, enc) != 1
        || EVP_CIPHER_CTX_set_key_length(ctx.get(), QvCrypto::kKeyScheduleLength) != 1
        || EVP_CipherInit_ex(ctx.get(), nullptr, nullptr, schedule.bytes,
                             reinterpret_cast<const unsigned char*>(vector.constData()), enc)
            != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), 1) != 1)
        return nullptr;
    return ctx;
}

// One pass of the whole input; the error code tells the failing step.
QByteArray runBlowfish(const QByteArray& input, const QByteArray& key, const QByteArray& vector, bool decrypt,
                       int* errorCode)
{
    *errorCode = QvCrypto::NoError;
    if (input.isEmpty())
        return QByteArray("");
    if (input.size() > INT_MAX - 2 * EVP_MAX_BLOCK_LENGTH) {
        *errorCode = QvCrypto::SetupFailed;
        return {};
    }
    const CipherContext ctx = startBlowfish(key, vector, decrypt);
    if (!ctx) {
        *errorCode = QvCrypto::SetupFailed;
        return {};
    }
    CipherStep step = CipherStep::Done;
    QByteArray output = CryptoPrimitives::runCipher(ctx.get(), input, &step);
    if (step == CipherStep::UpdateFailed)
        *errorCode = QvCrypto::UpdateFailed;
    else if (step == CipherStep::FinalFailed)
        *errorCode = QvCrypto::FinalFailed;
    return output;
}

void setCode(int* errorCode, int value)
{
    if (errorCode)
        *errorCode = value;
}
} // namespace

QByteArray blowfishDecryptBuffer(const QByteArray& input, const QByteArray& key, const QByteArray& vector,
                                 int* errorCode)
{
    int code = QvCrypto::NoError;
    QByteArray output = runBlowfish(input, key, vector, true, &code);
    setCode(errorCode, code);
    return output;
}

QByteArray blowfishEncryptBuffer(const QByteArray& input, const QByteArray& key, const QByteArray& vector)
{
    int code = QvCrypto::NoError;
    return runBlowfish(input, key, vector, false, &code);
}

QvCrypto::QvCrypto()
    : QvCrypto(QByteArray(), QString(QLatin1String("")))
{
}

QvCrypto::QvCrypto(const QByteArray& vector, const QString& password)
{
    setInitVector(vector);
    setPassword(password);
}

QvCrypto::~QvCrypto()
{
    wipe(m_password);
}

void QvCrypto::setInitVector(const QByteArray& vector)
{
    m_IV = vector.size() >= kVectorLength ? QByteArray(vector.constData(), kVectorLength) : QByteArray();
}

void QvCrypto::setPassword(const QString& password)
{
    wipe(m_password);
    m_password = password;
}

bool QvCrypto::isReady() const
{
    return !m_password.isEmpty() && !m_IV.isEmpty();
}

QByteArray QvCrypto::decryptField(const QByteArray& stored, int* errorCode) const
{
    std::optional<QByteArray> key = TextEncoding::encode(m_password, TextEncoding::MacOSRoman);
    if (!key) {
        setCode(errorCode, KeyNotEncodable);
        return {};
    }
    int code = NoError;
    QByteArray plaintext = blowfishDecryptBuffer(stored, *key, m_IV, &code);
    wipe(*key);
    setCode(errorCode, code);
    return plaintext;
}

QString QvCrypto::decryptToString(const QByteArray& stored, int* errorCode) const
{
    const QByteArray plaintext = decryptField(stored, errorCode);
    if (plaintext.isNull())
        return {};
    return TextEncoding::decode(plaintext, TextEncoding::MacOSRoman).value_or(QString());
}

QByteArray QvCrypto::decryptToData(const QByteArray& stored, int* errorCode) const
{
    return decryptField(stored, errorCode);
}

qint64 QvCrypto::decryptToLong(const QByteArray& stored, int* errorCode) const
{
    int code = NoError;
    const QByteArray plaintext = decryptField(stored, &code);
    qint64 value = 0;
    if (code == NoError) {
        if (plaintext.size() == 4)
            value = qFromLittleEndian<qint32>(plaintext.constData());
        else if (plaintext.size() == 8)
            value = qFromLittleEndian<qint64>(plaintext.constData());
        else if (!stored.isEmpty())
            // Nothing writes integers of other lengths; such a plaintext is the
            // mark of a wrong key that passed the padding check by chance.
            code = BadIntegerLength;
    }
    setCode(errorCode, code);
    return value;
}

QByteArray QvCrypto::cryptField(const QByteArray& plaintext) const
{
    if (!isReady())
        return {};
    std::optional<QByteArray> key = TextEncoding::encode(m_password, TextEncoding::MacOSRoman);
    if (!key)
        return {};
    QByteArray stored = blowfishEncryptBuffer(plaintext, *key, m_IV);
    wipe(*key);
    return stored;
}

QByteArray QvCrypto::cryptString(const QString& text) const
{
    const std::optional<QByteArray> bytes = TextEncoding::encode(text, TextEncoding::MacOSRoman);
    return bytes ? cryptField(*bytes) : QByteArray();
}

QByteArray QvCrypto::cryptData(const QByteArray& data) const
{
    return cryptField(data);
}

QByteArray QvCrypto::cryptLong(qint64 value) const
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    return cryptField(QByteArray(bytes, sizeof bytes));
}

QByteArray QvCrypto::cryptLongToInt32(qint64 value) const
{
    char bytes[4];
    qToLittleEndian(static_cast<qint32>(value), bytes);
    return cryptField(QByteArray(bytes, sizeof bytes));
}
