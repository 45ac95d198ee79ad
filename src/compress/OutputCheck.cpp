#include "compress/OutputCheck.h"

#include "filelist/Intake.h"
#include "probe/FileProbe.h"

#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cmath>

namespace OutputCheck {

namespace {

constexpr qint64 littleFreeSpace = 1'000'000;
// A frame rate to judge by when the input's is not known.
constexpr double usualFrameRate = 25;
constexpr double longerAllowed = 0.5; // seconds

QString tracks(int count, const char *kind)
{
    return QStringLiteral("%1 %2 track%3").arg(count).arg(QLatin1String(kind)).arg(count == 1 ? "" : "s");
}

}

bool diskMayBeFull(const QString &output, const QString &messages, qint64 target)
{
    if (messages.contains(QLatin1String("No space left on device")))
        return true;
    const QStorageInfo storage(QFileInfo(output).absolutePath());
    return storage.isValid() && storage.bytesAvailable() >= 0
        && storage.bytesAvailable() < std::max(littleFreeSpace, target);
}

QString secondsText(double seconds)
{
    // Short clips need the hundredths to show a difference at all.
    QString text = QString::number(seconds, 'f', seconds < 10 ? 2 : 1);
    while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
        text.chop(1);
    return text;
}

Verdict check(const QString &output, const RowPlan &plan, const QString &messages)
{
    const FileProbe probe(output);
    Verdict verdict;
    verdict.audioTracks = probe.audioTrackCount;
    verdict.videoBytes = qint64(double(probe.videoBitRate) * (probe.videoDuration > 0 ? probe.videoDuration : probe.duration) / 8);
    if (Intake::refusalReason(probe, output)) {
        verdict.problem = QStringLiteral("the output is not a playable video")
            + (diskMayBeFull(output, messages, plan.targetBytes) ? QStringLiteral("; the disk may be full") : QString());
        return verdict;
    }
    // Short by more than 2 % or two frames, whichever is more (encoders drop
    // a frame at either end; a short clip has few frames), is a cut output.
    // Longer is only padding (an audio encoder's last frames), unless by much.
    const double frame = 1.0 / (plan.frameRate > 0 ? plan.frameRate : usualFrameRate);
    const double shortBy = plan.duration - probe.duration;
    if (shortBy > std::max(0.02 * plan.duration, 2 * frame) || -shortBy > std::max(0.02 * plan.duration, longerAllowed)) {
        verdict.problem = QStringLiteral("the output is %1 s long, the input %2 s")
                              .arg(secondsText(probe.duration), secondsText(plan.duration));
        return verdict;
    }
    if (plan.audioKbps && !probe.hasAudioTrack)
        verdict.problem = QStringLiteral("the output lost the input's audio");
    return verdict;
}

QStringList droppedTracks(const RowPlan &plan, int outputAudioTracks)
{
    QStringList dropped;
    if (outputAudioTracks < plan.audioTracks)
        dropped << QStringLiteral("kept %1 of %2").arg(outputAudioTracks).arg(tracks(plan.audioTracks, "audio"));
    if (plan.subtitleTracks > 0)
        dropped << QStringLiteral("left out %1").arg(tracks(plan.subtitleTracks, "subtitle"));
    return dropped;
}

}
