#include "compress/RowEncoder.h"

#include "compress/Fitting.h"
#include "compress/OutputCheck.h"
#include "compress/PictureChoice.h"
#include "compress/TranscoderCommand.h"
#include "util/FileTree.h"
#include "util/Paths.h"
#include "util/PrivateFolder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// Work of each run against a single run's: a first pass is fast, choosing
// the picture costs a few sample encodes.
constexpr double singleWeight = 1.0;
constexpr double firstPassWeight = 0.5;
constexpr double secondPassWeight = 1.0;
constexpr double pictureWeight = 0.3;
constexpr double copyWeight = 0.1;
// What the first run of an automatic row leaves of its share for the
// correction it may turn out to need. Most rows fit in their first run: a
// larger reserve held the bar at two thirds of a row that was already done.
constexpr double retryReserve = 0.1;
constexpr int mostCorrections = 3;
// Progress of a row stays short of its end until the row is done.
constexpr double mostOfRow = 0.99;

// Working files go in a hidden folder of the folder being written.
QString workFolderOf(const Batch &batch) { return batch.writingFolder() + QStringLiteral("/.veltrane-work"); }

QString logPathOf(qsizetype row) { return PrivateFolder::filePath(QStringLiteral("row%1-passes").arg(row)); }

}

// The one way a row deletes a file: only one inside the batch's folder or the
// private folder.
bool RowEncoder::removeFile(const QString &path) const { return FileTree::removeFileInside(path, m_batch.writingFolder()); }

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

QList<QStringList> RowEncoder::firstRuns(const RowPlan &plan, qsizetype row, Passes passes, const QString &workFolder)
{
    if (plan.copiesStreams)
        return { plan.arguments(plan.output, RunKind::copy) };
    switch (passes) {
    case Passes::one: return { plan.plannedArguments() };
    case Passes::automatic: return { plan.arguments(plan.output, RunKind::firstOfTwo, std::nullopt, logPathOf(row)) };
    case Passes::two:
        if (!plan.hasSecondPass())
            return { plan.plannedArguments() };
        return { plan.arguments(workFolder + QStringLiteral("/row%1-pass1.mp4").arg(row), RunKind::firstPass, std::nullopt, logPathOf(row)),
                 plan.arguments(plan.output, RunKind::secondPass, std::nullopt, logPathOf(row)) };
    }
    return {};
}

QString RowEncoder::workPath(const QString &name) const
{
    return workFolderOf(m_batch) + QLatin1Char('/') + QStringLiteral("row%1-").arg(m_row) + name;
}

bool RowEncoder::landed() const
{
    return Fitting::landed(m_plan, measured(), m_raises);
}

QList<Fitting::Measured> RowEncoder::measured() const
{
    QList<Fitting::Measured> encodes;
    for (const Candidate &c : m_candidates)
        encodes.append(c.measured);
    return encodes;
}

QString RowEncoder::whyAgain(const QString &how) const
{
    const double size = double(m_candidates.last().measured.size), target = double(m_plan.targetBytes);
    return size > target ? QStringLiteral("over target by %1: %2").arg(Fitting::overBy(size, target), how)
                         : QStringLiteral("under target by %1 %: %2").arg(QString::number((1 - size / target) * 100, 'f', 1), how);
}

QString RowEncoder::againHow() const
{
    const std::optional<int> crf = Fitting::nextCrf(m_plan, measured());
    return crf ? QStringLiteral("again at constant quality (CRF %1)").arg(*crf) : QStringLiteral("again at a corrected bitrate");
}

