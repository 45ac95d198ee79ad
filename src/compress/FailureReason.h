#pragma once

#include "compress/RowResult.h"

#include <QString>

// Why a row failed, in the words of someone who has to act on it: the file
// is gone, the disk is full, the encoder refused its settings. The
// transcoder's own line for it stays in the row's messages.
namespace FailureReason {

// The plain reason for a failed row of input, from its messages and from the
// input as it is now; the row's own description when they say nothing
// plainer, or when the row did not fail.
QString plain(const RowResult &result, const QString &input);

}
