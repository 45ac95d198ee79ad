#pragma once

#include "compress/Batch.h"
#include "compress/Fitting.h"
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
    automatic, // the planned run, writing the encoder's statistics; a corrected second pass when it is over the target
    one,       // the planned run alone; an output over its target is only a warning
    two,       // two passes from the start
};

struct EncodeOptions
{
    Passes passes = Passes::automatic;
    TranscoderRun::Output transcoderOutput = TranscoderRun::Output::inherit;
};

// Encodes one row of a batch on the calling thread: the picture chosen from
// samples where the plan asks for it, the first run, the check of its
// output, and, while the output is over its target, corrected encodes (at
// most three): second passes from the first run's statistics at a bitrate
// taken from what the last encode measured (AV1, without a second pass,
// corrects its single run, and over still pictures asks CRF levels). Every encode writes a working file of its own;
// only the best checked one is given the output's name: the largest that
// fits, or the smallest. Every other file it made goes, and a failed row
// leaves no output.
class RowEncoder
{
public:
    struct Listener
    {
        // The row's share done, from 0 to 1: it only grows, and stays below 1.
        std::function<void(double fraction, int attempt, int pass)> progress;
        // Another encode begins, and why.
        std::function<void(int attempt, const QString &why)> retrying;
        // The plan the row is encoded to, once its picture is chosen; why: how it was.
        std::function<void(const RowPlan &plan, const QString &why)> planned;
    };

    RowEncoder(const Batch &batch, qsizetype row, EncodeOptions options, const std::atomic<bool> &cancelled,
               std::atomic<qint64> &processId, Listener listener);

    RowResult encode(const QString &creator);

    // The argument lists that run first for the row: the first run (with
    // automatic passes, writing its statistics as it runs), or the two
    // passes of a two-pass encode at the planned bitrates.
    static QList<QStringList> firstRuns(const RowPlan &plan, qsizetype row, Passes passes, const QString &workFolder);


private:
    struct Candidate
    {
        QString path;
        Fitting::Measured measured;
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
    // The encode at kbps of kind into its own working file, checked; nothing
    // when it gave a candidate, otherwise the row's result.
    // crf: as RowPlan::arguments's.
    std::optional<RowResult> encodeAt(RunKind kind, double kbps, int crf, int pass, double weight, double remaining, bool mayStopEarly = false);
    // The input's streams copied as they are, for a row already under its
    // target; nothing when that could not be done and the row is to be encoded.
    std::optional<RowResult> copyAsItIs();
    // The first pass of a two-pass encode: statistics only.
    std::optional<RowResult> firstPass();
    // Nothing when the run left an output worth keeping (a checked one is
    // added to the candidates); otherwise the row's result.
    std::optional<RowResult> failure(const TranscoderRun::Result &result, const QString &output, int passes, double kbps, int crf = 0);
    // removedOne: a file of the row was removed already.
    RowResult fail(RowResult result, bool removedOne = false);
    // The best output so far under the output's name; note ends its reason
    // (at the encoder's floor, the floor's note instead). In RowOutputs.cpp, with failure and fail.
    RowResult finish(const QString &note = {});
    void report(double fraction, int pass);
    QString workPath(const QString &name) const;
    bool removeFile(const QString &path) const;
    bool mostlyStill() const; // what the first run's statistics tell
    void removeWorkFiles() const;
    // Whether the best output is as good as it gets: it fits, and spends
    // enough of the target or was raised once already.
    bool landed() const;
    QList<Fitting::Measured> measured() const;
    QString whyAgain(const QString &how) const;
    // How the next correcting encode is asked: at a rate, or at a CRF.
    QString againHow() const;

    const Batch &m_batch;
    const qsizetype m_row;
    const Passes m_passes;
    const TranscoderRun::Output m_output;
    const std::atomic<bool> &m_cancelled;
    std::atomic<qint64> &m_processId;
    const Listener m_listener;
    RowPlan m_plan; // the row's, with its picture once chosen
    QString m_creator;
    QList<Candidate> m_candidates;
    int m_attempts = 0;
    double m_fraction = 0; // of the row's share, runs done
    double m_reported = -1;
    QString m_earlyStop;     // why the first run was stopped early
    double m_projected = 0;  // the size it was heading for then
    bool m_atEncoderFloor = false; // the encoder refused to go lower
    int m_raises = 0;              // encodes made from an output that fitted, to spend more of the target
    bool m_copied = false;         // the output is the input's streams as they were
};
