#pragma once

#include "probe/FileProbe.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <optional>


// Bringing files into the list: every file is probed, the usable ones are
// handed on, the others are named with the reason.
namespace Intake {

struct Refusal
{
    QString path;
    QString name;   // last path component, as the alert shows it
    QString reason; // why, for the command line
};

// Nothing when the file can be compressed; otherwise why not. What the file
// system says comes first (no such file, permission denied, a folder that
// brought no files), then what the probe found; the window and the command
// line refuse for the same reasons.
std::optional<QString> refusalReason(const FileProbe &probe, const QString &path);

// One file as intake finds it.
struct Examined
{
    QString path;
    FileProbe probe;
    std::optional<QString> refusal; // why it cannot be compressed; nothing when it can
    QVariant prepared = {};         // what the caller made of an accepted file (the window: its thumbnail)
};

// Probes path and judges it; a file refused by its extension is probed too.
// A probe cut short by *stop leaves the probe's defaults.
Examined examine(const QString &path, const std::atomic<bool> *stop = nullptr);

// The refusal of a file examine() refused.
Refusal refusalOf(const Examined &file);

// The refused files' names, as the alert and the diagnostic line show them.
QStringList refusedNames(const QList<Refusal> &refused);
// A line per refused file with its reason: "notes.txt: not a media file".
QString refusalDetails(const QList<Refusal> &refused);

// As written; the window shows it translated.
inline const QString refusalMessageText = QStringLiteral(QT_TRANSLATE_NOOP("Intake", "Veltrane not able to open these file(s):"));

}
