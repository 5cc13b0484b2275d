// The desktop files that announce the document type to the Linux desktop agree
// with one another and follow the Desktop Entry format.
#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace {
QString dataFile(const char* name)
{
    QFile file(QStringLiteral(CALVORIN_SOURCE_DIR "/data/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

TEST(DesktopIntegration, LauncherMimeTypeAndIconAgree)
{
    const QStringList lines = dataFile("calvorin.desktop").split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), "[Desktop Entry]");
    QMap<QString, QString> entry;
    const QRegularExpression keyValue(QStringLiteral("^([A-Za-z0-9-]+)=(.*)$"));
    for (const QString& line : lines.mid(1)) {
        const QRegularExpressionMatch match = keyValue.match(line);
        ASSERT_TRUE(match.hasMatch()) << line.toStdString();
        EXPECT_FALSE(entry.contains(match.captured(1))) << "key given twice: " << line.toStdString();
        entry.insert(match.captured(1), match.captured(2));
    }
    EXPECT_EQ(entry.value("Type"), "Application");
    EXPECT_EQ(entry.value("Name"), "Calvorin");
    EXPECT_EQ(entry.value("Exec"), "calvorin %F");
    for (const char* list : {"Categories", "MimeType", "Keywords"})
        EXPECT_TRUE(entry.value(list).endsWith(';')) << list;
    EXPECT_EQ(entry.value("MimeType"), "application/x-calvorin;");

    QXmlStreamReader mime(dataFile("calvorin.xml"));
    QStringList types, globs;
    while (!mime.atEnd()) {
        if (mime.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (mime.name() == QLatin1String("mime-type"))
            types << mime.attributes().value("type").toString();
        if (mime.name() == QLatin1String("glob"))
            globs << mime.attributes().value("pattern").toString();
    }
    EXPECT_FALSE(mime.hasError()) << mime.errorString().toStdString();
    EXPECT_EQ(types, QStringList{"application/x-calvorin"});
    EXPECT_EQ(globs, QStringList{"*.calvorin"});

    EXPECT_EQ(entry.value("Icon"), "calvorin");
    EXPECT_TRUE(dataFile("calvorin.svg").contains("<svg"));
}
