#pragma once

#include "compress/RowPlan.h"

#include <QString>
#include <QStringList>

#include <optional>

// What an output must be before it is called compressed: usable media with a
// video track (as intake judges inputs), lasting as long as its input, with
// the audio its plan kept.
namespace OutputCheck {

struct Verdict
{
    std::optional<QString> problem; // why it is no good, as the user is told; nothing when it passes
    int audioTracks = 0;            // the output's
    qint64 videoBytes = 0;          // of its video packets; 0 when the probe could not tell
};

// messages: the transcoder's last lines, which may tell of a full disk.
Verdict check(const QString &output, const RowPlan &plan, const QString &messages);

// What the output leaves out of its input, for the report: "kept 1 of 8
// audio tracks", "left out 2 subtitle tracks". Empty when nothing.
QStringList droppedTracks(const RowPlan &plan, int outputAudioTracks);

// The transcoder's messages tell of a full disk, or the output's folder has
// less free space left than the target (or 1 MB).
bool diskMayBeFull(const QString &output, const QString &messages, qint64 target);

// Seconds as the reasons show them: "34.9", "60", "1.52".
QString secondsText(double seconds);

}
