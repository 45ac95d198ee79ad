#include "cli/Summary.h"

#include "cli/Cli.h"
#include "util/TextFormat.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

void printSummary(QTextStream &out, const Batch &batch, const QList<RowResult> &results,
                  const QList<Intake::Refusal> &refused, bool json)
{
    QJsonArray files;
    for (qsizetype i = 0; i < batch.count(); ++i) {
        const RowResult &result = results.at(i);
        const bool kept = result.size > 0;
        const RowPlan &plan = batch.rows.at(i);
        const qint64 target = plan.targetBytes;
        const double ratio = target > 0 ? double(result.size) / double(target) : 0.0;
        if (json) {
            QJsonObject file { { QStringLiteral("input"), plan.input },
                               { QStringLiteral("outcome"), result.token() },
                               { QStringLiteral("reason"), result.description() },
                               { QStringLiteral("passes"), result.passes },
                               { QStringLiteral("attempts"), result.attempts },
                               { QStringLiteral("targetSize"), target } };
            if (kept) {
                file.insert(QStringLiteral("output"), plan.output);
                file.insert(QStringLiteral("size"), result.size);
                file.insert(QStringLiteral("ratio"), ratio);
            }
            if (result.copied)
                file.insert(QStringLiteral("copied"), true);
            if (result.failed())
                file.insert(QStringLiteral("messages"), result.messages);
            if (!result.notes.isEmpty())
                file.insert(QStringLiteral("notes"), QJsonArray::fromStringList(result.notes));
            files.append(file);
            continue;
        }
        if (result.failed())
            out << "FAILED " << oneLine(plan.input) << ": " << oneLine(result.description());
        else
            out << oneLine(plan.output);
        if (kept)
            out << "\t" << TextFormat::byteCountText(result.size) << "\ttarget " << TextFormat::byteCountText(target)
                << "\tratio " << QString::number(ratio, 'f', 2);
        // Compressed plainly needs no word; anything more (two passes, over its target) is said.
        if (!result.failed() && !result.reason.isEmpty())
            out << "\t" << result.description();
        if (kept && result.failed())
            out << "\tkept " << oneLine(plan.output);
        if (!result.notes.isEmpty())
            out << "\t" << result.notes.join(QStringLiteral("; "));
        out << "\n";
        // What the transcoder last said, under the failure it explains.
        if (result.failed())
            for (const QString &line : result.messages.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                out << "    " << line << "\n";
    }
    if (json) {
        QJsonArray refusedArray;
        for (const Intake::Refusal &refusal : refused)
            refusedArray.append(QJsonObject { { QStringLiteral("input"), refusal.path },
                                              { QStringLiteral("reason"), refusal.reason } });
        out << QJsonDocument(QJsonObject { { QStringLiteral("outputFolder"), batch.outputFolder },
                                           { QStringLiteral("files"), files },
                                           { QStringLiteral("refused"), refusedArray } })
                   .toJson(QJsonDocument::Indented);
    }
}

QJsonObject planObject(const RowPlan &plan)
{
    QJsonObject object { { QStringLiteral("codec"), codecName(plan.codec) },
                         { QStringLiteral("width"), plan.width },
                         { QStringLiteral("height"), plan.height },
                         { QStringLiteral("frameRate"), plan.outputFrameRate > 0 ? plan.outputFrameRate : plan.frameRate },
                         { QStringLiteral("videoKbps"), plan.videoKbps },
                         { QStringLiteral("bitsPerPixel"), plan.bitsPerPixel() },
                         { QStringLiteral("summary"), plan.summaryText() } };
    if (plan.audioKbps)
        object.insert(QStringLiteral("audioKbps"), *plan.audioKbps);
    // Chosen from samples as the row is encoded: the event says the size it got.
    if (plan.automaticPicture)
        object.insert(QStringLiteral("automaticPicture"), true);
    // Under the target already: copied as it is where it can be, else encoded at its own size.
    if (plan.alreadyFits)
        object.insert(QStringLiteral("alreadyFits"), plan.copiesStreams ? QStringLiteral("copy") : QStringLiteral("encode"));
    return object;
}

void printArgumentLists(QTextStream &out, const Batch &batch, Passes passes, bool json)
{
    QJsonArray lists, files;
    for (qsizetype row = 0; row < batch.count(); ++row) {
        const RowPlan &plan = batch.rows.at(row);
        QJsonArray runs;
        for (const QStringList &list : RowEncoder::firstRuns(plan, row, passes, batch.writingFolder() + QStringLiteral("/.veltrane-work")))
            runs.append(QJsonArray::fromStringList(list));
        for (const QJsonValue &run : std::as_const(runs))
            lists.append(run);
        QJsonObject file = planObject(plan);
        file.insert(QStringLiteral("input"), plan.input);
        file.insert(QStringLiteral("output"), plan.output);
        file.insert(QStringLiteral("targetSize"), plan.targetBytes);
        file.insert(QStringLiteral("runs"), runs);
        files.append(file);
    }
    if (json)
        out << QJsonDocument(QJsonObject { { QStringLiteral("outputFolder"), batch.outputFolder },
                                           { QStringLiteral("files"), files } })
                   .toJson(QJsonDocument::Indented);
    else
        out << QJsonDocument(lists).toJson(QJsonDocument::Indented);
}

}
