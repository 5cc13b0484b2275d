#include "encryption/QvCommonCrypto.h"

#include "encryption/CryptoPrimitives.h"
#include "platform/Random.h"

#include <algorithm>
#include <openssl/evp.h>
#include <openssl/rand.h>

using CryptoPrimitives::wipe;

namespace {
QvCommonCrypto::SecureRandomSource& testRandomSource()
{
    static QvCommonCrypto::SecureRandomSource source;
    return source;
}

void setStatus(int* status, int value)
{
    if (status)
        *status = value;
}
} // namespace

QvCommonCrypto::QvCommonCrypto()
    : QvCommonCrypto(QString())
{
}

QvCommonCrypto::QvCommonCrypto(const QString& password)
    : m_password(password)
{
    // The key is left to the first cipher call: most engines are given the
    // salt of a file or of the engine before them first, and a derivation for
    // a salt that is replaced would be wasted.
    m_IV = randomDataOfLength(kIVLength);
    m_salt = randomDataOfLength(kSaltLength);
    if (m_IV.size() != kIVLength || m_salt.size() != kSaltLength) {
        m_IV.clear();
        m_salt.clear();
    }
}

QvCommonCrypto::QvCommonCrypto(const QString& password, const QByteArray& iv, const QByteArray& salt)
    : m_password(password)
    , m_salt(salt)
    , m_IV(iv)
{
}

QvCommonCrypto::~QvCommonCrypto()
{
    forgetKey();
    wipe(m_password);
}

void QvCommonCrypto::setPassword(const QString& password)
{
    wipe(m_password);
    m_password = password;
    m_keyIsCurrent = false;
}

void QvCommonCrypto::forgetKey()
{
    wipe(m_AESKey);
    m_keyIsCurrent = false;
}

int QvCommonCrypto::recalcIV_Salt_AESKey()
{
    m_IV = randomDataOfLength(kIVLength);
    m_salt = randomDataOfLength(kSaltLength);
    if (m_IV.size() != kIVLength || m_salt.size() != kSaltLength) {
        m_IV.clear();
        m_salt.clear();
        forgetKey();
        return StatusRandomFailure;
    }
    int status = StatusSuccess;
    forgetKey();
    m_AESKey = AESKeyForPassword(m_password, m_salt, &status);
    m_keyIsCurrent = status == StatusSuccess;
    return status;
}

void QvCommonCrypto::setPasswordToDecrypt(const QString& password, const QByteArray& iv, const QByteArray& salt)
{
    setPassword(password);
    m_IV = iv;
    m_salt = salt;
    m_keyIsCurrent = false;
}

int QvCommonCrypto::setPasswordToEncrypt(const QString& password)
{
    setPassword(password);
    return recalcIV_Salt_AESKey();
}

QByteArray QvCommonCrypto::encrypt(const QByteArray& data, int* status)
{
    int padding = OptionPKCS7Padding;
    return doCipher(data, QByteArray(), Encrypt, &padding, status);
}

QByteArray QvCommonCrypto::encrypt(QByteArray&& data, int* status)
{
    int padding = OptionPKCS7Padding;
    return cipher(nullptr, &data, Encrypt, &padding, status);
}

QByteArray QvCommonCrypto::decrypt(const QByteArray& data, int* status)
{
    int padding = OptionPKCS7Padding;
    return doCipher(data, QByteArray(), Decrypt, &padding, status);
}

QByteArray QvCommonCrypto::doCipher(const QByteArray& data, const QByteArray& /*key*/, int operation, int* padding,
                                    int* status)
{
    return cipher(&data, nullptr, operation, padding, status);
}

