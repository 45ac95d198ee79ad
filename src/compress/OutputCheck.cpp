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
    QString text = QString::number(seconds, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
}

std::optional<QString> problem(const QString &output, double inputDuration, const QString &messages, qint64 target)
{
    const FileProbe probe(output);
    if (Intake::refusalReason(probe, output)) {
        return QStringLiteral("the output is not a playable video")
            + (diskMayBeFull(output, messages, target) ? QStringLiteral("; the disk may be full") : QString());
    }
    // Half a second or 2 %, whichever is larger: containers round, encoders
    // drop or repeat a frame at either end.
    if (std::fabs(probe.duration - inputDuration) > std::max(0.5, 0.02 * inputDuration))
        return QStringLiteral("the output is %1 s long, the input %2 s")
            .arg(secondsText(probe.duration), secondsText(inputDuration));
    return std::nullopt;
}

}
