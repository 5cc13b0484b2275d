#pragma once
#include "platform/Seam.h"

#include <QObject>
#include <QPointer>
#include <deque>
#include <functional>
#include <mutex>

// The main operation queue: work posted here runs later on the main thread,
// after the current event, in the order it was posted. It may be posted from
// any thread.
//
//   [[NSOperationQueue mainQueue] addOperationWithBlock:b]  ->  MainQueue::post(b)
//   (a block that uses an object)                           ->  MainQueue::post(object, b)
class MainQueue {
public:
    virtual ~MainQueue() = default;

    static void post(std::function<void()> operation) { Seam<MainQueue>::current().enqueue(nullptr, std::move(operation)); }
    // The operation is dropped when context is destroyed before it runs.
    static void post(QObject* context, std::function<void()> operation)
    {
        Seam<MainQueue>::current().enqueue(context, std::move(operation));
    }

    virtual void enqueue(QObject* context, std::function<void()> operation) = 0;

    static MainQueue& production();
};

// For tests: holds what is posted until the test runs it.
class ManualMainQueue : public MainQueue {
public:
    ManualMainQueue() : m_install(this) {}

    void enqueue(QObject* context, std::function<void()> operation) override;
    // Runs the oldest operation; false when there was none.
    bool runNext();
    // Runs operations, also those they post, until none is left (at most limit of them).
    int runAll(int limit = 10000);
    int pending() const;

private:
    struct Pending {
        bool hasContext;
        QPointer<QObject> context;
        std::function<void()> operation;
    };
    mutable std::mutex m_mutex;
    std::deque<Pending> m_pending;
    ScopedSeam<MainQueue> m_install;
};
