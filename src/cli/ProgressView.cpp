#include "cli/ProgressView.h"

#include "cli/Cli.h"
#include "cli/Summary.h"
#include "util/Paths.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <mutex>

namespace Cli {

namespace {

QString clockText(double seconds)
{
    const qint64 s = qint64(std::max(0.0, seconds));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}

ProgressView::ProgressView(QTextStream &err, const BatchJob &job, Mode mode)
    : m_err(err)
    , m_batch(job.batch())
    , m_mode(mode)
{
    m_clock.start();
    QObject::connect(&job, &BatchJob::rowStarted, &job, [this](qsizetype row) { rowStarted(row); });
    QObject::connect(&job, &BatchJob::progress, &job, [this](double percent, qsizetype row, int attempt, int pass) {
        progress(percent, row, attempt, pass);
    });
    QObject::connect(&job, &BatchJob::rowPlanned, &job, [this](qsizetype row, const RowPlan &plan, const QString &why) {
        rowPlanned(row, plan, why);
    });
    QObject::connect(&job, &BatchJob::attemptStarted, &job, [this](qsizetype row, int attempt, const QString &why) {
        attemptStarted(row, attempt, why);
    });
    QObject::connect(&job, &BatchJob::rowFinished, &job, [this](qsizetype row, const RowResult &result) { rowFinished(row, result); });
    QObject::connect(&job, &BatchJob::finished, &job, [this](const QList<RowResult> &results) { finished(results); });
}

void ProgressView::write(const QString &text)
{
    const std::lock_guard lock(streamMutex());
    m_err << text;
    m_err.flush();
}

void ProgressView::event(const QString &name, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), name);
    write(QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
}

void ProgressView::rowStarted(qsizetype row)
{
    if (m_mode == Mode::json)
        event(QStringLiteral("rowStarted"), { { QStringLiteral("row"), row }, { QStringLiteral("count"), m_batch.count() },
                                              { QStringLiteral("input"), m_batch.rows.value(row).input } });
    else if (m_mode == Mode::lines)
        write(QStringLiteral("Compressing %1/%2: %3\n").arg(row + 1).arg(m_batch.count()).arg(oneLine(m_batch.rows.at(row).input)));
}

void ProgressView::rowPlanned(qsizetype row, const RowPlan &plan, const QString &why)
{
    if (m_mode == Mode::json) {
        QJsonObject fields = planObject(plan);
        fields.insert(QStringLiteral("row"), row);
        if (!why.isEmpty())
            fields.insert(QStringLiteral("reason"), why);
        event(QStringLiteral("rowPlanned"), fields);
    } else if (m_mode == Mode::lines) {
        write(QStringLiteral("  %1%2\n").arg(plan.summaryText(), why.isEmpty() ? QString() : QStringLiteral(" (") + why + QLatin1Char(')')));
    }
}

void ProgressView::attemptStarted(qsizetype row, int attempt, const QString &why)
{
    if (m_mode == Mode::json) {
        event(QStringLiteral("attemptStarted"), { { QStringLiteral("row"), row }, { QStringLiteral("attempt"), attempt },
                                                  { QStringLiteral("reason"), why } });
        return;
    }
    // On a terminal the line goes above the bar, which is drawn again below it.
    write(QStringLiteral("%1Encoding %2 again, %3\n")
              .arg(m_mode == Mode::bar ? QStringLiteral("\r\x1b[K") : QString(),
                   oneLine(Paths::lastComponent(m_batch.rows.value(row).input)), why));
    m_drawn.invalidate();
}

void ProgressView::progress(double percent, qsizetype row, int attempt, int pass)
{
    if (m_mode == Mode::json) {
        event(QStringLiteral("progress"), { { QStringLiteral("row"), row }, { QStringLiteral("percent"), percent },
                                            { QStringLiteral("attempt"), attempt }, { QStringLiteral("pass"), pass } });
        return;
    }
    const QString file = oneLine(Paths::lastComponent(m_batch.rows.value(row).input));
    const QString place = QStringLiteral("%1/%2 %3").arg(row + 1).arg(m_batch.count()).arg(file);
    if (m_mode == Mode::lines) {
        const int whole = int(percent);
        if (whole == m_lastWhole)
            return;
        m_lastWhole = whole;
        write(QStringLiteral("%1% (%2)\n").arg(whole).arg(place));
        return;
    }
    if (m_drawn.isValid() && m_drawn.elapsed() < 100 && percent < 100)
        return;
    m_drawn.start();
    const double elapsed = m_clock.elapsed() / 1000.0;
    const int width = 30;
    const int filled = int(percent / 100 * width);
    QString bar = QStringLiteral("\r[") + QString(filled, QLatin1Char('#'))
        + QString(width - filled, QLatin1Char('-')) + QStringLiteral("] ")
        + QString::number(percent, 'f', 1).rightJustified(5) + QStringLiteral("%  ") + place;
    if (percent > 0.5)
        bar += QStringLiteral("  ") + clockText(elapsed / percent * (100 - percent)) + QStringLiteral(" left");
    write(bar + QStringLiteral("\x1b[K"));
}

void ProgressView::rowFinished(qsizetype row, const RowResult &result)
{
    if (m_mode != Mode::json)
        return;
    QJsonObject fields { { QStringLiteral("row"), row }, { QStringLiteral("outcome"), result.token() },
                         { QStringLiteral("reason"), result.description() }, { QStringLiteral("passes"), result.passes },
                         { QStringLiteral("attempts"), result.attempts } };
    if (!result.notes.isEmpty())
        fields.insert(QStringLiteral("notes"), QJsonArray::fromStringList(result.notes));
    if (result.size > 0) {
        const qint64 target = m_batch.rows.at(row).targetBytes;
        fields.insert(QStringLiteral("size"), result.size);
        fields.insert(QStringLiteral("ratio"), target > 0 ? double(result.size) / double(target) : 0.0);
    }
    event(QStringLiteral("rowFinished"), fields);
}

void ProgressView::finished(const QList<RowResult> &results)
{
    if (m_mode == Mode::json) {
        QJsonArray outcomes;
        for (const RowResult &result : results)
            outcomes.append(result.token());
        event(QStringLiteral("finished"), { { QStringLiteral("outcomes"), outcomes } });
    } else if (m_mode == Mode::bar) {
        write(QStringLiteral("\n"));
    }
}

}
