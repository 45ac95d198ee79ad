#include "compress/Batch.h"

#include "compress/Planning.h"
#include "compress/TranscoderCommand.h"
#include "filelist/RowRecord.h"


Batch Batch::plan(const QList<QVariantMap> &rows, const QString &outputFolder, Planning::Target target,
                  double resolutionPercent, TranscoderCommand::SourceFilters filters)
{
    const qint64 reference = Planning::referenceFileSize(rows);
    Batch batch;
    batch.outputFolder = outputFolder;
    for (const QVariantMap &row : rows)
        batch.inputs.append(row.value(RowKeys::filePath).toString());
    batch.outputs = TranscoderCommand::outputPaths(outputFolder, batch.inputs);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        batch.argumentLists.append(TranscoderCommand::transcoderArguments(batch.inputs.at(i), batch.outputs.at(i),
                                                                          rows.at(i), target.bytes(reference),
                                                                          resolutionPercent, filters));
        batch.durations.append(rows.at(i).value(RowKeys::duration).toDouble());
        batch.targetSizes.append(target.wholeBytes(reference));
    }
    return batch;
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
