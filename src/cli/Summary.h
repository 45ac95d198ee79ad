#pragma once

#include "compress/Batch.h"
#include "compress/RowEncoder.h"
#include "compress/RowResult.h"
#include "filelist/Intake.h"

#include <QJsonObject>
#include <QTextStream>

namespace Cli {

// The summary of a batch on standard output: a line per file (the output,
// its size, target and ratio; or FAILED with the reason and the
// transcoder's last lines), or one JSON object.
void printSummary(QTextStream &out, const Batch &batch, const QList<RowResult> &results,
                  const QList<Intake::Refusal> &refused, bool json);

// What would run first for every row, as one JSON array of lists; with
// json, an object per row with its plan and those lists.
void printArgumentLists(QTextStream &out, const Batch &batch, Passes passes, bool json);

// A row's plan as --json says it: codec, picture, frame rate, bitrates,
// bits per pixel.
QJsonObject planObject(const RowPlan &plan);

}
