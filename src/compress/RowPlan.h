#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The video format an output is encoded in.
enum class Codec {
    h264, // plays everywhere; the planned lists name no codec and get it
    h265, // a better picture for the bytes where players take it
    av1,  // better still, in recent browsers and phones
};

// What one encode of a row is.
enum class RunKind {
    single,      // one run, nothing more
    firstOfTwo,  // one run that also writes the encoder's statistics, for a second pass if it is needed
    firstPass,   // the first pass of a two-pass encode: statistics only, no audio
    secondPass,  // the second pass, from the statistics
    copy,        // the input's streams copied into the output as they are
};

// One row of a batch, fixed when it is planned: what the transcoder is told
// and what the output is held to. Argument lists are rendered from it, never
// read back.
struct RowPlan
{
    QString input;
    QString output; // where the file ends up, in the output folder
    double duration = 0;   // seconds, the input's
    qint64 targetBytes = 0; // what the output must fit in
    double videoKbps = 0;
    std::optional<double> audioKbps; // none: the row has no audio
    int audioChannels = 0;           // 0: as they are; 2: stereo (from more); 1: mono
    QString videoFilters;            // one -vf chain; empty for none
    bool toneMapped = false;         // HDR made SDR: the output is tagged BT.709
    Codec codec = Codec::h264;
    bool keepFrameTimes = false;     // a variable frame rate keeps its frames, none repeated
    // What the output is checked against, and the plan told.
    double frameRate = 0;    // the input's average; 0 when unknown
    double outputFrameRate = 0; // after any cap; 0 when unknown
    qint64 width = 0;        // the output picture's; 0 when unknown
    qint64 height = 0;
    int audioTracks = 0;
    int subtitleTracks = 0;
    // The input is already under the target. Its streams are copied into the
    // output as they are where copiesStreams; an encode (where they cannot be,
    // or that copy fails) aims at the input's own size: no output grows.
    bool alreadyFits = false;
    bool copiesStreams = false;
    QString sourceCodec; // the input's video format, as the probe names it ("hevc")
    // The picture chosen at run time from samples of the content (--resolution auto):
    // the chain before any size, and the source's size it applies to.
    bool automaticPicture = false;
    QString sourceFilters;
    qint64 sourceWidth = 0;
    qint64 sourceHeight = 0;

    // The list of an encode of kind writing to `to`, with its statistics in
    // stats (a file name the encoder adds to). With `to` the output and a
    // single run, the planned list. videoKbps, when given, replaces the
    // planned video bitrate; crf, from 1, asks AV1 for that constant quality
    // instead. A format without a second pass runs every kind as a single run.
    QStringList arguments(const QString &to, RunKind kind = RunKind::single, std::optional<double> videoKbps = std::nullopt,
                          const QString &stats = {}, int crf = 0) const;
    QStringList plannedArguments() const { return arguments(output); }

    // The plan with the picture at percent of the source's size (even sides)
    // and, where fpsCap is above 0, frames capped at that rate.
    RowPlan withPicture(double percent, double fpsCap = 0) const;
    // The filter that gives the picture at percent of the source's size:
    // a scale, a crop of an odd side's pixel at full size, or nothing.
    QString sizeFilter(double percent) const;

    // Whether the format's encoder cannot take the output picture: SVT-AV1
    // refuses one under 64 pixels a side, and x265 aborts on some under 64
    // both ways (48×32, 40×52). H.264 takes any; an unknown size is left to
    // the encoder.
    bool pictureTooSmall() const;
    // What a row whose picture is too small is told, in English: translated
    // where it is shown, in the "RowResult" context.
    static const char *const pictureTooSmallReason;

    // Whether the format has a second pass from its first run's statistics.
    bool hasSecondPass() const { return codec != Codec::av1; }
    // x265's first run is a lesser encode than its second pass at the same size.
    bool firstRunIsDraft() const { return codec == Codec::h265; }
    // Bits of video a pixel of a frame gets: how starved the picture is.
    double bitsPerPixel() const;
    // What the row becomes, for people: "1920×1080 60 fps → 1280×720 30 fps · H.265 · 1.4 Mb/s";
    // chosenLater: as pictureSummary's.
    QString summaryText(const QString &chosenLater = {}) const;
    // Its picture alone: "1920×1080 60 fps → 1280×720 30 fps", or the source's
    // size and where the output's is still to be chosen, `chosenLater`.
    QString pictureSummary(const QString &chosenLater = {}) const;
};

// "H.264", "H.265", "AV1": the names people know the formats by.
QString codecTitle(Codec codec);

// "h264", "h265", "av1": the names the command line takes.
QString codecName(Codec codec);
std::optional<Codec> codecNamed(const QString &name);
