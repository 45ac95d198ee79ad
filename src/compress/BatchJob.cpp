#include "compress/BatchJob.h"

#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/PrivateFolder.h"
#include "util/TextFormat.h"

#include <QPointer>

#include <algorithm>


BatchJob::BatchJob(Batch batch, EncodeOptions options, QObject *parent)
    : QObject(parent)
    , m_batch(std::move(batch))
    , m_options(options)
{
    connect(&m_events, &QueuedWake::woken, this, &BatchJob::deliverEvents);
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

QStringList BatchJob::failedInputs(const Batch &batch, const QList<RowResult> &results)
{
    QStringList failed;
    for (qsizetype i = 0; i < results.size() && i < batch.count(); ++i) {
        if (results.at(i).failed())
            failed.append(batch.rows.at(i).input);
    }
    return failed;
}

std::optional<QString> BatchJob::cannotRunText()
{
    if (auto missing = Tools::missingTranscoderText())
        return missing;
    return PrivateFolder::problem();
}

bool BatchJob::wroteAnyOutput(const QList<RowResult> &results)
{
    return std::any_of(results.cbegin(), results.cend(), [](const RowResult &r) { return r.size > 0; });
}

// ---- the worker ---------------------------------------------------------------

void BatchJob::deliverEvents()
{
    const QPointer<BatchJob> self(this);
    for (const Event &event : m_events.take()) {
        switch (event.kind) {
        case Event::rowStarted: emit rowStarted(event.row); break;
        case Event::rowPlanned: emit rowPlanned(event.row, event.plan, event.why); break;
        case Event::progress: emit progress(event.percent, event.row, event.attempt, event.pass); break;
        case Event::attemptStarted: emit attemptStarted(event.row, event.attempt, event.why); break;
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
    // Without a working folder a two-pass log would have nowhere safe to go.
    const std::optional<QString> noWorkingFolder = PrivateFolder::problem();
    const qsizetype n = m_batch.count();
    QList<RowResult> results;
    for (qsizetype i = 0; i < n; ++i) {
        if (m_cancelled.load()) {
            results.append({ RowOutcome::cancelled });
            continue;
        }
        post({ .kind = Event::rowStarted, .row = i });
        reportProgress(double(i) / double(n) * 100, i);
        RowEncoder::Listener listener;
        listener.progress = [this, i, n](double fraction, int attempt, int pass) {
            // A clock past the input's end must not carry the bar into the next row's share.
            reportProgress((double(i) + std::clamp(fraction, 0.0, 1.0)) / double(n) * 100, i, attempt, pass);
        };
        listener.planned = [this, i](const RowPlan &plan, const QString &why) {
            post({ .kind = Event::rowPlanned, .row = i, .why = why, .plan = plan });
        };
        listener.retrying = [this, i](int attempt, const QString &why) {
            post({ .kind = Event::attemptStarted, .row = i, .attempt = attempt, .why = why });
        };
        RowEncoder encoder(m_batch, i, m_options, m_cancelled, m_processId, listener);
        const RowResult result = noWorkingFolder ? RowResult { RowOutcome::failedToStart, 0, *noWorkingFolder }
            : creator                            ? encoder.encode(*creator)
                                                 : RowResult { RowOutcome::failedToStart };
        results.append(result);
        // A cancelled row is not done: the bar stays where the cancel found it.
        if (result.outcome != RowOutcome::cancelled)
            reportProgress(double(i + 1) / double(n) * 100, i, result.attempts);
        post({ .kind = Event::rowFinished, .row = i, .result = result });
    }
    post({ .kind = Event::finished, .results = results });
}

void BatchJob::reportProgress(double percent, qsizetype row, int attempt, int pass)
{
    if (percent <= m_reportedPercent)
        return;
    m_reportedPercent = percent;
    Diagnostics::line(QStringLiteral("Percent : ") + TextFormat::decimalText(percent));
    post({ .kind = Event::progress, .row = row, .percent = percent, .attempt = attempt, .pass = pass });
}
