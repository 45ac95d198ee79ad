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
        RowPlan plan = TranscoderCommand::planRow(inputs.at(i), outputs.at(i), rows.at(i), target.bytes(reference), choices);
        plan.targetBytes = target.wholeBytes(reference);
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
