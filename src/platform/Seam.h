#pragma once
#include <atomic>

// Every effect outside the process (the clock, timers, the main queue, file
// choosers, the clipboard, opening addresses) is reached through an interface
// with one process-wide implementation. Tests install their own in its place.
//
// An interface I takes part by declaring `static I& production();`, the
// implementation used while nothing else is installed.
template <class I>
class Seam {
public:
    // The installed implementation, or the production one.
    static I& current()
    {
        I* installed = slot().load();
        return installed ? *installed : I::production();
    }
    // The installed implementation, or null.
    static I* installed() { return slot().load(); }
    // Installs impl (null restores the production one) and returns what was installed before.
    static I* install(I* impl) { return slot().exchange(impl); }

private:
    static std::atomic<I*>& slot()
    {
        static std::atomic<I*> installed{nullptr};
        return installed;
    }
};

// Installs an implementation for the lifetime of this object and then puts the
// previous one back. Test implementations hold one as a member, so that
// declaring them in a test is all it takes.
template <class I>
class ScopedSeam {
public:
    explicit ScopedSeam(I* impl) : m_previous(Seam<I>::install(impl)) {}
    ~ScopedSeam() { Seam<I>::install(m_previous); }
    ScopedSeam(const ScopedSeam&) = delete;
    ScopedSeam& operator=(const ScopedSeam&) = delete;

private:
    I* m_previous;
};
