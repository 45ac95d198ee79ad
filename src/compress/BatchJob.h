#pragma once

#include "compress/Batch.h"
#include "compress/RowEncoder.h"
#include "compress/RowResult.h"
#include "util/EventQueue.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>
#include <thread>


// One run of a batch, from start to end: it owns the worker thread, the
// transcoder process of the row in progress and the cancel request. Rows run
// one after the other on the worker, each encoded until its output is
// checked and fits (RowEncoder); everything the job says comes as signals on
// the thread the job lives in. Nothing it starts outlives it: the destructor
// stops the run (terminate, then kill) and joins the worker.
class BatchJob : public QObject
{
    Q_OBJECT

public:
    explicit BatchJob(Batch batch, EncodeOptions options = {}, QObject *parent = nullptr);
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

    // The inputs whose rows failed (cancelled rows are not failures).
    static QStringList failedInputs(const Batch &batch, const QList<RowResult> &results);
    // Why no batch can run now, for the user: the transcoder is missing, or
    // there is no working folder for its pass logs. Nothing when one can.
    static std::optional<QString> cannotRunText();

    // Whether any row left an output: what decides that a replaced folder may go.
    static bool wroteAnyOutput(const QList<RowResult> &results);

signals:
    void rowStarted(qsizetype row);
    // The plan the row is encoded to, its picture chosen; why: how it was chosen, when it was.
    void rowPlanned(qsizetype row, const RowPlan &plan, const QString &why);
    // Percent of the whole batch: it only grows, covers every encode of a row
    // within the row's share, and reaches 100 only when the batch is done.
    // attempt counts the row's encodes from 1; pass is 1 or 2 in a two-pass
    // encode, 0 in a single run.
    void progress(double percent, qsizetype row, int attempt, int pass);
    // The row is encoded again, and why ("over target by 11.2 %: two passes").
    void attemptStarted(qsizetype row, int attempt, const QString &why);
    void rowFinished(qsizetype row, const RowResult &result);
    void finished(const QList<RowResult> &results);

private:
    // What the worker has to say.
    struct Event
    {
        enum Kind { rowStarted, rowPlanned, progress, attemptStarted, rowFinished, finished } kind;
        qsizetype row = -1;
        double percent = 0;
        int attempt = 0;
        int pass = 0;
        QString why = {};
        RowPlan plan = {};
        RowResult result = {};
        QList<RowResult> results = {};
    };

    // On the worker.
    void work();
    void reportProgress(double percent, qsizetype row, int attempt = 0, int pass = 0);
    void post(Event event) { m_events.post(std::move(event)); }
    // On the job's thread: emits what the worker posted.
    void deliverEvents();

    const Batch m_batch;
    const EncodeOptions m_options;
    std::atomic<bool> m_cancelled { false };
    std::atomic<qint64> m_processId { 0 };
    std::thread m_worker;
    double m_reportedPercent = -1; // the worker's
    EventQueue<Event> m_events { this };
    bool m_running = false; // the job's thread's, as is everything below
    QList<RowResult> m_results;
};
