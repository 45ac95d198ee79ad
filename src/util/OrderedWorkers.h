#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

class QEventLoop;
class QueuedWake;

// Work on threads of its own, taken back in order: work(index, worker) runs
// for every index below count on at most `workers` threads at a time, and the
// calling thread waits for each index in turn, whichever finished first.
// Nothing it starts outlives it: the destructor asks the work to stop and
// joins every thread.
class OrderedWorkers
{
public:
    // Where a piece of work runs: its worker's number (from 0; a worker does
    // one piece at a time, so a working file named after it is never shared),
    // and the flag that asks it to stop.
    struct Worker
    {
        int number;
        const std::atomic<bool> &stop;
    };
    using Work = std::function<void(qsizetype index, const Worker &worker)>;

    // work is called from several threads at once.
    OrderedWorkers(qsizetype count, int workers, Work work);
    ~OrderedWorkers();
    OrderedWorkers(const OrderedWorkers &) = delete;
    OrderedWorkers &operator=(const OrderedWorkers &) = delete;

    // Waits until the work for index is done; false once stopped. On the
    // thread of a running application the wait spins an event loop that
    // excludes user input, so windows keep painting and nothing the user does
    // re-enters the caller; when that loop is ended from outside (the
    // application quits), the pass stops.
    bool waitFor(qsizetype index);

    // Asks the running work to stop and starts no more. Safe from any thread.
    void stop();

private:
    void runWorker(int number);
    void wake();

    const qsizetype m_count;
    const Work m_work;
    std::atomic<bool> m_stop { false };
    std::atomic<qsizetype> m_next { 0 };
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<bool> m_done; // under m_mutex
    std::unique_ptr<QEventLoop> m_loop; // the waiting thread's, when it runs the application
    std::unique_ptr<QueuedWake> m_wake; // ends m_loop from a worker
    bool m_woken = false; // the waiting thread's
    std::vector<std::thread> m_threads;
};

// Runs work on OrderedWorkers and hands each result to deliver(index, result)
// on the calling thread in index order, each as soon as it and every one
// before it are in. False when the pass was stopped (the application quit):
// what had not been delivered is dropped.
template<typename Work, typename Deliver>
bool mapInOrder(qsizetype count, int workers, const Work &work, const Deliver &deliver)
{
    using Result = std::invoke_result_t<const Work &, qsizetype, const OrderedWorkers::Worker &>;
    // Each slot is written by one worker and read once waitFor has seen it done.
    std::vector<std::optional<Result>> results(size_t(std::max<qsizetype>(count, 0)));
    OrderedWorkers pool(count, workers, [&results, &work](qsizetype index, const OrderedWorkers::Worker &worker) {
        results[size_t(index)].emplace(work(index, worker));
    });
    for (qsizetype i = 0; i < count; ++i) {
        if (!pool.waitFor(i))
            return false;
        Result result = std::move(*results[size_t(i)]);
        results[size_t(i)].reset();
        deliver(i, std::move(result));
    }
    return true;
}
