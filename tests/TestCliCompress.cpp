#include "cli/Cli.h"
#include "tools/Tools.h"

#include "CliTestSupport.h"
#include "TestSupport.h"

#include <QtTest>

using namespace TestSupport;

class TestCliCompress : public QObject
{
    Q_OBJECT

    // The current folder, with videos/2019/clip.mp4 (160x120, 1 s, stereo) and notes/todo.txt.
    QTemporaryDir m_work;

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg / ffprobe are not in the resources folder");
        QVERIFY(QDir::setCurrent(m_work.path()) && QDir().mkpath("videos/2019") && QDir().mkpath("notes"));
        QVERIFY(makeVideo("videos/2019/clip.mp4"));
        QFile notes("notes/todo.txt");
        QVERIFY(notes.open(QIODevice::WriteOnly) && notes.write("keep me\n") > 0);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments"); // after --output out
        QTest::addColumn<QString>("reason");
        const QString clip = "videos/2019/clip.mp4";
        QTest::newRow("size 0") << QStringList { "--size", "0", clip } << "--size must be a number from 1 to 100";
        QTest::newRow("resolution 101") << QStringList { "--resolution", "101", clip } << "--resolution must be a number from 1 to 100";
        QTest::newRow("target size above the smallest file") << QStringList { "--target-size", "1GB", clip } << "larger than the smallest file";
        QTest::newRow("no file") << QStringList {} << "no FILE given";
        QTest::newRow("passes 3") << QStringList { "--passes", "3", clip } << "--passes must be auto, 1 or 2";
        QTest::newRow("empty output folder, the root") << QStringList { "--output", "", clip } << "--output needs a folder";
        QTest::newRow("existing folder") << QStringList { "--output", "notes", clip } << "already exists; use --force";
        QTest::newRow("--force on a file") << QStringList { "--force", "--output", "notes/todo.txt", clip } << "is a file, not a folder";
        // Not even with --force, nor for a file that was refused: it is the user's all the same.
        QTest::newRow("folder above an input") << QStringList { "--force", "--output", "videos", clip }
                                               << "videos holds " + m_work.filePath(clip) + "; it cannot be the output folder";
        QTest::newRow("folder holding a refused file") << QStringList { "--force", "--output", "notes", clip, "notes/todo.txt" } << "holds";
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const CliRun run = runCli(QStringList { "compress", "--output", "out" } + arguments);
        QVERIFY2(run.status == Cli::usageError && run.err.contains(reason) && run.out.isEmpty(), qPrintable(describe(run)));
        QVERIFY(!QFileInfo::exists("out") && QFile::exists("videos/2019/clip.mp4") && QFile::exists("notes/todo.txt"));
    }

    // A relative name that looks like an option reaches the tools as an absolute path; the same
    // name twice is numbered; --verbose copies the lists to stderr; --passes 2 plans both passes.
    void dryRun()
    {
        QVERIFY(QFile::copy("videos/2019/clip.mp4", "-clip.mp4") && QFile::copy("videos/2019/clip.mp4", "videos/-clip.mp4"));
        const CliRun run = runCli({ "compress", "--dry-run", "--verbose", "--", "-clip.mp4", "videos/-clip.mp4" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        const QJsonArray lists = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(QJsonDocument::fromJson(run.err.section('\n', 0, 0).toUtf8()).array(), lists);
        QCOMPARE(lists.at(0)[1].toString(), m_work.filePath("-clip.mp4"));
        QCOMPARE(lists.at(1).toArray().last().toString(), m_work.filePath("Compressed Files/-clip (2).mp4"));
        QVERIFY(!QFileInfo::exists("Compressed Files"));
        const QJsonArray passes = QJsonDocument::fromJson(runCli({ "compress", "--dry-run", "--passes", "2", "--", "-clip.mp4" }).out.toUtf8()).array();
        QCOMPARE(passes.size(), 2);
        QCOMPARE(passes.at(1).toArray().last(), lists.at(0).toArray().last()); // the second pass writes the output
    }

    // Into a folder --force replaces: the planned size, stereo from 5.1, every output within its
    // target, the job's events alone on stderr. A fractal fits in one run; picture noise comes out
    // over its target at first and is encoded again in two passes.
    void realTranscoder()
    {
        QVERIFY(makeClip("stereo.mkv", { "-f", "lavfi", "-i", "mandelbrot=s=640x360:r=25", "-f", "lavfi", "-i",
                                         "sine=d=2,aformat=channel_layouts=stereo", "-t", "2", "-pix_fmt", "yuv420p", "-preset", "ultrafast" }));
        QVERIFY(makeClip("surround.mkv", { "-f", "lavfi", "-i", "testsrc=s=320x240:d=2,noise=alls=30:allf=t,format=yuv420p", "-f",
                                           "lavfi", "-i", "sine=d=2,aformat=channel_layouts=5.1", "-preset", "ultrafast" }));
        QVERIFY(QDir().mkpath("replaced/old"));
        const CliRun run = runCli({ "compress", "--json", "--force", "--resolution", "50", "--output", "replaced", "stereo.mkv", "surround.mkv" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        QStringList events;
        for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts)) {
            const QJsonDocument event = QJsonDocument::fromJson(line.toUtf8());
            QVERIFY2(event.isObject(), qPrintable(line));
            if (event["event"] != "progress")
                events << event["event"].toString() + ' ' + QString::number(event["row"].toInt(-1));
        }
        events.removeDuplicates(); // the noise may need a corrected bitrate too
        QCOMPARE(events, (QStringList { "rowStarted 0", "rowFinished 0", "rowStarted 1", "attemptStarted 1", "rowFinished 1", "finished -1" }));
        const QJsonArray files = QJsonDocument::fromJson(run.out.toUtf8())["files"].toArray();
        const QStringList expected { "320x180 stereo, 1 pass", "160x120 stereo, 2 passes" };
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const double ratio = files[i]["ratio"].toDouble();
            QVERIFY2(ratio <= 1 && ratio > 0.8, qPrintable(files[i]["input"].toString() + ": " + QString::number(ratio)));
            const QJsonValue probe = probeOf(files[i]["output"].toString());
            QCOMPARE(QString("%1x%2 %3, %4").arg(probe["videoWidth"].toInt()).arg(probe["videoHeight"].toInt())
                         .arg(probe["hasAudioTrack"].toBool() && !probe["hasAudioTrackWhichHasMoreThanTwoChannels"].toBool() ? "stereo" : "?",
                              files[i]["passes"] == 1 ? "1 pass" : "2 passes"),
                     expected[i]);
        }
        QCOMPARE(QDir("replaced").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), (QStringList { "stereo.mp4", "surround.mp4" }));
    }

    // HLG (10-bit, BT.2020) as phones record it comes out as 8-bit BT.709 with a mid-grey that
    // stays mid-grey; interlaced MPEG-2 as camcorders make it comes out progressive.
    void hdrAndInterlaced()
    {
        QVERIFY(makeClip("hlg.mkv", { "-f", "lavfi", "-i", "color=c=0x616161:s=320x240:r=25:d=1", // 38 % signal: HLG's 18 % grey
                                      "-pix_fmt", "yuv420p10le", "-c:v", "libx265", "-x265-params",
                                      "log-level=error:colorprim=bt2020:transfer=arib-std-b67:colormatrix=bt2020nc",
                                      "-color_primaries", "bt2020", "-color_trc", "arib-std-b67", "-colorspace", "bt2020nc" }));
        QVERIFY(makeClip("fields.mpg", { "-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=1", "-c:v", "mpeg2video",
                                         "-flags", "+ilme+ildct", "-top", "1", "-b:v", "2M" }));
        QVERIFY(probeOf("hlg.mkv")["isHDR"].toBool() && probeOf("fields.mpg")["isInterlaced"].toBool());
        // The grey clip is tiny: sizes are not what this is about.
        const CliRun run = runCli({ "compress", "--passes", "1", "--size", "100", "--output", "sources", "hlg.mkv", "fields.mpg" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        const QJsonValue hlg = probeOf("sources/hlg.mp4");
        QCOMPARE(QStringList({ hlg["videoTransfer"].toString(), hlg["videoPrimaries"].toString(), hlg["videoMatrix"].toString(),
                               QString::number(hlg["videoBitDepth"].toInt()) }).join(' '), QString("bt709 bt709 bt709 8"));
        const auto tool = [](const QStringList &arguments) {
            QProcess ffmpeg;
            ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
            ffmpeg.start(realTool(Tools::creator), QStringList { "-nostdin", "-v", "info" } + arguments + QStringList { "-f", "null", "-" });
            ffmpeg.waitForFinished(60000);
            return QString::fromUtf8(ffmpeg.readAll());
        };
        // Not washed out: BT.709's mid-grey is a luma near 106 (16-235).
        const QString stats = tool({ "-i", "sources/hlg.mp4", "-vf", "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-" });
        const QRegularExpressionMatch luma = QRegularExpression("YAVG=([0-9.]+)").match(stats);
        QVERIFY2(luma.hasMatch() && qAbs(luma.captured(1).toDouble() - 106) < 12, qPrintable(luma.captured(1)));
        // Frames, not fields: the field detector, which finds fields in every frame of the input, finds few here.
        const QString fields = tool({ "-i", "sources/fields.mp4", "-vf", "idet" });
        const QRegularExpressionMatch found = QRegularExpression("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)").match(fields);
        QVERIFY2(found.hasMatch() && (found.captured(1).toInt() + found.captured(2).toInt()) * 3 < found.captured(3).toInt(),
                 qPrintable(found.captured(0)));
    }

private:
    static QJsonValue probeOf(const QString &file) { return QJsonDocument::fromJson(runCli({ "probe", file }).out.toUtf8())[0]; }
};

QTEST_GUILESS_MAIN(TestCliCompress)
#include "TestCliCompress.moc"
