#include "toolkit/QvImgData.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

Value QvImgData::transformedValue(const Value& value) const
{
    if (value.isNull())
        return Value::data({});
    if (!value.isData() || QImage::fromData(value.dataValue()).isNull())
        return {};
    return value;
}

Value QvImgData::reverseTransformedValue(const Value& value) const
{
    const QByteArray bytes = value.dataValue();
    if (value.isNull() || (value.isData() && bytes.isEmpty()))
        return Value::data({});
    const QImage image = QImage::fromData(bytes);
    if (image.isNull())
        return {};
    static const QByteArray format =
        QImageWriter::supportedImageFormats().contains("tiff") ? QByteArray("TIFF") : QByteArray("PNG");
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format.constData()))
        return {};
    return Value::data(encoded);
}
