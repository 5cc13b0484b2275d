#include "encryption/CryptoPrimitives.h"
#include "encryption/QvCommonCrypto.h"
#include "platform/Random.h"

#include <QList>
#include <gtest/gtest.h>

#include <functional>

namespace {
QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

// A secure random source that fails, for the life of the object.
struct FailingRandomSource {
    FailingRandomSource()
    {
        QvCommonCrypto::setSecureRandomSourceForTesting([](unsigned char*, int) { return false; });
    }
    ~FailingRandomSource() { QvCommonCrypto::setSecureRandomSourceForTesting({}); }
};

// Made with the OpenSSL command line: `openssl kdf -keylen 32 -kdfopt digest:SHA1
// -kdfopt hexpass:50c3a47373776f72 -kdfopt hexsalt:0102030405060708 -kdfopt iter:10000
// PBKDF2`, then `openssl enc -aes-256-cbc -K <key> -iv 000102030405060708090a0b0c0d0e0f`.
// The password bytes are the first 8 UTF-8 bytes of "Pässwort".
const QString kPassword = QStringLiteral(u"P\u00E4sswort");
const QByteArray kSalt = hex("0102030405060708");
const QByteArray kIV = hex("000102030405060708090a0b0c0d0e0f");
const QByteArray kKey = hex("62423cf457f211cc9efb634eb848a5c9211eee31b126a017c885f606f4534805");
const QByteArray kPlaintext = "Calvorin address book";
const QByteArray kCiphertext = hex("6efaa2e425a367423e3d3c82acb830c327c0d4d9d058b7eb362bca8e47d21477");

QvCommonCrypto* engineFor(const QString& password, const QByteArray& iv, const QByteArray& salt)
{
    auto* engine = new QvCommonCrypto;
    engine->setPasswordToDecrypt(password, iv, salt);
    return engine;
}
} // namespace

TEST(Pbkdf2HmacSha1, MatchesThePublishedVectors)
{
    struct Case {
        QByteArray password;
        QByteArray salt;
        int rounds;
        const char* key;
    };
    const Case cases[] = {
        {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {QByteArray("pass\0word", 9), QByteArray("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const Case& c : cases) {
        const QByteArray expected = hex(c.key);
        int status = -1;
        EXPECT_EQ(CryptoPrimitives::pbkdf2HmacSha1(c.password, c.salt, c.rounds, int(expected.size()), &status),
                  expected)
            << c.password.toStdString() << " " << c.rounds;
        EXPECT_EQ(status, 0);
    }
}

TEST(Pbkdf2HmacSha1, AFailedDerivationGivesNoKeyRatherThanZeros)
{
    for (const int rounds : {0, -1}) {
        int status = 0;
        const QByteArray key = CryptoPrimitives::pbkdf2HmacSha1("password", "salt", rounds, 32, &status);
        EXPECT_NE(status, 0);
        EXPECT_TRUE(key.isEmpty());
    }
}

TEST(CryptoPrimitives, CleanseZeroesOnlyBuffersNoOneElseHolds)
{
    QByteArray own("secret key");
    own.detach();
    CryptoPrimitives::cleanse(own);
    EXPECT_EQ(own, QByteArray(10, '\0'));

    QString password = QStringLiteral(u"P\u00E4ss");
    password.detach();
    CryptoPrimitives::cleanse(password);
    EXPECT_EQ(password, QString(4, QChar(0)));

    // A shared buffer belongs to its other holders too.
    QByteArray shared("secret key");
    shared.detach();
    const QByteArray other = shared;
    CryptoPrimitives::wipe(shared);
    EXPECT_TRUE(shared.isEmpty());
    EXPECT_EQ(other, QByteArray("secret key"));
}

TEST(Aes256Cbc, MatchesThePublishedVectors)
{
    const QByteArray key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray plaintext = hex("6bc1bee22e409f96e93d7e117393172a" "ae2d8a571e03ac9c9eb76fac45af8e51"
                                     "30c81c46a35ce411e5fbc1191a0a52ef" "f69f2445df4f9b17ad2b417be66c3710");
    const QByteArray ciphertext = hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6" "9cfc4e967edb808d679f777bc6702c7d"
                                      "39f23369a9d9bacfa530e26304231461" "b2eb05e2c39be9fcda6c19078c6a9d1b");
    const auto* k = reinterpret_cast<const unsigned char*>(key.constData());
    const auto* iv = reinterpret_cast<const unsigned char*>(kIV.constData());
    int status = -1;
    EXPECT_EQ(CryptoPrimitives::aes256(plaintext, k, iv, false, 0, &status), ciphertext);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(CryptoPrimitives::aes256(ciphertext, k, iv, true, 0, &status), plaintext);
    EXPECT_EQ(status, 0);
    // With padding the same blocks come first, then one block of padding.
    const QByteArray padded =
        CryptoPrimitives::aes256(plaintext, k, iv, false, QvCommonCrypto::OptionPKCS7Padding, &status);
    EXPECT_EQ(padded.size(), 80);
    EXPECT_EQ(padded.left(64), ciphertext);
}

TEST(QvCommonCrypto, EncryptsUnderTheKeyDerivedFromPasswordAndSalt)
{
    std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, kIV, kSalt));
    int status = -1;
    EXPECT_EQ(engine->encrypt(kPlaintext, &status), kCiphertext);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(engine->AESKey(), kKey);
    EXPECT_EQ(engine->decrypt(kCiphertext, &status), kPlaintext);
    EXPECT_EQ(status, 0);
}

