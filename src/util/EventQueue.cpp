#include "util/EventQueue.h"

QueuedWake::QueuedWake(QObject *parent)
    : QObject(parent)
{
}

void QueuedWake::wake()
{
    {
        const std::lock_guard lock(m_mutex);
        if (std::exchange(m_pending, true))
            return;
    }
    // By name, not by a functor: a functor is made here, on the posting
    // thread, and read on the other one past locks the sanitizer cannot see.
    QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

void QueuedWake::deliver()
{
    {
        const std::lock_guard lock(m_mutex);
        m_pending = false;
    }
    emit woken();
}
