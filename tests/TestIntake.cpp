#include "CliTestSupport.h"
#include "WindowTestSupport.h"

#include "filelist/RowRecord.h"
#include "tools/Tools.h"
#include "util/PrivateFolder.h"

#include <sys/stat.h>

using namespace TestSupport;
using namespace WindowTest;

namespace {

// Fake tools that end after the delay beside their file (later files finish first), logging how many runs are going on.
QString delayed(const QString &answer)
{
    return "touch \"$RUNS.$$\"\nset -- \"$RUNS\".*\necho \"$#\" >> \"$RUNS\"\n" + answer + "\nsleep \"$(cat \"$f.delay\")\"\nrm -f \"$RUNS.$$\"";
}
// The probe answers with the report beside its file, the thumbnail run with the picture beside its input.
const QString sniffer = "for f; do :; done\n" + delayed("cat \"$f.json\"");
const QString creator = "while [ $# -gt 0 ]; do [ \"$1\" = -i ] && f=$2; out=$1; shift; done\n" + delayed("cp \"$f.jpg\" \"$out\"");

// Input order, and the video the probe reports (none: an error). The .vob is refused by its name only.
const QList<std::pair<const char *, QSize>> inputs { { "01.mp4", { 320, 240 } }, { "02 dvd.vob", { 320, 240 } }, { "03.mkv", { 200, 200 } },
                                                     { "04 broken.mp4", {} },   { "05.mov", { 120, 160 } },     { "06.mp4", { 400, 100 } },
                                                     { "07.avi", { 160, 90 } }, { "08 empty.mp4", {} } };
const QStringList accepted { "01.mp4", "03.mkv", "05.mov", "06.mp4", "07.avi" };
const QString refused = "02 dvd.vob, 04 broken.mp4, 08 empty.mp4";

// The most fake runs that were going on at once.
int mostAtOnce(const FakeTools &tools)
{
    int most = 0;
    for (const QString &run : tools.runs())
        most = std::max(most, run.toInt());
    return most;
}

const QString unreadable = "the file could not be opened or read as media", still = "it is a still picture, not a video";

// Every bad input and why intake refuses it; none: it compresses like any other file.
const QList<std::pair<QString, QString>> corpus {
    { "empty.mp4", unreadable }, { "truncated.mp4", unreadable }, { "text.mp4", unreadable },
    { "dvd.vob", "VOB files are not supported" }, { "audio.m4a", "it has no video track" },
    { "still.png", still }, { "still.jpg", still }, // readers make up a time: none for PNG, a frame at 25 fps for JPEG
    { "pipe.mp4", "not a media file" }, { "link to pipe.mp4", "not a media file" }, // never opened: it waits for a writer
    { "dangling.mp4", "the link leads to no file" }, { "folder.mp4", "the folder holds no files (hidden ones are left out)" },
    { "missing.mp4", "no such file" },
    { "with  spaces .mp4", {} }, { "quotes \"double\" 'single' `back` $HOME.mp4", {} }, { "new\nline.mp4", {} },
    { "ÜnïcødéЖ 日本.mp4", {} }, { "-dash.mp4", {} },
};

// Links and pipes as themselves: enough to tell nothing was removed, replaced or written to.
QStringList snapshot(const QString &folder)
{
    QStringList prints;
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System))
        prints << QString("%1 -> %2, %3 bytes, %4").arg(info.fileName(), info.symLinkTarget()).arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    return prints;
}

}

// What intake takes and refuses, and in which order, on parallel workers, through the window and the command line.
class TestIntake : public QObject
{
    Q_OBJECT

    QTemporaryDir m_fakes; // inputs the fake tools answer for, each with its report, picture and delay
    QTemporaryDir m_clips; // real clips
    QTemporaryDir m_corpus; // bad inputs, and good.mp4, the clip the others are made from
    QStringList m_fakeInputs, m_realClips, m_corpusInputs, m_snapshot;
    // A probe that opened the pipe would run into this bound and say so.
    ScopedEnvironment m_bound { "VELTRANE_TOOL_TIMEOUT_MS", QString("5000") };

