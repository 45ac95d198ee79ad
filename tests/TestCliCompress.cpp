// veltrane-cli compress end to end: each case checks what the user is told and that nothing of theirs was lost.
#include "cli/CompressOptions.h"
#include "tools/Tools.h"

#include "CliTestSupport.h"

#include <csignal>
#include <unistd.h>

using namespace TestSupport;

namespace {

// A transcoder that logs its process id, reports a little progress and then sleeps: a run to interrupt.
const QString sleeper = "echo $$ >> \"$RUNS\"\necho 'frame= 1 time=00:00:00.10' >&2\nexec sleep 30";

// The real executable as a user other than root, who reads every file whatever its mode; nothing when that cannot run.
std::optional<CliRun> runAsNobody(const QStringList &arguments)
{
    const QStringList asNobody { "--reuid=65534", "--regid=65534", "--clear-groups", "--" };
    // A build in a folder only root may enter (mktemp -d) keeps the tools from nobody too.
    if (QProcess::execute("setpriv", asNobody + QStringList { "test", "-x", realTool(Tools::sniffer) }) != 0)
        return std::nullopt;
    QProcess cli;
    cli.setWorkingDirectory("/");
    cli.start("setpriv", asNobody + QStringList { QCoreApplication::applicationDirPath() + "/veltrane-cli" } + arguments);
    if (!cli.waitForFinished(30000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() > 2)
        return std::nullopt;
    return CliRun { cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()), QString::fromUtf8(cli.readAllStandardError()) };
}

// codec: the output's, as the probe names it; says: part of the reason of an event, where given.
struct FormatCase { QStringList options; QString encoder, codec, clip, says; };
// creator, sniffer: the fakes' bodies, where empty none and the real probe; message: on stdout or stderr, %1 the current
// folder; made: out/ exists afterwards, empty, and the transcoder ran.
struct CliCase { QString creator, sniffer, output, message; bool made; };
// names: in m_inputs; planned: the inputs of the planned lists, in order; refusal: of the last name, if refused.
struct InputsCase { QStringList names, planned; QString refusal; };

}

