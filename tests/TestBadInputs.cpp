#include "BuildConfig.h"
#include "CliTestSupport.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include "app/Thumbnail.h"
#include "filelist/RowRecord.h"
#include "tools/Tools.h"

#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;
using namespace WindowTest;

namespace {

const QString unreadable = "the file could not be opened or read as media", still = "it is a still picture, not a video";

// Every bad input and why intake refuses it; none: it compresses like any other file.
const QList<std::pair<QString, QString>> corpus {
    { "empty.mp4", unreadable }, { "truncated.mp4", unreadable }, { "text.mp4", unreadable },
    { "dvd.vob", "VOB files are not supported" }, { "audio.m4a", "it has no video track" },
    { "still.png", still }, { "still.jpg", still }, // readers make up a time: none for PNG, a frame at 25 fps for JPEG
    { "pipe.mp4", "not a media file" }, { "link to pipe.mp4", "not a media file" }, // never opened: it waits for a writer
    { "dangling.mp4", unreadable }, { "folder.mp4", unreadable },
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

class TestBadInputs : public QObject
{
    Q_OBJECT

    QTemporaryDir m_corpus; // with good.mp4, the clip the others are made from
    QStringList m_inputs, m_accepted, m_refused, m_snapshot;
    // A probe that opened the pipe would run into this bound and say so.
    ScopedEnvironment m_bound { "VELTRANE_TOOL_TIMEOUT_MS", QString("5000") };

    QString input(const QString &name) const { return m_corpus.filePath(name); }

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable() || !QFileInfo(realTool(Tools::sniffer)).isExecutable())
            QSKIP("ffmpeg / ffprobe are not in the resources folder");
        QVERIFY(makeVideo(input("good.mp4")) && makeClip(input("audio.m4a"), { "-f", "lavfi", "-i", "sine=d=1" }));
        QVERIFY(makeClip(input("dvd.vob"), { "-f", "lavfi", "-i", "testsrc=s=160x120:d=1", "-target", "ntsc-dvd", "-s", "160x120" }));
        for (const char *name : { "still.png", "still.jpg" })
            QVERIFY(makeClip(input(name), { "-f", "lavfi", "-i", "testsrc=s=160x120", "-frames:v", "1" }));
        // An .mp4 cut short lacks its index, which is written last.
        QVERIFY(QFile::copy(input("good.mp4"), input("truncated.mp4")) && QFile::resize(input("truncated.mp4"), 4096));
        QFile text(input("text.mp4")), empty(input("empty.mp4"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("Notes for Monday\n") > 0 && text.flush() && empty.open(QIODevice::WriteOnly));
        QCOMPARE(::mkfifo(input("pipe.mp4").toLocal8Bit().constData(), 0600), 0);
        QVERIFY(QFile::link(input("pipe.mp4"), input("link to pipe.mp4")) && QFile::link(input("gone.mp4"), input("dangling.mp4")));
        QVERIFY(QDir().mkdir(input("folder.mp4")));
        for (const auto &[name, refusal] : corpus) {
            m_inputs << input(name);
            (refusal.isEmpty() ? m_accepted : m_refused) << name;
            QVERIFY(!refusal.isEmpty() || QFile::copy(input("good.mp4"), input(name)));
        }
        m_snapshot = snapshot(m_corpus.path());
    }
    // No input is ever lost or changed, whatever the test did with it.
    void cleanup() { QCOMPARE(snapshot(m_corpus.path()), m_snapshot); }

    // The refused named in one alert, in order; the rest listed with thumbnails.
    void window()
    {
        const auto d = launch();
        const DiagnosticCapture diagnostics;
        d->analyzeAndAddFiles(fileUrls(m_inputs));
        QVERIFY(diagnostics.lines().filter("took longer").isEmpty());
        QCOMPARE(rowNames(*d), m_accepted);
        for (const QVariantMap &row : d->fileListArrayController->rows())
            QVERIFY(row.value(RowKeys::coverArt).value<QImage>() != Thumbnail::placeholder());
        QCOMPARE(visibleAlerts(*d).size(), 1);
        QCOMPARE(visibleAlerts(*d).first()->informativeText(), m_refused.join(", ") + "\n\nQuestions? : " + BuildConfig::supportEmail);
    }

    // Every file through veltrane-cli: the refused named on stderr with their
    // reason, the rest compressed. A file that goes once probed fails and is
    // named; every file fails when the folder can't be made (under a file).
    void cli()
    {
        const FakeTools tools(QString("echo run >> \"$RUNS\"\ncase \"$1 $2\" in \"-i \"*vanishing.mp4) rm \"$2\" ;; esac\nexec '%1' \"$@\"").arg(realTool(Tools::creator)));
        const QString vanishing = tools.path() + "/vanishing.mp4", folder = tools.path() + "/out";
        const CliRun run = runCli(QStringList { "compress", "--verbose", "--output", folder } + m_inputs);
        QVERIFY2(run.status == Cli::failure && !run.err.contains("took longer") && !run.out.contains("FAILED"), qPrintable(describe(run)));
        for (const QString &line : run.out.split('\n', Qt::SkipEmptyParts)) // a line feed in a name stays escaped
            QVERIFY2(line.startsWith('/'), qPrintable(line));
        for (const auto &[name, refusal] : corpus)
            QVERIFY2(refusal.isEmpty() ? QFileInfo(folder + '/' + QFileInfo(name).completeBaseName() + ".mp4").size() > 0
                                       : run.err.contains("refused " + input(name) + ": " + refusal),
                     qPrintable(name));

        QVERIFY(QFile::copy(input("good.mp4"), vanishing));
        const CliRun gone = runCli({ "compress", "--output", tools.path() + "/gone", vanishing, input("good.mp4") });
        QVERIFY2(gone.status == Cli::failure && gone.out.startsWith("FAILED " + vanishing + ": ") && gone.out.count("FAILED") == 1, qPrintable(describe(gone)));
        // A folder that cannot be made (under a file) says why, and nothing is run.
        const int launches = tools.runs().size();
        const CliRun blocked = runCli({ "compress", "--output", input("text.mp4") + "/out", input("good.mp4") });
        QVERIFY2(blocked.status == Cli::failure && blocked.out.isEmpty() && blocked.err.contains(": Not a directory"), qPrintable(describe(blocked)));
        QCOMPARE(tools.runs().size(), launches);
    }
};

QTEST_MAIN(TestBadInputs)
#include "TestBadInputs.moc"
