#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class FileProbe;

// The keys of a file row record: what the list holds for one file. Readers
// look values up by key and expect the kinds noted here.
namespace RowKeys {
inline const QString validMedia = QStringLiteral("validMedia");       // text "YES"
inline const QString filePath = QStringLiteral("filePath");           // text
inline const QString fileName = QStringLiteral("fileName");           // text
inline const QString tracksInfo = QStringLiteral("tracksInfo");       // list of maps
inline const QString coverArt = QStringLiteral("coverArt");           // QImage
inline const QString fileSize = QStringLiteral("fileSize");           // qint64
inline const QString fileSizeHuman = QStringLiteral("fileSizeHuman"); // text
inline const QString resolution = QStringLiteral("resolution");       // text "1920x1080"
inline const QString duration = QStringLiteral("duration");           // double, seconds
inline const QString hasAudioTrack = QStringLiteral("hasAudioTrack"); // bool
inline const QString hasAudioTrackWhichHasMoreThanTwoChannels =
    QStringLiteral("hasAudioTrackWhichHasMoreThanTwoChannels");       // bool
inline const QString videoWidth = QStringLiteral("videoWidth");       // qint64
inline const QString videoHeight = QStringLiteral("videoHeight");     // qint64
}

// The record for an accepted probe, with the given picture as its thumbnail.
QVariantMap makeRowRecord(const FileProbe &probe, const QImage &coverArt);

// The picture rows get when no thumbnail could be made.
QImage placeholderImage();

// The twelve arguments of a thumbnail run: one frame from the middle, 200 px high.
QStringList thumbnailArguments(double duration, const QString &input, const QString &output);

// Where thumbnail runs write: a folder made for this process alone (mode
// 0700), never the shared temporary folder itself.
QString thumbnailWorkingPath();

// One transcoder run, waited for within the tools' bound; the placeholder
// when the tool is missing, fails, or writes nothing readable.
QImage makeThumbnail(const FileProbe &probe);
