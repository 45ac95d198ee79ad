#include "compress/PictureChoice.h"

#include <algorithm>
#include <cmath>

// Where the picture's samples are taken from: stretches of the clip, moved to
// key frames near where they were wanted.
namespace PictureChoice {

namespace {

constexpr double stretchSeconds = 2;
constexpr double secondsPerStretch = 20;
constexpr int mostStretches = 3;

}

QString secondsText(double seconds) { return QString::number(seconds, 'f', 3); }

QList<Stretch> stretches(double duration)
{
    const int count = std::clamp(int(std::lround(duration / secondsPerStretch)), 1, mostStretches);
    if (duration <= count * stretchSeconds * 2)
        return { { 0, duration } };
    QList<Stretch> parts;
    for (int i = 0; i < count; ++i)
        parts.append({ std::max(0.0, duration * (i + 0.5) / count - stretchSeconds / 2), stretchSeconds });
    return parts;
}

QList<Stretch> onKeyFrames(const QList<Stretch> &stretches, const QList<double> &keyFrames, double duration)
{
    constexpr double slack = 1e-3;
    QList<Stretch> moved;
    double clearFrom = 0;
    for (Stretch stretch : stretches) {
        std::optional<double> nearest;
        for (double k : keyFrames) {
            const double away = std::abs(k - stretch.start);
            if (away <= stretch.seconds / 2 + slack && k >= clearFrom - slack && k + stretch.seconds <= duration + slack
                && (!nearest || away < std::abs(*nearest - stretch.start)))
                nearest = k;
        }
        if (nearest)
            stretch.start = std::max(0.0, *nearest);
        moved.append(stretch);
        clearFrom = stretch.start + stretch.seconds;
    }
    return moved;
}

QStringList keyFrameArguments(const QString &input, const QList<Stretch> &stretches)
{
    QStringList intervals;
    for (const Stretch &stretch : stretches)
        // Packets come in decoding order: read on past the last key frame wanted.
        intervals << secondsText(std::max(0.0, stretch.start - stretch.seconds / 2)) + QLatin1Char('%')
                + secondsText(stretch.start + stretch.seconds);
    return { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
             QStringLiteral("-read_intervals"), intervals.join(QLatin1Char(',')), QStringLiteral("-show_entries"),
             QStringLiteral("packet=pts_time,flags"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), input };
}

QList<double> keyFrameTimes(QByteArrayView output)
{
    QList<double> times;
    for (const QByteArray &line : output.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        const double time = fields.value(0).toDouble(&ok);
        if (ok && fields.value(1).startsWith('K'))
            times.append(time);
    }
    return times;
}

}
