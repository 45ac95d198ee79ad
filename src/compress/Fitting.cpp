#include "compress/Fitting.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace Fitting {

namespace {

// A correction aims a little under the target (docs/QUALITY-RESEARCH.md):
// x264's and x265's second passes spend about 98.5 % of what they are asked
// on camera content; SVT-AV1's one pass wanders, so its correction aims lower.
constexpr double aim = 0.98;
constexpr double secondPassAccuracy = 0.985;
// A one-pass run over its rate foretells much of a second pass's overshoot
// at that rate, not all of it: on 6–30 s clips (docs/BENCHMARKS.md) a
// first run at 1.04–1.15 of its rate was followed by second passes at
// 1.02–1.12, about its overshoot to this power. One far over says nothing:
// 3 s runs at 1.5 were followed by second passes at 0.91.
constexpr double firstRunForetells = 0.7;
constexpr double mostForetelling = 1.2;
constexpr double av1Aim = 0.95;
constexpr double starvedSlope = 1 / 0.7;
constexpr double wellFedSlope = 1.1;
constexpr double wellFedBitsPerPixel = 0.02;
constexpr double av1TrustedSpread = 1.5;
constexpr double stillsSlope = 2.5;
// One under this share of its target is content with no use for more (a
// still, a slide): it stays, where the encoder spends what it is asked.
constexpr double worthRaising = 0.5;
bool farUnder(const Measured &m, qint64 target) { return double(m.size) < worthRaising * double(target); }
// SVT-AV1's CRF levels over still pictures: each step down buys 6 to 15 % more
// bytes (the slide show from 20 to 60), 11 to 15 % where such rows land (29
// to 36). The first level follows the bits per pixel, a level for each 11 %
// of them: the 1080p slide show landed at 31 with 0.0069, at 50 with 0.0008.
constexpr int crfStart = 31;
constexpr double crfStartBitsPerPixel = 0.0069;
constexpr double crfStartStep = 0.11;
constexpr int crfLeast = 1;
constexpr int crfMost = 63;
constexpr double crfStep = 0.12;
int firstCrf(const RowPlan &plan)
{
    const double bpp = plan.bitsPerPixel();
    if (bpp <= 0)
        return crfStart;
    return std::clamp(int(std::lround(crfStart - std::log(bpp / crfStartBitsPerPixel) / crfStartStep)), 20, 55);
}
// A first run is stopped once its output is over the target already, or once
// a fair share of the file is done and its output is plainly heading there.
// Past the point where a first pass anew would cost more than the rest of
// this run, it is let finish, and its statistics serve the second pass. x264
// spends more of a clip's first seconds than of the rest: 6 s runs heading
// for twice their target at a quarter ended at 1.15, and a 30 s run heading
// 7 % over at a quarter ended at 0.999. So a projection is only trusted on
// clips long enough to even that out, with a margin that narrows as the run
// goes on.
constexpr double earlyShare = 0.25;
constexpr double lateShare = 0.6;
constexpr double earlyMargin = 0.05; // over the target, at the whole clip: 20 % at a quarter
constexpr double projectedFrom = 30; // seconds of clip
constexpr qint64 earlyLeastBytes = 64 * 1024;
constexpr double stillShare = 0.75;

// How SVT-AV1's bytes follow its rate (bytes ∝ rate^slope), from the two runs
// farthest apart in rate. On a 5 s clip its size wanders by up to a tenth
// between runs at the same rate or at rates a tenth apart (the dune at 1000
// kb/s: 464 to 534 kB), so a slope between near rates is mostly that noise:
// it counts in proportion to how far apart they are, what is expected for
// the rest. Camera content with 0.03 bits per pixel or more measured 0.79 to
// 1.17 on 5 to 40 s clips, starved (0.007) 1.1 to 1.7, and the line is drawn
// between; a raise damped as for the starved left a 40 s clip at 4.6 Mb/s
// under twice. Still pictures 2.5, and a first run far under its target is
// of those (see landed()).
double av1Slope(const RowPlan &plan, const QList<Measured> &encodes)
{
    const bool stills = !encodes.isEmpty() && farUnder(encodes.first(), plan.targetBytes);
    const double expected = stills ? stillsSlope : plan.bitsPerPixel() >= wellFedBitsPerPixel ? wellFedSlope : starvedSlope;
    const Measured *low = nullptr, *high = nullptr;
    for (const Measured &m : encodes) {
        if (m.kbps <= 0 || m.videoBytes <= 0 || m.crf > 0)
            continue;
        if (!low || m.kbps < low->kbps)
            low = &m;
        if (!high || m.kbps > high->kbps)
            high = &m;
    }
    if (!low || high->kbps <= low->kbps)
        return expected;
    const double spread = std::log(high->kbps / low->kbps);
    const double slope = std::log(double(high->videoBytes) / double(low->videoBytes)) / spread;
    const double trust = std::min(1.0, spread / std::log(av1TrustedSpread));
    return std::clamp(trust * slope + (1 - trust) * expected, 0.7, stillsSlope);
}

// Rates already tried bound the next: one that fitted from below, one that
// came out over from above, each from an encode of the kind that comes next
// (a second pass after second passes; a first run over says little of a
// second pass at its rate: 3 s runs 1.47 over were followed by second passes
// under at it). Near its floor an encoder's size moves in steps, and a
// correction from the last encode alone can jump past both; there the next
// rate goes between them.
double bracketed(double kbps, const RowPlan &plan, const QList<Measured> &encodes)
{
    double fitted = 0, over = std::numeric_limits<double>::infinity();
    for (const Measured &m : encodes) {
        if (m.kbps <= 0 || m.crf > 0 || (plan.hasSecondPass() && !m.secondPass))
            continue;
        if (m.size <= plan.targetBytes)
            fitted = std::max(fitted, m.kbps);
        else
            over = std::min(over, m.kbps);
    }
    if (fitted > 0 && over > fitted && std::isfinite(over) && (kbps <= fitted || kbps >= over))
        return std::sqrt(fitted * over);
    return kbps;
}

// The last encode asked half as much again as the one before, or two thirds
// as much or less, and its output came within a tenth of that one's: the
// content, or the encoder's floor, leaves nothing to buy by the rate.
bool rateMovedNothing(const QList<Measured> &encodes)
{
    if (encodes.size() < 2)
        return false;
    const Measured &before = encodes.at(encodes.size() - 2), &last = encodes.last();
    if (before.kbps <= 0 || before.size <= 0)
        return false;
    const double rates = last.kbps / before.kbps, sizes = double(last.size) / double(before.size);
    return (rates >= 1.5 || rates <= 1 / 1.5) && sizes > 1 / 1.1 && sizes < 1.1;
}

// SVT-AV1's rate control does not follow its rate over still pictures: a
// first run that spent under half the video its rate asks (the slide show
// 0.23 to 0.3; camera content 0.7 and more), or a raise of a fifth or more
// from an output that fitted that bought under 5 % more (the slide show at
// 4 %: 42, 53 and 87 kb/s all gave 32 kB, where CRF 50 gives 38.6 kB and 0.5
// dB more; starved camera content buys about 30 % there, give or take a
// tenth).
bool fitsByCrf(const RowPlan &plan, const QList<Measured> &encodes)
{
    if (plan.codec != Codec::av1 || plan.alreadyFits || encodes.isEmpty() || plan.duration <= 0)
        return false;
    const Measured &first = encodes.first();
    if (first.crf > 0 || first.kbps <= 0)
        return false;
    if (double(first.videoBytes) < worthRaising * first.kbps * 1000 * plan.duration / 8)
        return true;
    for (qsizetype i = 1; i < encodes.size(); ++i) {
        const Measured &before = encodes.at(i - 1), &raised = encodes.at(i);
        if (before.crf == 0 && raised.crf == 0 && before.size <= plan.targetBytes && raised.kbps >= 1.2 * before.kbps
            && double(raised.size) < 1.05 * double(before.size))
            return true;
    }
    return false;
}

}

