#pragma once

#include "compress/Planning.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// One compression run, fixed when planned and handed to the job by value.
struct Batch
{
    QString outputFolder;
    QStringList inputs;
    QStringList outputs;
    QList<QStringList> argumentLists;
    QList<double> durations;
    QList<qint64> targetSizes; // bytes each output aims at
    qsizetype count() const { return argumentLists.size(); }

    // Every row of the list, aimed at one target, scaled by the resolution slider.
    static Batch plan(const QList<QVariantMap> &rows, const QString &outputFolder, Planning::Target target,
                      double resolutionPercent);

    // All argument lists as one line: [["-i", "/in/a.mov", ...], [...]].
    static QString argumentListsText(const QList<QStringList> &argumentLists);
};

// Getting the output folder ready.
namespace OutputFolder {

// The listed input that lies at path or anywhere below it, if any: replacing
// that folder would destroy the very file being compressed.
std::optional<QString> listedInputInside(const QString &path, const QStringList &inputs);

// Removes whatever is at path and creates the folder (parents are not made).
// Failures are written as "An error took place: " lines; true when the folder
// exists afterwards.
bool prepare(const QString &path);

// Removes the folder and all it holds, quietly: what a cancelled batch leaves.
void remove(const QString &path);

inline const QString holdsInputMessageText =
    QStringLiteral("Veltrane can't replace a folder that holds files from the list:");

}
