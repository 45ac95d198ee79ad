#include "TestSupport.h"

#include "probe/FileProbe.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

QByteArray dataFile(const QString &name)
{
    QFile file(QStringLiteral(VELTRANE_TEST_DATA "/probe/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray report(const QByteArray &streams, const QByteArray &format = {})
{
    return "{\"streams\":[" + streams + "],\"format\":{" + format + "}}";
}

QByteArray withExtra(QByteArray object, const QByteArray &extra)
{
    return extra.isEmpty() ? object + '}' : object + ',' + extra + '}';
}

// A video stream; it has a frame rate unless extra gives one, and no codec_name when codec is null.
QByteArray video(const char *codec, int width, int height, const QByteArray &extra = {})
{
    QByteArray s = "{\"codec_type\":\"video\",\"width\":" + QByteArray::number(width)
        + ",\"height\":" + QByteArray::number(height);
    if (codec)
        s += ",\"codec_name\":\"" + QByteArray(codec) + '"';
    if (!extra.contains("avg_frame_rate"))
        s += ",\"avg_frame_rate\":\"25/1\"";
    return withExtra(s, extra);
}

QByteArray audio(const QByteArray &extra = {}) { return withExtra("{\"codec_type\":\"audio\",\"codec_name\":\"aac\"", extra); }

QByteArray stream(const char *type, const QByteArray &extra) { return withExtra("{\"codec_type\":\"" + QByteArray(type) + '"', extra); }

QByteArray matrix(int rotation)
{
    return "\"side_data_list\":[{\"side_data_type\":\"Display Matrix\",\"rotation\":" + QByteArray::number(rotation) + "}]";
}

// What an embedded cover picture looks like in a report.
const QByteArray still = R"("avg_frame_rate":"0/0","codec_tag_string":"[0][0][0][0]")";

QString utf8(const char *text) { return QString::fromUtf8(text); }

}

class TestFileProbe : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString &name) const { return dir.filePath(name); }

    QString touch(const QString &name) const
    {
        QFile file(path(name));
        file.open(QIODevice::Append);
        return file.fileName();
    }

    // Derived for an existing file, so that no file-system line gets in the way.
    FileProbe canned(const QByteArray &bytes, const QString &name = QStringLiteral("clip.mp4")) const
    {
        return FileProbe(touch(name), bytes);
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void capturedReports_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("tracks"); // type|codec|ID|detail|duration|language
        QTest::addColumn<QString>("metadata");

        const QString untagged = QStringLiteral("|||||No||||||");
        QTest::newRow("h264+aac mp4") << "clip.mp4.json"
            << "valid streams=2 video audio 160x120 ratio=1.33333 duration=1 bitRate=191640"
            << QStringList { "Video|h264|0|160x120|00:00:01.00|und", "Audio|aac|1|stereo|00:00:01.00|und" } << untagged;
        QTest::newRow("display matrix quarter turn") << "rotated.mp4.json"
            << "valid streams=2 video audio 120x160 ratio=0.75 duration=1 bitRate=191640"
            << QStringList { "Video|h264|0|120x160|00:00:01.00|und", "Audio|aac|1|stereo|00:00:01.00|und" } << untagged;
        // The file's synopsis, composer, encoder, copyright and comment tags are in lower case.
        QTest::newRow("tags, 5.1, mov_text, png cover") << "tagged.m4v.json"
            << "valid streams=4 video audio subtitle many 160x120 ratio=1.33333 duration=1 bitRate=248200"
            << QStringList { "Video|h264|0|160x120|00:00:01.00|und", "Audio|aac|1|5.1|00:00:01.00|und",
                             "Subtitle|mov_text|2|eng|00:00:00.80|eng", "Poster|png|3|64x64|00:00:01.00|" }
            << utf8("Tïtle|Desc||2020|Gen|Yes|Movie|||||");
        QTest::newRow("theora ogv") << "clip.ogv.json"
            << "valid streams=2 video audio 160x120 ratio=1.33333 duration=1 bitRate=311064"
            << QStringList { "Video|theora|0|160x120|00:00:01.00|", "Audio|vorbis|1|mono|00:00:01.00|" } << untagged;
        QTest::newRow("dvd vob") << "clip.vob.json"
            << "valid streams=3 video audio 160x120 ratio=1.33333 duration=1.024 bitRate=720000"
            << QStringList { "Other|dvd_nav_packet|0|[0][0][0][0]|00:00:01.02|", "Video|mpeg2video|1|160x120|00:00:00.87|",
                             "Audio|ac3|2|mono|00:00:01.02|" }
            << untagged;
    }

    void capturedReports()
    {
        QFETCH(QString, file);
        QFETCH(QString, summary);
        QFETCH(QStringList, tracks);
        QFETCH(QString, metadata);

        const QByteArray bytes = dataFile(file);
        QVERIFY(!bytes.isEmpty());
        const FileProbe probe = canned(bytes, file.chopped(5));
        QCOMPARE(probeSummary(probe), summary);

        const QJsonArray streams = QJsonDocument::fromJson(bytes)[QStringLiteral("streams")].toArray();
        QCOMPARE(probe.tracksInfo.size(), streams.size());
        QStringList rows;
        for (qsizetype i = 0; i < probe.tracksInfo.size(); ++i) {
            const QVariantMap &row = probe.tracksInfo[i];
            const QJsonObject object = streams[i].toObject();
            QCOMPARE(row.size(), 9);
            QCOMPARE(row.value("trackPresentInfile").toString(), *probe.fileFullPath);
            QCOMPARE(row.value("trackDuration").toDouble(), object["duration"].toString().toDouble());
            QCOMPARE(QJsonObject::fromVariantMap(row.value("trackDictionary").toMap()), object);
            QStringList cells;
            for (const char *key : { "trackType", "trackCodec", "trackID", "trackSpecialInfo", "trackDurationHuman", "trackLanguage" })
                cells << row.value(QString::fromLatin1(key)).toString();
            rows << cells.join(QLatin1Char('|'));
        }
        QCOMPARE(rows, tracks);

        QStringList values;
        for (const auto &row : probe.metadata)
            values << row.value(QStringLiteral("value"));
        QCOMPARE(values.join(QLatin1Char('|')), metadata);
    }

    void derivation_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("summary");
        const QString mp4 = QStringLiteral("clip.mp4");
        const auto row = [&](const char *title, const QByteArray &bytes, const char *summary, const QString &name = {}) {
            QTest::newRow(title) << bytes << (name.isEmpty() ? mp4 : name) << QString::fromLatin1(summary);
        };

        row("video without codec_name", report(video(nullptr, 640, 480) + ',' + audio()),
            "valid encrypted streams=2 video audio 640x480 ratio=1.33333");
        row("codec_name null after a good stream", report(video("h264", 640, 480) + ',' + video(nullptr, 32, 32, "\"codec_name\":null")),
            "valid encrypted streams=2 video 640x480 ratio=1.33333");
        row("channels null, 2, then 6", report(audio("\"channels\":null") + ',' + audio("\"channels\":2") + ',' + audio("\"channels\":6")),
            "valid streams=3 audio many");
        row("channels null and 2", report(audio("\"channels\":null") + ',' + audio("\"channels\":2")), "valid streams=2 audio");
        row("channels as text", report(audio("\"channels\":\"6\"")), "valid streams=1 audio");
        row("channels on any stream type", report(stream("data", "\"channels\":3")), "valid streams=1 many");

        const QByteArray h264 = video("h264", 1920, 1080);
        row("error next to streams", R"({"error":{"code":-2,"string":"No such file or directory"},"streams":[)" + h264 + "]}", "errors");
        row("error null", R"({"error":null,"streams":[)" + h264 + "]}", "errors");
        row("no streams", report({}, R"("duration":"5.0","bit_rate":"1000")"), "");
        row("no streams member", R"({"format":{"duration":"5.0"}})", "");
        row("streams in a .TXT file", report(h264 + ',' + audio()), "streams=2", QStringLiteral("clip.TXT"));
        row(".txt before the last extension", report(audio()), "valid streams=1 audio", QStringLiteral("clip.txt.mp4"));
        row("missing format", R"({"streams":[)" + audio() + "]}", "valid streams=1 audio");
        row("duration and bit rate as text", report(audio(), R"("duration":"12.500000","bit_rate":"128000")"),
            "valid streams=1 audio duration=12.5 bitRate=128000");

        row("cover picture, then the movie", report(video("mjpeg", 600, 600, still) + ',' + video("hevc", 1280, 720)),
            "valid streams=2 video 1280x720 ratio=1.77778");
        row("cover picture only", report(video("png", 600, 600, still)), "valid streams=1");
        row("two h264 streams: the later wins", report(video("h264", 640, 480) + ',' + video("h264", 320, 240)),
            "valid streams=2 video 320x240 ratio=1.33333");
        row("h264 without frame rate overrides the first pass",
            report(video("hevc", 1920, 1080) + ',' + video("h264", 320, 240, "\"avg_frame_rate\":\"0/0\"")),
            "valid streams=2 video 320x240 ratio=1.33333");
        row("wmv3 with tag WMV3 overrides", report(video("hevc", 1920, 1080) + ',' + video("wmv3", 320, 240, "\"codec_tag_string\":\"WMV3\"")),
            "valid streams=2 video 320x240 ratio=1.33333");
        row("wmv3 with tag wmv3 does not", report(video("hevc", 1920, 1080) + ',' + video("wmv3", 320, 240, "\"codec_tag_string\":\"wmv3\"")),
            "valid streams=2 video 1920x1080 ratio=1.77778");
        row("height 0", report(video("h264", 640, 0)), "valid streams=1 video 640x0 ratio=inf");

        const char *portrait = "valid streams=1 video 1080x1920 ratio=0.5625";
        const char *landscape = "valid streams=1 video 1920x1080 ratio=1.77778";
        row("rotate tag 90", report(video("h264", 1920, 1080, R"("tags":{"rotate":"90"})")), portrait);
        row("rotate tag 270, first pass", report(video("hevc", 1920, 1080, R"("tags":{"rotate":"270"})")), portrait);
        row("rotate tag 180", report(video("h264", 1920, 1080, R"("tags":{"rotate":"180"})")), landscape);
        row("rotate tag as a number", report(video("h264", 1920, 1080, R"("tags":{"rotate":90})")), landscape);
        for (const int rotation : { 90, -90, 270, -270, 180, -180 }) {
            const char *expected = rotation % 180 ? portrait : landscape;
            row(qPrintable(QStringLiteral("display matrix %1, h264").arg(rotation)), report(video("h264", 1920, 1080, matrix(rotation))), expected);
            row(qPrintable(QStringLiteral("display matrix %1, first pass").arg(rotation)), report(video("vp9", 1920, 1080, matrix(rotation))), expected);
        }

        row("subtitle tagged text", report(stream("subtitle", R"("codec_name":"mov_text","codec_tag_string":"text")")), "valid streams=1");
        row("subtitle without codec_name", report(stream("subtitle", R"("codec_tag_string":"tx3g")")), "valid streams=1");
        row("subtitle", report(stream("subtitle", R"("codec_name":"mov_text","codec_tag_string":"tx3g")")), "valid streams=1 subtitle");
    }

    void derivation()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, name);
        QFETCH(QString, summary);
        QVERIFY(QJsonDocument::fromJson(bytes).isObject());

        const FileProbe probe = canned(bytes, name);
        QCOMPARE(probeSummary(probe), summary);
        if (!probe.isValidMediaFile) {
            QVERIFY(probe.tracksInfo.isEmpty());
            QVERIFY(probe.metadata.isEmpty());
        }
    }

    void trackRows_data()
    {
        QTest::addColumn<QByteArray>("streams");
        QTest::addColumn<QStringList>("rows"); // type|detail

        QTest::newRow("mjpeg cover") << video("mjpeg", 600, 600, still) << QStringList { "Poster|600x600" };
        QTest::newRow("png cover") << video("png", 600, 400, still) << QStringList { "Poster|600x400" };
        QTest::newRow("mjpeg tagged jpeg") << video("mjpeg", 600, 600, "\"codec_tag_string\":\"jpeg\"") << QStringList { "Other|jpeg" };
        QTest::newRow("still with another tag") << video("mjpeg", 600, 600, R"("avg_frame_rate":"0/0","codec_tag_string":"avc1")")
                                                << QStringList { "Other|avc1" };
        QTest::newRow("still of another codec") << video("gif", 600, 600, still) << QStringList { "Other|[0][0][0][0]" };
        QTest::newRow("h264 without frame rate") << video("h264", 320, 240, still) << QStringList { "Video|320x240" };
        QTest::newRow("wmv3 / WMV3") << video("wmv3", 320, 240, R"("avg_frame_rate":"0/0","codec_tag_string":"WMV3")")
                                     << QStringList { "Video|320x240" };
        QTest::newRow("wmv3 / other tag") << video("wmv3", 320, 240, R"("avg_frame_rate":"0/0","codec_tag_string":"WMV2")")
                                          << QStringList { "Other|WMV2" };
        // A Video row shows the probe's dimensions as they stand after that stream.
        QTest::newRow("Video rows follow the updates")
            << video("h264", 640, 480) + ',' + video("vp9", 1920, 1080) + ',' + video("h264", 320, 240)
            << QStringList { "Video|640x480", "Video|640x480", "Video|320x240" };
        QTest::newRow("audio") << audio(R"x("channel_layout":"5.1(side)")x") + ',' + audio() << QStringList { "Audio|5.1(side)", "Audio|" };
        QTest::newRow("subtitles") << stream("subtitle", R"("codec_name":"mov_text","codec_tag_string":"tx3g","tags":{"language":"fra"})")
                + ',' + stream("subtitle", R"("codec_name":"mov_text","codec_tag_string":"text")")
                + ',' + stream("subtitle", R"("codec_tag_string":"[0][0][0][0]")")
                                   << QStringList { "Subtitle|fra", "Other|text", "Other|[0][0][0][0]" };
        QTest::newRow("data and attachment") << stream("data", R"("codec_tag_string":"tmcd")") + ',' + stream("attachment", R"("codec_name":"ttf")")
                                             << QStringList { "Other|tmcd", "Other|" };
    }

    void trackRows()
    {
        QFETCH(QByteArray, streams);
        QFETCH(QStringList, rows);

        const FileProbe probe = canned(report(streams));
        QStringList actual;
        for (const QVariantMap &row : probe.tracksInfo) {
            actual << row.value("trackType").toString() + QLatin1Char('|') + row.value("trackSpecialInfo").toString();
            // None of these streams has a duration.
            QCOMPARE(row.value("trackDuration").toDouble(), 0.0);
            QCOMPARE(row.value("trackDurationHuman").toString(), QStringLiteral("00:00:00.00"));
        }
        QCOMPARE(actual, rows);
    }

    void metadataRows_data()
    {
        QTest::addColumn<QByteArray>("tags");
        QTest::addColumn<QString>("values");

        QTest::newRow("no tags") << QByteArray() << "|||||No||||||";
        QTest::newRow("every tag") << QByteArray(R"({"title":"T","description":"D","Synopsis":"S","date":"2020","genre":"G",
            "hd_video":"1","media_type":"9","Composer":"C","iTunEXTC":"R","Encoder":"E","Copyright":"©","Comment":"c"})")
                                   << utf8("T|D|S|2020|G|Yes|Movie|C|R|E|©|c");
        QTest::newRow("names in another case") << QByteArray(R"({"Title":"T","synopsis":"S","HD_VIDEO":"1","Media_Type":"9",
            "composer":"C","itunextc":"R","encoder":"E","copyright":"X","comment":"c"})")
                                               << "|||||No||||||";
        QTest::newRow("hd 0, kind 10") << QByteArray(R"({"hd_video":"0","media_type":"10"})") << "|||||No||||||";
        QTest::newRow("hd 2") << QByteArray(R"({"hd_video":"2"})") << "|||||No||||||";
        QTest::newRow("numbers") << QByteArray(R"({"hd_video":1,"media_type":9,"title":42})") << "42|||||Yes|Movie|||||";
    }

    void metadataRows()
    {
        QFETCH(QByteArray, tags);
        QFETCH(QString, values);

        const FileProbe probe = canned(report(audio(), tags.isEmpty() ? QByteArray() : "\"tags\":" + tags));
        QStringList labels, actual;
        for (const auto &row : probe.metadata) {
            QCOMPARE(row.keys(), (QStringList { "key", "value" }));
            labels << row.value("key");
            actual << row.value("value");
        }
        QCOMPARE(labels, (QStringList { "Title", "Tagline", "Synopsis", "Release Date", "Genre", "HD", "Media Kind", "Composer",
                                        "Rating", "Encoder", "Copyright", "Comment" }));
        QCOMPARE(actual.join(QLatin1Char('|')), values);
    }

    void humanDuration_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");

        QTest::newRow("zero") << 0.0 << "00:00:00.00";
        QTest::newRow("hour, minutes, half") << 3725.5 << "01:02:05.50";
        QTest::newRow("under ten hours") << 35999.5 << "09:59:59.50";
        QTest::newRow("ten hours") << 36000.0 << "10:00:00.00";
        QTest::newRow("truncated seconds, rounded fraction") << 59.999 << "00:00:59.00";
        QTest::newRow("a hundred hours") << 360000.25 << "100:00:00.25";
        // Rounded as "%.2f" rounds: exact halves to even, others from the binary value.
        QTest::newRow("exact half of a hundredth") << 1.125 << "00:00:01.12";
        QTest::newRow("exact half rounding up") << 0.375 << "00:00:00.38";
        QTest::newRow("just under a half") << 2.675 << "00:00:02.67";
        QTest::newRow("infinite") << qInf() << "00:00:00.00";
        QTest::newRow("not a number") << qQNaN() << "00:00:00.00";
    }

    void humanDuration()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(::humanDuration(seconds), text);
    }

    void fileSystemLines_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("line"); // %1 is the path
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QString>("human");

        QTest::newRow("missing") << "missing"
                                 << QStringLiteral("Failed to get file attributes for local path: %1 with error: ")
                + QString::fromLocal8Bit(std::strerror(ENOENT))
                                 << quint64(0) << "Unknown File Size";
        QTest::newRow("named pipe") << "fifo" << "Failed to get a size attribute from path: %1" << quint64(0) << "Unknown File Size";
        QTest::newRow("regular file") << "file" << QString() << quint64(1500) << "2 KB";
    }

    void fileSystemLines()
    {
        QFETCH(QString, kind);
        QFETCH(QString, line);
        QFETCH(quint64, size);
        QFETCH(QString, human);

        const QString file = path(kind + QStringLiteral(" é.mp4"));
        if (kind == QLatin1String("fifo"))
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        if (kind == QLatin1String("file")) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1500, 'x'));
        }

        DiagnosticCapture capture;
        QCOMPARE(fileSizeAtPath(file), size);
        QCOMPARE(humanFileSizeAtPath(file), human);
        const FileProbe probe(file, report(audio()));
        QCOMPARE(probe.fileSize, std::optional<quint64>(size));
        QCOMPARE(probe.fileSizeHuman, std::optional<QString>(human));
        QCOMPARE(probe.fileFullPath, std::optional<QString>(file));
        QCOMPARE(probe.fileFullURL, std::optional<QUrl>(QUrl::fromLocalFile(file)));
        QCOMPARE(probeSummary(probe), QStringLiteral("valid streams=1 audio")); // the rest goes on

        // One line from each function, then the same two again from construction.
        const QStringList expected = line.isEmpty() ? QStringList() : QStringList(4, line.arg(file));
        QCOMPARE(capture.lines(), expected);
    }

    void notJSON_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("Segmentation fault\n");
        QTest::newRow("cut short") << QByteArray(R"({"streams":[{"codec_type":"video")");
        QTest::newRow("trailing garbage") << QByteArray(R"({"streams":[]} x)");
    }

    void notJSON()
    {
        QFETCH(QByteArray, bytes);
        QJsonParseError parserError;
        QVERIFY(QJsonDocument::fromJson(bytes, &parserError).isNull());

        const QString file = touch(QStringLiteral("clip.mp4"));
        DiagnosticCapture capture;
        const FileProbe probe(file, bytes);
        QCOMPARE(capture.lines(), QStringList { parserError.errorString() });
        QCOMPARE(probeSummary(probe), QString());
        QVERIFY(probe.tracksInfo.isEmpty() && probe.metadata.isEmpty());
        QCOMPARE(probe.fileFullPath, std::optional<QString>(file));
    }

    void fakeTools_data()
    {
        QTest::addColumn<QString>("script"); // null: no sniffer at all
        QTest::addColumn<int>("boundMs");
        QTest::addColumn<bool>("onWorkerThread");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("line"); // part of the one diagnostic line, or null for none

        const QString hangs = QStringLiteral("echo $$ > \"$0.pid\"\nexec sleep 30");
        // About 100 KB, more than a pipe holds: the tool only ends once it is read.
        const QString large = QStringLiteral(R"(printf '{"streams":['
i=1
while [ $i -lt 3000 ]; do printf '{"codec_type":"audio","index":%d},' $i; i=$((i+1)); done
printf '{"codec_type":"audio"}]}')");
        const QString timedOut = QStringLiteral("took longer than");

        QTest::newRow("missing sniffer") << QString() << 10000 << false << "" << "\"sniffer\" was not found";
        for (const bool worker : { false, true }) {
            const char *where = worker ? ", worker thread" : "";
            QTest::newRow(qPrintable(QStringLiteral("hangs") + where)) << hangs << 300 << worker << "" << timedOut;
            QTest::newRow(qPrintable(QStringLiteral("large report") + where))
                << large << 20000 << worker << "valid streams=3000 audio" << QString();
        }
    }

    void fakeTools()
    {
        QFETCH(QString, script);
        QFETCH(int, boundMs);
        QFETCH(bool, onWorkerThread);
        QFETCH(QString, summary);
        QFETCH(QString, line);

        QTemporaryDir tools;
        if (!script.isNull())
            QVERIFY(!writeFakeTool(tools.path(), "sniffer", script).isEmpty());
        const ScopedEnvironment resources("VELTRANE_RESOURCES", tools.path());
        const ScopedEnvironment bound("VELTRANE_TOOL_TIMEOUT_MS", QString::number(boundMs));
        const QString file = touch(QStringLiteral("clip.mp4"));

        DiagnosticCapture capture;
        QElapsedTimer timer;
        timer.start();
        std::optional<FileProbe> probe;
        if (onWorkerThread) {
            std::unique_ptr<QThread> worker(QThread::create([&] { probe.emplace(file); }));
            worker->start();
            QVERIFY(worker->wait(boundMs + 10000));
        } else {
            probe.emplace(file);
        }
        QVERIFY2(timer.elapsed() < boundMs + 3000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));

        QCOMPARE(probeSummary(*probe), summary);
        const QStringList lines = capture.lines();
        if (line.isNull()) {
            QCOMPARE(lines, QStringList());
        } else {
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.first().contains(line), qPrintable(lines.first()));
        }

        QFile pidFile(tools.filePath(QStringLiteral("sniffer.pid")));
        if (pidFile.open(QIODevice::ReadOnly)) {
            const pid_t pid = pid_t(pidFile.readAll().trimmed().toLongLong());
            QVERIFY(pid > 0);
            const int result = ::kill(pid, 0);
            const int error = errno;
            QCOMPARE(result, -1); // stopped and reaped
            QCOMPARE(error, ESRCH);
        }
    }

    void nineArguments()
    {
        QTemporaryDir tools;
        writeFakeTool(tools.path(), "sniffer", QStringLiteral(R"(printf '%s\0' "$@" > "$0.args"
echo '{"streams":[{"codec_type":"audio"}]}')"));
        const ScopedEnvironment resources("VELTRANE_RESOURCES", tools.path());
        const QString file = touch(utf8("-x \"quoted\" 'single' $HOME é.mp4"));

        const FileProbe probe(file);
        QCOMPARE(probeSummary(probe), QStringLiteral("valid streams=1 audio"));

        QFile recorded(tools.filePath(QStringLiteral("sniffer.args")));
        QVERIFY(recorded.open(QIODevice::ReadOnly));
        QStringList arguments;
        for (const QByteArray &argument : recorded.readAll().split('\0'))
            arguments << QString::fromUtf8(argument);
        arguments.removeLast(); // after the last terminator
        QCOMPARE(arguments, (QStringList { "-v", "quiet", "-print_format", "json", "-show_format", "-show_streams",
                                           "-show_chapters", "-show_error", file }));
    }

    void namedPipe()
    {
        // Nothing ever writes to it: a reader would wait for ever.
        const QString fifo = path(QStringLiteral("pipe.mp4"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

        DiagnosticCapture capture;
        QElapsedTimer timer;
        timer.start();
        const FileProbe probe(fifo);
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(probeSummary(probe), QString());
        QCOMPARE(probe.fileSize, std::optional<quint64>(0));
    }
};

QTEST_GUILESS_MAIN(TestFileProbe)
#include "TestFileProbe.moc"
