#include "compress/RowResult.h"

QString RowResult::description() const
{
    if (!reason.isEmpty())
        return reason;
    // In English for the command line; the window translates them (FailureReason).
    switch (outcome) {
    case RowOutcome::succeeded: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "compressed"));
    case RowOutcome::failedToStart: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the transcoder could not be started"));
    case RowOutcome::crashed: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the transcoder crashed"));
    case RowOutcome::exitedNonZero: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the transcoder reported an error"));
    case RowOutcome::noOutput: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the transcoder wrote no output file"));
    case RowOutcome::cancelled: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "cancelled"));
    case RowOutcome::unusable: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the output is not a playable video"));
    case RowOutcome::overTarget: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the output is over its target size"));
    case RowOutcome::stalled: return QStringLiteral(QT_TRANSLATE_NOOP("RowResult", "the transcoder stopped making progress"));
    }
    return {};
}

QString RowResult::token() const
{
    switch (outcome) {
    case RowOutcome::succeeded: return QStringLiteral("compressed");
    case RowOutcome::overTarget: return QStringLiteral("over-target");
    case RowOutcome::cancelled: return QStringLiteral("cancelled");
    default: return QStringLiteral("failed");
    }
}
