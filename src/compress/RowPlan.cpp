#include "compress/RowPlan.h"

#include "util/TextFormat.h"

namespace {

QString kbpsText(double kbps) { return TextFormat::decimalText(kbps) + QLatin1Char('k'); }

}

QStringList RowPlan::arguments(const QString &to, int pass, std::optional<double> kbps, const QString &passLog) const
{
    QStringList arguments { QStringLiteral("-i"),
                            input,
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
    // A first pass only gathers the video's statistics.
    const bool withAudio = audioKbps && pass != 1;
    if (withAudio && downmix)
        arguments << QStringLiteral("-ac") << QStringLiteral("2");
    arguments << QStringLiteral("-b:v") << kbpsText(kbps.value_or(videoKbps));
    if (withAudio)
        arguments << QStringLiteral("-b:a") << kbpsText(*audioKbps);
    if (!videoFilters.isEmpty())
        arguments << QStringLiteral("-vf") << videoFilters;
    if (toneMapped)
        arguments << QStringLiteral("-color_primaries") << QStringLiteral("bt709") << QStringLiteral("-color_trc")
                  << QStringLiteral("bt709") << QStringLiteral("-colorspace") << QStringLiteral("bt709");
    if (pass == 1)
        arguments << QStringLiteral("-an");
    if (pass != 0)
        arguments << QStringLiteral("-pass") << QString::number(pass) << QStringLiteral("-passlogfile") << passLog;
    arguments << QStringLiteral("-y") << to;
    return arguments;
}
