#include "CliTestSupport.h"
#include "TestSupport.h"

#include "probe/FileProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

// Spaces, quotes, non-ASCII letters, and a leading '-' that a tool would take for an option.
const QString oddName = QString::fromUtf8("-a b \"double\" 'single' #1 %20 é ß.mp4");

// The real ffprobe on clips made for the purpose.
class TestProbeEndToEnd : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid() && QDir::setCurrent(dir.path()));
        QVERIFY(makeVideo("clip.mp4") && makeClip("rotated.mp4", { "-i", "clip.mp4", "-c", "copy", "-metadata:s:v:0", "rotate=90" }));
        QVERIFY(QFile::copy("clip.mp4", "clip.TXT") && QFile::copy("clip.mp4", oddName) && mkfifo("pipe.mp4", 0600) == 0);
    }

    // The rotation as this ffprobe reports it swaps the sides; a video named .TXT is no media file.
    void probeClips()
    {
        QCOMPARE(probeSummary(FileProbe(dir.filePath("rotated.mp4")), false), "valid streams=2 video audio 120x160 ratio=0.75");
        QCOMPARE(probeSummary(FileProbe(dir.filePath("clip.TXT")), false), "streams=2");
    }

    // The real executable on relative names: nothing but the results on stdout, in argument order
    // whichever ends first. A named pipe, where the tool would wait for a writer, is never handed to it.
    void cli()
    {
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli", { "probe", "--jobs", "2", "--", oddName, "missing.mp4", "pipe.mp4" });
        QVERIFY(cli.waitForFinished(30000) && cli.exitCode() == 0);
        const QJsonArray results = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
        QCOMPARE(results.size(), 3);
        QCOMPARE(results[0].toObject().keys(), (QStringList { "bitRate", "duration", "fileFullPath", "fileFullURL", "fileSize", "fileSizeHuman",
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

QTEST_GUILESS_MAIN(TestProbeEndToEnd)
#include "TestProbeEndToEnd.moc"
