#include "filelist/IntakeJob.h"


#include <QPointer>

#include <algorithm>

IntakeJob::IntakeJob(int workers, Prepare prepare, QObject *parent)
    : QObject(parent)
    , m_workers(std::max(workers, 1))
    , m_prepare(std::move(prepare))
{
    connect(&m_done, &QueuedWake::woken, this, &IntakeJob::deliver);
}

IntakeJob::~IntakeJob()
{
    m_stop.store(true);
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    for (std::thread &thread : m_threads)
        thread.join();
}

void IntakeJob::add(const QStringList &paths)
{
    if (paths.isEmpty() || m_stop.load())
        return;
    m_running = true;
    qsizetype waiting = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_paths += paths;
        waiting = m_paths.size() - m_next;
    }
    m_changed.notify_all();
    // Workers stay for the job's life, idle between files: as many as there is work for.
    while (qsizetype(m_threads.size()) < std::min<qsizetype>(m_workers, waiting)) {
        const int number = int(m_threads.size());
        m_threads.emplace_back([this, number] { work(number); });
    }
}

void IntakeJob::cancel()
{
    if (!m_running)
        return;
    m_stop.store(true);
    m_changed.notify_all();
    end(true);
}

void IntakeJob::work(int number)
{
    const Worker worker { number, m_stop };
    for (;;) {
        qsizetype index = 0;
        QString path;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_closing || m_stop.load() || m_next < m_paths.size(); });
            if (m_closing || m_stop.load())
                return;
            index = m_next++;
            path = m_paths.at(index);
        }
        Intake::Examined file = Intake::examine(path, &m_stop);
        if (!file.refusal && m_prepare && !m_stop.load())
            file.prepared = m_prepare(file.probe, worker);
        m_done.post({ index, std::move(file) });
    }
}

void IntakeJob::deliver()
{
    for (Done &done : m_done.take())
        m_early.emplace(done.index, std::move(done.file));
    // Once stopped, work that was still running has been cut short: nothing it made counts.
    if (!m_running || m_stop.load())
        return;
    const QPointer<IntakeJob> self(this);
    qsizetype total = 0;
    {
        const std::lock_guard lock(m_mutex);
        total = m_paths.size();
    }
    for (auto next = m_early.find(m_delivered); next != m_early.end(); next = m_early.find(m_delivered)) {
        const Intake::Examined file = std::move(next->second);
        m_early.erase(next);
        ++m_delivered;
        if (file.refusal)
            m_refused.append(Intake::refusalOf(file));
        emit examined(file);
        if (!self || m_stop.load()) // a listener let go of the job, or stopped it
            return;
        if (!file.refusal)
            emit progress(double(m_delivered) / double(total) * 100);
        if (!self || m_stop.load())
            return;
    }
    if (m_delivered == total)
        end(false);
}

void IntakeJob::end(bool stopped)
{
    if (!m_running)
        return;
    m_running = false;
    emit finished(std::exchange(m_refused, {}), stopped);
}
