#include "compress/BatchJob.h"

#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/TextFormat.h"
#include "util/Utils.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStringDecoder>

#include <algorithm>

namespace {

constexpr int pollMilliseconds = 20;
constexpr int killAfterMilliseconds = 3000;

const QString clockPattern = QStringLiteral("([0-9][0-9]):([0-9][0-9]):([0-9][0-9]).([0-9][0-9])");

}

QString RowResult::description() const
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

BatchJob::BatchJob(Batch batch, TranscoderOutput output, QObject *parent)
    : QObject(parent)
    , m_batch(std::move(batch))
    , m_output(output)
{
}

BatchJob::~BatchJob()
{
    cancel();
    if (m_worker.joinable())
        m_worker.join();
}

void BatchJob::start()
{
    if (m_worker.joinable() || m_running)
        return;
    m_running = true;
    m_worker = std::thread([this] { work(); });
}

std::optional<double> BatchJob::handleTranscoderOutput(const QByteArray &chunk, qsizetype i, qsizetype n,
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

QStringList BatchJob::failedInputs(const Batch &batch, const QList<RowResult> &results)
{
    QStringList failed;
    for (qsizetype i = 0; i < results.size() && i < batch.inputs.size(); ++i) {
        const RowOutcome outcome = results.at(i).outcome;
        if (outcome != RowOutcome::succeeded && outcome != RowOutcome::cancelled)
            failed.append(batch.inputs.at(i));
    }
    return failed;
}

// ---- the worker ---------------------------------------------------------------

void BatchJob::post(Event event)
{
    {
        const std::lock_guard lock(m_eventsMutex);
        m_events.push_back(std::move(event));
    }
    // The events travel under our own lock; the queued call only says there are some.
    QMetaObject::invokeMethod(this, &BatchJob::deliverEvents, Qt::QueuedConnection);
}

void BatchJob::deliverEvents()
{
    std::vector<Event> events;
    {
        const std::lock_guard lock(m_eventsMutex);
        events.swap(m_events);
    }
    const QPointer<BatchJob> self(this);
    for (const Event &event : events) {
        switch (event.kind) {
        case Event::rowStarted: emit rowStarted(event.row); break;
        case Event::progress: emit progress(event.percent, event.row); break;
        case Event::rowFinished: emit rowFinished(event.row, event.result); break;
        case Event::finished:
            m_results = event.results;
            m_running = false;
            emit finished(m_results);
            break;
        }
        if (!self) // a listener let go of the job
            return;
    }
}

void BatchJob::work()
{
    const auto creator = Tools::resourcePath(QString::fromLatin1(Tools::creator));
    const qsizetype n = m_batch.count();
    QList<RowResult> results;
    for (qsizetype i = 0; i < n; ++i) {
        if (m_cancelled.load()) {
            results.append({ RowOutcome::cancelled, 0 });
            continue;
        }
        post({ .kind = Event::rowStarted, .row = i });
        reportProgress(double(i) / double(n) * 100, i);
        const RowResult result = creator ? runRow(i, *creator) : RowResult { RowOutcome::failedToStart, 0 };
        results.append(result);
        post({ .kind = Event::rowFinished, .row = i, .result = result });
    }
    post({ .kind = Event::finished, .results = results });
}

void BatchJob::reportProgress(double percent, qsizetype row)
{
    // A clock past the row's duration would eat into the next row's share.
    percent = std::min(percent, double(row + 1) / double(m_batch.count()) * 100);
    if (percent <= m_reportedPercent)
        return;
    m_reportedPercent = percent;
    post({ .kind = Event::progress, .row = row, .percent = percent });
}

RowResult BatchJob::runRow(qsizetype i, const QString &creator)
{
    QProcess process;
    Tools::configure(process, creator, m_batch.argumentLists.at(i),
                     m_output == TranscoderOutput::inherit ? Tools::Stream::inherit : Tools::Stream::discard,
                     Tools::Stream::pipe);
    process.start();
    if (!process.waitForStarted())
        return { RowOutcome::failedToStart, 0 };
    m_processId.store(process.processId());

    const auto readProgress = [&] {
        const QByteArray chunk = process.readAllStandardError();
        if (chunk.isEmpty())
            return;
        if (const auto percent = handleTranscoderOutput(chunk, i, m_batch.count(), m_batch.durations))
            reportProgress(*percent, i);
    };
    // The flag is looked at before every wait, so a cancel that came before
    // the process did stops it at once.
    QElapsedTimer sinceTerminate;
    bool stopRequested = false;
    while (process.state() != QProcess::NotRunning) {
        if (!stopRequested && m_cancelled.load()) {
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
    m_processId.store(0);

    if (stopRequested || m_cancelled.load())
        return { RowOutcome::cancelled, process.exitCode() };
    if (process.exitStatus() == QProcess::CrashExit)
        return { RowOutcome::crashed, 0 };
    if (process.exitCode() != 0)
        return { RowOutcome::exitedNonZero, process.exitCode() };
    const QFileInfo written(m_batch.outputs.at(i));
    if (!written.isFile() || written.size() == 0)
        return { RowOutcome::noOutput, 0 };
    return { RowOutcome::succeeded, 0 };
}
