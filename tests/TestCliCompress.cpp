#include "cli/Cli.h"
#include "tools/Tools.h"

#include "CliTestSupport.h"
#include "TestSupport.h"

#include <QtTest>

class TestCliCompress : public QObject
{
    Q_OBJECT

    // The current folder, with videos/2019/clip.mp4 (160x120, 1 s, stereo) and notes/todo.txt.
    QTemporaryDir m_work;

private slots:
    void initTestCase()
    {
        if (!QFileInfo(TestSupport::realTool(Tools::creator)).isExecutable() || !QFileInfo(TestSupport::realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg / ffprobe are not in the resources folder");
        QVERIFY(QDir::setCurrent(m_work.path()) && QDir().mkpath("videos/2019") && QDir().mkpath("notes"));
        QVERIFY(TestSupport::makeVideo("videos/2019/clip.mp4"));
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
        // Not even with --force, nor for a file that was refused: it is the user's all the same.
        QTest::newRow("folder above an input") << QStringList { "--force", "--output", "videos", clip } << "holds";
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

    // A relative name that looks like an option reaches the tools as an absolute
    // path; the same name twice is numbered; --verbose copies the lists to stderr.
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
        // With two passes from the start: both lists of each row, the first without audio into a working file.
        const CliRun twoPasses = runCli({ "compress", "--dry-run", "--passes", "2", "--", "-clip.mp4", "videos/-clip.mp4" });
        const QJsonArray passes = QJsonDocument::fromJson(twoPasses.out.toUtf8()).array();
        QCOMPARE(passes.size(), 4);
        const QStringList first = passes.at(0).toVariant().toStringList(), second = passes.at(1).toVariant().toStringList();
        QCOMPARE(first.mid(first.indexOf("-an"), 3), (QStringList { "-an", "-pass", "1" }));
        QCOMPARE(second.mid(second.size() - 6), (QStringList { "-pass", "2", "-passlogfile", first.at(first.indexOf("-passlogfile") + 1),
                                                                "-y", lists.at(0).toArray().last().toString() }));
        QCOMPARE(second.mid(0, second.size() - 6), lists.at(0).toVariant().toStringList().mid(0, second.size() - 6));
    }

    // Into a folder --force replaces: the planned size, stereo from 5.1, and every output within its target.
    // A fractal fits in one run; picture noise comes out over its target at first and is encoded again in
    // two passes.
    void realTranscoder()
    {
        QVERIFY(TestSupport::makeClip("stereo.mkv", { "-f", "lavfi", "-i", "mandelbrot=s=640x360:r=25", "-f", "lavfi", "-i",
                                                      "sine=d=2,aformat=channel_layouts=stereo", "-t", "2", "-pix_fmt", "yuv420p", "-preset", "ultrafast" }));
        QVERIFY(TestSupport::makeClip("surround.mkv", { "-f", "lavfi", "-i", "testsrc=s=320x240:d=2,noise=alls=30:allf=t,format=yuv420p", "-f",
                                                        "lavfi", "-i", "sine=d=2,aformat=channel_layouts=5.1", "-preset", "ultrafast" }));
        QVERIFY(QDir().mkpath("replaced/old"));
        const CliRun run = runCli({ "compress", "--json", "--force", "--resolution", "50", "--output", "replaced", "stereo.mkv", "surround.mkv" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        QVERIFY(!QFileInfo::exists("replaced/old"));
        // The job's events alone on stderr, the summary on stdout; progress never goes back.
        QStringList events;
        double percent = -1;
        for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts)) {
            const QJsonDocument event = QJsonDocument::fromJson(line.toUtf8());
            QVERIFY2(event.isObject(), qPrintable(line));
            if (event["event"] == "progress") {
                QVERIFY2(event["percent"].toDouble() > percent, qPrintable(line));
                percent = event["percent"].toDouble();
            } else if (event["event"] != "attemptStarted") {
                events << event["event"].toString() + ' ' + QString::number(event["row"].toInt(-1));
            } else {
                QVERIFY2(event["row"] == 1 && event["reason"].toString().contains("two passes"), qPrintable(line));
            }
        }
        QCOMPARE(events, (QStringList { "rowStarted 0", "rowFinished 0", "rowStarted 1", "rowFinished 1", "finished -1" }));
        QCOMPARE(percent, 100.0);
        const QJsonArray files = QJsonDocument::fromJson(run.out.toUtf8())["files"].toArray();
        QCOMPARE(files.size(), 2);
        const QStringList sizes { "320x180", "160x120" };
        for (qsizetype i = 0; i < 2; ++i) {
            const double ratio = files[i]["ratio"].toDouble();
            QVERIFY2(ratio <= 1 && ratio > 0.8, qPrintable(files[i]["input"].toString() + ": " + QString::number(ratio)));
            const QJsonValue probe = QJsonDocument::fromJson(runCli({ "probe", files[i]["output"].toString() }).out.toUtf8())[0];
            QCOMPARE(QString("%1x%2").arg(probe["videoWidth"].toInt()).arg(probe["videoHeight"].toInt()), sizes[i]);
            QVERIFY(probe["hasAudioTrack"].toBool() && !probe["hasAudioTrackWhichHasMoreThanTwoChannels"].toBool());
        }
        QVERIFY(files[0]["passes"] == 1 && files[1]["passes"] == 2 && files[1]["attempts"].toInt() >= 2);
        QCOMPARE(QDir("replaced").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), (QStringList { "stereo.mp4", "surround.mp4" }));
    }

    // Sources as phones and camcorders make them: HLG and PQ (10-bit, BT.2020) come out as 8-bit BT.709
    // with a mid-grey that stays mid-grey; interlaced MPEG-2 comes out progressive; an ordinary clip
    // passes untouched.
    void hdrAndInterlaced()
    {
        const QString grey = "color=c=0x616161:s=320x240:r=25:d=1"; // 38 % signal: HDR's 18 % grey
        const auto hdr = [&](const QString &transfer) {
            return QStringList { "-f", "lavfi", "-i", grey, "-pix_fmt", "yuv420p10le", "-c:v", "libx265", "-x265-params",
                                 "log-level=error:colorprim=bt2020:transfer=" + transfer + ":colormatrix=bt2020nc",
                                 "-color_primaries", "bt2020", "-color_trc", transfer, "-colorspace", "bt2020nc" };
        };
        QVERIFY(TestSupport::makeClip("hlg.mkv", hdr("arib-std-b67")) && TestSupport::makeClip("pq.mkv", hdr("smpte2084")));
        QVERIFY(TestSupport::makeClip("fields.mpg", { "-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=1", "-c:v", "mpeg2video",
                                                      "-flags", "+ilme+ildct", "-top", "1", "-b:v", "2M" }));
        const QStringList names { "hlg", "pq", "fields", "clip" };
        const QStringList inputs { "hlg.mkv", "pq.mkv", "fields.mpg", "videos/2019/clip.mp4" };
        const QJsonArray probes = QJsonDocument::fromJson(runCli(QStringList { "probe" } + inputs).out.toUtf8()).array();
        QStringList seen;
        for (const QJsonValue &probe : probes)
            seen << QString("%1 %2 %3 %4").arg(probe["videoTransfer"].toString(), probe["videoFieldOrder"].toString())
                        .arg(probe["isHDR"].toBool() ? "HDR" : "SDR", probe["isInterlaced"].toBool() ? "interlaced" : "progressive");
        QCOMPARE(seen, (QStringList { "arib-std-b67 progressive HDR progressive", "smpte2084 progressive HDR progressive",
                                      " tt SDR interlaced", " progressive SDR progressive" }));
        QCOMPARE(probes[0]["videoBitDepth"].toInt(), 10);

        // The grey clips are tiny: sizes are not what this is about.
        const CliRun run = runCli(QStringList { "compress", "--passes", "1", "--size", "100", "--output", "sources" } + inputs);
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        const auto tool = [](const QStringList &arguments) {
            QProcess ffmpeg;
            ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
            ffmpeg.start(TestSupport::realTool(Tools::creator), QStringList { "-nostdin", "-v", "info" } + arguments);
            ffmpeg.waitForFinished(60000);
            return QString::fromUtf8(ffmpeg.readAll());
        };
        for (const QString &name : names.mid(0, 2)) {
            const QJsonValue out = QJsonDocument::fromJson(runCli({ "probe", "sources/" + name + ".mp4" }).out.toUtf8())[0];
            QCOMPARE(out["videoTransfer"].toString() + ' ' + out["videoPrimaries"].toString() + ' ' + out["videoMatrix"].toString()
                         + ' ' + QString::number(out["videoBitDepth"].toInt()),
                     QString("bt709 bt709 bt709 8"));
            // Not washed out: BT.709's mid-grey is a luma near 106 (16-235).
            const QString stats = tool({ "-i", "sources/" + name + ".mp4", "-vf", "signalstats,metadata=print:key=lavfi.signalstats.YAVG:file=-",
                                         "-f", "null", "-" });
            QRegularExpressionMatch luma = QRegularExpression("YAVG=([0-9.]+)").match(stats);
            QVERIFY2(luma.hasMatch() && qAbs(luma.captured(1).toDouble() - 106) < 12, qPrintable(name + ": " + luma.captured(1)));
        }
        // Frames, not fields: the field detector, which finds fields in every frame of the input, finds few here.
        const QString fields = tool({ "-i", "sources/fields.mp4", "-vf", "idet", "-f", "null", "-" });
        const QRegularExpressionMatch found = QRegularExpression("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)").match(fields);
        QVERIFY2(found.hasMatch() && (found.captured(1).toInt() + found.captured(2).toInt()) * 3 < found.captured(3).toInt(),
                 qPrintable(found.captured(0)));
        QCOMPARE(QDir("sources").entryList(QDir::Files).size(), 4);
    }

    // Ctrl-C, sent mid-run by the fake transcoder, stops at once and removes the folder.
    void interrupted()
    {
        const TestSupport::FakeTools tools(QString("kill -INT $PPID\nfor i in $(seq 100); do sleep 0.1; done"));
        const QDeadlineTimer deadline(5000); // the fake alone takes 10 s
        const CliRun run = runCli({ "compress", "--output", "stopped", "videos/2019/clip.mp4" });
        QVERIFY2(run.status == Cli::cancelled && run.out.isEmpty(), qPrintable(describe(run)));
        QVERIFY(!deadline.hasExpired() && !QFileInfo::exists("stopped"));
    }
};

QTEST_GUILESS_MAIN(TestCliCompress)
#include "TestCliCompress.moc"
