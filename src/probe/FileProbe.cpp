#include "probe/FileProbe.h"

#include "probe/TrackTables.h"
#include "tools/Tools.h"
#include "util/Diagnostics.h"
#include "util/Paths.h"
#include "util/TextFormat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <vector>
#include <filesystem>

namespace {

bool isVideo(const JSON &stream) { return stream["codec_type"].isText("video"); }

// A quarter turn swaps what the player shows. Older ffprobe builds report it
// as a "rotate" tag; newer ones only as the display matrix's rotation.
bool isQuarterTurn(const JSON &stream)
{
    const JSON tag = stream["tags"]["rotate"];
    if (tag.isText("90") || tag.isText("270"))
        return true;
    const JSON sideData = stream["side_data_list"];
    for (qint64 i = 0; i < sideData.count(); ++i) {
        const JSON entry = sideData[i];
        if (!entry["side_data_type"].isText("Display Matrix") || entry["rotation"].type() != JSON::Type::number)
            continue;
        const double rotation = std::fabs(entry["rotation"].doubleValue());
        if (rotation == 90.0 || rotation == 270.0)
            return true;
    }
    return false;
}

// "30000/1001" as frames a second; 0 for "0/0" or anything else.
double frameRateOf(const JSON &rate)
{
    const QStringList parts = rate.stringValue().split(QLatin1Char('/'));
    const double numerator = parts.value(0).toDouble();
    const double denominator = parts.size() == 2 ? parts.at(1).toDouble() : 1.0;
    const double fps = denominator > 0 ? numerator / denominator : 0.0;
    return std::isfinite(fps) && fps > 0 ? fps : 0.0;
}

std::optional<double> ratioOf(std::optional<qint64> width, std::optional<qint64> height)
{
    if (!width || !height)
        return std::nullopt;
    return double(*width) / double(*height);
}

// The file system's size of path, following links; each failure writes its line.
std::optional<quint64> sizeAttribute(const QString &path)
{
    namespace fs = std::filesystem;
    const fs::path native(path.toStdString());
    std::error_code error;
    const fs::file_status status = fs::status(native, error);
    if (error) {
        Diagnostics::line(QStringLiteral("Failed to get file attributes for local path: ") + path
                          + QStringLiteral(" with error: ") + QString::fromStdString(error.message()));
        return std::nullopt;
    }
    const auto size = fs::is_regular_file(status) ? fs::file_size(native, error) : std::uintmax_t(0);
    if (!fs::is_regular_file(status) || error) {
        Diagnostics::line(QStringLiteral("Failed to get a size attribute from path: ") + path);
        return std::nullopt;
    }
    return quint64(size);
}

// Pipes, sockets and devices can keep a reader waiting for ever; they are
// never video files, so the tool is not run on them.
bool isSpecialFile(const QString &path)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(fs::path(path.toStdString()), error);
    return !error && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

// "400 ms" below a second, whole or decimal seconds from there: "60 s", "1.5 s".
QString limitText(std::chrono::milliseconds limit)
{
    if (limit < std::chrono::seconds(1))
        return QStringLiteral("%1 ms").arg(limit.count());
    return QString::number(double(limit.count()) / 1000.0, 'f', QLocale::FloatingPointShortest) + QStringLiteral(" s");
}

}

quint64 FileProbe::fileSizeAtPath(const QString &path) { return sizeAttribute(path).value_or(0); }

QString FileProbe::humanFileSizeAtPath(const QString &path)
{
    const auto size = sizeAttribute(path);
    if (!size)
        return QCoreApplication::translate("FileProbe", "Unknown File Size");
    return TextFormat::byteCountText(qint64(std::min<quint64>(*size, quint64(INT64_MAX))));
}

QStringList FileProbe::arguments(const QString &path)
{
    return { QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-print_format"), QStringLiteral("json"),
             QStringLiteral("-show_format"), QStringLiteral("-show_streams"), QStringLiteral("-show_chapters"),
             QStringLiteral("-show_error"), path };
}

