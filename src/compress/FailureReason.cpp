#include "compress/FailureReason.h"

#include <QFileInfo>

namespace FailureReason {

namespace {

struct Sign
{
    const char *text; // in the transcoder's messages
    const char *reason;
};

// The first that the messages hold is the reason: a full disk also makes
// ffmpeg suspect "incorrect codec parameters".
constexpr Sign signs[] = {
    { "No space left on device", "the disk is full" },
    { "Disk quota exceeded", "the disk quota is used up" },
    { "Read-only file system", "the output folder is on a disk that cannot be written" },
    { "Permission denied", "the output folder may not be written to (permission denied)" },
    { "Unknown encoder", "this ffmpeg has no encoder for the format" },
    { "Error while opening encoder", "the encoder refused the settings" },
    { "Could not open encoder", "the encoder refused the settings" },
    { "Cannot allocate memory", "there was not enough memory" },
    { "Invalid data found when processing input", "the file could not be read; it may be damaged" },
    { "Input/output error", "the disk reported an error reading or writing" },
};

}

QString plain(const RowResult &result, const QString &input)
{
    // Not starting, a stall and a cancel say what they are already.
    switch (result.outcome) {
    case RowOutcome::exitedNonZero:
    case RowOutcome::noOutput:
    case RowOutcome::crashed:
    case RowOutcome::unusable: break;
    default: return result.description();
    }
    const QFileInfo file(input);
    if (!file.exists())
        return QStringLiteral("the file is no longer there");
    const QString unreadable = QStringLiteral("the file can no longer be read (permission denied)");
    if (!file.isReadable())
        return unreadable;
    for (const Sign &sign : signs) {
        if (!result.messages.contains(QLatin1String(sign.text)))
            continue;
        // ffmpeg names the file it was refused.
        if (qstrcmp(sign.text, "Permission denied") == 0
            && result.messages.contains(input + QStringLiteral(": Permission denied")))
            return unreadable;
        return QString::fromLatin1(sign.reason);
    }
    return result.description();
}

}
