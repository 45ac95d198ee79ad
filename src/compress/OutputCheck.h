#pragma once

#include <QString>

#include <optional>

// What an output must be before it is called compressed: usable media with a
// video track (as intake judges inputs), lasting as long as its input.
namespace OutputCheck {

// Nothing when the output passes; otherwise why not, as the user is told.
// messages: the transcoder's last lines, which may tell of a full disk;
// target: the row's target in bytes, the least free space a disk that is not
// full would still have.
std::optional<QString> problem(const QString &output, double inputDuration, const QString &messages, qint64 target);

// The transcoder's messages tell of a full disk, or the output's folder has
// less free space left than the target (or 1 MB).
bool diskMayBeFull(const QString &output, const QString &messages, qint64 target);

// Seconds as the reasons show them: "34.9", "60".
QString secondsText(double seconds);

}
