#include "CliTestSupport.h"
#include "TestSupport.h"

#include "cli/Cli.h"
#include "probe/FileProbe.h"
#include "tools/Tools.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <map>

using namespace TestSupport;

namespace {

QByteArray runTool(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return process.readAllStandardOutput();
}

QJsonArray parseArray(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        qWarning("not a JSON array (%s): %s", qPrintable(error.errorString()), qPrintable(text.left(200)));
    return document.array();
}

// Runs the real ffmpeg once per output, all at the same time; true when every run succeeded.
bool makeClipsTogether(const QList<QPair<QString, QStringList>> &clips)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (const auto &[output, arguments] : clips) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->setStandardInputFile(QProcess::nullDevice());
        process->start(realTool(Tools::creator), QStringList { "-v", "error", "-y" } + arguments + QStringList { output });
        processes.push_back(std::move(process));
    }
    bool ok = true;
    for (const auto &process : processes)
        ok = process->waitForFinished(120000) && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 && ok;
    return ok;
}

// The clip with a still picture of the given codec attached as its cover.
QStringList coverArguments(const QString &base, const char *codec)
{
    return { "-i", base, "-f", "lavfi", "-i", "testsrc=size=64x64:rate=1:duration=1", "-map", "0", "-map", "1", "-c", "copy",
             "-c:v:1", QString::fromLatin1(codec), "-frames:v:1", "1", "-disposition:v:1", "attached_pic" };
}

const QString oddName = QString::fromUtf8("a b \"double\" 'single' #1 %20 é ß.mp4");

}

class TestProbeEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::map<QString, FileProbe> probes; // by file name, made together
    QStringList probeLines;

    QString clip(const QString &name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg and ffprobe are not in the resources folder");
        QVERIFY(dir.isValid());

        // ffmpeg takes a while just to start on a small machine: make what does not
        // depend on another clip in parallel.
        const QString base = clip("clip.mp4");
        const QString lavfiVideo = QStringLiteral("testsrc=size=160x120:rate=25:duration=1");
        QFile srt(clip("subtitles.srt"));
        QVERIFY(srt.open(QIODevice::WriteOnly));
        srt.write("1\n00:00:00,000 --> 00:00:00,800\nHello\n");
        srt.close();
        QVERIFY(makeClipsTogether({
            { base, { "-f", "lavfi", "-i", lavfiVideo, "-f", "lavfi", "-i", "sine=duration=1", "-pix_fmt", "yuv420p", "-shortest" } },
            { clip("surround.mp4"), { "-f", "lavfi", "-i", lavfiVideo, "-f", "lavfi", "-i", "sine=duration=1,aformat=channel_layouts=5.1",
                                      "-pix_fmt", "yuv420p", "-shortest" } },
            { clip("audio.m4a"), { "-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac" } },
            { clip("clip.vob"), { "-f", "lavfi", "-i", lavfiVideo, "-f", "lavfi", "-i", "sine=duration=1", "-target", "ntsc-dvd",
                                  "-s", "160x120", "-shortest" } },
        }));
        QVERIFY(makeClipsTogether({
            { clip("rotated.mp4"), { "-i", base, "-c", "copy", "-metadata:s:v:0", "rotate=90" } },
            { clip("cover-png.mp4"), coverArguments(base, "png") },
            { clip("cover-jpg.mp4"), coverArguments(base, "mjpeg") },
            { clip("subtitles.mp4"), { "-i", base, "-i", srt.fileName(), "-map", "0", "-map", "1", "-c", "copy", "-c:s", "mov_text" } },
        }));
        // Without libtheora the clip is simply missing and its row skipped.
        makeClipsTogether({ { clip("clip.ogv"),
                              { "-f", "lavfi", "-i", lavfiVideo, "-f", "lavfi", "-i", "sine=duration=1", "-c:v", "libtheora", "-shortest" } } });

        for (const QString &copy : { QStringLiteral("clip.TXT"), oddName, QStringLiteral("-dash.mp4") })
            QVERIFY(QFile::copy(base, clip(copy)));
        QFile original(base);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray bytes = original.readAll();
        const auto write = [&](const QString &name, const QByteArray &content) {
            QFile file(clip(name));
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        QVERIFY(write("empty.mp4", {}));
        QVERIFY(write("truncated.mp4", bytes.left(bytes.size() / 2))); // its index sits at the end
        QVERIFY(write("notes.txt", "Shopping list\n- milk\n- bread\n"));

        // Probes share nothing, so the clips are probed side by side, one thread each.
        const QStringList names = QDir(dir.path()).entryList({ "*.mp4", "*.m4a", "*.ogv", "*.vob", "*.TXT", "*.txt" }, QDir::Files);
        std::vector<std::optional<FileProbe>> results(size_t(names.size()));
        std::vector<std::unique_ptr<QThread>> workers;
        DiagnosticCapture capture;
        for (qsizetype i = 0; i < names.size(); ++i) {
            workers.emplace_back(QThread::create([&, i] { results[size_t(i)].emplace(clip(names[i])); }));
            workers.back()->start();
        }
        for (qsizetype i = 0; i < names.size(); ++i) {
            QVERIFY(workers[size_t(i)]->wait(120000));
            probes.emplace(names[i], *results[size_t(i)]);
        }
        probeLines = capture.lines();
    }

    void probeClips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("tracks");

        const QString plain = QStringLiteral("valid streams=2 video audio 160x120 ratio=1.33333");
        QTest::newRow("h264+aac mp4") << "clip.mp4" << plain << "Video,Audio";
        QTest::newRow("quarter turn") << "rotated.mp4" << "valid streams=2 video audio 120x160 ratio=0.75" << "Video,Audio";
        QTest::newRow("png cover") << "cover-png.mp4" << "valid streams=3 video audio 160x120 ratio=1.33333" << "Video,Audio,Poster";
        QTest::newRow("mjpeg cover") << "cover-jpg.mp4" << "valid streams=3 video audio 160x120 ratio=1.33333" << "Video,Audio,Poster";
        QTest::newRow("5.1 audio") << "surround.mp4" << "valid streams=2 video audio many 160x120 ratio=1.33333" << "Video,Audio";
        QTest::newRow("mov_text") << "subtitles.mp4" << "valid streams=3 video audio subtitle 160x120 ratio=1.33333"
                                  << "Video,Audio,Subtitle";
        QTest::newRow("theora ogv") << "clip.ogv" << plain << "Video,Audio";
        QTest::newRow("video named .TXT") << "clip.TXT" << "streams=2" << "";
        QTest::newRow("vob") << "clip.vob" << "valid streams=3 video audio 160x120 ratio=1.33333" << "Other,Video,Audio";
        QTest::newRow("audio only") << "audio.m4a" << "valid streams=1 audio" << "Audio";
        QTest::newRow("empty file") << "empty.mp4" << "errors" << "";
        QTest::newRow("truncated file") << "truncated.mp4" << "errors" << "";
        QTest::newRow("text file") << "notes.txt" << "errors" << "";
        QTest::newRow("spaces, quotes, non-ASCII") << oddName << plain << "Video,Audio";
    }

    void probeClips()
    {
        QFETCH(QString, name);
        QFETCH(QString, summary);
        QFETCH(QString, tracks);
        const QString file = clip(name);
        if (name.endsWith(QLatin1String(".ogv")) && !QFile::exists(file))
            QSKIP("the encoder libtheora is not available");

        QCOMPARE(probeLines, QStringList());
        QVERIFY(probes.count(name));
        const FileProbe &probe = probes.at(name);
        QCOMPARE(probeSummary(probe, false), summary);
        QStringList types;
        for (const QVariantMap &row : probe.tracksInfo)
            types << row.value("trackType").toString();
        QCOMPARE(types.join(QLatin1Char(',')), tracks);
        QCOMPARE(probe.fileSize, std::optional<quint64>(QFileInfo(file).size()));
        QCOMPARE(probe.fileFullPath, std::optional<QString>(file));
        if (probe.isValidMediaFile) {
            QVERIFY2(probe.duration > 0.8 && probe.duration < 1.2, qPrintable(QString::number(probe.duration)));
            QVERIFY(probe.bitRate > 0);
        }
    }

    void cliOutput()
    {
        const QStringList files { clip(oddName), clip("audio.m4a"), clip("missing.mp4") };
        const CliRun run = runCli(QStringList { "probe" } + files);
        QCOMPARE(run.status, 0);
        const QJsonArray results = parseArray(run.out);
        QCOMPARE(results.size(), files.size());

        const QStringList keys { "bitRate", "duration", "fileFullPath", "fileFullURL", "fileSize", "fileSizeHuman", "hasAudioTrack",
                                 "hasAudioTrackWhichHasMoreThanTwoChannels", "hasErrors", "hasSubtitleTrack", "hasVideoTrack",
                                 "isEncrypted", "isValidMediaFile", "metadata", "numberOfStreams", "tracksInfo", "videoHeight",
                                 "videoRatio", "videoWidth" };
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QJsonObject object = results[i].toObject();
            QCOMPARE(object.keys(), keys);
            QCOMPARE(object["fileFullPath"].toString(), files[i]);
            // A URL text that any URL parser reads back as the same file.
            const QString url = object["fileFullURL"].toString();
            QVERIFY2(!url.contains(QLatin1Char(' ')) && !url.contains(QLatin1Char('"')) && url == QString::fromLatin1(url.toLatin1()),
                     qPrintable(url));
            QCOMPARE(QUrl(url, QUrl::StrictMode).toLocalFile(), files[i]);
        }

        const QJsonObject video = results[0].toObject();
        QCOMPARE(video["isValidMediaFile"], QJsonValue(true));
        QCOMPARE(video["videoWidth"], QJsonValue(160));
        QCOMPARE(video["videoHeight"], QJsonValue(120));
        QCOMPARE(video["videoRatio"].toDouble(), 160.0 / 120.0);
        QCOMPARE(video["fileSize"].toInteger(), QFileInfo(files[0]).size());
        const QJsonArray tracks = video["tracksInfo"].toArray();
        QCOMPARE(tracks.size(), 2);
        for (qsizetype i = 0; i < tracks.size(); ++i) {
            const QJsonObject row = tracks[i].toObject();
            QCOMPARE(row.size(), 9);
            QVERIFY(row["trackDuration"].isDouble());
            // The stream as the tool reported it, nested members included.
            const QJsonObject stream = row["trackDictionary"].toObject();
            QCOMPARE(stream["index"], QJsonValue(i));
            QCOMPARE(stream["codec_name"].toString(), row["trackCodec"].toString());
            QCOMPARE(stream["tags"].toObject()["language"].toString(), row["trackLanguage"].toString());
            QVERIFY(stream["disposition"].toObject().contains(QLatin1String("attached_pic")));
        }
        const QJsonArray metadata = video["metadata"].toArray();
        QCOMPARE(metadata.size(), 12);
        for (const QJsonValue &row : metadata) {
            QCOMPARE(row.toObject().keys(), (QStringList { "key", "value" }));
            QVERIFY(row["key"].isString() && row["value"].isString());
        }

        const QJsonObject audioOnly = results[1].toObject();
        for (const char *key : { "videoWidth", "videoHeight", "videoRatio" })
            QVERIFY2(audioOnly[QLatin1String(key)].isNull(), key);

        const QJsonObject missing = results[2].toObject();
        QCOMPARE(missing["fileSize"], QJsonValue(0));
        QCOMPARE(missing["fileSizeHuman"], QJsonValue("Unknown File Size"));
        QCOMPARE(missing["hasErrors"], QJsonValue(true));

        // The probe's lines are messages: they go with the others, never into the results.
        const QString line = QStringLiteral("Failed to get file attributes for local path: ") + files[2];
        QCOMPARE(run.err.count(line), 2);
        QVERIFY(!run.out.contains(line));
    }

    void cliRatioNotFinite()
    {
        QTemporaryDir tools;
        writeFakeTool(tools.path(), "sniffer",
                      R"(echo '{"streams":[{"codec_type":"video","codec_name":"h264","avg_frame_rate":"25/1","width":640,"height":0}]}')");
        const ScopedEnvironment resources("VELTRANE_RESOURCES", tools.path());

        const CliRun run = runCli({ "probe", clip("clip.mp4") });
        QCOMPARE(run.status, 0);
        const QJsonObject object = parseArray(run.out).first().toObject();
        QCOMPARE(object["videoWidth"], QJsonValue(640));
        QCOMPARE(object["videoHeight"], QJsonValue(0));
        QVERIFY(object["videoRatio"].isNull());
    }

    void cliUsage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");

        QTest::newRow("no command") << QStringList() << 2;
        QTest::newRow("no files") << QStringList { "probe" } << 2;
        QTest::newRow("unknown option") << QStringList { "probe", "--fast", "clip.mp4" } << 2;
        // Taken as options, as any command does; "--" or "./" name such a file.
        QTest::newRow("name starting with '-'") << QStringList { "probe", "-dash.mp4" } << 2;
        QTest::newRow("help") << QStringList { "probe", "--help" } << 0;
    }

    void cliUsage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);

        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, status);
        if (status == 0) {
            QVERIFY(run.out.contains(QLatin1String("FILE")));
        } else {
            QCOMPARE(run.out, QString());
            QVERIFY(!run.err.isEmpty());
        }
    }

    // A relative name that reads like an option must reach the tool as a file.
    void cliDashName()
    {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const CliRun run = runCli({ "probe", "--", "-dash.mp4" });
        QDir::setCurrent(previous);

        QCOMPARE(run.status, 0);
        const QJsonObject object = parseArray(run.out).first().toObject();
        QCOMPARE(object["fileFullPath"].toString(), QDir(dir.path()).canonicalPath() + QStringLiteral("/-dash.mp4"));
        QCOMPARE(object["isValidMediaFile"], QJsonValue(true));
        QCOMPARE(object["videoWidth"], QJsonValue(160));
    }

    // The real executable: nothing but the JSON array on standard output.
    void cliExecutable()
    {
        const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/veltrane-cli");
        if (!QFileInfo(program).isExecutable())
            QSKIP("veltrane-cli is not built");
        QProcess process;
        process.start(program, { "probe", clip("missing.mp4"), clip(oddName) });
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        const QJsonArray results = parseArray(QString::fromUtf8(process.readAllStandardOutput()));
        QCOMPARE(results.size(), 2);
        QCOMPARE(results[1].toObject()["fileFullPath"].toString(), clip(oddName));
        QCOMPARE(results[1].toObject()["isValidMediaFile"], QJsonValue(true));
        QVERIFY(process.readAllStandardError().contains("Failed to get file attributes for local path: "));
    }
};

QTEST_GUILESS_MAIN(TestProbeEndToEnd)
#include "TestProbeEndToEnd.moc"
