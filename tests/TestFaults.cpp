// Faults injected through fake tools, signals and hostile file systems: each
// case checks what the user is told (status, message) and that nothing of
// theirs was lost.
#include "cli/Cli.h"
#include "tools/Tools.h"

#include "CliTestSupport.h"
#include "TestSupport.h"

#include <QtTest>

#include <csignal>
#include <unistd.h>

using namespace TestSupport;

namespace {

bool command(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A transcoder that logs its process id, reports a little progress and then sleeps: a run to interrupt.
const QString sleeper = "echo $$ >> \"$RUNS\"\necho 'frame= 1 time=00:00:00.10' >&2\nexec sleep 30";

}

class TestFaults : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work; // the current folder: clip.mp4 (1 s), keep/old.txt, note.txt
    QStringList m_mounts;

private slots:
    void initTestCase()
    {
        if (!QFileInfo(realTool(Tools::creator)).isExecutable())
            QSKIP("ffmpeg is not in the resources folder");
        QVERIFY(QDir::setCurrent(m_work.path()) && makeVideo("clip.mp4", 160, 120, 1.0, 0));
        QVERIFY(QDir().mkpath("keep") && QFile("keep/old.txt").open(QIODevice::WriteOnly) && QFile("note.txt").open(QIODevice::WriteOnly));
    }
    void cleanup()
    {
        for (const QString &mount : std::exchange(m_mounts, {}))
            command("umount", { mount });
        QDir("out").removeRecursively();
        // Nothing of the user's was touched, and nothing was left behind.
        QVERIFY(QFileInfo("clip.mp4").size() > 0 && QFileInfo::exists("keep/old.txt") && QFileInfo::exists("note.txt"));
        QVERIFY2(entries(".").filter(QRegularExpression("^\\.")).isEmpty(), qPrintable(entries(".").join(", ")));
    }

    void cli_data()
    {
        QTest::addColumn<QString>("creator");   // fake's body; "real": the real one; empty: none
        QTest::addColumn<QString>("sniffer");   // fake's body; empty: the real one
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");   // on stdout or stderr
        QTest::addColumn<QStringList>("outputs"); // what out/ holds afterwards; "-": no out/ at all
        const QStringList clip { "clip.mp4" };
        const QString real = "real";
        const QStringList none { "-" };
        QTest::newRow("no probe tool") << real << "MISSING" << clip << 1 << "the probe tool (sniffer) was not found in " << none;
        QTest::newRow("a probe tool that says nothing") << real << "echo Segmentation fault" << clip << 1
                                                         << "the probe tool gave no readable report" << none;
        QTest::newRow("a probe tool that hangs") << real << "exec sleep 30" << clip << 1 << "the probe tool did not answer within 1 s" << none;
        QTest::newRow("no transcoder") << "" << "" << clip << 1 << "the transcoder (creator) was not found in " << none;
        QTest::newRow("a transcoder that stalls") << sleeper << "" << clip << 1 << "the transcoder stopped making progress" << QStringList();
        QTest::newRow("--force on a file") << real << "" << QStringList { "--force", "--output", "note.txt", "clip.mp4" } << 2
                                           << "is a file, not a folder" << none;
        QTest::newRow("--force on the inputs' folder") << real << "" << QStringList { "--force", "--output", ".", "clip.mp4" } << 2
                                                       << "it cannot be the output folder" << none;
        const QString stem(252, QChar(u'x'));
        QTest::newRow("a name too long once .mp4 is added") << real << "" << QStringList { "--size", "100", stem + ".ts" } << 0 << "ratio"
                                                            << QStringList { QString(251, QChar(u'x')) + ".mp4" };
    }
    void cli()
    {
        QFETCH(QString, creator);
        QFETCH(QString, sniffer);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(QStringList, outputs);
        const QString longName = arguments.last().size() > 250 ? arguments.last() : QString();
        if (!longName.isEmpty())
            QVERIFY(QFile::copy("clip.mp4", longName));
        const FakeTools tools(creator == "real" ? QString("exec '%1' \"$@\"").arg(realTool(Tools::creator))
                                                : creator.isEmpty() ? std::optional<QString>() : creator,
                              sniffer.isEmpty() ? std::optional<QString>() : sniffer);
        if (sniffer == "MISSING")
            QFile::remove(tools.path() + "/sniffer");
        const ScopedEnvironment bound("VELTRANE_TOOL_TIMEOUT_MS", QString("1000"));
        const ScopedEnvironment stall("VELTRANE_STALL_TIMEOUT_S", QString("1"));
        if (!arguments.contains("--output"))
            arguments.prepend("--output"), arguments.insert(1, "out");
        const CliRun run = runCli(QStringList { "compress" } + arguments);
        if (!longName.isEmpty())
            QFile::remove(longName);
        QVERIFY2(run.status == status && (run.out + run.err).contains(message), qPrintable(describe(run)));
        QCOMPARE(QFileInfo::exists("out") ? entries("out") : QStringList { "-" }, outputs);
        QVERIFY(allProcessesGone(tools.runs()));
    }

