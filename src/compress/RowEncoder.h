#pragma once

#include "compress/Batch.h"
#include "compress/RowResult.h"
#include "compress/TranscoderRun.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

// How many passes a row is encoded in.
enum class Passes {
    automatic, // the planned run; two passes when its output is over the target
    one,       // the planned run alone; an output over its target is only a warning
    two,       // two passes from the start
};

struct EncodeOptions
{
    Passes passes = Passes::automatic;
    TranscoderRun::Output transcoderOutput = TranscoderRun::Output::inherit;
};

// Encodes one row of a batch on the calling thread: the first run, the check
// of its output, and, while the output is over its target, two-pass encodes
// (at most three, the later ones at a corrected video bitrate). Every encode
// writes a working file of its own; only the best checked one is given the
// output's name: the largest that fits, or the smallest. Every other file it
// made goes, and a failed row leaves no output.
class RowEncoder
{
public:
    struct Listener
    {
        // The row's share done, from 0 to 1: it only grows, and stays below 1.
        std::function<void(double fraction, int attempt, int pass)> progress;
        // Another encode begins, and why.
        std::function<void(int attempt, const QString &why)> retrying;
    };

    RowEncoder(const Batch &batch, qsizetype row, EncodeOptions options, const std::atomic<bool> &cancelled,
               std::atomic<qint64> &processId, Listener listener);

    RowResult encode(const QString &creator);

    // The argument lists that run first for the row, as planned: the planned
    // one, or the two passes of a two-pass encode at the planned bitrates.
    static QList<QStringList> firstRuns(const Batch &batch, qsizetype row, Passes passes);

private:
    struct Candidate
    {
        QString path;
        qint64 size = 0;
        int passes = 1;
        int audioTracks = 0;
    };
    struct Run
    {
        QStringList arguments;
        QString output;
        int pass = 0; // 0: a single run
        double weight = 1;    // its work against a single run's
        double remaining = 1; // the row's work left, this run included
        bool mayStopEarly = false;
    };

    TranscoderRun::Result run(const Run &run);
    // Nothing when the run left an output worth keeping (a checked one is
    // added to the candidates); otherwise the row's result.
    std::optional<RowResult> failure(const TranscoderRun::Result &result, const QString &output, int passes);
    // removedOne: a file of the row was removed already.
    RowResult fail(RowResult result, bool removedOne = false);
    // The best output so far under the output's name; note ends its reason.
    RowResult finish(const QString &note = {});
    void report(double fraction, int pass);
    QString workPath(const QString &name) const;
    bool removeFile(const QString &path) const;
    void removeWorkFiles() const;

    const Batch &m_batch;
    const qsizetype m_row;
    const Passes m_passes;
    const TranscoderRun::Output m_output;
    const std::atomic<bool> &m_cancelled;
    std::atomic<qint64> &m_processId;
    const Listener m_listener;
    QString m_creator;
    QList<Candidate> m_candidates;
    int m_attempts = 0;
    double m_fraction = 0; // of the row's share, runs done
    double m_reported = -1;
    QString m_earlyStop; // why the first run was stopped early
};
