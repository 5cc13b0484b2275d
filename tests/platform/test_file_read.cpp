// Reading a file named from outside: only regular files, never blocking, never
// more than the limit, whatever the file reports of its size.
#include "platform/FileRead.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(FileRead, ReadsRegularFilesOnlyAndNeverPastTheLimit)
{
    QTemporaryDir dir;
    const auto path = [&dir](const char* name) { return dir.filePath(QLatin1String(name)); };
    {
        QFile file(path("small"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("twelve bytes");
    }
    ASSERT_TRUE(QFile::link(path("small"), path("link-to-small")));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), path("zero")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    {
        // Reports 4 GB and holds none of it.
        QFile file(path("sparse"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64(4) << 30));
    }

    using FileRead::Status;
    const struct {
        QString file;
        qint64 limit;
        Status status;
        QByteArray bytes;
    } cases[] = {
        {path("small"), 12, Status::Read, "twelve bytes"},
        {path("link-to-small"), 100, Status::Read, "twelve bytes"},
        {path("small"), 11, Status::TooLarge, {}},
        {path("sparse"), qint64(1) << 30, Status::TooLarge, {}},
        {path("zero"), 100, Status::NotRegular, {}},
        {path("pipe"), 100, Status::NotRegular, {}},
        {QStringLiteral("/dev/null"), 100, Status::NotRegular, {}},
        {path("folder"), 100, Status::Folder, {}},
        {path("missing"), 100, Status::Failed, {}},
        // Reports a size of 0 and holds more than that.
        {QStringLiteral("/proc/self/maps"), 10, Status::TooLarge, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        QByteArray out = "stale";
        QString error;
        EXPECT_EQ(FileRead::readRegularFile(c.file, c.limit, out, &error), c.status) << error.toStdString();
        EXPECT_EQ(out, c.bytes);
        EXPECT_EQ(error.isEmpty(), c.status == Status::Read) << error.toStdString();
    }

    QByteArray maps;
    ASSERT_EQ(FileRead::readRegularFile(QStringLiteral("/proc/self/maps"), 1 << 24, maps), Status::Read);
    EXPECT_TRUE(maps.contains("test_platform")) << "a file that reports 0 bytes is read to its end";
}