QString overBy(double size, double target) { return QString::number((size / target - 1) * 100, 'f', 1) + QStringLiteral(" %"); }

std::optional<double> correctedKbps(const RowPlan &plan, const QList<Measured> &encodes)
{
    if (encodes.isEmpty() || plan.duration <= 0)
        return std::nullopt;
    const Measured &last = encodes.last();
    const double target = double(plan.targetBytes), d = plan.duration;
    // Audio and container come back to the byte in every encode of the row:
    // only the video follows the rate.
    const qint64 video = last.videoBytes > 0 ? last.videoBytes : qint64(last.kbps * 1000 * d / 8);
    const double fixed = double(last.size - video);
    if (plan.codec == Codec::av1) {
        // SVT-AV1 has no floor it refuses below: a run asked far less that
        // came out as large says that it is there (the screen recording at 4 %:
        // 76.9 kB at 21 and at 5.4 kb/s).
        const double need = av1Aim * target - fixed;
        if (need <= 0 || video <= 0 || (double(last.size) > target && rateMovedNothing(encodes)))
            return std::nullopt;
        return bracketed(last.kbps * std::pow(need / double(video), 1 / av1Slope(plan, encodes)), plan, encodes);
    }
    const double need = aim * target - fixed;
    if (need <= 0)
        return std::nullopt;
    // A second pass's own accuracy, once there is one; before, the usual, or
    // what a first run over its rate foretells. (One under it is no guide:
    // a second pass spends where a one-pass run could not.)
    const double measured = last.kbps > 0 ? double(video) / (last.kbps * 1000 * d / 8) : 0;
    const double accuracy = last.secondPass && measured > 0 ? measured
        : measured > mostForetelling                        ? secondPassAccuracy
                                                            : std::max(secondPassAccuracy, std::pow(measured, firstRunForetells));
    return bracketed(need * 8 / (accuracy * d) / 1000, plan, encodes);
}

