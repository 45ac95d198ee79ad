#include "CliTestSupport.h"
#include "TestSupport.h"

#include "probe/FileProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace TestSupport;

// Spaces, quotes, non-ASCII letters, and a leading '-' that a tool would take for an option.
const QString oddName = QString::fromUtf8("-a b \"double\" 'single' #1 %20 é ß.mp4");

class TestProbeEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
        const QList<std::pair<QString, QString>> clips {
            { "clip.mp4", "-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i sine=duration=1 -shortest -pix_fmt yuv420p" },
            { "rotated.mp4", "-i clip.mp4 -c copy -metadata:s:v:0 rotate=90" },
            { "cover.mp4", "-i clip.mp4 -f lavfi -i testsrc=size=64x64:rate=1:duration=1 -map 0 -map 1 -c copy -c:v:1 mjpeg -frames:v:1 1 "
                           "-disposition:v:1 attached_pic" },
        };
        for (const auto &[name, arguments] : clips)
            QVERIFY2(makeClip(name, arguments.split(' ')), qPrintable(name));
        QVERIFY(QFile::copy("clip.mp4", "clip.TXT") && QFile::copy("clip.mp4", oddName));
    }

    void probeClips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("summary"); // and the track types
        QTest::newRow("display matrix quarter turn") << "rotated.mp4" << "valid streams=2 video audio 120x160 ratio=0.75 Video,Audio";
        QTest::newRow("mjpeg cover") << "cover.mp4" << "valid streams=3 video audio 160x120 ratio=1.33333 Video,Audio,Poster";
        QTest::newRow("video named .TXT") << "clip.TXT" << "streams=2";
    }

    void probeClips()
    {
        QFETCH(QString, name);
        QFETCH(QString, summary);
        const FileProbe probe(QDir::current().absoluteFilePath(name));
        QStringList types;
        for (const QVariantMap &row : probe.tracksInfo)
            types << row.value("trackType").toString();
        QCOMPARE((probeSummary(probe, false) + ' ' + types.join(',')).trimmed(), summary);
    }

    // The real executable on relative names: nothing but the results on stdout, in argument order.
    void cli()
    {
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli", { "probe", "--", oddName, "missing.mp4" });
        QVERIFY(cli.waitForFinished(30000) && cli.exitCode() == 0);
        const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
        QCOMPARE(results.size(), 2);
        for (const QJsonValue &result : results)
            QCOMPARE(result.toObject().keys(), (QStringList { "bitRate", "duration", "fileFullPath", "fileFullURL", "fileSize", "fileSizeHuman",
                "hasAudioTrack", "hasAudioTrackWhichHasMoreThanTwoChannels", "hasErrors", "hasSubtitleTrack", "hasVideoTrack", "isEncrypted",
                "isHDR", "isInterlaced", "isValidMediaFile", "metadata", "numberOfStreams", "probeProblem", "tracksInfo", "videoBitDepth",
                "videoFieldOrder", "videoHeight", "videoMatrix", "videoPrimaries", "videoRatio", "videoTransfer", "videoWidth" }));
        const QJsonValue video = results[0];
        const QString path = QDir::current().absoluteFilePath(oddName), url = video["fileFullURL"].toString();
        QCOMPARE(video["fileFullPath"].toString(), path);
        QCOMPARE(QUrl(url).toString(QUrl::FullyEncoded), url); // fully encoded: any URL parser reads it back
        QCOMPARE(QUrl(url).toLocalFile(), path);
        QVERIFY(video["isValidMediaFile"].toBool() && video["videoWidth"] == 160 && video["fileSize"].toInteger() == QFileInfo(path).size());
        // Track rows carry the stream as reported, nested members too.
        QVERIFY(video["tracksInfo"][1].toObject().size() == 11 && video["tracksInfo"][1]["trackDictionary"]["disposition"].isObject());
        QCOMPARE(video["metadata"][11].toObject().keys(), (QStringList { "key", "value" }));
        QVERIFY(results[1]["videoWidth"].isNull() && results[1]["videoRatio"].isNull());
        QCOMPARE(results[1]["fileSizeHuman"].toString(), QStringLiteral("Unknown File Size"));
        const QString missing = QDir::current().absoluteFilePath("missing.mp4");
        QVERIFY(cli.readAllStandardError().contains("Failed to get file attributes for local path: " + missing.toUtf8()));

        QCOMPARE(runCli({ "probe" }).status, 2);
        QCOMPARE(runCli({ "probe", "--fast", "clip.mp4" }).status, 2);
        QVERIFY(runCli({ "probe", "--help" }).out.contains("FILE..."));
    }
};

QTEST_GUILESS_MAIN(TestProbeEndToEnd)
#include "TestProbeEndToEnd.moc"
