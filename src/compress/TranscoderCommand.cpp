#include "compress/TranscoderCommand.h"

#include "compress/Planning.h"
#include "filelist/RowRecord.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QSet>

namespace TranscoderCommand {

namespace {

const QString videoBitrate = QStringLiteral("-b:v");

QString kbpsText(double kbps) { return TextFormat::decimalText(kbps) + QLatin1Char('k'); }

// Removes an option and its value, where present.
void removeOption(QStringList &arguments, const QString &option)
{
    const qsizetype at = arguments.indexOf(option);
    if (at >= 0 && at + 1 < arguments.size())
        arguments.remove(at, 2);
}

}


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
    arguments << videoBitrate << kbpsText(bitrates.video);
    if (hasAudio)
        arguments << QStringLiteral("-b:a") << kbpsText(bitrates.audio.value_or(0));
    if (Planning::isScaling(resolutionPercent)) {
        const Planning::Dimensions size = Planning::outputDimensions(row, resolutionPercent);
        arguments << QStringLiteral("-vf")
                  << QStringLiteral("scale=%1:%2,setsar=1:1").arg(size.width).arg(size.height);
    }
    arguments << QStringLiteral("-y") << outputPath;
    return arguments;
}

QStringList passArguments(const QStringList &planned, int pass, const QString &log, const QString &output,
                          std::optional<double> videoKbps)
{
    QStringList arguments = planned;
    // Every planned list ends with "-y" and its output.
    arguments.resize(arguments.size() - 2);
    if (videoKbps) {
        const qsizetype at = arguments.indexOf(videoBitrate);
        if (at >= 0 && at + 1 < arguments.size())
            arguments[at + 1] = kbpsText(*videoKbps);
    }
    if (pass == 1) {
        removeOption(arguments, QStringLiteral("-ac"));
        removeOption(arguments, QStringLiteral("-b:a"));
        arguments << QStringLiteral("-an");
    }
    arguments << QStringLiteral("-pass") << QString::number(pass) << QStringLiteral("-passlogfile") << log
              << QStringLiteral("-y") << output;
    return arguments;
}

double videoKbps(const QStringList &planned)
{
    const qsizetype at = planned.indexOf(videoBitrate);
    return at >= 0 && at + 1 < planned.size() ? planned.at(at + 1).chopped(1).toDouble() : 0.0;
}

}