class TestCliCompress : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work; // the current folder: clip.mp4 (160x120, 1 s, stereo) and notes/todo.txt
    QTemporaryDir m_inputs; // folders to name, open to every user

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg / ffprobe are not in the resources folder");
        QVERIFY(QDir::setCurrent(m_work.path()) && makeVideo("clip.mp4") && writeFile("notes/todo.txt", {}));
        QVERIFY(QFile::setPermissions(m_inputs.path(), QFile::permissions(m_inputs.path()) | QFile::ReadOther | QFile::ExeOther));
        for (const char *name : { "vids/B.mp4", "vids/a.mp4", "vids/sub/c.mp4", "vids/.d.mp4", "vids/.cache/e.mp4", "locked.mp4" })
            QVERIFY(QDir().mkpath(QFileInfo(m_inputs.filePath(name)).path()) && QFile::copy("clip.mp4", m_inputs.filePath(name)));
        QVERIFY(QFile::setPermissions(m_inputs.filePath("locked.mp4"), {}));
    }
    void cleanup()
    {
        QDir("out").removeRecursively();
        // Nothing of the user's was touched, and nothing was left behind.
        QVERIFY(QFileInfo("clip.mp4").size() > 0 && entries("notes") == QStringList { "todo.txt" });
        QVERIFY2(entries(".").filter(QRegularExpression("^\\.")).isEmpty(), qPrintable(entries(".").join(", ")));
    }

    // Every option and unit, parsed alone: what it sets, or the usage error it gives.
    void options()
    {
        // expected: "target B", "size P resolution R passes P", or the error's start
        const auto check = [](const QStringList &arguments, const QString &expected) {
            QString out, err;
            QTextStream outStream(&out), errStream(&err);
            const auto parsed = Cli::parseCompressOptions(arguments + QStringList { "clip.mp4" }, outStream, errStream);
            errStream.flush();
            if (const auto *options = std::get_if<Cli::CompressOptions>(&parsed)) {
                const QString target = options->targetBytes ? QString("target %1").arg(*options->targetBytes)
                                                            : QString("size %1 resolution %2 passes %3").arg(options->target.bytes(100)).arg(options->choices.resolutionPercent).arg(int(options->passes));
                QCOMPARE(arguments.join(' ') + ": " + target, arguments.join(' ') + ": " + expected);
            } else {
                QVERIFY2(std::get<int>(parsed) == Cli::usageError && err.startsWith("veltrane-cli compress: " + expected), qPrintable(err));
            }
        };
        check({}, "size 55 resolution 100 passes 0");
        const std::pair<const char *, const char *> sizes[] = {
            { "8MB", "target 8000000" }, { "750KB", "target 750000" }, { "1.5GB", "target 1500000000" },
            { "10MiB", "target 10485760" }, { "25M", "target 25000000" }, { "2 kib", "target 2048" },
            { "123456", "target 123456" }, { "64B", "target 64" }, { "10MiBs", "--target-size must be a size such as 8MB, 10MiB" },
            { "10 Mb/s", "--target-size must be" }, { "0", "--target-size must be" }, { "-5MB", "--target-size must be" },
        };
        for (const auto &[size, expected] : sizes)
            check({ "--target-size", size }, expected);
        check({ "--size", "100" }, "size 100 resolution 100 passes 0");
        check({ "--size", "0" }, "--size must be a number from 1 to 100");
        check({ "--size", "5", "--target-size", "1MB" }, "--size and --target-size cannot be used together");
        check({ "--resolution", "50", "--passes", "2" }, "size 55 resolution 50 passes 2");
        check({ "--resolution", "101" }, "--resolution must be auto or a number from 1 to 100");
        check({ "--codec", "vp9" }, "--codec must be h264, h265 or av1");
        check({ "--audio", "loud" }, "--audio must be auto or planned");
        check({ "--passes", "3" }, "--passes must be auto, 1 or 2");
        check({ "--tone-map", "on" }, "--tone-map must be auto or off");
        check({ "--output", "" }, "--output needs a folder"); // an empty folder would be the root
    }

    // What can only be told once the files are known, and the output folders never made or replaced.
    void usageErrors()
    {
        const auto check = [](const QStringList &arguments, const QString &reason) { // after --output out
            const CliRun run = runCli(QStringList { "compress", "--output", "out" } + arguments);
            QVERIFY2(run.status == Cli::usageError && run.err.contains(reason) && run.out.isEmpty(), qPrintable(describe(run)));
            QVERIFY(!QFileInfo::exists("out"));
        };
        check({}, "no FILE given");
        check({ "--output", "notes", "clip.mp4" }, "already exists; use --force");
        check({ "--force", "--output", "notes/todo.txt", "clip.mp4" }, "is a file, not a folder");
        // Not even with --force, nor for a file that was refused: it is the user's all the same.
        check({ "--force", "--output", ".", "clip.mp4" }, "“" + m_work.path() + "” holds “" + m_work.filePath("clip.mp4") + "”; it cannot be the output folder");
        check({ "--force", "--output", "notes", "clip.mp4", "notes/todo.txt" }, "holds");
    }

    // A name that looks like an option reaches the tools as an absolute path; --verbose copies the lists to stderr.
    void dryRun()
    {
        QVERIFY(QFile::copy("clip.mp4", "-clip.mp4"));
        const CliRun run = runCli({ "compress", "--dry-run", "--verbose", "--passes", "1", "--", "-clip.mp4" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        const QJsonArray lists = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QCOMPARE(QJsonDocument::fromJson(run.err.section('\n', 0, 0).toUtf8()).array(), lists);
        QCOMPARE(lists.at(0)[1].toString(), m_work.filePath("-clip.mp4"));
        QCOMPARE(lists.at(0).toArray().last().toString(), m_work.filePath("Compressed Files/-clip.mp4"));
        QVERIFY(!QFileInfo::exists("Compressed Files"));
        const QJsonArray passes = QJsonDocument::fromJson(runCli({ "compress", "--dry-run", "--passes", "2", "--", "-clip.mp4" }).out.toUtf8()).array();
        QCOMPARE(passes.size(), 2);
        QCOMPARE(passes.at(1).toArray().last(), lists.at(0).toArray().last()); // the second pass writes the output
    }

    // Each format by the real encoder into a folder --force replaces: fitted, stereo from 5.1, the events alone on stderr.
    void formats_data()
    {
        QTest::addColumn<FormatCase>("row");
        QTest::newRow("H.264, automatic picture, two passes") << FormatCase { { "--resolution", "auto", "--passes", "2" }, "libx264", "h264", "textured", "" };
        QTest::newRow("H.265 at half the size") << FormatCase { { "--codec", "h265", "--resolution", "50" }, "libx265", "hevc", "textured", "" };
        QTest::newRow("AV1") << FormatCase { { "--codec", "av1" }, "libsvtav1", "av1", "textured", "" };
        QTest::newRow("H.264, automatic picture of still pictures") << FormatCase { { "--resolution", "auto" }, "libx264", "h264", "still",
                                                                                   "still pictures sampled at constant quality" };
        QTest::newRow("AV1 of still pictures") << FormatCase { { "--codec", "av1" }, "libsvtav1", "av1", "still", "again at constant quality (CRF " };
    }
    void formats()
    {
        QFETCH(const FormatCase, row);
        const auto &[options, encoder, codec, clip, says] = row;
        QProcess encoders;
        encoders.start("ffmpeg", { "-hide_banner", "-encoders" });
        QVERIFY(encoders.waitForFinished(10000));
        if (!encoders.readAllStandardOutput().contains(' ' + encoder.toLatin1() + ' '))
            QSKIP(qPrintable("this ffmpeg has no " + encoder));
        if (!QFileInfo::exists("textured.mkv"))
            QVERIFY(makeClip("textured.mkv", { "-f", "lavfi", "-i", "testsrc2=s=480x270:r=30:d=3,noise=alls=8:allf=t", "-f", "lavfi", "-i",
                                               "sine=d=3,aformat=channel_layouts=5.1", "-pix_fmt", "yuv420p", "-preset", "ultrafast" }));
        if (!QFileInfo::exists("still.mkv"))
            QVERIFY(makeClip("still.mkv", { "-f", "lavfi", "-i", "testsrc2=s=480x270:r=30:d=3,trim=end_frame=1,loop=loop=89:size=1", "-f", "lavfi", "-i",
                                            "sine=d=3,aformat=channel_layouts=5.1", "-pix_fmt", "yuv420p", "-preset", "ultrafast", "-qp", "0", "-g", "1" }));
        const QString output = "formats-" + encoder;
        QVERIFY(QDir().mkpath(output + "/old"));
        const CliRun run = runCli(QStringList { "compress", "--json", "--force", "--size", "30", "--output", output } + options + QStringList { clip + ".mkv" });
        QVERIFY2(run.err.contains(says), qPrintable(describe(run)));
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        QJsonObject planned;
        QStringList events;
        for (const QString &line : run.err.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
            QVERIFY2(!event.isEmpty(), qPrintable(line));
            // Another encode, to fit or to spend what was left, depends on the encoder's landing.
            if (event["event"] != "progress" && event["event"] != "attemptStarted")
                events << event["event"].toString() + ' ' + QString::number(event["row"].toInt(-1));
            if (event["event"] == "rowPlanned")
                planned = event;
            // Outcomes are tokens a program can compare; the prose is the reason.
            if (event["event"] == "rowFinished")
                QCOMPARE(event["outcome"].toString(), "compressed");
        }
        QCOMPARE(events, (QStringList { "rowStarted 0", "rowPlanned 0", "rowFinished 0", "finished -1" }));
        QCOMPARE(planned["codec"].toString(), options.contains("--codec") ? options[1] : "h264");
        QVERIFY2(planned["bitsPerPixel"].toDouble() > 0 && !planned["summary"].toString().isEmpty(), qPrintable(describe(run)));
        QCOMPARE(planned["automaticPicture"].toBool(), options.contains("auto"));
        const QJsonValue file = QJsonDocument::fromJson(run.out.toUtf8())["files"][0];
        // A still picture may have no use for all of the target.
        QVERIFY2(file["ratio"].toDouble() <= 1 && file["ratio"].toDouble() > (clip == "still" ? 0.1 : 0.8), qPrintable(describe(run)));
        const QJsonValue probe = probeOf(file["output"].toString());
        QCOMPARE(probe["tracksInfo"][0]["trackCodec"].toString(), codec);
        QCOMPARE(probe["videoWidth"].toInt(), planned["width"].toInt());
        QVERIFY(probe["hasAudioTrack"].toBool() && !probe["hasAudioTrackWhichHasMoreThanTwoChannels"].toBool());
        QCOMPARE(entries(output), QStringList { clip + ".mp4" });
    }

    // A picture too small for the format's encoder is refused as such, not left to SVT-AV1 to refuse or x265 to abort on; nor chosen.
    void tooSmallForFormat()
    {
        QVERIFY(makeClip("tiny.mkv", { "-f", "lavfi", "-i", "testsrc2=s=66x40:r=25:d=2", "-pix_fmt", "yuv420p" }));
        const CliRun av1 = runCli({ "compress", "--json", "--codec", "av1", "--resolution", "auto", "--output", "tiny-av1", "tiny.mkv" });
        QVERIFY2(av1.status == Cli::failure, qPrintable(describe(av1)));
        const QJsonValue refused = QJsonDocument::fromJson(av1.out.toUtf8())["files"][0];
        QCOMPARE(refused["outcome"].toString(), "failed");
        QVERIFY2(refused["reason"].toString().startsWith("the picture is too small for this format"), qPrintable(describe(av1)));
        QCOMPARE(refused["attempts"].toInt(), 0);
        // x265 aborted at the 34×20 the choice took here.
        const CliRun h265 = runCli({ "compress", "--json", "--codec", "h265", "--resolution", "auto", "--size", "60", "--output", "tiny-h265", "tiny.mkv" });
        const QJsonValue file = QJsonDocument::fromJson(h265.out.toUtf8())["files"][0];
        QVERIFY2(file["outcome"].toString() != "failed", qPrintable(describe(h265)));
        QCOMPARE(probeOf(file["output"].toString())["videoWidth"].toInt(), 66);
    }

    // Files already under the size are never grown: copied as they are where an .mp4 takes their streams.
    void alreadyFits()
    {
        for (const auto &[name, sound] : { std::pair("fits.mkv", "aac"), std::pair("opus.mkv", "libopus") })
            QVERIFY(makeClip(name, { "-f", "lavfi", "-i", "testsrc2=s=320x240:r=25:d=2", "-f", "lavfi", "-i", "sine=d=2", "-pix_fmt", "yuv420p", "-c:a", sound }));
        const CliRun run = runCli({ "compress", "--json", "--target-size", "10MiB", "--output", "fit", "fits.mkv", "opus.mkv" });
        QVERIFY2(run.status == Cli::success, qPrintable(describe(run)));
        const QJsonArray files = QJsonDocument::fromJson(run.out.toUtf8())["files"].toArray();
        for (const QString input : { "fits.mkv", "opus.mkv" }) {
            const QJsonValue file = files[input == "fits.mkv" ? 0 : 1];
            QCOMPARE(file["outcome"].toString(), "compressed");
            QCOMPARE(file["targetSize"].toInteger(), 10'485'760);
            QCOMPARE(file["copied"].toBool(), input == "fits.mkv");
            QVERIFY2(file["size"].toInteger() <= QFileInfo(input).size() * 1.02, qPrintable(describe(run)));
            QCOMPARE(probeOf(file["output"].toString())["tracksInfo"][1]["trackCodec"].toString(), "aac");
        }
    }

    // Phones' HLG comes out as 8-bit BT.709, mid-grey still mid-grey; camcorders' interlaced MPEG-2 as frames.
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

    // Missing or failing tools, a folder that cannot be made: told why; the transcoder runs only into a folder made for it.
    void cli_data()
    {
        QTest::addColumn<CliCase>("row");
        QTest::newRow("no probe tool") << CliCase { sleeper, "MISSING", "out", "the probe tool (sniffer) was not found in ", false };
        QTest::newRow("no transcoder") << CliCase { "", "", "out", "the transcoder (creator) was not found in ", false };
        QTest::newRow("no parent folder") << CliCase { sleeper, "", "missing/out", "could not create “%1/missing/out”: No such file or directory", false };
        // Its last lines go under the failure, progress lines left out.
        QTest::newRow("a transcoder that fails") << CliCase { "echo $$ >> \"$RUNS\"\necho 'frame= 1 time=00:00:00.10' >&2\necho 'Conversion failed!' >&2\nexit 1",
                                                             "", "out", "%1/clip.mp4: the transcoder reported an error\n    Conversion failed!\n", true };
    }
    void cli()
    {
        QFETCH(const CliCase, row);
        const auto &[creator, sniffer, output, message, made] = row;
        const FakeTools tools(creator.isEmpty() ? std::optional<QString>() : creator, sniffer.isEmpty() ? std::optional<QString>() : sniffer);
        if (sniffer == "MISSING")
            QFile::remove(tools.path() + "/sniffer");
        // Short only for the probe that hangs: a real probe may need more on a busy machine.
        const ScopedEnvironment bound("VELTRANE_TOOL_TIMEOUT_MS", sniffer.contains("sleep") ? std::optional<QString>("1000") : std::nullopt);
        const CliRun run = runCli({ "compress", "--output", output, "clip.mp4" });
        QVERIFY2(run.status == Cli::failure && (run.out + run.err).contains(QString(message).replace("%1", QDir::currentPath())), qPrintable(describe(run)));
        QVERIFY(QFileInfo::exists("out") == made && entries("out").isEmpty());
        QCOMPARE(tools.runs().size(), made ? 1 : 0);
    }

    // A folder brings its files in place, as a drop on the window does; a file that may not be read is refused.
    void inputs_data()
    {
        QTest::addColumn<InputsCase>("row");
        const QStringList vids { "vids/a.mp4", "vids/B.mp4", "vids/sub/c.mp4" };
        QTest::newRow("folder after a file, in place") << InputsCase { QStringList { "vids/sub/c.mp4", "vids/" }, QStringList { "vids/sub/c.mp4" } + vids, QString() };
        QTest::newRow("unreadable file") << InputsCase { QStringList { "vids", "locked.mp4" }, vids, "permission denied" };
    }
    void inputs()
    {
        QFETCH(const InputsCase, row);
        const auto &[names, planned, refusal] = row;
        QStringList arguments { "compress", "--dry-run", "--output", m_work.filePath("out") };
        for (const QString &name : names)
            arguments << m_inputs.filePath(name);
        std::optional<CliRun> run = runCli(arguments);
        if (names.contains("locked.mp4") && ::geteuid() == 0 && !(run = runAsNobody(arguments)))
            QSKIP("root reads every file, and setpriv could not run veltrane-cli and its tools as nobody");
        QVERIFY2(run->status == (refusal.isEmpty() ? Cli::success : Cli::failure), qPrintable(describe(*run)));
        QStringList inputs;
        for (const QJsonValue &list : QJsonDocument::fromJson(run->out.toUtf8()).array())
            inputs << QDir(m_inputs.path()).relativeFilePath(list[1].toString());
        QCOMPARE(inputs, planned);
        QCOMPARE(run->err, refusal.isEmpty() ? QString() : "veltrane-cli compress: refused " + m_inputs.filePath(names.last()) + ": " + refusal + "\n");
    }

    // A signal stops the batch, leaves the folder it was to replace as it was, and gives its own status; a kill's
    // tools die with it. Ctrl-Z stops the tool too: it runs in a group of its own, out of the terminal's reach.
    void cliSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
        QTest::newRow("SIGKILL") << int(SIGKILL) << 0;
        // Sent by the tool itself as it starts: a stop at that moment still takes it along.
        QTest::newRow("SIGTSTP, SIGCONT, then SIGINT") << int(SIGTSTP) << 130;
    }
    void cliSignals()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        const FakeTools tools(signal == SIGTSTP ? QString(sleeper).replace("exec", "kill -TSTP $PPID\nexec") : sleeper);
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli", { "compress", "--force", "--output", "notes", "clip.mp4" });
        QTRY_COMPARE_WITH_TIMEOUT(tools.runs().size(), 1, 10000);
        if (signal == SIGTSTP) {
            const auto stopped = [](qint64 pid) { return processState(pid) == 'T'; };
            for (const auto &[each, expected] : { std::pair(0, true), std::pair(SIGCONT, false) }) {
                if (each)
                    ::kill(pid_t(cli.processId()), each);
                QTRY_COMPARE_WITH_TIMEOUT(stopped(tools.runs().first().toLongLong()), expected, 5000);
                QTRY_COMPARE_WITH_TIMEOUT(stopped(cli.processId()), expected, 5000);
            }
            signal = SIGINT;
        }
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(5000));
        if (signal == SIGKILL) {
            // Nothing could be cleaned up: the folder is as it was, the work beside it goes at the next start.
            QVERIFY(QFileInfo::exists(".notes.veltrane-partial"));
            const CliRun next = runCli({ "compress", "--dry-run", "clip.mp4" });
            QVERIFY2(next.err.contains("“" + m_work.filePath("notes") + "” was stopped before it finished; its unfinished files were removed"),
                     qPrintable(describe(next)));
        } else {
            const QString err = QString::fromUtf8(cli.readAllStandardError());
            QVERIFY(err.contains(m_work.filePath("notes") + " is as it was"));
            QVERIFY2(!err.contains("100%"), qPrintable(err)); // a cancelled batch is not done
            QCOMPARE(cli.exitCode(), status);
        }
        QTRY_VERIFY_WITH_TIMEOUT(tools.allGone(), 3000);
    }

    // A name whose bytes are not UTF-8 is refused for that reason, not as missing.
    void nameNotUtf8()
    {
        QProcess shell;
        shell.start("/bin/sh", { "-c", "name=\"$(printf 'bad\\377\\376').mp4\"; cp clip.mp4 \"$name\"; \"$1\" compress --output out \"$name\"; "
                                       "status=$?; rm \"$name\"; exit $status", "sh", QCoreApplication::applicationDirPath() + "/veltrane-cli" });
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 1);
        QVERIFY(QString::fromUtf8(shell.readAllStandardError()).contains(": the name is not valid UTF-8"));
    }
private:
    static QJsonValue probeOf(const QString &file) { return QJsonDocument::fromJson(runCli({ "probe", file }).out.toUtf8())[0]; }
};

QTEST_GUILESS_MAIN(TestCliCompress)
#include "TestCliCompress.moc"
