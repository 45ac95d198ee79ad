#include "compress/PictureChoice.h"

#include "compress/Batch.h"
#include "compress/Fitting.h"
#include "compress/TranscoderRun.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/FileTree.h"
#include "util/TextFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace PictureChoice {

namespace {

// A sample over its rate by more than this does not fit at that size: the
// encoder is at its floor there.
constexpr double overItsRate = 1.3;
// Frames are only halved from this rate, and never below the floor.
constexpr double halvedFrom = 48;
constexpr double lowestFrameRate = 24;
// Short samples favour the smaller picture: the key frame that starts each is
// a larger share of a larger picture. The bias grows with the step down, by
// about 0.13 dB for each halving of the pixels (0.15 from 100 to 67 %, 0.26
// from 100 to 50 %). Where the picture has bits to spare, a smaller size must
// win by more than that; where it is starved, fewer pixels nearly always
// help and a tie goes down.
constexpr double biasPerHalving = 0.13;
constexpr double plentyBitsPerPixel = 0.01;

double sampleBias(double fromPercent, double toPercent)
{
    return biasPerHalving * 2 * std::log2(fromPercent / toPercent);
}

QString samplePath(const QString &folder, qsizetype k) { return folder + QStringLiteral("/sample-%1.mp4").arg(k); }
QString levelPath(const QString &folder, qsizetype k, int crf) { return folder + QStringLiteral("/sample-%1-crf%2.mp4").arg(k).arg(crf); }
QString statsPath(const QString &folder) { return folder + QStringLiteral("/sample-stats"); }
// One line per frame of the stretches, and per frame that changed: where a
// third of its 8x8 blocks or more differ from the last frame kept (mpdecimate
// with no single block's difference enough alone, so that a moving pointer
// over a slide or a screen leaves its frames repeated).
QString framesPath(const QString &folder) { return folder + QStringLiteral("/sample-frames"); }
QString changedPath(const QString &folder) { return folder + QStringLiteral("/sample-changed"); }

// One sample to encode: the size (its place in percents), and a CRF level or the row's rate.
struct Sample
{
    qsizetype size = 0;
    int crf = 0;
    QString path;
    QString stats; // x264's statistics, where wanted
};

// The source's stretches as inputs, each from its exact start: a seek to the
// key frame before it leaves nothing to encode where key frames are far apart.
QStringList stretchInputs(const RowPlan &plan, const QList<Stretch> &stretches)
{
    QStringList inputs;
    for (const Stretch &stretch : stretches)
        inputs << QStringLiteral("-ss") << secondsText(stretch.start)
               << QStringLiteral("-t") << secondsText(stretch.seconds) << QStringLiteral("-i") << plan.input;
    return inputs;
}

QString joined(const RowPlan &plan, const QList<Stretch> &stretches)
{
    QString join;
    for (qsizetype i = 0; i < stretches.size(); ++i)
        join += QStringLiteral("[%1:v]").arg(i);
    join += QStringLiteral("concat=n=%1:v=1:a=0").arg(stretches.size());
    if (!plan.sourceFilters.isEmpty())
        join += QLatin1Char(',') + plan.sourceFilters;
    return join;
}

QString split(qsizetype count, const QString &label)
{
    QString text = QStringLiteral(",split=%1").arg(count);
    for (qsizetype k = 0; k < count; ++k)
        text += QStringLiteral("[%1%2]").arg(label).arg(k);
    return text;
}

// Both sides of a score on one grid of display times.
QString grid(const RowPlan &plan)
{
    const double rate = plan.frameRate > 0 && plan.frameRate <= 120 ? plan.frameRate : 30;
    return QStringLiteral("fps=fps=%1:round=near,format=yuv420p").arg(TextFormat::decimalText(rate));
}

}