TEST(QvCommonCrypto, PasswordContributesAsManyUtf8BytesAsItHasCodeUnits)
{
    struct Case {
        QString password;
        QByteArray counted;
    };
    const Case cases[] = {
        {QStringLiteral("password"), "password"},
        {kPassword, hex("50c3a47373776f72")},                // 8 code units, 9 UTF-8 bytes
        {QStringLiteral(u"a\U0001F600b"), hex("61f09f98")}, // a surrogate pair counts twice
        {QString(), QByteArray()},
    };
    for (const Case& c : cases) {
        int status = -1;
        EXPECT_EQ(QvCommonCrypto::AESKeyForPassword(c.password, kSalt, &status),
                  CryptoPrimitives::pbkdf2HmacSha1(c.counted, kSalt, QvCommonCrypto::kRounds, 32, nullptr))
            << c.password.toStdString();
        EXPECT_EQ(status, 0);
    }
}

TEST(QvCommonCrypto, CharactersPastTheCountedBytesDoNotChangeTheKey)
{
    const auto key = [](const char16_t* password) {
        return QvCommonCrypto::AESKeyForPassword(QString::fromUtf16(password), kSalt);
    };
    EXPECT_EQ(key(u"P\u00E4sswort"), key(u"P\u00E4sswor\u00DF"));
    EXPECT_EQ(key(u"a\U0001F600b"), key(u"a\U0001F601c"));
    EXPECT_NE(key(u"P\u00E4sswort"), key(u"P\u00E4sswxrt"));
    EXPECT_NE(key(u"password"), key(u"passwore"));
}

TEST(QvCommonCrypto, TellsHowManyCharactersOfAPasswordTheKeyTakesWhole)
{
    struct Case {
        const char16_t* password;
        qsizetype whole;
        const char16_t* sameKey; // a password that opens the same documents, if any
    };
    const Case cases[] = {
        {u"secret-Pass_1!", 14, nullptr},
        {u"中中中中中中", 2, u"中中abcd"},
        {u"Pässwörd-中文-😀", 10, u"Pässwörd-中abcd"},
        {u"ééé", 1, nullptr}, // a part of the second character counts too
        {u"", 0, nullptr},
    };
    for (const Case& c : cases) {
        const QString password = QString::fromUtf16(c.password);
        SCOPED_TRACE(password.toStdString());
        EXPECT_EQ(QvCommonCrypto::wholeCharactersInKey(password), c.whole);
        EXPECT_EQ(QvCommonCrypto::keyTakesWholePassword(password), c.whole == password.toUcs4().size());
        if (c.sameKey)
            EXPECT_EQ(QvCommonCrypto::AESKeyForPassword(password, kSalt),
                      QvCommonCrypto::AESKeyForPassword(QString::fromUtf16(c.sameKey), kSalt));
    }
}