std::optional<int> nextCrf(const RowPlan &plan, const QList<Measured> &encodes)
{
    if (!fitsByCrf(plan, encodes))
        return std::nullopt;
    QList<const Measured *> tried;
    for (const Measured &m : encodes)
        if (m.crf > 0 && m.videoBytes > 0)
            tried.append(&m);
    if (tried.isEmpty())
        return firstCrf(plan);
    const double need = av1Aim * double(plan.targetBytes) - double(tried.last()->size - tried.last()->videoBytes);
    if (need <= 0)
        return std::nullopt;
    // Levels that fitted bound the next from above, levels over from below;
    // the slope is the two levels farthest apart's, and the step taken from
    // the level whose video came nearest to what is needed.
    int fits = crfMost + 1, over = crfLeast - 1;
    const Measured *lowest = tried.first(), *highest = tried.first(), *nearest = tried.first();
    const auto away = [need](const Measured *m) { return std::abs(std::log(double(m->videoBytes) / need)); };
    for (const Measured *m : std::as_const(tried)) {
        if (m->size <= plan.targetBytes)
            fits = std::min(fits, m->crf);
        else
            over = std::max(over, m->crf);
        lowest = m->crf < lowest->crf ? m : lowest;
        highest = m->crf > highest->crf ? m : highest;
        nearest = away(m) < away(nearest) ? m : nearest;
    }
    // Six levels down that bought under a tenth more: the pictures have no use for more.
    if (highest->crf - lowest->crf >= 6 && double(lowest->videoBytes) < 1.1 * double(highest->videoBytes))
        return std::nullopt;
    const double step = highest->crf > lowest->crf
        ? std::clamp(std::log(double(lowest->videoBytes) / double(highest->videoBytes)) / (highest->crf - lowest->crf), 0.03, 0.3)
        : crfStep;
    if (over + 1 > fits - 1)
        return std::nullopt;
    const int crf = std::clamp(int(std::lround(nearest->crf - std::log(need / double(nearest->videoBytes)) / step)), over + 1, fits - 1);
    if (crf < crfLeast || crf > crfMost || std::any_of(tried.cbegin(), tried.cend(), [crf](const Measured *m) { return m->crf == crf; }))
        return std::nullopt;
    return crf;
}

