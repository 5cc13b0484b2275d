#include "encryption/QvCommonCrypto.h"
#include "encryption/QvCrypto.h"

#include <openssl/provider.h>

#include <gtest/gtest.h>

namespace {
QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

const QByteArray kVector = hex("fedcba9876543210");
const QByteArray kKey = hex("0123456789abcdeff0e1d2c3b4a59687");
const QByteArray kText = "Calvorin address book";

// Made with the OpenSSL command line: `openssl enc -bf-cbc -provider legacy
// -provider default -K <key> -iv fedcba9876543210`, which pads a short key with
// zero bytes and cuts a long one at 16 bytes.
const QByteArray kTextUnderKey = hex("7b664bae3797b852ffc9349043be50d9433c8d47630209e6");
const QByteArray kTextUnderSecret = hex("fbc52a74a6839fcef4a123244e2257107eb2aa643d0c6051"); // key "secret"
} // namespace

TEST(BlowfishCbc, MatchesThePublishedVector)
{
    const QByteArray text("7654321 Now is the time for \0\0\0\0", 32);
    const QByteArray unpadded = hex("6b77b4d63006dee605b156e27403979358deb9e7154616d959f1652bd5ff92cc");
    const QByteArray padded = unpadded + hex("ec0444132bc46e49");

    EXPECT_EQ(blowfishEncryptBuffer(text, kKey, kVector), padded);
    int code = -1;
    EXPECT_EQ(blowfishDecryptBuffer(padded, kKey, kVector, &code), text);
    EXPECT_EQ(code, QvCrypto::NoError);
    // Its last four plaintext bytes are zeros: no valid padding.
    EXPECT_TRUE(blowfishDecryptBuffer(unpadded, kKey, kVector, &code).isNull());
    EXPECT_EQ(code, QvCrypto::FinalFailed);
}

TEST(BlowfishCbc, ScheduleTakesSixteenKeyBytesZeroFilled)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"secret", kTextUnderSecret},                       // 6 bytes, then zeros
        {kKey, kTextUnderKey},                              // 16 bytes
        {kKey + hex("11223344"), kTextUnderKey},            // 20 bytes: the last 4 take no part
        {QByteArray("secret") + QByteArray(10, '\0'), kTextUnderSecret},
    };
    for (const auto& [key, ciphertext] : cases) {
        EXPECT_EQ(blowfishEncryptBuffer(kText, key, kVector), ciphertext) << key.toHex().toStdString();
        int code = -1;
        EXPECT_EQ(blowfishDecryptBuffer(ciphertext, key, kVector, &code), kText);
        EXPECT_EQ(code, 0);
    }
}

