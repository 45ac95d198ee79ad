#pragma once

#include "compress/Planning.h"
#include "compress/RowPlan.h"
#include "compress/TranscoderCommand.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>


// One compression run, fixed when planned and handed to the job by value.
struct Batch
{
    QString outputFolder;
    // Where the rows are written until the batch is done (the output
    // folder's work folder); empty: the output folder itself.
    QString workFolder;
    QList<RowPlan> rows;

    qsizetype count() const { return rows.size(); }
    const QString &writingFolder() const { return workFolder.isEmpty() ? outputFolder : workFolder; }
    // Where row i is written meanwhile: its output's name in the writing folder.
    QString writtenOutput(qsizetype i) const;
    QStringList inputs() const;
    QList<QStringList> plannedArgumentLists() const;

    // Every row of the list, aimed at one target, scaled by the resolution slider.
    static Batch plan(const QList<QVariantMap> &rows, const QString &outputFolder, Planning::Target target,
                      const TranscoderCommand::Choices &choices = {});

    // All argument lists as one line: [["-i", "/in/a.mov", ...], [...]].
    static QString argumentListsText(const QList<QStringList> &argumentLists);
};