    // Ctrl-C, termination and a closed terminal stop the batch, remove what it wrote, put back the
    // folder it was replacing, and say so with their own status.
    void cliSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT") << int(SIGINT) << 130;
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    }
    void cliSignals()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        const FakeTools tools(sleeper);
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/veltrane-cli", { "compress", "--force", "--output", "keep", "clip.mp4" });
        QTRY_COMPARE_WITH_TIMEOUT(tools.runs().size(), 1, 10000);
        ::kill(pid_t(cli.processId()), signal);
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitCode(), status);
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("put back the folder it replaced"));
        QCOMPARE(entries("keep"), QStringList { "old.txt" });
        QVERIFY(allProcessesGone(tools.runs()));
    }

    // The window quits on the same signals, with the same statuses.
    void windowSignals()
    {
        QProcess app;
        app.start(QCoreApplication::applicationDirPath() + "/veltrane", {});
        QVERIFY(app.waitForStarted());
        // Once it catches SIGTERM, as the kernel tells (SigCgt is a hexadecimal mask, bit n - 1 for signal n).
        const auto catchesTerm = [&app] {
            QFile status(QString("/proc/%1/status").arg(app.processId()));
            if (!status.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray &line : status.readAll().split('\n'))
                if (line.startsWith("SigCgt:"))
                    return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(catchesTerm(), 10000);
        ::kill(pid_t(app.processId()), SIGTERM);
        QVERIFY(app.waitForFinished(5000));
        QCOMPARE(app.exitCode(), 143);
    }

    // A name whose bytes are not UTF-8 is refused for that reason, not as missing.
    void nameNotUtf8()
    {
        const QString cli = QCoreApplication::applicationDirPath() + "/veltrane-cli";
        QProcess shell;
        shell.start("/bin/sh", { "-c", "name=\"$(printf 'bad\\377\\376').mp4\"; cp clip.mp4 \"$name\"; \"$1\" compress --output out \"$name\"; "
                                       "status=$?; rm \"$name\"; exit $status", "sh", cli });
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 1);
        QVERIFY(QString::fromUtf8(shell.readAllStandardError()).contains(": the name is not valid UTF-8"));
    }

    // A disk that fills up mid-run: the row fails as such, and no broken file is left.
    void fullDisk()
    {
        QVERIFY(QDir().mkpath("small"));
        if (::getuid() != 0 || !command("mount", { "-t", "tmpfs", "-o", "size=64k", "tmpfs", "small" }))
            QSKIP("a small file system of its own needs root");
        m_mounts << "small";
        // A little less room than the output needs.
        QFile filler("small/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly) && filler.write(QByteArray(int(QStorageInfo("small").bytesAvailable() - 4096), 'x')) > 0);
        filler.close();
        QVERIFY(makeClip("noise.mkv", { "-f", "lavfi", "-i", "testsrc=s=320x240:d=2,noise=alls=40:allf=t,format=yuv420p" }));
        const CliRun run = runCli({ "compress", "--output", "small/out", "noise.mkv" });
        QFile::remove("noise.mkv");
        QVERIFY2(run.status == Cli::failure && run.out.contains("the disk may be full; its output was removed"), qPrintable(describe(run)));
        QCOMPARE(entries("small/out"), QStringList());
        QFile::remove("small/filler");
    }

private:
    static bool allProcessesGone(const QStringList &runs)
    {
        for (const QString &run : runs)
            if (run.toLongLong() > 0 && ::kill(pid_t(run.toLongLong()), 0) == 0)
                return false;
        return true;
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "TestFaults.moc"
