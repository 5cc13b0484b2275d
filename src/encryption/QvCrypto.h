#pragma once
#include <QByteArray>
#include <QString>

// The Blowfish-CBC engine that reads documents of the old formats, whose fields
// were encrypted one by one, keyed directly by the password's Mac OS Roman
// bytes, under one fixed vector. Only reading is in use; the encrypting side is
// kept so that such fields can be made for tests.
//
// Names follow the original selectors:
//   initWithVector:password: / init -> QvCrypto(vector, password) / QvCrypto()
//   decryptToString:errorCode: and the like -> decryptToString(stored, &errorCode)
// The vector is passed as bytes (at least 8; the first 8 are used) instead of
// a pointer; strings and bytes are null on failure.
//
// The key schedule is always built from 16 key bytes: the password's bytes,
// then zero bytes, cut at 16. Documents were keyed that way whatever the
// password's length.
class QvCrypto
{
public:
    // Error codes; every non-zero code is a failed decryption.
    enum ErrorCode {
        NoError = 0,
        UpdateFailed = 1,     // the cipher's update step failed
        FinalFailed = 2,      // the final block failed: wrong key, or data damaged or not whole blocks
        SetupFailed = 3,      // no usable cipher, vector or buffer
        KeyNotEncodable = 4,  // the password has a character Mac OS Roman lacks
        BadIntegerLength = 5, // an integer field decrypted to neither 4 nor 8 bytes
    };

    static constexpr int kVectorLength = 8;
    static constexpr int kKeyScheduleLength = 16;

    QvCrypto();
    QvCrypto(const QByteArray& vector, const QString& password);
    ~QvCrypto();
    QvCrypto(const QvCrypto&) = delete;
    QvCrypto& operator=(const QvCrypto&) = delete;

    // A copy of the first 8 bytes; none when fewer are given.
    void setInitVector(const QByteArray& vector);
    void setPassword(const QString& password);
    // A non-empty password and a vector.
    bool isReady() const;

    QString decryptToString(const QByteArray& stored, int* errorCode) const;
    QByteArray decryptToData(const QByteArray& stored, int* errorCode) const;
    // A 4-byte plaintext is a little-endian 32-bit value widened with its sign,
    // an 8-byte one a little-endian 64-bit value; 0 on failure.
    qint64 decryptToLong(const QByteArray& stored, int* errorCode) const;

    // Null when the engine is not ready or the text has no Mac OS Roman form.
    QByteArray cryptString(const QString& text) const;
    QByteArray cryptData(const QByteArray& data) const;
    QByteArray cryptLong(qint64 value) const;
    QByteArray cryptLongToInt32(qint64 value) const;

private:
    QByteArray decryptField(const QByteArray& stored, int* errorCode) const;
    QByteArray cryptField(const QByteArray& plaintext) const;

    QByteArray m_IV;
    QString m_password;
};

// The vector every document of the old formats was written with; the engine
// takes its first 8 bytes.
inline const QByteArray& legacyDocumentVector()
{
    static const QByteArray vector = QByteArray::fromHex("5d0e7a33c41f9b620000000000000000");
    return vector;
}

// Blowfish-CBC with PKCS#7 padding over 8-byte blocks; `vector` must hold at
// least 8 bytes. An empty input gives empty output and code 0. Decryption
// reports the codes of QvCrypto::ErrorCode; both give null on failure.
QByteArray blowfishDecryptBuffer(const QByteArray& input, const QByteArray& key, const QByteArray& vector,
                                 int* errorCode);
QByteArray blowfishEncryptBuffer(const QByteArray& input, const QByteArray& key, const QByteArray& vector);
