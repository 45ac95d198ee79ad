#pragma once

#include "compress/Batch.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// A transcoder run as other threads see it. The QProcess itself lives in the
// runner's thread and only that thread touches it; everyone else asks through
// this handle, and the runner acts on the request within a few milliseconds.
class TranscoderHandle
{
public:
    void terminate() { m_terminateRequested.store(true); }
    bool terminateRequested() const { return m_terminateRequested.load(); }

private:
    std::atomic<bool> m_terminateRequested { false };
};

// The run now in progress, recorded by the runner and read by cancel.
class ProcessSlot
{
public:
    void record(std::shared_ptr<TranscoderHandle> handle);
    std::shared_ptr<TranscoderHandle> current() const;
    // Asks the recorded run, if any, to stop.
    void terminate() const;

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<TranscoderHandle> m_handle;
};

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
};

QString describe(RowOutcome outcome);

// Percent of the whole batch from one chunk of the transcoder's standard
// error for row i of n: the first clock text in a chunk that holds "time=".
// Nothing for a chunk that is not UTF-8 or carries no progress. Writes the
// "Percent : " line.
std::optional<double> handleTranscoderOutput(const QByteArray &chunk, qsizetype i, qsizetype n,
                                             const QList<double> &durations);

struct RunnerHooks
{
    std::function<void(double percent, qsizetype row)> progress; // from the runner's thread
    std::function<void(qsizetype row)> rowStarted;               // from the runner's thread
};

enum class TranscoderOutput { inherit, discard };

// Runs every row of the batch, one after the other, on the calling thread.
// The flag is checked before each row and while each run goes on; a run
// asked to stop is terminated, then killed if it does not go. Returns one
// result per row.
QList<RowResult> runBatch(const Batch &batch, const std::atomic<bool> &cancelled, ProcessSlot &globalProcess,
                          const RunnerHooks &hooks, TranscoderOutput output = TranscoderOutput::inherit);

// Names of the inputs whose rows did not succeed (cancelled rows excluded).
QStringList failedInputs(const Batch &batch, const QList<RowResult> &results);
