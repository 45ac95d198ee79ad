#pragma once

#include "compress/RowPlan.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// The picture size that gives the best picture for a row's bitrate, chosen
// from the content (--resolution auto): a bitrate table alone scales textured
// video down when it should not, and keeps text at full size when it cannot
// fit. Short stretches of the source, from key frames near where they are
// wanted, are encoded at 100, 67 and 50 % of its size in one run (x264
// veryfast, one pass at the row's video rate; still pictures then at
// constant quality, see Level) and scored in another (SSIM after scaling
// back with bicubic); among those that keep to their rate, going
// from the largest down, a smaller size wins when it scores higher, by more
// than the samples' bias toward small pictures (the larger, the further down)
// where bits are plentiful. The frame rate is left as it is, and only halved
// (never below 24) where no size keeps to its rate (docs/QUALITY-RESEARCH.md
// has the measurements behind this).
namespace PictureChoice {

struct Stretch
{
    double start = 0;
    double seconds = 0;
};

struct Candidate
{
    double percent = 100;
    qint64 bytes = 0;                // of its sample
    std::optional<double> ssimDb;    // against the source's stretches
    // Read at levels: its bytes are what x264 spends, with no rate control's
    // overshoot to allow for; over the row's, it does not keep to the rate.
    bool atLevels = false;
};

struct Choice
{
    RowPlan plan;                 // with the chosen picture
    QList<Candidate> candidates;  // as measured; empty when nothing could be measured
    QString why;                  // "67 % (SSIM 14.2 dB; 100 %: 13.9, 50 %: 13.1)"
};

inline const QList<double> percents { 100, 67, 50 };
// The smallest of percents whose picture the row's format takes; 100 where none does.
double smallestPercent(const RowPlan &plan);

// Where the samples are taken: 2 s stretches at the middles of equal parts
// of the clip, one per 20 s of it, one to three; all of a clip of 4 s or less.
QList<Stretch> stretches(double duration);

// The stretches moved to the nearest key frame within half a stretch of
// each start, clear of the stretch before and of the clip's end (pure). From
// anywhere else both runs decode every frame since the key frame before, only
// to drop it: on a 20 s clip with key frames 10 s apart, that was most of the
// measurement. Half a stretch keeps at least half of what was to be sampled.
QList<Stretch> onKeyFrames(const QList<Stretch> &stretches, const QList<double> &keyFrames, double duration);
// The sniffer's run that lists the key frames near each stretch's start:
// packets only, nothing decoded.
QStringList keyFrameArguments(const QString &input, const QList<Stretch> &stretches);
// The key frames' times in that run's output ("10.000000,K_" per packet).
QList<double> keyFrameTimes(QByteArrayView output);
// "1.500": seconds as the tools' lists give them.
QString secondsText(double seconds);

// The run that encodes every candidate's sample into folder/sample-<k>.mp4,
// the full size's writing x264's statistics too (folder/sample-stats), and
// counts the stretches' frames and those that changed (folder/sample-frames,
// folder/sample-changed).
QStringList sampleArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QString &folder);

// Whether three quarters of the frames or more repeat the one before, from
// the two counts' logs (framecrc: a line per frame). Slides 0.98 and a screen
// recording 0.97 repeat, with a pointer moving over them too; a slow 60 fps
// pan 0.66, grainy pans none. Where x264 skips most blocks of starved camera
// content, its frames still change, and it is sampled in one pass, which
// chose right there at less cost.
inline constexpr double repeatedShare = 0.75;
bool mostlyRepeated(QByteArrayView frames, QByteArrayView changed);
// The run that scores the samples at paths: one SSIM line each on standard error, in their order.
QStringList scoreArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QStringList &paths);

// Still pictures (three quarters of the full size's blocks skipped, and of its frames repeated) are
// sampled again at x264's constant quality (CRF), and each size read at the
// row's bytes: a one-pass sample starves the key frame that holds nearly all
// of them, and ranks the sizes flat where full encodes do not.
struct Level
{
    int crf = 0;
    qint64 bytes = 0;
    std::optional<double> ssimDb;
};
inline constexpr int firstLevels[] { 26, 40 };
// The level that narrows where `bytes` lies among a size's levels tried to
// seven apart, or lies beyond them; nothing when they do already (pure).
std::optional<int> narrowingLevel(const QList<Level> &tried, double bytes);
// The levels to score: the two around bytes, or the one nearest it (pure).
QList<int> levelsAround(const QList<Level> &tried, double bytes);
// A size read at bytes from its levels (pure): the score between the scored
// two, in proportion to the log of the bytes; its sample's bytes are those,
// or its fewest where it cannot come down to them.
Candidate atBytes(double percent, const QList<Level> &tried, double bytes);
// The candidate's number and its SSIM in dB from one line of the scoring
// run ("[Parsed_ssim_3 @ 0x..] SSIM Y:... All:0.951 (13.098)").
std::optional<std::pair<int, double>> ssimLine(QByteArrayView line);

// The choice among measured candidates, for plan (pure).
Choice choose(const RowPlan &plan, const QList<Candidate> &candidates, double sampledSeconds);

// Measures and chooses, running the creator on the calling thread; the plan
// as it was (full size) when the measurement cannot be made or is cancelled.
Choice measure(const QString &creator, const RowPlan &plan, const QString &folder, const std::atomic<bool> &cancelled,
               std::atomic<qint64> &processId);

}
