#include "filelist/RowRecord.h"

#include "probe/FileProbe.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/Resources.h"
#include "util/TextFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

QVariantMap makeRowRecord(const FileProbe &probe, const QImage &coverArt)
{
    const qint64 width = probe.videoWidth.value_or(0);
    const qint64 height = probe.videoHeight.value_or(0);
    QVariantList tracks;
    for (const QVariantMap &track : probe.tracksInfo)
        tracks.append(track);

    return {
        { RowKeys::validMedia, QStringLiteral("YES") },
        { RowKeys::filePath, probe.fileFullPath.value_or(QString()) },
        { RowKeys::fileName, probe.fileFullURL ? probe.fileFullURL->fileName() : QString() },
        { RowKeys::tracksInfo, tracks },
        { RowKeys::coverArt, coverArt },
        { RowKeys::fileSize, qint64(probe.fileSize.value_or(0)) },
        { RowKeys::fileSizeHuman, probe.fileSizeHuman.value_or(QString()) },
        { RowKeys::resolution, QString::number(width) + QLatin1Char('x') + QString::number(height) },
        { RowKeys::duration, probe.duration },
        { RowKeys::hasAudioTrack, probe.hasAudioTrack },
        { RowKeys::hasAudioTrackWhichHasMoreThanTwoChannels, probe.hasAudioTrackWhichHasMoreThanTwoChannels },
        { RowKeys::videoWidth, width },
        { RowKeys::videoHeight, height },
    };
}

QImage placeholderImage()
{
    initVeltraneResources();
    return QImage(QStringLiteral(":/images/video"));
}

QStringList thumbnailArguments(double duration, const QString &input, const QString &output)
{
    return { QStringLiteral("-v"),
             QStringLiteral("quiet"),
             QStringLiteral("-ss"),
             TextFormat::decimalText(duration * 0.5),
             QStringLiteral("-i"),
             input,
             QStringLiteral("-vf"),
             QStringLiteral("scale=") + QString::number(-1) + QLatin1Char(':') + QString::number(200)
                 + QStringLiteral(",setsar=1:1"),
             QStringLiteral("-frames:v"),
             QStringLiteral("1"),
             QStringLiteral("-y"),
             output };
}

QString thumbnailWorkingPath()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/veltrane-XXXXXX"));
    if (!folder.isValid())
        return {};
    return folder.filePath(QStringLiteral("snapShot.jpg"));
}

QImage makeThumbnail(const FileProbe &probe)
{
    const QString output = thumbnailWorkingPath();
    const auto tool = Tools::resourcePath(QString::fromLatin1(Tools::creator));
    if (output.isEmpty() || !tool)
        return placeholderImage();

    // A run that writes nothing must not show the previous file's picture.
    QFile::remove(output);
    const Tools::RunResult run = Tools::run(*tool, thumbnailArguments(probe.duration, probe.fileFullPath.value_or(QString()), output),
                                            Tools::Stream::inherit, Tools::Stream::inherit);
    if (run.timedOut)
        Diagnostics::line(QStringLiteral("The thumbnail run took too long and was stopped: ")
                          + probe.fileFullPath.value_or(QString()));
    QImage picture(output);
    QFile::remove(output);
    return picture.isNull() ? placeholderImage() : picture;
}
