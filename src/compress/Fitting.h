#pragma once

#include "compress/RowPlan.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// How a row's encodes are brought onto its target: what the encodes so far
// measured decides whether the row is done, and the rate of the next one.
// Pure arithmetic, no files or tools, so that it can be tried on made-up
// measurements.
namespace Fitting {

// What one encode of the row gave.
struct Measured
{
    qint64 size = 0;       // the file
    qint64 videoBytes = 0; // its video
    double kbps = 0;       // the video rate it was asked
    bool secondPass = false;
    // A one-pass output its encoder's second pass beats at the same size
    // (x265's first run, by 0.1 to 0.4 dB at starved rates).
    bool draft = false;
    // A one-pass run over pictures that hardly change (slides, a screen, a
    // starved picture): its rate control spends the bits where the stills
    // cannot keep them, and x264's second pass beats it by 1 to 1.5 dB at
    // the same size. Kept only where no other output fits.
    bool mostlyStill = false;
    int crf = 0; // from 1: SVT-AV1 was asked this constant quality instead of a rate
};

// An output that fits under this share of its target left picture unbought.
inline constexpr double fullEnough = 0.93;
// A draft has to come nearer to be kept without a second pass.
inline constexpr double draftFullEnough = 0.97;

// "4.2 %": how far size is over target.
QString overBy(double size, double target);

// The video bitrate of the next correcting encode, from the encodes so far
// (the first one first); nothing when even no video would not fit.
std::optional<double> correctedKbps(const RowPlan &plan, const QList<Measured> &encodes);

// SVT-AV1's rate control underspends still pictures (its first run far
// under the target), and raised to the size it leaves their picture a dB
// behind its own constant quality (CRF): such a row is fitted by CRF. The
// level of its next encode, or nothing: not such a row, or no level left
// between one that fits and one that is over.
std::optional<int> nextCrf(const RowPlan &plan, const QList<Measured> &encodes);

// The rate of the encode after a first run stopped early, heading for
// projected bytes.
double afterEarlyStopKbps(const RowPlan &plan, double projected);

// Why a first run that has written `written` bytes at `reached` of a clip
// of `duration` seconds is stopped early, if it is: over the target
// already, or (on a clip of 30 s or more) plainly heading there; only
// before 60 % of it, after which finishing costs less than a first pass.
std::optional<QString> stopEarly(qint64 written, double reached, double target, double duration);

// The output a row keeps: the largest that fits, one of mostly still
// pictures only where nothing else fits; else the smallest (-1: none).
qsizetype kept(const QList<Measured> &encodes, qint64 target);

// Whether x264's statistics (its pass log) tell of mostly still pictures:
// three quarters of the blocks of its predicted frames skipped or more.
// Camera content skips 0.36 to 0.67 of them; slides and a screen 0.94 to
// 0.98, a 60 fps pan starved to 0.008 bits per pixel 0.82.
bool mostlyStill(QByteArrayView x264Statistics);

// Whether the row is as good as it gets: an output fits and spends enough of
// the target (a draft: nearly all of it); or it is under it by design
// (already under before, or content with no use for more bits); or it was
// raised (twice where the raises are one-pass encodes) and that raise fitted.
// raises: corrections made from an output that fitted.
bool landed(const RowPlan &plan, const QList<Measured> &encodes, int raises);

}
