#pragma once

#include "compress/Batch.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

enum class RowOutcome {
    succeeded,
    failedToStart, // no transcoder, or it could not be launched
    crashed,
    exitedNonZero,
    noOutput, // exited cleanly but left no output file
    cancelled, // stopped or skipped by a cancel
};

struct RowResult
{
    RowOutcome outcome = RowOutcome::cancelled;
    int exitCode = 0;

    // What the user is told about the row: "compressed", or why not.
    QString description() const;
};
Q_DECLARE_METATYPE(RowResult)

// One run of a batch, from start to end: it owns the worker thread, the
// transcoder process of the row in progress and the cancel request. Rows run
// one after the other on the worker; everything the job says comes as signals
// on the thread the job lives in. Nothing it starts outlives it: the
// destructor stops the run (terminate, then kill) and joins the worker.
class BatchJob : public QObject
{
    Q_OBJECT

public:
    enum class TranscoderOutput { inherit, discard };

    explicit BatchJob(Batch batch, TranscoderOutput output = TranscoderOutput::inherit, QObject *parent = nullptr);
    ~BatchJob() override;

    const Batch &batch() const { return m_batch; }

    // Starts the run. Once per job.
    void start();
    // Asks the run to stop: the flag is set first, then the worker terminates
    // the transcoder within a few milliseconds, kills it 3 s later if it is
    // still there, and starts no further row. Only stores an atomic flag, so
    // it is safe from any thread and from a signal handler.
    void cancel() noexcept { m_cancelled.store(true); }
    bool isCancelled() const noexcept { return m_cancelled.load(); }
    // From start() until finished() has been emitted.
    bool isRunning() const { return m_running; }
    // The transcoder now running, 0 when there is none.
    qint64 processId() const noexcept { return m_processId.load(); }
    // One result per row once finished() has been emitted.
    const QList<RowResult> &results() const { return m_results; }

    // Percent of the whole batch from one chunk of the transcoder's standard
    // error for row i of n: the first clock text in a chunk that holds
    // "time=". Nothing for a chunk that is not UTF-8 or carries no progress.
    // Writes the "Percent : " line.
    static std::optional<double> handleTranscoderOutput(const QByteArray &chunk, qsizetype i, qsizetype n,
                                                        const QList<double> &durations);

    // The inputs whose rows failed (cancelled rows are not failures).
    static QStringList failedInputs(const Batch &batch, const QList<RowResult> &results);

signals:
    void rowStarted(qsizetype row);
    // Percent of the whole batch: it only grows, and stays within the row's share.
    void progress(double percent, qsizetype row);
    void rowFinished(qsizetype row, const RowResult &result);
    void finished(const QList<RowResult> &results);

private:
    // What the worker has to say, handed over under m_eventsMutex.
    struct Event
    {
        enum Kind { rowStarted, progress, rowFinished, finished } kind;
        qsizetype row = -1;
        double percent = 0;
        RowResult result = {};
        QList<RowResult> results = {};
    };

    // On the worker.
    void work();
    RowResult runRow(qsizetype row, const QString &creator);
    void reportProgress(double percent, qsizetype row);
    void post(Event event);
    // On the job's thread: emits what the worker posted.
    void deliverEvents();

    const Batch m_batch;
    const TranscoderOutput m_output;
    std::atomic<bool> m_cancelled { false };
    std::atomic<qint64> m_processId { 0 };
    std::thread m_worker;
    double m_reportedPercent = -1; // the worker's
    std::mutex m_eventsMutex;
    std::vector<Event> m_events;
    bool m_running = false; // the job's thread's, as is everything below
    QList<RowResult> m_results;
};
