#pragma once
#include <QByteArray>
#include <QString>

// Base64 (RFC 4648 alphabet) of byte strings, without line breaks. Carried for
// completeness; the application itself does not call it.
//
// The members of the original byte-string category become static members here:
// the instance methods take the bytes as their argument. Its transform runner
// (transformExecuter:trans:) has no counterpart: QByteArray does the coding.
class DataBase64
{
public:
    static QString base64enc(const QByteArray& data);
    static QString base64EncodedString(const QByteArray& data);

    // Decoding ignores ASCII white space (line breaks included) and answers a
    // null byte string for text that is not ASCII or not valid Base64.
    static QByteArray base64dec(const QString& text);
    static QByteArray dataWithBase64EncodedString(const QString& text);
    static QByteArray dataFromBase64String(const QString& text);
    // Decodes, despite its name.
    static QByteArray dataBase64enc(const QString& text);
};
