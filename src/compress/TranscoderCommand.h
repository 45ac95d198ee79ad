#pragma once

#include "compress/RowPlan.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <optional>

// The transcoder run that compresses one row.
namespace TranscoderCommand {

// One output path per input, in the folder: the input's last path component
// with its last extension replaced by "mp4". Inputs whose output names would
// collide (a/clip.mov, b/clip.mkv) get "clip (2).mp4", "clip (3).mp4"... so
// no output overwrites another. Compared without letter case, since the
// folder may be on a file system that ignores it.
QStringList outputPaths(const QString &folder, const QStringList &inputPaths);

// What the filter chain does for the sources that need it; both on unless
// turned off. HDR (PQ or HLG) is tone-mapped to BT.709 SDR, interlaced video
// deinterlaced; a progressive SDR row gets neither, and its list is as ever.
struct SourceFilters
{
    bool toneMap = true;
    bool deinterlace = true;
};

// What the user chose beyond the target, for every row.
struct Choices
{
    double resolutionPercent = 100; // the resolution slider
    bool automaticPicture = false;  // the size chosen per row from samples of its content
    bool automaticAudio = false;    // the audio's bitrate follows the budget
    Codec codec = Codec::h264;
    SourceFilters filters;
};

// The plan of one row: its bitrates for targetBytes (Planning::Target::bytes),
// its filter chain (fields to frames, HDR to SDR, then the size: scaled by
// the slider, or else cropped by a pixel where a side is odd, which 4:2:0
// video cannot have), its format, and what its output is checked against.
RowPlan planRow(const QString &inputPath, const QString &outputPath, const QVariantMap &row, double targetBytes,
                const Choices &choices);

// Whether the row's streams go into an .mp4 as they are: its video and
// audio in formats the container takes, no cover picture, and nothing for
// its plan's filters or the resolution slider to change.
bool copiesAsItIs(const QVariantMap &row, const RowPlan &plan, const Choices &choices);

// The planned list of the row.
QStringList transcoderArguments(const QString &inputPath, const QString &outputPath, const QVariantMap &row,
                                double targetBytes, double resolutionPercent, SourceFilters filters = {});

}