double afterEarlyStopKbps(const RowPlan &plan, double projected)
{
    // What a one-pass run writes in its first part says little about what two
    // passes spend: x264 and x265 front-load a short clip's bits (a 6 s clip
    // heading for twice its target ended at 1.14 of it, and two passes at the
    // planned rate at 1.13). Two passes at the planned rate, then, and the
    // corrections measure from there. SVT-AV1 has one pass only: the run it
    // was is what its next one will be like.
    if (plan.hasSecondPass())
        return plan.videoKbps * aim / secondPassAccuracy;
    return plan.videoKbps * std::min(1.0, av1Aim * double(plan.targetBytes) / std::max(projected, 1.0));
}

std::optional<QString> stopEarly(qint64 written, double reached, double target, double duration)
{
    if (reached <= 0 || reached >= lateShare)
        return std::nullopt;
    if (double(written) > target)
        return QStringLiteral("over target before it was done: two passes");
    const double projected = double(written) / reached;
    if (duration >= projectedFrom && reached >= earlyShare && written >= earlyLeastBytes && projected > (1 + earlyMargin / reached) * target)
        return QStringLiteral("heading over target by %1: two passes").arg(overBy(projected, target));
    return std::nullopt;
}

qsizetype kept(const QList<Measured> &encodes, qint64 target)
{
    const auto rank = [target](const Measured &m) {
        const bool fits = m.size <= target;
        return std::tuple(fits, fits && !m.mostlyStill, fits ? m.size : -m.size);
    };
    qsizetype best = -1;
    for (qsizetype i = 0; i < encodes.size(); ++i)
        if (best < 0 || rank(encodes.at(i)) > rank(encodes.at(best)))
            best = i;
    return best;
}

bool mostlyStill(QByteArrayView x264Statistics)
{
    // One line per frame: "in:4 out:1 type:P ... imb:22 pmb:117 smb:1901 ...".
    static const QRegularExpression blocks(QStringLiteral(" type:([PpBb]) .* imb:(\\d+) pmb:(\\d+) smb:(\\d+)"));
    double all = 0, skipped = 0;
    for (const QByteArray &line : x264Statistics.toByteArray().split('\n')) {
        const QRegularExpressionMatch match = blocks.match(QString::fromLatin1(line));
        if (!match.hasMatch())
            continue;
        skipped += match.captured(4).toDouble();
        all += match.captured(2).toDouble() + match.captured(3).toDouble() + match.captured(4).toDouble();
    }
    return all > 0 && skipped >= stillShare * all;
}

bool landed(const RowPlan &plan, const QList<Measured> &encodes, int raises)
{
    const qint64 target = plan.targetBytes;
    const qsizetype k = kept(encodes, target);
    if (k < 0 || encodes.at(k).size > target)
        return false;
    const Measured *best = &encodes.at(k);
    // A file already under the target is not grown to it; a run of still
    // pictures gets its second pass; a draft is raised once, and kept if the
    // raise comes out over.
    if (plan.alreadyFits)
        return true;
    if (best->mostlyStill)
        return false;
    const double enough = best->draft && raises == 0 ? draftFullEnough : fullEnough;
    if (double(best->size) >= enough * double(target))
        return true;
    // AV1 over still pictures tries CRF levels until none is left between.
    if (fitsByCrf(plan, encodes))
        return !nextCrf(plan, encodes);
    // Far under is content with no use for more bits where the encoder spends
    // what it is asked. SVT-AV1's one pass does not: on the slide show it
    // spent a quarter of its rate, and twice the rate bought five times the
    // bytes and 1.2 dB. It is raised unless a raise bought next to nothing.
    if (farUnder(*best, target) && (plan.hasSecondPass() || rateMovedNothing(encodes)))
        return true;
    // Under: raised once, where the raise was a second pass at its measured
    // accuracy; a one-pass raise (AV1's) is a damped guess, and a second one,
    // from the slope of the two, lands. A raise that came out over is brought
    // back between the two.
    const Measured &last = encodes.last();
    return raises > 0 && last.size <= target && (last.secondPass || raises > 1);
}

}
