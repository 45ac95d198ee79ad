#pragma once

#include "compress/Planning.h"
#include "compress/TranscoderCommand.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>


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
                      double resolutionPercent, TranscoderCommand::SourceFilters filters = {});

    // All argument lists as one line: [["-i", "/in/a.mov", ...], [...]].
    static QString argumentListsText(const QList<QStringList> &argumentLists);
};