TEST(QvCommonCrypto, CiphertextIsTheNextWholeNumberOfBlocks)
{
    QvCommonCrypto engine(QStringLiteral("secret"));
    for (const auto& [plain, cipher] : {std::pair{0, 16}, {15, 16}, {16, 32}, {17, 32}}) {
        const QByteArray plaintext(plain, 'x');
        int status = -1;
        const QByteArray ciphertext = engine.encrypt(plaintext, &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(ciphertext.size(), cipher) << plain;
        const QByteArray back = engine.decrypt(ciphertext, &status);
        EXPECT_EQ(status, 0);
        EXPECT_FALSE(back.isNull());
        EXPECT_EQ(back, plaintext);
    }
}

// The key is derived once for the values of a document, and afresh as soon
// as the password or the salt it came from changes.
TEST(QvCommonCrypto, AChangedPasswordOrSaltTakesANewKey)
{
    const QByteArray otherSalt = hex("0807060504030201");
    const QString otherPassword = QStringLiteral("another");
    struct Row {
        const char* name;
        std::function<void(QvCommonCrypto&)> change;
        QString password;
        QByteArray salt;
    };
    const std::vector<Row> rows{
        {"salt", [&](QvCommonCrypto& e) { e.setSalt(otherSalt); }, kPassword, otherSalt},
        {"password", [&](QvCommonCrypto& e) { e.setPassword(otherPassword); }, otherPassword, kSalt},
        {"both, to decrypt", [&](QvCommonCrypto& e) { e.setPasswordToDecrypt(otherPassword, kIV, otherSalt); }, otherPassword, otherSalt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, kIV, kSalt));
        int status = -1;
        EXPECT_EQ(engine->encrypt(kPlaintext, &status), kCiphertext);
        EXPECT_EQ(engine->encrypt(kPlaintext, &status), kCiphertext);
        row.change(*engine);
        std::unique_ptr<QvCommonCrypto> fresh(engineFor(row.password, kIV, row.salt));
        const QByteArray expected = fresh->encrypt(kPlaintext, &status);
        EXPECT_NE(expected, kCiphertext);
        EXPECT_EQ(engine->encrypt(kPlaintext, &status), expected);
    }
}

// Encrypting in the plaintext's own buffer gives the same bytes; a buffer
// another holder shares is left as it was.
TEST(QvCommonCrypto, EncryptingInPlaceGivesTheSameBytes)
{
    std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, kIV, kSalt));
    for (int size : {0, 1, 15, 16, 17, 100003}) {
        SCOPED_TRACE(size);
        QByteArray plain(size, Qt::Uninitialized);
        for (int i = 0; i < size; ++i)
            plain[i] = char(i * 7);
        const QByteArray expected = engine->encrypt(plain, nullptr);
        int status = -1;
        QByteArray own(plain.constData(), plain.size());
        EXPECT_EQ(engine->encrypt(std::move(own), &status), expected);
        EXPECT_EQ(status, 0);
        QByteArray shared = plain;
        EXPECT_EQ(engine->encrypt(std::move(shared), &status), expected);
        EXPECT_EQ(plain.size(), size);
        EXPECT_EQ(engine->decrypt(expected, &status), plain);
    }
}

