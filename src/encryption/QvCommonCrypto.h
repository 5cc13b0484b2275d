#pragma once
#include <QByteArray>
#include <QString>

#include <functional>

// The cipher engine of every current document: a 32-byte key derived with
// PBKDF2-HMAC-SHA1 (10,000 rounds) from the password and an 8-byte salt, and
// AES-256-CBC with PKCS#7 padding under a 16-byte vector. Salt and vector come
// from the secure random source and are stored beside the ciphertext.
//
// Names follow the original selectors:
//   initWithPassword: / init             -> QvCommonCrypto(password) / QvCommonCrypto()
//   encrypt:error:, decrypt:error:      -> encrypt(data, &status), decrypt(data, &status)
//   doCipher:key:context:padding:error: -> doCipher(data, key, operation, &padding, &status)
//   encrypt:key:padding:, decrypt:key:padding: -> encryptKey(data, key, &padding), decryptKey(...)
//   setPasswordToDecrypt:iv:salt:       -> setPasswordToDecrypt(password, iv, salt)
//   randomDataOfLength:, AESKeyForPassword:salt:, dataSHA1: -> static members of the same names
// "Bytes or none" is a QByteArray that is null on failure, with a non-zero
// status; a successful result may be empty (an empty plaintext), never null.
//
// The key is derived afresh on every cipher call from the current password and
// salt, so setting either needs no further step. One engine belongs to one
// thread.
class QvCommonCrypto
{
public:
    // Failure codes are negative, so that they never collide with the 1 a
    // caller reports for a failed password check.
    enum Status {
        StatusSuccess = 0,
        StatusParamError = -4300,      // vector or salt missing or short, unknown option, input too large
        StatusMemoryFailure = -4302,
        StatusAlignmentError = -4303,  // input not a whole number of blocks where it must be
        StatusDecodeError = -4304,     // the padding did not check out: wrong key or damaged data
        StatusRandomFailure = -4307,   // the secure random source failed
        StatusUnspecifiedError = -4308 // the cipher library refused (key derivation, set-up)
    };
    enum Operation { Encrypt = 0, Decrypt = 1 };
    // Padding options, a mask: PKCS#7 padding, and ECB in place of CBC.
    enum Option { OptionPKCS7Padding = 1, OptionECBMode = 2 };

    static constexpr int kKeyLength = 32;
    static constexpr int kSaltLength = 8;
    static constexpr int kIVLength = 16;
    static constexpr int kRounds = 10000;
    static constexpr int kSHA1Length = 20;
    static constexpr int kPasswordCheckLength = 256;

    // Draws a vector, then a salt; the key is derived at the first cipher
    // call. If the random source fails the engine holds neither, and every
    // cipher call fails until recalcIV_Salt_AESKey() succeeds.
    QvCommonCrypto();
    explicit QvCommonCrypto(const QString& password);
    // For values encrypted before: the vector and salt they were encrypted
    // with, as setPasswordToDecrypt takes them, and none drawn.
    QvCommonCrypto(const QString& password, const QByteArray& iv, const QByteArray& salt);
    ~QvCommonCrypto();
    QvCommonCrypto(const QvCommonCrypto&) = delete;
    QvCommonCrypto& operator=(const QvCommonCrypto&) = delete;

    QString password() const { return m_password; }
    void setPassword(const QString& password);
    QByteArray salt() const { return m_salt; }
    void setSalt(const QByteArray& salt)
    {
        m_salt = salt;
        m_keyIsCurrent = false;
    }
    QByteArray IV() const { return m_IV; }
    void setIV(const QByteArray& iv) { m_IV = iv; }
    // The key of the last cipher call; empty when it failed. Never stored.
    QByteArray AESKey() const { return m_AESKey; }

    // New vector and salt, then the key; before every save. On failure (0 is
    // success) the engine holds no vector, salt or key, so nothing is encrypted
    // under a reused vector.
    int recalcIV_Salt_AESKey();
    void setPasswordToDecrypt(const QString& password, const QByteArray& iv, const QByteArray& salt);
    int setPasswordToEncrypt(const QString& password);

    QByteArray encrypt(const QByteArray& data, int* status);
    // Encrypts in the buffer of `data` when nothing else shares it: the
    // plaintext is written over, and a large one is not held twice.
    QByteArray encrypt(QByteArray&& data, int* status);
    QByteArray decrypt(const QByteArray& data, int* status);
    // `key` is not used: the key always comes from the password and the salt.
    // For encryption any padding option other than ECB becomes PKCS#7, written
    // back through `padding`; decryption uses the option as given.
    QByteArray doCipher(const QByteArray& data, const QByteArray& key, int operation, int* padding, int* status);
    QByteArray encryptKey(const QByteArray& data, const QByteArray& key, int* padding);
    QByteArray decryptKey(const QByteArray& data, const QByteArray& key, int* padding);

    // Null when the secure random source fails.
    static QByteArray randomDataOfLength(int count);
    // The 32-byte key. The password contributes its UTF-8 bytes, but only as
    // many as it has UTF-16 code units: stored documents were keyed that way.
    // Null with a non-zero status when the derivation fails.
    static QByteArray AESKeyForPassword(const QString& password, const QByteArray& salt, int* status = nullptr);
    // Whether every character of the password takes part in the key: only
    // when it is plain ASCII, since any other character takes more UTF-8
    // bytes than code units, and the bytes past the count are left out.
    static bool keyTakesWholePassword(const QString& password);
    // How many of the password's first characters take part in the key whole.
    static qsizetype wholeCharactersInKey(const QString& password);
    static QByteArray dataSHA1(const QByteArray& data);
    // The password-check text: 256 characters with codes 1 to 255.
    static QString generateRandom256AsciiString();

    // Tests replace the secure random source (a function filling `count` bytes
    // and answering whether it could); an empty function restores the real one.
    using SecureRandomSource = std::function<bool(unsigned char* buffer, int count)>;
    static void setSecureRandomSourceForTesting(SecureRandomSource source);

private:
    void forgetKey();
    // doCipher on `*data`, or in the buffer of `*inPlace` (which is then taken).
    QByteArray cipher(const QByteArray* data, QByteArray* inPlace, int operation, int* padding, int* status);

    QString m_password;
    QByteArray m_salt;
    QByteArray m_AESKey;
    // Whether m_AESKey is the key of the password and salt held now: the
    // values of one document are ciphered under one derivation, not one each.
    bool m_keyIsCurrent = false;
    QByteArray m_IV;
};
