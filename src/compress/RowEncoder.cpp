#include "compress/RowEncoder.h"

#include "compress/OutputCheck.h"
#include "compress/TranscoderCommand.h"
#include "util/Paths.h"
#include "util/PrivateFolder.h"
#include "util/TextFormat.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

// Work of each run against a single run's: a first pass is fast.
constexpr double singleWeight = 1.0;
constexpr double firstPassWeight = 0.5;
constexpr double secondPassWeight = 1.0;
// What the first run of an automatic row leaves of its share for the two
// passes it may turn out to need.
constexpr double retryReserve = 0.5;
constexpr int twoPassEncodes = 3;
// A first run is stopped once its output is over the target already, or once
// a fair share of the file is done and its output is plainly heading there.
constexpr double earlyShare = 0.25;
constexpr double earlyMargin = 1.05;
constexpr qint64 earlyLeastBytes = 64 * 1024;
// A corrected bitrate aims a little under the target.
constexpr double correctionMargin = 0.98;
// Progress of a row stays short of its end until the row is done.
constexpr double mostOfRow = 0.99;

// Working files go in a hidden folder of the folder being written.
QString workFolderOf(const Batch &batch) { return batch.writingFolder() + QStringLiteral("/.veltrane-work"); }

QString logPathOf(qsizetype row) { return PrivateFolder::filePath(QStringLiteral("row%1-passes").arg(row)); }

QString overBy(double size, double target)
{
    return QString::number((size / target - 1) * 100, 'f', 1) + QStringLiteral(" %");
}

}

// The one way a row deletes a file: only one inside the batch's folder or the
// private folder, so an empty or relative path never reaches a delete.
bool RowEncoder::removeFile(const QString &path) const
{
    if (!Paths::isInside(path, m_batch.writingFolder()) && !PrivateFolder::holds(path))
        return false;
    return QFileInfo(path).isFile() && QFile::remove(path);
}

RowEncoder::RowEncoder(const Batch &batch, qsizetype row, EncodeOptions options, const std::atomic<bool> &cancelled,
                       std::atomic<qint64> &processId, Listener listener)
    : m_batch(batch)
    , m_row(row)
    , m_passes(options.passes)
    , m_output(options.transcoderOutput)
    , m_cancelled(cancelled)
    , m_processId(processId)
    , m_listener(std::move(listener))
{
}

QList<QStringList> RowEncoder::firstRuns(const Batch &batch, qsizetype row, Passes passes)
{
    const RowPlan &plan = batch.rows.at(row);
    if (passes != Passes::two)
        return { plan.plannedArguments() };
    const QString firstPass = workFolderOf(batch) + QStringLiteral("/row%1-pass1.mp4").arg(row);
    return { plan.arguments(firstPass, RunKind::firstPass, std::nullopt, logPathOf(row)), plan.arguments(plan.output, RunKind::secondPass, std::nullopt, logPathOf(row)) };
}

QString RowEncoder::workPath(const QString &name) const
{
    return workFolderOf(m_batch) + QLatin1Char('/') + QStringLiteral("row%1-").arg(m_row) + name;
}

