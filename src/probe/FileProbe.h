#pragma once

#include "json/Json.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <atomic>
#include <optional>

// What Veltrane learns about one file from the probe tool. Construction does
// all the work and never fails: whatever goes wrong leaves the fields at their
// defaults (every flag false) and says why in a diagnostic line.
class FileProbe
{
public:
    // Runs the probe tool on path (passed to it unchanged) and reads its
    // report. A run cut short by *stop leaves the defaults, without a line.
    explicit FileProbe(const QString &path, const std::atomic<bool> *stop = nullptr);

    // Derives everything from a report already in hand; no tool is run.
    FileProbe(const QString &path, const QByteArray &report);

    std::optional<JSON> jsonDictionary; // never filled; the report is not kept
    bool hasErrors = false;
    bool isValidMediaFile = false;
    bool isEncrypted = false;
    // Read by a picture reader: an image, not a video. Those readers make a
    // duration up (one frame at 25 fps for a JPEG), so the other fields can
    // look like a very short clip.
    bool isStillPicture = false;
    qint64 numberOfStreams = 0;
    bool hasVideoTrack = false;
    bool hasAudioTrack = false;
    bool hasSubtitleTrack = false;
    bool hasAudioTrackWhichHasMoreThanTwoChannels = false;
    double duration = 0.0;
    qint64 bitRate = 0;
    std::optional<qint64> videoWidth;
    std::optional<qint64> videoHeight;
    std::optional<double> videoRatio;
    QList<QVariantMap> tracksInfo;
    QList<QMap<QString, QString>> metadata;
    std::optional<quint64> fileSize;
    std::optional<QString> fileSizeHuman;
    std::optional<QString> fileFullPath;
    std::optional<QUrl> fileFullURL;
    // The chosen video stream's colour and scan, as the tool names them
    // ("arib-std-b67", "bt2020", "bt2020nc", "tt"); empty when not reported.
    QString videoTransfer;
    QString videoPrimaries;
    QString videoMatrix;
    QString videoFieldOrder;
    int videoBitDepth = 0; // 0 when not known
    // Frames a second of the chosen video stream: on average, and the rate
    // its timestamps are based on (they differ for variable frame rate); 0
    // when not known.
    double videoFrameRate = 0;
    double videoBaseFrameRate = 0;
    // The chosen video stream's own bit rate (bits a second; 0 when not
    // reported): with the duration, the bytes of its packets.
    qint64 videoBitRate = 0;
    double videoDuration = 0; // the stream's own, seconds; 0 when not reported
    // Frames shown at irregular times (phones record so), as read off the
    // packets' timestamps; only looked at where the two rates above differ.
    bool hasVariableFrameRate = false;
    // Tracks of each kind, counted as hasAudioTrack and hasSubtitleTrack see them.
    int audioTrackCount = 0;
    int subtitleTrackCount = 0;
    // PQ or HLG: a high dynamic range picture.
    static bool isHDRTransfer(const QString &transfer);
    // Fields in either order: tt, bb, tb, bt.
    static bool isInterlacedFieldOrder(const QString &fieldOrder);
    // Why the probe tool told nothing about the file, when it was the tool
    // that failed: missing, not started, no answer in time, no readable report.
    std::optional<QString> toolProblem;

    // The file system's size of path in bytes (0 when it cannot be read), and
    // the same as text ("Unknown File Size"); each failure writes its line.
    static quint64 fileSizeAtPath(const QString &path);
    static QString humanFileSizeAtPath(const QString &path);

    // The nine arguments of a probe run.
    static QStringList arguments(const QString &path);

    // Whether the display times of the first packets of path's video are
    // irregular: intervals that differ by more than a quarter of their
    // median. One more probe run, reading timestamps only.
    static bool readsAsVariableFrameRate(const QString &path, const std::atomic<bool> *stop = nullptr);

private:
    void describeFile(const QString &path);
    void deriveFromReport(const QString &path, const QByteArray &report);
    void chooseVideoStream(const JSON &stream);
    void applyVideoUpdate(const JSON &stream);
    void takeDimensions(const JSON &stream, std::optional<qint64> width, std::optional<qint64> height);
    static int bitDepthOf(const JSON &stream);
};

