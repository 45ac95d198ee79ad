#pragma once

#include <QObject>

#include <mutex>
#include <utility>
#include <vector>

// How work on other threads calls the thread an object lives in. What travels
// waits under a lock of ours that both sides take, so ThreadSanitizer sees
// every hand-over (Qt's own locks are invisible to it when Qt is not
// instrumented); the queued call that wakes the receiving thread is made
// inside Qt from a method name and carries nothing. At most one wake is on
// its way at a time.
class QueuedWake : public QObject
{
    Q_OBJECT

public:
    explicit QueuedWake(QObject *parent = nullptr);

    // Has woken() emitted on this object's thread soon. Safe from any thread.
    void wake();

signals:
    // After one or more wake()s. A receiver may delete this object.
    void woken();

protected:
    std::mutex m_mutex;

private:
    Q_INVOKABLE void deliver();

    bool m_pending = false; // under m_mutex
};

// Events that other threads post for the thread this lives in; that thread
// takes them when woken(), in the order they were posted.
template<typename Event>
class EventQueue : public QueuedWake
{
public:
    using QueuedWake::QueuedWake;

    // Safe from any thread.
    void post(Event event)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_events.push_back(std::move(event));
        }
        wake();
    }

    // Everything posted so far.
    std::vector<Event> take()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_events, {});
    }

private:
    std::vector<Event> m_events; // under m_mutex
};
