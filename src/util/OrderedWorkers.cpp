#include "util/OrderedWorkers.h"

#include "util/EventQueue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <algorithm>

OrderedWorkers::OrderedWorkers(qsizetype count, int workers, Work work)
    : m_count(std::max<qsizetype>(count, 0))
    , m_work(std::move(work))
    , m_done(size_t(m_count), false)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        m_loop = std::make_unique<QEventLoop>();
        m_wake = std::make_unique<QueuedWake>();
        QObject::connect(m_wake.get(), &QueuedWake::woken, m_loop.get(), [this] {
            m_woken = true;
            m_loop->quit();
        });
    }
    const qsizetype threads = std::min<qsizetype>(std::max(workers, 1), m_count);
    for (int number = 0; number < threads; ++number)
        m_threads.emplace_back([this, number] { runWorker(number); });
}

OrderedWorkers::~OrderedWorkers()
{
    stop();
    for (std::thread &thread : m_threads)
        thread.join();
}

void OrderedWorkers::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop.store(true);
    }
    m_changed.notify_all();
}

bool OrderedWorkers::waitFor(qsizetype index)
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        // Once stopped, work that was still running has been cut short:
        // nothing it made counts.
        if (m_stop.load() || index < 0 || index >= m_count)
            return false;
        if (m_done[size_t(index)])
            return true;
        if (!m_loop) {
            m_changed.wait(lock);
            continue;
        }
        lock.unlock();
        m_woken = false;
        m_loop->exec(QEventLoop::ExcludeUserInputEvents);
        if (!m_woken) {
            // Only an application that quits ends this loop without a worker
            // having woken it (and then it returns at once every time).
            stop();
            return false;
        }
        lock.lock();
    }
}

void OrderedWorkers::runWorker(int number)
{
    const Worker worker { number, m_stop };
    while (!m_stop.load()) {
        const qsizetype index = m_next.fetch_add(1);
        if (index >= m_count)
            return;
        m_work(index, worker);
        {
            const std::lock_guard lock(m_mutex);
            m_done[size_t(index)] = true;
        }
        m_changed.notify_all();
        wake();
    }
}

void OrderedWorkers::wake()
{
    // The wake lives until every worker is joined, and a call queued for it
    // that it has not yet run goes with it.
    if (m_wake)
        m_wake->wake();
}
