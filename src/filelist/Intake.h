#pragma once

#include "util/OrderedWorkers.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class FileProbe;

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

struct Pass
{
    // Files examined at the same time, each on a worker thread; 1 examines
    // them one after the other.
    int jobs = 1;
    // On the worker, for each accepted file after its probe: what the caller
    // makes of it there (the window: its thumbnail).
    std::function<QVariant(const FileProbe &probe, const OrderedWorkers::Worker &worker)> prepare;
    // On the calling thread, in the order of the paths:
    std::function<void(const FileProbe &probe, const QVariant &prepared)> accepted;
    std::function<void(double percent)> progress; // after each accepted file
};

struct Result
{
    QList<Refusal> refused; // in the order of the paths
    bool stopped = false;   // the application quit during the pass; the rest was dropped
};

// Probes every path and hands the accepted ones on, in the order of the paths
// whichever probe ends first; a file refused by its extension is probed too.
Result analyze(const QStringList &paths, const Pass &pass);

// The refused files' names, as the alert and the diagnostic line show them.
QStringList refusedNames(const QList<Refusal> &refused);

inline const QString refusalMessageText = QStringLiteral("Veltrane not able to open these file(s):");

}