TEST(QvCommonCrypto, EverySaveDrawsAFreshSaltAndVector)
{
    QvCommonCrypto engine(QStringLiteral("secret"));
    int status = -1;
    ASSERT_EQ(engine.recalcIV_Salt_AESKey(), 0);
    const QByteArray salt = engine.salt(), iv = engine.IV();
    const QByteArray first = engine.encrypt(kPlaintext, &status);
    ASSERT_EQ(engine.recalcIV_Salt_AESKey(), 0);
    const QByteArray second = engine.encrypt(kPlaintext, &status);
    EXPECT_EQ(engine.salt().size(), 8);
    EXPECT_EQ(engine.IV().size(), 16);
    EXPECT_NE(engine.salt(), salt);
    EXPECT_NE(engine.IV(), iv);
    EXPECT_NE(first, second);

    // Another engine given the same password, salt and vector reads it.
    std::unique_ptr<QvCommonCrypto> reader(engineFor(QStringLiteral("secret"), engine.IV(), engine.salt()));
    EXPECT_EQ(reader->decrypt(second, &status), kPlaintext);
    EXPECT_EQ(status, 0);
}

TEST(QvCommonCrypto, ANewEngineEncryptsUnderItsOwnSaltOrTheOneGivenIt)
{
    // The key of a new engine comes from whatever salt it holds at its first cipher call.
    QvCommonCrypto fresh(QStringLiteral("secret"));
    QvCommonCrypto given(QStringLiteral("secret"));
    given.setPasswordToDecrypt(kPassword, kIV, kSalt);
    int status = -1;
    const QByteArray sealed = fresh.encrypt(kPlaintext, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(fresh.AESKey(), QvCommonCrypto::AESKeyForPassword(QStringLiteral("secret"), fresh.salt()));
    std::unique_ptr<QvCommonCrypto> reader(engineFor(QStringLiteral("secret"), fresh.IV(), fresh.salt()));
    EXPECT_EQ(reader->decrypt(sealed, &status), kPlaintext);
    EXPECT_EQ(given.encrypt(kPlaintext, &status), kCiphertext);
    EXPECT_EQ(given.AESKey(), kKey);

    // Made with the vector and salt of values encrypted before, it needs no random bytes.
    FailingRandomSource failing;
    QvCommonCrypto made(kPassword, kIV, kSalt);
    EXPECT_EQ(made.encrypt(kPlaintext, &status), kCiphertext);
    EXPECT_EQ(made.decrypt(kCiphertext, &status), kPlaintext);
}

TEST(QvCommonCrypto, WrongPasswordOrSaltIsRefusedByThePadding)
{
    const std::pair<QString, QByteArray> wrong[] = {
        {QStringLiteral(u"P\u00E4sswxrt"), kSalt},
        {kPassword, hex("0102030405060709")},
    };
    for (const auto& [password, salt] : wrong) {
        std::unique_ptr<QvCommonCrypto> engine(engineFor(password, kIV, salt));
        int status = 0;
        EXPECT_TRUE(engine->decrypt(kCiphertext, &status).isNull());
        EXPECT_EQ(status, QvCommonCrypto::StatusDecodeError);
    }
}

TEST(QvCommonCrypto, DamagedCiphertextGivesNoBytes)
{
    QByteArray flipped = kCiphertext;
    flipped[flipped.size() - 1] = char(flipped.back() ^ 0x5a);
    const QByteArray damaged[] = {kCiphertext.left(31), QByteArray(), flipped};
    std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, kIV, kSalt));
    for (const QByteArray& data : damaged) {
        int status = 0;
        EXPECT_TRUE(engine->decrypt(data, &status).isNull());
        EXPECT_NE(status, 0);
    }
}

TEST(QvCommonCrypto, MissingOrShortVectorOrSaltFailsWithoutReadingPastThem)
{
    const std::pair<QByteArray, QByteArray> damaged[] = {
        {kIV.left(15), kSalt}, {QByteArray(), kSalt}, {kIV, kSalt.left(7)}, {kIV, QByteArray()}};
    for (const auto& [iv, salt] : damaged) {
        std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, iv, salt));
        int status = 0;
        EXPECT_TRUE(engine->decrypt(kCiphertext, &status).isNull());
        EXPECT_EQ(status, QvCommonCrypto::StatusParamError);
        EXPECT_TRUE(engine->encrypt(kPlaintext, &status).isNull());
        EXPECT_EQ(status, QvCommonCrypto::StatusParamError);
        EXPECT_TRUE(engine->AESKey().isEmpty());
    }
}

