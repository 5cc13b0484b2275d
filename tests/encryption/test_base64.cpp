#include "encryption/DataBase64.h"

#include <gtest/gtest.h>

TEST(DataBase64, EncodesAndDecodesThePublishedVectors)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(DataBase64::base64enc(bytes), text);
        EXPECT_EQ(DataBase64::base64EncodedString(bytes), text);
        for (const QByteArray& decoded :
             {DataBase64::base64dec(text), DataBase64::dataWithBase64EncodedString(text),
              DataBase64::dataFromBase64String(text), DataBase64::dataBase64enc(text)}) {
            EXPECT_EQ(decoded, bytes) << text.toStdString();
            EXPECT_FALSE(decoded.isNull());
        }
    }
}

TEST(DataBase64, DecodingSkipsLineBreaksAndRefusesOtherText)
{
    EXPECT_EQ(DataBase64::base64dec(QStringLiteral("Zm9v\r\nYmFy\n")), QByteArray("foobar"));
    for (const QString& bad : {QStringLiteral("Zm9v!"), QStringLiteral("Zm9vY"), QStringLiteral(u"Zm9v\u00E9")})
        EXPECT_TRUE(DataBase64::base64dec(bad).isNull()) << bad.toStdString();
}