    QString bad(const QString &name) const { return m_corpus.filePath(name); }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg / ffprobe are not in the resources folder");
        for (qsizetype i = 0; i < inputs.size(); ++i) {
            const auto &[name, video] = inputs[i];
            const QString path = m_fakes.filePath(name);
            const QByteArray report = video.isEmpty() ? R"({"error":{"code":-1}})"
                : QStringLiteral(R"({"streams":[{"codec_type":"video","codec_name":"h264","width":%1,"height":%2,)"
                                 R"("avg_frame_rate":"25/1"}],"format":{"duration":"2.5","format_name":"mov"}})")
                      .arg(video.width()).arg(video.height()).toUtf8();
            QVERIFY(writeFile(path, "bytes") && writeFile(path + ".json", report)
                    && writeFile(path + ".delay", QByteArray::number(0.02 * double(inputs.size() - i))));
            QImage picture(video, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            QVERIFY(video.isEmpty() || picture.save(path + ".jpg", "JPEG"));
            m_fakeInputs << path;
        }
        // Real clips for thumbnail runs to stop.
        for (const char *name : { "clip 0.mp4", "clip 1.mkv", "clip 2.mov" }) {
            m_realClips << m_clips.filePath(name);
            QVERIFY2(makeVideo(m_realClips.last()), name);
        }

        QVERIFY(makeVideo(bad("good.mp4")) && makeClip(bad("audio.m4a"), { "-f", "lavfi", "-i", "sine=d=1" }));
        QVERIFY(makeClip(bad("dvd.vob"), { "-f", "lavfi", "-i", "testsrc=s=160x120:d=1", "-target", "ntsc-dvd", "-s", "160x120" }));
        for (const char *name : { "still.png", "still.jpg" })
            QVERIFY(makeClip(bad(name), { "-f", "lavfi", "-i", "testsrc=s=160x120", "-frames:v", "1" }));
        // An .mp4 cut short lacks its index, which is written last.
        QVERIFY(QFile::copy(bad("good.mp4"), bad("truncated.mp4")) && QFile::resize(bad("truncated.mp4"), 4096));
        QVERIFY(writeFile(bad("text.mp4"), "Notes for Monday\n") && writeFile(bad("empty.mp4"), {}));
        QCOMPARE(::mkfifo(bad("pipe.mp4").toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QFile::link(bad("pipe.mp4"), bad("link to pipe.mp4")) && QFile::link(bad("gone.mp4"), bad("dangling.mp4")));
        QVERIFY(QDir().mkdir(bad("folder.mp4")));
        for (const auto &[name, refusal] : corpus) {
            m_corpusInputs << bad(name);
            QVERIFY(!refusal.isEmpty() || QFile::copy(bad("good.mp4"), bad(name)));
        }
        m_snapshot = snapshot(m_corpus.path());
    }
    // No bad input is ever lost or changed, whatever the test did with it.
    void cleanup() { QCOMPARE(snapshot(m_corpus.path()), m_snapshot); }

    // Whichever file finishes first, the output (results, refusals, diagnostic lines) is that of one job.
    void cliKeepsOrder()
    {
        const std::pair<QStringList, int> commands[] = { { { "probe" }, 2 },
                                                         { { "compress", "--dry-run", "--verbose", "--output", m_fakes.filePath("out") }, 3 } };
        for (const auto &[command, jobs] : commands) {
            const FakeTools tools(creator, sniffer);
            const CliRun sequential = runCli(command + QStringList { "--jobs", "1" } + m_fakeInputs);
            QCOMPARE(mostAtOnce(tools), 1);
            const FakeTools moreTools(creator, sniffer);
            const CliRun parallel = runCli(command + QStringList { "--jobs", QString::number(jobs) } + m_fakeInputs);
            QVERIFY(!sequential.out.isEmpty());
            QCOMPARE(describe(parallel), describe(sequential));
            QVERIFY2(mostAtOnce(moreTools) >= 2 && mostAtOnce(moreTools) <= jobs, qPrintable(QString::number(mostAtOnce(moreTools))));
        }
        for (const auto &[command, jobs] : { std::pair { "probe", "0" }, std::pair { "compress", "two" } }) {
            const CliRun run = runCli({ command, "--jobs", jobs, m_fakeInputs.first() });
            QCOMPARE(run.status, int(Cli::usageError));
            QCOMPARE(run.err.section('\n', 0, 0), QString("veltrane-cli %1: --jobs must be a whole number from 1 up, not '%2'").arg(command, jobs));
        }
        // More than the cap is taken as the cap, with a word.
        const int cap = 4 * QThread::idealThreadCount();
        QStringList many;
        while (many.size() <= cap)
            many += m_fakeInputs;
        const FakeTools tools(creator, sniffer);
        const CliRun capped = runCli(QStringList { "probe", "--jobs", "99999" } + many);
        QVERIFY2(capped.status == Cli::success && mostAtOnce(tools) <= cap, qPrintable(QString::number(mostAtOnce(tools))));
        QCOMPARE(capped.err.section('\n', 0, 0),
                 QString("veltrane-cli probe: --jobs 99999 is more than %1 (4 per processor core); examining %1 files at a time").arg(cap));
    }

    // Rows, pictures, refusals and bar as one worker would give them; never more tools at once than workers.
    void windowKeepsOrder()
    {
        const FakeTools tools(creator, sniffer);
        const DiagnosticCapture diagnostics;
        const auto d = launch();
        QSignalSpy bar(d->progressBar, &QProgressBar::valueChanged), finished(d.get(), &AppDelegate::intakeFinished);
        bool askedDuringPass = false;
        QTimer::singleShot(100, d.get(), [&] { // the first file again
            askedDuringPass = d->progressWindow->isVisible();
            d->analyzeAndAddFiles(fileUrls(m_fakeInputs.mid(0, 1)));
        });
        d->analyzeAndAddFiles(fileUrls(m_fakeInputs));
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(askedDuringPass);
        QCOMPARE(rowNames(*d), accepted + QStringList { "01.mp4" });
        for (const QVariantMap &row : d->fileListArrayController->rows()) {
            const QSize picture = row.value(RowKeys::coverArt).value<QImage>().size();
            QCOMPARE(QString("%1x%2").arg(picture.width()).arg(picture.height()), row.value(RowKeys::resolution).toString());
        }
        QCOMPARE(diagnostics.lines().filter("nonWorkableFiles"), QStringList { "nonWorkableFiles : " + refused });
        QList<int> values;
        for (const QList<QVariant> &change : bar)
            values << change.first().toInt();
        // After each accepted file its share of all added so far, never going back, full at the end, then empty.
        QCOMPARE(values.size(), 7);
        QVERIFY2(std::is_sorted(values.begin(), values.end() - 1) && values.mid(5) == (QList<int> { 10000, 0 }),
                 qPrintable(QDebug::toString(values)));
        const int most = mostAtOnce(tools);
        QVERIFY2(most >= std::min(2, QThread::idealThreadCount()) && most <= QThread::idealThreadCount(), qPrintable(QString::number(most)));
    }

    // Closing the window during the pass quits at once and stops the thumbnail runs, which write in the private folder.
    void closeDuringPass()
    {
        const FakeTools tools(QStringLiteral("echo $$ \"$@\" >> \"$RUNS\"; exec sleep 30"));
        const int workers = std::min(QThread::idealThreadCount(), 3);
        const auto d = launch();
        QSignalSpy finished(d.get(), &AppDelegate::intakeFinished);
        QStringList runs;
        QElapsedTimer sinceClose;
        QTimer poll; // a while after every worker has its run going, as a window manager would
        connect(&poll, &QTimer::timeout, this, [&] {
            if (tools.runs().size() < workers || !runs.isEmpty())
                return;
            runs = tools.runs();
            QTimer::singleShot(300, d->window, [&] {
                sinceClose.start();
                d->window->close();
            });
        });
        poll.start(50);
        QTimer::singleShot(0, d.get(), [&] { d->analyzeAndAddFiles(fileUrls(m_realClips)); });
        QTimer::singleShot(30000, this, [] { QCoreApplication::exit(1); }); // the pass never ended
        QCOMPARE(QCoreApplication::exec(), 0); // closing the last window quits, as in the application
        QVERIFY2(sinceClose.isValid() && sinceClose.elapsed() < 5000, "the pass went on after the window closed");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(tools.runs(), runs);
        for (const QString &run : runs)
            QVERIFY(!processExists(run.section(' ', 0, 0).toLongLong()) && run.section(' ', -1).startsWith(PrivateFolder::path() + "/snapShot-"));
    }

    // Every bad input through veltrane-cli: refused with its reason, the rest compressed; a file gone once probed fails.
    void badInputsInCli()
    {
        const FakeTools tools(QString("case \"$1 $2\" in \"-i \"*vanishing.mp4) rm \"$2\" ;; esac\nexec '%1' \"$@\"").arg(realTool(Tools::creator)));
        const QString vanishing = tools.path() + "/vanishing.mp4", folder = tools.path() + "/out";
        const CliRun run = runCli(QStringList { "compress", "--verbose", "--output", folder } + m_corpusInputs);
        QVERIFY2(run.status == Cli::failure && !run.err.contains("took longer") && !run.out.contains("FAILED"), qPrintable(describe(run)));
        for (const QString &line : run.out.split('\n', Qt::SkipEmptyParts)) // a line feed in a name stays escaped
            QVERIFY2(line.startsWith('/'), qPrintable(line));
        for (const auto &[name, refusal] : corpus)
            QVERIFY2(refusal.isEmpty() ? QFileInfo(folder + '/' + QFileInfo(name).completeBaseName() + ".mp4").size() > 0
                                       : run.err.contains("refused " + bad(name) + ": " + refusal),
                     qPrintable(name));

        QVERIFY(QFile::copy(bad("good.mp4"), vanishing));
        const CliRun gone = runCli({ "compress", "--output", tools.path() + "/gone", vanishing, bad("good.mp4") });
        QVERIFY2(gone.status == Cli::failure && gone.out.startsWith("FAILED " + vanishing + ": ") && gone.out.count("FAILED") == 1, qPrintable(describe(gone)));
    }
};

QTEST_MAIN(TestIntake)
#include "TestIntake.moc"
