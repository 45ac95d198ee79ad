#pragma once

#include "filelist/Intake.h"
#include "probe/FileProbe.h"
#include "util/EventQueue.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Bringing files into the list, as a job shaped like BatchJob: every file is
// probed (and, for the window, prepared: its thumbnail) on workers of the
// job's own, and what is learnt comes out as signals on the job's thread in
// the order the files were added, whichever worker finished first. Files
// added while it runs join the same pass. Nothing it starts outlives it: the
// destructor stops the running tools and joins the workers.
class IntakeJob : public QObject
{
    Q_OBJECT

public:
    // Where a piece of work runs: its worker's number (from 0; a worker does
    // one file at a time, so a working file named after it is never shared),
    // and the flag that asks it to stop.
    struct Worker
    {
        int number;
        const std::atomic<bool> &stop;
    };
    // On a worker, for each accepted file after its probe.
    using Prepare = std::function<QVariant(const FileProbe &probe, const Worker &worker)>;

    // workers: files examined at the same time (1: one after the other).
    explicit IntakeJob(int workers, Prepare prepare = {}, QObject *parent = nullptr);
    ~IntakeJob() override;

    // Adds files to the pass: they are examined after those already added.
    void add(const QStringList &paths);
    // Stops the pass: the running tools are killed within 20 ms, nothing more
    // is examined, and finished() comes with stopped set.
    void cancel();
    // From the first add() until finished().
    bool isRunning() const { return m_running; }

signals:
    // One file, in the order added.
    void examined(const Intake::Examined &file);
    // Percent of the files added so far, after each file.
    void progress(double percent);
    // Every file added has been examined, or the pass was stopped and the
    // rest dropped. refused: in the order added.
    void finished(const QList<Intake::Refusal> &refused, bool stopped);

private:
    struct Done
    {
        qsizetype index;
        Intake::Examined file;
    };

    void work(int number);
    // On the job's thread: hands on what the workers have done, in order.
    void deliver();
    void end(bool stopped);

    const int m_workers;
    const Prepare m_prepare;
    std::atomic<bool> m_stop { false };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    QStringList m_paths;      // under m_mutex
    qsizetype m_next = 0;     // under m_mutex: the next path a worker takes
    bool m_closing = false;   // under m_mutex: workers return
    std::vector<std::thread> m_threads;
    EventQueue<Done> m_done;
    // The job's thread's:
    std::map<qsizetype, Intake::Examined> m_early; // done before those ahead of them
    qsizetype m_delivered = 0;
    QList<Intake::Refusal> m_refused;
    bool m_running = false;
};