RowResult RowEncoder::encode(const QString &creator)
{
    m_creator = creator;
    const RowPlan &plan = m_batch.rows.at(m_row);
    const double target = double(plan.targetBytes);
    const QString log = logPathOf(m_row);
    QString why;
    if (!QDir().mkpath(workFolderOf(m_batch)))
        return fail({ RowOutcome::noOutput, 0, QStringLiteral("its working folder could not be made in ") + m_batch.writingFolder() });

    if (m_passes != Passes::two) {
        const QString path = workPath(QStringLiteral("attempt%1.mp4").arg(++m_attempts));
        const bool automatic = m_passes == Passes::automatic;
        const TranscoderRun::Result first = run({ plan.arguments(path), path, 0, singleWeight,
                                                  automatic ? singleWeight + retryReserve : singleWeight, automatic });
        if (first.end == TranscoderRun::End::stoppedEarly) {
            removeFile(path);
            why = m_earlyStop;
        } else {
            if (auto failed = failure(first, path, 1))
                return *failed;
            const qint64 size = m_candidates.last().size;
            if (size <= target || m_passes == Passes::one)
                return finish();
            why = QStringLiteral("over target by %1: two passes").arg(overBy(double(size), target));
        }
    }

    std::optional<double> videoKbps; // the planned bitrate, until a correction
    for (int encode = 0; encode < twoPassEncodes; ++encode) {
        ++m_attempts;
        if (!why.isEmpty() && m_listener.retrying)
            m_listener.retrying(m_attempts, why);
        const QString path = workPath(QStringLiteral("attempt%1.mp4").arg(m_attempts));
        // The first pass's statistics serve every later second pass: only the bitrate changes.
        if (!videoKbps) {
            const QString firstPass = workPath(QStringLiteral("pass1.mp4"));
            const TranscoderRun::Result pass1 = run({ plan.arguments(firstPass, RunKind::firstPass, std::nullopt, log), firstPass, 1,
                                                      firstPassWeight, firstPassWeight + secondPassWeight, false });
            std::optional<RowResult> failed = failure(pass1, firstPass, 1);
            removeFile(firstPass);
            if (failed)
                return *failed;
        }
        const TranscoderRun::Result pass2 =
            run({ plan.arguments(path, RunKind::secondPass, videoKbps, log), path, 2, secondPassWeight, secondPassWeight, false });
        if (auto failed = failure(pass2, path, 2))
            return *failed;
        const qint64 size = m_candidates.last().size;
        if (size <= target)
            break;
        videoKbps = videoKbps.value_or(plan.videoKbps) * target / double(size) * correctionMargin;
        why = QStringLiteral("over target by %1: two passes at a lower bitrate").arg(overBy(double(size), target));
    }
    return finish();
}

TranscoderRun::Result RowEncoder::run(const Run &run)
{
    const double duration = m_batch.rows.at(m_row).duration;
    const double target = double(m_batch.rows.at(m_row).targetBytes);
    // The rest of the row's share is spread over the work still planned.
    const double share = (1 - m_fraction) / run.remaining * run.weight;
    double reached = 0;
    TranscoderRun::Watch watch;
    watch.stopEarly = [&](double seconds) {
        reached = duration > 0 ? std::clamp(seconds / duration, 0.0, 1.0) : 0.0;
        report(m_fraction + share * reached, run.pass);
        if (!run.mayStopEarly || reached <= 0)
            return false;
        // Over the target already, or plainly heading there once a fair share is done.
        const qint64 written = QFileInfo(run.output).size();
        const double projected = double(written) / reached;
        if (double(written) > target) {
            m_earlyStop = QStringLiteral("over target before it was done: two passes");
            return true;
        }
        if (reached >= earlyShare && written >= earlyLeastBytes && projected > earlyMargin * target) {
            m_earlyStop = QStringLiteral("heading over target by %1: two passes").arg(overBy(projected, target));
            return true;
        }
        return false;
    };
    const TranscoderRun::Result result =
        TranscoderRun::run(m_creator, run.arguments, run.output, m_output, m_cancelled, m_processId, watch);
    m_fraction += share * (result.end == TranscoderRun::End::stoppedEarly ? reached : 1.0);
    report(m_fraction, run.pass);
    return result;
}

void RowEncoder::report(double fraction, int pass)
{
    fraction = std::min(fraction, mostOfRow);
    if (fraction <= m_reported)
        return;
    m_reported = fraction;
    if (m_listener.progress)
        m_listener.progress(fraction, m_attempts, pass);
}

