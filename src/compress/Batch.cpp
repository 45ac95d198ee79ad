#include "compress/Batch.h"

#include "compress/Planning.h"
#include "compress/TranscoderCommand.h"
#include "filelist/RowRecord.h"
#include "util/Paths.h"


Batch Batch::plan(const QList<QVariantMap> &rows, const QString &outputFolder, Planning::Target target,
                  const TranscoderCommand::Choices &choices)
{
    const qint64 reference = Planning::referenceFileSize(rows);
    QStringList inputs;
    for (const QVariantMap &row : rows)
        inputs.append(row.value(RowKeys::filePath).toString());
    const QStringList outputs = TranscoderCommand::outputPaths(outputFolder, inputs);
    Batch batch;
    batch.outputFolder = outputFolder;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QVariantMap &row = rows.at(i);
        const qint64 targetBytes = target.wholeBytes(reference);
        // A file already under the target is never grown to it.
        const qint64 ownSize = row.value(RowKeys::fileSize).toLongLong();
        const bool fits = ownSize > 0 && ownSize < targetBytes;
        RowPlan plan = TranscoderCommand::planRow(inputs.at(i), outputs.at(i), row, fits ? double(ownSize) : target.bytes(reference), choices);
        plan.targetBytes = targetBytes;
        plan.alreadyFits = fits;
        plan.copiesStreams = fits && TranscoderCommand::copiesAsItIs(row, plan, choices);
        batch.rows.append(plan);
    }
    return batch;
}

QString Batch::writtenOutput(qsizetype i) const
{
    return writingFolder() + QLatin1Char('/') + Paths::lastComponent(rows.at(i).output);
}

QStringList Batch::inputs() const
{
    QStringList inputs;
    for (const RowPlan &row : rows)
        inputs.append(row.input);
    return inputs;
}

QList<QStringList> Batch::plannedArgumentLists() const
{
    QList<QStringList> lists;
    for (const RowPlan &row : rows)
        lists.append(row.plannedArguments());
    return lists;
}

namespace {

QString quoted(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + 2);
    escaped += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': escaped += QLatin1String("\\\""); break;
        case '\\': escaped += QLatin1String("\\\\"); break;
        case '\n': escaped += QLatin1String("\\n"); break;
        case '\r': escaped += QLatin1String("\\r"); break;
        case '\t': escaped += QLatin1String("\\t"); break;
        default: escaped += c;
        }
    }
    escaped += QLatin1Char('"');
    return escaped;
}

}

QString Batch::argumentListsText(const QList<QStringList> &argumentLists)
{
    QStringList lists;
    for (const QStringList &arguments : argumentLists) {
        QStringList items;
        for (const QString &argument : arguments)
            items.append(quoted(argument));
        lists.append(QLatin1Char('[') + items.join(QStringLiteral(", ")) + QLatin1Char(']'));
    }
    return QLatin1Char('[') + lists.join(QStringLiteral(", ")) + QLatin1Char(']');
}
