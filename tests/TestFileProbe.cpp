// What the probe learns from reports written for the purpose, and from the real ffprobe through veltrane-cli probe.
#include "CliTestSupport.h"

#include "probe/FileProbe.h"

#include <sys/stat.h>

using namespace TestSupport;

namespace {

QByteArray report(const QByteArray &streams, const QByteArray &format = {})
{
    return "{\"streams\":[" + streams + "],\"format\":{" + format + "}}";
}

// A stream object; more holds further members as JSON text.
QByteArray stream(const char *type, const QByteArray &more = {})
{
    return "{\"codec_type\":\"" + QByteArray(type) + '"' + (more.isEmpty() ? "" : ',' + more) + '}';
}

QByteArray video(const char *codec, int width, int height, const QByteArray &more = {})
{
    const QString size = QStringLiteral(R"("codec_name":"%1","width":%2,"height":%3)").arg(codec).arg(width).arg(height);
    return stream("video", size.toUtf8() + (more.isEmpty() ? "" : ',' + more));
}

// A probe in one line: true flags, values present and not 0, then "transfer/primaries/matrix/field-order/bits".
QString probeSummary(const FileProbe &probe)
{
    const QStringList colour { probe.videoTransfer, probe.videoPrimaries, probe.videoMatrix, probe.videoFieldOrder };
    const std::pair<bool, QString> parts[] = {
        { probe.hasErrors, "errors" }, { probe.isValidMediaFile, "valid" }, { probe.isEncrypted, "encrypted" },
        { probe.numberOfStreams != 0, QString("streams=%1").arg(probe.numberOfStreams) }, { probe.hasVideoTrack, "video" },
        { probe.hasAudioTrack, "audio" }, { probe.hasSubtitleTrack, "subtitle" }, { probe.hasAudioTrackWhichHasMoreThanTwoChannels, "many" },
        { probe.videoWidth || probe.videoHeight, QString("%1x%2").arg(probe.videoWidth.value_or(0)).arg(probe.videoHeight.value_or(0)) },
        { probe.videoRatio.has_value(), QString("ratio=") + QString::number(probe.videoRatio.value_or(0)) },
        { probe.duration != 0.0, QString("duration=") + QString::number(probe.duration, 'g', QLocale::FloatingPointShortest) },
        { probe.bitRate != 0, QString("bitRate=%1").arg(probe.bitRate) },
        { !colour.join(QString()).isEmpty() || probe.videoBitDepth, colour.join('/') + '/' + QString::number(probe.videoBitDepth) },
    };
    QStringList shown;
    for (const auto &[show, text] : parts)
        if (show)
            shown << text;
    return shown.join(QLatin1Char(' '));
}

// Spaces, quotes, non-ASCII letters, and a leading '-' that a tool would take for an option.
const QString oddName = QString::fromUtf8("-a b \"double\" 'single' #1 %20 é ß.mp4");

}

class TestFileProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir m_clips; // the current folder

