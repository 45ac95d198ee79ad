#include "compress/TranscoderCommand.h"

#include "compress/Planning.h"
#include "filelist/RowRecord.h"
#include "probe/FileProbe.h"
#include "probe/TrackTables.h"
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

QString videoFormatOf(const QVariantMap &row)
{
    for (const QVariant &track : row.value(RowKeys::tracksInfo).toList())
        if (track.toMap().value(TrackKeys::trackType) == TrackTypes::video)
            return track.toMap().value(TrackKeys::trackCodec).toString();
    return {};
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

RowPlan planRow(const QString &inputPath, const QString &outputPath, const QVariantMap &row, double targetBytes,
                const Choices &choices)
{
    const bool hasAudio = row.value(RowKeys::hasAudioTrack).toBool();
    const bool surround = hasAudio && row.value(RowKeys::hasAudioTrackWhichHasMoreThanTwoChannels).toBool();

    RowPlan plan;
    plan.input = inputPath;
    plan.output = outputPath;
    plan.duration = row.value(RowKeys::duration).toDouble();
    plan.targetBytes = qint64(targetBytes);
    if (choices.automaticAudio) {
        const Planning::Bitrates bitrates = Planning::budgetBitrates(row, targetBytes);
        plan.videoKbps = bitrates.video;
        plan.audioKbps = bitrates.audio;
        plan.audioChannels = bitrates.audioChannels == 1 ? 1 : surround ? 2 : 0;
    } else {
        const Planning::Bitrates bitrates = Planning::planBitrates(row, targetBytes);
        plan.videoKbps = bitrates.video;
        if (hasAudio)
            plan.audioKbps = bitrates.audio.value_or(0);
        plan.audioChannels = surround ? 2 : 0;
    }
    plan.codec = choices.codec;
    plan.sourceCodec = videoFormatOf(row);
    plan.frameRate = row.value(RowKeys::videoFrameRate).toDouble();
    plan.outputFrameRate = plan.frameRate;
    // Only a variable frame rate is kept as it is: a constant one gets its list as ever.
    plan.keepFrameTimes = row.value(RowKeys::videoVariableFrameRate).toBool();
    plan.audioTracks = row.value(RowKeys::audioTrackCount).toInt();
    plan.subtitleTracks = row.value(RowKeys::subtitleTrackCount).toInt();
    plan.sourceWidth = row.value(RowKeys::videoWidth).toLongLong();
    plan.sourceHeight = row.value(RowKeys::videoHeight).toLongLong();
    plan.width = plan.sourceWidth;
    plan.height = plan.sourceHeight;

    // One chain, in this order: fields to frames, HDR to SDR, then the size.
    QStringList chain;
    if (choices.filters.deinterlace && FileProbe::isInterlacedFieldOrder(row.value(RowKeys::videoFieldOrder).toString()))
        chain << QStringLiteral("bwdif=mode=send_frame");
    plan.toneMapped = choices.filters.toneMap && FileProbe::isHDRTransfer(row.value(RowKeys::videoTransfer).toString());
    if (plan.toneMapped)
        chain << toneMapChain(row);
    plan.sourceFilters = chain.join(QLatin1Char(','));
    plan.automaticPicture = choices.automaticPicture;
    if (Planning::isScaling(choices.resolutionPercent) && !choices.automaticPicture) {
        const Planning::Dimensions size = Planning::outputDimensions(row, choices.resolutionPercent);
        chain << QStringLiteral("scale=%1:%2,setsar=1:1").arg(size.width).arg(size.height);
        plan.width = size.width;
        plan.height = size.height;
        plan.videoFilters = chain.join(QLatin1Char(','));
    } else {
        // The full size until a choice is made; an odd side loses a pixel.
        plan = plan.withPicture(100);
    }
    return plan;
}

bool copiesAsItIs(const QVariantMap &row, const RowPlan &plan, const Choices &choices)
{
    // What MP4 players take as they are; anything else is encoded.
    static const QStringList videoFormats { QStringLiteral("h264"), QStringLiteral("hevc"), QStringLiteral("av1"), QStringLiteral("mpeg4") };
    static const QStringList audioFormats { QStringLiteral("aac"), QStringLiteral("mp3"), QStringLiteral("ac3"), QStringLiteral("eac3") };
    if ((Planning::isScaling(choices.resolutionPercent) && !choices.automaticPicture) || !plan.sourceFilters.isEmpty())
        return false;
    for (const QVariant &item : row.value(RowKeys::tracksInfo).toList()) {
        const QVariantMap track = item.toMap();
        const QVariantMap stream = track.value(TrackKeys::trackDictionary).toMap();
        const QString kind = stream.value(QStringLiteral("codec_type")).toString();
        const QString codec = track.value(TrackKeys::trackCodec).toString();
        const bool picture = stream.value(QStringLiteral("disposition")).toMap().value(QStringLiteral("attached_pic")).toInt() == 1;
        if (kind == QLatin1String("video") && (picture || track.value(TrackKeys::trackType) != TrackTypes::video || !videoFormats.contains(codec)))
            return false;
        if (kind == QLatin1String("audio") && !audioFormats.contains(codec))
            return false;
    }
    return true;
}

QStringList transcoderArguments(const QString &inputPath, const QString &outputPath, const QVariantMap &row,
                                double targetBytes, double resolutionPercent, SourceFilters filters)
{
    return planRow(inputPath, outputPath, row, targetBytes, { .resolutionPercent = resolutionPercent, .filters = filters })
        .plannedArguments();
}

}
