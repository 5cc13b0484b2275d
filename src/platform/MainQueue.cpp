#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {
class QtMainQueue : public MainQueue {
public:
    void enqueue(QObject* context, std::function<void()> operation) override
    {
        // A queued call to an object of the main thread runs on the main thread,
        // and Qt drops it when that object is destroyed first.
        QObject* receiver = context ? context : QCoreApplication::instance();
        if (!receiver)
            return;
        QMetaObject::invokeMethod(receiver, std::move(operation), Qt::QueuedConnection);
    }
};
} // namespace

MainQueue& MainQueue::production()
{
    static QtMainQueue queue;
    return queue;
}

void ManualMainQueue::enqueue(QObject* context, std::function<void()> operation)
{
    std::lock_guard lock(m_mutex);
    m_pending.push_back({context != nullptr, context, std::move(operation)});
}

bool ManualMainQueue::runNext()
{
    Pending next;
    {
        std::lock_guard lock(m_mutex);
        if (m_pending.empty())
            return false;
        next = std::move(m_pending.front());
        m_pending.pop_front();
    }
    if (!next.hasContext || next.context)
        next.operation();
    return true;
}

int ManualMainQueue::runAll(int limit)
{
    int ran = 0;
    while (ran < limit && runNext())
        ++ran;
    return ran;
}

int ManualMainQueue::pending() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_pending.size());
}
