#include "filelist/RowRecord.h"

#include "probe/FileProbe.h"

namespace RowRecord {

QVariantMap make(const FileProbe &probe, const QVariant &coverArt)
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
        { RowKeys::videoTransfer, probe.videoTransfer },
        { RowKeys::videoPrimaries, probe.videoPrimaries },
        { RowKeys::videoMatrix, probe.videoMatrix },
        { RowKeys::videoFieldOrder, probe.videoFieldOrder },
        { RowKeys::videoFrameRate, probe.videoFrameRate },
        { RowKeys::videoBaseFrameRate, probe.videoBaseFrameRate },
        { RowKeys::videoVariableFrameRate, probe.hasVariableFrameRate },
        { RowKeys::audioTrackCount, probe.audioTrackCount },
        { RowKeys::subtitleTrackCount, probe.subtitleTrackCount },
    };
}

}