TEST(BlowfishCbc, RefusesAShortVectorAndPassesEmptyInput)
{
    int code = 0;
    EXPECT_TRUE(blowfishDecryptBuffer(kTextUnderKey, kKey, kVector.left(7), &code).isNull());
    EXPECT_EQ(code, QvCrypto::SetupFailed);
    EXPECT_TRUE(blowfishEncryptBuffer(kText, kKey, QByteArray()).isNull());

    code = -1;
    const QByteArray empty = blowfishDecryptBuffer(QByteArray(), kKey, kVector, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
}

TEST(QvCrypto, DecryptsFieldsKeyedByThePassword)
{
    QvCrypto engine(kVector, QStringLiteral("secret"));
    int code = -1;
    EXPECT_EQ(engine.decryptToString(kTextUnderSecret, &code), QString::fromLatin1(kText));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(engine.decryptToData(kTextUnderSecret, &code), kText);
    EXPECT_EQ(code, 0);
}

TEST(QvCrypto, StringsTravelAsMacOSRomanBytes)
{
    QvCrypto engine(kVector, QStringLiteral(u"Kl\u00E9"));
    const QString text = QStringLiteral(u"Caf\u00E9 \u221E");
    const QByteArray stored = engine.cryptString(text);
    int code = -1;
    EXPECT_EQ(engine.decryptToData(stored, &code), hex("436166 8e 20 b0"));
    EXPECT_EQ(engine.decryptToString(stored, &code), text);
    EXPECT_EQ(code, 0);
    // The key is the password's Mac OS Roman bytes too.
    EXPECT_EQ(blowfishDecryptBuffer(stored, hex("4b6c8e"), kVector, &code), hex("436166 8e 20 b0"));
}

TEST(QvCrypto, EmptyStringIsStoredAsNoBytesAndReadBack)
{
    QvCrypto engine(kVector, QStringLiteral("secret"));
    const QByteArray stored = engine.cryptString(QString());
    EXPECT_TRUE(stored.isEmpty());
    EXPECT_FALSE(stored.isNull());
    int code = -1;
    const QString text = engine.decryptToString(stored, &code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_FALSE(text.isNull());
}

TEST(QvCrypto, IntegersAreLittleEndianOfFourOrEightBytes)
{
    QvCrypto engine(kVector, QStringLiteral("secret"));
    const std::pair<QByteArray, qint64> cases[] = {
        {hex("ffffffff"), -1},
        {hex("0100000000000000"), 1},
        {hex("2a000000"), 42},
        {hex("00000080"), std::numeric_limits<qint32>::min()},
        {hex("0000000000000080"), std::numeric_limits<qint64>::min()},
        {hex("0000000001000000"), qint64(1) << 32},
    };
    for (const auto& [plaintext, value] : cases) {
        int code = -1;
        EXPECT_EQ(engine.decryptToLong(engine.cryptData(plaintext), &code), value) << plaintext.toHex().toStdString();
        EXPECT_EQ(code, 0);
    }
    int code = -1;
    EXPECT_EQ(engine.decryptToLong(engine.cryptLong(-1234567890123), &code), -1234567890123);
    EXPECT_EQ(engine.cryptLong(7).size(), 16);
    EXPECT_EQ(engine.decryptToLong(engine.cryptLongToInt32((qint64(5) << 32) - 3), &code), -3);
    EXPECT_EQ(engine.cryptLongToInt32(7).size(), 8);
    EXPECT_EQ(code, 0);
}

TEST(QvCrypto, IntegerOfAnotherLengthIsAFailure)
{
    QvCrypto engine(kVector, QStringLiteral("secret"));
    for (const QByteArray& plaintext : {hex("01"), hex("0102030405"), hex("010203040506070809")}) {
        int code = 0;
        EXPECT_EQ(engine.decryptToLong(engine.cryptData(plaintext), &code), 0);
        EXPECT_EQ(code, QvCrypto::BadIntegerLength) << plaintext.toHex().toStdString();
    }
    int code = -1;
    EXPECT_EQ(engine.decryptToLong(QByteArray(), &code), 0);
    EXPECT_EQ(code, 0);
}

TEST(QvCrypto, WrongPasswordOrDamagedFieldFails)
{
    QvCrypto wrong(kVector, QStringLiteral("secreT"));
    int code = 0;
    EXPECT_TRUE(wrong.decryptToString(kTextUnderSecret, &code).isNull());
    EXPECT_EQ(code, QvCrypto::FinalFailed);

    QvCrypto right(kVector, QStringLiteral("secret"));
    for (const QByteArray& damaged : {kTextUnderSecret.left(20), kTextUnderSecret.left(7)}) {
        code = 0;
        EXPECT_TRUE(right.decryptToData(damaged, &code).isNull());
        EXPECT_EQ(code, QvCrypto::FinalFailed);
    }
}

TEST(QvCrypto, PasswordsSharingSixteenBytesReadAlike)
{
    QvCrypto writer(kVector, QStringLiteral("0123456789abcdef"));
    const QByteArray stored = writer.cryptString(QStringLiteral("Ada"));
    QvCrypto longer(kVector, QStringLiteral("0123456789abcdefXYZ"));
    int code = -1;
    EXPECT_EQ(longer.decryptToString(stored, &code), QStringLiteral("Ada"));
    EXPECT_EQ(code, 0);
}

TEST(QvCrypto, PasswordWithoutMacOSRomanFormFails)
{
    QvCrypto engine(kVector, QStringLiteral(u"s\u00E9cret\u0141"));
    int code = 0;
    EXPECT_TRUE(engine.decryptToString(kTextUnderSecret, &code).isNull());
    EXPECT_EQ(code, QvCrypto::KeyNotEncodable);
    EXPECT_EQ(engine.decryptToLong(kTextUnderSecret, &code), 0);
    EXPECT_NE(code, 0);
    EXPECT_TRUE(engine.cryptString(QStringLiteral("x")).isNull());
}

TEST(QvCrypto, AnotherVectorSpoilsOnlyTheFirstBlock)
{
    QvCrypto other(hex("0000000000000000"), QStringLiteral("secret"));
    int code = -1;
    const QByteArray plaintext = other.decryptToData(kTextUnderSecret, &code);
    EXPECT_EQ(code, 0);
    ASSERT_EQ(plaintext.size(), kText.size());
    EXPECT_NE(plaintext.left(8), kText.left(8));
    EXPECT_EQ(plaintext.mid(8), kText.mid(8));
}

TEST(QvCrypto, ReadinessNeedsPasswordAndVector)
{
    EXPECT_FALSE(QvCrypto().isReady());
    EXPECT_FALSE(QvCrypto(QByteArray(), QStringLiteral("secret")).isReady());
    EXPECT_FALSE(QvCrypto(kVector.left(7), QStringLiteral("secret")).isReady());
    EXPECT_FALSE(QvCrypto(kVector, QString()).isReady());
    EXPECT_TRUE(QvCrypto(kVector, QStringLiteral("secret")).isReady());

    QvCrypto notReady(kVector, QString());
    EXPECT_TRUE(notReady.cryptString(QStringLiteral("x")).isNull());
    QvCrypto noVector;
    noVector.setPassword(QStringLiteral("secret"));
    int code = 0;
    EXPECT_TRUE(noVector.decryptToData(kTextUnderSecret, &code).isNull());
    EXPECT_EQ(code, QvCrypto::SetupFailed);
}

TEST(QvCrypto, DocumentVectorContributesItsFirstEightBytes)
{
    QvCrypto full(legacyDocumentVector(), QStringLiteral("secret"));
    QvCrypto cut(legacyDocumentVector().left(8), QStringLiteral("secret"));
    EXPECT_EQ(full.cryptString(QStringLiteral("Ada")), cut.cryptString(QStringLiteral("Ada")));
    int code = -1;
    EXPECT_EQ(blowfishDecryptBuffer(full.cryptString(QStringLiteral("Ada")), "secret", hex("5d0e7a33c41f9b62"),
                                    &code),
              "Ada");
}

TEST(QvCrypto, AesStillWorksAfterBlowfishWasUsed)
{
    int code = -1;
    ASSERT_EQ(blowfishDecryptBuffer(kTextUnderKey, kKey, kVector, &code), kText);
    EXPECT_FALSE(OSSL_PROVIDER_available(nullptr, "legacy"));

    QvCommonCrypto engine(QStringLiteral("secret"));
    int status = -1;
    const QByteArray ciphertext = engine.encrypt(kText, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(engine.decrypt(ciphertext, &status), kText);
    EXPECT_EQ(status, 0);
}
