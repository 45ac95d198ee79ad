#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

enum class RowOutcome {
    succeeded,
    failedToStart, // no transcoder, or it could not be launched
    crashed,
    exitedNonZero,
    noOutput,   // exited cleanly but left no output file
    cancelled,  // stopped or skipped by a cancel
    unusable,   // the output is not a playable video, or not as long as the input
    overTarget, // every encode came out larger than the target; the smallest is kept
    stalled,    // the transcoder stopped making progress
};

// How one row of a batch ended.
struct RowResult
{
    RowOutcome outcome = RowOutcome::cancelled;
    int exitCode = 0;
    QString reason = {};   // what the user is told, when it says more than the outcome
    QString messages = {}; // the transcoder's last lines, for a failure
    qint64 size = 0;  // bytes of the output kept, 0 when none
    int passes = 0;   // passes of the output kept: 1 or 2
    int attempts = 0; // encodes made for the row
    bool copied = false; // already under its target: its streams copied as they are
    QStringList notes = {}; // what the user should know of a kept output: "kept 1 of 8 audio tracks"

    // The reason, or what the outcome alone says: "compressed", "cancelled"...
    QString description() const;
    // The outcome as machines read it, one of "compressed", "over-target"
    // (kept, larger than its target), "failed", "cancelled"; the prose is
    // description().
    QString token() const;
    // Neither compressed nor cancelled.
    bool failed() const { return outcome != RowOutcome::succeeded && outcome != RowOutcome::cancelled; }
};
Q_DECLARE_METATYPE(RowResult)
