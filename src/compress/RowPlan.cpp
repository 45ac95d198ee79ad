#include "compress/RowPlan.h"

#include "util/TextFormat.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

QString kbpsText(double kbps) { return TextFormat::decimalText(kbps) + QLatin1Char('k'); }

// Presets that keep each format's encode time near x264's default on a
// small machine (docs/QUALITY-RESEARCH.md): x265's fast gives more for the
// bytes than its medium, and costs less; SVT-AV1 at 10 below 1080p and 9
// from there is no slower than one x264 run.
const QString x265Preset = QStringLiteral("fast");
QString svtav1Preset(qint64 height) { return height >= 1080 ? QStringLiteral("9") : QStringLiteral("10"); }

}

QString codecName(Codec codec)
{
    switch (codec) {
    case Codec::h264: return QStringLiteral("h264");
    case Codec::h265: return QStringLiteral("h265");
    case Codec::av1: return QStringLiteral("av1");
    }
    return {};
}

std::optional<Codec> codecNamed(const QString &name)
{
    for (const Codec codec : { Codec::h264, Codec::h265, Codec::av1 })
        if (codecName(codec) == name)
            return codec;
    return std::nullopt;
}

namespace {

qint64 evenShare(qint64 side, double percent)
{
    return percent < 100 ? std::max<qint64>(2, 2 * qint64(std::llround(double(side) * percent / 100 / 2))) : side & ~1;
}

}

QString RowPlan::sizeFilter(double percent) const
{
    if (percent < 100)
        return QStringLiteral("scale=%1:%2,setsar=1:1").arg(evenShare(sourceWidth, percent)).arg(evenShare(sourceHeight, percent));
    // The encoder refuses an odd side in 4:2:0: one pixel goes.
    if (sourceWidth % 2 != 0 || sourceHeight % 2 != 0)
        return QStringLiteral("crop=trunc(iw/2)*2:trunc(ih/2)*2");
    return {};
}

RowPlan RowPlan::withPicture(double percent, double fpsCap) const
{
    RowPlan plan = *this;
    QStringList chain;
    if (!sourceFilters.isEmpty())
        chain << sourceFilters;
    // Fewer frames first: the scaler then has less to do.
    if (fpsCap > 0 && frameRate > fpsCap + 0.5) {
        chain << QStringLiteral("fps=%1").arg(fpsCap);
        plan.outputFrameRate = fpsCap;
    }
    if (const QString size = sizeFilter(percent); !size.isEmpty())
        chain << size;
    plan.width = evenShare(sourceWidth, percent);
    plan.height = evenShare(sourceHeight, percent);
    plan.videoFilters = chain.join(QLatin1Char(','));
    return plan;
}

const char *const RowPlan::pictureTooSmallReason = QT_TRANSLATE_NOOP(
    "RowResult", "the picture is too small for this format (AV1 needs 64 pixels on each side, H.265 on one); H.264 takes it");

bool RowPlan::pictureTooSmall() const
{
    constexpr qint64 leastSide = 64;
    if (width <= 0 || height <= 0)
        return false;
    switch (codec) {
    case Codec::h264: return false;
    case Codec::h265: return std::max(width, height) < leastSide;
    case Codec::av1: return std::min(width, height) < leastSide;
    }
    return false;
}

QString codecTitle(Codec codec)
{
    switch (codec) {
    case Codec::h264: return QStringLiteral("H.264");
    case Codec::h265: return QStringLiteral("H.265");
    case Codec::av1: return QStringLiteral("AV1");
    }
    return {};
}

namespace {

QString pictureText(qint64 width, qint64 height, double fps)
{
    QString text = QStringLiteral("%1×%2").arg(width).arg(height);
    if (fps > 0)
        text += QLatin1Char(' ')
            + QCoreApplication::translate("RowPlan", "%1 fps").arg(QString::number(fps, 'f', std::abs(fps - std::round(fps)) < 0.01 ? 0 : 2));
    return text;
}

QString rateText(double kbps)
{
    return kbps >= 1000 ? QCoreApplication::translate("RowPlan", "%1 Mb/s").arg(QString::number(kbps / 1000, 'f', 1))
                        : QCoreApplication::translate("RowPlan", "%1 kb/s").arg(qRound(kbps));
}

}

QString RowPlan::pictureSummary(const QString &chosenLater) const
{
    const QString from = pictureText(sourceWidth, sourceHeight, frameRate);
    if (!chosenLater.isEmpty())
        return from + QStringLiteral(" → ") + chosenLater;
    const QString to = pictureText(width, height, outputFrameRate > 0 ? outputFrameRate : frameRate);
    return copiesStreams || from == to ? from : from + QStringLiteral(" → ") + to;
}