TEST(QvCommonCrypto, AFailingRandomSourceLeavesNothingToEncryptWith)
{
    QvCommonCrypto existing(QStringLiteral("secret"));
    {
        FailingRandomSource failing;
        EXPECT_TRUE(QvCommonCrypto::randomDataOfLength(16).isNull());

        QvCommonCrypto fresh(QStringLiteral("secret"));
        EXPECT_TRUE(fresh.salt().isEmpty());
        EXPECT_TRUE(fresh.IV().isEmpty());
        int status = 0;
        EXPECT_TRUE(fresh.encrypt(kPlaintext, &status).isNull());
        EXPECT_NE(status, 0);

        // A save must not fall back on the previous salt and vector.
        EXPECT_EQ(existing.recalcIV_Salt_AESKey(), QvCommonCrypto::StatusRandomFailure);
        EXPECT_TRUE(existing.IV().isEmpty());
        EXPECT_TRUE(existing.salt().isEmpty());
        EXPECT_TRUE(existing.AESKey().isEmpty());
        EXPECT_TRUE(existing.encrypt(kPlaintext, &status).isNull());
        EXPECT_NE(status, 0);
        EXPECT_EQ(existing.setPasswordToEncrypt(QStringLiteral("other")), QvCommonCrypto::StatusRandomFailure);
    }
    EXPECT_EQ(existing.recalcIV_Salt_AESKey(), 0);
    int status = -1;
    EXPECT_EQ(existing.encrypt(kPlaintext, &status).size(), 32);
    EXPECT_EQ(status, 0);
}

TEST(QvCommonCrypto, CipherCallWritesBackThePaddingOptionItUsed)
{
    std::unique_ptr<QvCommonCrypto> engine(engineFor(kPassword, kIV, kSalt));
    int status = -1;
    int padding = 0;
    EXPECT_EQ(engine->doCipher(kPlaintext, QByteArray(), QvCommonCrypto::Encrypt, &padding, &status), kCiphertext);
    EXPECT_EQ(padding, QvCommonCrypto::OptionPKCS7Padding);

    // ECB stays ECB, unpadded, and ignores the vector.
    padding = QvCommonCrypto::OptionECBMode;
    const QByteArray block(16, 'b');
    const QByteArray ecb = engine->encryptKey(block, QByteArray(), &padding);
    EXPECT_EQ(padding, QvCommonCrypto::OptionECBMode);
    EXPECT_EQ(ecb.size(), 16);
    EXPECT_EQ(ecb, CryptoPrimitives::aes256(block, reinterpret_cast<const unsigned char*>(kKey.constData()), nullptr,
                                            false, QvCommonCrypto::OptionECBMode, nullptr));
    EXPECT_EQ(engine->decryptKey(ecb, QByteArray(), &padding), block);
}

TEST(QvCommonCrypto, Sha1MatchesThePublishedDigests)
{
    EXPECT_EQ(QvCommonCrypto::dataSHA1("abc"), hex("a9993e364706816aba3e25717850c26c9cd0d89d"));
    EXPECT_EQ(QvCommonCrypto::dataSHA1(QByteArray()), hex("da39a3ee5e6b4b0d3255bfef95601890afd80709"));
}

TEST(QvCommonCrypto, PasswordCheckTextHas256CharactersFrom1To255)
{
    const QString text = QvCommonCrypto::generateRandom256AsciiString();
    ASSERT_EQ(text.size(), 256);
    for (const QChar c : text) {
        EXPECT_GE(c.unicode(), 1);
        EXPECT_LE(c.unicode(), 255);
    }
    for (const auto& [drawn, code] : {std::pair{0L, 1}, {254L, 255}, {255L, 1}, {2147483647L, 128}}) {
        setRandomGeneratorForTesting([d = drawn] { return d; });
        EXPECT_EQ(QvCommonCrypto::generateRandom256AsciiString(), QString(256, QChar(code))) << drawn;
    }
    setRandomGeneratorForTesting({});
}
