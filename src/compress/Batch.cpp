#include "compress/Batch.h"

#include "compress/Planning.h"
#include "compress/TranscoderCommand.h"
#include "filelist/RowRecord.h"
#include "util/Diagnostics.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>

Batch Batch::plan(const QList<QVariantMap> &rows, const QString &outputFolder, Planning::Target target,
                  double resolutionPercent)
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
                                                                          resolutionPercent));
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

namespace OutputFolder {

namespace {

bool isSameOrInside(const QString &candidate, const QString &folder)
{
    if (candidate.isEmpty() || folder.isEmpty())
        return false;
    if (candidate == folder)
        return true;
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    return candidate.startsWith(prefix);
}

}

std::optional<QString> listedInputInside(const QString &path, const QStringList &inputs)
{
    const QString folder = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString canonicalFolder = QFileInfo(path).canonicalFilePath();
    for (const QString &input : inputs) {
        // Both the path as listed and where it really leads: a listed link
        // into the folder would lose its target just the same.
        const QString asListed = QDir::cleanPath(QFileInfo(input).absoluteFilePath());
        const QString resolved = QFileInfo(input).canonicalFilePath();
        if (isSameOrInside(asListed, folder) || isSameOrInside(resolved, folder)
            || isSameOrInside(asListed, canonicalFolder) || isSameOrInside(resolved, canonicalFolder))
            return input;
    }
    return std::nullopt;
}

bool prepare(const QString &path)
{
    namespace fs = std::filesystem;
    const fs::path native(path.toStdString());
    std::error_code error;
    if (fs::exists(fs::symlink_status(native, error))) {
        fs::remove_all(native, error);
        if (error)
            Diagnostics::line(QStringLiteral("An error took place: ") + QString::fromStdString(error.message()));
    }
    error.clear();
    fs::create_directory(native, error);
    if (error)
        Diagnostics::line(QStringLiteral("An error took place: ") + QString::fromStdString(error.message()));
    return QFileInfo(path).isDir();
}

void remove(const QString &path)
{
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path.toStdString()), ignored);
}

}
