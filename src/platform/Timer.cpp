#include "platform/Timer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <limits>

std::shared_ptr<Timer> Timer::scheduledTimer(Interval interval, std::function<void()> action)
{
    return Seam<TimerScheduler>::current().schedule(interval, std::move(action));
}

namespace {
constexpr Timer::Interval kLongestQtWait{std::numeric_limits<int>::max()};

Timer::Interval& longestWait()
{
    static Timer::Interval longest = kLongestQtWait;
    return longest;
}
} // namespace

void Timer::setLongestSingleWait(Interval longest)
{
    longestWait() = longest.count() > 0 ? std::min(longest, kLongestQtWait) : kLongestQtWait;
}

Timer::Interval Timer::longestSingleWait()
{
    return longestWait();
}

namespace {
// The QTimer belongs to the application object, not to the handle, so a timer
// whose handle is dropped still fires; the QTimer is deleted once it has fired
// or was invalidated. QTimer casts its interval to int milliseconds, so a
// longer one would wrap and fire early or never: it is waited out in steps.
class QtTimer : public Timer {
public:
    QtTimer(Interval interval, std::function<void()> action)
        : Timer(interval), m_action(std::move(action)), m_remaining(std::max(interval, Interval::zero()))
    {
    }

    void start(const std::shared_ptr<QtTimer>& self)
    {
        m_timer = new QTimer(QCoreApplication::instance());
        m_timer->setSingleShot(true);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, [self] {
            if (self->m_remaining > Interval::zero())
                self->waitNextStep();
            else
                self->fire();
        });
        waitNextStep();
    }
    void invalidate() override
    {
        m_valid = false;
        m_action = nullptr;
        if (m_timer) {
            m_timer->stop();
            m_timer->deleteLater();
        }
    }
    bool isValid() const override { return m_valid; }

private:
    void waitNextStep()
    {
        const Interval step = std::min(m_remaining, Timer::longestSingleWait());
        m_remaining -= step;
        m_timer->start(static_cast<int>(step.count()));
    }
    void fire()
    {
        if (!m_valid)
            return;
        m_valid = false;
        auto action = std::move(m_action);
        if (m_timer)
            m_timer->deleteLater();
        if (action)
            action();
    }

    std::function<void()> m_action;
    QPointer<QTimer> m_timer;
    Interval m_remaining;
    bool m_valid = true;
};

class QtTimerScheduler : public TimerScheduler {
public:
    std::shared_ptr<Timer> schedule(Timer::Interval interval, std::function<void()> action) override
    {
        auto timer = std::make_shared<QtTimer>(interval, std::move(action));
        timer->start(timer);
        return timer;
    }
};
} // namespace

TimerScheduler& TimerScheduler::production()
{
    static QtTimerScheduler scheduler;
    return scheduler;
}

class ManualTimers::Manual : public Timer {
public:
    Manual(Interval interval, Interval due, std::function<void()> action)
        : Timer(interval), due(due), action(std::move(action))
    {
    }
    void invalidate() override
    {
        valid = false;
        action = nullptr;
    }
    bool isValid() const override { return valid; }

    Interval due;
    std::function<void()> action;
    bool valid = true;
};

ManualTimers::~ManualTimers() = default;

std::shared_ptr<Timer> ManualTimers::schedule(Timer::Interval interval, std::function<void()> action)
{
    auto timer = std::make_shared<Manual>(interval, m_now + interval, std::move(action));
    m_timers.push_back(timer);
    return timer;
}

void ManualTimers::advance(Timer::Interval step)
{
    const Timer::Interval end = m_now + step;
    for (;;) {
        // The earliest valid timer due by the end; timers scheduled while firing take part.
        std::shared_ptr<Manual> next;
        for (const auto& timer : m_timers)
            if (timer->valid && timer->due <= end && (!next || timer->due < next->due))
                next = timer;
        if (!next)
            break;
        m_now = std::max(m_now, next->due);
        next->valid = false;
        auto action = std::move(next->action);
        if (action)
            action();
    }
    m_now = end;
    std::erase_if(m_timers, [](const auto& timer) { return !timer->valid; });
}

std::vector<std::shared_ptr<Timer>> ManualTimers::validTimers() const
{
    std::vector<std::shared_ptr<Timer>> valid;
    for (const auto& timer : m_timers)
        if (timer->valid)
            valid.push_back(timer);
    return valid;
}