std::optional<RowResult> RowEncoder::failure(const TranscoderRun::Result &result, const QString &output, int passes)
{
    const RowPlan &plan = m_batch.rows.at(m_row);
    RowResult row;
    row.messages = result.messages;
    switch (result.end) {
    case TranscoderRun::End::failedToStart: row.outcome = RowOutcome::failedToStart; break;
    case TranscoderRun::End::crashed: row.outcome = RowOutcome::crashed; break;
    case TranscoderRun::End::cancelled: row.outcome = RowOutcome::cancelled; break;
    case TranscoderRun::End::stalled: row.outcome = RowOutcome::stalled; break;
    case TranscoderRun::End::stoppedEarly: return std::nullopt;
    case TranscoderRun::End::exited:
        if (result.exitCode != 0) {
            row.outcome = RowOutcome::exitedNonZero;
            row.exitCode = result.exitCode;
            if (OutputCheck::diskMayBeFull(output, result.messages, plan.targetBytes))
                row.reason = row.description() + QStringLiteral("; the disk may be full");
            break;
        }
        if (!QFileInfo(output).isFile() || QFileInfo(output).size() == 0) {
            row.outcome = RowOutcome::noOutput;
            break;
        }
        // A first pass only leaves statistics worth having.
        if (output.endsWith(QLatin1String("-pass1.mp4")))
            return std::nullopt;
        const OutputCheck::Verdict verdict = OutputCheck::check(output, plan, result.messages);
        if (verdict.problem) {
            row.outcome = RowOutcome::unusable;
            row.reason = *verdict.problem;
            break;
        }
        m_candidates.append({ output, QFileInfo(output).size(), passes, verdict.audioTracks });
        return std::nullopt;
    }
    // Whatever went wrong, this encode's file is no use.
    const bool removed = removeFile(output);
    // A later encode that fails leaves the earlier outputs as they were.
    if (!m_candidates.isEmpty() && row.outcome != RowOutcome::cancelled) {
        RowResult kept = finish(QStringLiteral("; a further encode failed: ") + row.description()
                                + (removed ? QStringLiteral(", and its file was removed") : QString()));
        kept.messages = row.messages;
        return kept;
    }
    return fail(row, removed);
}

RowResult RowEncoder::fail(RowResult result, bool removedOne)
{
    bool removed = removedOne;
    for (const Candidate &candidate : std::as_const(m_candidates))
        removed |= removeFile(candidate.path);
    removed |= removeFile(m_batch.writtenOutput(m_row));
    removeWorkFiles();
    result.attempts = m_attempts;
    if (removed && result.outcome != RowOutcome::cancelled)
        result.reason = result.description() + QStringLiteral("; its output was removed");
    return result;
}

RowResult RowEncoder::finish(const QString &note)
{
    const RowPlan &plan = m_batch.rows.at(m_row);
    const qint64 target = plan.targetBytes;
    // The largest output that fits, or else the smallest of all.
    const auto fits = [target](const Candidate &c) { return c.size <= target; };
    const Candidate *kept = nullptr;
    for (const Candidate &c : std::as_const(m_candidates)) {
        if (!kept || (fits(c) && (!fits(*kept) || c.size > kept->size)) || (!fits(c) && !fits(*kept) && c.size < kept->size))
            kept = &c;
    }
    for (const Candidate &c : std::as_const(m_candidates))
        if (&c != kept)
            removeFile(c.path);
    // Only a checked file ever carries the output's name.
    const QString output = m_batch.writtenOutput(m_row);
    if (std::rename(QFile::encodeName(kept->path).constData(), QFile::encodeName(output).constData()) != 0)
        return fail({ RowOutcome::unusable, 0, QStringLiteral("the output could not be put in place") });
    removeWorkFiles();

    RowResult result { RowOutcome::succeeded };
    result.size = kept->size;
    result.passes = kept->passes;
    result.attempts = m_attempts;
    result.notes = OutputCheck::droppedTracks(plan, kept->audioTracks);
    if (kept->size > target) {
        if (m_passes == Passes::one) {
            result.reason = QStringLiteral("compressed, over its target by %1").arg(overBy(double(kept->size), double(target)));
        } else {
            result.outcome = RowOutcome::overTarget;
            result.reason = QStringLiteral("%1 for a target of %2: the smallest this encoder could make")
                                .arg(TextFormat::byteCountText(kept->size), TextFormat::byteCountText(target));
        }
    } else if (kept->passes == 2) {
        result.reason = QStringLiteral("compressed in two passes");
    }
    result.reason += note;
    return result;
}

void RowEncoder::removeWorkFiles() const
{
    const QString logPath = logPathOf(m_row);
    const QFileInfo log(logPath);
    if (PrivateFolder::holds(logPath)) {
        for (const QFileInfo &file : log.dir().entryInfoList({ log.fileName() + QLatin1Char('*') }, QDir::Files))
            removeFile(file.filePath());
    }
    QDir().rmdir(workFolderOf(m_batch)); // only when empty: another row may still use it
}
