#pragma once
#include "platform/Seam.h"

#include <QDateTime>

// The current date and time.
//
//   [NSDate date]  ->  Clock::now()
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime currentDateTime() const = 0;

    static QDateTime now() { return Seam<Clock>::current().currentDateTime(); }
    static Clock& production();
};

// For tests: a clock that shows the time it is set to.
class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime time) : m_time(std::move(time)), m_install(this) {}
    QDateTime currentDateTime() const override { return m_time; }
    void set(QDateTime time) { m_time = std::move(time); }
    void advance(qint64 milliseconds) { m_time = m_time.addMSecs(milliseconds); }

private:
    QDateTime m_time;
    ScopedSeam<Clock> m_install;
};
