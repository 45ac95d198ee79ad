#include "filelist/Intake.h"

#include "probe/FileProbe.h"
#include "util/Diagnostics.h"
#include "util/FolderContents.h"
#include "util/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cmath>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace Intake {

namespace {

QString systemReason(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: // a folder on the way is a file
        return QCoreApplication::translate("Intake", "no such file");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("Intake", "permission denied");
    default:
        return QString::fromStdString(std::generic_category().message(error)).toLower(); // strerror_r: safe on the workers
    }
}

// What the file system says against path, before anything the probe found:
// the tool reports a missing or unreadable file as media it cannot read.
std::optional<QString> fileSystemRefusal(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(name.constData(), &status) != 0) {
        const int error = errno;
        if (error == ENOENT && ::lstat(name.constData(), &status) == 0)
            return QCoreApplication::translate("Intake", "the link leads to no file");
        return systemReason(error);
    }
    // Named folders bring their files; one that reaches intake brought none.
    if (S_ISDIR(status.st_mode)) {
        if (::access(name.constData(), R_OK | X_OK) != 0)
            return systemReason(errno);
        if (FolderContents::regularFiles(path).isEmpty())
            return QCoreApplication::translate("Intake", "the folder holds no files (hidden ones are left out)");
        return QCoreApplication::translate("Intake", "it is a folder");
    }
    if (::access(name.constData(), R_OK) != 0)
        return systemReason(errno);
    return std::nullopt;
}

}

std::optional<QString> refusalReason(const FileProbe &probe, const QString &path)
{
    // Bytes that are not UTF-8 in a name read as U+FFFD here, which no file
    // on disk is then called.
    if (path.contains(QChar::ReplacementCharacter) && !QFileInfo::exists(path))
        return QCoreApplication::translate("Intake", "the name is not valid UTF-8");
    if (auto refusal = fileSystemRefusal(path))
        return refusal;
    if (Paths::lastExtension(path).toLower() == QLatin1String("vob"))
        return QCoreApplication::translate("Intake", "VOB files are not supported");
    if (probe.toolProblem)
        return probe.toolProblem;
    if (probe.hasErrors)
        return QCoreApplication::translate("Intake", "the file could not be opened or read as media");
    if (!probe.isValidMediaFile) {
        if (probe.numberOfStreams > 0)
            return QCoreApplication::translate("Intake", "files named .txt are not taken as video");
        return QCoreApplication::translate("Intake", "not a media file");
    }
    if (probe.isEncrypted)
        return QCoreApplication::translate("Intake", "its video is encrypted");
    if (!probe.hasVideoTrack)
        return QCoreApplication::translate("Intake", "it has no video track");
    if (probe.isStillPicture)
        return QCoreApplication::translate("Intake", "it is a still picture, not a video");
    if (!probe.videoWidth || *probe.videoWidth == 0)
        return QCoreApplication::translate("Intake", "its video has no width");
    // Without a height there is nothing to scale, and without a positive
    // duration there is no bitrate that reaches a size.
    if (!probe.videoHeight || *probe.videoHeight == 0)
        return QCoreApplication::translate("Intake", "its video has no height");
    if (!std::isfinite(probe.duration) || probe.duration <= 0)
        return QCoreApplication::translate("Intake", "its duration is unknown or zero");
    return std::nullopt;
}

Examined examine(const QString &path, const std::atomic<bool> *stop)
{
    Examined file { path, FileProbe(path, stop), std::nullopt };
    file.refusal = refusalReason(file.probe, path);
    // Rates that differ are only a hint: the packets' times tell.
    const double average = file.probe.videoFrameRate, base = file.probe.videoBaseFrameRate;
    if (!file.refusal && average > 0 && base > 0 && std::fabs(base - average) > 0.005 * base)
        file.probe.hasVariableFrameRate = FileProbe::readsAsVariableFrameRate(path, stop);
    return file;
}

Refusal refusalOf(const Examined &file) { return { file.path, Paths::lastComponent(file.path), file.refusal.value_or(QString()) }; }

QStringList refusedNames(const QList<Refusal> &refused)
{
    QStringList names;
    for (const Refusal &refusal : refused)
        names.append(refusal.name);
    return names;
}

QString refusalDetails(const QList<Refusal> &refused)
{
    QStringList lines;
    for (const Refusal &refusal : refused)
        lines.append(refusal.name + QStringLiteral(": ") + refusal.reason);
    return lines.join(QLatin1Char('\n'));
}

}
