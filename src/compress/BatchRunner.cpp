#include "compress/BatchRunner.h"

#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/TextFormat.h"
#include "util/Utils.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace {

constexpr int pollMilliseconds = 20;
constexpr int killAfterMilliseconds = 3000;

const QString clockPattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");

}

void ProcessSlot::record(std::shared_ptr<TranscoderHandle> handle)
{
    std::lock_guard lock(m_mutex);
    m_handle = std::move(handle);
}

std::shared_ptr<TranscoderHandle> ProcessSlot::current() const
{
    std::lock_guard lock(m_mutex);
    return m_handle;
}

void ProcessSlot::terminate() const
{
    if (const auto handle = current())
        handle->terminate();
}

QString describe(RowOutcome outcome)
{
    switch (outcome) {
    case RowOutcome::succeeded: return QStringLiteral("compressed");
    case RowOutcome::failedToStart: return QStringLiteral("the transcoder could not be started");
    case RowOutcome::crashed: return QStringLiteral("the transcoder crashed");
    case RowOutcome::exitedNonZero: return QStringLiteral("the transcoder reported an error");
    case RowOutcome::noOutput: return QStringLiteral("the transcoder wrote no output file");
    case RowOutcome::cancelled: return QStringLiteral("cancelled");
    }
    return {};
}

std::optional<double> handleTranscoderOutput(const QByteArray &chunk, qsizetype i, qsizetype n,
                                             const QList<double> &durations)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(chunk);
    if (decoder.hasError() || !text.contains(QLatin1String("time=")))
        return std::nullopt;
    const QStringList matches = Utils::regexMatches(clockPattern, text);
    if (matches.isEmpty() || i < 0 || i >= durations.size())
        return std::nullopt;
    const auto t = Utils::secondsFromClockText(matches.first());
    if (!t)
        return std::nullopt;
    const double percent = (double(i) / double(n)) * 100 + (*t / durations.at(i)) * 100 / double(n);
    Diagnostics::line(QStringLiteral("Percent : ") + TextFormat::decimalText(percent));
    return percent;
}

namespace {

RowResult runOne(const Batch &batch, qsizetype i, const QString &creator, const std::atomic<bool> &cancelled,
                 ProcessSlot &globalProcess, const RunnerHooks &hooks, TranscoderOutput output)
{
    QProcess process;
    Tools::configure(process, creator, batch.argumentLists.at(i),
                     output == TranscoderOutput::inherit ? Tools::Stream::inherit : Tools::Stream::discard,
                     Tools::Stream::pipe);
    auto handle = std::make_shared<TranscoderHandle>();
    process.start();
    if (!process.waitForStarted(-1))
        return { RowOutcome::failedToStart, 0 };
    globalProcess.record(handle);

    // A cancel may have landed between the check before this row and the
    // recording above; the loop below looks again before waiting at all.
    QElapsedTimer sinceTerminate;
    bool stopRequested = false;
    const auto readProgress = [&] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        if (const auto percent = handleTranscoderOutput(chunk, i, batch.count(), batch.durations); percent && hooks.progress)
            hooks.progress(*percent, i);
    };
    while (process.state() != QProcess::NotRunning) {
        if (!stopRequested && (cancelled.load() || handle->terminateRequested())) {
            stopRequested = true;
            process.terminate();
            sinceTerminate.start();
        } else if (stopRequested && sinceTerminate.elapsed() > killAfterMilliseconds) {
            process.kill();
        }
        process.waitForFinished(pollMilliseconds);
        readProgress();
    }
    readProgress();

    if (stopRequested || cancelled.load())
        return { RowOutcome::cancelled, process.exitCode() };
    if (process.exitStatus() == QProcess::CrashExit)
        return { RowOutcome::crashed, 0 };
    if (process.exitCode() != 0)
        return { RowOutcome::exitedNonZero, process.exitCode() };
    const QFileInfo written(batch.outputs.at(i));
    if (!written.isFile() || written.size() == 0)
        return { RowOutcome::noOutput, 0 };
    return { RowOutcome::succeeded, 0 };
}

}

QList<RowResult> runBatch(const Batch &batch, const std::atomic<bool> &cancelled, ProcessSlot &globalProcess,
                          const RunnerHooks &hooks, TranscoderOutput output)
{
    const auto creator = Tools::resourcePath(QString::fromLatin1(Tools::creator));
    QList<RowResult> results;
    for (qsizetype i = 0; i < batch.count(); ++i) {
        if (cancelled.load()) {
            results.append({ RowOutcome::cancelled, 0 });
            continue;
        }
        if (hooks.rowStarted)
            hooks.rowStarted(i);
        if (!creator) {
            results.append({ RowOutcome::failedToStart, 0 });
            continue;
        }
        results.append(runOne(batch, i, *creator, cancelled, globalProcess, hooks, output));
    }
    return results;
}

QStringList failedInputs(const Batch &batch, const QList<RowResult> &results)
{
    QStringList failed;
    for (qsizetype i = 0; i < results.size() && i < batch.inputs.size(); ++i) {
        const RowOutcome outcome = results.at(i).outcome;
        if (outcome != RowOutcome::succeeded && outcome != RowOutcome::cancelled)
            failed.append(batch.inputs.at(i));
    }
    return failed;
}