RowResult RowEncoder::encode(const QString &creator)
{
    m_creator = creator;
    m_plan = m_batch.rows.at(m_row);
    if (!QDir().mkpath(workFolderOf(m_batch)))
        return fail({ RowOutcome::noOutput, 0, QStringLiteral("its working folder could not be made in ") + m_batch.writingFolder() });

    if (m_plan.copiesStreams) {
        if (std::optional<RowResult> copied = copyAsItIs())
            return *copied;
    }

    QString pictureWhy;
    // The full size is the largest choice: too small there, the row fails below without samples.
    if (m_plan.automaticPicture && !m_plan.pictureTooSmall()) {
        const PictureChoice::Choice choice = PictureChoice::measure(creator, m_plan, workFolderOf(m_batch), m_cancelled, m_processId);
        if (m_cancelled.load())
            return fail({ RowOutcome::cancelled });
        m_plan = choice.plan;
        pictureWhy = choice.why;
        m_fraction = pictureWeight / (pictureWeight + singleWeight + retryReserve);
        report(m_fraction, 0);
    }
    if (m_listener.planned)
        m_listener.planned(m_plan, pictureWhy);
    // Said before any encode: the encoder's own refusal, or its abort, names nothing a user can act on.
    if (m_plan.pictureTooSmall())
        return fail({ RowOutcome::noOutput, 0, QString::fromLatin1(RowPlan::pictureTooSmallReason) });

    QString why;
    bool haveStatistics = false;
    if (m_passes == Passes::two && m_plan.hasSecondPass()) {
        if (auto failed = firstPass())
            return *failed;
        haveStatistics = true;
        if (auto failed = encodeAt(RunKind::secondPass, m_plan.videoKbps, 0, 2, secondPassWeight, secondPassWeight + retryReserve))
            return *failed;
    } else {
        const bool automatic = m_passes == Passes::automatic;
        const RunKind kind = automatic && m_plan.hasSecondPass() ? RunKind::firstOfTwo : RunKind::single;
        if (auto failed = encodeAt(kind, m_plan.videoKbps, 0, 0, singleWeight, automatic ? singleWeight + retryReserve : singleWeight,
                                   automatic))
            return *failed;
        haveStatistics = kind == RunKind::firstOfTwo && m_earlyStop.isEmpty();
        if (m_earlyStop.isEmpty() && (landed() || m_passes == Passes::one))
            return finish();
        const bool stillsFitted = !m_candidates.isEmpty() && m_candidates.first().measured.mostlyStill
            && m_candidates.first().measured.size <= m_plan.targetBytes;
        why = !m_earlyStop.isEmpty()  ? m_earlyStop
            : stillsFitted           ? QStringLiteral("mostly still pictures, which a second pass does better")
            : m_plan.hasSecondPass() ? whyAgain(QStringLiteral("a second pass at a corrected bitrate"))
                                     : whyAgain(againHow());
    }

    // CRF levels come in steps: finding the two around the target may take one more.
    const auto corrections = [this] { return mostCorrections + (Fitting::nextCrf(m_plan, measured()) ? 1 : 0); };
    for (int correction = 0; correction < corrections() && !landed() && !m_atEncoderFloor; ++correction) {
        const std::optional<int> crf = Fitting::nextCrf(m_plan, measured());
        const std::optional<double> kbps = crf                    ? m_plan.videoKbps
            : m_candidates.isEmpty() ? Fitting::afterEarlyStopKbps(m_plan, m_projected)
                                     : Fitting::correctedKbps(m_plan, measured());
        if (!kbps || *kbps <= 0)
            break;
        // A raise buys picture, it is not needed to fit: see Fitting::landed.
        if (!m_candidates.isEmpty() && m_candidates.last().measured.size <= m_plan.targetBytes)
            ++m_raises;
        if (m_listener.retrying)
            m_listener.retrying(m_attempts + 1, why);
        if (!haveStatistics && m_plan.hasSecondPass()) {
            if (auto failed = firstPass())
                return *failed;
            haveStatistics = true;
        }
        const RunKind kind = m_plan.hasSecondPass() ? RunKind::secondPass : RunKind::single;
        if (auto failed = encodeAt(kind, *kbps, crf.value_or(0), kind == RunKind::secondPass ? 2 : 0, secondPassWeight,
                                   secondPassWeight * (corrections() - correction)))
            return *failed;
        why = whyAgain(againHow());
    }
    return finish();
}