namespace {

QStringList encodeArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QList<Sample> &samples,
                            const QString &countedIn = QString())
{
    const bool counted = !countedIn.isEmpty();
    QStringList graph { joined(plan, stretches) + split(samples.size() + (counted ? 2 : 0), QStringLiteral("c")) };
    QStringList outputs, counts;
    if (counted) {
        // A checksum of a tiny grey picture per frame: the lines are counted, nothing else is kept.
        const QString tiny = QStringLiteral("scale=16:16,format=gray");
        graph << QStringLiteral("[c%1]%2[frames]").arg(samples.size()).arg(tiny)
              << QStringLiteral("[c%1]mpdecimate=hi=64*255,%2[changed]").arg(samples.size() + 1).arg(tiny);
        for (const auto &[label, path] : { std::pair(QStringLiteral("[frames]"), framesPath(countedIn)),
                                           std::pair(QStringLiteral("[changed]"), changedPath(countedIn)) })
            counts << QStringLiteral("-map") << label << QStringLiteral("-c:v") << QStringLiteral("rawvideo") << QStringLiteral("-fps_mode")
                   << QStringLiteral("passthrough") << QStringLiteral("-f") << QStringLiteral("framecrc") << QStringLiteral("-y") << path;
    }
    for (qsizetype k = 0; k < samples.size(); ++k) {
        const Sample &sample = samples.at(k);
        const QString size = plan.sizeFilter(percents.at(sample.size));
        graph << QStringLiteral("[c%1]%2[o%1]").arg(k).arg(size.isEmpty() ? QStringLiteral("null") : size);
        outputs << QStringLiteral("-map") << QStringLiteral("[o%1]").arg(k) << QStringLiteral("-c:v") << QStringLiteral("libx264")
                << QStringLiteral("-preset") << QStringLiteral("veryfast");
        if (sample.crf > 0)
            outputs << QStringLiteral("-crf") << QString::number(sample.crf);
        else
            outputs << QStringLiteral("-b:v") << TextFormat::decimalText(plan.videoKbps) + QLatin1Char('k');
        // The same bytes as without, and the statistics that tell still pictures.
        if (!sample.stats.isEmpty())
            outputs << QStringLiteral("-pass") << QStringLiteral("1") << QStringLiteral("-fastfirstpass") << QStringLiteral("0")
                    << QStringLiteral("-passlogfile") << sample.stats;
        outputs << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p") << QStringLiteral("-y") << sample.path;
    }
    return QStringList { QStringLiteral("-nostdin") } + stretchInputs(plan, stretches)
        + QStringList { QStringLiteral("-filter_complex"), graph.join(QLatin1Char(';')) } + outputs + counts;
}

}

QStringList sampleArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QString &folder)
{
    QList<Sample> samples;
    for (qsizetype k = 0; k < percents.size(); ++k)
        samples.append({ k, 0, samplePath(folder, k), k == 0 ? statsPath(folder) : QString() });
    return encodeArguments(plan, stretches, samples, folder);
}

bool mostlyRepeated(QByteArrayView frames, QByteArrayView changed)
{
    const auto count = [](QByteArrayView log) {
        qsizetype lines = 0;
        for (const QByteArray &line : log.toByteArray().split('\n'))
            lines += !line.trimmed().isEmpty() && !line.startsWith('#');
        return lines;
    };
    const qsizetype all = count(frames);
    // Unknown counts as repeated: then x264's skipped blocks decide alone.
    return all == 0 || double(count(changed)) <= (1 - repeatedShare) * double(all);
}

QStringList scoreArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QStringList &paths)
{
    QStringList inputs = stretchInputs(plan, stretches);
    for (const QString &path : paths)
        inputs << QStringLiteral("-i") << path;
    QStringList graph { joined(plan, stretches) + QStringLiteral(",setpts=PTS-STARTPTS,setsar=1,") + grid(plan)
                        + split(paths.size(), QStringLiteral("s")) };
    const qint64 width = plan.sourceWidth & ~1, height = plan.sourceHeight & ~1;
    for (qsizetype k = 0; k < paths.size(); ++k)
        graph << QStringLiteral("[%1:v]setpts=PTS-STARTPTS,scale=%2:%3:flags=bicubic,setsar=1,%4[d%5];[s%5]scale=%2:%3,setsar=1[r%5];"
                                "[d%5][r%5]ssim=shortest=1")
                     .arg(stretches.size() + k)
                     .arg(width)
                     .arg(height)
                     .arg(grid(plan))
                     .arg(k);
    return QStringList { QStringLiteral("-nostdin") } + inputs
        + QStringList { QStringLiteral("-filter_complex"), graph.join(QLatin1Char(';')), QStringLiteral("-f"),
                        QStringLiteral("null"), QStringLiteral("-") };
}

