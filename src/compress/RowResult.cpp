#include "compress/RowResult.h"

QString RowResult::description() const
{
    if (!reason.isEmpty())
        return reason;
    switch (outcome) {
    case RowOutcome::succeeded: return QStringLiteral("compressed");
    case RowOutcome::failedToStart: return QStringLiteral("the transcoder could not be started");
    case RowOutcome::crashed: return QStringLiteral("the transcoder crashed");
    case RowOutcome::exitedNonZero: return QStringLiteral("the transcoder reported an error");
    case RowOutcome::noOutput: return QStringLiteral("the transcoder wrote no output file");
    case RowOutcome::cancelled: return QStringLiteral("cancelled");
    case RowOutcome::unusable: return QStringLiteral("the output is not a playable video");
    case RowOutcome::overTarget: return QStringLiteral("the output is over its target size");
    case RowOutcome::stalled: return QStringLiteral("the transcoder stopped making progress");
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
