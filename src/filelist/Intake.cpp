#include "filelist/Intake.h"

#include "probe/FileProbe.h"
#include "util/Diagnostics.h"
#include "util/Paths.h"

#include <QFileInfo>

#include <cmath>

namespace Intake {

std::optional<QString> refusalReason(const FileProbe &probe, const QString &path)
{
    // Bytes that are not UTF-8 in a name read as U+FFFD here, which no file
    // on disk is then called.
    if (path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path))
        return QStringLiteral("the name is not valid UTF-8");
    if (Paths::lastExtension(path).toLower() == QLatin1String("vob"))
        return QStringLiteral("VOB files are not supported");
    if (probe.toolProblem)
        return probe.toolProblem;
    if (probe.hasErrors)
        return QStringLiteral("the file could not be opened or read as media");
    if (!probe.isValidMediaFile) {
        if (probe.numberOfStreams > 0)
            return QStringLiteral("files named .txt are not taken as video");
        return QStringLiteral("not a media file");
    }
    if (probe.isEncrypted)
        return QStringLiteral("its video is encrypted");
    if (!probe.hasVideoTrack)
        return QStringLiteral("it has no video track");
    if (probe.isStillPicture)
        return QStringLiteral("it is a still picture, not a video");
    if (!probe.videoWidth || *probe.videoWidth == 0)
        return QStringLiteral("its video has no width");
    // Without a height there is nothing to scale, and without a positive
    // duration there is no bitrate that reaches a size.
    if (!probe.videoHeight || *probe.videoHeight == 0)
        return QStringLiteral("its video has no height");
    if (!std::isfinite(probe.duration) || probe.duration <= 0)
        return QStringLiteral("its duration is unknown or zero");
    return std::nullopt;
}

Result analyze(const QStringList &paths, const Pass &pass)
{
    struct Examined
    {
        FileProbe probe;
        std::optional<QString> refusal;
        QVariant prepared;
    };
    const auto examine = [&paths, &pass](qsizetype i, const OrderedWorkers::Worker &worker) {
        const QString &path = paths.at(i);
        Examined examined { FileProbe(path, &worker.stop), std::nullopt, {} };
        examined.refusal = refusalReason(examined.probe, path);
        if (!examined.refusal && pass.prepare && !worker.stop.load())
            examined.prepared = pass.prepare(examined.probe, worker);
        return examined;
    };

    Result result;
    const qsizetype n = paths.size();
    result.stopped = !mapInOrder(n, pass.jobs, examine, [&](qsizetype i, Examined &&examined) {
        const QString &path = paths.at(i);
        if (examined.refusal) {
            result.refused.append({ path, Paths::lastComponent(path), *examined.refusal });
            return;
        }
        if (pass.accepted)
            pass.accepted(examined.probe, examined.prepared);
        if (pass.progress)
            pass.progress(double(i + 1) / double(n) * 100);
    });
    if (!result.refused.isEmpty())
        Diagnostics::line(QStringLiteral("nonWorkableFiles : ") + refusedNames(result.refused).join(QStringLiteral(", ")));
    return result;
}

QStringList refusedNames(const QList<Refusal> &refused)
{
    QStringList names;
    for (const Refusal &refusal : refused)
        names.append(refusal.name);
    return names;
}

}