std::optional<std::pair<int, double>> ssimLine(QByteArrayView line)
{
    static const QRegularExpression form(QStringLiteral("Parsed_ssim_(\\d+) @ \\S+\\] SSIM .* All:\\S+ \\(([0-9.]+|inf)\\)"));
    const auto match = form.match(QString::fromLatin1(line));
    if (!match.hasMatch())
        return std::nullopt;
    const double db = match.captured(2) == QLatin1String("inf") ? 100.0 : match.captured(2).toDouble();
    return std::pair(match.captured(1).toInt(), db);
}

double smallestPercent(const RowPlan &plan)
{
    double smallest = percents.first();
    for (const double percent : percents)
        smallest = plan.withPicture(percent).pictureTooSmall() ? smallest : percent;
    return smallest;
}

Choice choose(const RowPlan &plan, const QList<Candidate> &candidates, double sampledSeconds)
{
    const auto keepsToRate = [&](const Candidate &c) {
        return sampledSeconds > 0 && double(c.bytes) * 8 / 1000 / sampledSeconds <= (c.atLevels ? 1.0 : overItsRate) * plan.videoKbps;
    };
    // From the largest picture down, a smaller one must beat the one kept.
    QList<const Candidate *> bySize;
    for (const Candidate &c : candidates)
        bySize.append(&c);
    std::stable_sort(bySize.begin(), bySize.end(), [](const Candidate *a, const Candidate *b) { return a->percent > b->percent; });
    const Candidate *best = nullptr;
    const auto tooSmall = [&](double percent) { return plan.withPicture(percent).pictureTooSmall(); };
    for (const Candidate *c : std::as_const(bySize)) {
        if (!c->ssimDb || !keepsToRate(*c) || tooSmall(c->percent))
            continue;
        const double margin = best && plan.withPicture(best->percent).bitsPerPixel() >= plentyBitsPerPixel
            ? sampleBias(best->percent, c->percent)
            : 0;
        if (!best || *c->ssimDb > *best->ssimDb + margin)
            best = c;
    }
    Choice choice { plan, candidates, {} };
    QStringList others;
    for (const Candidate &c : candidates)
        if (&c != best && c.ssimDb) // a higher score passed over must say why
            others << QStringLiteral("%1 %: %2%3")
                          .arg(c.percent)
                          .arg(*c.ssimDb, 0, 'f', 2)
                          .arg(tooSmall(c.percent) ? QStringLiteral(" too small for the format")
                                   : keepsToRate(c) ? QString()
                                                    : QStringLiteral(" over its rate"));
    if (best) {
        choice.plan = plan.withPicture(best->percent);
        choice.why = QStringLiteral("%1 % (SSIM %2 dB; %3)").arg(best->percent).arg(*best->ssimDb, 0, 'f', 2).arg(others.join(QStringLiteral(", ")));
        return choice;
    }
    if (candidates.isEmpty()) {
        choice.plan = plan.withPicture(100);
        choice.why = QStringLiteral("100 %: nothing could be measured");
        return choice;
    }
    // No size keeps to the rate: the smallest the format takes, and half the frames where there are many.
    const double smallest = smallestPercent(plan);
    const double fps = plan.frameRate >= halvedFrom ? std::max(lowestFrameRate, plan.frameRate / 2) : 0;
    choice.plan = plan.withPicture(smallest, fps);
    choice.why = QStringLiteral("%1 %%2: no size keeps to the rate").arg(smallest).arg(fps > 0 ? QStringLiteral(" at %1 fps").arg(fps) : QString());
    return choice;
}

