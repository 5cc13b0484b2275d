#pragma once
// Running a piece of a test within a memory cap and a time limit, for inputs
// that would otherwise take the machine's memory or hang the suite.

#include <QFile>

#include <functional>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Caps the address space the process may still take, for as long as it lives.
class AddressSpaceCap {
public:
    explicit AddressSpaceCap(qint64 moreBytes)
    {
        getrlimit(RLIMIT_AS, &m_old);
        QFile statm(QStringLiteral("/proc/self/statm"));
        const qint64 pages = statm.open(QIODevice::ReadOnly) ? statm.readAll().split(' ').value(0).toLongLong() : 0;
        rlimit capped = m_old;
        capped.rlim_cur = rlim_t(pages * sysconf(_SC_PAGESIZE) + moreBytes);
        m_capped = pages > 0 && setrlimit(RLIMIT_AS, &capped) == 0;
    }
    ~AddressSpaceCap() { setrlimit(RLIMIT_AS, &m_old); }
    AddressSpaceCap(const AddressSpaceCap&) = delete;
    AddressSpaceCap& operator=(const AddressSpaceCap&) = delete;
    bool capped() const { return m_capped; }

private:
    rlimit m_old{};
    bool m_capped = false;
};

// Runs `body` in a child process that may take `moreBytes` of address space
// beyond what it starts with and `seconds` of time. Answers body's result, or
// -1 when the child ran out of either (or could not be started): a child
// running out of memory ends, it does not take the test process with it.
inline int runBounded(qint64 moreBytes, unsigned seconds, const std::function<bool()>& body)
{
    const pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        alarm(seconds);
        const AddressSpaceCap cap(moreBytes);
        _exit(cap.capped() ? (body() ? 1 : 0) : 3);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return -1;
    return WEXITSTATUS(status);
}