QByteArray QvCommonCrypto::cipher(const QByteArray* data, QByteArray* inPlace, int operation, int* padding, int* status)
{
    // A damaged file may lack them; never read past what is there.
    if (m_IV.size() < kIVLength || m_salt.size() < kSaltLength || (operation != Encrypt && operation != Decrypt)) {
        forgetKey();
        setStatus(status, StatusParamError);
        return {};
    }
    if (!m_keyIsCurrent || m_AESKey.size() != kKeyLength) {
        forgetKey();
        int derived = StatusSuccess;
        m_AESKey = AESKeyForPassword(m_password, m_salt, &derived);
        if (derived != StatusSuccess) {
            forgetKey();
            setStatus(status, derived);
            return {};
        }
        m_keyIsCurrent = true;
    }

    int options = padding ? *padding : OptionPKCS7Padding;
    if (operation == Encrypt && options != OptionECBMode) {
        options = OptionPKCS7Padding;
        if (padding)
            *padding = options;
    }
    const auto* key = reinterpret_cast<const unsigned char*>(m_AESKey.constData());
    const auto* iv = reinterpret_cast<const unsigned char*>(m_IV.constData());
    if (inPlace)
        return CryptoPrimitives::aes256(std::move(*inPlace), key, iv, operation == Decrypt, options, status);
    return CryptoPrimitives::aes256(*data, key, iv, operation == Decrypt, options, status);
}

QByteArray QvCommonCrypto::encryptKey(const QByteArray& data, const QByteArray& key, int* padding)
{
    int status = StatusSuccess;
    return doCipher(data, key, Encrypt, padding, &status);
}

QByteArray QvCommonCrypto::decryptKey(const QByteArray& data, const QByteArray& key, int* padding)
{
    int status = StatusSuccess;
    return doCipher(data, key, Decrypt, padding, &status);
}

QByteArray QvCommonCrypto::randomDataOfLength(int count)
{
    if (count < 0)
        return {};
    QByteArray bytes(count, '\0');
    auto* buffer = reinterpret_cast<unsigned char*>(bytes.data());
    const bool ok = testRandomSource() ? testRandomSource()(buffer, count) : RAND_bytes(buffer, count) == 1;
    if (!ok)
        return {};
    return bytes;
}

QByteArray QvCommonCrypto::AESKeyForPassword(const QString& password, const QByteArray& salt, int* status)
{
    QByteArray utf8 = password.toUtf8();
    const qsizetype counted = qMin<qsizetype>(password.size(), utf8.size());
    QByteArray key = CryptoPrimitives::pbkdf2HmacSha1(QByteArrayView(utf8.constData(), counted), salt, kRounds,
                                                      kKeyLength, status);
    wipe(utf8);
    return key;
}

bool QvCommonCrypto::keyTakesWholePassword(const QString& password)
{
    return std::all_of(password.begin(), password.end(), [](QChar c) { return c.unicode() < 0x80; });
}

qsizetype QvCommonCrypto::wholeCharactersInKey(const QString& password)
{
    // Walks the UTF-8 form that toUtf8() gives without making a copy of the
    // password: a lone surrogate is written there as the one byte '?'.
    const qsizetype counted = password.size();
    qsizetype bytes = 0;
    qsizetype characters = 0;
    for (qsizetype i = 0; i < password.size(); ++i) {
        const char16_t unit = password.at(i).unicode();
        qsizetype length = unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
        if (QChar::isSurrogate(unit)) {
            const bool pair = QChar::isHighSurrogate(unit) && i + 1 < password.size()
                              && QChar::isLowSurrogate(password.at(i + 1).unicode());
            length = pair ? 4 : 1;
            i += pair ? 1 : 0;
        }
        bytes += length;
        if (bytes > counted)
            break;
        ++characters;
    }
    return characters;
}

QByteArray QvCommonCrypto::dataSHA1(const QByteArray& data)
{
    QByteArray digest(kSHA1Length, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_Digest(data.constData(), static_cast<size_t>(data.size()), reinterpret_cast<unsigned char*>(digest.data()),
                   &length, EVP_sha1(), nullptr)
            != 1
        || length != kSHA1Length)
        return {};
    return digest;
}

QString QvCommonCrypto::generateRandom256AsciiString()
{
    QString text;
    text.reserve(kPasswordCheckLength);
    for (int i = 0; i < kPasswordCheckLength; ++i)
        text.append(QChar(static_cast<char16_t>(randomInRange(1, 255))));
    return text;
}

void QvCommonCrypto::setSecureRandomSourceForTesting(SecureRandomSource source)
{
    testRandomSource() = std::move(source);
}