bool FileProbe::readsAsVariableFrameRate(const QString &path, const std::atomic<bool> *stop)
{
    const auto tool = Tools::resourcePath(QString::fromLatin1(Tools::sniffer));
    if (!tool)
        return false;
    const Tools::RunResult run = Tools::run(*tool,
                                            { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                                              QStringLiteral("v:0"), QStringLiteral("-read_intervals"), QStringLiteral("%+#600"),
                                              QStringLiteral("-show_entries"), QStringLiteral("packet=pts_time,dts_time"),
                                              QStringLiteral("-of"), QStringLiteral("csv=p=0"), path },
                                            Tools::Stream::pipe, Tools::Stream::discard, stop);
    // Packets come in decoding order: only those shown by the last one decoded are all in.
    std::vector<double> shown;
    double lastDecoded = -1e300;
    std::vector<std::pair<double, double>> packets;
    for (const QByteArray &line : run.output.split('\n')) {
        bool okShown = false, okDecoded = false;
        const double pts = line.split(',').value(0).toDouble(&okShown), dts = line.split(',').value(1).toDouble(&okDecoded);
        if (okShown && okDecoded) {
            packets.emplace_back(pts, dts);
            lastDecoded = std::max(lastDecoded, dts);
        }
    }
    for (const auto &[pts, dts] : packets)
        if (pts <= lastDecoded)
            shown.push_back(pts);
    std::sort(shown.begin(), shown.end());
    std::vector<double> intervals;
    for (size_t i = 1; i < shown.size(); ++i)
        intervals.push_back(shown[i] - shown[i - 1]);
    if (intervals.size() < 3)
        return false;
    std::sort(intervals.begin(), intervals.end());
    const double median = intervals[intervals.size() / 2];
    // A 29.97 clip's intervals are equal to far less than that, in any time base.
    return median > 0 && intervals.back() - intervals.front() > 0.25 * median;
}

FileProbe::FileProbe(const QString &path, const std::atomic<bool> *stop)
{
    describeFile(path);

    if (isSpecialFile(path)) {
        Diagnostics::line(QStringLiteral("Not a regular file, not probed: ") + path);
        return;
    }
    const auto tool = Tools::resourcePath(QString::fromLatin1(Tools::sniffer));
    if (!tool) {
        toolProblem = Tools::notFoundText(QStringLiteral(QT_TRANSLATE_NOOP("Tools", "probe tool")), Tools::sniffer);
        Diagnostics::line(QStringLiteral("The probe tool \"sniffer\" was not found; cannot examine: ") + path);
        return;
    }
    const Tools::RunResult run = Tools::run(*tool, arguments(path), Tools::Stream::pipe, Tools::Stream::inherit, stop);
    if (run.stopped)
        return;
    if (!run.started) {
        toolProblem = QCoreApplication::translate("FileProbe", "the probe tool (sniffer) could not be started");
        Diagnostics::line(QStringLiteral("The probe tool could not be started: ") + *tool);
        return;
    }
    if (run.timedOut) {
        const QString limit = limitText(Tools::waitBound());
        toolProblem = QCoreApplication::translate("FileProbe", "the probe tool did not answer within %1").arg(limit);
        Diagnostics::line(QStringLiteral("The probe tool took longer than %1 and was stopped: ").arg(limit) + path);
        return;
    }
    deriveFromReport(path, run.output);
}

FileProbe::FileProbe(const QString &path, const QByteArray &report)
{
    describeFile(path);
    deriveFromReport(path, report);
}

void FileProbe::describeFile(const QString &path)
{
    fileSize = fileSizeAtPath(path);
    fileSizeHuman = humanFileSizeAtPath(path);
    fileFullPath = path;
    fileFullURL = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
}

