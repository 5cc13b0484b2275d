#pragma once
#include "platform/Seam.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

// A one-shot timer on the main event loop. Once scheduled it fires even when
// nobody keeps its handle; invalidate() cancels it.
//
//   +[NSTimer scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:NO]
//                          ->  Timer::scheduledTimer(interval, action)
//   -[NSTimer invalidate]  ->  invalidate()
//   -[NSTimer isValid]     ->  isValid(): true until it has fired or was invalidated
class Timer {
public:
    using Interval = std::chrono::milliseconds;

    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
    Interval timeInterval() const { return m_interval; }

    static std::shared_ptr<Timer> scheduledTimer(Interval interval, std::function<void()> action);

    // The event loop takes waits of at most this long (QTimer counts in int
    // milliseconds, about 24.8 days); longer intervals are waited out in steps
    // of it. Tests lower it to see the steps; a zero or negative value puts
    // the usual one back.
    static void setLongestSingleWait(Interval longest);
    static Interval longestSingleWait();

protected:
    explicit Timer(Interval interval) : m_interval(interval) {}

private:
    Interval m_interval;
};

// Where timers are scheduled: the event loop, or a test's hand-driven clock.
class TimerScheduler {
public:
    virtual ~TimerScheduler() = default;
    virtual std::shared_ptr<Timer> schedule(Timer::Interval interval, std::function<void()> action) = 0;
    static TimerScheduler& production();
};

// For tests: timers fire only when the test advances time.
class ManualTimers : public TimerScheduler {
public:
    ManualTimers() : m_install(this) {}
    ~ManualTimers() override;

    std::shared_ptr<Timer> schedule(Timer::Interval interval, std::function<void()> action) override;
    // Moves time on by step and fires, in order of their due time, the timers that fall due.
    void advance(Timer::Interval step);
    // Timers that are scheduled and have neither fired nor been invalidated.
    std::vector<std::shared_ptr<Timer>> validTimers() const;
    Timer::Interval elapsed() const { return m_now; }

private:
    class Manual;
    std::vector<std::shared_ptr<Manual>> m_timers;
    Timer::Interval m_now{0};
    ScopedSeam<TimerScheduler> m_install;
};