std::optional<RowResult> RowEncoder::encodeAt(RunKind kind, double kbps, int crf, int pass, double weight, double remaining, bool mayStopEarly)
{
    ++m_attempts;
    const QString path = workPath(QStringLiteral("attempt%1.mp4").arg(m_attempts));
    const TranscoderRun::Result result =
        run({ m_plan.arguments(path, kind, kbps, logPathOf(m_row), crf), path, pass, weight, remaining, mayStopEarly });
    if (result.end == TranscoderRun::End::stoppedEarly) {
        removeFile(path);
        return std::nullopt;
    }
    return failure(result, path, kind == RunKind::secondPass ? 2 : 1, kbps, crf);
}

std::optional<RowResult> RowEncoder::copyAsItIs()
{
    ++m_attempts;
    const QString path = workPath(QStringLiteral("copy.mp4"));
    const TranscoderRun::Result result =
        run({ m_plan.arguments(path, RunKind::copy), path, 0, copyWeight, copyWeight + singleWeight + retryReserve, false });
    if (result.end == TranscoderRun::End::cancelled) {
        removeFile(path);
        return fail({ RowOutcome::cancelled });
    }
    if (result.end == TranscoderRun::End::exited && result.exitCode == 0 && QFileInfo(path).size() > 0) {
        const OutputCheck::Verdict verdict = OutputCheck::check(path, m_plan, result.messages);
        const qint64 size = QFileInfo(path).size();
        if (!verdict.problem && size <= m_plan.targetBytes) {
            m_candidates.append({ path, { size, verdict.videoBytes }, 1, verdict.audioTracks });
            m_copied = true;
            if (m_listener.planned)
                m_listener.planned(m_plan, {});
            return finish();
        }
    }
    // Some streams will not go into an .mp4 as they are: the row is encoded, at its own size.
    removeFile(path);
    m_plan.copiesStreams = false;
    if (m_listener.retrying)
        m_listener.retrying(m_attempts + 1, QStringLiteral("its streams could not be copied as they are: encoding it at its own size"));
    return std::nullopt;
}

std::optional<RowResult> RowEncoder::firstPass()
{
    const QString path = workPath(QStringLiteral("pass1.mp4"));
    const TranscoderRun::Result result = run({ m_plan.arguments(path, RunKind::firstPass, std::nullopt, logPathOf(m_row)), path, 1,
                                               firstPassWeight, firstPassWeight + secondPassWeight, false });
    std::optional<RowResult> failed = failure(result, path, 1, m_plan.videoKbps);
    removeFile(path);
    return failed;
}

TranscoderRun::Result RowEncoder::run(const Run &run)
{
    const double duration = m_plan.duration;
    const double target = double(m_plan.targetBytes);
    // The rest of the row's share is spread over the work still planned.
    const double share = (1 - m_fraction) / run.remaining * run.weight;
    double reached = 0;
    TranscoderRun::Watch watch;
    watch.stopEarly = [&](double seconds) {
        reached = duration > 0 ? std::clamp(seconds / duration, 0.0, 1.0) : 0.0;
        report(m_fraction + share * reached, run.pass);
        if (!run.mayStopEarly || reached <= 0)
            return false;
        const qint64 written = QFileInfo(run.output).size();
        const std::optional<QString> why = Fitting::stopEarly(written, reached, target, duration);
        if (!why)
            return false;
        m_earlyStop = *why;
        m_projected = double(written) / reached;
        return true;
    };
    const TranscoderRun::Result result =
        TranscoderRun::run(m_creator, run.arguments, run.output, m_output, m_cancelled, m_processId, watch);
    // A cancelled run did not get through its share.
    if (result.end == TranscoderRun::End::cancelled)
        return result;
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

bool RowEncoder::mostlyStill() const
{
    // x264 names its statistics after the output stream: the video is the first.
    QFile statistics(logPathOf(m_row) + QStringLiteral("-0.log"));
    return statistics.open(QIODevice::ReadOnly) && Fitting::mostlyStill(statistics.readAll());
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
