#include "compress/TranscoderCommand.h"

#include "compress/Planning.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QRegularExpression>
#include <QSet>

namespace TranscoderCommand {

namespace {

// base + ending, base shortened (by whole characters) so that the name fits
// the 255 bytes a file system allows a name.
QString fittedName(QString base, const QString &ending)
{
    constexpr qsizetype nameBytes = 255;
    while (!base.isEmpty() && (base + ending).toUtf8().size() > nameBytes)
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() && base.at(base.size() - 2).isHighSurrogate() ? 2 : 1);
    return base + ending;
}

// A colour name the probe reported, if it is one (they are short words), or else the usual one.
QString colourName(const QVariantMap &row, const QString &key, const QString &usual)
{
    static const QRegularExpression word(QStringLiteral("^[a-z0-9_-]+$"));
    const QString name = row.value(key).toString();
    return word.match(name).hasMatch() && name != QLatin1String("unknown") && name != QLatin1String("unspecified") ? name : usual;
}

// PQ or HLG to BT.709 SDR: to linear light, with the HDR reference white
// (203 cd/m2) as SDR's white; BT.2020 primaries to BT.709; highlights
// compressed (mobius keeps the mid-tones as they are); back to BT.709 in
// limited range, 8-bit 4:2:0.
QString toneMapChain(const QVariantMap &row)
{
    return QStringLiteral("zscale=tin=%1:pin=%2:min=%3:t=linear:npl=203,format=gbrpf32le,zscale=p=bt709,"
                          "tonemap=tonemap=mobius:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p")
        .arg(row.value(RowKeys::videoTransfer).toString(), colourName(row, RowKeys::videoPrimaries, QStringLiteral("bt2020")),
             colourName(row, RowKeys::videoMatrix, QStringLiteral("bt2020nc")));
}

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
        QString name = fittedName(base, QStringLiteral(".mp4"));
        for (int k = 2; taken.contains(name.toCaseFolded()); ++k)
            name = fittedName(base, QStringLiteral(" (%1).mp4").arg(k)); // base may hold '%' signs of its own
        taken.insert(name.toCaseFolded());
        paths.append(folder + QLatin1Char('/') + name);
    }
    return paths;
}

QStringList transcoderArguments(const QString &inputPath, const QString &outputPath, const QVariantMap &row,
                                double targetBytes, double resolutionPercent, SourceFilters filters)
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
    // One chain, in this order: fields to frames, HDR to SDR, then the size.
    QStringList chain;
    if (filters.deinterlace && FileProbe::isInterlacedFieldOrder(row.value(RowKeys::videoFieldOrder).toString()))
        chain << QStringLiteral("bwdif=mode=send_frame");
    const bool toneMapped = filters.toneMap && FileProbe::isHDRTransfer(row.value(RowKeys::videoTransfer).toString());
    if (toneMapped)
        chain << toneMapChain(row);
    if (Planning::isScaling(resolutionPercent)) {
        const Planning::Dimensions size = Planning::outputDimensions(row, resolutionPercent);
        chain << QStringLiteral("scale=%1:%2,setsar=1:1").arg(size.width).arg(size.height);
    }
    if (!chain.isEmpty())
        arguments << QStringLiteral("-vf") << chain.join(QLatin1Char(','));
    if (toneMapped)
        arguments << QStringLiteral("-color_primaries") << QStringLiteral("bt709") << QStringLiteral("-color_trc")
                  << QStringLiteral("bt709") << QStringLiteral("-colorspace") << QStringLiteral("bt709");
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