Choice measure(const QString &creator, const RowPlan &plan, const QString &folder, const std::atomic<bool> &cancelled,
               std::atomic<qint64> &processId)
{
    // Samples are written and deleted there: never a folder that is not one.
    if (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())
        return choose(plan, {}, 0);
    QList<Stretch> parts = stretches(plan.duration);
    const auto sniffer = Tools::resourcePath(QString::fromLatin1(Tools::sniffer));
    if (sniffer && parts.first().start > 0) {
        const Tools::RunResult found = Tools::run(*sniffer, keyFrameArguments(plan.input, parts), Tools::Stream::pipe,
                                                  Tools::Stream::discard, &cancelled);
        parts = onKeyFrames(parts, keyFrameTimes(found.output), plan.duration);
    }
    double sampled = 0;
    for (const Stretch &part : parts)
        sampled += part.seconds;
    const auto ran = [&](const QStringList &arguments, const QString &watched, TranscoderRun::Watch watch) {
        Diagnostics::line(Batch::argumentListsText({ arguments }));
        const auto result = TranscoderRun::run(creator, arguments, watched, TranscoderRun::Output::discard, cancelled, processId, watch);
        const bool ok = result.end == TranscoderRun::End::exited && result.exitCode == 0;
        if (!ok && !cancelled.load())
            Diagnostics::line(QStringLiteral("The picture could not be measured: ") + result.messages);
        return ok;
    };
    // The scores of the samples at paths, in their order; none when the run failed.
    const auto scored = [&](const QStringList &paths) {
        QList<std::pair<int, double>> scores;
        TranscoderRun::Watch watch;
        watch.line = [&scores](QByteArrayView line) {
            if (const auto score = ssimLine(line))
                scores.append(*score);
        };
        QList<double> dbs;
        if (!ran(scoreArguments(plan, parts, paths), QString(), watch) || scores.size() != paths.size())
            return dbs;
        // Each ssim filter is named by its place in the graph: in that order, the samples'.
        std::sort(scores.begin(), scores.end());
        for (const auto &score : std::as_const(scores))
            dbs << score.second;
        return dbs;
    };
    // x264 names its statistics after the output stream: the full size's is the first.
    const QString statistics = statsPath(folder) + QStringLiteral("-0.log");
    QStringList made { statistics, statistics + QStringLiteral(".mbtree"), framesPath(folder), changedPath(folder) };
    const auto contents = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    // Still pictures: each size's levels, read at the row's bytes.
    const double bytes = plan.videoKbps * 1000 * sampled / 8;
    QList<QList<Level>> tried(percents.size());
    const auto encodeLevels = [&](const QList<std::pair<qsizetype, int>> &wanted) {
        QList<Sample> samples;
        for (const auto &[k, crf] : wanted) {
            samples.append({ k, crf, levelPath(folder, k, crf), {} });
            made << samples.last().path;
        }
        if (samples.isEmpty() || !ran(encodeArguments(plan, parts, samples), samples.first().path, {}))
            return samples.isEmpty();
        for (const Sample &sample : std::as_const(samples))
            tried[sample.size].append({ sample.crf, QFileInfo(sample.path).size(), std::nullopt });
        return true;
    };
    const auto atLevels = [&]() -> QList<Candidate> {
        QList<std::pair<qsizetype, int>> first, second, around;
        for (qsizetype k = 0; k < percents.size(); ++k)
            for (int crf : firstLevels)
                first.append({ k, crf });
        if (!encodeLevels(first))
            return {};
        for (qsizetype k = 0; k < percents.size(); ++k)
            if (const std::optional<int> crf = narrowingLevel(tried.at(k), bytes))
                second.append({ k, *crf });
        if (!encodeLevels(second))
            return {};
        QStringList paths;
        for (qsizetype k = 0; k < percents.size(); ++k)
            for (int crf : levelsAround(tried.at(k), bytes)) {
                around.append({ k, crf });
                paths << levelPath(folder, k, crf);
            }
        const QList<double> dbs = scored(paths);
        if (dbs.size() != paths.size())
            return {};
        for (qsizetype i = 0; i < around.size(); ++i)
            for (Level &level : tried[around.at(i).first])
                if (level.crf == around.at(i).second)
                    level.ssimDb = dbs.at(i);
        QList<Candidate> read;
        for (qsizetype k = 0; k < percents.size(); ++k)
            read.append(atBytes(percents.at(k), tried.at(k), bytes));
        return read;
    };

    QList<Candidate> candidates;
    bool still = false;
    QStringList paths;
    for (qsizetype k = 0; k < percents.size(); ++k)
        paths << samplePath(folder, k);
    made << paths;
    if (ran(sampleArguments(plan, parts, folder), paths.first(), {})) {
        // Starved camera content skips blocks too, but its frames change.
        still = Fitting::mostlyStill(contents(statistics)) && mostlyRepeated(contents(framesPath(folder)), contents(changedPath(folder)));
        if (still) {
            candidates = atLevels();
        } else if (const QList<double> dbs = scored(paths); dbs.size() == paths.size()) {
            for (qsizetype k = 0; k < percents.size(); ++k)
                candidates.append({ percents.at(k), QFileInfo(paths.at(k)).size(), dbs.at(k) });
        }
    }
    for (const QString &path : std::as_const(made))
        FileTree::removeFileInside(path, folder);
    Choice choice = choose(plan, candidates, sampled);
    if (still && !candidates.isEmpty())
        choice.why += QStringLiteral(", still pictures sampled at constant quality");
    return choice;
}

}
