// Files no user means to open as a document: endless devices, pipes, folders,
// sizes beyond any document and noise. Each is refused with its reason, in a
// child process whose address space is capped and whose time is bounded, so
// that a read without bound fails here rather than taking the machine.
#include "test_document_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr qint64 kMemoryCap = qint64(1) << 30; // beyond what the process already has
constexpr int kHangSeconds = 60;
constexpr qint64 kTimeBoundMs = 4000;

// The child's own processor time: a bound on the work done, which a busy
// machine does not stretch the way it stretches the wall clock.
qint64 cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

struct Outcome {
    bool finished = false;
    QString report;
};

// Runs `work` in a forked child under the caps and returns what it wrote, or
// says how it ended otherwise.
Outcome inCappedChild(const std::function<QByteArray()>& work)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {false, QStringLiteral("no pipe")};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        QFile statm(QStringLiteral("/proc/self/statm"));
        const qint64 pages = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(0).toLongLong() : 0;
        rlimit cap{};
        getrlimit(RLIMIT_AS, &cap);
        cap.rlim_cur = rlim_t(pages * sysconf(_SC_PAGESIZE) + kMemoryCap);
        if (pages <= 0 || setrlimit(RLIMIT_AS, &cap) != 0)
            ::_exit(3);
        ::alarm(kHangSeconds);
        QByteArray out;
        try {
            out = work();
        } catch (const std::exception& e) {
            out = QByteArray("threw ") + e.what();
        }
        const ssize_t written = ::write(fds[1], out.constData(), size_t(out.size()));
        ::_exit(written == out.size() ? 0 : 4);
    }
    ::close(fds[1]);
    QByteArray report;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got > 0)
            report.append(buffer, got);
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {true, QString::fromUtf8(report)};
    if (WIFSIGNALED(status))
        return {false, QStringLiteral("ended by signal %1%2").arg(WTERMSIG(status)).arg(WTERMSIG(status) == SIGALRM ? " (it hung)" : "")};
    return {false, QStringLiteral("exited with %1").arg(WEXITSTATUS(status))};
}

class HostileFileTest : public ContactsDocumentTest {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(HostileFileTest, EachIsRefusedWithItsReasonWithinBoundsOfMemoryAndTime)
{
    const QString zero = path("zero.calvorin"), pipe = path("pipe.calvorin"), folder = path("folder.calvorin"),
                  huge = path("huge.calvorin"), noise = path("noise.calvorin");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkdir(folder));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(Document::kLargestReadableFile + 1));
    }
    {
        QByteArray bytes(300 << 20, Qt::Uninitialized);
        quint64 state = 0x9e3779b97f4a7c15ull;
        for (char& c : bytes) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            c = char(state >> 56);
        }
        bytes[0] = '<'; // past the first test of an XML opening
        QFile file(noise);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    const struct {
        QString file;
        QString informative;
    } cases[] = {
        {zero, "It is a device, pipe or socket, not a document."},
        {pipe, "It is a device, pipe or socket, not a document."},
        {folder, "It is a folder, not a document."},
        {huge, "The file is too large to be a contacts document."},
        {noise, "The file is damaged or is not a contacts document. malformed property list: neither binary nor XML"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        const Outcome outcome = inCappedChild([&] {
            const qint64 started = cpuMilliseconds();
            bool opened = true;
            controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(c.file), true,
                                                     [&opened](Document* d, bool) { opened = d != nullptr; });
            settle();
            const qint64 elapsed = cpuMilliseconds() - started;
            if (opened || responder.alerts().isEmpty())
                return QByteArray("opened or said nothing");
            const ShownAlert& alert = responder.alerts().last();
            return (alert.messageText + '\n' + alert.informativeText + '\n' + QString::number(elapsed)).toUtf8();
        });
        ASSERT_TRUE(outcome.finished) << outcome.report.toStdString();
        const QStringList lines = outcome.report.split('\n');
        ASSERT_EQ(lines.size(), 3) << outcome.report.toStdString();
        EXPECT_EQ(lines[0].toStdString(),
                  QStringLiteral("The document “%1” could not be opened.").arg(QFileInfo(c.file).fileName()).toStdString());
        EXPECT_EQ(lines[1].toStdString(), c.informative.toStdString());
        EXPECT_LT(lines[2].toLongLong(), kTimeBoundMs);
    }
}
