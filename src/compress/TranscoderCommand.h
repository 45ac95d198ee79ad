#pragma once

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

// targetBytes: what the output aims at (Planning::Target::bytes).
QStringList transcoderArguments(const QString &inputPath, const QString &outputPath, const QVariantMap &row,
                                double targetBytes, double resolutionPercent, SourceFilters filters = {});

// One pass (1 or 2) of a two-pass encode made from a planned list: the same
// options and filters, "-pass N -passlogfile log" before the output, which
// is replaced by output. The first pass leaves audio out. With videoKbps,
// the video bitrate is that instead of the planned one.
QStringList passArguments(const QStringList &planned, int pass, const QString &log, const QString &output,
                          std::optional<double> videoKbps = std::nullopt);

// The planned video bitrate of a list, in kbit/s.
double videoKbps(const QStringList &planned);

}
