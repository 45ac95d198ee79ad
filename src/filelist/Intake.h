#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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

// Nothing when the file can be compressed; otherwise why not.
std::optional<QString> refusalReason(const FileProbe &probe, const QString &path);

struct Callbacks
{
    std::function<void(const FileProbe &)> accepted;
    std::function<void(double percent)> progress; // after each accepted file
};

// Probes each path in order, one after the other.
QList<Refusal> analyze(const QStringList &paths, const Callbacks &callbacks);

// The refused files' names, as the alert and the diagnostic line show them.
QStringList refusedNames(const QList<Refusal> &refused);

inline const QString refusalMessageText = QStringLiteral("Veltrane not able to open these file(s):");

}