private slots:
    void initTestCase()
    {
        QVERIFY(m_clips.isValid() && QDir::setCurrent(m_clips.path()));
        QVERIFY(makeVideo("clip.mp4") && makeClip("rotated.mp4", { "-i", "clip.mp4", "-c", "copy", "-metadata:s:v:0", "rotate=90" }));
        QVERIFY(QFile::copy("clip.mp4", "clip.TXT") && QFile::copy("clip.mp4", oddName) && mkfifo("pipe.mp4", 0600) == 0);
    }

    void derivation()
    {
        // tracks: type|detail|duration (not 0) of each row, then |HDR, |interlaced; metadata: the rows with a value, if given
        const auto row = [](const char *title, const QByteArray &bytes, const char *summary, const char *tracks, const char *metadata = "") {
            const FileProbe probe(QCoreApplication::applicationFilePath(), bytes); // any existing file: only the report decides
            QStringList rows, values;
            for (const QVariantMap &track : probe.tracksInfo) {
                const QString duration = track.value("trackDuration").toDouble() ? '|' + track.value("trackDurationHuman").toString() : QString();
                rows << track.value("trackType").toString() + '|' + track.value("trackSpecialInfo").toString() + duration
                        + (track.value("trackHDR").toBool() ? "|HDR" : "") + (track.value("trackInterlaced").toBool() ? "|interlaced" : "");
            }
            for (const auto &entry : probe.metadata)
                if (!entry.value("value").isEmpty())
                    values << entry.value("key") + '=' + entry.value("value");
            QCOMPARE(title + (": " + probeSummary(probe)), title + (": " + QString::fromUtf8(summary)));
            QCOMPARE(title + (": " + rows.join(',')), title + (": " + QString::fromUtf8(tracks)));
            QVERIFY2(!*metadata || values.join('|') == QString::fromUtf8(metadata), qPrintable(values.join('|')));
        };
        // What the real ffprobe wrote for a generated clip.
        row("captured: tags (some in lower case), 5.1, mov_text, png cover", readFile(VELTRANE_TEST_DATA "/probe/tagged.m4v.json"),
            "valid streams=4 video audio subtitle many 160x120 ratio=1.33333 duration=1 bitRate=248200 ///progressive/8",
            "Video|160x120|00:00:01.00,Audio|5.1|00:00:01.00,Subtitle|eng|00:00:00.80,Poster|64x64|00:00:01.00",
            "Title=Tïtle|Tagline=Desc|Release Date=2020|Genre=Gen|HD=Yes|Media Kind=Movie");
        const auto lasting = [](const char *seconds) { return stream("audio", "\"duration\":\"" + QByteArray(seconds) + '"'); };
        row("truncated seconds, rounded fraction", report(lasting("3725.5") + ',' + lasting("59.999") + ',' + lasting("36001.125")),
            "valid streams=3 audio", "Audio||01:02:05.50,Audio||00:00:59.00,Audio||10:00:01.12");

        const QByteArray hevc = video("hevc", 1920, 1080), noRate = R"("avg_frame_rate":"0/0","codec_tag_string":)";
        const QByteArray still = noRate + "\"[0][0][0][0]\"";
        row("video without codec_name", report(stream("video", R"("width":640,"height":480)") + ',' + stream("audio")),
            "valid encrypted streams=2 video audio 640x480 ratio=1.33333", "Video|640x480,Audio|");
        row("channels null, then 3 on any stream", report(stream("audio", R"("channels":null)") + ',' + stream("data", R"("channels":3)")),
            "valid streams=2 audio many", "Audio|,Other|");
        row("error next to streams", R"({"error":{"code":-2},"streams":[)" + hevc + "]}", "errors", "");
        row("cover picture, then the movie", report(video("mjpeg", 600, 400, still) + ',' + video("hevc", 1280, 720)),
            "valid streams=2 video 1280x720 ratio=1.77778", "Poster|600x400,Video|1280x720");
        row("stills that are no cover", report(video("mjpeg", 64, 64, R"("codec_tag_string":"jpeg")") + ','
                                               + video("mjpeg", 9, 9, noRate + "\"avc1\"") + ',' + video("gif", 9, 9, still)),
            "valid streams=3 video 64x64 ratio=1", "Other|jpeg,Other|avc1,Other|[0][0][0][0]");
        // A Video row shows the dimensions as they stand after its stream.
        row("h264 and theora override the first pass", report(video("h264", 640, 480) + ',' + hevc + ',' + video("theora", 320, 240, still)),
            "valid streams=3 video 320x240 ratio=1.33333", "Video|640x480,Video|640x480,Video|320x240");

        // Quarter turns swap, on the first pass as on the later ones; half turns do not.
        const auto matrix = [](const char *codec, int turn) {
            return video(codec, 16, 9, R"("side_data_list":[{"side_data_type":"Display Matrix","rotation":)" + QByteArray::number(turn) + "}]");
        };
        row("display matrix 270, -90, -180", report(matrix("vp9", 270) + ',' + matrix("h264", -90) + ',' + matrix("h264", -180)),
            "valid streams=3 video 16x9 ratio=1.77778", "Video|9x16,Video|9x16,Video|16x9");
        row("rotate tag 90 (older ffprobe), 180", report(video("h264", 16, 9, R"("tags":{"rotate":"90"})") + ',' + video("h264", 16, 9, R"("tags":{"rotate":"180"})")),
            "valid streams=2 video 16x9 ratio=1.77778", "Video|9x16,Video|16x9");

        // What tone mapping and deinterlacing go by, from the chosen video stream.
        const auto coloured = [](const QByteArray &members) { return report(video("hevc", 8, 6, members)); };
        row("HLG, 10 bits", coloured(R"("color_transfer":"arib-std-b67","color_primaries":"bt2020","color_space":"bt2020nc","field_order":"progressive","pix_fmt":"yuv420p10le")"),
            "valid streams=1 video 8x6 ratio=1.33333 arib-std-b67/bt2020/bt2020nc/progressive/10", "Video|8x6|HDR");
        row("PQ, 12 bits", coloured(R"("color_transfer":"smpte2084","bits_per_raw_sample":"12","pix_fmt":"yuv420p")"),
            "valid streams=1 video 8x6 ratio=1.33333 smpte2084////12", "Video|8x6|HDR");
        row("fields", coloured(R"("field_order":"bb","pix_fmt":"yuv420p")"), "valid streams=1 video 8x6 ratio=1.33333 ///bb/8", "Video|8x6|interlaced");
    }

    // What the tool could not tell is named on stderr and makes the status 1; an unusable file is no failure.
    void toolProblems()
    {
        // sniffer: the fake's body; limit: VELTRANE_TOOL_TIMEOUT_MS; problem: empty for none
        const auto check = [this](const QString &sniffer, int limit, const QString &problem) {
            const FakeTools tools(std::nullopt, sniffer);
            const ScopedEnvironment bound("VELTRANE_TOOL_TIMEOUT_MS", QString::number(limit));
            const CliRun run = runCli({ "probe", "clip.mp4" });
            const QJsonValue result = QJsonDocument::fromJson(run.out.toUtf8())[0];
            QVERIFY2(run.status == (problem.isEmpty() ? Cli::success : Cli::failure), qPrintable(describe(run)));
            QVERIFY2(result["probeProblem"].toString().startsWith(problem) && result["probeProblem"].isNull() == problem.isEmpty(), qPrintable(describe(run)));
            QVERIFY2(run.err.contains("veltrane-cli probe: could not examine " + m_clips.filePath("clip.mp4") + ": " + problem) == !problem.isEmpty(),
                     qPrintable(describe(run)));
        };
        check("echo Segmentation fault", 5000, "the probe tool gave no readable report");
        check("exec sleep 30", 400, "the probe tool did not answer within 400 ms");
        check("exec sleep 30", 1500, "the probe tool did not answer within 1.5 s");
        check(R"(echo '{"error":{"code":-1094995529}}')", 5000, QString()); // examined and found unusable
        // Larger than a pipe holds: the tool only ends once it is read.
        check(R"(head -c 100000 /dev/zero | tr '\0' ' '; echo '{"streams":[{"codec_type":"audio"}]}')", 5000, QString());
    }

    // The real executable: results alone on stdout, in argument order; a named pipe never reaches the tool, which would wait.
    void cli()
    {
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli",
                  { "probe", "--jobs", "2", "--", oddName, "missing.mp4", "pipe.mp4", "rotated.mp4", "clip.TXT" });
        QVERIFY(cli.waitForFinished(30000) && cli.exitCode() == 0);
        const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
        QCOMPARE(results.size(), 5);
        // Why each would be refused, as compress and the window decide it (TestIntake has every reason).
        QStringList refusals;
        for (const QJsonValue &result : results)
            refusals << result["refusal"].toString("-");
        QCOMPARE(refusals, (QStringList { "-", "no such file", "not a media file", "-", "files named .txt are not taken as video" }));
        QVERIFY(results[3]["videoWidth"] == 120 && results[3]["videoHeight"] == 160 && !results[4]["isValidMediaFile"].toBool());
        const QJsonValue video = results[0];
        const QString path = QDir::current().absoluteFilePath(oddName), url = video["fileFullURL"].toString();
        QCOMPARE(video["fileFullPath"].toString(), path);
        QCOMPARE(QUrl(url).toString(QUrl::FullyEncoded), url); // fully encoded: any URL parser reads it back
        QCOMPARE(QUrl(url).toLocalFile(), path);
        QVERIFY(video["isValidMediaFile"].toBool() && video["videoWidth"] == 160 && video["fileSize"].toInteger() == QFileInfo(path).size());
        // Track rows carry the stream as reported, nested members too.
        QVERIFY(video["tracksInfo"][1]["trackDictionary"]["disposition"].isObject());
        QVERIFY(results[1]["videoWidth"].isNull() && results[1]["videoRatio"].isNull());
        QCOMPARE(results[1]["fileSizeHuman"].toString(), QStringLiteral("Unknown File Size"));
        const QString diagnostics = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY(diagnostics.contains("Failed to get file attributes for local path: " + QDir::current().absoluteFilePath("missing.mp4")));
        QVERIFY(diagnostics.contains("Not a regular file, not probed: " + QDir::current().absoluteFilePath("pipe.mp4")));
        QCOMPARE(runCli({ "probe" }).status, Cli::usageError);
        QCOMPARE(runCli({ "probe", "--fast", "clip.mp4" }).status, Cli::usageError);
    }
};

QTEST_GUILESS_MAIN(TestFileProbe)
#include "TestFileProbe.moc"
