#include "encryption/DataBase64.h"

QString DataBase64::base64enc(const QByteArray& data)
{
    return QString::fromLatin1(data.toBase64());
}

QString DataBase64::base64EncodedString(const QByteArray& data)
{
    return base64enc(data);
}

QByteArray DataBase64::base64dec(const QString& text)
{
    QByteArray ascii;
    ascii.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() > 0x7F)
            return {};
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r' && c != u'\f' && c != u'\v')
            ascii.append(static_cast<char>(c.unicode()));
    }
    // A lone character after the last full group carries no whole byte; Qt
    // would drop it silently.
    if (ascii.size() % 4 == 1)
        return {};
    auto decoded = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return {};
    // Keep an empty result distinct from the null of a failure.
    return decoded.decoded.isNull() ? QByteArray("") : decoded.decoded;
}

QByteArray DataBase64::dataWithBase64EncodedString(const QString& text)
{
    return base64dec(text);
}

QByteArray DataBase64::dataFromBase64String(const QString& text)
{
    return base64dec(text);
}

QByteArray DataBase64::dataBase64enc(const QString& text)
{
    return base64dec(text);
}
