#include "compress/FailureReason.h"

#include <QCoreApplication>
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
    { "No space left on device", QT_TRANSLATE_NOOP("FailureReason", "the disk is full") },
    { "Disk quota exceeded", QT_TRANSLATE_NOOP("FailureReason", "the disk quota is used up") },
    { "Read-only file system", QT_TRANSLATE_NOOP("FailureReason", "the output folder is on a disk that cannot be written") },
    { "Permission denied", QT_TRANSLATE_NOOP("FailureReason", "the output folder may not be written to (permission denied)") },
    { "Unknown encoder", QT_TRANSLATE_NOOP("FailureReason", "this ffmpeg has no encoder for the format") },
    { "Error while opening encoder", QT_TRANSLATE_NOOP("FailureReason", "the encoder refused the settings") },
    { "Could not open encoder", QT_TRANSLATE_NOOP("FailureReason", "the encoder refused the settings") },
    { "Cannot allocate memory", QT_TRANSLATE_NOOP("FailureReason", "there was not enough memory") },
    { "Invalid data found when processing input",
      QT_TRANSLATE_NOOP("FailureReason", "the file could not be read; it may be damaged") },
    { "Input/output error", QT_TRANSLATE_NOOP("FailureReason", "the disk reported an error reading or writing") },
};

// The outcomes' own words are translated here, where they are shown; a reason
// the encoder composed is in English and stays so.
QString described(const RowResult &result)
{
    return QCoreApplication::translate("RowResult", qUtf8Printable(result.description()));
}

}

QString plain(const RowResult &result, const QString &input)
{
    // Not starting, a stall and a cancel say what they are already.
    switch (result.outcome) {
    case RowOutcome::exitedNonZero:
    case RowOutcome::noOutput:
    case RowOutcome::crashed:
    case RowOutcome::unusable: break;
    default: return described(result);
    }
    const QFileInfo file(input);
    if (!file.exists())
        return QCoreApplication::translate("FailureReason", "the file is no longer there");
    const QString unreadable =
        QCoreApplication::translate("FailureReason", "the file can no longer be read (permission denied)");
    if (!file.isReadable())
        return unreadable;
    for (const Sign &sign : signs) {
        if (!result.messages.contains(QLatin1String(sign.text)))
            continue;
        // ffmpeg names the file it was refused.
        if (qstrcmp(sign.text, "Permission denied") == 0
            && result.messages.contains(input + QStringLiteral(": Permission denied")))
            return unreadable;
        return QCoreApplication::translate("FailureReason", sign.reason);
    }
    return described(result);
}

}
