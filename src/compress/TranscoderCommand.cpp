#include "compress/TranscoderCommand.h"

#include "compress/Planning.h"
#include "filelist/RowRecord.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QSet>

namespace TranscoderCommand {

QStringList outputPaths(const QString &folder, const QStringList &inputPaths)
{
    QSet<QString> taken;
    QStringList paths;
    for (const QString &input : inputPaths) {
        const QString base = Paths::baseName(input);
        QString name = base + QStringLiteral(".mp4");
        for (int k = 2; taken.contains(name.toCaseFolded()); ++k)
            name = base + QStringLiteral(" (%1).mp4").arg(k); // base may hold '%' signs of its own
        taken.insert(name.toCaseFolded());
        paths.append(folder + QLatin1Char('/') + name);
    }
    return paths;
}

QStringList transcoderArguments(const QString &inputPath, const QString &outputPath, const QVariantMap &row,
                                double targetBytes, double resolutionPercent)
{
    const bool hasAudio = row.value(RowKeys::hasAudioTrack).toBool();
    const Planning::Bitrates bitrates = Planning::planBitrates(row, targetBytes);

    QStringList arguments { QStringLiteral("-i"),
                            inputPath,
                            QStringLiteral("-sn"),
                            QStringLiteral("-dn"),
                            QStringLiteral("-map_chapters"),
                            QStringLiteral("-1"),
                            QStringLiteral("-map_metadata"),
                            QStringLiteral("-1"),
                            QStringLiteral("-pix_fmt"),
                            QStringLiteral("yuv420p"),
                            QStringLiteral("-avoid_negative_ts"),
                            QStringLiteral("1") };
    if (hasAudio && row.value(RowKeys::hasAudioTrackWhichHasMoreThanTwoChannels).toBool())
        arguments << QStringLiteral("-ac") << QStringLiteral("2");
    arguments << QStringLiteral("-b:v") << TextFormat::decimalText(bitrates.video) + QLatin1Char('k');
    if (hasAudio)
        arguments << QStringLiteral("-b:a") << TextFormat::decimalText(bitrates.audio.value_or(0)) + QLatin1Char('k');
    if (Planning::isScaling(resolutionPercent)) {
        const Planning::Dimensions size = Planning::outputDimensions(row, resolutionPercent);
        arguments << QStringLiteral("-vf")
                  << QStringLiteral("scale=%1:%2,setsar=1:1").arg(size.width).arg(size.height);
    }
    arguments << QStringLiteral("-y") << outputPath;
    return arguments;
}

}