QString RowPlan::summaryText(const QString &chosenLater) const
{
    if (copiesStreams)
        return pictureSummary() + QStringLiteral(" · ") + QCoreApplication::translate("RowPlan", "already fits: copied as it is");
    return pictureSummary(chosenLater) + QStringLiteral(" · ") + codecTitle(codec) + QStringLiteral(" · ") + rateText(videoKbps)
        + (alreadyFits ? QStringLiteral(" · ") + QCoreApplication::translate("RowPlan", "already fits: encoded at its own size") : QString());
}

double RowPlan::bitsPerPixel() const
{
    const double pixels = double(width) * double(height) * (outputFrameRate > 0 ? outputFrameRate : frameRate);
    return pixels > 0 ? videoKbps * 1000 / pixels : 0;
}

QStringList RowPlan::arguments(const QString &to, RunKind kind, std::optional<double> kbps, const QString &stats, int crf) const
{
    // Names, places and chapters go; one video and one audio track, as ffmpeg picks them.
    QStringList arguments { QStringLiteral("-i"), input, QStringLiteral("-sn"), QStringLiteral("-dn"),
                            QStringLiteral("-map_chapters"), QStringLiteral("-1"), QStringLiteral("-map_metadata"), QStringLiteral("-1") };
    if (kind == RunKind::copy) {
        arguments << QStringLiteral("-c") << QStringLiteral("copy");
        if (sourceCodec == QLatin1String("hevc")) // Apple's players take H.265 in MP4 only under this tag
            arguments << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
        return arguments << QStringLiteral("-y") << to;
    }
    if (!hasSecondPass())
        kind = RunKind::single;
    arguments << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p") << QStringLiteral("-avoid_negative_ts") << QStringLiteral("1");
    // A first pass only gathers the video's statistics.
    const bool withAudio = audioKbps && kind != RunKind::firstPass;
    if (withAudio && audioChannels > 0)
        arguments << QStringLiteral("-ac") << QString::number(audioChannels);
    if (codec == Codec::h265)
        arguments << QStringLiteral("-c:v") << QStringLiteral("libx265") << QStringLiteral("-preset") << x265Preset;
    if (codec == Codec::av1)
        arguments << QStringLiteral("-c:v") << QStringLiteral("libsvtav1") << QStringLiteral("-preset") << svtav1Preset(height);
    if (crf > 0 && codec == Codec::av1)
        arguments << QStringLiteral("-crf") << QString::number(crf);
    else
        arguments << QStringLiteral("-b:v") << kbpsText(kbps.value_or(videoKbps));
    if (withAudio)
        arguments << QStringLiteral("-b:a") << kbpsText(*audioKbps);
    if (!videoFilters.isEmpty())
        arguments << QStringLiteral("-vf") << videoFilters;
    if (keepFrameTimes)
        arguments << QStringLiteral("-fps_mode") << QStringLiteral("passthrough");
    if (toneMapped)
        arguments << QStringLiteral("-color_primaries") << QStringLiteral("bt709") << QStringLiteral("-color_trc")
                  << QStringLiteral("bt709") << QStringLiteral("-colorspace") << QStringLiteral("bt709");
    // x265 and SVT-AV1 share their rate among the frames a second they are
    // told, the container's nominal rate: a phone's variable rate averaging
    // 14 of a nominal 30 got half its bytes. x264 follows the timestamps.
    const double framesASecond = outputFrameRate > 0 ? outputFrameRate : frameRate;
    const bool tellFrameRate = keepFrameTimes && framesASecond > 0;
    if (codec == Codec::h265) {
        // Apple's players take H.265 in MP4 only under this tag.
        arguments << QStringLiteral("-tag:v") << QStringLiteral("hvc1");
        QString params = QStringLiteral("log-level=error");
        if (kind != RunKind::single)
            params += QStringLiteral(":pass=%1:stats=%2").arg(kind == RunKind::secondPass ? 2 : 1).arg(stats);
        if (tellFrameRate)
            params += QStringLiteral(":fps=") + QString::number(framesASecond, 'f', 3);
        arguments << QStringLiteral("-x265-params") << params;
    }
    if (codec == Codec::av1 && tellFrameRate)
        arguments << QStringLiteral("-svtav1-params") << QStringLiteral("fps-num=%1:fps-denom=1000").arg(std::max(1L, std::lround(framesASecond * 1000)));
    if (kind == RunKind::firstPass)
        arguments << QStringLiteral("-an");
    if (codec == Codec::h264 && kind != RunKind::single) {
        arguments << QStringLiteral("-pass") << (kind == RunKind::secondPass ? QStringLiteral("2") : QStringLiteral("1"));
        // x264's first pass is quicker and worse unless told otherwise: a
        // first run that may be the output is the planned encode to the bit.
        if (kind == RunKind::firstOfTwo)
            arguments << QStringLiteral("-fastfirstpass") << QStringLiteral("0");
        arguments << QStringLiteral("-passlogfile") << stats;
    }
    arguments << QStringLiteral("-y") << to;
    return arguments;
}