void FileProbe::deriveFromReport(const QString &path, const QByteArray &bytes)
{
    QJsonParseError parseError;
    const std::optional<JSON> parsed = JSON::parse(bytes, &parseError);
    if (!parsed) {
        toolProblem = QCoreApplication::translate("FileProbe", "the probe tool gave no readable report");
        Diagnostics::line(parseError.errorString());
        return;
    }
    const JSON &report = *parsed;

    if (report["error"].exists()) {
        hasErrors = true;
        return;
    }

    const JSON streams = report["streams"];
    const qint64 n = streams.count();
    if (n > 0) {
        numberOfStreams = n;
        if (Paths::lastExtension(path).toLower() != QLatin1String("txt"))
            isValidMediaFile = true;
    }
    if (!isValidMediaFile)
        return;

    // "image2" reads picture files by name, the "*_pipe" readers by content.
    const QString container = report["format"]["format_name"].stringValue();
    isStillPicture = container == QLatin1String("image2") || container.endsWith(QLatin1String("_pipe"));

    for (qint64 i = 0; i < n; ++i) {
        const JSON stream = streams[i];
        if (isVideo(stream) && stream["codec_name"] == JSON::nullValue()) {
            isEncrypted = true;
            break;
        }
    }
    for (qint64 i = 0; i < n; ++i) {
        const JSON stream = streams[i];
        if (isVideo(stream) && !stream["avg_frame_rate"].isText("0/0")) {
            chooseVideoStream(stream);
            break;
        }
    }
    for (qint64 i = 0; i < n; ++i) {
        if (streams[i]["codec_type"].isText("audio"))
            ++audioTrackCount;
    }
    hasAudioTrack = audioTrackCount > 0;
    for (qint64 i = 0; i < n; ++i) {
        const JSON channels = streams[i]["channels"];
        if (channels == JSON::nullValue())
            continue;
        if (channels.optionalInteger().value_or(0) > 2) {
            hasAudioTrackWhichHasMoreThanTwoChannels = true;
            break;
        }
    }
    for (qint64 i = 0; i < n; ++i) {
        const JSON stream = streams[i];
        if (stream["codec_type"].isText("subtitle") && !stream["codec_tag_string"].isText("text")
            && stream["codec_name"] != JSON::nullValue())
            ++subtitleTrackCount;
    }
    hasSubtitleTrack = subtitleTrackCount > 0;

    duration = report["format"]["duration"].doubleValue();
    bitRate = report["format"]["bit_rate"].integerValue();

    metadata = TrackTables::metadataRows(report);

    for (qint64 i = 0; i < n; ++i) {
        applyVideoUpdate(streams[i]);
        tracksInfo.append(TrackTables::trackRow(report, i, *this, path));
    }
}

void FileProbe::chooseVideoStream(const JSON &stream)
{
    takeDimensions(stream, stream["width"].integerValue(), stream["height"].integerValue());
}

void FileProbe::applyVideoUpdate(const JSON &stream)
{
    if (!isVideo(stream))
        return;
    const JSON codec = stream["codec_name"];
    const bool qualifies = codec.isText("h264") || codec.isText("theora")
        || (codec.isText("wmv3") && stream["codec_tag_string"].isText("WMV3"));
    if (qualifies)
        takeDimensions(stream, stream["width"].optionalInteger(), stream["height"].optionalInteger());
}

bool FileProbe::isHDRTransfer(const QString &transfer)
{
    return transfer == QLatin1String("smpte2084") || transfer == QLatin1String("arib-std-b67");
}

bool FileProbe::isInterlacedFieldOrder(const QString &fieldOrder)
{
    static const QStringList interlaced { QStringLiteral("tt"), QStringLiteral("bb"), QStringLiteral("tb"), QStringLiteral("bt") };
    return interlaced.contains(fieldOrder);
}

int FileProbe::bitDepthOf(const JSON &stream)
{
    if (const qint64 bits = stream["bits_per_raw_sample"].integerValue(); bits > 0)
        return int(bits);
    // "yuv420p10le": the depth is in the pixel format's name; none there is 8.
    static const QRegularExpression depth(QStringLiteral("p(9|10|12|14|16)(le|be)?$"));
    const QString format = stream["pix_fmt"].stringValue();
    if (format.isEmpty())
        return 0;
    const auto match = depth.match(format);
    return match.hasMatch() ? match.captured(1).toInt() : 8;
}

void FileProbe::takeDimensions(const JSON &stream, std::optional<qint64> width, std::optional<qint64> height)
{
    videoTransfer = stream["color_transfer"].stringValue();
    videoPrimaries = stream["color_primaries"].stringValue();
    videoMatrix = stream["color_space"].stringValue();
    videoFieldOrder = stream["field_order"].stringValue();
    videoBitDepth = bitDepthOf(stream);
    videoFrameRate = frameRateOf(stream["avg_frame_rate"]);
    videoBitRate = stream["bit_rate"].integerValue();
    videoDuration = stream["duration"].doubleValue();
    videoBaseFrameRate = frameRateOf(stream["r_frame_rate"]);
    hasVideoTrack = true;
    videoWidth = width;
    videoHeight = height;
    if (isQuarterTurn(stream)) {
        videoWidth = stream["height"].integerValue();
        videoHeight = stream["width"].integerValue();
    }
    videoRatio = ratioOf(videoWidth, videoHeight);
}
