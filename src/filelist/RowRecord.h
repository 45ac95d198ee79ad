#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

class FileProbe;

// The keys of a file row record: what the list holds for one file. Readers
// look values up by key and expect the kinds noted here.
namespace RowKeys {
inline const QString validMedia = QStringLiteral("validMedia");       // text "YES"
inline const QString filePath = QStringLiteral("filePath");           // text
inline const QString fileName = QStringLiteral("fileName");           // text
inline const QString tracksInfo = QStringLiteral("tracksInfo");       // list of maps
inline const QString coverArt = QStringLiteral("coverArt");           // the window's picture (QImage)
inline const QString fileSize = QStringLiteral("fileSize");           // qint64
inline const QString fileSizeHuman = QStringLiteral("fileSizeHuman"); // text
inline const QString resolution = QStringLiteral("resolution");       // text "1920x1080"
inline const QString duration = QStringLiteral("duration");           // double, seconds
inline const QString hasAudioTrack = QStringLiteral("hasAudioTrack"); // bool
inline const QString hasAudioTrackWhichHasMoreThanTwoChannels =
    QStringLiteral("hasAudioTrackWhichHasMoreThanTwoChannels");       // bool
inline const QString videoWidth = QStringLiteral("videoWidth");       // qint64
inline const QString videoHeight = QStringLiteral("videoHeight");     // qint64
// The video's colour and scan, as the probe tool names them (empty: not reported).
inline const QString videoTransfer = QStringLiteral("videoTransfer");     // text "arib-std-b67"
inline const QString videoPrimaries = QStringLiteral("videoPrimaries");   // text "bt2020"
inline const QString videoMatrix = QStringLiteral("videoMatrix");         // text "bt2020nc"
inline const QString videoFieldOrder = QStringLiteral("videoFieldOrder"); // text "tt"
inline const QString videoFrameRate = QStringLiteral("videoFrameRate");     // double, frames a second; 0 unknown
inline const QString videoBaseFrameRate = QStringLiteral("videoBaseFrameRate"); // double, the timestamps' rate
inline const QString videoVariableFrameRate = QStringLiteral("videoVariableFrameRate"); // bool
inline const QString audioTrackCount = QStringLiteral("audioTrackCount");       // int
inline const QString subtitleTrackCount = QStringLiteral("subtitleTrackCount"); // int
}

namespace RowRecord {

// The record for an accepted probe. The thumbnail is the window's business:
// it passes its picture in; the command line passes nothing.
QVariantMap make(const FileProbe &probe, const QVariant &coverArt = {});

}
