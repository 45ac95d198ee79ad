#pragma once

#include "compress/BatchJob.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTextStream>

namespace Cli {

// The job's events on standard error: one JSON object each, or a redrawn bar
// on a terminal, or a line per row and per whole percent.
class ProgressView
{
public:
    enum class Mode { json, bar, lines };

    // Listens to job for as long as both live.
    ProgressView(QTextStream &err, const BatchJob &job, Mode mode);

private:
    // The job's worker may be writing diagnostic lines to the same stream.
    void write(const QString &text);
    void event(const QString &name, QJsonObject fields);
    void rowStarted(qsizetype row);
    void rowPlanned(qsizetype row, const RowPlan &plan, const QString &why);
    void attemptStarted(qsizetype row, int attempt, const QString &why);
    void progress(double percent, qsizetype row, int attempt, int pass);
    void rowFinished(qsizetype row, const RowResult &result);
    void finished(const QList<RowResult> &results);

    QTextStream &m_err;
    const Batch &m_batch;
    const Mode m_mode;
    int m_lastWhole = -1;
    QElapsedTimer m_clock;
    QElapsedTimer m_drawn;
};

}
