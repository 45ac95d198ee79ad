#include "compress/PictureChoice.h"

#include "compress/Batch.h"
#include "compress/TranscoderRun.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/FileTree.h"
#include "util/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace PictureChoice {

namespace {

constexpr double stretchSeconds = 2;
constexpr double secondsPerStretch = 20;
constexpr int mostStretches = 3;
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

QString secondsText(double seconds) { return QString::number(seconds, 'f', 3); }

QString samplePath(const QString &folder, qsizetype k) { return folder + QStringLiteral("/sample-%1.mp4").arg(k); }

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

QList<Stretch> stretches(double duration)
{
    const int count = std::clamp(int(std::lround(duration / secondsPerStretch)), 1, mostStretches);
    if (duration <= count * stretchSeconds * 2)
        return { { 0, duration } };
    QList<Stretch> parts;
    for (int i = 0; i < count; ++i)
        parts.append({ std::max(0.0, duration * (i + 0.5) / count - stretchSeconds / 2), stretchSeconds });
    return parts;
}

QList<Stretch> onKeyFrames(const QList<Stretch> &stretches, const QList<double> &keyFrames, double duration)
{
    constexpr double slack = 1e-3;
    QList<Stretch> moved;
    double clearFrom = 0;
    for (Stretch stretch : stretches) {
        std::optional<double> nearest;
        for (double k : keyFrames) {
            const double away = std::abs(k - stretch.start);
            if (away <= stretch.seconds / 2 + slack && k >= clearFrom - slack && k + stretch.seconds <= duration + slack
                && (!nearest || away < std::abs(*nearest - stretch.start)))
                nearest = k;
        }
        if (nearest)
            stretch.start = std::max(0.0, *nearest);
        moved.append(stretch);
        clearFrom = stretch.start + stretch.seconds;
    }
    return moved;
}

QStringList keyFrameArguments(const QString &input, const QList<Stretch> &stretches)
{
    QStringList intervals;
    for (const Stretch &stretch : stretches)
        // Packets come in decoding order: read on past the last key frame wanted.
        intervals << secondsText(std::max(0.0, stretch.start - stretch.seconds / 2)) + QLatin1Char('%')
                + secondsText(stretch.start + stretch.seconds);
    return { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("v:0"),
             QStringLiteral("-read_intervals"), intervals.join(QLatin1Char(',')), QStringLiteral("-show_entries"),
             QStringLiteral("packet=pts_time,flags"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), input };
}

QList<double> keyFrameTimes(QByteArrayView output)
{
    QList<double> times;
    for (const QByteArray &line : output.toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(',');
        bool ok = false;
        const double time = fields.value(0).toDouble(&ok);
        if (ok && fields.value(1).startsWith('K'))
            times.append(time);
    }
    return times;
}

QStringList sampleArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QString &folder)
{
    QStringList graph { joined(plan, stretches) + split(percents.size(), QStringLiteral("c")) };
    QStringList outputs;
    for (qsizetype k = 0; k < percents.size(); ++k) {
        const QString size = plan.sizeFilter(percents.at(k));
        graph << QStringLiteral("[c%1]%2[o%1]").arg(k).arg(size.isEmpty() ? QStringLiteral("null") : size);
        outputs << QStringLiteral("-map") << QStringLiteral("[o%1]").arg(k) << QStringLiteral("-c:v") << QStringLiteral("libx264")
                << QStringLiteral("-preset") << QStringLiteral("veryfast") << QStringLiteral("-b:v")
                << TextFormat::decimalText(plan.videoKbps) + QLatin1Char('k') << QStringLiteral("-pix_fmt")
                << QStringLiteral("yuv420p") << QStringLiteral("-y") << samplePath(folder, k);
    }
    return QStringList { QStringLiteral("-nostdin") } + stretchInputs(plan, stretches)
        + QStringList { QStringLiteral("-filter_complex"), graph.join(QLatin1Char(';')) } + outputs;
}

QStringList scoreArguments(const RowPlan &plan, const QList<Stretch> &stretches, const QString &folder)
{
    QStringList inputs = stretchInputs(plan, stretches);
    for (qsizetype k = 0; k < percents.size(); ++k)
        inputs << QStringLiteral("-i") << samplePath(folder, k);
    QStringList graph { joined(plan, stretches) + QStringLiteral(",setpts=PTS-STARTPTS,setsar=1,") + grid(plan)
                        + split(percents.size(), QStringLiteral("s")) };
    const qint64 width = plan.sourceWidth & ~1, height = plan.sourceHeight & ~1;
    for (qsizetype k = 0; k < percents.size(); ++k)
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

Choice choose(const RowPlan &plan, const QList<Candidate> &candidates, double sampledSeconds)
{
    const auto keepsToRate = [&](const Candidate &c) {
        return sampledSeconds > 0 && double(c.bytes) * 8 / 1000 / sampledSeconds <= overItsRate * plan.videoKbps;
    };
    // From the largest picture down, a smaller one must beat the one kept.
    QList<const Candidate *> bySize;
    for (const Candidate &c : candidates)
        bySize.append(&c);
    std::stable_sort(bySize.begin(), bySize.end(), [](const Candidate *a, const Candidate *b) { return a->percent > b->percent; });
    const Candidate *best = nullptr;
    for (const Candidate *c : std::as_const(bySize)) {
        if (!c->ssimDb || !keepsToRate(*c))
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
            others << QStringLiteral("%1 %: %2%3").arg(c.percent).arg(*c.ssimDb, 0, 'f', 2).arg(keepsToRate(c) ? QString() : QStringLiteral(" over its rate"));
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
    // No size keeps to the rate: the smallest, and half the frames where there are many.
    const double fps = plan.frameRate >= halvedFrom ? std::max(lowestFrameRate, plan.frameRate / 2) : 0;
    choice.plan = plan.withPicture(percents.last(), fps);
    choice.why = QStringLiteral("%1 %%2: no size keeps to the rate").arg(percents.last()).arg(fps > 0 ? QStringLiteral(" at %1 fps").arg(fps) : QString());
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
    QList<Candidate> candidates;
    if (ran(sampleArguments(plan, parts, folder), samplePath(folder, 0), {})) {
        QList<std::pair<int, double>> scores;
        TranscoderRun::Watch watch;
        watch.line = [&scores](QByteArrayView line) {
            if (const auto score = ssimLine(line))
                scores.append(*score);
        };
        if (ran(scoreArguments(plan, parts, folder), QString(), watch) && scores.size() == percents.size()) {
            // Each ssim filter is named by its place in the graph: in that order, the candidates'.
            std::sort(scores.begin(), scores.end());
            for (qsizetype k = 0; k < percents.size(); ++k)
                candidates.append({ percents.at(k), QFileInfo(samplePath(folder, k)).size(), scores.at(k).second });
        }
    }
    for (qsizetype k = 0; k < percents.size(); ++k)
        FileTree::removeFileInside(samplePath(folder, k), folder);
    return choose(plan, candidates, sampled);
}

}
